#include "ui/controls/KelmEdit.h"

#include <algorithm>

#include "ui/controls/EditPlatform.h"
#include "ui/controls/EditTextRules.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace
{

constexpr float kTextMargin = 10.0f; // before the text, and the caret's room after it
constexpr float kClipInset = 2.0f;
constexpr float kClipRadius = 4.0f;
constexpr float kBoxRadius = 8.0f;
constexpr float kCaretWidth = 1.2f;
constexpr float kCaretHeight = 18.0f;
// The caret's top lies this far above the box's middle.
constexpr float kCaretRise = 8.0f;
constexpr COLORREF kSelectionColour = RGB(0, 120, 215);
constexpr float kSelectionAlpha = 0.4f;
constexpr float kPlaceholderAlpha = 0.5f;

using EditPlatform::ControlDown;
using EditPlatform::ShiftDown;

} // namespace

KelmEdit::KelmEdit() = default;

KelmEdit::~KelmEdit() = default;

void KelmEdit::Set(int nx, int ny, int nw, int nh, const wchar_t* placeholderText,
                   std::function<void(std::wstring)> enter, COLORREF fill, COLORREF textCol, int size)
{
    editX = static_cast<float>(nx);
    editY = static_cast<float>(ny);
    editW = static_cast<float>(nw);
    editH = static_cast<float>(nh);
    fontSize = static_cast<float>(size);
    placeholder = placeholderText ? placeholderText : L"";
    onEnter = std::move(enter);
    fillColour = fill;
    textColour = textCol;
    buffer_.Clear();
    scroll_ = 0.0f;
    selecting_ = false;
    blink_.opacity = 0.0f;
}

void KelmEdit::SetLayout(int nx, int ny, int nw, int nh, COLORREF fill, COLORREF textCol)
{
    editX = static_cast<float>(nx);
    editY = static_cast<float>(ny);
    editW = static_cast<float>(nw);
    editH = static_cast<float>(nh);
    fillColour = fill;
    textColour = textCol;
}

void KelmEdit::SetText(std::wstring newText)
{
    if (newText != buffer_.text)
        buffer_.text = std::move(newText);
    buffer_.CollapseTo(static_cast<int>(buffer_.text.size()));
}

void KelmEdit::UpdateImePosition()
{
    if (!window_)
        return;
    const float caretX = PrefixWidth(buffer_.caret);
    EditPlatform::PlaceImeWindows(window_, {static_cast<LONG>((editX + kTextMargin - scroll_ + caretX) * DpiScale),
                                            static_cast<LONG>((editY + editH * 0.5f) * DpiScale)});
}

void KelmEdit::DeleteSelection()
{
    buffer_.DeleteSelection();
}

void KelmEdit::CopySelection()
{
    if (HasSelection())
        EditPlatform::WriteClipboardText(window_, buffer_.SelectedText());
}

void KelmEdit::Paste()
{
    std::wstring data;
    if (!EditPlatform::ReadClipboardText(window_, data))
        return;
    buffer_.Type(EditTextRules::CleanSingleLineText(data.c_str(), data.size()));
}

float KelmEdit::MeasureTextWidth(const std::wstring& measured, int size) const
{
    if (measured.empty() || !s_dwriteFactory)
        return 0.0f;
    IDWriteTextFormat* format = GetTextFormat(L"Segoe UI", static_cast<float>(size), 400, false);
    if (!format)
        return 0.0f;
    ComPtr<IDWriteTextLayout> layout;
    if (FAILED(s_dwriteFactory->CreateTextLayout(measured.c_str(), static_cast<UINT32>(measured.size()), format,
                                                 10000.0f, 1000.0f, &layout)))
        return 0.0f;
    DWRITE_TEXT_METRICS metrics{};
    if (FAILED(layout->GetMetrics(&metrics)))
        return 0.0f;
    return metrics.widthIncludingTrailingWhitespace;
}

float KelmEdit::PrefixWidth(int units) const
{
    const int count = std::clamp(units, 0, static_cast<int>(buffer_.text.size()));
    // Every paint measures the caret's prefix and the whole text, a blink
    // of the caret included: measured once per text and size.
    const int size = static_cast<int>(fontSize);
    if (measuredText_ != buffer_.text || measuredSize_ != size) {
        measuredText_ = buffer_.text;
        measuredSize_ = size;
        prefixWidths_.assign(buffer_.text.size() + 1, -1.0f);
    }
    float& width = prefixWidths_[static_cast<size_t>(count)];
    if (width < 0.0f)
        width = MeasureTextWidth(buffer_.text.substr(0, static_cast<size_t>(count)), size);
    return width;
}

int KelmEdit::HitTestIndex(float px) const
{
    const float origin = editX + kTextMargin - scroll_;
    return EditTextRules::HitTestIndex(buffer_.text, px - origin, [this](int units) { return PrefixWidth(units); });
}

int KelmEdit::OnKeyEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event, UINT key)
{
    using namespace Brevin;
    if (event == KELM_CHAR) {
        const auto unit = static_cast<wchar_t>(key);
        if (!EditTextRules::IsTypedCharAccepted(unit))
            return 0;
        buffer_.Type(std::wstring(1, unit));
        blink_.opacity = 1.0f;
        UpdateImePosition();
        Repaint();
        return 0;
    }
    if (event == KELM_KEY_DOWN) {
        const bool shift = ShiftDown();
        const bool control = ControlDown();
        bool enter = false;
        switch (key) {
        case VK_LEFT:
            buffer_.MoveCaret(EditTextRules::PreviousCharBoundary(buffer_.text, buffer_.caret), shift);
            break;
        case VK_RIGHT:
            buffer_.MoveCaret(EditTextRules::NextCharBoundary(buffer_.text, buffer_.caret), shift);
            break;
        case VK_HOME:
            buffer_.MoveCaret(0, shift);
            break;
        case VK_END:
            buffer_.MoveCaret(static_cast<int>(buffer_.text.size()), shift);
            break;
        case VK_BACK:
            buffer_.Backspace();
            break;
        case VK_DELETE:
            buffer_.DeleteForward();
            break;
        case VK_RETURN:
            enter = true;
            break;
        case 'A':
            if (control)
                buffer_.SelectAll();
            break;
        case 'C':
            if (control)
                CopySelection();
            break;
        case 'X':
            if (control) {
                CopySelection();
                DeleteSelection();
            }
            break;
        case 'V':
            if (control)
                Paste();
            break;
        default:
            break;
        }
        UpdateImePosition();
        AfterKey(enter, onEnter);
    }
    return 0;
}

int KelmEdit::AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event)
{
    const float px = static_cast<float>(point.x / DpiScale);
    PointerEvent(event, [this, px] { return HitTestIndex(px); });
    return 0;
}

Brevin::kelmRect KelmEdit::GetRect()
{
    return {static_cast<int>(editX), static_cast<int>(editY), static_cast<int>(editW), static_cast<int>(editH)};
}

void KelmEdit::AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmEdit>)
{
    window_ = window;
    CreateCtl(window, rt);
}

void KelmEdit::CreateCtl(HWND window, ID2D1HwndRenderTarget* rt)
{
    if (!BeginPaint(window))
        return;
    if (editW <= 12.0f || editH <= 8.0f)
        return;

    RevealPaint(static_cast<KelmEditBase*>(this));
    DrawRoundRect(rt, editX, editY, editW, editH, fillColour, kBoxRadius, 1.0f, 1.0f, ThemeShade30.Ref(), 0.0f, false);

    const float caretX = PrefixWidth(buffer_.caret);
    const float textW = PrefixWidth(static_cast<int>(buffer_.text.size()));
    // Keep the caret in view, and never scroll a text that fits.
    const float visible = editW - 2 * kTextMargin;
    if (caretX - scroll_ > visible)
        scroll_ = caretX - visible;
    else if (caretX - scroll_ < 0.0f)
        scroll_ = caretX;
    if (textW < visible)
        scroll_ = 0.0f;

    WithRoundRectClipNoLayer(
        rt, editX + kClipInset, editY + kClipInset, std::max(editW - 2 * kClipInset, 0.1f),
        std::max(editH - 2 * kClipInset, 0.1f), window, kClipRadius,
        [&](HWND, ID2D1HwndRenderTarget* target, int, int, int, int) {
            const float textX = editX + kTextMargin - scroll_;
            const float textY = editY + (editH - fontSize) * 0.5f;
            const float size = std::max(fontSize, 1.0f);
            const float bottom = std::max(editY + editH, textY);
            if (HasSelection()) {
                const float x1 = PrefixWidth(std::min(buffer_.anchor, buffer_.end));
                const float x2 = PrefixWidth(std::max(buffer_.anchor, buffer_.end));
                const float top = editY + 4.0f;
                FillSolidRect(target, textX + x1, top, x2 - x1, std::max(editY + editH - 4.0f, top) - top,
                              kSelectionColour, kSelectionAlpha);
            }
            if (buffer_.text.empty()) {
                const float left = editX + kTextMargin;
                DrawTextInRect(target, left, textY, std::max(editX + editW, left) - left, bottom - textY,
                               placeholder.c_str(), size, textColour, L"Segoe UI", kPlaceholderAlpha, false);
            } else {
                DrawTextLine(target, textX, textY, textW + 100.0f, bottom - textY, buffer_.text.c_str(), size,
                             textColour, L"Segoe UI", 1.0f, &textLayout_);
            }
            if (focused) {
                const float caretY = editY + editH * 0.5f - kCaretRise;
                SetCaretArea(textX + caretX, caretY, kCaretWidth, kCaretHeight, editX + kClipInset, editY + kClipInset,
                             editW - 2 * kClipInset, editH - 2 * kClipInset, textColour, fillColour);
                FillSolidRect(target, textX + caretX, caretY, kCaretWidth, kCaretHeight, textColour, blink_.opacity);
            }
        });
}
