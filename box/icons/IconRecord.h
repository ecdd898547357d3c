// IconRecord: one icon of a view (a box, the quick panel or the magnet
// window): the file it stands for, where it is drawn and where the layout
// wants it, and the flags that hand a move over to the animation pass.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "box/BoxRuntime.h"

struct IconRecord {
    // Index in the manager's list; renumbered after every insert, removal
    // and sort.
    uint32_t id = 0;
    std::shared_ptr<TessikDesktopContainer::KelmIcon> control;
    // "bvn!NULL" = no alias.
    std::wstring alias = L"bvn!NULL";
    std::wstring path;
    int32_t edge = 48;
    float x = 0.0f;
    float y = 0.0f;
    // -100, -100 while the search hides the record.
    float targetX = 0.0f;
    float targetY = 0.0f;
    bool farMove = false;
    bool nearMove = false;
    int32_t xAnimationId = -1;
    int32_t yAnimationId = -1;
    bool settled = true;
    // Shown here on behalf of another box.
    bool merged = false;
    // Non-empty: the layout opens a headed row before this record.
    std::wstring sectionText;
    // The box that owns the file; empty means the manager's own box.
    BoxWindowPtr owner;
    // Where the file was before it entered the box; "bvn!NULL" = unknown.
    std::wstring originalPath = L"bvn!NULL";
    // Never laid out yet: the first layout makes it fade in.
    bool isNew = false;
    float opacity = 1.0f;
    float appearDelay = 0.0f;
    bool appearPending = false;
    bool smallMove = false;
    // FILETIME ticks of the last write, 0 when unknown.
    int64_t lastWriteTime = 0;
    // Lower-cased file-name part of the alias (or path): sort and search key.
    std::wstring sortName;
    bool isDirectory = false;
};
