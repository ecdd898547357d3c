#include "box/icons/IconPersistence.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <string_view>
#include <unordered_set>

#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "box/BoxIconRebuild.h"
#include "box/icons/DragPlaceholder.h"
#include "box/icons/IconLog.h"

namespace
{

KelmStorageNestedObject* FindChildObject(KelmStorageNestedObject* parent, const std::wstring& key)
{
    if (!parent)
        return nullptr;
    auto found = parent->members.find(key);
    if (found == parent->members.end() || found->second.index() != 4)
        return nullptr;
    return std::get<4>(found->second).get();
}

std::wstring ReadText(KelmStorageNestedObject* object, const std::wstring& key, const std::wstring& fallback)
{
    // The store types values by their shape: an alias made of digits comes
    // back as a number and must not be lost.
    return TypedTextMember(object, key, fallback);
}

// The boxes of the view in window-address order: the own box first among
// equals, then every record's owner and every member the view speaks for.
std::vector<BoxWindowPtr> OwnersOf(const KelmIconManager& view)
{
    std::vector<BoxWindowPtr> owners{view.OwnBox()};
    for (const IconRecord& record : view.Records())
        owners.push_back(view.EffectiveOwner(record));
    for (const BoxWindowPtr& member : MembersSpokenFor(view))
        owners.push_back(member);
    std::sort(owners.begin(), owners.end(),
              [](const BoxWindowPtr& a, const BoxWindowPtr& b) { return std::less<KelmWindow*>()(a.get(), b.get()); });
    owners.erase(std::unique(owners.begin(), owners.end()), owners.end());
    return owners;
}

// Writes the records into a box's stored "Icons" in place, as the whole
// rewrite would leave it: "iconID_0" ... in order, each with path, alias
// and originalPath. False, with nothing changed, when the stored object has
// another shape; the caller then rewrites it whole.
bool WriteIconsInPlace(KelmStorageNestedObject& icons, const std::vector<const IconRecord*>& records)
{
    return WriteRowsInPlace(icons, L"iconID_", {L"path", L"alias", L"originalPath"}, records.size(),
                            [&records](size_t row, size_t field, std::wstring& out) {
                                const IconRecord& record = *records[row];
                                out = field == 0   ? record.path
                                      : field == 1 ? TypedTextToStore(record.alias)
                                                   : record.originalPath;
                            });
}

// The stored "Icons" of a box, when it is the last member of the box's
// object, where a whole rewrite leaves it.
KelmStorageNestedObject* StoredIconsInPlace(const std::wstring& boxId)
{
    KelmStorageNestedObject* components = nullptr;
    try {
        components = &s_desktopContainerStore.GetRootObject(L"Components");
    } catch (const std::out_of_range&) {
        return nullptr;
    }
    KelmStorageNestedObject* box = FindChildObject(components, L"ComID_" + boxId);
    if (!box || box->members.empty() || box->members.back().first != L"Icons")
        return nullptr;
    return FindChildObject(box, L"Icons");
}

bool MayWriteIconsOf(const KelmIconManager& view, const BoxWindowPtr& owner)
{
    const BoxRuntime* runtime = FindBoxRuntime(owner);
    // A deleted box has no registry entry; the quick panel's windows never
    // keep box settings.
    if (!runtime || runtime->id.empty() || runtime->IsPseudoBox())
        return false;
    const std::vector<BoxWindowPtr> members = MembersSpokenFor(view);
    if (std::find(members.begin(), members.end(), owner) != members.end())
        return true;
    return ViewHoldsAllRecordsOf(view, owner);
}

} // namespace

bool ViewHoldsAllRecordsOf(const KelmIconManager& view, const BoxWindowPtr& box)
{
    auto main = s_boxIconManagers.find(box);
    if (main == s_boxIconManagers.end() || &main->second == &view)
        return true;
    const KelmIconManager& full = main->second;
    std::unordered_set<std::wstring> held;
    for (const IconRecord& record : view.Records()) {
        if (view.EffectiveOwner(record) == box)
            held.insert(record.path);
    }
    for (const IconRecord& record : full.Records()) {
        if (full.EffectiveOwner(record) == box && !held.count(record.path))
            return false;
    }
    return true;
}

void SaveBoxIcons(KelmIconManager& view)
{
    if (!view.OwnBox())
        return;
    try {
        std::vector<BoxWindowPtr> writable;
        for (const BoxWindowPtr& owner : OwnersOf(view)) {
            if (MayWriteIconsOf(view, owner))
                writable.push_back(owner);
        }
        if (!writable.empty()) {
            // The placeholder of a drag passing over the box stands for no
            // icon of it.
            const std::shared_ptr<TessikDesktopContainer::KelmIcon> placeholder =
                s_dragPlaceholder.manager == &view ? s_dragPlaceholder.control.lock() : nullptr;
            std::unordered_map<const KelmWindow*, std::vector<const IconRecord*>> stored;
            for (const BoxWindowPtr& owner : writable)
                stored[owner.get()];
            for (const IconRecord& record : view.Records()) {
                if (placeholder && record.control == placeholder)
                    continue;
                auto owned = stored.find(view.EffectiveOwner(record).get());
                if (owned != stored.end())
                    owned->second.push_back(&record);
            }
            KelmStorageProxy components = s_desktopContainerStore[L"Components"];
            for (const BoxWindowPtr& owner : writable) {
                const std::wstring& id = s_boxRuntimes[owner].id;
                const std::vector<const IconRecord*>& records = stored[owner.get()];
                KelmStorageNestedObject* icons = records.empty() ? nullptr : StoredIconsInPlace(id);
                if (icons && WriteIconsInPlace(*icons, records))
                    continue;
                components[L"ComID_" + id][L"Icons"].remove();
                for (size_t i = 0; i < records.size(); ++i) {
                    KelmStorageProxy icon = components[L"ComID_" + id][L"Icons"][L"iconID_" + std::to_wstring(i)];
                    icon[L"path"] = records[i]->path;
                    icon[L"alias"] = TypedTextToStore(records[i]->alias);
                    icon[L"originalPath"] = records[i]->originalPath;
                }
            }
            // Ten thousand records make a file of megabytes: it is written
            // off this thread, in the order of the saves.
            s_desktopContainerStore.SaveInBackground();
        }
    } catch (const std::exception& e) {
        LogIconError(L"Saving the icons failed: " + Utf8ToWide(e.what()));
    } catch (...) {
        LogIconError(L"Saving the icons failed.");
    }
    try {
        RebuildBoxIcons(view);
    } catch (const std::exception& e) {
        LogIconError(L"Rebuilding the icons of merged boxes failed: " + Utf8ToWide(e.what()));
    }
}

void LoadBoxIcons(KelmIconManager& manager, const std::wstring& boxId)
{
    KelmStorageNestedObject* components = nullptr;
    try {
        components = &s_desktopContainerStore.GetRootObject(L"Components");
    } catch (const std::out_of_range&) {
        return;
    }
    KelmStorageNestedObject* icons = FindChildObject(FindChildObject(components, L"ComID_" + boxId), L"Icons");
    if (!icons)
        return;
    // The records as stored, in stored order: a gap in the numbering (a
    // record removed by hand) neither adds an empty record nor drops the
    // last one.
    for (auto it = icons->members.begin(); it != icons->members.end(); ++it) {
        if (it->first.rfind(L"iconID_", 0) != 0 || it->second.index() != 4 || !std::get<4>(it->second))
            continue;
        KelmStorageNestedObject* icon = std::get<4>(it->second).get();
        const std::wstring path = ReadText(icon, L"path", L"");
        if (path.empty() || path == L"NULL")
            continue;
        manager.AddRecordForPath(path, 0.0f, 0.0f, ReadText(icon, L"alias", L"bvn!NULL"), false, L"", nullptr,
                                 ReadText(icon, L"originalPath", L"bvn!NULL"));
    }
}
