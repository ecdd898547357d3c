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
// Right click on the tray icon.
void ShowTrayMenu();
// "退出": lets running file workers stop, closes the main window and ends
// the message loop.
void QuitFromTray();

// Thread-timer procedures of the UI thread. Both also fire inside modal
// loops (message boxes, popups), so each refuses to run inside itself.
void CALLBACK RefreshFolderBoxesTimer(HWND, UINT, UINT_PTR, DWORD);
void CALLBACK AutoBackupTimer(HWND, UINT, UINT_PTR, DWORD);
