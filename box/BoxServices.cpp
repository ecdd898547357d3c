#include "box/BoxServices.h"

#include "app/AppState.h"
#include "app/Logger.h"
#include "box/BoxRuntime.h"
#include "ui/core/KelmWindow.h"

namespace TessikDesktopContainer
{

void CreateCom(std::wstring id, std::wstring targetFolder, bool, int)
{
    Logger::GetInstance().Log(L"DesktopContainer", L"INFO",
                              L"Box " + id + L" (" + targetFolder + L") is stored; box windows are not built yet.");
}

} // namespace TessikDesktopContainer

void ToggleAllBoxesVisible()
{
    // The caller flips s_boxesHidden afterwards. The quick panel's windows
    // stand in the registry too but are no boxes.
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (!window || runtime.IsPseudoBox() || !IsWindow(window->GetHwnd()))
            continue;
        ShowWindow(window->GetHwnd(), s_boxesHidden ? SW_SHOWNOACTIVATE : SW_HIDE);
    }
}
