// The box's title tag: a rounded tag with a coloured marker (the box's
// colour) and the title; a tip in angle brackets at the end of the text is
// not shown in the tag but as a tooltip after the pointer rests 600 ms on
// it. Hover and press animate its colour; a click runs its callback.
// UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmButton;

namespace TessikDesktopContainer
{

class KelmGroupTag : public Brevin::BrevinControl
{
public:
    static constexpr UINT kTooltipDelayMs = 600;

    struct SplitText {
        std::wstring label;
        std::wstring tooltip;
    };
    // "name<tip>" -> ("name", "tip"): the part between the first "<" and
    // the first ">" after it, brackets and all, leaves the label. Without
    // such a pair the whole text is the label.
    static SplitText Split(const std::wstring& text);
    // The face colour of a fill at the given hover and press progress
    // (every channel + lift + 20, clamped).
    static COLORREF LiftedColour(COLORREF fill, double hoverProgress, double pressProgress);

    KelmGroupTag() = default;
    ~KelmGroupTag() override;
    KelmGroupTag(const KelmGroupTag&) = delete;
    KelmGroupTag& operator=(const KelmGroupTag&) = delete;

    void Set(int x, int y, int width, int height, const std::wstring& text, std::function<void()> onClick,
             std::shared_ptr<KelmButton> owner, float fontSize, int unused, COLORREF textColour, COLORREF fillColour,
             float radius, bool shadow);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmGroupTag> self);
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void OnMouseUp();
    void OnMouseDown();
    void CancelPress();
    void DrawAnimatedText(ID2D1RenderTarget* target, float x, float y, float width, float height, COLORREF colour,
                          bool contrast);

    static void CALLBACK ToolTipTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

    std::function<void()> onHover;
    double tooltipOpacity = 0.0;
    int tooltipAnimationId = -1;
    std::wstring tooltipText;
    double hoverProgress = 0.0;
    int hoverAnimationId = -1;
    double pressProgress = 0.0;
    int pressAnimationId = -1;
    std::wstring label;
    std::wstring previousLabel;
    double textChangeProgress = 1.0;
    int textChangeAnimationId = -1;
    std::shared_ptr<KelmButton> owner;
    COLORREF fillColour = 0;
    bool shadow = false;
    int radius = 0;
    float fontSize = 14.0f;
    COLORREF textColour = 0;
    bool lastHovered = false;
    bool lastPressed = false;
    bool enabled = true;
    bool alternateTextStyle = false;
    int interactive = 1;
    HWND hwnd = nullptr;
    std::function<void()> onClick;

private:
    // Animates one progress field of the tag to a value; a tag dropped
    // mid-animation is no longer written.
    void Animate(int& id, double KelmGroupTag::*field, double to, double seconds, double x1, double y1, double x2,
                 double y2);
    void Stop(int& id);
    void PaintAnimatedText(ID2D1RenderTarget* target, float x, float y, float width, float height, COLORREF colour);
    void DrawLabel(ID2D1RenderTarget* target, const std::wstring& text, float x, float y, float width, float height,
                   COLORREF colour, float alpha);

    std::weak_ptr<KelmGroupTag> self_;
    bool armed_ = false;
};

} // namespace TessikDesktopContainer
