#include "sidewindows/quickpanel/QuickPanelContentModel.h"

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <system_error>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "box/BoxRuntime.h"
#include "box/icons/FolderSync.h"
#include "box/icons/KelmIconManager.h"
#include "box/icons/WildcardMatch.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelPhysListing.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "ui/core/KelmWindow.h"

namespace TessikQuickPanel
{

namespace
{

using NestedPtr = std::shared_ptr<KelmStorageNestedObject>;

struct StoredEntry {
    std::wstring path;
    std::wstring alias;
};

const KelmStorageNestedObject* FindObject(const KelmStorageNestedObject& parent, const std::wstring& key)
{
    auto it = parent.members.find(key);
    if (it == parent.members.end() || !std::holds_alternative<NestedPtr>(it->second))
        return nullptr;
    return std::get<NestedPtr>(it->second).get();
}

std::wstring TextOr(const KelmStorageNestedObject& object, const std::wstring& key, const std::wstring& fallback)
{
    auto it = object.members.find(key);
    if (it == object.members.end() || !std::holds_alternative<std::wstring>(it->second))
        return fallback;
    return std::get<std::wstring>(it->second);
}

// The entries stored under root / id, "0", "1", ... up to the first gap;
// the paths in their one stored form, the aliases as they were typed.
std::vector<StoredEntry> ReadEntries(const wchar_t* rootName, const std::wstring& id)
{
    std::vector<StoredEntry> entries;
    const KelmStorageNestedObject* root = nullptr;
    try {
        root = &s_quickPanelStore.GetRootObject(rootName);
    } catch (const std::exception&) {
        return entries;
    }
    const KelmStorageNestedObject* list = FindObject(*root, id);
    if (!list)
        return entries;
    for (size_t n = 0;; ++n) {
        const KelmStorageNestedObject* entry = FindObject(*list, std::to_wstring(n));
        if (!entry)
            break;
        const std::wstring path = TextOr(*entry, L"path", L"");
        if (path.empty())
            continue;
        entries.push_back({NormalizeStoredPath(path), TypedTextMember(entry, L"alias", L"bvn!NULL")});
    }
    return entries;
}

const HiddenBoxRecord* SelectedHiddenBox()
{
    for (const HiddenBoxRecord& record : s_hiddenBoxes)
        if (record.id == s_selectedComponentId)
            return &record;
    return nullptr;
}

BoxWindowPtr FindBox(const std::wstring& id)
{
    for (const auto& [window, runtime] : s_boxRuntimes)
        if (window && runtime.id == id)
            return window;
    return nullptr;
}

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

bool IsPanelWindow(const BoxWindowPtr& window, const BoxRuntime& runtime)
{
    return window == s_quickPanelWindow || window == s_quickPanelContentWindow || window == s_quickPanelDummy ||
           IsQuickPanelPseudoId(runtime.id);
}

void FillSearch(KelmIconManager& main, const BoxWindowPtr& mainWindow, const BoxWindowPtr& physWindow,
                const std::wstring& pattern)
{
    auto matches = [&pattern](const std::wstring& path, const std::wstring& alias) {
        return WildcardMatchNoCase(pattern, EntrySearchName(path, alias));
    };
    BoxWindowPtr selectedBox;
    if (s_selectedIsHidden) {
        if (const HiddenBoxRecord* hidden = SelectedHiddenBox()) {
            const wchar_t* section = L"当前组件 (映射区)";
            for (const StoredEntry& entry : ReadEntries(L"TempIcons", hidden->id)) {
                if (!matches(entry.path, entry.alias))
                    continue;
                Add(main, entry.path, entry.alias, section, mainWindow);
                section = L"";
            }
            const std::wstring folder = NormalizeStoredPath(hidden->TargetFolder);
            std::error_code error;
            if (hidden->TargetFolder != L"bvn!NULL" && std::filesystem::is_directory(folder, error)) {
                section = L"当前组件 (物理区)";
                for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
                     it.increment(error)) {
                    const std::wstring path = it->path().wstring();
                    if (!matches(path, L"bvn!NULL"))
                        continue;
                    Add(main, path, L"bvn!NULL", section, physWindow);
                    section = L"";
                }
            }
        }
    } else if ((selectedBox = FindBox(s_selectedComponentId))) {
        const wchar_t* section = L"当前组件";
        for (const IconRecord& record : s_boxIconManagers[selectedBox].Records()) {
            if (!matches(record.path, record.alias))
                continue;
            Add(main, record.path, record.alias, section, selectedBox, record.originalPath);
            section = L"";
        }
    }
    // Copied first: adding records may touch the registry's maps.
    std::vector<std::pair<BoxWindowPtr, std::wstring>> others;
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (!window || IsPanelWindow(window, runtime) || window == selectedBox)
            continue;
        others.emplace_back(window, runtime.title.empty() ? L"其他组件" : runtime.title);
    }
    for (const auto& [window, label] : others) {
        const std::vector<IconRecord> records = s_boxIconManagers[window].Records();
        std::wstring section = label;
        for (const IconRecord& record : records) {
            if (!matches(record.path, record.alias))
                continue;
            Add(main, record.path, record.alias, section, window, record.originalPath);
            section.clear();
        }
    }
}

// One record the main list is to show, in its order: the record it stands
// for (path, alias, original path and file facts), its owner and the header
// it opens.
struct WantedRecord {
    const IconRecord* source = nullptr;
    BoxWindowPtr owner;
    std::wstring sectionText;
};

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

// The records of a list made elsewhere (the search's), as they stand.
std::vector<WantedRecord> WantedOf(const KelmIconManager& list)
{
    std::vector<WantedRecord> wanted;
    wanted.reserve(list.Records().size());
    for (const IconRecord& record : list.Records())
        wanted.push_back({&record, list.EffectiveOwner(record), record.sectionText});
    return wanted;
}

struct ShownKey {
    std::wstring_view path;
    const KelmWindow* owner = nullptr;
    bool operator==(const ShownKey&) const = default;
};

struct ShownKeyHash {
    size_t operator()(const ShownKey& key) const
    {
        return std::hash<std::wstring_view>()(key.path) * 31 + std::hash<const void*>()(key.owner);
    }
};

// Brings list to the wanted records in their order. A record shown before
// keeps its place, motion, control and id, so the selection follows it at
// the renumbering; a new one fades in. True when anything changed; the
// list is rebuilt only then. Looked up by path and owner without copying
// either: the panel follows a box of thousands a few times a second while
// a paste fills it.
bool TakeOver(KelmIconManager& list, const std::vector<WantedRecord>& wanted)
{
    constexpr size_t kNone = static_cast<size_t>(-1);
    std::vector<IconRecord>& shown = list.Records();
    // The first shown record of each path and owner not yet taken, and
    // after each the next one of the same.
    std::unordered_map<ShownKey, size_t, ShownKeyHash> first;
    first.reserve(shown.size());
    std::vector<size_t> nextSame(shown.size(), kNone);
    for (size_t i = shown.size(); i-- > 0;) {
        auto [at, inserted] = first.try_emplace(ShownKey{shown[i].path, list.EffectiveOwner(shown[i]).get()}, i);
        if (!inserted) {
            nextSame[i] = at->second;
            at->second = i;
        }
    }
    std::vector<size_t> olds(wanted.size(), kNone);
    bool changed = shown.size() != wanted.size();
    for (size_t w = 0; w < wanted.size(); ++w) {
        const WantedRecord& item = wanted[w];
        const IconRecord& source = *item.source;
        auto found = first.find(ShownKey{source.path, item.owner.get()});
        if (found == first.end() || found->second == kNone) {
            changed = true;
            continue;
        }
        const size_t old = found->second;
        found->second = nextSame[old];
        olds[w] = old;
        IconRecord& kept = shown[old];
        changed = changed || old != w || kept.alias != source.alias || kept.sectionText != item.sectionText;
        if (kept.alias != source.alias) {
            kept.alias = source.alias;
            kept.sortName = IconSortName(kept.alias, kept.path);
        }
        if (kept.sectionText != item.sectionText)
            kept.sectionText = item.sectionText;
        if (kept.originalPath != source.originalPath)
            kept.originalPath = source.originalPath;
        kept.lastWriteTime = source.lastWriteTime;
        kept.isDirectory = source.isDirectory;
    }
    if (!changed)
        return false;
    std::vector<IconRecord> next;
    next.reserve(wanted.size());
    for (size_t w = 0; w < wanted.size(); ++w) {
        if (olds[w] != kNone) {
            next.push_back(std::move(shown[olds[w]]));
            continue;
        }
        const IconRecord& source = *wanted[w].source;
        IconRecord record = list.MakeRecord(source.path, 0.0f, 0.0f, source.alias, false, wanted[w].sectionText,
                                            wanted[w].owner, source.originalPath);
        record.lastWriteTime = source.lastWriteTime;
        record.isDirectory = source.isDirectory;
        next.push_back(std::move(record));
    }
    shown = std::move(next);
    list.Renumber();
    return true;
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

std::wstring EntrySearchName(const std::wstring& path, const std::wstring& alias)
{
    const std::wstring& source = alias == L"bvn!NULL" ? path : alias;
    const size_t cut = source.find_last_of(L"\\/");
    return cut == std::wstring::npos ? source : source.substr(cut + 1);
}

std::wstring SearchPattern(const std::wstring& text)
{
    if (text.find_first_of(L"*?") != std::wstring::npos)
        return text;
    return L"*" + text + L"*";
}

bool FollowBoxChange(const BoxWindowPtr& box)
{
    const BoxWindowPtr mainWindow = s_quickPanelWindow;
    // Only while the panel is open: closing it takes its runtime record.
    const BoxRuntime* mainRuntime = FindBoxRuntime(mainWindow);
    auto main = s_boxIconManagers.find(mainWindow);
    if (!box || !mainRuntime || main == s_boxIconManagers.end() || s_selectedComponentId.empty())
        return false;
    if (mainRuntime->searchActive && !mainRuntime->searchText.empty()) {
        KelmIconManager wanted(main->second.GetIconSize(), main->second.BaseGap(), main->second.TopOffset());
        wanted.SetOwnBox(main->second.OwnBox());
        FillSearch(wanted, mainWindow, s_quickPanelDummy, SearchPattern(mainRuntime->searchText));
        return TakeOver(main->second, WantedOf(wanted));
    }
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
    // Whatever a listing on its way was for is rebuilt here.
    DropPhysicalListing();
    main.RemoveAllRecords();
    if (physWindow)
        s_boxIconManagers[physWindow].RemoveAllRecords();
    if (s_selectedComponentId.empty())
        return;

    BoxRuntime& mainRuntime = s_boxRuntimes[mainWindow];
    ResetPseudoRuntime(mainRuntime);
    if (physWindow)
        ResetPseudoRuntime(s_boxRuntimes[physWindow]);

    if (mainRuntime.searchActive && !mainRuntime.searchText.empty()) {
        main.SetOverlayMode(true);
        if (physWindow)
            s_boxIconManagers[physWindow].SetOverlayMode(true);
        FillSearch(main, mainWindow, physWindow, SearchPattern(mainRuntime.searchText));
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
            for (const StoredEntry& entry : ReadEntries(L"TempIcons", hidden->id))
                Add(main, entry.path, entry.alias, L"", mainWindow);
            if (physWindow) {
                BoxRuntime& physRuntime = s_boxRuntimes[physWindow];
                physRuntime.UseTargetFolder = true;
                physRuntime.TargetFolder = folder;
                KelmIconManager& phys = s_boxIconManagers[physWindow];
                FillStoredUnread(phys, ReadEntries(L"TempPhysIcons", hidden->id), physWindow);
                phys.UpdateAnimations(physWindow);
                ListPhysicalSectionSoon();
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
    bool changed = force;
    if (s_selectedComponentId != lastSelection) {
        changed = true;
        lastSelection = s_selectedComponentId;
    }
    changed = WriteEntries(L"TempIcons", s_boxIconManagers[s_quickPanelWindow]) || changed;
    // Until its folder's listing is back the physical section holds only
    // what was stored: it is written once the listing has landed.
    if (s_quickPanelDummy && IsWindow(s_quickPanelDummy->GetHwnd()) && !PhysicalListingOnItsWay())
        changed = WriteEntries(L"TempPhysIcons", s_boxIconManagers[s_quickPanelDummy]) || changed;
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
