#include "box/GroupTagColourPopup.h"

#include <vector>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxRuntime.h"
#include "box/BoxSettings.h"
#include "box/icons/KelmIconManager.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmColorPattle.h"
#include "ui/controls/PalettePopup.h"
#include "ui/core/KelmWindow.h"

PendingBoxTimer s_pendingGroupTag(ShowGroupTagPopup);

namespace
{

bool ShowPalette(HWND owner, COLORREF current, COLORREF* chosen)
{
    KelmColorPattle::KelmCreateWindow(owner, false, 0, 0, 0, current);
    if (s_paletteDismissed)
        return false;
    *chosen = s_paletteChosenColor;
    return true;
}

void Log(const wchar_t* level, const std::wstring& text)
{
    Logger::GetInstance().Log(L"DesktopContainer", level, text);
}

void SetTagColour(const BoxRuntime& runtime, COLORREF colour, const std::wstring& text)
{
    if (runtime.titleButton)
        runtime.titleButton->fill = colour;
    if (runtime.captionBar)
        runtime.captionBar->colour = colour;
    if (KelmStorageNestedObject* object = FindBoxObject(s_desktopContainerStore, runtime.id))
        object->members[L"clrtag"] = text;
}

COLORREF CurrentColour(const BoxRuntime& runtime)
{
    return runtime.titleButton ? runtime.titleButton->fill : RGB(0xF2, 0xF2, 0xF2);
}

} // namespace

std::function<bool(HWND owner, COLORREF current, COLORREF* chosen)> s_groupTagPalette = ShowPalette;

bool ApplyGroupTagColour(const std::shared_ptr<KelmWindow>& box, COLORREF colour)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return false;
    const std::wstring text = ColorToHex(colour);
    SetTagColour(*runtime, colour, text);
    if (runtime->IsIntegrated) {
        auto manager = s_boxIconManagers.find(box);
        if (manager != s_boxIconManagers.end()) {
            for (const IconRecord& record : manager->second.Records()) {
                if (!record.owner || record.owner == box)
                    continue;
                if (const BoxRuntime* other = FindBoxRuntime(record.owner))
                    SetTagColour(*other, colour, text);
            }
        }
    }
    bool saved = true;
    try {
        s_desktopContainerStore.Save();
    } catch (...) {
        saved = false;
    }
    if (!saved) {
        Log(L"ERROR", L"The group tag colour of box " + runtime->id + L" could not be saved.");
        NotifyUserOnce(L"group-tag-save", L"标签颜色已更改，但无法保存到配置文件，重新启动后可能恢复为原来的颜色。");
    }
    if (IsWindow(box->GetHwnd()))
        InvalidateRect(box->GetHwnd(), nullptr, FALSE);
    return saved;
}

void CALLBACK ShowGroupTagPopup(HWND, UINT, UINT_PTR timerId, DWORD)
{
    BoxWindowPtr box = s_pendingGroupTag.Take(timerId);
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    // The preset rows are shared with the other colour popups: theirs come
    // back once this one has closed.
    struct PresetsBack {
        std::vector<PaletteColorEntry> saved = s_paletteExtraColors;
        ~PresetsBack() { s_paletteExtraColors = std::move(saved); }
    } presetsBack;
    s_paletteExtraColors = {{HexToColor(L"#454545"), L""}, {HexToColor(L"#F2F2F2"), L"未分组"}};
    try {
        COLORREF chosen = 0;
        const bool picked = s_groupTagPalette(box->GetHwnd(), CurrentColour(*runtime), &chosen);
        // White is the palette's "no colour".
        if (picked && chosen != RGB(0xFF, 0xFF, 0xFF))
            ApplyGroupTagColour(box, chosen);
    } catch (...) {
        Log(L"ERROR", L"The group tag colour could not be changed.");
    }
}
