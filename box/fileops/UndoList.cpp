#include "box/fileops/UndoList.h"

#include <algorithm>
#include <cwctype>
#include <deque>
#include <map>
#include <stdexcept>
#include <thread>
#include <utility>

#include "app/AppConfig.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxRuntime.h"
#include "box/fileops/FileJobMailbox.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/fileops/UndoRedo.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/TextHelpers.h"

namespace
{

bool MovedIn(const UndoRecord& record)
{
    return record.kind == 0 && !record.extra.empty() && record.extra != L"bvn!NULL";
}

// The boxes whose shell question is open; a box may ask twice at once
// (a question inside a nested loop).
std::vector<std::shared_ptr<KelmWindow>> s_asking;
// While FinishLeavingRecords waits, every box counts as asking.
int s_waitingForLeave = 0;

} // namespace

KeptCopyFate FateOfKeptCopy(const UndoRecord& record, bool undone)
{
    using Action = KeptCopyFate::Action;
    if (record.kind == 1) {
        // Undone: the copy went back to its place; nothing waits.
        if (undone)
            return {};
        return {record.recycleConfirmed ? Action::Delete : Action::Recycle, record.tempPath};
    }
    // Undone, the replaced item went back to its place; should it not have,
    // the copy is still the only one.
    if (record.kind == 0 && !record.replacedCopy.empty())
        return {Action::Recycle, record.replacedCopy};
    return {};
}

KeptCopyFate FateOfUndoneItem(const UndoRecord& record, bool undone)
{
    // A new item taken back by undo waits under tempPath; one moved in went
    // back to where it came from.
    if (record.kind == 0 && undone && !MovedIn(record) && !record.tempPath.empty())
        return {KeptCopyFate::Action::DeleteIfAsMade, record.tempPath};
    return {};
}

void PushOnto(std::vector<UndoRecord>& undoList, std::vector<UndoRecord>& redoList, int limit, UndoRecord record,
              const std::function<void(const UndoRecord&, bool undone)>& discard)
{
    std::vector<std::pair<UndoRecord, bool>> leaving;
    undoList.push_back(std::move(record));
    if (static_cast<int>(undoList.size()) > std::max(0, limit)) {
        leaving.emplace_back(std::move(undoList.front()), false);
        undoList.erase(undoList.begin());
    }
    for (UndoRecord& undone : redoList)
        leaving.emplace_back(std::move(undone), true);
    redoList.clear();
    if (discard)
        for (const auto& [left, undone] : leaving)
            discard(left, undone);
}

std::vector<RecycleOutcome> RecycleKeptCopies(const std::vector<KeptCopy>& copies, HWND owner)
{
    std::vector<RecycleOutcome> outcomes(copies.size(), RecycleOutcome::Refused);
    // Where each copy waits under its item's name, and its folder.
    std::vector<std::wstring> named(copies.size()), folders(copies.size());
    std::vector<std::wstring> sent;
    std::vector<size_t> at;
    for (size_t i = 0; i < copies.size(); ++i) {
        const std::wstring& copy = copies[i].copy;
        if (!PathExists(copy)) {
            outcomes[i] = RecycleOutcome::Recycled;
            continue;
        }
        if (!EntryIsItself(copy))
            continue;
        // A folder of its own beside the copy gives it its name back: the
        // Recycle Bin shows "a.txt", not "a.txt3f2a.tmp". Beside it, so the
        // copy never leaves its volume (a temporary folder of an earlier box
        // folder may lie on another drive).
        // A copy without a folder of its own is no copy this program made.
        const size_t slash = copy.find_last_of(L"\\/");
        if (slash == std::wstring::npos)
            continue;
        const std::wstring folder = TempCopyPathIn(copy.substr(0, slash + 1), L"kept", PathExists);
        if (!CreateDirectoryW(folder.c_str(), nullptr))
            continue;
        // The folder goes only once it is empty: while the copy could not go
        // back it stays in there.
        const std::wstring name = copies[i].name.empty() ? FileNameOfPath(copy) : copies[i].name;
        if (!MoveFileExW(copy.c_str(), (folder + L"\\" + name).c_str(), 0)) {
            RemoveFolderIfEmpty(folder);
            continue;
        }
        folders[i] = folder;
        named[i] = folder + L"\\" + name;
        sent.push_back(named[i]);
        at.push_back(i);
    }
    // One operation for them all: the shell asks once, not once per copy.
    // A copy is the only version of what it holds, so it goes only with a
    // witness beside it: a Yes to the shell's offer to delete what the bin
    // refuses then loses nothing, and the copy comes back.
    RecycleWitnessing witnessing;
    witnessing.required = true;
    witnessing.keepDeleted = true;
    // Beside the copy's own folder, where the copy waited: its volume.
    witnessing.pathFor = [](const std::wstring& item) {
        const std::wstring folder = item.substr(0, item.find_last_of(L"\\/"));
        return TempCopyPathIn(folder.substr(0, folder.find_last_of(L"\\/") + 1), item, PathExists);
    };
    const std::vector<WitnessedRecycle> recycled = RecycleItemsWitnessed(sent, owner, witnessing);
    for (size_t k = 0; k < at.size(); ++k) {
        const size_t i = at[k];
        outcomes[i] = recycled[k].outcome;
        if (recycled[k].outcome == RecycleOutcome::Recycled) {
            RemoveFolderIfEmpty(folders[i]);
            continue;
        }
        // Part of a copy deleted for good: what is left of it is the
        // program's own and has every file named in the witness too, which
        // takes its place. A rest that will not go comes back instead; the
        // whole witness then waits in the temporary folder for the sweep.
        const bool restGone = recycled[k].partly && !recycled[k].witness.empty() && EntryIsItself(named[i]) &&
                              RemoveItemWithoutFollowingLinks(named[i]);
        if (recycled[k].outcome == RecycleOutcome::Deleted || restGone) {
            // The bin did not take it: the witness holds it, and it is
            // still the only copy.
            outcomes[i] = RecycleOutcome::Refused;
            if (!recycled[k].witness.empty() && EntryIsItself(recycled[k].witness) &&
                MoveFileExW(recycled[k].witness.c_str(), copies[i].copy.c_str(), 0))
                RemoveFolderIfEmpty(folders[i]);
            continue;
        }
        // Still the only copy: it goes back under the record's name.
        if (EntryIsItself(named[i]) && MoveFileExW(named[i].c_str(), copies[i].copy.c_str(), 0))
            RemoveFolderIfEmpty(folders[i]);
    }
    return outcomes;
}

RecycleOutcome RecycleKeptCopy(const std::wstring& copy, const std::wstring& name, HWND owner)
{
    return RecycleKeptCopies({{copy, name}}, owner).front();
}

std::wstring ViewFolderFor(const std::shared_ptr<KelmWindow>& box)
{
    if (const BoxRuntime* runtime = FindBoxRuntime(box))
        if (std::wstring folder = runtime->BackingFolder(); !folder.empty())
            return folder;
    return NormalizeStoredPath(s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L""));
}

namespace
{

// The copy comes out of the temporary folder into view (folder: where the
// box shows it), under a name that says what it is, never over anything.
// Any thread.
void BringIntoView(const std::wstring& folder, const std::wstring& copy, const std::wstring& name, LeaveReport& report)
{
    const size_t dot = name.find_last_of(L'.');
    const bool hasExtension = dot != std::wstring::npos && dot > 0 && !IsOwnFolder(copy);
    const std::wstring stem = hasExtension ? name.substr(0, dot) : name;
    const std::wstring extension = hasExtension ? name.substr(dot) : L"";
    if (!folder.empty() && IsOwnFolder(folder)) {
        const std::wstring target = FreePasteName(folder, stem + L"（撤销保留的副本）", extension, PathExists);
        if (MoveItem(copy, target, false, TransferOptions{}) == TransferResult::Done) {
            Logger::GetInstance().Log(L"DesktopContainer", L"WARNING", L"Kept copy brought into view: " + target);
            report.inView.push_back({name, target});
            return;
        }
    }
    Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"Kept copy left in the temporary folder: " + copy);
    report.stuck.push_back({name, copy});
}

// A file of one name: the only version of what it holds. Unread, it counts
// as one.
bool HasOneName(const std::wstring& path)
{
    BY_HANDLE_FILE_INFORMATION facts{};
    if (!EntryFacts(path, true, facts))
        return true;
    return !(facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && facts.nNumberOfLinks < 2;
}

// Every entry under path is itself, none a link, and every file has a name
// besides this one; files counts the files met.
bool EveryFileNamedElsewhere(const std::wstring& path, size_t& files)
{
    BY_HANDLE_FILE_INFORMATION facts{};
    if (CheckEntry(path) != EntryCheck::Itself || !EntryFacts(path, true, facts) ||
        (facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    if (!(facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ++files;
        return facts.nNumberOfLinks >= 2;
    }
    return ForEachFolderEntry(path, [&](const std::wstring& name, unsigned long) {
        return IsPlainEntryName(name) && EveryFileNamedElsewhere(path + L"\\" + name, files);
    });
}

// A copy whose every file also has another name holds no version that only
// the program keeps: a recycle's witness left by a run that ended, or one
// whose file another program held open. Only its own names go, never what
// lies behind them; a file that has lost its other name meanwhile stays,
// and leaves as a kept copy next time. Checked copy by copy as they go, so
// of two names of one file that both wait here the last one is kept. True
// when the copy is of that kind.
bool LetSpareNamesGo(const std::wstring& copy)
{
    size_t files = 0;
    if (!EveryFileNamedElsewhere(copy, files) || files == 0)
        return false;
    if (!RemoveItemWithoutFollowingLinks(copy, nullptr, HasOneName))
        Logger::GetInstance().Log(L"DesktopContainer", L"WARNING",
                                  L"A second name of a file stays in the temporary folder: " + copy);
    return true;
}

} // namespace

std::wstring BringCopyBesideItem(const std::wstring& copy, const std::wstring& item)
{
    LeaveReport report;
    BringIntoView(item.substr(0, item.find_last_of(L"\\/")), copy, FileNameOfPath(item), report);
    return report.inView.empty() ? L"" : report.inView.front().at;
}

std::wstring PartlyDeletedText(const std::wstring& item, const std::wstring& copy, const std::wstring& beside)
{
    return L"“" + FileNameOfPath(item) +
           L"”没有全部移到回收站：回收站无法接收其中的部分文件，它们已被永久删除，其余仍在原来的位置。\n删除前的完整内容" +
           (beside.empty() ? L"仍保留在“" + copy + L"”。" : L"已放在它旁边：“" + beside + L"”。");
}

namespace
{

// One copy a leaving record holds, on its way out. The box, its name and
// the fate are taken on the UI thread; the disk is left to CarryOut.
struct LeavingCopy {
    std::shared_ptr<KelmWindow> box;
    KeptCopyFate fate;
    ItemStamp made;
    std::wstring name;
    // Where the copy comes into view; filled on the UI thread just before
    // the copies go.
    std::wstring viewFolder;
};

void CollectLeaving(const std::shared_ptr<KelmWindow>& box, const UndoRecord& record, bool undone,
                    std::vector<LeavingCopy>& out)
{
    const std::shared_ptr<KelmWindow> target = record.owner ? record.owner : box;
    for (const KeptCopyFate& fate : {FateOfUndoneItem(record, undone), FateOfKeptCopy(record, undone)})
        if (fate.action != KeptCopyFate::Action::Keep && !fate.copy.empty())
            out.push_back({target, fate, record.made, FileNameOfPath(record.path), L""});
}

// UI thread: where each copy comes into view should the bin not take it.
// The copies of one box share their folder, asked of the disk once: a
// drop or delete of thousands lets thousands of records go.
void FindViewFolders(std::vector<LeavingCopy>& copies)
{
    std::map<std::shared_ptr<KelmWindow>, std::wstring> known;
    for (LeavingCopy& copy : copies) {
        auto found = known.find(copy.box);
        if (found == known.end())
            found = known.emplace(copy.box, ViewFolderFor(copy.box)).first;
        copy.viewFolder = found->second;
    }
}

// The disk's part, on any thread: copies known to be spare are deleted, the
// others go to the Recycle Bin together, and what the bin does not take
// (refused, or the user answered No) comes into view. A copy that is but a
// second name of its files loses that name only (LetSpareNamesGo).
void CarryOut(const std::vector<LeavingCopy>& copies, HWND owner, LeaveReport& report)
{
    using Action = KeptCopyFate::Action;
    std::vector<KeptCopy> recycle;
    std::vector<const LeavingCopy*> of;
    for (const LeavingCopy& leaving : copies) {
        const std::wstring& copy = leaving.fate.copy;
        if (!PathExists(copy))
            continue;
        // An undone new item that still looks as it was made holds nothing
        // of the user's.
        if (leaving.fate.action == Action::Delete ||
            (leaving.fate.action == Action::DeleteIfAsMade && leaving.made.known && StampItem(copy) == leaving.made)) {
            RemoveItemWithoutFollowingLinks(copy);
            continue;
        }
        if (LetSpareNamesGo(copy))
            continue;
        recycle.push_back({copy, leaving.name});
        of.push_back(&leaving);
    }
    if (recycle.empty())
        return;
    const std::vector<RecycleOutcome> outcomes = RecycleKeptCopies(recycle, owner);
    for (size_t i = 0; i < recycle.size(); ++i) {
        if (outcomes[i] == RecycleOutcome::Recycled)
            report.recycled.push_back(recycle[i].name);
        else if (PathExists(recycle[i].copy))
            BringIntoView(of[i]->viewFolder, recycle[i].copy, recycle[i].name, report);
    }
}

HWND OwnerWindowOf(const std::shared_ptr<KelmWindow>& box)
{
    return box && IsWindow(box->GetHwnd()) ? box->GetHwnd() : nullptr;
}

// The same on the UI thread, for callers that need the outcome at once; the
// box's own shortcuts do nothing while the shell asks.
void CarryOutNow(const std::shared_ptr<KelmWindow>& box, std::vector<LeavingCopy> copies, LeaveReport& report)
{
    FindViewFolders(copies);
    BoxQuestionScope asking(box);
    CarryOut(copies, OwnerWindowOf(box), report);
}

void Merge(LeaveReport& into, LeaveReport from)
{
    into.inView.insert(into.inView.end(), from.inView.begin(), from.inView.end());
    into.stuck.insert(into.stuck.end(), from.stuck.begin(), from.stuck.end());
    into.recycled.insert(into.recycled.end(), from.recycled.begin(), from.recycled.end());
}

// The copies of the records that left, a job per push, carried out by one
// worker at a time: two shell questions never stand open at once, and none
// opens inside another's message loop. UI thread only, but for the worker's
// own fields of the running job.
struct LeaveJob {
    // Owns the shell's question and receives the result.
    std::shared_ptr<KelmWindow> box;
    std::vector<LeavingCopy> copies;
};

struct RunningLeave {
    unsigned serial = 0;
    std::shared_ptr<KelmWindow> box;
    HWND owner = nullptr;
    // The worker's until it sets done.
    std::vector<LeavingCopy> copies;
    LeaveReport report;
    HANDLE done = nullptr;
    std::thread worker;
};

std::deque<LeaveJob> s_leaveQueue;
// Never freed at the program's end: a worker still asking then (the
// process ends without the quit) keeps what it points at, and its copies
// wait in the temporary folder for the next start's sweep.
RunningLeave* s_runningLeave = nullptr;
unsigned s_leaveSerial = 0;

void WorkOnLeave(RunningLeave* run)
{
    try {
        const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        CarryOut(run->copies, run->owner, run->report);
        if (SUCCEEDED(init))
            CoUninitialize();
    } catch (...) {
        // Whatever is still in the temporary folder is told, not lost.
        for (const LeavingCopy& leaving : run->copies)
            if (PathExists(leaving.fate.copy))
                run->report.stuck.push_back({leaving.name, leaving.fate.copy});
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"Letting undo copies go failed.");
    }
}

// UI thread: the running job's worker has signalled; its report is taken.
LeaveReport TakeFinishedLeave()
{
    std::unique_ptr<RunningLeave> run(std::exchange(s_runningLeave, nullptr));
    run->worker.join();
    CloseHandle(run->done);
    return std::move(run->report);
}

void StartNextLeave()
{
    if (s_runningLeave || s_leaveQueue.empty())
        return;
    auto run = std::make_unique<RunningLeave>();
    run->box = s_leaveQueue.front().box;
    // Jobs of one box waiting together go as one: one question for them.
    while (!s_leaveQueue.empty() && s_leaveQueue.front().box == run->box) {
        std::vector<LeavingCopy>& copies = s_leaveQueue.front().copies;
        run->copies.insert(run->copies.end(), std::make_move_iterator(copies.begin()),
                           std::make_move_iterator(copies.end()));
        s_leaveQueue.pop_front();
    }
    FindViewFolders(run->copies);
    run->owner = OwnerWindowOf(run->box);
    run->serial = ++s_leaveSerial;
    run->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    RunningLeave* raw = run.get();
    try {
        if (!raw->done)
            throw std::runtime_error("no event");
        raw->worker = std::thread([raw, serial = raw->serial, box = raw->box] {
            WorkOnLeave(raw);
            // From here on the UI thread may have taken the job: only the
            // lambda's own copies are used.
            SetEvent(raw->done);
            box->animationManager.PostCallback([serial] {
                if (!s_runningLeave || s_runningLeave->serial != serial)
                    return;
                LeaveReport report = TakeFinishedLeave();
                StartNextLeave();
                if (!report.Empty())
                    NotifyUser(L"undo-copy-kept", LeaveReportText(report));
            });
        });
    } catch (const std::exception&) {
        // No worker to wait for: the copies go here and now.
        if (raw->done)
            CloseHandle(raw->done);
        LeaveReport report;
        CarryOutNow(raw->box, std::move(raw->copies), report);
        if (!report.Empty())
            NotifyUser(L"undo-copy-kept", LeaveReportText(report));
        StartNextLeave();
        return;
    }
    s_runningLeave = run.release();
}

void QueueLeave(LeaveJob job)
{
    if (job.copies.empty())
        return;
    s_leaveQueue.push_back(std::move(job));
    // A job whose result was posted to a window that no longer ticks would
    // hold the queue: one that is over is taken here as well.
    if (s_runningLeave && WaitForSingleObject(s_runningLeave->done, 0) == WAIT_OBJECT_0) {
        LeaveReport report = TakeFinishedLeave();
        if (!report.Empty())
            NotifyUser(L"undo-copy-kept", LeaveReportText(report));
    }
    StartNextLeave();
}

} // namespace

std::vector<std::wstring> LetRecordLeave(const std::shared_ptr<KelmWindow>& box, const UndoRecord& record, bool undone)
{
    LeaveJob job{record.owner ? record.owner : box, {}};
    CollectLeaving(box, record, undone, job.copies);
    std::vector<std::wstring> toBin;
    for (const LeavingCopy& leaving : job.copies)
        if (leaving.fate.action == KeptCopyFate::Action::Recycle && PathExists(leaving.fate.copy))
            toBin.push_back(leaving.name);
    QueueLeave(std::move(job));
    return toBin;
}

std::vector<std::wstring> LetKeptCopiesLeave(const std::shared_ptr<KelmWindow>& box,
                                             const std::vector<KeptCopy>& copies)
{
    LeaveJob job{box, {}};
    std::vector<std::wstring> names;
    for (const KeptCopy& copy : copies) {
        if (!PathExists(copy.copy))
            continue;
        job.copies.push_back({box, {KeptCopyFate::Action::Recycle, copy.copy}, {}, copy.name, L""});
        names.push_back(copy.name);
    }
    QueueLeave(std::move(job));
    return names;
}

void LetKeptCopiesGo(const std::shared_ptr<KelmWindow>& box, const std::vector<KeptCopy>& copies, LeaveReport& report)
{
    std::vector<LeavingCopy> leaving;
    for (const KeptCopy& copy : copies)
        leaving.push_back({box, {KeptCopyFate::Action::Recycle, copy.copy}, {}, copy.name, L""});
    if (!leaving.empty())
        CarryOutNow(box, std::move(leaving), report);
}

namespace
{

// The first few copies by name and, when there are more, every folder they
// lie in: a big drop can leave thousands, and a message taller than the
// screen shows no button to close it.
std::wstring PlacedLines(const std::vector<LeaveReport::Placed>& placed)
{
    std::vector<std::wstring> lines, folders;
    for (const LeaveReport::Placed& one : placed) {
        lines.push_back(L"“" + one.name + L"” → " + one.at);
        const size_t slash = one.at.find_last_of(L"\\/");
        const std::wstring folder = slash == std::wstring::npos ? one.at : one.at.substr(0, slash);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    std::wstring text = PathLinesText(lines);
    if (lines.size() > kPathsNamedInMessage)
        text += L"\n它们都在以下文件夹中：" + PathLinesText(folders);
    return text;
}

} // namespace

std::wstring LeaveReportText(const LeaveReport& report)
{
    std::wstring text;
    if (!report.inView.empty())
        text += L"撤销记录保留的以下内容没有移到回收站，已放到：" + PlacedLines(report.inView);
    if (!report.stuck.empty()) {
        if (!text.empty())
            text += L"\n\n";
        text += L"撤销记录保留的以下内容没有移到回收站，也无法移出临时文件夹，仍在：" + PlacedLines(report.stuck);
    }
    return text;
}

void PushUndoRecord(const std::shared_ptr<KelmWindow>& box, UndoRecord record)
{
    std::vector<UndoRecord> one;
    one.push_back(std::move(record));
    PushUndoRecords(box, std::move(one));
}

void PushUndoRecords(const std::shared_ptr<KelmWindow>& box, std::vector<UndoRecord> records)
{
    LeaveJob job{box, {}};
    for (UndoRecord& record : records) {
        const std::shared_ptr<KelmWindow> target = record.owner ? record.owner : box;
        if (!target)
            continue;
        if (!job.box)
            job.box = target;
        // A job whose destination was gone by the time it ran replaced
        // nothing and kept nothing: undo has nothing to put back.
        if (!record.replacedCopy.empty() && !PathExists(record.replacedCopy))
            record.replacedCopy.clear();
        BoxRuntime& runtime = s_boxRuntimes[target];
        PushOnto(runtime.undoList, runtime.redoList, runtime.undoLimit, std::move(record),
                 [&](const UndoRecord& left, bool undone) { CollectLeaving(target, left, undone, job.copies); });
    }
    QueueLeave(std::move(job));
}

void CarryIdentityToPutBackCopy(const ItemIdentity& item, const ItemIdentity& copy)
{
    if (!item.known || !copy.known || item == copy)
        return;
    for (auto& [box, runtime] : s_boxRuntimes) {
        for (std::vector<UndoRecord>* list : {&runtime.undoList, &runtime.redoList}) {
            for (UndoRecord& record : *list) {
                if (record.identity == item)
                    record.identity = copy;
                for (auto& [relative, identity] : record.mergedIdentities) {
                    if (identity == item)
                        identity = copy;
                }
            }
        }
    }
}

bool RecordsLeaving()
{
    return s_runningLeave != nullptr || !s_leaveQueue.empty();
}

LeaveReport FinishLeavingRecords()
{
    // The windows keep painting meanwhile, and a paint polls the boxes'
    // keys: no shortcut, undo or redo may change the lists being emptied.
    struct Waiting {
        Waiting() { ++s_waitingForLeave; }
        ~Waiting() { --s_waitingForLeave; }
    } waiting;
    LeaveReport all;
    for (;;) {
        StartNextLeave();
        if (!s_runningLeave)
            return all;
        const unsigned serial = s_runningLeave->serial;
        const HANDLE done = s_runningLeave->done;
        // What other threads send is answered (the shell's question on the
        // worker belongs to a box of this thread) and every window paints.
        // Input and timers wait in the queue until the wait is over: a
        // click, a key or a job's posted result would change what is being
        // let go of. A look at the queue now and then keeps the system from
        // taking the program for hung while the user answers the shell.
        bool ours = true;
        for (;;) {
            const DWORD waited =
                MsgWaitForMultipleObjectsEx(1, &done, 1000, QS_SENDMESSAGE | QS_PAINT, MWMO_INPUTAVAILABLE);
            if (waited == WAIT_OBJECT_0)
                break;
            if (waited == WAIT_FAILED) {
                WaitForSingleObject(done, INFINITE);
                break;
            }
            AnswerSentMessagesAndPaint();
            // A paint may have run a nested loop that took the job.
            if (!s_runningLeave || s_runningLeave->serial != serial) {
                ours = false;
                break;
            }
        }
        if (ours)
            Merge(all, TakeFinishedLeave());
    }
}

LeaveReport EmptyUndoLists(const std::shared_ptr<KelmWindow>& box)
{
    // What left earlier goes first: it may come into view in the box's
    // folder, which is about to go.
    LeaveReport report = FinishLeavingRecords();
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return report;
    const std::vector<UndoRecord> undo = std::move(runtime->undoList);
    const std::vector<UndoRecord> redo = std::move(runtime->redoList);
    runtime->undoList.clear();
    runtime->redoList.clear();
    std::vector<LeavingCopy> copies;
    for (const UndoRecord& record : redo)
        CollectLeaving(box, record, true, copies);
    for (const UndoRecord& record : undo)
        CollectLeaving(box, record, false, copies);
    if (!copies.empty())
        CarryOutNow(box, std::move(copies), report);
    return report;
}

LeaveReport EmptyEveryUndoList()
{
    // A job stopped by a quit may still have results on their way: its
    // last records join the lists first, or the versions they keep would
    // stay where only the program finds them.
    FileJobMailbox::TakeWaiting();
    LeaveReport report = FinishLeavingRecords();
    // The registry may change while the shell asks: the boxes are taken
    // first.
    std::vector<std::shared_ptr<KelmWindow>> boxes;
    for (const auto& entry : s_boxRuntimes)
        boxes.push_back(entry.first);
    for (const auto& box : boxes)
        Merge(report, EmptyUndoLists(box));
    return report;
}

BoxQuestionScope::BoxQuestionScope(std::shared_ptr<KelmWindow> box) : box_(std::move(box))
{
    s_asking.push_back(box_);
}

BoxQuestionScope::~BoxQuestionScope()
{
    if (auto found = std::find(s_asking.begin(), s_asking.end(), box_); found != s_asking.end())
        s_asking.erase(found);
}

bool BoxQuestionOpen(const std::shared_ptr<KelmWindow>& box)
{
    if (box && s_waitingForLeave > 0)
        return true;
    return box && std::find(s_asking.begin(), s_asking.end(), box) != s_asking.end();
}

std::wstring TempCopyPathIn(const std::wstring& folder, const std::wstring& path,
                            const std::function<bool(const std::wstring&)>& taken)
{
    const std::wstring name = FileNameOfPath(path);
    for (;;) {
        const std::wstring suffix = RandomHexString(4);
        if (std::none_of(suffix.begin(), suffix.end(), [](wchar_t c) { return std::iswalpha(c) != 0; }))
            continue;
        std::wstring candidate = folder + name + suffix + L".tmp";
        if (!taken || !taken(candidate))
            return candidate;
    }
}

std::wstring TempCopyPath(const std::wstring& path)
{
    return TempCopyPathIn(GetTempFolder(), path, PathExists);
}

std::vector<WitnessedRecycle> RecycleWitnessedBesideCopies(const std::vector<std::wstring>& paths, HWND owner)
{
    RecycleWitnessing witnessing;
    witnessing.pathFor = TempCopyPath;
    return RecycleItemsWitnessed(paths, owner, witnessing);
}
