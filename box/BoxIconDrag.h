// Dragging icons: inside a freely arranged box the grabbed icon leaves a
// placeholder that travels through the box's list to the slot nearest the
// pointer while the other icons make room; releasing the button puts the
// icon there (moving the file into the folder of a folder-backed box when it
// is elsewhere). Leaving the box window, or grabbing an icon that cannot be
// rearranged (locked, searched, sorted, selected, quick panel), hands the
// icon or the selection to a system file drag that other boxes, the quick
// panel and the shell accept. A file drag from anywhere shows the same
// placeholder over a box's icons. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "box/icons/KelmIconManager.h"

// Armed by an internal drag: the box's pointer-leave handler runs the first
// (the drag turns into a system file drag); the box's paint, once the left
// button is up, or a click on an icon takes the second out of its slot and
// runs it (the icon is put down at the pointer).
extern std::function<void()> s_dragOutAction;
extern std::function<void()> s_dragFinishAction;

// What a drop may do with the dragged files: move them out of a box that
// holds its own files, else copy; only copy from a locked box or with Ctrl.
DWORD IconDragEffects(bool folderBacked, bool locked, bool ctrlDown);

// Runs the system drag (KelmDragHelper::StartFileDrag); tests replace it.
extern std::function<DWORD(const std::vector<std::wstring>& paths, DWORD effects, HWND source)> s_iconFileDrag;
// The pointer in screen pixels (GetCursorPos); tests replace it.
extern std::function<POINT()> s_iconDragCursor;

// The icon hooks: drag start, pointer moves over an icon, text dropped on
// an icon.
void BeginIconDrag(KelmIconManager& view, const IconRecord& record);
void UpdateIconDragState(KelmIconManager& view, const IconRecord& hovered);
void DropIconAtCursor(KelmIconManager& view, const IconRecord& record, const std::wstring& path);

// The two ends of an internal drag of `dragged` (the record as it was
// grabbed) in the view of `box`; both do nothing unless that box's drag
// runs.
void DragIconOutOfBox(KelmIconManager& view, const IconRecord& dragged, const BoxWindowPtr& box);
void MoveIconToBox(KelmIconManager& view, const IconRecord& dragged, const BoxWindowPtr& box);
// Esc: the drag ends with nothing moved and the icon back in its place.
// Read from the key's message (any window of the UI thread) and, for a box
// without the keyboard, from the key held at a pointer move.
void CancelIconDrag(KelmIconManager& view, const IconRecord& dragged, const BoxWindowPtr& box);

// The box window's side: its pointer-leave handler and its paint. True when
// the box's drag was handled (the leave handler then does nothing else).
bool RunIconDragOut(const BoxWindowPtr& box);
void FinishIconDragOnRelease(const BoxWindowPtr& box, bool leftButtonDown);

// Where a dragged icon goes among `positions` (top-left corners of the
// records of one owner group, in list order, indexes counted from
// `groupFirst`): beside the record whose centre is nearest to the pointer,
// after it once the pointer is right of its centre (grid) or below its top
// + 15 (list). Result in [groupFirst, groupFirst + count].
struct IconSlotInput {
    std::vector<std::pair<float, float>> positions;
    int groupFirst = 0;
    float edge = 48.0f;
    bool listView = false;
    float x = 0.0f;
    float y = 0.0f;
};
int NearestIconSlot(const IconSlotInput& input);

// Whether the item at path lies directly in folder (the same folder on
// disk, whatever the letter case or separators).
bool IsDirectlyInFolder(const std::wstring& path, const std::wstring& folder);
