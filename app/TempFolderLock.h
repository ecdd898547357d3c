// A run's mark on a temporary folder of kept copies: an empty lock file in
// "<root>\.data\.temp-in-use\" beside the folder, held open without sharing
// for as long as the run may keep copies there. Another run's sweep cannot
// open it and so leaves the folder and the copies its undo still needs
// alone. A clean end removes the file; a run that ended otherwise (a crash,
// a kill, a restart) leaves it closed, and the next sweep, able to open it,
// knows that a run ended without quitting. Any thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class TempFolderLock
{
public:
    TempFolderLock() = default;
    // Makes a new lock file for this run; Held() is false when it could not
    // be made (the folder is then not marked).
    explicit TempFolderLock(const std::wstring& tempFolder);
    // Closes the file and leaves it, as a run that ends without quitting.
    ~TempFolderLock();
    TempFolderLock(TempFolderLock&& other) noexcept;
    TempFolderLock& operator=(TempFolderLock&& other) noexcept;
    TempFolderLock(const TempFolderLock&) = delete;
    TempFolderLock& operator=(const TempFolderLock&) = delete;

    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
    const std::wstring& File() const { return file_; }
    // A clean end: the file is closed and removed.
    void Release();

private:
    void Close();
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::wstring file_;
};

// "<root>\.data\.temp-in-use" of "<root>\.data\.temp\".
std::wstring TempFolderLockFolder(const std::wstring& tempFolder);

// What the lock files of a temporary folder say about other runs.
struct TempFolderUsers {
    // A lock another live run holds (or one that could not be opened to
    // tell): the folder is that run's to empty.
    bool otherRunLive = false;
    // A lock a run left behind without quitting; it is removed now.
    bool endedRunFound = false;
};
// Looks at every lock of the folder but this run's own (full paths).
TempFolderUsers CheckTempFolderUsers(const std::wstring& tempFolder, const std::vector<std::wstring>& own);
