// The single-line text input of the control library: a rounded box with
// the text (or a dimmed placeholder), a selection and a blinking caret,
// edited from key events, with clipboard and input-method support. Meant
// for short texts (titles, names, paths, search). UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/controls/KelmEditBase.h"
#include "ui/core/DrawingHelpers.h"

class KelmEdit : public KelmEditBase
{
public:
    KelmEdit();
    ~KelmEdit() override;
    KelmEdit(const KelmEdit&) = delete;
    KelmEdit& operator=(const KelmEdit&) = delete;

    // Configures the edit and empties it: builders that keep an edit across
    // paints call it once and later move it with SetLayout.
    void Set(int x, int y, int w, int h, const wchar_t* placeholder, std::function<void(std::wstring)> onEnter,
             COLORREF fill, COLORREF textColour, int fontSize);
    // Moves and recolours the edit; text and state stay.
    void SetLayout(int x, int y, int w, int h, COLORREF fill, COLORREF textColour);

    // Replaces the text and puts the caret (and an empty selection) at its end.
    void SetText(std::wstring text);

    // Places the input method's composition and candidate windows at the caret.
    void UpdateImePosition();
    void DeleteSelection();
    void CopySelection();
    // Width in DIPs of the text in "Segoe UI" at the size; 0 when empty or
    // when DirectWrite cannot measure.
    float MeasureTextWidth(const std::wstring& text, int size) const;
    // The caret index for a point's x in DIPs (window coordinates).
    int HitTestIndex(float px) const;

    int OnKeyEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event, UINT key) override;
    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    Brevin::kelmRect GetRect() override;
    virtual void CreateCtl(HWND window, ID2D1HwndRenderTarget* rt);
    // Called by BrevinPanel::AddControl: remembers the window and draws.
    virtual void AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmEdit> self);

    // The rectangle in DIPs, kept as floats (GetRect truncates).
    float editX = 0.0f, editY = 0.0f, editW = 0.0f, editH = 0.0f;
    COLORREF fillColour = RGB(255, 255, 255);
    COLORREF textColour = 0; // text, placeholder and caret
    std::wstring placeholder;
    // Run with a copy of the text when Enter is pressed.
    std::function<void(std::wstring)> onEnter;
    float fontSize = 14.0f;

private:
    void Paste();
    void CaretPlaced() override { UpdateImePosition(); }
    float PrefixWidth(int units) const;

    float scroll_ = 0.0f;
    // Widths of the text's prefixes by length (-1: not measured yet).
    mutable std::wstring measuredText_;
    mutable int measuredSize_ = 0;
    mutable std::vector<float> prefixWidths_;
    CachedTextLayout textLayout_; // the line as last drawn
};
