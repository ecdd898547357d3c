#include "box/IconFileMove.h"

#include <algorithm>
#include <optional>

#include "app/CommonHelpers.h"
#include "app/FileActionGate.h"
#include "app/FileRemoval.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxInUse.h"
#include "box/BoxRuntime.h"
#include "box/fileops/CopyJob.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/UndoList.h"
#include "box/fileops/UndoRedo.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/KelmWindow.h"

namespace
{

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring Quoted(const std::wstring& path)
{
    return L"“" + GetPathFileName(path) + L"”";
}

// UI thread: the icon follows its file into the slot it was put down in
// (earlier records may have gone meanwhile: as close as the list allows),
// and undo can take the move back.
void FinishDraggedFileMove(const std::shared_ptr<KelmWindow>& standing, const DraggedFileMove& move, ItemMoveDone done)
{
    if (!done.destination.empty()) {
        const std::shared_ptr<KelmWindow> owner = StandingBoxOf(move.owner);
        if (auto view = s_boxIconManagers.find(standing); standing && view != s_boxIconManagers.end()) {
            KelmIconManager& manager = view->second;
            // What stayed at the source keeps its icon where it was.
            if (!PathExists(move.source))
                manager.RemoveByPath(move.source);
            // The folder sync may have seen the moved item first.
            manager.RemoveByPath(done.destination);
            const int index = std::clamp(move.index, 0, static_cast<int>(manager.Records().size()));
            manager.AddRecordForEntry(index, done.destination, move.x, move.y, move.alias, move.merged, move.section,
                                      owner, true, move.originalPath);
            SaveBoxIcons(manager);
            if (IsWindow(standing->GetHwnd()))
                InvalidateRect(standing->GetHwnd(), nullptr, FALSE);
        }
        done.undo.owner = owner;
        PushUndoRecord(standing ? standing : owner, std::move(done.undo));
    }
    if (done.partly)
        NotifyUser(L"drag-move-left",
                   Quoted(move.source) + L"（" + LeftBehindReason({move.source, true, true, done.removalError}) +
                       (done.keptTwice ? L"）已移入收纳盒，但原位置有部分内容没有移走，两处的内容都已保留。"
                                       : L"）只有一部分移入了收纳盒，其余内容仍在原来的位置。"));
    if (!done.trouble.Empty())
        NotifyUser(L"drag-move-failed", JobTroubleText(done.trouble));
}

// The worker: the one item moves as a drop's does, never over anything,
// and a destination taken since the plan makes it take a free name.
void MoveItemWorker(const std::shared_ptr<KelmWindow>& box, const std::wstring& source, const std::wstring& destination,
                    const std::wstring& logText,
                    const std::function<void(const std::shared_ptr<KelmWindow>&, ItemMoveDone)>& finish)
{
    RepaintTarget target{box, box ? box->GetHwnd() : nullptr};
    const TransferOptions options = WorkerTransferOptions(target);
    CopyJob job;
    job.box = box;
    CopyJobItem planned;
    planned.source = source;
    planned.destination = destination;
    planned.move = true;
    job.items.push_back(planned);
    ItemMoveDone done;
    ForEachJobItem(job, target, L"item move", [&](const CopyJobItem& start) {
        CopyJobItem item = start;
        const MergedEntries sourceBefore = IsFolder(item.source) ? ListTree(item.source) : MergedEntries{};
        TransferReport report;
        TransferResult result = MoveItem(item.source, item.destination, false, options, &report);
        DWORD error = GetLastError();
        const bool refusedForTaken = result == TransferResult::Failed && report.leftBehind.empty() &&
                                     report.failed.size() == 1 && report.failed.front().error == ERROR_FILE_EXISTS &&
                                     report.failed.front().path == item.source;
        if (refusedForTaken && PathExists(item.destination)) {
            AvoidDestinationTakenSincePlan(item, done.trouble);
            report = TransferReport{};
            result = MoveItem(item.source, item.destination, false, options, &report);
            error = GetLastError();
        }
        if (result == TransferResult::Done || result == TransferResult::Incomplete) {
            UndoRecord& undo = done.undo;
            undo.kind = 0;
            undo.path = item.destination;
            if (result == TransferResult::Done) {
                undo.extra = item.source;
                undo.merged = std::move(report.merged);
            } else if (!sourceBefore.files.empty() && IsFolder(item.destination)) {
                // Part of the folder left its source: undo gives back that
                // part, and only that.
                MergedEntries taken;
                taken.folders = sourceBefore.folders;
                for (const std::wstring& file : sourceBefore.files)
                    if (!PathExists(item.source + L"\\" + file) && PathExists(item.destination + L"\\" + file))
                        taken.files.push_back(file);
                undo.extra = item.source;
                undo.merged = std::move(taken);
            } else {
                // Nothing left the source: the item is a copy, and undo must
                // not move it back over what is still there.
                undo.made = StampItem(item.destination);
            }
            if (report.placed) {
                undo.identity.known = true;
                undo.identity.volume = report.placed->volume;
                undo.identity.index = report.placed->index;
            } else {
                undo.identity.known =
                    IdentifyInJob(item.destination, options, undo.identity.volume, undo.identity.index);
            }
            if (undo.merged)
                undo.mergedIdentities = IdentifyEntries(item.destination, undo.merged->files);
            done.destination = item.destination;
            done.partly = result == TransferResult::Incomplete;
            done.removalError = report.removalError;
            done.keptTwice = report.keptTwice;
        } else {
            Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", logText + item.source);
            if (report.failed.empty())
                report.failed.push_back({item.source, error ? error : ERROR_GEN_FAILURE});
        }
        done.trouble.failed.insert(done.trouble.failed.end(), report.failed.begin(), report.failed.end());
    });
    // A cancel before the item started moved nothing: that is told too.
    if (done.destination.empty() && done.trouble.failed.empty() && PathExists(source))
        done.trouble.failed.push_back({source, ERROR_REQUEST_ABORTED});
    PostToJobBox([finish, done = std::move(done)](const std::shared_ptr<KelmWindow>& standing) mutable {
        finish(standing, std::move(done));
    });
    EndFileJobWorker(target);
}

} // namespace

bool StartItemMove(const std::shared_ptr<KelmWindow>& box, const std::wstring& source, const std::wstring& destination,
                   const std::wstring& logText,
                   std::function<void(const std::shared_ptr<KelmWindow>& standing, ItemMoveDone done)> finish)
{
    // The box stays as it is until the move has reported back.
    return StartFileJob(box,
                        [box, hold = BoxInUse::Hold(box), source, destination, logText, finish = std::move(finish)] {
                            MoveItemWorker(box, source, destination, logText, finish);
                        });
}

bool StartDraggedFileMove(DraggedFileMove move)
{
    // Taken before the job owns the move.
    const std::shared_ptr<KelmWindow> box = move.box;
    const std::wstring source = move.source;
    const std::wstring destination = move.destination;
    if (StartItemMove(box, source, destination, L"Failed to move dragged item: ",
                      [move = std::move(move)](const std::shared_ptr<KelmWindow>& standing, ItemMoveDone done) {
                          FinishDraggedFileMove(standing, move, std::move(done));
                      }))
        return true;
    // The gate tells its own reason when it is closed.
    if (!FileActionGate::IsClosed())
        NotifyUser(L"drag-move-refused", L"另一项文件操作正在进行，" + Quoted(source) +
                                             L"没有移入收纳盒，仍在原来的位置。\n请在当前操作完成后重试。");
    return false;
}
