#include "ui/controls/PalettePopup.h"

#include <algorithm>

#include "ui/controls/KelmButton.h"
#include "ui/controls/PopupModalLoop.h"
#include "ui/controls/PopupPlacement.h"
#include "ui/controls/PopupWindow.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"
#include "ui/core/WindowEffects.h"

std::vector<PaletteColorEntry> s_paletteExtraColors;

namespace
{

constexpr COLORREF kNothingLive = 0xFFFFFF;
constexpr UINT kHoverRepaintMs = 16;
constexpr float kSwatchFontSize = 12.0f;

} // namespace

PalettePopup::PalettePopup(Kind kind) : kind_(kind), window_(std::make_shared<KelmWindow>()) {}

HWND PalettePopup::Hwnd() const
{
    return window_->GetHwnd();
}

RECT PalettePopup::OwnerRect(HWND owner)
{
    RECT r{};
    if (owner && IsWindow(owner) && GetWindowRect(owner, &r))
        return r;
    POINT cursor{};
    GetCursorPos(&cursor);
    return {cursor.x, cursor.y, cursor.x, cursor.y};
}

RECT PalettePopup::IntoWorkArea(const RECT& wished)
{
    const int w = wished.right - wished.left, h = wished.bottom - wished.top;
    const RECT work = PopupWindow::WorkArea(MonitorFromPoint(POINT{wished.left, wished.top}, MONITOR_DEFAULTTONEAREST));
    const POINT at = PopupPlacement::ClampIntoAreaTopLeftWins(wished.left, wished.top, w, h, work);
    return {at.x, at.y, at.x + w, at.y + h};
}

void PalettePopup::TakeExtras()
{
    if (!open_)
        extras_ = s_paletteExtraColors;
}

void PalettePopup::Show(const RECT& rect, DrawBelow drawBelow, std::function<void()> onDestroy)
{
    *kind_.live = kNothingLive;
    if (open_) {
        // The open popup answers its own caller; this one gets nothing.
        *kind_.dismissed = 1;
        return;
    }
    *kind_.dismissed = 0;
    TakeExtras();
    swatches_.clear();
    for (size_t i = 0; i < PaletteLayout::kFixedSwatches.size() + extras_.size(); ++i)
        swatches_.push_back(std::make_shared<KelmButton>());
    drawBelow_ = std::move(drawBelow);
    onDestroy_ = std::move(onDestroy);
    closedByChoice_ = false;

    KelmWindow& window = *window_;
    PopupWindow::Configure(window, rect, kind_.className, kind_.title, true);
    window.SetDrawCallback([this](HWND hwnd, ID2D1HwndRenderTarget* rt) { Draw(hwnd, rt); });
    window.SetDeactivateCallback([this] { OnDeactivate(); });
    PopupModalLoop::HookDestroy(window, [this] {
        open_ = false;
        for (const auto& swatch : swatches_)
            swatch->ResetAnimation();
        if (onDestroy_)
            onDestroy_();
    });

    open_ = true;
    if (window.Create() != 1) {
        open_ = false;
        *kind_.dismissed = 1;
        return;
    }
    const HWND hwnd = window.GetHwnd();
    // Without the foreground a click elsewhere would never deactivate the
    // popup and so never close it.
    SetForegroundWindow(hwnd);
    SetTimer(hwnd, kHoverRepaintTimerId, kHoverRepaintMs, nullptr);
    AnimateWindowZoomIn(hwnd);
    // The zoom lets messages run: the popup may already be gone.
    if (!open_)
        return;
    PopupWindow::AddMenuShadow(hwnd);
    const auto dialogKeys = [hwnd](const MSG& msg) {
        MSG copy = msg;
        return IsDialogMessageW(hwnd, &copy) != FALSE;
    };
    if (PopupModalLoop::Run(hwnd, open_, false, dialogKeys) != PopupModalLoop::End::Closed && open_) {
        // The program is quitting: nothing was chosen.
        closedByChoice_ = true;
        *kind_.dismissed = 1;
        PopupWindow::StopHover(hwnd, swatches_);
        DestroyWindow(hwnd);
    }
}

bool PalettePopup::BeginChoice()
{
    if (!open_ || closedByChoice_)
        return false;
    closedByChoice_ = true;
    return true;
}

void PalettePopup::FinishRowChoice()
{
    *kind_.dismissed = 0;
    const HWND hwnd = Hwnd();
    PopupWindow::StopHover(hwnd, swatches_);
    if (IsWindow(hwnd))
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
}

void PalettePopup::ChooseSwatch(COLORREF colour)
{
    if (!BeginChoice())
        return;
    *kind_.live = colour;
    *kind_.chosen = colour;
    *kind_.dismissed = 0;
    const HWND hwnd = Hwnd();
    PopupWindow::StopHover(hwnd, swatches_);
    DestroyWindow(hwnd);
}

void PalettePopup::OnDeactivate()
{
    // The destruction after a choice deactivates the popup as well: that
    // is no dismissal, and the choice must stand.
    if (closedByChoice_)
        return;
    *kind_.dismissed = 1;
    PopupWindow::StopHover(Hwnd(), swatches_);
}

void PalettePopup::Draw(HWND hwnd, ID2D1HwndRenderTarget* rt)
{
    RECT rc{};
    GetClientRect(hwnd, &rc);
    const float d = static_cast<float>(DpiScale);
    const float W = rc.right / d, H = rc.bottom / d;
    // 0.8 at rest; smaller while the zoom-in grows the window.
    const float s = W / 300.0f;
    const COLORREF surface = ThemeAccent.Ref(), text = ThemeTextColor.Ref();

    Brevin::D2DBrevinPanel* panel = window_->GetPanel();
    panel->Init(hwnd, rt);
    FillSolidRect(rt, 0, 0, W, H, surface, 1.0f);
    DrawTextSemibold(rt, 20, kind_.titleY, W - 40, 30, L"调色板", kind_.titleSize * s, text, L"Segoe UI", 1.0f, false);

    const std::vector<PaletteLayout::Swatch> swatches = PaletteLayout::Swatches(extras_, s, kind_.swatchTop);
    const int ring = std::max(static_cast<int>(2 * s), 1);
    for (size_t i = 0; i < swatches.size() && i < swatches_.size(); ++i) {
        const PaletteLayout::Swatch& box = swatches[i];
        if (box.colour == *kind_.live)
            DrawRoundRect(rt, static_cast<float>(box.x - ring), static_cast<float>(box.y - ring),
                          static_cast<float>(box.w + 2 * ring), static_cast<float>(box.h + 2 * ring),
                          PaletteLayout::RingColour(box.colour), 30, 1.0f);
        KelmButton& button = *swatches_[i];
        const COLORREF colour = box.colour;
        button.Set(
            box.x, box.y, box.w, box.h, box.label.c_str(), [this, colour] { ChooseSwatch(colour); }, colour,
            static_cast<int>(kSwatchFontSize), text);
        button.cornerRadius = box.label.size() < 2 ? 30.0f : 18.0f * s;
        panel->AddControl(swatches_[i]);
    }
    if (drawBelow_)
        drawBelow_(hwnd, rt, panel, W);
}
