#include "box/BoxTitleMenu.h"

#include <string>

#include "app/AppConfig.h"
#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "box/BoxSettings.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmColorMenuPattle.h"
#include "ui/controls/NewEdit.h"
#include "ui/controls/PalettePopup.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

namespace TessikDesktopContainer
{

namespace
{

void Repaint(const BoxWindowPtr& box)
{
    if (box && box->GetHwnd())
        InvalidateRect(box->GetHwnd(), nullptr, FALSE);
}

int DefaultWidth()
{
    return static_cast<int>(300 * DpiScale);
}
int DefaultHeight()
{
    return static_cast<int>(400 * DpiScale);
}

} // namespace

std::vector<Brevin::KelmOption> BoxTitleMenuOptions(const BoxWindowPtr& box)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    const bool integrated = runtime && runtime->IsIntegrated;
    bool mergeable = !integrated && runtime;
    if (mergeable && runtime->titleButton) {
        // An integrated group never mixes folder-backed and mapping boxes.
        bool withFolder = false;
        bool withoutFolder = false;
        for (const BoxWindowPtr& member : BoxesWithTagColour(runtime->titleButton->fill)) {
            (s_boxRuntimes[member].UseTargetFolder ? withFolder : withoutFolder) = true;
        }
        mergeable = !(withFolder && withoutFolder);
    }
    std::weak_ptr<KelmWindow> weak = box;
    std::vector<Brevin::KelmOption> options;
    options.emplace_back(
        std::wstring(L":\xF031:") + L"       标题", [weak] { EditBoxTitle(weak.lock()); }, 1);
    Brevin::KelmOption row(
        L"", [] {}, 1);
    row.sideList.emplace_back(
        std::wstring(L":\xF2F6:") + L" 合并", [weak] { MergeBoxGroup(weak.lock()); }, mergeable ? 1 : 0);
    row.sideList.emplace_back(
        std::wstring(L":\xF58D:") + L" 群组", [weak] { SplitBoxGroup(weak.lock()); }, integrated ? 1 : 0);
    options.push_back(std::move(row));
    return options;
}

void ShowBoxTitleMenu(const BoxWindowPtr& box, HWND owner, int titleType, float titleInset)
{
    if (!FindBoxRuntime(box))
        return;
    s_paletteExtraColors.clear();
    s_paletteExtraColors.push_back({HexToColor(L"#454545"), L""});
    s_paletteExtraColors.push_back({HexToColor(L"#F2F2F2"), L"未编组"});
    const float inset = titleType == 2 ? titleInset * 2 : titleInset;
    const int top = static_cast<int>(inset + 40);
    KelmColorMenuPattle::KelmCreateWindow(owner, BoxTitleMenuOptions(box), 0, 0, top);
    if (s_colorMenuDismissed || s_colorMenuLiveColor == 0xFFFFFF)
        return;
    SetBoxTagColour(box, s_colorMenuChosenColor);
}

void SetBoxTagColour(const BoxWindowPtr& box, COLORREF colour)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !runtime->titleButton)
        return;
    const std::wstring hex = ColorToHex(colour);
    // Every hidden member of the group, also one whose records are all
    // gone: a member left in the old colour would never show again.
    std::vector<BoxWindowPtr> members = IntegratedGroupMembers(box);
    members.insert(members.begin(), box);
    for (const BoxWindowPtr& member : members) {
        BoxRuntime& r = s_boxRuntimes[member];
        r.titleButton->fill = colour;
        BoxSettingsObject(r.id)[L"clrtag"] = hex;
    }
    s_desktopContainerStore.Save();
    Repaint(box);
}

void EditBoxTitle(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    NewEdit::KelmCreateEdit(box->GetHwnd(), runtime->title.c_str());
    if (s_editResult == L"bvn!NULL")
        return;
    SetBoxTitle(box, s_editResult);
}

void SetBoxTitle(const BoxWindowPtr& box, const std::wstring& title)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    runtime->title = title;
    BoxSettingsObject(runtime->id)[L"title"] = TypedTextToStore(title);
    s_desktopContainerStore.Save();
    Repaint(box);
}

void MergeBoxGroup(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !runtime->titleButton)
        return;
    KelmIconManager& m = s_boxIconManagers[box];
    const COLORREF c = runtime->titleButton->fill;
    const std::wstring key = L"ComID_" + runtime->id;
    KelmStorageProxy object = BoxSettingsObject(runtime->id);
    const int ownX = object[L"x"].Get<int>(0);
    const int ownY = object[L"y"].Get<int>(0);
    const int ownCx = object[L"cx"].Get<int>(DefaultWidth());
    const int ownCy = object[L"cy"].Get<int>(DefaultHeight());
    KelmStorageProxy pos = object[L"IntegratedPos"];
    int x = pos[L"x"].Get<int>(ownX);
    int y = pos[L"y"].Get<int>(ownY);
    int cx = pos[L"cx"].Get<int>(ownCx);
    int cy = pos[L"cy"].Get<int>(ownCy);
    ScaleComponentRect(key, x, y, cx, cy);

    const std::vector<BoxWindowPtr> group = BoxesWithTagColour(c);
    // Each member keeps its current rectangle before it hides.
    for (const BoxWindowPtr& member : group) {
        RECT rc{};
        GetWindowRect(member->GetHwnd(), &rc);
        SendMessageW(member->GetHwnd(), WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&rc));
    }
    m.RemoveMergedRecords();
    runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    runtime->IsIntegrated = true;
    object[L"IsIntegrated"] = true;
    const int h = runtime->isMinimized ? static_cast<int>(40 * DpiScale) : cy;
    SetWindowPos(box->GetHwnd(), nullptr, x, y, cx, h, SWP_NOZORDER | SWP_NOACTIVATE);
    for (const BoxWindowPtr& member : group) {
        if (member == box)
            continue;
        ShowWindow(member->GetHwnd(), SW_HIDE);
        BoxRuntime& r = s_boxRuntimes[member];
        r.IsIntegrated = false;
        BoxSettingsObject(r.id)[L"IsIntegrated"] = false;
        // Copied first: adding to m may not disturb the member's own list.
        const std::vector<IconRecord> records = s_boxIconManagers[member].Records();
        bool first = true;
        for (const IconRecord& record : records) {
            m.AddRecordForPath(record.path, 0.0f, 0.0f, record.alias, true, first ? r.title : L"", member,
                               record.originalPath);
            first = false;
        }
    }
    s_desktopContainerStore.Save();
    Repaint(box);
}

void SplitBoxGroup(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    KelmIconManager& m = s_boxIconManagers[box];
    runtime->scrollOffset = 0;
    const std::wstring key = L"ComID_" + runtime->id;
    KelmStorageProxy object = BoxSettingsObject(runtime->id);
    KelmStorageProxy pos = object[L"IntegratedPos"];
    const int posX = pos[L"x"].Get<int>(0);
    const int posY = pos[L"y"].Get<int>(0);
    const int posCx = pos[L"cx"].Get<int>(DefaultWidth());
    const int posCy = pos[L"cy"].Get<int>(DefaultHeight());
    int x = object[L"x"].Get<int>(0);
    int y = object[L"y"].Get<int>(0);
    int cx = object[L"cx"].Get<int>(DefaultWidth());
    int cy = object[L"cy"].Get<int>(DefaultHeight());
    ScaleComponentRect(key, x, y, cx, cy);
    const int h = runtime->isMinimized ? static_cast<int>(40 * DpiScale) : cy;
    SetWindowPos(box->GetHwnd(), nullptr, x, y, cx, h, SWP_NOZORDER | SWP_NOACTIVATE);
    runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    runtime->IsIntegrated = false;
    object[L"IsIntegrated"] = false;
    SaveBoxIcons(m);
    m.RemoveMergedRecords();
    if (runtime->titleButton) {
        for (const BoxWindowPtr& member : BoxesWithTagColour(runtime->titleButton->fill)) {
            if (member == box)
                continue;
            ShowWindow(member->GetHwnd(), SW_SHOW);
            Repaint(member);
        }
    }
    pos[L"x"] = posX;
    pos[L"y"] = posY;
    pos[L"cx"] = posCx;
    if (!runtime->isMinimized)
        pos[L"cy"] = posCy;
    s_desktopContainerStore.Save();
    Repaint(box);
}

} // namespace TessikDesktopContainer
