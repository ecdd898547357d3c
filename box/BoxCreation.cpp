// Section index: ids and colour groups; the close
// message; CreateCom.
#include "box/BoxCreation.h"

#include <deque>
#include <filesystem>

#include "app/AppConfig.h"
#include "app/CommonHelpers.h"
#include "app/DisplayRestart.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "app/StoreTextFormat.h"
#include "app/UserNotice.h"
#include "box/BoxContent.h"
#include "box/BoxEmbedding.h"
#include "box/BoxHoverFold.h"
#include "box/BoxIconDrag.h"
#include "box/BoxIconOpen.h"
#include "box/IconContextMenu.h"
#include "box/BoxMotion.h"
#include "box/BoxServices.h"
#include "box/BoxShortcuts.h"
#include "box/BoxSettings.h"
#include "box/KelmGroupTag.h"
#include "box/KelmScrollBar.h"
#include "box/icons/FolderSync.h"
#include "box/icons/IconActionHooks.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIcon.h"
#include "box/BoxWindowHooks.h"
#include "box/icons/KelmIconManager.h"
#include "box/icons/ShellIconImages.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmEdit.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/controls/NewTip2.h"
#include "ui/controls/KelmOptionCtl.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DragDropState.h"
#include "ui/controls/KelmReceiver.h"
#include "ui/controls/KelmBarrier.h"
#include "box/BoxDrop.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/TextHelpers.h"

namespace TessikDesktopContainer
{

namespace
{

constexpr const wchar_t* kClassPrefix = L"Tessik.Kelm.Com.Container.Class.";
constexpr const wchar_t* kBoxTitle = L"Tessik.Com.Container";

// The framework window keeps pointers to its class name: the names live
// as long as the process (box windows are never freed either).
std::deque<std::wstring> s_boxClassNames;

void Log(const std::wstring& level, const std::wstring& text)
{
    Logger::GetInstance().Log(L"DesktopContainer", level, text);
}

bool IsLiveBox(const BoxWindowPtr& window, const BoxRuntime& runtime)
{
    return window && !runtime.IsPseudoBox() && IsWindow(window->GetHwnd());
}

// Adds the records of one box to another box's manager as foreign records
// under a header with the box's title.
void ShowRecordsIn(KelmIconManager& host, const KelmIconManager& member, const BoxWindowPtr& memberWindow,
                   const std::wstring& title)
{
    bool first = true;
    for (const IconRecord& record : member.Records()) {
        if (record.merged)
            continue;
        host.AddRecordForPath(record.path, 0.0f, 0.0f, record.alias, true, first ? title : L"", memberWindow,
                              record.originalPath);
        first = false;
    }
}

// Joins the colour group of the new box; returns whether the box is to be
// hidden because an integrated host shows its records.
bool JoinColourGroup(const BoxWindowPtr& box, BoxRuntime& runtime)
{
    const COLORREF colour = BoxTagColour(runtime);
    KelmIconManager& own = s_boxIconManagers[box];
    if (!runtime.IsIntegrated) {
        for (auto& [other, record] : s_boxRuntimes) {
            if (other == box || !IsLiveBox(other, record) || !record.IsIntegrated || !record.titleButton)
                continue;
            if (!SharesColourGroup(colour, runtime.UseTargetFolder, BoxTagColour(record), record.UseTargetFolder))
                continue;
            auto host = s_boxIconManagers.find(other);
            if (host == s_boxIconManagers.end())
                continue;
            ShowRecordsIn(host->second, own, box, runtime.title);
            return true;
        }
        return false;
    }
    own.RemoveMergedRecords();
    own.Renumber();
    for (auto& [other, record] : s_boxRuntimes) {
        if (other == box || !IsLiveBox(other, record) || !record.titleButton)
            continue;
        if (!SharesColourGroup(colour, runtime.UseTargetFolder, BoxTagColour(record), record.UseTargetFolder))
            continue;
        ShowWindow(other->GetHwnd(), SW_HIDE);
        auto member = s_boxIconManagers.find(other);
        if (member != s_boxIconManagers.end())
            ShowRecordsIn(own, member->second, other, record.title);
    }
    return false;
}

LRESULT OnBoxCloseMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_CLOSE)
        return DefWindowProcW(window, message, wParam, lParam);
    // Closing only hides: the box and its files stay.
    NewTip2::KelmCreateWindow(window, L"本操作可以隐藏单个组件。\n稍后可通过组件可见性快捷键重新显示。", L"隐藏");
    if (s_tipResult == 1 && IsWindow(window))
        ShowWindow(window, SW_HIDE);
    return 0;
}

// Makes the folder of a new normal box; a failure is told to the user, the
// box is still made (its folder can be created later).
void EnsureBoxFolder(const std::wstring& folder)
{
    try {
        EnsureDirectory(folder.c_str());
    } catch (const std::exception&) {
        NotifyUser(L"box-folder", L"无法创建收纳盒文件夹“" + folder + L"”。\n收纳盒已创建，但暂时无法存放文件。");
    }
}

// What the icon code needs of the box windows.
void InstallWindowHooks()
{
    if (!s_iconActionHooks.keyboard)
        s_iconActionHooks.keyboard = RunBoxShortcuts;
    if (!s_iconActionHooks.open)
        s_iconActionHooks.open = static_cast<void (*)(KelmIconManager&, const IconRecord&)>(OpenIcon);
    if (!s_iconActionHooks.dragStart)
        s_iconActionHooks.dragStart = BeginIconDrag;
    if (!s_iconActionHooks.hoverMove)
        s_iconActionHooks.hoverMove = UpdateIconDragState;
    if (!s_iconActionHooks.textDrop)
        s_iconActionHooks.textDrop = DropIconAtCursor;
    if (!s_iconActionHooks.contextMenu)
        s_iconActionHooks.contextMenu = ShowIconContextMenu;
    if (s_boxWindowHooks.invalidate)
        return;
    s_boxWindowHooks.invalidate = [](const BoxWindowPtr& box) { InvalidateWindow(box->GetHwnd()); };
    s_boxWindowHooks.contentWidth = [](const BoxWindowPtr& box) {
        RECT rc{};
        GetClientRect(box->GetHwnd(), &rc);
        return static_cast<int>(rc.right / DpiScale);
    };
    s_boxWindowHooks.dragInProgress = [] { return s_dragOverAccepted; };
}

void CreateComUnchecked(std::wstring id, const std::wstring& targetFolder, bool isCustomTarget, int zMode)
{
    InstallWindowHooks();
    WarmShellIconKinds();
    BoxWindowPtr box = std::make_shared<KelmWindow>();
    const bool isNew = id == L"NULL";
    std::wstring suffix;
    if (isNew) {
        id = DrawFreeBoxId(BoxIdsInUse(), [] { return RandomHexString(5); });
        suffix = id;
    } else {
        suffix = RandomHexString(5);
    }
    s_boxClassNames.push_back(kClassPrefix + suffix);
    const wchar_t* className = s_boxClassNames.back().c_str();
    BoxRuntime& runtime = s_boxRuntimes[box];
    runtime.id = id;
    const std::wstring key = L"ComID_" + id;

    if (isNew) {
        std::wstring folder = targetFolder;
        if (targetFolder != L"NULL" && !isCustomTarget) {
            folder = targetFolder + L"\\" + id;
            EnsureBoxFolder(folder);
        }
        s_desktopContainerStore[L"Components"][key][L"id"] = id;
        BoxSettings::WriteNew(*FindBoxObject(s_desktopContainerStore, id), id, zMode, DpiScale, folder, isCustomTarget);
        SaveComponentScreenBase(key);
        s_desktopContainerStore.Save();
    }

    const BoxSettings settings = BoxSettings::Read(FindBoxObject(s_desktopContainerStore, id),
                                                   FindRootObject(s_desktopContainerStore, L"TessikRef"), DpiScale);
    settings.ApplyTo(runtime);

    s_boxIconManagers.erase(box);
    KelmIconManager& manager =
        s_boxIconManagers.emplace(box, KelmIconManager(GetIconSizeForLevel(runtime.IconSizeLevel), 12, 70))
            .first->second;
    manager.SetOwnBox(box);
    KelmIconManager& search =
        s_boxSearchManagers.emplace(box, KelmIconManager(manager.GetIconSize(), 12, 100)).first->second;
    search.SetOwnBox(box);
    search.SetOverlayMode(true);
    LoadBoxIcons(manager, id);
    // The stored records show at once; the folder is listed on the refresh's
    // worker and they follow it a moment later. A folded box, which the
    // refresh does not follow, is brought in step here.
    if (runtime.UseTargetFolder && !RefreshBoxFolderSoon(box))
        SyncBoxFolder(manager, runtime.TargetFolder, true);

    RestartOnDisplayChange();

    int x = settings.x, y = settings.y, cx = settings.cx, cy = settings.cy;
    ScaleComponentRect(key, x, y, cx, cy);
    if (settings.isMinimized || settings.IsHoverMinimized) {
        const int folded = static_cast<int>(40 * DpiScale);
        if (runtime.IsUpwardExpand)
            y = y - folded + cy;
        cy = folded;
    }
    box->Set(x, y, cx, cy, className, kBoxTitle);

    runtime.captionBar = std::make_shared<KelmCaptionBar>();
    runtime.foldButton = std::make_shared<KelmFAIcon>();
    runtime.moreButton = std::make_shared<KelmFAIcon>();
    std::weak_ptr<KelmWindow> weakBox = box;
    runtime.foldButton->onHold = [weakBox] { TurnOnHoverMinimize(weakBox.lock()); };
    runtime.iconControl = std::make_shared<KelmIcon>();
    runtime.titleButton = std::make_shared<KelmButton>();
    runtime.optionControl = std::make_shared<KelmOptionCtl>();
    runtime.groupTag = std::make_shared<KelmGroupTag>();
    // A malformed tag shows the untagged grey; the stored text is kept.
    runtime.titleButton->fill = TagColourOrDefault(settings.clrtag);
    if (IsUntaggedColour(runtime.titleButton->fill) && _wcsicmp(settings.clrtag.c_str(), L"#F2F2F2") != 0)
        Log(L"WARNING", L"Box " + id + L" has an unreadable colour tag \"" + settings.clrtag + L"\".");
    // The caption bar carries the tag colour as well: the quick panel reads
    // a box's colour from it.
    runtime.captionBar->colour = runtime.titleButton->fill;
    runtime.receiver = std::make_shared<KelmReceiver>();
    runtime.searchEdit = std::make_shared<KelmEdit>();
    runtime.barrier = std::make_shared<KelmBarrier>();
    runtime.scrollBar = std::make_shared<KelmScrollBar>();
    runtime.scrollBar->SetOnScroll([weakBox](float position) {
        if (BoxRuntime* r = FindBoxRuntime(weakBox.lock()))
            r->scrollOffset = static_cast<int>(position);
    });

    const bool hideAfterCreation = JoinColourGroup(box, runtime);

    box->SetDrawCallback([weakBox](HWND window, ID2D1HwndRenderTarget* target) {
        if (BoxWindowPtr self = weakBox.lock())
            BuildBoxContent(self, window, target);
    });
    box->frameMode = 2;
    box->onSizing = [](HWND window) { OnBoxWindowPosChanged(window); };
    box->onExitSizeMove = [](HWND window) { UpdateExpandDirection(window); };
    box->onMouseMove = [weakBox] { OnBoxHoverEnter(weakBox.lock()); };
    box->onMouseLeave = [weakBox] { OnBoxHoverLeave(weakBox.lock()); };
    const int style = runtime.CompatibleLayer;
    if (runtime.IsEmbeddedLayer) {
        box->frameMode = 1;
        box->cornerRadius = 6;
    } else if (runtime.IsLocked) {
        if (style != 2) {
            box->frameMode = 1;
            box->cornerRadius = style == 3 ? 6 : 16;
        }
    } else {
        box->frameMode = style == 3 ? 1 : 2;
        if (style == 3) {
            box->cornerRadius = 6;
            box->customFrame = true;
        }
    }
    if (runtime.UseTargetFolder)
        box->dropEffect = DROPEFFECT_MOVE;
    // Asked on every step of a file drag over the window, so a folded
    // hover-minimized box opens under the drag.
    box->acceptsDrop = [weakBox] {
        BoxWindowPtr self = weakBox.lock();
        UnfoldBoxUnderDrag(self);
        return BoxAcceptsDrop(self);
    };
    box->onDropRefused = [weakBox] { TellBoxDropRefused(weakBox.lock()); };
    box->onCreated = [id, weakBox, hideAfterCreation] { FinishBoxWindow(id, weakBox.lock(), hideAfterCreation); };
    box->SetMessageHandler(OnBoxCloseMessage);
    box->minWidth = 200;
    box->minHeight = 40;
    // A box made from the component library appears drawn, not black while
    // its first paint waits behind the library's own work. One made while
    // start-up cannot draw stands in its plain face meanwhile, where the
    // pointer finds it: a drop on it then is taken, not lost to whatever
    // lies beneath.
    box->firstFrameBeforeArea = true;
    box->heldFace = BoxFaceColour();
    if ((style == 2 || style == 3) && !box->GetHwnd())
        box->useComposition = true;

    if (box->Create() != 1) {
        Log(L"ERROR", L"The window of box " + id + L" could not be created.");
        return;
    }
    Log(L"INFO", L"Box " + id + L" created.");
}

} // namespace

std::wstring DrawFreeBoxId(const std::set<std::wstring>& used, const std::function<std::wstring()>& draw)
{
    // 16^5 ids: a free one turns up at once unless nearly all are taken;
    // the bound only keeps a broken generator from spinning for ever.
    std::wstring id = draw();
    for (int attempt = 0; attempt < 100000 && used.count(id); ++attempt)
        id = draw();
    return id;
}

std::set<std::wstring> BoxIdsInUse()
{
    std::set<std::wstring> ids;
    if (KelmStorageNestedObject* components = FindRootObject(s_desktopContainerStore, L"Components")) {
        for (auto it = components->members.begin(); it != components->members.end(); ++it) {
            if (it->first.rfind(L"ComID_", 0) == 0)
                ids.insert(it->first.substr(6));
        }
    }
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (!runtime.id.empty())
            ids.insert(runtime.id);
    }
    return ids;
}

bool SharesColourGroup(COLORREF colour, bool useTargetFolder, COLORREF otherColour, bool otherUseTargetFolder)
{
    return !IsUntaggedColour(colour) && colour == otherColour && useTargetFolder == otherUseTargetFolder;
}

COLORREF BoxTagColour(const BoxRuntime& runtime)
{
    return runtime.titleButton ? runtime.titleButton->fill : RGB(0xF2, 0xF2, 0xF2);
}

void CreateCom(std::wstring id, std::wstring targetFolder, bool isCustomTarget, int zMode)
{
    // One broken box must not stop the others from opening.
    try {
        CreateComUnchecked(std::move(id), targetFolder, isCustomTarget, zMode);
    } catch (const std::exception& error) {
        Log(L"ERROR", L"A box could not be created: " + Utf8ToWide(error.what()));
    } catch (...) {
        Log(L"ERROR", L"A box could not be created.");
    }
}

} // namespace TessikDesktopContainer
