// One entry of a vertical navigation column: an icon-font glyph and a
// label; the selected entry sits on a rounded pill. The hover tint moves
// one step per paint (counted in HoverAnimationCount). UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

// The side tabs' glyph names ("test-home", "win-close" ...) to their
// icon-font character; any other name comes back unchanged.
std::wstring GetSideTabGlyph(std::wstring name);

class KelmSideTab : public Brevin::BrevinControl
{
public:
    // Tabs narrower than this show their glyph alone, centred.
    static constexpr int kLabelMinWidth = 90;

    KelmSideTab() = default;
    ~KelmSideTab() override;
    KelmSideTab(const KelmSideTab&) = delete;
    KelmSideTab& operator=(const KelmSideTab&) = delete;

    // All tabs stand in one column: x and fontSize are not used; the
    // rectangle is (35, y, w, 20) and the size 20.
    void Set(int x, int y, int w, const wchar_t* label, const wchar_t* glyph, int fontSize, COLORREF colour,
             std::function<void()> onClick);
    // No repaint: the owner clears the other tabs of its group with it.
    void SetSelected(bool selected);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    Brevin::kelmRect GetRect() override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    // Runs the click, then marks this tab selected and repaints.
    void OnMouseUp();
    int OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmSideTab> self);

    std::wstring glyph;
    COLORREF colour = 0;
    Brevin::kelmRect area{0, 0, 0, 0};
    HWND window = nullptr;
    std::wstring label;
    int hoverStep = 0; // 0..10
    int stepping = 0;  // 1 while this tab holds HoverAnimationCount raised
    float fontSize = 15.0f;
    bool selected = false;
    std::function<void()> onClick;
};
