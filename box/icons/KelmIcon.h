// KelmIcon: the control of one file or folder icon in a box, the quick
// panel or the magnet window. Turns mouse input into five callbacks (open,
// text dropped, hover move, drag start, context menu), keeps its hover,
// tooltip-delay, press-and-hold and elastic state, and paints the icon:
// shell icon, image thumbnail, text card, folder preview or list row.
// UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "box/icons/ThumbnailDecoder.h"
#include "ui/core/BrevinControl.h"
#include "ui/core/DrawingHelpers.h"

// Raised by the folder sync: every icon reads its size text, folder state
// and folder listing again at its next paint.
extern uint32_t s_iconFileFactsGeneration;

namespace TessikDesktopContainer
{

class KelmIcon : public Brevin::BrevinControl
{
public:
    KelmIcon();
    ~KelmIcon() override;
    KelmIcon(const KelmIcon&) = delete;
    KelmIcon& operator=(const KelmIcon&) = delete;

    void Setup(int x, int y, int size, const wchar_t* path, const wchar_t* label, std::function<void()> onOpen,
               std::function<void(const std::wstring&)> onTextDrop, std::function<void(const bool&)> onHoverMove,
               std::function<void()> onDragStart, std::function<void()> onContextMenu);
    // Set while a rubber-band selection is drawn: moves only repaint.
    void SetOverflowFlag(bool suspended) { hoverSuspended = suspended; }

    int OnDropText(const Brevin::kelmPoint& point, Brevin::kelmEvent event, std::wstring text) override;
    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    bool IsCapturing() override { return pressedFlag; }
    Brevin::kelmRect GetRect() override;

    // Paints the icon; never throws.
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    // The panel's add-control entry: remembers the window, then paints.
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmIcon> self);

    virtual void OnMouseUp();
    // The pointer left the icon: cancels a press.
    virtual void OnMouseDown();
    virtual void BeginPress();

    // The icon's image (and, for images and text cards, its name) at (x, y)
    // for the drag image; loads nothing.
    static void PaintCell(KelmIcon& icon, ID2D1RenderTarget* target, float x, float y, float opacity);
    // Text in the icon's label style (0 plain, 1 thick shadow, 2 light
    // shadow, 3 theme-coloured halo).
    static void DrawLabel(const KelmIcon& icon, ID2D1RenderTarget* target, const std::wstring& text, float x, float y,
                          float width, float height, float size, COLORREF colour, float alpha, bool centred);
    static void DrawLabelSemibold(const KelmIcon& icon, ID2D1RenderTarget* target, const std::wstring& text, float x,
                                  float y, float width, float height, float size, COLORREF colour, float alpha,
                                  bool centred);

    static void CALLBACK ToolTipTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
    static void CALLBACK HoldTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

    const std::wstring& Path() const { return path; }
    const std::wstring& Label() const { return label; }
    HWND Window() const { return window; }
    bool HasThumbnail() const { return thumbnail != nullptr; }
    const std::wstring& PreviewText() const { return previewText; }
    // The list row's right-hand text and the tooltip's size line.
    const std::wstring& SizeText();

    // Read by the box content builder, written by the icon manager.
    bool tooltipHoverState = false;
    double tooltipValue = 0.0;
    int tooltipAnimationId = -1;
    int labelStyle = 0;
    // 0 normal, 1 dragged (placeholder card), 2 dragged and hidden.
    int dragMode = 0;
    bool holdTimerArmed = false;
    double highlightValue = 0.0;
    int highlightAnimationId = -1;
    bool highlightUp = false;
    Brevin::kelmPoint pressPoint{0, 0};
    bool pressedFlag = false;
    float elasticX = 0.0f;
    float elasticY = 0.0f;
    bool selected = false;
    bool dimmed = false;
    bool hoverSuspended = false;
    bool pressStarted = false;
    float opacity = 1.0f;
    // False while the record moves to its place or fades in.
    bool settled = true;

private:
    struct FileFacts {
        bool loaded = false;
        uint32_t generation = 0;
        bool exists = false;
        bool folder = false;
        std::wstring sizeText = L"0 B";
        // The first four entries of a folder, "desktop.ini" left out.
        std::vector<std::wstring> folderEntries;
    };

    UINT_PTR TooltipTimerId() const { return reinterpret_cast<UINT_PTR>(this); }
    UINT_PTR HoldTimerId() const { return reinterpret_cast<UINT_PTR>(this) + 1; }
    void KillTimers(HWND on);
    void StopAnimations(HWND on);
    void Repaint() const;
    void UpdateHoverAndTooltip();
    void UpdateHighlight();
    void RefreshFileFacts();
    void LoadThumbnail(ID2D1RenderTarget* target, HWND paintWindow);
    void TakeDecodedThumbnail(ID2D1RenderTarget* target);
    void Paint(HWND window, ID2D1HwndRenderTarget* target);
    static bool DragOrFileDragRunning();

    std::wstring path;
    std::wstring label;
    std::function<void()> onDragStart = [] {};
    std::function<void()> onOpen;
    std::function<void(const std::wstring&)> onTextDrop;
    std::function<void(const bool&)> onHoverMove;
    std::function<void()> onContextMenu;
    HWND window = nullptr;
    Microsoft::WRL::ComPtr<ID2D1Bitmap> thumbnail;
    // The target the thumbnail belongs to: a bitmap of another target
    // cannot be drawn.
    ID2D1RenderTarget* thumbnailTarget = nullptr;
    bool thumbnailTried = false;
    // The decode under way on the worker, until its pixels are taken.
    std::shared_ptr<ThumbnailRequest> thumbnailRequest;
    std::wstring previewText;
    bool previewLoaded = false;
    FileFacts facts;
    // Plain-style (style 0) texts of the last paint, kept for the next.
    CachedTextLayout previewLayout;
    CachedTextLayout nameLayout;
};

} // namespace TessikDesktopContainer
