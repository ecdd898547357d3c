// Per-window animations stepped by timer 12, and the one channel through
// which worker threads hand work back to the UI thread (PostCallback).
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <type_traits>
#include <vector>

#include "ui/core/Easing.h"

// The animations' time in seconds: the system's tick count. A test holds
// it to look at a moment between an animation's start and end, however
// slowly its machine runs, and steps it on by hand; released, it follows
// the system again.
class AnimationClock
{
public:
    double Now() const;
    // Stands still at the present reading (a held clock stays where it is).
    void Hold();
    // Moves the clock on; a clock that follows the system is held first.
    void Step(double seconds);
    // Follows the system's tick count again.
    void Release();
    bool IsHeld() const { return held_; }

private:
    bool held_ = false;
    double heldAt_ = 0.0;
};

struct AnimationRecord {
    int id = 0;
    std::function<double(double)> easing;
    std::function<void(double)> step;
    std::function<void()> done;
    double start = 0.0;    // seconds
    double duration = 0.0; // seconds
    bool active = false;   // false = finished or stopped, removed at the next tick
    HWND window = nullptr; // repainted while running and after the end
    // Empty: always repaints. Otherwise asked after every step; false means
    // nobody can see this record now, so its tick repaints nothing.
    std::function<bool()> repaintWhile;
    bool quiet = false; // the last tick skipped this record's repaint
    // Empty: every tick may change what shows. Otherwise asked with an
    // eased progress (which must move one way along the record): whether a
    // step to it would change what shows; until then no tick is needed.
    std::function<bool(double)> changesWhatShows;
};

class AnimationManager
{
public:
    AnimationManager();
    AnimationManager(const AnimationManager&) = delete;
    AnimationManager& operator=(const AnimationManager&) = delete;

    // All operations but PostCallback: UI thread only. New work (an
    // animation or a posted callback) calls the work callback, which starts
    // the window's timer 12; the window stops it once HasWork says no.
    int CreateAnimation(HWND window, double duration, std::function<double(double)> easing,
                        std::function<void(double)> step, std::function<void()> done);
    int AddPauseDelay(HWND window, double duration, std::function<void(double)> step);

    // Writes from + (to - from) * eased progress into var; var must outlive
    // the animation.
    template <typename T>
    int AnimateVariable(HWND window, T& var, std::type_identity_t<T> from, std::type_identity_t<T> to, double duration,
                        std::function<double(double)> easing = {}, std::function<void()> done = {})
    {
        T* target = &var;
        return CreateAnimation(
            window, duration, std::move(easing), [target, from, to](double p) { *target = Lerp<T>(from, to, p); },
            std::move(done));
    }

    template <typename T>
    int AnimateVariable(HWND window, T from, std::type_identity_t<T> to, double duration,
                        std::type_identity_t<std::function<void(T)>> onUpdate,
                        std::function<double(double)> easing = {}, std::function<void()> done = {})
    {
        return CreateAnimation(
            window, duration, std::move(easing),
            [from, to, onUpdate = std::move(onUpdate)](double p) {
                if (onUpdate)
                    onUpdate(Lerp<T>(from, to, p));
            },
            std::move(done));
    }

    template <typename T>
    int AnimateVariableWithBezier(HWND window, T& var, std::type_identity_t<T> from, std::type_identity_t<T> to,
                                  double duration, double x1, double y1, double x2, double y2,
                                  std::function<void()> done = {})
    {
        return AnimateVariable<T>(window, var, from, to, duration, BezierEasing(x1, y1, x2, y2), std::move(done));
    }

    template <typename T>
    int AnimateVariableWithBezier(HWND window, T from, std::type_identity_t<T> to, double duration,
                                  std::type_identity_t<std::function<void(T)>> onUpdate, double x1, double y1,
                                  double x2, double y2, std::function<void()> done = {})
    {
        return AnimateVariable<T>(window, from, to, duration, std::move(onUpdate), BezierEasing(x1, y1, x2, y2),
                                  std::move(done));
    }

    // Any thread. The function runs on the window's thread at the next tick.
    void PostCallback(std::function<void()> callback);

    // The tick (WM_TIMER 12). A stopped record gets no done callback.
    void Update();
    void Stop(int id);
    size_t GetActiveCount() const;
    // True while a record or a posted callback waits for a tick. Any thread.
    bool HasWork();

    // The record with that id repaints its window only while inView answers
    // true: an animation of something scrolled out of sight still runs by
    // the clock but paints nothing. The window gets one repaint once the
    // last record has ended, so whatever settled unseen is drawn then.
    void RepaintOnlyWhile(int id, std::function<bool()> inView);
    // Whether a running record repaints its window on the coming ticks (a
    // window leaves its own hover repaints to such records).
    bool Repaints() const;

    // The record with that id needs a tick only once a step would change
    // what shows (asked with the eased progress; it must move one way) or
    // when it ends: a caret resting between two colour steps lets its
    // window's timer sleep.
    void TickOnlyForChange(int id, std::function<bool(double)> changesWhatShows);
    // Seconds from the clock's present reading until a tick has work: 0
    // when the next tick has (a posted callback, a record that changes at
    // every tick, one created during this tick); the end of the latest
    // record when none has work before it. Asked after a tick.
    double NextWorkIn();

    // Run on new work; PostCallback runs it on the posting thread, and only
    // when the posted list was empty.
    void SetWorkCallback(std::function<void()> onWork);

    // The time every record of this manager runs by.
    AnimationClock& Clock() { return clock_; }

    static std::function<double(double)> BezierEasing(double x1, double y1, double x2, double y2);

private:
    template <typename T> static T Lerp(T from, T to, double p)
    {
        // The difference is taken in T (float for float animations).
        return static_cast<T>(static_cast<double>(to - from) * p + static_cast<double>(from));
    }
    double Now() const;

    std::vector<AnimationRecord> records_;
    // Records created while Update walks records_ wait here, so the walk
    // never sees its vector reallocate.
    std::vector<AnimationRecord> pendingRecords_;
    bool walking_ = false;
    int nextId_ = 1;
    std::mutex mutex_; // guards posted_ only
    std::vector<std::function<void()>> posted_;
    AnimationClock clock_;
    std::function<void()> onWork_;
    // A window whose repaint a quiet record skipped; repainted once when
    // no record is left.
    HWND skippedRepaint_ = nullptr;
};
