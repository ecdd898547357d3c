#include "box/BoxIconDrag.h"

#include "box/BoxRuntime.h"
#include "box/BoxShortcuts.h"
#include "ui/core/KelmDragHelper.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;

std::function<DWORD(const std::vector<std::wstring>&, DWORD, HWND)> s_iconFileDrag = KelmDragHelper::StartFileDrag;

DWORD IconDragEffects(bool folderBacked, bool locked, bool ctrlDown)
{
    if (locked || ctrlDown || !folderBacked)
        return DROPEFFECT_COPY;
    return DROPEFFECT_MOVE;
}

void BeginIconDrag(KelmIconManager& view, const IconRecord& record)
{
    if (!view.FindById(record.id))
        return;
    const BoxWindowPtr box = view.OwnBox();
    BoxRuntime* runtime = box ? FindBoxRuntime(box) : nullptr;
    if (!runtime)
        return;
    const bool ctrl = s_boxShortcutInput.keyDown && s_boxShortcutInput.keyDown(VK_CONTROL);
    const DWORD effects = IconDragEffects(runtime->UseTargetFolder, runtime->IsLocked, ctrl);
    std::vector<std::wstring> paths;
    if (runtime->multiSelect && runtime->selection.count(static_cast<int32_t>(record.id)))
        paths = SelectedPaths(*runtime, view);
    else
        paths = {record.path};
    if (!paths.empty())
        s_iconFileDrag(paths, effects, box->GetHwnd());
}
