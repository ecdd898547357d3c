#include "box/BoxRuntime.h"

#include <filesystem>

#include "app/CommonHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/controls/KelmButton.h"

std::unordered_map<BoxWindowPtr, BoxRuntime> s_boxRuntimes;

bool IsQuickPanelPseudoId(const std::wstring& id)
{
    return id == L"QUICK_PANEL_ROOT" || id == L"QUICK_PANEL_PHYS" || id == L"QUICK_PANEL_CONTENT";
}

bool BoxRuntime::IsPseudoBox() const
{
    return IsQuickPanelPseudoId(id);
}

BoxRuntime* FindBoxRuntime(const BoxWindowPtr& box)
{
    if (!box)
        return nullptr;
    auto found = s_boxRuntimes.find(box);
    return found == s_boxRuntimes.end() ? nullptr : &found->second;
}

std::wstring BoxRuntime::BackingFolder() const
{
    if (!UseTargetFolder || TargetFolder == L"bvn!NULL" || TargetFolder.empty())
        return L"";
    const std::wstring folder = NormalizeStoredPath(TargetFolder);
    std::error_code ec;
    return std::filesystem::is_directory(std::filesystem::path(folder), ec) ? folder : L"";
}

void RepaintBoxWindows(const BoxWindowPtr& box)
{
    if (!box || !IsWindow(box->GetHwnd()))
        return;
    InvalidateRect(box->GetHwnd(), nullptr, FALSE);
    if (const BoxRuntime* runtime = FindBoxRuntime(box); runtime && runtime->inputWindow)
        InvalidateRect(runtime->inputWindow, nullptr, FALSE);
}

std::vector<BoxWindowPtr> BoxesWithTagColour(COLORREF colour)
{
    std::vector<BoxWindowPtr> boxes;
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (window && !runtime.IsPseudoBox() && runtime.titleButton && runtime.titleButton->fill == colour)
            boxes.push_back(window);
    }
    return boxes;
}

std::vector<BoxWindowPtr> IntegratedGroupMembers(const BoxWindowPtr& host)
{
    const BoxRuntime* runtime = FindBoxRuntime(host);
    if (!runtime || !runtime->IsIntegrated || !runtime->titleButton)
        return {};
    std::vector<BoxWindowPtr> members;
    for (const BoxWindowPtr& box : BoxesWithTagColour(runtime->titleButton->fill)) {
        if (box != host && s_boxRuntimes[box].UseTargetFolder == runtime->UseTargetFolder)
            members.push_back(box);
    }
    return members;
}
