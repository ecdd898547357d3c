#include "sidewindows/magwin/MagIconWindow.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "box/BoxRuntime.h"
#include "box/icons/KelmIcon.h"
#include "sidewindows/magwin/FileDialogAutomation.h"
#include "sidewindows/magwin/MagWinRules.h"
#include "sidewindows/magwin/MagWinState.h"
#include "ui/controls/KelmSwitch.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace TessikMagWin
{

namespace
{

const wchar_t kIconClass[] = L"Tessik.Kelm.Com.MagIconWin.Class";
const wchar_t kIconTitle[] = L"Tessik.Com.MagIcons";

struct ShownBox {
    std::shared_ptr<KelmWindow> box;
    bool hidden = false;
    std::wstring id;
    std::wstring folder;
};
ShownBox s_shown;
const std::shared_ptr<KelmSwitch> s_filterSwitch = std::make_shared<KelmSwitch>();

COLORREF FirstShade()
{
    return ContrastShiftColor(ThemeBaseColor.Ref(), 10);
}

void OnIconWindowCreated()
{
    HWND hwnd = s_magIconWindow->GetHwnd();
    const LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, (ex & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW);
    s_magIconWindow->StartAnimationTimer();
    s_magIconWindow->StartHoverRepaintTimer();
}

bool EnsureIconWindow(const RECT& magnet)
{
    if (IsLive(s_magIconWindow))
        return true;
    s_magIconWindow = std::make_shared<KelmWindow>();
    KelmWindow& window = *s_magIconWindow;
    const DockRect place = IconWindowBelow(magnet, Scale());
    window.Set(place.x, place.y, place.w, place.h, kIconClass, kIconTitle);
    window.frameMode = 2;
    window.showCommand = SW_SHOWNOACTIVATE;
    window.SetDrawCallback(BuildIconWindowContent);
    window.onCreated = OnIconWindowCreated;
    return window.Create() == 1;
}

const KelmStorageNestedObject* NestedMember(const KelmStorageNestedObject& object, const std::wstring& key)
{
    auto found = object.members.find(key);
    if (found == object.members.end() ||
        !std::holds_alternative<std::shared_ptr<KelmStorageNestedObject>>(found->second))
        return nullptr;
    return std::get<std::shared_ptr<KelmStorageNestedObject>>(found->second).get();
}

std::wstring TextMember(const KelmStorageNestedObject& object, const std::wstring& key, const std::wstring& fallback)
{
    auto found = object.members.find(key);
    if (found == object.members.end() || !std::holds_alternative<std::wstring>(found->second))
        return fallback;
    return std::get<std::wstring>(found->second);
}

void Add(const std::wstring& path, const std::wstring& alias, const std::wstring& section)
{
    s_magIconManager.AddRecordForPath(path, 0.0f, 0.0f, alias, false, section, nullptr, L"bvn!NULL");
}

void FillFromDesktopBox(const std::shared_ptr<KelmWindow>& box)
{
    auto manager = s_boxIconManagers.find(box);
    if (manager == s_boxIconManagers.end())
        return;
    // A copy: filling our manager must not touch the box's list.
    const std::vector<IconRecord> records = manager->second.Records();
    for (const IconRecord& record : records) {
        if (record.owner && record.owner != box)
            continue;
        if (MatchDialogFilter(s_magFilterPatterns, record.path))
            Add(record.path, record.alias, record.sectionText);
    }
}

void FillFromHiddenBox(const std::wstring& id, const std::wstring& folder)
{
    const std::wstring path = NormalizeStoredPath(folder);
    std::error_code error;
    if (folder != L"bvn!NULL" && std::filesystem::is_directory(path, error)) {
        const wchar_t* section = L"物理区";
        for (std::filesystem::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
            std::wstring entry = it->path().wstring();
            std::replace(entry.begin(), entry.end(), L'/', L'\\');
            if (!MatchDialogFilter(s_magFilterPatterns, entry))
                continue;
            Add(entry, L"bvn!NULL", section);
            section = L"";
        }
    }
    const KelmStorageNestedObject* root = nullptr;
    try {
        root = &s_quickPanelStore.GetRootObject(L"TempIcons");
    } catch (const std::exception&) {
        return;
    }
    const KelmStorageNestedObject* list = NestedMember(*root, id);
    if (!list)
        return;
    const wchar_t* section = L"映射区";
    for (size_t n = 0;; ++n) {
        const KelmStorageNestedObject* entry = NestedMember(*list, std::to_wstring(n));
        if (!entry)
            break;
        const std::wstring entryPath = TextMember(*entry, L"path", L"");
        if (entryPath.empty() || !MatchDialogFilter(s_magFilterPatterns, entryPath))
            continue;
        Add(NormalizeStoredPath(entryPath), TypedTextMember(entry, L"alias", L"bvn!NULL"), section);
        section = L"";
    }
}

void OnFilterToggled()
{
    s_magFilterEnabled = s_filterSwitch->IsOn();
    const ShownBox shown = s_shown;
    UpdateIconWindow(shown.box, shown.hidden, shown.id, shown.folder);
}

} // namespace

void ClearIconWindowEntries()
{
    s_magIconManager.RemoveAllRecords();
}

void ForgetShownBox(const std::shared_ptr<KelmWindow>& box)
{
    if (!box || s_shown.box != box)
        return;
    s_shown = {};
    s_magIconManager.RemoveAllRecords();
    if (IsLive(s_magIconWindow))
        ShowWindow(s_magIconWindow->GetHwnd(), SW_HIDE);
}

void UpdateIconWindow(std::shared_ptr<KelmWindow> box, bool hidden, const std::wstring& id, const std::wstring& folder)
{
    s_shown = {box, hidden, id, folder};
    if (!hidden && !box)
        return;
    HWND magnet = MagHwnd();
    if (!magnet)
        return;
    RECT rc{};
    GetWindowRect(magnet, &rc);
    if (!EnsureIconWindow(rc))
        return;
    const DockRect place = IconWindowBelow(rc, Scale());
    HWND hwnd = s_magIconWindow->GetHwnd();
    SetWindowPos(hwnd, HWND_TOPMOST, place.x, place.y, place.w, place.h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);

    s_magIconManager.RemoveAllRecords();
    s_magFilterPatterns.clear();
    if (s_magFilterEnabled) {
        s_magFilterPatterns = ReadDialogComboText();
        OutputDebugStringW(L"_ASSERT!");
    }
    s_magFilterActive = s_magFilterEnabled && !s_magFilterPatterns.empty();
    if (hidden)
        FillFromHiddenBox(id, folder);
    else
        FillFromDesktopBox(box);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void BuildIconWindowContent(HWND hwnd, ID2D1HwndRenderTarget* target)
{
    if (!IsLive(s_magIconWindow) || s_magIconWindow->GetHwnd() != hwnd || !target)
        return;
    KelmWindow& window = *s_magIconWindow;
    Brevin::D2DBrevinPanel& panel = *window.GetPanel();
    RECT client{};
    GetClientRect(hwnd, &client);
    const float w = static_cast<float>(client.right / Scale());
    const float h = static_cast<float>(client.bottom / Scale());
    const COLORREF first = FirstShade();
    const COLORREF second = ThemeShade30.Ref();
    const COLORREF text = ThemeTextColor.Ref();
    FillSolidRect(target, 0, 0, w, h, first, 1.0f);

    s_magIconScroll = std::max(0.0f, static_cast<float>(static_cast<int>(s_magIconScroll + panel.TakeScroll())));
    s_magIconManager.SetPadding(20, static_cast<int>(20 - s_magIconScroll));
    s_magIconManager.Layout(static_cast<int>(w));
    s_magIconManager.UpdateAnimations(s_magIconWindow);
    s_magIconManager.ApplyCurrentPositions(0, 9999);
    for (IconRecord& record : s_magIconManager.Records()) {
        const std::wstring label = IconWindowLabel(record.alias, record.path);
        const std::wstring path = record.path;
        s_magIconManager.EnsureControl(record)->Setup(
            static_cast<int>(record.x), static_cast<int>(record.y), 48, record.path.c_str(), label.c_str(),
            [path] {
                // The paints that the fill lets through set this callback up
                // anew: work on a copy.
                const std::wstring file = path;
                TakeLastFailure();
                if (!FillFileDialog(file))
                    TellLastFailure();
            },
            [](const std::wstring&) {}, [](const bool&) {}, [] {}, [] {});
    }

    panel.Init(hwnd, target);
    for (IconRecord& record : s_magIconManager.Records()) {
        if (!record.sectionText.empty())
            DrawTextInRect(target, 20, record.y - 25, 100, 20, record.sectionText.c_str(), 13.0f, text, L"Segoe UI",
                           0.6f, false);
        if (record.control)
            panel.AddControl(record.control);
    }

    const float bar = h - 40;
    FillSolidRect(target, 0, bar, w, 40, first, 1.0f);
    FillSolidRect(target, 0, bar, w, 1, second, 1.0f);
    if (s_magFilterEnabled && !s_magFilterActive) {
        DrawButtonFace(target, 15, bar - 40, w - 25, 30, 0x4077DE, 8.0f);
        DrawTextInRect(target, 25, bar - 34, w - 4, 20, L"筛选当前不适用。", 14.0f, 0xF4F4F4, L"Segoe UI", 1.0f, false);
    }
    DrawTextInRect(target, 20, bar + 10, 80, 20, L"筛选类别", 14.0f, text, L"Segoe UI", 1.0f, false);
    const COLORREF colours[9] = {second,   second, 0xFFFFFF, ThemeBaseColor.Ref(), second, 0xF4F4F4,
                                 0xFB7952, second, 0xF4F4F4};
    s_filterSwitch->Set(90, static_cast<int>(bar + 9), KelmSwitch::kWidth, 20, colours, OnFilterToggled);
    s_filterSwitch->SetState(s_magFilterEnabled);
    panel.AddControl(s_filterSwitch);
}

} // namespace TessikMagWin
