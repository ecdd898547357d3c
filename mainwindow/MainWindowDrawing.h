// Drawing operations only the main window uses: smooth filled or stroked
// shapes (the home illustration) and fixed-size shell icons (the component
// library's pictures). Render target first, DIPs. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <string>
#include <vector>

// A curve through the points made of cubic segments whose control points
// follow the neighbours (see MainWindowLayout::SmoothSegments). Stroked
// first when strokeWidth > 0, then filled unless noFill, so the fill covers
// the inner half of the stroke. strokeAlpha 0 takes alpha. Nothing for
// fewer than two points.
void DrawSmoothPolygon(ID2D1RenderTarget* target, const std::vector<D2D1_POINT_2F>& points, COLORREF fillColour,
                       float alpha, float strokeWidth, COLORREF strokeColour, float strokeAlpha, bool noFill,
                       bool closed, float tension);

// The shell icon of the path's type, 36 x 36 at (x, y), made once per
// render target and path.
void DrawShellIconFixed(ID2D1RenderTarget* target, const std::wstring& path, int x, int y);
