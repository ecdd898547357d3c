#include "app/SingleInstance.h"

#include <cwchar>

void BringWindowBack(HWND window)
{
    ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window);
}

bool HasRestartSwitch(const wchar_t* commandLine)
{
    return commandLine && std::wcsstr(commandLine, kRestartSwitch) != nullptr;
}

bool ClaimSingleInstance(const wchar_t* commandLine)
{
    // Deliberately never closed while this process runs: it marks the
    // instance until the system frees it at exit.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kAppMutexName);
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return true;

    HWND running = FindWindowW(kMainWindowClass, kMainWindowTitle);
    if (!HasRestartSwitch(commandLine)) {
        if (running)
            BringWindowBack(running);
        if (mutex)
            CloseHandle(mutex);
        return false;
    }
    if (running) {
        DWORD processId = 0;
        GetWindowThreadProcessId(running, &processId);
        if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId)) {
            WaitForSingleObject(process, kRestartWaitMs);
            CloseHandle(process);
        }
    }
    return true;
}
