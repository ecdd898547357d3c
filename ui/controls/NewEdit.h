// The input box: a modal popup that asks for one line of text (renaming a
// box or an icon, naming a theme). UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The entered text after OK (possibly empty), "bvn!NULL" after cancel, a
// click elsewhere, a quit request of the program, or when another input box
// was already open.
extern std::wstring s_editResult;
// Set by OK and cancel so that the deactivation which follows the window's
// destruction leaves the result alone; cleared by that deactivation.
extern uint8_t s_editClosedByButton;

namespace NewEdit
{

// Shows the input box centred on the owner (or on the cursor's monitor
// when the owner is null or gone), with the initial text (may be null) in
// its field, and returns when it has closed; read s_editResult then.
// Only the two buttons answer: the box has no key of its own (Enter and
// Escape neither confirm nor cancel).
void KelmCreateEdit(HWND owner, const wchar_t* initialText);

} // namespace NewEdit
