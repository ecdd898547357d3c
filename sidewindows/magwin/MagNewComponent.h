// New boxes from the magnet window's header: the "新建组件" chooser in the
// window's selection card (new boxes lie at the bottom, z 0) and a hidden
// box from the ghost icon. UI thread only.
#pragma once

#include <windows.h>

#include <memory>

class KelmSelectionCard;

namespace TessikMagWin
{

// Opens the chooser in the card; client is the magnet window's client
// rectangle in pixels.
void NewComponentChooser(HWND window, const RECT& client, const std::shared_ptr<KelmSelectionCard>& card);
// Stores a new hidden box ("隐身收纳盒", folder containerDir\temp_<id>) and
// shows it in the lists.
void CreateHiddenBox();

} // namespace TessikMagWin
