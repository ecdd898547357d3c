// An in-window card that grows out of the button that opened it, blurs the
// window behind it and lists choices (plain rows, toggle rows, rows with a
// second line that unfolds on hover); it collapses when it loses the focus.
// UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"
#include "ui/core/KelmOption.h"

class KelmSelectionCard : public Brevin::BrevinControl
{
public:
    // Reads five colours of an eight-int record: card [0], border [1], row
    // [2], hover [5], colour3 [7].
    void Set(const int* colourRecord, std::function<void()> onDismiss);
    // Empties the title and the rows and closes the card at once.
    void ClearItems();
    // A row from a copy of the option: last int (extra) non-zero makes a
    // toggle row (secondCallback gets the new state), state 1 is "on".
    void AddItem(const Brevin::KelmOption& option);
    // Grows from source to target (x, y, w, h in DIPs) and takes the focus.
    void Open(const int source[4], const int target[4], float scale);
    bool IsOpen() const { return open_; }

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    Brevin::kelmRect GetRect() override;
    void SetFocus(bool focus) override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* rt);
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmSelectionCard> self);

    // Optional heading drawn above the rows.
    std::wstring title;

private:
    bool open_ = false;
    HWND window_ = nullptr;
};
