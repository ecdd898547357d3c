// What the content model and the search share about the main list's
// records: a hidden box's stored entries, the boxes the panel lists, and
// the main list brought to a wanted list of records without losing the
// place and motion of those it keeps. UI thread only.
#pragma once

#include <functional>
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
bool TakeOver(KelmIconManager& list, std::vector<WantedRecord> wanted);

// Frees what holds tens of thousands of nodes on a thread of its own, a
// turn's work by itself under a slow heap. It must hold nothing of the UI
// thread's (no control, no window).
void FreeElsewhere(std::shared_ptr<void> what);

// TakeOver spread over turns of the UI thread, for results of tens of
// thousands: the list is looked at a slice per turn and changed only in
// the last, in one go, so it shows what it showed until then. A list that
// changed between two turns is looked at again from its start. The wanted
// records must stay where they are until it is done.
class TakeOverInSlices
{
public:
    // inOneGo: no pause between the slices (TakeOver): the kept records
    // are moved, not copied ahead.
    TakeOverInSlices(KelmIconManager& list, std::vector<WantedRecord> wanted, bool inOneGo = false);
    // Works until timeUp() answers true (asked every few hundred records);
    // true once the list holds the wanted records.
    bool Step(const std::function<bool()>& timeUp);
    // Whether the list changed (once done).
    bool Changed() const { return m_changed; }
    // Given up before done: the records made ahead that it took go back
    // where they were made.
    void Abandon() { UnBuild(); }

private:
    enum class Phase { Index, Match, Build, Done };
    void Restart();
    // The next list built so far is let go of; the records made ahead that
    // went into it go back where they were made.
    void UnBuild();
    void Finish();

    KelmIconManager* m_list;
    std::vector<WantedRecord> m_wanted;
    Phase m_phase = Phase::Index;
    uint64_t m_version = 0;
    size_t m_at = 0;
    bool m_changed = false;
    // Kept records whose alias, header, original path or facts differ.
    bool m_keptDiffer = false;
    struct Shown;
    std::shared_ptr<Shown> m_shown;
    std::vector<size_t> m_olds;
    bool m_inOneGo = false;
    // The list to be, built a slice at a time: kept records as copies that
    // take the motion of their originals in the last step.
    std::vector<IconRecord> m_next;
    std::vector<char> m_fromMade;
};

} // namespace TessikQuickPanel
