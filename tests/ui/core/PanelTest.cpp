// Event routing of the panel, scaled hit tests, grid placement and options.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/core/D2DBrevinPanel.h"
#include "ui/core/DpiScale.h"
#include "ui/core/HitTest.h"
#include "ui/core/KelmOption.h"
#include "tests/ui/core/RecordingControl.h"

using namespace Brevin;

namespace
{

struct ScaleGuard {
    double saved = DpiScale;
    explicit ScaleGuard(double s) { DpiScale = s; }
    ~ScaleGuard() { DpiScale = saved; }
};

TEST(Panel, TopmostControlFirstAndMinusOneLetsRoutingGoOn)
{
    ScaleGuard scale(1.0);
    std::vector<std::string> log;
    D2DBrevinPanel panel;
    panel.Init(nullptr, nullptr);
    auto below = std::make_shared<RecordingControl>("below", &log, 0);
    auto above = std::make_shared<RecordingControl>("above", &log, kNotHandled);
    below->SetRect(0, 0, 50, 50);
    above->SetRect(10, 10, 50, 50);
    panel.AddControl(below);
    panel.AddControl(above);
    EXPECT_EQ(panel.DispatchMouseEvent({20, 20}, KELM_LBUTTON_DOWN), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"above:0", "below:0"}));
    log.clear();
    EXPECT_EQ(panel.DispatchMouseEvent({55, 55}, KELM_MOUSE_MOVE), kNotHandled); // only "above" is hit
    EXPECT_EQ(log, (std::vector<std::string>{"above:4"}));
    EXPECT_EQ(panel.DispatchMouseEvent({200, 200}, KELM_MOUSE_MOVE), kNotHandled);
}

TEST(Panel, FocusRulesOnReleaseLeaveAndKeys)
{
    ScaleGuard scale(1.0);
    std::vector<std::string> log;
    D2DBrevinPanel panel;
    panel.Init(nullptr, nullptr);
    auto a = std::make_shared<RecordingControl>("a", &log, kNotHandled);
    auto b = std::make_shared<RecordingControl>("b", &log, 0);
    a->SetRect(0, 0, 10, 10);
    b->SetRect(100, 100, 10, 10);
    panel.AddControl(a);
    panel.AddControl(b);
    a->SetFocus(true);
    a->pressed = true;
    panel.DispatchMouseEvent({5, 5}, KELM_LBUTTON_UP);
    EXPECT_TRUE(a->focused);
    EXPECT_FALSE(a->pressed);
    panel.DispatchMouseEvent({5, 5}, KELM_MOUSE_LEAVE);
    EXPECT_TRUE(a->focused);
    // A key down goes to the focused control even far from the cursor, and
    // its -1 is returned without asking anyone else.
    log.clear();
    EXPECT_EQ(panel.DispatchKeyEvent({105, 105}, KELM_KEY_DOWN, 'A'), kNotHandled);
    EXPECT_EQ(log, (std::vector<std::string>{"a:key8"}));
    log.clear();
    EXPECT_EQ(panel.DispatchKeyEvent({105, 105}, KELM_KEY_UP, 'A'), 0); // key up: by position
    EXPECT_EQ(log, (std::vector<std::string>{"b:key9"}));
    panel.DispatchMouseEvent({50, 50}, KELM_LBUTTON_UP);
    EXPECT_FALSE(a->focused);
    a->capturing = true;
    a->SetFocus(true);
    panel.DispatchMouseEvent({50, 50}, KELM_MOUSE_LEAVE);
    EXPECT_FALSE(a->focused);
}

TEST(Panel, DispatchSurvivesAHandlerThatRebuildsThePanel)
{
    std::vector<std::string> log;
    D2DBrevinPanel panel;
    panel.Init(nullptr, nullptr);
    auto first = std::make_shared<RecordingControl>("first", &log, kNotHandled);
    auto second = std::make_shared<RecordingControl>("second", &log, kNotHandled);
    first->SetRect(0, 0, 10, 10);
    second->SetRect(0, 0, 10, 10);
    // Like a modal loop that repaints: the list is emptied mid-dispatch.
    second->onEvent = [&] { panel.Init(nullptr, nullptr); };
    panel.AddControl(first);
    panel.AddControl(std::move(second));
    EXPECT_EQ(panel.DispatchMouseEvent({1, 1}, KELM_LBUTTON_DOWN), kNotHandled);
    EXPECT_EQ(log, (std::vector<std::string>{"second:0", "first:0"}));
}

TEST(Panel, DropFilesUseTheOffsetAndCopiesOfThePaths)
{
    std::vector<std::string> log;
    D2DBrevinPanel panel;
    panel.Init(nullptr, nullptr);
    panel.offsetX = 100;
    auto target = std::make_shared<RecordingControl>("t", &log, 0);
    target->SetRect(0, 0, 10, 10);
    panel.AddControl(target);
    EXPECT_EQ(panel.DispatchDropFiles({5, 5}, KELM_DROP_FILES, {L"a"}), kNotHandled);
    EXPECT_EQ(panel.DispatchDropFiles({105, 5}, KELM_DROP_FILES, {L"a", L"b"}), 0);
    EXPECT_EQ(target->lastPaths, (std::vector<std::wstring>{L"a", L"b"}));
}

TEST(HitTest, ScaledRectangleExcludesItsFarEdge)
{
    ScaleGuard scale(1.5);
    const POINT inside{15, 15}, lastIn{44, 44}, out{45, 45}, before{14, 20};
    EXPECT_TRUE(HitTestScaled(&inside, 10, 10, 20, 20));
    EXPECT_TRUE(HitTestScaled(&lastIn, 10, 10, 20, 20));
    EXPECT_FALSE(HitTestScaled(&out, 10, 10, 20, 20));
    EXPECT_FALSE(HitTestScaled(&before, 10, 10, 20, 20));
    RECT pixels;
    HitTestScaledRect(&inside, 10, 10, 20, 20, &pixels);
    EXPECT_EQ(pixels.right, 45);
}

TEST(Panel, GridPlacementWrapsRows)
{
    // Grid placement reads the client width of the panel's window.
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 330, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    D2DBrevinPanel panel;
    panel.Init(window, nullptr);
    panel.layoutMode = 1;
    panel.cellWidth = 100;
    panel.cellHeight = 50;
    panel.gap = 10;
    std::vector<std::string> log;
    for (int i = 0; i < 4; ++i)
        panel.AddControl(std::make_shared<RecordingControl>("c", &log, 0));
    const kelmRect fourth = panel.controls[3]->GetRect();
    EXPECT_EQ(fourth.x, 0);
    EXPECT_EQ(fourth.y, 60);
    EXPECT_EQ(panel.controls[2]->GetRect().x, 220);
    DestroyWindow(window);
}

TEST(KelmOption, CopiesWholeTreesAndDefaultsSubmenuState)
{
    KelmOption empty(L"sub", std::vector<KelmOption>{});
    EXPECT_EQ(empty.state, 1);
    EXPECT_TRUE(empty.children.empty());
    std::vector<KelmOption> source{KelmOption(
        L"root",
        std::vector<KelmOption>{KelmOption(L"mid", std::vector<KelmOption>{KelmOption(L"leaf", nullptr, 2)})})};
    std::vector<KelmOption> copy = source;
    copy[0].children[0].children[0].text = L"changed";
    EXPECT_EQ(source[0].children[0].children[0].text, L"leaf");
    EXPECT_EQ(source[0].children[0].children[0].state, 2);
}

} // namespace
