// A first run in a process of its own: nothing is loaded or written until
// the first-run pages choose the data folder, then the choice writes the
// defaults of a first start and opens the first log file.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <regex>

#include "app/AppConfig.h"
#include "app/AppState.h"
#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/LogFiles.h"
#include "app/Logger.h"
#include "app/TempFolder.h"
#include "mainwindow/FirstRunPages.h"
#include "ui/core/KelmWindow.h"

namespace fs = std::filesystem;

namespace
{

fs::path ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

fs::path PerUserFolder()
{
    wchar_t appData[MAX_PATH] = {};
    GetAppDataShortPath(appData);
    return fs::path(appData) / L"Ormund" / L"Tessik";
}

// The drive the box root folder must be on, from the system's own list.
std::wstring ExpectedDrive()
{
    wchar_t buffer[512] = {};
    GetLogicalDriveStringsW(511, buffer);
    for (const wchar_t* drive = buffer; *drive; drive += wcslen(drive) + 1) {
        const std::wstring root = drive;
        if (root == L"C:\\" || root == L"c:\\")
            continue;
        const UINT type = GetDriveTypeW(drive);
        if (type == DRIVE_REMOVABLE || type == DRIVE_FIXED)
            return root;
    }
    return L"C:\\";
}

// Removes what the run made: the data folder beside the program and the
// box root folder with the parents it created.
struct MadeFolders {
    fs::path data = ProgramFolder() / L".tessik_config";
    fs::path boxes;
    MadeFolders()
    {
        std::error_code ec;
        fs::remove_all(data, ec);
    }
    ~MadeFolders()
    {
        Logger::GetInstance().Stop();
        std::error_code ec;
        fs::remove_all(data, ec);
        if (boxes.empty())
            return;
        fs::remove(boxes, ec);
        fs::remove(boxes.parent_path(), ec);               // user_storage, when empty
        fs::remove(boxes.parent_path().parent_path(), ec); // .tessik, when empty
    }
};

} // namespace

TEST(FirstRun, NothingIsWrittenBeforeTheChoiceThenTheChoiceWritesTheDefaults)
{
    MadeFolders made;
    ASSERT_FALSE(fs::exists(PerUserFolder() / L"Tessik.kelm")) << "the per-user folder must be empty for a first run";

    LoadAppConfig(false);
    EXPECT_TRUE(s_isFirstRun);
    EXPECT_TRUE(s_fontInTempFolder);
    EXPECT_FALSE(s_configLoaded);
    EXPECT_FALSE(s_appStore.IsLoaded());
    EXPECT_FALSE(s_desktopContainerStore.IsLoaded());
    EXPECT_EQ(fs::path(s_dataFolder), PerUserFolder());
    EXPECT_FALSE(fs::exists(made.data));
    EXPECT_FALSE(fs::exists(PerUserFolder() / L"Tessik.kelm"));
    EXPECT_FALSE(fs::exists(PerUserFolder() / L"logs"));
    EXPECT_EQ(Logger::GetInstance().LogPath(), L"") << "no log file before the choice";

    // The data page chose "beside the program".
    s_firstRunPageChoice = 1;
    s_firstRunPageState = 3;
    HoverAnimationCount = 2;
    ApplyFirstRunDataChoice();
    EXPECT_EQ(fs::path(s_dataFolder), made.data);
    EXPECT_TRUE(s_configLoaded);
    EXPECT_FALSE(s_isFirstRun);
    EXPECT_EQ(s_firstRunPageState, 0);
    EXPECT_EQ(HoverAnimationCount, 0);

    KelmStorage app;
    app.Load((made.data / L"Tessik.kelm").wstring());
    auto ref = app[L"TessikRef"];
    EXPECT_FALSE(ref[L"NewComer"].Get<bool>(true)) << "the choice ends the newcomer's introduction";
    EXPECT_EQ(ref[L"themeBaseColor"].Get<std::wstring>(L""), L"#FFFFFF");
    EXPECT_EQ(ref[L"ver"].Get<int>(0), 100);
    // Written with single backslashes and read back doubled.
    const std::wstring containerDir = ref[L"containerDir"].Get<std::wstring>(L"");
    std::wstring expectedStart = ExpectedDrive() + L".tessik\\user_storage\\u_";
    std::wstring doubled;
    for (wchar_t c : expectedStart)
        doubled += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
    ASSERT_EQ(containerDir.rfind(doubled, 0), 0u) << containerDir;
    const std::wstring hex = containerDir.substr(doubled.size());
    EXPECT_TRUE(std::regex_match(hex, std::wregex(L"[0-9a-f]{6}"))) << hex;
    made.boxes = fs::path(expectedStart + hex);
    EXPECT_TRUE(fs::is_directory(made.boxes));

    KelmStorage boxes;
    boxes.Load((made.data / L"DesktopContainer.kelm").wstring());
    EXPECT_TRUE(boxes[L"TessikRef"][L"dragTip"].Get<bool>(false));
    EXPECT_EQ(boxes[L"TessikRef"][L"test"].Get<int>(-1), 0);
    for (const wchar_t* name : {L"MagnetCom.kelm", L"QuickPanelCom.kelm"}) {
        KelmStorage other;
        other.Load((made.data / name).wstring());
        EXPECT_EQ(other[L"TessikRef"][L"test"].Get<int>(-1), 0) << name;
    }

    // The first log file of the day, with the start's lines in it.
    Logger::GetInstance().Log(L"Test", L"INFO", L"after the choice");
    Logger::GetInstance().Flush();
    const fs::path log =
        made.data / L"logs" / LogFileName(LogDatePrefix(LocalTimeOf(std::chrono::system_clock::now())), 0);
    EXPECT_EQ(fs::path(Logger::GetInstance().LogPath()), log);
    EXPECT_NE(TempFolder::ReadBytes(log.wstring()).find("[Test]["), std::string::npos);

    // The introduction ends later without a new choice.
    s_isFirstRun = true;
    s_firstRunPageState = 2;
    HoverAnimationCount = 4;
    s_appStore[L"TessikRef"][L"NewComer"] = true;
    FinishFirstRun();
    EXPECT_FALSE(s_isFirstRun);
    EXPECT_EQ(s_firstRunPageState, 0);
    EXPECT_EQ(HoverAnimationCount, 0);
    app.Load((made.data / L"Tessik.kelm").wstring());
    EXPECT_FALSE(app[L"TessikRef"][L"NewComer"].Get<bool>(true));
}
