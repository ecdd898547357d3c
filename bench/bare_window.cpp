// The smallest Direct2D window: one top-level window whose WM_PAINT clears
// an HWND render target and fills a rectangle, nothing else. The idle
// benchmark measures Tessik's resident memory above this program's, which
// is what the platform itself costs for a window drawn with Direct2D.
//
// With "caret W H" as arguments it is instead a W x H window that draws a
// line of text and a caret blinking at the system's caret blink rate (a
// whole repaint per blink): what any program pays for a text field of that
// size holding the caret, the yardstick of Tessik's typed fields.
#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>
#include <shellapi.h>

#include <cwchar>

namespace
{

ID2D1Factory* g_factory = nullptr;
ID2D1HwndRenderTarget* g_target = nullptr;
IDWriteFactory* g_write = nullptr;
IDWriteTextFormat* g_format = nullptr;
bool g_caretMode = false;
bool g_caretShown = true;
constexpr UINT_PTR kBlinkTimer = 1;

void Paint(HWND window)
{
    RECT rc{};
    GetClientRect(window, &rc);
    if (!g_target &&
        FAILED(g_factory->CreateHwndRenderTarget(
            D2D1::RenderTargetProperties(),
            D2D1::HwndRenderTargetProperties(window, D2D1::SizeU(rc.right - rc.left, rc.bottom - rc.top)), &g_target)))
        return;
    ID2D1SolidColorBrush* brush = nullptr;
    g_target->BeginDraw();
    g_target->Clear(D2D1::ColorF(0.95f, 0.95f, 0.95f));
    if (SUCCEEDED(g_target->CreateSolidColorBrush(D2D1::ColorF(0.2f, 0.4f, 0.8f), &brush))) {
        if (!g_caretMode) {
            g_target->FillRectangle(D2D1::RectF(20, 20, 220, 120), brush);
        } else {
            static const wchar_t text[] = L"note";
            brush->SetColor(D2D1::ColorF(0.1f, 0.1f, 0.1f));
            if (g_format)
                g_target->DrawText(text, static_cast<UINT32>(wcslen(text)), g_format,
                                   D2D1::RectF(8, 4, static_cast<float>(rc.right) - 8, static_cast<float>(rc.bottom)),
                                   brush);
            if (g_caretShown)
                g_target->FillRectangle(D2D1::RectF(48, 6, 49.2f, static_cast<float>(rc.bottom) - 6), brush);
        }
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
    case WM_TIMER:
        if (wParam == kBlinkTimer) {
            g_caretShown = !g_caretShown;
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int main()
{
    int width = 400, height = 300;
    int argc = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
        if (argc >= 4 && wcscmp(argv[1], L"caret") == 0) {
            g_caretMode = true;
            width = _wtoi(argv[2]) > 0 ? _wtoi(argv[2]) : width;
            height = _wtoi(argv[3]) > 0 ? _wtoi(argv[3]) : height;
        }
        LocalFree(argv);
    }
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, &g_factory)))
        return 1;
    if (g_caretMode && SUCCEEDED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                                     reinterpret_cast<IUnknown**>(&g_write))))
        g_write->CreateTextFormat(L"Segoe UI", nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                                  DWRITE_FONT_STRETCH_NORMAL, 16.0f, L"", &g_format);
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"BareDirect2DWindow";
    RegisterClassW(&wc);
    HWND window = g_caretMode ? CreateWindowExW(0, wc.lpszClassName, L"bare", WS_POPUP, 100, 100, width, height,
                                                nullptr, nullptr, wc.hInstance, nullptr)
                              : CreateWindowExW(0, wc.lpszClassName, L"bare", WS_OVERLAPPEDWINDOW, 100, 100, width,
                                                height, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(window, SW_SHOW);
    if (g_caretMode)
        SetTimer(window, kBlinkTimer, GetCaretBlinkTime(), nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (g_target)
        g_target->Release();
    if (g_format)
        g_format->Release();
    if (g_write)
        g_write->Release();
    g_factory->Release();
    return 0;
}
