#include "sidewindows/quickpanel/QuickPanelRecords.h"

#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "ui/core/KelmWindow.h"

namespace TessikQuickPanel
{

namespace
{

using NestedPtr = std::shared_ptr<KelmStorageNestedObject>;

const KelmStorageNestedObject* FindObject(const KelmStorageNestedObject& parent, const std::wstring& key)
{
    auto it = parent.members.find(key);
    if (it == parent.members.end() || !std::holds_alternative<NestedPtr>(it->second))
        return nullptr;
    return std::get<NestedPtr>(it->second).get();
}

std::wstring TextOr(const KelmStorageNestedObject& object, const std::wstring& key, const std::wstring& fallback)
{
    auto it = object.members.find(key);
    if (it == object.members.end() || !std::holds_alternative<std::wstring>(it->second))
        return fallback;
    return std::get<std::wstring>(it->second);
}

struct ShownKey {
    std::wstring_view path;
    const KelmWindow* owner = nullptr;
    bool operator==(const ShownKey&) const = default;
};

struct ShownKeyHash {
    size_t operator()(const ShownKey& key) const
    {
        return std::hash<std::wstring_view>()(key.path) * 31 + std::hash<const void*>()(key.owner);
    }
};

} // namespace

std::vector<StoredEntry> ReadEntries(const wchar_t* rootName, const std::wstring& id)
{
    std::vector<StoredEntry> entries;
    const KelmStorageNestedObject* root = nullptr;
    try {
        root = &s_quickPanelStore.GetRootObject(rootName);
    } catch (const std::exception&) {
        return entries;
    }
    const KelmStorageNestedObject* list = FindObject(*root, id);
    if (!list)
        return entries;
    for (size_t n = 0;; ++n) {
        const KelmStorageNestedObject* entry = FindObject(*list, std::to_wstring(n));
        if (!entry)
            break;
        const std::wstring path = TextOr(*entry, L"path", L"");
        if (path.empty())
            continue;
        entries.push_back({NormalizeStoredPath(path), TypedTextMember(entry, L"alias", L"bvn!NULL")});
    }
    return entries;
}

const HiddenBoxRecord* SelectedHiddenBox()
{
    for (const HiddenBoxRecord& record : s_hiddenBoxes)
        if (record.id == s_selectedComponentId)
            return &record;
    return nullptr;
}

BoxWindowPtr FindBox(const std::wstring& id)
{
    for (const auto& [window, runtime] : s_boxRuntimes)
        if (window && runtime.id == id)
            return window;
    return nullptr;
}

bool IsPanelWindow(const BoxWindowPtr& window, const BoxRuntime& runtime)
{
    return window == s_quickPanelWindow || window == s_quickPanelContentWindow || window == s_quickPanelDummy ||
           IsQuickPanelPseudoId(runtime.id);
}

// Looked up by path and owner without copying either: the panel follows a
// box of thousands a few times a second while a paste fills it.
struct TakeOverInSlices::Shown {
    // The first shown record of each path and owner not yet taken, and
    // after each the next one of the same.
    std::unordered_map<ShownKey, size_t, ShownKeyHash> first;
    std::vector<size_t> nextSame;
};

namespace
{

constexpr size_t kNone = static_cast<size_t>(-1);
// Records handled between two looks at the clock.
constexpr size_t kRecordsPerLook = 256;
// Up to this many records let go of are freed on the spot.
constexpr size_t kFreedOnTheSpot = 2000;

// Records the list let go of, and the look at them: tens of thousands are
// freed elsewhere, once the controls and windows they hold, which are the
// UI thread's, were let go here.
void LetGoOf(std::vector<IconRecord> old, std::shared_ptr<void> look)
{
    if (old.size() <= kFreedOnTheSpot)
        return;
    for (IconRecord& record : old) {
        record.control.reset();
        record.owner.reset();
    }
    FreeElsewhere(std::make_shared<std::vector<IconRecord>>(std::move(old)));
    FreeElsewhere(std::move(look));
}

} // namespace

void FreeElsewhere(std::shared_ptr<void> what)
{
    try {
        std::thread([what = std::move(what)]() mutable { what.reset(); }).detach();
    } catch (const std::exception&) {
        // No thread to be had: freed here after all.
    }
}

TakeOverInSlices::TakeOverInSlices(KelmIconManager& list, std::vector<WantedRecord> wanted, bool inOneGo)
    : m_list(&list), m_wanted(std::move(wanted)), m_inOneGo(inOneGo)
{
    Restart();
}

void TakeOverInSlices::UnBuild()
{
    for (size_t w = 0; w < m_next.size(); ++w)
        if (m_fromMade[w])
            *m_wanted[w].made = std::move(m_next[w]);
    m_next.clear();
    m_fromMade.clear();
}

void TakeOverInSlices::Restart()
{
    UnBuild();
    const std::vector<IconRecord>& shown = std::as_const(*m_list).Records();
    m_phase = Phase::Index;
    m_version = m_list->Version();
    m_at = shown.size();
    m_changed = shown.size() != m_wanted.size();
    m_keptDiffer = false;
    m_shown = std::make_shared<Shown>();
    m_shown->first.reserve(shown.size());
    m_shown->nextSame.assign(shown.size(), kNone);
    m_olds.assign(m_wanted.size(), kNone);
}

bool TakeOverInSlices::Step(const std::function<bool()>& timeUp)
{
    if (m_phase == Phase::Done)
        return true;
    // Whatever changed the list meanwhile made the look at it stale.
    if (m_list->Version() != m_version)
        Restart();
    const std::vector<IconRecord>& shown = std::as_const(*m_list).Records();
    size_t sinceLook = 0;
    auto pause = [&] { return ++sinceLook % kRecordsPerLook == 0 && timeUp(); };
    Shown& look = *m_shown;
    if (m_phase == Phase::Index) {
        while (m_at > 0) {
            const size_t i = --m_at;
            auto [at, inserted] =
                look.first.try_emplace(ShownKey{shown[i].path, m_list->EffectiveOwner(shown[i]).get()}, i);
            if (!inserted) {
                look.nextSame[i] = at->second;
                at->second = i;
            }
            if (pause())
                return false;
        }
        m_phase = Phase::Match;
    }
    if (m_phase == Phase::Match) {
        for (; m_at < m_wanted.size(); ++m_at) {
            const WantedRecord& item = m_wanted[m_at];
            const IconRecord& source = *item.source;
            auto found = look.first.find(ShownKey{source.path, item.owner.get()});
            if (found == look.first.end() || found->second == kNone) {
                m_changed = true;
            } else {
                const size_t old = found->second;
                found->second = look.nextSame[old];
                m_olds[m_at] = old;
                const IconRecord& kept = shown[old];
                m_changed =
                    m_changed || old != m_at || kept.alias != source.alias || kept.sectionText != item.sectionText;
                m_keptDiffer = m_keptDiffer || kept.alias != source.alias || kept.sectionText != item.sectionText ||
                               kept.originalPath != source.originalPath || kept.lastWriteTime != source.lastWriteTime ||
                               kept.isDirectory != source.isDirectory;
            }
            if (pause()) {
                ++m_at;
                return false;
            }
        }
        m_phase = Phase::Build;
        m_at = 0;
        if (!m_changed) {
            Finish();
            return true;
        }
        m_next.reserve(m_wanted.size());
        m_fromMade.reserve(m_wanted.size());
    }
    // The next list, in the wanted order, while the list still shows the
    // old one: nothing of the shown records is taken yet but copies.
    for (; m_at < m_wanted.size(); ++m_at) {
        const WantedRecord& item = m_wanted[m_at];
        const size_t old = m_olds[m_at];
        m_fromMade.push_back(old == kNone && item.made);
        if (old != kNone) {
            if (m_inOneGo)
                m_next.push_back(std::move(m_list->Records()[old]));
            else
                m_next.push_back(shown[old]);
            IconRecord& kept = m_next.back();
            const IconRecord& source = *item.source;
            if (kept.alias != source.alias) {
                kept.alias = source.alias;
                kept.sortName = IconSortName(kept.alias, kept.path);
            }
            kept.sectionText = item.sectionText;
            kept.originalPath = source.originalPath;
            kept.lastWriteTime = source.lastWriteTime;
            kept.isDirectory = source.isDirectory;
        } else if (item.made) {
            IconRecord& record = m_next.emplace_back(std::move(*item.made));
            record.sectionText = item.sectionText;
            record.owner = item.owner;
        } else {
            const IconRecord& source = *item.source;
            IconRecord& record = m_next.emplace_back(m_list->MakeRecord(
                source.path, 0.0f, 0.0f, source.alias, false, item.sectionText, item.owner, source.originalPath));
            record.lastWriteTime = source.lastWriteTime;
            record.isDirectory = source.isDirectory;
        }
        if (!m_inOneGo && pause()) {
            ++m_at;
            return false;
        }
    }
    Finish();
    return true;
}

// The one change of the list, in one go: a kept record's copy takes what
// moved on in its original since it was copied (its place, its motion and
// its control), then the lists trade places.
void TakeOverInSlices::Finish()
{
    m_phase = Phase::Done;
    if (!m_changed && !m_keptDiffer)
        return;
    std::vector<IconRecord>& records = m_list->Records();
    if (!m_changed) {
        for (size_t w = 0; w < m_wanted.size(); ++w) {
            if (m_olds[w] == kNone)
                continue;
            const WantedRecord& item = m_wanted[w];
            const IconRecord& source = *item.source;
            IconRecord& kept = records[m_olds[w]];
            if (kept.alias != source.alias) {
                kept.alias = source.alias;
                kept.sortName = IconSortName(kept.alias, kept.path);
            }
            if (kept.sectionText != item.sectionText)
                kept.sectionText = item.sectionText;
            if (kept.originalPath != source.originalPath)
                kept.originalPath = source.originalPath;
            kept.lastWriteTime = source.lastWriteTime;
            kept.isDirectory = source.isDirectory;
        }
        return;
    }
    if (!m_inOneGo) {
        for (size_t w = 0; w < m_wanted.size(); ++w) {
            if (m_olds[w] == kNone)
                continue;
            const IconRecord& original = records[m_olds[w]];
            IconRecord& copy = m_next[w];
            copy.id = original.id;
            copy.control = original.control;
            copy.edge = original.edge;
            copy.x = original.x;
            copy.y = original.y;
            copy.targetX = original.targetX;
            copy.targetY = original.targetY;
            copy.farMove = original.farMove;
            copy.nearMove = original.nearMove;
            copy.smallMove = original.smallMove;
            copy.xAnimationId = original.xAnimationId;
            copy.yAnimationId = original.yAnimationId;
            copy.settled = original.settled;
            copy.isNew = original.isNew;
            copy.opacity = original.opacity;
            copy.appearDelay = original.appearDelay;
            copy.appearPending = original.appearPending;
        }
    }
    std::vector<IconRecord> old = std::exchange(records, std::move(m_next));
    m_next = {};
    m_fromMade = {};
    m_list->Renumber();
    LetGoOf(std::move(old), std::move(m_shown));
}

bool TakeOver(KelmIconManager& list, std::vector<WantedRecord> wanted)
{
    TakeOverInSlices whole(list, std::move(wanted), true);
    whole.Step([] { return false; });
    return whole.Changed();
}

} // namespace TessikQuickPanel
