#include "box/icons/FolderWatch.h"

#include <utility>

#include "app/FileRemoval.h"

namespace
{

// Adding, removing and renaming entries is all a listing of names shows;
// sizes and times are read by the icons themselves.
constexpr DWORD kWatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;

} // namespace

FolderWatch::FolderWatch(std::wstring folder) : folder_(std::move(folder)) {}

FolderWatch::~FolderWatch()
{
    Close();
}

void FolderWatch::Close()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        FindCloseChangeNotification(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

bool FolderWatch::Arm()
{
    Close();
    // The identity is taken before the notification is armed: a folder put
    // in its place between the two shows as another folder at the next look.
    if (!EntryFacts(folder_, false, identity_))
        return false;
    handle_ = FindFirstChangeNotificationW(LongPathForm(folder_).c_str(), FALSE, kWatchedChanges);
    return handle_ != INVALID_HANDLE_VALUE;
}

bool FolderWatch::ChangedSinceLastLook()
{
    if (handle_ == INVALID_HANDLE_VALUE) {
        Arm();
        return true;
    }
    // The notification stays with the folder it was armed on: one renamed
    // away, deleted or replaced under the same path tells nothing of what
    // the path names now.
    BY_HANDLE_FILE_INFORMATION now{};
    if (!EntryFacts(folder_, false, now) || !SameFileIdentity(now, identity_)) {
        Arm();
        return true;
    }
    switch (WaitForSingleObject(handle_, 0)) {
    case WAIT_TIMEOUT:
        return false;
    case WAIT_OBJECT_0:
        if (!FindNextChangeNotification(handle_))
            Close();
        return true;
    default:
        Close();
        return true;
    }
}
