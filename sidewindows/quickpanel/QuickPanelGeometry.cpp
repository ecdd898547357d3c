#include "sidewindows/quickpanel/QuickPanelGeometry.h"

#include <algorithm>
#include <cmath>

namespace TessikQuickPanel
{

namespace
{

int Dip(double units, double dpi)
{
    return static_cast<int>(units * dpi);
}

} // namespace

bool IsTallPanel(int heightPixels, double dpi)
{
    return heightPixels >= 100.0 * dpi;
}

PanelOpening PanelRectForOpening(const RememberedRect& remembered, bool separate, double dpi)
{
    PanelOpening opening;
    if (!remembered.valid) {
        opening.rect = {100, 100, Dip(850, dpi), Dip(550, dpi)};
        return opening;
    }
    opening.rect = {remembered.x, remembered.y, remembered.w, remembered.h};
    if (separate && IsTallPanel(remembered.h, dpi))
        opening.rect.w = Dip(200, dpi);
    opening.centre = !(remembered.x > 1 || remembered.h > 100);
    return opening;
}

RememberedRect RememberPanelRect(const RECT& panel, bool separate, int contentWidth, const RememberedRect& previous,
                                 double dpi)
{
    RememberedRect remembered = previous;
    remembered.valid = true;
    remembered.x = panel.left;
    remembered.y = panel.top;
    remembered.h = panel.bottom - panel.top;
    if (!separate || !IsTallPanel(remembered.h, dpi))
        remembered.w = panel.right - panel.left;
    else if (contentWidth > 0)
        remembered.w = Dip(220, dpi) + contentWidth;
    else if (!previous.valid)
        remembered.w = Dip(850, dpi);
    return remembered;
}

PixelRect ContentWindowRect(const RECT& panel, const RECT& workArea, int rememberedWidth, double dpi)
{
    const int panelW = panel.right - panel.left;
    const int panelH = panel.bottom - panel.top;
    PixelRect content;
    if (IsTallPanel(panelH, dpi)) {
        content.w = std::max(1, rememberedWidth - Dip(200, dpi) - Dip(20, dpi));
        content.h = panelH;
        content.x = panel.left + panelW + Dip(15, dpi);
        content.y = panel.top;
        if (workArea.right < content.x + content.w / 2)
            content.x = panel.left - content.w - Dip(15, dpi);
    } else {
        content.w = panelW;
        content.h = Dip(400, dpi);
        content.x = panel.left;
        content.y = panel.top + panelH + Dip(20, dpi);
        if (workArea.bottom < content.y + content.h / 2)
            content.y = panel.top - content.h - Dip(20, dpi);
    }
    return content;
}

RowSlot SidebarRowSlot(int i, int n, float w, float h, bool strip, bool separate)
{
    RowSlot slot;
    if (strip) {
        const int count = std::max(1, n);
        const int width = static_cast<int>((w - 90 - 50) / count - 10);
        slot.width = std::clamp(width, 80, 180);
        slot.x = static_cast<float>((slot.width + 10) * i + 90);
        slot.y = std::max(10.0f, (h - 40) / 2);
    } else {
        slot.width = separate ? static_cast<int>(w - 20) : 180;
        slot.x = 10;
        slot.y = static_cast<float>(45 * i + 60);
    }
    return slot;
}

float StepTowards(float current, float target)
{
    const float next = current + (target - current) / 4.0f;
    return std::fabs(target - next) < 0.5f ? target : next;
}

int DragSwapIndex(int from, float position, int n, float w, float h, bool strip, bool separate)
{
    for (int j = 0; j < n; ++j) {
        if (j == from)
            continue;
        const RowSlot slot = SidebarRowSlot(j, n, w, h, strip, separate);
        const float slotPosition = strip ? slot.x : slot.y;
        const float halfSlot = strip ? slot.width / 2.0f : 20.0f;
        if (std::fabs(position - slotPosition) < halfSlot)
            return j;
    }
    return -1;
}

} // namespace TessikQuickPanel
