// The guard of one operation that moves, deletes or renames entries: is
// an entry the folder it is brought into, or a box's folder, or a folder
// holding one? The system is asked which folder an entry is (identity,
// final path), so another drive letter, a short name or a path through a
// link is known for what it is. The folders are resolved once, when the
// guard is made. Where the system will not tell, the entry counts as such
// a folder: these actions go ahead only on evidence that they are safe.
// The root of a volume or share is never taken by any of them.
#pragma once

#include <string>
#include <vector>

#include "app/FolderRelation.h"

class BoxFolderGuard
{
public:
    // boxFolders as stored (doubled backslashes are collapsed); intoFolder
    // the folder entries are brought into, empty when none.
    BoxFolderGuard(const std::vector<std::wstring>& boxFolders, const std::wstring& intoFolder);

    // The entry is intoFolder or holds it (or may be).
    FolderRelation IntoItself(const std::wstring& path) const;
    // The entry is the root of a volume or share (VolumeRoot), else
    // whether it is one of boxFolders or holds one (or may be).
    FolderRelation BoxFolder(const std::wstring& path) const;
    // The same questions about an entry already looked at (LookAtEntry).
    FolderRelation IntoItself(const EntryLook& entry) const;
    FolderRelation BoxFolder(const EntryLook& entry) const;
    // The entry is the root of a volume or share: not even a copy can take
    // it, since a whole drive has no name to be put under.
    static bool VolumeRoot(const std::wstring& path);
    static bool VolumeRoot(const EntryLook& entry);

private:
    std::vector<ResolvedFolder> m_boxFolders;
    ResolvedFolder m_into;
};
