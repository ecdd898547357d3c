// The invisible receiver and barrier: every mouse event is consumed, files
// arrive only with the drop event, the barrier always starts at x 0.
#include <gtest/gtest.h>

#include "ui/controls/KelmBarrier.h"
#include "ui/controls/KelmReceiver.h"

using namespace Brevin;

TEST(Receiver, HandsDroppedFilesOnOnlyForTheDropEvent)
{
    KelmReceiver receiver;
    std::vector<std::wstring> got;
    int rightClicks = 0;
    receiver.Set(
        0, 40, 292, 360, [&](std::vector<std::wstring> paths) { got = std::move(paths); }, [&] { ++rightClicks; });
    EXPECT_EQ(receiver.OnDropFiles({10, 50}, KELM_MOUSE_MOVE, {L"C:\\a"}), kNotHandled);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(receiver.OnDropFiles({10, 50}, KELM_DROP_FILES, {L"C:\\a", L"C:\\b"}), 0);
    EXPECT_EQ(got, (std::vector<std::wstring>{L"C:\\a", L"C:\\b"}));
    EXPECT_EQ(receiver.AddEvent({10, 50}, KELM_RBUTTON_UP), 0);
    EXPECT_EQ(rightClicks, 1);
    EXPECT_EQ(receiver.GetRect().y, 40);
}

TEST(Receiver, ConsumesEveryEventEvenUnset)
{
    KelmReceiver receiver;
    for (kelmEvent event : {KELM_LBUTTON_DOWN, KELM_LBUTTON_UP, KELM_RBUTTON_UP, KELM_MOUSE_MOVE, KELM_MOUSE_LEAVE})
        EXPECT_EQ(receiver.AddEvent({0, 0}, event), 0) << event;
    EXPECT_EQ(receiver.OnDropFiles({0, 0}, KELM_DROP_FILES, {L"C:\\a"}), 0);
}

TEST(Barrier, StartsAtZeroAndRunsItsCallbackOnPress)
{
    KelmBarrier barrier;
    int presses = 0;
    barrier.Set(200, 20, 300, 40, [&] { ++presses; });
    EXPECT_EQ(barrier.GetRect().x, 0);
    EXPECT_EQ(barrier.GetRect().w, 300);
    EXPECT_EQ(barrier.AddEvent({5, 25}, KELM_LBUTTON_DOWN), 0);
    EXPECT_EQ(barrier.AddEvent({5, 25}, KELM_LBUTTON_UP), 0);
    EXPECT_EQ(barrier.AddEvent({5, 25}, KELM_MOUSE_MOVE), 0);
    EXPECT_EQ(presses, 1);
}
