// The temporary folders this run keeps copies for undo in. At its first use
// a folder is marked in use (TempFolderLock) and listed in the data folder
// (KnownTempFolders); both are tried again at the next use when they
// failed. A folder this run used stays marked until the run ends: records
// made there may still need it after the box folder changed. UI thread
// only (GetTempFolder).
#pragma once

#include <string>
#include <vector>

#include "app/TempFolderLock.h"

class TempFolderUse
{
public:
    // The folder takes copies of this run now.
    void Use(const std::wstring& dataFolder, const std::wstring& tempFolder);
    // This run marked the folder (any spelling of it).
    bool Holds(const std::wstring& tempFolder) const;
    // The lock files this run holds, for a sweep to pass over.
    std::vector<std::wstring> LockFiles() const;
    // The program ends cleanly: every lock goes. A run that ends without
    // this leaves its locks for the next sweep to find.
    void EndCleanly();

private:
    struct Folder {
        std::wstring path;
        TempFolderLock lock;
        bool listed = false;
    };
    const Folder* Find(const std::wstring& tempFolder) const;
    std::vector<Folder> folders_;
};

// This run's.
extern TempFolderUse s_tempFolderUse;
