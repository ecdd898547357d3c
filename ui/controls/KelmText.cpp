#include "ui/controls/KelmText.h"

#include "ui/controls/HoverSteps.h"
#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/HitTest.h"

namespace
{

constexpr COLORREF kLinkColour = 0xFB7952;

} // namespace

KelmText::~KelmText()
{
    // A text dropped mid-step would keep every window repainting.
    if (stepping)
        HoverSteps::StopCounting(stepping);
}

void KelmText::Set(int nx, int ny, int, int, const wchar_t* newText, int, COLORREF, std::function<void()> click)
{
    area = {nx, ny, 100, 40};
    label = newText ? newText : L"";
    fontSize = 16.0f;
    colour = kLinkColour;
    onClick = std::move(click);
}

int KelmText::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    return RoutePointerEventWithHover(*this, event);
}

Brevin::kelmRect KelmText::GetRect()
{
    return area;
}

void KelmText::CreateCtl(HWND hwnd, ID2D1HwndRenderTarget* target)
{
    // The pointer itself decides, not the panel's flag: a link keeps its
    // tint while the pointer rests on it without moving.
    const bool over = HitTestCursor(hwnd, area.x, area.y, area.w, area.h);
    HoverSteps::Advance(hoverStep, stepping, over);
    const COLORREF shown = HoverSteps::ShiftForHover(colour, HoverSteps::Progress(hoverStep, false));
    const float top = static_cast<float>(area.y + area.h / 2) - fontSize / 1.5f;
    DrawTextInRectInt(target, static_cast<float>(area.x), top, area.w, area.h, label.c_str(), fontSize, shown,
                      L"Segoe UI", 1.0f);
}

void KelmText::OnMouseUp()
{
    // A copy: the click may rebuild the page that holds this text.
    auto click = onClick;
    if (click)
        click();
}

int KelmText::OnMouseDown()
{
    return 0;
}

void KelmText::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmText>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}
