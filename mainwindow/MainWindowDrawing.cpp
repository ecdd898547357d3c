#include "mainwindow/MainWindowDrawing.h"

#include "box/icons/ShellIconImages.h"
#include "mainwindow/MainWindowLayout.h"
#include "ui/core/D2DResources.h"

namespace
{

D2D1_COLOR_F ToColour(COLORREF colour, float alpha)
{
    return D2D1::ColorF(GetRValue(colour) / 255.0f, GetGValue(colour) / 255.0f, GetBValue(colour) / 255.0f, alpha);
}

// Bitmap cache entries of fixed icons; the prefix keeps them apart from
// other images of the same path.
const wchar_t kFixedIconKey[] = L"fixed-icon:";

} // namespace

void DrawSmoothPolygon(ID2D1RenderTarget* target, const std::vector<D2D1_POINT_2F>& points, COLORREF fillColour,
                       float alpha, float strokeWidth, COLORREF strokeColour, float strokeAlpha, bool noFill,
                       bool closed, float tension)
{
    if (!target || points.size() < 2 || !s_d2dFactory)
        return;
    std::vector<MainWindowLayout::Point> through;
    through.reserve(points.size());
    for (const D2D1_POINT_2F& p : points)
        through.push_back({p.x, p.y});

    ComPtr<ID2D1SolidColorBrush> fill, stroke;
    if (FAILED(target->CreateSolidColorBrush(ToColour(fillColour, alpha), &fill)) ||
        FAILED(
            target->CreateSolidColorBrush(ToColour(strokeColour, strokeAlpha == 0.0f ? alpha : strokeAlpha), &stroke)))
        return;
    ComPtr<ID2D1PathGeometry> geometry;
    ComPtr<ID2D1GeometrySink> sink;
    if (FAILED(s_d2dFactory->CreatePathGeometry(&geometry)) || FAILED(geometry->Open(&sink)))
        return;
    sink->BeginFigure(points[0], D2D1_FIGURE_BEGIN_FILLED);
    for (const auto& segment : MainWindowLayout::SmoothSegments(through, closed, tension)) {
        sink->AddBezier(D2D1::BezierSegment(D2D1::Point2F(segment.control1.x, segment.control1.y),
                                            D2D1::Point2F(segment.control2.x, segment.control2.y),
                                            D2D1::Point2F(segment.end.x, segment.end.y)));
    }
    sink->EndFigure(closed ? D2D1_FIGURE_END_CLOSED : D2D1_FIGURE_END_OPEN);
    if (FAILED(sink->Close()))
        return;
    if (strokeWidth > 0)
        target->DrawGeometry(geometry.Get(), stroke.Get(), strokeWidth);
    if (!noFill)
        target->FillGeometry(geometry.Get(), fill.Get());
}

void DrawShellIconFixed(ID2D1RenderTarget* target, const std::wstring& path, int x, int y)
{
    if (!target)
        return;
    auto& perTarget = BitmapCache[target];
    const std::wstring key = kFixedIconKey + path;
    auto it = perTarget.find(key);
    if (it == perTarget.end()) {
        // A failure is kept too: asking the shell on every paint would stall.
        it = perTarget.emplace(key, AdoptReference(DrawShellIconToBitmap(target, path))).first;
    }
    if (it->second)
        DrawBitmapInSquare(target, it->second.Get(), static_cast<float>(x), static_cast<float>(y), 36.0f);
}
