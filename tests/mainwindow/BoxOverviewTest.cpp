// The overview of all boxes: the screen cells and the scaled picture, and
// the real window over real boxes: which boxes it shows, "应用" moving the
// boxes (also one that is a child window of another) and storing them.
#include <gtest/gtest.h>

#include "mainwindow/BoxOverview.h"
#include "tests/box/BoxTestSupport.h"
#include "tests/ui/controls/ControlTestWindow.h"

namespace
{

using namespace BoxOverviewLayout;

TEST(BoxOverviewLayout, CellsFollowTheBoxCentreAndWidenTheBounds)
{
    // Integer halves: a 3 pixel wide box at 1919 has its centre at 1920.
    EXPECT_EQ(CellOf(1919, 0, 3, 10, 1920, 1080), Cell(1, 0));
    EXPECT_EQ(CellOf(1917, 0, 3, 10, 1920, 1080), Cell(0, 0));
    // Left of and above the primary screen the cells count down from -1.
    EXPECT_EQ(CellOf(-400, -300, 300, 200, 1920, 1080), Cell(-1, -1));

    EXPECT_EQ(CellBounds({{0, 0}}, 1920, 1080).maxX, 1920);
    const Bounds wide = CellBounds({{0, 0}, {1, 0}, {-1, 1}}, 1920, 1080);
    EXPECT_EQ(wide.minX, -1920);
    EXPECT_EQ(wide.minY, 0);
    EXPECT_EQ(wide.maxX, 3840);
    EXPECT_EQ(wide.maxY, 2160);
}

TEST(BoxOverviewLayout, PictureFitsTheWindowAndMapsBackToTheScreen)
{
    const Bounds one = CellBounds({{0, 0}}, 1920, 1080);
    const Fit fit = FitBounds(one, 800, 600, Fit{});
    // Width decides: (800 - 100) / 1920; centred in the space above the buttons.
    EXPECT_DOUBLE_EQ(fit.scale, 700.0 / 1920);
    EXPECT_DOUBLE_EQ(fit.offX, 50);
    EXPECT_DOUBLE_EQ(fit.offY, (470 - 1080 * fit.scale) / 2 + 50);
    // A second screen to the right shrinks the picture.
    const Fit two = FitBounds(CellBounds({{0, 0}, {1, 0}}, 1920, 1080), 800, 600, Fit{});
    EXPECT_LT(two.scale, fit.scale);

    const Rect picture = ToPicture({960, 540, 384, 216}, one, fit);
    EXPECT_EQ(picture.x, 400);
    EXPECT_EQ(picture.w, 140);
    const Rect screen = ToScreen(picture, one, fit);
    EXPECT_NEAR(screen.x, 960, 3);
    EXPECT_NEAR(screen.y, 540, 3);
    EXPECT_NEAR(screen.w, 384, 3);
    // Empty bounds keep the previous fit instead of dividing by zero.
    EXPECT_DOUBLE_EQ(FitBounds({0, 0, 0, 0}, 800, 600, fit).scale, fit.scale);
}

class BoxOverviewWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ControlTestWindow::PrepareGraphics());
        boxes = CreateTestBoxes(store, {false, false, false});
        ASSERT_EQ(boxes.size(), 3u);
        // A box shown inside the quick panel has no place of its own.
        s_boxRuntimes[boxes[2]].IsIntegrated = true;
        OpenBoxOverview();
        ASSERT_NE(BoxOverviewWindow(), nullptr);
        PaintNow(BoxOverviewWindow());
    }
    void TearDown() override
    {
        if (BoxOverviewWindow())
            DestroyWindow(BoxOverviewWindow());
        for (const auto& box : boxes)
            RetireBoxWindow(box);
        if (parent)
            DestroyWindow(parent);
        PumpMessages(10);
    }
    std::shared_ptr<BoxOverviewItem> ItemOf(const BoxWindowPtr& box)
    {
        for (const auto& item : s_boxOverviewItems)
            if (item->box == box)
                return item;
        return nullptr;
    }
    int Stored(const std::wstring& id, const wchar_t* key)
    {
        KelmStorage reread;
        reread.Load(store.File(L"DesktopContainer.kelm"));
        return reread[L"Components"][L"ComID_" + id][key].Get<int>(-1);
    }
    int Stored(const BoxWindowPtr& box, const wchar_t* key) { return Stored(s_boxRuntimes.at(box).id, key); }
    void ClickApply()
    {
        RECT client{};
        GetClientRect(BoxOverviewWindow(), &client);
        const LPARAM at = MAKELPARAM(client.right / 2 + 60, client.bottom - 42);
        SendMessageW(BoxOverviewWindow(), WM_MOUSEMOVE, 0, at);
        SendMessageW(BoxOverviewWindow(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(BoxOverviewWindow(), WM_LBUTTONUP, 0, at);
        PumpMessages(20);
    }

    ScaleGuard scale;
    TempFolder store;
    std::vector<BoxWindowPtr> boxes;
    HWND parent = nullptr;
};

TEST_F(BoxOverviewWindowTest, ApplyMovesAndStoresEveryShownBox)
{
    ASSERT_EQ(s_boxOverviewItems.size(), 2u);
    EXPECT_EQ(ItemOf(boxes[2]), nullptr);
    const auto first = ItemOf(boxes[0]);
    const auto second = ItemOf(boxes[1]);
    ASSERT_TRUE(first && second);
    *first = {boxes[0], 300, 200, 320, 260};
    *second = {boxes[1], 900, 260, 280, 300};

    ClickApply();
    RECT rc{};
    GetWindowRect(boxes[0]->GetHwnd(), &rc);
    EXPECT_EQ(rc.left, 300);
    EXPECT_EQ(rc.top, 200);
    EXPECT_EQ(rc.right - rc.left, 320);
    EXPECT_EQ(rc.bottom - rc.top, 260);
    EXPECT_EQ(Stored(boxes[0], L"x"), 300);
    EXPECT_EQ(Stored(boxes[0], L"cy"), 260);
    EXPECT_EQ(Stored(boxes[1], L"x"), 900);
    EXPECT_EQ(Stored(boxes[1], L"cx"), 280);
    // The overview stays open for further changes.
    EXPECT_NE(BoxOverviewWindow(), nullptr);
}

TEST_F(BoxOverviewWindowTest, ABoxInsideAnotherWindowLandsOnItsScreenPlace)
{
    // Boxes embedded in the desktop are child windows of it.
    parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 150, 120, 1000, 700, nullptr, nullptr, nullptr,
                             nullptr);
    ASSERT_NE(parent, nullptr);
    HWND box = boxes[0]->GetHwnd();
    SetWindowLongPtrW(box, GWL_STYLE, (GetWindowLongPtrW(box, GWL_STYLE) & ~WS_POPUP) | WS_CHILD);
    SetParent(box, parent);
    *ItemOf(boxes[0]) = {boxes[0], 400, 300, 320, 260};
    // A box gone from the registry since the overview opened is left alone.
    const std::wstring goneId = s_boxRuntimes.at(boxes[1]).id;
    const int storedBefore = Stored(goneId, L"x");
    *ItemOf(boxes[1]) = {boxes[1], 700, 300, 280, 300};
    RetireBoxWindow(boxes[1]);

    ApplyBoxOverviewLayout();
    RECT rc{};
    GetWindowRect(box, &rc);
    EXPECT_EQ(rc.left, 400);
    EXPECT_EQ(rc.top, 300);
    EXPECT_EQ(Stored(boxes[0], L"x"), 400);
    EXPECT_EQ(Stored(boxes[0], L"y"), 300);
    EXPECT_EQ(Stored(goneId, L"x"), storedBefore);
}

TEST_F(BoxOverviewWindowTest, AFoldedBoxKeepsTheHeightItUnfoldsTo)
{
    s_boxRuntimes.at(boxes[0]).isMinimized = true;
    s_desktopContainerStore[L"Components"][L"ComID_" + s_boxRuntimes.at(boxes[0]).id][L"cy"] = 300;
    *ItemOf(boxes[0]) = {boxes[0], 500, 200, 320, 40};

    ApplyBoxOverviewLayout();
    EXPECT_EQ(Stored(boxes[0], L"x"), 500);
    EXPECT_EQ(Stored(boxes[0], L"y"), 200);
    EXPECT_EQ(Stored(boxes[0], L"cx"), 320);
    EXPECT_EQ(Stored(boxes[0], L"cy"), 300);
}

} // namespace
