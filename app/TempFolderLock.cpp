#include "app/TempFolderLock.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "app/FileRemoval.h"
#include "app/Logger.h"

namespace
{

constexpr wchar_t kLockExtension[] = L".lock";

bool AllDigits(const std::wstring& text)
{
    return !text.empty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// Only the form a run gives its own locks: "<process id>-<count>.lock".
bool IsLockName(const std::wstring& name)
{
    const size_t length = sizeof(kLockExtension) / sizeof(wchar_t) - 1;
    if (name.size() <= length || name.compare(name.size() - length, length, kLockExtension) != 0)
        return false;
    const std::wstring stem = name.substr(0, name.size() - length);
    const size_t dash = stem.find(L'-');
    return dash != std::wstring::npos && AllDigits(stem.substr(0, dash)) && AllDigits(stem.substr(dash + 1));
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return ComparablePath(a) == ComparablePath(b);
}

} // namespace

std::wstring TempFolderLockFolder(const std::wstring& tempFolder)
{
    std::wstring folder = tempFolder;
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return folder + L"-in-use";
}

TempFolderLock::TempFolderLock(const std::wstring& tempFolder)
{
    static std::atomic<unsigned> s_counter{0};
    const std::wstring folder = TempFolderLockFolder(tempFolder);
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int attempt = 0; attempt < 16 && !Held(); ++attempt) {
        file_ = folder + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++s_counter) +
                kLockExtension;
        // No sharing at all: another run can neither open nor delete it
        // while this run lives.
        handle_ = CreateFileW(file_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (!Held() && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (!Held()) {
        Logger::GetInstance().Log(L"Tessik", L"WARNING", L"Could not mark the temporary folder in use: " + folder);
        file_.clear();
    }
}

TempFolderLock::~TempFolderLock()
{
    Close();
}

TempFolderLock::TempFolderLock(TempFolderLock&& other) noexcept
    : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)), file_(std::move(other.file_))
{
}

TempFolderLock& TempFolderLock::operator=(TempFolderLock&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        file_ = std::move(other.file_);
    }
    return *this;
}

void TempFolderLock::Close()
{
    if (Held())
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

void TempFolderLock::Release()
{
    if (!Held())
        return;
    Close();
    DeleteFileW(file_.c_str());
    const std::wstring folder = file_.substr(0, file_.find_last_of(L'\\'));
    RemoveFolderIfEmpty(folder);
    file_.clear();
}

TempFolderUsers CheckTempFolderUsers(const std::wstring& tempFolder, const std::vector<std::wstring>& own)
{
    TempFolderUsers users;
    const std::wstring folder = TempFolderLockFolder(tempFolder);
    std::vector<std::wstring> locks;
    // A lock folder that is a way to another folder holds no lock of ours.
    if (!IsOwnFolder(folder))
        return users;
    ForEachFolderEntry(folder, [&](const std::wstring& name, unsigned long attributes) {
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && IsLockName(name))
            locks.push_back(folder + L"\\" + name);
        return true;
    });
    for (const std::wstring& lock : locks) {
        bool mine = false;
        for (const std::wstring& file : own)
            mine = mine || SamePath(lock, file);
        if (mine)
            continue;
        // Opening without sharing fails while the run that made it holds
        // it; a lock that opens was left by a run that is gone.
        HANDLE handle = CreateFileW(lock.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND)
                continue;
            if (error != ERROR_SHARING_VIOLATION)
                Logger::GetInstance().Log(L"Tessik", L"WARNING",
                                          L"Could not tell whether a run uses " + tempFolder + L": error " +
                                              std::to_wstring(error) + L" on " + lock);
            users.otherRunLive = true;
            continue;
        }
        // A lock file is always empty and itself: anything else in here
        // is not one (Wine shows a link to a file as a plain file).
        LARGE_INTEGER size{};
        const bool lockFile = GetFileSizeEx(handle, &size) && size.QuadPart == 0 && EntryIsItself(lock);
        // Removed while still held, so no other run takes it meanwhile.
        FILE_DISPOSITION_INFO gone{TRUE};
        const bool marked =
            lockFile && SetFileInformationByHandle(handle, FileDispositionInfo, &gone, sizeof(gone)) != FALSE;
        CloseHandle(handle);
        if (lockFile && !marked)
            DeleteFileW(lock.c_str());
        users.endedRunFound = users.endedRunFound || lockFile;
    }
    return users;
}
