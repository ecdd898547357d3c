// The component library's rules: where its selection card opens, the form
// in which a chosen default folder is stored, and the magnet switch, which
// never throws out of its click when the store cannot be written.
#include <gtest/gtest.h>

#include <vector>

#include "app/CommonHelpers.h"
#include "app/HotKeySettings.h"
#include "app/KelmStorage.h"
#include "app/UserNotice.h"
#include "app/TempFolder.h"
#include "mainwindow/ComponentLibrary.h"

namespace
{

TEST(LibraryCardTarget, OpensBesideTheCardAndStaysInsideTheClient)
{
    const struct {
        LibraryRect card;
        int w, h;
        LibraryRect want;
    } cases[] = {
        // Room enough: at the card's left edge, 20 below its top.
        {{310, 128, 300, 200}, 1040, 720, {310, 148, 520, 400}},
        // The right edge would be passed: 540 in from the right.
        {{638, 128, 300, 200}, 1040, 720, {500, 148, 520, 400}},
        // The bottom would be passed: 420 up from the bottom.
        {{310, 356, 300, 200}, 1040, 720, {310, 300, 520, 400}},
        // A client smaller than the card: pinned at the top left.
        {{100, 128, 300, 200}, 460, 330, {0, 0, 520, 400}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LibraryCardTarget(c.card, c.w, c.h), c.want) << c.card[0] << "," << c.card[1];
}

TEST(StoredContainerDir, DoublesBackslashesAndKeepsRootsAndSharesValid)
{
    const struct {
        const wchar_t* chosen;
        const wchar_t* stored;
    } cases[] = {
        {L"D:\\Data", L"D:\\\\Data"},
        {L"D:\\Data\\", L"D:\\\\Data"},
        {L"D:\\Data\\\\", L"D:\\\\Data"},
        // A drive root keeps its backslash: "D:" is drive D's current folder.
        {L"D:\\", L"D:\\\\"},
        {L"\\\\server\\share\\boxes\\", L"\\\\\\\\server\\\\share\\\\boxes"},
    };
    for (const auto& c : cases) {
        const std::wstring stored = StoredContainerDir(c.chosen);
        EXPECT_EQ(stored, c.stored) << c.chosen;
        // Readers collapse the pairs again and get a usable folder.
        EXPECT_EQ(NormalizeStoredPath(stored), NormalizeStoredPath(c.chosen)) << c.chosen;
    }
    EXPECT_EQ(NormalizeStoredPath(StoredContainerDir(L"\\\\server\\share\\")), L"\\\\server\\share");
    EXPECT_EQ(NormalizeStoredPath(StoredContainerDir(L"D:\\")), L"D:\\");
}

class MagnetSwitchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetSettingsMessageSinkForTesting([this](const std::wstring& text) { messages.push_back(text); });
    }
    void TearDown() override { SetSettingsMessageSinkForTesting(nullptr); }

    TempFolder temp;
    std::vector<std::wstring> messages;
};

TEST_F(MagnetSwitchTest, AFailedSaveIsToldAndTheSwitchStillTakesEffect)
{
    s_magnetStore.Load(temp.File(L"gone\\MagnetCom.kelm"));
    EXPECT_NO_THROW(OnMagWinSwitch(true));
    EXPECT_TRUE(s_magnetStore[L"TessikRef"][L"enabled"].Get<bool>(false));
    // The change is kept and retried; the store itself tells what and why.
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(s_magnetStore.HasUnsavedChanges());
    EXPECT_NE(LastNoticeText(L"store-save").find(L"磁力访问窗"), std::wstring::npos);
}

} // namespace
