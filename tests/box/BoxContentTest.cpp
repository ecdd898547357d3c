// A real box window painted by its own draw callback: the search row takes
// typed words and shows the names that hold them, closing it takes the
// keyboard away and ends the caret blink, the selection follows the view
// the box shows, a pile at one place drawn as its top record, a job's
// progress step painted as a whole paint would,
// the hints of an empty box, a press cancelled when the
// pointer leaves its icon, and the rubber band kept out of the title band.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BoxTestSupport.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "box/BoxCreation.h"
#include "box/BoxRuntime.h"
#include "box/BoxServices.h"
#include "box/BoxWindowHooks.h"
#include "box/fileops/FileJobMailbox.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileJobs.h"
#include "box/icons/IconActionHooks.h"
#include "box/icons/KelmIcon.h"
#include "box/icons/KelmIconManager.h"
#include "tests/common/WindowTestSupport.h"
#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmEdit.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;

namespace
{

// While the caret blinks the box repaints (with its blurred search row) as
// fast as its timer runs: a loop that waits for an empty queue never ends.
void Pump(DWORD milliseconds)
{
    PumpWithin(milliseconds);
}

class BoxContentTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        DpiScale = 1.0;
        if (!ControlTestWindow::PrepareGraphics())
            return;
        store = new TempFolder();
        TempFolder::WriteBytes(store->File(L"DesktopContainer.kelm"), "");
        s_desktopContainerStore.Load(store->File(L"DesktopContainer.kelm"));
        CreateCom(L"NULL", L"NULL", false, 1);
        for (auto& [window, runtime] : s_boxRuntimes)
            box = window;
        if (box)
            SetWindowPos(box->GetHwnd(), nullptr, 760, 120, 300, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    static void TearDownTestSuite()
    {
        RetireBoxWindow(box);
        box.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(box);
        BoxRuntime& r = Runtime();
        Manager().RemoveAllRecords();
        r.searchActive = false;
        r.searchText.clear();
        r.appliedSearchText.clear();
        r.scrollOffset = 0;
        r.selection.clear();
        r.multiSelect = false;
        r.IsLocked = false;
        r.IsUpwardExpand = false;
        r.isMinimized = false;
        r.bandActive = false;
        if (r.searchEdit) {
            r.searchEdit->StopCaretAnimation();
            r.searchEdit->SetText(L"");
        }
        SetWindowPos(Hwnd(), nullptr, 760, 120, 300, 400, SWP_NOZORDER | SWP_NOACTIVATE);
        Paint();
    }

    static HWND Hwnd() { return box->GetHwnd(); }
    static BoxRuntime& Runtime() { return s_boxRuntimes.at(box); }
    static KelmIconManager& Manager() { return s_boxIconManagers.at(box); }

    static void Paint()
    {
        RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Pump(30);
    }
    template <class F> static bool WaitFor(F condition, DWORD ms)
    {
        const ULONGLONG end = GetTickCount64() + ms;
        while (!condition() && GetTickCount64() < end) {
            Pump(20);
            Paint();
        }
        return condition();
    }

    static void AddFiles(const std::vector<std::wstring>& names)
    {
        for (const std::wstring& name : names)
            Manager().AddRecordForPath(L"C:\\files\\" + name, 0, 0, L"bvn!NULL", false, L"", nullptr, L"bvn!NULL");
        Paint();
    }
    // Names the box shows (a record hidden by the search sits at -100).
    static std::vector<std::wstring> ShownNames()
    {
        std::vector<std::wstring> names;
        for (const IconRecord& record : Manager().Records()) {
            if (record.targetX > -50)
                names.push_back(record.path.substr(record.path.find_last_of(L'\\') + 1));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static void Post(UINT message, int x, int y, WPARAM keys = 0)
    {
        POINT screen{x, y};
        ClientToScreen(Hwnd(), &screen);
        SetCursorPos(screen.x, screen.y);
        PostMessageW(Hwnd(), message, keys, MAKELPARAM(x, y));
        Pump(20);
    }
    static void OpenSearchRowAndFocusTheEdit()
    {
        Runtime().searchActive = true;
        Runtime().scrollOffset = -50;
        Paint();
        // The edit: x 20, y 55, 260 by 35 on a title style 0 box.
        Post(WM_MOUSEMOVE, 100, 72);
        Post(WM_LBUTTONDOWN, 100, 72, MK_LBUTTON);
        Post(WM_LBUTTONUP, 100, 72);
        Paint();
    }

    static std::vector<COLORREF> ClientPixels()
    {
        RECT client{};
        GetClientRect(Hwnd(), &client);
        return ReadClientPixels(Hwnd(), client);
    }
    // Waits for the partial paint after a change to show, then paints the
    // window whole at the same moment: not a pixel may differ.
    static void ExpectTheChangeMatchesAWholePaint(const std::vector<COLORREF>& before, const char* change)
    {
        std::vector<COLORREF> part = before;
        const ULONGLONG end = GetTickCount64() + 3000;
        while (part == before && GetTickCount64() < end) {
            Pump(30);
            part = ClientPixels();
        }
        ASSERT_NE(part, before) << change << " did not show";
        Paint();
        const std::vector<COLORREF> whole = ClientPixels();
        RECT client{};
        GetClientRect(Hwnd(), &client);
        size_t differing = 0;
        LONG l = 9999, t = 9999, r = -1, b = -1;
        for (size_t i = 0; i < whole.size(); ++i) {
            if (whole[i] == part[i])
                continue;
            ++differing;
            const LONG x = static_cast<LONG>(i % client.right), y = static_cast<LONG>(i / client.right);
            l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
        }
        EXPECT_EQ(differing, 0u) << "differing within " << l << "," << t << " - " << r << "," << b;
    }

    static inline TempFolder* store = nullptr;
    static inline BoxWindowPtr box;
};

} // namespace

TEST_F(BoxContentTest, SearchRowTakesTypedWordsAndShowsTheNamesThatHoldThem)
{
    AddFiles({L"report.txt", L"notes.md", L"photo.jpg", L"budget report.xlsx"});
    OpenSearchRowAndFocusTheEdit();
    ASSERT_TRUE(Runtime().searchEdit->focused);
    for (wchar_t c : std::wstring(L"report"))
        PostMessageW(Hwnd(), WM_CHAR, c, 1);
    Pump(50);
    Paint();
    Paint();
    EXPECT_EQ(Runtime().searchEdit->GetText(), L"report");
    EXPECT_EQ(Runtime().searchText, L"report");
    EXPECT_EQ(ShownNames(), (std::vector<std::wstring>{L"budget report.xlsx", L"report.txt"}));

    // A pattern with a wildcard is used as it stands.
    Runtime().searchEdit->SetText(L"*.md");
    Paint();
    EXPECT_EQ(ShownNames(), (std::vector<std::wstring>{L"notes.md"}));
    Runtime().searchEdit->StopCaretAnimation();
}

TEST_F(BoxContentTest, SearchWithAPatternShowsTheMatchesUnderTheSearchRow)
{
    AddFiles({L"report.txt", L"notes.md", L"budget report.xlsx"});
    OpenSearchRowAndFocusTheEdit();
    Runtime().searchEdit->SetText(L"report");
    Paint();
    Paint();
    EXPECT_EQ(Runtime().appliedSearchText, L"*report*");
    const auto& matches = s_boxSearchManagers.at(box).Records();
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_EQ(matches[0].sectionText, L"当前组件");
    for (const IconRecord& record : matches) {
        EXPECT_TRUE(record.control) << "the match has its icon";
        EXPECT_GE(record.y, 130.0f) << "placed below the search row at once";
    }
    Runtime().searchEdit->StopCaretAnimation();
}

TEST_F(BoxContentTest, ClosingTheSearchRowTakesTheKeyboardAndTheCaretStopsBlinking)
{
    OpenSearchRowAndFocusTheEdit();
    ASSERT_TRUE(Runtime().searchEdit->focused);
    PostMessageW(Hwnd(), WM_CHAR, L'x', 1);
    Pump(30);
    Paint();

    Runtime().scrollOffset = 0; // pushed up past -10
    Paint();
    EXPECT_FALSE(Runtime().searchActive);
    EXPECT_FALSE(Runtime().searchEdit->focused);
    EXPECT_TRUE(WaitFor([] { return box->animationManager.GetActiveCount() == 0; }, 3000))
        << "the caret blink of the closed row still runs";
    // With the pointer gone, nothing of the row keeps the window ticking.
    SetCursorPos(0, 0);
    PostMessageW(Hwnd(), WM_MOUSELEAVE, 0, 0);
    // A timer resting between two changes sleeps up to a second, and its
    // last tick ends it: the window is quiet once a longer stretch passes
    // without a tick.
    bool quiet = false;
    for (int i = 0; i < 4 && !quiet; ++i)
        quiet = PumpCountingTimers(Hwnd(), 1100).empty();
    EXPECT_TRUE(quiet) << "a timer of the closed row still runs";

    // Opened again, the row is empty.
    Runtime().searchActive = true;
    Runtime().scrollOffset = -50;
    Paint();
    EXPECT_EQ(Runtime().searchText, L"");
}

// The blink repaints the caret alone, over the blurred search row: what
// shows is what a whole paint of the same moment shows.
TEST_F(BoxContentTest, CaretBlinkOverTheSearchRowMatchesAFullPaint)
{
    AddFiles({L"report.txt", L"notes.md"});
    HeldAnimationClock clock(box->animationManager); // the swing moves only when the test says
    OpenSearchRowAndFocusTheEdit();
    PostMessageW(Hwnd(), WM_CHAR, L'n', 1);
    Pump(30);
    Paint();
    const std::vector<COLORREF> before = ClientPixels();

    clock.Step(0.3); // half way through the swing: the caret changes
    ExpectTheChangeMatchesAWholePaint(before, "the caret");

    Runtime().searchEdit->StopCaretAnimation();
}

// Dropped files all start at the drop point: of that pile only the top
// record is drawn, whatever each looks like.
TEST_F(BoxContentTest, APileAtOnePlaceDrawsOnlyItsTopRecord)
{
    HeldAnimationClock clock(box->animationManager); // the pile stays where it was made
    for (int i = 0; i < 40; ++i) {
        Manager().AddRecordForPath(L"C:\\files\\card" + std::to_wstring(i) + L".txt", 60, 90, L"bvn!NULL", false,
                                   L"", nullptr, L"bvn!NULL");
        Manager().AddRecordForPath(L"C:\\files\\own" + std::to_wstring(i) + L".kind" + std::to_wstring(i), 60, 90,
                                   L"bvn!NULL", false, L"", nullptr, L"bvn!NULL");
    }
    Paint();
    size_t drawn = 0;
    for (const IconRecord& record : Manager().Records())
        drawn += record.control && record.control->Window() != nullptr;
    // The top icon, and the top text card, which is wider than an icon.
    EXPECT_EQ(drawn, 2u);
}

// A job's progress repaints only its card: what that shows must be what a
// whole paint shows, a long name that wraps included.
TEST_F(BoxContentTest, ProgressStepOverTheCardMatchesAFullPaint)
{
    AddFiles({L"a.md", L"b.md", L"c.md", L"d.md"});
    ASSERT_TRUE(WaitFor([] { return box->animationManager.GetActiveCount() == 0; }, 3000));
    ASSERT_TRUE(FileJobMailbox::Open());
    s_copyProgress.targetWindow = box;
    s_copyProgress.targetBoxId.clear();
    s_copyProgress.displayLevel = 1.0;
    s_copyProgress.fraction = 0.1f;
    s_copyProgress.SetCurrentName(L"C:\\in\\short.md");
    Paint();
    const std::vector<COLORREF> before = ClientPixels();

    s_copyProgress.fraction = 0.8f;
    s_copyProgress.SetCurrentName(L"C:\\in\\" + std::wstring(60, L'w') + L" 很长的名字 " + std::wstring(40, L'x'));
    PostRepaint(RepaintTarget{box, Hwnd()}, false);
    ExpectTheChangeMatchesAWholePaint(before, "the card");

    s_copyProgress.displayLevel = 0.0;
    s_copyProgress.targetWindow.reset();
    Paint();
}

TEST_F(BoxContentTest, SelectionFollowsItsRecordsInTheViewTheBoxShows)
{
    AddFiles({L"a.txt", L"b.txt", L"c.txt", L"d.txt"});
    ASSERT_TRUE(s_boxSearchManagers.count(box)) << "every box owns a search manager";
    BoxRuntime& r = Runtime();
    r.selection = {2, 3};
    Manager().RemoveById(0);
    EXPECT_EQ(r.selection, (std::set<int32_t>{1, 2}));

    // The search row holds a word, but the box still shows (and filters)
    // its own view: the selection is that view's.
    r.searchActive = true;
    r.searchText = L"txt";
    r.selection = {1, 2};
    Manager().RemoveById(0);
    EXPECT_EQ(r.selection, (std::set<int32_t>{0, 1}));
    r.searchActive = false;
    r.searchText.clear();
}

TEST_F(BoxContentTest, EmptyBoxShowsItsHintsAtAnyHeightUnlessMinimized)
{
    // 130 DIPs: the hint block (104) lies from 13 to 117; the title band
    // covers its top, the lines from 65 on show.
    SetWindowPos(Hwnd(), nullptr, 0, 0, 300, 130, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Paint();
    auto inkedPixels = [] {
        Pump(50);
        const COLORREF background = ReadClientPixel(Hwnd(), 4, 124);
        int inked = 0;
        for (int y = 66; y < 116; y += 2)
            for (int x = 10; x < 290; x += 2)
                inked += ReadClientPixel(Hwnd(), x, y) != background ? 1 : 0;
        return inked;
    };
    EXPECT_TRUE(WaitFor([&] { return inkedPixels() > 20; }, 3000)) << "no hint lines on a low empty box";

    Runtime().isMinimized = true;
    Paint();
    EXPECT_TRUE(WaitFor([&] { return inkedPixels() == 0; }, 3000)) << "a minimized box shows no hints";
    Runtime().isMinimized = false;
}

TEST_F(BoxContentTest, PressedIconIsCancelledWhenThePointerLeavesIt)
{
    AddFiles({L"press.txt"});
    IconRecord& record = Manager().Records()[0];
    ASSERT_TRUE(WaitFor([&] { return record.control && record.opacity >= 1.0f; }, 3000));
    std::shared_ptr<KelmIcon> icon = record.control;
    int opened = 0;
    const IconActionHooks savedHooks = s_iconActionHooks;
    s_iconActionHooks.open = [&opened](KelmIconManager&, const IconRecord&) { ++opened; };
    s_iconActionHooks.dragStart = [](KelmIconManager&, const IconRecord&) {};
    SetForegroundWindow(Hwnd());
    Pump(50);
    Paint();
    const Brevin::kelmRect cell = icon->GetRect();
    const int px = cell.x + cell.w - 3, py = cell.y + cell.h / 2;
    MouseAt(Hwnd(), px, py);
    Pump(50);
    MouseAt(Hwnd(), px, py, MOUSEEVENTF_LEFTDOWN);
    // A busy machine delivers the input late: wait for it (bounded).
    const bool pressed = WaitFor([&] { return icon->IsCapturing(); }, 3000);
    // A few units to the right: off the icon, far too little for a drag.
    MouseAt(Hwnd(), px + 6, py);
    const bool stillPressed = !WaitFor([&] { return !icon->IsCapturing(); }, 3000);
    if (stillPressed)
        icon->OnMouseDown(); // let the release below open nothing
    MouseAt(Hwnd(), px + 6, py, MOUSEEVENTF_LEFTUP);
    Pump(50);
    s_iconActionHooks = savedHooks;
    ASSERT_TRUE(pressed) << "the press did not reach the icon";
    EXPECT_FALSE(stillPressed) << "the press outlived the pointer leaving the icon";
    EXPECT_EQ(opened, 0);
}

TEST_F(BoxContentTest, RubberBandStartsOnlyInTheContentNotInTheTitleBand)
{
    // Upward, locked and searching: the title band lies at the bottom and
    // no caption bar takes the press there.
    BoxRuntime& r = Runtime();
    r.IsUpwardExpand = true;
    r.IsLocked = true;
    r.searchActive = true;
    r.scrollOffset = -50;
    r.selection = {0};
    SetForegroundWindow(Hwnd());
    ASSERT_TRUE(WaitFor([] { return GetForegroundWindow() == Hwnd(); }, 2000));

    auto pressAt = [](int x, int y) {
        MouseAt(Hwnd(), x, y);
        Pump(30);
        MouseAt(Hwnd(), x, y, MOUSEEVENTF_LEFTDOWN);
        Pump(30);
        Paint();
        const bool started = Runtime().bandActive;
        MouseAt(Hwnd(), x, y, MOUSEEVENTF_LEFTUP);
        Pump(30);
        Paint();
        return started;
    };
    EXPECT_FALSE(pressAt(240, 380)) << "a press in the title band started a band";
    EXPECT_EQ(r.selection, (std::set<int32_t>{0})) << "and cleared the selection";
    EXPECT_TRUE(pressAt(240, 200)) << "a press in the content starts a band";
    r.IsUpwardExpand = false;
    r.IsLocked = false;
    r.searchActive = false;
}
