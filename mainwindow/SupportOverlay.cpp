#include "mainwindow/SupportOverlay.h"

#include <memory>

#include "app/AppMainWindow.h"
#include "mainwindow/MainWindowLayout.h"
#include "mainwindow/MainWindowState.h"
#include "mainwindow/WebPages.h"
#include "ui/controls/KelmBarrier.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/core/D2DBrevinPanel.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace
{

constexpr COLORREF kHeartColour = RGB(0xFF, 0x52, 0x52);
constexpr COLORREF kSponsorColour = RGB(0x8B, 0x63, 0xDD);
constexpr COLORREF kLightText = RGB(0xF4, 0xF4, 0xF4);

// Starts an animation of one overlay value, replacing the one still running
// on it: a reopening during the close must not be closed again by the
// close's completion.
void AnimateOverlayValue(int& id, float& value, float to, double seconds, const double (&ease)[4],
                         std::function<void()> done)
{
    KelmWindow& window = *s_mainWindow;
    if (!window.GetHwnd()) {
        value = to;
        if (done)
            done();
        return;
    }
    if (id >= 0)
        window.StopAnimation(id);
    id = window.AnimateVariableWithBezier<float>(value, value, to, seconds, ease[0], ease[1], ease[2], ease[3],
                                                 std::move(done));
    window.StartAnimationTimer();
}

} // namespace

void OpenSupportOverlay()
{
    static constexpr double kBlurEase[4] = {0.17, 0.67, 0.57, 1.0};
    static constexpr double kSlideEase[4] = {0.18, 0.7, 0.74, 0.99};
    MainWindowState& state = s_mainWindowState;
    HoverAnimationCount = 0;
    state.overlayOpen = true;
    state.blurAmount = 0.0f;
    state.sidePage = L"Tessik_like";
    AnimateOverlayValue(state.blurAnimation, state.blurAmount, 100.0f, 0.5, kBlurEase,
                        [] { s_mainWindowState.blurAnimation = -1; });
    AnimateOverlayValue(state.slideAnimation, state.slideAmount, 100.0f, 0.55, kSlideEase,
                        [] { s_mainWindowState.slideAnimation = -1; });
}

void CloseSupportOverlay()
{
    static constexpr double kEase[4] = {0.85, 0.08, 0.99, 0.74};
    MainWindowState& state = s_mainWindowState;
    AnimateOverlayValue(state.blurAnimation, state.blurAmount, 0.0f, 0.5, kEase, [] {
        s_mainWindowState.blurAnimation = -1;
        s_mainWindowState.overlayOpen = false;
        s_mainWindowState.sidePage = L"Test";
    });
    AnimateOverlayValue(state.slideAnimation, state.slideAmount, 0.0f, 0.5, kEase, [] {
        s_mainWindowState.slideAnimation = -1;
        s_mainWindowState.overlayOpen = false;
        HoverAnimationCount = 0;
    });
}

void DrawOverlayBackdrop(HWND window, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, float w, float h,
                         float blurAmount)
{
    static auto barrier = std::make_shared<KelmBarrier>();
    RECT client{};
    GetClientRect(window, &client);
    DownsampleBlurLight(target, 0, 0, static_cast<float>(client.right), static_cast<float>(client.bottom),
                        blurAmount / 10.0f);
    barrier->Set(0, 20, static_cast<int>(w), static_cast<int>(h), [] {});
    panel.AddControl(barrier);
}

void DrawSupportSheet(HWND window, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, float w, float h)
{
    static auto back = std::make_shared<KelmFAIcon>();
    const auto sheet = MainWindowLayout::SupportSheet(w, h, s_mainWindowState.slideAmount);
    const COLORREF text = ThemeTextColor.Ref();
    const COLORREF control = ThemeShade30.Ref();
    DrawSoftShadow(target, sheet.x, sheet.y, sheet.w, sheet.h, 16, 0, -3, 30, 10, 0, 0.01f, text);
    DrawRoundRect(target, sheet.x, sheet.y, sheet.w, sheet.h, ThemeAccent.Ref(), 16, 1.0f, 1.0f, control, 0.0f);
    DrawTextSemibold(target, sheet.x + 65, sheet.y + 20, 200, 30, L"支持 Tessik", 18, text, L"Segoe UI", 1.0f, false);
    FillSolidRect(target, sheet.x, sheet.y + 60, sheet.w, 1, control, 1.0f);
    WithRoundRectClip(target, sheet.x, sheet.y + 61, sheet.w, sheet.h - 61, window, 12,
                      [&panel](HWND hwnd, ID2D1HwndRenderTarget* rt, int x, int y, int cw, int ch) {
                          ShowSupportPage(hwnd, rt, panel, x, y, cw, ch);
                      });
    back->Set(static_cast<int>(sheet.x + 25), static_cast<int>(sheet.y + 25), L"test-left", 22, text,
              CloseSupportOverlay);
    panel.AddControl(back);
}

void ShowSupportPage(HWND, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, int x, int y, int w, int h)
{
    static auto sponsor = std::make_shared<KelmButton>();
    const COLORREF grid = ContrastShiftColor(ThemeShade30.Ref(), 20);
    for (int i = 0; 40 * i < w; ++i)
        FillSolidRect(target, static_cast<float>(x + 40 * i), static_cast<float>(y), 1, static_cast<float>(h), grid,
                      1.0f);
    for (int i = 0; 40 * i < h; ++i)
        FillSolidRect(target, static_cast<float>(x), static_cast<float>(y + 40 * i), static_cast<float>(w), 1, grid,
                      1.0f);

    const float cx = static_cast<float>(x) + static_cast<float>(w) / 2;
    const float cy = static_cast<float>(y) + static_cast<float>(h) / 2.5f;
    // Ten copies, the lower ones fainter: a soft trail under the heart.
    for (int i = 0; i < 10; ++i) {
        const float alpha = i == 9 ? 1.0f : 0.05f * static_cast<float>(i) + 0.02f;
        DrawIconText(target, cx - 60, cy - 120 + 2.0f * static_cast<float>(10 - i), 120, 120, L":\u2764:", 100,
                     kHeartColour, L"Segoe UI", alpha, true);
    }
    const COLORREF text = ThemeTextColor.Ref();
    DrawTextSemibold(target, cx - 150, cy + 20, 300, 30, L"帮助我们打造更加出色的 Tessik", 24, text, L"Segoe UI", 0.7f,
                     true);
    sponsor->Set(static_cast<int>(cx - 75), static_cast<int>(cy + 120), 150, 40, L"为 Tessik 充电", OpenSponsorPage,
                 kSponsorColour, 14, kLightText);
    panel.AddControl(sponsor);
    DrawIconText(target, cx - 180, cy + 180, 360, 60,
                 L"感谢您为创作的旅途点亮的一盏盏的灯火 (★ ω ★)\nTessik "
                 L"是由每一位小伙伴们支持的项目。\n希望带给小伙伴们更多的灵感与快乐！",
                 12, ContrastShiftColor(text, 50), L"Segoe UI", 1.0f, true);
}
