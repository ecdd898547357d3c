// Import of files dropped on a box: mapping records for a box without a
// folder, otherwise a planned move (or copy) into the box's folder by one
// file worker, whose items come back one by one as records with their undo
// records. UI thread only, apart from the worker.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "box/fileops/CopyJob.h"

class KelmWindow;
class DropOutcome;
struct BoxRuntime;

// Where a drop's records go when another view of the box took it (the
// quick panel, which lists the box's records in the box's order): an index
// of the box's list, a point (DIP) and the owner of the section there.
struct DropPlacement {
    int insertIndex = 0;
    float x = 0.0f, y = 0.0f;
    std::shared_ptr<KelmWindow> owner;
};

struct DroppedFiles {
    std::vector<std::wstring> paths;
    // Cursor at the drop, screen pixels.
    POINT cursor{};
    // Decided once, at the drop: DROPEFFECT_MOVE or DROPEFFECT_COPY into the
    // box's folder, DROPEFFECT_LINK for records of where the files are.
    DWORD effect = DROPEFFECT_LINK;
    // What the drag's source hears when the import has ended; may be empty.
    std::shared_ptr<DropOutcome> outcome;
    // Set by another view of the box: the records go there, not under the
    // cursor.
    std::optional<DropPlacement> at;
};

// The one decision of a drop, made when it lands: a box with its folder
// moves the files in (copies them with Ctrl, or when the drag cannot
// move); a box without one records where they are (LINK). NONE refuses
// the drop: every path is the box's folder or one of its ancestors.
DWORD DecideDropEffect(const BoxRuntime& runtime, const std::vector<std::wstring>& paths, DWORD allowedEffects,
                       bool ctrlHeld);

// What a drop tells when it leaves out the box's folder or the folders
// that hold it.
void TellDroppedIntoItself(const std::vector<std::wstring>& paths);

// The same-name question: 0 numbered copy, 1 overwrite, -1 cancel. Asked at
// most once per drop; tests replace it.
extern std::function<int(HWND owner)> s_sameNameQuestion;

// What a drop tells when the box's folder was moved, renamed or deleted
// while files went into it: how many stayed at their sources, how many
// went in, and where they are now (empty: it cannot be told).
std::wstring FolderLeftDuringDropText(const std::wstring& title, const std::wstring& folder, size_t notYet,
                                     size_t putIn, const std::wstring& whereNow);

// Imports the drop into the box (the body of the drop timer) as decided at
// the drop, and finishes its outcome with what was really done: at once
// when nothing is moved or copied (a cancelled question, a refused job),
// else when the worker has ended. A drop into the box's folder has its
// entries looked at on a thread of its own first; its plan, question and
// job follow on the UI thread.
void ImportDroppedFiles(const std::shared_ptr<KelmWindow>& box, const DroppedFiles& drop);
// A drop's entries are being looked at, or its plan (with its same-name
// question) runs: it is still pending.
bool DropBeingLookedAt();

// The worker of a drop job (its own thread).
void CopyFilesWorker(CopyJob job);
