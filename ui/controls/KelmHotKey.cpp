#include "ui/controls/KelmHotKey.h"

#include <algorithm>

#include "ui/controls/HoverSteps.h"
#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

const wchar_t* const KelmHotKey::kPlaceholder = L"悬停并按下组合键...";

namespace
{

bool Contains(const std::vector<std::wstring>& keys, const std::wstring& name)
{
    return std::find(keys.begin(), keys.end(), name) != keys.end();
}

} // namespace

KelmHotKey::~KelmHotKey()
{
    // A box dropped mid-animation would keep every window repainting.
    if (animationRunning)
        StopCounting();
}

void KelmHotKey::StopCounting()
{
    HoverSteps::StopCounting(animationRunning);
}

void KelmHotKey::Set(int nx, int ny, int, int, const wchar_t*, std::function<void()> change, COLORREF newFill, int,
                     COLORREF newTextColour)
{
    x = nx;
    y = ny;
    w = kWidth;
    h = kHeight;
    onChange = std::move(change);
    fill = newFill;
    textColour = newTextColour;
    shownText = kPlaceholder;
}

std::wstring KelmHotKey::KeyName(UINT virtualKey)
{
    switch (virtualKey) {
    case VK_CONTROL:
        return L"CTRL";
    case VK_SHIFT:
        return L"SHIFT";
    case VK_MENU:
        return L"ALT";
    case VK_RETURN:
        return L"ENTER";
    default:
        break;
    }
    // Digits and letters are their own virtual keys; the punctuation codes
    // between them (58..64) are not keys of the keyboard and never arrive.
    if (virtualKey >= '0' && virtualKey <= 'Z')
        return std::wstring(1, static_cast<wchar_t>(virtualKey));
    return L"";
}

std::wstring KelmHotKey::JoinKeys(const std::vector<std::wstring>& list)
{
    std::wstring joined;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0)
            joined += L'+';
        joined += list[i];
    }
    return joined;
}

void KelmHotKey::FinishCombination()
{
    if (!keys.empty())
        keyText = JoinKeys(keys);
    // One key alone (or nothing) is no combination.
    if (JoinKeys(keys).find(L'+') == std::wstring::npos)
        valid = 0;
}

void KelmHotKey::RebuildText()
{
    newCombination = true;
    valid = 1;
    FinishCombination();
}

void KelmHotKey::LoadCombination(const std::wstring& stored)
{
    keys.clear();
    size_t start = 0;
    for (size_t plus = stored.find(L'+'); plus != std::wstring::npos; plus = stored.find(L'+', start)) {
        keys.push_back(stored.substr(start, plus - start));
        start = plus + 1;
    }
    if (!stored.empty())
        keys.push_back(stored.substr(start));
    RebuildText();
}

int KelmHotKey::OnKeyEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event, UINT key)
{
    if (event == Brevin::KELM_KEY_DOWN) {
        if (newCombination) {
            keys.clear();
            mainKeyCount = 0;
            newCombination = false;
        }
        const std::wstring name = KeyName(key);
        if (name.empty())
            return 0; // function keys, arrows, Windows keys
        // Auto-repeat sends the held key again: it is added once.
        if (Contains(keys, name))
            return 0;
        if (key == VK_CONTROL || key == VK_SHIFT || key == VK_MENU) {
            keys.push_back(name);
        } else if (key == VK_RETURN) {
            keys.push_back(name);
            ++mainKeyCount;
        } else if (mainKeyCount == 0) {
            // A second letter or digit while the first is held is ignored.
            keys.push_back(name);
            ++mainKeyCount;
        }
        return 0;
    }
    if (event == Brevin::KELM_KEY_UP) {
        newCombination = true;
        valid = mainKeyCount == 1 ? 1 : 0;
        FinishCombination();
    }
    InvalidateWindow(window);
    return 0;
}

int KelmHotKey::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    return RoutePointerEventWithHover(*this, event);
}

void KelmHotKey::OnMouseDown()
{
    animationStep = 0;
    pressed = true;
    InvalidateWindow(window);
}

void KelmHotKey::OnMouseUp()
{
    animationStep = 0;
    InvalidateWindow(window);
    keyText.clear();
    // The list is left empty rather than holding one empty name: a key
    // pressed before the next release then cannot yield a text beginning
    // with "+".
    keys.clear();
    mainKeyCount = 0;
    newCombination = true;
    // A copy: the owner may replace this callback while it runs.
    auto change = onChange;
    if (change)
        change();
}

void KelmHotKey::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmHotKey>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}

void KelmHotKey::CreateCtl(HWND, ID2D1HwndRenderTarget* target)
{
    if (keyText.empty())
        valid = 1;
    else
        shownText = keyText;
    if (valid == 0)
        fill = kInvalidFill;

    // One animation frame per paint; the counter keeps the windows' hover
    // timers repainting while it runs.
    HoverSteps::Advance(animationStep, animationRunning, pressed || hovered);
    if (!target)
        return;

    const float p = HoverSteps::Progress(animationStep, pressed);
    const COLORREF lit = HoverSteps::Lighten(fill, p * 20.0f);
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    // Pressed shrinks the face by p on every side, hover grows it.
    const float grow = pressed ? -p : p;
    DrawRoundRect(target, fx - grow, fy - grow, fw + 2 * grow, fh + 2 * grow, lit, 8.0f, 1.0f, 1.0f, ThemeShade30.Ref(),
                  0.0f, false);
    const float labelSize = pressed ? fontSize - p : fontSize;
    DrawTextInRect(target, fx, fy + static_cast<float>(h / 2) - fontSize / 1.5f, fw, fh, shownText.c_str(), labelSize,
                   textColour, L"Segoe UI", 1.0f, true);
}
