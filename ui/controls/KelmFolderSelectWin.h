// The folder chooser: a resizable modal popup titled "选择文件夹" with a
// path box, the file selector (starting at the drive list "计算机"), the
// current choice and OK / cancel. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// "bvn!NULL" when the chooser opens and after cancel or a click elsewhere;
// after OK the folder shown (ending in "\"), or "bvn!NULL" at the drive
// list.
extern std::wstring s_folderResult;
// The folder the chooser shows; "计算机" at the drive list.
extern std::wstring s_folderCurrentPath;
// Set once the first paint of a showing has put the start path into the
// browser and the path box.
extern uint8_t s_folderFirstPaintDone;

namespace KelmFolderSelectWin
{

// Shows the chooser centred on the primary screen and returns when it has
// closed; compare s_folderResult with "bvn!NULL" then. The two texts are
// not read. A call while a chooser is open returns at once with
// "bvn!NULL".
void KelmCreateWindow(HWND owner, const wchar_t* text1, const wchar_t* text2);

} // namespace KelmFolderSelectWin
