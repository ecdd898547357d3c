// The reasons the program tells the user for a failure of the system, in
// Chinese: every code the program knows is worded here once, for the file
// operations, the stores and the backups alike. Pure; any thread.
#pragma once

#include <windows.h>

#include <string>

// The words for a system error code the program knows, empty for any
// other code.
std::wstring KnownErrorReason(DWORD error);
// The words for the code, or "错误代码 N" for a code the program does not
// know.
std::wstring ErrorReasonText(DWORD error);
