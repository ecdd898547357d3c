// An invisible area that takes files dropped from the shell and right
// clicks: it hands the paths to onFiles and consumes every mouse event, so
// the controls under it see none. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/core/BrevinControl.h"

class KelmReceiver : public Brevin::BrevinControl
{
public:
    void Set(int x, int y, int w, int h, std::function<void(std::vector<std::wstring>)> onFiles,
             std::function<void()> onRightClick);

    int OnDropFiles(const Brevin::kelmPoint& point, Brevin::kelmEvent event, std::vector<std::wstring> paths) override;
    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    int OnMouseUp();
    int OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmReceiver> self);

    std::function<void(std::vector<std::wstring>)> onFiles;
    std::function<void()> onRightClick = [] {};
    HWND window = nullptr;
};
