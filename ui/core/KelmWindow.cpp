// Section index: creation; message translation; composition path; tray.
#include "ui/core/KelmWindow.h"

#include <dwmapi.h>
#include <dxgi1_4.h>
#include <ole2.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <utility>
#include <vector>

#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/DropShadow.h"
#include "ui/core/KelmDropTarget.h"
#include "ui/core/WindowMessages.h"

using Microsoft::WRL::ComPtr;

HoverAnimationCounter HoverAnimationCount;

namespace
{

// When a hover step last moved (or the count rose), GetTickCount64.
ULONGLONG s_lastHoverStep = 0;
// A real hover animation steps on every paint, many times a second even
// on a loaded machine.
constexpr ULONGLONG kHoverStepSilenceMs = 1000;

thread_local WPARAM t_mouseMessageKeys = 0;

// The keys of the mouse button message being handled, for its handlers; a
// handler's modal loop handles messages of its own and puts them back.
class MouseKeysScope
{
public:
    explicit MouseKeysScope(WPARAM wParam) : saved_(t_mouseMessageKeys)
    {
        t_mouseMessageKeys = GET_KEYSTATE_WPARAM(wParam);
    }
    ~MouseKeysScope() { t_mouseMessageKeys = saved_; }
    MouseKeysScope(const MouseKeysScope&) = delete;
    MouseKeysScope& operator=(const MouseKeysScope&) = delete;

private:
    WPARAM saved_;
};

} // namespace

WPARAM MouseMessageKeys()
{
    return t_mouseMessageKeys;
}

HoverAnimationCounter& HoverAnimationCounter::operator=(int value)
{
    const bool rising = count_ < 1 && value >= 1;
    count_ = value;
    if (rising) {
        s_lastHoverStep = GetTickCount64();
        KelmWindow::ResumeHoverRepaints();
    }
    return *this;
}

void NoteHoverStep()
{
    s_lastHoverStep = GetTickCount64();
}

void RepaintWindowPart(HWND window, const RECT& pixels, const void* cover)
{
    auto found = WindowMap.find(window);
    if (found != WindowMap.end() && found->second && found->second->GetHwnd() == window)
        found->second->RepaintPart(pixels, cover);
    else if (window)
        InvalidateRect(window, nullptr, FALSE);
}

void LowerHoverAnimationCount()
{
    HoverAnimationCount = std::max(0, HoverAnimationCount - 1);
}
std::unordered_map<HWND, KelmWindow*> WindowMap;

void StopHoverRepaints(HWND window)
{
    auto found = WindowMap.find(window);
    if (found != WindowMap.end() && found->second && found->second->GetHwnd() == window)
        found->second->StopHoverRepaintTimer();
    else
        KillTimer(window, kHoverRepaintTimerId);
}

namespace
{

// Composition devices shared by every composition window, counted.
struct CompositionDevices {
    ComPtr<ID3D11Device> d3dDevice;
    ComPtr<ID3D11DeviceContext> d3dContext;
    ComPtr<IDXGIFactory2> dxgiFactory;
    ComPtr<IDCompositionDevice> compositionDevice;
    ComPtr<ID2D1Factory1> d2dFactory;
    ComPtr<ID2D1Device> d2dDevice;
    int windows = 0;
};
CompositionDevices s_composition;

// Start-up holds first frames until it can draw (KelmWindow::HoldFirstFrames).
bool s_firstFramesHeld = false;

int RegionRadius(int cornerRadius)
{
    return static_cast<int>(std::ceil(DpiScale) * cornerRadius);
}

} // namespace

KelmWindow::KelmWindow() : panel(std::make_unique<Brevin::D2DBrevinPanel>()), onDeactivate([] {})
{
    // Any thread: a worker's post cannot set a timer on this window's
    // thread, so it asks the window to.
    animationManager.SetWorkCallback([this] {
        const HWND target = wakeTarget_.load();
        if (!target)
            return;
        if (windowThread_.load() == GetCurrentThreadId())
            WakeAnimationTimer();
        else
            PostMessageW(target, WM_KELM_WAKE_ANIMATION, 0, 0);
    });
}

// The panel goes with the object. What used it after the window object
// was gone is covered elsewhere: a message (a control's handler, a paint,
// an animation tick) keeps the object alive until it is done (WindowProc);
// controls stop naming a panel that releases them; and a window that
// outlives its object no longer reaches it (below).
KelmWindow::~KelmWindow()
{
    if (hwnd && IsWindow(hwnd) && GetWindowLongPtrW(hwnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        auto found = WindowMap.find(hwnd);
        if (found != WindowMap.end() && found->second == this)
            WindowMap.erase(found);
    }
}

void KelmWindow::Set(int nx, int ny, int w, int h, const wchar_t* classNameText, const wchar_t* titleText)
{
    x = nx;
    y = ny;
    width = w;
    height = h;
    className = classNameText;
    title = titleText;
    handler = [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return HandleMessage(window, message, wParam, lParam);
    };
}

int KelmWindow::Create()
{
    instance = GetModuleHandleW(nullptr);
    if (!windowProc) {
        MessageBoxW(nullptr, nullptr, nullptr, MB_OK);
        return -1;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, iconName);
    wc.hIconSm = LoadIconW(instance, iconName);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = className;
    RegisterClassExW(&wc); // an already registered class is fine

    if (instanceProbe) {
        HWND running = FindWindowW(L"DAWNRAIL", L"Dawnrail");
        if (running)
            PostMessageW(running, WM_KELM_INSTANCE_PING, 0, 0);
        else if (instanceRequired)
            return -1;
    }

    HWND window = nullptr;
    if (customCreator) {
        window = customCreator();
    } else {
        hwnd = CreateWindowExW(0, className, title, style, x, y, width, height, nullptr, nullptr, instance, this);
        window = hwnd;
        if (hwnd) {
            WindowMap[hwnd] = this;
            animationTimerOn_ = hoverRepaintWanted_ = hoverTimerOn_ = false;
            windowThread_ = GetCurrentThreadId();
            wakeTarget_ = hwnd;
            // Animations made before the window existed wait for it.
            if (animationManager.HasWork())
                WakeAnimationTimer();
        }
    }
    if (!window)
        return 0;

    if (frameMode == 1) {
        SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) & ~static_cast<LONG_PTR>(0xCC0000));
        LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
        ex = (ex & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW;
        SetWindowLongPtrW(window, GWL_EXSTYLE, ex);
        SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
    }
    // Start-up makes windows before it can draw them; mapped then, each
    // would stand as a black rectangle until the first paint. While first
    // frames are held a window is shown without area instead, and takes
    // its area once its first frame is drawn; a window made later that
    // asks for it (firstFrameBeforeArea) is drawn so before Create returns.
    // A custom creator's window is not ours to paint.
    firstFramePending_ = (s_firstFramesHeld || firstFrameBeforeArea) && !customCreator && showCommand != SW_HIDE;
    const bool plainWhileHeld = firstFramePending_ && s_firstFramesHeld && heldFace;
    if (firstFramePending_ && !plainWhileHeld) {
        SetWindowRgn(window, CreateRectRgn(0, 0, 0, 0), FALSE);
    } else if (cornerRadius != 0) {
        RECT rc;
        GetClientRect(window, &rc);
        SetWindowRgn(window, WantedRegion(rc.right, rc.bottom), TRUE);
    }
    ShowWindow(window, showCommand);
    if (plainWhileHeld)
        FillPlain(window, *heldFace);
    if (onCreated)
        onCreated();
    SendMessageW(window, WM_KELM_CREATED, 0, 0);
    // Drawn once its creator has finished it (onCreated, WM_KELM_CREATED).
    if (firstFramePending_ && !s_firstFramesHeld)
        DrawFirstFrame(window);
    return 1;
}

void KelmWindow::FillPlain(HWND window, COLORREF colour)
{
    RECT rc{};
    GetClientRect(window, &rc);
    HDC dc = GetDC(window);
    if (!dc)
        return;
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush) {
        FillRect(dc, &rc, brush);
        DeleteObject(brush);
    }
    ReleaseDC(window, dc);
}

HRGN KelmWindow::WantedRegion(int w, int h) const
{
    if (cornerRadius == 0)
        return nullptr;
    const int r = RegionRadius(cornerRadius);
    return CreateRoundRectRgn(0, 0, w + 1, h + 1, r, r);
}

void KelmWindow::DrawFirstFrame(HWND window)
{
    if (!firstFramePending_ || s_firstFramesHeld || !IsWindow(window))
        return;
    firstFramePending_ = false;
    // Drawn once while it has no area: the render target, text formats and
    // bitmaps are made now, so the frame drawn when the window takes its
    // area is a quick one.
    if (CompositionActive())
        PaintComposition(window, nullptr, nullptr);
    else
        PaintWindow(window, drawCallback, nullptr, nullptr);
    if (!IsWindow(window))
        return;
    // Only the empty region given at Create is replaced: one that other
    // code has set since stays.
    HRGN current = CreateRectRgn(0, 0, 0, 0);
    const int kind = current ? GetWindowRgn(window, current) : ERROR;
    if (current)
        DeleteObject(current);
    if (kind == NULLREGION) {
        RECT rc{};
        GetClientRect(window, &rc);
        SetWindowRgn(window, WantedRegion(rc.right, rc.bottom), FALSE);
        // A shadow took its shape from the window while it had none.
        Brevin::Window::OuterShadow::DropShadow::RefreshFor(window);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
}

void KelmWindow::HoldFirstFrames()
{
    s_firstFramesHeld = true;
}

void KelmWindow::ReleaseFirstFrames()
{
    s_firstFramesHeld = false;
    // A copy: a draw callback may make or destroy windows.
    std::vector<std::pair<HWND, KelmWindow*>> waiting;
    for (const auto& [handle, object] : WindowMap) {
        if (object && object->firstFramePending_)
            waiting.emplace_back(handle, object);
    }
    for (const auto& [handle, object] : waiting) {
        auto it = WindowMap.find(handle);
        if (it != WindowMap.end() && it->second == object)
            object->DrawFirstFrame(handle);
    }
}

void KelmWindow::SetDrawCallback(DrawFunction draw)
{
    drawCallback = std::move(draw);
}

void KelmWindow::SetMessageHandler(MessageFunction function)
{
    fallbackHandler = std::move(function);
}

void KelmWindow::SetDeactivateCallback(std::function<void()> callback)
{
    if (callback)
        onDeactivate = std::move(callback);
}

void KelmWindow::SetIgnoreHover(bool ignore)
{
    ignoreHover = ignore;
}

void KelmWindow::StartAnimationTimer()
{
    // Already ticking at the animation rate: setting the timer again asks
    // the system once more for nothing, and a box starting the flights of
    // a few hundred dropped files asks that many times.
    if (!hwnd || (animationTimerOn_ && animationTickMs_ == kAnimationTickMs))
        return;
    SetTimer(hwnd, kAnimationTimerId, kAnimationTickMs, nullptr);
    animationTimerOn_ = true;
    animationTickMs_ = kAnimationTickMs;
}

void KelmWindow::WakeAnimationTimer()
{
    // New work may be due before the moment a sleeping timer waits for.
    if (!animationTimerOn_ || animationTickMs_ != kAnimationTickMs)
        StartAnimationTimer();
}

void KelmWindow::OnAnimationTimer(HWND window)
{
    animationTimerOn_ = true;
    animationManager.Update();
    // Stopped within the tick that ended the last piece of work; the next
    // animation or post starts it again.
    if (!animationManager.HasWork()) {
        KillTimer(window, kAnimationTimerId);
        animationTimerOn_ = false;
        return;
    }
    // Between two changes of what shows (a caret resting between colour
    // steps) the timer sleeps until the next one: every tick is a message,
    // and a blinking caret would otherwise cost a hundred a second. A held
    // clock does not follow the system's time, so nothing can be foreseen.
    UINT wanted = kAnimationTickMs;
    if (!animationManager.Clock().IsHeld()) {
        const double in = animationManager.NextWorkIn();
        if (in * 1000.0 > kAnimationTickMs)
            wanted = static_cast<UINT>(std::ceil(std::min(in * 1000.0, 1000.0)));
    }
    if (wanted != animationTickMs_) {
        SetTimer(window, kAnimationTimerId, wanted, nullptr);
        animationTickMs_ = wanted;
    }
}

void KelmWindow::StartHoverRepaintTimer()
{
    hoverRepaintWanted_ = true;
    if (hwnd && HoverAnimationCount >= 1 && !hoverTimerOn_) {
        SetTimer(hwnd, kHoverRepaintTimerId, 16, nullptr);
        hoverTimerOn_ = true;
    }
}

void KelmWindow::StopHoverRepaintTimer()
{
    hoverRepaintWanted_ = false;
    hoverTimerOn_ = false;
    if (hwnd)
        KillTimer(hwnd, kHoverRepaintTimerId);
}

void KelmWindow::OnHoverRepaintTimer(HWND window)
{
    // A builder may have set timer 11 directly: the window takes it as
    // asking for hover repaints.
    hoverRepaintWanted_ = true;
    if (HoverAnimationCount >= 1 && GetTickCount64() - s_lastHoverStep > kHoverStepSilenceMs)
        HoverAnimationCount = 0; // held by controls that are not drawn any more
    if (HoverAnimationCount < 1) {
        KillTimer(window, kHoverRepaintTimerId);
        hoverTimerOn_ = false;
        return;
    }
    hoverTimerOn_ = true;
    if (!AnimationRepaints())
        Repaint(window);
}

void KelmWindow::ResumeHoverRepaints()
{
    for (const auto& [handle, window] : WindowMap) {
        if (window && window->hwnd == handle && window->hoverRepaintWanted_ && !window->hoverTimerOn_ &&
            IsWindow(handle)) {
            SetTimer(handle, kHoverRepaintTimerId, 16, nullptr);
            window->hoverTimerOn_ = true;
        }
    }
}

void KelmWindow::StopAnimation(int id)
{
    animationManager.Stop(id);
}

int KelmWindow::AddPauseDelay(double duration, std::function<void(double)> step)
{
    return animationManager.AddPauseDelay(hwnd, duration, std::move(step));
}

void KelmWindow::BringToFront()
{
    keepTopmost = false;
    keepBottom = false;
    if (IsWindow(hwnd)) {
        SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetForegroundWindow(hwnd);
    }
}

LRESULT CALLBACK KelmWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* window = reinterpret_cast<KelmWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!window || !window->handler)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    // A callback may drop the last reference to the window object (a close
    // button that resets its builder's pointer): keep it alive until the
    // message is done. Plain-allocated windows are never freed anyway.
    std::shared_ptr<KelmWindow> keepAlive = window->weak_from_this().lock();
    try {
        return window->handler(hwnd, message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's window procedure caller.
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------
// Message translation
// ---------------------------------------------------------------------------

LRESULT KelmWindow::Fallback(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (fallbackHandler)
        return fallbackHandler(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

void KelmWindow::Repaint(HWND window)
{
    RECT rc;
    GetClientRect(window, &rc);
    InvalidateRect(window, &rc, FALSE);
}

void KelmWindow::RepaintPart(const RECT& pixels, const void* cover)
{
    if (!hwnd)
        return;
    RECT joined = pixels;
    if (partAsked_) {
        UnionRect(&joined, &*partAsked_, &pixels);
        if (cover != partCover_ || !EqualRect(&joined, &*partAsked_))
            cover = nullptr; // the cover may not cover the rest
    }
    partCover_ = cover;
    partAsked_ = joined;
    InvalidateRect(hwnd, &pixels, FALSE);
}

void KelmWindow::Paint(HWND window)
{
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    // Partial only when every invalid pixel was asked for through
    // RepaintPart.
    RECT joined;
    const bool partial =
        partAsked_ && UnionRect(&joined, &*partAsked_, &ps.rcPaint) && EqualRect(&joined, &*partAsked_);
    partAsked_.reset();
    const RECT* region = partial ? &ps.rcPaint : nullptr;
    panel->SetPaintRegion(region);
    if (CompositionActive())
        PaintComposition(window, region, partial ? partCover_ : nullptr);
    else
        PaintWindow(window, drawCallback, region, partial ? partCover_ : nullptr);
    panel->SetPaintRegion(nullptr);
    EndPaint(window, &ps);
}

void KelmWindow::OnMouseMoveMessage(HWND window, LPARAM lParam)
{
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, HOVER_DEFAULT};
    TrackMouseEvent(&track);
    if (onMouseMove)
        onMouseMove();
    if (ignoreHover)
        return;
    const bool animating = AnimationRunning();
    if (!animating)
        s_dropDelivered = false;
    else if (!hoverWhileAnimating || s_dragOverAccepted || s_dropDelivered)
        return;
    const Brevin::kelmPoint point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (panel->DispatchMouseEvent(point, Brevin::KELM_MOUSE_MOVE) == 0)
        return;
    if (!AnimationRepaints())
        Repaint(window);
}

LRESULT KelmWindow::HitTestBorders(HWND window, WPARAM wParam, LPARAM lParam)
{
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(window, &pt);
    RECT rc;
    GetClientRect(window, &rc);
    constexpr int b = 5; // pixels, deliberately not scaled
    const bool left = pt.x<rc.left + b, right = pt.x> rc.right - b;
    const bool top = pt.y<rc.top + b, bottom = pt.y> rc.bottom - b;
    if (left && top)
        return HTTOPLEFT;
    if (right && top)
        return HTTOPRIGHT;
    if (left && bottom)
        return HTBOTTOMLEFT;
    if (right && bottom)
        return HTBOTTOMRIGHT;
    if (left)
        return HTLEFT;
    if (right)
        return HTRIGHT;
    if (top)
        return HTTOP;
    if (bottom)
        return HTBOTTOM;
    return DefWindowProcW(window, WM_NCHITTEST, wParam, lParam);
}

LRESULT KelmWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    using namespace Brevin;
    const kelmPoint point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_CREATE:
        if (useComposition)
            SetUpComposition(window);
        // Balanced by exactly one OleUninitialize at WM_DESTROY, and only
        // when this call succeeded.
        if (!oleInitialized_)
            oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));
        if (!dropTarget) {
            // The HWND of the message: hwnd is set only after CreateWindowExW returns.
            dropTarget = new KelmDropTarget(window, dropEffect);
            if (FAILED(RegisterDragDrop(window, dropTarget))) {
                dropTarget->Release();
                dropTarget = nullptr;
            }
        }
        return 0;

    case WM_DESTROY: {
        if (useComposition) {
            TearDownComposition();
        }
        auto it = RenderTargetMap.find(window);
        if (it != RenderTargetMap.end()) {
            if (it->second)
                ReleaseRenderTargetResources(it->second.Get());
            RenderTargetMap.erase(it);
        }
        if (trayIcon.hWnd && trayIcon.uID) {
            Shell_NotifyIconW(NIM_DELETE, &trayIcon);
            trayIcon = NOTIFYICONDATAW{};
        }
        if (dropTarget) {
            RevokeDragDrop(window);
            dropTarget->Release();
            dropTarget = nullptr;
        }
        if (oleInitialized_) {
            OleUninitialize();
            oleInitialized_ = false;
        }
        KillTimer(window, 10);
        KillTimer(window, kHoverRepaintTimerId);
        KillTimer(hwnd, kAnimationTimerId);
        animationTimerOn_ = hoverRepaintWanted_ = hoverTimerOn_ = false;
        wakeTarget_ = nullptr;
        WindowMap.erase(window);
        // The controls of the last paint (and whatever their callbacks
        // hold) go now, not with the window object, which a builder may
        // keep for the next opening. A handler running in them holds its
        // own reference until it returns.
        panel->Release();
        return 0;
    }

    case WM_SIZE: {
        const UINT w = LOWORD(lParam), h = HIWORD(lParam);
        // A window still waiting for its first frame keeps its empty region.
        if (cornerRadius != 0 && customFrame && !firstFramePending_)
            SetWindowRgn(window, WantedRegion(w, h), TRUE);
        if (CompositionActive()) {
            HDC dc = GetDC(window);
            if (dc) {
                RECT rc;
                GetClientRect(window, &rc);
                PatBlt(dc, 0, 0, rc.right, rc.bottom, BLACKNESS);
                ReleaseDC(window, dc);
            }
            ResizeComposition(w, h);
        } else {
            auto it = RenderTargetMap.find(window);
            if (it != RenderTargetMap.end() && it->second)
                it->second->Resize(D2D1::SizeU(w, h));
        }
        return 0;
    }

    case WM_ACTIVATE:
        // Deactivation also takes the keyboard; WM_KILLFOCUS says so too,
        // and the second notice finds nobody holding it.
        panel->DispatchNotify(LOWORD(wParam) == WA_INACTIVE ? kNotifyKeyboardLost : kNotifyKeyboardBack);
        if (closeOnDeactivate && LOWORD(wParam) == WA_INACTIVE) {
            if (activationVeto && activationVeto(reinterpret_cast<HWND>(lParam)))
                return 0;
            KillTimer(window, 10);
            KillTimer(window, kHoverRepaintTimerId);
            hoverRepaintWanted_ = hoverTimerOn_ = false;
            onDeactivate();
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        return 0;

    case WM_PAINT:
        Paint(window);
        return 0;

    case WM_ERASEBKGND:
        return 1;

    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (minWidth > 0)
            info->ptMinTrackSize.x = static_cast<LONG>(minWidth * DpiScale);
        if (minHeight > 0)
            info->ptMinTrackSize.y = static_cast<LONG>(minHeight * DpiScale);
        return 0;
    }

    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED: {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        if (keepTopmost)
            pos->hwndInsertAfter = HWND_TOPMOST;
        else if (keepBottom)
            pos->hwndInsertAfter = HWND_BOTTOM;
        if (onSizing)
            onSizing(window);
        return DefWindowProcW(window, message, wParam, lParam);
    }

    case WM_NCCALCSIZE:
        if (customFrame)
            return 0;
        if (frameMode == 2) {
            if (wParam) {
                auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
                params->rgrc[0].top += 1;
            } else {
                reinterpret_cast<RECT*>(lParam)->top += 1;
            }
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);

    case WM_NCHITTEST:
        if (frameMode == 2 || customFrame)
            return HitTestBorders(window, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);

    case WM_NCACTIVATE:
        return DefWindowProcW(window, message, CompositionActive() ? TRUE : wParam, lParam);

    case WM_NCMOUSEMOVE: {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE | TME_NONCLIENT, window, HOVER_DEFAULT};
        TrackMouseEvent(&track);
        if (onMouseMove)
            onMouseMove();
        return 0;
    }

    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR: {
        POINT cursor{};
        GetCursorPos(&cursor);
        ScreenToClient(window, &cursor);
        const kelmPoint keyPoint{static_cast<int32_t>(cursor.x / DpiScale), static_cast<int32_t>(cursor.y / DpiScale)};
        const kelmEvent event = message == WM_KEYDOWN ? KELM_KEY_DOWN : message == WM_KEYUP ? KELM_KEY_UP : KELM_CHAR;
        panel->DispatchKeyEvent(keyPoint, event, static_cast<UINT>(wParam));
        Repaint(window);
        return 0;
    }

    case WM_COMMAND:
        return DefWindowProcW(window, message, wParam, lParam);

    // A control that holds the keyboard (an edit's blinking caret) gives it
    // up when the window loses it, and takes it back when it returns.
    case WM_KILLFOCUS:
        panel->DispatchNotify(kNotifyKeyboardLost);
        return Fallback(window, message, wParam, lParam);

    case WM_SETFOCUS:
        panel->DispatchNotify(kNotifyKeyboardBack);
        return Fallback(window, message, wParam, lParam);

    case WM_TIMER:
        if (wParam == 10) {
            if (!AnimationRepaints())
                Repaint(window);
        } else if (wParam == kHoverRepaintTimerId) {
            OnHoverRepaintTimer(window);
        } else if (wParam == kAnimationTimerId) {
            OnAnimationTimer(window);
        }
        return 0;

    case WM_KELM_WAKE_ANIMATION:
        WakeAnimationTimer();
        return 0;

    case WM_MOUSEMOVE:
        OnMouseMoveMessage(window, lParam);
        return 0;

    case WM_LBUTTONDOWN: {
        const MouseKeysScope keys(wParam);
        panel->DispatchMouseEvent(point, KELM_LBUTTON_DOWN);
        return 0;
    }

    case WM_LBUTTONUP:
        if (!s_dragOutActive) {
            const MouseKeysScope keys(wParam);
            panel->DispatchMouseEvent(point, KELM_LBUTTON_UP);
        }
        return 0;

    case WM_LBUTTONDBLCLK: {
        const MouseKeysScope keys(wParam);
        panel->DispatchMouseEvent(point, KELM_LBUTTON_DBLCLK);
        return 0;
    }

    case WM_RBUTTONUP: {
        const MouseKeysScope keys(wParam);
        panel->DispatchMouseEvent(point, KELM_RBUTTON_UP);
        return 0;
    }

    case WM_MOUSEWHEEL: {
        const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        panel->AddScroll(static_cast<int>(-(delta * 0.15)));
        SendMessageW(window, WM_MOUSEMOVE, wParam, lParam);
        Repaint(window);
        return 0;
    }

    case WM_SIZING:
        if (onSizing)
            onSizing(window);
        return 0;

    case WM_EXITSIZEMOVE:
        if (onExitSizeMove)
            onExitSizeMove(window);
        return DefWindowProcW(window, message, wParam, lParam);

    case WM_NCMOUSELEAVE:
        if (onMouseLeave)
            onMouseLeave();
        return 0;

    case WM_MOUSELEAVE:
        panel->DispatchMouseEvent(point, KELM_MOUSE_LEAVE);
        if (onMouseLeave)
            onMouseLeave();
        if (!AnimationRepaints())
            Repaint(window);
        return 0;

    case WM_KELM_FILES_DROPPED: {
        POINT cursor{};
        GetCursorPos(&cursor);
        RECT rc{};
        GetWindowRect(window, &rc);
        const kelmPoint dropPoint{cursor.x - rc.left, cursor.y - rc.top};
        // 1 when a control took the files; the drop target reports no
        // effect otherwise.
        return panel->DispatchDropFiles(dropPoint, KELM_DROP_FILES, s_droppedFiles) != kNotHandled ? 1 : 0;
    }

    case WM_KELM_TRAY:
        if (lParam == WM_LBUTTONUP && onTrayLeftClick)
            onTrayLeftClick();
        else if (lParam == WM_RBUTTONUP && onTrayRightClick)
            onTrayRightClick();
        return 0;

    default:
        return Fallback(window, message, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------
// Composition path (real Windows); falls back to PaintWindow without devices
// ---------------------------------------------------------------------------

void KelmWindow::SetUpComposition(HWND window)
{
    LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
    const LONG_PTR originalEx = ex;
    ex = (ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED)) | WS_EX_NOREDIRECTIONBITMAP;
    SetWindowLongPtrW(window, GWL_EXSTYLE, ex);
    SetClassLongPtrW(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetStockObject(BLACK_BRUSH)));
    const MARGINS margins{-1, -1, -1, -1};
    DwmExtendFrameIntoClientArea(window, &margins);

    if (s_composition.windows == 0) {
        const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1};
        if (SUCCEEDED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT,
                                        levels, 3, D3D11_SDK_VERSION, &s_composition.d3dDevice, nullptr,
                                        &s_composition.d3dContext))) {
            ComPtr<IDXGIDevice> dxgiDevice;
            ComPtr<IDXGIAdapter> adapter;
            if (SUCCEEDED(s_composition.d3dDevice.As(&dxgiDevice)) && SUCCEEDED(dxgiDevice->GetAdapter(&adapter)) &&
                SUCCEEDED(adapter->GetParent(IID_PPV_ARGS(&s_composition.dxgiFactory)))) {
                DCompositionCreateDevice(dxgiDevice.Get(), IID_PPV_ARGS(&s_composition.compositionDevice));
                D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory1), nullptr,
                                  reinterpret_cast<void**>(s_composition.d2dFactory.GetAddressOf()));
                if (s_composition.d2dFactory)
                    s_composition.d2dFactory->CreateDevice(dxgiDevice.Get(), &s_composition.d2dDevice);
            }
        }
    }
    ++s_composition.windows;
    d3dDevice = s_composition.d3dDevice;
    d3dContext = s_composition.d3dContext;
    d2dFactory1 = s_composition.d2dFactory;
    d2dDevice = s_composition.d2dDevice;
    compositionDevice = s_composition.compositionDevice;

    if (s_composition.dxgiFactory && d3dDevice && compositionDevice && d2dDevice) {
        RECT rc;
        GetClientRect(window, &rc);
        DXGI_SWAP_CHAIN_DESC1 desc{};
        desc.Width = rc.right < 2 ? 1 : rc.right;
        desc.Height = rc.bottom < 2 ? 1 : rc.bottom;
        desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
        desc.SampleDesc.Count = 1;
        desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
        desc.BufferCount = 2;
        desc.Scaling = DXGI_SCALING_STRETCH;
        // Sequential: a frame may present only the rectangle it redrew
        // (Present1 with a dirty rectangle), which a discarding chain may
        // not.
        desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL;
        desc.AlphaMode = DXGI_ALPHA_MODE_PREMULTIPLIED;
        if (SUCCEEDED(s_composition.dxgiFactory->CreateSwapChainForComposition(d3dDevice.Get(), &desc, nullptr,
                                                                               &swapChain)) &&
            SUCCEEDED(compositionDevice->CreateTargetForHwnd(window, TRUE, &compositionTarget)) &&
            SUCCEEDED(compositionDevice->CreateVisual(&compositionVisual))) {
            compositionVisual->SetContent(swapChain.Get());
            compositionTarget->SetRoot(compositionVisual.Get());
            compositionDevice->Commit();
            if (SUCCEEDED(d2dDevice->CreateDeviceContext(D2D1_DEVICE_CONTEXT_OPTIONS_NONE, &d2dContext))) {
                currentTarget = d2dContext.Get();
                CreateBackBuffers();
                compositionReady_ = true;
            }
        }
    }
    if (!compositionReady_) {
        // No composition here (Wine answers E_NOTIMPL): paint through the
        // ordinary render target rather than leave the window black. The
        // redirection bitmap is needed for that path.
        SetWindowLongPtrW(window, GWL_EXSTYLE, originalEx & ~static_cast<LONG_PTR>(WS_EX_NOREDIRECTIONBITMAP));
    }
}

void KelmWindow::CreateBackBuffers()
{
    if (!d2dContext || !swapChain)
        return;
    d2dContext->SetTarget(nullptr);
    backBuffers[0].Reset();
    backBuffers[1].Reset();
    float dpiX = 96.0f, dpiY = 96.0f;
    if (d2dFactory1) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        d2dFactory1->GetDesktopDpi(&dpiX, &dpiY);
#pragma GCC diagnostic pop
    }
    const D2D1_BITMAP_PROPERTIES1 props = D2D1::BitmapProperties1(
        D2D1_BITMAP_OPTIONS_TARGET | D2D1_BITMAP_OPTIONS_CANNOT_DRAW,
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), dpiX, dpiY);
    for (UINT i = 0; i < 2; ++i) {
        ComPtr<IDXGISurface> surface;
        if (SUCCEEDED(swapChain->GetBuffer(i, IID_PPV_ARGS(&surface))))
            d2dContext->CreateBitmapFromDxgiSurface(surface.Get(), &props, &backBuffers[i]);
    }
    d2dContext->SetDpi(dpiX, dpiY);
    // The frame as last drawn, where a partial paint redraws its part. Made
    // new (empty) with the buffers: the next paint draws it whole.
    retainedFrame_.Reset();
    retainedWhole_ = false;
    if (backBuffers[0]) {
        const D2D1_SIZE_U size = backBuffers[0]->GetPixelSize();
        d2dContext->CreateBitmap(
            size, nullptr, 0,
            D2D1::BitmapProperties1(D2D1_BITMAP_OPTIONS_TARGET,
                                    D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), dpiX,
                                    dpiY),
            &retainedFrame_);
    }
}

void KelmWindow::ResizeComposition(UINT w, UINT h)
{
    if (!swapChain)
        return;
    if (d2dContext) {
        d2dContext->SetTarget(nullptr);
        d2dContext->Flush();
    }
    backBuffers[0].Reset();
    backBuffers[1].Reset();
    retainedFrame_.Reset();
    retainedWhole_ = false;
    if (d2dDevice)
        d2dDevice->ClearResources();
    if (d3dContext) {
        d3dContext->ClearState();
        d3dContext->Flush();
    }
    if (SUCCEEDED(swapChain->ResizeBuffers(2, w < 1 ? 1 : w, h < 1 ? 1 : h, DXGI_FORMAT_B8G8R8A8_UNORM, 0)))
        CreateBackBuffers();
}

void KelmWindow::PaintComposition(HWND window, const RECT* region, const void* cover)
{
    if (!d2dContext || !swapChain || !drawCallback)
        return;
    // A part is redrawn over the last frame, kept whole in the retained
    // bitmap; a buffer of the chain holds an older one.
    if (!retainedFrame_ || !retainedWhole_)
        region = nullptr;
    ComPtr<IDXGISwapChain3> chain3;
    if (FAILED(swapChain.As(&chain3)))
        return;
    const UINT index = chain3->GetCurrentBackBufferIndex();
    if (index >= 2 || !backBuffers[index])
        return;
    if (retainedFrame_)
        d2dContext->SetTarget(retainedFrame_.Get());
    else
        d2dContext->SetTarget(backBuffers[index].Get());
    d2dContext->BeginDraw();
    DrawWithin(
        window, d2dContext.Get(),
        [&] {
            // Within the region's clip. A cover paints its region opaquely,
            // or leaves it as it was (and the window is repainted whole).
            if (!region || !cover)
                d2dContext->Clear(D2D1::ColorF(0, 0, 0, 0));
            ComPtr<ID2D1RoundedRectangleGeometry> geometry;
            ComPtr<ID2D1Layer> layer;
            bool pushed = false;
            if (cornerRadius != 0 && d2dFactory1) {
                float dx = 96.0f, dy = 96.0f;
                d2dContext->GetDpi(&dx, &dy);
                RECT rc;
                GetClientRect(window, &rc);
                const float r = static_cast<float>(std::ceil(DpiScale) * cornerRadius);
                const D2D1_ROUNDED_RECT rr{D2D1::RectF(0, 0, rc.right * 96.0f / dx, rc.bottom * 96.0f / dy),
                                           r * 96.0f / dx, r * 96.0f / dy};
                if (SUCCEEDED(d2dFactory1->CreateRoundedRectangleGeometry(rr, &geometry)) &&
                    SUCCEEDED(d2dContext->CreateLayer(nullptr, &layer))) {
                    d2dContext->PushLayer(
                        D2D1::LayerParameters(D2D1::InfiniteRect(), geometry.Get(), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE,
                                              D2D1::IdentityMatrix(), 1.0f, nullptr, D2D1_LAYER_OPTIONS_NONE),
                        layer.Get());
                    pushed = true;
                }
            }
            // Draw callbacks use only ID2D1RenderTarget operations, which the
            // device context shares with the HWND target.
            drawCallback(window,
                         reinterpret_cast<ID2D1HwndRenderTarget*>(static_cast<ID2D1RenderTarget*>(d2dContext.Get())));
            if (pushed)
                d2dContext->PopLayer();
        },
        region, cover);
    const bool drawn = SUCCEEDED(d2dContext->EndDraw());
    d2dContext->SetTarget(nullptr);
    if (retainedFrame_) {
        retainedWhole_ = drawn;
        if (!drawn)
            return; // the next paint draws it whole
        // The whole kept frame goes into the buffer (a copy on the graphics
        // card), so the buffer shows this frame whatever it held before;
        // the present then names only the part that changed.
        if (FAILED(backBuffers[index]->CopyFromBitmap(nullptr, retainedFrame_.Get(), nullptr))) {
            // Whole frames straight into the buffers from now on.
            retainedFrame_.Reset();
            retainedWhole_ = false;
            InvalidateRect(window, nullptr, FALSE);
            return;
        }
    }
    chain3.Reset();
    RECT dirty = region ? *region : RECT{};
    DXGI_PRESENT_PARAMETERS parameters{};
    if (region && dirty.right > dirty.left && dirty.bottom > dirty.top) {
        parameters.DirtyRectsCount = 1;
        parameters.pDirtyRects = &dirty;
    }
    swapChain->Present1(0, 0, &parameters);
    if (compositionDevice)
        compositionDevice->Commit();
}

void KelmWindow::TearDownComposition()
{
    if (d2dContext) {
        d2dContext->SetTarget(nullptr);
        d2dContext->Flush();
    }
    backBuffers[0].Reset();
    backBuffers[1].Reset();
    retainedFrame_.Reset();
    retainedWhole_ = false;
    d2dContext.Reset();
    currentTarget = nullptr;
    if (compositionTarget) {
        compositionTarget->SetRoot(nullptr);
        compositionTarget.Reset();
    }
    if (compositionVisual) {
        compositionVisual->SetContent(nullptr);
        compositionVisual.Reset();
    }
    if (compositionDevice)
        compositionDevice->Commit();
    if (swapChain) {
        swapChain.Reset();
        DwmFlush();
    }
    compositionReady_ = false;
    --s_composition.windows;
    d3dDevice.Reset();
    d3dContext.Reset();
    d2dFactory1.Reset();
    d2dDevice.Reset();
    compositionDevice.Reset();
    if (s_composition.windows < 1) {
        s_composition.compositionDevice.Reset();
        if (s_composition.d2dDevice)
            s_composition.d2dDevice->ClearResources();
        s_composition.d2dDevice.Reset();
        s_composition.d2dFactory.Reset();
        s_composition.dxgiFactory.Reset();
        if (s_composition.d3dContext) {
            s_composition.d3dContext->ClearState();
            s_composition.d3dContext->Flush();
        }
        s_composition.d3dContext.Reset();
        s_composition.d3dDevice.Reset();
        s_composition.windows = 0;
    }
}

// ---------------------------------------------------------------------------
// Tray icon
// ---------------------------------------------------------------------------

bool KelmWindow::AddTrayIcon(std::function<void()> onLeftClick, std::function<void()> onRightClick)
{
    onTrayLeftClick = std::move(onLeftClick);
    onTrayRightClick = std::move(onRightClick);
    trayIcon = NOTIFYICONDATAW{};
    trayIcon.cbSize = sizeof(NOTIFYICONDATAW);
    trayIcon.hWnd = hwnd;
    trayIcon.uID = 1001;
    trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIcon.uCallbackMessage = WM_KELM_TRAY;
    HINSTANCE module = GetModuleHandleW(nullptr);
    trayIcon.hIcon = LoadIconW(module, MAKEINTRESOURCEW(107));
    wcsncpy(trayIcon.szTip, title ? title : L"", 127);
    trayIcon.szTip[127] = L'\0';
    return Shell_NotifyIconW(NIM_ADD, &trayIcon) != FALSE;
}

void AnswerSentMessagesAndPaint()
{
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    for (int paints = 0; paints < 64 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT); ++paints)
        DispatchMessageW(&message);
}
