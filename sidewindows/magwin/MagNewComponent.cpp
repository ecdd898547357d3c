#include "sidewindows/magwin/MagNewComponent.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "box/BoxServices.h"
#include "sidewindows/magwin/MagWinState.h"
#include "sidewindows/magwin/TessikMagWin.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelNewComponent.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "ui/controls/KelmFolderSelectWin.h"
#include "ui/controls/KelmSelectionCard.h"
#include "ui/core/KelmOption.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/TextHelpers.h"

namespace TessikMagWin
{

namespace
{

// Boxes made beside a file dialog stay at the bottom.
constexpr int kBottomZ = 0;

std::weak_ptr<KelmSelectionCard> s_openCard;

// The store keeps the folder with doubled backslashes: the form to open.
std::wstring ContainerDir()
{
    return NormalizeStoredPath(s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L""));
}

void CloseCard()
{
    if (auto card = s_openCard.lock())
        card->SetFocus(false);
}

void AfterCreation()
{
    RefreshContent();
    CloseCard();
    RepaintMagWindow();
}

void CreateMappingBox()
{
    TessikDesktopContainer::CreateCom(L"NULL", L"NULL", false, kBottomZ);
    AfterCreation();
}

void CreateNormalBox()
{
    TessikDesktopContainer::CreateCom(L"NULL", ContainerDir(), false, kBottomZ);
    AfterCreation();
}

void CreateTargetBox()
{
    KelmFolderSelectWin::KelmCreateWindow(MagHwnd(), L"", L"");
    if (s_folderResult == L"bvn!NULL")
        return;
    std::error_code error;
    if (!std::filesystem::is_directory(s_folderResult, error))
        return;
    // A root keeps its backslash: "D:" alone would mean drive D's current
    // folder.
    TessikDesktopContainer::CreateCom(L"NULL", NormalizeStoredPath(s_folderResult), true, kBottomZ);
    AfterCreation();
}

} // namespace

void NewComponentChooser(HWND window, const RECT& client, const std::shared_ptr<KelmSelectionCard>& card)
{
    if (!card || !window)
        return;
    s_openCard = card;
    card->ClearItems();
    card->title = L"新建组件";
    card->AddItem(Brevin::KelmOption(
        L"映射收纳盒", L"映射收纳盒是文件的快捷方式。您可以使用映射收纳盒快速访问和整理文件，建立跨位置的快速访问。",
        CreateMappingBox));
    card->AddItem(
        Brevin::KelmOption(L"普通收纳盒",
                           L"普通收纳盒会将文件实际移入其中。删除、重命名等操作会影响原始文件。文件将在这里统一管"
                           L"理，适合归档以及日常、学习、工作场景的文件处理。",
                           CreateNormalBox));
    card->AddItem(Brevin::KelmOption(
        L"目标收纳盒", L"目标收纳盒将现有目录作为收纳盒的目标。类似普通收纳盒，所有操作会与指定的目录同步。",
        CreateTargetBox));
    const int w = static_cast<int>(client.right / Scale());
    const int h = static_cast<int>(client.bottom / Scale());
    const int from[4] = {w - 105, 0, 100, 20};
    const int to[4] = {0, 30, w, h};
    card->Open(from, to, 1.75f);
}

void CreateHiddenBox()
{
    const std::wstring id = RandomHexString(6);
    const std::wstring folder = TessikQuickPanel::HiddenBoxFolder(ContainerDir(), id);
    try {
        EnsureDirectory(folder.c_str());
    } catch (const std::exception&) {
        // The first file put into the box makes its folder.
    }
    KelmStorageProxy record = s_quickPanelStore[L"TempList"][id];
    record[L"title"] = L"隐身收纳盒";
    record[L"UseTargetFolder"] = false;
    record[L"TargetFolder"] = folder;
    record[L"clrtag"] = L"#F2F2F2";
    TessikQuickPanel::SaveStore(s_quickPanelStore, L"Hidden box");
    RefreshContent();
    if (TessikQuickPanel::IsQuickPanelOpen()) {
        TessikQuickPanel::BuildQuickPanelList();
        InvalidateRect(TessikQuickPanel::s_quickPanelWindow->GetHwnd(), nullptr, FALSE);
    }
    RepaintMagWindow();
}

} // namespace TessikMagWin
