#include "box/icons/FolderWatch.h"

#include <cstdint>
#include <utility>

#include "app/FileRemoval.h"

namespace
{

// Adding, removing and renaming entries is all a listing of names shows;
// sizes and times are read by the icons themselves.
constexpr DWORD kWatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;
// File times move in steps of the system clock's tick (about 16 ms) or
// coarser; a folder whose time is older than this by the time it is looked
// at cannot take a later change without its time moving.
constexpr uint64_t kQuietMargin = 2ull * 10'000'000; // 2 s in 100 ns units

uint64_t Ticks(const FILETIME& time)
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

bool FolderWatch::ReadFacts(const std::wstring& folder, Facts& facts)
{
    HANDLE handle = CreateFileW(LongPathForm(folder).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    GetSystemTimeAsFileTime(&facts.takenAt);
    bool ok =
        GetFileInformationByHandle(handle, &facts.info) && (facts.info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    wchar_t system[MAX_PATH + 1] = {};
    facts.datesEntries =
        ok && GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH + 1) &&
        (lstrcmpiW(system, L"NTFS") == 0 || lstrcmpiW(system, L"ReFS") == 0);
    CloseHandle(handle);
    return ok;
}

bool FolderWatch::ArmedQuietSince(const Facts& earlier) const
{
    return handle_ != INVALID_HANDLE_VALUE && earlier.datesEntries && SameFileIdentity(earlier.info, armed_.info) &&
           Ticks(earlier.info.ftLastWriteTime) == Ticks(armed_.info.ftLastWriteTime) &&
           Ticks(earlier.info.ftLastWriteTime) + kQuietMargin < Ticks(earlier.takenAt);
}

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
    if (!ReadFacts(folder_, armed_))
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
    const DWORD signal = WaitForSingleObject(handle_, 0);
    if (armed_.datesEntries) {
        // Renewed at every look: a folder removed while watched is kept in
        // place by the watch until it closes (older Windows, Wine), so none
        // is held longer than one look. A change between the close and the
        // new watch moves the folder's time.
        const Facts previous = armed_;
        Arm();
        return signal != WAIT_TIMEOUT || !ArmedQuietSince(previous);
    }
    // The notification stays with the folder it was armed on: one renamed
    // away, deleted or replaced under the same path tells nothing of what
    // the path names now.
    BY_HANDLE_FILE_INFORMATION now{};
    if (!EntryFacts(folder_, false, now) || !SameFileIdentity(now, armed_.info)) {
        Arm();
        return true;
    }
    switch (signal) {
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
