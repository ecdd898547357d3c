// One row of the magnet window's box list: a desktop box or a hidden box.
// A press on the grip drags it; a click on the body opens the icon window
// (and first jumps the dialog to the box folder); the folder button only
// jumps the dialog. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmWindow;
struct BoxRuntime;

namespace TessikMagWin
{

using OpenIconWindow = std::function<void(std::shared_ptr<KelmWindow>, bool, std::wstring, std::wstring)>;

class ContainerListItem : public Brevin::BrevinControl
{
public:
    ContainerListItem();
    // Stops the row's position animation, which writes into the row.
    ~ContainerListItem() override;

    void Setup(std::shared_ptr<KelmWindow> box, BoxRuntime* runtime, OpenIconWindow onOpen);
    void SetupHidden(const std::wstring& id, const std::wstring& title, const std::wstring& folder, COLORREF colour,
                     OpenIconWindow onOpen);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    Brevin::kelmRect GetRect() override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    int OnMouseUp();
    int OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<ContainerListItem> self);

    // A hidden box, or a desktop box still in the registry.
    bool HasBox() const;
    // Hidden rows their id, desktop rows their box's.
    std::wstring BoxId() const;
    // A hidden box, or a desktop box whose files live in a folder.
    bool IsFolderBox() const;
    std::wstring Folder() const;
    // Moves y to the target slot (animated) unless the row is dragged.
    void MoveToSlot(float slot);
    void StopPositionAnimation();

    BoxRuntime* runtime = nullptr;
    bool hidden = false;
    std::wstring id;
    std::wstring title;
    std::wstring folder;
    COLORREF colour = 0xF2F2F2;
    std::shared_ptr<KelmWindow> box;
    OpenIconWindow onOpen;
    float y = 0.0f;
    float targetY = 0.0f;
    int animationId = -1;
    bool dragging = false;
    float baseOffset = 25.0f;

private:
    void Reset(OpenIconWindow open);
    // The cursor of the message being handled, in the magnet window's
    // client area, in DIPs.
    POINT CursorInDips() const;
};

} // namespace TessikMagWin
