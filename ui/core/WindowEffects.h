// Short blocking effects of popups and windows: drop in, zoom in, fade out
// on a layered window, and centring on the primary screen. Each step
// waits while the thread's messages keep being dispatched, so handlers may
// run (and even destroy the window) mid-effect. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>

// The layered opacity last set by the drop-in and fade-out effects.
extern uint8_t s_effectAlpha;

// Falls 130 pixels into place while fading in; ends opaque where it began.
void AnimateWindowDropIn(HWND window);
// Grows from its top-left corner while fading in.
void AnimateWindowZoomIn(HWND window);
// Rises 91 pixels while fading out to 15; the caller destroys the window.
void AnimateWindowFadeOut(HWND window);
void CenterWindowOnScreen(HWND window);

// The size of zoom-in step 0..9 for a window of w x h.
SIZE ZoomInStepSize(int w, int h, int step);
