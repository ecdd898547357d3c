#include "ui/core/WindowEffects.h"

#include "ui/core/Easing.h"

uint8_t s_effectAlpha = 255;

namespace
{

constexpr int kSteps = 10;

constexpr uint8_t kDropInAlpha[kSteps] = {0, 60, 90, 140, 190, 225, 235, 245, 250, 255};
constexpr int kDropInOffset[kSteps] = {-130, -50, -32, -20, -18, -10, -6, -4, -2, 0};
constexpr uint8_t kFadeOutAlpha[kSteps] = {240, 210, 150, 130, 110, 90, 60, 40, 20, 15};
constexpr int kFadeOutOffset[kSteps] = {0, -2, -6, -10, -15, -25, -36, -48, -69, -91};
constexpr uint8_t kZoomInAlpha[kSteps] = {10, 30, 40, 60, 90, 150, 200, 230, 245, 255};
constexpr double kZoomInFactor[kSteps] = {0.1, 0.4, 0.6, 0.8, 0.85, 0.92, 0.95, 0.97, 0.99, 1.0};

void MakeLayered(HWND window)
{
    const LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (!(ex & WS_EX_LAYERED))
        SetWindowLongPtrW(window, GWL_EXSTYLE, ex | WS_EX_LAYERED);
}

// Drop-in and fade-out: opacity and a vertical offset from the starting
// top per step. Stops early when a handler destroyed the window.
void SlideAndFade(HWND window, const uint8_t (&alpha)[kSteps], const int (&offset)[kSteps], UINT waitMs)
{
    RECT start{};
    if (!GetWindowRect(window, &start))
        return;
    for (int i = 0; i < kSteps; ++i) {
        MakeLayered(window);
        s_effectAlpha = alpha[i];
        SetLayeredWindowAttributes(window, 0, alpha[i], LWA_ALPHA);
        SetWindowPos(window, nullptr, start.left, start.top + offset[i], 0, 0, SWP_NOSIZE);
        if (i + 1 < kSteps)
            WaitWithMessages(waitMs);
        if (!IsWindow(window))
            return;
    }
}

} // namespace

SIZE ZoomInStepSize(int w, int h, int step)
{
    const double f = kZoomInFactor[step < 0 ? 0 : step >= kSteps ? kSteps - 1 : step];
    return {static_cast<LONG>(f * (w - 10)) + 10, static_cast<LONG>(f * (h - 10)) + 10};
}

void AnimateWindowDropIn(HWND window)
{
    SlideAndFade(window, kDropInAlpha, kDropInOffset, 15);
}

void AnimateWindowFadeOut(HWND window)
{
    SlideAndFade(window, kFadeOutAlpha, kFadeOutOffset, 10);
}

void AnimateWindowZoomIn(HWND window)
{
    RECT start{};
    if (!GetWindowRect(window, &start))
        return;
    const int w = start.right - start.left, h = start.bottom - start.top;
    MakeLayered(window);
    for (int i = 0; i < kSteps; ++i) {
        const SIZE size = ZoomInStepSize(w, h, i);
        SetLayeredWindowAttributes(window, 0, kZoomInAlpha[i], LWA_ALPHA);
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        if (i + 1 < kSteps)
            WaitWithMessages(10);
        if (!IsWindow(window))
            return;
    }
}

void CenterWindowOnScreen(HWND window)
{
    RECT rc{};
    if (!GetWindowRect(window, &rc))
        return;
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0,
                 0, SWP_NOSIZE | SWP_NOZORDER);
}
