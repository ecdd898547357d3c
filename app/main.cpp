// Process entry of Tessik.exe: one instance per logon, configuration and
// stores, icon font, graphics factories, the main window and the message
// loop on the one UI thread.
#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <cwchar>
#include <stdexcept>
#include <string>

#include "app/AppConfig.h"
#include "app/AppMainWindow.h"
#include "app/AppState.h"
#include "app/DisplayRestart.h"
#include "app/FileRemoval.h"
#include "app/Backup.h"
#include "app/IconFontFile.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "app/SingleInstance.h"
#include "app/TempFolderUse.h"
#include "app/UserNotice.h"
#include "box/fileops/TempFolderSweep.h"
#include "mainwindow/MainWindowBuild.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DropOutcome.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace
{

// Other programs (the shell, an installer) must find the window at once,
// but DirectWrite and the desktop settle first on a fresh logon.
constexpr DWORD kStartupPauseMs = 1800;
constexpr int kFactoryAttempts = 10;
constexpr DWORD kFactoryRetryMs = 200;

void SetCurrentDirectoryToProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    wchar_t* slash = nullptr;
    for (wchar_t* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L'/')
            slash = p;
    }
    if (!slash)
        return;
    *slash = L'\0';
    SetCurrentDirectoryW(path);
}

void CreateFactoriesWithRetries()
{
    for (int attempt = 0; attempt < kFactoryAttempts; ++attempt) {
        if (CreateGraphicsFactories() && s_wicFactory)
            return;
        Sleep(kFactoryRetryMs);
    }
    // Whatever is still missing stays empty; drawing code copes with it.
    Logger::GetInstance().Log(L"Tessik", L"WARNING", L"Some graphics factories could not be created.");
}

#ifdef TESSIK_TEST_BUILD
// The test build (never the shipped program) crashes on request, so the
// crash handler can be checked end to end.
void CrashWhenAskedForTesting()
{
    const wchar_t* kind = _wgetenv(L"TESSIK_TEST_CRASH");
    if (!kind)
        return;
    if (std::wcscmp(kind, L"access") == 0) {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    } else if (std::wcscmp(kind, L"cxx") == 0) {
        throw std::runtime_error("forced C++ exception");
    }
}

// The test build lets a test make the automatic backup's minute as short
// as it likes (TESSIK_TEST_MINUTE_MS, in ms); the shipped program's minute
// stays one minute.
void ShortenMinuteWhenAskedForTesting()
{
    const wchar_t* text = _wgetenv(L"TESSIK_TEST_MINUTE_MS");
    if (!text)
        return;
    const long ms = std::wcstol(text, nullptr, 10);
    if (ms >= USER_TIMER_MINIMUM && ms <= 60000)
        s_autoBackupTimerMs = static_cast<UINT>(ms);
}
#endif

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    SetCurrentDirectoryToProgramFolder();
    if (!ClaimSingleInstance(commandLine))
        return 0;

    DpiScale = GetDpiScale();
    UpdateThemeColors();
    // The boxes are made here, but cannot be drawn before the graphics
    // factories exist: they wait off screen instead of standing black.
    KelmWindow::HoldFirstFrames();
    LoadAppConfig(false);
    Logger::GetInstance().Log(L"Tessik", L"INFO", L"Tessik started; data folder " + s_dataFolder);

    // The first check of a box folder's deletion then finds the system's
    // folders looked at already, rather than asking on the UI thread.
    LookAtProtectedFoldersSoon();

    s_iconFontPath = IconFontPathFor(s_isFirstRun, s_dataFolder);
    EnsureIconFontFile(s_iconFontPath);

    Sleep(kStartupPauseMs);
    CoInitialize(nullptr);
    CreateFactoriesWithRetries();
    // Registered for the system and as DirectWrite's private collection,
    // which needs the factory.
    RegisterIconFont(s_iconFontPath);
    KelmWindow::ReleaseFirstFrames();

    // Clearing user data is of the core; what it must let go of first is
    // the file operations'.
    s_userDataClearingHooks = {RefusedToClearWhileFileJobRuns, LetEveryKeptCopyGoBeforeClearing};
    s_beforeOwnRestart = LetEveryKeptCopyGoBeforeRestart;
    s_restoreRefused = RefusedToRestoreWhileFileJobRuns;

    s_startingUp = false;
#ifdef TESSIK_TEST_BUILD
    ShortenMinuteWhenAskedForTesting();
#endif
    KelmWindow& window = *s_mainWindow;
    window.Set(100, 100, static_cast<int>(DpiScale * 1080), static_cast<int>(DpiScale * 720), kMainWindowClass,
               kMainWindowTitle);
    window.SetDrawCallback(MainWindowBuild);
    window.showCommand = s_appStore[L"TessikRef"][L"showTessikMain"].Get<bool>(true) ? SW_SHOW : SW_HIDE;
    window.frameMode = 2;
    window.onCreated = OnMainWindowCreated;
    window.minWidth = 460;
    window.minHeight = 330;
    if (window.Create() == 1) {
#ifdef TESSIK_TEST_BUILD
        CrashWhenAskedForTesting();
#endif
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    // Sources still waiting for a drop's result hear it before the end.
    WaitForDropAnswers(5000);
    // Every save asked for is on disk before the process ends.
    KelmStorage::FinishBackgroundSaves();
    ShowWaitingNoticesBeforeExit();
    // A clean end: the undo records have left, the temporary folders this
    // run marked are free for the next sweep.
    s_tempFolderUse.EndCleanly();
    if (s_fontInTempFolder && !s_iconFontPath.empty()) {
        UnregisterIconFont(s_iconFontPath);
        DeleteFileW(s_iconFontPath.c_str());
    }
    // Everything logged so far reaches the file before the process ends.
    Logger::GetInstance().Stop();
    return 0;
}
