// Files dropped on a box: the receiver's callback parks the drop in the one
// pending slot of the program and arms a 10 ms thread timer, whose
// procedure imports the files outside the OLE drop call. UI thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "box/BoxRuntime.h"
#include "box/fileops/DropImport.h"

namespace TessikDesktopContainer
{

// Whether the box would take a drop now: not locked, not searching with a
// pattern, no other drop pending, and for a folder box no file job running.
bool BoxAcceptsDrop(const BoxWindowPtr& box);

// A drop the box refused was let go over it: the user hears why, where it
// was a file job that stood in the way (a locked or searching box takes
// no drops, as it shows).
void TellBoxDropRefused(const BoxWindowPtr& box);

// The receiver's files-dropped callback.
void OnBoxDropFiles(const BoxWindowPtr& box, const std::vector<std::wstring>& paths);

// A drop that another view of the box took (the quick panel): the box's
// own road, its records placed at `at`. Refused and told while another
// drop is pending or, for a box with a folder, while a file job runs.
void DropOnBoxAt(const BoxWindowPtr& box, const std::vector<std::wstring>& paths, const DropPlacement& at);

// The timer procedure: takes the drop out of the slot and imports it.
void CALLBACK ProcessDroppedFiles(HWND, UINT, UINT_PTR timerId, DWORD);

// A drop is waiting for its timer.
bool BoxDropPending();

} // namespace TessikDesktopContainer
