#include "ui/controls/KelmMarkdownEdit.h"

#include <algorithm>
#include <vector>

#include "ui/controls/EditPlatform.h"
#include "ui/controls/EditTextRules.h"
#include "ui/controls/MarkdownRules.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

using Microsoft::WRL::ComPtr;

namespace
{

constexpr float kMargin = 10.0f; // on every side of the text area
constexpr float kClipInset = 2.0f;
constexpr float kClipRadius = 4.0f;
constexpr float kBoxRadius = 8.0f;
constexpr float kCaretWidth = 1.2f;
constexpr COLORREF kSelectionColour = RGB(0, 120, 215);
constexpr float kSelectionAlpha = 0.4f;
constexpr float kPlaceholderAlpha = 0.5f;
constexpr float kMarkAlpha = 0.4f; // quote bars and rules
constexpr float kLayoutHeight = 10000.0f;

using EditPlatform::ControlDown;
using EditPlatform::ShiftDown;

DWRITE_TEXT_RANGE ToRange(int start, int length)
{
    return {static_cast<UINT32>(start), static_cast<UINT32>(length)};
}

void ApplyFormat(IDWriteTextLayout* layout, const MarkdownRules::Format& format)
{
    const DWRITE_TEXT_RANGE range = ToRange(format.start, format.length);
    switch (format.style) {
    case MarkdownRules::Style::Size:
        layout->SetFontSize(format.size, range);
        break;
    case MarkdownRules::Style::Bold:
        layout->SetFontWeight(DWRITE_FONT_WEIGHT_BOLD, range);
        break;
    case MarkdownRules::Style::Italic:
        layout->SetFontStyle(DWRITE_FONT_STYLE_ITALIC, range);
        break;
    case MarkdownRules::Style::Underline:
        layout->SetUnderline(TRUE, range);
        break;
    case MarkdownRules::Style::Strike:
        layout->SetStrikethrough(TRUE, range);
        break;
    case MarkdownRules::Style::Code:
        layout->SetFontFamilyName(L"Consolas", range);
        break;
    }
}

// The hit-test rectangles of a range of the layout.
std::vector<DWRITE_HIT_TEST_METRICS> RangeRects(IDWriteTextLayout* layout, int start, int length)
{
    UINT32 count = 0;
    layout->HitTestTextRange(static_cast<UINT32>(start), static_cast<UINT32>(length), 0, 0, nullptr, 0, &count);
    std::vector<DWRITE_HIT_TEST_METRICS> rects(count);
    if (count == 0 || FAILED(layout->HitTestTextRange(static_cast<UINT32>(start), static_cast<UINT32>(length), 0, 0,
                                                      rects.data(), count, &count)))
        return {};
    rects.resize(count);
    return rects;
}

} // namespace

KelmMarkdownEdit::~KelmMarkdownEdit() = default;

void KelmMarkdownEdit::Set(int nx, int ny, int, int, const wchar_t*, std::function<void(std::wstring)> onEnter,
                           std::function<void()> onRightClick, COLORREF fill, COLORREF textColour)
{
    x_ = static_cast<float>(nx);
    y_ = static_cast<float>(ny);
    onEnter_ = std::move(onEnter);
    onRightClick_ = std::move(onRightClick);
    fill_ = fill;
    textColour_ = textColour;
    fontSize_ = 12.0f;
    buffer_.Clear();
    scrollX_ = scrollY_ = 0;
    selecting_ = false;
    blink_.opacity = 0.0f;
    StopCaretAnimation();
}

void KelmMarkdownEdit::SetLayout(int nx, int ny, int, int, COLORREF fill, COLORREF textColour)
{
    x_ = static_cast<float>(nx);
    y_ = static_cast<float>(ny);
    fill_ = fill;
    textColour_ = textColour;
}

ComPtr<IDWriteTextLayout> KelmMarkdownEdit::CreateLayout(bool formatted) const
{
    if (!s_dwriteFactory)
        return nullptr;
    IDWriteTextFormat* format = GetTextFormat(L"Segoe UI", std::max(fontSize_, 1.0f), 400, false);
    if (!format)
        return nullptr;
    ComPtr<IDWriteTextLayout> layout;
    if (FAILED(s_dwriteFactory->CreateTextLayout(buffer_.text.c_str(), static_cast<UINT32>(buffer_.text.size()), format,
                                                 std::max(w_ - 2 * kMargin, 1.0f), kLayoutHeight, &layout)))
        return nullptr;
    if (formatted)
        for (const auto& f : MarkdownRules::FormatPreview(buffer_.text, fontSize_).formats)
            ApplyFormat(layout.Get(), f);
    return layout;
}

int KelmMarkdownEdit::IndexFromPoint(float px, float py) const
{
    auto layout = CreateLayout(!focused);
    if (!layout)
        return buffer_.caret;
    BOOL trailing = FALSE, inside = FALSE;
    DWRITE_HIT_TEST_METRICS metrics{};
    layout->HitTestPoint(px - (x_ + kMargin - scrollX_), py - (y_ + kMargin - scrollY_), &trailing, &inside, &metrics);
    return std::min(static_cast<int>(metrics.textPosition) + (trailing ? 1 : 0), static_cast<int>(buffer_.text.size()));
}

void KelmMarkdownEdit::CaretPoint(IDWriteTextLayout* layout, float& cx, float& cy, float& lineHeight) const
{
    cx = cy = 0;
    lineHeight = fontSize_;
    if (!layout)
        return;
    DWRITE_HIT_TEST_METRICS metrics{};
    const int at = std::clamp(buffer_.caret, 0, static_cast<int>(buffer_.text.size()));
    if (SUCCEEDED(layout->HitTestTextPosition(static_cast<UINT32>(at), FALSE, &cx, &cy, &metrics))) {
        lineHeight = metrics.height;
        return;
    }
    // Without hit tests (Wine): the lines' heights above the caret's line
    // and the width of its line up to the caret. Lines do not wrap here
    // only when they are short, which the caret then follows roughly.
    UINT32 count = 0;
    layout->GetLineMetrics(nullptr, 0, &count);
    std::vector<DWRITE_LINE_METRICS> lines(count);
    if (count == 0 || FAILED(layout->GetLineMetrics(lines.data(), count, &count)))
        return;
    UINT32 start = 0;
    for (const auto& line : lines) {
        if (static_cast<UINT32>(at) < start + line.length || &line == &lines.back()) {
            lineHeight = line.height;
            const std::wstring prefix = buffer_.text.substr(start, static_cast<size_t>(at) - start);
            IDWriteTextFormat* format = GetTextFormat(L"Segoe UI", std::max(fontSize_, 1.0f), 400, false);
            ComPtr<IDWriteTextLayout> measure;
            DWRITE_TEXT_METRICS size{};
            if (format && !prefix.empty() &&
                SUCCEEDED(s_dwriteFactory->CreateTextLayout(prefix.c_str(), static_cast<UINT32>(prefix.size()), format,
                                                            10000.0f, kLayoutHeight, &measure)) &&
                SUCCEEDED(measure->GetMetrics(&size)))
                cx = size.widthIncludingTrailingWhitespace;
            return;
        }
        cy += line.height;
        start += line.length;
    }
}

int KelmMarkdownEdit::MoveVertical(int index, int direction) const
{
    auto layout = CreateLayout(!focused);
    if (!layout)
        return std::clamp(index + direction, 0, static_cast<int>(buffer_.text.size()));
    float cx = 0, cy = 0;
    DWRITE_HIT_TEST_METRICS metrics{};
    BOOL trailing = FALSE, inside = FALSE;
    DWRITE_HIT_TEST_METRICS hit{};
    const UINT32 at = static_cast<UINT32>(std::clamp(index, 0, static_cast<int>(buffer_.text.size())));
    if (FAILED(layout->HitTestTextPosition(at, FALSE, &cx, &cy, &metrics)) ||
        FAILED(layout->HitTestPoint(cx, cy + direction * 1.5f * metrics.height, &trailing, &inside, &hit)))
        // DirectWrite without hit tests (Wine): the same column of the
        // neighbouring line, which is where short notes land anyway.
        return MarkdownRules::MoveByColumn(buffer_.text, index, direction);
    return std::min(static_cast<int>(hit.textPosition) + (trailing ? 1 : 0), static_cast<int>(buffer_.text.size()));
}

int KelmMarkdownEdit::OnKeyEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event, UINT key)
{
    using namespace Brevin;
    if (event == KELM_CHAR) {
        if (key < 32)
            return 0;
        if (window_) {
            float cx = 0, cy = 0, line = 0;
            CaretPoint(CreateLayout(!focused).Get(), cx, cy, line);
            EditPlatform::PlaceImeWindows(window_,
                                          {static_cast<LONG>((x_ + kMargin - scrollX_ + cx) * DpiScale),
                                           static_cast<LONG>((y_ + kMargin - scrollY_ + cy + line) * DpiScale)});
        }
        buffer_.Type(std::wstring(1, static_cast<wchar_t>(key)));
        blink_.opacity = 1.0f;
        Repaint();
        return 0;
    }
    if (event != KELM_KEY_DOWN)
        return 0;
    const std::wstring& text = buffer_.text;
    const int caret = buffer_.caret;
    const bool shift = ShiftDown();
    const bool control = ControlDown();
    bool enter = false;
    auto moved = [&](int to) { buffer_.MoveCaret(to, shift); };
    switch (key) {
    case VK_LEFT:
        if (caret > 0)
            moved(control ? MarkdownRules::WordBoundary(text, caret, -1)
                          : EditTextRules::PreviousCharBoundary(text, caret));
        break;
    case VK_RIGHT:
        if (caret < static_cast<int>(text.size()))
            moved(control ? MarkdownRules::WordBoundary(text, caret, 1) : EditTextRules::NextCharBoundary(text, caret));
        break;
    case VK_UP:
        moved(MoveVertical(caret, -1));
        break;
    case VK_DOWN:
        moved(MoveVertical(caret, 1));
        break;
    case VK_HOME:
        moved(MarkdownRules::LineStart(text, caret));
        break;
    case VK_END:
        moved(MarkdownRules::LineEnd(text, caret));
        break;
    case VK_BACK:
        buffer_.Backspace();
        break;
    case VK_DELETE:
        buffer_.DeleteForward();
        break;
    case VK_RETURN:
        buffer_.Type(L"\n");
        enter = true;
        break;
    case 'A':
        if (control)
            buffer_.SelectAll();
        break;
    case 'C':
    case 'X':
        if (control && buffer_.HasSelection()) {
            EditPlatform::WriteClipboardText(window_, MarkdownRules::ToClipboardText(buffer_.SelectedText()));
            if (key == 'X')
                buffer_.DeleteSelection();
        }
        break;
    case 'V':
        if (control) {
            std::wstring data;
            if (EditPlatform::ReadClipboardText(window_, data))
                buffer_.Type(MarkdownRules::FromClipboardText(data));
        }
        break;
    default:
        break;
    }
    AfterKey(enter, onEnter_);
    return 0;
}

int KelmMarkdownEdit::AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event)
{
    using namespace Brevin;
    const float px = static_cast<float>(point.x / DpiScale);
    const float py = static_cast<float>(point.y / DpiScale);
    if (event == KELM_RBUTTON_UP) {
        if (onRightClick_) {
            auto callback = onRightClick_;
            callback();
        }
        return 0;
    }
    PointerEvent(event, [this, px, py] { return IndexFromPoint(px, py); });
    return 0;
}

Brevin::kelmRect KelmMarkdownEdit::GetRect()
{
    return {static_cast<int>(x_), static_cast<int>(y_), kSize, kSize};
}

void KelmMarkdownEdit::AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmMarkdownEdit>)
{
    window_ = window;
    CreateCtl(window, rt);
}

void KelmMarkdownEdit::CreateCtl(HWND window, ID2D1HwndRenderTarget* rt)
{
    if (!BeginPaint(window))
        return;
    if (w_ <= 12.0f || h_ <= 8.0f)
        return;
    RevealPaint(static_cast<KelmEditBase*>(this));
    DrawRoundRect(rt, x_, y_, w_, h_, fill_, kBoxRadius, 1.0f, 1.0f, ThemeShade30.Ref(), 0.0f, false);

    const bool formatted = !focused;
    auto layout = CreateLayout(formatted);
    if (!layout)
        return;
    float cx = 0, cy = 0, line = 0;
    CaretPoint(layout.Get(), cx, cy, line);
    const float areaW = w_ - 2 * kMargin, areaH = h_ - 2 * kMargin;
    if (cx - scrollX_ > areaW - 2)
        scrollX_ = cx - areaW + 2;
    else if (cx - scrollX_ < 0)
        scrollX_ = cx;
    if (cy - scrollY_ > areaH - line)
        scrollY_ = cy - areaH + line;
    else if (cy - scrollY_ < 0)
        scrollY_ = cy;

    WithRoundRectClipNoLayer(
        rt, x_ + kClipInset, y_ + kClipInset, std::max(w_ - 2 * kClipInset, 0.1f), std::max(h_ - 2 * kClipInset, 0.1f),
        window, kClipRadius, [&](HWND, ID2D1HwndRenderTarget* target, int, int, int, int) {
            const float textX = x_ + kMargin - scrollX_;
            const float textY = y_ + kMargin - scrollY_;
            if (buffer_.text.empty()) {
                const float left = x_ + kMargin, top = y_ + kMargin;
                DrawTextInRect(target, left, top, std::max(x_ + w_, left) - left, std::max(y_ + h_, textY) - top,
                               placeholder_.c_str(), std::max(fontSize_, 1.0f), textColour_, L"Segoe UI",
                               kPlaceholderAlpha, false);
            } else {
                const auto range = buffer_.Selection();
                if (range.count > 0)
                    for (const auto& r : RangeRects(layout.Get(), range.start, range.count))
                        FillSolidRect(target, textX + r.left, textY + r.top, r.width, r.height, kSelectionColour,
                                      kSelectionAlpha);
                ComPtr<ID2D1SolidColorBrush> brush;
                target->CreateSolidColorBrush(D2D1::ColorF(GetRValue(textColour_) / 255.0f,
                                                           GetGValue(textColour_) / 255.0f,
                                                           GetBValue(textColour_) / 255.0f, 1.0f),
                                              &brush);
                if (brush)
                    target->DrawTextLayout(D2D1::Point2F(textX, textY), layout.Get(), brush.Get());
                if (formatted)
                    DrawPreviewMarks(target, layout.Get(), textX, textY);
            }
            if (focused) {
                SetCaretArea(textX + cx, textY + cy, kCaretWidth, line, x_ + kClipInset, y_ + kClipInset,
                             w_ - 2 * kClipInset, h_ - 2 * kClipInset, textColour_, fill_);
                FillSolidRect(target, textX + cx, textY + cy, kCaretWidth, line, textColour_, blink_.opacity);
            }
        });
}

void KelmMarkdownEdit::DrawPreviewMarks(ID2D1HwndRenderTarget* target, IDWriteTextLayout* layout, float textX,
                                        float textY) const
{
    const auto preview = MarkdownRules::FormatPreview(buffer_.text, fontSize_);
    for (const auto& quote : preview.quotes) {
        const auto rects = RangeRects(layout, quote.start, std::max(quote.length, 1));
        if (rects.empty())
            continue;
        float top = rects[0].top, bottom = rects[0].top + rects[0].height;
        for (const auto& r : rects) {
            top = std::min(top, r.top);
            bottom = std::max(bottom, r.top + r.height);
        }
        FillSolidRect(target, textX + rects[0].left, textY + top, 4.0f, bottom - top, textColour_, kMarkAlpha);
    }
    for (const auto& rule : preview.rules) {
        const auto rects = RangeRects(layout, rule.start, rule.length);
        if (rects.empty())
            continue;
        const float ly = textY + rects[0].top + 4.0f;
        FillSolidRect(target, textX, ly - 1.0f, std::max(w_ - 2 * kMargin, 1.0f), 2.0f, textColour_, kMarkAlpha);
    }
}
