#include "app/DisplayRestart.h"

#include <windows.h>
#include <shellapi.h>

#include <cmath>

#include "app/FileActionGate.h"
#include "app/Logger.h"
#include "app/StoreSaveRetry.h"
#include "app/TempFolderUse.h"
#include "ui/core/DpiScale.h"

namespace
{

RestartState s_restartState;

} // namespace

bool DecideDisplayRestart(RestartState& state, int width, int height, double dpiScale, bool leftButtonDown,
                          uint64_t nowTick)
{
    if (state.width == 0 && state.height == 0) {
        state.width = width;
        state.height = height;
        state.scale = static_cast<float>(dpiScale);
        state.tick = nowTick;
        return false;
    }
    if (width == state.width && height == state.height && std::fabs(dpiScale - state.scale) <= 0.01) {
        state.tick = nowTick;
        return false;
    }
    // Transient modes (a game, a projector being set up) and a drag in
    // progress must not restart the program; neither may a burst of
    // changes within three seconds of the last one seen.
    if (width < 800 || height < 600)
        return false;
    if (leftButtonDown)
        return false;
    if (nowTick - state.tick <= 3000)
        return false;
    state.width = width;
    state.height = height;
    state.scale = static_cast<float>(dpiScale);
    return true;
}

bool StartRestartedProcess()
{
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", program, L"--restart", nullptr, SW_SHOW));
    // ShellExecuteW reports success with a value above 32.
    if (result > 32)
        return true;
    Logger::GetInstance().Log(L"Tessik", L"ERROR",
                              L"Could not start a new Tessik process (ShellExecute " + std::to_wstring(result) +
                                  L"); this one keeps running.");
    return false;
}

void EndProcessNow(int exitCode)
{
    Logger::GetInstance().Flush();
    ExitProcess(static_cast<UINT>(exitCode));
}

std::function<bool()> s_beforeOwnRestart;

bool LetGoBeforeOwnRestart()
{
    return !s_beforeOwnRestart || s_beforeOwnRestart();
}

void EndForOwnRestart(bool clean)
{
    if (clean)
        s_tempFolderUse.EndCleanly();
    else
        Logger::GetInstance().Log(L"Tessik", L"WARNING", L"Restarting while a file job did not stop.");
    EndProcessNow(0);
}

void RestartOnDisplayChange()
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const bool leftDown = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
    if (!DecideDisplayRestart(s_restartState, width, height, DpiScale, leftDown, GetTickCount64()))
        return;
    // A restart of the program's own ends as a quit does: jobs stopped,
    // kept copies let go (which may change a box once more), and no box
    // takes files while the shell's questions or a message stand open.
    const FileActionGate::Closing closing(L"重新启动");
    const bool clean = LetGoBeforeOwnRestart();
    // The new process reads the files: what is still unsaved goes first,
    // and what cannot is told before it is lost.
    if (!StoreSaveRetry::SaveAllNow())
        MessageBoxW(nullptr, UnsavedStoresLostText(StoreSaveRetry::UnsavedLines(), L"重新启动").c_str(), L"Tessik",
                    MB_OK | MB_ICONWARNING);
    if (StartRestartedProcess())
        EndForOwnRestart(clean);
}
