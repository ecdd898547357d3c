#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "tests/common/WindowTestSupport.h"
#include "box/icons/IconActionHooks.h"
#include "box/icons/KelmIcon.h"
#include "tests/box/icons/IconSampleFiles.h"
#include "tests/box/icons/IconTestSupport.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace
{

COLORREF PixelAt(HWND window, int x, int y)
{
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

// Pumps until the condition holds or 3 s pass: a busy display shows a paint
// late. Returns the condition.
template <class F> bool ShownWithin(F condition)
{
    const ULONGLONG end = GetTickCount64() + 3000;
    while (!condition() && GetTickCount64() < end)
        PumpMessages(20);
    return condition();
}

class IconWindowTest : public IconTest
{
protected:
    void SetUp() override
    {
        IconTest::SetUp();
        DpiScale = 1.0;
        CreateGraphicsFactories();
        ThemeBaseColor = {242, 242, 242};
        UpdateThemeColors();
        folder = temp.File(L"box");
        std::filesystem::create_directories(folder + L"\\sub");
        TempFolder::WriteBytes(folder + L"\\red.bmp", SolidBmpBytes(40, 20, RGB(230, 20, 20)));
        pngWritten = WriteSolidPng(folder + L"\\blue.png", 32, 32, RGB(20, 20, 230));
        TempFolder::WriteBytes(folder + L"\\notes.txt", "第一行笔记\r\nsecond line of the notes");
        TempFolder::WriteBytes(folder + L"\\sub\\inner.txt", "x");
        TempFolder::WriteBytes(folder + L"\\sub\\pic.bmp", SolidBmpBytes(8, 8, RGB(0, 160, 0)));
        TempFolder::WriteBytes(folder + L"\\tool.exe", "MZ");

        // One window for the whole suite: destroying a window with its
        // render target is slow under Wine.
        if (!shared) {
            shared = std::make_shared<KelmWindow>();
            shared->Set(1040, 700, 520, 260, L"Tessik.Test.IconWindow", L"icons");
            shared->style = WS_POPUP | WS_VISIBLE;
        }
        box = shared;
        s_boxRuntimes[box].id = L"w1nd0";
        KelmIconManager& view = s_boxIconManagers[box];
        view.SetOwnBox(box);
        for (const wchar_t* name : {L"red.bmp", L"blue.png", L"notes.txt", L"sub", L"tool.exe"})
            view.AddRecordForPath(folder + L"\\" + name, 0, 0, L"bvn!NULL", false, L"", nullptr, L"bvn!NULL");
        box->SetDrawCallback([this](HWND window, ID2D1HwndRenderTarget* target) {
            target->Clear(D2D1::ColorF(0.95f, 0.95f, 0.95f, 1.0f));
            KelmIconManager& v = s_boxIconManagers[box];
            v.Layout(520);
            v.UpdateAnimations(box);
            v.ApplyCurrentPositions(520, 260);
            box->GetPanel()->Init(window, target);
            for (IconRecord& record : v.Records())
                box->GetPanel()->AddControl(record.control);
        });
        // Other test programs open windows at the same time; a window of its
        // own corner, kept on top, keeps the pixel reads ours.
        for (int attempt = 0; attempt < 5 && !box->GetHwnd(); ++attempt) {
            if (box->Create() != 1)
                PumpMessages(200);
        }
        ASSERT_NE(box->GetHwnd(), nullptr);
        SetWindowPos(box->GetHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        RedrawWindow(box->GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        // The icons fade in over half a second (bounded wait).
        const ULONGLONG start = GetTickCount64();
        while (GetTickCount64() - start < 3000 && !Settled())
            PumpMessages(20);
        RedrawWindow(box->GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        PumpMessages(50);
    }
    void TearDown() override
    {
        s_iconActionHooks = IconActionHooks();
        s_doubleClickAction = false;
        box->SetDrawCallback([](HWND, ID2D1HwndRenderTarget* target) { target->Clear(D2D1::ColorF(1, 1, 1, 1)); });
        box.reset();
        IconTest::TearDown();
    }
    static void TearDownTestSuite()
    {
        if (shared && shared->GetHwnd())
            DestroyWindow(shared->GetHwnd());
        shared.reset();
    }

    IconRecord& Record(int i) { return s_boxIconManagers[box].Records()[i]; }
    bool Settled()
    {
        for (const IconRecord& record : s_boxIconManagers[box].Records()) {
            if (!record.control || record.opacity < 1.0f || !record.settled)
                return false;
        }
        return true;
    }
    // The centre of the record's image, in client pixels.
    POINT Centre(int i) { return {static_cast<LONG>(Record(i).x) + 24, static_cast<LONG>(Record(i).y) + 24}; }

    std::wstring folder;
    bool pngWritten = false;
    std::shared_ptr<KelmWindow> box;
    static inline std::shared_ptr<KelmWindow> shared;
};

} // namespace

// A photo takes the imaging component a good part of a second: the paint
// that first shows its icon asks for the thumbnail and goes on without it.
TEST_F(IconWindowTest, AThumbnailIsDecodedAwayFromThePaintThatAsksForIt)
{
    const std::wstring green = folder + L"\\green.bmp";
    TempFolder::WriteBytes(green, SolidBmpBytes(40, 20, RGB(20, 200, 20)));
    Record(0).path = green;
    RedrawWindow(box->GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_FALSE(Record(0).control->HasThumbnail());
    ASSERT_TRUE(PumpUntil([&] { return Record(0).control->HasThumbnail(); }, 10000));
    const POINT centre = Centre(0);
    COLORREF c = 0;
    EXPECT_TRUE(ShownWithin([&] {
        c = PixelAt(box->GetHwnd(), centre.x, centre.y);
        return GetGValue(c) > 150 && GetRValue(c) < 90;
    })) << std::hex << c;
}

TEST_F(IconWindowTest, PaintsThumbnailsCardsFoldersAndShellIcons)
{
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(Record(i).control) << i;
        EXPECT_FLOAT_EQ(Record(i).opacity, 1.0f) << i;
    }
    const POINT red = Centre(0);
    COLORREF thumb = 0;
    ShownWithin([&] {
        thumb = PixelAt(box->GetHwnd(), red.x, red.y);
        return GetRValue(thumb) > 180 && GetGValue(thumb) < 90;
    });
    EXPECT_GT(GetRValue(thumb), 180) << std::hex << thumb;
    EXPECT_LT(GetGValue(thumb), 90) << std::hex << thumb;
    EXPECT_TRUE(Record(0).control->HasThumbnail());
    if (pngWritten) {
        const POINT blue = Centre(1);
        COLORREF c = 0;
        ShownWithin([&] {
            c = PixelAt(box->GetHwnd(), blue.x, blue.y);
            return GetBValue(c) > 180;
        });
        EXPECT_GT(GetBValue(c), 180) << std::hex << c;
        EXPECT_LT(GetRValue(c), 90) << std::hex << c;
    }
    EXPECT_EQ(Record(2).control->PreviewText(), L"第一行笔记  second line...");
    EXPECT_EQ(Record(3).control->SizeText(), L"文件夹");
    EXPECT_EQ(Record(4).control->SizeText(), L"2 B");
    // The text card and the folder square are drawn over the background.
    const COLORREF background = PixelAt(box->GetHwnd(), 2, 250);
    EXPECT_NE(PixelAt(box->GetHwnd(), static_cast<int>(Record(2).x) + 60, static_cast<int>(Record(2).y) + 30),
              background);
    EXPECT_NE(PixelAt(box->GetHwnd(), static_cast<int>(Record(3).x) + 2, static_cast<int>(Record(3).y) + 24),
              background);
}

TEST_F(IconWindowTest, SelectedIconShowsTheAccentFrame)
{
    BoxRuntime& runtime = s_boxRuntimes[box];
    runtime.multiSelect = true;
    runtime.selection = {4};
    RedrawWindow(box->GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessages(50);
    RedrawWindow(box->GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(Record(4).control->selected);
    EXPECT_TRUE(Record(0).control->dimmed);
    // The left edge of the frame, half way down.
    EXPECT_TRUE(ShownWithin([&] {
        for (int dx = -7; dx <= -3; ++dx) {
            const COLORREF c =
                PixelAt(box->GetHwnd(), static_cast<int>(Record(4).x) + dx, static_cast<int>(Record(4).y) + 24);
            if (GetBValue(c) > GetRValue(c) + 60)
                return true;
        }
        return false;
    }));
}

TEST_F(IconWindowTest, ClickOpensAndDoubleClickModeIgnoresTheSingleClick)
{
    int opened = 0, dragged = 0;
    s_iconActionHooks.open = [&opened](KelmIconManager&, const IconRecord& r) {
        ++opened;
        EXPECT_NE(r.path.find(L"tool.exe"), std::wstring::npos);
    };
    s_iconActionHooks.dragStart = [&dragged](KelmIconManager&, const IconRecord&) { ++dragged; };
    auto icon = Record(4).control;
    const POINT p = Centre(4);
    const Brevin::kelmPoint point{p.x, p.y};

    icon->AddEvent(point, Brevin::KELM_LBUTTON_DOWN);
    icon->AddEvent(point, Brevin::KELM_LBUTTON_UP);
    EXPECT_EQ(opened, 1);

    s_doubleClickAction = true;
    icon->AddEvent(point, Brevin::KELM_LBUTTON_DOWN);
    icon->AddEvent(point, Brevin::KELM_LBUTTON_UP);
    EXPECT_EQ(opened, 1) << "a single click waits for the second";
    PumpMessages(800);
    EXPECT_EQ(dragged, 0) << "the hold timer of a finished click starts no drag";
    icon->AddEvent(point, Brevin::KELM_LBUTTON_DBLCLK);
    EXPECT_EQ(opened, 2);
}

TEST_F(IconWindowTest, HoldStartsADragUnlessTheIconMovedToAnotherWindow)
{
    int dragged = 0;
    s_iconActionHooks.dragStart = [&dragged](KelmIconManager&, const IconRecord&) { ++dragged; };
    auto icon = Record(4).control;
    const POINT p = Centre(4);
    icon->AddEvent({p.x, p.y}, Brevin::KELM_LBUTTON_DOWN);
    EXPECT_TRUE(PumpUntil([&] { return dragged == 1; }, 3000)) << "the hold started no drag";
    EXPECT_FALSE(icon->IsCapturing());

    auto other = std::make_shared<KelmWindow>();
    other->Set(900, 700, 100, 100, L"Tessik.Test.IconWindow2", L"other");
    other->style = WS_POPUP | WS_VISIBLE;
    ASSERT_EQ(other->Create(), 1);
    // Keep the box from painting (and so re-attaching) while we wait.
    box->SetDrawCallback([](HWND, ID2D1HwndRenderTarget*) {});
    icon->AddEvent({p.x, p.y}, Brevin::KELM_LBUTTON_DOWN);
    icon->AttachCtl(other->GetHwnd(), nullptr, icon);
    PumpMessages(800);
    EXPECT_EQ(dragged, 1) << "the hold timer left on the old window is gone";
    DestroyWindow(other->GetHwnd());
}
