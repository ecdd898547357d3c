// The edit box on a real framework window: focus by click, typing, caret
// keys with and without Shift, whole-character editing, Enter, the real
// clipboard, mouse selection, and an edit freed while its caret blinks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include <vector>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/core/DpiScale.h"
#include "ui/controls/KelmEdit.h"

namespace
{

void SetModifiers(bool shift, bool control)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = keys[VK_LSHIFT] = shift ? 0x80 : 0;
    keys[VK_CONTROL] = keys[VK_LCONTROL] = control ? 0x80 : 0;
    SetKeyboardState(keys);
}

bool PutClipboardText(HWND owner, const std::wstring& text)
{
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    bool ok = false;
    if (memory) {
        auto* target = static_cast<wchar_t*>(GlobalLock(memory));
        std::memcpy(target, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
        ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!ok)
            GlobalFree(memory);
    }
    CloseClipboard();
    return ok;
}

std::wstring ClipboardText(HWND owner)
{
    std::wstring text;
    if (!OpenClipboard(owner))
        return L"<closed>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* source = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = source;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

class KelmEditTest : public ControlWindowTest
{
protected:
    void SetUp() override
    {
        ControlWindowTest::SetUp();
        SetModifiers(false, false);
        edit = std::make_shared<KelmEdit>();
        edit->Set(
            20, 20, 320, 36, L"输入名称", [this](std::wstring text) { entered.push_back(text); }, RGB(255, 255, 255),
            RGB(30, 30, 30), 16);
        test().addControls = [this](Brevin::D2DBrevinPanel* panel) {
            if (edit)
                panel->AddControl(edit);
        };
        test().PaintOnce();
    }
    void TearDown() override
    {
        SetModifiers(false, false);
        ControlWindowTest::TearDown();
    }
    // Clicks the edit (it takes the keyboard on release).
    void Focus()
    {
        test().Click(300, 38);
        ASSERT_TRUE(edit->focused);
    }
    void Key(UINT vk, bool shift = false, bool control = false)
    {
        SetModifiers(shift, control);
        PostMessageW(test().hwnd, WM_KEYDOWN, vk, 1);
        PumpMessages(20);
        SetModifiers(false, false);
    }
    void Type(const std::wstring& units)
    {
        for (wchar_t unit : units)
            PostMessageW(test().hwnd, WM_CHAR, unit, 1);
        PumpMessages(30);
    }
    void ExpectState(int anchor, int end, int caret)
    {
        EXPECT_EQ(edit->GetAnchor(), anchor);
        EXPECT_EQ(edit->GetSelectionEnd(), end);
        EXPECT_EQ(edit->GetCaret(), caret);
    }

    std::shared_ptr<KelmEdit> edit;
    std::vector<std::wstring> entered;
};

TEST_F(KelmEditTest, ClickFocusesAndTypingReplacesTheSelection)
{
    EXPECT_FALSE(edit->focused);
    Focus();
    Type(L"abc\r\x01 收纳");
    EXPECT_EQ(edit->GetText(), L"abc 收纳"); // control characters are not typed
    ExpectState(6, 6, 6);
    Key(VK_HOME, true); // Shift+Home selects back to the start
    ExpectState(6, 0, 0);
    Type(L"新");
    EXPECT_EQ(edit->GetText(), L"新");
    Key(VK_RETURN);
    ASSERT_EQ(entered.size(), 1u);
    EXPECT_EQ(entered[0], L"新");

    edit->SetText(L"");
    Key(VK_RETURN); // run even for an empty text
    ASSERT_EQ(entered.size(), 2u);
    EXPECT_EQ(entered[1], L"");

    // A release elsewhere in the window takes the keyboard away.
    test().Click(200, 200);
    EXPECT_FALSE(edit->focused);
}

TEST_F(KelmEditTest, ShiftArrowsExtendAndPlainArrowsMoveFromTheCaret)
{
    Focus();
    edit->SetText(L"hello");
    Key(VK_LEFT, true);
    ExpectState(5, 4, 4);
    Key(VK_LEFT);
    ExpectState(3, 3, 3);
    Key(VK_RIGHT, true);
    Key(VK_RIGHT, true);
    Key(VK_RIGHT, true); // stops at the end
    ExpectState(3, 5, 5);
    Key(VK_BACK); // only the selection goes
    EXPECT_EQ(edit->GetText(), L"hel");
    ExpectState(3, 3, 3);
    Key(VK_HOME);
    Key(VK_DELETE);
    EXPECT_EQ(edit->GetText(), L"el");
    Key(VK_END);
    ExpectState(2, 2, 2);
}

TEST_F(KelmEditTest, SurrogatePairsMoveAndDeleteAsOneCharacter)
{
    Focus();
    edit->SetText(L"x\xD83D\xDE00y\xD83D\xDC4D");
    Key(VK_LEFT);
    ExpectState(4, 4, 4);
    Key(VK_LEFT);
    ExpectState(3, 3, 3);
    Key(VK_LEFT);
    ExpectState(1, 1, 1);
    Key(VK_RIGHT, true);
    ExpectState(1, 3, 3);
    Key(VK_END);
    Key(VK_BACK);
    EXPECT_EQ(edit->GetText(), L"x\xD83D\xDE00y");
    Key(VK_HOME);
    Key(VK_RIGHT);
    Key(VK_DELETE);
    EXPECT_EQ(edit->GetText(), L"xy");
    // A pair typed as two character messages arrives whole.
    Type(L"\xD83D\xDE00");
    EXPECT_EQ(edit->GetText(), L"x\xD83D\xDE00y");
    ExpectState(3, 3, 3);
}

TEST_F(KelmEditTest, ControlKeysUseTheRealClipboard)
{
    Focus();
    ASSERT_TRUE(PutClipboardText(test().hwnd, L"keep"));
    edit->SetText(L"盒子 一");
    Key('C', false, true); // nothing selected: the clipboard stays
    EXPECT_EQ(ClipboardText(test().hwnd), L"keep");
    Key('X', false, true);
    EXPECT_EQ(edit->GetText(), L"盒子 一");

    Key('A', false, true);
    ExpectState(0, 4, 4);
    Key('C', false, true);
    EXPECT_EQ(ClipboardText(test().hwnd), L"盒子 一");
    Key('X', false, true);
    EXPECT_EQ(edit->GetText(), L"");
    EXPECT_EQ(ClipboardText(test().hwnd), L"盒子 一");
    Key('V', false, true);
    Key('V', false, true);
    EXPECT_EQ(edit->GetText(), L"盒子 一盒子 一");
    ExpectState(8, 8, 8);
    Key('A'); // without Ctrl it is typed
    EXPECT_EQ(edit->GetText(), L"盒子 一盒子 一a");

    // Line breaks and tabs from another program do not enter one line;
    // the pasted text replaces the selection.
    ASSERT_TRUE(PutClipboardText(test().hwnd, L"第一行\r\n第二行\t完"));
    Key(VK_LEFT, true);
    Key('V', false, true);
    EXPECT_EQ(edit->GetText(), L"盒子 一盒子 一第一行第二行完");
}

TEST_F(KelmEditTest, MouseSelectsByBoundariesNearestToThePointer)
{
    edit->SetText(L"abcdef");
    const float origin = 20 + 10; // the text starts 10 in
    const float boundary2 = edit->MeasureTextWidth(L"ab", 16);
    ASSERT_GT(boundary2, 5.0f);
    test().Click(static_cast<int>(origin + boundary2 + 0.5f), 38);
    ExpectState(2, 2, 2);
    EXPECT_TRUE(edit->focused);
    test().Click(22, 38); // the far left
    ExpectState(0, 0, 0);

    // Drag from the start past the end.
    test().Post(WM_LBUTTONDOWN, 22, 38, MK_LBUTTON);
    test().Post(WM_MOUSEMOVE, 200, 38, MK_LBUTTON);
    test().Post(WM_MOUSEMOVE, 330, 40, MK_LBUTTON);
    test().Post(WM_LBUTTONUP, 330, 40);
    PumpMessages(50);
    ExpectState(0, 6, 6);
    EXPECT_TRUE(edit->focused);
}

TEST_F(KelmEditTest, CaretBlinksWhileFocusedAndAFreedEditLeavesNothingBehind)
{
    Focus();
    EXPECT_TRUE(test().PumpUntil([&] { return edit->GetCaretOpacity() < 0.5f; }, 3000));
    EXPECT_TRUE(test().PumpUntil([&] { return edit->GetCaretOpacity() > 0.5f; }, 3000));
    // Off the window and freed: the blink must not write into it.
    edit.reset();
    test().PaintOnce();
    PumpMessages(650); // longer than one blink
}

TEST_F(KelmEditTest, BlinkRestsWhileTheEditIsNotPaintedAndResumesWhenItIs)
{
    Focus();
    auto blinking = [this] { return test().window->animationManager.GetActiveCount() > 0; };
    ASSERT_TRUE(blinking());
    test().addControls = nullptr; // off screen: no longer painted
    test().PaintOnce();
    EXPECT_TRUE(test().PumpUntil([&] { return !blinking(); }, 3000)) << "the blink went on off screen";
    EXPECT_TRUE(edit->focused) << "resting keeps the keyboard";
    test().addControls = [this](Brevin::D2DBrevinPanel* panel) { panel->AddControl(edit); };
    test().PaintOnce();
    EXPECT_TRUE(blinking()) << "drawn again with the keyboard, it blinks again";
}

// A field left with text costs nothing: the window losing the keyboard
// (another window activated) stops the blink at once, and the keyboard's
// return starts it again in the same edit, text and caret kept. Another
// edit taking the keyboard stops the first one's blink as well.
TEST_F(KelmEditTest, LosingTheKeyboardStopsTheBlinkAndItsReturnStartsItAgain)
{
    const HWND hwnd = test().hwnd;
    auto blinks = [this] { return test().window->animationManager.GetActiveCount(); };
    auto takeKeyboard = [](HWND window) {
        SetForegroundWindow(window);
        SetFocus(window);
        return PumpUntil([window] { return GetFocus() == window; }, 5000);
    };
    ASSERT_TRUE(takeKeyboard(hwnd));
    Focus();
    Type(L"fi");
    ASSERT_EQ(blinks(), 1u);

    HWND away = CreateWindowExW(0, L"STATIC", L"away", WS_POPUP | WS_VISIBLE, 1100, 450, 80, 80, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(takeKeyboard(away));
    EXPECT_TRUE(PumpUntil([&] { return blinks() == 0u; }, 3000)) << "the caret blinks in a window without the keyboard";
    EXPECT_FALSE(edit->focused);
    EXPECT_EQ(edit->GetText(), L"fi");

    ASSERT_TRUE(takeKeyboard(hwnd));
    EXPECT_TRUE(PumpUntil([&] { return blinks() == 1u; }, 3000)) << "the keyboard came back, the caret did not";
    EXPECT_TRUE(edit->focused);
    Type(L"x");
    EXPECT_EQ(edit->GetText(), L"fix");
    DestroyWindow(away);

    auto second = std::make_shared<KelmEdit>();
    second->Set(
        20, 150, 320, 36, L"别处", [](std::wstring) {}, RGB(255, 255, 255), RGB(30, 30, 30), 16);
    test().addControls = [this, second](Brevin::D2DBrevinPanel* panel) {
        panel->AddControl(edit);
        panel->AddControl(second);
    };
    test().PaintOnce();
    test().Click(300, 168);
    EXPECT_TRUE(second->focused);
    EXPECT_FALSE(edit->focused);
    EXPECT_EQ(blinks(), 1u) << "the edit that lost the keyboard still blinks";
    second->StopCaretAnimation();
}

// The blink repaints only the caret's pixels: the draw callback runs
// clipped, a control away from the caret is not drawn, and what shows is
// what a full paint of the same moment shows.
TEST_F(KelmEditTest, BlinkRepaintsOnlyTheCaretAndMatchesAFullPaint)
{
    ScaleGuard scale;
    HeldAnimationClock clock(test().window->animationManager); // the swing moves only when the test says
    auto other = std::make_shared<KelmEdit>();
    other->Set(
        20, 150, 320, 36, L"别处", [](std::wstring) {}, RGB(250, 230, 200), RGB(30, 30, 30), 16);
    int otherPaints = 0;
    other->paintHook = [&otherPaints](std::wstring&) { return ++otherPaints, 0; };
    test().addControls = [this, other](Brevin::D2DBrevinPanel* panel) {
        panel->AddControl(other);
        panel->AddControl(edit);
    };
    Focus();
    Type(L"收纳 ab");
    test().PaintOnce();
    const RECT area{0, 0, 360, 200};
    PumpMessages(50);
    const std::vector<COLORREF> before = ReadClientPixels(test().hwnd, area);
    const int paints = test().paints, othersBefore = otherPaints;

    clock.Step(0.3); // half way through the swing: the caret changes
    ASSERT_TRUE(test().PumpUntil([&] { return test().paints > paints; }, 3000));
    EXPECT_EQ(otherPaints, othersBefore) << "a control away from the caret was drawn";
    PumpMessages(50);
    const std::vector<COLORREF> partial = ReadClientPixels(test().hwnd, area);
    EXPECT_NE(partial, before) << "the caret did not change";

    test().PaintOnce(); // the same moment, painted whole
    EXPECT_GT(otherPaints, othersBefore);
    PumpMessages(50);
    const std::vector<COLORREF> full = ReadClientPixels(test().hwnd, area);
    size_t differing = 0;
    for (size_t i = 0; i < full.size(); ++i)
        differing += full[i] != partial[i];
    EXPECT_EQ(differing, 0u);

    edit->StopCaretAnimation();
}

// Each swing of the blink reaches nearly all of its way in its first
// tenth; the rest, too small to see, paints nothing. Its end shows only
// until the swing back's first step a tick later: the end is not painted,
// that step is, and the steps after it no closer than 66 ms apart.
TEST_F(KelmEditTest, BlinkPaintsNoStepTooSmallToSeeNorAnEndTheSwingBackReplaces)
{
    HeldAnimationClock clock(test().window->animationManager);
    Focus(); // a swing from 0 to 1 starts
    PumpMessages(30);
    clock.Step(0.15); // 0.96 of the way
    ASSERT_TRUE(test().PumpUntil([&] { return edit->GetCaretOpacity() > 0.9f; }, 3000));
    ASSERT_TRUE(test().PumpUntil([&] { return GetUpdateRect(test().hwnd, nullptr, FALSE) == 0; }, 3000));
    int paints = test().paints;

    clock.Step(0.2); // 0.985: another colour, not another look
    ASSERT_TRUE(test().PumpUntil([&] { return edit->GetCaretOpacity() > 0.98f; }, 3000));
    // Many ticks (and screen refreshes) long: a paint would have come.
    EXPECT_FALSE(test().PumpUntil([&] { return test().paints > paints; }, 300))
        << "a step too small to see was painted";

    clock.Step(0.3); // the swing's end, where the swing back starts
    EXPECT_FALSE(test().PumpUntil([&] { return test().paints > paints; }, 300))
        << "the end of a swing that goes on was painted";

    clock.Step(0.01); // the swing back's first step: most of its way
    ASSERT_TRUE(test().PumpUntil([&] { return test().paints > paints; }, 3000))
        << "the swing back's first step was not painted";
    EXPECT_LT(edit->GetCaretOpacity(), 0.5f);
    ASSERT_TRUE(test().PumpUntil([&] { return GetUpdateRect(test().hwnd, nullptr, FALSE) == 0; }, 3000));
    paints = test().paints;

    clock.Step(0.04); // a step that shows, 40 ms after the last paint
    EXPECT_FALSE(test().PumpUntil([&] { return test().paints > paints; }, 300))
        << "a caret step came sooner than 66 ms after the last";
    clock.Step(0.03); // 70 ms after it
    EXPECT_TRUE(test().PumpUntil([&] { return test().paints > paints; }, 3000))
        << "the step 70 ms after the last paint was not painted";
    edit->StopCaretAnimation();
}

// The caret is 18 high and its top lies 8 above the box's middle (38 for
// this edit at y 20, 36 high): rows 30 to 47, never 29.
TEST_F(KelmEditTest, CaretTopLiesEightAboveTheMiddle)
{
    Focus();
    Type(L"x");
    const int caretX = 20 + 10 + static_cast<int>(edit->MeasureTextWidth(L"x", 16) + 0.5f);
    int darkest29 = 255, darkest30 = 255, darkest47 = 255, darkest48 = 255;
    auto darkness = [this](int x, int y) {
        int least = 255;
        for (int dx = -1; dx <= 1; ++dx)
            least = std::min<int>(least, GetGValue(ReadClientPixel(test().hwnd, x + dx, y)));
        return least;
    };
    // Watched for more than one blink, and on (bounded) until both caret
    // rows have shown: a busy display shows the blink late.
    const ULONGLONG start = GetTickCount64();
    while (GetTickCount64() - start < 1500 ||
           ((darkest30 >= 128 || darkest47 >= 128) && GetTickCount64() - start < 6000)) {
        PumpMessages(10);
        darkest29 = std::min(darkest29, darkness(caretX, 29));
        darkest30 = std::min(darkest30, darkness(caretX, 30));
        darkest47 = std::min(darkest47, darkness(caretX, 47));
        darkest48 = std::min(darkest48, darkness(caretX, 48));
    }
    EXPECT_LT(darkest30, 128) << "top row of the caret";
    EXPECT_LT(darkest47, 128) << "bottom row of the caret";
    EXPECT_GT(darkest29, 200) << "above the caret";
    EXPECT_GT(darkest48, 200) << "below the caret";
}

TEST(KelmEditAlone, SetEmptiesAndSetLayoutKeepsTheText)
{
    KelmEdit edit;
    edit.Set(1, 2, 100, 30, nullptr, nullptr, 0, 0, 14);
    EXPECT_EQ(edit.placeholder, L"");
    edit.SetText(L"abc");
    EXPECT_EQ(edit.GetCaret(), 3);
    edit.SetLayout(5, 6, 70, 20, RGB(1, 2, 3), RGB(4, 5, 6));
    EXPECT_EQ(edit.GetText(), L"abc");
    const auto rect = edit.GetRect();
    EXPECT_EQ(rect.x, 5);
    EXPECT_EQ(rect.w, 70);
    edit.Set(1, 2, 100, 30, L"p", nullptr, 0, 0, 14);
    EXPECT_EQ(edit.GetText(), L"");
    EXPECT_EQ(edit.GetCaret(), 0);
}

} // namespace
