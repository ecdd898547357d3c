// The file of an icon put down in a folder box's section while it lies
// elsewhere moves into that box's folder on the file worker, never on the
// UI thread: the icon follows only once the file has moved (with an undo
// record as a drop's), and whatever did not move is told by name. UI thread
// only, but for the worker.
#pragma once

#include <memory>
#include <string>

class KelmWindow;

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
