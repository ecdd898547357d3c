#include "sidewindows/quickpanel/QuickPanelList.h"

#include <exception>
#include <stdexcept>
#include <utility>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxRuntime.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "sidewindows/quickpanel/QPListItem.h"
#include "sidewindows/quickpanel/QuickPanelContent.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/core/KelmWindow.h"

namespace TessikQuickPanel
{

namespace
{

constexpr COLORREF kDefaultColour = 0xF2F2F2;
constexpr float kFirstRowY = 60.0f;
constexpr float kRowPitch = 45.0f;

// The root object, or null when the store has none (nothing is created).
KelmStorageNestedObject* FindRoot(KelmStorage& store, const std::wstring& name)
{
    try {
        return &store.GetRootObject(name);
    } catch (const std::out_of_range&) {
        return nullptr;
    }
}

const KelmStorageValue* FindMember(const KelmStorageNestedObject& object, const std::wstring& key)
{
    auto found = object.members.find(key);
    return found == object.members.end() ? nullptr : &found->second;
}

template <typename T> T MemberOr(const KelmStorageNestedObject& object, const std::wstring& key, T fallback)
{
    const KelmStorageValue* value = FindMember(object, key);
    if (value && std::holds_alternative<T>(*value))
        return std::get<T>(*value);
    return fallback;
}

COLORREF StoredBoxColour(const std::wstring& boxId)
{
    const KelmStorageNestedObject* components = FindRoot(s_desktopContainerStore, L"Components");
    if (!components)
        return kDefaultColour;
    const KelmStorageValue* box = FindMember(*components, L"ComID_" + boxId);
    if (!box || !std::holds_alternative<std::shared_ptr<KelmStorageNestedObject>>(*box))
        return kDefaultColour;
    const auto& object = std::get<std::shared_ptr<KelmStorageNestedObject>>(*box);
    if (!object)
        return kDefaultColour;
    const KelmStorageValue* colour = FindMember(*object, L"clrtag");
    if (!colour || !std::holds_alternative<std::wstring>(*colour))
        return kDefaultColour;
    return ComponentColourFromText(std::get<std::wstring>(*colour));
}

// A box's tag colour: its caption bar's while the window is built, else the
// stored one.
COLORREF TagColour(const BoxRuntime& runtime)
{
    if (runtime.captionBar)
        return runtime.captionBar->colour;
    return StoredBoxColour(runtime.id);
}

bool IsPanelWindow(const std::shared_ptr<KelmWindow>& window)
{
    return window == s_quickPanelWindow || (s_quickPanelContentWindow && window == s_quickPanelContentWindow);
}

} // namespace

bool SaveStore(KelmStorage& store, const wchar_t* what)
{
    std::wstring reason;
    try {
        // A failed write is kept, retried and told by the store itself.
        return store.Save();
    } catch (const std::exception& error) {
        const std::string text = error.what();
        reason = std::wstring(text.begin(), text.end());
    } catch (...) {
        reason = L"unknown error";
    }
    Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", std::wstring(what) + L" not saved: " + reason);
    NotifyUserOnce(L"quick-panel-save", L"快捷面板的更改无法保存到配置文件，重新启动后可能恢复原样。");
    return false;
}

COLORREF ComponentColourFromText(const std::wstring& text)
{
    try {
        return HexToColor(text);
    } catch (const std::exception&) {
        return kDefaultColour;
    }
}

std::vector<HiddenBoxRecord> ReadHiddenBoxRecords()
{
    std::vector<HiddenBoxRecord> records;
    const KelmStorageNestedObject* list = FindRoot(s_quickPanelStore, L"TempList");
    if (!list)
        return records;
    for (const auto& [id, value] : list->members) {
        if (!std::holds_alternative<std::shared_ptr<KelmStorageNestedObject>>(value))
            continue;
        const auto& object = std::get<std::shared_ptr<KelmStorageNestedObject>>(value);
        if (!object)
            continue;
        HiddenBoxRecord record;
        record.id = id;
        record.title = TypedTextMember(object.get(), L"title", L"Temp");
        record.UseTargetFolder = MemberOr<bool>(*object, L"UseTargetFolder", false);
        record.TargetFolder = MemberOr<std::wstring>(*object, L"TargetFolder", L"bvn!NULL");
        if (record.TargetFolder != L"bvn!NULL")
            record.TargetFolder = NormalizeStoredPath(record.TargetFolder);
        record.clrtag = MemberOr<std::wstring>(*object, L"clrtag", L"#F2F2F2");
        records.push_back(std::move(record));
    }
    return records;
}

void BuildQuickPanelList()
{
    s_quickPanelRows.clear();
    s_hiddenBoxes = ReadHiddenBoxRecords();

    // An integrated box stands for the boxes of its colour and kind.
    std::vector<std::pair<COLORREF, bool>> integratedGroups;
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (window && runtime.IsIntegrated && !runtime.IsPseudoBox())
            integratedGroups.emplace_back(TagColour(runtime), runtime.UseTargetFolder);
    }

    std::vector<std::shared_ptr<QPListItem>> pending;
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (!window || IsPanelWindow(window) || IsQuickPanelPseudoId(runtime.id))
            continue;
        const COLORREF colour = TagColour(runtime);
        if (!runtime.IsIntegrated) {
            const std::pair<COLORREF, bool> group{colour, runtime.UseTargetFolder};
            if (std::find(integratedGroups.begin(), integratedGroups.end(), group) != integratedGroups.end())
                continue;
        }
        auto row = std::make_shared<QPListItem>();
        row->Set(0, runtime.id, runtime.title, colour, false, runtime.UseTargetFolder, runtime.IsIntegrated);
        pending.push_back(std::move(row));
    }
    for (const HiddenBoxRecord& hidden : s_hiddenBoxes) {
        auto row = std::make_shared<QPListItem>();
        row->Set(0, hidden.id, hidden.title, ComponentColourFromText(hidden.clrtag), true, hidden.UseTargetFolder,
                 false);
        pending.push_back(std::move(row));
    }

    if (const KelmStorageNestedObject* order = FindRoot(s_quickPanelStore, L"ListOrder")) {
        for (int n = 0;; ++n) {
            const KelmStorageValue* value = FindMember(*order, std::to_wstring(n));
            if (!value || !std::holds_alternative<std::wstring>(*value))
                break;
            const std::wstring& id = std::get<std::wstring>(*value);
            auto match = std::find_if(pending.begin(), pending.end(), [&](const auto& row) { return row->id == id; });
            if (match == pending.end())
                continue;
            s_quickPanelRows.push_back(std::move(*match));
            pending.erase(match);
        }
    }
    for (auto& row : pending)
        s_quickPanelRows.push_back(std::move(row));

    // Current and target positions alike: a rebuild does not animate.
    for (size_t i = 0; i < s_quickPanelRows.size(); ++i) {
        s_quickPanelRows[i]->y = kFirstRowY + kRowPitch * static_cast<float>(i);
        s_quickPanelRows[i]->targetY = s_quickPanelRows[i]->y;
    }

    if (s_selectedComponentId.empty() && !s_quickPanelRows.empty())
        SelectComponent(s_quickPanelRows.front()->id, s_quickPanelRows.front()->hidden);

    RefreshQuickPanelContent();
}

void SaveQuickPanelListOrder()
{
    s_quickPanelStore[L"ListOrder"];
    s_quickPanelStore.GetRootObject(L"ListOrder").members.clear();
    for (size_t i = 0; i < s_quickPanelRows.size(); ++i)
        s_quickPanelStore[L"ListOrder"][std::to_wstring(i)] = s_quickPanelRows[i]->id;
    SaveStore(s_quickPanelStore, L"Quick panel order");
}

void SaveHiddenBoxRecords()
{
    for (const HiddenBoxRecord& record : s_hiddenBoxes) {
        KelmStorageProxy object = s_quickPanelStore[L"TempList"][record.id];
        object[L"title"] = TypedTextToStore(record.title);
        object[L"UseTargetFolder"] = record.UseTargetFolder;
        object[L"TargetFolder"] = record.TargetFolder;
        object[L"clrtag"] = record.clrtag;
    }
    SaveStore(s_quickPanelStore, L"Hidden boxes");
}

void ReleaseComponentIntegration(std::shared_ptr<KelmWindow> box)
{
    BoxRuntime* found = FindBoxRuntime(box);
    auto managerEntry = s_boxIconManagers.find(box);
    // Only a registered box: a subscript would enter any window.
    if (!found || found->IsPseudoBox())
        return;
    BoxRuntime& runtime = *found;
    runtime.IsIntegrated = false;
    runtime.scrollOffset = 0;
    const std::wstring object = L"ComID_" + runtime.id;
    s_desktopContainerStore[L"Components"][object][L"IsIntegrated"] = false;
    if (managerEntry != s_boxIconManagers.end()) {
        SaveBoxIcons(managerEntry->second);
        managerEntry->second.RemoveMergedRecords();
    }

    const COLORREF colour = ComponentColourFromText(
        s_desktopContainerStore[L"Components"][object][L"clrtag"].Get<std::wstring>(L"#F2F2F2"));
    for (const auto& [window, other] : s_boxRuntimes) {
        // Every box whose tag has the released box's colour shows again,
        // whatever its kind.
        if (!window || window == box || other.IsPseudoBox() || !IsWindow(window->GetHwnd()) || !other.captionBar ||
            other.captionBar->colour != colour)
            continue;
        if (HWND hwnd = window->GetHwnd()) {
            ShowWindow(hwnd, SW_SHOW);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
    }
    SaveStore(s_desktopContainerStore, L"Box integration");
}

} // namespace TessikQuickPanel
