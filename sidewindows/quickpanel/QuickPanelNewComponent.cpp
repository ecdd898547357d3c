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
#include "ui/controls/KelmSelectionCard.h"
#include "ui/core/KelmOption.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/TextHelpers.h"
#include "ui/core/ThemeColors.h"

namespace TessikQuickPanel
{

std::shared_ptr<KelmSelectionCard> s_newComponentCard = std::make_shared<KelmSelectionCard>();

namespace
{

constexpr int kNormalZ = 1;

const wchar_t kMappingTitle[] = L"映射收纳盒";
const wchar_t kNormalTitle[] = L"普通收纳盒";
const wchar_t kTargetTitle[] = L"目标收纳盒";
const wchar_t kMappingText[] =
    L"映射收纳盒是文件的快捷方式。您可以使用映射收纳盒快速访问和整理文件，建立跨位置的快速访问。";
const wchar_t kNormalText[] = L"普通收纳盒会将文件实际移入其中。删除、重命名等操作会影响原始文件。文件将在这里统一"
                              L"管理，适合归档以及日常、学习、工作场景的文件处理。";
const wchar_t kTargetText[] = L"目标收纳盒将现有目录作为收纳盒的目标。类似普通收纳盒，所有操作会与指定的目录同步。";

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

// The card goes once its choice is made, also after a cancelled folder
// choice; it collapses on the next paint.
void CloseCard()
{
    s_newComponentCard->SetFocus(false);
}

} // namespace

bool NewComponentCardOpen()
{
    return s_newComponentCard->IsOpen();
}

void StyleNewComponentCard()
{
    // Card and rows in the panel's own colour, hover a step off it.
    const COLORREF base = ThemeBaseColor.Ref();
    const COLORREF edge = ContrastShiftColor(base, 20);
    const int colours[8] = {static_cast<int>(base),
                            static_cast<int>(edge),
                            static_cast<int>(base),
                            static_cast<int>(base),
                            static_cast<int>(edge),
                            static_cast<int>(ContrastShiftColor(base, 5)),
                            0xFB7952,
                            static_cast<int>(edge)};
    s_newComponentCard->Set(colours, [] {});
}

void ResetNewComponentCard()
{
    s_newComponentCard = std::make_shared<KelmSelectionCard>();
}

std::wstring HiddenBoxFolder(const std::wstring& containerDir, const std::wstring& id)
{
    std::wstring folder = NormalizeStoredPath(containerDir);
    // A root keeps its one backslash: "D:\" + "temp_..", not "D:\\temp_..".
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder + L"\\temp_" + id;
}

void NewComponentChooser()
{
    if (s_separateContent) {
        std::vector<Brevin::KelmOption> options;
        options.emplace_back(kMappingTitle, CreateMappingBox, 1);
        options.emplace_back(kNormalTitle, CreateNormalBox, 1);
        options.emplace_back(kTargetTitle, CreateTargetBox, 1);
        POINT cursor{};
        GetCursorPos(&cursor);
        KelmMenu::Show(PanelHwnd(), cursor.x, cursor.y, options, 160, 0);
        return;
    }
    KelmSelectionCard& card = *s_newComponentCard;
    card.ClearItems();
    card.title = L"新建组件";
    card.AddItem(Brevin::KelmOption(kMappingTitle, kMappingText, [] {
        CreateMappingBox();
        CloseCard();
    }));
    card.AddItem(Brevin::KelmOption(kNormalTitle, kNormalText, [] {
        CreateNormalBox();
        CloseCard();
    }));
    card.AddItem(Brevin::KelmOption(kTargetTitle, kTargetText, [] {
        CreateTargetBox();
        CloseCard();
    }));
    // Out of the "+" button, over the sidebar and the content.
    const int from[4] = {20, 15, 100, 30};
    const int to[4] = {20, 25, 400, 300};
    card.Open(from, to, 2.0f);
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
