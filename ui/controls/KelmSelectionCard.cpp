#include "ui/controls/KelmSelectionCard.h"

#include <algorithm>
#include <cmath>

#include "ui/controls/HoverSteps.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/HitTest.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace
{

// Opening overshoots a little; folding and closing settle without it.
constexpr double kOpenEase[4] = {0.11, 0.57, 0.65, 1.18};
constexpr double kSettleEase[4] = {0.11, 0.57, 0.65, 1.0};
constexpr double kBounceEase[4] = {0.34, 1.56, 0.64, 1.0};
// Rows with a second text are this tall (times the scale) beyond a plain
// row while folded and unfolded; below this scale they never unfold.
constexpr float kFoldedExtra = 9.0f;
constexpr float kUnfoldedExtra = 20.0f;
constexpr float kUnfoldScale = 1.85f;

int Trunc(double value)
{
    return static_cast<int>(value);
}

bool Contains(const Brevin::kelmPoint& point, const Brevin::kelmRect& rc)
{
    const POINT pt{point.x, point.y};
    return rc.w > 0 && rc.h > 0 && HitTestScaled(&pt, rc.x, rc.y, rc.w, rc.h);
}

} // namespace

KelmSelectionCard::~KelmSelectionCard()
{
    // Frees the hover count and the window's animation list: both would
    // keep the window repainting for a card that is gone.
    StopAnimation(cardAnimation_);
    for (auto& item : items_)
        StopRowAnimations(*item);
}

void KelmSelectionCard::Set(const int* colourRecord, std::function<void()> onDismiss)
{
    if (colourRecord) {
        cardColour_ = static_cast<COLORREF>(colourRecord[0]);
        borderColour_ = static_cast<COLORREF>(colourRecord[1]);
        rowColour_ = static_cast<COLORREF>(colourRecord[2]);
        hoverColour_ = static_cast<COLORREF>(colourRecord[5]);
        colour3_ = static_cast<COLORREF>(colourRecord[7]);
    }
    onDismiss_ = std::move(onDismiss);
}

KelmWindow* KelmSelectionCard::Host() const
{
    auto it = WindowMap.find(window_);
    return it == WindowMap.end() ? nullptr : it->second;
}

void KelmSelectionCard::StopAnimation(int& id)
{
    if (id < 0)
        return;
    if (KelmWindow* host = Host())
        host->StopAnimation(id);
    id = -1;
}

void KelmSelectionCard::StopRowAnimations(SelectionItem& item)
{
    StopAnimation(item.extraAnimation);
    StopAnimation(item.alphaAnimation);
    if (item.hoverRunning)
        HoverSteps::StopCounting(item.hoverRunning);
}

void KelmSelectionCard::Repaint()
{
    if (window_)
        InvalidateWindow(window_);
}

void KelmSelectionCard::ClearItems()
{
    title.clear();
    for (auto& item : items_)
        StopRowAnimations(*item);
    StopAnimation(cardAnimation_);
    items_.clear();
    hoverIndex_ = -1;
    closing_ = false;
    progress_ = 0;
    scale_ = 2.0f;
}

void KelmSelectionCard::AddItem(const Brevin::KelmOption& option)
{
    auto item = std::make_shared<SelectionItem>(option);
    item->extraHeight = (scale_ >= kUnfoldScale && !option.secondText.empty()) ? scale_ * kFoldedExtra : 0.0f;
    item->on = option.state == 1;
    items_.push_back(std::move(item));
}

void KelmSelectionCard::Open(const int source[4], const int target[4], float scale)
{
    scale_ = scale;
    SetFocus(true);
    std::copy(source, source + 4, source_);
    std::copy(target, target + 4, target_);
    closing_ = false;
    open_ = true;
    hoverIndex_ = -1;
    progress_ = 0;
    if (scale < kUnfoldScale)
        for (auto& item : items_)
            item->extraHeight = 0;
    StopAnimation(cardAnimation_);
    KelmWindow* host = Host();
    auto self = self_.lock();
    if (!host || !self) {
        progress_ = 1.0;
    } else {
        std::weak_ptr<KelmSelectionCard> weak = self;
        cardAnimation_ = host->animationManager.AnimateVariableWithBezier<double>(
            window_, 0.0, 1.0, 0.5,
            [weak](double value) {
                if (auto card = weak.lock())
                    card->progress_ = value;
            },
            kOpenEase[0], kOpenEase[1], kOpenEase[2], kOpenEase[3]);
        host->StartAnimationTimer();
    }
    Repaint();
}

void KelmSelectionCard::StartClosing()
{
    closing_ = true;
    StopAnimation(cardAnimation_);
    KelmWindow* host = Host();
    auto self = self_.lock();
    if (!host || !self) {
        progress_ = 0;
        open_ = false;
        closing_ = false;
        return;
    }
    std::weak_ptr<KelmSelectionCard> weak = self;
    cardAnimation_ = host->animationManager.AnimateVariableWithBezier<double>(
        window_, progress_, 0.0, 0.5,
        [weak](double value) {
            if (auto card = weak.lock())
                card->progress_ = value;
        },
        kSettleEase[0], kSettleEase[1], kSettleEase[2], kSettleEase[3],
        [weak] {
            if (auto card = weak.lock()) {
                card->cardAnimation_ = -1;
                card->open_ = false;
                card->closing_ = false;
                // A closed card draws no rows: a row's hover that was still
                // moving would hold the hover count (and every window's
                // hover repaints) for good.
                for (auto& item : card->items_) {
                    card->StopRowAnimations(*item);
                    item->hoverStep = 0;
                }
                card->hoverIndex_ = -1;
                card->Repaint();
            }
        });
    host->StartAnimationTimer();
}

Brevin::kelmRect KelmSelectionCard::GetRect()
{
    return {x, y, w, h};
}

void KelmSelectionCard::SetFocus(bool focus)
{
    focused = focus;
    Repaint();
}

Brevin::kelmRect KelmSelectionCard::RowRect(int index) const
{
    if (index < 0 || index >= RowCount())
        return {};
    return items_[index]->row;
}

bool KelmSelectionCard::RowOn(int index) const
{
    return index >= 0 && index < RowCount() && items_[index]->on;
}

std::vector<Brevin::kelmRect> KelmSelectionCard::LayOutRows(int x, int y, int w, int h, float scale, bool hasTitle,
                                                            const std::vector<float>& extraHeights)
{
    const double s = scale;
    const double top = hasTitle ? 32 * s : 10 * s;
    const int rowH = Trunc(20 * s);
    const int pad = Trunc(10 * s);
    const int step = Trunc(7.5 * s) + rowH;
    std::vector<Brevin::kelmRect> rows;
    double above = 0; // extra height of the rows before this one
    for (size_t i = 0; i < extraHeights.size(); ++i) {
        const Brevin::kelmRect row{x + pad, y + Trunc(top) + step * static_cast<int>(i) + Trunc(above), w - 2 * pad,
                                   rowH + Trunc(extraHeights[i])};
        if (row.y + row.h > y + h + 50)
            break;
        rows.push_back(row);
        above += extraHeights[i];
    }
    return rows;
}

float KelmSelectionCard::RowAlpha(double progress, int index, int count)
{
    // The fraction is taken in floating point: in integers every row after
    // the first would share one moment.
    const double start = 0.2 + static_cast<double>(index) / (count + 1) * 0.8;
    return static_cast<float>(std::clamp((progress - start) * 2.5, 0.0, 1.0));
}

void KelmSelectionCard::FoldTo(const std::shared_ptr<SelectionItem>& item, bool unfolded)
{
    if (item->option.secondText.empty())
        return;
    const float to = unfolded ? kUnfoldedExtra * scale_ : (scale_ < kUnfoldScale ? 0.0f : kFoldedExtra * scale_);
    StopAnimation(item->extraAnimation);
    KelmWindow* host = Host();
    if (!host) {
        item->extraHeight = to;
        return;
    }
    std::weak_ptr<SelectionItem> weak = item;
    item->extraAnimation = host->animationManager.AnimateVariableWithBezier<float>(
        window_, item->extraHeight, to, 0.3,
        [weak](float value) {
            if (auto row = weak.lock())
                row->extraHeight = value;
        },
        kSettleEase[0], kSettleEase[1], kSettleEase[2], kSettleEase[3]);
    host->StartAnimationTimer();
}

void KelmSelectionCard::Toggle(const std::shared_ptr<SelectionItem>& item)
{
    auto flip = [](SelectionItem& row) {
        row.option.state = row.option.state == 1 ? 0 : 1;
        row.on = row.option.state == 1;
        // A copy: the callback may clear the card's rows.
        auto callback = row.option.secondCallback;
        if (callback)
            callback(row.option.state);
    };
    KelmWindow* host = Host();
    if (!host) {
        flip(*item);
        return;
    }
    StopAnimation(item->alphaAnimation);
    std::weak_ptr<SelectionItem> weakItem = item;
    std::weak_ptr<KelmSelectionCard> weakCard = self_;
    auto setAlpha = [weakItem](float value) {
        if (auto row = weakItem.lock())
            row->alpha = value;
    };
    // A short blink, then the new state and a springy return.
    item->alphaAnimation = host->animationManager.AnimateVariableWithBezier<float>(
        window_, 1.0f, 0.6f, 0.05, setAlpha, kSettleEase[0], kSettleEase[1], kSettleEase[2], kSettleEase[3],
        [weakItem, weakCard, setAlpha, flip] {
            auto row = weakItem.lock();
            auto card = weakCard.lock();
            if (!row || !card)
                return;
            row->alphaAnimation = -1;
            KelmWindow* host = card->Host();
            if (host) {
                row->alphaAnimation = host->animationManager.AnimateVariableWithBezier<float>(
                    card->window_, 0.6f, 1.0f, 0.2, setAlpha, kBounceEase[0], kBounceEase[1], kBounceEase[2],
                    kBounceEase[3]);
                host->StartAnimationTimer();
            }
            flip(*row);
            card->Repaint();
        });
    host->StartAnimationTimer();
}

int KelmSelectionCard::AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event)
{
    if (!open_)
        return Brevin::kNotHandled;
    // Callbacks may refill the card: work on a copy of the rows.
    const auto rows = items_;
    if (event == Brevin::KELM_MOUSE_MOVE) {
        hovered = true;
        int index = -1;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (Contains(point, rows[i]->row)) {
                index = static_cast<int>(i);
                break;
            }
        }
        if (index >= 0 && rows[index]->option.thirdCallback)
            rows[index]->option.thirdCallback(point.x, point.y);
        if (index != hoverIndex_) {
            if (hoverIndex_ >= 0 && hoverIndex_ < static_cast<int>(rows.size()))
                FoldTo(rows[hoverIndex_], false);
            if (index >= 0)
                FoldTo(rows[index], true);
            hoverIndex_ = index;
        }
        Repaint();
    } else if (event == Brevin::KELM_LBUTTON_UP) {
        std::shared_ptr<SelectionItem> hit;
        for (const auto& item : rows) {
            if (Contains(point, item->toggleArea) || Contains(point, item->row)) {
                hit = item;
                break;
            }
        }
        if (!hit) {
            if (onDismiss_) {
                auto dismiss = onDismiss_;
                dismiss();
            }
        } else if (hit->option.extra == 0) {
            auto click = hit->option.onClick;
            if (click)
                click();
        } else {
            Toggle(hit);
        }
        Repaint();
    }
    return 0;
}

void KelmSelectionCard::AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmSelectionCard> self)
{
    window_ = window;
    self_ = self;
    CreateCtl(window, rt);
}

void KelmSelectionCard::CreateCtl(HWND window, ID2D1HwndRenderTarget* rt)
{
    if (!window_)
        window_ = window;
    if (!open_)
        return;
    if (!focused && !closing_)
        StartClosing();
    if (!open_)
        return;

    const double p = progress_;
    const float fs = scale_;

    // The window behind the card goes out of focus as the card comes in.
    RECT client{};
    GetClientRect(window_, &client);
    const double dpi = DpiScale > 0 ? DpiScale : 1.0;
    const float cw = static_cast<float>(client.right / dpi), ch = static_cast<float>(client.bottom / dpi);
    if (p > 0) {
        if (client.right + client.bottom > 3600)
            DownsampleBlurLight(rt, 0, 0, cw, ch, static_cast<float>(p * 4));
        else
            DownsampleBlurMedium(rt, 0, 0, cw, ch, static_cast<float>(p * 12));
    }

    float extraSum = 0;
    for (const auto& item : items_)
        extraSum += item->extraHeight;
    x = Trunc(source_[0] + (target_[0] - source_[0]) * p);
    y = Trunc(source_[1] + (target_[1] - source_[1]) * p);
    w = Trunc(source_[2] + (target_[2] - source_[2]) * p);
    h = Trunc(source_[3] + ((target_[3] - source_[3]) + Trunc(extraSum)) * p);
    for (size_t i = 0; i < items_.size(); ++i) {
        SelectionItem& item = *items_[i];
        const bool rising = static_cast<int>(i) == hoverIndex_;
        if ((rising && item.hoverStep < 10) || (!rising && item.hoverStep > 0))
            HoverSteps::Advance(item.hoverStep, item.hoverRunning, rising);
    }

    const COLORREF face = (hovered && items_.empty()) ? hoverColour_ : cardColour_;
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    DrawSoftShadow(rt, fx, fy, fw, fh, 6 * fs, 0, 2.0f, static_cast<float>(20 * p), Trunc(10 * p), 0, 0.01f,
                   ThemeTextColor.Ref());
    // The face fades only at the very end of closing, after the rows.
    const float faceAlpha = (closing_ && p <= 0.15) ? static_cast<float>(3 * p) : 1.0f;
    DrawRoundRect(rt, fx, fy, fw, fh, face, 6 * fs, faceAlpha, 1.0f, borderColour_);
    if (p <= 0.01)
        return;

    if (!title.empty())
        DrawTextSemibold(rt, fx + 10 * fs, fy + 10 * fs, fw - 15 * fs, 15 * fs, title.c_str(), 10 * fs,
                         ThemeTextColor.Ref(), L"Segoe UI", faceAlpha, false);

    std::vector<float> extras;
    extras.reserve(items_.size());
    for (const auto& item : items_)
        extras.push_back(item->extraHeight);
    const auto rows = LayOutRows(x, y, w, h, scale_, !title.empty(), extras);
    const int n = static_cast<int>(items_.size());
    for (int i = 0; i < n; ++i) {
        SelectionItem& item = *items_[i];
        if (i >= static_cast<int>(rows.size())) {
            // Off the card: neither drawn nor clickable.
            item.row = {};
            item.toggleArea = {};
            continue;
        }
        item.row = rows[i];
        DrawRow(rt, item, i, RowAlpha(p, i, n) * item.alpha);
    }
}

void KelmSelectionCard::DrawRow(ID2D1HwndRenderTarget* rt, SelectionItem& item, int index, float alpha)
{
    if (alpha <= 0.01f) {
        item.toggleArea = {};
        return;
    }
    const float s = scale_;
    const Brevin::kelmRect& r = item.row;
    // Rows slide up into place as they fade in.
    const float rx = static_cast<float>(r.x);
    const float ry = static_cast<float>(r.y) + (1.0f - alpha) * 15.0f;
    const float rw = static_cast<float>(r.w), rh = static_cast<float>(r.h);

    COLORREF face = ContrastShiftColor(rowColour_, 10);
    if (item.hoverStep > 0)
        face = ContrastShiftColor(hoverColour_, Trunc(item.hoverStep / 10.0 * 20));
    DrawRoundRect(rt, rx, ry, rw, rh, ContrastShiftColor(face, 10), 6 * s, alpha, 1.0f, borderColour_);
    DrawRoundRect(rt, rx, ry, rw, rh - 1, ContrastShiftColor(face, 3), 6 * s, alpha, 1.0f, borderColour_);
    DrawRoundRect(rt, rx, ry, rw, rh - 2, face, 6 * s, alpha, 1.0f, borderColour_);

    const COLORREF text = ThemeTextColor.Ref();
    const int textSize = Trunc(7 * s);
    const float textX = rx + Trunc(7.5 * s);
    const float layoutW = static_cast<float>(r.w - Trunc(30 * s));
    const bool unfolded = index == hoverIndex_;
    const bool twoLines = !item.option.secondText.empty() && (unfolded || s >= kUnfoldScale);
    const float textTop = twoLines ? static_cast<float>(Trunc(5 * s)) : rh / 2 - textSize / 2.0f - 2;
    DrawTextInRect(rt, textX, ry + textTop, layoutW, static_cast<float>(textSize) * 1.6f, item.option.text.c_str(),
                   static_cast<float>(textSize), text, L"Segoe UI", alpha, false);

    if (twoLines && item.extraHeight >= 2.5f * s) {
        std::wstring second = item.option.secondText;
        const size_t limit = static_cast<size_t>(Trunc(7.5 * s));
        if (!unfolded && second.size() > limit)
            second = second.substr(0, limit) + L"... :\xF105:";
        const float secondTop = textTop + textSize * 1.5f;
        DrawIconText(rt, textX, ry + secondTop, layoutW, rh - secondTop, second.c_str(),
                     static_cast<float>(Trunc(5.5 * s)), ContrastShiftColor(text, 50), L"Segoe UI", alpha, false);
    }

    if (item.option.extra != 0) {
        const float iw = 18 * s, ih = 14 * s;
        const float ix = rx + rw - 4 * s - iw, iy = ry + (rh - ih) / 2;
        DrawSoftShadow(rt, ix, iy, iw, ih, 4 * s, 0, 1.0f, 4.0f, 5, 0, 0.02f * alpha, ThemeTextColor.Ref());
        // "On" takes the theme's accent, "off" the card's third colour.
        const COLORREF fill = item.on ? ThemeAccent.Ref() : colour3_;
        const COLORREF label = item.on ? RGB(255, 255, 255) : text;
        DrawRoundRect(rt, ix, iy, iw, ih, fill, 4 * s, alpha, 1.0f, borderColour_);
        DrawTextSemibold(rt, ix, iy + ih / 2 - 3.5f * s - 1, iw, ih, item.on ? L"ON" : L"OFF", 5 * s, label,
                         L"Segoe UI", alpha, true);
        item.toggleArea = {Trunc(ix), Trunc(iy), Trunc(iw), Trunc(ih)};
    } else {
        item.toggleArea = {};
        const float glyph = 7 * s;
        DrawIconText(rt, rx + rw - 8 * s - glyph, ry + rh / 2 - glyph * 0.7f, glyph * 2, glyph * 1.6f, L":\xF061:",
                     glyph, text, L"Segoe UI", alpha, false);
    }
}
