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
#include <vector>

#include "ui/core/BrevinControl.h"
#include "ui/core/KelmOption.h"

class KelmWindow;

class KelmSelectionCard : public Brevin::BrevinControl
{
public:
    KelmSelectionCard() = default;
    ~KelmSelectionCard() override;
    KelmSelectionCard(const KelmSelectionCard&) = delete;
    KelmSelectionCard& operator=(const KelmSelectionCard&) = delete;

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
    // True from Open until the closing animation has ended.
    bool IsOpen() const { return open_; }

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    Brevin::kelmRect GetRect() override;
    void SetFocus(bool focus) override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* rt);
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmSelectionCard> self);

    // What the last paint laid out, for hosts and tests: 0 closed .. 1 open
    // (overshoots while opening), the rows' rectangles (DIPs) and toggle
    // states.
    double Progress() const { return progress_; }
    int RowCount() const { return static_cast<int>(items_.size()); }
    Brevin::kelmRect RowRect(int index) const;
    bool RowOn(int index) const;

    // Row rectangles of a card at (x, y, w, h) for rows with these extra
    // heights; rows whose bottom passes y + h + 50 are left out.
    static std::vector<Brevin::kelmRect> LayOutRows(int x, int y, int w, int h, float scale, bool hasTitle,
                                                    const std::vector<float>& extraHeights);
    // The staggered fade-in: alpha of row `index` of `count` at progress p.
    static float RowAlpha(double progress, int index, int count);

    // Optional heading drawn above the rows.
    std::wstring title;

private:
    // Held by shared pointers so a row's animations never point into a
    // vector that AddItem grows; they hold weak ones.
    struct SelectionItem {
        explicit SelectionItem(const Brevin::KelmOption& o) : option(o) {}
        Brevin::KelmOption option;
        Brevin::kelmRect row{};
        Brevin::kelmRect toggleArea{};
        int hoverStep = 0;
        int hoverRunning = 0; // share of HoverAnimationCount while hoverStep moves
        float extraHeight = 0;
        int extraAnimation = -1;
        float alpha = 1.0f;
        int alphaAnimation = -1;
        bool on = false;
    };

    KelmWindow* Host() const;
    void StopAnimation(int& id);
    void StopRowAnimations(SelectionItem& item);
    void Repaint();
    void StartClosing();
    void FoldTo(const std::shared_ptr<SelectionItem>& item, bool unfolded);
    void Toggle(const std::shared_ptr<SelectionItem>& item);
    void DrawRow(ID2D1HwndRenderTarget* rt, SelectionItem& item, int index, float alpha);

    std::weak_ptr<KelmSelectionCard> self_;
    HWND window_ = nullptr;
    bool open_ = false;
    bool closing_ = false;
    double progress_ = 0;
    int cardAnimation_ = -1;
    int source_[4] = {0, 0, 0, 0};
    int target_[4] = {0, 0, 100, 100};
    COLORREF rowColour_ = 0, borderColour_ = 0, cardColour_ = 0, colour3_ = 0, hoverColour_ = 0;
    std::function<void()> onDismiss_;
    std::vector<std::shared_ptr<SelectionItem>> items_;
    int hoverIndex_ = -1;
    float scale_ = 2.0f;
};
