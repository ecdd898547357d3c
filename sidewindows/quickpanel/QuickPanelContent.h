// The right side of the quick panel: the content of the selected
// component, in the panel beside the sidebar (joined mode) or in the
// separate content window. The icons are the box machinery's records and
// controls, held by the managers of the pseudo boxes "QUICK_PANEL_ROOT"
// (one section, or a hidden box's mapped entries) and "QUICK_PANEL_PHYS"
// (a hidden box's physical entries). UI thread only, called from paint.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <memory>

#include "sidewindows/quickpanel/QuickPanelContentModel.h"

class KelmWindow;
class KelmCaptionBar;

namespace TessikQuickPanel
{

// Draws the content area from `left` to w (DIP) of the window: toolbar,
// search edit, one or two sections of icons, marquee and drag feedback;
// places the receiver that takes drops and right clicks under them.
void RenderRightSide(HWND hwnd, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmWindow> window, float w, float h,
                     float left, std::shared_ptr<KelmCaptionBar> captionBar);

// "test-refresh": the content and the sidebar built again, both windows
// repainted.
void RefreshQuickPanelAll();
// "test-pin": the panel (and the content window) stay on top, or not.
void TogglePin();
// "test-left" / "test-right": a hidden box's two sections trade halves.
void ToggleSectionOrder();

// Closing the panel forgets the search text and the pin button's state:
// the next opening gets them new.
void ResetContentViewControls();

} // namespace TessikQuickPanel
