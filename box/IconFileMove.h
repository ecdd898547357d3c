// The file of an icon put down in a folder box's section while it lies
// elsewhere moves into that box's folder on the file worker, never on the
// UI thread: the icon follows only once the file has moved (with an undo
// record as a drop's), and whatever did not move is told by name. UI thread
// only, but for the worker.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "box/fileops/FileJobs.h"
#include "box/fileops/UndoRecord.h"

class KelmWindow;

// What a one-item move found, handed to the UI thread.
struct ItemMoveDone {
    // Where the item now is; empty when nothing of it left its source.
    std::wstring destination;
    // Undo of the move (a drop's kind 0), for callers that offer it.
    UndoRecord undo;
    // Something stayed at the source (held open, a link inside a folder).
    bool partly = false;
    // Why the first entry copied could not leave the source (0 when only
    // links stayed).
    DWORD removalError = 0;
    // Something of it stands at both places; otherwise what stayed is only
    // at its source.
    bool keptTwice = false;
    JobTrouble trouble;
};

// Starts a file job for box that moves source to destination on the file
// worker, never over anything (a destination taken since the plan gives a
// free name); finish then runs on the UI thread with the box as it stands
// (or null). False when no job could start; nothing was told then.
// logText heads the log line of a failed move.
bool StartItemMove(const std::shared_ptr<KelmWindow>& box, const std::wstring& source, const std::wstring& destination,
                   const std::wstring& logText,
                   std::function<void(const std::shared_ptr<KelmWindow>& standing, ItemMoveDone done)> finish);

struct DraggedFileMove {
    // The view the icon was dragged in.
    std::shared_ptr<KelmWindow> box;
    std::wstring source;
    // A free name in the folder of owner, chosen at the release.
    std::wstring destination;
    // The icon as it will stand once its file moved: its slot in the view,
    // where it was put down, and the section (owner) it joins.
    int index = 0;
    float x = 0.0f;
    float y = 0.0f;
    std::wstring alias;
    std::wstring originalPath;
    bool merged = false;
    std::wstring section;
    std::shared_ptr<KelmWindow> owner;
};

// Starts the move; false when no job could start (another one runs), and
// then the user has been told that the file stays where it is.
bool StartDraggedFileMove(DraggedFileMove move);
