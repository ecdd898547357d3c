// What the edit boxes ask of the system: the clipboard's text and the
// placement of the input method's windows. UI thread only.
#pragma once

#include <windows.h>

#include <string>

class KelmWindow;

namespace EditPlatform
{

// The framework window object of a handle, null for none (blinks run on it).
KelmWindow* WindowObject(HWND window);
// Key state as the edit boxes read it while handling a key.
bool ShiftDown();
bool ControlDown();

// Puts the text on the clipboard as CF_UNICODETEXT; the clipboard keeps
// what it held when the copy cannot be made.
bool WriteClipboardText(HWND owner, const std::wstring& text);
// The clipboard's CF_UNICODETEXT up to its first NUL, never past its
// block; false when there is none.
bool ReadClipboardText(HWND owner, std::wstring& text);
// Composition and candidate windows at a client point (pixels).
void PlaceImeWindows(HWND window, POINT at);

} // namespace EditPlatform
