#include "mainwindow/MainWindowBuild.h"

#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

void MainWindowBuild(HWND window, ID2D1HwndRenderTarget* target)
{
    if (!target)
        return;
    RECT client{};
    GetClientRect(window, &client);
    const float width = static_cast<float>(client.right) / static_cast<float>(DpiScale);
    const float height = static_cast<float>(client.bottom) / static_cast<float>(DpiScale);
    target->SetTransform(D2D1::Matrix3x2F::Scale(static_cast<float>(DpiScale), static_cast<float>(DpiScale)));
    FillSolidRect(target, 0, 0, width, height, ThemeBaseColor.Ref(), 1.0f);
    DrawTextSemibold(target, 40, 36, width - 80, 60, L"Tessik", 36, ThemeTextColor.Ref(), L"Segoe UI", 1.0f, false);
    target->SetTransform(D2D1::Matrix3x2F::Identity());
}
