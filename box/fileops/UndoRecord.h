// One file operation that the user can take back, kept in the undo and redo
// lists of the box it concerns. UI thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "box/fileops/FileTransfer.h"

class KelmWindow;

// How an item looked when it was made: a file's size and write time, a
// folder's having anything in it. Unknown when it could not be read.
struct ItemStamp {
    bool known = false;
    bool folder = false;
    uint64_t size = 0;
    uint64_t writeTime = 0;
    bool operator==(const ItemStamp&) const = default;
};

struct UndoRecord {
    // 0 created, 1 recycled, 2 renamed, 3 mapping added, 4 record removed,
    // 5 alias changed.
    uint32_t kind = 0;
    std::wstring path;
    // The kept copy of a recycled file (kind 1); kind 0 after an undo: where
    // the item waits in the temporary folder; kind 2: the new path; kind 5:
    // the old alias.
    std::wstring tempPath;
    // Kind 0: the kept copy of what the created item replaced ("直接覆盖"),
    // which undo puts back in its place (empty when nothing was replaced).
    std::wstring replacedCopy;
    // Kind 0 of an item moved in from elsewhere: where it came from, so that
    // undo puts the user's file back there. Kinds 3 and 4: the alias
    // ("bvn!NULL" or empty for none); kind 5: the new alias.
    std::wstring extra;
    // Kind 0 of a folder moved in and merged into the box's folder of the
    // same name: what the move brought (the rest of that folder is the
    // box's own), so that undo gives the source back only that, and redo
    // moves it in again.
    std::optional<MergedEntries> merged;
    // Kind 0 of a merged move: each file it brought (relative path as in
    // merged) as it arrived, so that undo takes back only those and leaves
    // a file replaced since where it is. A file not listed is taken as the
    // one brought.
    std::map<std::wstring, ItemIdentity> mergedIdentities;
    // The box whose lists receive the record; empty means the box it was
    // pushed to.
    std::shared_ptr<KelmWindow> owner;
    // Kind 1: the item really reached the Recycle Bin, so the kept copy is
    // no longer the only one and may be deleted when the record is dropped.
    bool recycleConfirmed = false;
    // Kind 0 of an item the user made new in the box: undo takes it away
    // only while it still looks so, never once something was written in.
    ItemStamp made;
    // Kind 0: the item as it arrived (made, copied or moved in), so that
    // undo takes back only that item and never another of its name.
    ItemIdentity identity;
    // Kind 0 after an undo put back what the item had replaced: that as it
    // was put back, so that redo sets aside only that, never work written
    // into it since.
    ItemStamp replacedBack;
};
