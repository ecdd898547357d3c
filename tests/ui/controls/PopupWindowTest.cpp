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
#include "box/fileops/SameNameQuestion.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/NewEdit.h"
#include "ui/controls/NewPopupSelection.h"
#include "ui/controls/NewTip2.h"
#include "ui/core/KelmWindow.h"

namespace
{

constexpr wchar_t kEditClass[] = L"Kelm.concept.Edit.Class";
constexpr wchar_t kTipClass[] = L"Kelm.concept.Tip2.Class";
constexpr wchar_t kSelectionClass[] = L"Kelm.concept.PopupSel.Class";

// What the test thread's message loops have taken from their queue, seen
// by a hook on that thread: the driver's markers and the paints. The
// driver waits on these instead of for fixed times, so a busy machine only
// makes the tests slower.
std::atomic<int> s_markersTaken{0};
std::atomic<int> s_paintsTaken{0};
UINT MarkerMessage()
{
    static const UINT message = RegisterWindowMessageW(L"Tessik.Test.PopupMarker");
    return message;
}
LRESULT CALLBACK WatchTakenMessages(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message == MarkerMessage())
            ++s_markersTaken;
        else if (msg->message == WM_PAINT)
            ++s_paintsTaken;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Polls the condition for at most ten seconds.
bool WaitFor(const std::function<bool()>& condition)
{
    const ULONGLONG end = GetTickCount64() + 10000;
    while (!condition()) {
        if (GetTickCount64() > end)
            return false;
        Sleep(5);
    }
    return true;
}

// Returns once the window's loop has handled everything posted to it so
// far and has painted what that invalidated. Nothing is invalidated from
// here: painting stays the window's own business.
void Settle(HWND window)
{
    auto passMarker = [window] {
        const int target = s_markersTaken + 1;
        PostMessageW(window, MarkerMessage(), 0, 0);
        WaitFor([&] { return s_markersTaken >= target || !IsWindow(window); });
    };
    passMarker();
    passMarker(); // a message taken with the first marker has been handled
    if (IsWindow(window) && GetUpdateRect(window, nullptr, FALSE)) {
        const int paints = s_paintsTaken;
        WaitFor([&] { return s_paintsTaken > paints || !IsWindow(window); });
        passMarker(); // the paint has ended
    }
}

// The drop-in and zoom-in effects end at full opacity in their final place.
bool WaitUntilOpaque(HWND window)
{
    return WaitFor([window] {
        BYTE alpha = 0;
        DWORD flags = 0;
        return !IsWindow(window) ||
               (GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) && (flags & LWA_ALPHA) && alpha == 255);
    });
}

// A nested call on the test thread, as a timer or a hotkey would make it
// while a popup's loop runs. It runs once the driver has seen the popup
// settle (s_nestedArmed), however long the popup took to open.
std::function<void()> s_nested;
std::atomic<bool> s_nestedArmed{false};
void CALLBACK NestedTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!s_nestedArmed)
        return;
    KillTimer(nullptr, id);
    if (s_nested)
        s_nested();
}
UINT_PTR s_nestedTimer = 0;
void RunNestedSoon(std::function<void()> call)
{
    s_nested = std::move(call);
    s_nestedArmed = false;
    s_nestedTimer = SetTimer(nullptr, 0, 20, &NestedTimerProc);
}

// Plays the user's part from a second thread: waits (bounded) for the
// popup and for its drop-in to end, runs the steps, and when the popup is
// still up afterwards closes it, so a missed click fails the test rather
// than hang it.
class PopupDriver
{
public:
    PopupDriver(const wchar_t* className, std::function<void(HWND)> steps)
        : thread_([this, className, steps = std::move(steps)] {
              HWND popup = nullptr;
              if (!WaitFor([&] { return (popup = FindWindowW(className, nullptr)) != nullptr; }))
                  return;
              WaitUntilOpaque(popup);
              Settle(popup);
              GetWindowRect(popup, &rect);
              found = true;
              survivedDropIn = IsWindow(popup) != FALSE;
              s_nestedArmed = true;
              steps(popup);
              // Hiding a window costs Wine about two seconds per window
              // (the popup and its shadow) on a display without a window
              // manager.
              if (!WaitFor([&] { return !IsWindow(popup); })) {
                  leftOpen = true;
                  // As if another window had been activated: every popup
                  // closes then.
                  PostMessageW(popup, WM_ACTIVATE, WA_INACTIVE, 0);
                  PostMessageW(popup, WM_CLOSE, 0, 0);
              }
          })
    {
    }
    ~PopupDriver() { Join(); }
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    std::atomic<bool> found{false};
    std::atomic<bool> survivedDropIn{false};
    std::atomic<bool> leftOpen{false};
    RECT rect{};

private:
    std::thread thread_;
};

// Mouse over a client point, press and release, as the window would see it.
void Click(HWND popup, int x, int y)
{
    POINT screen{x, y};
    ClientToScreen(popup, &screen);
    SetCursorPos(screen.x, screen.y);
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageW(popup, WM_MOUSEMOVE, 0, at);
    Settle(popup);
    PostMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, at);
    Settle(popup);
    PostMessageW(popup, WM_LBUTTONUP, 0, at);
}

void Key(HWND popup, UINT key)
{
    PostMessageW(popup, WM_KEYDOWN, key, 1);
    PostMessageW(popup, WM_KEYUP, key, 0xC0000001);
}

void Type(HWND popup, const std::wstring& text)
{
    for (wchar_t c : text)
        PostMessageW(popup, WM_CHAR, c, 1);
    Settle(popup);
}

// The OK and cancel buttons of all three popups, centred on their faces.
POINT OkPoint(const RECT& r)
{
    return {r.right - r.left - 60, r.bottom - r.top - 40};
}
POINT CancelPoint(const RECT& r)
{
    return {r.right - r.left - 155, r.bottom - r.top - 40};
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

// The display tells Wine of focus changes late, the more so on a busy
// machine; a late one for the owner would deactivate (and so close) the
// next popup. Waits (bounded) until the owner has been the active window
// for a while, as seen while pumping those notifications.
void WaitForSteadyFocus(HWND owner)
{
    if (GetForegroundWindow() != owner)
        SetForegroundWindow(owner);
    const ULONGLONG end = GetTickCount64() + 5000;
    ULONGLONG steadySince = GetTickCount64();
    while (GetTickCount64() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetForegroundWindow() != owner || GetActiveWindow() != owner) {
            SetForegroundWindow(owner);
            steadySince = GetTickCount64();
        } else if (GetTickCount64() - steadySince >= 300) {
            return;
        }
        Sleep(5);
    }
}

class PopupWindowTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!ControlTestWindow::PrepareGraphics())
            return;
        owner = new ControlTestWindow(300, 150, 1000, 400);
        // Let the display's focus events for the owner (and for windows of
        // earlier tests) arrive now: a late one would activate the owner
        // under the first input box, which closes on deactivation.
        SetForegroundWindow(owner->hwnd);
        PumpMessages(500);
        // On a busy machine they can come later still: open throwaway input
        // boxes until one stays up through its drop-in (bounded).
        HHOOK watch = SetWindowsHookExW(WH_GETMESSAGE, WatchTakenMessages, nullptr, GetCurrentThreadId());
        for (int attempt = 0; attempt < 5; ++attempt) {
            PopupDriver warmUp(kEditClass, [](HWND popup) {
                RECT r;
                GetWindowRect(popup, &r);
                const POINT at = CancelPoint(r);
                Click(popup, at.x, at.y);
            });
            NewEdit::KelmCreateEdit(owner->hwnd, L"");
            warmUp.Join();
            if (warmUp.survivedDropIn)
                break;
        }
        UnhookWindowsHookEx(watch);
    }
    static void TearDownTestSuite()
    {
        delete owner;
        owner = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(owner, nullptr);
        watch = SetWindowsHookExW(WH_GETMESSAGE, WatchTakenMessages, nullptr, GetCurrentThreadId());
        ASSERT_NE(watch, nullptr);
        WaitForSteadyFocus(Owner());
        // Far from every popup: a real pointer over one would send it
        // moves and leaves the test did not ask for.
        SetCursorPos(1590, 990);
        PumpMessages(20);
    }
    void TearDown() override
    {
        EXPECT_EQ(FindWindowW(kEditClass, nullptr), nullptr);
        EXPECT_EQ(FindWindowW(kTipClass, nullptr), nullptr);
        EXPECT_EQ(FindWindowW(kSelectionClass, nullptr), nullptr);
        if (s_nestedTimer)
            KillTimer(nullptr, s_nestedTimer);
        s_nestedTimer = 0;
        s_nested = nullptr;
        PumpMessages(20);
        UnhookWindowsHookEx(watch);
    }
    HHOOK watch = nullptr;
    HWND Owner() const { return owner->hwnd; }
    static inline ControlTestWindow* owner = nullptr;
};

// ---------------------------------------------------------------------------
// Input box
// ---------------------------------------------------------------------------

TEST_F(PopupWindowTest, InputBoxOpensCentredBelowTheOwnersTopAndEnterGivesTheText)
{
    // The first box of the suite can still be closed by a focus change the
    // display reports late on a busy machine; such an attempt (the box gave
    // nothing) is made again, at most three times in all.
    for (int attempt = 1;; ++attempt) {
        PopupDriver driver(kEditClass, [](HWND popup) {
            Type(popup, L"盒子1");
            Key(popup, VK_RETURN);
        });
        NewEdit::KelmCreateEdit(Owner(), L"新的");
        driver.Join();
        ASSERT_TRUE(driver.found);
        if (s_editResult == L"bvn!NULL" && attempt < 3) {
            WaitForSteadyFocus(Owner());
            continue;
        }
        EXPECT_FALSE(driver.leftOpen);
        EXPECT_EQ(s_editResult, L"新的盒子1");
        // An owner 1000 wide at (300, 150): 600 by 160, centred, 60 below its top.
        EXPECT_EQ(driver.rect.left, 500);
        EXPECT_EQ(driver.rect.top, 210);
        EXPECT_EQ(driver.rect.right - driver.rect.left, 600);
        EXPECT_EQ(driver.rect.bottom - driver.rect.top, 160);
        break;
    }
}

TEST_F(PopupWindowTest, InputBoxEscapeAndCancelGiveNullAndOkOnAnEmptyFieldTheEmptyText)
{
    PopupDriver escape(kEditClass, [](HWND popup) {
        Type(popup, L"old");
        Key(popup, VK_ESCAPE);
    });
    NewEdit::KelmCreateEdit(Owner(), L"");
    escape.Join();
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
        WaitFor([&] { return nestedDone.load(); }); // after the nested call
        Key(popup, VK_RETURN);
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
