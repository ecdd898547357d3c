// Folding a box to its title bar: by the fold button, and for a
// hover-minimized box, which unfolds once the pointer has rested on it for
// 0.1 s and folds again 0.3 s after the pointer left; a file drag over it
// unfolds it at once. The delays and the
// size animations run on the box window's animation manager. UI thread only.
#pragma once

#include "box/BoxRuntime.h"

namespace TessikDesktopContainer
{

// The box window's onMouseMove callback: (re)starts the 0.1 s rest delay.
void OnBoxHoverEnter(const BoxWindowPtr& box);
// The box window's onMouseLeave callback: starts the 0.3 s delay to fold.
void OnBoxHoverLeave(const BoxWindowPtr& box);
// Unfolds a hover-folded box to its full height (0.15 s).
void ExpandHoverBox(const BoxWindowPtr& box);
// Folds a hover-unfolded box to its title bar (0.25 s) unless the pointer
// came back.
void FoldHoverBox(const BoxWindowPtr& box);
// The fold button's click: folds an open box to its title bar or opens a
// folded one; on a hover-unfolded box it leaves hover-minimize, open.
void ToggleBoxFolded(const BoxWindowPtr& box);
// The fold button held down: the box becomes hover-minimized and folds.
void TurnOnHoverMinimize(const BoxWindowPtr& box);

// Asked while a file drag is over the box: a folded hover-minimized box
// unfolds at once so the files can be dropped into it. Nothing happens
// without a file drag from outside.
void UnfoldBoxUnderDrag(const BoxWindowPtr& box);

} // namespace TessikDesktopContainer
