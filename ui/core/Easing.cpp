#include "ui/core/Easing.h"

namespace
{

double BezierAxis(double m, double p1, double p2)
{
    const double n = 1.0 - m;
    return 3.0 * n * n * m * p1 + 3.0 * n * m * m * p2 + m * m * m;
}

} // namespace

double CubicBezierEase(double t, double from, double to, double duration, double x1, double y1, double x2, double y2)
{
    if (duration <= 0.0)
        return to;
    if (t <= 0.0)
        return from;
    if (t >= duration)
        return to;
    const double x = t / duration;
    double lo = 0.0, hi = 1.0, m = 0.5;
    for (int round = 0; round < 4; ++round) {
        for (int step = 0; step < 5; ++step) {
            m = (lo + hi) / 2.0;
            if (x > BezierAxis(m, x1, x2))
                lo = m;
            else
                hi = m;
        }
    }
    return BezierAxis(m, y1, y2) * (to - from) + from;
}

double EaseOutBounce(double t, double begin, double change, double duration)
{
    double x = t / duration;
    constexpr double k = 7.5625;
    double v;
    if (x < 1.0 / 2.75) {
        v = k * x * x;
    } else if (x < 2.0 / 2.75) {
        x -= 1.5 / 2.75;
        v = k * x * x + 0.75;
    } else if (x < 2.5 / 2.75) {
        x -= 2.25 / 2.75;
        v = k * x * x + 0.9375;
    } else {
        x -= 2.625 / 2.75;
        v = k * x * x + 0.984375;
    }
    return v * change + begin;
}

void WaitWithMessages(UINT milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (GetTickCount64() < deadline) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // The wait must not eat the program's quit request.
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(0);
    }
}

void WaitForObjectWithMessages(HANDLE object)
{
    while (MsgWaitForMultipleObjects(1, &object, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        // The object is looked at between messages: a queue that never runs
        // empty (a timer due again before a slow paint has ended) must not
        // hold the wait after the object is signalled.
        while (WaitForSingleObject(object, 0) == WAIT_TIMEOUT && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // The main loop must still see it.
                PostQuitMessage(static_cast<int>(message.wParam));
                WaitForSingleObject(object, INFINITE);
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}
