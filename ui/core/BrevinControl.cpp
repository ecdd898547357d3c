#include "ui/core/BrevinControl.h"

#include "ui/core/ThemeColors.h"

namespace Brevin
{

BrevinControl::BrevinControl() : color2(ThemeTextColor.Ref()) {}

int BrevinControl::Build(int, int, int, int, const wchar_t*, std::function<void()>)
{
    return 0;
}

int BrevinControl::BuildEx(uint64_t, uint64_t, uint64_t, kelmRect, const wchar_t*, COLORREF, int, std::function<void()>)
{
    return 0;
}

int BrevinControl::OnKeyEvent(const kelmPoint&, kelmEvent, UINT)
{
    return kNotHandled;
}

int BrevinControl::OnDropFiles(const kelmPoint&, kelmEvent, std::vector<std::wstring>)
{
    return kNotHandled;
}

int BrevinControl::OnDropText(const kelmPoint&, kelmEvent, std::wstring)
{
    return kNotHandled;
}

int BrevinControl::AddEvent(const kelmPoint&, kelmEvent)
{
    return kNotHandled;
}

int BrevinControl::OnPanelCommand(UINT)
{
    return kNotHandled;
}

int BrevinControl::OnPanelNotify(LPARAM)
{
    return kNotHandled;
}

int BrevinControl::GetZOrder()
{
    return 0;
}

int BrevinControl::SetRect(int nx, int ny, int nw, int nh)
{
    x = nx;
    y = ny;
    w = nw;
    h = nh;
    geometrySet = true;
    return 0;
}

int BrevinControl::SetGeometry(const int rect[4], const wchar_t* newText, bool applyRect)
{
    geometrySet = true;
    if (newText)
        text = newText;
    if (applyRect && rect) {
        x = rect[0];
        y = rect[1];
        w = rect[2];
        h = rect[3];
    }
    return 0;
}

int BrevinControl::ApplyProps(BrevinProps props)
{
    prop1 = props.word1;
    prop2 = props.word2;
    prop3 = props.word3;
    text = props.text ? props.text : L"NULL";
    return 0;
}

int BrevinControl::BuildFromProps(BrevinProps props)
{
    return BuildEx(props.word1, props.word2, props.word3, {props.x, props.y, props.w, props.h}, props.text,
                   props.color1, props.trail1, std::move(props.callback));
}

int BrevinControl::BuildFromPropsAt(uint64_t word1, uint64_t word2, BrevinProps props)
{
    props.word1 = word1;
    props.word2 = word2;
    return BuildFromProps(std::move(props));
}

bool BrevinControl::IsCapturing()
{
    return false;
}

kelmRect BrevinControl::GetRect()
{
    return {x, y, w, h};
}

void BrevinControl::SetFocus(bool focus)
{
    focused = focus;
}

} // namespace Brevin
