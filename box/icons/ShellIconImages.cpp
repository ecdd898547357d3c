#include "box/icons/ShellIconImages.h"

#include <commctrl.h>
#include <commoncontrols.h>
#include <shellapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cwctype>
#include <thread>
#include <unordered_map>

#include "box/fileops/FileJobMailbox.h"
#include "box/icons/LoneWorker.h"
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

std::wstring ShellIconKindOf(const std::wstring& path, DWORD attributes)
{
    if (attributes == INVALID_FILE_ATTRIBUTES || path.empty())
        return L"";
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    // A drive's root ("C:\", a share's root) shows the drive, not a folder.
    if (name.empty() || (name.size() == 2 && name[1] == L':'))
        return L"";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return L"<folder>";
    const size_t dot = name.find_last_of(L'.');
    std::wstring extension = dot == std::wstring::npos ? L"." : name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    // Files that carry their own icon, or name one: each needs its own look.
    static const wchar_t* const kOwnIcon[] = {L".exe", L".lnk", L".ico", L".url", L".cur",      L".ani",
                                              L".scr", L".pif", L".cpl", L".msc", L".appref-ms"};
    for (const wchar_t* own : kOwnIcon) {
        if (extension == own)
            return L"";
    }
    return extension;
}

namespace
{

// UI thread: path -> system image index, -1 while asked, -2 when the shell
// had no icon for it.
std::unordered_map<std::wstring, int>& OwnIconIndices()
{
    static std::unordered_map<std::wstring, int> indices;
    return indices;
}

// UI thread: the windows that wait for an answer.
std::vector<HWND>& WaitingWindows()
{
    static std::vector<HWND> windows;
    return windows;
}

// The shell's answers for single paths, asked on a worker: the shell looks
// into the file (and, under some systems, into every folder above it),
// which the UI thread must not wait for.
void AskOwnIcons(const std::function<bool(std::wstring&)>& next)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring path;
    while (next(path)) {
        SHFILEINFOW info{};
        const int index = SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX) ? info.iIcon : -2;
        FileJobMailbox::Post([path = std::move(path), index] {
            OwnIconIndices()[path] = index;
            std::vector<HWND> windows;
            windows.swap(WaitingWindows());
            for (HWND window : windows) {
                if (IsWindow(window))
                    InvalidateRect(window, nullptr, FALSE);
            }
        });
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}

// UI thread: the path's own icon index once the worker has it; -1 while
// it is asked (the look is started on the first call).
int OwnIconIndex(ID2D1RenderTarget* target, const std::wstring& path)
{
    static const auto lookups = std::make_shared<LoneWorker<std::wstring>>(L"The icon look-up", AskOwnIcons);
    auto& indices = OwnIconIndices();
    const auto known = indices.find(path);
    if (known == indices.end() || known->second == -1) {
        // The window whose paint asked is repainted when the answer is in.
        std::vector<HWND>& waiting = WaitingWindows();
        for (const auto& [window, windowTarget] : RenderTargetMap) {
            if (windowTarget.Get() == target && std::find(waiting.begin(), waiting.end(), window) == waiting.end())
                waiting.push_back(window);
        }
    }
    if (known != indices.end())
        return known->second;
    if (!FileJobMailbox::Open())
        return -2;
    indices[path] = lookups->Push(path) ? -1 : -2;
    return indices[path];
}

// UI thread: the system image index of a kind, asked once per kind by its
// name alone (the shell reads no file for it); -2 when it has none.
int KindIconIndex(const std::wstring& kind)
{
    static std::unordered_map<std::wstring, int> indices;
    const auto known = indices.find(kind);
    if (known != indices.end())
        return known->second;
    const bool folder = kind == L"<folder>";
    const std::wstring name = folder ? L"folder" : L"file" + (kind == L"." ? std::wstring() : kind);
    SHFILEINFOW info{};
    const int index = SHGetFileInfoW(name.c_str(), folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL, &info,
                                     sizeof(info), SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES)
                          ? info.iIcon
                          : -2;
    indices.emplace(kind, index);
    return index;
}

} // namespace

ID2D1Bitmap* LoadSharedShellIcon(ID2D1RenderTarget* target, const std::wstring& path, int edge)
{
    if (!target)
        return nullptr;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const std::wstring kind = ShellIconKindOf(path, attributes);
    int index = -2;
    if (!kind.empty())
        index = KindIconIndex(kind);
    else if (attributes != INVALID_FILE_ATTRIBUTES)
        index = OwnIconIndex(target, path);
    if (index < 0)
        return nullptr;
    // One bitmap per image and render target, whatever number of paths
    // show it; it ends with the target's other resources.
    const int list = ShellImageListForEdge(edge);
    ComPtr<ID2D1Bitmap>& shared =
        BitmapCache[target][L"shell-icon:" + std::to_wstring(list) + L":" + std::to_wstring(index)];
    if (!shared) {
        IconHandle icon;
        if (!IconFromImageList(list, index, icon))
            return nullptr;
        shared.Attach(BitmapFromIcon(target, icon.icon));
        if (!shared)
            return nullptr;
    }
    shared->AddRef();
    return shared.Get();
}

void WarmShellIconKinds()
{
    static std::once_flag started;
    std::call_once(started, [] {
        try {
            std::thread([] {
                const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
                SHFILEINFOW info{};
                SHGetFileInfoW(L"file", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                               SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES);
                if (SUCCEEDED(com))
                    CoUninitialize();
            }).detach();
        } catch (...) {
            // No thread: the first icon painted pays for it, as it would.
        }
    });
}

void InstallShellIconLoader()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    SetShellIconLoader(LoadSharedShellIcon);
}
