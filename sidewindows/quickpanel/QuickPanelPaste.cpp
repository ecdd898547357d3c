#include "sidewindows/quickpanel/QuickPanelPaste.h"

#include <shellapi.h>

#include <filesystem>
#include <system_error>

#include "app/CommonHelpers.h"
#include "app/Logger.h"
#include "box/BoxRuntime.h"
#include "box/fileops/DropPlan.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/icons/FolderSync.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "sidewindows/quickpanel/QuickPanelContentModel.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "ui/controls/KelmMenu.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/KelmOption.h"
#include "ui/core/KelmWindow.h"

namespace TessikQuickPanel
{

namespace
{

struct Target {
    KelmIconManager* manager = nullptr;
    BoxWindowPtr owner;
    std::wstring folder;
    bool physical = false;
    bool twoSections = false;
};

Target FindTarget()
{
    Target target;
    BoxRuntime& panel = s_boxRuntimes[s_quickPanelWindow];
    target.twoSections = s_selectedIsHidden && !panel.searchActive;
    if (target.twoSections) {
        const bool physicalSection = s_physicalSectionActive && s_quickPanelDummy;
        target.manager = &s_boxIconManagers[physicalSection ? s_quickPanelDummy : s_quickPanelWindow];
        target.owner = physicalSection ? s_quickPanelDummy : s_quickPanelWindow;
        for (const HiddenBoxRecord& record : s_hiddenBoxes)
            if (record.id == s_selectedComponentId)
                target.folder = NormalizeStoredPath(record.TargetFolder);
        target.physical = physicalSection;
        return target;
    }
    target.manager = &s_boxIconManagers[s_quickPanelWindow];
    target.owner = s_quickPanelWindow;
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (window && runtime.id == s_selectedComponentId && !IsQuickPanelPseudoId(runtime.id)) {
            target.owner = window;
            target.folder = NormalizeStoredPath(runtime.TargetFolder);
            target.physical = runtime.UseTargetFolder;
        }
    }
    return target;
}

bool FolderExists(const std::wstring& folder)
{
    std::error_code error;
    return !folder.empty() && folder != L"bvn!NULL" && std::filesystem::is_directory(folder, error);
}

void Finish(const Target& target)
{
    if (s_boxRuntimes[s_quickPanelWindow].searchActive)
        return;
    if (!target.twoSections) {
        KelmIconManager& panel = s_boxIconManagers[s_quickPanelWindow];
        SaveBoxIcons(panel);
        if (target.owner && target.owner != s_quickPanelWindow) {
            KelmIconManager& own = s_boxIconManagers[target.owner];
            const std::vector<IconRecord> records = panel.Records();
            own.RemoveAllRecords();
            for (const IconRecord& record : records)
                own.AddRecordForPath(record.path, record.x, record.y, record.alias, false, record.sectionText,
                                     record.owner ? record.owner : target.owner, L"bvn!NULL");
            SaveBoxIcons(own);
            // The box on the desktop shows the new files at once.
            RepaintBoxWindows(target.owner);
        }
    } else if (!target.physical) {
        SaveHiddenBoxEntries(true);
    } else {
        // The folder is the truth of the physical section: the new files
        // take their places through the same sync as any folder box.
        KelmIconManager& phys = s_boxIconManagers[s_quickPanelDummy];
        phys.SetOverlayMode(false);
        phys.UpdateAnimations(s_quickPanelDummy);
        SyncBoxFolder(phys, target.folder, false);
        for (IconRecord& record : phys.Records())
            record.owner = s_quickPanelDummy;
    }
}

bool TwoSectionView()
{
    return s_selectedIsHidden && !s_boxRuntimes[s_quickPanelWindow].searchActive;
}

// Whether x (DIP) lies over the half that shows the physical section.
bool OverPhysicalHalf(float x, float left, float w)
{
    const bool overLeftHalf = x < left + (w - left) / 2;
    return overLeftHalf != s_mappedSectionOnLeft;
}

} // namespace

std::wstring PutItemIntoFolder(const std::wstring& source, const std::wstring& folder, bool move)
{
    const std::filesystem::path name = std::filesystem::path(source).filename();
    const std::wstring destination =
        FreePasteName(folder, name.stem().wstring(), name.extension().wstring(), PathExists);
    const TransferResult result = move ? MoveItem(source, destination, false, TransferOptions{})
                                       : CopyItem(source, destination, true, TransferOptions{});
    if (result == TransferResult::Done || result == TransferResult::Incomplete)
        return destination;
    Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"Not put into the component: " + source);
    return L"";
}

void AddItemsToComponent(const std::vector<std::wstring>& paths, bool move, float x, float y)
{
    if (s_selectedComponentId.empty() || !s_quickPanelWindow)
        return;
    const Target target = FindTarget();
    KelmIconManager& manager = *target.manager;
    std::vector<DropPlan::Point> positions;
    for (const IconRecord& record : manager.Records())
        positions.push_back({record.x, record.y});
    const DropPlan::Placement place =
        DropPlan::PlaceAmong(positions, static_cast<float>(manager.GetIconSize()), DropPlan::Point{x, y});
    BoxWindowPtr owner = target.owner;
    if (place.nearest >= 0 && manager.Records()[place.nearest].owner)
        owner = manager.Records()[place.nearest].owner;
    const bool intoFolder = target.physical && FolderExists(target.folder);
    int index = place.insertIndex;
    for (std::wstring path : paths) {
        if (intoFolder) {
            path = PutItemIntoFolder(path, target.folder, move);
            if (path.empty())
                continue;
        }
        for (wchar_t& c : path)
            if (c == L'/')
                c = L'\\';
        const size_t before = manager.Records().size();
        manager.AddRecordForEntry(index, path, x, y, L"bvn!NULL", false, L"", owner, false, L"bvn!NULL");
        if (manager.Records().size() > before)
            ++index;
    }
    Finish(target);
}

void PasteFilesToComponent(HWND window, float left, float w)
{
    if (!OpenClipboard(window))
        return;
    std::vector<std::wstring> paths;
    if (HANDLE data = GetClipboardData(CF_HDROP)) {
        HDROP drop = static_cast<HDROP>(data);
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            wchar_t path[MAX_PATH] = {};
            if (DragQueryFileW(drop, i, path, MAX_PATH))
                paths.emplace_back(path);
        }
    }
    CloseClipboard();
    if (paths.empty())
        return;
    const POINT cursor = CursorInDips(window);
    float x = static_cast<float>(cursor.x);
    // The menu may have been opened over the other half: the items still
    // go to the section it made active, near its left edge.
    if (TwoSectionView() && OverPhysicalHalf(x, left, w) != s_physicalSectionActive) {
        const float half = (w - left) / 2;
        const bool activeOnLeft = s_physicalSectionActive != s_mappedSectionOnLeft;
        x = (activeOnLeft ? left : left + half) + 50;
    }
    AddItemsToComponent(paths, false, x, static_cast<float>(cursor.y));
    if (IsWindow(window))
        InvalidateRect(window, nullptr, FALSE);
}

void OnQuickPanelFilesDropped(HWND window, float left, float w, const std::vector<std::wstring>& paths)
{
    const POINT cursor = CursorInDips(window);
    if (TwoSectionView())
        s_physicalSectionActive = OverPhysicalHalf(static_cast<float>(cursor.x), left, w);
    const bool copy = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    AddItemsToComponent(paths, !copy, static_cast<float>(cursor.x), static_cast<float>(cursor.y));
    // The drag is over: nothing may paint its feedback any more.
    s_droppedFiles.clear();
    if (IsWindow(window))
        InvalidateRect(window, nullptr, FALSE);
}

void ShowQuickPanelContentMenu(HWND window, float left, float w)
{
    if (TwoSectionView())
        s_physicalSectionActive = OverPhysicalHalf(static_cast<float>(CursorInDips(window).x), left, w);
    std::wstring folder;
    bool folderRows = false;
    if (s_selectedIsHidden) {
        for (const HiddenBoxRecord& record : s_hiddenBoxes)
            if (record.id == s_selectedComponentId)
                folder = NormalizeStoredPath(record.TargetFolder);
        folderRows = true;
    } else {
        for (const auto& [box, runtime] : s_boxRuntimes)
            if (box && runtime.id == s_selectedComponentId && !IsQuickPanelPseudoId(runtime.id))
                folderRows = runtime.UseTargetFolder;
        folder = s_boxRuntimes[s_quickPanelWindow].TargetFolder;
    }
    std::vector<Brevin::KelmOption> rows;
    rows.emplace_back(
        L":\uF0EA:      粘贴", [window, left, w] { PasteFilesToComponent(window, left, w); },
        IsClipboardFormatAvailable(CF_HDROP) ? 1 : 0);
    if (folderRows && !folder.empty()) {
        rows.emplace_back(
            L":\uF07C:      打开目录",
            [folder] { ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL); }, 1);
        rows.emplace_back(
            L":\uF120:      命令行",
            [folder] { ShellExecuteW(nullptr, L"open", L"powershell.exe", nullptr, folder.c_str(), SW_SHOWNORMAL); },
            1);
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    KelmMenu::Show(window, cursor.x, cursor.y, rows, 160, 0);
}

} // namespace TessikQuickPanel
