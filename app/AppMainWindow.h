// The main window's process-wide side: its one global, what runs once it
// exists (timers, tray icon, desktop capture, hotkeys), its fallback
// message handler and the tray menu. UI thread only.
#pragma once

#include <windows.h>

#include <memory>

#include "ui/core/KelmWindow.h"

// Allocated before wWinMain runs and never freed.
extern std::shared_ptr<KelmWindow> s_mainWindow;

// Created callback of the main window.
void OnMainWindowCreated();
// Fallback handler of the main window's messages the framework leaves.
LRESULT MainWindowMessageHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Right click on the tray icon: a menu at the cursor; "返回" only closes it,
// "退出" quits.
void ShowTrayMenu();
// "退出": lets running file workers stop, closes the main window and ends
// the message loop.
void QuitFromTray();

// Thread-timer procedure of the automatic backup. It also fires inside
// modal loops (message boxes, popups), so it refuses to run inside itself.
// (The folder refresh timer, RefreshFolderBoxesTimer, lives with the folder
// sync and guards itself the same way.)
void CALLBACK AutoBackupTimer(HWND, UINT, UINT_PTR, DWORD);
// The period of AutoBackupTimer, one minute of "AutoBackupInterval". Only
// the test build sets it shorter, before the main window is created, so
// tests see the minute pass without waiting for it.
extern UINT s_autoBackupTimerMs;
