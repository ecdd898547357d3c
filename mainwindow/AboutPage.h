// The about page ("Tab2"): version, credits, the open-source parts, the
// agreement links and the update and community buttons. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <memory>

class KelmText;
namespace Brevin
{
class D2DBrevinPanel;
}

// The three agreement links ("使用协议", "隐私政策", "知情权"), 80 apart
// from (x, y); the page keeps its three texts.
void AddAgreementLinks(Brevin::D2DBrevinPanel& panel, std::shared_ptr<KelmText> (&links)[3], int x, int y);

// Shown on the about page and sent to the update page.
constexpr const wchar_t* kVersionText = L"v0.5.22";
constexpr int kBuildNumber = 22;

void DrawAboutPage(ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, int tabWidth);
