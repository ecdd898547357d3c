#include "sidewindows/quickpanel/QuickPanelNewComponent.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "app/AppConfig.h"
#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "box/BoxServices.h"
#include "sidewindows/quickpanel/QuickPanelContentModel.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "ui/controls/KelmFolderSelectWin.h"
#include "ui/controls/KelmMenu.h"
#include "ui/core/KelmOption.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/TextHelpers.h"

namespace TessikQuickPanel
{

namespace
{

constexpr int kNormalZ = 1;

HWND PanelHwnd()
{
    return s_quickPanelWindow ? s_quickPanelWindow->GetHwnd() : nullptr;
}

std::wstring ContainerDir()
{
    return NormalizeStoredPath(s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L""));
}

void AfterCreation()
{
    BuildQuickPanelList();
    if (IsWindow(PanelHwnd()))
        InvalidateRect(PanelHwnd(), nullptr, FALSE);
}

void CreateMappingBox()
{
    TessikDesktopContainer::CreateCom(L"NULL", L"NULL", false, kNormalZ);
    AfterCreation();
}

void CreateNormalBox()
{
    TessikDesktopContainer::CreateCom(L"NULL", ContainerDir(), false, kNormalZ);
    AfterCreation();
}

void CreateTargetBox()
{
    KelmFolderSelectWin::KelmCreateWindow(PanelHwnd(), L"", L"");
    if (s_folderResult == L"bvn!NULL")
        return;
    std::error_code error;
    if (!std::filesystem::is_directory(s_folderResult, error))
        return;
    // Trailing backslashes go, but a root keeps its own: "D:" alone would
    // mean the current folder of drive D.
    const std::wstring folder = NormalizeStoredPath(s_folderResult);
    TessikDesktopContainer::CreateCom(L"NULL", folder, true, kNormalZ);
    AfterCreation();
}

} // namespace

std::wstring HiddenBoxFolder(const std::wstring& containerDir, const std::wstring& id)
{
    std::wstring folder = NormalizeStoredPath(containerDir);
    // A root keeps its one backslash: "D:\" + "temp_..", not "D:\\temp_..".
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder + L"\\temp_" + id;
}

void ShowNewComponentChooser()
{
    std::vector<Brevin::KelmOption> options;
    options.emplace_back(L"映射收纳盒", CreateMappingBox, 1);
    options.emplace_back(L"普通收纳盒", CreateNormalBox, 1);
    options.emplace_back(L"目标收纳盒", CreateTargetBox, 1);
    POINT cursor{};
    GetCursorPos(&cursor);
    KelmMenu::Show(PanelHwnd(), cursor.x, cursor.y, options, 160, 0);
}

void CreateHiddenBox(HWND repaint)
{
    HiddenBoxRecord record;
    record.id = RandomHexString(6);
    record.title = L"隐身收纳盒";
    record.UseTargetFolder = false;
    record.TargetFolder = HiddenBoxFolder(ContainerDir(), record.id);
    record.clrtag = L"#F2F2F2";
    // A folder that cannot be made is made by the first file put in.
    EnsureDirectory(record.TargetFolder.c_str());
    s_hiddenBoxes.push_back(record);
    SaveHiddenBoxRecords();
    BuildQuickPanelList();
    SelectComponent(record.id, true);
    RefreshQuickPanelContent();
    if (IsWindow(repaint))
        InvalidateRect(repaint, nullptr, FALSE);
    if (s_separateContent && s_quickPanelContentWindow && IsWindow(s_quickPanelContentWindow->GetHwnd()))
        InvalidateRect(s_quickPanelContentWindow->GetHwnd(), nullptr, FALSE);
}

void CreateHiddenBoxFromPanel()
{
    CreateHiddenBox(PanelHwnd());
}

} // namespace TessikQuickPanel
