// The quick panel's component list: the hidden boxes of "TempList", one
// sidebar row per box and hidden box in the order saved under "ListOrder"
// of "QuickPanelCom.kelm", and releasing a box integrated into the panel.
// UI thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "sidewindows/quickpanel/QuickPanelState.h"

class KelmStorage;
class KelmWindow;

namespace TessikQuickPanel
{

// Rebuilds s_hiddenBoxes and s_quickPanelRows from the stores and the box
// registry, selects the first row when nothing is selected and refreshes
// the content.
void BuildQuickPanelList();
// Writes the rows' order to "ListOrder" (exactly the current rows) and
// saves the store.
void SaveQuickPanelListOrder();
// Writes every hidden box record to "TempList" and saves the store.
void SaveHiddenBoxRecords();
// The box leaves the panel: no longer integrated, its icons saved without
// the records it showed for others, and the boxes of its colour that it
// stood for shown again.
void ReleaseComponentIntegration(std::shared_ptr<KelmWindow> box);

// Saves the store; a failure is logged as an ERROR and told to the user
// (once per run), and answers false.
bool SaveStore(KelmStorage& store, const wchar_t* what);

// The hidden boxes stored under "TempList", with the defaults for members
// of the wrong type; members that are no objects are skipped.
std::vector<HiddenBoxRecord> ReadHiddenBoxRecords();
// The colour text as a colour, or 0xF2F2F2 when it is none.
COLORREF ComponentColourFromText(const std::wstring& text);

} // namespace TessikQuickPanel
