// The modal popups on screen: the input box, the tip and the choose-one
// popup run their own loops on the test thread, so a second thread finds
// each popup by its class and plays the user's part with posted messages.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/ui/controls/ControlTestWindow.h"
#include "tests/ui/controls/PopupOwnerTest.h"
#include "tests/ui/controls/PopupTestDriver.h"
#include "box/fileops/SameNameQuestion.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/NewEdit.h"
#include "ui/controls/NewPopupSelection.h"
#include "ui/controls/NewTip2.h"
#include "ui/core/KelmWindow.h"

namespace
{

using PopupTest::Click;
using PopupTest::Key;
using PopupTest::PopupDriver;
using PopupTest::RunNestedSoon;
using PopupTest::Settle;
using PopupTest::Type;
using PopupTest::WaitFor;
using PopupTest::WaitUntilOpaque;

constexpr wchar_t kEditClass[] = L"Kelm.concept.Edit.Class";
constexpr wchar_t kTipClass[] = L"Kelm.concept.Tip2.Class";
constexpr wchar_t kSelectionClass[] = L"Kelm.concept.PopupSel.Class";

// The OK and cancel buttons of all three popups, centred on their faces.
POINT OkPoint(const RECT& r)
{
    return {r.right - r.left - 60, r.bottom - r.top - 40};
}
POINT CancelPoint(const RECT& r)
{
    return {r.right - r.left - 155, r.bottom - r.top - 40};
}

// Types, presses a key the input box must leave alone, notes whether the
// box is still open, then clicks a button at the point given.
void TypeKeyThenClick(HWND popup, const std::wstring& text, UINT key, POINT (*button)(const RECT&),
                      std::atomic<bool>& openAfterKey)
{
    Type(popup, text);
    Key(popup, key);
    // Nothing to wait for when the key is rightly ignored: give a wrongly
    // confirming box the time its close would take.
    Sleep(200);
    openAfterKey = IsWindow(popup) != FALSE;
    RECT r;
    GetWindowRect(popup, &r);
    const POINT at = button(r);
    Click(popup, at.x, at.y);
}

// A program's quit request that reached the test thread's queue.
bool TakeQuit(WPARAM& code)
{
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return false;
    code = msg.wParam;
    return true;
}

class PopupWindowTest : public PopupOwnerTest
{
protected:
    static void SetUpTestSuite() { OpenOwner(300, 150, 1000, 400, false); }
    void TearDown() override
    {
        EXPECT_EQ(FindWindowW(kEditClass, nullptr), nullptr);
        EXPECT_EQ(FindWindowW(kTipClass, nullptr), nullptr);
        EXPECT_EQ(FindWindowW(kSelectionClass, nullptr), nullptr);
        PopupOwnerTest::TearDown();
    }
};

// ---------------------------------------------------------------------------
// Input box
// ---------------------------------------------------------------------------

TEST_F(PopupWindowTest, InputBoxOpensCentredBelowTheOwnersTopAndOkGivesTheTextButEnterDoesNot)
{
    std::atomic<bool> openAfterEnter{false};
    PopupDriver driver(kEditClass, [&openAfterEnter](HWND popup) {
        TypeKeyThenClick(popup, L"盒子1", VK_RETURN, &OkPoint, openAfterEnter);
    });
    NewEdit::KelmCreateEdit(Owner(), L"新的");
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_TRUE(openAfterEnter) << "Enter in the edit must not confirm";
    EXPECT_FALSE(driver.leftOpen);
    EXPECT_EQ(s_editResult, L"新的盒子1");
    // An owner 1000 wide at (300, 150): 600 by 160, centred, 60 below its top.
    EXPECT_EQ(driver.rect.left, 500);
    EXPECT_EQ(driver.rect.top, 210);
    EXPECT_EQ(driver.rect.right - driver.rect.left, 600);
    EXPECT_EQ(driver.rect.bottom - driver.rect.top, 160);
}

TEST_F(PopupWindowTest, InputBoxCancelGivesNullEscapeNothingAndOkOnAnEmptyFieldTheEmptyText)
{
    std::atomic<bool> openAfterEscape{false};
    PopupDriver escape(kEditClass, [&openAfterEscape](HWND popup) {
        TypeKeyThenClick(popup, L"old", VK_ESCAPE, &CancelPoint, openAfterEscape);
    });
    NewEdit::KelmCreateEdit(Owner(), L"");
    escape.Join();
    EXPECT_TRUE(openAfterEscape) << "Escape must not close the box";
    EXPECT_FALSE(escape.leftOpen);
    EXPECT_EQ(s_editResult, L"bvn!NULL");

    // Empty, not "bvn!NULL"; and the text typed the time before must not
    // come back in a box opened without an initial text.
    PopupDriver ok(kEditClass, [](HWND popup) {
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = OkPoint(r);
        Click(popup, at.x, at.y);
    });
    NewEdit::KelmCreateEdit(nullptr, nullptr);
    ok.Join();
    EXPECT_FALSE(ok.leftOpen);
    EXPECT_EQ(s_editResult, L"");

    PopupDriver cancel(kEditClass, [](HWND popup) {
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = CancelPoint(r);
        Click(popup, at.x, at.y);
    });
    NewEdit::KelmCreateEdit(Owner(), L"x");
    cancel.Join();
    EXPECT_FALSE(cancel.leftOpen);
    EXPECT_EQ(s_editResult, L"bvn!NULL");
    // The popup ran its buttons' hover and reset the counter on the way
    // out: it must be 0, never below.
    EXPECT_EQ(HoverAnimationCount, 0);
}

// A path wider than the field opens scrolled to its end: what scrolled out
// on the left must not show beside the field, nor over the field's rim.
TEST_F(PopupWindowTest, InputBoxKeepsALongTextInsideItsField)
{
    std::wstring path = L"C:\\";
    while (path.size() < 200)
        path += L"收纳盒Folder\\";
    path.resize(200);
    std::vector<COLORREF> band;
    PopupDriver driver(kEditClass, [&band](HWND popup) {
        // Field rows 26 to 54, from the window's left edge to the inside
        // of the edit (x 30): the surface colour left of the field at 20,
        // its raised face after.
        band = ReadClientPixels(popup, RECT{0, 26, 30, 54});
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = CancelPoint(r);
        Click(popup, at.x, at.y);
    });
    NewEdit::KelmCreateEdit(Owner(), path.c_str());
    driver.Join();
    ASSERT_EQ(band.size(), 30u * 28u);
    int outside = 0;
    for (size_t i = 0; i < band.size(); ++i) {
        const int x = static_cast<int>(i % 30);
        if (x == 20)
            continue; // the field's own antialiased edge
        outside += !Near(band[i], x < 20 ? ThemeAccent.Ref() : ThemeShade30.Ref());
    }
    EXPECT_EQ(outside, 0) << "text drawn outside the field";
}

TEST_F(PopupWindowTest, InputBoxClosesWithNullWhenAnotherWindowIsActivated)
{
    PopupDriver driver(kEditClass, [](HWND) {});
    RunNestedSoon([this] { SetForegroundWindow(Owner()); });
    NewEdit::KelmCreateEdit(Owner(), L"abc");
    driver.Join();
    EXPECT_FALSE(driver.leftOpen);
    EXPECT_EQ(s_editResult, L"bvn!NULL");
}

TEST_F(PopupWindowTest, InputBoxSecondCallWhileOpenGivesThatCallerNull)
{
    std::wstring nestedResult = L"unset";
    HWND nestedPopup = nullptr;
    std::atomic<bool> nestedDone{false};
    RunNestedSoon([&] {
        NewEdit::KelmCreateEdit(Owner(), L"second");
        nestedResult = s_editResult;
        nestedPopup = FindWindowW(kEditClass, nullptr);
        nestedDone = true;
    });
    PopupDriver driver(kEditClass, [&](HWND popup) {
        // After the nested call (bounded).
        const ULONGLONG end = GetTickCount64() + 10000;
        while (!nestedDone && GetTickCount64() < end)
            Sleep(5);
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = OkPoint(r);
        Click(popup, at.x, at.y);
    });
    NewEdit::KelmCreateEdit(Owner(), L"first");
    driver.Join();
    EXPECT_EQ(nestedResult, L"bvn!NULL");
    EXPECT_NE(nestedPopup, nullptr); // the first box stayed open meanwhile
    EXPECT_EQ(s_editResult, L"first");
}

TEST_F(PopupWindowTest, QuitPostedWhileTheInputBoxIsOpenStillEndsTheMainLoop)
{
    const DWORD testThread = GetCurrentThreadId();
    PopupDriver driver(kEditClass, [testThread](HWND) { PostThreadMessageW(testThread, WM_QUIT, 7, 0); });
    NewEdit::KelmCreateEdit(Owner(), L"abc");
    WPARAM code = 0;
    EXPECT_TRUE(TakeQuit(code));
    EXPECT_EQ(code, 7u);
    driver.Join();
    EXPECT_FALSE(driver.leftOpen);
    EXPECT_EQ(s_editResult, L"bvn!NULL");
}

// ---------------------------------------------------------------------------
// Tip
// ---------------------------------------------------------------------------

TEST_F(PopupWindowTest, TipGivesOneForOkAndZeroForCancel)
{
    PopupDriver ok(kTipClass, [](HWND popup) {
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = OkPoint(r);
        Click(popup, at.x, at.y);
    });
    NewTip2::KelmCreateWindow(Owner(), L"确定要删除组件嘛？", L"删除");
    ok.Join();
    EXPECT_FALSE(ok.leftOpen);
    EXPECT_EQ(s_tipResult, 1);
    // 1000 wide owner: 600 by 200, centred, 60 below its top.
    EXPECT_EQ(ok.rect.left, 500);
    EXPECT_EQ(ok.rect.top, 210);
    EXPECT_EQ(ok.rect.right - ok.rect.left, 600);
    EXPECT_EQ(ok.rect.bottom - ok.rect.top, 200);

    PopupDriver cancel(kTipClass, [](HWND popup) {
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = CancelPoint(r);
        Click(popup, at.x, at.y);
    });
    NewTip2::KelmCreateWindow(Owner(), L"本操作可以隐藏单个组件。\n稍后可通过组件可见性快捷键重新显示。", L"隐藏");
    cancel.Join();
    EXPECT_FALSE(cancel.leftOpen);
    EXPECT_EQ(s_tipResult, 0);
    EXPECT_EQ(HoverAnimationCount, 0);
}

TEST_F(PopupWindowTest, QuitPostedWhileTheTipIsOpenStillEndsTheMainLoop)
{
    const DWORD testThread = GetCurrentThreadId();
    PopupDriver driver(kTipClass, [testThread](HWND) { PostThreadMessageW(testThread, WM_QUIT, 9, 0); });
    NewTip2::KelmCreateWindow(Owner(), L"message", L"heading");
    WPARAM code = 0;
    EXPECT_TRUE(TakeQuit(code));
    EXPECT_EQ(code, 9u);
    driver.Join();
    EXPECT_FALSE(driver.leftOpen);
    EXPECT_EQ(s_tipResult, 0);
}

// ---------------------------------------------------------------------------
// Choose-one popup
// ---------------------------------------------------------------------------

struct Choices {
    std::vector<int> ran;
    std::vector<Brevin::KelmOption> Make(int count)
    {
        std::vector<Brevin::KelmOption> options;
        const wchar_t* names[] = {L"创建副本", L"直接覆盖", L"取消"};
        for (int i = 0; i < count; ++i)
            options.emplace_back(
                names[i % 3], [this, i] { ran.push_back(i); }, 1);
        return options;
    }
};

void Wheel(HWND popup, short delta)
{
    PostMessageW(popup, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0);
    Settle(popup); // one step per paint: let it paint before the next notch
}

TEST_F(PopupWindowTest, SelectionWheelWrapsAndOkRunsTheChosenOption)
{
    Choices choices;
    PopupDriver toward(kSelectionClass, [](HWND popup) {
        Wheel(popup, -WHEEL_DELTA); // toward the user on the first: the last
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = OkPoint(r);
        Click(popup, at.x, at.y);
    });
    NewPopupSelection::Create(Owner(), L"选择处理同名文件冲突的操作:", L"解决冲突", choices.Make(3), L"", L"取消");
    toward.Join();
    EXPECT_FALSE(toward.leftOpen);
    EXPECT_EQ(s_selectionOk, 1);
    EXPECT_EQ(s_selectionIndex, 2);
    EXPECT_EQ(choices.ran, std::vector<int>{2});
    EXPECT_EQ(toward.rect.right - toward.rect.left, 600);
    EXPECT_EQ(toward.rect.bottom - toward.rect.top, 260);

    choices.ran.clear();
    PopupDriver away(kSelectionClass, [](HWND popup) {
        Wheel(popup, WHEEL_DELTA);
        Wheel(popup, WHEEL_DELTA);
        Wheel(popup, WHEEL_DELTA); // the last wraps to the first
        Wheel(popup, WHEEL_DELTA);
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = OkPoint(r);
        Click(popup, at.x, at.y);
    });
    NewPopupSelection::Create(Owner(), L"m", L"h", choices.Make(3), L"", L"取消");
    away.Join();
    EXPECT_EQ(s_selectionOk, 1);
    EXPECT_EQ(s_selectionIndex, 1);
    EXPECT_EQ(choices.ran, std::vector<int>{1});
}

// The level-0 menu of this process, whose class ends in a random suffix.
HWND FindMenu()
{
    struct Search {
        HWND found = nullptr;
    } search;
    EnumThreadWindows(
        GetWindowThreadProcessId(FindWindowW(kSelectionClass, nullptr), nullptr),
        [](HWND hwnd, LPARAM data) -> BOOL {
            wchar_t name[128]{};
            GetClassNameW(hwnd, name, 128);
            if (std::wstring(name).rfind(L"Kelm.Menu.Class.0", 0) == 0 && IsWindowVisible(hwnd)) {
                reinterpret_cast<Search*>(data)->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(PopupWindowTest, SelectionCardOpensTheListAndARowBecomesTheChoice)
{
    Choices choices;
    s_selectionRedOk[0] = 1;
    std::atomic<bool> menuFound{false};
    RECT menuRect{};
    PopupDriver driver(kSelectionClass, [&](HWND popup) {
        Click(popup, 100, 135); // the card
        HWND menu = nullptr;
        if (!WaitFor([&] { return (menu = FindMenu()) != nullptr; }))
            return;
        WaitUntilOpaque(menu); // the menu's zoom-in
        Settle(menu);
        GetWindowRect(menu, &menuRect);
        menuFound = true;
        Click(menu, 60, 10 + 40 + 17); // the second row
        WaitFor([] { return FindMenu() == nullptr; });
        Settle(popup);
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = OkPoint(r);
        Click(popup, at.x, at.y);
    });
    NewPopupSelection::Create(Owner(), L"m", L"h", choices.Make(3), L"", L"取消");
    driver.Join();
    ASSERT_TRUE(menuFound);
    // Under the card, as wide as the card (600 - 50).
    EXPECT_EQ(menuRect.left, driver.rect.left + 25);
    EXPECT_EQ(menuRect.top, driver.rect.top + 160);
    EXPECT_EQ(menuRect.right - menuRect.left, 550);
    EXPECT_EQ(s_selectionOk, 1);
    EXPECT_EQ(s_selectionIndex, 1);
    EXPECT_EQ(choices.ran, std::vector<int>{1});
    EXPECT_TRUE(s_selectionRedOk.empty());
}

TEST_F(PopupWindowTest, SelectionCancelRunsNothingAndEmptiesTheRedOkMap)
{
    Choices choices;
    s_selectionRedOk[0] = 1;
    PopupDriver driver(kSelectionClass, [](HWND popup) {
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = CancelPoint(r);
        Click(popup, at.x, at.y);
    });
    NewPopupSelection::Create(Owner(), L"确定要清除所有用户数据吗？\n（此操作不可撤销）", L"清除", choices.Make(1), L"",
                              L"取消");
    driver.Join();
    EXPECT_FALSE(driver.leftOpen);
    EXPECT_EQ(s_selectionOk, 0);
    EXPECT_TRUE(choices.ran.empty());
    EXPECT_TRUE(s_selectionRedOk.empty());
}

TEST_F(PopupWindowTest, SelectionWithoutOptionsOffersAnInertOne)
{
    PopupDriver driver(kSelectionClass, [](HWND popup) {
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = OkPoint(r);
        Click(popup, at.x, at.y);
    });
    NewPopupSelection::Create(nullptr, L"m", L"h", {}, nullptr, L"取消");
    driver.Join();
    EXPECT_EQ(s_selectionOk, 1);
    EXPECT_EQ(s_selectionIndex, 0);
    ASSERT_EQ(s_selectionOptions.size(), 1u);
    EXPECT_EQ(s_selectionOptions[0].text, L"无选项");
}

TEST_F(PopupWindowTest, SelectionRefusesASecondCallAndKeepsTheFirstCallersChoice)
{
    Choices first, second;
    int nestedOk = -1;
    std::atomic<bool> nestedDone{false};
    RunNestedSoon([&] {
        NewPopupSelection::Create(Owner(), L"other", L"other", second.Make(2), L"", L"取消");
        nestedOk = s_selectionOk;
        nestedDone = true;
    });
    PopupDriver driver(kSelectionClass, [&](HWND popup) {
        Wheel(popup, WHEEL_DELTA);                  // the first caller chooses its second option
        WaitFor([&] { return nestedDone.load(); }); // after the nested call
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = OkPoint(r);
        Click(popup, at.x, at.y);
    });
    NewPopupSelection::Create(Owner(), L"m", L"h", first.Make(3), L"", L"取消");
    driver.Join();
    EXPECT_EQ(nestedOk, 0);
    EXPECT_TRUE(second.ran.empty());
    EXPECT_EQ(first.ran, std::vector<int>{1});
    EXPECT_EQ(s_selectionIndex, 1);
}

TEST_F(PopupWindowTest, QuitPostedWhileTheSelectionIsOpenStillEndsTheMainLoop)
{
    Choices choices;
    const DWORD testThread = GetCurrentThreadId();
    PopupDriver driver(kSelectionClass, [testThread](HWND) { PostThreadMessageW(testThread, WM_QUIT, 3, 0); });
    NewPopupSelection::Create(Owner(), L"m", L"h", choices.Make(2), L"", L"取消");
    WPARAM code = 0;
    EXPECT_TRUE(TakeQuit(code));
    EXPECT_EQ(code, 3u);
    driver.Join();
    EXPECT_FALSE(driver.leftOpen);
    EXPECT_EQ(s_selectionOk, 0);
    EXPECT_TRUE(choices.ran.empty());
}

} // namespace

// The same-name question of drops and pastes, answered all three ways.
TEST_F(PopupWindowTest, SameNameQuestionGivesCopyOverwriteOrCancel)
{
    auto answer = [this](std::function<void(HWND)> steps) {
        PopupDriver driver(kSelectionClass, std::move(steps));
        const int result = AskSameNameQuestion(Owner());
        driver.Join();
        EXPECT_TRUE(driver.found);
        EXPECT_FALSE(driver.leftOpen);
        return result;
    };
    auto press = [](HWND popup, bool ok) {
        RECT r;
        GetWindowRect(popup, &r);
        const POINT at = ok ? OkPoint(r) : CancelPoint(r);
        Click(popup, at.x, at.y);
    };
    EXPECT_EQ(answer([&](HWND popup) { press(popup, true); }), 0);
    EXPECT_EQ(answer([&](HWND popup) {
                  Wheel(popup, -WHEEL_DELTA); // on to "直接覆盖"
                  press(popup, true);
              }),
              1);
    EXPECT_EQ(answer([&](HWND popup) { press(popup, false); }), -1);
    EXPECT_TRUE(s_selectionRedOk.empty()) << "the red mark is the question's own";
}
