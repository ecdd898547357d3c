// New components from the panel's sidebar buttons: "test-plus" offers the
// three box kinds, "test-cuteghost" makes a hidden box. UI thread only.
#pragma once

#include <windows.h>

#include <string>

namespace TessikQuickPanel
{

// The three box kinds in a menu at the cursor.
void ShowNewComponentChooser();
void CreateHiddenBoxFromPanel();
// Appends a hidden box ("隐身收纳盒", folder containerDir\temp_<id>),
// saves it, rebuilds the list and selects it; repaints the window.
void CreateHiddenBox(HWND repaint);

// The folder of a new hidden box: the container folder (its stored form)
// followed by "\temp_" and the id.
std::wstring HiddenBoxFolder(const std::wstring& containerDir, const std::wstring& id);

} // namespace TessikQuickPanel
