// New components from the panel's sidebar buttons: "test-plus" offers the
// three box kinds ("新建组件"), "test-cuteghost" makes a hidden box.
// UI thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

class KelmSelectionCard;

namespace TessikQuickPanel
{

// The panel's chooser card; made anew when the panel closes.
extern std::shared_ptr<KelmSelectionCard> s_newComponentCard;

// The three box kinds: in the panel's card in joined mode, in a menu at
// the cursor in separate mode.
void NewComponentChooser();
// Whether the chooser card is up (its barrier then keeps the panel's
// controls from the pointer and idle repaints wait).
bool NewComponentCardOpen();
// Gives the card the panel's colours; every paint, before it is added.
void StyleNewComponentCard();
// Forgets the card of this opening: the next opening starts closed.
void ResetNewComponentCard();
void CreateHiddenBoxFromPanel();
// Appends a hidden box ("隐身收纳盒", folder containerDir\temp_<id>),
// saves it, rebuilds the list and selects it; repaints the window.
void CreateHiddenBox(HWND repaint);

// The folder of a new hidden box: the container folder (its stored form)
// followed by "\temp_" and the id.
std::wstring HiddenBoxFolder(const std::wstring& containerDir, const std::wstring& id);
// Makes that folder with its missing parents. One that cannot be made now
// is only logged: the first file put into the box makes it.
void MakeHiddenBoxFolder(const std::wstring& folder);

} // namespace TessikQuickPanel
