#include "box/BoxDrop.h"

#include "app/Logger.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/FileJobProgress.h"
#include "ui/core/DragDropState.h"
#include "ui/core/KelmWindow.h"

namespace TessikDesktopContainer
{

namespace
{

struct PendingBoxDrop {
    BoxWindowPtr window;
    DroppedFiles files;
};

PendingBoxDrop& Slot()
{
    static PendingBoxDrop slot;
    return slot;
}

} // namespace

bool BoxDropPending()
{
    return Slot().window != nullptr;
}

bool BoxAcceptsDrop(const BoxWindowPtr& box)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || runtime->IsLocked || runtime->SearchFilters() || BoxDropPending())
        return false;
    // The files of a folder box would only be lost to a job that cannot
    // start: refuse the drop so the source keeps them.
    return !(runtime->UseTargetFolder && s_copyProgress.busy);
}

void OnBoxDropFiles(const BoxWindowPtr& box, const std::vector<std::wstring>& paths)
{
    if (!BoxAcceptsDrop(box) || paths.empty())
        return;
    PendingBoxDrop& slot = Slot();
    slot.window = box;
    slot.files.paths = paths;
    GetCursorPos(&slot.files.cursor);
    slot.files.allowedEffects = s_dropAllowedEffects;
    slot.files.ctrlAtDrop = s_dropCtrlHeld;
    if (!SetTimer(nullptr, 0, 10, ProcessDroppedFiles))
        slot = PendingBoxDrop{};
}

void CALLBACK ProcessDroppedFiles(HWND, UINT, UINT_PTR timerId, DWORD)
{
    KillTimer(nullptr, timerId);
    PendingBoxDrop& slot = Slot();
    if (!slot.window)
        return;
    PendingBoxDrop taken = std::move(slot);
    slot = PendingBoxDrop{};
    try {
        ImportDroppedFiles(taken.window, taken.files);
    } catch (const std::exception& e) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR",
                                  L"Importing dropped files failed: " +
                                      std::wstring(e.what(), e.what() + strlen(e.what())));
    } catch (...) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"Importing dropped files failed.");
    }
}

} // namespace TessikDesktopContainer
