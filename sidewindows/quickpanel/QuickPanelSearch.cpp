#include "sidewindows/quickpanel/QuickPanelSearch.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/Logger.h"
#include "box/BoxPaintRules.h"
#include "box/BoxRuntime.h"
#include "box/icons/FolderSync.h"
#include "box/icons/KelmIconManager.h"
#include "box/icons/WildcardMatch.h"
#include "sidewindows/quickpanel/QuickPanelPhysListing.h"
#include "sidewindows/quickpanel/QuickPanelRecords.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "ui/core/KelmWindow.h"

namespace TessikQuickPanel
{

namespace
{

// The matching of one turn of the UI thread: the keys typed meanwhile and
// the paint of the list wait behind it.
constexpr double kTurnBudgetMs = 25.0;
// Up to this much matching, the result is shown in the same turn.
constexpr double kShowInTheSameTurnMs = 5.0;
// Records matched between two looks at the clock.
constexpr size_t kRecordsPerLook = 256;
// Up to this many matches a whole result goes into the list in one turn.
constexpr size_t kShownInOneTurn = 4000;

// The matches of one owner, under one header, in the order shown.
struct Run {
    BoxWindowPtr owner;
    std::wstring label;
    // Filled by the folder's reading, not by the matching of a box.
    bool fromFolder = false;
    // The hidden box's mapped entries, matched when the search starts.
    bool fromStore = false;
    std::vector<IconRecord> matches;
};

Run RunOf(BoxWindowPtr owner, std::wstring label, bool fromFolder = false)
{
    Run run;
    run.owner = std::move(owner);
    run.label = std::move(label);
    run.fromFolder = fromFolder;
    return run;
}

// A result on its way into the main list, a slice per turn when it is
// more than one turn's work: first the records wanted, each path once,
// then the take-over.
struct Showing {
    // Asked for; once shown, only the fresh runs (boxes that changed) are
    // taken from their matches again, the others as the list shows them.
    bool asked = false;
    std::vector<char> fresh;
    bool started = false;
    size_t run = 0;
    size_t match = 0;
    bool runHeaded = false;
    std::vector<WantedRecord> wanted;
    std::unordered_set<std::wstring_view> paths;
    // The boxes whose records are wanted: one gone meanwhile is left out
    // again from the start.
    std::vector<BoxWindowPtr> boxes;
    // Once shown: what the list shows of each owner, in its order, and the
    // list's version then (a list changed meanwhile is looked at again).
    std::unordered_map<const KelmWindow*, std::vector<const IconRecord*>> byOwner;
    uint64_t listVersion = 0;
    std::unique_ptr<TakeOverInSlices> takeOver;
};

struct Search {
    uint64_t serial = 0;
    bool active = false;
    // Whole and shown; later changes of a box are matched at once.
    bool shown = false;
    // The folder's reading is on its way.
    bool reading = false;
    std::weak_ptr<KelmWindow> panel;
    std::wstring text;
    std::wstring pattern;
    std::wstring selectedId;
    bool hidden = false;
    std::wstring folder;
    std::vector<Run> runs;
    // The first run not yet matched, and the record of it to go on with.
    size_t next = 0;
    size_t nextRecord = 0;
    Showing showing;
};

// What the folder's reading brings back: the facts of the mapped entries
// matched, in their order, and the folder's entries that match.
struct FolderFound {
    std::vector<IconFileFacts> facts;
    std::vector<FolderEntry> entries;
};

Search s_search;
uint64_t s_serial = 0;
UINT_PTR s_turnTimer = 0;

double NowMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return counter.QuadPart * 1000.0 / frequency.QuadPart;
}

// EntrySearchName without a copy: every record of every box is matched.
std::wstring_view SearchNameOf(const std::wstring& path, const std::wstring& alias)
{
    const std::wstring_view source = alias == L"bvn!NULL" ? std::wstring_view(path) : std::wstring_view(alias);
    const size_t cut = source.find_last_of(L"\\/");
    return cut == std::wstring_view::npos ? source : source.substr(cut + 1);
}

bool Matches(const std::wstring& pattern, const std::wstring& path, const std::wstring& alias)
{
    return WildcardMatchNoCase(pattern, SearchNameOf(path, alias));
}

// A match made as the main list makes its records, spread over the turns
// of the matching. A box's record keeps its original path and file facts:
// whatever saves the list on the box's behalf must not make the box forget
// where a file came from, and nothing is read from the disk here.
IconRecord MatchOf(const std::wstring& path, const std::wstring& alias, const std::wstring& originalPath,
                   const BoxWindowPtr& owner)
{
    auto main = s_boxIconManagers.find(s_quickPanelWindow);
    if (main != s_boxIconManagers.end())
        return main->second.MakeRecord(path, 0.0f, 0.0f, alias, false, L"", owner, originalPath);
    IconRecord match;
    match.path = path;
    match.alias = alias;
    match.originalPath = originalPath;
    match.owner = owner;
    return match;
}

// A box's record matched: its match, with the file facts it already holds.
void AddMatch(Run& run, const IconRecord& record)
{
    IconRecord& match = run.matches.emplace_back(MatchOf(record.path, record.alias, record.originalPath, run.owner));
    match.lastWriteTime = record.lastWriteTime;
    match.isDirectory = record.isDirectory;
}

std::wstring HiddenFolder(const HiddenBoxRecord& hidden)
{
    return hidden.TargetFolder == L"bvn!NULL" ? hidden.TargetFolder : NormalizeStoredPath(hidden.TargetFolder);
}

// The search is still the one the panel shows: same panel, text,
// selection and hidden box's folder.
bool StillWanted(const Search& search)
{
    if (!search.active || !s_quickPanelWindow || search.panel.lock() != s_quickPanelWindow)
        return false;
    const BoxRuntime* panel = FindBoxRuntime(s_quickPanelWindow);
    if (!panel || !panel->searchActive || panel->searchText != search.text)
        return false;
    if (s_selectedComponentId != search.selectedId || s_selectedIsHidden != search.hidden)
        return false;
    if (!search.hidden)
        return true;
    const HiddenBoxRecord* hidden = SelectedHiddenBox();
    return hidden && HiddenFolder(*hidden) == search.folder;
}

void RepaintPanel()
{
    for (const BoxWindowPtr& window : {s_quickPanelWindow, s_quickPanelContentWindow})
        if (window && IsWindow(window->GetHwnd()))
            InvalidateRect(window->GetHwnd(), nullptr, FALSE);
}

void MatchWholeRun(Run& run)
{
    run.matches.clear();
    auto manager = s_boxIconManagers.find(run.owner);
    if (manager == s_boxIconManagers.end())
        return;
    for (const IconRecord& record : manager->second.Records()) {
        if (Matches(s_search.pattern, record.path, record.alias))
            AddMatch(run, record);
    }
}

// Matches the boxes from where the last turn stopped until the budget is
// spent. True when every box is matched.
bool MatchSlice()
{
    const double start = NowMs();
    size_t sinceLook = 0;
    Search& search = s_search;
    for (; search.next < search.runs.size(); ++search.next, search.nextRecord = 0) {
        Run& run = search.runs[search.next];
        if (run.fromFolder || run.fromStore)
            continue;
        auto manager = s_boxIconManagers.find(run.owner);
        if (manager == s_boxIconManagers.end() || !FindBoxRuntime(run.owner))
            continue;
        const std::vector<IconRecord>& records = manager->second.Records();
        // Fewer records than where it stopped: the box changed between two
        // turns; it is matched again from its start.
        if (search.nextRecord > records.size()) {
            search.nextRecord = 0;
            run.matches.clear();
        }
        for (size_t i = search.nextRecord; i < records.size(); ++i) {
            if (++sinceLook == kRecordsPerLook) {
                sinceLook = 0;
                if (NowMs() - start > kTurnBudgetMs) {
                    search.nextRecord = i;
                    return false;
                }
            }
            const IconRecord& record = records[i];
            if (Matches(search.pattern, record.path, record.alias))
                AddMatch(run, record);
        }
    }
    return true;
}

// The records made ahead go back into the matches, and what was gathered
// is gathered again; what was asked stays asked.
void AbandonShowing(Showing& showing)
{
    if (showing.takeOver)
        showing.takeOver->Abandon();
    Showing again;
    again.asked = showing.asked;
    again.fresh = std::move(showing.fresh);
    showing = std::move(again);
}

// The result into the main list: each run under its header on its first
// record, a path the list may hold once only once, the boxes gone
// meanwhile left out. Before it is shown every run's matches go in; once
// shown, the list holds the runs, and only the fresh runs are taken from
// their matches again. More than one turn's work goes a slice per turn
// (not inOneGo), and the list changes only in the last one. The matches
// are used up then. Nothing while on its way, else whether the main list
// changed.
std::optional<bool> ShowSlice(double start, bool inOneGo)
{
    Search& search = s_search;
    Showing& showing = search.showing;
    auto main = s_boxIconManagers.find(s_quickPanelWindow);
    if (main == s_boxIconManagers.end()) {
        AbandonShowing(showing);
        showing = Showing{};
        return false;
    }
    KelmIconManager& list = main->second;
    size_t sinceLook = 0;
    auto timeUp = [start, inOneGo] { return !inOneGo && NowMs() - start > kTurnBudgetMs; };
    // The records gathered from the list may be gone with its change.
    if (showing.started && search.shown && list.Version() != showing.listVersion)
        AbandonShowing(showing);
    if (!showing.started) {
        showing.started = true;
        size_t total = 0;
        if (search.shown) {
            const std::vector<IconRecord>& records = std::as_const(list).Records();
            showing.listVersion = list.Version();
            for (const IconRecord& record : records)
                showing.byOwner[list.EffectiveOwner(record).get()].push_back(&record);
            total = records.size();
        }
        for (const Run& run : search.runs)
            total += run.matches.size();
        showing.wanted.reserve(total);
        showing.paths.reserve(total);
    }
    for (; !showing.takeOver && showing.run < search.runs.size(); ++showing.run, showing.match = 0) {
        Run& run = search.runs[showing.run];
        const BoxWindowPtr owner = run.owner ? run.owner : list.OwnBox();
        const bool fromMatches = !search.shown || (showing.run < showing.fresh.size() && showing.fresh[showing.run]);
        const std::vector<const IconRecord*>* kept = nullptr;
        if (!fromMatches) {
            auto found = showing.byOwner.find(owner.get());
            if (found == showing.byOwner.end())
                continue;
            kept = &found->second;
        }
        if (showing.match == 0) {
            showing.runHeaded = false;
            if (!run.fromFolder && !run.fromStore) {
                if (!FindBoxRuntime(run.owner))
                    continue;
                showing.boxes.push_back(run.owner);
            }
        }
        const bool once = list.ChecksDuplicatesFor(owner);
        const size_t count = kept ? kept->size() : run.matches.size();
        for (; showing.match < count; ++showing.match) {
            if (++sinceLook % kRecordsPerLook == 0 && timeUp())
                return std::nullopt;
            if (kept) {
                const IconRecord* record = (*kept)[showing.match];
                if (showing.paths.insert(record->path).second || !once)
                    showing.wanted.push_back({record, owner, record->sectionText});
                continue;
            }
            IconRecord& match = run.matches[showing.match];
            if (!showing.paths.insert(match.path).second && once)
                continue;
            showing.wanted.push_back({&match, owner, showing.runHeaded ? std::wstring() : run.label, &match});
            showing.runHeaded = true;
        }
    }
    // A box that went between two turns must not be shown: the result is
    // gathered again without it (the list changes only inside a turn).
    for (const BoxWindowPtr& box : showing.boxes) {
        if (!FindBoxRuntime(box)) {
            AbandonShowing(showing);
            return std::nullopt;
        }
    }
    if (!showing.takeOver)
        showing.takeOver = std::make_unique<TakeOverInSlices>(list, std::move(showing.wanted), inOneGo);
    if (!showing.takeOver->Step(timeUp))
        return std::nullopt;
    search.shown = true;
    const bool changed = showing.takeOver->Changed();
    for (Run& run : search.runs)
        run.matches = {};
    if (showing.paths.size() > kShownInOneTurn)
        FreeElsewhere(std::make_shared<std::unordered_set<std::wstring_view>>(std::move(showing.paths)));
    showing = Showing{};
    if (changed)
        RepaintPanel();
    return changed;
}

// Goes on with the search; shows it once whole. True when the main list
// changed now.
bool GoOn();

void CALLBACK Turn(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    s_turnTimer = 0;
    // A timer procedure lets nothing out.
    try {
        GoOn();
    } catch (...) {
        s_search.active = false;
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"The quick panel's search could not go on.");
    }
}

bool GoOn()
{
    if (!StillWanted(s_search)) {
        DropSearch();
        return false;
    }
    // The next slice waits behind the input and the paint: a timer's
    // message comes after both.
    auto nextTurn = [] {
        if (!s_turnTimer)
            s_turnTimer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, Turn);
        return false;
    };
    const double start = NowMs();
    Showing& showing = s_search.showing;
    if (!showing.asked && !MatchSlice())
        return nextTurn();
    if (s_search.reading)
        return false;
    if (!showing.asked) {
        // A result that took matching is shown in a turn of its own: moving
        // ten thousands of records in is a turn's work by itself.
        if (NowMs() - start > kShowInTheSameTurnMs)
            return nextTurn();
        showing.asked = true;
        size_t matches = 0;
        for (const Run& run : s_search.runs)
            matches += run.matches.size();
        if (matches <= kShownInOneTurn)
            return ShowSlice(start, true).value_or(false);
    }
    // More than a turn can move: the list keeps what it shows until the
    // last slice.
    const std::optional<bool> changed = ShowSlice(start, false);
    if (!changed)
        return nextTurn();
    return *changed;
}

// UI thread: what the reading of the hidden box's folder found.
void LandFolder(uint64_t serial, FolderFound& found)
{
    Search& search = s_search;
    if (serial != search.serial || !search.active)
        return;
    search.reading = false;
    if (!StillWanted(search)) {
        DropSearch();
        return;
    }
    for (Run& run : search.runs) {
        if (run.fromStore) {
            for (size_t i = 0; i < run.matches.size() && i < found.facts.size(); ++i) {
                run.matches[i].lastWriteTime = found.facts[i].lastWriteTime;
                run.matches[i].isDirectory = found.facts[i].isDirectory;
            }
        } else if (run.fromFolder) {
            run.matches.reserve(found.entries.size());
            for (FolderEntry& entry : found.entries) {
                IconRecord& match = run.matches.emplace_back(MatchOf(entry.path, L"bvn!NULL", L"bvn!NULL", run.owner));
                match.lastWriteTime = entry.lastWriteTime;
                match.isDirectory = entry.isDirectory;
            }
        }
    }
    GoOn();
}

// The facts of the mapped entries matched and the folder's matching
// entries, read on the hidden folders' road: a folder of ten thousand
// files, or a slow or gone network folder, would hold every window.
void ReadFolderSoon(Search& search, std::vector<std::wstring> mappedPaths)
{
    search.reading = true;
    ListHiddenFolderSoon([serial = search.serial, folder = search.folder, pattern = search.pattern,
                          paths = std::move(mappedPaths)](const std::function<bool()>& stopped) {
        auto found = std::make_shared<FolderFound>();
        try {
            for (const std::wstring& path : paths) {
                if (stopped())
                    break;
                found->facts.push_back(ReadIconFileFacts(path));
            }
            const DWORD attributes =
                folder == L"bvn!NULL" ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(folder.c_str());
            FolderListing listing;
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                ListFolderEntriesUntil(folder, listing, stopped)) {
                for (auto& [key, entry] : listing)
                    if (Matches(pattern, entry.path, L"bvn!NULL"))
                        found->entries.push_back(std::move(entry));
            }
        } catch (...) {
            found->entries.clear();
        }
        return std::function<void()>([serial, found] { LandFolder(serial, *found); });
    });
}

bool StartSearchNow()
{
    DropSearch();
    Search& search = s_search;
    search = Search{};
    search.serial = ++s_serial;
    const BoxRuntime* panel = FindBoxRuntime(s_quickPanelWindow);
    if (!panel || s_selectedComponentId.empty())
        return false;
    search.active = true;
    search.panel = s_quickPanelWindow;
    search.text = panel->searchText;
    search.pattern = BoxPaintRules::SearchPattern(search.text);
    search.selectedId = s_selectedComponentId;
    search.hidden = s_selectedIsHidden;
    BoxWindowPtr selectedBox;
    std::vector<std::wstring> mappedPaths;
    if (search.hidden) {
        if (const HiddenBoxRecord* hidden = SelectedHiddenBox()) {
            Run& mapped = search.runs.emplace_back(RunOf(s_quickPanelWindow, L"当前组件 (映射区)"));
            mapped.fromStore = true;
            for (const StoredEntry& entry : ReadEntries(L"TempIcons", hidden->id)) {
                if (!Matches(search.pattern, entry.path, entry.alias))
                    continue;
                mapped.matches.push_back(MatchOf(entry.path, entry.alias, L"bvn!NULL", mapped.owner));
                mappedPaths.push_back(entry.path);
            }
            search.runs.push_back(RunOf(s_quickPanelDummy, L"当前组件 (物理区)", true));
            search.folder = HiddenFolder(*hidden);
        }
    } else if ((selectedBox = FindBox(search.selectedId))) {
        search.runs.push_back(RunOf(selectedBox, L"当前组件"));
    }
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (!window || IsPanelWindow(window, runtime) || window == selectedBox)
            continue;
        search.runs.push_back(RunOf(window, runtime.title.empty() ? L"其他组件" : runtime.title));
    }
    if (!search.runs.empty() && search.runs.front().fromStore)
        ReadFolderSoon(search, std::move(mappedPaths));
    return GoOn();
}

} // namespace

void StartSearch()
{
    StartSearchNow();
}

bool FollowSearchBoxChange(const BoxWindowPtr& box)
{
    Search& search = s_search;
    if (!StillWanted(search))
        return StartSearchNow();
    for (size_t r = 0; r < search.runs.size(); ++r) {
        Run& run = search.runs[r];
        if (run.owner != box || run.fromFolder || run.fromStore)
            continue;
        Showing& showing = search.showing;
        if (search.shown) {
            // Only this box again (and any other still on its way); the
            // others stay as shown. At once when that fits in a turn.
            AbandonShowing(showing);
            MatchWholeRun(run);
            if (!showing.asked) {
                showing.asked = true;
                showing.fresh.assign(search.runs.size(), 0);
            }
            showing.fresh[r] = 1;
            size_t work = std::as_const(s_boxIconManagers[s_quickPanelWindow]).Records().size();
            for (size_t f = 0; f < search.runs.size(); ++f)
                work += showing.fresh[f] ? search.runs[f].matches.size() : 0;
            if (work <= kShownInOneTurn)
                return ShowSlice(NowMs(), true).value_or(false);
            if (!s_turnTimer)
                s_turnTimer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, Turn);
            return false;
        }
        // The result on its way into the list points into the matches.
        AbandonShowing(showing);
        showing = Showing{};
        if (r < search.next) {
            MatchWholeRun(run);
        } else if (r == search.next) {
            search.nextRecord = 0;
            run.matches.clear();
        }
        return false;
    }
    // A box the search did not know: it is made again.
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || IsPanelWindow(box, *runtime))
        return false;
    return StartSearchNow();
}

bool SearchOnItsWay()
{
    return s_search.active && !s_search.shown;
}

void DropSearch()
{
    s_search.active = false;
    s_search.reading = false;
    if (s_turnTimer) {
        KillTimer(nullptr, s_turnTimer);
        s_turnTimer = 0;
    }
}

std::wstring EntrySearchName(const std::wstring& path, const std::wstring& alias)
{
    return std::wstring(SearchNameOf(path, alias));
}

} // namespace TessikQuickPanel
