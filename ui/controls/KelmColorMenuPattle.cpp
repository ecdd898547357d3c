#include "ui/controls/KelmColorMenuPattle.h"

#include <memory>

#include "ui/controls/KelmMenu.h"
#include "ui/controls/KelmOptionCtl.h"
#include "ui/core/D2DBrevinPanel.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

COLORREF s_colorMenuLiveColor = 0xFFFFFF;
COLORREF s_colorMenuChosenColor = 0;
uint8_t s_colorMenuDismissed = 0;

namespace KelmColorMenuPattle
{

namespace
{

constexpr int kRowPitch = 40;
constexpr int kRowHeight = 35;
constexpr int kRowLeft = 10;

PalettePopup& TheMenu()
{
    static PalettePopup menu({L"Kelm.concept.ColorMenuPattle.Class", L"Kelm.Test.concept.ColorMenu", 10.0f, 16.0f,
                              PaletteLayout::kMenuSwatchTop, &s_colorMenuLiveColor, &s_colorMenuChosenColor,
                              &s_colorMenuDismissed});
    return menu;
}

// The options of the showing and their rows: one per plain row and one per
// side-by-side item, in display order; rebuilt at every call.
struct Rows {
    std::vector<Brevin::KelmOption> options;
    std::vector<std::shared_ptr<KelmOptionCtl>> controls;
};

Rows& TheRows()
{
    static Rows rows;
    return rows;
}

std::function<void()> ChooseRow(std::function<void()> onClick)
{
    return [onClick = std::move(onClick)] {
        PalettePopup& menu = TheMenu();
        if (!menu.BeginChoice())
            return;
        // A copy: the action may open another popup that rebuilds the rows.
        auto action = onClick;
        if (action)
            action();
        menu.FinishRowChoice();
    };
}

void DrawRows(HWND, ID2D1HwndRenderTarget* rt, Brevin::D2DBrevinPanel* panel, float clientW, int paletteHeight)
{
    Rows& rows = TheRows();
    const COLORREF surface = ThemeAccent.Ref(), raised = ThemeShade30.Ref(), text = ThemeTextColor.Ref();
    FillSolidRect(rt, 15, static_cast<float>(paletteHeight - 32), clientW - 30, 1, raised, 1.0f);

    const int rowW = static_cast<int>(clientW - 20);
    int y = paletteHeight - 20;
    size_t k = 0;
    for (const Brevin::KelmOption& option : rows.options) {
        if (option.sideList.empty()) {
            if (k < rows.controls.size()) {
                rows.controls[k]->Set(kRowLeft, y, rowW, kRowHeight, option.text.c_str(), ChooseRow(option.onClick),
                                      surface, 14.0f, option.state, text);
                panel->AddControl(rows.controls[k]);
                ++k;
            }
        } else {
            DrawRoundRect(rt, 4, static_cast<float>(y), static_cast<float>(rowW + 12), kRowHeight,
                          ContrastShiftColor(surface, 10), 6, 1.0f);
            const auto items = KelmMenu::SideItemLayout(rowW, y, static_cast<int>(option.sideList.size()));
            for (size_t j = 0; j < items.size() && k < rows.controls.size(); ++j, ++k) {
                const Brevin::KelmOption& item = option.sideList[j];
                rows.controls[k]->Set(items[j].x, items[j].y, items[j].w, items[j].h, item.text.c_str(),
                                      ChooseRow(item.onClick), surface, 12.0f, item.state, text);
                panel->AddControl(rows.controls[k]);
            }
        }
        y += kRowPitch;
    }
}

// Runs while the window still exists: the rows' tooltip delays and label
// changes belong to it and can only be stopped now.
void StopRows()
{
    for (const auto& control : TheRows().controls)
        control->StopAnimations();
}

} // namespace

void KelmCreateWindow(HWND owner, std::vector<Brevin::KelmOption> options, int, int, int top)
{
    PalettePopup& menu = TheMenu();
    if (menu.IsOpen()) {
        // The open menu keeps its rows; this caller is told "dismissed".
        menu.Show(RECT{}, {}, {});
        return;
    }
    menu.TakeExtras();
    const int extraRows = PaletteLayout::ExtraRows(menu.Extras());
    const int paletteHeight = PaletteLayout::MenuPaletteHeight(extraRows);

    Rows& rows = TheRows();
    rows.options = std::move(options);
    rows.controls.clear();
    for (const Brevin::KelmOption& option : rows.options) {
        const size_t count = option.sideList.empty() ? 1 : option.sideList.size();
        for (size_t i = 0; i < count; ++i)
            rows.controls.push_back(std::make_shared<KelmOptionCtl>());
    }

    const RECT wished = PaletteLayout::ColorMenuRect(PalettePopup::OwnerRect(owner), DpiScale, extraRows,
                                                     static_cast<int>(rows.options.size()), top);
    menu.Show(
        PalettePopup::IntoWorkArea(wished),
        [paletteHeight](HWND hwnd, ID2D1HwndRenderTarget* rt, Brevin::D2DBrevinPanel* panel, float clientW) {
            DrawRows(hwnd, rt, panel, clientW, paletteHeight);
        },
        &StopRows);
}

} // namespace KelmColorMenuPattle
