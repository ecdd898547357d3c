// Thumbnails of image files, decoded on a worker: a large photo takes the
// imaging component a good part of a second, and a box that shows a few
// dozen of them (a drop of a camera's folder) must not stand still while
// they are read. The icon shows the shell's icon until its pixels are in.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One icon's request. Filled on the UI thread when the worker is done with
// it; an icon that went meanwhile is simply not decoded.
struct ThumbnailRequest {
    bool done = false;
    // 32-bit premultiplied BGRA, rows of width * 4 bytes; empty when the
    // file gave no thumbnail (not an image, unreadable, gone).
    std::vector<uint8_t> pixels;
    uint32_t width = 0, height = 0;
};

// UI thread. Starts the decode of path, fitted into maxEdge x maxEdge, and
// repaints window when it is done. Null when no worker can run: the caller
// shows no thumbnail then, as for a file that gave none.
std::shared_ptr<ThumbnailRequest> RequestThumbnail(const std::wstring& path, double maxEdge, HWND window);
