#include "box/fileops/PasteIntoBox.h"

#include <windows.h>
// GDI+ needs the property ids of the COM headers before it.
#include <objidl.h>
#include <propidl.h>
#include <gdiplus.h>
#include <shellapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <vector>

#include "app/FileActionGate.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/BoxInUse.h"
#include "box/BoxRuntime.h"
#include "box/fileops/CopyJob.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/DropPlan.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/PlanLooks.h"
#include "box/fileops/UndoList.h"
#include "box/fileops/UndoRedo.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmDropTarget.h"
#include "ui/core/KelmWindow.h"

namespace fs = std::filesystem;
using TessikDesktopContainer::KelmIconManager;

PendingBoxTimer s_pendingPaste(PasteFromClipboardTimer);

namespace
{

void Log(const wchar_t* level, const std::wstring& text)
{
    Logger::GetInstance().Log(L"DesktopContainer", level, text);
}

// Closes the clipboard however the paste ends.
class ClipboardOpen
{
public:
    explicit ClipboardOpen(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~ClipboardOpen()
    {
        if (open_)
            CloseClipboard();
    }
    ClipboardOpen(const ClipboardOpen&) = delete;
    ClipboardOpen& operator=(const ClipboardOpen&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_;
};

// Where the new records of one paste go: Ctrl+V appends them at 0, 0 for
// the box itself; the menu puts them beside the icon nearest the cursor.
struct PastePlace {
    bool menu = false;
    int insertIndex = 0;
    float x = 0.0f;
    float y = 0.0f;
    BoxWindowPtr owner;
};

PastePlace PlaceMenuPaste(const BoxWindowPtr& box, const KelmIconManager& manager)
{
    PastePlace place;
    place.menu = true;
    place.owner = box;
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(box->GetHwnd(), &cursor);
    const float halfEdge = manager.Records().empty() ? 25.0f : manager.Records().front().edge / 2.0f;
    const DropPlan::Point point{static_cast<float>(cursor.x / DpiScale) - halfEdge,
                                static_cast<float>(cursor.y / DpiScale) - halfEdge};
    place.x = point.x;
    place.y = point.y;
    if (manager.Records().empty())
        return place;
    std::vector<DropPlan::Point> positions;
    for (const IconRecord& record : manager.Records())
        positions.push_back({record.x, record.y});
    const DropPlan::Placement placement = DropPlan::PlaceAmong(positions, halfEdge * 2.0f, point);
    place.insertIndex = placement.insertIndex;
    if (placement.nearest >= 0)
        place.owner = manager.EffectiveOwner(manager.Records()[placement.nearest]);
    return place;
}

// Records shown on behalf of other boxes open a section headed by that
// box's title wherever the owner changes.
void RecomputeSectionTexts(const BoxWindowPtr& box, KelmIconManager& manager)
{
    BoxWindowPtr previous;
    for (IconRecord& record : manager.Records()) {
        record.sectionText.clear();
        if (record.owner != previous && record.owner && record.owner != box) {
            if (const BoxRuntime* owner = FindBoxRuntime(record.owner))
                record.sectionText = owner->title;
        }
        previous = record.owner;
    }
}

// One new item of the box's folder (or one mapped path) becomes its record.
void AddPastedRecord(const BoxWindowPtr& box, KelmIconManager& manager, const PastePlace& place, int offset,
                     const std::wstring& path, const std::wstring& originalPath)
{
    if (!place.menu) {
        manager.AddRecordForPath(path, 0.0f, 0.0f, L"bvn!NULL", false, L"", box, originalPath);
        return;
    }
    const int count = static_cast<int>(manager.Records().size());
    const int index = std::clamp(place.insertIndex + offset, 0, count);
    manager.AddRecordForEntry(index, path, place.x, place.y, L"bvn!NULL", place.owner && place.owner != box, L"",
                              place.owner, false, originalPath);
}

void FinishPaste(const BoxWindowPtr& box, KelmIconManager& manager, const PastePlace& place)
{
    manager.Renumber();
    if (place.menu)
        RecomputeSectionTexts(box, manager);
    SaveBoxIcons(manager);
    RepaintBoxWindows(box);
}

// The user hears which file the paste could not write, and why; no record
// and no undo record were made for it.
void TellPasteNotWritten(const std::wstring& path, DWORD error)
{
    NotifyUser(L"paste-write-failed", L"粘贴的内容没有保存：无法写入“" + path + L"”（" + TransferErrorText(error) +
                                          L"）。\n收纳盒中没有添加它。");
}

// A written text or image file becomes a record with its undo record, but
// only once it is really there.
void AddWrittenFile(const BoxWindowPtr& box, KelmIconManager& manager, const PastePlace& place,
                    const std::wstring& path)
{
    if (!PathExists(path)) {
        TellPasteNotWritten(path, ERROR_FILE_NOT_FOUND);
        return;
    }
    UndoRecord record;
    record.kind = 0;
    record.path = path;
    record.owner = place.owner;
    record.made = StampItem(path);
    record.identity = IdentifyItem(path);
    PushUndoRecord(box, std::move(record));
    AddPastedRecord(box, manager, place, 0, path, L"bvn!NULL");
    FinishPaste(box, manager, place);
}

std::wstring NameForPaste(const std::wstring& folder, const std::wstring& stem, const std::wstring& extension,
                          const PastePlace& place)
{
    const std::wstring name = FreePasteName(folder, stem, extension, PathExists);
    if (place.menu && name != folder + L"\\" + stem + extension)
        Log(L"WARNING", L"File collision avoided. Renamed to: " + name);
    return name;
}

// Writes bytes as a new file at path and answers ERROR_SUCCESS, or why it
// failed. A file already at path is never opened, let alone replaced. A
// write that fails (a full disk) leaves nothing of this file behind: it is
// removed through the handle that created it, so only this very file goes,
// and only when it is itself.
DWORD WriteNewFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD error = ERROR_SUCCESS;
    size_t offset = 0;
    while (error == ERROR_SUCCESS && offset < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - offset, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + offset, chunk, &written, nullptr))
            error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        else if (written == 0)
            error = ERROR_DISK_FULL;
        offset += written;
    }
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file))
        error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    if (error != ERROR_SUCCESS) {
        FILE_DISPOSITION_INFO gone{TRUE};
        if (!EntryIsItself(path) || !SetFileInformationByHandle(file, FileDispositionInfo, &gone, sizeof(gone)))
            Log(L"ERROR", L"A failed paste could not remove the file it began: " + path);
    }
    CloseHandle(file);
    return error;
}

bool FindPngEncoder(CLSID* clsid)
{
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (encoders[i].FilenameExtension && wcsstr(encoders[i].FilenameExtension, L"*.PNG")) {
            *clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

// The clipboard bitmap encoded as a PNG file's bytes; false when GDI+
// cannot. The clipboard keeps its bitmap: GDI+ only reads it.
bool EncodeBitmapAsPng(HBITMAP bitmap, std::string& bytes)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    bool encoded = false;
    {
        // Encoded in memory, the image is written like a pasted text:
        // never over another file, never left half-written.
        Microsoft::WRL::ComPtr<IStream> stream;
        CLSID png{};
        Gdiplus::Bitmap image(bitmap, nullptr);
        if (image.GetLastStatus() == Gdiplus::Ok && FindPngEncoder(&png) &&
            SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
            image.Save(stream.Get(), &png, nullptr) == Gdiplus::Ok) {
            HGLOBAL memory = nullptr;
            STATSTG stat{};
            if (SUCCEEDED(GetHGlobalFromStream(stream.Get(), &memory)) &&
                SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
                if (const auto* data = static_cast<const char*>(GlobalLock(memory))) {
                    bytes.assign(data, static_cast<size_t>(stat.cbSize.QuadPart));
                    GlobalUnlock(memory);
                    encoded = !bytes.empty();
                }
            }
        }
    }
    Gdiplus::GdiplusShutdown(token);
    return encoded;
}

// One pasted file as the worker hands it over, with what it was as it
// arrived (read by the worker: undo takes back only that).
struct PastedItem {
    CopyJobItem item;
    ItemStamp made;
    ItemIdentity identity;
};

// UI thread: a batch of pasted files becomes their undo records and
// records, in one pass over each list and with one repaint (a thousand
// files cost the lists a few times, not once per file).
void FinishPastedItems(const BoxWindowPtr& box, const std::vector<PastedItem>& batch, bool menu)
{
    auto manager = s_boxIconManagers.find(box);
    if (!box || manager == s_boxIconManagers.end()) {
        std::vector<CopyJobItem> items;
        for (const PastedItem& pasted : batch)
            items.push_back(pasted.item);
        LetGoOfItemsWithoutBox(items);
        return;
    }
    std::vector<UndoRecord> undo;
    std::vector<KelmIconManager::NewEntry> entries;
    for (const PastedItem& pasted : batch) {
        const CopyJobItem& item = pasted.item;
        const BoxWindowPtr owner = StandingBoxOf(item.owner);
        Log(L"INFO", std::wstring(menu ? L"Successfully pasted file async: " : L"Successfully copied inwards: ") +
                         item.destination);
        UndoRecord record;
        record.kind = 0;
        record.path = item.destination;
        record.replacedCopy = item.keptCopy;
        record.owner = owner;
        record.made = pasted.made;
        record.identity = pasted.identity;
        undo.push_back(std::move(record));
        // Ctrl+V appends at 0, 0 for the box itself; the menu's paste goes
        // beside the icon nearest the cursor, in that icon's section.
        KelmIconManager::NewEntry entry;
        entry.path = item.destination;
        entry.originalPath = item.originalPath;
        entry.owner = menu ? owner : box;
        entry.index = menu ? item.insertIndex : std::numeric_limits<int>::max();
        if (menu) {
            entry.x = item.dropX;
            entry.y = item.dropY;
            entry.merged = owner && owner != box;
        }
        entries.push_back(std::move(entry));
    }
    PushUndoRecords(box, std::move(undo));
    manager->second.AddRecordsForEntries(std::move(entries));
    if (menu)
        RecomputeSectionTexts(box, manager->second);
    RepaintBoxWindows(box);
}

// Copies one pasted item. A destination the paste did not decide to
// replace is never written over (one that appeared since the paste was
// planned leaves the item a free name beside it); one the user chose to
// replace is first kept in the temporary folder, and what it held noted
// in before.
TransferResult PasteOne(const CopyJobItem& item, const TransferOptions& options, TransferReport* report,
                        DestinationBefore* before)
{
    std::error_code ec;
    const bool folder = fs::is_directory(fs::symlink_status(fs::path(item.source), ec));
    // A file never replaces a folder of its name: the user hears that, not
    // the system's refusal, and the folder is not copied aside for nothing.
    const DWORD there = GetFileAttributesW(LongPathForm(item.destination).c_str());
    if (!folder && item.replace && there != INVALID_FILE_ATTRIBUTES && (there & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(kErrorFolderInTheWay);
        return TransferResult::Failed;
    }
    // What the kept copy could not take is told with the system's reason.
    if (!KeepWhatItemReplaces(item, options, before))
        return TransferResult::Failed;
    if (folder)
        return CopyItem(item.source, item.destination, item.replace, options, report);
    return CopyFileAtomically(item.source, item.destination, item.replace, options);
}

// How often a paste hands its finished items to the UI thread (ms); the
// box's folder is looked at with each batch, before the first item and
// after a failed one.
constexpr DWORD kBatchInterval = 200;

void PasteCopyWorker(CopyJob job, bool menu)
{
    RepaintTarget target{job.box, job.box ? job.box->GetHwnd() : nullptr};
    const TransferOptions options = WorkerTransferOptions(target);
    JobTrouble trouble;
    trouble.failed = job.notFound;
    // Copies go into the folder the plan was made against: when another
    // program renamed, moved or deleted it, or put another of its name in
    // its place, the paste stops and says so, instead of blaming each item.
    const PlannedFolder into(job.intoFolder, job.intoFolderIdentity);
    // Items whose outcome is told (pasted or failed on their own).
    size_t handled = 0, pasted = 0;
    bool folderLeft = false;
    // Finished items reach the UI thread in batches, as a drop's do.
    std::vector<PastedItem> batch;
    DWORD lastPost = GetTickCount();
    auto postBatch = [&] {
        if (!batch.empty() && job.box)
            PostToJobBox([finished = std::move(batch), menu](const BoxWindowPtr& box) {
                FinishPastedItems(box, finished, menu);
            });
        batch.clear();
        lastPost = GetTickCount();
    };
    ForEachJobItemWhile(job, target, L"paste", [&](const CopyJobItem& planned) {
        if (handled == 0 && into.Left()) {
            folderLeft = true;
            return false;
        }
        CopyJobItem item = planned;
        AvoidDestinationTakenSincePlan(item, trouble);
        TransferReport report;
        DestinationBefore before;
        const TransferResult result = PasteOne(item, options, &report, &before);
        const DWORD error = GetLastError();
        const bool done = result == TransferResult::Done || result == TransferResult::Incomplete;
        if (done) {
            ++pasted;
            batch.push_back({item, StampItem(item.destination), IdentifyItem(item.destination)});
        } else {
            std::wstring keptAt;
            if (!GiveBackWhatFailedItemReplaced(item, before, &keptAt))
                trouble.notGivenBack.emplace_back(item.destination, keptAt);
            // Refused because the folder went under it: the item is one of
            // those not pasted, not a failure of its own.
            if (result == TransferResult::Failed && into.Left()) {
                folderLeft = true;
                return false;
            }
            if (result == TransferResult::Failed)
                Log(L"ERROR", L"Failed to paste file async: " + item.destination);
            if (report.failed.empty() && result == TransferResult::Failed)
                report.failed.push_back({item.source, error ? error : ERROR_GEN_FAILURE});
        }
        trouble.failed.insert(trouble.failed.end(), report.failed.begin(), report.failed.end());
        ++handled;
        if (done && GetTickCount() - lastPost >= kBatchInterval) {
            postBatch();
            folderLeft = into.Left();
        }
        return !folderLeft;
    });
    postBatch();
    if (job.box && folderLeft) {
        Log(L"ERROR", L"The box folder left while files were pasted into it: " + job.intoFolder);
        const size_t notYet = job.items.size() - handled;
        PostToJobBox([folder = job.intoFolder, notYet, pasted, whereNow = into.WhereNow(),
                      trouble = std::move(trouble)](const BoxWindowPtr& box) {
            const BoxRuntime* runtime = FindBoxRuntime(box);
            const std::wstring stored = runtime ? runtime->TargetFolder : folder;
            std::wstring text = FolderLeftDuringDropText(runtime ? runtime->title : L"", NormalizeStoredPath(stored),
                                                         notYet, pasted, whereNow);
            if (!trouble.Empty())
                text += L"\n\n" + JobTroubleText(trouble);
            NotifyUser(L"paste-folder-gone:" + stored, text);
        });
    } else if (job.box && !trouble.Empty()) {
        PostFromJob([text = JobTroubleText(trouble)] { NotifyUser(L"paste-failed", text); });
    }
    EndFileJobWorker(target);
}

// The paste whose entries are being looked at off the UI thread.
struct LookedAtPaste {
    BoxInUse hold;
    PastePlace place;
    std::wstring folder;
};

AwaitedLooks<LookedAtPaste>& BeingLookedAt()
{
    static AwaitedLooks<LookedAtPaste> awaited;
    return awaited;
}

// One paste at a time: a second one would plan against names the first
// is about to take.
void TellAnotherJobRuns()
{
    NotifyUser(L"job-busy", L"另一项文件操作正在进行，没有粘贴。\n请在当前操作完成后重试。");
}

bool RefusedWhilePasteLooks()
{
    if (!BeingLookedAt().Waits())
        return false;
    TellAnotherJobRuns();
    return true;
}

// UI thread: the box a paste works for, found by its id as it stands now,
// with its manager; none (and the user told why, where the box still
// stands) when nothing must be pasted.
BoxInUse::Found FindPasteBox(const BoxInUse& hold, const std::wstring& folder)
{
    return hold.BoxWithFolder(folder, L"paste-folder-changed:", L"在粘贴时发生了变化，没有粘贴。");
}

void PasteLookedAt(unsigned serial, const PlanLooks& looks, bool failed, int answer);

// UI thread: the plan of a paste whose entries were looked at, its one
// question, and the job that carries it out. The box is held from the
// paste to the job's end, and reached by its id. The question comes as
// soon as the names are known; which taken names are the pasted items
// themselves is looked at only after a "直接覆盖" (answer 1: asked, not
// asked again), off the window's thread, and the plan is made again with
// it.
void PlanPaste(const BoxInUse& hold, PastePlace place, const std::wstring& folder, const PlanLooks& looks, int answer)
{
    BoxInUse::Found found = FindPasteBox(hold, folder);
    if (!found.box)
        return;
    if (answer < 0 && !looks.boxFolders.Empty())
        NotifyUser(L"paste-volume-root", looks.boxFolders.Text(L"粘贴到收纳盒中"));
    if (answer < 0 && !looks.intoItself.empty()) {
        NameList names;
        for (const std::wstring& path : looks.intoItself)
            names.Add(path);
        NotifyUser(L"paste-into-itself",
                   names.Text() + L"是这个收纳盒的文件夹或包含它的文件夹，不能粘贴到它自己里面，没有粘贴。");
    }
    const std::wstring inFolder = WithSeparator(folder);
    const HWND hwnd = found.box->GetHwnd();
    const DropPlan::Plan plan = DropPlan::PlanInto(
        looks.paths, folder, DiskOfLooks(looks, inFolder),
        [hwnd, answer] { return answer >= 0 ? answer : s_sameNameQuestion(hwnd); }, DropPlan::OwnItem::Ask);
    HoverAnimationCount = 0;
    if (plan.cancelled)
        return;
    if (plan.choice == 1 && !looks.ownItemsLooked) {
        // Nothing is replaced by itself: the plan is made again once the
        // taken names were looked at.
        if (FileActionGate::Refuses(L"没有粘贴"))
            return;
        const unsigned serial = BeingLookedAt().Await(LookedAtPaste{hold, place, folder});
        LookOffUiThread(
            [looks, folder] {
                PlanLooks own = looks;
                LookAtOwnItems(own, folder);
                return own;
            },
            [serial](const PlanLooks& own, bool failed) { PasteLookedAt(serial, own, failed, 1); });
        return;
    }
    // The question ran a message loop: the program may have begun to end,
    // and the box is found again by its id.
    if (FileActionGate::Refuses(L"没有粘贴"))
        return;
    found = FindPasteBox(hold, folder);
    if (!found.box) {
        if (!hold.Box())
            NotifyUser(L"paste-box-gone", L"收纳盒已不存在，没有粘贴。");
        return;
    }
    const BoxWindowPtr box = found.box;
    KelmIconManager& manager = *found.manager;
    // The section the records join may have left the box meanwhile.
    if (!FindBoxRuntime(place.owner))
        place.owner = box;
    if (!plan.refused.empty()) {
        NameList names;
        for (const std::wstring& source : plan.refused)
            names.Add(source);
        NotifyUser(L"paste-onto-itself",
                   names.Text() + L"已在这个收纳盒中，不能用它自己覆盖，没有粘贴。\n要再放一份，请选择“创建副本”。");
    }
    CopyJob job;
    job.box = box;
    job.hold = hold;
    job.conflictChoice = plan.choice;
    // What was copied or cut may be gone by the time it is pasted: named
    // with the rest of what did not arrive, never left out unsaid.
    job.notFound = NotFoundAtPlan(plan.missing, looks);
    job.intoFolder = folder;
    job.intoFolderIdentity = looks.boxFolder;
    for (const DropPlan::Item& planned : plan.items) {
        CopyJobItem item;
        item.source = planned.source;
        item.destination = planned.destination;
        item.originalPath = planned.source;
        item.insertIndex = place.insertIndex + (place.menu ? planned.sourceIndex : 0);
        item.dropX = place.x;
        item.dropY = place.y;
        item.owner = place.owner;
        item.replace = planned.replace;
        if (planned.replace)
            item.keptCopy = TempCopyPath(planned.destination);
        if (GetPathFileName(planned.destination) != GetPathFileName(planned.source))
            Log(L"WARNING", L"File collision avoided. Renamed to: " + planned.destination);
        job.items.push_back(std::move(item));
    }
    if (job.items.empty()) {
        if (!job.notFound.empty()) {
            JobTrouble trouble;
            trouble.failed = std::move(job.notFound);
            NotifyUser(L"paste-failed", JobTroubleText(trouble));
        }
        FinishPaste(box, manager, place);
        return;
    }
    const bool menu = place.menu;
    if (!StartFileJob(box, [job = std::move(job), menu]() mutable { PasteCopyWorker(std::move(job), menu); }) &&
        !FileActionGate::IsClosed())
        TellAnotherJobRuns();
}

// UI thread, once the looks are back; answer is that of the question
// already asked, -1 before it.
void PasteLookedAt(unsigned serial, const PlanLooks& looks, bool failed, int answer)
{
    const std::optional<LookedAtPaste> awaited = BeingLookedAt().Take(serial);
    if (!awaited)
        return;
    const LookedAtPaste& taken = *awaited;
    // The program began to end, or a job began, while the paste was
    // looked at.
    if (RefusedWhileFileJobRuns(L"粘贴"))
        return;
    if (failed) {
        NotifyUser(L"paste-look-failed", L"无法读取要粘贴的文件的信息，没有粘贴。");
        return;
    }
    try {
        PlanPaste(taken.hold, taken.place, taken.folder, looks, answer);
    } catch (...) {
        Log(L"ERROR", L"Paste stopped on an unexpected error.");
        NotifyUser(L"paste-failed-plan", L"粘贴时发生意外错误，没有粘贴。");
    }
}

void PasteFiles(const BoxWindowPtr& box, KelmIconManager& manager, const BoxRuntime& runtime, const PastePlace& place,
                const std::vector<std::wstring>& paths)
{
    if (FileActionGate::Refuses(L"没有粘贴"))
        return;
    const std::wstring folder = runtime.BackingFolder();
    if (folder.empty() && runtime.UseTargetFolder && !runtime.TargetFolder.empty() &&
        runtime.TargetFolder != L"bvn!NULL") {
        // Shortcut records would stand in a box whose files live in its
        // folder, and nothing would reach it.
        NotifyUser(L"paste-folder-gone:" + runtime.TargetFolder,
                   L"收纳盒“" + runtime.title + L"”的文件夹“" + NormalizeStoredPath(runtime.TargetFolder) +
                       L"”不存在或无法访问（可能已被移动、重命名或删除），没有粘贴。");
        return;
    }
    if (folder.empty()) {
        // One pass over each list for the whole paste: a thousand paths
        // must not cost the list a thousand inserts.
        std::vector<UndoRecord> undo;
        std::vector<KelmIconManager::NewEntry> entries;
        int offset = 0;
        for (const std::wstring& path : paths) {
            UndoRecord record;
            record.kind = 3;
            record.path = path;
            record.owner = place.owner;
            undo.push_back(std::move(record));
            KelmIconManager::NewEntry entry;
            entry.path = path;
            entry.originalPath = path;
            if (place.menu) {
                entry.index = place.insertIndex + offset++;
                entry.x = place.x;
                entry.y = place.y;
                entry.merged = place.owner && place.owner != box;
                entry.owner = place.owner;
            } else {
                entry.index = std::numeric_limits<int>::max();
                entry.owner = box;
            }
            entries.push_back(std::move(entry));
        }
        PushUndoRecords(box, std::move(undo));
        manager.AddRecordsForEntries(std::move(entries));
        FinishPaste(box, manager, place);
        return;
    }

    // The plan would be made against a folder the job is still changing.
    if (RefusedWhileFileJobRuns(L"粘贴") || RefusedWhilePasteLooks())
        return;
    // Every pasted entry is looked at, and the box's folder listed, off the
    // UI thread: a thousand taken names cost seconds of questions to the
    // system. The plan, its question and the job follow on the UI thread.
    const unsigned serial = BeingLookedAt().Await(LookedAtPaste{BoxInUse::Hold(box), place, folder});
    LookOffUiThread([guarded = FoldersToGuard(folder), paths] { return LookBeforePlan(guarded, paths, false, false); },
                    [serial](const PlanLooks& looks, bool failed) { PasteLookedAt(serial, looks, failed, -1); });
}

void PasteText(const BoxWindowPtr& box, KelmIconManager& manager, const std::wstring& folder, const PastePlace& place,
               HANDLE data)
{
    const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
    if (!text)
        return;
    const std::wstring content(text, wcsnlen(text, GlobalSize(data) / sizeof(wchar_t)));
    GlobalUnlock(data);
    const std::wstring path = NameForPaste(folder, L"剪贴板文本", L".txt", place);
    if (const DWORD error = WriteNewFile(path, PastedTextBytes(content))) {
        TellPasteNotWritten(path, error);
        return;
    }
    AddWrittenFile(box, manager, place, path);
}

void PasteBitmap(const BoxWindowPtr& box, KelmIconManager& manager, const std::wstring& folder, const PastePlace& place,
                 HBITMAP bitmap)
{
    std::string png;
    if (!EncodeBitmapAsPng(bitmap, png)) {
        NotifyUser(L"paste-write-failed", L"剪贴板中的图片无法转换为 PNG 图片，没有粘贴。");
        return;
    }
    const std::wstring path = NameForPaste(folder, L"剪贴板图片", L".png", place);
    if (const DWORD error = WriteNewFile(path, png)) {
        TellPasteNotWritten(path, error);
        return;
    }
    AddWrittenFile(box, manager, place, path);
}

void PasteClipboard(const BoxWindowPtr& box, KelmIconManager& manager, bool menu)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !IsWindow(box->GetHwnd()) || FileActionGate::Refuses(L"没有粘贴"))
        return;
    // Open while its content is read and written (a file list is planned
    // and copied after it closed).
    ClipboardOpen clipboard(box->GetHwnd());
    if (!clipboard.IsOpen())
        return;
    PastePlace place;
    place.owner = box;
    if (menu)
        place = PlaceMenuPaste(box, manager);

    if (IsClipboardFormatAvailable(CF_HDROP)) {
        if (HANDLE data = GetClipboardData(CF_HDROP))
            PasteFiles(box, manager, *runtime, place, PathsOfDropHandle(data));
        return;
    }
    const std::wstring folder = runtime->BackingFolder();
    if (!folder.empty() && (RefusedWhileFileJobRuns(L"粘贴") || RefusedWhilePasteLooks()))
        return;
    if (IsClipboardFormatAvailable(CF_UNICODETEXT)) {
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        if (data && !folder.empty())
            PasteText(box, manager, folder, place, data);
        return;
    }
    if (IsClipboardFormatAvailable(CF_BITMAP)) {
        HANDLE data = GetClipboardData(CF_BITMAP);
        if (data && !folder.empty())
            PasteBitmap(box, manager, folder, place, static_cast<HBITMAP>(data));
    }
}

} // namespace

std::wstring FreePasteName(const std::wstring& folder, const std::wstring& stem, const std::wstring& extension,
                           const std::function<bool(const std::wstring&)>& exists)
{
    std::wstring path = folder + L"\\" + stem + extension;
    for (int n = 1; exists(path); ++n)
        path = folder + L"\\" + stem + L" (" + std::to_wstring(n) + L")" + extension;
    return path;
}

std::string PastedTextBytes(const std::wstring& text)
{
    std::string bytes = "\xEF\xBB\xBF";
    if (text.empty())
        return bytes;
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return bytes;
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    return bytes + utf8;
}

void CALLBACK PasteFromClipboardTimer(HWND, UINT, UINT_PTR timerId, DWORD)
{
    BoxWindowPtr box = s_pendingPaste.Take(timerId);
    if (!box)
        return;
    auto manager = s_boxIconManagers.find(box);
    if (manager == s_boxIconManagers.end())
        return;
    try {
        PasteClipboard(box, manager->second, false);
    } catch (...) {
        Log(L"ERROR", L"Paste stopped on an unexpected error.");
    }
}

bool PasteBeingLookedAt()
{
    return BeingLookedAt().Waits();
}

void PasteFilesIntoBox(const BoxWindowPtr& box, KelmIconManager& manager, const std::vector<std::wstring>& paths)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    PastePlace place;
    place.owner = box;
    PasteFiles(box, manager, *runtime, place, paths);
}

void PasteIntoBox(const BoxWindowPtr& box, KelmIconManager& manager)
{
    try {
        PasteClipboard(box, manager, true);
    } catch (...) {
        Log(L"ERROR", L"Paste stopped on an unexpected error.");
    }
}

void PasteFilesIntoBoxAt(const BoxWindowPtr& box, KelmIconManager& manager, const std::vector<std::wstring>& paths,
                         const PastePlacement& at)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    PastePlace place;
    place.menu = true;
    place.insertIndex = std::clamp(at.insertIndex, 0, static_cast<int>(manager.Records().size()));
    place.x = at.x;
    place.y = at.y;
    place.owner = at.owner ? at.owner : box;
    try {
        PasteFiles(box, manager, *runtime, place, paths);
    } catch (...) {
        Log(L"ERROR", L"Paste stopped on an unexpected error.");
    }
}
