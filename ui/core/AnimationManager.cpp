#include "ui/core/AnimationManager.h"

#include <algorithm>

namespace
{

void InvalidateClient(HWND window)
{
    if (!window || !IsWindow(window))
        return;
    RECT rc;
    GetClientRect(window, &rc);
    InvalidateRect(window, &rc, FALSE);
}

} // namespace

double AnimationClock::Now() const
{
    return held_ ? heldAt_ : static_cast<double>(GetTickCount64()) / 1000.0;
}

void AnimationClock::Hold()
{
    if (!held_)
        heldAt_ = Now();
    held_ = true;
}

void AnimationClock::Step(double seconds)
{
    Hold();
    heldAt_ += seconds;
}

void AnimationClock::Release()
{
    held_ = false;
}

AnimationManager::AnimationManager() = default;

double AnimationManager::Now() const
{
    return clock_.Now();
}

std::function<double(double)> AnimationManager::BezierEasing(double x1, double y1, double x2, double y2)
{
    return [x1, y1, x2, y2](double p) { return CubicBezierEase(p, 0.0, 1.0, 1.0, x1, y1, x2, y2); };
}

int AnimationManager::CreateAnimation(HWND window, double duration, std::function<double(double)> easing,
                                      std::function<void(double)> step, std::function<void()> done)
{
    AnimationRecord record;
    record.id = nextId_++;
    record.easing = easing ? std::move(easing) : [](double p) { return p; };
    record.step = std::move(step);
    record.done = std::move(done);
    record.start = Now();
    record.duration = duration;
    record.active = true;
    record.window = window;
    const int id = record.id;
    (walking_ ? pendingRecords_ : records_).push_back(std::move(record));
    if (onWork_)
        onWork_();
    return id;
}

int AnimationManager::AddPauseDelay(HWND window, double duration, std::function<void(double)> step)
{
    return CreateAnimation(window, duration, nullptr, std::move(step), nullptr);
}

void AnimationManager::PostCallback(std::function<void()> callback)
{
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        first = posted_.empty();
        posted_.push_back(std::move(callback));
    }
    // Later posts find the timer already asked for: the tick empties the
    // list, so at most one wake-up per tick.
    if (first && onWork_)
        onWork_();
}

void AnimationManager::SetWorkCallback(std::function<void()> onWork)
{
    onWork_ = std::move(onWork);
}

bool AnimationManager::HasWork()
{
    if (!records_.empty() || !pendingRecords_.empty())
        return true;
    std::lock_guard<std::mutex> lock(mutex_);
    return !posted_.empty();
}

void AnimationManager::RepaintOnlyWhile(int id, std::function<bool()> inView)
{
    for (auto* list : {&records_, &pendingRecords_}) {
        for (auto& record : *list) {
            if (record.id == id) {
                record.repaintWhile = std::move(inView);
                return;
            }
        }
    }
}

bool AnimationManager::Repaints() const
{
    // A record without a window (the caret's blink) repaints nothing whole.
    auto paints = [](const AnimationRecord& r) { return r.active && !r.quiet && r.window; };
    return std::any_of(records_.begin(), records_.end(), paints) ||
           std::any_of(pendingRecords_.begin(), pendingRecords_.end(), paints);
}

void AnimationManager::TickOnlyForChange(int id, std::function<bool(double)> changesWhatShows)
{
    for (auto* list : {&records_, &pendingRecords_}) {
        for (auto& record : *list) {
            if (record.id == id) {
                record.changesWhatShows = std::move(changesWhatShows);
                return;
            }
        }
    }
}

double AnimationManager::NextWorkIn()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!posted_.empty())
            return 0.0;
    }
    if (!pendingRecords_.empty())
        return 0.0;
    const double now = Now();
    double soonest = -1.0;
    for (const AnimationRecord& record : records_) {
        if (!record.active)
            continue;
        if (!record.changesWhatShows || !record.easing || record.duration <= 0.0)
            return 0.0;
        const double end = record.start + record.duration;
        double due = end;
        auto changesAt = [&](double t) {
            return record.changesWhatShows(record.easing((t - record.start) / record.duration));
        };
        if (now >= end) {
            due = now;
        } else if (changesAt(now)) {
            return 0.0;
        } else if (changesAt(end)) {
            // The first moment whose step changes what shows; a millisecond
            // is finer than any timer.
            double settled = now, changed = end;
            while (changed - settled > 0.001) {
                const double middle = (settled + changed) / 2.0;
                (changesAt(middle) ? changed : settled) = middle;
            }
            due = changed;
        }
        const double in = std::max(0.0, due - now);
        if (soonest < 0.0 || in < soonest)
            soonest = in;
        if (soonest == 0.0)
            break;
    }
    return std::max(0.0, soonest);
}

void AnimationManager::Stop(int id)
{
    for (auto* list : {&records_, &pendingRecords_}) {
        for (auto& record : *list) {
            if (record.id == id) {
                record.active = false;
                return;
            }
        }
    }
}

size_t AnimationManager::GetActiveCount() const
{
    return std::count_if(records_.begin(), records_.end(), [](const AnimationRecord& r) { return r.active; }) +
           std::count_if(pendingRecords_.begin(), pendingRecords_.end(),
                         [](const AnimationRecord& r) { return r.active; });
}

void AnimationManager::Update()
{
    const double now = Now();
    struct Completion {
        std::function<void()> done;
        HWND window;
    };
    std::vector<Completion> completions;

    walking_ = true;
    // Index loop: step callbacks may stop records; new ones are queued.
    for (size_t i = 0; i < records_.size(); ++i) {
        AnimationRecord& record = records_[i];
        if (!record.active)
            continue;
        const double elapsed = now - record.start;
        // A zero duration completes at once instead of dividing 0 by 0; a
        // clock set back (a held clock released) never gives a negative
        // progress.
        const double p = record.duration > 0.0 ? std::clamp(elapsed / record.duration, 0.0, 1.0) : 1.0;
        if (record.easing && record.step)
            record.step(record.easing(p));
        if (!records_[i].active) // stopped by its own step: no done callback
            continue;
        const bool seen = !records_[i].repaintWhile || records_[i].repaintWhile();
        AnimationRecord& after = records_[i];
        after.quiet = !seen;
        const HWND repaint = seen ? after.window : nullptr;
        if (!seen && after.window)
            skippedRepaint_ = after.window;
        if (elapsed >= after.duration) {
            after.active = false;
            if (after.done || repaint)
                completions.push_back({after.done, repaint});
        } else if (repaint) {
            completions.push_back({nullptr, repaint});
        }
    }
    walking_ = false;

    records_.erase(std::remove_if(records_.begin(), records_.end(), [](const AnimationRecord& r) { return !r.active; }),
                   records_.end());
    for (auto& record : pendingRecords_)
        records_.push_back(std::move(record));
    pendingRecords_.clear();

    // Each window is invalidated once a tick, after every completion ran,
    // however many of its animations moved: a box whose thousands of icons
    // slide into place would otherwise ask the system thousands of times
    // per tick.
    std::vector<HWND> invalidated;
    auto remember = [&invalidated](HWND window) {
        if (window && std::find(invalidated.begin(), invalidated.end(), window) == invalidated.end())
            invalidated.push_back(window);
    };
    for (auto& completion : completions) {
        if (completion.done)
            completion.done();
        remember(completion.window);
    }
    if (skippedRepaint_ && GetActiveCount() == 0) {
        remember(skippedRepaint_);
        skippedRepaint_ = nullptr;
    }
    for (const HWND window : invalidated)
        InvalidateClient(window);

    std::vector<std::function<void()>> posted;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        posted.swap(posted_);
    }
    for (auto& callback : posted) {
        if (callback)
            callback();
    }
}
