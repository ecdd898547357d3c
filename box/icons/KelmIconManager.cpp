// Sections: construction and size; adding and removing records; ids and
// the box's selection; layout and sort order; controls and positions;
// animations; the drag placeholder; free helpers.
#include "box/icons/KelmIconManager.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <functional>
#include <iterator>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "app/CommonHelpers.h"
#include "box/BoxPaintRules.h"
#include "box/BoxWindowHooks.h"
#include "box/icons/DragPlaceholder.h"
#include "box/icons/IconActionHooks.h"
#include "box/icons/IconDisplayRules.h"
#include "box/icons/KelmIcon.h"
#include "box/icons/WildcardMatch.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

std::unordered_map<BoxWindowPtr, KelmIconManager> s_boxIconManagers;
std::unordered_map<BoxWindowPtr, KelmIconManager> s_boxSearchManagers;
IconActionHooks s_iconActionHooks;
DragPlaceholder s_dragPlaceholder;

namespace
{

std::unordered_set<const void*>& LiveViews()
{
    static std::unordered_set<const void*> live;
    return live;
}

// Height of the row that a section text or a change of owner box opens.
constexpr int kHeaderHeight = 35;
// How far beyond the view ApplyCurrentPositions places controls.
constexpr float kPlacingMargin = 200.0f;

struct IconSpacing {
    int listRowHeight;
    int extraRowSpace;
    int columnGap;
};

IconSpacing SpacingFor(int mode, int gap)
{
    switch (mode) {
    case 1:
        return {44, gap + 35, gap + 16};
    case 2:
        return {60, gap + 60, gap + 36};
    default:
        return {32, gap + 15, gap};
    }
}

size_t FileNameStart(const std::wstring& text)
{
    const size_t slash = text.find_last_of(L"\\/");
    return slash == std::wstring::npos ? 0 : slash + 1;
}

void ApplyFileFacts(IconRecord& record, const TessikDesktopContainer::IconFileFacts& facts)
{
    record.lastWriteTime = facts.lastWriteTime;
    record.isDirectory = facts.isDirectory;
}

void ReadFileFacts(IconRecord& record)
{
    ApplyFileFacts(record, TessikDesktopContainer::ReadIconFileFacts(record.path));
}

} // namespace

namespace TessikDesktopContainer
{

// The record is still added when the file cannot be read: a box may name a
// file that is gone or on a drive that is not there right now.
IconFileFacts ReadIconFileFacts(const std::wstring& path)
{
    IconFileFacts facts;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return facts;
    facts.lastWriteTime = static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                               data.ftLastWriteTime.dwLowDateTime);
    facts.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return facts;
}

} // namespace TessikDesktopContainer

std::wstring IconDisplayName(const std::wstring& alias, const std::wstring& path)
{
    const std::wstring& source = alias == L"bvn!NULL" ? path : alias;
    return source.substr(FileNameStart(source));
}

std::wstring IconSortName(const std::wstring& alias, const std::wstring& path)
{
    std::wstring name = IconDisplayName(alias, path);
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    return name;
}

int GetIconSizeForLevel(int level)
{
    static const int kEdges[] = {32, 40, 48, 54, 64, 80, 96};
    return kEdges[std::clamp(level, 1, 7) - 1];
}

namespace TessikDesktopContainer
{

// ---------------------------------------------------------------- construction and size

KelmIconManager::KelmIconManager(int edge, int baseGap, int topOffset)
    : m_iconEdge(edge), m_baseGap(baseGap), m_topOffset(topOffset)
{
    Changed();
}

void KelmIconManager::SetPadding(int sideMargin, int topOffset)
{
    m_sideMargin = sideMargin;
    m_topOffset = topOffset;
}

void KelmIconManager::SetIconSize(int edge)
{
    m_iconEdge = edge;
    for (IconRecord& record : m_records)
        record.edge = edge;
}

// ---------------------------------------------------------------- adding and removing

bool KelmIconManager::ChecksDuplicatesFor(const BoxWindowPtr& effectiveOwner) const
{
    // A box that mirrors a folder can hold each file once; so can the quick
    // panel's main list, which gathers records of several boxes.
    const BoxRuntime* owner = FindBoxRuntime(effectiveOwner);
    if (owner && owner->UseTargetFolder)
        return true;
    const BoxRuntime* own = FindBoxRuntime(m_ownBox);
    return own && own->id == L"QUICK_PANEL_ROOT";
}

IconRecord KelmIconManager::MakeRecord(const std::wstring& path, float x, float y, std::wstring alias, bool merged,
                                       std::wstring sectionText, BoxWindowPtr owner, std::wstring originalPath) const
{
    IconRecord record;
    record.id = kUnnumberedId;
    record.control = nullptr; // made by the icon control code when it draws the record
    record.path = path;
    record.edge = m_iconEdge;
    record.x = x;
    record.y = y;
    record.merged = merged;
    record.sectionText = std::move(sectionText);
    record.owner = owner ? std::move(owner) : m_ownBox;
    record.originalPath = std::move(originalPath);
    // Exactly (0, 0) means "no place yet": the first layout fades it in.
    record.isNew = x == 0.0f && y == 0.0f;
    record.opacity = record.isNew ? 0.0f : 1.0f;
    record.sortName = IconSortName(alias, path);
    record.alias = std::move(alias);
    return record;
}

void KelmIconManager::AddRecordForPath(const std::wstring& path, const float& x, const float& y, std::wstring alias,
                                       bool merged, std::wstring sectionText, BoxWindowPtr owner,
                                       std::wstring originalPath)
{
    Changed();
    const BoxWindowPtr& effective = owner ? owner : m_ownBox;
    if (ChecksDuplicatesFor(effective)) {
        for (const IconRecord& record : m_records) {
            if (record.path == path)
                return;
        }
    }
    IconRecord record = MakeRecord(path, x, y, std::move(alias), merged, std::move(sectionText), std::move(owner),
                                   std::move(originalPath));
    ReadFileFacts(record);
    record.id = static_cast<uint32_t>(m_records.size());
    m_records.push_back(std::move(record));
}

void KelmIconManager::AddRecordForEntry(int index, const std::wstring& path, const float& x, const float& y,
                                        std::wstring alias, bool merged, std::wstring sectionText, BoxWindowPtr owner,
                                        bool skipDuplicateCheck, std::wstring originalPath)
{
    Changed();
    if (index < 0 || static_cast<size_t>(index) > m_records.size())
        return;
    if (!skipDuplicateCheck) {
        const BoxRuntime* runtime = FindBoxRuntime(owner ? owner : m_ownBox);
        if (runtime && runtime->UseTargetFolder) {
            for (const IconRecord& record : m_records) {
                if (record.path == path)
                    return;
            }
        }
    }
    IconRecord record = MakeRecord(path, x, y, std::move(alias), merged, std::move(sectionText), std::move(owner),
                                   std::move(originalPath));
    ReadFileFacts(record);
    m_records.insert(m_records.begin() + index, std::move(record));
    Renumber();
}

size_t KelmIconManager::AddRecordsForEntries(std::vector<NewEntry> entries)
{
    Changed();
    // Which entries hold each file once (their owner mirrors a folder), and
    // which of those the list already holds: one pass over the list that
    // copies nothing, however many records it holds.
    std::vector<char> checked(entries.size(), 0), held(entries.size(), 0);
    std::unordered_map<std::wstring_view, std::vector<size_t>> checkedPaths;
    for (size_t i = 0; i < entries.size(); ++i) {
        const BoxRuntime* runtime = FindBoxRuntime(entries[i].owner ? entries[i].owner : m_ownBox);
        checked[i] = runtime && runtime->UseTargetFolder;
        if (checked[i])
            checkedPaths[entries[i].path].push_back(i);
    }
    if (!checkedPaths.empty()) {
        for (const IconRecord& record : m_records) {
            auto found = checkedPaths.find(record.path);
            if (found != checkedPaths.end())
                for (size_t i : found->second)
                    held[i] = 1;
        }
    }
    // Entries of this batch count as held once added.
    std::unordered_set<std::wstring_view> addedPaths;
    std::vector<IconRecord> added;
    std::vector<size_t> places;
    added.reserve(entries.size());
    places.reserve(entries.size());
    bool ascending = true;
    for (size_t i = 0; i < entries.size(); ++i) {
        NewEntry& entry = entries[i];
        if (checked[i] && (held[i] || addedPaths.count(entry.path)))
            continue;
        addedPaths.insert(entry.path);
        const size_t count = m_records.size() + added.size();
        const size_t place = static_cast<size_t>(std::clamp<long long>(entry.index, 0, static_cast<long long>(count)));
        ascending = ascending && (places.empty() || place > places.back());
        places.push_back(place);
        IconRecord record =
            MakeRecord(entry.path, entry.x, entry.y, std::move(entry.alias), entry.merged, std::move(entry.sectionText),
                       std::move(entry.owner), std::move(entry.originalPath));
        if (entry.facts)
            ApplyFileFacts(record, *entry.facts);
        else
            ReadFileFacts(record);
        added.push_back(std::move(record));
    }
    if (added.empty())
        return 0;
    if (ascending) {
        // Each place counts in the final list: the old records fill the
        // gaps between them in their order. Filled from the back, in place:
        // only the records after the first new one move, and none at all
        // when the new ones go to the end, as a drop's usually do.
        const size_t oldCount = m_records.size();
        m_records.resize(oldCount + added.size());
        size_t oldLeft = oldCount;
        size_t filledFrom = m_records.size();
        for (size_t i = added.size(); i-- > 0;) {
            const size_t after = filledFrom - places[i] - 1;
            std::move_backward(m_records.begin() + static_cast<std::ptrdiff_t>(oldLeft - after),
                               m_records.begin() + static_cast<std::ptrdiff_t>(oldLeft),
                               m_records.begin() + static_cast<std::ptrdiff_t>(filledFrom));
            oldLeft -= after;
            m_records[places[i]] = std::move(added[i]);
            filledFrom = places[i];
        }
    } else {
        for (size_t i = 0; i < added.size(); ++i)
            m_records.insert(m_records.begin() + static_cast<std::ptrdiff_t>(places[i]), std::move(added[i]));
    }
    Renumber();
    return added.size();
}

void KelmIconManager::RemoveMergedRecords()
{
    Changed();
    std::erase_if(m_records, [](const IconRecord& record) { return record.merged; });
    Renumber();
}

void KelmIconManager::RemoveById(int id)
{
    Changed();
    auto found = std::find_if(m_records.begin(), m_records.end(),
                              [id](const IconRecord& record) { return static_cast<int>(record.id) == id; });
    if (found == m_records.end())
        return;
    m_records.erase(found);
    Renumber();
}

void KelmIconManager::RemoveByPath(const std::wstring& path)
{
    Changed();
    std::erase_if(m_records, [&path](const IconRecord& record) { return record.path == path; });
    Renumber();
}

void KelmIconManager::RemoveAllRecords()
{
    Changed();
    m_records.clear();
    Renumber();
}

void KelmIconManager::SetAliasByPath(const std::wstring& path, const std::wstring& alias)
{
    Changed();
    for (IconRecord& record : m_records) {
        if (record.path == path) {
            record.alias = alias;
            record.sortName = IconSortName(alias, record.path);
            return;
        }
    }
}

IconRecord* KelmIconManager::FindById(int id)
{
    Changed();
    for (IconRecord& record : m_records) {
        if (static_cast<int>(record.id) == id)
            return &record;
    }
    return nullptr;
}

// ---------------------------------------------------------------- ids and the selection

bool KelmIconManager::HoldsSelectionOfOwnBox(BoxRuntime& box) const
{
    // The selection belongs to the view the box shows: its search view once
    // a pattern was applied to it, else its own view (which filters while
    // the search row holds a pattern). Every box owns a search manager from
    // its creation, so owning one says nothing about what is on screen.
    // Views outside the two maps (quick panel, magnet window) are the only
    // view of their box.
    auto search = s_boxSearchManagers.find(m_ownBox);
    const bool isSearchView = search != s_boxSearchManagers.end() && &search->second == this;
    if (box.ShowsSearchView())
        return isSearchView || search == s_boxSearchManagers.end();
    return !isSearchView;
}

void KelmIconManager::Renumber()
{
    // Before the new ids are written every record still carries its old id
    // (an inserted one KelmIconManager::kUnnumberedId), so the selection can follow its records
    // instead of silently covering whatever now sits at the old indices.
    BoxRuntime* box = FindBoxRuntime(m_ownBox);
    if (box && !box->selection.empty() && HoldsSelectionOfOwnBox(*box)) {
        bool shifted = false;
        for (size_t i = 0; i < m_records.size() && !shifted; ++i)
            shifted = m_records[i].id != i;
        // Ids of records that are gone must go as well.
        shifted = shifted || static_cast<size_t>(*box->selection.rbegin()) >= m_records.size();
        if (shifted) {
            // Old ids are indices of the list before the change: a table by
            // old id, not a hash map of tens of thousands of nodes.
            uint32_t highest = 0;
            for (const IconRecord& record : m_records)
                if (record.id != KelmIconManager::kUnnumberedId)
                    highest = std::max(highest, record.id);
            std::vector<int32_t> newIndexByOldId(static_cast<size_t>(highest) + 1, -1);
            for (size_t i = 0; i < m_records.size(); ++i) {
                const uint32_t old = m_records[i].id;
                if (old != KelmIconManager::kUnnumberedId && newIndexByOldId[old] == -1)
                    newIndexByOldId[old] = static_cast<int32_t>(i);
            }
            std::set<int32_t> remapped;
            for (int32_t old : box->selection) {
                if (old >= 0 && static_cast<size_t>(old) < newIndexByOldId.size() && newIndexByOldId[old] != -1)
                    remapped.insert(newIndexByOldId[old]);
            }
            box->selection = std::move(remapped);
        }
    }
    for (size_t i = 0; i < m_records.size(); ++i)
        m_records[i].id = static_cast<uint32_t>(i);
}

// ---------------------------------------------------------------- layout and sort order

bool KelmIconManager::CompareRecords(const BoxRuntime& box, const IconRecord& a, const IconRecord& b) const
{
    const BoxWindowPtr& ownerA = EffectiveOwner(a);
    const BoxWindowPtr& ownerB = EffectiveOwner(b);
    if (ownerA != ownerB)
        return std::less<KelmWindow*>()(ownerA.get(), ownerB.get());
    switch (box.SortMode) {
    case 1:
        return a.sortName < b.sortName;
    case 2:
        return a.sortName > b.sortName;
    case 3:
        return a.lastWriteTime < b.lastWriteTime;
    case 4:
        return a.lastWriteTime > b.lastWriteTime;
    default:
        return false;
    }
}

void KelmIconManager::Layout(int viewWidth)
{
    if (m_records.empty())
        return;
    static const BoxRuntime kNoBox;
    // A lookup, not a subscript: a view of a window that is no box must not
    // enter it into the registry.
    const BoxRuntime* found = FindBoxRuntime(m_ownBox);
    const BoxRuntime& box = found ? *found : kNoBox;

    auto before = [this, &box](const IconRecord& a, const IconRecord& b) { return CompareRecords(box, a, b); };
    // On a settled box the list is already in order; a stable sort would
    // leave it as it is, so the per-paint cost is one pass.
    if (box.SortMode != 0) {
        if (!std::is_sorted(m_records.begin(), m_records.end(), before))
            std::stable_sort(m_records.begin(), m_records.end(), before);
        bool moved = false;
        for (size_t i = 0; i < m_records.size() && !moved; ++i)
            moved = m_records[i].id != i;
        if (moved)
            Renumber();
    }

    const IconSpacing spacing = SpacingFor(box.IconSpacingMode, m_baseGap);
    const bool list = box.IsListView;
    const int rowStep = list ? spacing.listRowHeight : m_iconEdge + spacing.extraRowSpace;
    const int available = viewWidth - 2 * m_sideMargin;
    const int cellStep = m_iconEdge + spacing.columnGap;
    int columns = 1;
    int centring = 0;
    if (!list) {
        columns = std::max(1, available / cellStep);
        centring = (available - (cellStep * columns - spacing.columnGap)) / 2;
    }
    const bool filter = !m_overlayMode && box.SearchFilters();
    // A plain word finds every name that holds it.
    const std::wstring pattern = filter ? BoxPaintRules::SearchPattern(box.searchText) : std::wstring();

    LayoutKey key{m_version, m_records.size(),    viewWidth,    m_sideMargin, m_topOffset, m_iconEdge,
                  m_baseGap, box.IconSpacingMode, box.SortMode, list,         filter,      m_overlayMode,
                  pattern,   m_ownBox.get()};
    if (m_nearViewPaint && m_layoutKey) {
        // Nothing the places depend on changed: they stand.
        if (*m_layoutKey == key)
            return;
        LayoutKey scrolled = key;
        scrolled.topOffset = m_layoutKey->topOffset;
        if (!filter && scrolled == *m_layoutKey) {
            ShiftTargets(static_cast<float>(m_topOffset - m_layoutKey->topOffset));
            m_layoutKey = std::move(key);
            return;
        }
    }

    int y = m_topOffset;
    int row = 0;
    int column = 0;
    const KelmWindow* currentOwner = nullptr;
    auto newRow = [&] {
        y += rowStep;
        ++row;
        column = 0;
    };

    for (IconRecord& record : m_records) {
        if (!record.sectionText.empty()) {
            if (column > 0)
                newRow();
            y += kHeaderHeight;
        }
        if (filter && !WildcardMatchNoCase(pattern, IconDisplayName(record.alias, record.path))) {
            record.x = record.y = record.targetX = record.targetY = -100.0f;
            record.opacity = 0.0f;
            continue;
        }
        // A record hidden by an earlier search shows again.
        if (!m_overlayMode && record.opacity < 1.0f && !record.isNew && !record.appearPending)
            record.opacity = 1.0f;

        const BoxWindowPtr& owner = EffectiveOwner(record);
        if (owner.get() != currentOwner) {
            if (column > 0)
                newRow();
            if (owner != m_ownBox)
                y += kHeaderHeight;
            currentOwner = owner.get();
        }

        // Text files show a preview two cells wide.
        const int cells = !list && WildcardMatchNoCase(L"*.txt", record.path) ? 2 : 1;
        if (column + cells > columns && column > 0)
            newRow();

        const float cellX = static_cast<float>((list ? 0 : cellStep * column) + centring + m_sideMargin);
        const float cellY = static_cast<float>(y);
        if (record.isNew) {
            record.x = cellX;
            record.y = cellY + 40.0f;
            record.targetX = cellX;
            record.targetY = cellY;
            record.opacity = 0.0f;
            record.appearDelay = static_cast<float>(row) * 0.05f;
            record.appearPending = true;
            record.isNew = false;
            record.settled = false;
        } else {
            MoveTarget(record, cellX, cellY);
        }

        column += cells;
        if (column >= columns)
            newRow();
    }
    if (m_nearViewPaint) {
        NoteBusyAndOrder();
        m_layoutKey = std::move(key);
    }
}

void KelmIconManager::MoveTarget(IconRecord& record, float cellX, float cellY)
{
    if (std::fabs(cellX - record.targetX) <= 0.1f && std::fabs(cellY - record.targetY) <= 0.1f)
        return;
    record.targetX = cellX;
    record.targetY = cellY;
    const float dx = std::fabs(cellX - record.x);
    const float dy = std::fabs(cellY - record.y);
    if (std::sqrt(dx * dx + dy * dy) >= 150.0f)
        record.farMove = true;
    else if (dx > 2.0f || dy > 2.0f)
        record.nearMove = true;
    else
        record.smallMove = true;
    record.settled = false;
}

// What a full pass would do after a scroll: no record is new (the list
// did not change since the last pass, which placed them all) and none is
// hidden by a search (the shift is taken only without one).
// A record at rest that stands far from the view before and after goes to
// its place at once, as the motion pass would put it (a move that starts
// and ends out of sight is not seen): a scroll of tens of thousands costs a
// shift of each, not a pass of the motion over each. Far is beyond the
// motion pass's band by a margin, so a window a little taller than the
// view the controls were placed for changes nothing.
void KelmIconManager::ShiftTargets(float dy)
{
    constexpr float kFar = 2 * kPlacingMargin;
    const float height = m_placedHeight;
    auto outOfSight = [height](float y, float edge) { return y + edge < -kFar || y > height + kFar; };
    m_busy.clear();
    for (size_t i = 0; i < m_records.size(); ++i) {
        IconRecord& record = m_records[i];
        if (!m_overlayMode && record.opacity < 1.0f && !record.appearPending)
            record.opacity = 1.0f;
        const float edge = static_cast<float>(record.edge);
        if (height > 0.0f && record.settled && !record.appearPending && !record.farMove && !record.nearMove &&
            !record.smallMove && record.xAnimationId == -1 && record.yAnimationId == -1 && record.y == record.targetY &&
            record.x == record.targetX && outOfSight(record.y, edge) && outOfSight(record.targetY + dy, edge)) {
            record.targetY += dy;
            record.y = record.targetY;
            continue;
        }
        MoveTarget(record, record.targetX, record.targetY + dy);
        if (!record.settled || record.appearPending)
            m_busy.push_back(i);
    }
}

namespace
{

bool Busy(const IconRecord& record)
{
    return !record.settled || record.appearPending || record.isNew || record.farMove || record.nearMove ||
           record.smallMove;
}

} // namespace

void KelmIconManager::NoteBusyAndOrder()
{
    m_busy.clear();
    m_targetsInOrder = true;
    for (size_t i = 0; i < m_records.size(); ++i) {
        if (Busy(m_records[i]))
            m_busy.push_back(i);
        if (i > 0 && m_records[i].targetY < m_records[i - 1].targetY)
            m_targetsInOrder = false;
    }
}

void KelmIconManager::Changed()
{
    static uint64_t s_lastVersion = 0;
    m_version = ++s_lastVersion;
}

bool KelmIconManager::AnyUnsettled() const
{
    const bool tracked = m_nearViewPaint && m_layoutKey && m_layoutKey->version == m_version;
    if (!tracked)
        return std::any_of(m_records.begin(), m_records.end(),
                           [](const IconRecord& record) { return !record.settled; });
    // Only a layout unsettles a record, and the busy ones stay noted until
    // a paint finds them at rest.
    return std::any_of(m_busy.begin(), m_busy.end(),
                       [this](size_t i) { return i < m_records.size() && !m_records[i].settled; });
}

void KelmIconManager::SetNearViewPaint(bool on)
{
    m_nearViewPaint = on;
    m_layoutKey.reset();
    m_busy.clear();
}

const std::vector<size_t>& KelmIconManager::PaintedRecords(float viewHeight)
{
    m_painted.clear();
    const bool whole = !m_nearViewPaint || !m_layoutKey || m_layoutKey->version != m_version ||
                       m_layoutKey->count != m_records.size() || !m_targetsInOrder;
    if (whole) {
        m_painted.resize(m_records.size());
        for (size_t i = 0; i < m_records.size(); ++i)
            m_painted[i] = i;
        return m_painted;
    }
    // A record at rest stands at its target: the band of targets is the
    // band of places. The busy ones may stand anywhere.
    const auto from = std::partition_point(m_records.begin(), m_records.end(), [](const IconRecord& record) {
        return record.targetY + static_cast<float>(record.edge) < -kPlacingMargin;
    });
    const auto to = std::partition_point(from, m_records.end(), [viewHeight](const IconRecord& record) {
        return record.targetY <= viewHeight + kPlacingMargin;
    });
    size_t band = static_cast<size_t>(from - m_records.begin());
    const size_t bandEnd = static_cast<size_t>(to - m_records.begin());
    m_painted.reserve(bandEnd - band + m_busy.size());
    for (size_t busy : m_busy) {
        if (busy >= m_records.size())
            continue;
        while (band < bandEnd && band < busy)
            m_painted.push_back(band++);
        if (band == busy)
            ++band;
        m_painted.push_back(busy);
    }
    while (band < bandEnd)
        m_painted.push_back(band++);
    return m_painted;
}

template <typename Visit> void KelmIconManager::ForPainted(float viewHeight, Visit&& visit)
{
    if (!m_nearViewPaint) {
        for (IconRecord& record : m_records)
            visit(record);
        m_lastVisited += m_records.size();
        return;
    }
    const std::vector<size_t> painted = PaintedRecords(viewHeight);
    for (size_t i : painted)
        if (i < m_records.size())
            visit(m_records[i]);
    m_lastVisited += painted.size();
}

// ---------------------------------------------------------------- controls and positions

KelmIconManager::LiveToken::LiveToken()
{
    LiveViews().insert(this);
}

KelmIconManager::LiveToken::LiveToken(const LiveToken&)
{
    LiveViews().insert(this);
}

KelmIconManager::LiveToken::~LiveToken()
{
    LiveViews().erase(this);
}

bool KelmIconManager::IsLive(const KelmIconManager* view)
{
    return view && LiveViews().count(&view->m_live) > 0;
}

bool KelmIconManager::InPlacingBand(const IconRecord& record, float viewHeight)
{
    return record.y + static_cast<float>(record.edge) >= -kPlacingMargin && record.y <= viewHeight + kPlacingMargin;
}

bool KelmIconManager::NearView(const IconRecord& record, float viewHeight)
{
    return record.y + static_cast<float>(record.edge) >= -150.0f && record.y <= viewHeight + 150.0f;
}

std::vector<char> KelmIconManager::UnderPiles(const std::vector<IconRecord>& records, float viewHeight, bool listView)
{
    std::vector<size_t> all(records.size());
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    return UnderPiles(records, all, viewHeight, listView);
}

std::vector<char> KelmIconManager::UnderPiles(const std::vector<IconRecord>& records,
                                              const std::vector<size_t>& indices, float viewHeight, bool listView)
{
    std::vector<char> under(indices.size(), 0);
    std::unordered_set<std::wstring> above;
    for (size_t i = indices.size(); i-- > 0;) {
        if (indices[i] >= records.size())
            continue;
        const IconRecord& record = records[indices[i]];
        if (!record.control || !NearView(record, viewHeight) || record.control->selected)
            continue;
        // Where the icon stands and the footprint it is drawn with (a text
        // file's card is two cells wide).
        const bool card = !listView && WildcardMatchNoCase(L"*.txt", record.path);
        std::wstring key = std::to_wstring(record.control->x) + L"," + std::to_wstring(record.control->y) + L"," +
                           std::to_wstring(record.edge) + (card ? L",card" : L"");
        if (above.count(key))
            under[i] = 1;
        else if (record.opacity >= 1.0f && !record.control->dimmed)
            above.insert(std::move(key));
    }
    return under;
}

std::shared_ptr<KelmIcon>& KelmIconManager::EnsureControl(IconRecord& record)
{
    if (!record.control)
        record.control = std::make_shared<KelmIcon>();
    return record.control;
}

IconRecord* KelmIconManager::FindByControl(const KelmIcon* control, size_t& hint)
{
    if (control && hint < m_records.size() && m_records[hint].control.get() == control)
        return &m_records[hint];
    IconRecord* record = FindByControl(control);
    if (record)
        hint = static_cast<size_t>(record - m_records.data());
    return record;
}

IconRecord* KelmIconManager::FindByControl(const KelmIcon* control)
{
    if (!control)
        return nullptr;
    for (IconRecord& record : m_records) {
        if (record.control.get() == control)
            return &record;
    }
    return nullptr;
}

namespace
{

// Runs a hook for the record the control stands for, as long as both the
// view and the record are still there.
template <typename Call> void RunForControl(KelmIconManager* view, const std::weak_ptr<KelmIcon>& weak, Call&& call)
{
    if (!KelmIconManager::IsLive(view))
        return;
    std::shared_ptr<KelmIcon> control = weak.lock();
    IconRecord* record = view->FindByControl(control.get());
    if (!record)
        return;
    // A copy: the hook may change the list the record lives in.
    const IconRecord copy = *record;
    call(*view, copy);
}

} // namespace

void KelmIconManager::ApplyCurrentPositions(float viewWidth, float viewHeight)
{
    const bool dragging = s_boxWindowHooks.DragInProgress();
    if (!dragging && s_dragPlaceholder.index != -2) {
        if (!IsLive(s_dragPlaceholder.manager)) {
            ClearDragPlaceholder();
        } else if (s_dragPlaceholder.manager == this) {
            // Found by its control: an import may have shifted the ids
            // since, and no other record is ever taken for it.
            if (IconRecord* placeholder = FindByControl(s_dragPlaceholder.control.lock().get()))
                RemoveById(static_cast<int>(placeholder->id));
            ClearDragPlaceholder();
            s_boxWindowHooks.Invalidate(m_ownBox);
        }
    }
    if (viewWidth == 0.0f)
        viewWidth = static_cast<float>(s_boxWindowHooks.ContentWidth(m_ownBox));
    m_placedHeight = viewHeight;

    static const BoxRuntime kNoBox;
    const BoxRuntime* found = FindBoxRuntime(m_ownBox);
    const BoxRuntime& box = found ? *found : kNoBox;

    ForPainted(viewHeight, [&](IconRecord& record) {
        if (!InPlacingBand(record, viewHeight))
            return;
        const bool made = !record.control;
        KelmIcon& control = *EnsureControl(record);
        if (made && box.multiSelect) {
            // Made now, as the record comes near: it shows the selection at
            // once.
            control.selected = box.selection.count(static_cast<int32_t>(record.id)) > 0;
            control.dimmed = !control.selected;
        }
        if (!dragging)
            control.dragMode = 0;
        control.opacity = record.opacity;
        control.settled = record.settled;
        control.labelStyle = box.TextRenderMode;

        std::wstring label = MakeIconLabel(record.alias, record.path, record.isDirectory, box.HideFileExtension);
        if (box.IsListView)
            label = ShortenListLabel(label, viewWidth, record.x, record.edge);
        else
            label = ShortenGridLabel(label, record.edge);

        std::weak_ptr<KelmIcon> weak = record.control;
        control.Setup(
            static_cast<int>(record.x), static_cast<int>(record.y), record.edge, record.path.c_str(), label.c_str(),
            [this, weak] {
                RunForControl(this, weak, [](KelmIconManager& view, const IconRecord& r) {
                    if (s_iconActionHooks.open)
                        s_iconActionHooks.open(view, r);
                });
            },
            [this, weak](const std::wstring& text) {
                RunForControl(this, weak, [&text](KelmIconManager& view, const IconRecord& r) {
                    if (s_iconActionHooks.textDrop)
                        s_iconActionHooks.textDrop(view, r, text);
                });
            },
            [this, weak](const bool&) {
                RunForControl(this, weak, [](KelmIconManager& view, const IconRecord& r) {
                    if (s_iconActionHooks.hoverMove)
                        s_iconActionHooks.hoverMove(view, r);
                });
            },
            [this, weak] {
                RunForControl(this, weak, [](KelmIconManager& view, const IconRecord& r) {
                    if (s_iconActionHooks.dragStart)
                        s_iconActionHooks.dragStart(view, r);
                });
            },
            [this, weak] {
                RunForControl(this, weak, [](KelmIconManager& view, const IconRecord& r) {
                    if (s_iconActionHooks.contextMenu)
                        s_iconActionHooks.contextMenu(view, r);
                });
            });
    });
}

// ---------------------------------------------------------------- animations

namespace
{

// Finds the record by its control when the animation ticks: ids shift with
// every insert and removal, the control stays with its record. The index
// where it was found last is tried first: a thousand animations of a full
// box each searching the whole list every tick kept it busy for seconds.
std::function<void(double)> WriteToRecord(KelmIconManager* view, std::weak_ptr<KelmIcon> weak, float from, float to,
                                          float IconRecord::*field)
{
    return [view, weak = std::move(weak), from, to, field, hint = size_t{0}](double p) mutable {
        if (!KelmIconManager::IsLive(view))
            return;
        std::shared_ptr<KelmIcon> control = weak.lock();
        if (IconRecord* record = view->FindByControl(control.get(), hint))
            record->*field = static_cast<float>((to - from) * p + from);
    };
}

// The animation that ends lets go of its id in the record, when the record
// still names it: a later move then has nothing to stop, and stopping an
// animation that ended long ago searches every running one.
std::function<void()> SettleRecord(KelmIconManager* view, std::weak_ptr<KelmIcon> weak,
                                   int32_t IconRecord::*idField = nullptr, std::shared_ptr<int> id = nullptr)
{
    return [view, weak = std::move(weak), idField, id = std::move(id)] {
        if (!KelmIconManager::IsLive(view))
            return;
        std::shared_ptr<KelmIcon> control = weak.lock();
        if (IconRecord* record = view->FindByControl(control.get())) {
            record->settled = true;
            if (idField && id && record->*idField == *id)
                record->*idField = -1;
        }
    };
}

// A box's fade-in of rows out of sight runs by the clock but repaints
// nothing: with thousands of files it would keep the box painting for a
// minute. Asked after every step, so a row scrolled into view mid-way is
// drawn from then on.
std::function<bool()> RecordNearView(KelmIconManager* view, std::weak_ptr<KelmIcon> weak, HWND box)
{
    return [view, weak = std::move(weak), box, hint = size_t{0}]() mutable {
        if (!KelmIconManager::IsLive(view))
            return false;
        std::shared_ptr<KelmIcon> control = weak.lock();
        const IconRecord* record = view->FindByControl(control.get(), hint);
        if (!record)
            return false;
        RECT rc{};
        GetClientRect(box, &rc);
        return KelmIconManager::NearView(*record, static_cast<float>(rc.bottom / DpiScale));
    };
}

// The height in DIPs of the view a box's records are placed in: its
// window's client area. None for a window that is not there (a view that
// is laid out without a window sees every record).
std::optional<float> ViewHeightOf(HWND box)
{
    RECT rc{};
    if (!box || !IsWindow(box) || !GetClientRect(box, &rc))
        return std::nullopt;
    return static_cast<float>(rc.bottom / DpiScale);
}

// Whether a record about to appear ends near the view: in the band in
// which the box gives records their controls (NearView, at its target).
bool AppearsInView(const IconRecord& record, float viewHeight)
{
    return record.targetY + static_cast<float>(record.edge) >= -150.0f && record.targetY <= viewHeight + 150.0f;
}

} // namespace

void KelmIconManager::StartAppear(KelmWindow& box, IconRecord& record)
{
    std::weak_ptr<KelmIcon> weak = EnsureControl(record);
    auto yId = std::make_shared<int>(-1);
    record.yAnimationId = box.animationManager.CreateAnimation(
        box.GetHwnd(), 0.35, AnimationManager::BezierEasing(0.15, 0.85, 0.2, 1.0),
        WriteToRecord(this, weak, record.targetY + 40.0f, record.targetY, &IconRecord::y),
        SettleRecord(this, weak, &IconRecord::yAnimationId, yId));
    *yId = record.yAnimationId;
    const int fadeId = box.animationManager.CreateAnimation(
        box.GetHwnd(), 0.25, nullptr, WriteToRecord(this, weak, 0.0f, 1.0f, &IconRecord::opacity), nullptr);
    // Only a box's own view: its records are placed in the window's DIPs.
    if (FindBoxRuntime(m_ownBox)) {
        box.animationManager.RepaintOnlyWhile(record.yAnimationId, RecordNearView(this, weak, box.GetHwnd()));
        box.animationManager.RepaintOnlyWhile(fadeId, RecordNearView(this, weak, box.GetHwnd()));
    }
    box.StartAnimationTimer();
}

void KelmIconManager::StartMove(KelmWindow& box, IconRecord& record, double duration,
                                std::function<double(double)> easing)
{
    if (record.xAnimationId != -1)
        box.StopAnimation(record.xAnimationId);
    if (record.yAnimationId != -1)
        box.StopAnimation(record.yAnimationId);
    std::weak_ptr<KelmIcon> weak = EnsureControl(record);
    auto xId = std::make_shared<int>(-1);
    auto yId = std::make_shared<int>(-1);
    record.xAnimationId = box.animationManager.CreateAnimation(
        box.GetHwnd(), duration, easing, WriteToRecord(this, weak, record.x, record.targetX, &IconRecord::x),
        SettleRecord(this, weak, &IconRecord::xAnimationId, xId));
    record.yAnimationId = box.animationManager.CreateAnimation(
        box.GetHwnd(), duration, std::move(easing), WriteToRecord(this, weak, record.y, record.targetY, &IconRecord::y),
        SettleRecord(this, weak, &IconRecord::yAnimationId, yId));
    *xId = record.xAnimationId;
    *yId = record.yAnimationId;
    box.StartAnimationTimer();
}

void KelmIconManager::UpdateAnimations(std::shared_ptr<KelmWindow> box)
{
    m_ownBox = box;
    if (!box)
        return;
    if (s_iconActionHooks.keyboard)
        s_iconActionHooks.keyboard(*this, m_ownBox);

    const BoxRuntime* runtime = FindBoxRuntime(m_ownBox);
    const bool multiSelect = runtime && runtime->multiSelect;
    const std::optional<float> viewHeight = runtime ? ViewHeightOf(box->GetHwnd()) : std::nullopt;
    const bool inWindow = viewHeight.has_value();
    const float height = viewHeight.value_or(0.0f);
    m_lastVisited = 0;
    auto visit = [&](IconRecord& record) {
        // A record far from the view gets its control when it comes near
        // (ApplyCurrentPositions): a box of ten thousand files need not
        // hold ten thousand controls nobody sees.
        if (record.control || !inWindow || InPlacingBand(record, height)) {
            KelmIcon& control = *EnsureControl(record);
            const bool isSelected = multiSelect && runtime->selection.count(static_cast<int32_t>(record.id)) > 0;
            control.selected = isSelected;
            control.dimmed = multiSelect && !isSelected;
        }

        if (record.appearPending) {
            record.appearPending = false;
            if (inWindow && !AppearsInView(record, height)) {
                // Nobody sees a row out of sight fade in; waiting out its
                // delay kept the box's tick running for minutes on a large
                // folder. It stands in its place when it is scrolled to.
                record.y = record.targetY;
                record.opacity = 1.0f;
                record.settled = true;
                return;
            }
            if (record.appearDelay > 0.01f) {
                KelmIconManager* view = this;
                std::weak_ptr<KelmIcon> weak = record.control;
                KelmWindow* window = box.get();
                std::weak_ptr<KelmWindow> windowAlive = box;
                const int delayId = box->animationManager.CreateAnimation(
                    box->GetHwnd(), record.appearDelay, nullptr, [](double) {},
                    [view, weak, window, windowAlive] {
                        if (windowAlive.expired() || !IsLive(view))
                            return;
                        std::shared_ptr<KelmIcon> control = weak.lock();
                        if (IconRecord* target = view->FindByControl(control.get()))
                            view->StartAppear(*window, *target);
                    });
                if (FindBoxRuntime(m_ownBox))
                    box->animationManager.RepaintOnlyWhile(delayId, RecordNearView(this, weak, box->GetHwnd()));
                box->StartAnimationTimer();
            } else {
                StartAppear(*box, record);
            }
            return;
        }
        if (record.settled)
            return;
        if (inWindow && !NearView(record, height) && !AppearsInView(record, height)) {
            // A move that starts and ends out of sight is not seen: the
            // record goes to its place at once. A drop into a full box
            // shifts thousands of records below the view, and animating
            // each of them kept the box busy for tens of seconds.
            if (record.xAnimationId != -1)
                box->StopAnimation(record.xAnimationId);
            if (record.yAnimationId != -1)
                box->StopAnimation(record.yAnimationId);
            record.xAnimationId = record.yAnimationId = -1;
            record.x = record.targetX;
            record.y = record.targetY;
            record.farMove = record.nearMove = record.smallMove = false;
            record.settled = true;
            return;
        }
        if (record.farMove) {
            StartMove(*box, record, 0.3, AnimationManager::BezierEasing(0.18, 0.7, 0.67, 1.12));
            record.farMove = false;
            return;
        }
        if (record.nearMove) {
            StartMove(*box, record, 0.3, AnimationManager::BezierEasing(0.14, 0.66, 0.62, 0.98));
            record.nearMove = false;
        }
        if (record.smallMove) {
            StartMove(*box, record, 0.12, nullptr);
            record.smallMove = false;
        }
    };
    if (!m_nearViewPaint || !inWindow) {
        for (IconRecord& record : m_records)
            visit(record);
        m_lastVisited = m_records.size();
        return;
    }
    ForPainted(std::max(height, m_placedHeight), visit);
    // What is still on its way stays in sight of the next paints.
    std::vector<size_t> busy;
    for (size_t i : m_painted)
        if (i < m_records.size() && Busy(m_records[i]))
            busy.push_back(i);
    m_busy = std::move(busy);
}

} // namespace TessikDesktopContainer

// ---------------------------------------------------------------- the drag placeholder

using TessikDesktopContainer::KelmIcon;

void SetDragPlaceholder(KelmIconManager& view, int index)
{
    s_dragPlaceholder.manager = &view;
    s_dragPlaceholder.index = index;
    IconRecord* record = view.FindById(index);
    s_dragPlaceholder.control =
        record ? std::weak_ptr<KelmIcon>(view.EnsureControl(*record)) : std::weak_ptr<KelmIcon>();
}

void ClearDragPlaceholder()
{
    s_dragPlaceholder = DragPlaceholder();
}
