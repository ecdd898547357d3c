#include "sidewindows/quickpanel/QuickPanelRowActions.h"

#include <functional>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/BoxInUse.h"
#include "box/BoxRuntime.h"
#include "box/fileops/PlanLooks.h"
#include "box/icons/KelmIconManager.h"
#include "sidewindows/quickpanel/QPListItem.h"
#include "sidewindows/quickpanel/QuickPanelContent.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelPhysListing.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmColorPattle.h"
#include "ui/controls/NewEdit.h"
#include "ui/controls/NewPopupSelection.h"
#include "ui/controls/NewTip2.h"
#include "ui/controls/PalettePopup.h"
#include "ui/core/KelmWindow.h"

namespace TessikQuickPanel
{

namespace
{

HWND PanelHwnd()
{
    return s_quickPanelWindow ? s_quickPanelWindow->GetHwnd() : nullptr;
}

void InvalidatePanel()
{
    if (IsWindow(PanelHwnd()))
        InvalidateRect(PanelHwnd(), nullptr, FALSE);
    if (s_separateContent && s_quickPanelContentWindow && IsWindow(s_quickPanelContentWindow->GetHwnd()))
        InvalidateRect(s_quickPanelContentWindow->GetHwnd(), nullptr, FALSE);
}

std::shared_ptr<KelmWindow> FindDesktopBox(const std::wstring& id)
{
    for (const auto& [window, runtime] : s_boxRuntimes)
        if (runtime.id == id && !IsQuickPanelPseudoId(id))
            return window;
    return nullptr;
}

HiddenBoxRecord* FindHidden(const std::wstring& id)
{
    for (HiddenBoxRecord& record : s_hiddenBoxes)
        if (record.id == id)
            return &record;
    return nullptr;
}

void Tell(const std::wstring& text)
{
    NotifyUser(L"quick-panel-delete", text);
    if (IsWindow(PanelHwnd()))
        ShowPendingNotices(PanelHwnd());
}

void Rebuild()
{
    BuildQuickPanelList();
    InvalidatePanel();
}

// What became of a deleted component's folder.
enum class Disposal { Done, Kept, OnItsWay };

// A desktop box's folder job: on its way, or kept with the user told why.
Disposal StartedOrKept(bool started)
{
    if (started)
        return Disposal::OnItsWay;
    if (IsWindow(PanelHwnd()))
        ShowPendingNotices(PanelHwnd());
    return Disposal::Kept;
}

// Only a real, existing directory that is the box's own is ever recycled
// or removed: an empty or vanished path must not turn into the program's
// own folder, and a drive root or a folder of the user's never goes,
// whatever the store says. Kept (the user told) when the folder stays. A
// folder recycled or deleted goes off the UI thread (a desktop box's on
// the file worker, a hidden box's on a thread of its own, the box held by
// its id meanwhile): OnItsWay, and gone runs on the UI thread once it has
// left its place.
Disposal DisposeFolder(const std::shared_ptr<KelmWindow>& box, const std::wstring& hiddenId, const std::wstring& stored,
                       FolderChoice choice, std::function<void()> gone)
{
    if (choice == FolderChoice::Keep) {
        // A hidden box's folder is always the program's; a desktop box's
        // unless it shows a folder the user chose.
        const BoxRuntime* runtime = box ? FindBoxRuntime(box) : nullptr;
        if (!box || (runtime && !runtime->IsCustomTarget)) {
            TellFilesStayInBoxFolder(box, stored, hiddenId);
            if (IsWindow(PanelHwnd()))
                ShowPendingNotices(PanelHwnd());
        }
        return Disposal::Done;
    }
    if (stored.empty() || stored == L"bvn!NULL")
        return Disposal::Done;
    std::wstring folder = NormalizeStoredPath(stored);
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    // A folder out of reach (a drive pulled out, a share away) is not one
    // already gone: its files would wait there with no box.
    const DWORD attributes = GetFileAttributesW(LongPathForm(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Tell(BoxFolderUnreachableText(folder, L"组件"));
        return Disposal::Kept;
    }
    if (!MayRemoveBoxFolder(box, folder, hiddenId)) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"Refused to remove a protected folder: " + folder);
        Tell(ProtectedFolderKeptText(folder, L"组件"));
        return Disposal::Kept;
    }
    if (choice == FolderChoice::Remove) {
        auto removed = [folder, gone = std::move(gone)](const FolderRemoved& result) {
            if (result.removed) {
                gone();
                return;
            }
            Tell(FolderRemovedText(folder, result, L"组件"));
            Rebuild();
        };
        if (box)
            return StartedOrKept(DeleteBoxFolderPermanently(box, folder, std::move(removed)));
        RunOffUiThread([hold = BoxInUse::HoldId(hiddenId), full = FullPathOf(folder),
                        removed = std::move(removed)]() -> std::function<void()> {
            const FolderRemoved result = RemoveFolderNow(full);
            // The hold ends once the result has landed.
            return [hold, result, removed] { removed(result); };
        });
        return Disposal::OnItsWay;
    }
    auto ended = [folder, gone = std::move(gone)](const FolderRecycled& result) {
        if (result.left) {
            gone();
            return;
        }
        if (const std::wstring why = FolderStayedText(folder, result, L"组件"); !why.empty())
            Tell(why);
        // A No to the shell's question is the user's own answer.
        else if (result.outcome != RecycleOutcome::Declined)
            Tell(L"无法将文件夹移动到回收站，组件已保留：\n" + folder);
        Rebuild();
    };
    if (box)
        return StartedOrKept(RecycleBoxFolder(box, folder, std::move(ended)));
    RunOffUiThread([hold = BoxInUse::HoldId(hiddenId), full = FullPathOf(folder), owner = PanelHwnd(),
                    ended = std::move(ended)]() -> std::function<void()> {
        FolderRecycled result;
        try {
            result = RecycleFolderNow(full, owner);
        } catch (...) {
            result.left = !PathExists(full);
        }
        // The hold ends once the result has landed.
        return [hold, result, ended] { ended(result); };
    });
    return Disposal::OnItsWay;
}

void RestartHoverRepaints()
{
    HoverAnimationCount = 0;
    if (s_quickPanelWindow && IsWindow(s_quickPanelWindow->GetHwnd())) {
        s_quickPanelWindow->StopHoverRepaintTimer();
        s_quickPanelWindow->StartHoverRepaintTimer();
    }
}

void EraseMember(KelmStorage& store, const wchar_t* root, const std::wstring& key)
{
    try {
        store.GetRootObject(root).members.erase(key);
    } catch (const std::exception&) {
        // No such root: nothing to remove.
    }
}

} // namespace

void ApplyComponentTitle(const std::wstring& id, bool hidden, const std::wstring& title)
{
    if (hidden) {
        if (HiddenBoxRecord* record = FindHidden(id)) {
            record->title = title;
            SaveHiddenBoxRecords();
        }
    } else if (auto box = FindDesktopBox(id)) {
        s_boxRuntimes[box].title = title;
        s_desktopContainerStore[L"Components"][L"ComID_" + id][L"title"] = TypedTextToStore(title);
        SaveStore(s_desktopContainerStore, L"Component title");
        if (IsWindow(box->GetHwnd()))
            InvalidateRect(box->GetHwnd(), nullptr, FALSE);
    }
    Rebuild();
}

void ApplyComponentColour(const std::wstring& id, bool hidden, COLORREF colour)
{
    if (hidden) {
        if (HiddenBoxRecord* record = FindHidden(id)) {
            record->clrtag = ColorToHex(colour);
            SaveHiddenBoxRecords();
        }
    } else if (auto box = FindDesktopBox(id)) {
        BoxRuntime& runtime = s_boxRuntimes[box];
        if (runtime.captionBar)
            runtime.captionBar->colour = colour;
        if (runtime.titleButton)
            runtime.titleButton->fill = colour;
        s_desktopContainerStore[L"Components"][L"ComID_" + id][L"clrtag"] = ColorToHex(colour);
        SaveStore(s_desktopContainerStore, L"Component colour");
        if (IsWindow(box->GetHwnd()))
            InvalidateRect(box->GetHwnd(), nullptr, FALSE);
    }
    Rebuild();
}

namespace
{

// The desktop box of the component leaves by its own road: its undo
// records leave with what they kept, its records leave every view, the
// windows that list boxes forget it.
void ForgetDesktopComponent(const std::wstring& id)
{
    if (auto box = FindDesktopBox(id))
        DeleteBox(box);
    if (IsWindow(PanelHwnd()))
        ShowPendingNotices(PanelHwnd());
    if (s_selectedComponentId == id)
        SelectComponent(L"", false);
    BuildQuickPanelList();
    SaveQuickPanelListOrder();
    InvalidatePanel();
}

void ForgetHiddenComponent(const std::wstring& id)
{
    EraseMember(s_quickPanelStore, L"TempList", id);
    EraseMember(s_quickPanelStore, L"TempIcons", id);
    EraseMember(s_quickPanelStore, L"TempPhysIcons", id);
    SaveStore(s_quickPanelStore, L"Hidden box removal");
    std::erase_if(s_hiddenBoxes, [&](const HiddenBoxRecord& r) { return r.id == id; });
    SaveHiddenBoxRecords();
    BuildQuickPanelList();
    SaveQuickPanelListOrder();
    InvalidatePanel();
}

// The component goes once its folder is dealt with: at once, or once the
// folder has left for the Recycle Bin. False when the folder, and so the
// component, stays.
bool DisposeThenForget(const std::shared_ptr<KelmWindow>& box, const std::wstring& hiddenId, const std::wstring& stored,
                       FolderChoice choice, const std::function<void()>& forget)
{
    switch (DisposeFolder(box, hiddenId, stored, choice, forget)) {
    case Disposal::Kept:
        Rebuild();
        return false;
    case Disposal::OnItsWay:
        return true;
    case Disposal::Done:
        break;
    }
    forget();
    return true;
}

} // namespace

bool RemoveDesktopComponent(const std::wstring& id, FolderChoice choice)
{
    auto box = FindDesktopBox(id);
    if (!box) {
        BuildQuickPanelList();
        return true;
    }
    // A job still working for the box would land its files in a folder no
    // box shows: the box stays, as when its own menu deletes it.
    if (BoxDeletionRefusedWhileBusy(box)) {
        if (IsWindow(PanelHwnd()))
            ShowPendingNotices(PanelHwnd());
        Rebuild();
        return false;
    }
    if (s_boxRuntimes[box].IsIntegrated)
        ReleaseComponentIntegration(box);
    const std::wstring folder = s_boxRuntimes[box].UseTargetFolder ? s_boxRuntimes[box].TargetFolder : L"";
    return DisposeThenForget(box, L"", folder, choice, [id] { ForgetDesktopComponent(id); });
}

bool RemoveHiddenComponent(const std::wstring& id, FolderChoice choice)
{
    // A drop or paste still working for the box would land its files in a
    // folder no box shows: the box stays, as a desktop box does.
    if (BoxInUse::Held(id)) {
        NotifyUser(L"box-delete-busy",
                   L"这个收纳盒的文件操作（复制、移动或删除）正在进行，收纳盒没有删除，文件也没有改动。\n"
                   L"请在当前操作完成后重试。");
        if (IsWindow(PanelHwnd()))
            ShowPendingNotices(PanelHwnd());
        Rebuild();
        return false;
    }
    const HiddenBoxRecord* record = FindHidden(id);
    const std::wstring folder = record ? record->TargetFolder : L"";
    if (s_selectedComponentId == id) {
        SelectComponent(L"", false);
        RefreshQuickPanelContent();
    }
    // A listing of the physical section would hold the folder in place.
    LetGoOfPhysicalFolder();
    return DisposeThenForget(nullptr, id, folder, choice, [id] { ForgetHiddenComponent(id); });
}

void RenameComponent(std::shared_ptr<QPListItem> row)
{
    if (!row)
        return;
    NewEdit::KelmCreateEdit(PanelHwnd(), row->title.c_str());
    if (s_editResult == L"bvn!NULL")
        return;
    ApplyComponentTitle(row->id, row->hidden, s_editResult);
}

void SetComponentColorTag(std::shared_ptr<QPListItem> row)
{
    if (!row)
        return;
    // The preset rows are shared with the other colour popups: theirs come
    // back once this one has closed.
    const std::vector<PaletteColorEntry> savedPresets = s_paletteExtraColors;
    s_paletteExtraColors = {{HexToColor(L"#454545"), L""}, {HexToColor(L"#F2F2F2"), L"默认"}};
    KelmColorPattle::KelmCreateWindow(PanelHwnd(), false, 0, 0, 0, row->colour);
    s_paletteExtraColors = savedPresets;
    // White is what the palette holds before any colour was chosen.
    if (s_paletteDismissed || s_paletteChosenColor == RGB(0xFF, 0xFF, 0xFF))
        return;
    ApplyComponentColour(row->id, row->hidden, s_paletteChosenColor);
}

void DeleteComponent(std::shared_ptr<QPListItem> row)
{
    if (!row)
        return;
    const std::wstring id = row->id;
    bool folderPopup = row->hidden;
    if (!row->hidden) {
        auto box = FindDesktopBox(id);
        if (!box) {
            BuildQuickPanelList();
            return;
        }
        if (BoxDeletionRefusedWhileBusy(box)) {
            if (IsWindow(PanelHwnd()))
                ShowPendingNotices(PanelHwnd());
            return;
        }
        folderPopup = s_boxRuntimes[box].UseTargetFolder;
    }
    if (!folderPopup) {
        NewTip2::KelmCreateWindow(PanelHwnd(), L"确定要删除组件嘛？（此操作不可撤销）＞︿＜", L"删除");
        if (s_tipResult == 1)
            RemoveDesktopComponent(id, FolderChoice::Keep);
        return;
    }
    FolderChoice choice = FolderChoice::Keep;
    std::vector<Brevin::KelmOption> options;
    options.emplace_back(
        L"移动文件到回收站", [&choice] { choice = FolderChoice::Recycle; }, 1);
    options.emplace_back(
        L"仅删除组件", [&choice] { choice = FolderChoice::Keep; }, 1);
    options.emplace_back(
        L"彻底删除文件", [&choice] { choice = FolderChoice::Remove; }, 1);
    const bool confirmed = s_deleteComponentChoice(PanelHwnd(), std::move(options));
    if (!row->hidden) {
        if (confirmed)
            RemoveDesktopComponent(id, choice);
        return;
    }
    const bool wasSelected = s_selectedComponentId == id;
    if (confirmed)
        RemoveHiddenComponent(id, choice);
    // The popup took the pointer while a row's hover may have been running:
    // its count would keep the panel repainting at frame rate.
    if (!confirmed || choice != FolderChoice::Keep || wasSelected)
        RestartHoverRepaints();
}

std::function<bool(HWND, std::vector<Brevin::KelmOption>)> s_deleteComponentChoice =
    [](HWND owner, std::vector<Brevin::KelmOption> options) {
        s_selectionRedOk.clear();
        s_selectionRedOk[2] = 1;
        NewPopupSelection::Create(owner, L"请选择删除操作\n（此操作不可撤销）＞︿＜", L"删除", std::move(options), L"",
                                  L"取消");
        return s_selectionOk == 1;
    };

} // namespace TessikQuickPanel
