#include "box/fileops/FileJobs.h"

#include <algorithm>
#include <thread>

#include "app/FileActionGate.h"
#include "app/AppState.h"
#include "app/CommonHelpers.h"
#include "app/ErrorReason.h"
#include "app/FileRemoval.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxContent.h"
#include "box/BoxRuntime.h"
#include "box/fileops/CopyJob.h"
#include "box/fileops/DropPlan.h"
#include "box/fileops/FileJobMailbox.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileWorkerTracker.h"
#include "box/fileops/PartFileJournal.h"
#include "box/fileops/UndoList.h"
#include "box/fileops/UndoRedo.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/KelmWindow.h"

namespace
{

double Linear(double p)
{
    return p;
}

// Set by the job's last step on its worker thread.
thread_local bool t_jobEnded = false;

// Stops whatever animation drives the card now, on the window it runs on.
void StopDisplayAnimation()
{
    if (s_copyProgress.displayAnimation != -1 && s_copyProgress.targetWindow)
        s_copyProgress.targetWindow->StopAnimation(s_copyProgress.displayAnimation);
    s_copyProgress.displayAnimation = -1;
}

// UI thread: the box the running job works for, as it stands now: its
// window while that is still the box's, else the box of the same id (made
// again), else none.
BoxWindowPtr StandingJobBox()
{
    const BoxWindowPtr& target = s_copyProgress.targetWindow;
    const std::wstring& id = s_copyProgress.targetBoxId;
    if (id.empty())
        return target;
    if (const BoxRuntime* runtime = FindBoxRuntime(target); runtime && runtime->id == id)
        return target;
    for (auto& [window, runtime] : s_boxRuntimes)
        if (window && runtime.id == id && !runtime.IsPseudoBox())
            return window;
    return nullptr;
}

// UI thread: the end of a job.
void FinishFileJob()
{
    const BoxWindowPtr box = StandingJobBox();
    try {
        if (box) {
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
    // The card fades in the box that stands, not in a window that went.
    if (box)
        s_copyProgress.targetWindow = box;
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
    if (!box || !work || FileActionGate::Refuses(L"没有开始文件操作，文件仍在原来的位置"))
        return false;
    if (s_copyProgress.busy) {
        // A job whose worker has ended but whose window is gone can never
        // run its final completion; it must not block every later job.
        const auto& old = s_copyProgress.targetWindow;
        if (s_copyProgress.workerRunning || (old && IsWindow(old->GetHwnd())))
            return false;
    }
    // Its results come back through the mailbox: without one, none would.
    if (!FileJobMailbox::Open())
        return false;
    StopDisplayAnimation();
    // The worker records its part files where this start knows the data
    // folder to be.
    PartFileJournal::UseDataFolder(s_dataFolder);
    s_copyProgress.busy = true;
    s_copyProgress.cancel = false;
    s_copyProgress.workerRunning = true;
    s_copyProgress.fraction = 0.0f;
    s_copyProgress.SetCurrentName(L"");
    s_copyProgress.targetWindow = box;
    const BoxRuntime* runtime = FindBoxRuntime(box);
    s_copyProgress.targetBoxId = runtime ? runtime->id : L"";
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
            // A worker that stopped before its last step still ends its job:
            // nothing of it may hold the record for the rest of the run.
            if (!t_jobEnded)
                EndFileJobWorker(RepaintTarget{});
        }).detach();
    } catch (...) {
        s_copyProgress.busy = false;
        s_copyProgress.workerRunning = false;
        FinishFileJob();
        return false;
    }
    return true;
}

void EndFileJobWorker(const RepaintTarget&)
{
    t_jobEnded = true;
    s_copyProgress.workerRunning = false;
    FileJobMailbox::Post([] { FinishFileJob(); });
}

std::shared_ptr<KelmWindow> StandingBoxOf(const std::shared_ptr<KelmWindow>& owner)
{
    if (!owner || FindBoxRuntime(owner) || owner != s_copyProgress.targetWindow)
        return owner;
    return StandingJobBox();
}

void PostFromJob(std::function<void()> callback)
{
    FileJobMailbox::Post(std::move(callback));
}

void PostToJobBox(std::function<void(const std::shared_ptr<KelmWindow>& box)> callback)
{
    FileJobMailbox::Post([callback = std::move(callback)] { callback(StandingJobBox()); });
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
    // Only the card shows a job's progress: a whole paint of a box with a
    // thousand files takes the UI thread long enough to make it wait.
    PostToJobBox([](const BoxWindowPtr& box) {
        if (!box || !IsWindow(box->GetHwnd()))
            return;
        RECT card{};
        if (TessikDesktopContainer::ProgressCardChangePixels(box, card))
            RepaintWindowPart(box->GetHwnd(), card, &s_copyProgress);
        else
            InvalidateRect(box->GetHwnd(), nullptr, FALSE);
    });
}

DWORD CALLBACK CopyProgressRoutine(LARGE_INTEGER total, LARGE_INTEGER transferred, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                                   DWORD, HANDLE, HANDLE, LPVOID context)
{
    if (FileJobCancelled())
        return PROGRESS_CANCEL;
    // Inside a folder the total is that of one of its files: the folder
    // stays half way.
    if (total.QuadPart > 0 && !s_copyProgress.itemIsFolder)
        s_copyProgress.SetItemFraction(static_cast<float>(transferred.QuadPart) / static_cast<float>(total.QuadPart));
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
    // One record of part files and one look at each folder for the job.
    options.job = NewTransferJobState();
    options.onFolder = [&target] {
        s_copyProgress.itemIsFolder = true;
        s_copyProgress.SetItemFraction(0.5f);
        PostRepaint(target, false);
    };
    return options;
}

namespace
{

// An item at least this heavy is named on the card as it starts, not only
// at the next repaint that is due.
constexpr uint64_t kNamedAtOnce = 8 * 1024 * 1024;

// The bytes of a file (a folder, or what cannot be read, has none here).
uint64_t FileBytes(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

void ForEachJobItem(const CopyJob& job, const RepaintTarget& target, const wchar_t* jobName,
                    const std::function<void(const CopyJobItem&)>& step)
{
    ForEachJobItemWhile(job, target, jobName, [&step](const CopyJobItem& item) {
        step(item);
        return true;
    });
}

void ForEachJobItemWhile(const CopyJob& job, const RepaintTarget& target, const wchar_t* jobName,
                         const std::function<bool(const CopyJobItem&)>& step)
{
    try {
        // The bar follows the whole job: each item weighs its bytes, read
        // here on the worker (under Wine the system's copy reports no
        // progress within a file, and the bar still moves file by file).
        std::vector<uint64_t> weights;
        weights.reserve(job.items.size());
        uint64_t total = 0;
        for (const CopyJobItem& item : job.items) {
            weights.push_back(JobItemWeight(FileBytes(item.source)));
            total += weights.back();
        }
        s_copyProgress.StartJob(total);
        for (size_t i = 0; i < job.items.size(); ++i) {
            if (FileJobCancelled())
                break;
            s_copyProgress.SetCurrentName(job.items[i].source);
            s_copyProgress.StartItem(weights[i]);
            // An item that takes a while (a large file) is named on the card
            // at once: the system may report nothing more until it is done.
            PostRepaint(target, weights[i] < kNamedAtOnce);
            const bool goOn = step(job.items[i]);
            s_copyProgress.FinishItem();
            if (!goOn)
                break;
        }
        PostRepaint(target, false);
    } catch (...) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR",
                                  std::wstring(L"A ") + jobName + L" job stopped on an unexpected error.");
    }
}

namespace
{

std::wstring Under(const std::wstring& root, const std::wstring& relative)
{
    return root + L"\\" + relative;
}

void ListUnder(const std::wstring& folder, const std::wstring& relative, MergedEntries& out)
{
    ForEachFolderEntry(folder, [&](const std::wstring& name, unsigned long attributes) {
        const std::wstring rel = relative.empty() ? name : relative + L"\\" + name;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            out.folders.push_back(rel);
            ListUnder(Under(folder, name), rel, out);
        } else {
            out.files.push_back(rel);
        }
        return true;
    });
}

bool SameFileSize(const std::wstring& a, const std::wstring& b)
{
    WIN32_FILE_ATTRIBUTE_DATA first{}, second{};
    return GetFileAttributesExW(a.c_str(), GetFileExInfoStandard, &first) &&
           GetFileAttributesExW(b.c_str(), GetFileExInfoStandard, &second) &&
           first.nFileSizeHigh == second.nFileSizeHigh && first.nFileSizeLow == second.nFileSizeLow;
}

constexpr size_t kNamesInNotice = 3;

std::wstring Quoted(const std::wstring& path)
{
    return L"“" + FileNameOfPath(path) + L"”";
}

template <typename T>
std::wstring NameLines(const std::vector<T>& items, const std::function<std::wstring(const T&)>& line)
{
    std::wstring text;
    for (size_t i = 0; i < items.size() && i < kNamesInNotice; ++i)
        text += L"\n" + line(items[i]);
    if (items.size() > kNamesInNotice)
        text += L"\n" + MoreItemsText(items.size(), kNamesInNotice);
    return text;
}

} // namespace

MergedEntries ListTree(const std::wstring& root)
{
    MergedEntries entries;
    ListUnder(root, L"", entries);
    return entries;
}

bool KeepWhatItemReplaces(const CopyJobItem& item, const TransferOptions& options, DestinationBefore* before)
{
    if (!item.replace || !PathExists(item.destination))
        return true;
    if (item.keptCopy.empty()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (before && IsOwnFolder(item.destination)) {
        const MergedEntries held = ListTree(item.destination);
        for (const std::wstring& file : held.files)
            before->files[file] = IdentifyItem(Under(item.destination, file));
        before->folders.insert(held.folders.begin(), held.folders.end());
    }
    if (CopyItem(item.destination, item.keptCopy, true, options) == TransferResult::Done)
        return true;
    // The user hears why the copy failed (a full volume, a held file), not
    // what the clearing of its remains left behind.
    const DWORD error = GetLastError();
    RemoveItemWithoutFollowingLinks(item.keptCopy);
    SetLastError(error ? error : ERROR_ACCESS_DENIED);
    return false;
}

bool GiveBackWhatFailedItemReplaced(const CopyJobItem& item, const DestinationBefore& before, std::wstring* keptAt)
{
    if (item.keptCopy.empty() || !PathExists(item.keptCopy))
        return true;
    // A file is replaced all at once or not at all: a failed one replaced
    // nothing, and its kept copy is a second copy.
    if (!IsOwnFolder(item.keptCopy)) {
        RemoveItemWithoutFollowingLinks(item.keptCopy);
        return true;
    }
    bool allBack = true;
    // A file of the box's folder whose identity changed was written over:
    // its kept copy takes its place again. What took its place is a copy
    // of a file the failed item left at its source, so nothing is lost.
    for (const auto& [relative, identity] : before.files) {
        const std::wstring at = Under(item.destination, relative);
        const std::wstring kept = Under(item.keptCopy, relative);
        if (!PathExists(kept) || (PathExists(at) && IdentifyItem(at) == identity))
            continue;
        const std::wstring source = Under(item.source, relative);
        const bool copyOfSource =
            !PathExists(at) || (PathExists(source) && SameFileSize(source, at) && EntryIsItself(at));
        if (!copyOfSource || !EntryIsItself(kept) ||
            !MoveFileExW(kept.c_str(), at.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
            allBack = false;
    }
    // What the item added are copies of files still at its source; folders
    // it made go once empty.
    const MergedEntries now = ListTree(item.destination);
    for (const std::wstring& file : now.files) {
        const std::wstring at = Under(item.destination, file);
        const std::wstring source = Under(item.source, file);
        if (!before.files.count(file) && PathExists(source) && SameFileSize(source, at) && EntryIsItself(at))
            DeleteFileW(at.c_str());
    }
    for (auto folder = now.folders.rbegin(); folder != now.folders.rend(); ++folder)
        if (!before.folders.count(*folder))
            RemoveFolderIfEmpty(Under(item.destination, *folder));
    if (allBack) {
        RemoveItemWithoutFollowingLinks(item.keptCopy);
        return true;
    }
    // The kept copy still holds versions that are nowhere else: the user
    // finds them in the Recycle Bin, or where they wait when it refuses.
    const bool recycled = RecycleKeptCopy(item.keptCopy, FileNameOfPath(item.destination)) == RecycleOutcome::Recycled;
    if (keptAt)
        *keptAt = recycled ? L"" : item.keptCopy;
    return false;
}

std::wstring FreeNameBeside(const std::wstring& destination)
{
    const size_t slash = destination.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : destination.substr(0, slash + 1);
    const std::wstring name = slash == std::wstring::npos ? destination : destination.substr(slash + 1);
    std::wstring free = destination;
    for (int n = 1; PathExists(free); ++n)
        free = folder + DropPlan::NumberedName(name, n);
    return free;
}

void AvoidDestinationTakenSincePlan(CopyJobItem& item, JobTrouble& trouble)
{
    if (item.replace || !PathExists(item.destination))
        return;
    const std::wstring planned = item.destination;
    item.destination = FreeNameBeside(planned);
    trouble.renamed.emplace_back(planned, item.destination);
    Logger::GetInstance().Log(L"DesktopContainer", L"WARNING",
                              L"File collision avoided. Renamed to: " + item.destination);
}

std::wstring TransferErrorText(DWORD error)
{
    // The transfers' own refusals have no words of the system.
    switch (error) {
    case kErrorFolderInTheWay:
        return L"目标位置有一个同名的文件夹挡着，文件不能替换文件夹";
    case kErrorFileInTheWay:
        return L"目标位置有一个同名的文件挡着，文件夹不能替换文件";
    case kErrorDestinationInsideSource:
        return L"目标位置在它自己里面，不能放进它自己";
    case kErrorSourceIsVolumeRoot:
        return L"它是整个磁盘（或网络共享）的根目录，不能移动或复制";
    case kErrorLinkNotFollowed:
        return L"它是链接，链接不会被跟随";
    case kErrorChangedWhileMoved:
        return L"文件在复制过程中被其他程序修改过";
    case kErrorGainedWhileMoved:
        return L"移动过程中其他程序在原位置放入了新的内容，它们仍在原处";
    case kErrorRemovalDidNotTake:
        return L"系统报告已删除原位置的文件，但它仍在原处";
    default:
        return ErrorReasonText(error);
    }
}

std::wstring TransferErrorText(DWORD error, const std::wstring& path)
{
    // The system answers such a name with whatever its device said
    // ("parameter is incorrect", "access denied"), none of which tells why.
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && IsReservedDeviceName(FileNameOfPath(path)))
        return L"这个名称是 Windows 保留给设备的（如 CON、AUX、NUL），不能用作文件名";
    return TransferErrorText(error);
}

std::wstring LeftBehindReason(const LeftBehindItem& item)
{
    if (!item.removalError)
        return L"其中的链接不会被跟随";
    if (item.removalError == ERROR_ACCESS_DENIED)
        return L"没有删除原位置内容的权限";
    return TransferErrorText(item.removalError, item.source);
}

std::wstring NameLinesOf(const std::vector<std::wstring>& paths)
{
    return NameLines<std::wstring>(paths, Quoted);
}

void NameList::Add(const std::wstring& path, const std::wstring& why)
{
    if (count_++ >= kPathsNamedInMessage)
        return;
    // A path ending in a separator has no name after it: it is named whole.
    std::wstring name = GetPathFileName(path);
    if (name.empty())
        name = path;
    text_ += (text_.empty() ? L"“" : L"、“") + name + L"”" + why;
}

std::wstring NameList::Text() const
{
    return text_ + MoreItemsText(count_);
}

std::wstring JobTroubleText(const JobTrouble& trouble)
{
    std::wstring text;
    auto section = [&text](const std::wstring& part) { text += (text.empty() ? L"" : L"\n\n") + part; };
    // An item that is nowhere any more cannot be said to stay where it was.
    std::vector<TransferFailure> stayed, gone;
    for (const TransferFailure& failure : trouble.failed)
        ((failure.error == ERROR_FILE_NOT_FOUND || failure.error == ERROR_PATH_NOT_FOUND) && !PathExists(failure.path)
             ? gone
             : stayed)
            .push_back(failure);
    if (!gone.empty())
        section(L"以下项目已不存在（可能已被移动或删除），没有放入收纳盒：" +
                NameLines<TransferFailure>(gone, [](const TransferFailure& failure) { return Quoted(failure.path); }));
    if (!stayed.empty())
        section(L"以下项目没有放入收纳盒，仍在原来的位置：" +
                NameLines<TransferFailure>(stayed, [](const TransferFailure& failure) {
                    // The name the user sees in the folder, not the part of
                    // the path after its last separator.
                    const std::wstring name = failure.name.empty() ? Quoted(failure.path) : L"“" + failure.name + L"”";
                    return name + L"（" + TransferErrorText(failure.error, failure.path) + L"）";
                }));
    std::vector<LeftBehindItem> links, moved, partly, copied;
    for (const LeftBehindItem& item : trouble.leftBehind)
        (!item.taken ? links : !item.move ? copied : item.keptTwice ? moved : partly).push_back(item);
    if (!links.empty())
        section(L"以下项目是链接，没有放入收纳盒（链接不会被跟随），仍在原来的位置：" +
                NameLines<LeftBehindItem>(links, [](const LeftBehindItem& item) { return Quoted(item.source); }));
    if (!partly.empty())
        section(L"以下项目只有一部分移入了收纳盒，其余内容仍在原来的位置：" +
                NameLines<LeftBehindItem>(partly, [](const LeftBehindItem& item) {
                    return Quoted(item.source) + L"（" + LeftBehindReason(item) + L"）";
                }));
    if (!moved.empty())
        section(L"以下项目已复制到收纳盒，但原位置有部分内容没有移走，两处的内容都已保留：" +
                NameLines<LeftBehindItem>(moved, [](const LeftBehindItem& item) {
                    return Quoted(item.source) + L"（" + LeftBehindReason(item) + L"）";
                }));
    if (!copied.empty())
        section(L"以下项目已复制到收纳盒，但其中的链接没有复制（链接不会被跟随）：" +
                NameLines<LeftBehindItem>(copied, [](const LeftBehindItem& item) { return Quoted(item.source); }));
    if (!trouble.renamed.empty())
        section(L"操作进行期间，收纳盒中出现了同名项目；它们没有被覆盖，放入的项目改用了新名称：" +
                NameLines<std::pair<std::wstring, std::wstring>>(trouble.renamed, [](const auto& renamed) {
                    return Quoted(renamed.first) + L" → " + Quoted(renamed.second);
                }));
    if (!trouble.notGivenBack.empty())
        section(L"以下项目中被替换的文件未能全部恢复，原来的版本" +
                NameLines<std::pair<std::wstring, std::wstring>>(trouble.notGivenBack, [](const auto& kept) {
                    return Quoted(kept.first) +
                           (kept.second.empty() ? L"：已移到回收站" : L"：保存在“" + kept.second + L"”");
                }));
    return text;
}

void LetGoOfItemsWithoutBox(const std::vector<CopyJobItem>& items)
{
    if (items.empty())
        return;
    Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"A file job's box was gone when its items landed.");
    NameList landed;
    std::vector<KeptCopy> replaced;
    for (const CopyJobItem& item : items) {
        landed.Add(item.destination);
        if (!item.keptCopy.empty())
            replaced.push_back({item.keptCopy, GetPathFileName(item.destination)});
    }
    const std::wstring& first = items.front().destination;
    const std::wstring folder = first.substr(0, first.find_last_of(L"\\/"));
    std::wstring text = L"放入文件的收纳盒已不存在，已放入的项目没有显示在任何收纳盒中，仍在文件夹“" + folder +
                        L"”中：" + landed.Text() + L"。";
    // No box is left to own the shell's question or hear its answer later:
    // the copies go now, and where each went is told at once.
    LeaveReport report;
    LetKeptCopiesGo(nullptr, replaced, report);
    for (const std::wstring& name : report.recycled)
        text += L"\n被放入的项目替换掉的“" + name + L"”旧版本已移到回收站。";
    if (const std::wstring kept = LeaveReportText(report); !kept.empty())
        text += L"\n" + kept;
    NotifyUser(L"job-box-gone", text);
}

bool FileJobRuns()
{
    if (!s_copyProgress.busy)
        return false;
    // A job whose worker ended in a window that is gone holds nothing.
    const std::shared_ptr<KelmWindow> target = s_copyProgress.targetWindow;
    return s_copyProgress.workerRunning || !target || IsWindow(target->GetHwnd());
}

bool RefusedWhileFileJobRuns(const wchar_t* action)
{
    if (FileActionGate::Refuses(std::wstring(L"没有") + action))
        return true;
    if (!FileJobRuns())
        return false;
    NotifyUser(L"job-busy", std::wstring(L"另一项文件操作正在进行，没有") + action + L"。\n请在当前操作完成后重试。");
    return true;
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
