#include "app/FolderRelation.h"

#include <algorithm>

#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"

namespace
{

// The folder above a full or comparable path ("C:\a" is held by "C:\");
// empty above a root.
std::wstring ParentFolder(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L'\\');
    // "\\server" is no folder to open.
    if (slash == std::wstring::npos || slash < 2 || slash + 1 >= path.size())
        return L"";
    std::wstring parent = path.substr(0, slash);
    if (parent.size() == 2 && parent[1] == L':')
        parent += L'\\';
    return parent;
}

// The identity of every folder from path up to its root. ownToo adds what
// a link on the way is itself besides what it leads to.
void AddIdentities(std::wstring path, bool ownToo, ResolvedFolder& resolved)
{
    for (; !path.empty(); path = ParentFolder(path)) {
        for (const bool own : {false, true}) {
            if (own && !ownToo)
                continue;
            BY_HANDLE_FILE_INFORMATION facts{};
            if (EntryFacts(path, own, facts))
                resolved.chain.push_back(facts);
        }
    }
}

bool IsRoot(const std::wstring& comparable)
{
    return comparable.size() == 2 && comparable[1] == L':';
}

} // namespace

bool SpelledSameOrAbove(const std::wstring& candidate, const std::wstring& folder)
{
    if (candidate.empty() || folder.size() < candidate.size())
        return false;
    if (folder.compare(0, candidate.size(), candidate) != 0)
        return false;
    return folder.size() == candidate.size() || folder[candidate.size()] == L'\\';
}

ResolvedFolder ResolveFolder(const std::wstring& folder)
{
    ResolvedFolder resolved;
    if (folder.empty() || folder == L"bvn!NULL")
        return resolved;
    const std::wstring written = FullPathOf(NormalizeStoredPath(folder));
    resolved.spellings.push_back(ComparablePath(written));
    AddIdentities(written, true, resolved);
    const std::wstring final = ComparableFinalPath(written);
    if (!final.empty()) {
        resolved.spellings.push_back(final);
        // The comparable form of a root ("c:") opens the current folder of
        // that drive; the folder walk wants the root itself.
        AddIdentities(IsRoot(final) ? final + L"\\" : final, false, resolved);
        for (std::wstring p = final; !p.empty(); p = ComparablePath(ParentFolder(IsRoot(p) ? p + L"\\" : p)))
            resolved.finalChain.push_back(p);
    }
    return resolved;
}

EntryLook LookAtEntry(const std::wstring& entry)
{
    EntryLook look;
    if (entry.empty())
        return look;
    look.full = FullPathOf(entry);
    look.attributes = GetFileAttributesW(LongPathForm(look.full).c_str());
    if (look.attributes == INVALID_FILE_ATTRIBUTES)
        look.error = GetLastError();
    return look;
}

FolderRelation RelationOf(const std::wstring& entry, const ResolvedFolder& folder)
{
    if (entry.empty() || folder.spellings.empty())
        return FolderRelation::Unrelated;
    return RelationOf(LookAtEntry(entry), folder);
}

FolderRelation RelationOf(const EntryLook& entry, const ResolvedFolder& folder)
{
    if (entry.full.empty() || folder.spellings.empty())
        return FolderRelation::Unrelated;
    const std::wstring& full = entry.full;
    const std::wstring spelled = ComparablePath(full);
    if (std::any_of(folder.spellings.begin(), folder.spellings.end(),
                    [&](const std::wstring& spelling) { return SpelledSameOrAbove(spelled, spelling); }))
        return FolderRelation::SameOrHolding;
    const DWORD attributes = entry.attributes;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = entry.error;
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FolderRelation::Unrelated
                                                                              : FolderRelation::CannotTell;
    }
    // A file is no folder and holds none.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FolderRelation::Unrelated;
    // Opened as itself: a link the system shows as one is moved or removed
    // as a link and takes nothing behind it.
    BY_HANDLE_FILE_INFORMATION facts{};
    const bool known = EntryFacts(full, true, facts);
    if (known && std::any_of(folder.chain.begin(), folder.chain.end(),
                             [&](const BY_HANDLE_FILE_INFORMATION& other) { return SameFileIdentity(facts, other); }))
        return FolderRelation::SameOrHolding;
    // Some systems give one folder another identity on each drive letter
    // that reaches it; its final path is the same.
    const std::wstring final = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? L"" : ComparableFinalPath(full);
    if (!final.empty() &&
        std::find(folder.finalChain.begin(), folder.finalChain.end(), final) != folder.finalChain.end())
        return FolderRelation::SameOrHolding;
    return known || !final.empty() ? FolderRelation::Unrelated : FolderRelation::CannotTell;
}
