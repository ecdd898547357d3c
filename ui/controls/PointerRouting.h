// The press / release / move routing the clickable controls share, so each
// control's AddEvent says only what differs. UI thread only.
#pragma once

#include <windows.h>

#include "ui/core/BrevinControl.h"
#include "ui/core/D2DResources.h"

// A left press goes to the control's OnMouseDown, a release to its
// OnMouseUp, a move to `onMove` and every other event to `onOther`. Returns
// 0: a control routed this way takes every mouse event that reaches it, so
// the controls under it see none.
template <typename Control, typename OnMove, typename OnOther>
int RoutePointerEvent(Control& control, Brevin::kelmEvent event, OnMove&& onMove, OnOther&& onOther)
{
    switch (event) {
    case Brevin::KELM_LBUTTON_DOWN:
        control.OnMouseDown();
        break;
    case Brevin::KELM_LBUTTON_UP:
        control.OnMouseUp();
        break;
    case Brevin::KELM_MOUSE_MOVE:
        onMove();
        break;
    default:
        onOther();
        break;
    }
    return 0;
}

template <typename Control, typename OnMove>
int RoutePointerEvent(Control& control, Brevin::kelmEvent event, OnMove&& onMove)
{
    return RoutePointerEvent(control, event, onMove, [] {});
}

// The usual case: a move marks the control hovered and repaints its window
// (the panel clears the flag before every event, so a paint after the
// pointer left draws the control at rest).
template <typename Control> int RoutePointerEventWithHover(Control& control, Brevin::kelmEvent event)
{
    return RoutePointerEvent(control, event, [&control] {
        control.hovered = true;
        InvalidateWindow(control.window);
    });
}
