// Making boxes: new boxes of the three kinds are stored and open as box
// windows, ids never collide, stored boxes open with their settings, and
// colour groups form only for tagged boxes of one kind.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/TempFolder.h"
#include "box/BoxCreation.h"
#include "box/BoxServices.h"
#include "box/BoxSettings.h"
#include "box/BoxWindowHooks.h"
#include "box/icons/KelmIconManager.h"
#include "ui/controls/KelmButton.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;

namespace
{

class BoxCreationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedScale = DpiScale;
        DpiScale = 1.0;
        storePath = temp.File(L"DesktopContainer.kelm");
        TempFolder::WriteBytes(storePath, "");
        s_desktopContainerStore.Load(storePath);
    }
    void TearDown() override
    {
        // Hiding or destroying a box window costs Wine about two seconds
        // each: the windows stay (with their objects) until the process
        // ends (the stored ones lie away from the control tests' window);
        // only their timers stop.
        static std::vector<BoxWindowPtr> kept;
        for (auto& [box, runtime] : s_boxRuntimes) {
            if (box && IsWindow(box->GetHwnd())) {
                box->StopHoverRepaintTimer();
                KillTimer(box->GetHwnd(), kAnimationTimerId);
                kept.push_back(box);
            }
        }
        s_boxSearchManagers.clear();
        s_boxIconManagers.clear();
        s_boxRuntimes.clear();
        s_boxWindowHooks = BoxWindowHooks();
        DpiScale = savedScale;
    }

    // The boxes made since the last call, oldest first.
    std::vector<BoxWindowPtr> NewBoxes()
    {
        std::vector<BoxWindowPtr> made;
        for (auto& [box, runtime] : s_boxRuntimes) {
            if (!seen.count(box.get()))
                made.push_back(box);
        }
        for (auto& box : made)
            seen.insert(box.get());
        return made;
    }

    static std::wstring ClassOf(HWND window)
    {
        wchar_t name[128] = {};
        GetClassNameW(window, name, 128);
        return name;
    }

    KelmStorageProxy Stored(const std::wstring& id) { return s_desktopContainerStore[L"Components"][L"ComID_" + id]; }

    void StoreBox(const std::wstring& id, const std::wstring& clrtag, bool integrated, bool folder)
    {
        KelmStorageProxy box = Stored(id);
        box[L"id"] = id;
        box[L"x"] = 1100;
        box[L"y"] = 500;
        box[L"clrtag"] = clrtag;
        box[L"IsIntegrated"] = integrated;
        box[L"Icons"][L"iconID_0"][L"path"] = L"C:\\files\\" + id + L".txt";
        if (folder) {
            box[L"UseTargetFolder"] = true;
            box[L"TargetFolder"] = temp.File(id);
            std::filesystem::create_directories(temp.File(id));
        }
    }

    TempFolder temp;
    std::wstring storePath;
    double savedScale = 1.0;
    std::set<KelmWindow*> seen;
};

TEST(BoxIds, FreshIdsSkipThoseInUse)
{
    const std::set<std::wstring> used{L"aaaaa", L"bbbbb"};
    int n = 0;
    const wchar_t* draws[] = {L"aaaaa", L"bbbbb", L"aaaaa", L"c0ffe"};
    EXPECT_EQ(DrawFreeBoxId(used, [&] { return std::wstring(draws[n++]); }), L"c0ffe");
    EXPECT_EQ(n, 4);
}

TEST(BoxIds, UntaggedGreyNeverFormsAGroup)
{
    const COLORREF red = RGB(255, 0, 0), grey = RGB(242, 242, 242);
    EXPECT_TRUE(SharesColourGroup(red, true, red, true));
    EXPECT_FALSE(SharesColourGroup(red, true, red, false));
    EXPECT_FALSE(SharesColourGroup(red, true, RGB(0, 0, 255), true));
    EXPECT_FALSE(SharesColourGroup(grey, false, grey, false));
}

TEST_F(BoxCreationTest, NewMappingBoxIsStoredAndOpens)
{
    CreateCom(L"NULL", L"NULL", false, 0);
    const auto made = NewBoxes();
    ASSERT_EQ(made.size(), 1u);
    const BoxRuntime& runtime = s_boxRuntimes.at(made[0]);
    ASSERT_EQ(runtime.id.size(), 5u);
    HWND window = made[0]->GetHwnd();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(ClassOf(window), L"Tessik.Kelm.Com.Container.Class." + runtime.id);
    EXPECT_FALSE(runtime.UseTargetFolder);
    EXPECT_EQ(runtime.TargetFolder, L"bvn!NULL");
    EXPECT_EQ(runtime.z, 0);
    EXPECT_EQ(runtime.title, L"Unnamed");
    EXPECT_TRUE(s_boxIconManagers.count(made[0]));
    EXPECT_TRUE(s_boxSearchManagers.count(made[0]));

    // Saved at once: a fresh load finds it.
    KelmStorage reloaded;
    reloaded.Load(storePath);
    KelmStorageNestedObject* object = FindBoxObject(reloaded, runtime.id);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->members.count(L"UseTargetFolder"), 0u);
    EXPECT_EQ(std::get<int>(object->members.at(L"z")), 0);
    RECT rc{};
    GetWindowRect(window, &rc);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 400);
}

TEST_F(BoxCreationTest, NewNormalAndTargetBoxesKeepTheirFolders)
{
    const std::wstring parent = temp.File(L"root");
    CreateCom(L"NULL", parent, false, 1);
    auto made = NewBoxes();
    ASSERT_EQ(made.size(), 1u);
    const BoxRuntime& normal = s_boxRuntimes.at(made[0]);
    EXPECT_TRUE(normal.UseTargetFolder);
    EXPECT_FALSE(normal.IsCustomTarget);
    EXPECT_EQ(normal.TargetFolder, parent + L"\\" + normal.id);
    EXPECT_TRUE(std::filesystem::is_directory(normal.TargetFolder));
    EXPECT_EQ(made[0]->dropEffect, static_cast<DWORD>(DROPEFFECT_MOVE));

    const std::wstring chosen = temp.File(L"chosen");
    std::filesystem::create_directories(chosen);
    CreateCom(L"NULL", chosen, true, 2);
    made = NewBoxes();
    ASSERT_EQ(made.size(), 1u);
    const BoxRuntime& target = s_boxRuntimes.at(made[0]);
    EXPECT_TRUE(target.IsCustomTarget);
    EXPECT_EQ(target.TargetFolder, chosen);
    EXPECT_NE(target.id, normal.id);
    EXPECT_EQ(Stored(target.id)[L"TargetFolder"].Get<std::wstring>(L""), chosen);
}

TEST_F(BoxCreationTest, StoredBoxOpensFoldedAndABadTagIsKept)
{
    KelmStorageProxy box = Stored(L"f0f0f");
    box[L"id"] = L"f0f0f";
    box[L"x"] = 1100;
    box[L"y"] = 300;
    box[L"cx"] = 320;
    box[L"cy"] = 420;
    box[L"isMinimized"] = true;
    box[L"IsUpwardExpand"] = true;
    box[L"clrtag"] = L"#zz";
    box[L"title"] = L"Fold";
    CreateCom(L"f0f0f", L"NULL", false, 1);
    const auto made = NewBoxes();
    ASSERT_EQ(made.size(), 1u);
    const BoxRuntime& runtime = s_boxRuntimes.at(made[0]);
    EXPECT_TRUE(runtime.isMinimized);
    EXPECT_EQ(runtime.title, L"Fold");
    EXPECT_TRUE(IsUntaggedColour(runtime.titleButton->fill));
    EXPECT_EQ(Stored(L"f0f0f")[L"clrtag"].Get<std::wstring>(L""), L"#zz");
    RECT rc{};
    GetWindowRect(made[0]->GetHwnd(), &rc);
    EXPECT_EQ(rc.bottom - rc.top, 40);
    EXPECT_EQ(rc.bottom, 300 + 420) << "the bottom edge stays where the full box ends";
    EXPECT_NE(ClassOf(made[0]->GetHwnd()), L"Tessik.Kelm.Com.Container.Class.f0f0f") << "a fresh class suffix";
}

TEST_F(BoxCreationTest, TaggedMembersJoinTheirIntegratedHost)
{
    StoreBox(L"m0001", L"#FF0000", false, false);
    StoreBox(L"h0001", L"#FF0000", true, false);
    StoreBox(L"o0001", L"#FF0000", false, true);  // other kind
    StoreBox(L"g0001", L"#F2F2F2", false, false); // untagged
    StoreBox(L"g0002", L"#F2F2F2", true, false);
    for (const wchar_t* id : {L"m0001", L"h0001", L"o0001", L"g0001", L"g0002"})
        CreateCom(id, L"NULL", false, 1);
    BoxWindowPtr member, host, other, grey;
    for (const auto& box : NewBoxes()) {
        const std::wstring& id = s_boxRuntimes.at(box).id;
        if (id == L"m0001")
            member = box;
        else if (id == L"h0001")
            host = box;
        else if (id == L"o0001")
            other = box;
        else if (id == L"g0001")
            grey = box;
    }
    ASSERT_TRUE(member && host && other && grey);
    EXPECT_FALSE(IsWindowVisible(member->GetHwnd()));
    EXPECT_TRUE(IsWindowVisible(other->GetHwnd()));
    EXPECT_TRUE(IsWindowVisible(grey->GetHwnd())) << "untagged boxes stay on the desktop";
    const auto& records = s_boxIconManagers.at(host).Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].path, L"C:\\files\\m0001.txt");
    EXPECT_TRUE(records[1].merged);
    EXPECT_EQ(records[1].owner, member);
    EXPECT_EQ(records[1].sectionText, L"Unnamed");
}

} // namespace
