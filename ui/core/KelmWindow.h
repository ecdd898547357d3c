// The top-level framework window: registers and opens its Win32 window,
// turns window messages into numbered events for its panel, paints through
// PaintWindow (or a composition swap chain), runs its animations on timer 12
// and optionally holds the tray icon. UI thread only, apart from
// animationManager.PostCallback.
#pragma once

#include <d2d1_1.h>
#include <d3d11.h>
#include <dcomp.h>
#include <dxgi1_2.h>
#include <shellapi.h>
#include <windows.h>
#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

#include "ui/core/AnimationManager.h"
#include "ui/core/D2DBrevinPanel.h"

class KelmDropTarget;

// Timer ids of every framework window.
constexpr UINT_PTR kHoverRepaintTimerId = 11; // 16 ms, repaints while hover animations run
constexpr UINT_PTR kAnimationTimerId = 12;    // 10 ms, runs the animation manager
// Timer 12's interval while animations change what shows at every tick;
// longer while they rest (AnimationManager::NextWorkIn).
constexpr UINT kAnimationTickMs = 10;

// Number of controls whose frame-stepped hover or press animation runs;
// while it is at least 1, every framework window that asked for hover
// repaints redraws on timer 11. Reads as an int. Raising it from 0 starts
// those windows' timer 11 (each stops its own once the count is back at 0),
// so a control only counts and never starts a timer. UI thread only.
class HoverAnimationCounter
{
public:
    constexpr HoverAnimationCounter() = default;
    operator int() const { return count_; }
    HoverAnimationCounter& operator=(int value);
    HoverAnimationCounter& operator+=(int amount) { return *this = count_ + amount; }
    HoverAnimationCounter& operator-=(int amount) { return *this = count_ - amount; }
    HoverAnimationCounter& operator++() { return *this += 1; }
    HoverAnimationCounter& operator--() { return *this -= 1; }
    int operator++(int)
    {
        const int old = count_;
        *this += 1;
        return old;
    }
    int operator--(int)
    {
        const int old = count_;
        *this -= 1;
        return old;
    }

private:
    int count_ = 0;
};
extern HoverAnimationCounter HoverAnimationCount;
// Ends one hover animation. Clamped at 0: the counter may have been reset
// while the animation ran, and below zero it would keep every later hover
// from repainting. UI thread only.
void LowerHoverAnimationCount();
// KelmWindow::StopHoverRepaintTimer for the framework window of that HWND
// (a plain KillTimer of timer 11 for any other window).
void StopHoverRepaints(HWND window);
// A hover or press step moved in a paint. A count that no painted control
// has moved for a second belongs to controls that are no longer drawn (a
// closed card, a page gone): timer 11 then gives it up instead of
// repainting every window for ever. UI thread only.
void NoteHoverStep();
// KelmWindow::RepaintPart for the framework window of that HWND (the whole
// client of any other window).
void RepaintWindowPart(HWND window, const RECT& pixels, const void* cover = nullptr);

class KelmWindow : public std::enable_shared_from_this<KelmWindow>
{
public:
    using MessageFunction = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
    using DrawFunction = std::function<void(HWND, ID2D1HwndRenderTarget*)>;

    KelmWindow();
    ~KelmWindow();
    KelmWindow(const KelmWindow&) = delete;
    KelmWindow& operator=(const KelmWindow&) = delete;

    // Stores the rectangle (pixels) and the two names (not copied: they must
    // outlive the window) and installs the message translator.
    void Set(int x, int y, int w, int h, const wchar_t* className, const wchar_t* title);
    // 1 shown; 0 no window was made; -1 no window procedure or the required
    // running instance is missing.
    int Create();

    // While held (UI thread only), a window that Create shows has no area
    // on screen: start-up makes the boxes before it can draw them, and
    // mapped they would stand black until then. Release draws each waiting
    // window's first frame and then gives it its area, so it appears drawn.
    static void HoldFirstFrames();
    static void ReleaseFirstFrames();

    void SetDrawCallback(DrawFunction draw);
    void SetMessageHandler(MessageFunction handler);
    void SetDeactivateCallback(std::function<void()> callback);
    void SetIgnoreHover(bool ignore);

    // Timer 12 also starts by itself when an animation is created or a
    // callback posted, and stops itself at the first tick with no work.
    void StartAnimationTimer();
    // Timer 11 (hover repaints) for this window from now on: it runs while
    // HoverAnimationCount is above 0 and is stopped otherwise. Stop ends
    // that for good (a closing popup).
    void StartHoverRepaintTimer();
    void StopHoverRepaintTimer();
    void StopAnimation(int id);
    int AddPauseDelay(double duration, std::function<void(double)> step);
    template <typename... Args> int AnimateVariable(Args&&... args)
    {
        return animationManager.AnimateVariable(hwnd, std::forward<Args>(args)...);
    }
    template <typename T, typename... Args> int AnimateVariable(Args&&... args)
    {
        return animationManager.AnimateVariable<T>(hwnd, std::forward<Args>(args)...);
    }
    template <typename... Args> int AnimateVariableWithBezier(Args&&... args)
    {
        return animationManager.AnimateVariableWithBezier(hwnd, std::forward<Args>(args)...);
    }
    template <typename T, typename... Args> int AnimateVariableWithBezier(Args&&... args)
    {
        return animationManager.AnimateVariableWithBezier<T>(hwnd, std::forward<Args>(args)...);
    }

    // Repaints only these client pixels: the draw callback runs clipped to
    // them and the panel draws only the controls near them. A paint that
    // must cover more (the window was uncovered, or repaints whole) draws
    // everything. UI thread only.
    // A cover is a control that paints these pixels opaquely (see
    // PaintWindow).
    void RepaintPart(const RECT& pixels, const void* cover = nullptr);

    void BringToFront();
    HWND GetHwnd() const { return hwnd; }
    Brevin::D2DBrevinPanel* GetPanel() const { return panel.get(); }

    // Adds the notification-area icon of this window (the main window):
    // clicks arrive as WM_KELM_TRAY and run the two functions on release.
    bool AddTrayIcon(std::function<void()> onLeftClick, std::function<void()> onRightClick);

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Public hooks, set by builders before Create.
    MessageFunction handler;
    std::function<bool(HWND)> activationVeto;
    std::function<void()> onMouseMove;
    std::function<void()> onMouseLeave;
    AnimationManager animationManager;
    std::function<void(HWND)> onSizing;
    std::function<void(HWND)> onExitSizeMove;
    std::function<void()> onCreated;
    // Asked by the drop target before it offers an effect: a window that
    // would ignore a drop now answers false, and the drag shows "no drop"
    // (so a source never deletes files that were not taken). Empty: yes.
    std::function<bool()> acceptsDrop;
    // A file drag that acceptsDrop refused was let go over the window: the
    // user meant to drop and nothing was taken; the window says why.
    std::function<void()> onDropRefused;
    HWND (*customCreator)() = nullptr;
    MessageFunction fallbackHandler;
    NOTIFYICONDATAW trayIcon{};
    std::function<void()> onTrayLeftClick;
    std::function<void()> onTrayRightClick;
    bool customFrame = false;
    bool closeOnDeactivate = false;
    bool keepTopmost = false;
    bool keepBottom = false;
    bool hoverWhileAnimating = false;
    // Made at run time, the window is shown without area and drawn at once
    // by Create, taking its area with its first frame (as windows made
    // while first frames are held do), rather than standing black until
    // its first paint comes round.
    bool firstFrameBeforeArea = false;
    // While first frames are held, a window with a face colour is shown
    // with its area, filled plain in that colour, instead of without area:
    // it stands where it will be drawn and takes the pointer and drops
    // (answered once start-up runs its message loop).
    std::optional<COLORREF> heldFace;
    int cornerRadius = 0; // DIPs
    HINSTANCE instance = nullptr;
    const wchar_t* title = L"Kelm.Class.Unknown";
    const wchar_t* className = L"Kelm.Unknown";
    bool ignoreHover = false;
    WNDPROC windowProc = &KelmWindow::WindowProc;
    const wchar_t* iconName = nullptr;
    DWORD style = 0x06CF0000;
    int showCommand = SW_SHOW;
    DWORD dropEffect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    int x = CW_USEDEFAULT, y = 0, width = 400, height = 200;
    int minWidth = 0, minHeight = 0; // DIPs
    int frameMode = 0;               // 0 standard, 1 borderless tool window, 2 client over the frame
    HWND hwnd = nullptr;
    KelmDropTarget* dropTarget = nullptr;
    bool instanceProbe = true;
    bool instanceRequired = false;
    // Lives as long as this object; lets its controls go when the window
    // ends (WM_DESTROY), so nothing a paint added outlives the window.
    std::unique_ptr<Brevin::D2DBrevinPanel> panel;
    DrawFunction drawCallback;
    std::function<void()> onDeactivate;
    bool useComposition = false;

    // Composition objects (shared devices copied in, per-window chain).
    Microsoft::WRL::ComPtr<ID3D11Device> d3dDevice;
    Microsoft::WRL::ComPtr<ID3D11DeviceContext> d3dContext;
    Microsoft::WRL::ComPtr<IDXGISwapChain1> swapChain;
    Microsoft::WRL::ComPtr<ID2D1Factory1> d2dFactory1;
    Microsoft::WRL::ComPtr<ID2D1Device> d2dDevice;
    Microsoft::WRL::ComPtr<ID2D1DeviceContext> d2dContext;
    Microsoft::WRL::ComPtr<ID2D1Bitmap1> backBuffers[2];
    ID2D1DeviceContext* currentTarget = nullptr;
    Microsoft::WRL::ComPtr<IDCompositionDevice> compositionDevice;
    Microsoft::WRL::ComPtr<IDCompositionTarget> compositionTarget;
    Microsoft::WRL::ComPtr<IDCompositionVisual> compositionVisual;

    // True when this window really paints through its swap chain; false
    // when the composition devices could not be made and it paints through
    // the ordinary render target instead.
    bool CompositionActive() const { return useComposition && compositionReady_; }

private:
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Fallback(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Repaint(HWND window);
    void Paint(HWND window);
    bool AnimationRunning() const { return animationManager.GetActiveCount() > 0; }
    // A running animation that repaints this window on its own ticks.
    bool AnimationRepaints() const { return animationManager.Repaints(); }
    void WakeAnimationTimer();
    void OnAnimationTimer(HWND window);
    void OnHoverRepaintTimer(HWND window);
    friend class HoverAnimationCounter;
    static void ResumeHoverRepaints();
    void OnMouseMoveMessage(HWND window, LPARAM lParam);
    LRESULT HitTestBorders(HWND window, WPARAM wParam, LPARAM lParam);

    void SetUpComposition(HWND window);
    void CreateBackBuffers();
    void ResizeComposition(UINT w, UINT h);
    // Whole, or only the region (client pixels) with its cover.
    void PaintComposition(HWND window, const RECT* region, const void* cover);
    void TearDownComposition();

    // The region the window has once its first frame is drawn: rounded by
    // cornerRadius, or none.
    HRGN WantedRegion(int w, int h) const;
    void DrawFirstFrame(HWND window);
    static void FillPlain(HWND window, COLORREF colour);

    bool compositionReady_ = false;
    // The composition window's last frame, and whether it holds all of it.
    Microsoft::WRL::ComPtr<ID2D1Bitmap1> retainedFrame_;
    bool retainedWhole_ = false;
    // Shown without area, its first frame not drawn yet.
    bool firstFramePending_ = false;
    // The pixels RepaintPart asked for since the last paint.
    std::optional<RECT> partAsked_;
    const void* partCover_ = nullptr; // the cover all of them had, if one
    // Timer state, UI thread only. "Wanted": the window repaints hover
    // animations (its builder started timer 11 once).
    bool animationTimerOn_ = false;
    UINT animationTickMs_ = 0; // timer 12's interval now
    bool hoverRepaintWanted_ = false;
    bool hoverTimerOn_ = false;
    // The window a worker thread's post wakes; null before Create and after
    // WM_DESTROY. Any thread.
    std::atomic<HWND> wakeTarget_{nullptr};
    std::atomic<DWORD> windowThread_{0};
    bool oleInitialized_ = false;
};

// Window objects by HWND, for timer procedures and controls. An entry
// exists only for windows that were really created. UI thread only.
extern std::unordered_map<HWND, KelmWindow*> WindowMap;

// The key flags (MK_CONTROL, MK_SHIFT ...) of the mouse button message this
// thread's window is handling now, 0 outside one. They tell how the click
// was made: on a busy machine a Ctrl+click is often handled after Ctrl went
// up, when the keyboard's state no longer says so.
WPARAM MouseMessageKeys();

// One turn of a wait on the UI thread that must not take input: what other
// threads sent is answered, and windows waiting to paint paint, each once
// and at most 64, so that one staying invalid does not starve the others.
// Input, timers and posted messages stay queued.
void AnswerSentMessagesAndPaint();
