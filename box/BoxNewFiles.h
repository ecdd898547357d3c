// "新建" of a folder-backed box: a new folder or empty document under the
// first free name, its icon placed where the user right-clicked, and an
// undo record. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "box/BoxRuntime.h"
#include "box/icons/KelmIconManager.h"

namespace TessikDesktopContainer
{

struct NewItemKind {
    const wchar_t* label;
    const wchar_t* baseName;
    const wchar_t* extension;
    bool isFolder;
};

// The seven kinds of the "新建" submenu, in menu order.
const std::vector<NewItemKind>& NewItemKinds();

// Whether the kind's file starts with the UTF-8 byte-order mark.
bool NewFileHasBom(const std::wstring& extension);

// The n-th candidate name: folder\name ext, then folder\name (1) ext, ...
std::wstring NewItemCandidate(const std::wstring& folder, const std::wstring& name, const std::wstring& extension,
                              int n);

// Makes the item in the box's folder (or in the folder of the member box
// whose icon is nearest to the click), never over an existing item, and
// adds its record beside that icon. p: the cursor when the menu opened, in
// screen pixels. When nothing could be made the user is told and no record
// is added. Returns the path made, or empty.
std::wstring CreateNewFileInBox(const BoxWindowPtr& box, KelmIconManager* manager, POINT p, const std::wstring& name,
                                const std::wstring& extension, bool isFolder);

} // namespace TessikDesktopContainer
