#include "box/BoxIconOpen.h"

#include <windows.h>

#include <shellapi.h>

#include <cwctype>
#include <filesystem>

#include "box/BoxIconDrag.h"
#include "box/BoxRuntime.h"
#include "box/BoxShortcuts.h"
#include "box/BoxWindowHooks.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;

namespace
{

std::wstring LowerExtension(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return L"";
    std::wstring ext = path.substr(dot);
    for (wchar_t& c : ext)
        c = static_cast<wchar_t>(std::towlower(c));
    return ext;
}

void Launch(const IconLaunch& launch)
{
    if (launch.throughExplorer) {
        std::wstring commandLine = launch.text;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        return;
    }
    ShellExecuteW(nullptr, L"open", launch.text.c_str(), nullptr, nullptr, SW_SHOW);
}

void ToggleSelection(BoxRuntime& runtime, int32_t id)
{
    if (!runtime.selection.erase(id))
        runtime.selection.insert(id);
}

} // namespace

std::function<void(const IconLaunch&)> s_iconLauncher = Launch;

IconLaunch PlanIconLaunch(const std::wstring& path, bool isFolder)
{
    if (isFolder || LowerExtension(path) == L".lnk")
        return {true, L"explorer.exe \"" + path + L"\""};
    return {false, path};
}

void OpenIcon(KelmIconManager& view, const IconRecord& record)
{
    if (!view.FindById(record.id))
        return;
    const BoxWindowPtr& box = view.OwnBox();
    BoxRuntime* runtime = box ? FindBoxRuntime(box) : nullptr;
    if (runtime && runtime->dropPending) {
        if (s_dragFinishAction) {
            std::function<void()> drop = std::move(s_dragFinishAction);
            s_dragFinishAction = nullptr;
            drop();
        }
        return;
    }
    const IconRecord copy = record;
    // The click's own keys first: handled late, it finds Ctrl already up.
    const bool ctrl = (MouseMessageKeys() & MK_CONTROL) ||
                      (s_boxShortcutInput.keyDown && s_boxShortcutInput.keyDown(VK_CONTROL));
    if (runtime && (ctrl || runtime->multiSelect)) {
        if (!runtime->multiSelect) {
            runtime->multiSelect = true;
            runtime->selection.clear();
        }
        ToggleSelection(*runtime, static_cast<int32_t>(copy.id));
        s_boxWindowHooks.Invalidate(box);
        return;
    }
    std::error_code error;
    const bool isFolder = std::filesystem::is_directory(copy.path, error);
    s_iconLauncher(PlanIconLaunch(copy.path, isFolder));
}
