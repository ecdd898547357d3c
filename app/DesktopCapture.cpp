#include "app/DesktopCapture.h"

#include "app/KelmStorage.h"
#include "box/BoxRuntime.h"
#include "ui/core/BlurPaint.h"
#include "ui/core/KelmWindow.h"

HDC s_desktopCaptureDC = nullptr;

namespace
{

// The bitmap selected into s_desktopCaptureDC and the one it replaced:
// DeleteDC does not free a selected bitmap, so both are kept to undo it.
HBITMAP s_captureBitmap = nullptr;
HGDIOBJ s_captureOldBitmap = nullptr;

void FreeCapture()
{
    if (!s_desktopCaptureDC)
        return;
    SelectObject(s_desktopCaptureDC, s_captureOldBitmap);
    DeleteObject(s_captureBitmap);
    DeleteDC(s_desktopCaptureDC);
    s_desktopCaptureDC = nullptr;
    s_captureBitmap = nullptr;
    s_captureOldBitmap = nullptr;
}

bool HasIconView(HWND window)
{
    return FindWindowExW(window, nullptr, L"SHELLDLL_DefView", nullptr) != nullptr;
}

} // namespace

HWND FindDesktopIconHost()
{
    HWND progman = FindWindowW(L"Progman", L"Program Manager");
    if (progman && HasIconView(progman))
        return progman;
    HWND worker = nullptr;
    while ((worker = FindWindowExW(nullptr, worker, L"WorkerW", nullptr)) != nullptr) {
        if (HasIconView(worker))
            return worker;
    }
    return progman;
}

void CaptureDesktop(HWND window)
{
    const int mode = s_appStore[L"TessikRef"][L"compatLayerMode"].Get<int>(1);
    wchar_t wallpaper[MAX_PATH] = {};
    if (!SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, wallpaper, 0))
        return;

    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    FreeCapture();
    HDC windowDC = GetDC(window);
    s_desktopCaptureDC = CreateCompatibleDC(windowDC);
    if (!s_desktopCaptureDC) {
        ReleaseDC(window, windowDC);
        return;
    }
    s_captureBitmap = CreateCompatibleBitmap(windowDC, width, height);
    s_captureOldBitmap = SelectObject(s_desktopCaptureDC, s_captureBitmap);

    if (mode == 0) {
        PaintDesktop(s_desktopCaptureDC);
    } else if (mode == 1) {
        // Without an icon host there is nothing to print; copying the
        // screen instead would capture the boxes themselves.
        if (HWND host = FindDesktopIconHost()) {
            if (!PrintWindow(host, s_desktopCaptureDC, PW_RENDERFULLCONTENT)) {
                HDC hostDC = GetWindowDC(host);
                BitBlt(s_desktopCaptureDC, 0, 0, width, height, hostDC, 0, 0, SRCCOPY);
                ReleaseDC(host, hostDC);
            }
        }
    }
    // Level 2 blurs twice: a coarse pass hides the icons' detail, a fine
    // one smooths the blocks it leaves.
    const int blurLevel = s_appStore[L"TessikRef"][L"compatLayerBlurLevel"].Get<int>(2);
    const BlurRect whole{0, 0, width, height};
    if (blurLevel == 1) {
        BlurAndPaint(s_desktopCaptureDC, whole, 2, 3, true);
    } else if (blurLevel == 2) {
        BlurAndPaint(s_desktopCaptureDC, whole, 4, 6, true);
        BlurAndPaint(s_desktopCaptureDC, whole, 4, 2, true);
    }
    ReleaseDC(window, windowDC);
    for (const auto& [box, runtime] : s_boxRuntimes) {
        if (box && !runtime.IsPseudoBox() && IsWindow(box->GetHwnd()))
            InvalidateRect(box->GetHwnd(), nullptr, FALSE);
    }
}
