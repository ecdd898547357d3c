// The interface of the pixel filters of the GDI blur: threading settings,
// an optional progress callback and a filter operation over raw 8-, 24- or
// 32-bit pixel rows.
#pragma once

namespace Brevin::Panel
{

class IFilter
{
public:
    using ProgressCallback = void (*)(void* context, int total, int done);
    using NotifyCallback = void (*)(IFilter* filter);

    virtual ~IFilter() = default;

    // Set-up and reset of a concrete filter; nothing to do in the base.
    virtual void SetSigma(double) {}
    virtual void Reset() {}
    // Reports how far a filter run is (total and done out of it).
    virtual void Progress(int total, int done)
    {
        if (progressCallback)
            progressCallback(callbackContext, total, done);
    }
    virtual void Notify()
    {
        if (notifyCallback)
            notifyCallback(this);
    }
    // Filters src into dst (never in place). The base filters nothing.
    virtual bool Filter(const unsigned char* src, unsigned char* dst, int width, int height, int bitsPerPixel)
    {
        (void)src;
        (void)dst;
        (void)width;
        (void)height;
        (void)bitsPerPixel;
        return false;
    }

    // 1: split each pass over threadCount worker threads.
    int multithreading = 0;
    int threadCount = 0;
    void* callbackContext = nullptr;
    ProgressCallback progressCallback = nullptr;
    NotifyCallback notifyCallback = nullptr;
};

} // namespace Brevin::Panel
