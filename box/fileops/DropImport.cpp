#include "box/fileops/DropImport.h"

#include <algorithm>
#include <filesystem>

#include "app/Logger.h"
#include "box/BoxRuntime.h"
#include "box/fileops/DropPlan.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/SameNameQuestion.h"
#include "box/fileops/UndoList.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/KelmWindow.h"

namespace fs = std::filesystem;

std::function<int(HWND owner)> s_sameNameQuestion = AskSameNameQuestion;

namespace
{

bool ExistsOnDisk(const std::wstring& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(fs::path(path), ec));
}

bool SameItem(const std::wstring& a, const std::wstring& b)
{
    std::error_code ec;
    return fs::equivalent(fs::path(a), fs::path(b), ec) && !ec;
}

bool FolderExists(const std::wstring& path)
{
    std::error_code ec;
    return path != L"bvn!NULL" && fs::is_directory(fs::path(path), ec);
}

void Invalidate(const BoxWindowPtr& box)
{
    if (box && IsWindow(box->GetHwnd()))
        InvalidateRect(box->GetHwnd(), nullptr, FALSE);
}

// UI thread: one finished item becomes its record and undo record.
void FinishDroppedCopy(const std::weak_ptr<KelmWindow>& weakBox, const CopyJobItem& item)
{
    BoxWindowPtr box = weakBox.lock();
    if (!box)
        return;
    auto manager = s_boxIconManagers.find(box);
    if (manager == s_boxIconManagers.end())
        return;
    UndoRecord record;
    record.kind = 0;
    record.path = item.destination;
    if (item.move)
        record.extra = item.source;
    record.owner = item.owner;
    PushUndoRecord(box, std::move(record));
    // Earlier items of the job may have failed: the record goes as closest to
    // its planned place as the list now allows.
    const int count = static_cast<int>(manager->second.Records().size());
    const int index = std::clamp(item.insertIndex, 0, count);
    const bool foreign = item.owner && item.owner != box;
    manager->second.AddRecordForEntry(index, item.destination, item.dropX, item.dropY, L"bvn!NULL", foreign, L"",
                                      item.owner, false, item.originalPath);
    SaveBoxIcons(manager->second);
    Invalidate(box);
}

} // namespace

void CopyFilesWorker(CopyJob job)
{
    RepaintTarget target{job.box, job.box ? job.box->GetHwnd() : nullptr};
    TransferOptions options;
    options.progress = CopyProgressRoutine;
    options.context = &target;
    options.cancelled = FileJobCancelled;
    options.onFolder = [&target] {
        s_copyProgress.fraction = 0.5f;
        PostRepaint(target, false);
    };
    std::weak_ptr<KelmWindow> weak = job.box;
    for (const CopyJobItem& item : job.items) {
        if (FileJobCancelled())
            break;
        s_copyProgress.SetCurrentName(item.source);
        s_copyProgress.fraction = 0.0f;
        PostRepaint(target, true);
        const TransferResult result = item.move ? MoveItem(item.source, item.destination, item.replace, options)
                                                : CopyItem(item.source, item.destination, options);
        if (result == TransferResult::Done) {
            if (job.box)
                job.box->animationManager.PostCallback([weak, item] { FinishDroppedCopy(weak, item); });
        } else if (result == TransferResult::Failed) {
            Logger::GetInstance().Log(
                L"DesktopContainer", L"ERROR",
                std::wstring(item.move ? L"Failed to move dropped item: " : L"Failed to copy dropped item: ") +
                    item.source);
        }
    }
    EndFileJobWorker(target);
}

void ImportDroppedFiles(const std::shared_ptr<KelmWindow>& box, const DroppedFiles& drop)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    auto managerEntry = s_boxIconManagers.find(box);
    if (!runtime || managerEntry == s_boxIconManagers.end())
        return;
    KelmIconManager& manager = managerEntry->second;
    const HWND hwnd = box->GetHwnd();

    POINT client = drop.cursor;
    ScreenToClient(hwnd, &client);
    const DropPlan::Point point{static_cast<float>(client.x / DpiScale), static_cast<float>(client.y / DpiScale)};

    std::vector<DropPlan::Point> positions;
    for (const IconRecord& record : manager.Records())
        positions.push_back({record.x, record.y});
    const DropPlan::Placement placement =
        DropPlan::PlaceAmong(positions, static_cast<float>(manager.GetIconSize()), point);
    BoxWindowPtr owner = box;
    if (placement.nearest >= 0) {
        const IconRecord& closest = manager.Records()[placement.nearest];
        if (closest.owner)
            owner = closest.owner;
    }
    const bool foreign = owner != box;

    if (!(runtime->UseTargetFolder && FolderExists(runtime->TargetFolder))) {
        int index = placement.insertIndex;
        for (const std::wstring& path : drop.paths) {
            UndoRecord record;
            record.kind = 3;
            record.path = path;
            record.owner = owner;
            PushUndoRecord(box, std::move(record));
            manager.AddRecordForEntry(std::min<int>(index, static_cast<int>(manager.Records().size())), path, point.x,
                                      point.y, L"bvn!NULL", foreign, L"", owner, false, L"bvn!NULL");
            ++index;
        }
        s_droppedFiles.clear();
        manager.Renumber();
        SaveBoxIcons(manager);
        Invalidate(box);
        return;
    }

    const bool ctrl = drop.ctrlAtDrop || GetAsyncKeyState(VK_CONTROL) < 0;
    // A drag that only offers a copy (another box's locked files, a
    // read-only source) is never moved.
    const bool move = !ctrl && (drop.allowedEffects & DROPEFFECT_MOVE) != 0;
    const DropPlan::Disk disk{ExistsOnDisk, SameItem};
    const DropPlan::Plan plan =
        DropPlan::PlanInto(drop.paths, runtime->TargetFolder, disk, [hwnd] { return s_sameNameQuestion(hwnd); });
    s_droppedFiles.clear();
    // The question reset nothing the hover repaint needs.
    HoverAnimationCount = 0;
    if (plan.cancelled)
        return;

    CopyJob job;
    job.box = box;
    job.conflictChoice = plan.choice;
    for (const DropPlan::Item& planned : plan.items) {
        CopyJobItem item;
        item.source = planned.source;
        item.destination = planned.destination;
        item.originalPath = planned.source;
        item.insertIndex = placement.insertIndex + planned.sourceIndex;
        item.dropX = point.x;
        item.dropY = point.y;
        item.owner = owner;
        item.move = move;
        item.replace = planned.replace;
        job.items.push_back(std::move(item));
    }
    if (job.items.empty()) {
        manager.Renumber();
        SaveBoxIcons(manager);
        Invalidate(box);
        return;
    }
    StartFileJob(box, [job = std::move(job)]() mutable { CopyFilesWorker(std::move(job)); });
}
