// Import of files dropped on a box: mapping records for a box without a
// folder, otherwise a planned move (or copy) into the box's folder by one
// file worker, whose items come back one by one as records with their undo
// records. UI thread only, apart from the worker.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "box/fileops/CopyJob.h"

class KelmWindow;

struct DroppedFiles {
    std::vector<std::wstring> paths;
    // Cursor at the drop, screen pixels.
    POINT cursor{};
    // The drag's allowed effects and whether Ctrl was held at the drop.
    DWORD allowedEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    bool ctrlAtDrop = false;
};

// The same-name question: 0 numbered copy, 1 overwrite, -1 cancel. Asked at
// most once per drop; tests replace it.
extern std::function<int(HWND owner)> s_sameNameQuestion;

// Imports the drop into the box (the body of the drop timer). Ctrl held now
// or at the drop copies; a drag that does not allow moving is copied.
void ImportDroppedFiles(const std::shared_ptr<KelmWindow>& box, const DroppedFiles& drop);

// The worker of a drop job (its own thread).
void CopyFilesWorker(CopyJob job);
