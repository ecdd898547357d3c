// The last step of a box's creation: its place among the desktop's windows
// (embedded in the desktop layer or floating at its z order), its styles,
// its timers and the window-manager attributes of its render style.
// UI thread only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "box/BoxRuntime.h"

// The Windows build number (RtlGetVersion), or nothing when it cannot be
// read.
std::optional<DWORD> ReadWindowsBuild();

// EnumWindows procedure: for every top-level window that hosts the shell's
// icon view, the "WorkerW" window after it is stored in *(HWND*)param; the
// last match wins.
BOOL CALLBACK FindDesktopWorkerWindow(HWND window, LPARAM param);

// Owns the window by the desktop's worker window behind the icons (or
// "Progman"), makes it a layered popup and puts it at the bottom.
void EmbedInDesktopLayer(HWND window);

// The onCreated callback of a box window.
void FinishBoxWindow(const std::wstring& id, const BoxWindowPtr& box, bool hideAfterCreation);
