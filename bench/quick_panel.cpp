// Cost of the quick panel's content view: opening the panel (the hotkey
// message to its first complete paint) with 30 boxes of 100 icons each
// against no boxes, and the frame after the first once a component of
// 1,000 icons is selected against one of 10; and what opening and closing
// the panel leaves behind in memory: 3 boxes of 12 icons, one of them
// selected, opened and closed 160 times; the growth of resident and private
// memory over the last 150 cycles (the first 10 fill caches); and the
// longest the UI thread is held while a hidden box whose folder holds
// 10,000 files is selected, until its physical section shows them all,
// against the same folder synchronised on the UI thread; and the longest
// the UI thread is held while a search text is typed into the open panel,
// with that hidden box selected and with 200 boxes of 1,000 records each.
//
//   bench_quick_panel.exe          (everything)
//   bench_quick_panel.exe memory   (only the memory cycles)
//   bench_quick_panel.exe hidden   (only the hidden box)
//   bench_quick_panel.exe search   (only the search)
//   bench_quick_panel.exe paint    (only the paints of a list of 25,000)
//   bench_quick_panel.exe takeover (only a search of 75,000 matches)
//   bench_quick_panel.exe mapped   (only a hidden box of 10,000 mapped entries)
//
// "paint": a component of 25,000 records selected in the open panel; each
// paint at rest, and each scroll step with the messages after it until
// the icons stand, timed; the longest single stretch of the UI thread.
// "takeover": 75 boxes of 1,000 records each, every name matching the
// first letters typed; the longest stretch while each result moves in.
// "mapped": a hidden box whose 10,000 mapped entries name files of
// another folder, selected in the open panel: the selecting, its paint
// and the longest message until the box's folder and entries were read.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/AppMainWindow.h"
#include "app/GlobalHotKeys.h"
#include "app/KelmStorage.h"
#include "box/BoxPaintRules.h"
#include "box/BoxRuntime.h"
#include "box/icons/FolderSync.h"
#include "box/icons/KelmIcon.h"
#include "box/icons/KelmIconManager.h"
#include "box/icons/WildcardMatch.h"
#include "sidewindows/quickpanel/QuickPanelContentModel.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelPhysListing.h"
#include "sidewindows/quickpanel/QuickPanelSearch.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "tests/app/TempFolder.h"
#include "tests/common/WindowTestSupport.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/ThemeColors.h"

using namespace TessikQuickPanel;

namespace
{

double Now()
{
    LARGE_INTEGER freq, t;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1000.0 / freq.QuadPart;
}

HWND PanelHwnd()
{
    return s_quickPanelWindow->GetHwnd();
}

// A box in the registry (no window of its own: the panel only reads its
// record and its icons), empty; its icon manager.
KelmIconManager& AddEmptyBox(const std::wstring& id)
{
    auto box = std::make_shared<KelmWindow>();
    BoxRuntime& runtime = s_boxRuntimes[box];
    runtime.id = id;
    runtime.title = L"Box " + id;
    s_desktopContainerStore[L"Components"][L"ComID_" + id][L"clrtag"] = L"#F2F2F2";
    KelmIconManager& manager = s_boxIconManagers[box];
    manager.SetOwnBox(box);
    return manager;
}

// Such a box holding the first `icons` files.
void AddBox(const std::wstring& id, const std::vector<std::wstring>& files, size_t icons)
{
    KelmIconManager& manager = AddEmptyBox(id);
    for (size_t i = 0; i < icons && i < files.size(); ++i)
        manager.AddRecordForPath(files[i], 0, 0, L"bvn!NULL", false, L"", manager.OwnBox(), L"bvn!NULL");
}

void ClearBoxes()
{
    s_boxRuntimes.clear();
    s_boxIconManagers.clear();
    s_desktopContainerStore.GetRootObject(L"Components").members.clear();
}

// The hotkey as the main window gets it, up to the end of the panel's
// first paint; then the panel is closed again.
double OpenToFirstPaint(HWND main)
{
    const double start = Now();
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    RedrawWindow(PanelHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const double took = Now() - start;
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(50);
    return took;
}

// The fastest run: on a shared machine the others mostly measure the
// neighbours.
double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
double Fastest(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

std::vector<double> Openings(HWND main, int runs)
{
    OpenToFirstPaint(main); // warm-up: fonts, factories, shell icons
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(OpenToFirstPaint(main));
    return times;
}

void Report(const char* what, const char* small, const char* large, const std::vector<double>& a,
            const std::vector<double>& b)
{
    std::printf("%s\n", what);
    std::printf("  %-22s median %7.2f ms, fastest %7.2f ms\n", small, Median(a), Fastest(a));
    std::printf("  %-22s median %7.2f ms, fastest %7.2f ms\n", large, Median(b), Fastest(b));
    std::printf("  ratio (goal at most 3): median %.2f, fastest %.2f\n", Median(b) / Median(a),
                Fastest(b) / Fastest(a));
}

// Selects the component, paints once and times the paint after that.
double FrameAfterSelecting(const std::wstring& id)
{
    SelectComponent(id, false);
    RefreshQuickPanelContent();
    RedrawWindow(PanelHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const double start = Now();
    RedrawWindow(PanelHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const double took = Now() - start;
    PumpMessages(30);
    return took;
}

struct Memory {
    double residentMb = 0;
    double privateMb = 0;
};

Memory MemoryNow()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    Memory memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
        memory.residentMb = counters.WorkingSetSize / (1024.0 * 1024.0);
        memory.privateMb = counters.PagefileUsage / (1024.0 * 1024.0);
    }
    return memory;
}

// What a closed panel left: its window objects and its icon controls,
// each still alive after the closing.
struct LeftBehind {
    std::vector<std::weak_ptr<KelmWindow>> windows;
    std::vector<std::weak_ptr<TessikDesktopContainer::KelmIcon>> icons;
    template <typename T> static size_t Alive(const std::vector<std::weak_ptr<T>>& list)
    {
        size_t alive = 0;
        for (const auto& item : list)
            alive += !item.expired();
        return alive;
    }
};

// One opening and closing as the user makes it: the hotkey, the panel
// painted with the selected component's icons, the hotkey again.
void OpenAndClose(HWND main, LeftBehind& left)
{
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    RedrawWindow(PanelHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessages(40);
    for (const auto& window : {s_quickPanelWindow, s_quickPanelDummy, s_quickPanelContentWindow}) {
        if (!window)
            continue;
        left.windows.push_back(window);
        auto manager = s_boxIconManagers.find(window);
        if (manager != s_boxIconManagers.end())
            for (const IconRecord& record : manager->second.Records())
                left.icons.push_back(record.control);
    }
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(20);
}

void ReportMemoryCycles(HWND main, const std::vector<std::wstring>& files)
{
    ClearBoxes();
    for (int b = 0; b < 3; ++b)
        AddBox(L"m" + std::to_wstring(b), files, 12);
    SelectComponent(L"m0", false);
    constexpr int kWarmCycles = 10, kCycles = 150;
    LeftBehind left;
    for (int i = 0; i < kWarmCycles; ++i)
        OpenAndClose(main, left);
    const Memory before = MemoryNow();
    for (int i = 0; i < kCycles; ++i)
        OpenAndClose(main, left);
    const Memory after = MemoryNow();
    SelectComponent(L"", false);
    std::printf("opening and closing the panel, 3 boxes x 12 icons, one selected (%d cycles after %d)\n", kCycles,
                kWarmCycles);
    std::printf("  resident: %.1f MB -> %.1f MB, growth %.2f MB, %.1f KB per cycle (goal under 5 MB)\n",
                before.residentMb, after.residentMb, after.residentMb - before.residentMb,
                (after.residentMb - before.residentMb) * 1024.0 / kCycles);
    std::printf("  private:  %.1f MB -> %.1f MB, growth %.2f MB, %.1f KB per cycle\n", before.privateMb,
                after.privateMb, after.privateMb - before.privateMb,
                (after.privateMb - before.privateMb) * 1024.0 / kCycles);
    std::printf("  still alive after closing: %zu of %zu window objects, %zu of %zu icon controls\n",
                LeftBehind::Alive(left.windows), left.windows.size(), LeftBehind::Alive(left.icons), left.icons.size());
}

// Every message until done() holds, each timed; the longest (ms), and
// which message it was.
struct Longest {
    double ms = 0;
    UINT message = 0;
};

Longest LongestMessageUntil(const std::function<bool()>& done, DWORD bound, Longest* notPaint = nullptr)
{
    Longest longest;
    const ULONGLONG end = GetTickCount64() + bound;
    while (!done() && GetTickCount64() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const double start = Now();
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            const double took = Now() - start;
            if (took > longest.ms)
                longest = {took, msg.message};
            if (notPaint && msg.message != WM_PAINT && took > notPaint->ms)
                *notPaint = {took, msg.message};
        }
        Sleep(1);
    }
    return longest;
}

constexpr size_t kHiddenFiles = 10000;

// The hidden box "h10000" on a folder of kHiddenFiles files named
// f100000.dat, f100001.dat, ...; the only component.
std::wstring MakeHiddenBox(TempFolder& temp)
{
    const std::wstring folder = temp.File(L"temp_h10000");
    if (CreateDirectoryW(folder.c_str(), nullptr))
        for (size_t i = 0; i < kHiddenFiles; ++i)
            TempFolder::WriteBytes(folder + L"\\f" + std::to_wstring(100000 + i) + L".dat", "x");
    s_quickPanelStore[L"TempList"][L"h10000"][L"title"] = L"Hidden";
    s_quickPanelStore[L"TempList"][L"h10000"][L"UseTargetFolder"] = true;
    s_quickPanelStore[L"TempList"][L"h10000"][L"TargetFolder"] = folder;
    ClearBoxes();
    s_hiddenBoxes = ReadHiddenBoxRecords();
    return folder;
}

void ReportHiddenBoxSelection(HWND main, TempFolder& temp)
{
    constexpr size_t kFiles = kHiddenFiles;
    const std::wstring folder = MakeHiddenBox(temp);
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    // The panel opens on the box: what it lists and stores is not timed.
    PumpUntil([] { return !PhysicalListingOnItsWay(); }, 120000);
    PumpMessages(100);
    SelectComponent(L"", false);
    RefreshQuickPanelContent();
    s_quickPanelStore.GetRootObject(L"TempPhysIcons").members.erase(L"h10000");
    std::printf("a hidden box whose folder holds %zu files selected in the open panel (longest single stretch of "
                "the UI thread)\n",
                kFiles);
    // First with no stored entries, then with the ones the first wrote.
    // Each step is a message of its own in the program: the click that
    // selects, the paint after it, what comes back from the listing, the
    // paint after that (which writes the entries to the store).
    for (const char* what : {"no stored entries", "10,000 stored entries"}) {
        SelectComponent(L"h10000", true);
        const double start = Now();
        RefreshQuickPanelContent();
        const double selecting = Now() - start;
        const double paintStart = Now();
        RedrawWindow(PanelHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const double firstPaint = Now() - paintStart;
        const KelmIconManager& phys = s_boxIconManagers[s_quickPanelDummy];
        const Longest waiting = LongestMessageUntil(
            [&phys] { return !PhysicalListingOnItsWay() && phys.Records().size() >= kFiles; }, 120000);
        const double shown = Now() - start;
        // What follows the landing (its paint, the entries written).
        const double afterEnd = Now() + 1000;
        const Longest after = LongestMessageUntil([afterEnd] { return Now() > afterEnd; }, 5000);
        std::printf("  %-22s selecting %6.1f ms, its paint %6.1f ms, longest message until all %zu shown %6.1f ms"
                    " (message 0x%04X, all after %6.1f ms), in the second after %6.1f ms (message 0x%04X)\n",
                    what, selecting, firstPaint, phys.Records().size(), waiting.ms, waiting.message, shown, after.ms,
                    after.message);
        std::fflush(stdout);
        SelectComponent(L"", false);
        RefreshQuickPanelContent();
        PumpMessages(50);
    }
    // The old road for reference: the folder read into a view on this
    // thread.
    KelmIconManager view(48, 12, 75);
    const double syncStart = Now();
    SyncBoxFolder(view, folder, true);
    std::printf("  for reference, the folder synchronised on the UI thread: %.1f ms (%zu records)\n", Now() - syncStart,
                view.Records().size());
    // And as the selection did with stored entries: each one asked for its
    // file's facts and checked against those before it, then the sync.
    auto owner = std::make_shared<KelmWindow>();
    s_boxRuntimes[owner].id = L"QUICK_PANEL_PHYS";
    s_boxRuntimes[owner].UseTargetFolder = true;
    KelmIconManager stored(48, 12, 75);
    stored.SetOwnBox(owner);
    const double storedStart = Now();
    for (const IconRecord& record : view.Records())
        stored.AddRecordForPath(record.path, 0.0f, 0.0f, L"bvn!NULL", false, L"", owner, L"bvn!NULL");
    SyncBoxFolder(stored, folder, true);
    std::printf("  for reference, with as many stored entries read first on the UI thread: %.1f ms\n",
                Now() - storedStart);
    s_boxRuntimes.erase(owner);
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(50);
}

// The search text typed one character at a time into the open panel: each
// keystroke is a message of the program (the edit's change and the paint
// that takes it into the search), then every message until the panel shows
// `expected(text)` records is timed. Prints each step and the longest.
void TypeSearch(const std::wstring& typed, const std::function<size_t(const std::wstring&)>& expected)
{
    const KelmIconManager& shown = s_boxIconManagers[s_quickPanelWindow];
    // A click into the search edit gives it the keys.
    PostMessageW(PanelHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(260, 30));
    PostMessageW(PanelHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(260, 30));
    PumpMessages(30);
    Longest worst, worstNotPaint;
    for (size_t n = 1; n <= typed.size(); ++n) {
        const std::wstring text = typed.substr(0, n);
        const size_t wanted = expected(text);
        const double start = Now();
        SendMessageW(PanelHwnd(), WM_CHAR, text.back(), 0);
        RedrawWindow(PanelHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const double keystroke = Now() - start;
        const Longest waiting = LongestMessageUntil([] { return !SearchOnItsWay(); }, 120000, &worstNotPaint);
        const double all = Now() - start;
        std::printf("  typed %-10ls %7zu matches: keystroke %7.1f ms, longest message after it %7.1f ms (0x%04X), "
                    "all shown after %7.1f ms%s\n",
                    text.c_str(), wanted, keystroke, waiting.ms, waiting.message, all,
                    shown.Records().size() == wanted ? "" : " (NOT ALL SHOWN)");
        if (shown.Records().size() != wanted)
            std::printf("    shown %zu, searching for \"%ls\"\n", shown.Records().size(),
                        s_boxRuntimes[s_quickPanelWindow].searchText.c_str());
        std::fflush(stdout);
        if (keystroke > worst.ms)
            worst = {keystroke, 0};
        if (waiting.ms > worst.ms)
            worst = waiting;
    }
    std::printf("  longest UI-thread stretch while typing: %.1f ms (%s); of the messages after the keystrokes "
                "other than paints: %.1f ms (0x%04X)\n",
                worst.ms, worst.message ? "a message after a keystroke" : "a keystroke (its paint included)",
                worstNotPaint.ms, worstNotPaint.message);
    for (size_t n = 0; n < typed.size(); ++n) {
        SendMessageW(PanelHwnd(), WM_KEYDOWN, VK_BACK, 0);
        SendMessageW(PanelHwnd(), WM_KEYUP, VK_BACK, 0);
    }
    RedrawWindow(PanelHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessages(50);
}

size_t CountMatches(const std::vector<std::wstring>& names, const std::wstring& text)
{
    const std::wstring pattern = BoxPaintRules::SearchPattern(text);
    return static_cast<size_t>(std::count_if(names.begin(), names.end(), [&pattern](const std::wstring& name) {
        return WildcardMatchNoCase(pattern, name);
    }));
}

void ReportSearch(HWND main, TempFolder& temp)
{
    // (a) A hidden box whose folder holds 10,000 files, selected.
    MakeHiddenBox(temp);
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    if (s_selectedComponentId != L"h10000") {
        SelectComponent(L"h10000", true);
        RefreshQuickPanelContent();
    }
    PumpUntil([] { return !PhysicalListingOnItsWay(); }, 120000);
    PumpMessages(100);
    std::vector<std::wstring> names;
    for (size_t i = 0; i < kHiddenFiles; ++i)
        names.push_back(L"f" + std::to_wstring(100000 + i) + L".dat");
    std::printf("typing a search with a hidden box of %zu files selected\n", kHiddenFiles);
    TypeSearch(L"f10523", [&names](const std::wstring& text) { return CountMatches(names, text); });
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(50);

    // (b) 200 boxes of 1,000 records each, every path its own (a path in
    // two boxes is listed once); no file behind them is read here.
    constexpr int kBoxes = 200, kRecords = 1000;
    ClearBoxes();
    s_hiddenBoxes.clear();
    const wchar_t* words[] = {L"report", L"photo", L"notes", L"invoice", L"draft", L"summary", L"budget", L"plan"};
    const wchar_t* kinds[] = {L".docx", L".png", L".txt", L".xlsx"};
    names.clear();
    for (int b = 0; b < kBoxes; ++b) {
        const std::wstring id = L"s" + std::to_wstring(10000 + b);
        KelmIconManager& manager = AddEmptyBox(id);
        const BoxWindowPtr box = manager.OwnBox();
        manager.Records().reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            const std::wstring name = std::wstring(words[i % 8]) + std::to_wstring(i) + kinds[(i / 8) % 4];
            names.push_back(name);
            manager.Records().push_back(
                manager.MakeRecord(temp.File(id + L"\\" + name), 0, 0, L"bvn!NULL", false, L"", box, L"bvn!NULL"));
        }
        manager.Renumber();
    }
    SelectComponent(L"s10000", false);
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(100);
    std::printf("typing a search with %d boxes of %d records each\n", kBoxes, kRecords);
    TypeSearch(L"report12", [&names](const std::wstring& text) { return CountMatches(names, text); });
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(50);
}

// A box of `count` records whose files are named `stem` + number + ".dat"
// (none is read), without a check or a question to the disk per record.
KelmIconManager& AddBoxOfNames(TempFolder& temp, const std::wstring& id, const std::wstring& stem, int count,
                               std::vector<std::wstring>* names = nullptr)
{
    KelmIconManager& manager = AddEmptyBox(id);
    const BoxWindowPtr box = manager.OwnBox();
    manager.Records().reserve(count);
    for (int i = 0; i < count; ++i) {
        const std::wstring name = stem + std::to_wstring(i) + L".dat";
        if (names)
            names->push_back(name);
        manager.Records().push_back(
            manager.MakeRecord(temp.File(id + L"\\" + name), 0, 0, L"bvn!NULL", false, L"", box, L"bvn!NULL"));
    }
    manager.Renumber();
    return manager;
}

double LoadNow()
{
    double load = -1;
    if (FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1)
            load = -1;
        std::fclose(file);
    }
    return load;
}

// Paints of a component of `records` records that fills the view.
void ReportLargePaint(HWND main, TempFolder& temp, int kRecords = 25000)
{
    const std::wstring id = L"p" + std::to_wstring(kRecords);
    ClearBoxes();
    s_hiddenBoxes.clear();
    AddBoxOfNames(temp, id, L"paint", kRecords);
    SelectComponent(id, false);
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    if (s_selectedComponentId != id) {
        SelectComponent(id, false);
        RefreshQuickPanelContent();
    }
    // Shown and at rest; what that costs is not timed here.
    RedrawWindow(PanelHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessages(1500);
    std::printf("a component of %d records in the open panel (load %.1f)\n", kRecords, LoadNow());
    std::vector<double> rest;
    for (int i = 0; i < 40; ++i) {
        const double start = Now();
        RedrawWindow(PanelHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        rest.push_back(Now() - start);
        PumpMessages(20);
    }
    std::printf("  paint at rest: median %6.1f ms, fastest %6.1f ms, longest %6.1f ms\n", Median(rest), Fastest(rest),
                *std::max_element(rest.begin(), rest.end()));
    // Scrolled as the wheel scrolls it: the offset grows, the next paint
    // moves every record, the icons in sight glide to their places.
    std::vector<double> scrollPaints, after;
    BoxRuntime& panel = s_boxRuntimes[s_quickPanelWindow];
    // As far as a list that only fills the view can go.
    const int step = kRecords >= 25000 ? 240 : 5;
    for (int i = 0; i < 20; ++i) {
        panel.scrollOffset += step;
        const double start = Now();
        RedrawWindow(PanelHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        scrollPaints.push_back(Now() - start);
        const double end = Now() + 400;
        after.push_back(LongestMessageUntil([end] { return Now() > end; }, 2000).ms);
    }
    std::printf("  paint of a scroll step: median %6.1f ms, fastest %6.1f ms, longest %6.1f ms; longest message after "
                "it %6.1f ms\n",
                Median(scrollPaints), Fastest(scrollPaints),
                *std::max_element(scrollPaints.begin(), scrollPaints.end()),
                *std::max_element(after.begin(), after.end()));
    const double worst = std::max({*std::max_element(rest.begin(), rest.end()),
                                   *std::max_element(scrollPaints.begin(), scrollPaints.end()),
                                   *std::max_element(after.begin(), after.end())});
    std::printf("  longest UI-thread stretch: %.1f ms (load %.1f)\n", worst, LoadNow());
    std::fflush(stdout);
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(50);
}

void ReportLargeTakeOver(HWND main, TempFolder& temp)
{
    constexpr int kBoxes = 75, kRecords = 1000;
    ClearBoxes();
    s_hiddenBoxes.clear();
    std::vector<std::wstring> names;
    for (int b = 0; b < kBoxes; ++b)
        AddBoxOfNames(temp, L"t" + std::to_wstring(10000 + b), L"file", kRecords, &names);
    SelectComponent(L"t10000", false);
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(300);
    std::printf("typing a search over %d boxes of %d records each, every name matching \"file\" (load %.1f)\n", kBoxes,
                kRecords, LoadNow());
    TypeSearch(L"file1", [&names](const std::wstring& text) { return CountMatches(names, text); });
    std::printf("  (load %.1f)\n", LoadNow());
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(50);
}

void ReportMappedEntries(HWND main, TempFolder& temp)
{
    constexpr int kEntries = 10000;
    ClearBoxes();
    const std::wstring folder = temp.File(L"temp_hmapped");
    const std::wstring files = temp.File(L"mapped");
    CreateDirectoryW(folder.c_str(), nullptr);
    const bool made = CreateDirectoryW(files.c_str(), nullptr);
    auto entries = s_quickPanelStore[L"TempIcons"][L"hmapped"];
    for (int i = 0; i < kEntries; ++i) {
        const std::wstring file = files + L"\\m" + std::to_wstring(100000 + i) + L".dat";
        if (made)
            TempFolder::WriteBytes(file, "m");
        entries[std::to_wstring(i)][L"path"] = file;
    }
    s_quickPanelStore[L"TempList"][L"hmapped"][L"title"] = L"Mapped";
    s_quickPanelStore[L"TempList"][L"hmapped"][L"TargetFolder"] = folder;
    s_hiddenBoxes = ReadHiddenBoxRecords();
    SelectComponent(L"", false);
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(300);
    std::printf("a hidden box of %d mapped entries selected in the open panel (load %.1f)\n", kEntries, LoadNow());
    for (int run = 0; run < 2; ++run) {
        SelectComponent(L"hmapped", true);
        const double start = Now();
        RefreshQuickPanelContent();
        const double selecting = Now() - start;
        const double paintStart = Now();
        RedrawWindow(PanelHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const double paint = Now() - paintStart;
        const Longest waiting = LongestMessageUntil([] { return !PhysicalListingOnItsWay(); }, 120000);
        const double end = Now() + 1000;
        const Longest after = LongestMessageUntil([end] { return Now() > end; }, 5000);
        std::printf("  selecting %6.1f ms, its paint %6.1f ms, longest message until read %6.1f ms (0x%04X), all "
                    "read after %6.1f ms, in the second after %6.1f ms (0x%04X); %zu shown\n",
                    selecting, paint, waiting.ms, waiting.message, Now() - start - 1000, after.ms, after.message,
                    s_boxIconManagers[s_quickPanelWindow].Records().size());
        std::fflush(stdout);
        SelectComponent(L"", false);
        RefreshQuickPanelContent();
        PumpMessages(50);
    }
    std::printf("  (load %.1f)\n", LoadNow());
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(50);
}

} // namespace

int main(int argc, char** argv)
{
    const bool memoryOnly = argc > 1 && std::string_view(argv[1]) == "memory";
    const bool hiddenOnly = argc > 1 && std::string_view(argv[1]) == "hidden";
    const bool searchOnly = argc > 1 && std::string_view(argv[1]) == "search";
    const bool paintOnly = argc > 1 && std::string_view(argv[1]) == "paint";
    const bool takeOverOnly = argc > 1 && std::string_view(argv[1]) == "takeover";
    const bool mappedOnly = argc > 1 && std::string_view(argv[1]) == "mapped";
    OleInitialize(nullptr);
    CreateGraphicsFactories();
    DpiScale = 1.0;
    ThemeBaseColor = {242, 242, 242};
    UpdateThemeColors();
    // As the program does: glyphs come from the icon font, not a fallback.
    const std::wstring font = WriteIconFontToTemp(L"tessik_bench_quick_panel_fa.ttf");
    if (!font.empty())
        RegisterIconFont(font);

    TempFolder temp;
    TempFolder::WriteBytes(temp.File(L"QuickPanelCom.kelm"), "");
    TempFolder::WriteBytes(temp.File(L"DesktopContainer.kelm"), "");
    s_quickPanelStore.Load(temp.File(L"QuickPanelCom.kelm"));
    s_desktopContainerStore.Load(temp.File(L"DesktopContainer.kelm"));
    s_desktopContainerStore[L"Components"];
    std::vector<std::wstring> files;
    const wchar_t* kinds[] = {L".dat", L".png", L".docx", L".exe"};
    for (int i = 0; i < 1000; ++i) {
        files.push_back(temp.File(L"file" + std::to_wstring(i) + kinds[i % 4]));
        TempFolder::WriteBytes(files.back(), "x");
    }
    HWND main = CreateWindowExW(0, L"STATIC", L"main", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (hiddenOnly) {
        ReportHiddenBoxSelection(main, temp);
        DestroyWindow(main);
        return 0;
    }
    if (searchOnly) {
        ReportSearch(main, temp);
        DestroyWindow(main);
        return 0;
    }
    if (mappedOnly) {
        ReportMappedEntries(main, temp);
        DestroyWindow(main);
        return 0;
    }
    if (paintOnly || takeOverOnly) {
        if (paintOnly) {
            // What the drawing of a full view costs, whatever the list's length.
            ReportLargePaint(main, temp, 300);
            ReportLargePaint(main, temp);
        } else
            ReportLargeTakeOver(main, temp);
        DestroyWindow(main);
        return 0;
    }
    if (memoryOnly) {
        ReportMemoryCycles(main, files);
        DestroyWindow(main);
        return 0;
    }

    const int runs = 15;
    const std::vector<double> emptyOpen = Openings(main, runs);
    for (int b = 0; b < 30; ++b)
        AddBox(L"b" + std::to_wstring(10000 + b), files, 100);
    const std::vector<double> fullOpen = Openings(main, runs);

    ClearBoxes();
    AddBox(L"small", files, 10);
    AddBox(L"large", files, 1000);
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(100);
    std::vector<double> smallTimes, largeTimes;
    FrameAfterSelecting(L"small");
    FrameAfterSelecting(L"large");
    for (int i = 0; i < runs; ++i) {
        smallTimes.push_back(FrameAfterSelecting(L"small"));
        largeTimes.push_back(FrameAfterSelecting(L"large"));
    }

    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);

    Report("opening (hotkey to the end of the first paint)", "no boxes", "30 boxes x 100 icons", emptyOpen, fullOpen);
    Report("frame after the first, once a component is selected", "10 icons", "1,000 icons", smallTimes, largeTimes);
    ReportMemoryCycles(main, files);
    ReportHiddenBoxSelection(main, temp);
    ReportSearch(main, temp);
    ReportLargePaint(main, temp);
    ReportLargeTakeOver(main, temp);
    ReportMappedEntries(main, temp);
    DestroyWindow(main);
    return 0;
}
