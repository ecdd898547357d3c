#include "tests/common/WindowTestSupport.h"

#include <filesystem>
#include <fstream>

void PumpMessages(DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    } while (GetTickCount64() < end);
}

void PaintNow(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessages(50);
}

COLORREF ReadClientPixel(HWND window, int x, int y)
{
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 1, 1);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, 1, 1, dc, x, y, SRCCOPY);
    const COLORREF color = GetPixel(memory, 0, 0);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, dc);
    return color;
}

std::wstring WriteIconFontToTemp()
{
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(111), L"BINARY");
    HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return {};
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"tessik_test_fa-solid-900.ttf";
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(static_cast<const char*>(bytes), SizeofResource(nullptr, resource));
    return out ? path : std::wstring();
}
