// The guard of one operation that moves, deletes or renames entries: is
// an entry the folder it is brought into, or a box's folder, or a folder
// holding one? The system is asked which folder an entry is (identity,
// final path), so another drive letter, a short name or a path through a
// link is known for what it is. The folders are resolved once, when the
// guard is made. Where the system will not tell, the entry counts as such
// a folder: these actions go ahead only on evidence that they are safe.
// The root of a volume or share is never taken by any of them.
#pragma once

#include <map>
#include <utility>
#include <string>
#include <vector>

#include "app/FolderRelation.h"

class BoxFolderGuard
{
public:
    // boxFolders as stored (doubled backslashes are collapsed); intoFolder
    // the folder entries are brought into, empty when none.
    // ownFolders hold the program's own data: an entry that is one of them
    // or lies directly in one (or anywhere inside one marked true: a box
    // root's ".data") is ProgramOwn, unless it is a box folder or holds
    // one. The data folder is not marked: what a user keeps deeper in it
    // (a box root placed there) is the user's.
    BoxFolderGuard(const std::vector<std::wstring>& boxFolders, const std::wstring& intoFolder,
                   const std::vector<std::pair<std::wstring, bool>>& ownFolders = {});

    // The entry is intoFolder or holds it (or may be).
    FolderRelation IntoItself(const std::wstring& path) const;
    // The entry is the root of a volume or share (VolumeRoot), else
    // whether it is one of boxFolders or holds one (or may be), else
    // whether it is the program's own (ProgramOwn).
    FolderRelation BoxFolder(const std::wstring& path) const;
    // The same questions about an entry already looked at (LookAtEntry).
    FolderRelation IntoItself(const EntryLook& entry) const;
    FolderRelation BoxFolder(const EntryLook& entry) const;
    // The entry is the root of a volume or share: not even a copy can take
    // it, since a whole drive has no name to be put under.
    static bool VolumeRoot(const std::wstring& path);
    static bool VolumeRoot(const EntryLook& entry);

private:
    struct OwnFolder {
        ResolvedFolder resolved;
        std::wstring spelled, final;
        BY_HANDLE_FILE_INFORMATION facts{};
        bool known = false;
        bool wholeTree = false;
    };
    bool IsProgramOwn(const EntryLook& entry) const;

    std::vector<ResolvedFolder> m_boxFolders;
    ResolvedFolder m_into;
    std::vector<OwnFolder> m_own;
    // Whether a folder (by its comparable spelling) lies inside one of
    // m_own: the entries of one drop mostly share their folder, which is
    // resolved once.
    mutable std::map<std::wstring, bool> m_insideOwn;
};
