// Cost of the frame controls: a paint of 50 animated buttons, and the drop
// shadow's drawing for a 400 x 300 popup. With "demo" as argument it shows
// buttons in their three states, a caption bar, glyph icons, a size frame
// and popups with drop shadows for a screenshot instead.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/common/WindowTestSupport.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmCompatibleButton.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/controls/KelmSizeFrame.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/DropShadow.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

using Brevin::Window::OuterShadow::DropShadow;
using Brevin::Window::OuterShadow::RowSpan;

namespace
{

double Seconds()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

std::shared_ptr<KelmWindow> MakeWindow(int x, int y, int w, int h, const wchar_t* cls)
{
    auto window = std::make_shared<KelmWindow>();
    window->Set(x, y, w, h, cls, L"controls");
    window->style = WS_POPUP | WS_VISIBLE;
    return window;
}

void Demo(DWORD ms)
{
    // A white sheet behind everything, so the shadows have something to fall on.
    auto sheet = MakeWindow(0, 0, 1000, 700, L"Kelm.Bench.Sheet");
    sheet->SetDrawCallback([](HWND, ID2D1HwndRenderTarget* rt) { rt->Clear(D2D1::ColorF(0.97f, 0.97f, 0.97f, 1)); });
    sheet->Create();

    auto caption = std::make_shared<KelmCaptionBar>();
    caption->Set(0, 0, 560, 44, L"盒子设置 - 标题栏", RGB(255, 255, 255), 18, RGB(30, 30, 30), -1, 0, nullptr);
    auto idle = std::make_shared<KelmButton>();
    idle->Set(
        30, 70, 120, 40, L"确定", [] {}, ThemeAccent.Ref(), 15, RGB(255, 255, 255));
    auto hover = std::make_shared<KelmButton>();
    hover->Set(
        180, 70, 120, 40, L"悬停", [] {}, ThemeAccent.Ref(), 15, RGB(255, 255, 255));
    hover->hovered = true;
    auto press = std::make_shared<KelmButton>();
    press->Set(
        330, 70, 120, 40, L"按下", [] {}, ThemeAccent.Ref(), 15, RGB(255, 255, 255));
    press->pressed = true;
    auto flat = std::make_shared<KelmCompatibleButton>();
    flat->Set(
        30, 130, 0, 0, L"兼容按钮", [] {}, RGB(235, 235, 235), 15.0f, RGB(30, 30, 30));
    std::vector<std::shared_ptr<KelmFAIcon>> icons;
    const wchar_t* names[] = {L"win-close", L"win-max", L"win-min", L"test-pin", L"win-fold-test", L"test-right"};
    for (int i = 0; i < 6; ++i) {
        auto icon = std::make_shared<KelmFAIcon>();
        icon->Set(470 - i * 30, 12, names[i], 18, RGB(40, 40, 40), [] {});
        icons.push_back(icon);
    }
    auto frame = std::make_shared<KelmSizeFrame>();
    frame->frameX = 180;
    frame->frameY = 140;
    frame->frameW = 140;
    frame->frameH = 80;
    frame->borderColour = RGB(0, 90, 180);

    auto main = MakeWindow(60, 60, 560, 260, L"Kelm.Bench.Controls");
    main->SetDrawCallback([&](HWND hwnd, ID2D1HwndRenderTarget* rt) {
        rt->Clear(D2D1::ColorF(1, 1, 1, 1));
        auto* panel = main->GetPanel();
        panel->Init(hwnd, rt);
        panel->AddControl(caption);
        for (auto& icon : icons)
            panel->AddControl(icon);
        panel->AddControl(idle);
        panel->AddControl(hover);
        panel->AddControl(press);
        panel->AddControl(flat);
        panel->AddControl(frame);
    });
    main->Create();
    main->StartHoverRepaintTimer();

    // A popup with the popup shadow, and one with a large soft shadow.
    auto popup = MakeWindow(660, 80, 260, 160, L"Kelm.Bench.Popup");
    popup->SetDrawCallback([](HWND, ID2D1HwndRenderTarget* rt) {
        rt->Clear(D2D1::ColorF(1, 1, 1, 1));
        DrawTextInRect(rt, 20, 20, 220, 30, L"弹出窗口（菜单阴影）", 15, RGB(30, 30, 30), L"Segoe UI", 1.0f, false);
    });
    popup->Create();
    auto popupShadow = std::make_shared<DropShadow>();
    popupShadow->SetDarkness(80);
    popupShadow->SetSharpness(5);
    popupShadow->SetSize(0);
    popupShadow->SetPosition(0, 3);
    popupShadow->Create(popup->hwnd);

    auto soft = MakeWindow(660, 340, 260, 160, L"Kelm.Bench.Soft");
    soft->SetDrawCallback([](HWND, ID2D1HwndRenderTarget* rt) {
        rt->Clear(D2D1::ColorF(1, 1, 1, 1));
        DrawTextInRect(rt, 20, 20, 220, 30, L"默认阴影", 15, RGB(30, 30, 30), L"Segoe UI", 1.0f, false);
    });
    soft->Create();
    auto softShadow = std::make_shared<DropShadow>();
    softShadow->SetSize(12);
    softShadow->SetSharpness(16);
    softShadow->Create(soft->hwnd);
    PumpMessages(ms);
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    OleInitialize(nullptr);
    CreateGraphicsFactories();
    const std::wstring font = WriteIconFontToTemp(L"tessik_bench_controls_fa.ttf");
    if (!font.empty())
        RegisterIconFont(font);
    ThemeBaseColor = {0, 120, 215};
    UpdateThemeColors();
    if (argc > 1 && std::wstring(argv[1]) == L"demo") {
        Demo(static_cast<DWORD>(argc > 2 ? _wtoi(argv[2]) : 8000));
        return 0;
    }

    std::vector<std::shared_ptr<KelmButton>> buttons;
    for (int i = 0; i < 50; ++i) {
        auto b = std::make_shared<KelmButton>();
        b->Set(
            10 + (i % 10) * 60, 10 + (i / 10) * 40, 55, 32, L"按钮", [] {}, RGB(0, 120, 215), 13, RGB(255, 255, 255));
        b->hovered = i % 2 == 0;
        buttons.push_back(b);
    }
    auto window = MakeWindow(40, 40, 640, 240, L"Kelm.Bench.Buttons");
    window->SetDrawCallback([&](HWND hwnd, ID2D1HwndRenderTarget* rt) {
        rt->Clear(D2D1::ColorF(1, 1, 1, 1));
        window->GetPanel()->Init(hwnd, rt);
        for (auto& b : buttons)
            window->GetPanel()->AddControl(b);
    });
    window->Create();
    PumpMessages(200);
    const int frames = 100;
    double t0 = Seconds();
    for (int i = 0; i < frames; ++i)
        RedrawWindow(window->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    std::printf("paint of 50 buttons: %.3f ms per frame\n", (Seconds() - t0) * 1000.0 / frames);

    const std::vector<RowSpan> rows(300, RowSpan{0, 399});
    Brevin::Window::OuterShadow::ShadowParams params;
    t0 = Seconds();
    for (int i = 0; i < 20; ++i)
        DropShadow::RenderShadow(rows, 400, 300, params);
    std::printf("shadow of a 400 x 300 popup (size 50): %.3f ms\n", (Seconds() - t0) * 1000.0 / 20);
    params.size = 0;
    params.offsetY = 3;
    t0 = Seconds();
    for (int i = 0; i < 20; ++i)
        DropShadow::RenderShadow(rows, 400, 300, params);
    std::printf("shadow of a 400 x 300 popup (menu settings): %.3f ms\n", (Seconds() - t0) * 1000.0 / 20);
    return 0;
}
