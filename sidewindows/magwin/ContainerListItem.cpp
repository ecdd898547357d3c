#include "sidewindows/magwin/ContainerListItem.h"

#include <windowsx.h>

#include <algorithm>
#include <thread>

#include "box/BoxRuntime.h"
#include "sidewindows/magwin/FileDialogAutomation.h"
#include "sidewindows/magwin/MagWinRules.h"
#include "sidewindows/magwin/MagWinState.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/Easing.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace TessikMagWin
{

namespace
{

constexpr wchar_t kIconFont[] = L"Font Awesome 6 Free Solid";

// The dialog's address bar is driven from a thread of its own; the UI
// thread keeps dispatching its messages meanwhile (the dialog's activation
// sends messages to the window that had the foreground, which may be ours)
// and goes on only when the task has ended.
void NavigateOnTask(const std::wstring& folder)
{
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!done)
        return;
    TakeLastFailure();
    bool navigated = false;
    std::thread task([folder, done, &navigated] {
        navigated = NavigateDialogAddressBar(folder);
        SetEvent(done);
    });
    WaitForObjectWithMessages(done);
    task.join();
    CloseHandle(done);
    // A click that did nothing says why.
    if (!navigated)
        TellLastFailure();
}

} // namespace

ContainerListItem::ContainerListItem()
{
    color1 = 0xFB7952;
    color2 = ThemeTextColor.Ref();
    color3 = 0xD16B0F;
    trail2 = 18;
    trail3 = 8;
}

ContainerListItem::~ContainerListItem()
{
    StopPositionAnimation();
}

void ContainerListItem::Reset(OpenIconWindow open)
{
    onOpen = std::move(open);
    x = 10;
    w = 280;
    h = 40;
    y = 0.0f;
    targetY = 0.0f;
}

void ContainerListItem::Setup(std::shared_ptr<KelmWindow> newBox, BoxRuntime* newRuntime, OpenIconWindow open)
{
    box = std::move(newBox);
    runtime = newRuntime;
    hidden = false;
    Reset(std::move(open));
}

void ContainerListItem::SetupHidden(const std::wstring& newId, const std::wstring& newTitle,
                                    const std::wstring& newFolder, COLORREF newColour, OpenIconWindow open)
{
    id = newId;
    title = newTitle;
    folder = newFolder;
    colour = newColour;
    hidden = true;
    Reset(std::move(open));
}

bool ContainerListItem::HasBox() const
{
    // A box closed since the rows were built has left the registry: its
    // runtime must not be read any more.
    return hidden || (runtime && FindBoxRuntime(box) == runtime);
}

std::wstring ContainerListItem::BoxId() const
{
    if (hidden)
        return id;
    return HasBox() ? runtime->id : L"";
}

bool ContainerListItem::IsFolderBox() const
{
    return hidden || (HasBox() && runtime->UseTargetFolder);
}

std::wstring ContainerListItem::Folder() const
{
    if (hidden)
        return folder;
    return HasBox() ? runtime->TargetFolder : L"";
}

void ContainerListItem::StopPositionAnimation()
{
    if (animationId != -1 && IsLive(s_magWindow))
        s_magWindow->StopAnimation(animationId);
    animationId = -1;
}

void ContainerListItem::MoveToSlot(float slot)
{
    if (targetY == slot)
        return;
    targetY = slot;
    if (dragging || !IsLive(s_magWindow))
        return;
    StopPositionAnimation();
    animationId = s_magWindow->AnimateVariableWithBezier<float>(y, y, slot, 0.35, 0.25, 0.1, 0.25, 1.0);
}

Brevin::kelmRect ContainerListItem::GetRect()
{
    return {x, static_cast<int>(baseOffset) + static_cast<int>(y), w, h};
}

POINT ContainerListItem::CursorInDips() const
{
    // Where the cursor was when the press or release happened: read later,
    // a busy window would see where it has gone since (another row, the
    // grip missed, a wrong grab offset).
    const DWORD at = GetMessagePos();
    POINT cursor{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (HWND hwnd = MagHwnd())
        ScreenToClient(hwnd, &cursor);
    return {static_cast<LONG>(cursor.x / Scale()), static_cast<LONG>(cursor.y / Scale())};
}

int ContainerListItem::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    switch (event) {
    case Brevin::KELM_LBUTTON_DOWN:
        OnMouseDown();
        break;
    case Brevin::KELM_LBUTTON_UP:
        OnMouseUp();
        break;
    case Brevin::KELM_MOUSE_MOVE:
        hovered = true;
        RepaintMagWindow();
        break;
    default:
        break;
    }
    return 0;
}

int ContainerListItem::OnMouseDown()
{
    const POINT cursor = CursorInDips();
    if (cursor.x < x + w - 35)
        return 0;
    for (size_t i = 0; i < s_magRows.size(); ++i) {
        if (s_magRows[i].get() == this)
            s_magDragIndex = static_cast<int>(i);
    }
    dragging = true;
    s_magGrabOffset = static_cast<float>(cursor.y) - y;
    StopPositionAnimation();
    return 0;
}

int ContainerListItem::OnMouseUp()
{
    if (s_magDragIndex != -1) {
        // A release faster than the next paint still drops the row where
        // the cursor is.
        const DWORD at = GetMessagePos();
        FollowDraggedRow({GET_X_LPARAM(at), GET_Y_LPARAM(at)});
        // The release may land on the row that gave way to the dragged one.
        ContainerListItem& dragged =
            s_magDragIndex < static_cast<int>(s_magRows.size()) ? *s_magRows[s_magDragIndex] : *this;
        s_magDragIndex = -1;
        dragged.dragging = false;
        dragged.StopPositionAnimation();
        if (IsLive(s_magWindow))
            dragged.animationId = s_magWindow->AnimateVariableWithBezier<float>(dragged.y, dragged.y, dragged.targetY,
                                                                                0.4, 0.25, 0.1, 0.25, 1.0);
        std::vector<std::wstring> ids;
        for (const auto& row : s_magRows) {
            if (std::wstring rowId = row->BoxId(); !rowId.empty())
                ids.push_back(std::move(rowId));
        }
        WriteRowOrder(ids);
        RepaintMagWindow();
        return 0;
    }
    if (!HasBox())
        return 0;
    const POINT cursor = CursorInDips();
    const int right = x + w;
    if (IsFolderBox() && cursor.x >= right - 60 && cursor.x <= right - 35) {
        TakeLastFailure();
        if (!NavigateDialogAddressBar(Folder()))
            TellLastFailure();
        return 0;
    }
    if (cursor.x >= right - 35) {
        RepaintMagWindow();
        return 0;
    }
    // The rows may be rebuilt while the task runs (messages are dispatched
    // meanwhile): the row is kept alive and the call works on copies.
    std::shared_ptr<ContainerListItem> self;
    for (const auto& row : s_magRows) {
        if (row.get() == this)
            self = row;
    }
    const OpenIconWindow open = onOpen;
    const std::shared_ptr<KelmWindow> openBox = box;
    const bool openHidden = hidden;
    const std::wstring openId = id, openFolder = folder;
    // Clicks dispatched while a dialog is being driven would drive it again
    // from a second task, both typing into the same dialog: they are
    // dropped until the first has ended.
    static bool s_driving = false;
    if (s_driving)
        return 0;
    s_driving = true;
    if (IsFolderBox())
        NavigateOnTask(Folder());
    s_driving = false;
    if (open)
        open(openBox, openHidden, openId, openFolder);
    RepaintMagWindow();
    return 0;
}

void ContainerListItem::AttachCtl(HWND, ID2D1HwndRenderTarget* target, std::shared_ptr<ContainerListItem> self)
{
    CreateCtl(nullptr, target);
    self.reset();
}

void ContainerListItem::CreateCtl(HWND, ID2D1HwndRenderTarget* target)
{
    if (!target || !HasBox())
        return;
    const float X = static_cast<float>(x), W = static_cast<float>(w), H = static_cast<float>(h);
    const float Y = baseOffset + y;
    const COLORREF text = ThemeTextColor.Ref();
    if (hovered || dragging)
        DrawButtonFace(target, X, Y, W, H, ContrastShiftColor(ThemeBaseColor.Ref(), 10), 4.0f);
    COLORREF square = colour;
    if (!hidden)
        square = runtime->captionBar ? runtime->captionBar->colour : text;
    const float glyphY = Y + static_cast<float>((h - 16) / 2);
    DrawButtonFace(target, X + 10, glyphY, 16, 16, square, 3.0f);
    const std::wstring& shown = hidden ? title : runtime->title;
    DrawTextInRect(target, X + 35, Y + H / 2 - 10, W - 60, 20, shown.c_str(), 14.0f, text, L"Segoe UI", 1.0f, false);
    if (IsFolderBox())
        DrawIconText(target, X + W - 55, glyphY, 21, 21, hidden ? L"\uF6E2" : L"\uF35D", 14.0f, text, kIconFont, 1.0f,
                     false);
    DrawIconText(target, X + W - 25, glyphY, 21, 21, L"\uF58E", 14.0f, dragging ? text : ThemeShade30.Ref(), kIconFont,
                 1.0f, false);
}

} // namespace TessikMagWin
