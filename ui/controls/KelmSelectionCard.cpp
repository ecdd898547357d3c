#include "ui/controls/KelmSelectionCard.h"

// Placeholder until the card is drawn: it never opens.
void KelmSelectionCard::Set(const int*, std::function<void()>) {}
void KelmSelectionCard::ClearItems() { title.clear(); }
void KelmSelectionCard::AddItem(const Brevin::KelmOption&) {}
void KelmSelectionCard::Open(const int*, const int*, float) {}
int KelmSelectionCard::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent) { return -1; }
Brevin::kelmRect KelmSelectionCard::GetRect() { return Brevin::BrevinControl::GetRect(); }
void KelmSelectionCard::SetFocus(bool focus) { Brevin::BrevinControl::SetFocus(focus); }
void KelmSelectionCard::CreateCtl(HWND, ID2D1HwndRenderTarget*) {}
void KelmSelectionCard::AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmSelectionCard>)
{
    if (!window_) window_ = window;
    CreateCtl(window, rt);
}
