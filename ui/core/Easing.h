// Easing curves of the animations, and the message-pumping waits that window
// effects use to play short animations synchronously and that the UI thread
// uses while work of another thread runs.
#pragma once

#include <windows.h>

// The CSS-style cubic Bezier from (0,0) to (1,1) through (x1,y1) and (x2,y2),
// solved for x = t / duration by twenty halvings; returns from..to.
double CubicBezierEase(double t, double from, double to, double duration, double x1, double y1, double x2, double y2);

// Ease-out bounce, used by controls for press feedback.
double EaseOutBounce(double t, double begin, double change, double duration);

// Waits the given time while dispatching the thread's messages. A WM_QUIT
// ends the wait and is posted again so the main loop still sees it.
// UI thread only.
void WaitWithMessages(UINT milliseconds);

// Waits until the object is signalled while dispatching the thread's
// messages. A WM_QUIT is posted again and the rest of the wait dispatches
// nothing. UI thread only.
void WaitForObjectWithMessages(HANDLE object);
