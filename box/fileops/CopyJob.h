// One copy or move job handed to a file worker: the box, its items and the
// same-name answer of the operation. Owned by the worker thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "box/BoxInUse.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/UndoRecord.h"

class KelmWindow;
class DropOutcome;

struct CopyJobItem {
    std::wstring source;
    std::wstring destination;
    // Becomes the icon record's original path.
    std::wstring originalPath;
    // Where the new record goes in the box's list, and where it appears.
    int32_t insertIndex = 0;
    float dropX = 0.0f;
    float dropY = 0.0f;
    // The box whose section the new record joins.
    std::shared_ptr<KelmWindow> owner;
    // Moved rather than copied (only drops move).
    bool move = false;
    // The destination existed and the user chose to replace it.
    bool replace = false;
    // Where a paste keeps what it replaces, for undo to put it back; empty
    // when nothing is replaced.
    std::wstring keptCopy;
};

struct CopyJob {
    std::shared_ptr<KelmWindow> box;
    // Keeps the box from being made again or deleted until the job ends.
    BoxInUse hold;
    std::vector<CopyJobItem> items;
    // -1 not asked, 0 numbered copy, 1 overwrite.
    int32_t conflictChoice = -1;
    // Dropped entries that were not there when the job was planned, and
    // why: told with whatever else of the job did not arrive.
    std::vector<TransferFailure> notFound;
    // A drop's answer to its source, told on the UI thread when the job
    // has ended; never released by the worker.
    std::shared_ptr<DropOutcome> outcome;
    // The box's folder the drop was planned against, and which folder that
    // was (taken with the plan): the job stops moving once the path names
    // no folder or another one. Unknown identity: the job is not guarded.
    std::wstring intoFolder;
    ItemIdentity intoFolderIdentity;
};
