// The window set-up the modal popups (input box, tip, choose-one) share:
// where their work area is and how their window is made. UI thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

class KelmButton;
class KelmWindow;

namespace PopupWindow
{

// The work area of `monitor`; the primary monitor's when the monitor cannot
// be read (a display change under the call).
RECT WorkArea(HMONITOR monitor);

// Sets `window` up as a popup at `rect` (physical pixels): borderless tool
// window with rounded corners, kept on top. Call before the popup's own
// callbacks and HookDestroy: Set installs the window's message handler.
void Configure(KelmWindow& window, const RECT& rect, const wchar_t* className, const wchar_t* title,
               bool closeOnDeactivate);

// Stops the hover repaint of a closing popup: its OK and cancel buttons give
// back their share of HoverAnimationCount first (so they count again next
// time), then the counter is reset, covering buttons freed mid-animation,
// and timer 11 is killed.
void StopHover(HWND window, KelmButton& ok, KelmButton& cancel);
// The same for a popup with any number of buttons (the colour swatches).
void StopHover(HWND window, const std::vector<std::shared_ptr<KelmButton>>& buttons);

// The soft shadow under menus and popups: darkness 80, sharpness and the
// downward offset following the DPI factor. It registers itself for the
// window and lives until the window goes.
void AddMenuShadow(HWND window);

} // namespace PopupWindow
