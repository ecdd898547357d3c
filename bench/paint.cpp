// Paint cost of a framework window: an empty panel against a panel of 1,000
// simple controls, per frame; then an idle period that must paint nothing.
// With "demo" as argument it shows a window of faces, Chinese text and
// icon glyphs for a screenshot instead.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/common/WindowTestSupport.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/GlyphNames.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace
{

class BoxControl : public Brevin::BrevinControl
{
public:
    void AttachCtl(HWND, ID2D1HwndRenderTarget* rt, std::shared_ptr<BoxControl>)
    {
        DrawRoundRect(rt, static_cast<float>(x), static_cast<float>(y), static_cast<float>(w), static_cast<float>(h),
                      color1, 3, 1.0f);
    }
};

void DrawDemo(HWND, ID2D1HwndRenderTarget* rt)
{
    rt->Clear(D2D1::ColorF(0.95f, 0.95f, 0.95f, 1));
    DrawSoftShadow(rt, 30, 30, 300, 180, 12, 0, 2, 10, 5, 0, 0.12f, RGB(0, 0, 0));
    DrawRoundRect(rt, 30, 30, 300, 180, RGB(255, 255, 255), 12, 1.0f, 1.0f, RGB(210, 210, 210), 0, false);
    DrawTextSemibold(rt, 50, 45, 260, 30, L"桌面收纳盒 Tessik", 20, RGB(30, 30, 30), nullptr, 1.0f, false);
    DrawIconText(rt, 50, 85, 260, 30, L":\xF015: 主页   :\xF08D: 固定   :\xF00D: 关闭", 16, RGB(40, 40, 40),
                 L"Segoe UI", 1.0f, false);
    DrawButtonFace(rt, 50, 130, 110, 36, ThemeAccent.Ref(), 8);
    DrawTextInRect(rt, 50, 137, 110, 30, L"确定", 15, ThemeTextColor.Ref(), L"Segoe UI", 1.0f, true);
    DrawButtonFaceBordered(rt, 180, 130, 110, 36, RGB(245, 245, 245), 8, 1.0f, 1.0f);
    DrawTextInRect(rt, 180, 137, 110, 30, L"取消", 15, RGB(30, 30, 30), L"Segoe UI", 1.0f, true);
    DrawKeyCap(rt, 360, 40, 60, 34, RGB(230, 230, 230), 6, L"Ctrl");
    DrawTextGlow(rt, 360, 90, 200, 40, L"发光文字", 20, RGB(255, 255, 255), RGB(0, 120, 215), 0, 0, 3, 0.8f, 1.0f,
                 false);
    DrawIconTextOblique(rt, 360, 140, 200, 40, L":\xF0E2: 刷新", 18, RGB(0, 90, 180), nullptr, 1.0f, false);
    const std::wstring glyphs = GetGlyph(L"win-close") + GetGlyph(L"win-max") + GetGlyph(L"test-pin") +
                                GetGlyph(L"test-plus") + GetGlyph(L"test-more");
    DrawTextInRect(rt, 360, 190, 220, 40, glyphs.c_str(), 24, RGB(200, 60, 60), kIconFontFamily, 1.0f, false);
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const bool demo = argc > 1 && std::wstring(argv[1]) == L"demo";
    OleInitialize(nullptr);
    CreateGraphicsFactories();
    const std::wstring font = WriteIconFontToTemp(L"tessik_bench_fa.ttf");
    if (!font.empty())
        RegisterIconFont(font);
    ThemeBaseColor = {0, 120, 215};
    UpdateThemeColors();

    auto window = std::make_shared<KelmWindow>();
    window->Set(40, 40, 620, 300, L"Kelm.Bench.Paint", L"paint bench");
    window->style = WS_POPUP | WS_VISIBLE;
    if (demo) {
        window->SetDrawCallback(DrawDemo);
        window->Create();
        PumpMessages(static_cast<DWORD>(argc > 2 ? _wtoi(argv[2]) : 8000));
        return 0;
    }

    std::vector<std::shared_ptr<BoxControl>> controls;
    bool full = false;
    int paints = 0;
    for (int i = 0; i < 1000; ++i) {
        auto c = std::make_shared<BoxControl>();
        c->SetRect((i % 50) * 12, (i / 50) * 12, 10, 10);
        c->color1 = RGB(i % 256, 100, 200);
        controls.push_back(c);
    }
    window->SetDrawCallback([&](HWND hwnd, ID2D1HwndRenderTarget* rt) {
        ++paints;
        window->GetPanel()->Init(hwnd, rt);
        rt->Clear(D2D1::ColorF(1, 1, 1, 1));
        if (full)
            for (auto& c : controls)
                window->GetPanel()->AddControl(c);
    });
    window->Create();
    PumpMessages(200);
    const int frames = 60;
    const double empty = FrameMs(window->hwnd, frames);
    full = true;
    const double thousand = FrameMs(window->hwnd, frames);
    std::printf("empty panel:         %.2f ms per frame\n", empty);
    std::printf("1000 controls:       %.2f ms per frame\n", thousand);
    std::printf("ratio:               %.2f (goal <= 2)\n", thousand / empty);

    window->StartHoverRepaintTimer();
    window->StartAnimationTimer();
    PumpMessages(100);
    const int before = paints;
    PumpMessages(2000);
    std::printf("idle paints in 2 s:  %d (goal 0)\n", paints - before);
    DestroyWindow(window->hwnd);
    return 0;
}
