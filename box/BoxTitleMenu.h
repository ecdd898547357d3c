// The title tag's menu: colour swatches that set the box's tag colour (the
// key of its colour group) and rows that rename the box, merge its colour
// group into it and split it out again. UI thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "box/BoxRuntime.h"
#include "ui/core/KelmOption.h"

namespace TessikDesktopContainer
{

// The title tag's click: opens the colour menu `top` = i + 40 DIPs below
// the owner's top (i twice for TitleType 2) and applies the chosen colour.
void ShowBoxTitleMenu(const BoxWindowPtr& box, HWND owner, int titleType, float titleInset);
// The menu's rows in order: "标题", then "合并" / "群组" side by side, each
// clickable only where it applies.
std::vector<Brevin::KelmOption> BoxTitleMenuOptions(const BoxWindowPtr& box);
// Gives the box the colour tag and writes "clrtag"; an integrated host
// passes it to every hidden member of its group. Saves.
void SetBoxTagColour(const BoxWindowPtr& box, COLORREF colour);

// Asks for a new title in the input box; a cancelled box changes nothing.
void EditBoxTitle(const BoxWindowPtr& box);
// Sets and stores the title (an empty one too) and saves.
void SetBoxTitle(const BoxWindowPtr& box, const std::wstring& title);
// This box becomes the host of its colour group: the others hide and their
// records show inside it.
void MergeBoxGroup(const BoxWindowPtr& box);
// The host gives its group's records back and the members show again.
void SplitBoxGroup(const BoxWindowPtr& box);

} // namespace TessikDesktopContainer
