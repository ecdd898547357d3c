// The settings page ("Tab4"): a scrolling column of sections whose
// controls write keys of "TessikRef" in "Tessik.kelm" and save at once.
// UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <string>

struct LogRemoval;
namespace Brevin
{
class D2DBrevinPanel;
}

// Draws the page and adds its controls; w and h are the client size in
// DIPs.
void DrawSettingsPage(HWND window, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, int tabWidth, float w,
                      float h);

namespace SettingsLayout
{

constexpr float kContentHeight = 1900.0f;
// The scrolled content shows, and takes the pointer, only below the
// caption row: scrolled up, it passes under the caption, never beside its
// glyphs.
constexpr float kContentTop = 40.0f;
// How far the page scrolls in a client of height h.
float MaxScroll(float h);
struct ScrollBar {
    bool shown = false;
    float y = 0;
    float height = 0;
};
ScrollBar ScrollBarAt(float h, float position);

} // namespace SettingsLayout

// The shown texts of the option rows for stored values; values outside
// the choices show the row's last text.
const wchar_t* LogModeText(int mode);
const wchar_t* GroupAlgorithmText(int algorithm);
const wchar_t* CompatLayerModeText(int mode);
const wchar_t* CompatLayerBlurText(int level);

// The line "默认收纳文件夹： " with the stored folder as the user knows it
// (single separators), or "未设置".
std::wstring ContainerDirLine(const std::wstring& stored);

// "清除日志"'s message for what the removal did.
std::wstring ClearLogsMessage(const LogRemoval& removal);
