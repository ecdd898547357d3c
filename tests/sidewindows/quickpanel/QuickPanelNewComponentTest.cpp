// The "新建组件" chooser of the open panel: "+" opens the card over the
// panel, a choice makes the box, lists it and closes the card.
#include <vector>

#include "QuickPanelTestSupport.h"
#include "sidewindows/quickpanel/QuickPanelNewComponent.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "tests/box/BoxTestSupport.h"
#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmSelectionCard.h"

using namespace TessikQuickPanel;

namespace
{

class QuickPanelChooserTest : public QuickPanelTest
{
protected:
    void SetUp() override
    {
        QuickPanelTest::SetUp();
        ASSERT_TRUE(ControlTestWindow::PrepareGraphics());
        DpiScale = 1.0;
        s_rememberedRect = {};
        s_separateContent = false;
        SwitchQuickPanel(true);
        ASSERT_TRUE(IsQuickPanelOpen());
        panel = s_quickPanelWindow->GetHwnd();
        PaintNow(panel);
    }
    void TearDown() override
    {
        SwitchQuickPanel(false);
        std::vector<std::shared_ptr<KelmWindow>> boxes;
        for (const auto& [window, runtime] : s_boxRuntimes)
            boxes.push_back(window);
        for (const auto& box : boxes)
            RetireBoxWindow(box);
        s_rememberedRect = {};
        QuickPanelTest::TearDown();
    }
    void Click(int x, int y)
    {
        PostMessageW(panel, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        PostMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageW(panel, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        // The open panel repaints while its content settles: its queue
        // may never run dry.
        PumpWithin(30);
    }
    // The card's blurred paints cost more than a frame under Wine: wait
    // for the state, bounded.
    static bool Until(const std::function<bool()>& condition)
    {
        const ULONGLONG end = GetTickCount64() + 5000;
        while (!condition() && GetTickCount64() < end)
            PumpWithin(10);
        return condition();
    }

    HWND panel = nullptr;
};

TEST_F(QuickPanelChooserTest, PlusOpensTheCardAndAChoiceMakesTheBoxAndClosesIt)
{
    Click(28, 33); // "+" at (20, 25), 16 wide
    ASSERT_TRUE(NewComponentCardOpen());
    KelmSelectionCard& card = *s_newComponentCard;
    EXPECT_EQ(card.title, L"新建组件");
    ASSERT_EQ(card.RowCount(), 3);
    ASSERT_TRUE(Until([&] { return card.Progress() == 1.0; }));
    PaintNow(panel);
    // Out to (20, 25, 400, 300), grown by the three folded second lines.
    const Brevin::kelmRect rc = card.GetRect();
    EXPECT_EQ(rc.x, 20);
    EXPECT_EQ(rc.y, 25);
    EXPECT_EQ(rc.w, 400);
    EXPECT_EQ(rc.h, 300 + 3 * 18);
    const Brevin::kelmRect row = card.RowRect(0);
    EXPECT_EQ(row.y, 25 + 64);

    Click(row.x + row.w / 2, row.y + row.h / 2); // "映射收纳盒"
    EXPECT_TRUE(Until([] { return !NewComponentCardOpen(); }));
    ASSERT_EQ(s_quickPanelRows.size(), 1u);
    const std::wstring id = s_quickPanelRows[0]->id;
    EXPECT_EQ(id.size(), 5u);
    EXPECT_EQ(s_desktopContainerStore[L"Components"][L"ComID_" + id][L"z"].Get<int>(-1), 1);
}

} // namespace
