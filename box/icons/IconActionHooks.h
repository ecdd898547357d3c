// What an icon does when it is opened, dropped on, hovered during a drag,
// dragged or right-clicked, and the keyboard of the foreground box. The
// file-operation and drag code installs these; until then the icons only
// move and paint. The record is the one the control stands for when the
// event fires. UI thread only.
#pragma once

#include <functional>
#include <string>

#include "box/icons/KelmIconManager.h"

struct IconActionHooks {
    std::function<void(KelmIconManager&, const IconRecord&)> open;
    std::function<void(KelmIconManager&, const IconRecord&, const std::wstring& text)> textDrop;
    std::function<void(KelmIconManager&, const IconRecord&)> hoverMove;
    std::function<void(KelmIconManager&, const IconRecord&)> dragStart;
    std::function<void(KelmIconManager&, const IconRecord&)> contextMenu;
    // Shortcuts of a box that has the keyboard; run by UpdateAnimations.
    std::function<void(KelmIconManager&, const BoxWindowPtr&)> keyboard;
};

extern IconActionHooks s_iconActionHooks;
