// The animated on/off toggle: a rounded track with a round knob sliding from
// left (off) to right (on), its colours blended along the slide, with a
// light hover highlight. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>

#include "ui/core/BrevinControl.h"

class KelmSwitch : public Brevin::BrevinControl
{
public:
    static constexpr int kWidth = 40;

    // Where the knob is drawn for a knob position t (0 off .. 1 on).
    struct KnobRect {
        float x, y, size;
    };
    static KnobRect KnobAt(int x, int y, int w, int h, double t);
    // Each channel off + (on - off) * t, truncated.
    static COLORREF Blend(COLORREF off, COLORREF on, double t);
    // Each channel moved towards white by a fifth of the hover progress.
    static COLORREF Highlight(COLORREF colour, double hover);

    ~KelmSwitch() override;

    // The width is always kWidth. The colour record holds nine COLORREFs:
    // track, border, knob when off (0..2), unused (3..5), and track, border,
    // knob when on (6..8).
    void Set(int x, int y, int w, int h, const COLORREF* colourRecord, std::function<void()> onToggle);
    // Slides the knob to the state without running the toggle callback;
    // nothing at all when the switch is already in that state.
    void SetState(bool on);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    Brevin::kelmRect GetRect() override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* rt);
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmSwitch> self);

    bool IsOn() const { return on_; }
    bool WasOn() const { return wasOn_; }
    double GetPosition() const { return position_; }
    double GetHover() const { return hover_; }

private:
    void SlideTo(double target);
    void Repaint() const;

    int sx_ = 0, sy_ = 0, sw_ = 0, sh_ = 0;
    HWND window_ = nullptr;
    double hover_ = 0.0;
    int hoverAnimation_ = -1;
    bool hoverRising_ = false;
    double position_ = 0.0;
    int positionAnimation_ = -1;
    COLORREF knobOff_ = 0, borderOff_ = 0, trackOff_ = 0, knobOn_ = 0, borderOn_ = 0, trackOn_ = 0;
    std::function<void()> onToggle_;
    bool on_ = false;
    bool wasOn_ = false;
};
