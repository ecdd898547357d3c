#include "box/icons/ShellIconImages.h"

#include <commctrl.h>
#include <commoncontrols.h>
#include <shellapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"

using Microsoft::WRL::ComPtr;

namespace
{

// Owns an HICON.
struct IconHandle {
    HICON icon = nullptr;
    ~IconHandle()
    {
        if (icon)
            DestroyIcon(icon);
    }
};

IWICImagingFactory* WicFactory()
{
    if (!s_wicFactory)
        CreateGraphicsFactories();
    return s_wicFactory.Get();
}

bool IconFromImageList(int list, int index, IconHandle& out)
{
    ComPtr<IImageList> images;
    if (FAILED(SHGetImageList(list, __uuidof(IImageList), reinterpret_cast<void**>(images.GetAddressOf()))) || !images)
        return false;
    return SUCCEEDED(images->GetIcon(index, ILD_TRANSPARENT, &out.icon)) && out.icon;
}

ID2D1Bitmap* BitmapFromIcon(ID2D1RenderTarget* target, HICON icon)
{
    IWICImagingFactory* factory = WicFactory();
    if (!factory)
        return nullptr;
    ComPtr<IWICBitmap> wicBitmap;
    if (FAILED(factory->CreateBitmapFromHICON(icon, &wicBitmap)))
        return nullptr;
    UINT width = 0, height = 0;
    WICPixelFormatGUID format{};
    if (SUCCEEDED(wicBitmap->GetSize(&width, &height)) && SUCCEEDED(wicBitmap->GetPixelFormat(&format)) &&
        format == GUID_WICPixelFormat32bppBGRA) {
        const WICRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
        ComPtr<IWICBitmapLock> lock;
        if (SUCCEEDED(wicBitmap->Lock(&all, WICBitmapLockRead | WICBitmapLockWrite, &lock))) {
            UINT stride = 0, size = 0;
            BYTE* pixels = nullptr;
            if (SUCCEEDED(lock->GetStride(&stride)) && SUCCEEDED(lock->GetDataPointer(&size, &pixels)) && pixels &&
                static_cast<UINT64>(stride) * height <= size)
                MakeOpaqueWhenAlphaMissing(pixels, stride, width, height);
        }
    }
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(wicBitmap.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeMedianCut)))
        return nullptr;
    ID2D1Bitmap* bitmap = nullptr;
    if (FAILED(target->CreateBitmapFromWicBitmap(converter.Get(), nullptr, &bitmap)))
        return nullptr;
    return bitmap;
}

} // namespace

int ShellImageListForEdge(int edge)
{
    return edge < 79 ? SHIL_EXTRALARGE : SHIL_JUMBO;
}

bool MakeOpaqueWhenAlphaMissing(uint8_t* bgra, uint32_t stride, uint32_t width, uint32_t height)
{
    if (!bgra || width == 0 || height == 0)
        return false;
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* line = bgra + static_cast<size_t>(row) * stride;
        for (uint32_t column = 0; column < width; ++column) {
            if (line[column * 4 + 3] != 0)
                return false;
        }
    }
    for (uint32_t row = 0; row < height; ++row) {
        uint8_t* line = bgra + static_cast<size_t>(row) * stride;
        for (uint32_t column = 0; column < width; ++column)
            line[column * 4 + 3] = 255;
    }
    return true;
}

ID2D1Bitmap* GetShellIconForPath(ID2D1RenderTarget* target, const std::wstring& path, int edge)
{
    if (!target)
        return nullptr;
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX))
        return nullptr;
    IconHandle icon;
    if (!IconFromImageList(ShellImageListForEdge(edge), info.iIcon, icon))
        return nullptr;
    return BitmapFromIcon(target, icon.icon);
}

ID2D1Bitmap* DrawShellIconToBitmap(ID2D1RenderTarget* target, const std::wstring& path)
{
    if (!target)
        return nullptr;
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES))
        return nullptr;
    IconHandle icon;
    if (!IconFromImageList(SHIL_JUMBO, info.iIcon, icon))
        return nullptr;

    constexpr int kEdge = 36;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bits{};
    bits.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bits.bmiHeader.biWidth = kEdge;
    bits.bmiHeader.biHeight = -kEdge; // top-down, as Direct2D reads it
    bits.bmiHeader.biPlanes = 1;
    bits.bmiHeader.biBitCount = 32;
    bits.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP section = memory ? CreateDIBSection(memory, &bits, DIB_RGB_COLORS, &pixels, nullptr, 0) : nullptr;
    ID2D1Bitmap* bitmap = nullptr;
    if (section && pixels) {
        HGDIOBJ old = SelectObject(memory, section);
        DrawIconEx(memory, 0, 0, icon.icon, kEdge, kEdge, 0, nullptr, DI_NORMAL);
        GdiFlush();
        MakeOpaqueWhenAlphaMissing(static_cast<uint8_t*>(pixels), kEdge * 4, kEdge, kEdge);
        const D2D1_BITMAP_PROPERTIES props = D2D1::BitmapProperties(
            D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 96, 96);
        if (FAILED(target->CreateBitmap(D2D1::SizeU(kEdge, kEdge), pixels, kEdge * 4, props, &bitmap)))
            bitmap = nullptr;
        SelectObject(memory, old);
    }
    if (section)
        DeleteObject(section);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

void DrawBitmapInSquare(ID2D1RenderTarget* target, ID2D1Bitmap* bitmap, float x, float y, float size)
{
    if (!target || !bitmap)
        return;
    target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    const D2D1_SIZE_U pixels = bitmap->GetPixelSize();
    const D2D1_RECT_F source = D2D1::RectF(0, 0, static_cast<float>(pixels.width), static_cast<float>(pixels.height));
    target->DrawBitmap(bitmap, D2D1::RectF(x, y, x + size, y + size), 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                       &source);
}

void InstallShellIconLoader()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    SetShellIconLoader(GetShellIconForPath);
}
