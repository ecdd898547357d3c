// The magnet access window beside the system's Open and Save dialogs.
// UI thread only.
#pragma once

namespace TessikMagWin
{

// true (re)creates the magnet window, false closes it. Minimal for now: no
// window is built yet.
void SwitchMagWin(bool enable);
// Rebuilds the box rows from the stores; nothing while the window is off.
void RefreshContent();

} // namespace TessikMagWin
