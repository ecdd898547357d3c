#include "sidewindows/quickpanel/QuickPanelRecords.h"

#include <string_view>
#include <unordered_map>

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
bool TakeOver(KelmIconManager& list, const std::vector<WantedRecord>& wanted)
{
    constexpr size_t kNone = static_cast<size_t>(-1);
    std::vector<IconRecord>& shown = list.Records();
    // The first shown record of each path and owner not yet taken, and
    // after each the next one of the same.
    std::unordered_map<ShownKey, size_t, ShownKeyHash> first;
    first.reserve(shown.size());
    std::vector<size_t> nextSame(shown.size(), kNone);
    for (size_t i = shown.size(); i-- > 0;) {
        auto [at, inserted] = first.try_emplace(ShownKey{shown[i].path, list.EffectiveOwner(shown[i]).get()}, i);
        if (!inserted) {
            nextSame[i] = at->second;
            at->second = i;
        }
    }
    std::vector<size_t> olds(wanted.size(), kNone);
    bool changed = shown.size() != wanted.size();
    for (size_t w = 0; w < wanted.size(); ++w) {
        const WantedRecord& item = wanted[w];
        const IconRecord& source = *item.source;
        auto found = first.find(ShownKey{source.path, item.owner.get()});
        if (found == first.end() || found->second == kNone) {
            changed = true;
            continue;
        }
        const size_t old = found->second;
        found->second = nextSame[old];
        olds[w] = old;
        IconRecord& kept = shown[old];
        changed = changed || old != w || kept.alias != source.alias || kept.sectionText != item.sectionText;
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
    if (!changed)
        return false;
    std::vector<IconRecord> next;
    next.reserve(wanted.size());
    for (size_t w = 0; w < wanted.size(); ++w) {
        if (olds[w] != kNone) {
            next.push_back(std::move(shown[olds[w]]));
            continue;
        }
        if (IconRecord* made = wanted[w].made) {
            IconRecord record = std::move(*made);
            record.sectionText = wanted[w].sectionText;
            record.owner = wanted[w].owner;
            next.push_back(std::move(record));
            continue;
        }
        const IconRecord& source = *wanted[w].source;
        IconRecord record = list.MakeRecord(source.path, 0.0f, 0.0f, source.alias, false, wanted[w].sectionText,
                                            wanted[w].owner, source.originalPath);
        record.lastWriteTime = source.lastWriteTime;
        record.isDirectory = source.isDirectory;
        next.push_back(std::move(record));
    }
    shown = std::move(next);
    list.Renumber();
    return true;
}

} // namespace TessikQuickPanel
