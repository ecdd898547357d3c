// The context menu: a borderless framework window of option rows with
// cascading submenus, side-by-side rows and tooltips. Not modal: Show
// returns once the menu is up and the options' callbacks do the work.
// Menus are known by their level (0 the caller's, 1 its submenu, ...); at
// most one is open per level. UI thread only.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "ui/controls/KelmOptionCtl.h"
#include "ui/core/KelmOption.h"
#include "ui/core/KelmWindow.h"

namespace KelmMenu
{

// Opens a menu at (x, y) screen pixels, width in DIPs. owner only places a
// submenu that flips to the left (may be null). Callers pass level 0;
// submenus pass their parent's level + 1. The options are copied.
void Show(HWND owner, int x, int y, const std::vector<Brevin::KelmOption>& options, int width, int level);
// Closes the menu of this level and every deeper one; CloseFrom(0) closes all.
void CloseFrom(int level);
// The hover callback of a plain row: opens, keeps or closes the submenu.
void OpenSubmenu(const std::weak_ptr<KelmWindow>& menu, const Brevin::KelmOption& option, int level, int row);

// Open menus, entry i being the menu of level i.
extern std::vector<std::shared_ptr<KelmWindow>> s_openMenus;
// Per level: the options shown, their rows (one per plain row and one per
// side-by-side item, in display order) and the row whose submenu is open.
extern std::map<int, std::vector<Brevin::KelmOption>> s_menuOptions;
extern std::map<int, std::vector<std::shared_ptr<KelmOptionCtl>>> s_menuControls;
extern std::map<int, int> s_menuOpenRow;

// ---- Pure layout, in pixels unless said otherwise -------------------------

// Rows are 40 DIPs apart with 10 above the first and 10 below the last;
// a side-by-side row counts once.
SIZE MenuSize(int optionCount, int widthDips, double dpi);

struct MenuPlacement {
    int x = 0, y = 0; // wished top-left corner
    int width = 0;    // pixels
    int height = 0;   // pixels
    int level = 0;
    RECT work{};             // work area of the nearest monitor
    std::vector<RECT> lower; // open menus of lower levels
    bool ownerKnown = false;
    RECT owner{}; // the parent menu's window rectangle
    double dpi = 1.0;
};
// Keeps the menu on the work area; a submenu that would pass the right
// edge or cover a lower menu by more than 10 DIPs opens on the left.
POINT PlaceMenu(const MenuPlacement& placement);

struct SideItem {
    int x, y, w, h; // DIPs
};
// The items of a side-by-side row whose top is rowY, in a menu whose rows
// are rowWidth DIPs wide.
std::vector<SideItem> SideItemLayout(int rowWidth, int rowY, int count);

} // namespace KelmMenu
