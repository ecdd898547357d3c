// Sections: controls; geometry of one paint; sections of icons; marquee;
// toolbar, search and header; RenderRightSide; toolbar actions.
#include "sidewindows/quickpanel/QuickPanelContent.h"

#include <algorithm>
#include <string>
#include <utility>

#include "box/BoxRuntime.h"
#include "box/icons/KelmIcon.h"
#include "box/icons/KelmIconManager.h"
#include "sidewindows/quickpanel/QPDragBoxCtrl.h"
#include "sidewindows/quickpanel/QuickPanelAnimationTick.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelPaste.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmEdit.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/controls/KelmReceiver.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace TessikQuickPanel
{

namespace
{

constexpr COLORREF kAccent = 0xFB7952;
constexpr UINT_PTR kRepaintTimerId = 10086;
// Where the content starts below the toolbar.
constexpr float kContentTop = 60.0f;

// Lost with every closing (ResetContentViewControls): the search text and
// the pin's animation state start anew.
std::shared_ptr<KelmEdit> s_searchEdit = std::make_shared<KelmEdit>();
std::shared_ptr<KelmFAIcon> s_pinButton = std::make_shared<KelmFAIcon>();
// Live as long as the program.
std::shared_ptr<KelmFAIcon> s_refreshButton = std::make_shared<KelmFAIcon>();
std::shared_ptr<KelmFAIcon> s_leftButton = std::make_shared<KelmFAIcon>();
std::shared_ptr<KelmFAIcon> s_rightButton = std::make_shared<KelmFAIcon>();
// The window timer 10086 was set on: the content may move between the
// panel and the content window while it runs.
HWND s_repaintTimerWindow = nullptr;

double Dpi()
{
    return DpiScale > 0 ? DpiScale : 1.0;
}

bool WindowAlive(const std::shared_ptr<KelmWindow>& window)
{
    return window && window->GetHwnd() && IsWindow(window->GetHwnd());
}

void RepaintWindow(const std::shared_ptr<KelmWindow>& window)
{
    if (WindowAlive(window))
        InvalidateRect(window->GetHwnd(), nullptr, FALSE);
}

// ---------------------------------------------------------------------------
// Geometry of one paint
// ---------------------------------------------------------------------------

struct DipRect {
    float x = 0, y = 0, w = 0, h = 0;
};

// Everything one paint of the content works with.
struct View {
    HWND hwnd;
    ID2D1HwndRenderTarget* rt;
    std::shared_ptr<KelmWindow> window;
    Brevin::D2DBrevinPanel& controls;
    float w, h, left;
    BoxRuntime& panel;     // "QUICK_PANEL_ROOT": scroll, search, marquee, keys
    BoxRuntime& rendering; // the window drawn into: its selection
    POINT cursor;          // DIP
    bool twoSections;
    // Two-section view: the halves and where each section sits.
    float half, mid, mappedX, physX;
};

bool InContent(const View& v, float x, float y)
{
    return x > v.left && y > kContentTop;
}

bool OverPhysicalHalf(const View& v, float x)
{
    return x >= v.physX && x < v.physX + v.half;
}

// The cell (x, y, edge, edge) of the record meets the rectangle; strict on
// every side, so a frame that only touches a cell leaves it out.
bool CellOverlaps(const IconRecord& record, const DipRect& r)
{
    const float edge = static_cast<float>(record.edge);
    return record.x < r.x + r.w && record.x + edge > r.x && record.y < r.y + r.h && record.y + edge > r.y;
}

// A point in the view lies only on a record near it.
bool OverAnyCell(KelmIconManager& manager, float x, float y, float viewHeight)
{
    const std::vector<IconRecord>& records = std::as_const(manager).Records();
    for (size_t i : manager.PaintedRecords(viewHeight)) {
        const IconRecord& record = records[i];
        const float edge = static_cast<float>(record.edge);
        if (x >= record.x && x < record.x + edge && y >= record.y && y < record.y + edge)
            return true;
    }
    return false;
}

DipRect MarqueeRect(const BoxRuntime& panel)
{
    const double dpi = Dpi();
    DipRect r;
    r.x = static_cast<float>(std::min(panel.bandStart.x, panel.bandCurrent.x) / dpi);
    r.y = static_cast<float>(std::min(panel.bandStart.y, panel.bandCurrent.y) / dpi);
    r.w = static_cast<float>(std::abs(panel.bandStart.x - panel.bandCurrent.x) / dpi);
    r.h = static_cast<float>(std::abs(panel.bandStart.y - panel.bandCurrent.y) / dpi);
    return r;
}

POINT CursorInPixels(HWND hwnd)
{
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(hwnd, &cursor);
    return cursor;
}

// ---------------------------------------------------------------------------
// Sections of icons
// ---------------------------------------------------------------------------

std::wstring SelectedBoxTitle(BoxWindowPtr* found = nullptr)
{
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (window && runtime.id == s_selectedComponentId && !IsQuickPanelPseudoId(runtime.id)) {
            if (found)
                *found = window;
            return runtime.title;
        }
    }
    return L"";
}

// The headers of the single view without a search: the component's title
// over its icons; in an integrated box each owner's run of icons under
// that owner's title.
void LabelSingleView(KelmIconManager& manager)
{
    // Given again only when the list or what they are made from changed: a
    // walk over every record is what a paint of tens of thousands must not
    // cost.
    static ListMemo given;
    BoxWindowPtr selected;
    const std::wstring title = SelectedBoxTitle(&selected);
    const BoxRuntime* selectedRuntime = selected ? FindBoxRuntime(selected) : nullptr;
    const bool integrated = selectedRuntime && selectedRuntime->IsIntegrated;
    std::wstring from = title + (integrated ? L"|integrated" : L"|");
    if (integrated)
        for (const auto& [window, runtime] : s_boxRuntimes)
            from += L"|" + runtime.title;
    if (given.Stands(manager, from))
        return;
    BoxWindowPtr previous;
    bool first = true;
    for (IconRecord& record : manager.Records()) {
        std::wstring label;
        if (!integrated) {
            if (first)
                label = title;
        } else if (record.owner && (first || record.owner != previous)) {
            // Only where the owner changes: a header on every icon would
            // give each icon a row of its own.
            const BoxRuntime* owner = FindBoxRuntime(record.owner);
            label = owner ? owner->title : title;
        }
        record.sectionText = std::move(label);
        previous = record.owner;
        first = false;
    }
    given.Note(manager, std::move(from));
}

void LabelFirst(KelmIconManager& manager, const wchar_t* text)
{
    // One list of each section.
    static ListMemo mapped, physical;
    ListMemo& given = manager.OwnBox() == s_quickPanelDummy ? physical : mapped;
    if (given.Stands(manager, text))
        return;
    bool first = true;
    for (IconRecord& record : manager.Records()) {
        record.sectionText = first ? text : L"";
        first = false;
    }
    given.Note(manager, text);
}

// Layout, motion and controls of one section whose grid starts at x.
void PlaceSection(const View& v, KelmIconManager& manager, const std::shared_ptr<KelmWindow>& window, float x,
                  float layoutWidth, int32_t scroll)
{
    manager.SetPadding(static_cast<int>(x + 20), static_cast<int>(75 - scroll));
    manager.Layout(static_cast<int>(layoutWidth));
    manager.UpdateAnimations(window);
    manager.ApplyCurrentPositions(v.w, v.h);
}

void DrawLabel(const View& v, const std::wstring& text, float x, float y, float width)
{
    DrawTextSemibold(v.rt, x, y, width, 25, text.c_str(), 14.0f, ThemeTextColor.Ref(), L"Segoe UI", 0.8f, false);
}

// The controls of the records near the visible band, and their headers.
// Files dropped here all start at the drop point: of that pile only the
// top one is drawn, as in a box.
void AddSectionIcons(const View& v, KelmIconManager& manager, float labelX, float labelWidth)
{
    const std::vector<IconRecord>& records = std::as_const(manager).Records();
    const std::vector<size_t>& nearby = manager.PaintedRecords(v.h);
    const std::vector<char> under = KelmIconManager::UnderPiles(records, nearby, v.h, v.rendering.IsListView);
    for (size_t n = 0; n < nearby.size(); ++n) {
        const IconRecord& record = records[nearby[n]];
        if (!record.control || !KelmIconManager::NearView(record, v.h))
            continue;
        if (!record.sectionText.empty())
            DrawLabel(v, record.sectionText, labelX, record.y - 35, labelWidth);
        if (!under[n])
            v.controls.AddControl(record.control);
    }
}

void SelectInto(BoxRuntime& runtime, const KelmIconManager& manager, const DipRect& marquee)
{
    for (const IconRecord& record : manager.Records())
        if (CellOverlaps(record, marquee))
            runtime.selection.insert(static_cast<int32_t>(record.id));
}

void SingleView(View& v, const DipRect& marquee)
{
    KelmIconManager& manager = s_boxIconManagers[s_quickPanelWindow];
    if (!v.panel.searchActive)
        LabelSingleView(manager);
    PlaceSection(v, manager, v.window, v.left, v.w + v.left, v.panel.scrollOffset);
    if (std::as_const(manager).Records().empty()) {
        std::wstring message = s_selectedIsHidden ? std::wstring(L"隐身收纳盒") : SelectedBoxTitle();
        if (!message.empty() && v.panel.searchActive)
            message = L"\n未找到匹配项－O－";
        DrawLabel(v, message, v.left + 25, 75.0f - v.panel.scrollOffset, v.w - 40);
    }
    AddSectionIcons(v, manager, v.left + 25, v.w - 40);
    if (v.panel.bandActive) {
        v.rendering.selection.clear();
        SelectInto(v.rendering, manager, marquee);
    }
}

void TwoSectionView(View& v, const DipRect& marquee)
{
    const COLORREF text = ThemeTextColor.Ref();
    const bool hoverLeft = v.cursor.x >= v.left && v.cursor.x < v.mid && v.cursor.y > kContentTop;
    const bool hoverRight = v.cursor.x >= v.mid && v.cursor.x <= v.w && v.cursor.y > kContentTop;
    if (hoverLeft)
        s_rightButton->Set(static_cast<int>(v.mid - 35), 70, L"test-right", 14, text, [] { ToggleSectionOrder(); });
    if (hoverRight)
        s_leftButton->Set(static_cast<int>(v.mid + 20), 70, L"test-left", 14, text, [] { ToggleSectionOrder(); });
    FillSolidRect(v.rt, v.mid, kContentTop, 1, v.h - kContentTop, ThemeShade30.Ref(), 1.0f);

    KelmIconManager& mapped = s_boxIconManagers[s_quickPanelWindow];
    LabelFirst(mapped, L"映射区");
    PlaceSection(v, mapped, v.window, v.mappedX, 2 * v.mappedX + v.half, v.panel.scrollOffset);
    // Written only when the entries differ from the last write.
    if (!s_physicalSectionActive)
        SaveHiddenBoxEntries(false);
    if (std::as_const(mapped).Records().empty())
        DrawLabel(v, L"映射区", v.mappedX + 25, 75.0f - v.panel.scrollOffset, v.half - 40);
    AddSectionIcons(v, mapped, v.mappedX + 25, v.half - 40);

    KelmIconManager* phys = nullptr;
    BoxRuntime* physRuntime = nullptr;
    if (s_quickPanelDummy) {
        phys = &s_boxIconManagers[s_quickPanelDummy];
        physRuntime = &s_boxRuntimes[s_quickPanelDummy];
        LabelFirst(*phys, L"物理区");
        PlaceSection(v, *phys, s_quickPanelDummy, v.physX, 2 * v.physX + v.half, physRuntime->scrollOffset);
        if (std::as_const(*phys).Records().empty())
            DrawLabel(v, L"物理区", v.physX + 25, 75.0f - physRuntime->scrollOffset, v.half - 40);
        AddSectionIcons(v, *phys, v.physX + 25, v.half - 40);
    }

    if (hoverLeft)
        v.controls.AddControl(s_rightButton);
    if (hoverRight)
        v.controls.AddControl(s_leftButton);

    if (v.panel.bandActive) {
        v.rendering.selection.clear();
        if (physRuntime)
            physRuntime->selection.clear();
        const float startX = static_cast<float>(v.panel.bandStart.x / Dpi());
        if (phys && OverPhysicalHalf(v, startX))
            SelectInto(*physRuntime, *phys, marquee);
        else
            SelectInto(v.rendering, mapped, marquee);
    }
    FillSolidRect(v.rt, s_physicalSectionActive ? v.physX : v.mappedX, v.h - 5, v.half, 5, kAccent, 1.0f);
}

// Timer 10086 runs while some icon is still on its way to its place.
void UpdateRepaintTimer(HWND hwnd)
{
    auto moving = [](const KelmIconManager& manager) { return manager.AnyUnsettled(); };
    bool unsettled = moving(s_boxIconManagers[s_quickPanelWindow]);
    if (!unsettled && s_quickPanelDummy)
        unsettled = moving(s_boxIconManagers[s_quickPanelDummy]);
    if (!unsettled && s_boxRuntimes[s_quickPanelWindow].searchActive) {
        auto search = s_boxSearchManagers.find(s_quickPanelWindow);
        unsettled = search != s_boxSearchManagers.end() && moving(search->second);
    }
    if (unsettled && s_repaintTimer == 0) {
        s_repaintTimer = SetTimer(hwnd, kRepaintTimerId, 16,
                                  [](HWND window, UINT, UINT_PTR, DWORD) { QuickPanelRepaintTimerProc(window); });
        s_repaintTimerWindow = hwnd;
    } else if (!unsettled && s_repaintTimer != 0) {
        KillTimer(s_repaintTimerWindow, kRepaintTimerId);
        s_repaintTimer = 0;
        s_repaintTimerWindow = nullptr;
    }
    // Timer 10086 and the window's animation timer wait behind every
    // paint of the thread; the icons must not wait for the boxes.
    if (unsettled)
        StartAnimationTick(s_quickPanelWindow->GetHwnd(), hwnd);
    else
        StopAnimationTick();
}

// ---------------------------------------------------------------------------
// Marquee
// ---------------------------------------------------------------------------

void SetHoverSuspended(KelmIconManager& manager, bool suspended)
{
    for (const IconRecord& record : std::as_const(manager).Records())
        if (record.control)
            record.control->SetOverflowFlag(suspended);
}

void EndMarquee(View& v)
{
    v.panel.bandActive = false;
    SetHoverSuspended(s_boxIconManagers[s_quickPanelWindow], false);
    if (!v.rendering.selection.empty())
        v.rendering.multiSelect = true;
    if (s_quickPanelDummy) {
        SetHoverSuspended(s_boxIconManagers[s_quickPanelDummy], false);
        BoxRuntime& phys = s_boxRuntimes[s_quickPanelDummy];
        if (!phys.selection.empty())
            phys.multiSelect = true;
    }
    InvalidateRect(v.hwnd, nullptr, FALSE);
}

void StartOrEndMarquee(View& v)
{
    const bool allowed = !s_dragOverAccepted && !s_dragOutActive && GetForegroundWindow() == v.hwnd;
    const bool down = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
    if (!allowed) {
        if (v.panel.bandActive)
            EndMarquee(v);
        return;
    }
    const float x = static_cast<float>(v.cursor.x), y = static_cast<float>(v.cursor.y);
    if (down) {
        if (v.twoSections && InContent(v, x, y))
            s_physicalSectionActive = OverPhysicalHalf(v, x);
        if (v.panel.bandActive || !InContent(v, x, y))
            return;
        KelmIconManager& main = s_boxIconManagers[s_quickPanelWindow];
        bool overIcon = OverAnyCell(main, x, y, v.h);
        if (v.twoSections && s_quickPanelDummy)
            overIcon = overIcon || OverAnyCell(s_boxIconManagers[s_quickPanelDummy], x, y, v.h);
        if (overIcon)
            return;
        const POINT start = CursorInPixels(v.hwnd);
        v.panel.bandActive = true;
        v.panel.bandStart = {start.x, start.y};
        v.panel.bandCurrent = v.panel.bandStart;
        v.rendering.selection.clear();
        v.rendering.multiSelect = false;
        SetHoverSuspended(main, true);
        if (s_quickPanelDummy) {
            BoxRuntime& phys = s_boxRuntimes[s_quickPanelDummy];
            phys.selection.clear();
            phys.multiSelect = false;
            SetHoverSuspended(s_boxIconManagers[s_quickPanelDummy], true);
        }
    } else if (v.panel.bandActive) {
        EndMarquee(v);
    }
}

// ---------------------------------------------------------------------------
// Toolbar, search and header
// ---------------------------------------------------------------------------

void PlaceSearchEdit(const View& v)
{
    const int x = static_cast<int>(v.left + 25);
    const int width = static_cast<int>(v.w - v.left) - 110;
    if (s_searchEdit->editW == 0)
        s_searchEdit->Set(x, 15, width, 30, L"搜索文件...", {}, ThemeShade30.Ref(), ThemeTextColor.Ref(), 13);
    else
        s_searchEdit->SetLayout(x, 15, width, 30, ThemeShade30.Ref(), ThemeTextColor.Ref());
    const std::wstring text = s_searchEdit->GetText();
    if (text == v.panel.searchText)
        return;
    v.panel.searchText = text;
    v.panel.searchActive = !text.empty();
    v.panel.appliedSearchText.clear();
    RefreshQuickPanelContent();
    InvalidateRect(v.hwnd, nullptr, FALSE);
}

void DrawHeader(const View& v)
{
    const COLORREF base = ThemeBaseColor.Ref();
    // The icons scroll away under a fade rather than a hard edge.
    for (int i = 2; i < 80; ++i)
        FillSolidRect(v.rt, 0, static_cast<float>(i - 2), v.w, 2, base, 1.0f - (i - 1) / 75.0f);
    if (v.left > 0) {
        FillSolidRect(v.rt, 0, 0, v.left, v.h, ContrastShiftColor(base, 10), 1.0f);
        FillSolidRect(v.rt, v.left, 0, 1, v.h, ThemeShade30.Ref(), 1.0f);
    }
}

void AddCaptionAndSearch(const View& v, const std::shared_ptr<KelmCaptionBar>& captionBar)
{
    if (captionBar) {
        captionBar->Set(v.left == 0 ? 0 : 60, 0, static_cast<int>(v.w) - 110, 40, L"", ThemeBaseColor.Ref(), 18,
                        ThemeTextColor.Ref(), 14, 25, [] {});
    }
    // A lip under the search edit.
    const float width = (v.w - v.left) - 110;
    DrawRoundRect(v.rt, v.left + 25, 17, width, 30, ContrastShiftColor(ThemeShade30.Ref(), 10), 10, 1.0f);
    DrawRoundRect(v.rt, v.left + 25, 16, width, 30, ContrastShiftColor(ThemeShade30.Ref(), 5), 10, 1.0f);
    if (captionBar)
        v.controls.AddControl(captionBar);
    v.controls.AddControl(s_searchEdit);
    v.controls.AddControl(s_refreshButton);
    v.controls.AddControl(s_pinButton);
}

void DrawDragFeedback(const View& v)
{
    if (!v.panel.dropPending || !s_dragOverAccepted || s_droppedFiles.empty())
        return;
    const float x = static_cast<float>(v.cursor.x) - 24, y = static_cast<float>(v.cursor.y) - 24;
    if (v.panel.dragIcon)
        TessikDesktopContainer::KelmIcon::PaintCell(*v.panel.dragIcon, v.rt, x, y, 0.8f);
    else
        DrawShellIcon(v.rt, s_droppedFiles.front(), x, y, 48, 0.7f);
}

// The icon keyboard goes to the section that had the last click: the
// dummy counts the rendering window as its own while its section is active.
void RouteKeyboard(View& v)
{
    const bool physical = v.twoSections && s_physicalSectionActive;
    v.panel.keysOff = physical;
    if (!s_quickPanelDummy)
        return;
    BoxRuntime& phys = s_boxRuntimes[s_quickPanelDummy];
    phys.inputWindow = physical ? v.hwnd : nullptr;
    phys.keysOff = !physical;
}

// The hidden dummy stands where the content is drawn, so pointer positions
// read for its icons land in the right place.
void FollowWithDummy(HWND hwnd)
{
    if (!WindowAlive(s_quickPanelDummy))
        return;
    RECT target{}, current{};
    GetWindowRect(hwnd, &target);
    HWND dummy = s_quickPanelDummy->GetHwnd();
    GetWindowRect(dummy, &current);
    if (EqualRect(&target, &current))
        return;
    SetWindowPos(dummy, nullptr, target.left, target.top, target.right - target.left, target.bottom - target.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

// ---------------------------------------------------------------------------
// RenderRightSide
// ---------------------------------------------------------------------------

void RenderRightSide(HWND hwnd, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmWindow> window, float w, float h,
                     float left, std::shared_ptr<KelmCaptionBar> captionBar)
{
    if (!window || !rt || !s_quickPanelWindow)
        return;
    FollowWithDummy(hwnd);
    BoxRuntime& panel = s_boxRuntimes[s_quickPanelWindow];
    const POINT cursor = CursorInDips(hwnd);
    const float half = (w - left) / 2;
    const float mid = left + half;
    View v{hwnd,
           rt,
           window,
           *window->GetPanel(),
           w,
           h,
           left,
           panel,
           s_boxRuntimes[window],
           cursor,
           s_selectedIsHidden && !panel.searchActive,
           half,
           mid,
           s_mappedSectionOnLeft ? left : mid,
           s_mappedSectionOnLeft ? mid : left};

    // Under everything else: takes dropped files and right clicks.
    if (!panel.receiver)
        panel.receiver = std::make_shared<KelmReceiver>();
    panel.receiver->Set(
        static_cast<int>(left), static_cast<int>(kContentTop), static_cast<int>(w - left),
        static_cast<int>(h - kContentTop),
        [hwnd, left, w](std::vector<std::wstring> paths) { OnQuickPanelFilesDropped(hwnd, left, w, paths); },
        [hwnd, left, w] { ShowQuickPanelContentMenu(hwnd, left, w); });
    v.controls.AddControl(panel.receiver);

    if (!s_selectedComponentId.empty()) {
        const COLORREF text = ThemeTextColor.Ref();
        s_refreshButton->Set(static_cast<int>(w) - 65, 25, L"test-refresh", 16, text, [] { RefreshQuickPanelAll(); });
        s_pinButton->Set(static_cast<int>(w) - 35, 25, L"test-pin", 16, s_pinned ? kAccent : text, [] { TogglePin(); });

        if (panel.bandActive) {
            const POINT now = CursorInPixels(hwnd);
            panel.bandCurrent = {now.x, now.y};
        }
        const DipRect marquee = MarqueeRect(panel);
        if (v.twoSections)
            TwoSectionView(v, marquee);
        else
            SingleView(v, marquee);

        s_dragBox->visible = panel.bandActive;
        s_dragBox->fx = marquee.x;
        s_dragBox->fy = marquee.y;
        s_dragBox->fw = marquee.w;
        s_dragBox->fh = marquee.h;
        v.controls.AddControl(s_dragBox);

        UpdateRepaintTimer(hwnd);
        PlaceSearchEdit(v);
        DrawHeader(v);
        AddCaptionAndSearch(v, captionBar);
    }

    DrawDragFeedback(v);
    RouteKeyboard(v);
    StartOrEndMarquee(v);
    // The frame follows the pointer: paints keep coming while it is drawn.
    if (panel.bandActive)
        window->AddPauseDelay(0.016, [hwnd](double) { InvalidateRect(hwnd, nullptr, FALSE); });
}

// ---------------------------------------------------------------------------
// Toolbar actions
// ---------------------------------------------------------------------------

void RefreshQuickPanelAll()
{
    RefreshQuickPanelContent();
    RepaintWindow(s_quickPanelWindow);
    BuildQuickPanelList();
    if (s_separateContent)
        RepaintWindow(s_quickPanelContentWindow);
}

void TogglePin()
{
    s_pinned = !s_pinned;
    const HWND order = s_pinned ? HWND_TOPMOST : HWND_NOTOPMOST;
    if (WindowAlive(s_quickPanelWindow)) {
        // The framework would put a window that keeps topmost back on top.
        s_quickPanelWindow->keepTopmost = s_pinned;
        s_quickPanelWindow->keepBottom = false;
        SetWindowPos(s_quickPanelWindow->GetHwnd(), order, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (s_separateContent && WindowAlive(s_quickPanelContentWindow))
        SetWindowPos(s_quickPanelContentWindow->GetHwnd(), order, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RepaintWindow(s_separateContent ? s_quickPanelContentWindow : s_quickPanelWindow);
}

void ToggleSectionOrder()
{
    s_mappedSectionOnLeft = !s_mappedSectionOnLeft;
    RepaintWindow(s_separateContent ? s_quickPanelContentWindow : s_quickPanelWindow);
}

void ResetContentViewControls()
{
    s_searchEdit = std::make_shared<KelmEdit>();
    s_pinButton = std::make_shared<KelmFAIcon>();
    s_repaintTimerWindow = nullptr;
}

} // namespace TessikQuickPanel
