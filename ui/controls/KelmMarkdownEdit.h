// The multi-line text box: edits text with line breaks and, while it does
// not have the keyboard, shows it with a small Markdown-like formatting.
// Always 200 by 200. UI thread only.
#pragma once

#include <d2d1.h>
#include <dwrite.h>
#include <windows.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/controls/KelmEditBase.h"

class KelmMarkdownEdit : public KelmEditBase
{
public:
    static constexpr int kSize = 200;

    KelmMarkdownEdit() = default;
    ~KelmMarkdownEdit() override;
    KelmMarkdownEdit(const KelmMarkdownEdit&) = delete;
    KelmMarkdownEdit& operator=(const KelmMarkdownEdit&) = delete;

    // Places the box and empties it; the size stays 200 by 200 and the
    // placeholder "KelmUI Edit" (w, h and text are not used).
    void Set(int x, int y, int w, int h, const wchar_t* text, std::function<void(std::wstring)> onEnter,
             std::function<void()> onRightClick, COLORREF fill, COLORREF textColour);
    // Moves and recolours the box; text and state stay.
    void SetLayout(int x, int y, int w, int h, COLORREF fill, COLORREF textColour);

    int OnKeyEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event, UINT key) override;
    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    Brevin::kelmRect GetRect() override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* rt);
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmMarkdownEdit> self);

private:
    // The whole text laid out in the text area; null when DirectWrite
    // cannot make it. Formatted as the preview unless the box is focused.
    Microsoft::WRL::ComPtr<IDWriteTextLayout> CreateLayout(bool formatted) const;
    int IndexFromPoint(float px, float py) const;
    int MoveVertical(int index, int direction) const;
    // Caret x, y and line height in the layout.
    void CaretPoint(IDWriteTextLayout* layout, float& cx, float& cy, float& lineHeight) const;
    // Quote bars and rule lines of the preview, over the laid-out text.
    void DrawPreviewMarks(ID2D1HwndRenderTarget* target, IDWriteTextLayout* layout, float textX, float textY) const;

    float x_ = 0, y_ = 0, w_ = kSize, h_ = kSize;
    COLORREF fill_ = RGB(255, 255, 255);
    COLORREF textColour_ = 0;
    std::wstring placeholder_ = L"KelmUI Edit";
    std::function<void(std::wstring)> onEnter_;
    std::function<void()> onRightClick_;
    float fontSize_ = 12.0f;
    float scrollX_ = 0, scrollY_ = 0;
};
