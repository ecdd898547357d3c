#include "mainwindow/ComponentLibrary.h"

#include <shlobj.h>

#include <algorithm>

#include "app/AppMainWindow.h"
#include "app/CommonHelpers.h"
#include "app/HotKeySettings.h"
#include "app/KelmStorage.h"
#include "box/BoxServices.h"
#include "box/NewBoxKinds.h"
#include "box/fileops/TempFolderSweep.h"
#include "mainwindow/MainWindowDrawing.h"
#include "sidewindows/magwin/TessikMagWin.h"
#include "ui/controls/KelmBarrier.h"
#include "ui/controls/KelmSelectionCard.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmOption.h"
#include "ui/core/ThemeColors.h"

namespace
{

// Boxes made from the library sit at the normal z order.
constexpr int kNormalZ = 1;
constexpr int kCardWidth = 520;
constexpr int kCardHeight = 400;
constexpr float kCardScale = 2.0f;
constexpr COLORREF kLightText = RGB(0xF4, 0xF4, 0xF4);
constexpr COLORREF kBlue = RGB(0x52, 0x79, 0xFB);

HWND MainHwnd()
{
    return s_mainWindow ? s_mainWindow->GetHwnd() : nullptr;
}

// The selection card's nine colours in three groups: two plain groups and
// the accent group, with the card and row tones shifted off the panel.
void BuildColorTriples(int (&colours)[9])
{
    const COLORREF panel = ThemeAccent.Ref();
    const COLORREF control = ThemeShade30.Ref();
    const COLORREF triples[9] = {panel, control, kLightText, panel, control, kLightText, kBlue, control, kLightText};
    std::copy(std::begin(triples), std::end(triples), std::begin(colours));
    colours[0] = static_cast<int>(panel);
    colours[2] = static_cast<int>(ContrastShiftColor(panel, 0));
    colours[5] = static_cast<int>(ContrastShiftColor(panel, 5));
}

void OpenLibraryCard(RECT client, const LibraryRect& card)
{
    const int w = static_cast<int>(client.right / DpiScale);
    const int h = static_cast<int>(client.bottom / DpiScale);
    const LibraryRect to = LibraryCardTarget(card, w, h);
    LibrarySelectionCard()->Open(card.data(), to.data(), kCardScale);
}

void CreateMappingBox()
{
    TessikDesktopContainer::CreateCom(L"NULL", L"NULL", false, kNormalZ);
}

void CreateNormalBox()
{
    TessikDesktopContainer::CreateCom(L"NULL", TessikDesktopContainer::DefaultBoxFolder(), false, kNormalZ);
}

PWSTR KnownFolderPath(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    if (FAILED(SHGetKnownFolderPath(id, 0, nullptr, &path))) {
        CoTaskMemFree(path);
        return nullptr;
    }
    return path;
}

// The shell icon of a known folder, nothing when the system has none.
void DrawKnownFolderIcon(ID2D1HwndRenderTarget* target, REFKNOWNFOLDERID id, float x, float y)
{
    PWSTR path = KnownFolderPath(id);
    if (!path)
        return;
    DrawShellIconFixed(target, path, static_cast<int>(x), static_cast<int>(y));
    CoTaskMemFree(path);
}

} // namespace

LibraryRect LibraryCardTarget(const LibraryRect& card, int clientWidth, int clientHeight)
{
    int x = card[0];
    int y = card[1] + 20;
    if (card[0] + kCardWidth > clientWidth)
        x = clientWidth - kCardWidth - 20;
    if (card[1] + kCardHeight + 20 > clientHeight)
        y = clientHeight - kCardHeight - 20;
    return {std::max(x, 0), std::max(y, 0), kCardWidth, kCardHeight};
}

std::shared_ptr<KelmSelectionCard> LibrarySelectionCard()
{
    static auto card = std::make_shared<KelmSelectionCard>();
    return card;
}

void AddLibrarySelectionCard(Brevin::D2DBrevinPanel& panel, float w, float h)
{
    static auto barrier = std::make_shared<KelmBarrier>();
    const auto card = LibrarySelectionCard();
    int colours[9];
    BuildColorTriples(colours);
    card->Set(colours, [] {});
    if (card->IsOpen()) {
        barrier->Set(0, 20, static_cast<int>(w), static_cast<int>(h), [] {});
        panel.AddControl(barrier);
    }
    panel.AddControl(card);
}

void NewComponentChooser(HWND, RECT client, LibraryRect card)
{
    const auto selection = LibrarySelectionCard();
    selection->ClearItems();
    selection->title = L"新建组件";
    for (const Brevin::KelmOption& kind :
         TessikDesktopContainer::NewBoxKinds({CreateMappingBox, CreateNormalBox, CreateChosenComponent}, true))
        selection->AddItem(kind);
    OpenLibraryCard(client, card);
}

void CreateChosenComponent()
{
    const std::wstring chosen = TessikDesktopContainer::ChooseExistingFolder(MainHwnd());
    if (chosen.empty())
        return;
    TessikDesktopContainer::CreateCom(L"NULL", chosen, true, kNormalZ);
}

void BuildMagWinCard(HWND, RECT client, LibraryRect card)
{
    const auto selection = LibrarySelectionCard();
    selection->ClearItems();
    selection->title = L"新建组件";
    const bool enabled = s_magnetStore[L"TessikRef"][L"enabled"].Get<bool>(false);
    Brevin::KelmOption item(L"磁力访问窗",
                            L"磁力访问窗可以自动吸附在系统的打开、保存对话框附近。轻点鼠标，您便可以将收纳盒的目录、"
                            L"文件填充到对话框中，大幅度提升访问效率。",
                            [] {});
    item.extra = 1;
    item.state = enabled ? 1 : 0;
    item.secondCallback = [](int state) { OnMagWinSwitch(state != 0); };
    selection->AddItem(item);
    OpenLibraryCard(client, card);
}

void OnMagWinSwitch(bool on)
{
    s_magnetStore[L"TessikRef"][L"enabled"] = on;
    // The switch still takes effect: only the next start may not know.
    SaveSettingsStore(s_magnetStore, L"无法保存磁力访问窗的开关，下次启动时可能恢复原来的状态。");
    TessikMagWin::SwitchMagWin(on);
}

void ShowSampleFilePage(ID2D1HwndRenderTarget* target, float x, float y, float w, float h)
{
    const COLORREF panel = ThemeAccent.Ref();
    const COLORREF control = ThemeShade30.Ref();
    DrawRoundRect(target, x + 30, y + 12, w - 60, h - 12, control, 10.0f, 0.5f);
    DrawRoundRect(target, x + 20, y + 20, w - 40, h - 20, ThemeBaseColor.Ref(), 10.0f, 0.8f, 1.0f, control, 0.0f);
    DrawKnownFolderIcon(target, FOLDERID_Music, x + 90, y + 60);
    DrawKnownFolderIcon(target, FOLDERID_Documents, x + 140, y + 60);
    // A box's title bar in miniature: a raised face with its colour chip.
    DrawButtonFace(target, x + 40, y + 28, 55, 22, ContrastShiftColor(panel, 5), 6.0f);
    DrawRoundRect(target, x + 44, y + 32, 14, 14, ContrastShiftColor(panel, 40), 4.0f, 1.0f);
    DrawShellIconFixed(target, L"C:\\Users", static_cast<int>(x + 40), static_cast<int>(y + 60));
    DrawShellIconFixed(target, L"C:\\Users", static_cast<int>(x + 40), static_cast<int>(y + 160));
    const wchar_t* types[] = {L".txt", L".docx", L".pptx"};
    for (int i = 0; i < 3; ++i)
        DrawShellIconFixed(target, types[i], static_cast<int>(x + 40 + 50 * i), static_cast<int>(y + 110));
}

void ShowMagWinSamplePage(ID2D1HwndRenderTarget* target, float x, float y, float w, float h)
{
    const COLORREF control = ThemeShade30.Ref();
    const COLORREF base = ThemeBaseColor.Ref();
    const COLORREF text = ThemeTextColor.Ref();
    // The file dialog: a window with a side pane and a file pane.
    DrawRoundRect(target, x + 20, y + 20, w - 130, h - 20, base, 10.0f, 0.9f, 1.0f, control, 0.0f);
    DrawRoundRect(target, x + 28, y + 44, 50, h - 52, control, 6.0f, 0.4f);
    DrawRoundRect(target, x + 84, y + 44, w - 242, h - 52, control, 6.0f, 0.2f);
    FillSolidRect(target, x + 28, y + 30, w - 146, 8, control, 0.5f);
    DrawShellIconFixed(target, L".txt", static_cast<int>(x + 100), static_cast<int>(y + 56));
    // The magnet window docked beside it, listing boxes.
    DrawRoundRect(target, w + x - 100, y + 20, 80, h - 20, base, 10.0f, 0.9f, 1.0f, kBlue, 0.6f);
    DrawKnownFolderIcon(target, FOLDERID_Music, w + x - 78, y + 30);
    DrawKnownFolderIcon(target, FOLDERID_Documents, w + x - 78, y + 74);
    DrawShellIconFixed(target, L"C:\\Users", static_cast<int>(w + x - 78), static_cast<int>(y + 118));
    DrawIconText(target, w + x - 112, y + 60, 40, 20, L":←:   :→:", 9, text, L"Segoe UI", 0.7f, true);
}

std::wstring StoredContainerDir(const std::wstring& chosen)
{
    const std::wstring folder = NormalizeStoredPath(chosen);
    std::wstring stored;
    stored.reserve(folder.size() * 2);
    for (wchar_t c : folder) {
        stored.push_back(c);
        if (c == L'\\')
            stored.push_back(L'\\');
    }
    return stored;
}

void ChangeContainerDir()
{
    if (RefusedToChangeBoxRootWhileFileJobRuns())
        return;
    const std::wstring chosen = TessikDesktopContainer::ChooseExistingFolder(MainHwnd());
    // A job may have started while the folder was being chosen.
    if (chosen.empty() || RefusedToChangeBoxRootWhileFileJobRuns())
        return;
    s_appStore[L"TessikRef"][L"containerDir"] = StoredContainerDir(chosen);
    SaveSettingsStore(s_appStore, L"无法保存新的收纳盒文件夹，下次启动时将恢复原来的文件夹。");
    if (IsWindow(MainHwnd()))
        InvalidateRect(MainHwnd(), nullptr, FALSE);
}
