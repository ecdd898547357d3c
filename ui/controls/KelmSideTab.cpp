#include "ui/controls/KelmSideTab.h"

#include <algorithm>
#include <utility>

#include "ui/controls/HoverSteps.h"
#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

std::wstring GetSideTabGlyph(std::wstring name)
{
    // The window glyphs as everywhere else, plus the page glyphs that only
    // the navigation uses.
    static const std::pair<const wchar_t*, wchar_t> kGlyphs[] = {
        {L"test-right", 0xF178}, {L"test-right-upd", 0xF178}, {L"test-right-dld", 0xF178}, {L"test-left", 0xF177},
        {L"win-close", 0xF00D},  {L"test-more", 0xF141},      {L"win-max", 0xF065},        {L"test-more2", 0xF52C},
        {L"win-winmax", 0xF424}, {L"test-more3", 0xF142},     {L"win-winrestore", 0xF422}, {L"test-home", 0xF80A},
        {L"win-min", 0xF068},    {L"test-info", 0xF05A},      {L"win-restore", 0xF066},    {L"test-comp", 0xF5FD},
        {L"test-set", 0x2699},   {L"test-heart", 0xF004},
    };
    for (const auto& [glyphName, character] : kGlyphs) {
        if (name == glyphName)
            return std::wstring(1, character);
    }
    return name;
}

KelmSideTab::~KelmSideTab()
{
    if (stepping)
        HoverSteps::StopCounting(stepping);
}

void KelmSideTab::Set(int, int ny, int nw, const wchar_t* newLabel, const wchar_t* newGlyph, int, COLORREF newColour,
                      std::function<void()> click)
{
    area = {35, ny, nw, 20};
    fontSize = 20.0f;
    label = newLabel ? newLabel : L"";
    glyph = newGlyph ? newGlyph : L"";
    colour = newColour;
    onClick = std::move(click);
}

void KelmSideTab::SetSelected(bool value)
{
    selected = value;
}

int KelmSideTab::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    return RoutePointerEventWithHover(*this, event);
}

Brevin::kelmRect KelmSideTab::GetRect()
{
    return area;
}

void KelmSideTab::CreateCtl(HWND, ID2D1HwndRenderTarget* target)
{
    HoverSteps::Advance(hoverStep, stepping, hovered);
    const float f = HoverSteps::Progress(hoverStep, false);
    const COLORREF shown = HoverSteps::ShiftForHover(colour, f);
    const float s = fontSize;
    const float x = static_cast<float>(area.x), y = static_cast<float>(area.y);
    const float w = static_cast<float>(area.w);
    const float ty = static_cast<float>(area.y + area.h / 2) - s / 1.5f;
    const COLORREF text = ThemeTextColor.Ref();

    if (selected) {
        DrawRoundRect(target, x - 5, y - 8.5f + 2 * f, w, s + 16, text, 12.0f, 0.1f);
        const ThemeRgb& base = ThemeBaseColor;
        const COLORREF pill = base.r + base.g + base.b >= 180 ? base.Ref() : ThemeShade30.Ref();
        DrawRoundRect(target, x - 5, y - 10, w, s + 16, pill, 12.0f, 1.0f, 1.0f, text, 0.1f);
    }

    float glyphX = 0;
    if (area.w >= kLabelMinWidth) {
        glyphX = x + 3;
        DrawTextInRectInt(target, x + 35, ty + 2.5f, area.w, area.h, label.c_str(), s - 6, text, L"Segoe UI", 1.0f);
    } else {
        glyphX = static_cast<float>(area.x + area.w / 2) - s / 1.4f;
    }
    const std::wstring character = GetSideTabGlyph(glyph);
    const COLORREF under =
        RGB(std::max(0, GetRValue(shown) - 30), std::max(0, GetGValue(shown) - 30), std::max(0, GetBValue(shown) - 30));
    // The glyph's layout box is two sizes square so the glyph is never cut.
    const int box = static_cast<int>(s * 2);
    DrawTextInRectInt(target, glyphX, ty + 1.5f, box, box, character.c_str(), s - 2, under, kIconFontFamily, 1.0f);
    DrawTextInRectInt(target, glyphX, ty, box, box, character.c_str(), s - 2, shown, kIconFontFamily, 1.0f);
}

void KelmSideTab::OnMouseUp()
{
    auto click = onClick;
    if (click)
        click();
    selected = true;
    InvalidateWindow(window);
}

int KelmSideTab::OnMouseDown()
{
    return 0;
}

void KelmSideTab::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmSideTab>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}
