// The panel of every framework window: mouse routing with scaled hit tests,
// focus rules, and key, file and text routing. UI thread only.
#pragma once

#include "ui/core/BrevinPanel.h"

namespace Brevin
{

class D2DBrevinPanel : public BrevinPanel
{
public:
    // Point in client pixels.
    int DispatchMouseEvent(const kelmPoint& point, kelmEvent event) override;
    int DispatchCommand(UINT command) override;
    // Point in DIPs. Key down and character go to the focused control alone.
    virtual int DispatchKeyEvent(const kelmPoint& point, kelmEvent event, UINT key);
    // Point in window pixels; control rectangles are moved by the offset.
    virtual int DispatchDropFiles(const kelmPoint& point, kelmEvent event, std::vector<std::wstring> paths);
    virtual int DispatchDropText(const kelmPoint& point, kelmEvent event, std::wstring text);
};

} // namespace Brevin
