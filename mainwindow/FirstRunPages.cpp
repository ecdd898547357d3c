#include "mainwindow/FirstRunPages.h"

#include <memory>
#include <vector>

#include "app/AppConfig.h"
#include "app/AppMainWindow.h"
#include "app/AppState.h"
#include "app/KelmStorage.h"
#include "mainwindow/AboutPage.h"
#include "mainwindow/MainWindowLayout.h"
#include "mainwindow/MainWindowState.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmMenu.h"
#include "ui/controls/KelmOptionCtl.h"
#include "ui/controls/KelmText.h"
#include "ui/core/D2DBrevinPanel.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

int s_firstRunPageState = 1;
int s_firstRunPageChoice = 0;

namespace
{

constexpr COLORREF kAccent = RGB(0x52, 0x79, 0xFB);
constexpr COLORREF kLightText = RGB(0xF4, 0xF4, 0xF4);

const wchar_t kWelcome[] =
    L"🎉欢迎使用 Tessik ！\n"
    L"Tessik 用一个个收纳盒帮你把桌面上的文件收拾得井井有条。\n"
    L"您是 Tessik 项目的用户，亦是 Tessik 项目的主人。若可以的话，请积极向咱们提出您的灵感以及在使用过程中遇到的问题~";
const wchar_t kAgreement[] =
    L"在开始之前，请您充分阅读《使用协议》和《隐私政策》。为了保护您的相关权利，您还可以了解《知情权》。";
const wchar_t kDataQuestion[] =
    L"请选择 Tessik 存储用户数据的位置。\n您可以稍后在设置中查看用户数据或清除(或重新选择)。";
const wchar_t kAppDataText[] =
    L"数据将存放在与用户关联的 AppData 文件夹中，对数据互通更友好，适合一般使用场景。若需要便携式使用体验，请选择\"当前"
    L"目录\"。所有写入的数据均可在设置中被清除。";
const wchar_t kProgramFolderText[] = L"数据保存在程序所在目录的 .tessik_config "
                                     L"文件夹中，适合便携式的使用场景。您还可以在创建组件前在设置中自行指定收纳盒"
                                     L"文件的存放位置。";

void Repaint()
{
    if (HWND main = s_mainWindow->GetHwnd())
        InvalidateRect(main, nullptr, FALSE);
}

void ShowDataLocationMenu(HWND window, const MainWindowLayout::Rect& card)
{
    POINT at{static_cast<LONG>((card.x + 20) * DpiScale), static_cast<LONG>((card.y + 185) * DpiScale)};
    ClientToScreen(window, &at);
    const std::vector<Brevin::KelmOption> options{
        {L"AppData", [] { ChooseDataLocation(0); }, 1},
        {L"当前目录", [] { ChooseDataLocation(1); }, 1},
    };
    KelmMenu::Show(window, at.x, at.y, options, static_cast<int>(card.w - 40), 0);
}

void DrawMainButton(Brevin::D2DBrevinPanel& panel, std::shared_ptr<KelmButton>& button, const MainWindowLayout::Rect& c,
                    const wchar_t* label, void (*action)())
{
    if (!button)
        button = std::make_shared<KelmButton>();
    button->Set(static_cast<int>(c.x + c.w - 100), static_cast<int>(c.y + c.h - 60), 80, 40, label, action, kAccent, 12,
                kLightText);
    panel.AddControl(button);
}

void DrawWelcomePage(ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, const MainWindowLayout::Rect& c)
{
    static std::shared_ptr<KelmButton> next;
    const COLORREF text = ThemeTextColor.Ref();
    DrawTextSemibold(target, c.x + 20, c.y + 20, c.w - 30, 30, L"感谢你来到 Tessik ！(●'◡'●)", 24, text, L"Segoe UI",
                     1.0f, false);
    DrawIconText(target, c.x + 20, c.y + 80, c.w - 30, 30, kWelcome, 16, text, L"Segoe UI", 1.0f, false);
    DrawMainButton(panel, next, c, L"继续", NextFirstRunPage);
}

void DrawAgreementPage(ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, const MainWindowLayout::Rect& c)
{
    static std::shared_ptr<KelmButton> accept, refuse;
    static std::shared_ptr<KelmText> links[3];
    const COLORREF text = ThemeTextColor.Ref();
    DrawTextSemibold(target, c.x + 20, c.y + 20, c.w - 30, 30, L"等等！还有一步！(oﾟvﾟ)ノ", 24, text, L"Segoe UI", 1.0f,
                     false);
    DrawTextInRect(target, c.x + 20, c.y + 80, c.w - 30, 40, kAgreement, 16, text, L"Segoe UI", 1.0f, false);
    AddAgreementLinks(panel, links, static_cast<int>(c.x) + 20, static_cast<int>(c.y + 130));
    DrawMainButton(panel, accept, c, L"同意并继续", AcceptAgreement);
    if (!refuse)
        refuse = std::make_shared<KelmButton>();
    refuse->Set(static_cast<int>(c.x + c.w - 200), static_cast<int>(c.y + c.h - 60), 80, 40, L"不同意并退出",
                RefuseAgreementAndQuit, ThemeShade30.Ref(), 12, text);
    panel.AddControl(refuse);
}

void DrawDataPage(HWND window, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel,
                  const MainWindowLayout::Rect& c)
{
    static std::shared_ptr<KelmButton> finish;
    static auto location = std::make_shared<KelmOptionCtl>();
    const COLORREF text = ThemeTextColor.Ref();
    DrawTextSemibold(target, c.x + 20, c.y + 20, c.w - 30, 30, L"您的数据选择", 24, text, L"Segoe UI", 1.0f, false);
    DrawTextInRect(target, c.x + 20, c.y + 80, c.w - 30, 40, kDataQuestion, 16, text, L"Segoe UI", 1.0f, false);
    const bool portable = s_firstRunPageChoice == 1;
    const MainWindowLayout::Rect card = c;
    location->Set(
        static_cast<int>(c.x + 20), static_cast<int>(c.y + 140), static_cast<int>(c.w - 40), 40,
        portable ? L"当前目录" : L"AppData", [window, card] { ShowDataLocationMenu(window, card); },
        ContrastShiftColor(ThemeAccent.Ref(), 10), 15.0f, KelmOptionCtl::kKindNormal, text);
    panel.AddControl(location);
    DrawIconText(target, c.x + c.w - 55, c.y + 152, 30, 30, L":\u2304:", 16, ContrastShiftColor(text, 45), L"Segoe UI",
                 1.0f, false);
    DrawIconText(target, c.x + 20, c.y + 195, c.w - 40, 60, portable ? kProgramFolderText : kAppDataText, 14, text,
                 L"Segoe UI", 1.0f, false);
    DrawMainButton(panel, finish, c, L"继续", FinishFirstRunPages);
}

} // namespace

bool IsFirstRunActive()
{
    if (s_isFirstRun)
        return true;
    return s_configLoaded && s_appStore[L"TessikRef"][L"NewComer"].Get<bool>(false);
}

void DrawFirstRunPages(HWND window, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, float w, float h)
{
    const MainWindowLayout::Rect c = MainWindowLayout::FirstRunCard(w, h);
    const COLORREF text = ThemeTextColor.Ref();
    for (int k = 8; k >= 1; --k) {
        const float fk = static_cast<float>(k);
        DrawRoundRect(target, c.x - fk, c.y - fk + 4, c.w + 2 * fk, c.h + 2 * fk, text, 12 + fk, 0.01f);
    }
    DrawRoundRect(target, c.x, c.y, c.w, c.h, ThemeBaseColor.Ref(), 12, 1.0f, 2.0f, text, 0.2f);
    switch (s_firstRunPageState) {
    case 2:
        DrawAgreementPage(target, panel, c);
        break;
    case 3:
        DrawDataPage(window, target, panel, c);
        break;
    default:
        DrawWelcomePage(target, panel, c);
        break;
    }
}

void NextFirstRunPage()
{
    ++s_firstRunPageState;
    Repaint();
}

void AcceptAgreement()
{
    s_firstRunPageState = 3;
    Repaint();
}

void RefuseAgreementAndQuit()
{
    if (HWND main = s_mainWindow->GetHwnd())
        DestroyWindow(main);
    PostQuitMessage(0);
}

void ChooseDataLocation(int choice)
{
    s_firstRunPageChoice = choice;
    Repaint();
}

void FinishFirstRunPages()
{
    // A data folder that already holds the stores only ends the
    // introduction; otherwise the chosen folder is set up and loaded.
    if (s_configLoaded)
        FinishFirstRun();
    else
        ApplyFirstRunDataChoice();
    s_mainWindowState.overlayOpen = false;
    HoverAnimationCount = 0;
    // Input goes to the controls of the last paint, and a click the user
    // made while the choice was applied comes before any paint in the
    // queue: painted now, the card's barrier no longer swallows it.
    if (HWND main = s_mainWindow->GetHwnd()) {
        InvalidateRect(main, nullptr, FALSE);
        UpdateWindow(main);
    }
}
