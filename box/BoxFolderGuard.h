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
#include <optional>
#include <string>
#include <vector>

#include "app/FolderRelation.h"

// Where the program keeps its own data, for a guard of entries brought
// into a box: everything at any depth in one of folders is the program's
// (the live data folder: stores, logs, backup nodes, marks; a box root's
// ".data": kept copies and locks), but what lies inside one of
// userFolders placed in it: the box root and the folders of the boxes the
// program made hold the user's files wherever they stand.
struct ProgramFolders {
    std::vector<std::wstring> folders;
    std::vector<std::wstring> userFolders;
};
// This run's: the data folder and the box root's ".data"; the box root,
// every normal box's folder and every hidden box's folder. UI thread only.
ProgramFolders ProgramFoldersOfThisRun();

class BoxFolderGuard
{
public:
    // boxFolders as stored (doubled backslashes are collapsed); intoFolder
    // the folder entries are brought into, empty when none.
    // An entry that is one of own's folders, holds one or lies anywhere
    // inside one (but inside a user folder there) is ProgramOwn, unless it
    // is a box folder or holds one.
    BoxFolderGuard(const std::vector<std::wstring>& boxFolders, const std::wstring& intoFolder,
                   const ProgramFolders& own = {});

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

    // A folder as the questions of "inside" need it: resolved, and its own
    // spelling, final path and identity.
    struct Place {
        ResolvedFolder resolved;
        std::wstring spelled, final;
        BY_HANDLE_FILE_INFORMATION facts{};
        bool known = false;
    };

private:
    bool IsProgramOwn(const EntryLook& entry) const;
    // For each of m_own, the user folders that lie inside it; resolved
    // only once an entry is found inside one of m_own.
    const std::vector<std::vector<Place>>& UserFoldersInside() const;

    std::vector<ResolvedFolder> m_boxFolders;
    ResolvedFolder m_into;
    std::vector<Place> m_own;
    std::vector<std::wstring> m_userFolders;
    mutable std::optional<std::vector<std::vector<Place>>> m_usersInside;
    // Whether a folder (by its comparable spelling) lies inside one of
    // m_own: the entries of one drop mostly share their folder, which is
    // resolved once.
    mutable std::map<std::wstring, bool> m_insideOwn;
};
