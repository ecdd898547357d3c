#include "ui/core/AnimationManager.h"

#include <algorithm>

AnimationManager::AnimationManager() = default;

double AnimationManager::Now() const
{
    if (clock_)
        return clock_();
    return static_cast<double>(GetTickCount64()) / 1000.0;
}

void AnimationManager::SetClock(std::function<double()> clock)
{
    clock_ = std::move(clock);
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
    return id;
}

int AnimationManager::AddPauseDelay(HWND window, double duration, std::function<void(double)> step)
{
    return CreateAnimation(window, duration, nullptr, std::move(step), nullptr);
}

void AnimationManager::PostCallback(std::function<void()> callback)
{
    std::lock_guard<std::mutex> lock(mutex_);
    posted_.push_back(std::move(callback));
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
        // A zero duration completes at once instead of dividing 0 by 0.
        const double p = record.duration > 0.0 ? std::min(1.0, elapsed / record.duration) : 1.0;
        if (record.easing && record.step)
            record.step(record.easing(p));
        AnimationRecord& after = records_[i];
        if (!after.active) // stopped by its own step: no done callback
            continue;
        if (elapsed >= after.duration) {
            after.active = false;
            if (after.done || after.window)
                completions.push_back({after.done, after.window});
        } else if (after.window) {
            completions.push_back({nullptr, after.window});
        }
    }
    walking_ = false;

    records_.erase(std::remove_if(records_.begin(), records_.end(), [](const AnimationRecord& r) { return !r.active; }),
                   records_.end());
    for (auto& record : pendingRecords_)
        records_.push_back(std::move(record));
    pendingRecords_.clear();

    for (auto& completion : completions) {
        if (completion.done)
            completion.done();
        if (completion.window && IsWindow(completion.window)) {
            RECT rc;
            GetClientRect(completion.window, &rc);
            InvalidateRect(completion.window, &rc, FALSE);
        }
    }

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
