#include "box/fileops/FileTransfer.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <utility>

#include "app/FileRemoval.h"
#include "app/VolumeRoot.h"
#include "box/fileops/PartFileJournal.h"

namespace
{

DWORD AttributesOf(const std::wstring& path)
{
    return GetFileAttributesW(LongPathForm(path).c_str());
}

// A symbolic link or junction: the entry itself, never what it points to.
bool IsLinkAttributes(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolderAttributes(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Cancelled(const TransferOptions& options)
{
    return options.cancelled && options.cancelled();
}

// A caller reads why an item did not arrive from the system's last error:
// a cancelled one says so, never what an earlier look left there.
TransferResult CancelTold(TransferResult result)
{
    if (result == TransferResult::Cancelled)
        SetLastError(ERROR_REQUEST_ABORTED);
    return result;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

// The folder that holds a full path and the name in it; false for a root.
bool SplitFull(const std::wstring& full, std::wstring& folder, std::wstring& name)
{
    const size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash == 0 || slash + 1 >= full.size())
        return false;
    folder = full.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    name = full.substr(slash + 1);
    return true;
}

bool Rename(const TransferOptions& options, const std::wstring& from, const std::wstring& to, DWORD flags)
{
    if (options.rename)
        return options.rename(from, to, flags);
    return MoveFileExW(LongPathForm(from).c_str(), LongPathForm(to).c_str(), flags) != FALSE;
}

// Renames the open file h to path; the system's reason when it cannot (as
// MoveFileExW: ERROR_ALREADY_EXISTS over an entry without replace,
// ERROR_NOT_SAME_DEVICE across volumes).
bool RenameHandle(HANDLE h, const std::wstring& path, bool replace)
{
    const std::wstring reach = LongPathForm(path);
    const size_t nameBytes = reach.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::copy(reach.begin(), reach.end(), info->FileName);
    return SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

// Why an entry may not be written at path, or 0: a link there (shown as one
// or not) would make the write land elsewhere.
DWORD DestinationRefusal(const std::wstring& path, DWORD attributes)
{
    if (IsLinkAttributes(attributes))
        return ERROR_FILE_EXISTS;
    // Nothing there: nothing to reach through (a path that climbs out
    // through "." or ".." is still refused by the check).
    if (attributes == INVALID_FILE_ATTRIBUTES && !HasDotPart(path))
        return 0;
    switch (CheckEntry(path)) {
    case EntryCheck::Itself:
        return 0;
    case EntryCheck::NotItself:
        return ERROR_FILE_EXISTS;
    case EntryCheck::Unchecked:
        break;
    }
    const DWORD error = GetLastError();
    return error ? error : ERROR_ACCESS_DENIED;
}

DWORD DestinationRefusal(const std::wstring& path)
{
    return DestinationRefusal(path, AttributesOf(path));
}

// Why an entry of sourceAttributes may not replace what has
// destinationAttributes, or 0.
DWORD KindRefusal(DWORD sourceAttributes, DWORD destinationAttributes)
{
    if (sourceAttributes == INVALID_FILE_ATTRIBUTES || destinationAttributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    const bool from = (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool to = (destinationAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return from == to ? 0 : to ? kErrorFolderInTheWay : kErrorFileInTheWay;
}

bool SameSizeAndTime(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
           CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

} // namespace

struct TransferJobState {
    PartFileJournal journal;
    // Folder paths as given, and the comparable final path of the folder
    // each names (links followed); empty when it could not be named. A
    // job of many items in one folder asks once. What an entry's own check
    // compares with it is asked fresh, so an outdated answer only sends
    // the entry to the full check.
    std::map<std::wstring, std::wstring> folderFinal;
    // Folder paths as given, and the volume serial of each.
    std::map<std::wstring, DWORD> folderVolume;

    // The volume serial of a folder, asked once per job; false when the
    // folder cannot be opened.
    bool FolderVolume(const std::wstring& folder, DWORD& volume)
    {
        auto known = folderVolume.find(folder);
        if (known == folderVolume.end()) {
            BY_HANDLE_FILE_INFORMATION facts{};
            if (!EntryFacts(folder, false, facts))
                return false;
            known = folderVolume.emplace(folder, facts.dwVolumeSerialNumber).first;
        }
        volume = known->second;
        return true;
    }

    const std::wstring& FolderFinal(const std::wstring& folder)
    {
        auto known = folderFinal.find(folder);
        if (known != folderFinal.end())
            return known->second;
        std::wstring final = ComparableFinalPath(folder);
        std::wstring parent, name;
        // A folder not made yet is where its parent is, under its name.
        if (final.empty() && AttributesOf(folder) == INVALID_FILE_ATTRIBUTES && SplitFull(folder, parent, name)) {
            const std::wstring& above = FolderFinal(parent);
            if (!above.empty())
                final = ComparablePath(above + L"\\" + name);
        }
        return folderFinal.emplace(folder, std::move(final)).first->second;
    }
};

std::shared_ptr<TransferJobState> NewTransferJobState()
{
    return std::make_shared<TransferJobState>();
}

namespace
{

// The job's shared state, or one of the call's own.
class JobOf
{
public:
    explicit JobOf(const TransferOptions& options)
    {
        if (!options.job)
            own_.emplace();
        state_ = options.job ? options.job.get() : &*own_;
    }
    TransferJobState& operator*() const { return *state_; }
    TransferJobState* operator->() const { return state_; }

private:
    std::optional<TransferJobState> own_;
    TransferJobState* state_ = nullptr;
};

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using HeldHandle = std::unique_ptr<void, HandleCloser>;

// What one look at a source entry tells: its own attributes, its final
// path (comparable) and whether it is itself (CheckEntry).
struct SourceEntry {
    // A file looked at for its move, still open (with the right to rename
    // it) when it proved itself: the rename goes through the very entry
    // that was checked, not through its name again.
    HeldHandle held;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    std::wstring ownFinal;
    // The file index of a file, read on the same open.
    std::optional<uint64_t> index;
    EntryCheck check = EntryCheck::Unchecked;
    // The system's reason when the entry is not there or unchecked.
    DWORD error = 0;
};

// The file index of an open file (the file's own, not its volume's):
// one query of the handle.
std::optional<uint64_t> FileIndexOfHandle(HANDLE h)
{
    using QueryFile = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, int);
    static const auto query = reinterpret_cast<QueryFile>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
    constexpr int kFileInternalInformation = 6;
    LARGE_INTEGER internal{};
    ULONG_PTR status[2] = {};
    if (!query || query(h, status, &internal, sizeof(internal), kFileInternalInformation) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(internal.QuadPart);
}

// The final path of an open handle, comparable; empty when the system
// cannot name it.
std::wstring FinalPathOfHandle(HANDLE h)
{
    wchar_t buffer[MAX_PATH + 64];
    const DWORD size = GetFinalPathNameByHandleW(h, buffer, MAX_PATH + 64, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (size == 0 || size >= MAX_PATH + 64)
        return L"";
    return ComparablePath(std::wstring(buffer, size));
}

// Looks at a source entry once: its attributes, then one open of the entry
// itself (a link as the link) for its final path. It is itself when that
// final path is its folder's (known to the job) joined with its name;
// anything else (a short name, a trimmed name, a link the system lists as
// a plain entry, an entry that cannot be opened or named) takes the full
// check. Its volume is not asked (under Wine that costs more than the
// move itself); withIndex reads its file index on the same open. hold
// keeps a file that proved itself open for its rename (SourceEntry::held);
// one that cannot be opened so (held open by a process that does not share
// its deletion) is looked at as any other and stays unheld.
SourceEntry InspectSource(const std::wstring& path, TransferJobState& job, bool withIndex = false, bool hold = false)
{
    SourceEntry entry;
    const std::wstring reach = LongPathForm(path);
    entry.attributes = GetFileAttributesW(reach.c_str());
    if (entry.attributes == INVALID_FILE_ATTRIBUTES) {
        entry.error = GetLastError();
        return entry;
    }
    if (reach == path && !HasDotPart(path)) {
        auto open = [&](DWORD access) {
            HANDLE h =
                CreateFileW(reach.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            return HeldHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
        };
        HeldHandle h;
        if (hold && !IsFolderAttributes(entry.attributes))
            h = open(DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
        const bool mayRename = h != nullptr;
        if (!h)
            h = open(FILE_READ_ATTRIBUTES);
        if (h) {
            entry.ownFinal = FinalPathOfHandle(h.get());
            if (withIndex && !IsFolderAttributes(entry.attributes))
                entry.index = FileIndexOfHandle(h.get());
        }
        std::wstring folder, name;
        if (!entry.ownFinal.empty() && SplitFull(FullPathOf(path), folder, name)) {
            const std::wstring& folderFinal = job.FolderFinal(folder);
            if (!folderFinal.empty() && entry.ownFinal == ComparablePath(folderFinal + L"\\" + name)) {
                entry.check = EntryCheck::Itself;
                if (mayRename)
                    entry.held = std::move(h);
                return entry;
            }
        }
    }
    entry.check = CheckEntry(path);
    if (entry.check == EntryCheck::Unchecked)
        entry.error = GetLastError();
    return entry;
}

// A copied file: its source, where it arrived and which file that is.
struct CopiedFile {
    std::wstring source;
    std::wstring destination;
    BY_HANDLE_FILE_INFORMATION placed{};
};

// One copy of a file or folder: what it took, so that a move removes
// exactly that, and what it wrote, so that nothing replaces it.
struct CopyRun {
    CopyRun(const TransferOptions& options, TransferJobState& job, bool replace, TransferReport* report)
        : options(options), job(job), replace(replace), report(report)
    {
    }
    const TransferOptions& options;
    TransferJobState& job;
    bool replace;
    TransferReport* report;
    std::vector<CopiedFile> files;
    // Source folders, each after the folders inside it.
    std::vector<std::wstring> folders;
    // Every file and folder the copy wrote or created.
    std::vector<BY_HANDLE_FILE_INFORMATION> written;
    // The destination folders the copy created, each before the folders
    // inside it, with the source folder each was made for.
    struct CreatedFolder {
        std::wstring source;
        std::wstring destination;
        BY_HANDLE_FILE_INFORMATION facts{};
    };
    std::vector<CreatedFolder> created;
    // Entries that did not arrive (failed or left behind), those left
    // behind, and why the last one that failed did.
    size_t notTaken = 0;
    size_t leftBehind = 0;
    DWORD lastError = 0;

    bool Wrote(const std::wstring& path) const
    {
        BY_HANDLE_FILE_INFORMATION facts{};
        return !written.empty() && EntryFacts(path, true, facts) &&
               std::any_of(written.begin(), written.end(),
                           [&](const auto& own) { return SameFileIdentity(own, facts); });
    }
    void LeftBehind(const std::wstring& path)
    {
        ++notTaken;
        ++leftBehind;
        if (report)
            report->leftBehind.push_back(path);
    }
    void Failed(const std::wstring& path, DWORD error, const std::wstring& name = L"")
    {
        ++notTaken;
        lastError = error ? error : ERROR_GEN_FAILURE;
        if (report)
            report->failed.push_back({path, lastError, name});
    }
};

void ReportLeftBehind(TransferReport* report, const std::wstring& path)
{
    if (report)
        report->leftBehind.push_back(path);
}

// A caller that reads the system's last error after a failed transfer
// reads the reason reported, never one left by an earlier call.
void ReportFailure(TransferReport* report, const std::wstring& path, DWORD error)
{
    if (report)
        report->failed.push_back({path, error ? error : ERROR_GEN_FAILURE});
    SetLastError(error ? error : ERROR_GEN_FAILURE);
}

// A link given as the item stays where it is.
TransferResult LinkStays(TransferReport* report, const std::wstring& path)
{
    ReportLeftBehind(report, path);
    SetLastError(kErrorLinkNotFollowed);
    return TransferResult::Failed;
}

// Copies one file to a part file and renames that into place. The rename
// is the moment of the check: without replace it never goes over anything,
// and with it never over a file this same run wrote (two source names that
// one destination folder takes as one). placed, when given, receives which
// file arrived.
TransferResult PlaceFile(const std::wstring& source, const std::wstring& destination, bool replace,
                         const TransferOptions& options, TransferJobState& job, CopyRun* run,
                         BY_HANDLE_FILE_INFORMATION* placed)
{
    if (Cancelled(options))
        return TransferResult::Cancelled;
    PartFileJournal& journal = job.journal;
    std::wstring part, partPath;
    // The part file is made new: a name something else took is never
    // written over nor removed, another is claimed.
    for (int attempt = 0;; ++attempt) {
        part = journal.Claim(destination);
        partPath = LongPathForm(part);
        if (CopyFileExW(LongPathForm(source).c_str(), partPath.c_str(), options.progress, options.context, nullptr,
                        COPY_FILE_FAIL_IF_EXISTS))
            break;
        const DWORD error = GetLastError();
        const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        if (taken && attempt < 3) {
            journal.Release(part, true);
            continue;
        }
        const bool gone = taken || DeleteFileW(partPath.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
                          GetLastError() == ERROR_PATH_NOT_FOUND;
        journal.Release(part, gone);
        // The caller names why the file did not arrive.
        SetLastError(error);
        return error == ERROR_REQUEST_ABORTED ? TransferResult::Cancelled : TransferResult::Failed;
    }
    auto drop = [&](DWORD error, TransferResult result) {
        journal.Release(part, DeleteFileW(partPath.c_str()) != FALSE);
        SetLastError(error);
        return result;
    };
    if (Cancelled(options))
        return drop(ERROR_REQUEST_ABORTED, TransferResult::Cancelled);
    // A rename keeps the file: what the part file is, the destination is
    // once it stands there.
    if (placed && !EntryFacts(part, true, *placed))
        return drop(GetLastError(), TransferResult::Failed);
    if (replace && run && run->Wrote(destination))
        return drop(ERROR_FILE_EXISTS, TransferResult::Failed);
    if (!MoveFileExW(partPath.c_str(), LongPathForm(destination).c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
        const DWORD error = GetLastError();
        return drop(error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : error, TransferResult::Failed);
    }
    journal.Release(part, true);
    if (run && placed)
        run->written.push_back(*placed);
    return TransferResult::Done;
}

// The folder at destination to copy into: created by this run, or, with
// replace, one that stood there before (merged into). 0 or why not.
DWORD OpenDestinationFolder(const std::wstring& source, const std::wstring& destination, CopyRun& run, bool& created)
{
    created = false;
    if (const DWORD refusal = DestinationRefusal(destination))
        return refusal;
    if (CreateDirectoryW(LongPathForm(destination).c_str(), nullptr)) {
        created = true;
        BY_HANDLE_FILE_INFORMATION facts{};
        if (EntryFacts(destination, true, facts)) {
            run.written.push_back(facts);
            run.created.push_back({source, destination, facts});
        }
        return 0;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS)
        return error;
    // Two source folders whose names one destination takes as one are not
    // poured into one folder: the second stays where it is.
    if (!run.replace || !IsOwnFolder(destination) || run.Wrote(destination))
        return ERROR_FILE_EXISTS;
    return 0;
}

// The names of a folder as listed once, before the copy adds anything: a
// copy never walks what it writes itself.
bool ListNames(const std::wstring& folder, std::vector<std::pair<std::wstring, DWORD>>& entries)
{
    return ForEachFolderEntry(folder, [&](const std::wstring& name, unsigned long attributes) {
        entries.emplace_back(name, attributes);
        return true;
    });
}

TransferResult CopyFolderInto(const std::wstring& source, const std::wstring& destination, CopyRun& run, bool& arrived);

// Copies the entries of source into the folder destination. An entry that
// cannot be copied is named and the rest still goes: the user gets as much
// as can be taken, and what did not arrive stays at its source. Only a
// cancel stops the walk. arrived tells whether any entry arrived; listed
// whether the source held any.
TransferResult CopyEntries(const std::wstring& source, const std::wstring& destination, CopyRun& run, bool& arrived,
                           bool& listed)
{
    std::vector<std::pair<std::wstring, DWORD>> entries;
    if (!ListNames(source, entries)) {
        run.Failed(source, GetLastError());
        listed = true;
        return TransferResult::Done;
    }
    listed = !entries.empty();
    for (const auto& [name, attributes] : entries) {
        if (Cancelled(run.options))
            return TransferResult::Cancelled;
        // A name holding a separator, or a dot name, would name an entry
        // elsewhere once joined to the folder's path: it is never joined.
        if (!IsPlainEntryName(name)) {
            run.Failed(source + L"\\" + name, ERROR_INVALID_NAME, name);
            continue;
        }
        const std::wstring from = Join(source, name);
        const std::wstring to = Join(destination, name);
        // A link of the source is never followed: it would copy (and a
        // move then delete) what lies elsewhere.
        if (IsLinkAttributes(attributes)) {
            run.LeftBehind(from);
            continue;
        }
        const SourceEntry entry = InspectSource(from, run.job);
        if (entry.check != EntryCheck::Itself) {
            if (entry.check == EntryCheck::NotItself)
                run.LeftBehind(from);
            else
                run.Failed(from, entry.error);
            continue;
        }
        if (const DWORD refusal = DestinationRefusal(to)) {
            run.Failed(from, refusal);
            continue;
        }
        if (IsFolderAttributes(attributes)) {
            bool inner = false;
            const TransferResult result = CopyFolderInto(from, to, run, inner);
            if (result == TransferResult::Cancelled)
                return result;
            arrived = arrived || inner;
            continue;
        }
        CopiedFile file{from, to, {}};
        const TransferResult result = PlaceFile(from, to, run.replace, run.options, run.job, &run, &file.placed);
        if (result == TransferResult::Cancelled)
            return result;
        if (result == TransferResult::Done) {
            run.files.push_back(std::move(file));
            arrived = true;
        } else {
            run.Failed(from, GetLastError());
        }
    }
    return TransferResult::Done;
}

// Copies a folder into the folder at destination, made by this run or, with
// replace, one that stood there (merged into). A folder it made in which
// nothing arrived because everything its source held was refused is taken
// away again: a refused tree leaves no empty chain of folders. arrived
// tells whether the folder is at the destination now.
TransferResult CopyFolderInto(const std::wstring& source, const std::wstring& destination, CopyRun& run, bool& arrived)
{
    arrived = false;
    bool created = false;
    if (const DWORD refusal = OpenDestinationFolder(source, destination, run, created)) {
        run.Failed(source, refusal);
        SetLastError(refusal);
        return TransferResult::Failed;
    }
    bool inner = false, listed = false;
    const size_t leftBefore = run.leftBehind;
    const TransferResult result = CopyEntries(source, destination, run, inner, listed);
    if (result == TransferResult::Cancelled) {
        // What this run made holds only what it wrote.
        if (created)
            RemoveItemWithoutFollowingLinks(destination);
        return result;
    }
    if (created && listed && !inner && run.leftBehind == leftBefore && RemoveFolderIfEmpty(destination)) {
        SetLastError(run.lastError);
        return TransferResult::Failed;
    }
    run.folders.push_back(source);
    arrived = true;
    return TransferResult::Done;
}

// Copies a folder as a whole item. Failed when the destination folder
// itself cannot be had, or nothing of a source that held something arrived.
TransferResult CopyFolder(const std::wstring& source, const std::wstring& destination, CopyRun& run)
{
    if (run.options.onFolder)
        run.options.onFolder();
    bool arrived = false;
    return CopyFolderInto(source, destination, run, arrived);
}

// After a delete that answered success: the system says positively that
// nothing is at the path any more, or that the file goes once the last
// program holding it lets go (a delete pending on older Windows).
bool DeletedForSure(const std::wstring& path)
{
    if (PathGone(path))
        return true;
    if (PathExists(path))
        return false;
    using LastStatus = LONG(WINAPI*)();
    static const auto lastStatus = reinterpret_cast<LastStatus>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetLastNtStatus")));
    constexpr LONG kStatusDeletePending = static_cast<LONG>(0xC0000056);
    return lastStatus && lastStatus() == kStatusDeletePending;
}

// Deletes a source file only when its copy is proven to stand at the
// destination: the very file that was renamed into place, still of the
// size and time it arrived with, and the source unchanged since (of that
// size and time too, and not the same file). A file that stays keeps its
// attributes, and error says why it stayed (0 for a source that is not
// itself). A delete that answers success is believed only once the file is
// gone: Wine answers so for a file the host keeps.
bool DeleteCopiedFile(const CopiedFile& file, DWORD* error = nullptr)
{
    auto stays = [error](DWORD why) {
        if (error)
            *error = why;
        return false;
    };
    BY_HANDLE_FILE_INFORMATION there{}, here{};
    if (!EntryFacts(file.destination, true, there) || !SameFileIdentity(there, file.placed) ||
        !SameSizeAndTime(there, file.placed))
        return stays(kErrorChangedWhileMoved);
    const std::wstring reach = LongPathForm(file.source);
    // Another program took the source away meanwhile: its copy stands, and
    // nothing stayed behind.
    if (!EntryFacts(file.source, true, here)) {
        const DWORD why = GetLastError();
        return DeletedForSure(reach) || stays(why ? why : ERROR_ACCESS_DENIED);
    }
    if (!SameSizeAndTime(here, there))
        return stays(kErrorChangedWhileMoved);
    // One file under two names (a hard link), or a link: removing the
    // source is not what the move is for.
    if (SameFileIdentity(here, there) || !EntryIsItself(file.source))
        return stays(0);
    const DWORD attributes = GetFileAttributesW(reach.c_str());
    SetFileAttributesW(reach.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(reach.c_str())) {
        if (DeletedForSure(reach))
            return true;
        SetFileAttributesW(reach.c_str(), attributes);
        return stays(kErrorRemovalDidNotTake);
    }
    const DWORD why = GetLastError();
    SetFileAttributesW(reach.c_str(), attributes);
    return stays(why);
}

// Takes away again the copy a move placed whose original could not leave
// (held open by another program, changed while copied): the move then
// leaves one version, where it was. Only the very file that arrived goes
// (its identity, size and time): one put there since is never taken.
bool RemovePlacedCopy(const CopiedFile& file)
{
    BY_HANDLE_FILE_INFORMATION there{};
    if (!EntryFacts(file.destination, true, there) || !SameFileIdentity(there, file.placed) ||
        !SameSizeAndTime(there, file.placed) || !EntryIsItself(file.destination))
        return false;
    return RemoveItemWithoutFollowingLinks(file.destination) && DeletedForSure(LongPathForm(file.destination));
}

void NoteRemovalError(TransferReport* report, DWORD error)
{
    if (report && !report->removalError)
        report->removalError = error;
}

// Takes away again a folder the copy created whose source stayed, once the
// copies in it went again: only the very folder the run made (its
// identity), and only while it is empty. Whatever stands in it, put there
// by anyone, keeps it.
void RemoveCreatedFolder(const CopyRun::CreatedFolder& made)
{
    BY_HANDLE_FILE_INFORMATION now{};
    if (!EntryFacts(made.destination, true, now) || !SameFileIdentity(now, made.facts) ||
        !EntryIsItself(made.destination))
        return;
    RemoveItemWithoutFollowingLinks(made.destination, nullptr,
                                    [&made](const std::wstring& path) { return path != made.destination; });
}

// Removes of a copied folder's source only the files whose copy is proven,
// then every folder left empty; a folder that still holds something (a
// link, a file that did not arrive or could not be removed) stays. The
// copies of the files that stay go again, and so do the folders the copy
// made for them: what did not move is then only where it was. Failed when
// nothing of the source moved and nothing the copy made is left.
TransferResult RemoveCopiedSource(const std::wstring& source, const std::wstring& destination, CopyRun& run)
{
    bool moved = false, takenBack = false, keptTwice = false;
    DWORD why = 0;
    for (const CopiedFile& file : run.files) {
        DWORD error = 0;
        if (DeleteCopiedFile(file, &error)) {
            moved = true;
            continue;
        }
        // A copy that replaced nothing goes again: the file stays only
        // where it was. One that replaced a file of the destination
        // stays, or neither version of that name would be left there.
        if (error && !run.replace && RemovePlacedCopy(file))
            takenBack = true;
        else
            keptTwice = true;
        run.LeftBehind(file.source);
        NoteRemovalError(run.report, error);
        why = why ? why : error;
    }
    for (const std::wstring& folder : run.folders)
        moved = RemoveFolderIfEmpty(folder) || moved;
    if (!PathExists(source))
        return TransferResult::Done;
    if (takenBack)
        for (auto made = run.created.rbegin(); made != run.created.rend(); ++made)
            if (PathExists(made->source))
                RemoveCreatedFolder(*made);
    if (run.report)
        run.report->keptTwice = keptTwice;
    if (takenBack && !moved && !keptTwice && PathGone(destination)) {
        // The whole item stayed where it was: told as one that did not
        // arrive, for the reason its files could not leave.
        if (run.report)
            run.report->leftBehind.clear();
        ReportFailure(run.report, source, why);
        return TransferResult::Failed;
    }
    if (run.notTaken == 0) {
        run.LeftBehind(source);
        NoteRemovalError(run.report, kErrorGainedWhileMoved);
    }
    return TransferResult::Incomplete;
}

// The entries of a folder merged whole into another, relative to it. The
// run names each folder after what it holds; the list names it before.
MergedEntries MergedFrom(const std::wstring& source, const CopyRun& run)
{
    const size_t prefix = Join(source, L"").size();
    auto relative = [prefix](const std::wstring& path) { return path.substr(prefix); };
    MergedEntries merged;
    for (const auto& file : run.files)
        merged.files.push_back(relative(file.source));
    for (auto folder = run.folders.rbegin(); folder != run.folders.rend(); ++folder)
        if (folder->size() > prefix)
            merged.folders.push_back(relative(*folder));
    return merged;
}

// The destination is the source itself or lies inside it, as the system
// names both: short names, case and links to folders on the way cannot
// hide it. The part of the destination that does not exist yet is added
// to the final path of the deepest folder above it that does (the job
// knows the folders). An existing destination is named itself.
bool IsSameOrInside(const std::wstring& source, const SourceEntry& entry, const std::wstring& destination,
                    bool destinationExists, TransferJobState& job)
{
    // A link is named by what it leads to; anything else by its own name.
    std::wstring a =
        IsLinkAttributes(entry.attributes) || entry.ownFinal.empty() ? ComparableFinalPath(source) : entry.ownFinal;
    if (a.empty())
        a = ComparablePath(FullPathOf(source));
    const std::wstring full = FullPathOf(destination);
    std::wstring b = destinationExists ? ComparableFinalPath(full) : std::wstring();
    std::wstring folder, name;
    if (b.empty() && SplitFull(full, folder, name)) {
        const std::wstring& folderFinal = job.FolderFinal(folder);
        if (!folderFinal.empty())
            b = ComparablePath(folderFinal + L"\\" + name);
    }
    if (b.empty())
        b = ComparablePath(full);
    return !a.empty() && (a == b || (b.size() > a.size() && b.compare(0, a.size(), a) == 0 && b[a.size()] == L'\\'));
}

// Whether the item may go to destination at all: it exists, it is not the
// root of a volume (a move of "F:\" would take the whole drive; under Wine
// it renames the folder the drive letter stands for), it is itself (a link
// the system does not show as one would be copied or moved as what lies
// behind it: the rename and the delete both reach through), and the
// destination is not inside it. Otherwise the reason is reported.
bool MayTakeSource(const std::wstring& source, const SourceEntry& entry, const std::wstring& destination,
                   bool destinationExists, TransferJobState& job, TransferReport* report)
{
    if (entry.attributes == INVALID_FILE_ATTRIBUTES) {
        ReportFailure(report, source, entry.error);
        return false;
    }
    if (IsVolumeRoot(source, entry.attributes)) {
        ReportFailure(report, source, kErrorSourceIsVolumeRoot);
        return false;
    }
    if (entry.check != EntryCheck::Itself) {
        if (entry.check == EntryCheck::NotItself)
            LinkStays(report, source);
        else
            ReportFailure(report, source, entry.error);
        return false;
    }
    if (IsSameOrInside(source, entry, destination, destinationExists, job)) {
        ReportFailure(report, source, kErrorDestinationInsideSource);
        return false;
    }
    return true;
}

// Tells the job's record how a folder move across volumes (or into a
// folder it merges with) went, on every way out.
class FolderMoveRecord
{
public:
    FolderMoveRecord(PartFileJournal& journal, const std::wstring& source, const std::wstring& destination)
        : journal_(journal), destination_(destination)
    {
        journal_.FolderMoveStarted(source, destination);
    }
    ~FolderMoveRecord() { journal_.FolderMoveEnded(destination_); }
    FolderMoveRecord(const FolderMoveRecord&) = delete;
    FolderMoveRecord& operator=(const FolderMoveRecord&) = delete;
    void Copied() { journal_.FolderMoveCopied(destination_); }

private:
    PartFileJournal& journal_;
    std::wstring destination_;
};

} // namespace

TransferResult CopyFileAtomically(const std::wstring& source, const std::wstring& destination, bool replace,
                                  const TransferOptions& options)
{
    JobOf job(options);
    return PlaceFile(source, destination, replace, options, *job, nullptr, nullptr);
}

TransferResult CopyItem(const std::wstring& source, const std::wstring& destination, bool replace,
                        const TransferOptions& options, TransferReport* report)
{
    JobOf job(options);
    const SourceEntry entry = InspectSource(source, *job);
    if (IsLinkAttributes(entry.attributes))
        return LinkStays(report, source);
    const DWORD destinationAttributes = AttributesOf(destination);
    if (!MayTakeSource(source, entry, destination, destinationAttributes != INVALID_FILE_ATTRIBUTES, *job, report))
        return TransferResult::Failed;
    if (const DWORD refusal = DestinationRefusal(destination, destinationAttributes)) {
        ReportFailure(report, source, refusal);
        return TransferResult::Failed;
    }
    if (const DWORD refusal = replace ? KindRefusal(entry.attributes, destinationAttributes) : 0) {
        ReportFailure(report, source, refusal);
        SetLastError(refusal);
        return TransferResult::Failed;
    }
    CopyRun run{options, *job, replace, report};
    if (!IsFolderAttributes(entry.attributes)) {
        const TransferResult result = PlaceFile(source, destination, replace, options, *job, &run, nullptr);
        if (result == TransferResult::Failed)
            ReportFailure(report, source, GetLastError());
        return result;
    }
    const TransferResult result = CopyFolder(source, destination, run);
    if (result == TransferResult::Done && run.notTaken > 0)
        return TransferResult::Incomplete;
    return CancelTold(result);
}

TransferResult MoveItem(const std::wstring& source, const std::wstring& destination, bool replace,
                        const TransferOptions& options, TransferReport* report)
{
    if (Cancelled(options))
        return CancelTold(TransferResult::Cancelled);
    JobOf job(options);
    // Which file arrives is told only to a caller that asks (a report) and
    // only of the system's own rename.
    SourceEntry entry = InspectSource(source, *job, report && !options.rename, !options.rename);
    // Without replace an existing destination makes the rename fail; it is
    // looked for only then.
    const bool destinationExists = replace && PathExists(destination);
    if (!MayTakeSource(source, entry, destination, destinationExists, *job, report))
        return TransferResult::Failed;
    if (destinationExists) {
        const DWORD attributes = AttributesOf(destination);
        DWORD refusal = DestinationRefusal(destination, attributes);
        if (!refusal)
            refusal = KindRefusal(entry.attributes, attributes);
        if (refusal) {
            ReportFailure(report, source, refusal);
            SetLastError(refusal);
            return TransferResult::Failed;
        }
    }
    auto taken = [&] {
        if (replace || !PathExists(destination))
            return false;
        ReportFailure(report, source, ERROR_FILE_EXISTS);
        return true;
    };
    const bool link = IsLinkAttributes(entry.attributes);
    if (IsFolderAttributes(entry.attributes)) {
        // A rename moves a whole tree (or a link as a link) at once on one
        // volume; over an existing folder the trees are merged by copying.
        if (!destinationExists && Rename(options, source, destination, 0))
            return TransferResult::Done;
        if (taken())
            return TransferResult::Failed;
        if (link)
            return LinkStays(report, source);
        // Recorded so that a move cut off half way is found at the next
        // start and told.
        FolderMoveRecord record(job->journal, source, destination);
        CopyRun run{options, *job, replace, report};
        const TransferResult copied = CopyFolder(source, destination, run);
        if (copied != TransferResult::Done)
            return CancelTold(copied);
        record.Copied();
        const TransferResult moved = RemoveCopiedSource(source, destination, run);
        if (moved == TransferResult::Done && report)
            report->merged = MergedFrom(source, run);
        return moved;
    }
    // A replacing rename swaps the file in one step: the old file is never
    // deleted before the new one stands in its place.
    const bool renamed = entry.held ? RenameHandle(entry.held.get(), destination, replace)
                                    : Rename(options, source, destination, replace ? MOVEFILE_REPLACE_EXISTING : 0);
    // Closed before anything else opens the source (the copy, its
    // removal).
    const DWORD renameError = GetLastError();
    entry.held.reset();
    SetLastError(renameError);
    if (renamed) {
        // The system's rename stays on one volume and keeps the file: the
        // file looked at is the one that arrived. (A file swapped in between
        // is told by an identity that does not match, never taken for it.)
        std::wstring folder, name;
        DWORD volume = 0;
        if (report && entry.index && !options.rename && SplitFull(FullPathOf(destination), folder, name) &&
            job->FolderVolume(folder, volume))
            report->placed = TransferReport::Placed{volume, *entry.index};
        return TransferResult::Done;
    }
    if (taken())
        return TransferResult::Failed;
    if (link)
        return LinkStays(report, source);
    // Another program holds the file without letting it be deleted: a copy
    // could never be followed by the removal of the original.
    if (renameError == ERROR_SHARING_VIOLATION && !options.rename) {
        ReportFailure(report, source, renameError);
        return TransferResult::Failed;
    }
    CopyRun run{options, *job, replace, report};
    CopiedFile file{source, destination, {}};
    const TransferResult copied = PlaceFile(source, destination, replace, options, *job, &run, &file.placed);
    if (copied == TransferResult::Failed)
        ReportFailure(report, source, GetLastError());
    if (copied != TransferResult::Done)
        return copied;
    // Only now that the copy stands complete may the source go. A source
    // that cannot be removed keeps the item where it was: the copy just
    // made goes again, unless it replaced a file there (the caller gives
    // that back only for a move that failed before replacing anything) or
    // cannot go itself; then both stay, never none.
    if (DWORD error = 0; !DeleteCopiedFile(file, &error)) {
        if (error && !replace && RemovePlacedCopy(file)) {
            ReportFailure(report, source, error);
            return TransferResult::Failed;
        }
        ReportLeftBehind(report, source);
        NoteRemovalError(report, error);
        if (report)
            report->keptTwice = true;
        return TransferResult::Incomplete;
    }
    return TransferResult::Done;
}

bool IdentifyInJob(const std::wstring& path, const TransferOptions& options, uint32_t& volume, uint64_t& index)
{
    auto full = [&] {
        const ItemIdentity identity = IdentityAt(path, true);
        volume = identity.volume;
        index = identity.index;
        return identity.known;
    };
    std::wstring folder, name;
    if (!options.job || !SplitFull(FullPathOf(path), folder, name))
        return full();
    HANDLE h = CreateFileW(LongPathForm(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FILE_STANDARD_INFO standard{};
    std::optional<uint64_t> own;
    if (GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof(standard)) && !standard.Directory)
        own = FileIndexOfHandle(h);
    CloseHandle(h);
    DWORD folderVolume = 0;
    if (!own || !options.job->FolderVolume(folder, folderVolume))
        return full();
    volume = folderVolume;
    index = *own;
    return true;
}

bool PathExists(const std::wstring& path)
{
    return !path.empty() && AttributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

bool PathGone(const std::wstring& path)
{
    if (AttributesOf(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

ItemIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& facts)
{
    ItemIdentity identity;
    identity.known = true;
    identity.volume = facts.dwVolumeSerialNumber;
    identity.index = (static_cast<uint64_t>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow;
    return identity;
}

ItemIdentity IdentityAt(const std::wstring& path, bool ownEntry)
{
    BY_HANDLE_FILE_INFORMATION facts{};
    if (path.empty() || !EntryFacts(path, ownEntry, facts))
        return ItemIdentity{};
    return IdentityOf(facts);
}

bool FolderLeft(const std::wstring& path, const ItemIdentity& identity)
{
    if (!identity.known)
        return false;
    const ItemIdentity now = IdentityAt(path);
    if (now.known)
        return !(now == identity);
    if (PathGone(path))
        return true;
    // Something stands at the path again: another folder put in its place
    // between the two looks. Which one it is decides.
    const ItemIdentity again = IdentityAt(path);
    return again.known && !(again == identity);
}

PlannedFolder::PlannedFolder(std::wstring path, ItemIdentity identity) : path_(std::move(path)), identity_(identity)
{
    if (!identity_.known)
        return;
    handle_ = CreateFileW(LongPathForm(path_).c_str(), FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION facts{};
    // Already another folder: the handle must not name that one later.
    if (handle_ != INVALID_HANDLE_VALUE &&
        (!GetFileInformationByHandle(handle_, &facts) || !(IdentityOf(facts) == identity_))) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

PlannedFolder::~PlannedFolder()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
}

std::wstring PlannedFolder::WhereNow() const
{
    if (handle_ == INVALID_HANDLE_VALUE)
        return L"";
    // Wine keeps answering the path a folder had when it was opened, so
    // the answer is checked.
    std::wstring named(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle_, named.data(), static_cast<DWORD>(named.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length >= named.size()) {
        named.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle_, named.data(), static_cast<DWORD>(named.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (length == 0 || length >= named.size())
        return L"";
    named.resize(length);
    if (named.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        named = L"\\\\" + named.substr(8);
    else if (named.compare(0, 4, L"\\\\?\\") == 0)
        named = named.substr(4);
    return IdentityAt(named) == identity_ ? named : L"";
}

bool SamePathItem(const std::wstring& a, const std::wstring& b)
{
    // The system's file identity, not the drive number of the spelling: a
    // folder reached through two drive letters holds one item, not two.
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return EntryFacts(a, false, first) && EntryFacts(b, false, second) && SameFileIdentity(first, second);
}
