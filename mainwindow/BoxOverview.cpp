#include "mainwindow/BoxOverview.h"

#include <algorithm>
#include <cmath>

#include "app/HotKeySettings.h"
#include "app/KelmStorage.h"
#include "box/BoxCreation.h"
#include "box/BoxMotion.h"
#include "box/BoxMotionRules.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/controls/KelmSizeFrame.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"
#include "ui/core/WindowEffects.h"

std::vector<std::shared_ptr<BoxOverviewItem>> s_boxOverviewItems;

namespace
{

constexpr COLORREF kAccent = 0xFB7952;
constexpr COLORREF kLightText = RGB(0xF4, 0xF4, 0xF4);

// Everything the open (or last) overview keeps between paints.
struct OverviewState {
    std::shared_ptr<KelmWindow> window;
    std::vector<std::shared_ptr<KelmSizeFrame>> frames;
    std::set<BoxOverviewLayout::Cell> cells;
    BoxOverviewLayout::Bounds bounds{};
    BoxOverviewLayout::Fit fit;
    int screenWidth = 0, screenHeight = 0;
    HWND lastWindow = nullptr;
    SIZE lastClient{-1, -1};
};

OverviewState& State()
{
    static OverviewState state;
    return state;
}

void CloseOverview()
{
    OverviewState& s = State();
    if (s.window && IsWindow(s.window->GetHwnd()))
        DestroyWindow(s.window->GetHwnd());
}

bool IsLive(const BoxWindowPtr& box)
{
    return box && IsWindow(box->GetHwnd());
}

// Items, cells and frames made afresh from the live boxes.
void Rebuild()
{
    OverviewState& s = State();
    s_boxOverviewItems.clear();
    s.frames.clear();
    s.cells.clear();
    s.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    s.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    s.cells.insert({0, 0});
    for (const auto& [box, runtime] : s_boxRuntimes) {
        if (runtime.IsIntegrated || IsQuickPanelPseudoId(runtime.id) || !IsLive(box))
            continue;
        RECT rc{};
        GetWindowRect(box->GetHwnd(), &rc);
        auto item = std::make_shared<BoxOverviewItem>();
        item->box = box;
        item->x = rc.left;
        item->y = rc.top;
        item->width = rc.right - rc.left;
        item->height = rc.bottom - rc.top;
        s.cells.insert(
            BoxOverviewLayout::CellOf(item->x, item->y, item->width, item->height, s.screenWidth, s.screenHeight));
        s_boxOverviewItems.push_back(item);
    }
    s.bounds = BoxOverviewLayout::CellBounds(s.cells, s.screenWidth, s.screenHeight);
    for (size_t i = 0; i < s_boxOverviewItems.size(); ++i)
        s.frames.push_back(std::make_shared<KelmSizeFrame>());
}

// Frames placed from their items; a frame's change goes back to its item.
void PlaceFrames()
{
    OverviewState& s = State();
    for (size_t i = 0; i < s.frames.size(); ++i) {
        const std::shared_ptr<BoxOverviewItem> item = s_boxOverviewItems[i];
        KelmSizeFrame& frame = *s.frames[i];
        const auto at = BoxOverviewLayout::ToPicture({item->x, item->y, item->width, item->height}, s.bounds, s.fit);
        frame.frameX = at.x;
        frame.frameY = at.y;
        frame.frameW = at.w;
        frame.frameH = at.h;
        const BoxRuntime* runtime = FindBoxRuntime(item->box);
        frame.borderColour = runtime && runtime->titleButton ? TessikDesktopContainer::BoxTagColour(*runtime) : kAccent;
        frame.minWidth = 20;
        frame.minHeight = 20;
        frame.onResize = [item](int x, int y, int w, int h) {
            const OverviewState& state = State();
            const auto screen = BoxOverviewLayout::ToScreen({x, y, w, h}, state.bounds, state.fit);
            item->x = screen.x;
            item->y = screen.y;
            item->width = screen.w;
            item->height = screen.h;
        };
    }
}

// The buttons and the caption, made once and shared by every overview.
struct OverviewControls {
    std::shared_ptr<KelmButton> apply = std::make_shared<KelmButton>();
    std::shared_ptr<KelmButton> close = std::make_shared<KelmButton>();
    std::shared_ptr<KelmCaptionBar> caption = std::make_shared<KelmCaptionBar>();
    std::shared_ptr<KelmFAIcon> closeGlyph = std::make_shared<KelmFAIcon>();
};

OverviewControls& Controls()
{
    static OverviewControls controls;
    return controls;
}

void SetControls(int w, int h)
{
    OverviewControls& c = Controls();
    const COLORREF text = ThemeTextColor.Ref();
    c.apply->Set(w / 2 + 10, h - 60, 100, 35, L"应用", ApplyBoxOverviewLayout, kAccent, 14, kLightText);
    c.close->Set(w / 2 - 110, h - 60, 100, 35, L"关闭", CloseOverview, ThemeShade30.Ref(), 14, text);
    c.caption->Set(0, 0, w - 60, 40, L"收纳盒一览", ThemeBaseColor.Ref(), 15, text, -1, 0, [] {});
    c.closeGlyph->Set(w - 32, 12, L"win-close", 14, text, CloseOverview);
}

void AddControls(Brevin::D2DBrevinPanel& panel)
{
    for (const auto& frame : State().frames)
        panel.AddControl(frame);
    OverviewControls& c = Controls();
    panel.AddControl(c.apply);
    panel.AddControl(c.close);
    panel.AddControl(c.caption);
    panel.AddControl(c.closeGlyph);
}

} // namespace

namespace BoxOverviewLayout
{

namespace
{

int FloorDiv(int64_t value, int64_t divisor)
{
    return static_cast<int>(std::floor(static_cast<double>(value) / static_cast<double>(divisor)));
}

} // namespace

Cell CellOf(int x, int y, int width, int height, int screenWidth, int screenHeight)
{
    if (screenWidth <= 0 || screenHeight <= 0)
        return {0, 0};
    return {FloorDiv(static_cast<int64_t>(x) + width / 2, screenWidth),
            FloorDiv(static_cast<int64_t>(y) + height / 2, screenHeight)};
}

Bounds CellBounds(const std::set<Cell>& cells, int screenWidth, int screenHeight)
{
    Bounds b{0, 0, screenWidth, screenHeight};
    for (const auto& [column, row] : cells) {
        b.minX = std::min(b.minX, column * screenWidth);
        b.minY = std::min(b.minY, row * screenHeight);
        b.maxX = std::max(b.maxX, (column + 1) * screenWidth);
        b.maxY = std::max(b.maxY, (row + 1) * screenHeight);
    }
    return b;
}

Fit FitBounds(const Bounds& bounds, double w, double h, const Fit& previous)
{
    const double W = bounds.maxX - bounds.minX;
    const double H = bounds.maxY - bounds.minY;
    if (W <= 0 || H <= 0)
        return previous;
    Fit fit;
    fit.scale = std::min((h - 130) / H, (w - 100) / W);
    fit.offX = ((w - 100) - W * fit.scale) / 2 + 50;
    fit.offY = ((h - 130) - H * fit.scale) / 2 + 50;
    return fit;
}

Rect ToPicture(const Rect& screen, const Bounds& bounds, const Fit& fit)
{
    return {static_cast<int>((screen.x - bounds.minX) * fit.scale + fit.offX),
            static_cast<int>((screen.y - bounds.minY) * fit.scale + fit.offY), static_cast<int>(screen.w * fit.scale),
            static_cast<int>(screen.h * fit.scale)};
}

Rect ToScreen(const Rect& picture, const Bounds& bounds, const Fit& fit)
{
    if (fit.scale <= 0)
        return picture;
    return {static_cast<int>((picture.x - fit.offX) / fit.scale + bounds.minX),
            static_cast<int>((picture.y - fit.offY) / fit.scale + bounds.minY), static_cast<int>(picture.w / fit.scale),
            static_cast<int>(picture.h / fit.scale)};
}

} // namespace BoxOverviewLayout

void OpenBoxOverview()
{
    OverviewState& s = State();
    CloseOverview();
    s.window.reset();
    s.window = std::make_shared<KelmWindow>();
    KelmWindow& window = *s.window;
    // 800 x 600 pixels on purpose: the picture scales itself to any size.
    window.Set(0, 0, 800, 600, L"Kelm.Class.Tessik.Overview", L"收纳盒一览");
    window.minWidth = 800;
    window.minHeight = 600;
    window.SetDrawCallback(BuildBoxOverview);
    window.frameMode = 2;
    window.onCreated = [] {
        if (State().window)
            CenterWindowOnScreen(State().window->GetHwnd());
    };
    window.Create();
}

HWND BoxOverviewWindow()
{
    const OverviewState& s = State();
    return s.window && IsWindow(s.window->GetHwnd()) ? s.window->GetHwnd() : nullptr;
}

void BuildBoxOverview(HWND window, ID2D1HwndRenderTarget* target)
{
    OverviewState& s = State();
    auto it = WindowMap.find(window);
    if (!target || it == WindowMap.end())
        return;
    Brevin::D2DBrevinPanel& panel = *it->second->GetPanel();
    panel.Init(window, target);
    RECT client{};
    GetClientRect(window, &client);
    const double w = client.right / DpiScale;
    const double h = client.bottom / DpiScale;
    FillSolidRect(target, 0, 0, static_cast<float>(w), static_cast<float>(h), ThemeBaseColor.Ref(), 1.0f);

    const bool fresh = window != s.lastWindow;
    if (fresh)
        Rebuild();
    const SIZE size{client.right, client.bottom};
    if (fresh || size.cx != s.lastClient.cx || size.cy != s.lastClient.cy) {
        s.fit = BoxOverviewLayout::FitBounds(s.bounds, w, h, s.fit);
        PlaceFrames();
        SetControls(static_cast<int>(w), static_cast<int>(h));
    }
    s.lastWindow = window;
    s.lastClient = size;

    const float cellW = static_cast<float>(s.screenWidth * s.fit.scale);
    const float cellH = static_cast<float>(s.screenHeight * s.fit.scale);
    for (const auto& [column, row] : s.cells) {
        const auto at =
            BoxOverviewLayout::ToPicture({column * s.screenWidth, row * s.screenHeight, 0, 0}, s.bounds, s.fit);
        DrawRoundRect(target, static_cast<float>(at.x), static_cast<float>(at.y), cellW, cellH, ThemeAccent.Ref(), 0.0f,
                      1.0f, 2.0f, ThemeShade30.Ref(), 1.0f);
    }
    AddControls(panel);
}

void ApplyBoxOverviewLayout()
{
    for (const auto& item : s_boxOverviewItems) {
        if (!IsLive(item->box) || !FindBoxRuntime(item->box))
            continue;
        HWND hwnd = item->box->GetHwnd();
        // A box embedded in the desktop is a child window: SetWindowPos
        // takes its position in the parent's client coordinates.
        POINT at{item->x, item->y};
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)
            MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), &at, 1);
        SetWindowPos(hwnd, nullptr, at.x, at.y, item->width, item->height, SWP_NOZORDER | SWP_NOACTIVATE);
        const BoxRuntime& runtime = *FindBoxRuntime(item->box);
        KelmStorageProxy object = s_desktopContainerStore[L"Components"][L"ComID_" + runtime.id];
        object[L"x"] = static_cast<int>(item->x);
        object[L"cx"] = static_cast<int>(item->width);
        // A folded box shows only its title bar: the store keeps the height
        // it unfolds to (and, for one that unfolds upwards, the top of the
        // unfolded box), or the next unfold would shrink it to a title bar.
        if (runtime.isMinimized || (runtime.IsHoverMinimized && !runtime.hoverExpanded)) {
            object[L"y"] = TessikDesktopContainer::StoredBoxTop(
                item->y, runtime.IsUpwardExpand, true, TessikDesktopContainer::StoredUnfoldedHeight(runtime), DpiScale);
        } else {
            object[L"y"] = static_cast<int>(item->y);
            object[L"cy"] = static_cast<int>(item->height);
        }
    }
    SaveSettingsStore(s_desktopContainerStore, L"无法保存收纳盒的新位置，下次启动时收纳盒将回到原来的位置。");
}
