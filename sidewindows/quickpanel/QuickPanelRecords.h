// What the content model and the search share about the main list's
// records: a hidden box's stored entries, the boxes the panel lists, and
// the main list brought to a wanted list of records without losing the
// place and motion of those it keeps. UI thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "box/BoxRuntime.h"
#include "box/icons/KelmIconManager.h"
#include "sidewindows/quickpanel/QuickPanelState.h"

namespace TessikQuickPanel
{

struct StoredEntry {
    std::wstring path;
    std::wstring alias;
};

// The entries stored under root / id, "0", "1", ... up to the first gap;
// the paths in their one stored form, the aliases as they were typed.
std::vector<StoredEntry> ReadEntries(const wchar_t* rootName, const std::wstring& id);

const HiddenBoxRecord* SelectedHiddenBox();
// The registered desktop box of that id, or null.
BoxWindowPtr FindBox(const std::wstring& id);
// One of the panel's own windows or pseudo boxes, never a box it lists.
bool IsPanelWindow(const BoxWindowPtr& window, const BoxRuntime& runtime);

// One record the main list is to show, in its order: the record it stands
// for (path, alias, original path and file facts), its owner and the header
// it opens.
struct WantedRecord {
    const IconRecord* source = nullptr;
    BoxWindowPtr owner;
    std::wstring sectionText;
    // The source made ahead as the list makes a record, moved in when no
    // shown record is kept for it: ten thousands of new records made at
    // once would hold the UI thread.
    IconRecord* made = nullptr;
};

// Brings list to the wanted records in their order. A record shown before
// keeps its place, motion, control and id, so the selection follows it at
// the renumbering; a new one fades in. True when anything changed; the
// list is rebuilt only then.
bool TakeOver(KelmIconManager& list, const std::vector<WantedRecord>& wanted);

} // namespace TessikQuickPanel
