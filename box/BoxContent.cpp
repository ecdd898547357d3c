// Section index: colours and small drawing pieces; scrolling and search;
// background; icons, headers and hints; rubber band; title face and
// controls; tooltips and the drop indicator; BuildBoxContent.
#include "box/BoxContent.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <vector>

#include "app/DesktopCapture.h"
#include "app/KelmStorage.h"
#include "box/BoxDrop.h"
#include "box/BoxBackgroundMenu.h"
#include "box/BoxHoverFold.h"
#include "box/BoxIconDrag.h"
#include "box/BoxSearchMatches.h"
#include "box/BoxMoreMenu.h"
#include "box/BoxTitleMenu.h"
#include "box/BoxPaintRules.h"
#include "box/fileops/FileJobProgress.h"
#include "ui/controls/KelmBarrier.h"
#include "ui/controls/KelmReceiver.h"
#include "box/KelmGroupTag.h"
#include "box/KelmScrollBar.h"
#include "box/icons/KelmIcon.h"
#include "box/icons/KelmIconManager.h"
#include "box/icons/WildcardMatch.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmEdit.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/controls/KelmOptionCtl.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/GlyphNames.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace TessikDesktopContainer
{

namespace
{

using namespace BoxPaintRules;

constexpr COLORREF kHighlight = 0xFB7952;
constexpr COLORREF kSearchHeaderColour = 0x141414;
// Where the layout puts a record that the search filter hides.
constexpr float kHiddenByFilter = -100.0f;
constexpr float kTitleBand = 40.0f;

// The colours of one paint, read from the theme each time so a new theme
// shows at once.
struct Palette {
    COLORREF background;
    COLORREF text;
    COLORREF variant;
    COLORREF border;
};

Palette CurrentPalette()
{
    const bool grey = ThemeBaseColor.r == ThemeBaseColor.g;
    return {grey ? ThemeAccent.Ref() : ThemeBaseColor.Ref(), ThemeTextColor.Ref(), ThemeAccent.Ref(),
            ThemeShade30.Ref()};
}

// Everything one paint works with.
struct PaintContext {
    BoxWindowPtr box;
    BoxRuntime& r;
    KelmIconManager& manager;
    HWND window;
    ID2D1HwndRenderTarget* target;
    Brevin::D2DBrevinPanel* panel;
    float viewW;
    float viewH;
    Palette colours;
};

POINT CursorInDips(HWND window)
{
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(window, &cursor);
    return {static_cast<LONG>(cursor.x / DpiScale), static_cast<LONG>(cursor.y / DpiScale)};
}

bool CtrlHeld()
{
    return GetKeyState(VK_CONTROL) < 0;
}

// A rounded box with a soft shadow: the look of the file and tag tooltips.
void DrawTipBox(ID2D1RenderTarget* rt, float x, float y, float w, float h, const Palette& colours, float p)
{
    for (int i = 0; i < 6; ++i) {
        const float grow = static_cast<float>(i + 1);
        DrawRoundRect(rt, x - grow, y - grow + 2, w + 2 * grow, h + 2 * grow, colours.text, 6 + grow, p * 0.02f);
    }
    DrawRoundRect(rt, x, y, w, h, colours.background, 6, p, 1.0f, colours.border, p);
}

std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(L'\n', start);
        lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            return lines;
        start = end + 1;
    }
}

// ---------------------------------------------------------------------------
// Scrolling and search
// ---------------------------------------------------------------------------

void ApplyCtrlWheel(PaintContext& c, int& amount)
{
    if (!CtrlHeld() || amount == 0)
        return;
    const int level = IconLevelAfterWheel(c.r.IconSizeLevel, amount);
    amount = 0;
    if (level == c.r.IconSizeLevel)
        return;
    c.r.IconSizeLevel = level;
    s_desktopContainerStore[L"Components"][L"ComID_" + c.r.id][L"IconSizeLevel"] = level;
    s_desktopContainerStore.Save();
    const int edge = GetIconSizeForLevel(level);
    c.manager.SetIconSize(edge);
    if (auto search = s_boxSearchManagers.find(c.box); search != s_boxSearchManagers.end())
        search->second.SetIconSize(edge);
    InvalidateWindow(c.window);
}

void StartSpringBack(PaintContext& c)
{
    c.r.springBackPending = true;
    std::weak_ptr<KelmWindow> weak = c.box;
    c.box->AddPauseDelay(0.25, [weak](double progress) {
        if (progress < 1.0)
            return;
        BoxWindowPtr box = weak.lock();
        BoxRuntime* r = FindBoxRuntime(box);
        if (!r)
            return;
        if (!r->searchActive && r->scrollOffset < 0)
            r->scrollOffset = 0;
        r->springBackPending = false;
        InvalidateWindow(box->GetHwnd());
    });
    c.box->StartAnimationTimer();
}

void ScrollAndSearch(PaintContext& c, int d)
{
    ScrollState s{c.r.scrollOffset, c.r.searchScrollOffset};
    ApplyWheel(s, d, c.r.searchActive, c.r.searchText.empty());
    c.r.scrollOffset = s.scrollOffset;
    c.r.searchScrollOffset = s.searchScrollOffset;

    if (!c.r.searchActive && c.r.scrollOffset < 0) {
        if (c.r.scrollOffset < kSearchOpenPull) {
            c.r.searchActive = true;
            c.r.scrollOffset = kSearchRowOffset;
            c.r.springBackPending = false;
        } else if (d != 0 && !c.r.springBackPending) {
            StartSpringBack(c);
        }
    }
    if (c.r.searchActive && c.r.scrollOffset > kSearchClosePush) {
        c.r.searchActive = false;
        c.r.searchText.clear();
        c.r.appliedSearchText.clear();
        c.r.scrollOffset = 0;
        c.r.searchScrollOffset = 0;
        if (c.r.searchEdit) {
            // Off screen the edit must neither keep the keyboard nor blink;
            // and the row opens again empty, not with the old word.
            c.r.searchEdit->StopCaretAnimation();
            c.r.searchEdit->SetText(L"");
        }
    }
}

// ---------------------------------------------------------------------------
// Background
// ---------------------------------------------------------------------------

void PaintBackground(PaintContext& c)
{
    const int style = c.r.CompatibleLayer;
    const bool composing = c.box->CompositionActive();
    const Palette& p = c.colours;
    // Whatever the style, a window that does not compose starts opaque:
    // without the window manager's backdrop nothing would show through.
    if (!composing)
        c.target->Clear(D2D1::ColorF(GetRValue(p.background) / 255.0f, GetGValue(p.background) / 255.0f,
                                     GetBValue(p.background) / 255.0f, 1.0f));
    else if (style == 3)
        c.target->Clear(D2D1::ColorF(0, 0, 0, 0));
    float alpha = BackgroundAlpha(style, c.r.bgAlpha, composing);
    bool drawnUnder = false;
    if (style == 1) {
        if (s_desktopCaptureDC) {
            drawnUnder = true;
            WithGdiDC(c.target, c.window, [](HWND window, HDC dc) {
                RECT rc{};
                GetClientRect(window, &rc);
                POINT origin{0, 0};
                ClientToScreen(window, &origin);
                BitBlt(dc, 0, 0, rc.right, rc.bottom, s_desktopCaptureDC, origin.x, origin.y, SRCCOPY);
            });
        } else {
            alpha = 1.0f;
        }
    }
    // The clear laid this very colour down opaquely: a second coat over
    // every pixel changes none of them, and costs a pass over the window.
    if (!composing && !drawnUnder && alpha >= 1.0f)
        return;
    FillSolidRect(c.target, 0, 0, c.viewW, c.viewH, p.background, alpha);
}

// ---------------------------------------------------------------------------
// Icons, headers and hints
// ---------------------------------------------------------------------------

void DrawHeaders(PaintContext& c, bool searchView)
{
    const int edge = c.manager.GetIconSize();
    const float W = c.viewW - 40;
    float offset = 0;
    if (!c.r.IsListView) {
        const int n = std::max(1, static_cast<int>(W) / (edge + 12));
        offset = (W - (n * (edge + 12) - 12)) / 2;
    }
    for (const IconRecord& record : c.manager.Records()) {
        if (record.sectionText.empty() || record.y < -150 - 35 || record.y > c.viewH + 150)
            continue;
        if (searchView) {
            // A folder box's title holds glyph ranges: the icon font draws them.
            const BoxRuntime* owner = FindBoxRuntime(record.owner);
            if (owner && owner->UseTargetFolder)
                DrawIconTextOblique(c.target, 20 + offset, record.y - 30, c.viewW - 40, 25, record.sectionText.c_str(),
                                    14, kSearchHeaderColour, L"Segoe UI", 0.8f, false);
            else
                DrawTextSemibold(c.target, 20 + offset, record.y - 30, c.viewW - 40, 25, record.sectionText.c_str(), 14,
                                 kSearchHeaderColour, L"Segoe UI", 0.8f, false);
            continue;
        }
        DrawTextSemibold(c.target, 20 + offset, record.y - 30, c.viewW - 40, 25, record.sectionText.c_str(), 14,
                         c.colours.text, L"Segoe UI", 0.8f, false);
    }
}

// The icon controls near the visible area go to the panel; the rest wait.
// Of a pile at one place only the top record is added: a pile of a
// thousand text cards or icons of their own kept the box painting for
// seconds.
void AddIcons(PaintContext& c)
{
    auto& records = c.manager.Records();
    const std::vector<char> under = KelmIconManager::UnderPiles(records, c.viewH, c.r.IsListView);
    for (size_t i = 0; i < records.size(); ++i) {
        IconRecord& record = records[i];
        if (!record.control || !KelmIconManager::NearView(record, c.viewH) || under[i])
            continue;
        c.panel->AddControl(record.control);
    }
}

void SetIconsOverflow(PaintContext& c, bool raised)
{
    for (IconRecord& record : c.manager.Records()) {
        if (record.control)
            record.control->SetOverflowFlag(raised);
    }
}

// One hint line: text, an optional key cap and more text, centred.
void DrawHintLine(PaintContext& c, float y, const std::wstring& before, const wchar_t* key, const std::wstring& after)
{
    const float size = 12;
    const float w1 = static_cast<float>(MeasureTextWidth(c.window, before, size));
    const float wk = key ? static_cast<float>(MeasureTextWidth(c.window, key, size) + 14) : 0;
    const float w2 = static_cast<float>(MeasureTextWidth(c.window, after, size));
    float x = (c.viewW - (w1 + wk + w2)) / 2;
    DrawTextInRect(c.target, x, y + 4, w1 + 4, 20, before.c_str(), size, c.colours.text, L"Segoe UI", 0.5f, false);
    x += w1;
    if (key) {
        DrawKeyCap(c.target, x + 2, y + 4, wk - 4, 20, c.colours.variant, 4, key);
        x += wk;
    }
    if (!after.empty())
        DrawTextInRect(c.target, x, y + 4, w2 + 4, 20, after.c_str(), size, c.colours.text, L"Segoe UI", 0.5f, false);
}

void DrawEmptyHints(PaintContext& c)
{
    const float top = (c.viewH - 104) / 2;
    DrawHintLine(c, top, L"拖动来放置文件或移出文件", nullptr, L"");
    DrawHintLine(c, top + 26, L"按住 ", L"CTRL", L" 来复制文件");
    DrawHintLine(c, top + 52, L"按下 ", L"L", L" 来设置编组");
    DrawHintLine(c, top + 78, L"编组后可按住 ", L"CTRL", L" 临时解除编组");
}

// ---------------------------------------------------------------------------
// Rubber band
// ---------------------------------------------------------------------------

bool OnIconCell(const PaintContext& c, float x, float y)
{
    for (const IconRecord& record : c.manager.Records()) {
        const Cell cell =
            IconCell(record.x, record.y, c.manager.GetIconSize(), c.r.IsListView, c.r.IconSpacingMode, c.viewW,
                     WildcardMatchNoCase(L"*.txt", record.path), IconDisplayName(record.alias, record.path).size());
        if (Meets(cell, x, y, x, y))
            return true;
    }
    return false;
}

void RubberBand(PaintContext& c)
{
    const bool down = GetAsyncKeyState(VK_LBUTTON) < 0;
    // With the button up and no band drawn there is nothing to start or end.
    // The window system is not asked where the pointer is and which window
    // is in front then: while a job moves files each question may wait on
    // it for milliseconds, and every paint would ask.
    if (!c.r.bandActive && !down)
        return;
    const bool allowed =
        GetForegroundWindow() == c.window && !c.r.dropPending && !s_dragOverAccepted && !s_dragOutActive;
    const POINT cursor = CursorInDips(c.window);
    const Cell content = BandStartArea(c.viewW, c.viewH, c.r.IsUpwardExpand, !c.r.IsLocked || c.r.searchActive);
    const bool inContent = Contains(content, static_cast<float>(cursor.x), static_cast<float>(cursor.y));
    if (!c.r.bandActive) {
        if (!allowed || !down || !inContent ||
            OnIconCell(c, static_cast<float>(cursor.x), static_cast<float>(cursor.y)))
            return;
        c.r.bandActive = true;
        SetIconsOverflow(c, true);
        c.r.bandStart = {cursor.x, cursor.y};
        c.r.bandCurrent = c.r.bandStart;
        if (!CtrlHeld()) {
            c.r.selection.clear();
            c.r.multiSelect = false;
        }
    }
    if (!down) {
        c.r.bandActive = false;
        SetIconsOverflow(c, false);
        if (!c.r.selection.empty() && inContent)
            c.r.multiSelect = true;
        InvalidateWindow(c.window);
        return;
    }
    c.r.bandCurrent = {cursor.x, cursor.y};
    const float left = static_cast<float>(std::min(c.r.bandStart.x, c.r.bandCurrent.x));
    const float top = static_cast<float>(std::min(c.r.bandStart.y, c.r.bandCurrent.y));
    const float right = static_cast<float>(std::max(c.r.bandStart.x, c.r.bandCurrent.x));
    const float bottom = static_cast<float>(std::max(c.r.bandStart.y, c.r.bandCurrent.y));
    if (!CtrlHeld())
        c.r.selection.clear();
    for (const IconRecord& record : c.manager.Records()) {
        const Cell cell =
            IconCell(record.x, record.y, c.manager.GetIconSize(), c.r.IsListView, c.r.IconSpacingMode, c.viewW,
                     WildcardMatchNoCase(L"*.txt", record.path), IconDisplayName(record.alias, record.path).size());
        if (Meets(cell, left, top, right, bottom))
            c.r.selection.insert(static_cast<int32_t>(record.id));
    }
    DrawRoundRect(c.target, left, top, right - left, bottom - top, kHighlight, 0, 0.2f, 1.0f, kHighlight, 0.8f);
}

// ---------------------------------------------------------------------------
// Title face and controls
// ---------------------------------------------------------------------------

// The band's top and the title inset of this paint.
struct TitleGeometry {
    float bandTop;
    float inset;
    float panelTop; // top of the title panel (types 1 and 2), else the band top
};

TitleGeometry TitleGeometryOf(const PaintContext& c)
{
    TitleGeometry g{};
    g.bandTop = c.r.IsUpwardExpand ? c.viewH - kTitleBand : 0.0f;
    g.inset = static_cast<float>(TitleInset(c.r.TitleType, c.viewH));
    g.panelTop = c.r.IsUpwardExpand ? c.viewH - kTitleBand - g.inset : g.inset;
    if (c.r.TitleType == 0 || c.viewH < 45)
        g.panelTop = g.bandTop;
    return g;
}

void DrawTitleFace(PaintContext& c, const TitleGeometry& g)
{
    const TitleFace face =
        ChooseTitleFace(c.r.TitleType, c.r.CompatibleLayer, c.r.titleAlpha, c.r.IsLocked, c.r.searchActive, c.viewH);
    if (face.shape == TitleShape::None)
        return;
    if (face.shape == TitleShape::FlatBand) {
        FillSolidRect(c.target, 0, 0, c.viewW, 45, c.colours.background, face.fill);
        return;
    }
    if (face.blur == TitleBlur::Downsample)
        DownsampleBlurHeavy(c.target, 0, g.bandTop, c.viewW, kTitleBand, 14);
    else if (face.blur == TitleBlur::Gaussian)
        GaussianBlurRegion(c.target, 0, g.bandTop, c.viewW, kTitleBand, 5);
    if (face.shape == TitleShape::Band) {
        FillSolidRect(c.target, 0, g.bandTop, c.viewW, kTitleBand, c.colours.background, face.fill);
        const float lineY = c.r.IsUpwardExpand ? g.bandTop : g.bandTop + kTitleBand - 1;
        FillSolidRect(c.target, 0, lineY, c.viewW, 1, c.colours.border, face.line);
        return;
    }
    const float x = g.inset, w = c.viewW - 2 * g.inset;
    const float radius = face.pill ? 20.0f : 6.5f;
    DrawSoftShadow(c.target, x, g.panelTop, w, kTitleBand, radius, 0, 2, 10, 5, 0, face.fill / 45, c.colours.text);
    DrawRoundRect(c.target, x, g.panelTop, w, kTitleBand,
                  face.pill ? ContrastShiftColor(c.colours.variant, 40) : c.colours.background, radius, face.fill);
}

void AddTitleControls(PaintContext& c, const TitleGeometry& g)
{
    const bool unlocked = !c.r.IsLocked;
    if (unlocked && c.r.captionBar) {
        // The bar draws no background: its colour is the box's tag colour,
        // which the quick panel and the colour groups read.
        const COLORREF tag = c.r.captionBar->colour;
        c.r.captionBar->Set(0, static_cast<int>(g.bandTop), static_cast<int>(c.viewW), 40, L" ", tag, 18,
                            c.colours.text, -1, 0, nullptr);
        c.panel->AddControl(c.r.captionBar);
    }
    if ((unlocked || c.r.searchActive) && c.r.titleButton) {
        // Kept off-screen: it only holds the box's colour.
        const COLORREF fill = c.r.titleButton->fill;
        c.r.titleButton->Set(
            -200, -200, 10, 10, L"", [] {}, fill, 15, c.colours.text);
        c.panel->AddControl(c.r.titleButton);
    }
    if ((unlocked || c.r.searchActive) && c.r.optionControl) {
        c.r.optionControl->Set(
            -200, -200, 10, 10, L"", [] {}, c.colours.background, 15, 1, c.colours.text);
        c.panel->AddControl(c.r.optionControl);
    }
    if (c.r.groupTag) {
        const int width = TitleWidthEstimate(c.r.title) + 30;
        const std::wstring text = GroupTagText(c.r.title, c.r.UseTargetFolder);
        const bool pill = c.r.TitleType == 2 && c.viewH > 45;
        auto click = [weak = std::weak_ptr<KelmWindow>(c.box), owner = c.window, type = c.r.TitleType,
                      inset = g.inset] { ShowBoxTitleMenu(weak.lock(), owner, type, inset); };
        if (pill) {
            c.r.groupTag->Set(10, static_cast<int>(g.panelTop), width, 40, text, click, c.r.titleButton, 14, 0,
                              c.colours.text, ContrastShiftColor(ThemeBaseColor.Ref(), -10), 20, false);
        } else {
            c.r.groupTag->Set(static_cast<int>(g.inset + 8), static_cast<int>(g.panelTop + 6), width, 28, text, click,
                              c.r.titleButton, 14, 0, c.colours.text, c.colours.variant, 6, c.r.TitleType != 0);
        }
        c.r.groupTag->alternateTextStyle = c.r.UseTargetFolder;
        c.panel->AddControl(c.r.groupTag);
    }
    if (!unlocked)
        return;
    const int glyphY = static_cast<int>(g.panelTop + 13);
    const int i = static_cast<int>(g.inset);
    if (c.r.foldButton) {
        c.r.foldButton->Set(static_cast<int>(c.viewW) - 32 - i, glyphY,
                            FoldGlyphName(c.r.IsHoverMinimized, c.r.isMinimized, c.r.IsUpwardExpand), 14,
                            c.colours.text,
                            [weak = std::weak_ptr<KelmWindow>(c.box)] { ToggleBoxFolded(weak.lock()); });
        c.panel->AddControl(c.r.foldButton);
    }
    if (c.r.moreButton) {
        c.r.moreButton->Set(static_cast<int>(c.viewW) - 65 - i, glyphY, L"test-more", 14, c.colours.text,
                            [weak = std::weak_ptr<KelmWindow>(c.box)] { ShowBoxMoreMenu(weak.lock()); });
        c.panel->AddControl(c.r.moreButton);
    }
}

// ---------------------------------------------------------------------------
// Tooltips, search row face and the drop indicator
// ---------------------------------------------------------------------------

void DrawTagTooltip(PaintContext& c)
{
    const auto& tag = c.r.groupTag;
    if (!tag || c.viewH <= 200 || tag->tooltipOpacity <= 0 || tag->tooltipText.empty())
        return;
    const float p = static_cast<float>(tag->tooltipOpacity);
    const std::vector<std::wstring> lines = SplitLines(tag->tooltipText);
    float width = 0;
    for (const std::wstring& line : lines)
        width = std::max(width, static_cast<float>(MeasureTextWidth(c.window, line, 12)));
    width = std::min(320.0f, width + 24);
    const float height = 18.0f * lines.size() + 14;
    float x = std::clamp(static_cast<float>(tag->x), 5.0f, std::max(5.0f, c.viewW - width - 5));
    float y = static_cast<float>(tag->y + tag->h + 5);
    if (c.r.IsUpwardExpand)
        y = static_cast<float>(tag->y) - height - 5;
    DrawTipBox(c.target, x, y, width, height, c.colours, p);
    for (size_t n = 0; n < lines.size(); ++n)
        DrawTextInRect(c.target, x + 12, y + 7 + 18.0f * n, width - 24, 18, lines[n].c_str(), 12, c.colours.text,
                       L"Segoe UI", p, false);
}

void DrawSearchRowFace(PaintContext& c)
{
    const float height = c.r.IsUpwardExpand ? 80.0f : 105.0f;
    const float top = c.r.IsUpwardExpand ? c.viewH - height : 0.0f;
    if (c.r.CompatibleLayer == 0 || c.r.CompatibleLayer == 1)
        DownsampleBlurHeavy(c.target, 0, top, c.viewW, height, 14);
    if (c.r.TitleType == 1 || c.r.TitleType == 2) {
        const float inset = 8;
        DrawSoftShadow(c.target, inset, top + inset, c.viewW - 2 * inset, height - 2 * inset, 6.5f, 0, 2, 10, 5, 0,
                       0.02f, c.colours.text);
        DrawRoundRect(c.target, inset, top + inset, c.viewW - 2 * inset, height - 2 * inset, c.colours.background, 6.5f,
                      1.0f, 1.0f, c.colours.border, 1.0f);
        return;
    }
    FillSolidRect(c.target, 0, top, c.viewW, height, c.colours.background, 0.5f);
    FillSolidRect(c.target, 0, c.r.IsUpwardExpand ? top : top + height - 1, c.viewW, 1, c.colours.border, 1.0f);
}

void AddSearchEdit(PaintContext& c)
{
    if (!c.r.searchEdit)
        return;
    float inset = static_cast<float>(TitleInset(c.r.TitleType, c.viewH));
    if (c.r.TitleType == 1 || c.r.TitleType == 2)
        inset += 15;
    const int y = c.r.IsUpwardExpand ? 25 : static_cast<int>(inset + 55);
    const int w = static_cast<int>(c.viewW) - 40;
    if (c.r.searchEdit->editW == 0) { // never placed yet
        std::weak_ptr<KelmWindow> weak = c.box;
        c.r.searchEdit->Set(
            20, y, w, 35, L"搜索文件...",
            [weak](std::wstring) {
                if (BoxWindowPtr box = weak.lock())
                    InvalidateWindow(box->GetHwnd());
            },
            c.colours.variant, c.colours.text, 14);
        c.r.searchEdit->SetText(c.r.searchText);
    } else {
        c.r.searchEdit->SetLayout(20, y, w, 35, c.colours.variant, c.colours.text);
        c.r.searchText = c.r.searchEdit->GetText();
    }
    c.panel->AddControl(c.r.searchEdit);
}

// The file tooltip of an icon that the pointer rests on.
std::wstring ModifiedText(int64_t fileTime)
{
    if (fileTime <= 0)
        return L"修改于 : 未知";
    FILETIME utc{static_cast<DWORD>(fileTime & 0xFFFFFFFF), static_cast<DWORD>(fileTime >> 32)};
    FILETIME local{};
    SYSTEMTIME st{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st))
        return L"修改于 : 未知";
    wchar_t order[8] = L"", clock[8] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ILDATE, order, 8);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ITIME, clock, 8);
    const std::wstring format = std::wstring(DateFormatFor(order)) + TimeFormatFor(clock);
    std::tm tm{};
    tm.tm_year = st.wYear - 1900;
    tm.tm_mon = st.wMonth - 1;
    tm.tm_mday = st.wDay;
    tm.tm_hour = st.wHour;
    tm.tm_min = st.wMinute;
    wchar_t text[128] = L"";
    if (wcsftime(text, 128, format.c_str(), &tm) == 0)
        return L"修改于 : 未知";
    return std::wstring(L"修改于 : ") + text;
}

// An icon the pointer has left loses its hover, and a press on it ends
// there: a release outside must not open it. A pressed icon counts as
// hovered: while animations run the window drops pointer moves, so the
// icon may not have seen the pointer go.
void DropHoverOutside(PaintContext& c)
{
    std::optional<POINT> cursor; // asked only when an icon is hovered
    for (IconRecord& record : c.manager.Records()) {
        if (!record.control || !(record.control->hovered || record.control->IsCapturing()))
            continue;
        if (!cursor)
            cursor = CursorInDips(c.window);
        const Brevin::kelmRect cell = record.control->GetRect();
        const bool inside =
            cursor->x >= cell.x && cursor->x < cell.x + cell.w && cursor->y >= cell.y && cursor->y < cell.y + cell.h;
        if (!inside)
            record.control->OnMouseDown();
    }
}

void DrawIconTooltips(PaintContext& c)
{
    if (c.r.isMinimized)
        return;
    for (IconRecord& record : c.manager.Records()) {
        if (!record.control || record.control->tooltipValue <= 0)
            continue;
        const float p = static_cast<float>(record.control->tooltipValue);
        const std::wstring name = IconDisplayName(record.alias, record.path);
        const std::wstring size = record.control->SizeText();
        const std::wstring time = ModifiedText(record.lastWriteTime);
        const float nameWidth = static_cast<float>(MeasureTextWidth(c.window, name, 12));
        const float detailWidth =
            static_cast<float>(std::max(MeasureTextWidth(c.window, size, 12), MeasureTextWidth(c.window, time, 12)));
        const float width = std::max(std::min(nameWidth + 24, 280.0f), detailWidth + 24);
        const int nameLines = std::max(1, static_cast<int>(nameWidth / 256) + 1);
        const float height = 18.0f * nameLines + 36 + 14;
        const Brevin::kelmRect cell = record.control->GetRect();
        float x = cell.x + cell.w / 2.0f - width / 2;
        x = std::clamp(x, 5.0f, std::max(5.0f, c.viewW - width - 5));
        float y = static_cast<float>(cell.y + cell.h + 5);
        if (y + height > c.viewH - 5)
            y = cell.y - height - 5;
        DrawTipBox(c.target, x, y, width, height, c.colours, p);
        DrawTextInRect(c.target, x + 12, y + 7, width - 24, 18.0f * nameLines, name.c_str(), 12, c.colours.text,
                       L"Segoe UI", p, false);
        const float details = y + 7 + 18.0f * nameLines;
        DrawTextInRect(c.target, x + 12, details, width - 24, 18, size.c_str(), 12, c.colours.text, L"Segoe UI",
                       0.6f * p, false);
        DrawTextInRect(c.target, x + 12, details + 18, width - 24, 18, time.c_str(), 12, c.colours.text, L"Segoe UI",
                       0.6f * p, false);
    }
}

void DrawDropIndicator(PaintContext& c)
{
    if (!s_dragOverAccepted || c.r.dropPending)
        return;
    POINT screen{};
    GetCursorPos(&screen);
    RECT rc{};
    GetWindowRect(c.window, &rc);
    if (!PtInRect(&rc, screen))
        return;
    const POINT cursor = CursorInDips(c.window);
    const bool hot = cursor.y >= 0 && cursor.y < 40;
    const float w = 100, h = 30, x = (c.viewW - w) / 2, y = 5;
    for (int i = 5; i >= 1; --i) {
        const float grow = i * 2.0f;
        DrawRoundRect(c.target, x - grow, y - grow, w + 2 * grow, h + 2 * grow, hot ? kHighlight : c.colours.text,
                      h / 2 + grow, 0.03f);
    }
    const COLORREF face = hot ? kHighlight : c.colours.variant;
    DrawRoundRect(c.target, x, y, w, h, face, h / 2, 1.0f, hot ? 2.5f : 1.0f, hot ? kHighlight : c.colours.border,
                  1.0f);
    const std::wstring label = L":" + GetGlyph(L"win-close") + L":  取消";
    DrawIconText(c.target, x, y + 5, w, h - 6, label.c_str(), 14, hot ? RGB(255, 255, 255) : c.colours.text,
                 L"Segoe UI", 1.0f, true);
}

void DrawDragPreview(PaintContext& c)
{
    if (!c.r.dropPending || !s_dragOverAccepted || s_droppedFiles.empty())
        return;
    const POINT cursor = CursorInDips(c.window);
    const float size = static_cast<float>(c.manager.GetIconSize());
    if (c.r.dragIcon) {
        KelmIcon::PaintCell(*c.r.dragIcon, c.target, cursor.x - size / 2, cursor.y - size / 2, 0.8f);
        return;
    }
    DrawShellIcon(c.target, s_droppedFiles.front(), cursor.x - size / 2, cursor.y - size / 2, size, 0.7f);
}

void AddReceiver(PaintContext& c)
{
    if (!c.r.receiver)
        return;
    const Cell area = ReceiverRect(c.viewW, c.viewH, c.r.IsUpwardExpand, c.r.IsLocked && !c.r.searchActive);
    std::weak_ptr<KelmWindow> weak = c.box;
    c.r.receiver->Set(
        static_cast<int>(area.x), static_cast<int>(area.y), static_cast<int>(area.w), static_cast<int>(area.h),
        [weak](std::vector<std::wstring> paths) { OnBoxDropFiles(weak.lock(), paths); },
        [weak] {
            BoxWindowPtr self = weak.lock();
            auto view = s_boxIconManagers.find(self);
            if (self && view != s_boxIconManagers.end())
                ShowBoxBackgroundMenu(self, &view->second);
        });
    c.panel->AddControl(c.r.receiver);
}

// The card of a running file job: the current name and the done fraction,
// fading with the record's display level.
struct CardPlace {
    float x, y, w, h;
};

CardPlace ProgressCardPlace(float viewW, float viewH, bool upward)
{
    const float w = std::min(viewW - 50.0f, 320.0f);
    return {(viewW - w) / 2.0f, upward ? viewH - 110.0f : 50.0f, w, 60.0f};
}

void DrawProgressCard(PaintContext& c)
{
    const double level = s_copyProgress.displayLevel;
    if (level <= 0.0 || s_copyProgress.targetWindow != c.box)
        return;
    const float p = static_cast<float>(std::min(1.0, level));
    const auto [x, y, w, h] = ProgressCardPlace(c.viewW, c.viewH, c.r.IsUpwardExpand);
    // Fully shown, the card's face covers the part a job's progress
    // repaints; fading, it does not, and such a paint is done again whole.
    if (p >= 1.0f)
        RevealPaint(&s_copyProgress);
    for (int i = 0; i < 6; ++i) {
        const float grow = static_cast<float>(i + 1);
        DrawRoundRect(c.target, x - grow, y - grow + 2, w + 2 * grow, h + 2 * grow, c.colours.text, 6 + grow,
                      (1.0f - i / 6.0f) * p * 0.02f);
    }
    DrawRoundRect(c.target, x, y, w, h, c.colours.background, 6, p, 1.0f, c.colours.border, p);
    const std::wstring text = L"正在处理:\n" + s_copyProgress.CurrentName();
    const std::vector<std::wstring> lines = SplitLines(text);
    // A long name wraps; it stays on the card, where a repaint of the
    // card's progress reaches.
    c.target->PushAxisAlignedClip(D2D1::RectF(x + 12, y + 5, x + w - 12, y + 43), D2D1_ANTIALIAS_MODE_ALIASED);
    for (size_t i = 0; i < lines.size() && i < 2; ++i)
        DrawTextInRect(c.target, x + 12, y + 6 + 18.0f * i, w - 24, 18, lines[i].c_str(), 12, c.colours.text,
                       L"Segoe UI", p, false);
    c.target->PopAxisAlignedClip();
    const float trackX = x + 12, trackW = w - 24, trackY = y + 52;
    FillSolidRect(c.target, trackX, trackY, trackW, 3, c.colours.border, p);
    const float fraction = std::clamp(s_copyProgress.fraction.load(), 0.0f, 1.0f);
    if (fraction > 0.0f)
        FillSolidRect(c.target, trackX, trackY, trackW * fraction, 3, kHighlight, p);
}

void AddBarrier(PaintContext& c)
{
    if (!c.r.barrier || !c.r.IsHoverMinimized || c.viewH >= 45)
        return;
    c.r.barrier->Set(0, 0, static_cast<int>(c.viewW), 40, [] {});
    c.panel->AddControl(c.r.barrier);
}

void AddScrollBar(PaintContext& c, int contentHeight, int overflow)
{
    if (!c.r.scrollBar || c.r.searchActive || overflow <= 0)
        return;
    const float trackTop = c.r.IsLocked ? 0.0f : kTitleBand;
    const float trackBottom = c.r.IsUpwardExpand ? c.viewH : c.viewH;
    c.r.scrollBar->Set(c.viewW, static_cast<float>(contentHeight), trackBottom, static_cast<float>(c.r.scrollOffset),
                       static_cast<float>(overflow), trackTop, c.r.IsUpwardExpand);
    c.panel->AddControl(c.r.scrollBar);
}

// The matches of all boxes, rebuilt when the pattern changed, laid out
// under the search row with every record at its place at once.
KelmIconManager& PrepareSearchView(PaintContext& c)
{
    const std::wstring pattern = BoxPaintRules::SearchPattern(c.r.searchText);
    if (pattern != c.r.appliedSearchText)
        RebuildSearchView(c.box, pattern);
    KelmIconManager& view = s_boxSearchManagers[c.box];
    view.SetPadding(20, 130 - c.r.searchScrollOffset);
    view.Layout(static_cast<int>(c.viewW));
    view.UpdateAnimations(c.box);
    for (IconRecord& record : view.Records()) {
        record.x = record.targetX;
        record.y = record.targetY;
        record.opacity = 1.0f;
    }
    view.ApplyCurrentPositions(c.viewW, c.viewH);
    return view;
}

} // namespace

bool ProgressCardChangePixels(const BoxWindowPtr& box, RECT& pixels)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !box || s_copyProgress.targetWindow != box || s_copyProgress.displayLevel < 1.0)
        return false;
    RECT rc{};
    GetClientRect(box->GetHwnd(), &rc);
    const double s = DpiScale > 0 ? DpiScale : 1.0;
    const auto [x, y, w, h] =
        ProgressCardPlace(static_cast<float>(rc.right / s), static_cast<float>(rc.bottom / s), runtime->IsUpwardExpand);
    // The name's two lines and the bar, well inside the rounded face.
    pixels = {static_cast<LONG>(std::floor((x + 10.0f) * s)), static_cast<LONG>(std::floor((y + 4.0f) * s)),
              static_cast<LONG>(std::ceil((x + w - 10.0f) * s)), static_cast<LONG>(std::ceil((y + 57.0f) * s))};
    return pixels.right > pixels.left && pixels.bottom > pixels.top;
}

COLORREF BoxFaceColour()
{
    return CurrentPalette().background;
}

void BuildBoxContent(const BoxWindowPtr& box, HWND window, ID2D1HwndRenderTarget* target)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    auto managerEntry = s_boxIconManagers.find(box);
    if (!runtime || managerEntry == s_boxIconManagers.end() || !target)
        return;
    RECT rc{};
    GetClientRect(window, &rc);
    PaintContext c{box,
                   *runtime,
                   managerEntry->second,
                   window,
                   target,
                   box->GetPanel(),
                   static_cast<float>(rc.right / DpiScale),
                   static_cast<float>(rc.bottom / DpiScale),
                   CurrentPalette()};

    int wheel = c.panel->TakeScroll() * 2;
    ApplyCtrlWheel(c, wheel);
    box->SetIgnoreHover(c.r.resizeAnimating || (!c.r.searchActive && box->animationManager.GetActiveCount() > 0));
    ScrollAndSearch(c, wheel);

    float lowest = 0, highest = 0;
    int shown = 0;
    const auto& records = c.manager.Records();
    for (const IconRecord& record : records) {
        // Records the search filter put aside take no room.
        if (record.targetX == kHiddenByFilter && record.targetY == kHiddenByFilter)
            continue;
        lowest = shown == 0 ? record.targetY : std::min(lowest, record.targetY);
        highest = shown == 0 ? record.targetY : std::max(highest, record.targetY);
        ++shown;
    }
    const int contentHeight = ContentHeight(shown, lowest, highest, c.manager.GetIconSize());
    const int overflow = std::max(0, contentHeight - static_cast<int>(c.viewH));
    c.r.scrollOffset = ClampScrollOffset(c.r.scrollOffset, overflow);

    PaintBackground(c);

    const bool titleShown = !c.r.IsLocked || c.r.searchActive;
    const int top = titleShown ? (c.r.IsUpwardExpand ? 20 : 70) : (c.r.IsUpwardExpand ? 10 : 30);
    c.manager.SetPadding(20, top - c.r.scrollOffset);
    c.manager.Layout(static_cast<int>(c.viewW));
    const bool searchView = c.r.SearchFilters();
    if (!searchView)
        c.manager.UpdateAnimations(box);
    c.manager.ApplyCurrentPositions(c.viewW, c.viewH);

    c.panel->Init(window, target);
    AddReceiver(c);

    KelmIconManager* searchManager = searchView ? &PrepareSearchView(c) : nullptr;
    PaintContext s{c.box,   c.r,      searchManager ? *searchManager : c.manager, c.window, c.target, c.panel, c.viewW,
                   c.viewH, c.colours};
    if (c.viewH > 41) {
        AddIcons(searchView ? s : c);
        DrawHeaders(searchView ? s : c, searchView);
    }
    if (ShowsEmptyHints(!records.empty(), c.r.isMinimized))
        DrawEmptyHints(c);
    if (c.r.searchActive) {
        DrawSearchRowFace(c);
        AddSearchEdit(c);
    }

    const TitleGeometry title = TitleGeometryOf(c);
    RubberBand(c);
    DrawTitleFace(c, title);
    DropHoverOutside(c);
    DrawIconTooltips(searchView ? s : c);
    DrawTagTooltip(c);
    DrawProgressCard(c);
    DrawDropIndicator(c);
    AddTitleControls(c, title);
    DrawDragPreview(c);
    AddBarrier(c);
    AddScrollBar(c, contentHeight, overflow);
    // Last: putting the dragged icon down changes the records just drawn.
    FinishIconDragOnRelease(box, (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0);
}

} // namespace TessikDesktopContainer
