// Keeps one running Tessik per logon: the first start holds the named
// mutex; a second start raises the first one's main window and ends; a
// start with "--restart" waits (bounded) for the old process to end.
#pragma once

#include <windows.h>

constexpr wchar_t kAppMutexName[] = L"Local\\Tessik_App_Mutex";
constexpr wchar_t kMainWindowClass[] = L"Kelm.Class.Tessik.App.Main";
constexpr wchar_t kMainWindowTitle[] = L"Tessik";
constexpr wchar_t kRestartSwitch[] = L"--restart";
// How long a restarted process waits for the old one.
constexpr DWORD kRestartWaitMs = 3000;

// Shows the window, restores it when it is minimised (SW_SHOW would leave
// it iconic) and brings it to the front.
void BringWindowBack(HWND window);

// True when the command line holds "--restart" anywhere.
bool HasRestartSwitch(const wchar_t* commandLine);

// Takes the mutex (kept open until the process ends). Returns false when
// another instance runs and this start must end with exit code 0 (its main
// window has been brought back). With "--restart" it waits for the old
// process and returns true.
bool ClaimSingleInstance(const wchar_t* commandLine);
