// The percentage slider (geometry, value from the pointer, callbacks) and
// the animated switch (knob geometry, colours, clicks and SetState).
#include <gtest/gtest.h>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmSlider.h"
#include "ui/controls/KelmSwitch.h"
#include "ui/core/DpiScale.h"

namespace
{

TEST(SliderGeometry, SitsAtTheLeftEdgeWithItsTrackInsetByTen)
{
    KelmSlider slider;
    slider.Set(300, 100, 200, 7, 40, RGB(1, 2, 3), L"caption", [] {});
    EXPECT_EQ(slider.x, 14);
    EXPECT_EQ(slider.y, 90);
    EXPECT_EQ(slider.w, 220);
    EXPECT_EQ(slider.h, 52);
    EXPECT_EQ(slider.GetValue(), 40);
    // -1 keeps the value, anything else is stored as given.
    slider.Set(0, 100, 200, 0, -1, RGB(1, 2, 3), L"caption", [] {});
    EXPECT_EQ(slider.GetValue(), 40);
    slider.Set(0, 100, 200, 0, 130, RGB(1, 2, 3), L"caption", [] {});
    EXPECT_EQ(slider.GetValue(), 130);
}

TEST(SliderGeometry, PointerValuesRunFromTrackStartToTrackEndAndClamp)
{
    struct Case {
        int pixel;
        int rectW;
        double scale;
        int expected;
    };
    // Rectangle x 14, so the track starts at DIP 24.
    const Case cases[] = {
        {24, 220, 1.0, 0},
        {224, 220, 1.0, 100},
        {124, 220, 1.0, 50},
        {16, 220, 1.0, 0},
        {400, 220, 1.0, 100},
        {36, 220, 1.5, 0},
        {336, 220, 1.5, 100},
        {125, 220, 1.0, 50},
        // A slider set with width 0 has no track: no division by zero.
        {24, 20, 1.0, 0},
        {100, 20, 1.5, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KelmSlider::ValueAt(c.pixel, 14, c.rectW, c.scale), c.expected)
            << c.pixel << " at scale " << c.scale << ", width " << c.rectW;
}

TEST(SwitchGeometry, KnobIsInsetAndTravelsAcrossTheTrack)
{
    auto off = KelmSwitch::KnobAt(100, 50, 40, 22, 0.0);
    EXPECT_FLOAT_EQ(off.x, 103.0f);
    EXPECT_FLOAT_EQ(off.y, 53.0f);
    EXPECT_FLOAT_EQ(off.size, 16.0f);
    EXPECT_FLOAT_EQ(KelmSwitch::KnobAt(100, 50, 40, 22, 1.0).x, 121.0f);
    EXPECT_FLOAT_EQ(KelmSwitch::KnobAt(100, 50, 40, 22, 0.5).x, 112.0f);
}

TEST(SwitchColours, BlendAlongTheSlideAndLightenOnHover)
{
    EXPECT_EQ(KelmSwitch::Blend(RGB(0, 100, 200), RGB(100, 0, 201), 0.0), RGB(0, 100, 200));
    EXPECT_EQ(KelmSwitch::Blend(RGB(0, 100, 200), RGB(100, 0, 201), 1.0), RGB(100, 0, 201));
    EXPECT_EQ(KelmSwitch::Blend(RGB(0, 100, 200), RGB(100, 0, 201), 0.5), RGB(50, 50, 200));
    EXPECT_EQ(KelmSwitch::Highlight(0xFB7952, 1.0), RGB(116, 147, 251));
    EXPECT_EQ(KelmSwitch::Highlight(0xFB7952, 0.0), static_cast<COLORREF>(0xFB7952));
}

TEST(SwitchState, SetStateWithoutAWindowJumpsAndNeverRunsTheCallback)
{
    KelmSwitch toggle;
    const COLORREF colours[9] = {};
    int toggles = 0;
    toggle.Set(10, 10, 99, 22, colours, [&] { ++toggles; });
    EXPECT_EQ(toggle.GetRect().w, 40);
    toggle.SetState(true);
    EXPECT_TRUE(toggle.IsOn());
    EXPECT_DOUBLE_EQ(toggle.GetPosition(), 1.0);
    toggle.SetState(true);
    EXPECT_DOUBLE_EQ(toggle.GetPosition(), 1.0);
    EXPECT_EQ(toggles, 0);
}

class SliderSwitchWindow : public ControlWindowTest
{
};

TEST_F(SliderSwitchWindow, PressAndDragSetTheSliderValueThroughTheCallback)
{
    ScaleGuard scale;
    auto slider = std::make_shared<KelmSlider>();
    std::vector<int> seen;
    slider->Set(0, 40, 200, 0, 10, RGB(80, 80, 80), L"不透明度", [&] { seen.push_back(slider->GetValue()); });
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) {
        slider->Set(0, 40, 200, 0, -1, RGB(80, 80, 80), L"不透明度", [&] { seen.push_back(slider->GetValue()); });
        panel->AddControl(slider);
    };
    test().PaintOnce();
    test().Post(WM_MOUSEMOVE, 124, 50);
    test().Post(WM_LBUTTONDOWN, 124, 50, MK_LBUTTON);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 50);
    EXPECT_TRUE(slider->IsDragging());
    test().Post(WM_MOUSEMOVE, 174, 50, MK_LBUTTON);
    EXPECT_EQ(seen.back(), 75);
    test().Post(WM_LBUTTONUP, 174, 50);
    EXPECT_FALSE(slider->IsDragging());
    // The re-set on every paint keeps the chosen value.
    test().PaintOnce();
    EXPECT_EQ(slider->GetValue(), 75);
    // The filled part reaches three quarters of the track.
    EXPECT_TRUE(test().PumpUntil([&] { return !Near(test().Pixel(150, 50), test().Pixel(210, 50), 4); }, 3000));
    test().addControls = nullptr;
}

TEST_F(SliderSwitchWindow, ClickTogglesSlidesTheKnobAndAReClickReversesIt)
{
    ScaleGuard scale;
    auto toggle = std::make_shared<KelmSwitch>();
    const COLORREF colours[9] = {RGB(200, 200, 200), RGB(150, 150, 150), 0xFFFFFF, 0, 0, 0,
                                 0xFB7952,           RGB(150, 150, 150), 0xF4F4F4};
    int toggles = 0;
    toggle->Set(40, 40, 0, 22, colours, [&] { ++toggles; });
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(toggle); };
    test().PaintOnce();
    test().Click(60, 50);
    EXPECT_EQ(toggles, 1);
    EXPECT_TRUE(toggle->IsOn());
    EXPECT_FALSE(toggle->WasOn());
    ASSERT_TRUE(test().PumpUntil([&] { return toggle->GetPosition() >= 1.0; }, 3000));
    // The track shows the "on" colour, lightened by the hover at most.
    COLORREF track = 0;
    EXPECT_TRUE(test().PumpUntil(
        [&] {
            track = test().Pixel(46, 51);
            return GetBValue(track) > 200;
        },
        3000));
    EXPECT_LT(GetRValue(track), 140);

    // A click while the knob moves sends it back from where it is: from the
    // release on, it only moves towards on. (The release alone clicks.)
    HeldAnimationClock clock(test().window->animationManager); // the knob moves only when the test says
    test().Click(60, 50);
    clock.Step(0.05); // a quarter of the slide
    ASSERT_TRUE(test().PumpUntil([&] { return toggle->GetPosition() < 0.95; }, 3000));
    double last = toggle->GetPosition();
    ASSERT_GT(last, 0.0);
    test().Post(WM_LBUTTONUP, 60, 50);
    EXPECT_TRUE(toggle->IsOn());
    EXPECT_EQ(toggles, 3);
    bool monotonic = true;
    for (int i = 0; i < 10; ++i) {
        clock.Step(0.025);
        test().window->animationManager.Update();
        monotonic = monotonic && toggle->GetPosition() >= last - 1e-9;
        last = toggle->GetPosition();
    }
    EXPECT_TRUE(monotonic) << "the knob went back towards off after the reversal";
    EXPECT_DOUBLE_EQ(last, 1.0);
    test().addControls = nullptr;
    test().PaintOnce();
}

} // namespace
