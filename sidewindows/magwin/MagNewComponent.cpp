#include "sidewindows/magwin/MagNewComponent.h"

#include <string>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "box/BoxServices.h"
#include "box/NewBoxKinds.h"
#include "sidewindows/magwin/MagWinState.h"
#include "sidewindows/magwin/TessikMagWin.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelNewComponent.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
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
    TessikDesktopContainer::CreateCom(L"NULL", TessikDesktopContainer::DefaultBoxFolder(), false, kBottomZ);
    AfterCreation();
}

void CreateTargetBox()
{
    const std::wstring folder = TessikDesktopContainer::ChooseExistingFolder(MagHwnd());
    // A cancelled choice leaves the card open.
    if (folder.empty())
        return;
    TessikDesktopContainer::CreateCom(L"NULL", folder, true, kBottomZ);
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
    for (const Brevin::KelmOption& kind :
         TessikDesktopContainer::NewBoxKinds({CreateMappingBox, CreateNormalBox, CreateTargetBox}, false))
        card->AddItem(kind);
    const int w = static_cast<int>(client.right / Scale());
    const int h = static_cast<int>(client.bottom / Scale());
    const int from[4] = {w - 105, 0, 100, 20};
    const int to[4] = {0, 30, w, h};
    card->Open(from, to, 1.75f);
}

void CreateHiddenBox()
{
    const std::wstring id = RandomHexString(6);
    const std::wstring folder = TessikQuickPanel::HiddenBoxFolder(TessikDesktopContainer::DefaultBoxFolder(), id);
    TessikQuickPanel::MakeHiddenBoxFolder(folder);
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
