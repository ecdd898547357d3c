#include "app/TempFolderUse.h"

#include "app/FileRemoval.h"
#include "app/KnownTempFolders.h"
#include "app/UserNotice.h"

TempFolderUse s_tempFolderUse;

const TempFolderUse::Folder* TempFolderUse::Find(const std::wstring& tempFolder) const
{
    // The spelling first: GetTempFolder gives the same text every time.
    for (const Folder& folder : folders_)
        if (ComparablePath(folder.path) == ComparablePath(tempFolder))
            return &folder;
    for (const Folder& folder : folders_)
        if (SameLocation(folder.path, tempFolder))
            return &folder;
    return nullptr;
}

void TempFolderUse::Use(const std::wstring& dataFolder, const std::wstring& tempFolder)
{
    Folder* folder = const_cast<Folder*>(Find(tempFolder));
    if (!folder) {
        folders_.push_back(Folder{tempFolder, TempFolderLock(), false});
        folder = &folders_.back();
    }
    if (!folder->lock.Held())
        folder->lock = TempFolderLock(tempFolder);
    if (!folder->listed && !dataFolder.empty()) {
        folder->listed = RememberTempFolder(dataFolder, tempFolder);
        if (!folder->listed)
            NotifyUserOnce(L"temp-folder-list", L"无法在数据文件夹“" + dataFolder +
                                                    L"”中记下为撤销保留文件的临时文件夹“" + tempFolder +
                                                    L"”。\nTessik 若没有正常退出，下次启动时可能找不到其中的文件。");
    }
}

bool TempFolderUse::Holds(const std::wstring& tempFolder) const
{
    return Find(tempFolder) != nullptr;
}

std::vector<std::wstring> TempFolderUse::LockFiles() const
{
    std::vector<std::wstring> files;
    for (const Folder& folder : folders_)
        if (folder.lock.Held())
            files.push_back(folder.lock.File());
    return files;
}

void TempFolderUse::EndCleanly()
{
    for (Folder& folder : folders_)
        folder.lock.Release();
    folders_.clear();
}
