// A beat for the quick panel's icon animations that the boxes' paints
// cannot hold back. The framework steps animations on WM_TIMER, which the
// system hands out only once no window of the thread waits for a paint:
// right after a start with many boxes their paints kept it away for
// seconds, and the panel stood with its icons still faded out. A message
// posted from a thread-pool timer is taken before any paint. UI thread
// only, except where said.
#pragma once

#include <windows.h>

namespace TessikQuickPanel
{

// Posts WM_KELM_QUICK_PANEL_TICK to the panel window every 16 ms, never a
// second one before the first was taken. Renders into `rendering` (the
// panel, or the separate content window). Starting again only changes the
// window.
void StartAnimationTick(HWND panel, HWND rendering);
// No tick is posted once this returns.
void StopAnimationTick();
// The panel's handler of the tick: steps the animations of the panel's
// windows and repaints the window the content is drawn in.
void OnAnimationTick();

} // namespace TessikQuickPanel
