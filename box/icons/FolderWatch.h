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
    // What the system tells of a folder at one moment: which folder it is,
    // when an entry in it last came, went or was renamed, and whether its
    // volume keeps that time (NTFS and ReFS do; FAT does not).
    struct Facts {
        BY_HANDLE_FILE_INFORMATION info{};
        bool datesEntries = false;
        FILETIME takenAt{};
    };
    static bool ReadFacts(const std::wstring& folder, Facts& facts);

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
    // by the next call. On a volume that dates its entries the watch is
    // renewed at every call, so that a folder removed while watched is not
    // kept in place by it for longer than one look.
    bool ChangedSinceLastLook();
    // The watch is armed on the folder these earlier facts describe, and no
    // entry of it changed since: its time is the same, and was well before
    // the facts were taken, so a change just after could not share it.
    bool ArmedQuietSince(const Facts& earlier) const;

private:
    bool Arm();
    void Close();

    std::wstring folder_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    Facts armed_;
};
