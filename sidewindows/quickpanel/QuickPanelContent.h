// The right side of the quick panel: the content of the selected
// component, in the panel beside the sidebar (joined mode) or in the
// separate content window. For now it shows which component is selected;
// its icons, search and toolbar come with the content view. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <memory>

#include "sidewindows/quickpanel/QuickPanelContentModel.h"

class KelmWindow;
class KelmCaptionBar;

namespace TessikQuickPanel
{

// Draws the content area from `left` to w (DIP) of the window and lets the
// caption bar move the window.
void RenderRightSide(HWND hwnd, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmWindow> window, float w, float h,
                     float left, std::shared_ptr<KelmCaptionBar> captionBar);

} // namespace TessikQuickPanel
