// The component library page's card actions and the default box folder
// choice behind the settings page's "修改". The page owns one selection
// card: "万能收纳盒" fills it with the new-box chooser, "磁力访问窗" with the
// magnet window's switch. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "ui/core/D2DBrevinPanel.h"

class KelmSelectionCard;

// x, y, w, h in DIPs.
using LibraryRect = std::array<int, 4>;

// Where the selection card opened from a library card goes: 520 x 400 at
// the card's left edge and 20 below its top, moved back inside a client of
// clientWidth x clientHeight DIPs, never above or left of it.
LibraryRect LibraryCardTarget(const LibraryRect& card, int clientWidth, int clientHeight);

// The library's selection card, made on first use.
std::shared_ptr<KelmSelectionCard> LibrarySelectionCard();
// Adds the selection card to the page, and below it, while it is open, a
// barrier over the client (w x h DIPs) that keeps clicks off the page.
void AddLibrarySelectionCard(Brevin::D2DBrevinPanel& panel, float w, float h);

// "万能收纳盒": the three box kinds in the selection card, opened from the
// card's rectangle. Boxes made here get z 1; the card stays open.
void NewComponentChooser(HWND window, RECT client, LibraryRect card);
// The target box row: a folder chosen with the picker becomes a box.
void CreateChosenComponent();
// "磁力访问窗": the card with the magnet window's switch in its stored state.
void BuildMagWinCard(HWND window, RECT client, LibraryRect card);
// Stores "enabled" in "MagnetCom.kelm", then switches the magnet window.
void OnMagWinSwitch(bool on);

// The picture areas of the two cards.
void ShowSampleFilePage(ID2D1HwndRenderTarget* target, float x, float y, float w, float h);
void ShowMagWinSamplePage(ID2D1HwndRenderTarget* target, float x, float y, float w, float h);

// A chosen folder in the form "containerDir" keeps: trailing separators
// gone (a drive root keeps its own, "D:\" is not "D:", the current folder
// of drive D), then every backslash doubled; a UNC path keeps its leading
// pair (doubled too).
std::wstring StoredContainerDir(const std::wstring& chosen);
// Lets the user choose the default folder of new boxes ("containerDir").
void ChangeContainerDir();
