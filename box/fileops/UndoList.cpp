#include "box/fileops/UndoList.h"

#include <algorithm>
#include <cwctype>

#include "app/AppConfig.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxRuntime.h"
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

RecycleOutcome RecycleKeptCopy(const std::wstring& copy, const std::wstring& name, HWND owner)
{
    if (!PathExists(copy))
        return RecycleOutcome::Recycled;
    if (!EntryIsItself(copy))
        return RecycleOutcome::Refused;
    // A folder of its own beside the copy gives it its name back: the
    // Recycle Bin shows "a.txt", not "a.txt3f2a.tmp". Beside it, so the
    // copy never leaves its volume (a temporary folder of an earlier box
    // folder may lie on another drive).
    const size_t slash = copy.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos
                                    ? TempCopyPath(L"kept")
                                    : TempCopyPathIn(copy.substr(0, slash + 1), L"kept", PathExists);
    const std::wstring named = folder + L"\\" + (name.empty() ? FileNameOfPath(copy) : name);
    if (!CreateDirectoryW(folder.c_str(), nullptr))
        return RecycleOutcome::Refused;
    // The folder goes only once it is empty: while the copy could not go
    // back it stays in there.
    if (!MoveFileExW(copy.c_str(), named.c_str(), 0)) {
        RemoveFolderIfEmpty(folder);
        return RecycleOutcome::Refused;
    }
    const RecycleOutcome outcome = RecycleItemAsking(named, owner);
    if (outcome == RecycleOutcome::Recycled) {
        RemoveFolderIfEmpty(folder);
        return outcome;
    }
    // Still the only copy: it goes back under the record's name.
    if (EntryIsItself(named) && MoveFileExW(named.c_str(), copy.c_str(), 0))
        RemoveFolderIfEmpty(folder);
    return outcome;
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

// The copy comes out of the temporary folder into view, under a name that
// says what it is, never over anything.
void BringIntoView(const std::shared_ptr<KelmWindow>& box, const std::wstring& copy, const std::wstring& name,
                   LeaveReport& report)
{
    const std::wstring folder = ViewFolderFor(box);
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

} // namespace

void LetRecordLeave(const std::shared_ptr<KelmWindow>& box, const UndoRecord& record, bool undone, LeaveReport& report)
{
    using Action = KeptCopyFate::Action;
    const std::shared_ptr<KelmWindow> target = record.owner ? record.owner : box;
    for (const KeptCopyFate& fate : {FateOfUndoneItem(record, undone), FateOfKeptCopy(record, undone)}) {
        if (fate.action == Action::Keep || fate.copy.empty() || !PathExists(fate.copy))
            continue;
        // An undone new item that still looks as it was made holds nothing
        // of the user's.
        if (fate.action == Action::Delete ||
            (fate.action == Action::DeleteIfAsMade && record.made.known && StampItem(fate.copy) == record.made)) {
            RemoveItemWithoutFollowingLinks(fate.copy);
            continue;
        }
        LetKeptCopyGo(target, fate.copy, FileNameOfPath(record.path), report);
    }
}

void LetKeptCopyGo(const std::shared_ptr<KelmWindow>& box, const std::wstring& copy, const std::wstring& name,
                   LeaveReport& report)
{
    RecycleOutcome outcome;
    {
        BoxQuestionScope asking(box);
        const HWND owner = box && IsWindow(box->GetHwnd()) ? box->GetHwnd() : nullptr;
        outcome = RecycleKeptCopy(copy, name, owner);
    }
    if (outcome == RecycleOutcome::Recycled)
        report.recycled.push_back(name);
    else if (PathExists(copy))
        BringIntoView(box, copy, name, report);
}

std::wstring LeaveReportText(const LeaveReport& report)
{
    std::wstring text;
    if (!report.inView.empty()) {
        text += L"撤销记录保留的以下内容没有移到回收站，已放到：";
        for (const LeaveReport::Placed& placed : report.inView)
            text += L"\n“" + placed.name + L"” → " + placed.at;
    }
    if (!report.stuck.empty()) {
        if (!text.empty())
            text += L"\n\n";
        text += L"撤销记录保留的以下内容没有移到回收站，也无法移出临时文件夹，仍在：";
        for (const LeaveReport::Placed& placed : report.stuck)
            text += L"\n“" + placed.name + L"” → " + placed.at;
    }
    return text;
}

void PushUndoRecord(const std::shared_ptr<KelmWindow>& box, UndoRecord record)
{
    const std::shared_ptr<KelmWindow> target = record.owner ? record.owner : box;
    if (!target)
        return;
    // A job whose destination was gone by the time it ran replaced nothing
    // and kept nothing: undo has nothing to put back.
    if (!record.replacedCopy.empty() && !PathExists(record.replacedCopy))
        record.replacedCopy.clear();
    BoxRuntime& runtime = s_boxRuntimes[target];
    const int limit = runtime.undoLimit;
    LeaveReport report;
    PushOnto(runtime.undoList, runtime.redoList, limit, std::move(record),
             [&](const UndoRecord& left, bool undone) { LetRecordLeave(target, left, undone, report); });
    if (!report.Empty())
        NotifyUser(L"undo-copy-kept", LeaveReportText(report));
}

LeaveReport EmptyUndoLists(const std::shared_ptr<KelmWindow>& box)
{
    LeaveReport report;
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return report;
    const std::vector<UndoRecord> undo = std::move(runtime->undoList);
    const std::vector<UndoRecord> redo = std::move(runtime->redoList);
    runtime->undoList.clear();
    runtime->redoList.clear();
    for (const UndoRecord& record : redo)
        LetRecordLeave(box, record, true, report);
    for (const UndoRecord& record : undo)
        LetRecordLeave(box, record, false, report);
    return report;
}

LeaveReport EmptyEveryUndoList()
{
    // The registry may change while the shell asks: the boxes are taken
    // first.
    std::vector<std::shared_ptr<KelmWindow>> boxes;
    for (const auto& entry : s_boxRuntimes)
        boxes.push_back(entry.first);
    LeaveReport report;
    for (const auto& box : boxes) {
        LeaveReport one = EmptyUndoLists(box);
        report.inView.insert(report.inView.end(), one.inView.begin(), one.inView.end());
        report.stuck.insert(report.stuck.end(), one.stuck.begin(), one.stuck.end());
    }
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
