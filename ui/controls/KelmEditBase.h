// What the single-line and the multi-line edit box share: the text buffer,
// the caret blink, selecting with the pointer, taking and giving up the
// keyboard, and the start of each paint. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/controls/CaretBlink.h"
#include "ui/controls/EditBuffer.h"
#include "ui/core/BrevinControl.h"

class KelmEditBase : public Brevin::BrevinControl
{
public:
    KelmEditBase();
    KelmEditBase(const KelmEditBase&) = delete;
    KelmEditBase& operator=(const KelmEditBase&) = delete;

    std::wstring GetText() const { return buffer_.text; }
    int GetCaret() const { return buffer_.caret; }
    int GetAnchor() const { return buffer_.anchor; }
    int GetSelectionEnd() const { return buffer_.end; }
    bool HasSelection() const { return buffer_.HasSelection(); }
    float GetCaretOpacity() const { return blink_.opacity; }

    // The caret blinks (0.6 s swings) only while the edit has the keyboard
    // and is painted (a swing without a paint rests it until the next
    // paint). The blink is an animation of the window, and a window ignores
    // hover while animations run: owners with hover effects beside an edit
    // set KelmWindow::hoverWhileAnimating.
    void StartCaretAnimation(float from, float to);
    // Also takes the keyboard away from the edit.
    void StopCaretAnimation();

    // The panel's focus: giving it starts the blink, taking it away (a
    // release elsewhere in the window) stops the blink at once.
    void SetFocus(bool focus) override;
    // The window losing the keyboard stops the blink (a field left with
    // text costs nothing); its coming back starts it again in the edit
    // that held it, text and caret kept.
    int OnPanelNotify(LPARAM value) override;

    // Asked before each paint without the keyboard; -1 skips the paint.
    std::function<int(std::wstring&)> paintHook = [](std::wstring&) { return 0; };

protected:
    // The pointer events of AddEvent: a press puts the caret at the point
    // and starts a selection that follows the pointer, the release gives
    // the edit the keyboard, leaving the edit takes it away. indexAtPoint
    // answers the caret index under the pointer. Other events do nothing.
    void PointerEvent(Brevin::kelmEvent event, const std::function<int()>& indexAtPoint);
    // After the pointer placed the caret (the single-line edit moves its
    // input method windows there).
    virtual void CaretPlaced() {}
    // The end of every key press: the caret shows at once, the edit
    // repaints, and Enter's callback runs last, on a copy of the text (it
    // may close or move what owns the edit).
    void AfterKey(bool enter, const std::function<void(std::wstring)>& onEnter);
    // The start of every paint: false when the paint hook skips it.
    // Remembers the window and keeps the caret blinking while focused.
    bool BeginPaint(HWND window);
    void Repaint() const;
    // Where the paint put the caret (DIPs), kept inside the edit's opaque
    // inside (x, y, w, h), and its colour over the edit's fill: the blink
    // repaints only those pixels, and only when they change visibly.
    // Nothing given: the blink repaints the whole window.
    void SetCaretArea(float x, float y, float w, float h, float insideX, float insideY, float insideW, float insideH,
                      COLORREF caret, COLORREF fill);

    EditBuffer buffer_;
    HWND window_ = nullptr;
    bool selecting_ = false;    // the left button went down in the edit and is still down
    bool keyboardAway_ = false; // held the keyboard when its window lost it
    CaretBlink blink_;

private:
    void RepaintCaret();
    COLORREF CaretPixel(float opacity) const;
    // Whether the caret at that opacity would look other than painted.
    bool CaretChangeShows(float opacity) const;

    RECT caretPixels_{};
    COLORREF caretColour_ = 0;
    COLORREF fillColour_ = 0;
    COLORREF paintedCaret_ = 0;   // what the last paint put there, or the one asked for
    float paintedOpacity_ = 0.0f; // the opacity of that colour
    double caretPaintedAt_ = 0;   // when, in milliseconds of the blink's clock
};
