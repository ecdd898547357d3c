// The tip: a modal popup with a heading and a message that asks the user to
// confirm (deleting a box, hiding one). While it is up the program's other
// windows wait. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// 1 after OK; 0 after cancel, at every call, and when the program quit
// while the tip was up.
extern int32_t s_tipResult;
// The texts the tip shows; a call while a tip is open replaces them.
extern std::wstring s_tipMessage;
extern std::wstring s_tipHeading;

namespace NewTip2
{

// Shows the tip centred on the owner (or on the cursor's monitor) and
// returns when it has closed; read s_tipResult then. The message may hold
// a line break.
void KelmCreateWindow(HWND owner, const wchar_t* message, const wchar_t* heading);

} // namespace NewTip2
