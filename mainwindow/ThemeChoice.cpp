#include "mainwindow/ThemeChoice.h"

#include "app/AppMainWindow.h"
#include "app/CommonHelpers.h"
#include "app/HotKeySettings.h"
#include "app/KelmStorage.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmHSLGroup.h"
#include "ui/controls/KelmMenu.h"
#include "ui/core/D2DBrevinPanel.h"
#include "ui/core/D2DResources.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace
{

constexpr COLORREF kDarkLabel = RGB(0x14, 0x14, 0x14);
constexpr COLORREF kLightLabel = RGB(0xF4, 0xF4, 0xF4);
constexpr int kMenuWidth = 140;

void SetBaseColour(COLORREF colour)
{
    ThemeBaseColor = ThemeRgb{GetRValue(colour), GetGValue(colour), GetBValue(colour)};
    UpdateThemeColors();
    s_appStore[L"TessikRef"][L"themeBaseColor"] = ColorToHex(colour);
    SaveSettingsStore(s_appStore, L"主题已更改，但设置无法保存，下次启动时将恢复原来的主题。");
}

} // namespace

// "Milk Tea" and "Rosy" apply a base colour other than their card's fill.
const ThemeCard kThemeCards[kThemeCardCount] = {
    {L"Light", 0, 0, RGB(0xFF, 0xFF, 0xFF), kDarkLabel, RGB(255, 255, 255)},
    {L"Dark", 1, 0, RGB(0x0A, 0x0A, 0x0A), kLightLabel, RGB(10, 10, 10)},
    {L"Milk Tea", 2, 0, RGB(0xFB, 0xF2, 0xD6), kDarkLabel, RGB(240, 231, 204)},
    {L"Mint", 3, 0, RGB(0xF1, 0xFF, 0xF0), kDarkLabel, RGB(241, 255, 240)},
    {L"Matcha", 0, 1, RGB(0xCD, 0xD4, 0xB1), kDarkLabel, RGB(205, 212, 177)},
    {L"Nord", 1, 1, RGB(0xCA, 0xDA, 0xE5), kDarkLabel, RGB(202, 218, 229)},
    {L"Rosy", 2, 1, RGB(0xF8, 0xC2, 0xB6), kDarkLabel, RGB(255, 214, 202)},
    {L"Taro Paste", 3, 1, RGB(0xEC, 0xE7, 0xFD), kDarkLabel, RGB(236, 231, 253)},
};

std::shared_ptr<KelmHSLGroup> s_customThemePicker = std::make_shared<KelmHSLGroup>();

void ApplyThemeSwatch(const ThemeCard& card)
{
    SetBaseColour(card.base);
    // Every framework window (boxes, quick panel) takes the new palette at
    // its next paint; asking for that paint now shows the theme at once.
    for (const auto& [window, owner] : WindowMap)
        InvalidateWindow(window);
}

void AddThemeCards(Brevin::D2DBrevinPanel& panel, int tabWidth, float scrollOffset)
{
    static std::shared_ptr<KelmButton> buttons[kThemeCardCount];
    for (int i = 0; i < kThemeCardCount; ++i) {
        const ThemeCard& card = kThemeCards[i];
        if (!buttons[i])
            buttons[i] = std::make_shared<KelmButton>();
        const int x = tabWidth + 40 + 120 * card.column;
        const int y = static_cast<int>((card.row == 0 ? 152 : 252) - scrollOffset);
        buttons[i]->Set(
            x, y, 100, 80, card.label, [&card] { ApplyThemeSwatch(card); }, card.fill, 12, card.labelColour);
        panel.AddControl(buttons[i]);
    }
}

void AddCustomThemeControls(Brevin::D2DBrevinPanel& panel, int tabWidth, float scrollOffset)
{
    static auto testButton = std::make_shared<KelmButton>();
    s_customThemePicker->Set(
        tabWidth + 400, static_cast<int>(1392 - scrollOffset), 300, 120, [] {}, 0x282828, 12, ThemeTextColor.Ref());
    panel.AddControl(s_customThemePicker);
    HWND owner = panel.window;
    testButton->Set(
        tabWidth + 400, static_cast<int>(1527 - scrollOffset), 100, 30, L"Test", [owner] { ShowThemeCardMenu(owner); },
        ThemeAccent.Ref(), 12, ThemeTextColor.Ref());
    panel.AddControl(testButton);
}

void ShowThemeCardMenu(HWND owner)
{
    POINT cursor{};
    GetCursorPos(&cursor);
    const std::vector<Brevin::KelmOption> options{
        {L"应用颜色", ApplyCustomThemeColor, 1},
        {L"切换布局", [] {}, 1},
    };
    KelmMenu::Show(owner, cursor.x, cursor.y, options, kMenuWidth, 0);
}

void ApplyCustomThemeColor()
{
    SetBaseColour(s_customThemePicker->colour);
    if (HWND main = s_mainWindow->GetHwnd())
        InvalidateRect(main, nullptr, FALSE);
}
