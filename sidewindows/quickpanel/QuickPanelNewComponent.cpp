#include "sidewindows/quickpanel/QuickPanelNewComponent.h"

#include <vector>

#include "app/AppConfig.h"
#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "box/BoxServices.h"
#include "box/NewBoxKinds.h"
#include "sidewindows/quickpanel/QuickPanelContentModel.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
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

HWND PanelHwnd()
{
    return s_quickPanelWindow ? s_quickPanelWindow->GetHwnd() : nullptr;
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
    TessikDesktopContainer::CreateCom(L"NULL", TessikDesktopContainer::DefaultBoxFolder(), false, kNormalZ);
    AfterCreation();
}

void CreateTargetBox()
{
    const std::wstring folder = TessikDesktopContainer::ChooseExistingFolder(PanelHwnd());
    if (folder.empty())
        return;
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

void MakeHiddenBoxFolder(const std::wstring& folder)
{
    bool made = false;
    try {
        made = EnsureDirectory(folder.c_str());
    } catch (const std::exception&) {
    }
    // The box is made all the same: the first file put in makes its folder.
    if (!made)
        Logger::GetInstance().Log(L"DesktopContainer", L"WARNING", L"Hidden box folder not made yet: " + folder);
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
        const auto options =
            TessikDesktopContainer::NewBoxMenuEntries({CreateMappingBox, CreateNormalBox, CreateTargetBox});
        POINT cursor{};
        GetCursorPos(&cursor);
        KelmMenu::Show(PanelHwnd(), cursor.x, cursor.y, options, 160, 0);
        return;
    }
    KelmSelectionCard& card = *s_newComponentCard;
    card.ClearItems();
    card.title = L"新建组件";
    const auto closing = [](void (*create)()) {
        return [create] {
            create();
            CloseCard();
        };
    };
    for (const Brevin::KelmOption& kind : TessikDesktopContainer::NewBoxKinds(
             {closing(CreateMappingBox), closing(CreateNormalBox), closing(CreateTargetBox)}, false))
        card.AddItem(kind);
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
    record.TargetFolder = HiddenBoxFolder(TessikDesktopContainer::DefaultBoxFolder(), record.id);
    record.clrtag = L"#F2F2F2";
    MakeHiddenBoxFolder(record.TargetFolder);
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
