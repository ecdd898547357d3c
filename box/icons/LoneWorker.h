// Work for one worker thread that lives while there is any: the first item
// starts it, it ends when it finds nothing left. Icons ask the shell and
// the imaging component this way, whose answers the UI thread must not
// wait for.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "app/Logger.h"

template <class Item> class LoneWorker : public std::enable_shared_from_this<LoneWorker<Item>>
{
public:
    // The worker's whole life, on its thread: it calls next, which gives
    // the oldest item, until next gives false.
    using Life = std::function<void(const std::function<bool(Item&)>& next)>;

    // name: what the log calls it when it stops on an unexpected error.
    LoneWorker(std::wstring name, Life life) : name_(std::move(name)), life_(std::move(life)) {}

    // Any thread. False when no worker could be started for the item: it
    // is not taken, nor are those waiting.
    bool Push(Item item)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back(std::move(item));
        if (running_)
            return true;
        try {
            std::thread([self = this->shared_from_this()] { self->Live(); }).detach();
            running_ = true;
            return true;
        } catch (...) {
            items_.clear();
            return false;
        }
    }

private:
    bool Next(Item& item)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (items_.empty()) {
            running_ = false;
            return false;
        }
        item = std::move(items_.front());
        items_.pop_front();
        return true;
    }

    void Live()
    {
        try {
            life_([this](Item& item) { return Next(item); });
        } catch (...) {
            Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", name_ + L" stopped on an unexpected error.");
            std::lock_guard<std::mutex> lock(mutex_);
            items_.clear();
            running_ = false;
        }
    }

    const std::wstring name_;
    const Life life_;
    std::mutex mutex_;
    std::deque<Item> items_;
    bool running_ = false;
};
