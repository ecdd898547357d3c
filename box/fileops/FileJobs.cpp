#include "box/fileops/FileJobs.h"

#include <algorithm>
#include <thread>

#include "app/FileRemoval.h"
#include "app/Logger.h"
#include "box/fileops/CopyJob.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileWorkerTracker.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/KelmWindow.h"

namespace
{

double Linear(double p)
{
    return p;
}

// Stops whatever animation drives the card now, on the window it runs on.
void StopDisplayAnimation()
{
    if (s_copyProgress.displayAnimation != -1 && s_copyProgress.targetWindow)
        s_copyProgress.targetWindow->StopAnimation(s_copyProgress.displayAnimation);
    s_copyProgress.displayAnimation = -1;
}

// UI thread: the end of a job.
void FinishFileJob(const std::weak_ptr<KelmWindow>& weakBox)
{
    try {
        if (BoxWindowPtr box = weakBox.lock()) {
            auto manager = s_boxIconManagers.find(box);
            if (manager != s_boxIconManagers.end()) {
                manager->second.Renumber();
                SaveBoxIcons(manager->second);
            }
        }
    } catch (...) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"Saving the icons after a file job failed.");
    }
    // Released here, on the UI thread, so that no new job can start (and
    // then be faded out by this completion) before this job has ended.
    s_copyProgress.busy = false;
    StopDisplayAnimation();
    const std::shared_ptr<KelmWindow>& target = s_copyProgress.targetWindow;
    if (target && IsWindow(target->GetHwnd())) {
        target->StartAnimationTimer();
        s_copyProgress.displayAnimation = target->AnimateVariable<double>(
            s_copyProgress.displayLevel, s_copyProgress.displayLevel, 0.0, 0.25, Linear);
    } else {
        s_copyProgress.displayLevel = 0.0;
    }
}

} // namespace

bool FileJobCancelled()
{
    return s_copyProgress.cancel || FileWorkerTracker::GetInstance().CancelRequested();
}

bool StartFileJob(const std::shared_ptr<KelmWindow>& box, std::function<void()> work)
{
    if (!box || !work)
        return false;
    if (s_copyProgress.busy) {
        // A job whose worker has ended but whose window is gone can never
        // run its final completion; it must not block every later job.
        const auto& old = s_copyProgress.targetWindow;
        if (s_copyProgress.workerRunning || (old && IsWindow(old->GetHwnd())))
            return false;
    }
    StopDisplayAnimation();
    s_copyProgress.busy = true;
    s_copyProgress.cancel = false;
    s_copyProgress.workerRunning = true;
    s_copyProgress.fraction = 0.0f;
    s_copyProgress.SetCurrentName(L"");
    s_copyProgress.targetWindow = box;
    box->StartAnimationTimer();
    s_copyProgress.displayAnimation =
        box->AnimateVariable<double>(s_copyProgress.displayLevel, s_copyProgress.displayLevel, 1.0, 0.25, Linear);
    try {
        std::thread([work = std::move(work)] {
            FileWorkerTracker::Scope scope(FileWorkerTracker::GetInstance());
            try {
                work();
            } catch (...) {
                Logger::GetInstance().Log(L"DesktopContainer", L"ERROR",
                                          L"A file worker stopped on an unexpected error.");
            }
        }).detach();
    } catch (...) {
        s_copyProgress.busy = false;
        s_copyProgress.workerRunning = false;
        FinishFileJob(box);
        return false;
    }
    return true;
}

void EndFileJobWorker(const RepaintTarget& target)
{
    s_copyProgress.workerRunning = false;
    if (!target.window) {
        s_copyProgress.busy = false;
        return;
    }
    std::weak_ptr<KelmWindow> weak = target.window;
    target.window->animationManager.PostCallback([weak] { FinishFileJob(weak); });
}

void PostRepaint(const RepaintTarget& target, bool throttle)
{
    if (!target.window)
        return;
    const uint32_t now = GetTickCount();
    if (throttle) {
        uint32_t last = s_copyProgress.lastPostTick;
        if (!RepaintDue(now, last) || !s_copyProgress.lastPostTick.compare_exchange_strong(last, now))
            return;
    } else {
        s_copyProgress.lastPostTick = now;
    }
    const HWND hwnd = target.hwnd;
    target.window->animationManager.PostCallback([hwnd] {
        if (IsWindow(hwnd))
            InvalidateRect(hwnd, nullptr, FALSE);
    });
}

DWORD CALLBACK CopyProgressRoutine(LARGE_INTEGER total, LARGE_INTEGER transferred, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                                   DWORD, HANDLE, HANDLE, LPVOID context)
{
    if (FileJobCancelled())
        return PROGRESS_CANCEL;
    if (total.QuadPart > 0)
        s_copyProgress.fraction = static_cast<float>(transferred.QuadPart) / static_cast<float>(total.QuadPart);
    if (context)
        PostRepaint(*static_cast<const RepaintTarget*>(context), true);
    return PROGRESS_CONTINUE;
}

TransferOptions WorkerTransferOptions(RepaintTarget& target)
{
    TransferOptions options;
    options.progress = CopyProgressRoutine;
    options.context = &target;
    options.cancelled = FileJobCancelled;
    options.onFolder = [&target] {
        s_copyProgress.fraction = 0.5f;
        PostRepaint(target, false);
    };
    return options;
}

void ForEachJobItem(const CopyJob& job, const RepaintTarget& target, const wchar_t* jobName,
                    const std::function<void(const CopyJobItem&)>& step)
{
    try {
        for (const CopyJobItem& item : job.items) {
            if (FileJobCancelled())
                break;
            s_copyProgress.SetCurrentName(item.source);
            s_copyProgress.fraction = 0.0f;
            PostRepaint(target, true);
            step(item);
        }
    } catch (...) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR",
                                  std::wstring(L"A ") + jobName + L" job stopped on an unexpected error.");
    }
}

bool KeepWhatItemReplaces(const CopyJobItem& item, const TransferOptions& options)
{
    if (!item.replace || !PathExists(item.destination))
        return true;
    if (item.keptCopy.empty())
        return false;
    if (CopyItem(item.destination, item.keptCopy, true, options) == TransferResult::Done)
        return true;
    RemoveItemWithoutFollowingLinks(item.keptCopy);
    return false;
}

void DropKeptCopyOfFailedItem(const CopyJobItem& item)
{
    if (item.keptCopy.empty())
        return;
    const DWORD attributes = GetFileAttributesW(item.keptCopy.c_str());
    // A file is replaced all at once or not at all.
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        RemoveItemWithoutFollowingLinks(item.keptCopy);
}

bool FileJobWorksFor(const std::shared_ptr<KelmWindow>& box)
{
    if (!box || !s_copyProgress.busy)
        return false;
    const std::shared_ptr<KelmWindow> target = s_copyProgress.targetWindow;
    if (!target || target == box)
        return true;
    // A job whose worker ended in a window that is gone no longer works.
    if (!s_copyProgress.workerRunning && !IsWindow(target->GetHwnd()))
        return false;
    auto shows = [](const std::shared_ptr<KelmWindow>& view, const std::shared_ptr<KelmWindow>& owner) {
        auto manager = s_boxIconManagers.find(view);
        if (manager == s_boxIconManagers.end())
            return false;
        const auto& records = manager->second.Records();
        return std::any_of(records.begin(), records.end(), [&](const IconRecord& r) { return r.owner == owner; });
    };
    return shows(target, box) || shows(box, target);
}
