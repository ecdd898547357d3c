// One file operation that the user can take back, kept in the undo and redo
// lists of the box it concerns. UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class KelmWindow;

struct UndoRecord {
    // 0 created, 1 recycled, 2 renamed, 3 mapping added, 4 record removed,
    // 5 alias changed.
    uint32_t kind = 0;
    std::wstring path;
    // The kept copy of a recycled file (kind 1); for kind 0, the kept copy
    // of what the created item replaced, which undo puts back (empty when
    // nothing was replaced).
    std::wstring tempPath;
    // Kind 0 of an item moved in from elsewhere: where it came from, so that
    // undo puts the user's file back there. Kind 4: "bvn!NULL".
    std::wstring extra;
    // The box whose lists receive the record; empty means the box it was
    // pushed to.
    std::shared_ptr<KelmWindow> owner;
    // Kind 1: the item really reached the Recycle Bin, so the kept copy is
    // no longer the only one and may be deleted when the record is dropped.
    bool recycleConfirmed = false;
};
