// Sections: switching and the rows; the dialog poll; the window's paint.
#include "sidewindows/magwin/TessikMagWin.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "box/BoxDeletion.h"
#include "box/BoxRuntime.h"
#include "sidewindows/magwin/ContainerListItem.h"
#include "sidewindows/magwin/FileDialogAutomation.h"
#include "sidewindows/magwin/MagIconWindow.h"
#include "sidewindows/magwin/MagNewComponent.h"
#include "sidewindows/magwin/MagWinRules.h"
#include "sidewindows/magwin/MagWinState.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "ui/controls/KelmBarrier.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/controls/KelmSelectionCard.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/HitTest.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace TessikMagWin
{

namespace
{

const wchar_t kMagClass[] = L"Tessik.Kelm.Com.MagWin.Class";
const wchar_t kMagTitle[] = L"Tessik.Com.MagWindow";
constexpr UINT_PTR kPollTimerId = 1001;
constexpr UINT kPollMs = 100;

// Header controls: made at the first paint, kept for the process.
std::shared_ptr<KelmFAIcon> s_refreshIcon;
std::shared_ptr<KelmFAIcon> s_ghostIcon;
std::shared_ptr<KelmFAIcon> s_plusIcon;
std::shared_ptr<KelmSelectionCard> s_card;
std::shared_ptr<KelmBarrier> s_barrier;

void DestroyIfLive(const std::shared_ptr<KelmWindow>& window)
{
    if (IsLive(window))
        DestroyWindow(window->GetHwnd());
}

void OnMagWinCreated()
{
    HWND hwnd = s_magWindow->GetHwnd();
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE,
                      GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW | WS_EX_ACCEPTFILES | WS_EX_TOPMOST);
    SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_MAXIMIZEBOX));
    // Both framework timers stop themselves while there is nothing to
    // animate: hidden, the window costs only the poll.
    s_magWindow->StartAnimationTimer();
    s_magWindow->StartHoverRepaintTimer();
    SetTimer(hwnd, kPollTimerId, kPollMs, TrackFileDialog);
}

struct RowEntry {
    bool hidden = false;
    std::shared_ptr<KelmWindow> box;
    BoxRuntime* runtime = nullptr;
    std::wstring id, title, folder;
    COLORREF colour = 0xF2F2F2;
};

void MakeContainerListItem(const RowEntry& entry)
{
    auto row = std::make_shared<ContainerListItem>();
    OpenIconWindow open = [](std::shared_ptr<KelmWindow> box, bool hidden, std::wstring id, std::wstring folder) {
        UpdateIconWindow(std::move(box), hidden, id, folder);
    };
    if (entry.hidden)
        row->SetupHidden(entry.id, entry.title, entry.folder, entry.colour, std::move(open));
    else
        row->Setup(entry.box, entry.runtime, std::move(open));
    s_magRows.push_back(std::move(row));
}

} // namespace

// ---------------------------------------------------------------------------
// Switching and the rows
// ---------------------------------------------------------------------------

void RefreshContent()
{
    ClearIconWindowEntries();
    s_magRows.clear();
    s_magDragIndex = -1;

    std::map<std::wstring, RowEntry> boxes;
    for (auto& [window, runtime] : s_boxRuntimes) {
        // The quick panel's windows stand in the registry too; they are no
        // boxes.
        if (!window || window == s_magWindow || !runtime.captionBar || runtime.IsPseudoBox())
            continue;
        RowEntry entry;
        entry.box = window;
        entry.runtime = &runtime;
        boxes[runtime.id] = entry;
    }
    for (const TessikQuickPanel::HiddenBoxRecord& record : TessikQuickPanel::ReadHiddenBoxRecords()) {
        RowEntry entry;
        entry.hidden = true;
        entry.id = record.id;
        entry.title = record.title;
        entry.folder = record.TargetFolder;
        entry.colour = TessikQuickPanel::ComponentColourFromText(record.clrtag);
        boxes[record.id] = entry;
    }
    std::vector<std::wstring> present;
    for (const auto& [id, entry] : boxes)
        present.push_back(id);
    for (const std::wstring& id : OrderRowIds(ReadRowOrder(), present))
        MakeContainerListItem(boxes[id]);
}

void SwitchMagWin(bool enable)
{
    if (!enable) {
        if (HWND hwnd = MagHwnd()) {
            KillTimer(hwnd, kPollTimerId);
            DestroyWindow(hwnd);
        }
        DestroyIfLive(s_magIconWindow);
        ClearIconWindowEntries();
        s_magRows.clear();
        s_magDragIndex = -1;
        s_cachedDialogRect = {};
        return;
    }
    DestroyIfLive(s_magWindow);
    DestroyIfLive(s_magIconWindow);
    s_cachedDialogRect = {};
    // A deleted box leaves the rows and the icon window at once, not at the
    // next dialog.
    s_boxDeletedHook = [](const BoxWindowPtr& box) {
        ForgetShownBox(box);
        if (HWND hwnd = MagHwnd()) {
            RefreshContent();
            InvalidateRect(hwnd, nullptr, FALSE);
        }
    };
    RefreshContent();

    s_magWindow = std::make_shared<KelmWindow>();
    KelmWindow& window = *s_magWindow;
    window.Set(-600, -600, static_cast<int>(Scale() * 300), static_cast<int>(Scale() * 260), kMagClass, kMagTitle);
    window.frameMode = 2;
    // Shown off screen; it must not take the activation from the user.
    window.showCommand = SW_SHOWNOACTIVATE;
    window.SetDrawCallback(BuildMagWinContent);
    window.onCreated = OnMagWinCreated;
    window.Create();
}

// ---------------------------------------------------------------------------
// The dialog poll
// ---------------------------------------------------------------------------

namespace
{

BOOL IsFileDialogWindow(HWND window)
{
    if (!IsFileDialogMatch(window, FileDialogTitles()))
        return TRUE;
    s_foundDialog = window;
    return FALSE;
}

BOOL CALLBACK FindFileDialogProc(HWND window, LPARAM)
{
    return IsFileDialogWindow(window);
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

void CALLBACK TrackFileDialog(HWND, UINT, UINT_PTR, DWORD)
{
    HWND magnet = MagHwnd();
    if (!magnet)
        return;
    s_foundDialog = nullptr;
    EnumWindows(FindFileDialogProc, 0);
    HWND icons = IsLive(s_magIconWindow) ? s_magIconWindow->GetHwnd() : nullptr;
    // The match itself requires a visible dialog.
    if (!s_foundDialog) {
        if (IsWindowVisible(magnet))
            ShowWindow(magnet, SW_HIDE);
        if (icons && IsWindowVisible(icons))
            ShowWindow(icons, SW_HIDE);
        s_cachedDialogRect = {};
        return;
    }
    RECT dialog{};
    GetWindowRect(s_foundDialog, &dialog);
    const bool visible = IsWindowVisible(magnet);
    if (visible && SameRect(dialog, s_cachedDialogRect))
        return;
    s_cachedDialogRect = dialog;
    const DockRect place = DockBesideDialog(dialog, GetSystemMetrics(SM_CXSCREEN), Scale());
    if (!visible)
        RefreshContent();
    SetWindowPos(magnet, HWND_TOPMOST, place.x, place.y, place.w, place.h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (icons && IsWindowVisible(icons))
        SetWindowPos(icons, HWND_TOPMOST, place.x, place.y + place.h + 20, place.w, static_cast<int>(Scale() * 300),
                     SWP_NOACTIVATE);
}

// ---------------------------------------------------------------------------
// The window's paint
// ---------------------------------------------------------------------------

void FollowDraggedRow(POINT cursor)
{
    HWND hwnd = MagHwnd();
    if (!hwnd || s_magDragIndex < 0 || s_magDragIndex >= static_cast<int>(s_magRows.size()))
        return;
    ScreenToClient(hwnd, &cursor);
    ContainerListItem& dragged = *s_magRows[s_magDragIndex];
    dragged.y = static_cast<float>(cursor.y / Scale()) - s_magGrabOffset;
    const int swap = DragSwapIndex(s_magDragIndex, dragged.y, static_cast<int>(s_magRows.size()));
    if (swap == -1)
        return;
    auto row = s_magRows[s_magDragIndex];
    s_magRows.erase(s_magRows.begin() + s_magDragIndex);
    s_magRows.insert(s_magRows.begin() + swap, row);
    s_magDragIndex = swap;
}

namespace
{

void LayOutRows()
{
    // A release outside the window reaches no row: the first paint after it
    // drops the dragged row as a release on it would, instead of letting the
    // row follow a pointer whose button is up.
    if (s_magDragIndex >= 0 && s_magDragIndex < static_cast<int>(s_magRows.size()) && LeftButtonReleaseMissed()) {
        const std::shared_ptr<ContainerListItem> dragged = s_magRows[s_magDragIndex];
        dragged->OnMouseUp();
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    FollowDraggedRow(cursor);
    for (size_t i = 0; i < s_magRows.size(); ++i)
        s_magRows[i]->MoveToSlot(RowSlotY(static_cast<int>(i)));
}

void MakeHeaderControls()
{
    if (s_refreshIcon)
        return;
    s_refreshIcon = std::make_shared<KelmFAIcon>();
    s_ghostIcon = std::make_shared<KelmFAIcon>();
    s_plusIcon = std::make_shared<KelmFAIcon>();
    s_card = std::make_shared<KelmSelectionCard>();
    s_barrier = std::make_shared<KelmBarrier>();
}

} // namespace

void BuildMagWinContent(HWND hwnd, ID2D1HwndRenderTarget* target)
{
    if (MagHwnd() != hwnd || !target)
        return;
    Brevin::D2DBrevinPanel& panel = *s_magWindow->GetPanel();
    RECT client{};
    GetClientRect(hwnd, &client);
    const float w = static_cast<float>(client.right / Scale());
    const float h = static_cast<float>(client.bottom / Scale());
    const COLORREF base = ThemeBaseColor.Ref();
    const COLORREF first = ContrastShiftColor(base, 10);
    const COLORREF second = ThemeShade30.Ref();
    const COLORREF text = ThemeTextColor.Ref();

    FillSolidRect(target, 0, 0, w, h, base, 1.0f);
    s_magScrollOffset = std::max(0.0f, static_cast<float>(static_cast<int>(s_magScrollOffset + panel.TakeScroll())));
    LayOutRows();

    panel.Init(hwnd, target);
    for (const auto& row : s_magRows) {
        row->baseOffset = 25 - s_magScrollOffset;
        panel.AddControl(row);
    }

    // The rows scroll under a header that fades them out.
    FillSolidRect(target, 0, 0, w, 15, base, 1.0f);
    for (int k = 2; k <= 17; ++k)
        FillSolidRect(target, 0, static_cast<float>(k + 12), w, 1.5f, base, 1.0f - (k - 1) / 20.0f);
    DownsampleBlurMedium(target, 0, 0, w, 35, 4);

    MakeHeaderControls();
    const int iw = static_cast<int>(w);
    s_refreshIcon->Set(iw - 30, 15, L"test-refresh", 16, text, [] {
        RefreshContent();
        RepaintMagWindow();
    });
    s_ghostIcon->Set(iw - 60, 15, L"test-cuteghost", 16, text, [] { CreateHiddenBox(); });
    s_plusIcon->Set(iw - 90, 15, L"test-plus", 16, text, [] {
        if (HWND magnet = MagHwnd()) {
            RECT rc{};
            GetClientRect(magnet, &rc);
            NewComponentChooser(magnet, rc, s_card);
        }
    });
    panel.AddControl(s_refreshIcon);
    panel.AddControl(s_ghostIcon);
    panel.AddControl(s_plusIcon);

    const int colours[9] = {static_cast<int>(first),
                            static_cast<int>(second),
                            static_cast<int>(first),
                            static_cast<int>(first),
                            static_cast<int>(second),
                            static_cast<int>(ContrastShiftColor(first, 5)),
                            0xFB7952,
                            static_cast<int>(second),
                            0xF4F4F4};
    s_card->Set(colours, [] {});
    s_barrier->Set(0, 0, iw, static_cast<int>(h), [] {});
    if (s_card->IsOpen())
        panel.AddControl(s_barrier);
    panel.AddControl(s_card);
}

} // namespace TessikMagWin
