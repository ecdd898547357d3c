// The settings page's scroll range and bar, the texts its rows show for
// stored values, and the wording of "清除日志" by its result.
#include <gtest/gtest.h>

#include "app/Backup.h"
#include "mainwindow/SettingsPage.h"

TEST(SettingsScroll, RangeAndBarFollowTheClientHeight)
{
    EXPECT_FLOAT_EQ(SettingsLayout::MaxScroll(600), 1350);
    EXPECT_FLOAT_EQ(SettingsLayout::MaxScroll(1950), 0);
    EXPECT_FALSE(SettingsLayout::ScrollBarAt(1950, 0).shown);

    const auto top = SettingsLayout::ScrollBarAt(600, 0);
    ASSERT_TRUE(top.shown);
    EXPECT_FLOAT_EQ(top.height, 600.0f / 1900 * 600);
    EXPECT_FLOAT_EQ(top.y, 50);
    const auto bottom = SettingsLayout::ScrollBarAt(600, 1350);
    EXPECT_FLOAT_EQ(bottom.y + bottom.height, 600 - 4);
    EXPECT_FLOAT_EQ(SettingsLayout::ScrollBarAt(100, 0).height, 20); // never thinner than 20
}

TEST(SettingsRows, ValuesOutsideTheChoicesShowTheLastText)
{
    EXPECT_STREQ(LogModeText(0), L"不记录日志");
    EXPECT_STREQ(LogModeText(1), L"自动清除两天前的日志");
    EXPECT_STREQ(LogModeText(7), L"从不自动清除日志");
    EXPECT_STREQ(GroupAlgorithmText(3), L"优化(BETA)");
    EXPECT_STREQ(CompatLayerModeText(0), L"PaintDesktop");
    EXPECT_STREQ(CompatLayerModeText(5), L"静态获取");
    EXPECT_STREQ(CompatLayerBlurText(1), L"毛玻璃");
    EXPECT_STREQ(CompatLayerBlurText(-1), L"亚力克");
}

TEST(ClearLogsMessage, SaysWhatHappened)
{
    EXPECT_EQ(ClearLogsMessage({true, 3, 0, false}), L"所有日志已被成功清除。");
    // The open log of this start is kept: not "all cleared".
    EXPECT_NE(ClearLogsMessage({true, 3, 0, true}), L"所有日志已被成功清除。");
    EXPECT_NE(ClearLogsMessage({true, 2, 1, false}).find(L"无法删除"), std::wstring::npos);
    EXPECT_NE(ClearLogsMessage({false, 0, 0, false}), L"所有日志已被成功清除。");
}

TEST(SettingsRows, TheBoxFolderShowsWithSingleSeparators)
{
    // As reloaded from the store (separators doubled) and as first written.
    EXPECT_EQ(ContainerDirLine(L"Z:\\\\.tessik\\\\user_storage\\\\u_3fa9c1"),
              L"默认收纳文件夹： Z:\\.tessik\\user_storage\\u_3fa9c1");
    EXPECT_EQ(ContainerDirLine(L"Z:\\.tessik\\user_storage\\u_3fa9c1"),
              L"默认收纳文件夹： Z:\\.tessik\\user_storage\\u_3fa9c1");
    EXPECT_EQ(ContainerDirLine(L"\\\\\\\\nas\\\\boxes"), L"默认收纳文件夹： \\\\nas\\boxes");
    EXPECT_EQ(ContainerDirLine(L""), L"默认收纳文件夹： 未设置");
}
