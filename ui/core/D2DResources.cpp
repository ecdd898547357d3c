#include "ui/core/D2DResources.h"

#include <dwrite_3.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <optional>

ComPtr<ID2D1Factory> s_d2dFactory;
ComPtr<IDWriteFactory> s_dwriteFactory;
ComPtr<IWICImagingFactory> s_wicFactory;
ComPtr<ID2D1DCRenderTarget> s_dcRenderTarget;
ComPtr<IDWriteFontCollection> s_iconFontCollection;

std::unordered_map<HWND, ComPtr<ID2D1HwndRenderTarget>> RenderTargetMap;
std::unordered_map<std::wstring, ComPtr<IDWriteTextFormat>> TextFormatCache;
TargetBitmapMap IconBitmapCache;
TargetBitmapMap BitmapCache;
std::unordered_map<ID2D1RenderTarget*, ComPtr<ID2D1Layer>> LayerCache;
std::unordered_map<ID2D1RenderTarget*, ComPtr<ID2D1SolidColorBrush>> BrushCache;
std::unordered_map<ID2D1RenderTarget*, std::pair<ComPtr<ID2D1Bitmap>, ComPtr<ID2D1BitmapRenderTarget>>> ScaleBlurCache;
std::unordered_map<ID2D1RenderTarget*, KeptInkCache> KeptInks;

namespace
{

// What PaintWindow is painting: the target, the region of a partial
// paint, and the control that covers the region and has not drawn yet.
struct PaintState {
    ID2D1RenderTarget* target = nullptr;
    std::optional<RECT> region; // none: a whole paint
    const void* pendingCover = nullptr;
    // Time this paint spent drawing texts into bitmaps of their own, and
    // whether a text was left for a later paint.
    double inkMilliseconds = 0.0;
    bool inkLeft = false;
};
PaintState s_paint;

// A draw callback may paint another window (a modal loop): the outer
// paint's state comes back when the inner one ends.
class PaintStateScope
{
public:
    explicit PaintStateScope(const PaintState& state) : outer_(s_paint) { s_paint = state; }
    ~PaintStateScope() { s_paint = outer_; }
    PaintStateScope(const PaintStateScope&) = delete;
    PaintStateScope& operator=(const PaintStateScope&) = delete;

private:
    const PaintState outer_;
};

} // namespace

bool CreateGraphicsFactories()
{
    if (!s_d2dFactory)
        D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, s_d2dFactory.ReleaseAndGetAddressOf());
    if (s_d2dFactory && !s_dcRenderTarget) {
        const D2D1_RENDER_TARGET_PROPERTIES props =
            D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT,
                                         D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
        s_d2dFactory->CreateDCRenderTarget(&props, s_dcRenderTarget.ReleaseAndGetAddressOf());
    }
    if (!s_dwriteFactory)
        DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                            reinterpret_cast<IUnknown**>(s_dwriteFactory.ReleaseAndGetAddressOf()));
    if (!s_wicFactory)
        s_wicFactory = MakeWicFactory();
    return s_d2dFactory && s_dwriteFactory;
}

ComPtr<IWICImagingFactory> MakeWicFactory()
{
    // The version 2 factory is missing before Windows 8 and on some
    // stripped-down systems; the first one decodes everything we need.
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    return factory;
}

bool RegisterIconFont(const std::wstring& fontPath)
{
    AddFontResourceW(fontPath.c_str());
    if (!s_dwriteFactory)
        CreateGraphicsFactories();
    ComPtr<IDWriteFactory5> factory5;
    if (!s_dwriteFactory || FAILED(s_dwriteFactory.As(&factory5)))
        return false;
    ComPtr<IDWriteFontSetBuilder1> builder;
    ComPtr<IDWriteFontFile> file;
    ComPtr<IDWriteFontSet> set;
    ComPtr<IDWriteFontCollection1> collection;
    if (FAILED(factory5->CreateFontSetBuilder(&builder)) ||
        FAILED(factory5->CreateFontFileReference(fontPath.c_str(), nullptr, &file)) ||
        FAILED(builder->AddFontFile(file.Get())) || FAILED(builder->CreateFontSet(&set)) ||
        FAILED(factory5->CreateFontCollectionFromFontSet(set.Get(), &collection)))
        return false;
    s_iconFontCollection = collection;
    // Formats made before the collection existed point at the system one.
    const std::wstring prefix = std::wstring(kIconFontFamily) + L"_";
    for (auto it = TextFormatCache.begin(); it != TextFormatCache.end();) {
        if (it->first.compare(0, prefix.size(), prefix) == 0)
            it = TextFormatCache.erase(it);
        else
            ++it;
    }
    return true;
}

void UnregisterIconFont(const std::wstring& fontPath)
{
    RemoveFontResourceW(fontPath.c_str());
}

void PaintWindow(HWND window, std::function<void(HWND, ID2D1HwndRenderTarget*)> draw, const RECT* region,
                 const void* cover)
{
    RECT rc{};
    GetClientRect(window, &rc);
    const UINT width = static_cast<UINT>(rc.right - rc.left);
    const UINT height = static_cast<UINT>(rc.bottom - rc.top);
    if (width == 0 || height == 0)
        return;
    if (!s_d2dFactory &&
        FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, s_d2dFactory.ReleaseAndGetAddressOf())))
        return;

    ComPtr<ID2D1HwndRenderTarget>& slot = RenderTargetMap[window];
    if (!slot) {
        const D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties(
            D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN), 0.0f,
            0.0f, D2D1_RENDER_TARGET_USAGE_GDI_COMPATIBLE, D2D1_FEATURE_LEVEL_DEFAULT);
        const D2D1_HWND_RENDER_TARGET_PROPERTIES hwndProps =
            // Retained: a partial paint redraws only its region and
            // presents the rest as the last paint left it.
            D2D1::HwndRenderTargetProperties(window, D2D1::SizeU(width, height), D2D1_PRESENT_OPTIONS_RETAIN_CONTENTS);
        ComPtr<ID2D1HwndRenderTarget> target;
        if (FAILED(s_d2dFactory->CreateHwndRenderTarget(props, hwndProps, &target)) || !target)
            return;
        slot = target;
    }
    // The draw callback may destroy the window and so erase the map entry.
    ComPtr<ID2D1HwndRenderTarget> target = slot;
    target->BeginDraw();
    DrawWithin(
        window, target.Get(),
        [&] {
            if (draw)
                draw(window, target.Get());
        },
        region, cover);
    const HRESULT drawn = target->EndDraw();
    if (FAILED(drawn)) {
        ReleaseRenderTargetResources(target.Get());
        auto it = RenderTargetMap.find(window);
        if (it != RenderTargetMap.end() && it->second.Get() == target.Get())
            RenderTargetMap.erase(it);
    }
}

void DrawWithin(HWND window, ID2D1RenderTarget* target, const std::function<void()>& draw, const RECT* region,
                const void* cover)
{
    if (region) {
        float dpiX = 96.0f, dpiY = 96.0f;
        target->GetDpi(&dpiX, &dpiY);
        target->PushAxisAlignedClip(D2D1::RectF(region->left * 96.0f / dpiX, region->top * 96.0f / dpiY,
                                                region->right * 96.0f / dpiX, region->bottom * 96.0f / dpiY),
                                    D2D1_ANTIALIAS_MODE_ALIASED);
    }
    {
        const PaintStateScope painting(
            {target, region ? std::optional<RECT>(*region) : std::nullopt, region ? cover : nullptr});
        draw();
        if ((s_paint.pendingCover || s_paint.inkLeft) && IsWindow(window))
            InvalidateRect(window, nullptr, FALSE); // the region, or a text, was left as it was: paint it all
    }
    if (region)
        target->PopAxisAlignedClip();
}

void RevealPaint(const void* cover)
{
    if (cover && cover == s_paint.pendingCover)
        s_paint.pendingCover = nullptr;
}

bool TextInkTimeLeft(ID2D1RenderTarget* rt)
{
    // Enough for a few labels anywhere, for dozens where rasterising is
    // quick; the other new texts of a paint are drawn as text, or wait.
    constexpr double kInkMillisecondsPerPaint = 4.0;
    return rt != s_paint.target || s_paint.inkMilliseconds < kInkMillisecondsPerPaint;
}

void SpendTextInkTime(ID2D1RenderTarget* rt, double milliseconds)
{
    if (rt == s_paint.target)
        s_paint.inkMilliseconds += milliseconds;
}

void PaintAgainForTextInk(ID2D1RenderTarget* rt)
{
    if (rt == s_paint.target)
        s_paint.inkLeft = true;
}

const RECT* PartialPaintRegion(ID2D1RenderTarget* rt)
{
    return rt && rt == s_paint.target && s_paint.region ? &*s_paint.region : nullptr;
}

namespace
{

// The DIP rectangle on rt in pixels, exactly: the bounding box of its
// transformed corners.
D2D1_RECT_F PixelRectOf(ID2D1RenderTarget* rt, float x, float y, float w, float h)
{
    D2D1_MATRIX_3X2_F m;
    rt->GetTransform(&m);
    float dpiX = 96.0f, dpiY = 96.0f;
    rt->GetDpi(&dpiX, &dpiY);
    D2D1_RECT_F r{1e9f, 1e9f, -1e9f, -1e9f};
    for (const D2D1_POINT_2F p :
         {D2D1::Point2F(x, y), D2D1::Point2F(x + w, y), D2D1::Point2F(x, y + h), D2D1::Point2F(x + w, y + h)}) {
        const float px = (p.x * m._11 + p.y * m._21 + m._31) * dpiX / 96.0f;
        const float py = (p.x * m._12 + p.y * m._22 + m._32) * dpiY / 96.0f;
        r = {std::min(r.left, px), std::min(r.top, py), std::max(r.right, px), std::max(r.bottom, py)};
    }
    return r;
}

} // namespace

RECT PixelBoundsOf(ID2D1RenderTarget* rt, float x, float y, float w, float h)
{
    const D2D1_RECT_F r = PixelRectOf(rt, x, y, w, h);
    return {static_cast<LONG>(std::floor(r.left)) - 1, static_cast<LONG>(std::floor(r.top)) - 1,
            static_cast<LONG>(std::ceil(r.right)) + 1, static_cast<LONG>(std::ceil(r.bottom)) + 1};
}

bool OutsidePaintRegion(ID2D1RenderTarget* rt, float x, float y, float w, float h)
{
    const RECT* region = PartialPaintRegion(rt);
    if (!region)
        return false;
    if (s_paint.pendingCover)
        return true;
    const RECT bounds = PixelBoundsOf(rt, std::min(x, x + w), std::min(y, y + h), std::fabs(w), std::fabs(h));
    RECT overlap;
    return IntersectRect(&overlap, &bounds, region) == FALSE;
}

bool PaintRegionInside(ID2D1RenderTarget* rt, float x, float y, float w, float h)
{
    const RECT* region = PartialPaintRegion(rt);
    if (!region || w <= 0.0f || h <= 0.0f)
        return false;
    D2D1_MATRIX_3X2_F m;
    rt->GetTransform(&m);
    if (m._12 != 0.0f || m._21 != 0.0f)
        return false; // turned or slanted: the bounding box is not the shape
    // Whole pixels only: a pixel the edge cuts is partly covered.
    const D2D1_RECT_F r = PixelRectOf(rt, x, y, w, h);
    return region->left >= std::ceil(r.left) && region->right <= std::floor(r.right) &&
           region->top >= std::ceil(r.top) && region->bottom <= std::floor(r.bottom);
}

IDWriteTextFormat* GetTextFormat(const wchar_t* family, float size, int weight, bool centred)
{
    if (!family)
        family = L"Microsoft YaHei";
    if (!s_dwriteFactory)
        return nullptr;
    wchar_t key[256];
    swprintf(key, 256, L"%ls_%.2f_%d_%d", family, static_cast<double>(size), weight, centred ? 1 : 0);
    auto it = TextFormatCache.find(key);
    if (it != TextFormatCache.end())
        return it->second.Get();

    IDWriteFontCollection* collection = nullptr;
    if (s_iconFontCollection && wcscmp(family, kIconFontFamily) == 0)
        collection = s_iconFontCollection.Get();
    ComPtr<IDWriteTextFormat> format;
    if (FAILED(s_dwriteFactory->CreateTextFormat(family, collection, static_cast<DWRITE_FONT_WEIGHT>(weight),
                                                 DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, size, L"",
                                                 &format)))
        return nullptr;
    if (centred)
        format->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
    IDWriteTextFormat* raw = format.Get();
    TextFormatCache.emplace(key, std::move(format));
    return raw;
}

int MeasureTextWidth(HWND, const std::wstring& text, float size)
{
    if (text.empty())
        return 0;
    IDWriteTextFormat* format = GetTextFormat(L"Segoe UI", size, 400, false);
    if (!format)
        return 0;
    ComPtr<IDWriteTextLayout> layout;
    if (FAILED(s_dwriteFactory->CreateTextLayout(text.c_str(), static_cast<UINT32>(text.size()), format, 10000.0f,
                                                 100.0f, &layout)))
        return 0;
    DWRITE_TEXT_METRICS metrics{};
    if (FAILED(layout->GetMetrics(&metrics)))
        return 0;
    return static_cast<int>(std::ceil(metrics.width));
}

const KeptInk* KeptInkCache::Find(const std::wstring& key)
{
    auto it = byKey_.find(key);
    if (it == byKey_.end())
        return nullptr;
    recent_.splice(recent_.begin(), recent_, it->second);
    return &it->second->second;
}

const KeptInk& KeptInkCache::Keep(const std::wstring& key, KeptInk ink)
{
    // About sixteen megabytes a window: a screenful of labels and cards
    // many times over; a box of fifty thousand files scrolled from end to
    // end keeps its last few screens.
    constexpr size_t kPixelBudget = 4u << 20;
    auto pixelsOf = [](const KeptInk& kept) {
        const D2D1_SIZE_U size = kept.bitmap ? kept.bitmap->GetPixelSize() : D2D1::SizeU(0, 0);
        return static_cast<size_t>(size.width) * size.height;
    };
    if (auto old = byKey_.find(key); old != byKey_.end()) {
        pixels_ -= pixelsOf(old->second->second);
        recent_.erase(old->second);
        byKey_.erase(old);
    }
    pixels_ += pixelsOf(ink);
    recent_.emplace_front(key, std::move(ink));
    byKey_[key] = recent_.begin();
    while (pixels_ > kPixelBudget && recent_.size() > 1) {
        pixels_ -= pixelsOf(recent_.back().second);
        byKey_.erase(recent_.back().first);
        recent_.pop_back();
    }
    return recent_.front().second;
}

void ReleaseRenderTargetResources(ID2D1RenderTarget* target)
{
    KeptInks.erase(target);
    IconBitmapCache.erase(target);
    BitmapCache.erase(target);
    BrushCache.erase(target);
    LayerCache.erase(target);
    ScaleBlurCache.erase(target);
}

void ReleaseAllD2DResources()
{
    IconBitmapCache.clear();
    BitmapCache.clear();
    KeptInks.clear();
}

void InvalidateWindow(HWND window)
{
    RECT rc;
    if (GetClientRect(window, &rc))
        InvalidateRect(window, &rc, FALSE);
}

void D2DClear(ID2D1RenderTarget* target, D2D1_COLOR_F color)
{
    if (target)
        target->Clear(color);
}

void RotatePoints(std::vector<D2D1_POINT_2F>& points, float cx, float cy, float degrees)
{
    const double radians = degrees * 0.017453292;
    const double c = std::cos(radians), s = std::sin(radians);
    for (auto& p : points) {
        const double dx = p.x - cx, dy = p.y - cy;
        p.x = static_cast<float>(dx * c - dy * s + cx);
        p.y = static_cast<float>(dy * c + dx * s + cy);
    }
}

void TranslatePoints(std::vector<D2D1_POINT_2F>& points, float dx, float dy)
{
    for (auto& p : points) {
        p.x += dx;
        p.y += dy;
    }
}
