// Dragging icons out of a box: the icon control's drag start hands the
// dragged icon, or the whole selection when the icon belongs to it, to a
// system file drag that other boxes, the quick panel and the shell accept.
// UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "box/icons/KelmIconManager.h"

// What a drop may do with the dragged files: move them out of a box that
// holds its own files, else copy; only copy from a locked box or with Ctrl.
DWORD IconDragEffects(bool folderBacked, bool locked, bool ctrlDown);

// Runs the system drag (KelmDragHelper::StartFileDrag); tests replace it.
extern std::function<DWORD(const std::vector<std::wstring>& paths, DWORD effects, HWND source)> s_iconFileDrag;

// The icon manager's drag-start hook.
void BeginIconDrag(TessikDesktopContainer::KelmIconManager& view, const IconRecord& record);
