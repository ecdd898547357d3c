// Easing curves, animation ticks and callbacks posted from other threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "ui/core/AnimationManager.h"

namespace
{

TEST(Easing, BezierAndBounceEndpoints)
{
    for (double t : {0.1, 0.25, 0.5, 0.9})
        EXPECT_NEAR(CubicBezierEase(t, 0, 1, 1, 0, 0, 1, 1), t, 2e-6);
    EXPECT_EQ(CubicBezierEase(2.0, 3, 7, 2.0, 0.42, 0, 0.58, 1), 7.0);
    EXPECT_EQ(CubicBezierEase(0.0, 3, 7, 2.0, 0.42, 0, 0.58, 1), 3.0);
    EXPECT_EQ(CubicBezierEase(0.5, 3, 7, 0.0, 0.42, 0, 0.58, 1), 7.0);
    // Symmetric ease-in-out passes through the middle.
    EXPECT_NEAR(CubicBezierEase(0.5, 0, 1, 1, 0.42, 0, 0.58, 1), 0.5, 1e-5);
    // Overshooting curves go above the target on the way.
    EXPECT_GT(CubicBezierEase(0.6, 0, 1, 1, 0.34, 1.56, 0.64, 1), 1.0);
    EXPECT_DOUBLE_EQ(EaseOutBounce(1.0, 2.0, 3.0, 1.0), 5.0);
    EXPECT_DOUBLE_EQ(EaseOutBounce(0.0, 2.0, 3.0, 1.0), 2.0);
}

TEST(AnimationManager, HalfTimeThenOneFinalStepThenDone)
{
    AnimationManager manager;
    manager.Clock().Hold();
    std::vector<double> steps;
    std::vector<std::string> order;
    manager.CreateAnimation(
        nullptr, 0.3, nullptr, [&](double p) { steps.push_back(p), order.push_back("step"); },
        [&] { order.push_back("done"); });
    manager.Clock().Step(0.15);
    manager.Update();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_NEAR(steps[0], 0.5, 1e-9);
    EXPECT_EQ(manager.GetActiveCount(), 1u);
    manager.Clock().Step(0.2);
    manager.Update();
    manager.Clock().Step(0.2);
    manager.Update();
    EXPECT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps.back(), 1.0);
    EXPECT_EQ(order, (std::vector<std::string>{"step", "step", "done"}));
    EXPECT_EQ(manager.GetActiveCount(), 0u);
}

TEST(AnimationClock, AHeldClockMovesOnlyWhenSteppedAndFollowsTheSystemOnceReleased)
{
    AnimationManager manager;
    std::vector<double> steps;
    bool done = false;
    manager.Clock().Hold();
    manager.CreateAnimation(
        nullptr, 0.0625, nullptr, [&](double p) { steps.push_back(p); }, [&] { done = true; });
    Sleep(120); // longer than the animation: a held clock does not see it
    manager.Update();
    manager.Clock().Hold(); // holding again keeps the moment
    manager.Update();
    manager.Clock().Step(0.03125);
    manager.Update();
    EXPECT_EQ(steps, (std::vector<double>{0.0, 0.0, 0.5}));
    EXPECT_FALSE(done);

    manager.Clock().Release(); // the system's time went on meanwhile
    manager.Update();
    EXPECT_TRUE(done);
    EXPECT_EQ(steps.back(), 1.0);

    // Released after a step ahead of the system, a clock never hands out
    // a progress below the start.
    manager.Clock().Step(30.0);
    manager.CreateAnimation(
        nullptr, 1.0, nullptr, [&](double p) { steps.push_back(p); }, nullptr);
    manager.Clock().Release();
    manager.Update();
    EXPECT_EQ(steps.back(), 0.0);
}

TEST(AnimationManager, VariablesStopAndLaterAnimationWins)
{
    AnimationManager manager;
    manager.Clock().Hold();
    float value = 0;
    manager.AnimateVariable(nullptr, value, 0.0f, 10.0f, 1.0);
    manager.AnimateVariable(nullptr, value, 100.0f, 200.0f, 1.0);
    double fromCallback = 0;
    bool doneRan = false;
    const int stopped = manager.AnimateVariable<double>(
        nullptr, 0.0, 4.0, 1.0, [&](double v) { fromCallback = v; }, nullptr, [&] { doneRan = true; });
    manager.Clock().Step(0.5);
    manager.Update();
    EXPECT_FLOAT_EQ(value, 150.0f);
    EXPECT_DOUBLE_EQ(fromCallback, 2.0);
    manager.Stop(stopped);
    manager.Stop(999); // unknown ids change nothing
    manager.Clock().Step(1.0);
    manager.Update();
    EXPECT_DOUBLE_EQ(fromCallback, 2.0);
    EXPECT_FALSE(doneRan);
    double eased = 0;
    manager.AnimateVariableWithBezier(nullptr, eased, 0.0, 1.0, 1.0, 0.42, 0, 0.58, 1);
    manager.Clock().Step(0.5);
    manager.Update();
    EXPECT_NEAR(eased, 0.5, 1e-5);
}

TEST(AnimationManager, CallbacksMayAddAnimationsDuringTheTick)
{
    AnimationManager manager;
    manager.Clock().Hold();
    int innerSteps = 0, added = 0;
    // Many additions from a step would reallocate the walked list.
    manager.CreateAnimation(
        nullptr, 1.0, nullptr,
        [&](double) {
            for (int i = 0; i < 64; ++i, ++added)
                manager.CreateAnimation(
                    nullptr, 1.0, nullptr, [&](double) { ++innerSteps; }, nullptr);
        },
        [&] {
            manager.CreateAnimation(
                nullptr, 1.0, nullptr, [&](double) { ++innerSteps; }, nullptr);
        });
    manager.Clock().Step(0.5);
    manager.Update();
    EXPECT_EQ(innerSteps, 0); // new records wait for the next tick
    EXPECT_EQ(manager.GetActiveCount(), 65u);
    manager.Clock().Step(0.6);
    manager.Update(); // the outer one ends: 64 more from its step, one from its done
    EXPECT_EQ(innerSteps, 64);
    EXPECT_EQ(manager.GetActiveCount(), 64u + 64u + 1u);
}

TEST(AnimationManager, PostedCallbacksRunOnceEachOnTheUpdatingThread)
{
    AnimationManager manager;
    constexpr int kThreads = 8, kPerThread = 500;
    std::vector<int> counts(kThreads * kPerThread, 0);
    const std::thread::id uiThread = std::this_thread::get_id();
    std::atomic<int> wrongThread{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < kPerThread; ++i) {
                manager.PostCallback([&, index = t * kPerThread + i] {
                    if (std::this_thread::get_id() != uiThread)
                        ++wrongThread;
                    ++counts[index];
                });
            }
        });
    }
    go = true;
    for (int i = 0; i < 50; ++i)
        manager.Update(); // ticks while the workers post
    for (auto& thread : threads)
        thread.join();
    manager.Update();
    for (int c : counts)
        ASSERT_EQ(c, 1);
    EXPECT_EQ(wrongThread.load(), 0);
}

TEST(AnimationManager, NewWorkCallsTheWorkCallbackAndHasWorkEndsWithIt)
{
    AnimationManager manager;
    manager.Clock().Hold();
    int wakes = 0;
    manager.SetWorkCallback([&] { ++wakes; });
    EXPECT_FALSE(manager.HasWork());
    manager.PostCallback([] {});
    manager.PostCallback([] {}); // already waiting for a tick
    EXPECT_EQ(wakes, 1);
    EXPECT_TRUE(manager.HasWork());
    manager.Update();
    EXPECT_FALSE(manager.HasWork());

    const int id = manager.CreateAnimation(nullptr, 0.5, nullptr, nullptr, nullptr);
    EXPECT_EQ(wakes, 2);
    manager.Stop(id);
    EXPECT_TRUE(manager.HasWork()); // the stopped record goes at the next tick
    manager.Update();
    EXPECT_FALSE(manager.HasWork());
}

TEST(AnimationManager, RecordsOutOfSightStepButRepaintOnlyOnceTheLastEnds)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 80, 60, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window);
    auto dirty = [window] {
        RECT rc;
        return GetUpdateRect(window, &rc, FALSE) != 0;
    };
    ValidateRect(window, nullptr);
    AnimationManager manager;
    manager.Clock().Hold();
    bool inView = false;
    double value = 0;
    bool done = false;
    const int hidden = manager.AnimateVariable(window, value, 0.0, 1.0, 1.0, nullptr, [&] { done = true; });
    manager.RepaintOnlyWhile(hidden, [&] { return inView; });
    manager.CreateAnimation(window, 0.3, nullptr, nullptr, nullptr); // in view
    EXPECT_TRUE(manager.Repaints());

    manager.Clock().Step(0.2);
    manager.Update(); // the shown one repaints
    EXPECT_TRUE(dirty());
    ValidateRect(window, nullptr);
    manager.Clock().Step(0.2);
    manager.Update(); // the shown one ends (with its last repaint)
    ValidateRect(window, nullptr);
    manager.Clock().Step(0.2);
    manager.Update();
    EXPECT_NEAR(value, 0.6, 1e-9); // still moving by the clock
    EXPECT_FALSE(dirty());
    EXPECT_FALSE(manager.Repaints());
    EXPECT_EQ(manager.GetActiveCount(), 1u);

    inView = true; // scrolled into view: drawn from this tick on
    manager.Clock().Step(0.1);
    manager.Update();
    EXPECT_TRUE(dirty());
    EXPECT_TRUE(manager.Repaints());
    ValidateRect(window, nullptr);

    inView = false;
    manager.Clock().Step(0.5);
    manager.Update();
    EXPECT_TRUE(done);
    EXPECT_EQ(value, 1.0);
    EXPECT_TRUE(dirty()); // once, so what settled unseen is drawn
    DestroyWindow(window);
}

// A record that asks for ticks only when what shows changes lets the
// timer rest until the first moment its step would change it (or its end);
// any record that changes at every tick, or a posted callback, wants the
// next tick.
TEST(AnimationManager, NextWorkWaitsForTheFirstChangeThatShows)
{
    AnimationManager manager;
    manager.Clock().Hold();
    double nextStep = 0.25; // what shows changes once the eased value reaches it
    const int id = manager.CreateAnimation(
        nullptr, 1.0, nullptr, [](double) {}, nullptr); // linear
    manager.TickOnlyForChange(id, [&nextStep](double eased) { return eased >= nextStep; });
    manager.Update();
    EXPECT_NEAR(manager.NextWorkIn(), 0.25, 0.002);
    manager.Clock().Step(0.3);
    EXPECT_EQ(manager.NextWorkIn(), 0.0) << "the change is due now";
    nextStep = 0.5;
    EXPECT_NEAR(manager.NextWorkIn(), 0.2, 0.002);
    nextStep = 2.0; // nothing changes before the end, which still needs its tick
    EXPECT_NEAR(manager.NextWorkIn(), 0.7, 1e-9);

    manager.PostCallback([] {});
    EXPECT_EQ(manager.NextWorkIn(), 0.0);
    manager.Update();
    manager.CreateAnimation(
        nullptr, 1.0, nullptr, [](double) {}, nullptr);
    manager.Update();
    EXPECT_EQ(manager.NextWorkIn(), 0.0) << "a record without the question changes at every tick";
}

TEST(WaitWithMessages, KeepsTheQuitForTheMainLoop)
{
    PostQuitMessage(7);
    WaitWithMessages(500);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

// A window that posts itself a message for each one it handles keeps the
// queue from ever running empty, as a timer due again before a slow paint
// has ended does; the hundredth message signals the awaited event.
struct Flood {
    static inline HANDLE done = nullptr;
    static inline int handled = 0;
    static inline ULONGLONG stopAt = 0;
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != WM_APP)
            return DefWindowProcW(window, message, wParam, lParam);
        if (++handled == 100)
            SetEvent(done);
        if (GetTickCount64() < stopAt)
            PostMessageW(window, WM_APP, 0, 0);
        return 0;
    }
};

TEST(WaitForObjectWithMessages, EndsOnceSignalledThoughMessagesKeepComing)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = Flood::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"WaitFloodTest";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    Flood::done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The flood ends by itself, so a wait that only ends on an empty queue
    // ends too, late.
    Flood::stopAt = GetTickCount64() + 5000;
    PostMessageW(window, WM_APP, 0, 0);
    WaitForObjectWithMessages(Flood::done);
    EXPECT_LT(Flood::handled, 1000);
    Flood::stopAt = 0;
    DestroyWindow(window);
    CloseHandle(Flood::done);
}

} // namespace
