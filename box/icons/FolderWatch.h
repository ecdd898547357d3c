// FolderWatch: tells whether a folder's entries may have changed since the
// last look, so that a folder at rest is not listed again. It holds the
// system's change notification on the folder (names of files and folders,
// not descending) and the identity of the folder it was armed on. UI
// thread only.
#pragma once

#include <windows.h>

#include <string>

class FolderWatch
{
public:
    explicit FolderWatch(std::wstring folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    const std::wstring& Folder() const { return folder_; }
    // True when the folder must be listed again: an entry was added,
    // removed or renamed since the last call, the path now names another
    // folder or none, or no notification could be had (then every call is
    // true, and each tries to arm the watch again). Armed before it
    // answers, so a change made during the listing that follows is told
    // by the next call.
    bool ChangedSinceLastLook();

private:
    bool Arm();
    void Close();

    std::wstring folder_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION identity_{};
};
