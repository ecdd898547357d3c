// The frame-stepped hover and press animation of the push button, the
// hotkey box and the menu row: no timer of its own, one step per paint from
// 0 (at rest) to 10 (fully hovered or pressed), kept repainting through
// HoverAnimationCount. UI thread only.
#pragma once

#include <windows.h>

namespace HoverSteps
{

// Moves `step` one frame toward 10 while `rising`, toward 0 otherwise.
// `running` is the control's share of HoverAnimationCount: taken while the
// step moves, given back once it reaches its end; a step at its end takes
// nothing.
void Advance(int& step, int& running, bool rising);

// Gives back the control's share of HoverAnimationCount.
void StopCounting(int& running);

// How far the face has grown (hover, easing out) or shrunk (press, with a
// bounce) at `step`: 0 to 0.5 pixels.
float Progress(int step, bool pressed);

// Adds `amount` to every channel, clamped at 255.
COLORREF Lighten(COLORREF colour, float amount);

// The hover tint of texts, tabs and notices at hover factor `factor`
// (Progress of an unpressed step, 0..0.5): dark colours lighten by up to 10
// per channel, light ones (r + g + b >= 387) darken by up to 20; channels
// are truncated and clamped to 0..255.
COLORREF ShiftForHover(COLORREF colour, float factor);

} // namespace HoverSteps
