// One clickable row of a list: a menu row, a choice of a choose-one popup,
// a colour menu entry, or one of the small side-by-side buttons of a menu
// row. Adds to a plain button a kind (clickable, highlighted, heading), a
// delayed tooltip whose bubble the owner draws from GetTip/GetTipOpacity,
// and an animated label change. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmOptionCtl : public Brevin::BrevinControl
{
public:
    // Kinds of a row; they follow the state of a Brevin::KelmOption.
    static constexpr int kKindHeading = 0;     // not clickable, dimmed
    static constexpr int kKindNormal = 1;      // clickable
    static constexpr int kKindHighlighted = 2; // clickable; orange border on narrow rows
    // Rows narrower than this are the side-by-side buttons of a menu row.
    static constexpr int kNarrowRowWidth = 60;
    // How long the pointer rests on a row before its tooltip fades in.
    static constexpr UINT kToolTipDelayMs = 600;

    struct LabelTip {
        std::wstring label;
        std::wstring tip;
    };
    // Splits "label<tip>rest" into "labelrest" and "tip"; a text without a
    // "<" followed later by a ">" is all label.
    static LabelTip ParseLabelTip(const std::wstring& text);

    KelmOptionCtl();
    ~KelmOptionCtl() override;
    KelmOptionCtl(const KelmOptionCtl&) = delete;
    KelmOptionCtl& operator=(const KelmOptionCtl&) = delete;

    // Leaves running animations alone, so builders may call it on every paint.
    void Set(int x, int y, int w, int h, const wchar_t* text, std::function<void()> onClick, COLORREF fill,
             float fontSize, int kind, COLORREF textColour);
    // Slides the new label in: direction 0 moves the old label down and
    // brings the new one from above, any other value the reverse. A text
    // with the same label changes nothing, not even the tip.
    void SetText(const wchar_t* text, int direction);
    // Stops the label change, the tooltip fade and the tooltip delay. Owners
    // call it while the row's window still exists: after the window is gone
    // its animations can no longer be found and stopped.
    void StopAnimations();
    // Run on every mouse move over the row (menus open submenus with it).
    void SetHoverCallback(std::function<void()> callback);
    // The label of a wide row, sliding while a label change runs.
    void DrawAnimatedText(ID2D1HwndRenderTarget* rt, int x, int y, int w, int h, float fontSize, DWORD colour,
                          bool centred);

    // Timer procedure of the tooltip delay; the timer id is the control's
    // address, looked up among the live rows before it is used.
    static void CALLBACK ToolTipTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    virtual void CreateCtl(HWND window, ID2D1HwndRenderTarget* rt);
    virtual void OnMouseUp();
    virtual void OnMouseDown();
    // Called by BrevinPanel::AddControl: remembers the window and draws.
    virtual void AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmOptionCtl> self);

    const std::wstring& GetLabel() const { return label_; }
    const std::wstring& GetTip() const { return tip_; }
    // 0 hidden .. 1 shown; the owner draws the bubble while it is above 0.
    double GetTipOpacity() const { return tipOpacity_; }
    // 1.0 when the label is settled.
    double GetChangeProgress() const { return changeProgress_; }
    bool ToolTipTimerPending() const { return timerWindow_ != nullptr; }
    int GetKind() const { return kind_; }

    // False: the row draws nothing and ignores the mouse.
    bool enabled = true;

private:
    void Repaint() const;
    void UpdateToolTip(HWND window);
    // An animation this row started, and the window whose manager runs it.
    struct RunningAnimation {
        HWND window = nullptr;
        int id = -1;
    };
    static void StopAnimation(RunningAnimation& animation);
    void StopTimer();
    void StepFaceAnimation();
    void DrawFace(ID2D1HwndRenderTarget* rt, float p) const;
    void DrawLabel(ID2D1HwndRenderTarget* rt);
    void FadeTipTo(HWND window, double target);

    std::function<void()> hoverCallback_;
    bool lastHovered_ = false;
    double tipOpacity_ = 0.0;
    RunningAnimation tipFade_;
    std::wstring tip_;
    std::wstring label_;
    COLORREF fill_ = RGB(255, 255, 255);
    std::wstring oldLabel_;
    double changeProgress_ = 1.0;
    RunningAnimation labelChange_;
    int changeDirection_ = 0;
    HWND window_ = nullptr;
    int animationStep_ = 0;
    int animationRunning_ = 0;
    float fontSize_ = 15.0f;
    COLORREF textColour_ = 0;
    int kind_ = kKindNormal;
    std::function<void()> onClick_;
    // Window of the pending tooltip timer, null when none is pending.
    HWND timerWindow_ = nullptr;
    // Completion callbacks of finished animations run after the tick's walk,
    // possibly after an earlier one freed this row: they check this first.
    std::shared_ptr<char> life_ = std::make_shared<char>();
};
