#include "ui/core/BlurPaint.h"

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "ui/core/CGaussBlurFilter.h"

namespace
{

// The last blurred copy; deleted and cleared together so it is never
// deleted twice.
HBITMAP s_blurBitmap = nullptr;

class MemoryDC
{
public:
    explicit MemoryDC(HDC compatible) : dc_(CreateCompatibleDC(compatible)) {}
    ~MemoryDC()
    {
        if (dc_) {
            if (old_)
                SelectObject(dc_, old_);
            DeleteDC(dc_);
        }
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC Get() const { return dc_; }
    void Select(HGDIOBJ object)
    {
        HGDIOBJ previous = SelectObject(dc_, object);
        if (!old_)
            old_ = previous;
    }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

// A top-down 32-bit DIB: its pixels are reachable whatever the screen depth.
HBITMAP CreateBgraBitmap(HDC dc, int width, int height, void** bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

} // namespace

void ReleaseBlurBitmap()
{
    if (s_blurBitmap) {
        DeleteObject(s_blurBitmap);
        s_blurBitmap = nullptr;
    }
}

HBITMAP BlurDownscaledRegion(HDC dc, int x, int y, int w, int h, double sigma, int divisor, bool threaded)
{
    ReleaseBlurBitmap();
    if (divisor < 1)
        divisor = 1;
    const int sw = w / divisor;
    const int sh = h / divisor;
    if (!dc || sw <= 0 || sh <= 0)
        return nullptr;
    const clock_t started = clock();

    MemoryDC memory(dc);
    if (!memory.Get())
        return nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = CreateBgraBitmap(dc, sw, sh, &bits);
    if (!bitmap || !bits) {
        if (bitmap)
            DeleteObject(bitmap);
        return nullptr;
    }
    memory.Select(bitmap);
    SetStretchBltMode(memory.Get(), HALFTONE);
    SetBrushOrgEx(memory.Get(), 0, 0, nullptr);
    StretchBlt(memory.Get(), 0, 0, sw, sh, dc, x, y, sw * divisor, sh * divisor, SRCCOPY);
    GdiFlush();

    const size_t size = static_cast<size_t>(sw) * sh * 4;
    std::vector<unsigned char> source(static_cast<unsigned char*>(bits), static_cast<unsigned char*>(bits) + size);
    std::vector<unsigned char> blurred(size);
    Brevin::Panel::CGaussBlurFilter filter;
    filter.SetSigma(sigma);
    if (threaded) {
        filter.multithreading = 1;
        filter.threadCount = 4;
    }
    if (filter.Filter(source.data(), blurred.data(), sw, sh, 32))
        std::memcpy(bits, blurred.data(), size);

    const long ms = static_cast<long>((clock() - started) * 1000 / CLOCKS_PER_SEC);
    OutputDebugStringW((L"Blur Time:" + std::to_wstring(ms) + L"\n").c_str());
    s_blurBitmap = bitmap;
    return bitmap;
}

void BlurAndPaint(HDC dc, const BlurRect& rect, double sigma, int divisor, bool threaded)
{
    const int x = rect.x, y = rect.y, width = rect.width, height = rect.height;
    if (divisor < 1)
        divisor = 1;
    HBITMAP bitmap = BlurDownscaledRegion(dc, x, y, width, height, sigma, divisor, threaded);
    if (!bitmap)
        return;
    {
        MemoryDC memory(dc);
        if (memory.Get()) {
            memory.Select(bitmap);
            SetStretchBltMode(dc, HALFTONE);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            StretchBlt(dc, x, y, width, height, memory.Get(), 0, 0, width / divisor, height / divisor, SRCCOPY);
        }
    }
    ReleaseBlurBitmap();
}
