// The smallest Direct2D window: one top-level window whose WM_PAINT clears
// an HWND render target and fills a rectangle, nothing else. The idle
// benchmark measures Tessik's resident memory above this program's, which
// is what the platform itself costs for a window drawn with Direct2D.
#include <windows.h>
#include <d2d1.h>

namespace
{

ID2D1Factory* g_factory = nullptr;
ID2D1HwndRenderTarget* g_target = nullptr;

void Paint(HWND window)
{
    RECT rc{};
    GetClientRect(window, &rc);
    if (!g_target &&
        FAILED(g_factory->CreateHwndRenderTarget(
            D2D1::RenderTargetProperties(),
            D2D1::HwndRenderTargetProperties(window, D2D1::SizeU(rc.right - rc.left, rc.bottom - rc.top)),
            &g_target)))
        return;
    ID2D1SolidColorBrush* brush = nullptr;
    g_target->BeginDraw();
    g_target->Clear(D2D1::ColorF(0.95f, 0.95f, 0.95f));
    if (SUCCEEDED(g_target->CreateSolidColorBrush(D2D1::ColorF(0.2f, 0.4f, 0.8f), &brush))) {
        g_target->FillRectangle(D2D1::RectF(20, 20, 220, 120), brush);
        brush->Release();
    }
    g_target->EndDraw();
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        Paint(window);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int main()
{
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, &g_factory)))
        return 1;
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"BareDirect2DWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"bare", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (g_target)
        g_target->Release();
    g_factory->Release();
    return 0;
}
