#include <gtest/gtest.h>

#include "app/AppConfig.h"
#include "app/KelmStorage.h"
#include "app/KnownTempFolders.h"
#include "app/TempFolder.h"
#include "app/DisplayRestart.h"
#include "app/SingleInstance.h"

TEST(ScaleRectToScreen, ScalesThenKeepsTheBoxOnScreen)
{
    int x = 1800, y = 900, w = 300, h = 400;
    EXPECT_TRUE(ScaleRectToScreen(x, y, w, h, 1920, 1080, 1280, 720));
    EXPECT_EQ(x, 1080);
    EXPECT_EQ(y, 453);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 267);
}

TEST(ScaleRectToScreen, CasesTable)
{
    struct Case {
        int x, y, w, h, baseW, baseH, screenW, screenH;
        bool changed;
        int ex, ey, ew, eh;
    } cases[] = {
        // Unknown or equal sizes change nothing.
        {10, 20, 30, 40, 0, 1080, 1280, 720, false, 10, 20, 30, 40},
        {10, 20, 30, 40, 1920, 0, 1280, 720, false, 10, 20, 30, 40},
        {10, 20, 30, 40, 1280, 720, 1280, 720, false, 10, 20, 30, 40},
        {10, 20, 30, 40, 1920, 1080, 0, 720, false, 10, 20, 30, 40},
        // Doubling; halves round away from zero.
        {10, 20, 30, 40, 800, 600, 1600, 1200, true, 20, 40, 60, 80},
        {1, 1, 1, 1, 2, 2, 3, 3, true, 1, 1, 2, 2}, // 1.5 -> 2, then pulled back on screen
        // Negative positions move to 0.
        {-50, -10, 100, 100, 1000, 1000, 1000, 500, true, 0, 0, 100, 50},
        // Wider than the screen: pinned to 0.
        {100, 100, 3000, 100, 1000, 1000, 2000, 1000, true, 0, 100, 6000, 100},
    };
    for (const Case& c : cases) {
        int x = c.x, y = c.y, w = c.w, h = c.h;
        EXPECT_EQ(ScaleRectToScreen(x, y, w, h, c.baseW, c.baseH, c.screenW, c.screenH), c.changed);
        EXPECT_EQ(x, c.ex);
        EXPECT_EQ(y, c.ey);
        EXPECT_EQ(w, c.ew);
        EXPECT_EQ(h, c.eh);
    }
}

TEST(ContainerRoot, FirstRemovableOrFixedDriveOtherThanC)
{
    using Drives = std::vector<std::pair<std::wstring, UINT>>;
    EXPECT_EQ(ChooseContainerRoot(Drives{{L"C:\\", DRIVE_FIXED}}, L"a1b2c3d4"), L"C:\\.tessik\\user_storage\\u_a1b2c3");
    EXPECT_EQ(ChooseContainerRoot(Drives{}, L"abcdef"), L"C:\\.tessik\\user_storage\\u_abcdef");
    EXPECT_EQ(
        ChooseContainerRoot(Drives{{L"c:\\", DRIVE_FIXED}, {L"D:\\", DRIVE_CDROM}, {L"E:\\", DRIVE_FIXED}}, L"abcdef"),
        L"E:\\.tessik\\user_storage\\u_abcdef");
    EXPECT_EQ(ChooseContainerRoot(Drives{{L"C:\\", DRIVE_FIXED}, {L"F:\\", DRIVE_REMOVABLE}, {L"G:\\", DRIVE_FIXED}},
                                  L"abcdef"),
              L"F:\\.tessik\\user_storage\\u_abcdef");
    EXPECT_EQ(ChooseContainerRoot(Drives{{L"Z:\\", DRIVE_REMOTE}}, L"abcdef"), L"C:\\.tessik\\user_storage\\u_abcdef");
}

TEST(DataFolderChoice, PortableWinsThenPerUserElseFirstRun)
{
    const std::wstring p = L"P", u = L"U";
    struct Case {
        bool afterChoice;
        int choice;
        bool portableHas, perUserHas;
        std::wstring folder;
        bool firstRun;
    } cases[] = {
        {false, 0, true, true, p, false},  {false, 0, false, true, u, false}, {false, 0, false, false, u, true},
        {true, 1, false, false, p, false}, {true, 0, true, false, u, false},  {true, 2, false, false, u, false},
    };
    for (const Case& c : cases) {
        const DataFolderChoice got = ChooseDataFolder(c.afterChoice, c.choice, {c.portableHas, c.portableHas},
                                                      {c.perUserHas, c.perUserHas}, p, u);
        EXPECT_EQ(got.folder, c.folder);
        EXPECT_EQ(got.firstRun, c.firstRun);
    }
}

TEST(DataFolderChoice, AFolderThatLostItsSettingsStoreIsNoFirstRun)
{
    const std::wstring p = L"P", u = L"U";
    const DataFolderStores none, others{false, true}, all{true, true};
    EXPECT_EQ(ChooseDataFolder(false, 0, others, none, p, u).folder, p);
    EXPECT_FALSE(ChooseDataFolder(false, 0, others, none, p, u).firstRun);
    EXPECT_EQ(ChooseDataFolder(false, 0, none, others, p, u).folder, u);
    EXPECT_FALSE(ChooseDataFolder(false, 0, none, others, p, u).firstRun);
    // Where "Tessik.kelm" is, the choice stays as it was.
    EXPECT_EQ(ChooseDataFolder(false, 0, others, all, p, u).folder, u);
}

TEST(DisplayRestart, FirstCallOnlyRecords)
{
    RestartState state;
    EXPECT_FALSE(DecideDisplayRestart(state, 1024, 768, 1.0, false, 5000));
    EXPECT_EQ(state.width, 1024);
    EXPECT_EQ(state.height, 768);
    EXPECT_EQ(state.tick, 5000u);
}

TEST(DisplayRestart, RestartsOnlyForARealSettledChange)
{
    struct Case {
        int w, h;
        double scale;
        bool leftDown;
        uint64_t now;
        bool restart;
    } cases[] = {
        {1600, 1000, 1.0, false, 20000, false},       // same size and scale: tick refreshed
        {1600, 1000, 1.005, false, 30000, false},     // within 0.01
        {640, 480, 1.0, false, 90000, false},         // too small
        {1024, 768, 1.0, true, 90000, false},         // left button held
        {1024, 768, 1.0, false, 30000 + 3000, false}, // debounce: at most 3000 ms since the last tick
        {1024, 768, 1.0, false, 30000 + 3001, true},  {1024, 768, 1.25, false, 90000, true}, // scale change
    };
    for (const Case& c : cases) {
        RestartState state;
        DecideDisplayRestart(state, 1600, 1000, 1.0, false, 10000);
        DecideDisplayRestart(state, 1600, 1000, 1.0, false, 30000);
        EXPECT_EQ(DecideDisplayRestart(state, c.w, c.h, c.scale, c.leftDown, c.now), c.restart)
            << c.w << "x" << c.h << " at " << c.now;
        if (c.restart) {
            EXPECT_EQ(state.width, c.w);
            EXPECT_FLOAT_EQ(state.scale, static_cast<float>(c.scale));
        }
    }
}

TEST(SingleInstance, RestartSwitchAnywhereOnTheCommandLine)
{
    EXPECT_TRUE(HasRestartSwitch(L"--restart"));
    EXPECT_TRUE(HasRestartSwitch(L"\"C:\\a b\\Tessik.exe\" x--restarty"));
    EXPECT_FALSE(HasRestartSwitch(L"-restart"));
    EXPECT_FALSE(HasRestartSwitch(L""));
    EXPECT_FALSE(HasRestartSwitch(nullptr));
}

TEST(FirstStartDefaults, IntroductionHintWhiteThemeAndBoxFolder)
{
    TempFolder folder;
    s_appStore.Load(folder.File(L"Tessik.kelm"));
    s_desktopContainerStore.Load(folder.File(L"DesktopContainer.kelm"));
    WriteFirstStartDefaults(L"E:\\.tessik\\user_storage\\u_abc123");
    EXPECT_TRUE(s_appStore[L"TessikRef"][L"NewComer"].Get<bool>(false));
    EXPECT_TRUE(s_desktopContainerStore[L"TessikRef"][L"dragTip"].Get<bool>(false));
    EXPECT_EQ(s_appStore[L"TessikRef"][L"themeBaseColor"].Get<std::wstring>(L""), L"#FFFFFF");
    EXPECT_EQ(s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L""), L"E:\\.tessik\\user_storage\\u_abc123");
    // They survive a save and a load in the store's own format.
    s_appStore.Save();
    KelmStorage again;
    again.Load(folder.File(L"Tessik.kelm"));
    EXPECT_EQ(again[L"TessikRef"][L"themeBaseColor"].Get<std::wstring>(L""), L"#FFFFFF");
    EXPECT_TRUE(again[L"TessikRef"][L"NewComer"].Get<bool>(false));
    s_appStore = KelmStorage();
    s_desktopContainerStore = KelmStorage();
}

TEST(StartNotices, NameAChangedStoreItsCopyAndTheBoxRootAsTheSettingsShowIt)
{
    StoreLoadChanges changes;
    changes.linesNotUtf8 = 2;
    changes.repeatedRoots = {L"Components"};
    changes.droppedRoots = {L"@Notes"};
    const std::wstring text =
        ChangedStoreText(L"D:\\data\\DesktopContainer.kelm", changes, L"D:\\data\\DesktopContainer.kelm.1.bak");
    for (const wchar_t* part : {L"“D:\\data\\DesktopContainer.kelm”", L"2 行不是 UTF-8", L"“Components”出现了多次",
                                L"“@Notes”", L"原始内容已保存为“D:\\data\\DesktopContainer.kelm.1.bak”"})
        EXPECT_NE(text.find(part), std::wstring::npos) << part;
    EXPECT_NE(ChangedStoreText(L"a.kelm", StoreLoadChanges(), L"").find(L"不会被覆盖"), std::wstring::npos);

    const std::wstring root = ContainerFolderNotMadeText(L"Q:\\\\.tessik\\\\user_storage\\\\u_3fa9c1");
    EXPECT_NE(root.find(L"“Q:\\.tessik\\user_storage\\u_3fa9c1”"), std::wstring::npos) << root;
}

// The box root as the store holds it (backslashes doubled) gives the one
// form of its temporary folder that messages and the list name.
TEST(TempFolderPath, IsTheStoredRootInItsOneForm)
{
    TempFolder folder;
    s_appStore.Load(folder.File(L"Tessik.kelm"));
    const std::wstring root = folder.File(L"boxes");
    std::wstring doubled;
    for (wchar_t c : root)
        doubled += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
    s_appStore[L"TessikRef"][L"containerDir"] = doubled + L"\\\\";
    EXPECT_EQ(GetTempFolder(), root + L"\\.data\\.temp\\");
    // Spelled with "." and "..": the folder the system reads it as, in a
    // form the sweep of a later start takes for the program's own.
    s_appStore[L"TessikRef"][L"containerDir"] = doubled + L"\\\\sub\\\\..\\\\.";
    EXPECT_EQ(GetTempFolder(), root + L"\\.data\\.temp\\");
    EXPECT_TRUE(HasTempFolderForm(GetTempFolder()));
    s_appStore = KelmStorage();
}
