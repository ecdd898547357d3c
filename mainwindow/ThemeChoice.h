// The eight ready themes of the settings page and the custom theme colour:
// each sets the base colour, derives the palette, stores "themeBaseColor"
// and saves. UI thread only.
#pragma once

#include <windows.h>

#include <memory>

class KelmHSLGroup;
namespace Brevin
{
class D2DBrevinPanel;
}

struct ThemeCard {
    const wchar_t* label;
    int column; // 0..3, 120 apart from TW + 40
    int row;    // 0 at y 152, 1 at y 252
    COLORREF fill;
    COLORREF labelColour;
    COLORREF base; // the base colour applied and stored
};

// The cards in the order they are laid out.
constexpr int kThemeCardCount = 8;
extern const ThemeCard kThemeCards[kThemeCardCount];

// Applies a card's base colour and stores it. No repaint of its own: the
// framework windows are invalidated so they take the palette at their
// next paint.
void ApplyThemeSwatch(const ThemeCard& card);

// Adds the eight cards to the panel; y values are page positions minus the
// settings page's scroll offset.
void AddThemeCards(Brevin::D2DBrevinPanel& panel, int tabWidth, float scrollOffset);

// The custom colour: the picker (kept for the process) and its "Test"
// button opening the menu with "应用颜色" and "切换布局".
extern std::shared_ptr<KelmHSLGroup> s_customThemePicker;
void AddCustomThemeControls(Brevin::D2DBrevinPanel& panel, int tabWidth, float scrollOffset);
void ShowThemeCardMenu(HWND owner);
// Applies the picker's current colour like a card, then repaints the main
// window.
void ApplyCustomThemeColor();
