#include "app/AppMainWindow.h"

#include <shellapi.h>
#include <shlobj.h>

#include <chrono>

#include "app/AppState.h"
#include "app/Backup.h"
#include "app/CommonHelpers.h"
#include "app/DesktopCapture.h"
#include "app/FileActionGate.h"
#include "app/DisplayRestart.h"
#include "app/GlobalHotKeys.h"
#include "app/HotKeySettings.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "app/SingleInstance.h"
#include "app/StoreSaveRetry.h"
#include "app/UserNotice.h"
#include "box/BoxServices.h"
#include "box/icons/FolderSync.h"
#include "box/fileops/FileWorkerTracker.h"
#include "box/fileops/PartFileJournal.h"
#include "box/fileops/TempFolderSweep.h"
#include "box/fileops/UndoList.h"
#include "mainwindow/WebPages.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "ui/controls/KelmMenu.h"
#include "ui/core/WindowMessages.h"

std::shared_ptr<KelmWindow> s_mainWindow = std::make_shared<KelmWindow>();

namespace
{

const wchar_t kRef[] = L"TessikRef";
// How long quitting waits for file workers to stop after the cancel.
constexpr auto kWorkerStopWait = std::chrono::seconds(15);
constexpr int kTrayMenuWidth = 140; // DIPs

// Runs a timer step unless one is already running further up this stack
// (a modal loop inside a step dispatches the same timer again).
template <typename Step> void RunOnce(bool& running, const wchar_t* name, Step step)
{
    if (running)
        return;
    running = true;
    try {
        step();
    } catch (const std::exception& error) {
        std::string what = error.what();
        Logger::GetInstance().Log(L"Tessik", L"ERROR",
                                  std::wstring(name) + L" failed: " + std::wstring(what.begin(), what.end()));
    } catch (...) {
        Logger::GetInstance().Log(L"Tessik", L"ERROR", std::wstring(name) + L" failed.");
    }
    running = false;
}

void CenterOnPrimaryScreen(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowMainWindow()
{
    if (HWND window = s_mainWindow->GetHwnd())
        BringWindowBack(window);
}

} // namespace

void OnMainWindowCreated()
{
    HWND window = s_mainWindow->hwnd;
    CenterOnPrimaryScreen(window);
    s_mainWindow->StartAnimationTimer();
    s_mainWindow->AddTrayIcon(ShowMainWindow, ShowTrayMenu);
    s_mainWindow->SetMessageHandler(MainWindowMessageHandler);
    SetTimer(nullptr, 0, 2600, RefreshFolderBoxesTimer);
    SetTimer(nullptr, 0, s_autoBackupTimerMs, AutoBackupTimer);
    SendMessageW(window, WM_KELM_CAPTURE_DESKTOP, 0, 0);
    if (s_appStore[kRef][L"enableCompatibleLayer"].Get<bool>(false))
        RegisterThemeFolderNotify(window);
    RegisterStoredHotKeys(window);
    // Part files of jobs a run left unfinished go first, and a folder move
    // it cut off half way is told; then what it left for undo is let go of
    // before any box makes new copies.
    PartFileJournal::UseDataFolder(s_dataFolder);
    const std::wstring cutOff = PartFileJournal::SweepLeftovers(PartFileJournal::Folder());
    if (!cutOff.empty())
        NotifyUser(L"part-sweep", cutOff);
    SweepTemporaryFolder();
    ShowPendingNotices(window);
}

LRESULT MainWindowMessageHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DISPLAYCHANGE:
        RestartOnDisplayChange();
        return 0;
    case WM_CLOSE:
        // Closing only hides: the program lives on in the tray.
        ShowWindow(window, SW_HIDE);
        return 0;
    case WM_SETTINGCHANGE:
        SendMessageW(window, WM_KELM_CAPTURE_DESKTOP, 0, 0);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == 'H')
            OpenHelpPage();
        return 0;
    case WM_HOTKEY:
        if (wParam == kQuickPanelHotKeyId) {
            // Decided by the window itself: the panel may have been closed
            // another way (Alt+F4) since the last press.
            TessikQuickPanel::SwitchQuickPanel(!TessikQuickPanel::IsQuickPanelOpen());
        } else if (wParam == kVisibilityHotKeyId) {
            ToggleAllBoxesVisible();
            s_boxesHidden = !s_boxesHidden;
        }
        return 0;
    case WM_KELM_CAPTURE_DESKTOP:
        CaptureDesktop(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void ShowTrayMenu()
{
    POINT cursor{};
    GetCursorPos(&cursor);
    // Five spaces keep the label clear of the glyph.
    const std::vector<Brevin::KelmOption> options{
        // "返回" only closes the menu; a left click on the tray icon is what
        // brings the main window back.
        {L":\uF060:     返回", nullptr, 1},
        {L":\uF00D:     退出", QuitFromTray, 1},
    };
    KelmMenu::Show(s_mainWindow->GetHwnd(), cursor.x, cursor.y, options, kTrayMenuWidth, 0);
}

namespace
{

// What the user changed is on disk before the process ends. A store that
// still cannot be written is named, and the user decides: quitting loses
// it, staying keeps retrying. True when the quit may go on.
bool SaveUnsavedStoresBeforeQuit(bool mayStay)
{
    if (StoreSaveRetry::SaveAllNow())
        return true;
    const std::vector<UnsavedStoreLine> lines = StoreSaveRetry::UnsavedLines();
    Logger::GetInstance().Log(L"Tessik", L"ERROR",
                              L"Quitting with " + std::to_wstring(lines.size()) + L" store(s) still unsaved.");
    if (!mayStay) {
        MessageBoxW(nullptr, UnsavedStoresLostText(lines, L"退出").c_str(), L"Tessik", MB_OK | MB_ICONWARNING);
        return true;
    }
    return MessageBoxW(nullptr, UnsavedStoresQuitQuestion(lines).c_str(), L"Tessik",
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

} // namespace

void QuitFromTray()
{
    // The quit asks questions in modal loops, where the tray menu still
    // answers: a second quit inside the first would empty the undo lists
    // and destroy the window under it.
    static bool quitting = false;
    if (quitting)
        return;
    quitting = true;
    struct Done {
        ~Done() { quitting = false; }
    } done;
    // From the first question on nothing new takes files or starts a job;
    // a put-off quit opens the gate again.
    const FileActionGate::Closing closing(L"退出");
    Logger& logger = Logger::GetInstance();
    FileWorkerTracker& workers = FileWorkerTracker::GetInstance();
    if (workers.RunningCount() > 0) {
        logger.Log(L"Tessik", L"INFO", L"Waiting for file operations to stop before quitting.");
        // A worker that does not stop may be half way through a file, or
        // waiting for the user's answer to the shell's question: ending
        // the process would cut it off. The quit waits for another try.
        if (!workers.CancelAndWaitAnswering(kWorkerStopWait)) {
            NotifyUser(L"quit-while-working",
                       L"文件操作还没有停下来（它可能正在等你回答一个问题），Tessik 暂不退出，以免文件只处理了一半。\n"
                       L"请在操作结束后再退出。");
            return;
        }
    }
    if (!SaveUnsavedStoresBeforeQuit(true)) {
        logger.Log(L"Tessik", L"INFO", L"Quit put off: the user stays while stores are unsaved.");
        return;
    }
    if (s_themeFolderNotifyId) {
        SHChangeNotifyDeregister(s_themeFolderNotifyId);
        s_themeFolderNotifyId = 0;
    }
    // The undo lists are not kept: what their records hold leaves now, and
    // the user hears at once of anything brought into view.
    const LeaveReport left = EmptyEveryUndoList();
    if (!left.Empty())
        MessageBoxW(nullptr, LeaveReportText(left).c_str(), L"Tessik", MB_OK | MB_ICONWARNING);
    // Letting the undo copies go may have changed a box once more.
    SaveUnsavedStoresBeforeQuit(false);
    logger.Log(L"Tessik", L"INFO", L"Quit from the tray.");
    // Messages still queued before the quit message may carry a drop.
    FileActionGate::CloseForGood(L"退出");
    if (HWND window = s_mainWindow->GetHwnd())
        DestroyWindow(window);
    PostQuitMessage(0);
}

UINT s_autoBackupTimerMs = 60000;

void CALLBACK AutoBackupTimer(HWND, UINT, UINT_PTR, DWORD)
{
    static bool running = false;
    RunOnce(running, L"Automatic backup", [] { AutoBackupTick(); });
}
