#include "box/fileops/FileTransfer.h"

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <mutex>
#include <set>
#include <utility>

#include "app/FileRemoval.h"
#include "ui/core/TextHelpers.h"

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

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

bool Rename(const TransferOptions& options, const std::wstring& from, const std::wstring& to, DWORD flags)
{
    if (options.rename)
        return options.rename(from, to, flags);
    return MoveFileExW(LongPathForm(from).c_str(), LongPathForm(to).c_str(), flags) != FALSE;
}

// Why an entry may not be written at path, or 0: a link there (shown as one
// or not) would make the write land elsewhere.
DWORD DestinationRefusal(const std::wstring& path)
{
    if (IsLinkAttributes(AttributesOf(path)))
        return ERROR_FILE_EXISTS;
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

bool SameSizeAndTime(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
           CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

// The part files that copies of this process are writing now, in
// comparable form: a sweep for leftovers never takes one of them.
std::mutex s_partFilesMutex;
std::set<std::wstring> s_partFilesInUse;

std::wstring PartKey(const std::wstring& path)
{
    std::wstring key = FullPathOf(path);
    std::transform(key.begin(), key.end(), key.begin(), [](wchar_t c) { return std::towlower(c); });
    return key;
}

// A name beside the destination that nothing uses yet, claimed for as long
// as this object lives; the box's folder sync does not show it.
class PartFile
{
public:
    explicit PartFile(const std::wstring& destination)
    {
        std::lock_guard lock(s_partFilesMutex);
        for (;;) {
            path = destination + L"." + RandomHexString(6) + kPartFileSuffix;
            if (!PathExists(path) && s_partFilesInUse.insert(PartKey(path)).second)
                return;
        }
    }
    ~PartFile()
    {
        std::lock_guard lock(s_partFilesMutex);
        s_partFilesInUse.erase(PartKey(path));
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    std::wstring path;
};

// A copied file: its source, where it arrived and which file that is.
struct CopiedFile {
    std::wstring source;
    std::wstring destination;
    BY_HANDLE_FILE_INFORMATION placed{};
};

// One copy of a file or folder: what it took, so that a move removes
// exactly that, and what it wrote, so that nothing replaces it.
struct CopyRun {
    CopyRun(const TransferOptions& options, bool replace, TransferReport* report)
        : options(options), replace(replace), report(report)
    {
    }
    const TransferOptions& options;
    bool replace;
    TransferReport* report;
    std::vector<CopiedFile> files;
    // Source folders, each after the folders inside it.
    std::vector<std::wstring> folders;
    // Every file and folder the copy wrote or created.
    std::vector<BY_HANDLE_FILE_INFORMATION> written;
    // Entries that did not arrive (failed or left behind).
    size_t notTaken = 0;

    bool Wrote(const std::wstring& path) const
    {
        BY_HANDLE_FILE_INFORMATION facts{};
        return EntryFacts(path, true, facts) && std::any_of(written.begin(), written.end(), [&](const auto& own) {
                   return SameFileIdentity(own, facts);
               });
    }
    void LeftBehind(const std::wstring& path)
    {
        ++notTaken;
        if (report)
            report->leftBehind.push_back(path);
    }
    void Failed(const std::wstring& path, DWORD error)
    {
        ++notTaken;
        if (report)
            report->failed.push_back({path, error ? error : ERROR_GEN_FAILURE});
    }
};

void ReportLeftBehind(TransferReport* report, const std::wstring& path)
{
    if (report)
        report->leftBehind.push_back(path);
}

void ReportFailure(TransferReport* report, const std::wstring& path, DWORD error)
{
    if (report)
        report->failed.push_back({path, error ? error : ERROR_GEN_FAILURE});
}

// Copies one file to a part file and renames that into place. The rename
// is the moment of the check: without replace it never goes over anything,
// and with it never over a file this same run wrote (two source names that
// one destination folder takes as one). placed receives which file arrived.
TransferResult PlaceFile(const std::wstring& source, const std::wstring& destination, bool replace,
                         const TransferOptions& options, CopyRun* run, BY_HANDLE_FILE_INFORMATION& placed)
{
    if (Cancelled(options))
        return TransferResult::Cancelled;
    const PartFile part(destination);
    const std::wstring partPath = LongPathForm(part.path);
    if (!CopyFileExW(LongPathForm(source).c_str(), partPath.c_str(), options.progress, options.context, nullptr,
                     COPY_FILE_FAIL_IF_EXISTS)) {
        const DWORD error = GetLastError();
        DeleteFileW(partPath.c_str());
        // The caller names why the file did not arrive.
        SetLastError(error);
        return error == ERROR_REQUEST_ABORTED ? TransferResult::Cancelled : TransferResult::Failed;
    }
    auto drop = [&](DWORD error) {
        DeleteFileW(partPath.c_str());
        SetLastError(error);
        return TransferResult::Failed;
    };
    if (Cancelled(options)) {
        DeleteFileW(partPath.c_str());
        return TransferResult::Cancelled;
    }
    // A rename keeps the file: what the part file is, the destination is
    // once it stands there.
    if (!EntryFacts(part.path, true, placed))
        return drop(GetLastError());
    if (replace && run && run->Wrote(destination))
        return drop(ERROR_FILE_EXISTS);
    if (!MoveFileExW(partPath.c_str(), LongPathForm(destination).c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
        const DWORD error = GetLastError();
        return drop(error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : error);
    }
    if (run)
        run->written.push_back(placed);
    return TransferResult::Done;
}

// The folder at destination to copy into: created by this run, or, with
// replace, one that stood there before (merged into). 0 or why not.
DWORD OpenDestinationFolder(const std::wstring& destination, CopyRun& run, bool& created)
{
    created = false;
    if (const DWORD refusal = DestinationRefusal(destination))
        return refusal;
    if (CreateDirectoryW(LongPathForm(destination).c_str(), nullptr)) {
        created = true;
        BY_HANDLE_FILE_INFORMATION facts{};
        if (EntryFacts(destination, true, facts))
            run.written.push_back(facts);
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

// Copies the entries of source into the folder destination. An entry that
// cannot be copied is named and the rest still goes: the user gets as much
// as can be taken, and what did not arrive stays at its source. Only a
// cancel stops the walk.
TransferResult CopyEntries(const std::wstring& source, const std::wstring& destination, CopyRun& run)
{
    std::vector<std::pair<std::wstring, DWORD>> entries;
    if (!ListNames(source, entries)) {
        run.Failed(source, GetLastError());
        return TransferResult::Done;
    }
    for (const auto& [name, attributes] : entries) {
        if (Cancelled(run.options))
            return TransferResult::Cancelled;
        // A name holding a separator, or a dot name, would name an entry
        // elsewhere once joined to the folder's path: it is never joined.
        if (!IsPlainEntryName(name)) {
            run.Failed(source + L"\\" + name, ERROR_INVALID_NAME);
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
        const EntryCheck check = CheckEntry(from);
        if (check != EntryCheck::Itself) {
            if (check == EntryCheck::NotItself)
                run.LeftBehind(from);
            else
                run.Failed(from, GetLastError());
            continue;
        }
        if (const DWORD refusal = DestinationRefusal(to)) {
            run.Failed(from, refusal);
            continue;
        }
        if (IsFolderAttributes(attributes)) {
            bool created = false;
            if (const DWORD refusal = OpenDestinationFolder(to, run, created)) {
                run.Failed(from, refusal);
                continue;
            }
            if (CopyEntries(from, to, run) == TransferResult::Cancelled)
                return TransferResult::Cancelled;
            run.folders.push_back(from);
            continue;
        }
        CopiedFile file{from, to, {}};
        const TransferResult result = PlaceFile(from, to, run.replace, run.options, &run, file.placed);
        if (result == TransferResult::Cancelled)
            return result;
        if (result == TransferResult::Done)
            run.files.push_back(std::move(file));
        else
            run.Failed(from, GetLastError());
    }
    return TransferResult::Done;
}

// Copies a folder. A cancelled copy takes away again the destination
// folder it created; otherwise what arrived stays. Failed only when the
// destination folder itself cannot be had.
TransferResult CopyFolder(const std::wstring& source, const std::wstring& destination, CopyRun& run)
{
    if (run.options.onFolder)
        run.options.onFolder();
    bool created = false;
    if (const DWORD refusal = OpenDestinationFolder(destination, run, created)) {
        ReportFailure(run.report, source, refusal);
        SetLastError(refusal);
        return TransferResult::Failed;
    }
    const TransferResult result = CopyEntries(source, destination, run);
    if (result == TransferResult::Cancelled) {
        if (created)
            RemoveItemWithoutFollowingLinks(destination);
        return result;
    }
    run.folders.push_back(source);
    return TransferResult::Done;
}

// Deletes a source file only when its copy is proven to stand at the
// destination: the very file that was renamed into place, still of the
// size and time it arrived with, and the source unchanged since (of that
// size and time too, and not the same file). A file that stays keeps its
// attributes.
bool DeleteCopiedFile(const CopiedFile& file)
{
    BY_HANDLE_FILE_INFORMATION there{}, here{};
    if (!EntryFacts(file.destination, true, there) || !SameFileIdentity(there, file.placed) ||
        !SameSizeAndTime(there, file.placed) || !EntryFacts(file.source, true, here) || SameFileIdentity(here, there) ||
        !SameSizeAndTime(here, there) || !EntryIsItself(file.source))
        return false;
    const std::wstring reach = LongPathForm(file.source);
    const DWORD attributes = GetFileAttributesW(reach.c_str());
    SetFileAttributesW(reach.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(reach.c_str()))
        return true;
    SetFileAttributesW(reach.c_str(), attributes);
    return false;
}

// Removes of a copied folder's source only the files whose copy is proven,
// then every folder left empty; a folder that still holds something (a
// link, a file that did not arrive or could not be removed) stays.
TransferResult RemoveCopiedSource(const std::wstring& source, CopyRun& run)
{
    for (const CopiedFile& file : run.files)
        if (!DeleteCopiedFile(file))
            run.LeftBehind(file.source);
    for (const std::wstring& folder : run.folders)
        RemoveFolderIfEmpty(folder);
    if (!PathExists(source))
        return TransferResult::Done;
    if (run.notTaken == 0)
        run.LeftBehind(source);
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
// to the final path of the deepest folder above it that does.
bool IsSameOrInside(const std::wstring& source, const std::wstring& destination)
{
    const std::wstring ownSource = ComparableFinalPath(source);
    std::wstring existing = FullPathOf(destination), rest;
    std::wstring finalDestination;
    for (;;) {
        finalDestination = ComparableFinalPath(existing);
        if (!finalDestination.empty())
            break;
        const size_t slash = existing.find_last_of(L'\\');
        if (slash == std::wstring::npos || slash + 1 >= existing.size())
            break;
        rest = existing.substr(slash) + rest;
        existing = existing.substr(0, slash);
        if (existing.size() == 2 && existing[1] == L':')
            existing += L'\\';
    }
    const std::wstring a = ComparablePath(ownSource.empty() ? FullPathOf(source) : ownSource);
    const std::wstring b =
        finalDestination.empty() ? ComparablePath(FullPathOf(destination)) : ComparablePath(finalDestination + rest);
    return !a.empty() && (a == b || (b.size() > a.size() && b.compare(0, a.size(), a) == 0 && b[a.size()] == L'\\'));
}

// Whether the item may go to destination at all: it exists, it is itself
// (a link the system does not show as one would be copied or moved as what
// lies behind it: the rename and the delete both reach through), and the
// destination is not inside it. Otherwise the reason is reported.
bool MayTakeSource(const std::wstring& source, DWORD attributes, const std::wstring& destination,
                   TransferReport* report)
{
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ReportFailure(report, source, GetLastError());
        return false;
    }
    const EntryCheck check = CheckEntry(source);
    if (check != EntryCheck::Itself) {
        if (check == EntryCheck::NotItself)
            ReportLeftBehind(report, source);
        else
            ReportFailure(report, source, GetLastError());
        return false;
    }
    if (IsSameOrInside(source, destination)) {
        ReportFailure(report, source, kErrorDestinationInsideSource);
        return false;
    }
    return true;
}

// Exactly the form a copy gives its part files: a name, a dot, six hex
// digits and the suffix.
bool IsLeftoverPartFileName(const std::wstring& name)
{
    const std::wstring suffix = kPartFileSuffix;
    constexpr size_t kTag = 7;
    if (name.size() <= suffix.size() + kTag || !IsPartFileName(name))
        return false;
    const size_t tag = name.size() - suffix.size() - kTag;
    if (name[tag] != L'.')
        return false;
    return std::all_of(name.begin() + tag + 1, name.begin() + tag + kTag,
                       [](wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); });
}

} // namespace

bool IsPartFileName(const std::wstring& name)
{
    const std::wstring suffix = kPartFileSuffix;
    return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool RemoveLeftoverPartFile(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    if (!IsLeftoverPartFileName(slash == std::wstring::npos ? path : path.substr(slash + 1)))
        return false;
    // Held while the file goes, so that no copy of this process claims the
    // name in between.
    std::lock_guard lock(s_partFilesMutex);
    if (s_partFilesInUse.count(PartKey(path)))
        return false;
    const DWORD attributes = AttributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || IsFolderAttributes(attributes) || IsLinkAttributes(attributes) ||
        !EntryIsItself(path))
        return false;
    const std::wstring reach = LongPathForm(path);
    // A copy stopped mid-way gives its part file the source's attributes.
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(reach.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    // Opened without any sharing: a file another program (a copy of another
    // user's session, say) still writes cannot be opened, and stays.
    HANDLE h = CreateFileW(reach.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(reach.c_str(), attributes);
        return false;
    }
    CloseHandle(h);
    return !PathExists(path);
}

TransferResult CopyFileAtomically(const std::wstring& source, const std::wstring& destination, bool replace,
                                  const TransferOptions& options)
{
    BY_HANDLE_FILE_INFORMATION placed{};
    return PlaceFile(source, destination, replace, options, nullptr, placed);
}

TransferResult CopyItem(const std::wstring& source, const std::wstring& destination, bool replace,
                        const TransferOptions& options, TransferReport* report)
{
    const DWORD attributes = AttributesOf(source);
    if (attributes != INVALID_FILE_ATTRIBUTES && IsLinkAttributes(attributes)) {
        ReportLeftBehind(report, source);
        return TransferResult::Failed;
    }
    if (!MayTakeSource(source, attributes, destination, report))
        return TransferResult::Failed;
    if (const DWORD refusal = DestinationRefusal(destination)) {
        ReportFailure(report, source, refusal);
        return TransferResult::Failed;
    }
    CopyRun run{options, replace, report};
    if (!IsFolderAttributes(attributes)) {
        BY_HANDLE_FILE_INFORMATION placed{};
        const TransferResult result = PlaceFile(source, destination, replace, options, &run, placed);
        if (result == TransferResult::Failed)
            ReportFailure(report, source, GetLastError());
        return result;
    }
    const TransferResult result = CopyFolder(source, destination, run);
    if (result == TransferResult::Done && run.notTaken > 0)
        return TransferResult::Incomplete;
    return result;
}

TransferResult MoveItem(const std::wstring& source, const std::wstring& destination, bool replace,
                        const TransferOptions& options, TransferReport* report)
{
    if (Cancelled(options))
        return TransferResult::Cancelled;
    const DWORD attributes = AttributesOf(source);
    if (!MayTakeSource(source, attributes, destination, report))
        return TransferResult::Failed;
    const bool destinationExists = PathExists(destination);
    if (destinationExists && !replace) {
        ReportFailure(report, source, ERROR_FILE_EXISTS);
        return TransferResult::Failed;
    }
    if (destinationExists) {
        if (const DWORD refusal = DestinationRefusal(destination)) {
            ReportFailure(report, source, refusal);
            return TransferResult::Failed;
        }
    }
    const bool link = IsLinkAttributes(attributes);
    if (IsFolderAttributes(attributes)) {
        // A rename moves a whole tree (or a link as a link) at once on one
        // volume; over an existing folder the trees are merged by copying.
        if (!destinationExists && Rename(options, source, destination, 0))
            return TransferResult::Done;
        if (link) {
            ReportLeftBehind(report, source);
            return TransferResult::Failed;
        }
        CopyRun run{options, replace, report};
        const TransferResult copied = CopyFolder(source, destination, run);
        if (copied != TransferResult::Done)
            return copied;
        const TransferResult moved = RemoveCopiedSource(source, run);
        if (moved == TransferResult::Done && report)
            report->merged = MergedFrom(source, run);
        return moved;
    }
    // MOVEFILE_REPLACE_EXISTING swaps the file in one step: the old file is
    // never deleted before the new one stands in its place.
    if (Rename(options, source, destination, replace ? MOVEFILE_REPLACE_EXISTING : 0))
        return TransferResult::Done;
    if (link) {
        ReportLeftBehind(report, source);
        return TransferResult::Failed;
    }
    CopyRun run{options, replace, report};
    CopiedFile file{source, destination, {}};
    const TransferResult copied = PlaceFile(source, destination, replace, options, &run, file.placed);
    if (copied == TransferResult::Failed)
        ReportFailure(report, source, GetLastError());
    if (copied != TransferResult::Done)
        return copied;
    // Only now that the copy stands complete may the source go; a source
    // that cannot be removed leaves two copies, never none.
    if (!DeleteCopiedFile(file)) {
        ReportLeftBehind(report, source);
        return TransferResult::Incomplete;
    }
    return TransferResult::Done;
}

bool PathExists(const std::wstring& path)
{
    return !path.empty() && AttributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

bool SamePathItem(const std::wstring& a, const std::wstring& b)
{
    std::error_code ec;
    return std::filesystem::equivalent(std::filesystem::path(a), std::filesystem::path(b), ec) && !ec;
}
