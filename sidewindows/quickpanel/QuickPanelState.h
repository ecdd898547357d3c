// The quick panel's process-wide state: the hidden boxes and sidebar rows,
// the selected component, the window mode values kept from one opening to
// the next (none of them is stored in a file) and the three windows.
// UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class KelmWindow;

namespace TessikQuickPanel
{

class QPListItem;

// A box without a window of its own: a record in "TempList" of
// "QuickPanelCom.kelm" and a folder on disk.
struct HiddenBoxRecord {
    std::wstring id;
    std::wstring title = L"Temp";
    bool UseTargetFolder = false;
    std::wstring TargetFolder = L"bvn!NULL";
    std::wstring clrtag = L"#F2F2F2";
};

// The panel's window rectangle in pixels, remembered in memory only.
struct RememberedRect {
    bool valid = false;
    int32_t x = 0, y = 0, w = 0, h = 0;
};

extern std::vector<HiddenBoxRecord> s_hiddenBoxes;
// Sidebar rows in display order.
extern std::vector<std::shared_ptr<QPListItem>> s_quickPanelRows;
// Empty when nothing is selected.
extern std::wstring s_selectedComponentId;
extern bool s_selectedIsHidden;
// Of a hidden box's two sections, the physical one had the last click.
extern bool s_physicalSectionActive;
// The panel and content windows stay topmost; pinned again at every opening.
extern bool s_pinned;
// The content view lives in its own window.
extern bool s_separateContent;
extern bool s_mappedSectionOnLeft;
extern RememberedRect s_rememberedRect;
// DIPs, never below 0.
extern float s_sidebarScroll;
// Non-zero while the content repaint timer runs.
extern UINT_PTR s_repaintTimer;
// Cursor minus the dragged row's position (DIP), set when a row drag starts.
extern float s_rowDragOffsetX;
extern float s_rowDragOffsetY;

// The panel ("QUICK_PANEL_ROOT"), the hidden dummy that owns the physical
// section's icons ("QUICK_PANEL_PHYS") and the separate content window
// ("QUICK_PANEL_CONTENT"). The panel object always exists (a fresh one
// after every closing); the other two are empty until needed.
extern std::shared_ptr<KelmWindow> s_quickPanelWindow;
extern std::shared_ptr<KelmWindow> s_quickPanelDummy;
extern std::shared_ptr<KelmWindow> s_quickPanelContentWindow;

// Selects a component (an empty id clears the selection); every change of
// the selection starts again on the mapped section.
void SelectComponent(const std::wstring& id, bool hidden);

} // namespace TessikQuickPanel
