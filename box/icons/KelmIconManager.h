// KelmIconManager: the icon records of one view in display order, the
// view's layout parameters and the box window that shows it; lays the
// records out in a grid or list, sorts them and applies the box's search.
// s_boxIconManagers and s_boxSearchManagers hold the managers of the boxes.
// UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <unordered_map>
#include <vector>

#include "box/BoxRuntime.h"
#include "box/icons/IconRecord.h"

class KelmWindow;

namespace TessikDesktopContainer
{

// What a record shows of its file: when it was last written and whether
// it is a folder (nothing of a file that cannot be read).
struct IconFileFacts {
    int64_t lastWriteTime = 0;
    bool isDirectory = false;
};
// Any thread: one question to the disk.
IconFileFacts ReadIconFileFacts(const std::wstring& path);

class KelmIconManager
{
public:
    // The id of a record made but not yet numbered: never taken for the id
    // that a record had before a renumbering.
    static constexpr uint32_t kUnnumberedId = 0xFFFFFFFFu;

    // The defaults are those of a manager that a map lookup creates.
    KelmIconManager() : KelmIconManager(48, 20, 50) {}
    KelmIconManager(int edge, int baseGap, int topOffset);

    void SetPadding(int sideMargin, int topOffset);
    void SetOverlayMode(bool overlay) { m_overlayMode = overlay; }
    bool OverlayMode() const { return m_overlayMode; }
    void SetIconSize(int edge);
    int GetIconSize() const { return m_iconEdge; }
    int BaseGap() const { return m_baseGap; }
    int SideMargin() const { return m_sideMargin; }
    int TopOffset() const { return m_topOffset; }

    const BoxWindowPtr& OwnBox() const { return m_ownBox; }
    void SetOwnBox(BoxWindowPtr box) { m_ownBox = std::move(box); }
    // The record's owner, or the own box when it names none.
    const BoxWindowPtr& EffectiveOwner(const IconRecord& record) const
    {
        return record.owner ? record.owner : m_ownBox;
    }

    // Whoever takes the list to change may change what the layout reads.
    std::vector<IconRecord>& Records()
    {
        Changed();
        return m_records;
    }
    const std::vector<IconRecord>& Records() const { return m_records; }
    // Counts the ways the list may have changed (every non-const access).
    uint64_t Version() const { return m_version; }

    // A view of tens of thousands of records (the quick panel's lists)
    // pays per paint for what is near its view: Layout passes over the
    // list only when the list or the geometry changed (a scroll only moves
    // every record by as much), and UpdateAnimations and
    // ApplyCurrentPositions visit the records of PaintedRecords alone.
    // Where the records are is the same as with a pass over all of them.
    void SetNearViewPaint(bool on);
    // The indices, ascending, of the records a paint of a view viewHeight
    // DIPs high has to visit: those whose place lies within the placing
    // band, and those still on their way or about to be. Every record
    // without near-view painting, or while the places are not in order.
    const std::vector<size_t>& PaintedRecords(float viewHeight);
    // How many records the last UpdateAnimations and ApplyCurrentPositions
    // visited together.
    size_t LastVisited() const { return m_lastVisited; }
    // Whether some record is still on its way to its place.
    bool AnyUnsettled() const;

    void AddRecordForPath(const std::wstring& path, const float& x, const float& y, std::wstring alias, bool merged,
                          std::wstring sectionText, BoxWindowPtr owner, std::wstring originalPath);
    void AddRecordForEntry(int index, const std::wstring& path, const float& x, const float& y, std::wstring alias,
                           bool merged, std::wstring sectionText, BoxWindowPtr owner, bool skipDuplicateCheck,
                           std::wstring originalPath);
    // One record to insert with AddRecordsForEntries.
    struct NewEntry {
        // Where it goes in the list as it stands after the entries before
        // it; beyond the end it goes last.
        int index = 0;
        std::wstring path;
        float x = 0.0f, y = 0.0f;
        std::wstring alias = L"bvn!NULL";
        bool merged = false;
        std::wstring sectionText;
        BoxWindowPtr owner;
        std::wstring originalPath = L"bvn!NULL";
        // Read off the UI thread by whoever brings the entry (a thousand
        // questions to the disk are seconds under a slow file system);
        // none: read as the record is made.
        std::optional<IconFileFacts> facts;
    };
    // Inserts the entries as AddRecordForEntry would one after another
    // (with the duplicate check), in one pass over the list and with one
    // renumbering: a drop of thousands of files costs the list once, not
    // once per file. Returns how many were added.
    size_t AddRecordsForEntries(std::vector<NewEntry> entries);
    void RemoveMergedRecords();
    void RemoveById(int id);
    void RemoveByPath(const std::wstring& path);
    void RemoveAllRecords();
    void SetAliasByPath(const std::wstring& path, const std::wstring& alias);
    IconRecord* FindById(int id);
    // Sets every id to its index; the box's selection follows its records.
    void Renumber();

    // Targets and motion flags for a view viewWidth DIPs wide.
    void Layout(int viewWidth);
    // The stable sort order: owners grouped by window address, then by the
    // box's SortMode.
    bool CompareRecords(const BoxRuntime& box, const IconRecord& a, const IconRecord& b) const;

    // A record as the add operations make it, still unnumbered; the file
    // facts are left to the caller. The folder sync has them from its
    // listing.
    IconRecord MakeRecord(const std::wstring& path, float x, float y, std::wstring alias, bool merged,
                          std::wstring sectionText, BoxWindowPtr owner, std::wstring originalPath) const;
    // Whether the duplicate rule of AddRecordForPath applies for that owner.
    bool ChecksDuplicatesFor(const BoxWindowPtr& effectiveOwner) const;

    // Gives every visible record's control its place, label, opacity and
    // callbacks; viewWidth 0 = the own box's content width. Removes a drag
    // placeholder of this view that a finished drag left behind.
    void ApplyCurrentPositions(float viewWidth, float viewHeight);
    // Runs the box's keyboard and queued recycling, then turns the motion
    // flags of the last layout into animations on the box window.
    void UpdateAnimations(std::shared_ptr<KelmWindow> box);
    // The record's control, made on first use.
    std::shared_ptr<KelmIcon>& EnsureControl(IconRecord& record);
    // The record that the control stands for, or null.
    IconRecord* FindByControl(const KelmIcon* control);
    // The same, trying index `hint` first and leaving the found index there
    // (for lookups repeated every tick).
    IconRecord* FindByControl(const KelmIcon* control, size_t& hint);
    // Animation and input callbacks outlive neither the view nor its
    // records: they check the view with this before they touch it.
    static bool IsLive(const KelmIconManager* view);
    // Whether the record is drawn now or about to be: within 150 DIPs of a
    // view viewHeight DIPs high (the box gives only these their controls).
    static bool NearView(const IconRecord& record, float viewHeight);
    // Whether ApplyCurrentPositions places the record's control: within
    // 200 DIPs of such a view.
    static bool InPlacingBand(const IconRecord& record, float viewHeight);
    // Marks (1) the records near such a view that lie wholly under a later
    // one at the same place: only a pile's top need be drawn. A drop's
    // files all start at the drop point, thousands deep at times, and what
    // lies under the top would show only as a blur of outlines and labels.
    // A selected record is never under a pile, and only a fully shown one
    // covers. The records' controls must already be placed.
    static std::vector<char> UnderPiles(const std::vector<IconRecord>& records, float viewHeight, bool listView);
    // The same over the records at `indices` (ascending); one mark per index.
    static std::vector<char> UnderPiles(const std::vector<IconRecord>& records, const std::vector<size_t>& indices,
                                        float viewHeight, bool listView);

private:
    // Registers the address of the view it is part of (copies included).
    class LiveToken
    {
    public:
        LiveToken();
        LiveToken(const LiveToken&);
        LiveToken& operator=(const LiveToken&) { return *this; }
        ~LiveToken();
    };

    void StartMove(KelmWindow& box, IconRecord& record, double duration, std::function<double(double)> easing);
    // A version no other list ever had: a list made anew is never taken
    // for one seen before.
    void Changed();

    // What the last full layout pass was made from.
    struct LayoutKey {
        uint64_t version = 0;
        size_t count = 0;
        int viewWidth = 0, sideMargin = 0, topOffset = 0, edge = 0, baseGap = 0;
        int spacingMode = 0, sortMode = 0;
        bool listView = false, filter = false, overlay = false;
        std::wstring pattern;
        const KelmWindow* owner = nullptr;
        bool operator==(const LayoutKey&) const = default;
    };
    // Marks a record's cell moved to (cellX, cellY) as the layout does.
    static void MoveTarget(IconRecord& record, float cellX, float cellY);
    // Moves every target by dy: a scroll over an unchanged list.
    void ShiftTargets(float dy);
    // After a pass over every record: which are still on their way, and
    // whether their places run down the list in order.
    void NoteBusyAndOrder();
    // Visits the records a paint needs (all without near-view painting).
    template <typename Visit> void ForPainted(float viewHeight, Visit&& visit);
    void StartAppear(KelmWindow& box, IconRecord& record);

    // The selection of the own box refers to this view's ids.
    bool HoldsSelectionOfOwnBox(BoxRuntime& box) const;

    std::vector<IconRecord> m_records;
    int m_iconEdge;
    int m_baseGap;
    int m_sideMargin = 0;
    int m_topOffset;
    BoxWindowPtr m_ownBox;
    bool m_overlayMode = false;
    uint64_t m_version = 0;
    bool m_nearViewPaint = false;
    std::optional<LayoutKey> m_layoutKey;
    // Near-view painting: the targets ascend with the index, so the band
    // is found by halving; the records still moving or appearing.
    bool m_targetsInOrder = false;
    std::vector<size_t> m_busy;
    std::vector<size_t> m_painted;
    size_t m_lastVisited = 0;
    // The height of the view the controls were last placed for: the motion
    // pass visits at least as far, whatever its window's own height.
    float m_placedHeight = 0.0f;
    LiveToken m_live;
};

} // namespace TessikDesktopContainer

using TessikDesktopContainer::IconFileFacts;
using TessikDesktopContainer::KelmIconManager;
using TessikDesktopContainer::ReadIconFileFacts;

// All records of each box.
extern std::unordered_map<BoxWindowPtr, KelmIconManager> s_boxIconManagers;
// The records a box shows while its search is open.
extern std::unordered_map<BoxWindowPtr, KelmIconManager> s_boxSearchManagers;

// Icon edge of "IconSizeLevel" (clamped to 1..7): 32, 40, 48, 54, 64, 80, 96.
int GetIconSizeForLevel(int level);

// What work derived from a list (its headers, its stored copy) was last
// done for: it is done again only once the list changed (a version no other
// list had) or the key it also depends on did, not at every paint.
struct ListMemo {
    const KelmIconManager* list = nullptr;
    uint64_t version = 0;
    std::wstring key;
    bool Stands(const KelmIconManager& now, const std::wstring& nowKey) const
    {
        return list == &now && version == now.Version() && key == nowKey;
    }
    void Note(const KelmIconManager& now, std::wstring nowKey)
    {
        list = &now;
        version = now.Version();
        key = std::move(nowKey);
    }
};

// Lower-cased file-name part (after the last "\" or "/") of the alias, or
// of the path when the alias is "bvn!NULL".
std::wstring IconSortName(const std::wstring& alias, const std::wstring& path);
// The file-name part of the alias, or of the path without alias.
std::wstring IconDisplayName(const std::wstring& alias, const std::wstring& path);
