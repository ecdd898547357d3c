#include "sidewindows/quickpanel/QuickPanelAnimationTick.h"

#include <atomic>
#include <memory>

#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/WindowMessages.h"

namespace TessikQuickPanel
{

namespace
{

constexpr LONGLONG kTickHundredNs = 160000; // 16 ms

struct Tick {
    PTP_TIMER timer = nullptr;
    // Read by the pool's thread.
    std::atomic<HWND> panel{nullptr};
    // Set while a tick waits in the queue: a panel that paints slower than
    // the beat gets one tick per paint, never a queue of them that would
    // keep its own paints away.
    std::atomic<bool> posted{false};
    HWND rendering = nullptr;
};

// Lives as long as the program: the pool's callback holds its address.
Tick s_tick;

VOID CALLBACK PostTick(PTP_CALLBACK_INSTANCE, PVOID context, PTP_TIMER)
{
    Tick& tick = *static_cast<Tick*>(context);
    const HWND panel = tick.panel.load();
    if (!panel || tick.posted.exchange(true))
        return;
    if (!PostMessageW(panel, WM_KELM_QUICK_PANEL_TICK, 0, 0))
        tick.posted = false;
}

// True when the window still has animations to run after the step.
bool Step(const std::shared_ptr<KelmWindow>& window)
{
    if (!window || !window->GetHwnd() || !IsWindow(window->GetHwnd()))
        return false;
    window->animationManager.Update();
    return window->animationManager.HasWork();
}

} // namespace

void StartAnimationTick(HWND panel, HWND rendering)
{
    s_tick.rendering = rendering;
    if (s_tick.panel.load() == panel && s_tick.timer)
        return;
    if (!s_tick.timer) {
        s_tick.timer = CreateThreadpoolTimer(PostTick, &s_tick, nullptr);
        // Without a pool timer the window timers still step the panel,
        // only later under a flood of paints.
        if (!s_tick.timer)
            return;
    }
    s_tick.panel = panel;
    ULARGE_INTEGER due{};
    due.QuadPart = static_cast<ULONGLONG>(-kTickHundredNs);
    FILETIME start{due.LowPart, due.HighPart};
    SetThreadpoolTimer(s_tick.timer, &start, 16, 0);
}

void StopAnimationTick()
{
    s_tick.rendering = nullptr;
    // Asked at every paint of a panel at rest: only a running beat is
    // stopped and waited for.
    if (!s_tick.panel.exchange(nullptr) || !s_tick.timer)
        return;
    SetThreadpoolTimer(s_tick.timer, nullptr, 0, 0);
    WaitForThreadpoolTimerCallbacks(s_tick.timer, TRUE);
    // A tick already posted finds nothing to do (OnAnimationTick).
    s_tick.posted = false;
}

void OnAnimationTick()
{
    s_tick.posted = false;
    if (!s_tick.panel.load())
        return;
    // Time-based steps: one more than the window timers give changes no
    // animation's course, only how often it is drawn.
    bool work = Step(s_quickPanelWindow);
    work = Step(s_quickPanelDummy) || work;
    work = Step(s_quickPanelContentWindow) || work;
    // The dummy's icons are drawn in the rendering window, which its own
    // animations do not repaint.
    if (s_tick.rendering && IsWindow(s_tick.rendering))
        QuickPanelRepaintTimerProc(s_tick.rendering);
    // Nothing left to step (a minimised panel gets no paint that would
    // stop the beat): the next paint with icons on their way starts it.
    if (!work)
        StopAnimationTick();
}

} // namespace TessikQuickPanel
