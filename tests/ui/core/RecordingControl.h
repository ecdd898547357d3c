// A test control that records the events it gets and answers a fixed result.
#pragma once

#include <d2d1.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/core/BrevinControl.h"

class RecordingControl : public Brevin::BrevinControl
{
public:
    RecordingControl(std::string name, std::vector<std::string>* log, int result)
        : name_(std::move(name)), log_(log), result_(result)
    {
    }

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override
    {
        lastPoint = point;
        log_->push_back(name_ + ":" + std::to_string(static_cast<int>(event)));
        if (onEvent)
            onEvent();
        return result_;
    }
    int OnKeyEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event, UINT key) override
    {
        lastKey = key;
        log_->push_back(name_ + ":key" + std::to_string(static_cast<int>(event)));
        return result_;
    }
    int OnDropFiles(const Brevin::kelmPoint&, Brevin::kelmEvent, std::vector<std::wstring> paths) override
    {
        lastPaths = std::move(paths);
        return result_;
    }
    bool IsCapturing() override { return capturing; }

    // Called by the panel when added during a paint; draws when a draw
    // function is set.
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<RecordingControl>)
    {
        attachedWindow = window;
        if (draw)
            draw(target);
    }

    std::function<void()> onEvent;
    std::function<void(ID2D1HwndRenderTarget*)> draw;
    Brevin::kelmPoint lastPoint{};
    UINT lastKey = 0;
    std::vector<std::wstring> lastPaths;
    bool capturing = false;
    HWND attachedWindow = nullptr;

private:
    std::string name_;
    std::vector<std::string>* log_;
    int result_;
};
