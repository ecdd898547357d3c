#include "box/BoxMoreMenu.h"

#include <functional>
#include <string>

#include "app/KelmStorage.h"
#include "box/BoxDeletion.h"
#include "box/BoxEmbedding.h"
#include "box/BoxSettings.h"
#include "box/BoxSettingsWindow.h"
#include "box/BoxSortLock.h"
#include "ui/controls/KelmMenu.h"
#include "ui/core/D2DResources.h"
#include "ui/core/KelmWindow.h"

namespace TessikDesktopContainer
{

namespace
{

constexpr int kMenuWidth = 160;

using Handler = void (*)(const BoxWindowPtr&);

std::function<void()> Bind(const BoxWindowPtr& box, Handler handler)
{
    return [weak = std::weak_ptr<KelmWindow>(box), handler] {
        if (BoxWindowPtr locked = weak.lock())
            handler(locked);
    };
}

std::wstring Glyph(wchar_t code)
{
    return std::wstring(L":") + code + L":";
}

std::wstring Checked(bool checked, const std::wstring& text)
{
    return (checked ? Glyph(L'\x2714') + L"   " : std::wstring(L"      ")) + text;
}

std::wstring SubmenuLabel(const std::wstring& text)
{
    return text + L"          " + Glyph(L'\x203A');
}

void SetZ(const BoxWindowPtr& box, int z)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    runtime->z = z;
    if (z == 2) {
        box->keepTopmost = true;
        box->keepBottom = false;
    } else if (z == 1) {
        box->BringToFront();
    } else {
        box->keepTopmost = false;
        box->keepBottom = true;
    }
    BoxSettingsObject(runtime->id)[L"z"] = z;
    SetWindowPos(box->GetHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void SetSpacing(const BoxWindowPtr& box, int mode)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    runtime->IconSpacingMode = mode;
    BoxSettingsObject(runtime->id)[L"IconSpacingMode"] = mode;
    s_desktopContainerStore.Save();
    InvalidateRect(box->GetHwnd(), nullptr, FALSE);
}

} // namespace

std::vector<Brevin::KelmOption> BoxMoreMenuOptions(const BoxWindowPtr& box)
{
    using Brevin::KelmOption;
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return {};
    const BoxRuntime& r = *runtime;
    std::vector<KelmOption> options;
    const std::wstring view = r.IsListView ? Glyph(L'\xF009') + L"\u00A0 \u00A0\u00A0 \u00A0 网格视图"
                                           : Glyph(L'\xF03A') + L"\u00A0 \u00A0 \u00A0\u00A0 列表视图";
    options.emplace_back(view, Bind(box, ToggleBoxListView), 1);

    KelmOption zRow(
        L"", [] {}, 1);
    zRow.sideList.emplace_back(Glyph(L'\xF08D') + L"<置顶>", Bind(box, SetBoxZTopmost), r.z == 2 ? 2 : 1);
    zRow.sideList.emplace_back(Glyph(L'\xF2D2') + L"<分层>", Bind(box, SetBoxZLayered), r.z == 1 ? 2 : 1);
    zRow.sideList.emplace_back(Glyph(L'\xF309') + L"<置底>", Bind(box, SetBoxZBottom), r.z <= 0 ? 2 : 1);
    options.push_back(std::move(zRow));

    std::vector<KelmOption> spacing;
    spacing.emplace_back(Checked(r.IconSpacingMode == 0, L"紧凑"), Bind(box, SetIconSpacingCompact), 1);
    spacing.emplace_back(Checked(r.IconSpacingMode == 1, L"标准"), Bind(box, SetIconSpacingStandard), 1);
    spacing.emplace_back(Checked(r.IconSpacingMode == 2, L"宽松"), Bind(box, SetIconSpacingLoose), 1);

    std::vector<KelmOption> sorting;
    const Handler sorts[] = {SetSortFree, SetSortNameAscending, SetSortNameDescending, SetSortTimeAscending,
                             SetSortTimeDescending};
    const wchar_t* sortLabels[] = {L"自由排序", L"名称正序", L"名称倒序", L"时间正序", L"时间倒序"};
    for (int mode = 0; mode < 5; ++mode)
        sorting.emplace_back(Checked(r.SortMode == mode, sortLabels[mode]), Bind(box, sorts[mode]), 1);

    std::vector<KelmOption> layers;
    layers.emplace_back(Checked(!r.IsEmbeddedLayer, L"浮动层级"), Bind(box, SetBoxFloatingLayer), 1);
    layers.emplace_back(Checked(r.IsEmbeddedLayer, L"嵌入层级"), Bind(box, SetBoxEmbeddedLayer), 1);
    std::vector<KelmOption> advanced;
    advanced.emplace_back(SubmenuLabel(L"层级设置"), std::move(layers));

    std::vector<KelmOption> settings;
    settings.emplace_back(L"个性化", Bind(box, OpenBoxSettingsWindow), 1);
    settings.emplace_back(SubmenuLabel(L"图标间隔"), std::move(spacing));
    settings.emplace_back(SubmenuLabel(L"排序方式"), std::move(sorting));
    settings.emplace_back(L"锁定组件", Bind(box, LockBox), 1);
    settings.emplace_back(SubmenuLabel(L"高级设置"), std::move(advanced));
    options.emplace_back(Glyph(L'\x2699') + L"\u00A0 \u00A0 \u00A0  设置        " + Glyph(L'\x203A'),
                         std::move(settings));

    options.emplace_back(Glyph(L'\xF014') + L"\u00A0 \u00A0 \u00A0 \u00A0 删除", Bind(box, ShowDeleteBoxDialog), 1);
    return options;
}

void ShowBoxMoreMenu(const BoxWindowPtr& box)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || runtime->dropPending)
        return;
    POINT cursor{};
    GetCursorPos(&cursor);
    KelmMenu::Show(box->GetHwnd(), cursor.x, cursor.y, BoxMoreMenuOptions(box), kMenuWidth, 0);
}

void ToggleBoxListView(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    // The icons are made again at the new view's size.
    ReleaseAllD2DResources();
    runtime->IsListView = !runtime->IsListView;
    BoxSettingsObject(runtime->id)[L"IsListView"] = runtime->IsListView;
    s_desktopContainerStore.Save();
    InvalidateRect(box->GetHwnd(), nullptr, FALSE);
}

void SetBoxZTopmost(const BoxWindowPtr& box)
{
    SetZ(box, 2);
}
void SetBoxZLayered(const BoxWindowPtr& box)
{
    SetZ(box, 1);
}
void SetBoxZBottom(const BoxWindowPtr& box)
{
    SetZ(box, 0);
}

void SetBoxFloatingLayer(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    HWND window = box->GetHwnd();
    runtime->IsEmbeddedLayer = false;
    BoxSettingsObject(runtime->id)[L"IsEmbeddedLayer"] = false;
    s_desktopContainerStore.Save();
    SetParent(window, nullptr);
    SetWindowLongPtrW(window, GWLP_HWNDPARENT, 0);
    SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    LONG_PTR style = (GetWindowLongPtrW(window, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_CHILD)) | WS_POPUP;
    HRGN region = nullptr;
    const int layer = runtime->CompatibleLayer;
    if (runtime->IsLocked) {
        box->frameMode = 1;
        box->cornerRadius = 16;
        style &= ~kBoxFrameStyles;
        region = BoxRoundRegion(window, 16);
    } else {
        box->frameMode = layer == 3 ? 1 : 2;
        if (layer != 3)
            style |= kBoxFrameStyles;
        if (layer == 2) {
            style &= ~static_cast<LONG_PTR>(WS_SYSMENU);
            SetSmallCornerPreference(window);
        }
        if (layer == 3) {
            box->cornerRadius = 6;
            box->customFrame = true;
            region = BoxRoundRegion(window, 6);
        } else {
            box->cornerRadius = 0;
        }
    }
    SetWindowLongPtrW(window, GWL_STYLE, style);
    SetWindowRgn(window, region, TRUE);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(window, nullptr, FALSE);
}

void SetBoxEmbeddedLayer(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    HWND window = box->GetHwnd();
    runtime->IsEmbeddedLayer = true;
    BoxSettingsObject(runtime->id)[L"IsEmbeddedLayer"] = true;
    s_desktopContainerStore.Save();
    EmbedInDesktopLayer(window);
    box->frameMode = 1;
    box->cornerRadius = 6;
    SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) & ~kBoxFrameStyles);
    SetWindowRgn(window, BoxRoundRegion(window, 6), TRUE);
    SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(window, nullptr, FALSE);
}

void SetIconSpacingCompact(const BoxWindowPtr& box)
{
    SetSpacing(box, 0);
}
void SetIconSpacingStandard(const BoxWindowPtr& box)
{
    SetSpacing(box, 1);
}
void SetIconSpacingLoose(const BoxWindowPtr& box)
{
    SetSpacing(box, 2);
}

} // namespace TessikDesktopContainer
