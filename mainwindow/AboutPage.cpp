#include "mainwindow/AboutPage.h"

#include <memory>
#include <string>

#include "mainwindow/WebPages.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmText.h"
#include "ui/core/D2DBrevinPanel.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

namespace
{

constexpr COLORREF kAccent = RGB(0x52, 0x79, 0xFB);
constexpr COLORREF kLightText = RGB(0xF4, 0xF4, 0xF4);

std::wstring AboutText()
{
    return std::wstring(L":\uF05A: 关于 Tessik \n") + L"Tessik " + kVersionText + L" (" +
           std::to_wstring(kBuildNumber) +
           L")\n"
           L"由 Ormund 设计与开发\n"
           L"感谢每一位参与测试与反馈的小伙伴\n"
           L"\n"
           L":\uF14C: 开源引用\n"
           L"KelmUI\n"
           L"bvn/kelm.parser\n"
           L"Font Awesome 6 Free Solid (Font Awesome)\n"
           L"tsl/ordered_map (tsl)";
}

} // namespace

void AddAgreementLinks(Brevin::D2DBrevinPanel& panel, std::shared_ptr<KelmText> (&links)[3], int x, int y)
{
    static const struct {
        const wchar_t* label;
        const wchar_t* path;
    } kLinks[3] = {
        {L"使用协议", L"/agreement/tos.html"},
        {L"隐私政策", L"/agreement/privacy.html"},
        {L"知情权", L"/agreement/tessik-service.html"},
    };
    for (int i = 0; i < 3; ++i) {
        if (!links[i])
            links[i] = std::make_shared<KelmText>();
        const wchar_t* path = kLinks[i].path;
        links[i]->Set(x + 80 * i, y, 100, 40, kLinks[i].label, 16, kAccent, [path] { OpenAgreementPage(path); });
        panel.AddControl(links[i]);
    }
}

void DrawAboutPage(ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, int tabWidth)
{
    static std::shared_ptr<KelmText> links[3];
    static std::shared_ptr<KelmButton> update, community;
    const COLORREF text = ThemeTextColor.Ref();
    const float tw = static_cast<float>(tabWidth);
    DrawTextSemibold(target, tw + 40, 50, 200, 40, L"关于", 24, text, L"Segoe UI", 1.0f, false);
    static const std::wstring about = AboutText();
    DrawIconText(target, tw + 40, 104, 400, 40, about.c_str(), 16, text, L"Segoe UI", 1.0f, false);

    AddAgreementLinks(panel, links, tabWidth + 40, 382);
    if (!update) {
        update = std::make_shared<KelmButton>();
        community = std::make_shared<KelmButton>();
    }
    update->Set(tabWidth + 40, 337, 100, 35, L"检查更新", OpenUpdatePage, kAccent, 14, kLightText);
    community->Set(tabWidth + 150, 337, 100, 35, L"社区与反馈", OpenCommunityPage, kAccent, 14, kLightText);
    panel.AddControl(update);
    panel.AddControl(community);
}
