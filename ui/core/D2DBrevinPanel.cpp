#include "ui/core/D2DBrevinPanel.h"

#include "ui/core/DpiScale.h"
#include "ui/core/HitTest.h"

namespace Brevin
{

namespace
{

bool Hits(const kelmPoint& point, const kelmRect& rc)
{
    const POINT pt{point.x, point.y};
    return HitTestScaled(&pt, rc.x, rc.y, rc.w, rc.h);
}

void ClearHover(const std::vector<std::shared_ptr<BrevinControl>>& list, kelmEvent event)
{
    for (auto& control : list) {
        control->hovered = false;
        if (event == KELM_LBUTTON_UP || event == KELM_MOUSE_LEAVE)
            control->pressed = false;
    }
}

} // namespace

int D2DBrevinPanel::DispatchMouseEvent(const kelmPoint& point, kelmEvent event)
{
    const auto list = Snapshot();
    if (list.empty())
        return kNotHandled;
    for (auto& control : list) {
        control->hovered = false;
        if (event == KELM_LBUTTON_UP || event == KELM_MOUSE_LEAVE) {
            const kelmRect rc = control->GetRect();
            if (control->IsCapturing() || (event == KELM_LBUTTON_UP && !Hits(point, rc)))
                control->SetFocus(false);
            control->pressed = false;
        }
    }
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const kelmRect rc = (*it)->GetRect();
        if ((*it)->IsCapturing() || Hits(point, rc)) {
            const int result = (*it)->AddEvent(point, event);
            if (result != kNotHandled)
                return result;
        }
    }
    return kNotHandled;
}

int D2DBrevinPanel::DispatchCommand(UINT command)
{
    const auto list = Snapshot();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const int result = (*it)->OnPanelCommand(command);
        if (result != kNotHandled)
            return result;
    }
    return kNotHandled;
}

int D2DBrevinPanel::DispatchKeyEvent(const kelmPoint& point, kelmEvent event, UINT key)
{
    const auto list = Snapshot();
    if (list.empty())
        return kNotHandled;
    ClearHover(list, event);
    if (event == KELM_KEY_DOWN || event == KELM_CHAR) {
        for (auto& control : list) {
            if (control->focused)
                return control->OnKeyEvent(point, event, key);
        }
    }
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const kelmRect rc = (*it)->GetRect();
        // The key point is in DIPs; the rectangle is brought to the same
        // footing before the scaled test.
        const kelmRect scaled{static_cast<int>(rc.x / DpiScale), static_cast<int>(rc.y / DpiScale),
                              static_cast<int>(rc.w / DpiScale), static_cast<int>(rc.h / DpiScale)};
        if ((*it)->IsCapturing() || Hits(point, scaled)) {
            const int result = (*it)->OnKeyEvent(point, event, key);
            if (result != kNotHandled)
                return result;
        }
    }
    return kNotHandled;
}

namespace {

// Hands a drop to the topmost control under the point (or the one holding
// the pointer) that takes it.
template <typename Handler>
int DispatchDrop(const std::vector<std::shared_ptr<BrevinControl>>& list, const kelmPoint& point, int offsetX,
                 int offsetY, Handler&& handler)
{
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        kelmRect rc = (*it)->GetRect();
        rc.x += offsetX;
        rc.y += offsetY;
        if ((*it)->IsCapturing() || Hits(point, rc)) {
            const int result = handler(**it);
            if (result != kNotHandled)
                return result;
        }
    }
    return kNotHandled;
}

}  // namespace

int D2DBrevinPanel::DispatchDropFiles(const kelmPoint& point, kelmEvent event, std::vector<std::wstring> paths)
{
    const auto list = Snapshot();
    ClearHover(list, event);
    return DispatchDrop(list, point, offsetX, offsetY,
                        [&](BrevinControl& control) { return control.OnDropFiles(point, event, paths); });
}

int D2DBrevinPanel::DispatchDropText(const kelmPoint& point, kelmEvent event, std::wstring text)
{
    const auto list = Snapshot();
    ClearHover(list, event);
    return DispatchDrop(list, point, offsetX, offsetY,
                        [&](BrevinControl& control) { return control.OnDropText(point, event, text); });
}

} // namespace Brevin
