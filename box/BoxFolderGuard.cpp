#include "box/BoxFolderGuard.h"

#include <algorithm>

#include "app/AppState.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/KelmStorage.h"
#include "app/UnshownBoxFolders.h"
#include "app/VolumeRoot.h"
#include "box/BoxRuntime.h"

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

BoxFolderGuard::Place PlaceOf(const std::wstring& folder)
{
    BoxFolderGuard::Place place;
    place.resolved = ResolveFolder(folder);
    const std::wstring full = FullPathOf(NormalizeStoredPath(folder));
    place.spelled = ComparablePath(full);
    place.final = ComparableFinalPath(full);
    place.known = EntryFacts(full, false, place.facts);
    return place;
}

// outer is the folder resolved as inner or one above it, by spelling,
// identity or final path.
bool SameOrAbove(const BoxFolderGuard::Place& outer, const ResolvedFolder& inner)
{
    return std::any_of(inner.spellings.begin(), inner.spellings.end(),
                       [&](const std::wstring& spelling) { return SpelledSameOrAbove(outer.spelled, spelling); }) ||
           (outer.known && std::any_of(inner.chain.begin(), inner.chain.end(),
                                       [&](const auto& other) { return SameFileIdentity(other, outer.facts); })) ||
           (!outer.final.empty() &&
            std::find(inner.finalChain.begin(), inner.finalChain.end(), outer.final) != inner.finalChain.end());
}

} // namespace

ProgramFolders ProgramFoldersOfThisRun()
{
    ProgramFolders folders;
    // The stores and logs of the live data folder, its backup nodes and
    // marks; the kept copies and locks under the box root's ".data".
    if (!s_dataFolder.empty())
        folders.folders.push_back(s_dataFolder);
    const std::wstring root = NormalizeStoredPath(s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L""));
    if (!root.empty() && root != L"bvn!NULL") {
        folders.folders.push_back(root + L"\\.data");
        folders.userFolders.push_back(root);
    }
    // A box root placed in the data folder, or the folder of a box the
    // program made there, holds the user's files; a folder the user
    // pointed a box at is still the program's data where it lies in it.
    for (const auto& [box, runtime] : s_boxRuntimes)
        if (!runtime.IsPseudoBox() && runtime.UseTargetFolder && !runtime.IsCustomTarget)
            folders.userFolders.push_back(NormalizeStoredPath(runtime.TargetFolder));
    const auto hidden = s_quickPanelStore.Roots().find(L"TempList");
    for (const std::wstring& folder :
         BoxFoldersOfStores(nullptr, hidden == s_quickPanelStore.Roots().end() ? nullptr : &hidden->second, false))
        folders.userFolders.push_back(folder);
    return folders;
}

BoxFolderGuard::BoxFolderGuard(const std::vector<std::wstring>& boxFolders, const std::wstring& intoFolder,
                               const ProgramFolders& own)
    : m_into(ResolveFolder(intoFolder))
{
    for (const std::wstring& folder : boxFolders)
        if (!folder.empty() && folder != L"bvn!NULL")
            m_boxFolders.push_back(ResolveFolder(folder));
    for (const std::wstring& folder : own.folders)
        if (!folder.empty())
            m_own.push_back(PlaceOf(folder));
    for (const std::wstring& folder : own.userFolders)
        if (!folder.empty() && folder != L"bvn!NULL")
            m_userFolders.push_back(folder);
}

const std::vector<std::vector<BoxFolderGuard::Place>>& BoxFolderGuard::UserFoldersInside() const
{
    if (m_usersInside)
        return *m_usersInside;
    std::vector<Place> users;
    for (const std::wstring& folder : m_userFolders)
        users.push_back(PlaceOf(folder));
    m_usersInside.emplace();
    for (const Place& own : m_own) {
        std::vector<Place> inside;
        for (const Place& user : users)
            if (SameOrAbove(own, user.resolved) && !SameOrAbove(user, own.resolved))
                inside.push_back(user);
        m_usersInside->push_back(std::move(inside));
    }
    return *m_usersInside;
}

bool BoxFolderGuard::IsProgramOwn(const EntryLook& entry) const
{
    if (m_own.empty() || entry.full.empty())
        return false;
    for (const Place& own : m_own)
        if (RelationOf(entry, own.resolved) == FolderRelation::SameOrHolding)
            return true;
    // Inside: one of the folders is the entry's folder or above it, by
    // spelling, identity or final path, and no user folder lies between.
    const std::wstring folder = HoldingFolder(entry.full);
    if (folder.empty())
        return false;
    const std::wstring key = ComparablePath(folder);
    if (auto known = m_insideOwn.find(key); known != m_insideOwn.end())
        return known->second;
    const ResolvedFolder holding = ResolveFolder(folder);
    bool inside = false;
    for (size_t i = 0; i < m_own.size() && !inside; ++i) {
        if (!SameOrAbove(m_own[i], holding))
            continue;
        const std::vector<Place>& users = UserFoldersInside()[i];
        inside =
            std::none_of(users.begin(), users.end(), [&](const Place& user) { return SameOrAbove(user, holding); });
    }
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
