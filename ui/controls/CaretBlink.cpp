#include "ui/controls/CaretBlink.h"

#include "ui/controls/EditPlatform.h"
#include "ui/core/KelmWindow.h"

namespace
{

constexpr double kSwingSeconds = 0.6;

} // namespace

CaretBlink::~CaretBlink()
{
    StopSwing();
}

void CaretBlink::StopSwing()
{
    if (animation_ != -1) {
        if (KelmWindow* owner = EditPlatform::WindowObject(window_))
            owner->StopAnimation(animation_);
    }
    animation_ = -1;
}

void CaretBlink::Start(HWND window, float from, float to, std::function<bool()> stillFocused)
{
    KelmWindow* owner = EditPlatform::WindowObject(window);
    if (!owner)
        return;
    StopSwing();
    stillFocused_ = std::move(stillFocused);
    owner->StartAnimationTimer();
    window_ = window;
    paintedSinceSwing_ = false;
    auto next = [this, window, from, to, alive = std::weak_ptr<char>(life_)]() {
        if (alive.expired() || !stillFocused_ || !stillFocused_())
            return;
        if (paintedSinceSwing_) {
            Start(window, to, from, stillFocused_);
            return;
        }
        animation_ = -1;
        opacity = 0.0f;
    };
    if (!repaintCaret) {
        animation_ = owner->AnimateVariableWithBezier<float>(opacity, from, to, kSwingSeconds, 0.0, 1.11, 0.0, 0.96,
                                                             std::move(next));
        return;
    }
    // No window on the record: the whole window is not repainted at every
    // tick, only the caret's few pixels.
    animation_ = owner->animationManager.AnimateVariableWithBezier<float>(
        nullptr, from, to, kSwingSeconds,
        [this, from, to, alive = std::weak_ptr<char>(life_)](float value) {
            if (alive.expired())
                return;
            opacity = value;
            // The end of a swing that goes on shows for a tick only, and
            // the start of the next is that same end.
            if (value == from || (value == to && GoesOn()))
                return;
            repaintCaret();
        },
        0.0, 1.11, 0.0, 0.96, std::move(next));
    if (changesWhatShows) {
        owner->animationManager.TickOnlyForChange(
            animation_, [this, from, to, alive = std::weak_ptr<char>(life_)](double eased) {
                // The opacity the swing's step would write at that progress.
                return alive.expired() ||
                       changesWhatShows(static_cast<float>(static_cast<double>(to - from) * eased + from));
            });
    }
}

void CaretBlink::Stop()
{
    StopSwing();
    opacity = 0.0f;
}
