#include "sidewindows/quickpanel/QuickPanelState.h"

#include "sidewindows/quickpanel/QPListItem.h"
#include "ui/core/KelmWindow.h"

namespace TessikQuickPanel
{

std::vector<HiddenBoxRecord> s_hiddenBoxes;
std::vector<std::shared_ptr<QPListItem>> s_quickPanelRows;
std::wstring s_selectedComponentId;
bool s_selectedIsHidden = false;
bool s_physicalSectionActive = false;
bool s_pinned = true;
bool s_separateContent = false;
bool s_mappedSectionOnLeft = true;
RememberedRect s_rememberedRect;
float s_sidebarScroll = 0.0f;
UINT_PTR s_repaintTimer = 0;
float s_rowDragOffsetX = 0.0f;
float s_rowDragOffsetY = 0.0f;

std::shared_ptr<KelmWindow> s_quickPanelWindow = std::make_shared<KelmWindow>();
std::shared_ptr<KelmWindow> s_quickPanelDummy;
std::shared_ptr<KelmWindow> s_quickPanelContentWindow;

void SelectComponent(const std::wstring& id, bool hidden)
{
    s_selectedComponentId = id;
    s_selectedIsHidden = hidden;
    s_physicalSectionActive = false;
}

} // namespace TessikQuickPanel
