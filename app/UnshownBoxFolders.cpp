#include "app/UnshownBoxFolders.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>

#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/KeptBoxFolders.h"

namespace
{

void AddFolders(const KelmStorageNestedObject* boxes, bool onlyShown, std::vector<std::wstring>& folders)
{
    if (!boxes)
        return;
    for (const auto& [key, value] : boxes->members) {
        const auto* object = std::get_if<std::shared_ptr<KelmStorageNestedObject>>(&value);
        if (!object || !*object)
            continue;
        const auto& members = (*object)->members;
        const auto shown = members.find(L"UseTargetFolder");
        if (onlyShown && (shown == members.end() || shown->second != KelmStorageValue(true)))
            continue;
        const auto found = members.find(L"TargetFolder");
        const auto* folder = found == members.end() ? nullptr : std::get_if<std::wstring>(&found->second);
        if (!folder || folder->empty() || *folder == L"bvn!NULL")
            continue;
        const std::wstring path = NormalizeStoredPath(*folder);
        if (std::find(folders.begin(), folders.end(), path) == folders.end())
            folders.push_back(path);
    }
}

} // namespace

std::vector<std::wstring> BoxFoldersOfStores(const KelmStorageNestedObject* components,
                                             const KelmStorageNestedObject* hiddenBoxes, bool onlyShown)
{
    std::vector<std::wstring> folders;
    AddFolders(components, onlyShown, folders);
    AddFolders(hiddenBoxes, onlyShown, folders);
    return folders;
}

std::vector<std::wstring> NodeBoxFolders(const std::wstring& node)
{
    KelmStorageNestedObject components, hidden;
    const bool haveBoxes = ReadStoreFileRoot(node + L"\\DesktopContainer.kelm", L"Components", components);
    const bool haveHidden = ReadStoreFileRoot(node + L"\\QuickPanelCom.kelm", L"TempList", hidden);
    return BoxFoldersOfStores(haveBoxes ? &components : nullptr, haveHidden ? &hidden : nullptr, true);
}

std::vector<std::wstring> FoldersNoBoxWillShow(const std::vector<std::wstring>& now,
                                               const std::vector<std::wstring>& later)
{
    std::vector<BY_HANDLE_FILE_INFORMATION> shown;
    for (const std::wstring& folder : later) {
        BY_HANDLE_FILE_INFORMATION facts{};
        if (EntryFacts(folder, false, facts))
            shown.push_back(facts);
    }
    std::vector<std::wstring> unshown;
    for (const std::wstring& folder : FoldersHoldingFiles(now)) {
        bool reached = false;
        // The folder itself or any folder above it that a later box shows.
        for (std::filesystem::path at(FullPathOf(folder)); !reached;) {
            BY_HANDLE_FILE_INFORMATION facts{};
            if (EntryFacts(at.wstring(), false, facts))
                reached = std::any_of(shown.begin(), shown.end(),
                                      [&](const BY_HANDLE_FILE_INFORMATION& s) { return SameFileIdentity(s, facts); });
            if (!at.has_relative_path() || at.parent_path() == at)
                break;
            at = at.parent_path();
        }
        if (!reached)
            unshown.push_back(folder);
    }
    return unshown;
}
