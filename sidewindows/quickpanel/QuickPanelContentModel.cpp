#include "sidewindows/quickpanel/QuickPanelContentModel.h"

#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "box/BoxRuntime.h"
#include "box/icons/FolderSync.h"
#include "box/icons/KelmIconManager.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelPhysListing.h"
#include "sidewindows/quickpanel/QuickPanelRecords.h"
#include "sidewindows/quickpanel/QuickPanelSearch.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "ui/core/KelmWindow.h"

namespace TessikQuickPanel
{

namespace
{

void ResetPseudoRuntime(BoxRuntime& runtime)
{
    runtime.selection.clear();
    runtime.multiSelect = false;
    runtime.scrollOffset = 0;
    runtime.UseTargetFolder = false;
    runtime.TargetFolder = L"bvn!NULL";
    runtime.bandActive = false;
}

// A box's record listed here keeps its original path: whatever saves the
// list on the box's behalf must not make the box forget where a file
// came from.
void Add(KelmIconManager& list, const std::wstring& path, const std::wstring& alias, const std::wstring& section,
         const BoxWindowPtr& owner, const std::wstring& originalPath = L"bvn!NULL")
{
    list.AddRecordForPath(path, 0.0f, 0.0f, alias, false, section, owner, originalPath);
}

// The physical section's stored entries, each once, in their order: their
// files are read by the listing of the folder, off this thread (thousands
// of questions to the disk, and as many searches for a second record of a
// path, would hold every window).
void FillStoredUnread(KelmIconManager& list, const std::vector<StoredEntry>& entries, const BoxWindowPtr& owner)
{
    std::unordered_set<std::wstring> paths;
    list.Records().reserve(entries.size());
    for (const StoredEntry& entry : entries) {
        if (!paths.insert(entry.path).second)
            continue;
        list.Records().push_back(list.MakeRecord(entry.path, 0.0f, 0.0f, entry.alias, false, L"", owner, L"bvn!NULL"));
    }
    list.Renumber();
}

// The header of a run of the owner's records: its title, or the selected
// box's for an owner no longer registered.
std::wstring RunHeader(const BoxWindowPtr& owner)
{
    if (const BoxRuntime* runtime = owner ? FindBoxRuntime(owner) : nullptr)
        return runtime->title;
    if (BoxWindowPtr selected = FindBox(s_selectedComponentId))
        return s_boxRuntimes[selected].title;
    return L"";
}

// Gives the first record of every run of one owner a header, unless it has
// one already.
void LabelOwnerRuns(KelmIconManager& list, const std::wstring& fixed)
{
    BoxWindowPtr previous;
    bool first = true;
    for (IconRecord& record : list.Records()) {
        if ((first || record.owner != previous) && record.sectionText.empty())
            record.sectionText = fixed.empty() ? RunHeader(record.owner) : fixed;
        first = false;
        previous = record.owner;
    }
}

// The main list of a desktop box as the refresh makes it: the box's records
// in its order, each path once, with the file facts they already hold
// (following a change must not read every file again on the UI thread).
std::vector<WantedRecord> DesktopBoxWanted(const KelmIconManager& list, const BoxWindowPtr& box)
{
    std::vector<WantedRecord> wanted;
    auto manager = s_boxIconManagers.find(box);
    if (manager == s_boxIconManagers.end())
        return wanted;
    const std::vector<IconRecord>& records = manager->second.Records();
    wanted.reserve(records.size());
    std::unordered_set<std::wstring_view> paths;
    paths.reserve(records.size());
    const KelmWindow* previous = nullptr;
    for (const IconRecord& source : records) {
        const BoxWindowPtr& owner = source.owner ? source.owner : box;
        if (!paths.insert(source.path).second && list.ChecksDuplicatesFor(owner))
            continue;
        WantedRecord item{&source, owner, source.sectionText};
        // As LabelOwnerRuns heads the runs of one owner.
        if (item.sectionText.empty() && (wanted.empty() || owner.get() != previous))
            item.sectionText = RunHeader(owner);
        previous = owner.get();
        wanted.push_back(std::move(item));
    }
    return wanted;
}

// The panel follows the folder refresh from its first filling on; the
// refresh keeps its listeners for the program's life.
void ListenToFolderRefresh()
{
    static bool listening = false;
    if (listening)
        return;
    listening = true;
    AddFolderRefreshListener([](const BoxWindowPtr& box) {
        if (!FollowBoxChange(box))
            return;
        for (const BoxWindowPtr& window : {s_quickPanelWindow, s_quickPanelContentWindow})
            if (window && IsWindow(window->GetHwnd()))
                InvalidateRect(window->GetHwnd(), nullptr, FALSE);
    });
}

void RemovePseudoBoxSettings()
{
    try {
        KelmStorageNestedObject& components = s_desktopContainerStore.GetRootObject(L"Components");
        const bool root = components.members.erase(L"ComID_QUICK_PANEL_ROOT") > 0;
        const bool phys = components.members.erase(L"ComID_QUICK_PANEL_PHYS") > 0;
        if (root || phys)
            SaveStore(s_desktopContainerStore, L"Quick panel pseudo boxes");
    } catch (const std::exception&) {
        // No "Components" root: nothing to clean.
    }
}

// Brings the entries stored under root / id to the list's records, as a
// whole write would leave them ("0", "1", ... each with path and alias).
// Only what differs is written, in place: a paint that finds nothing
// changed writes nothing, and a section of ten thousand files is not built
// again in the store after every change. True when the stored entries
// changed.
bool WriteEntries(const wchar_t* rootName, const KelmIconManager& list)
{
    s_quickPanelStore[rootName];
    KelmStorageMemberMap& ids = s_quickPanelStore.GetRootObject(rootName).members;
    const std::vector<IconRecord>& records = list.Records();
    auto found = ids.find(s_selectedComponentId);
    if (records.empty()) {
        if (found == ids.end())
            return false;
        ids.erase(s_selectedComponentId);
        return true;
    }
    auto value = [&records](size_t row, size_t field, std::wstring& out) {
        out = field == 0 ? records[row].path : TypedTextToStore(records[row].alias);
    };
    const std::vector<const wchar_t*> fields{L"path", L"alias"};
    KelmStorageNestedObject* stored =
        found != ids.end() && found->second.index() == 4 ? std::get<4>(found->second).get() : nullptr;
    bool changed = false;
    if (stored && WriteRowsInPlace(*stored, L"", fields, records.size(), value, &changed))
        return changed;
    ids.erase(s_selectedComponentId);
    auto fresh = std::make_shared<KelmStorageNestedObject>();
    WriteRowsInPlace(*fresh, L"", fields, records.size(), value);
    ids.insert({s_selectedComponentId, KelmStorageValue(std::move(fresh))});
    return true;
}

} // namespace

bool FollowBoxChange(const BoxWindowPtr& box)
{
    const BoxWindowPtr mainWindow = s_quickPanelWindow;
    // Only while the panel is open: closing it takes its runtime record.
    const BoxRuntime* mainRuntime = FindBoxRuntime(mainWindow);
    auto main = s_boxIconManagers.find(mainWindow);
    if (!box || !mainRuntime || main == s_boxIconManagers.end() || s_selectedComponentId.empty())
        return false;
    if (mainRuntime->searchActive && !mainRuntime->searchText.empty())
        return FollowSearchBoxChange(box);
    if (s_selectedIsHidden || FindBox(s_selectedComponentId) != box)
        return false;
    return TakeOver(main->second, DesktopBoxWanted(main->second, box));
}

void RefreshQuickPanelContent()
{
    if (!s_quickPanelWindow)
        return;
    ListenToFolderRefresh();
    const BoxWindowPtr mainWindow = s_quickPanelWindow;
    const BoxWindowPtr physWindow = s_quickPanelDummy;
    KelmIconManager& main = s_boxIconManagers[mainWindow];
    const BoxRuntime* panel = FindBoxRuntime(mainWindow);
    const bool searching = panel && panel->searchActive && !panel->searchText.empty();
    // Whatever a listing or search on its way was for is rebuilt here. A
    // search keeps what the list shows until its result is whole.
    DropPhysicalListing();
    DropSearch();
    if (!searching || s_selectedComponentId.empty())
        main.RemoveAllRecords();
    if (physWindow)
        s_boxIconManagers[physWindow].RemoveAllRecords();
    if (s_selectedComponentId.empty())
        return;

    BoxRuntime& mainRuntime = s_boxRuntimes[mainWindow];
    ResetPseudoRuntime(mainRuntime);
    if (physWindow)
        ResetPseudoRuntime(s_boxRuntimes[physWindow]);

    if (searching) {
        main.SetOverlayMode(true);
        if (physWindow)
            s_boxIconManagers[physWindow].SetOverlayMode(true);
        StartSearch();
        return;
    }

    main.SetOverlayMode(true);
    if (physWindow)
        s_boxIconManagers[physWindow].SetOverlayMode(false);
    if (s_selectedIsHidden) {
        if (const HiddenBoxRecord* hidden = SelectedHiddenBox()) {
            const std::wstring folder =
                hidden->TargetFolder == L"bvn!NULL" ? hidden->TargetFolder : NormalizeStoredPath(hidden->TargetFolder);
            mainRuntime.TargetFolder = folder;
            if (!physWindow) {
                for (const StoredEntry& entry : ReadEntries(L"TempIcons", hidden->id))
                    Add(main, entry.path, entry.alias, L"", mainWindow);
            } else {
                // Their files' facts come with the folder's listing, off
                // this thread.
                FillStoredUnread(main, ReadEntries(L"TempIcons", hidden->id), mainWindow);
                BoxRuntime& physRuntime = s_boxRuntimes[physWindow];
                physRuntime.UseTargetFolder = true;
                physRuntime.TargetFolder = folder;
                KelmIconManager& phys = s_boxIconManagers[physWindow];
                FillStoredUnread(phys, ReadEntries(L"TempPhysIcons", hidden->id), physWindow);
                phys.UpdateAnimations(physWindow);
                ListPhysicalSectionSoon(true);
            }
        }
    } else if (BoxWindowPtr box = FindBox(s_selectedComponentId)) {
        mainRuntime.TargetFolder = s_boxRuntimes[box].TargetFolder;
        // The box's records already hold their files' facts: nothing is
        // read from the disk here.
        TakeOver(main, DesktopBoxWanted(main, box));
    }
    LabelOwnerRuns(main, s_selectedIsHidden ? L"映射区" : L"");
    if (s_selectedIsHidden && physWindow && !s_boxIconManagers[physWindow].Records().empty())
        LabelOwnerRuns(s_boxIconManagers[physWindow], L"物理区");
}

void SaveHiddenBoxEntries(bool force)
{
    static std::wstring lastSelection;
    if (!s_selectedIsHidden || s_selectedComponentId.empty() || !s_quickPanelWindow)
        return;
    // While a search is shown the main list holds its matches, not the
    // box's entries.
    if (const BoxRuntime* panel = FindBoxRuntime(s_quickPanelWindow);
        panel && panel->searchActive && !panel->searchText.empty())
        return;
    bool changed = force;
    if (s_selectedComponentId != lastSelection) {
        changed = true;
        lastSelection = s_selectedComponentId;
    }
    // Each paint asks: a list compared with the store only when it changed
    // since it was last written, not ten thousand entries at every paint.
    static ListMemo mappedWritten, physicalWritten;
    const KelmIconManager& mapped = s_boxIconManagers[s_quickPanelWindow];
    if (force || !mappedWritten.Stands(mapped, s_selectedComponentId)) {
        changed = WriteEntries(L"TempIcons", mapped) || changed;
        mappedWritten.Note(mapped, s_selectedComponentId);
    }
    // Until its folder's listing is back the physical section holds only
    // what was stored: it is written once the listing has landed.
    if (s_quickPanelDummy && IsWindow(s_quickPanelDummy->GetHwnd()) && !PhysicalListingOnItsWay()) {
        const KelmIconManager& physical = s_boxIconManagers[s_quickPanelDummy];
        if (force || !physicalWritten.Stands(physical, s_selectedComponentId)) {
            changed = WriteEntries(L"TempPhysIcons", physical) || changed;
            physicalWritten.Note(physical, s_selectedComponentId);
        }
    }
    if (!changed)
        return;
    // Ten thousand entries make a file of megabytes: it is written off this
    // thread, in the order of the saves; a failed write is told and tried
    // again by the store.
    try {
        s_quickPanelStore.SaveInBackground();
    } catch (const std::exception&) {
        SaveStore(s_quickPanelStore, L"Hidden box entries");
    }
    RemovePseudoBoxSettings();
}

} // namespace TessikQuickPanel
