#include "box/BoxFolderGuard.h"

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

FolderRelation BoxFolderGuard::BoxFolder(const std::wstring& path) const
{
    FolderRelation relation = FolderRelation::Unrelated;
    for (const ResolvedFolder& folder : m_boxFolders) {
        const FolderRelation found = RelationOf(path, folder);
        if (found == FolderRelation::SameOrHolding)
            return found;
        if (found == FolderRelation::CannotTell)
            relation = found;
    }
    return relation;
}
