#include "ui/core/DpiScale.h"

#include <windows.h>

#include <iostream>
#include <sstream>

double DpiScale = 1.0;

DpiSnap SnapDpi(int dpi)
{
    // The labels group 144/168 and 192..240 because the system's own scale
    // settings named them so; only the scale itself is exact.
    struct Row {
        int dpi;
        double scale;
        const wchar_t* label;
    };
    static const Row kRows[] = {
        {48, 0.5, L"50%"},    {72, 0.75, L"75%"},  {96, 1.0, L"100%"},   {120, 1.25, L"125%"}, {144, 1.5, L"150%"},
        {168, 1.75, L"150%"}, {192, 2.0, L"200%"}, {216, 2.25, L"200%"}, {240, 2.5, L"200%"},
    };
    for (const Row& row : kRows) {
        if (row.dpi == dpi)
            return {row.scale, row.label};
    }
    const double scale = dpi / 96.0;
    std::wostringstream label;
    label << L"fallback: " << scale * 100.0 << L"%";
    return {scale, label.str()};
}

double GetDpiScale()
{
    HWND desktop = GetDesktopWindow();
    HDC dc = GetDC(desktop);
    int dpi = 96;
    if (dc) {
        dpi = GetDeviceCaps(dc, LOGPIXELSX);
        ReleaseDC(desktop, dc);
    }
    const DpiSnap snap = SnapDpi(dpi);
    std::wcout << snap.label << std::endl;
    return snap.scale;
}
