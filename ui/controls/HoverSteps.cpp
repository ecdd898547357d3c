#include "ui/controls/HoverSteps.h"

#include <algorithm>

#include "ui/core/Easing.h"
#include "ui/core/KelmWindow.h"

namespace HoverSteps
{

void Advance(int& step, int& running, bool rising)
{
    // At rest already: nothing moves, so nothing is counted. Counting it
    // for a moment would still start timer 11 on every window, at each
    // paint of a window that holds a resting control.
    if (step == (rising ? 10 : 0)) {
        if (running)
            StopCounting(running);
        return;
    }
    NoteHoverStep();
    if (!running) {
        running = 1;
        ++HoverAnimationCount;
    }
    if (rising) {
        if (step < 10)
            ++step;
        if (step >= 10)
            StopCounting(running);
    } else {
        if (step > 0)
            --step;
        if (step <= 0)
            StopCounting(running);
    }
}

void StopCounting(int& running)
{
    running = 0;
    LowerHoverAnimationCount();
}

float Progress(int step, bool pressed)
{
    const float s = static_cast<float>(step);
    if (pressed)
        return static_cast<float>(EaseOutBounce(s, 0.0, 0.5, 10.0));
    const float t = s / 10.0f - 1.0f;
    return (t * t * t + 1.0f) * 0.5f;
}

COLORREF Lighten(COLORREF colour, float amount)
{
    auto channel = [amount](int c) { return std::min(255, static_cast<int>(static_cast<float>(c) + amount)); };
    return RGB(channel(GetRValue(colour)), channel(GetGValue(colour)), channel(GetBValue(colour)));
}

COLORREF ShiftForHover(COLORREF colour, float factor)
{
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    const float delta = factor * 20.0f * (r + g + b < 387 ? 1.0f : -2.0f);
    auto channel = [delta](int c) { return std::clamp(static_cast<int>(static_cast<float>(c) + delta), 0, 255); };
    return RGB(channel(r), channel(g), channel(b));
}

} // namespace HoverSteps
