// The blinking caret of the edit boxes: its opacity swings between the two
// ends on the window's animations while the edit has the keyboard. A
// swing that ends without a paint (the edit is off screen) rests the blink
// until the edit is drawn again. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

class CaretBlink
{
public:
    CaretBlink() = default;
    CaretBlink(const CaretBlink&) = delete;
    CaretBlink& operator=(const CaretBlink&) = delete;
    // The swing writes into opacity: it must not outlive the blink.
    ~CaretBlink();

    // A swing from..to on the framework window of the handle (none without
    // one), replacing a running one; at its end the next swing goes back
    // while stillFocused answers true and the edit was painted meanwhile.
    void Start(HWND window, float from, float to, std::function<bool()> stillFocused);
    // Ends the blink and hides the caret.
    void Stop();
    // Every paint of the edit calls it.
    void Painted() { paintedSinceSwing_ = true; }
    bool Running() const { return animation_ != -1; }

    float opacity = 0.0f;
    // Repaints what the opacity changes (the caret alone) at every step
    // but those that show a swing's end where the swing back replaces it a
    // tick later; empty: the swing repaints the whole window.
    std::function<void()> repaintCaret;
    // With repaintCaret: whether that opacity would paint the caret other
    // than it shows now; the window's timer rests until it would.
    std::function<bool(float)> changesWhatShows;

private:
    void StopSwing();
    // At a swing's end: whether the swing back starts at once.
    bool GoesOn() const { return paintedSinceSwing_ && stillFocused_ && stillFocused_(); }

    int animation_ = -1;
    HWND window_ = nullptr;
    bool paintedSinceSwing_ = false;
    std::function<bool()> stillFocused_;
    // The swing's completion starts the next; it may run after the blink
    // is gone.
    std::shared_ptr<char> life_ = std::make_shared<char>();
};
