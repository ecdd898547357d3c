#include "box/BoxFolderGuard.h"

#include "app/VolumeRoot.h"

BoxFolderGuard::BoxFolderGuard(const std::vector<std::wstring>& boxFolders, const std::wstring& intoFolder)
    : m_into(ResolveFolder(intoFolder))
{
    for (const std::wstring& folder : boxFolders)
        if (!folder.empty() && folder != L"bvn!NULL")
            m_boxFolders.push_back(ResolveFolder(folder));
}

FolderRelation BoxFolderGuard::IntoItself(const std::wstring& path) const
{
    return RelationOf(path, m_into);
}

FolderRelation BoxFolderGuard::IntoItself(const EntryLook& entry) const
{
    return RelationOf(entry, m_into);
}

FolderRelation BoxFolderGuard::BoxFolder(const std::wstring& path) const
{
    if (path.empty())
        return FolderRelation::Unrelated;
    return BoxFolder(LookAtEntry(path));
}

bool BoxFolderGuard::VolumeRoot(const std::wstring& path)
{
    // Spelled as a root, it is one without a question to the system (a
    // share's server may be slow to answer).
    return !path.empty() && (IsRootSpelling(path) || VolumeRoot(LookAtEntry(path)));
}

bool BoxFolderGuard::VolumeRoot(const EntryLook& entry)
{
    return !entry.full.empty() && IsVolumeRoot(entry.full, entry.attributes);
}

FolderRelation BoxFolderGuard::BoxFolder(const EntryLook& entry) const
{
    if (VolumeRoot(entry))
        return FolderRelation::VolumeRoot;
    FolderRelation relation = FolderRelation::Unrelated;
    for (const ResolvedFolder& folder : m_boxFolders) {
        const FolderRelation found = RelationOf(entry, folder);
        if (found == FolderRelation::SameOrHolding)
            return found;
        if (found == FolderRelation::CannotTell)
            relation = found;
    }
    return relation;
}
