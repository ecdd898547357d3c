#include "box/BoxDrop.h"

#include "app/FileActionGate.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxInUse.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileJobs.h"
#include "ui/core/DragDropState.h"
#include "ui/core/DropOutcome.h"
#include "ui/core/KelmWindow.h"

namespace TessikDesktopContainer
{

namespace
{

constexpr wchar_t kDropRefused[] = L"拖入的文件没有放入收纳盒，仍在原来的位置";

struct PendingBoxDrop {
    BoxWindowPtr window;
    DroppedFiles files;
    // From the drop on, the box stays as it is until the drop's job ends.
    BoxInUse hold;
};

PendingBoxDrop& Slot()
{
    static PendingBoxDrop slot;
    return slot;
}

} // namespace

bool BoxDropPending()
{
    // A taken drop stays pending until its plan ran: its same-name question
    // runs a modal loop, in which a second drop would be parked, asked a
    // question that cannot open, and be dropped unseen.
    return Slot().window != nullptr || DropBeingLookedAt();
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

namespace
{

// ownView: the drop came over the box's own window, whose lock and search
// keep drops off (as it shows); another view of the box shows neither.
void TellRefused(const BoxWindowPtr& box, bool ownView)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    const bool shown = !ownView || (!runtime->IsLocked && !runtime->SearchFilters());
    // An earlier drop still waits (its same-name question may be open):
    // this one was refused whole, on any box, and the user hears why.
    if (BoxDropPending() && shown) {
        if (!FileActionGate::Refuses(kDropRefused))
            NotifyUser(L"drop-pending", L"上一次拖入的文件还没有处理完（可能正在等待您的回答），这次拖入的文件没有放入收纳盒，"
                                        L"仍在原来的位置。\n请在上一次拖入完成后重试。");
        return;
    }
    if (!runtime->UseTargetFolder || !s_copyProgress.busy || FileActionGate::Refuses(kDropRefused))
        return;
    NotifyUser(L"drop-busy", std::wstring(FileJobWorksFor(box) ? L"这个收纳盒的文件操作（复制、移动或删除）正在进行"
                                                               : L"另一项文件操作正在进行") +
                                 L"，拖入的文件没有放入收纳盒，仍在原来的位置。\n请在当前操作完成后重试。");
}

// The drop goes into the one pending slot; a 10 ms timer imports it
// outside the drop call. at: where another view of the box put it.
void ParkDrop(const BoxWindowPtr& box, const std::vector<std::wstring>& paths, std::optional<DropPlacement> at)
{
    // Until the drop is parked, it is refused: the source keeps its files.
    const std::shared_ptr<DropOutcome> outcome = s_dropOutcome;
    if (outcome)
        outcome->Take(DROPEFFECT_NONE);
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || paths.empty())
        return;
    const bool accepts =
        at ? !BoxDropPending() && !(runtime->UseTargetFolder && s_copyProgress.busy) : BoxAcceptsDrop(box);
    if (!accepts) {
        TellRefused(box, !at);
        return;
    }
    if (FileActionGate::Refuses(kDropRefused))
        return;
    const DWORD effect = DecideDropEffect(*runtime, paths, s_dropAllowedEffects, s_dropCtrlHeld);
    if (effect == DROPEFFECT_NONE) {
        TellDroppedIntoItself(paths);
        return;
    }
    PendingBoxDrop& slot = Slot();
    slot.window = box;
    slot.hold = BoxInUse::Hold(box);
    slot.files.paths = paths;
    GetCursorPos(&slot.files.cursor);
    slot.files.effect = effect;
    slot.files.outcome = outcome;
    slot.files.at = std::move(at);
    if (!SetTimer(nullptr, 0, 10, ProcessDroppedFiles)) {
        slot = PendingBoxDrop{};
        return;
    }
    if (outcome)
        outcome->Take(effect);
}

} // namespace

void TellBoxDropRefused(const BoxWindowPtr& box)
{
    TellRefused(box, true);
}

void OnBoxDropFiles(const BoxWindowPtr& box, const std::vector<std::wstring>& paths)
{
    ParkDrop(box, paths, std::nullopt);
}

void DropOnBoxAt(const BoxWindowPtr& box, const std::vector<std::wstring>& paths, const DropPlacement& at)
{
    ParkDrop(box, paths, at);
}

void CALLBACK ProcessDroppedFiles(HWND, UINT, UINT_PTR timerId, DWORD)
{
    KillTimer(nullptr, timerId);
    PendingBoxDrop& slot = Slot();
    if (!slot.window)
        return;
    PendingBoxDrop taken = std::move(slot);
    slot = PendingBoxDrop{};
    // Parked before the program began to end.
    if (FileActionGate::Refuses(kDropRefused))
        return;
    try {
        // Whatever ends the import early, the outcome is told (as nothing
        // taken) when the last holder lets it go, here on the UI thread.
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
