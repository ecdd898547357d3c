// The quick panel: the hotkey sidebar that lists every box. UI thread only.
#pragma once

namespace TessikQuickPanel
{

// true builds and shows the panel, false remembers its place and closes
// it. Minimal for now: no window is built yet.
void SwitchQuickPanel(bool open);

} // namespace TessikQuickPanel
