// Private window messages of the program, in one place.
#pragma once

#include <windows.h>

// A second start asks the running instance to show itself.
constexpr UINT WM_KELM_INSTANCE_PING = 4081;
// Sent to a framework window right after it was created.
constexpr UINT WM_KELM_CREATED = 4082;
// Main window: capture the desktop again (wallpaper or compatibility change).
constexpr UINT WM_KELM_CAPTURE_DESKTOP = 4084;
// A drop shadow window destroys itself.
constexpr UINT WM_KELM_SHADOW_DESTROY = 4085;
// The window's drop target gathered dropped files.
constexpr UINT WM_KELM_FILES_DROPPED = 4086;
// Tray icon callback; lParam carries the mouse message.
constexpr UINT WM_KELM_TRAY = 4087;
// Posted by a worker thread that handed a callback to a window whose
// animation timer is stopped: the window starts it on its own thread.
constexpr UINT WM_KELM_WAKE_ANIMATION = 4088;
// Posted to the file jobs' own message window: a worker handed it results.
constexpr UINT WM_KELM_FILE_JOB_MAIL = 4089;
// Posted to the quick panel by its thread-pool beat while its icons move:
// the panel steps its animations (a posted message is not held back by
// paints as WM_TIMER is).
constexpr UINT WM_KELM_QUICK_PANEL_TICK = 4093;
