#include "ui/controls/NewPopupSelection.h"

#include <memory>

#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmMenu.h"
#include "ui/controls/KelmOptionCtl.h"
#include "ui/controls/PopupModalLoop.h"
#include "ui/controls/PopupPlacement.h"
#include "ui/controls/PopupWindow.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"
#include "ui/core/WindowEffects.h"

int32_t s_selectionOk = 0;
int32_t s_selectionIndex = 0;
std::map<int, int> s_selectionRedOk;
std::vector<Brevin::KelmOption> s_selectionOptions;
std::wstring s_selectionMessage;
std::wstring s_selectionHeading;

namespace NewPopupSelection
{

namespace
{

constexpr wchar_t kClassName[] = L"Kelm.concept.PopupSel.Class";
constexpr wchar_t kTitle[] = L"Kelm.Test.concept.PopupSel";
constexpr wchar_t kOkLabel[] = L"确定";
constexpr COLORREF kOkFill = 0xFB7952;
constexpr COLORREF kRedOkFill = 0x3D4DE8;
constexpr COLORREF kOkText = 0xF4F4F4;

// The card and the OK button are made at the first paint of each showing
// and released when it ends; the cancel button stays.
struct Popup {
    std::shared_ptr<KelmWindow> window = std::make_shared<KelmWindow>();
    std::shared_ptr<KelmOptionCtl> card;
    std::shared_ptr<KelmButton> ok;
    std::shared_ptr<KelmButton> cancel = std::make_shared<KelmButton>();
    std::wstring cancelLabel;
    bool open = false;
    bool closing = false;
};

Popup& ThePopup()
{
    static Popup popup;
    return popup;
}

void Confirm();

int ClientWidth(HWND hwnd)
{
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return rc.right;
}

int ClientHeight(HWND hwnd)
{
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return rc.bottom;
}

void SetOkButton(HWND hwnd)
{
    Popup& popup = ThePopup();
    if (!popup.ok)
        return;
    const int W = static_cast<int>(ClientWidth(hwnd) / DpiScale), H = static_cast<int>(ClientHeight(hwnd) / DpiScale);
    popup.ok->Set(W - 100, H - 60, 80, 40, kOkLabel, &Confirm, OkFill(s_selectionIndex), 13, kOkText);
}

const wchar_t* CurrentText()
{
    if (s_selectionIndex < 0 || s_selectionIndex >= static_cast<int>(s_selectionOptions.size()))
        return L"";
    return s_selectionOptions[static_cast<size_t>(s_selectionIndex)].text.c_str();
}

void Confirm()
{
    Popup& popup = ThePopup();
    if (!popup.open || popup.closing)
        return;
    popup.closing = true;
    s_selectionOk = 1;
    if (s_selectionIndex >= 0 && s_selectionIndex < static_cast<int>(s_selectionOptions.size())) {
        // A copy: the callback may open another popup.
        auto click = s_selectionOptions[static_cast<size_t>(s_selectionIndex)].onClick;
        if (click)
            click();
    }
    const HWND hwnd = popup.window->GetHwnd();
    if (IsWindow(hwnd))
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
}

void Cancel()
{
    Popup& popup = ThePopup();
    if (!popup.open || popup.closing)
        return;
    popup.closing = true;
    s_selectionOk = 0;
    const HWND hwnd = popup.window->GetHwnd();
    AnimateWindowFadeOut(hwnd);
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
}

// A row of the option list was chosen: the card shows it and OK follows
// its colour rule.
void ChooseFromList(int index)
{
    Popup& popup = ThePopup();
    if (!popup.open || popup.closing || index < 0 || index >= static_cast<int>(s_selectionOptions.size()))
        return;
    const HWND hwnd = popup.window->GetHwnd();
    s_selectionIndex = index;
    if (popup.card)
        popup.card->SetText(CurrentText(), 0);
    SetOkButton(hwnd);
    InvalidateRect(hwnd, nullptr, FALSE);
}

// The list of all options, opened under the card as wide as the card.
void OpenOptionList()
{
    Popup& popup = ThePopup();
    if (!popup.open || popup.closing)
        return;
    const HWND hwnd = popup.window->GetHwnd();
    POINT at{static_cast<int>(25 * DpiScale), static_cast<int>(160 * DpiScale)};
    ClientToScreen(hwnd, &at);
    std::vector<Brevin::KelmOption> rows;
    rows.reserve(s_selectionOptions.size());
    for (size_t i = 0; i < s_selectionOptions.size(); ++i) {
        const int index = static_cast<int>(i);
        rows.emplace_back(
            s_selectionOptions[i].text, [index] { ChooseFromList(index); }, 1);
    }
    KelmMenu::Show(hwnd, at.x, at.y, rows, static_cast<int>(ClientWidth(hwnd) / DpiScale - 50), 0);
}

void Draw(HWND hwnd, ID2D1HwndRenderTarget* rt)
{
    Popup& popup = ThePopup();
    const float d = static_cast<float>(DpiScale);
    const float W = ClientWidth(hwnd) / d, H = ClientHeight(hwnd) / d;
    const COLORREF surface = ThemeAccent.Ref(), raised = ThemeShade30.Ref(), text = ThemeTextColor.Ref();
    const int count = static_cast<int>(s_selectionOptions.size());

    Brevin::D2DBrevinPanel* panel = popup.window->GetPanel();
    panel->Init(hwnd, rt);
    if (!popup.card)
        popup.card = std::make_shared<KelmOptionCtl>();
    if (!popup.ok)
        popup.ok = std::make_shared<KelmButton>();

    // One wheel step per paint, whatever the wheel amount.
    const int scroll = panel->TakeScroll();
    if (scroll != 0 && count > 0) {
        s_selectionIndex = StepIndex(s_selectionIndex, count, scroll);
        popup.card->SetText(CurrentText(), scroll > 0 ? 0 : 1);
        SetOkButton(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
    }

    FillSolidRect(rt, 0, 0, W, H, surface, 1.0f);
    DrawTextSemibold(rt, 20, 20, W - 40, 40, s_selectionHeading.c_str(), 20, text, L"Segoe UI", 1.0f, false);
    DrawTextInRect(rt, 20, 60, static_cast<float>(static_cast<int>(W - 40)), 40, s_selectionMessage.c_str(), 16, text,
                   L"Segoe UI", 1.0f, false);

    const int cardW = static_cast<int>(W - 50);
    popup.card->Set(25, 115, cardW, 40, CurrentText(), &OpenOptionList, raised, 14, KelmOptionCtl::kKindNormal, text);
    panel->AddControl(popup.card);
    DrawIconText(rt, static_cast<float>(cardW - 10), 127, 30, 30, L":\u2304:", 16, ContrastShiftColor(text, 45),
                 L"Segoe UI", 1.0f, false);

    SetOkButton(hwnd);
    popup.cancel->Set(static_cast<int>(W - 195), static_cast<int>(H - 60), 80, 40, popup.cancelLabel.c_str(), &Cancel,
                      surface, 13, text);
    panel->AddControl(popup.ok);
    panel->AddControl(popup.cancel);
}

RECT FindRect(HWND owner)
{
    RECT reference{};
    if (!owner || !IsWindow(owner) || !GetWindowRect(owner, &reference)) {
        // No owner to centre on: the work area of the cursor's monitor.
        POINT cursor{};
        GetCursorPos(&cursor);
        reference = PopupWindow::WorkArea(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST));
    }
    return PopupPlacement::SelectionRect(reference, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                         DpiScale);
}

// Runs while the window is still in WindowMap, where the card's running
// label change can still be found and stopped: the card is freed next.
void OnDestroy()
{
    Popup& popup = ThePopup();
    if (popup.card)
        popup.card->StopAnimations();
    if (popup.ok)
        popup.ok->ResetAnimation();
    popup.cancel->ResetAnimation();
    popup.open = false;
}

} // namespace

int StepIndex(int index, int count, int scroll)
{
    if (count <= 0 || scroll == 0)
        return index;
    if (scroll > 0)
        return index <= 0 ? count - 1 : index - 1;
    return index >= count - 1 ? 0 : index + 1;
}

COLORREF OkFill(int index)
{
    // operator[] on purpose: an index the caller did not mention reads 0.
    return s_selectionRedOk[index] >= 1 ? kRedOkFill : kOkFill;
}

void Create(HWND owner, const wchar_t* message, const wchar_t* heading, std::vector<Brevin::KelmOption> options,
            const wchar_t*, const wchar_t* cancelLabel)
{
    Popup& popup = ThePopup();
    if (popup.open) {
        // The open popup's options, index and texts stay its own: its OK
        // must run the choice its user made.
        s_selectionOk = 0;
        return;
    }
    s_selectionOk = 0;
    s_selectionMessage = message ? message : L"";
    s_selectionHeading = heading ? heading : L"";
    s_selectionOptions = std::move(options);
    s_selectionIndex = 0;
    if (s_selectionOptions.empty())
        s_selectionOptions.emplace_back(
            L"无选项", [] {}, 1);
    popup.cancelLabel = cancelLabel ? cancelLabel : L"取消";

    const RECT r = FindRect(owner);
    KelmWindow& window = *popup.window;
    PopupWindow::Configure(window, r, kClassName, kTitle, false);
    window.SetDrawCallback(&Draw);
    PopupModalLoop::HookDestroy(window, &OnDestroy);

    popup.open = true;
    popup.closing = false;
    if (window.Create() == 1) {
        const HWND hwnd = window.GetHwnd();
        AnimateWindowDropIn(hwnd);
        if (popup.open) {
            SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            if (PopupModalLoop::Run(hwnd, popup.open, false) != PopupModalLoop::End::Closed && popup.open) {
                // The program is quitting: nothing was chosen.
                popup.closing = true;
                DestroyWindow(hwnd);
            }
        }
    }
    popup.open = false;
    popup.card.reset();
    popup.ok.reset();
    s_selectionRedOk.clear();
}

} // namespace NewPopupSelection
