#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "box/icons/DragPlaceholder.h"
#include "box/icons/KelmIcon.h"
#include "tests/box/icons/IconTestSupport.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

namespace
{

class IconMotionTest : public IconTest
{
protected:
    void SetUp() override
    {
        IconTest::SetUp();
        box = std::make_shared<KelmWindow>();
        box->animationManager.Clock().Hold(); // time moves only when a test advances it
        s_boxRuntimes[box].id = L"m0t10";
        s_boxIconManagers[box].SetOwnBox(box);
    }
    void TearDown() override
    {
        ClearDragPlaceholder();
        IconTest::TearDown();
    }

    KelmIconManager& View() { return s_boxIconManagers[box]; }

    // One paint of the box: layout, animations, positions.
    void Paint(int width = 400)
    {
        View().Layout(width);
        View().UpdateAnimations(box);
        View().ApplyCurrentPositions(static_cast<float>(width), 600.0f);
    }

    void Advance(double seconds, int steps = 20)
    {
        for (int i = 0; i < steps; ++i) {
            box->animationManager.Clock().Step(seconds / steps);
            box->animationManager.Update();
        }
    }

    std::shared_ptr<KelmWindow> box;
};

} // namespace

TEST_F(IconMotionTest, NewRecordsFadeInRowByRowAndSettleOnTheirTargets)
{
    for (int i = 0; i < 12; ++i)
        View().AddRecordForPath(L"C:\\nowhere\\file" + std::to_wstring(i) + L".dat", 0, 0, L"bvn!NULL", false, L"",
                                nullptr, L"bvn!NULL");
    Paint(200);
    const auto& records = View().Records();
    EXPECT_FLOAT_EQ(records[0].appearDelay, 0.0f);
    const float secondRow = records.back().appearDelay;
    EXPECT_GT(secondRow, 0.04f);
    // Right after the start nothing is visible yet and every control exists.
    for (const IconRecord& r : records) {
        ASSERT_TRUE(r.control);
        EXPECT_LT(r.opacity, 0.01f);
    }
    Advance(0.1);
    EXPECT_GT(records[0].opacity, 0.2f);
    EXPECT_LT(records.back().opacity, 0.01f) << "later rows wait their delay";
    Advance(2.0, 100);
    for (const IconRecord& r : records) {
        EXPECT_FLOAT_EQ(r.opacity, 1.0f);
        EXPECT_FLOAT_EQ(r.x, r.targetX);
        EXPECT_FLOAT_EQ(r.y, r.targetY);
        EXPECT_TRUE(r.settled);
        EXPECT_EQ(r.control->x, static_cast<int>(r.x));
    }
}

TEST_F(IconMotionTest, FarMoveOvershootsAndSmallMoveSlidesLinearly)
{
    View().AddRecordForPath(L"C:\\nowhere\\a.dat", 20, 50, L"bvn!NULL", false, L"", nullptr, L"bvn!NULL");
    IconRecord& r = View().Records()[0];
    r.targetX = r.x = 20;
    r.targetY = r.y = 50;
    // Push the record 300 units down by a header row in front of it.
    r.x = r.targetX = 20;
    View().SetPadding(20, 350);
    Paint(400);
    EXPECT_FALSE(View().Records()[0].settled);
    const float target = View().Records()[0].targetY;
    float furthest = 0;
    for (int i = 0; i < 40; ++i) {
        Advance(0.01, 1);
        furthest = std::max(furthest, View().Records()[0].y);
    }
    EXPECT_GT(furthest, target) << "a far move overshoots";
    Advance(0.5);
    EXPECT_FLOAT_EQ(View().Records()[0].y, target);

    View().SetPadding(20, 351);
    Paint(400);
    Advance(0.06, 1);
    EXPECT_NEAR(View().Records()[0].y, target + 0.5f, 0.05f) << "linear slide, half way";
    Advance(0.1);
    EXPECT_FLOAT_EQ(View().Records()[0].y, target + 1.0f);
}

TEST_F(IconMotionTest, RunningMoveFollowsItsRecordWhenIdsShift)
{
    View().AddRecordForPath(L"C:\\nowhere\\a.dat", 20, 50, L"bvn!NULL", false, L"", nullptr, L"bvn!NULL");
    View().Records()[0].targetX = 20;
    View().Records()[0].targetY = 50;
    View().SetPadding(20, 80);
    Paint(400);
    auto moving = View().Records()[0].control;
    // Another record takes id 0 while the move runs.
    View().AddRecordForEntry(0, L"C:\\nowhere\\b.dat", 500, 500, L"bvn!NULL", false, L"", nullptr, true, L"bvn!NULL");
    Advance(1.0);
    IconRecord* moved = View().FindByControl(moving.get());
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->id, 1u);
    EXPECT_FLOAT_EQ(moved->y, 80.0f);
    EXPECT_FLOAT_EQ(View().Records()[0].x, 500.0f) << "the other record is left alone";
    EXPECT_FLOAT_EQ(View().Records()[0].y, 500.0f);
}

TEST_F(IconMotionTest, PlaceholderIsRemovedOnlyFromItsOwnViewAndOnlyWhileNoDragRuns)
{
    KelmIconManager other;
    for (int i = 0; i < 3; ++i) {
        View().AddRecordForPath(L"C:\\nowhere\\v" + std::to_wstring(i), 10, 10, L"bvn!NULL", false, L"", nullptr,
                                L"bvn!NULL");
        other.AddRecordForPath(L"C:\\nowhere\\o" + std::to_wstring(i), 10, 10, L"bvn!NULL", false, L"", nullptr,
                               L"bvn!NULL");
    }
    bool dragging = true;
    s_boxWindowHooks.dragInProgress = [&dragging] { return dragging; };
    SetDragPlaceholder(View(), 1);

    View().ApplyCurrentPositions(400, 600);
    EXPECT_EQ(View().Records().size(), 3u) << "kept while the drag runs";
    dragging = false;
    other.ApplyCurrentPositions(400, 600);
    EXPECT_EQ(other.Records().size(), 3u) << "another view keeps its records";
    EXPECT_EQ(s_dragPlaceholder.index, 1);
    View().ApplyCurrentPositions(400, 600);
    ASSERT_EQ(View().Records().size(), 2u);
    EXPECT_EQ(View().Records()[1].path, L"C:\\nowhere\\v2");
    EXPECT_EQ(s_dragPlaceholder.index, -2);

    // The drag code already took its placeholder out: the real record that
    // now has that id stays.
    SetDragPlaceholder(View(), 0);
    View().RemoveById(0);
    View().AddRecordForEntry(0, L"C:\\nowhere\\real", 10, 10, L"bvn!NULL", false, L"", nullptr, true, L"bvn!NULL");
    View().ApplyCurrentPositions(400, 600);
    EXPECT_EQ(View().Records().size(), 2u);
    EXPECT_EQ(View().Records()[0].path, L"C:\\nowhere\\real");
    EXPECT_EQ(s_dragPlaceholder.index, -2);
}

TEST_F(IconMotionTest, LabelsAreShortenedAndSelectionDimsTheOthers)
{
    View().AddRecordForPath(L"C:\\nowhere\\abcdefghijklmnopqrst", 10, 10, L"bvn!NULL", false, L"", nullptr,
                            L"bvn!NULL");
    View().AddRecordForPath(L"C:\\nowhere\\b", 10, 10, L"bvn!NULL", false, L"", nullptr, L"bvn!NULL");
    BoxRuntime& runtime = s_boxRuntimes[box];
    runtime.multiSelect = true;
    runtime.selection = {1};
    Paint(400);
    EXPECT_EQ(View().Records()[0].control->Label(), L"abcdefgh...");
    EXPECT_TRUE(View().Records()[0].control->dimmed);
    EXPECT_FALSE(View().Records()[0].control->selected);
    EXPECT_TRUE(View().Records()[1].control->selected);
    runtime.multiSelect = false;
    Paint(400);
    EXPECT_FALSE(View().Records()[0].control->dimmed);
    EXPECT_FALSE(View().Records()[1].control->selected);
}

TEST_F(IconMotionTest, RowsOutOfSightStandInPlaceAtOnceAndTheTickEndsWithTheRowsInView)
{
    // A real window 300 pixels high at scale 1: rows far below it are out
    // of sight.
    const double savedScale = DpiScale;
    DpiScale = 1.0;
    box->Set(0, 0, 200, 300, L"Kelm.Test.MotionBox", L"");
    box->style = WS_POPUP;
    box->instanceProbe = false;
    box->showCommand = SW_SHOWNOACTIVATE; // leaves other test programs' popups active
    ASSERT_EQ(box->Create(), 1);
    HWND window = box->GetHwnd();
    auto dirty = [window] {
        RECT rc;
        return GetUpdateRect(window, &rc, FALSE) != 0;
    };
    for (int i = 0; i < 150; ++i)
        View().AddRecordForPath(L"C:\\nowhere\\file" + std::to_wstring(i) + L".dat", 0, 0, L"bvn!NULL", false, L"",
                                nullptr, L"bvn!NULL");
    Paint(200);
    const IconRecord& last = View().Records().back();
    EXPECT_FLOAT_EQ(last.opacity, 1.0f) << "a row out of sight waits for nothing";
    EXPECT_FLOAT_EQ(last.y, last.targetY);
    EXPECT_TRUE(last.settled);
    EXPECT_LT(View().Records().front().opacity, 0.01f) << "the first row fades in";

    ValidateRect(window, nullptr);
    Advance(0.05, 5);
    EXPECT_TRUE(dirty()) << "the first rows are in view";

    // The rows in view and near it keep their stagger (a few rows at 0.05 s)
    // and their 0.35 s appear; then nothing is left to tick.
    Advance(1.5, 150);
    EXPECT_EQ(box->animationManager.GetActiveCount(), 0u);
    EXPECT_FALSE(box->animationManager.HasWork());
    for (const IconRecord& r : View().Records()) {
        EXPECT_FLOAT_EQ(r.opacity, 1.0f);
        EXPECT_FLOAT_EQ(r.y, r.targetY);
        EXPECT_TRUE(r.settled);
    }
    DestroyWindow(window);
    DpiScale = savedScale;
}

TEST_F(IconMotionTest, RecordsShiftedOutOfSightTakeTheirPlaceAtOnceWithoutControls)
{
    // A box 300 pixels high holding many settled records, most far below
    // its view: records put in at the top shift every one of them.
    const double savedScale = DpiScale;
    DpiScale = 1.0;
    box->Set(0, 0, 200, 300, L"Kelm.Test.MotionBox", L"");
    box->style = WS_POPUP;
    box->instanceProbe = false;
    box->showCommand = SW_SHOWNOACTIVATE;
    ASSERT_EQ(box->Create(), 1);
    for (int i = 0; i < 300; ++i)
        View().AddRecordForPath(L"C:\\nowhere\\held" + std::to_wstring(i) + L".dat", 0, 0, L"bvn!NULL", false, L"",
                                nullptr, L"bvn!NULL");
    Paint(200);
    Advance(2.0, 100);
    ASSERT_EQ(box->animationManager.GetActiveCount(), 0u);
    EXPECT_FALSE(View().Records().back().control) << "no control for a record nobody sees";

    std::vector<KelmIconManager::NewEntry> entries(20);
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].index = static_cast<int>(i);
        entries[i].path = L"C:\\nowhere\\new" + std::to_wstring(i) + L".dat";
        entries[i].x = 20;
        entries[i].y = 100;
    }
    View().AddRecordsForEntries(std::move(entries));
    Paint(200);
    const IconRecord& last = View().Records().back();
    EXPECT_TRUE(last.settled) << "a move out of sight is not animated";
    EXPECT_FLOAT_EQ(last.x, last.targetX);
    EXPECT_FLOAT_EQ(last.y, last.targetY);
    EXPECT_FALSE(last.control);
    // Only records that start or end near the view move: two animations
    // each, for a few rows, not for every record shifted.
    EXPECT_LT(box->animationManager.GetActiveCount(), 120u);
    Advance(1.0, 50);
    EXPECT_EQ(box->animationManager.GetActiveCount(), 0u);
    for (const IconRecord& r : View().Records()) {
        EXPECT_FLOAT_EQ(r.y, r.targetY);
        EXPECT_TRUE(r.settled);
    }
    DestroyWindow(box->GetHwnd());
    DpiScale = savedScale;
}
