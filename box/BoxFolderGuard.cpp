#include "box/BoxFolderGuard.h"

#include <algorithm>

#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/VolumeRoot.h"

namespace
{

// The folder holding a full path ("C:\a" is held by "C:\"), empty for a
// root.
std::wstring HoldingFolder(const std::wstring& full)
{
    const size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash < 2 || slash + 1 >= full.size())
        return L"";
    std::wstring folder = full.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    return folder;
}

} // namespace

BoxFolderGuard::BoxFolderGuard(const std::vector<std::wstring>& boxFolders, const std::wstring& intoFolder,
                               const std::vector<std::pair<std::wstring, bool>>& ownFolders)
    : m_into(ResolveFolder(intoFolder))
{
    for (const std::wstring& folder : boxFolders)
        if (!folder.empty() && folder != L"bvn!NULL")
            m_boxFolders.push_back(ResolveFolder(folder));
    for (const auto& [folder, wholeTree] : ownFolders) {
        if (folder.empty())
            continue;
        OwnFolder own;
        own.wholeTree = wholeTree;
        own.resolved = ResolveFolder(folder);
        const std::wstring full = FullPathOf(NormalizeStoredPath(folder));
        own.spelled = ComparablePath(full);
        own.final = ComparableFinalPath(full);
        own.known = EntryFacts(full, false, own.facts);
        m_own.push_back(std::move(own));
    }
}

bool BoxFolderGuard::IsProgramOwn(const EntryLook& entry) const
{
    if (m_own.empty() || entry.full.empty())
        return false;
    for (const OwnFolder& own : m_own)
        if (RelationOf(entry, own.resolved) == FolderRelation::SameOrHolding)
            return true;
    // Inside: one of the folders is the entry's folder or above it, by
    // spelling, identity or final path.
    const std::wstring folder = HoldingFolder(entry.full);
    if (folder.empty())
        return false;
    const std::wstring key = ComparablePath(folder);
    if (auto known = m_insideOwn.find(key); known != m_insideOwn.end())
        return known->second;
    const ResolvedFolder holding = ResolveFolder(folder);
    auto within = [&holding](const std::wstring& spelled, const std::wstring& final,
                             const BY_HANDLE_FILE_INFORMATION* facts) {
        return std::any_of(holding.spellings.begin(), holding.spellings.end(),
                           [&](const std::wstring& spelling) { return SpelledSameOrAbove(spelled, spelling); }) ||
               (facts && std::any_of(holding.chain.begin(), holding.chain.end(),
                                     [&](const auto& other) { return SameFileIdentity(other, *facts); })) ||
               (!final.empty() &&
                std::find(holding.finalChain.begin(), holding.finalChain.end(), final) != holding.finalChain.end());
    };
    BY_HANDLE_FILE_INFORMATION folderFacts{};
    const bool folderKnown = EntryFacts(folder, false, folderFacts);
    // The data folder's own entries are the ones directly in it (stores,
    // logs, backups, marks); a ".data" is the program's all the way down.
    auto directlyIn = [&](const OwnFolder& own) {
        return std::find(holding.spellings.begin(), holding.spellings.end(), own.spelled) != holding.spellings.end() ||
               (!own.final.empty() && !holding.finalChain.empty() && holding.finalChain.front() == own.final) ||
               (own.known && folderKnown && SameFileIdentity(own.facts, folderFacts));
    };
    const bool inside = std::any_of(m_own.begin(), m_own.end(), [&](const OwnFolder& own) {
        return own.wholeTree ? within(own.spelled, own.final, own.known ? &own.facts : nullptr) : directlyIn(own);
    });
    m_insideOwn[key] = inside;
    return inside;
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
    if (relation == FolderRelation::Unrelated && IsProgramOwn(entry))
        return FolderRelation::ProgramOwn;
    return relation;
}
