#include <gtest/gtest.h>

#include "app/UserNotice.h"

TEST(UserNotice, EachKindIsToldOnce)
{
    EXPECT_FALSE(WasUserNotified(L"test-kind"));
    NotifyUserOnce(L"test-kind", L"第一次");
    NotifyUserOnce(L"test-kind", L"第二次");
    EXPECT_TRUE(WasUserNotified(L"test-kind"));
    EXPECT_FALSE(WasUserNotified(L"other-kind"));
    // Without an owner window nothing is shown yet, so the test does not
    // block on a message box.
}
