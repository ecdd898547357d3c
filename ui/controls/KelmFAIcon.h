// A clickable icon-font glyph named by a short glyph name: it shifts its
// colour on hover, shrinks on press, and "win-fold-test" is a
// press-and-hold button with a second callback. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmWindow;

class KelmFAIcon : public Brevin::BrevinControl
{
public:
    KelmFAIcon() = default;
    ~KelmFAIcon() override;
    KelmFAIcon(const KelmFAIcon&) = delete;
    KelmFAIcon& operator=(const KelmFAIcon&) = delete;

    // The icon is size x size at (x, y).
    void Set(int x, int y, const wchar_t* name, int size, COLORREF colour, std::function<void()> onClick);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    Brevin::kelmRect GetRect() override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void OnMouseUp();
    void OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmFAIcon> self);

    // The hover factor 0..0.5 of a hover value 0..10 (ease-out cubic).
    static float HoverFactor(float hoverValue);
    // The glyph colour at a hover value: dark colours lighten by up to 10
    // per channel, light ones darken by up to 20.
    static COLORREF HoverColour(COLORREF colour, float hoverValue);

    std::wstring name;
    COLORREF colour = 0;
    int iconX = 0, iconY = 0, iconW = 0, iconH = 0;
    HWND window = nullptr;
    float size = 15.0f;
    std::function<void()> onClick;
    float hoverValue = 0.0f;
    bool hoverState = false;
    int hoverAnimation = -1;
    float pressScale = 1.0f;
    int pressAnimation = -1;
    bool pressState = false;
    // Run on release after a full hold of "win-fold-test".
    std::function<void()> onHold;
    bool holding = false;
    float holdProgress = 0.0f;
    float holdScale = 1.0f;
    float holdOffset = 0.0f;
    int progressAnimation = -1, holdScaleAnimation = -1, holdOffsetAnimation = -1;

private:
    bool IsHoldButton() const { return name == L"win-fold-test"; }
    KelmWindow* Host() const;
    // Starts an animation of one field after stopping the one it replaces;
    // the steps reach the icon through a weak pointer, so an icon dropped
    // by its builder mid-animation is simply no longer written.
    void Animate(int& id, float KelmFAIcon::*field, float from, float to, double seconds, bool eased,
                 std::function<void()> done = {});
    void Stop(int& id);
    void OnHoldComplete();
    void ReleaseHold();
    void Repaint();

    std::weak_ptr<KelmFAIcon> self_;
};
