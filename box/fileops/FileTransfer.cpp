#include "box/fileops/FileTransfer.h"

#include <filesystem>
#include <utility>

#include "app/FileRemoval.h"
#include "ui/core/TextHelpers.h"

namespace
{

DWORD AttributesOf(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str());
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

// A destination that is a link (shown as one or not): writing to it would
// write elsewhere.
bool IsForeignDestination(const std::wstring& path)
{
    return IsLinkAttributes(AttributesOf(path)) || !EntryIsItself(path);
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
    return MoveFileExW(from.c_str(), to.c_str(), flags) != FALSE;
}

void Report(TransferReport* report, const std::wstring& path)
{
    if (report)
        report->leftBehind.push_back(path);
}

void ReportFailure(TransferReport* report, const std::wstring& path, DWORD error)
{
    if (report)
        report->failed.push_back({path, error});
}

// A name beside the destination that nothing uses yet; hidden so that the
// box's folder sync and the shell do not show a half-written file.
std::wstring PartFileFor(const std::wstring& destination)
{
    for (;;) {
        std::wstring part = destination + L"." + RandomHexString(6) + kPartFileSuffix;
        if (!PathExists(part))
            return part;
    }
}

// What a folder copy took, so that a move removes exactly that.
struct CopiedTree {
    // Source and destination of every copied file.
    std::vector<std::pair<std::wstring, std::wstring>> files;
    // Source folders, each after the folders inside it.
    std::vector<std::wstring> folders;
};

TransferResult CopyTree(const std::wstring& source, const std::wstring& destination, bool replace,
                        const TransferOptions& options, CopiedTree& tree, TransferReport* report)
{
    if (!IsFolderAttributes(AttributesOf(destination)) && !CreateDirectoryW(destination.c_str(), nullptr))
        return TransferResult::Failed;
    TransferResult result = TransferResult::Done;
    const bool listed = ForEachFolderEntry(source, [&](const std::wstring& name, unsigned long attributes) {
        if (Cancelled(options)) {
            result = TransferResult::Cancelled;
            return false;
        }
        const std::wstring from = Join(source, name);
        const std::wstring to = Join(destination, name);
        // Neither a link of the source nor one already at the destination
        // is followed: the first would copy (and a move then delete) what
        // lies elsewhere, the second would write elsewhere.
        if (IsLinkAttributes(attributes) || !EntryIsItself(from) || IsForeignDestination(to)) {
            Report(report, from);
            return true;
        }
        if (IsFolderAttributes(attributes)) {
            result = CopyTree(from, to, replace, options, tree, report);
        } else {
            result = CopyFileAtomically(from, to, replace, options);
            if (result == TransferResult::Done)
                tree.files.emplace_back(from, to);
            else if (result == TransferResult::Failed)
                ReportFailure(report, from, GetLastError());
        }
        return result == TransferResult::Done;
    });
    if (result == TransferResult::Done && !listed)
        return TransferResult::Failed;
    if (result == TransferResult::Done)
        tree.folders.push_back(source);
    return result;
}

// Copies a folder; when the copy does not complete, whatever it created of
// a destination that did not exist before is removed again.
TransferResult CopyFolder(const std::wstring& source, const std::wstring& destination, bool replace,
                          const TransferOptions& options, CopiedTree& tree, TransferReport* report)
{
    const bool existedBefore = PathExists(destination);
    if (options.onFolder)
        options.onFolder();
    const TransferResult result = CopyTree(source, destination, replace, options, tree, report);
    if (result != TransferResult::Done && !existedBefore)
        RemoveItemWithoutFollowingLinks(destination);
    return result;
}

bool SameSize(const std::wstring& a, const std::wstring& b)
{
    WIN32_FILE_ATTRIBUTE_DATA first{}, second{};
    return GetFileAttributesExW(a.c_str(), GetFileExInfoStandard, &first) &&
           GetFileAttributesExW(b.c_str(), GetFileExInfoStandard, &second) &&
           first.nFileSizeHigh == second.nFileSizeHigh && first.nFileSizeLow == second.nFileSizeLow;
}

// Deletes a source file whose copy stands complete at copy; a file that
// stays keeps its attributes.
bool DeleteCopiedFile(const std::wstring& file, const std::wstring& copy)
{
    if (!SameSize(file, copy) || !EntryIsItself(file))
        return false;
    const DWORD attributes = AttributesOf(file);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(file.c_str()))
        return true;
    SetFileAttributesW(file.c_str(), attributes);
    return false;
}

// Removes of a copied folder's source only the files whose copy stands
// complete, then every folder left empty; a folder that still holds
// something (a link, a file that could not be removed) stays.
TransferResult RemoveCopiedSource(const std::wstring& source, const CopiedTree& tree, TransferReport* report)
{
    bool allRemoved = true;
    for (const auto& [from, to] : tree.files) {
        if (!DeleteCopiedFile(from, to)) {
            Report(report, from);
            allRemoved = false;
        }
    }
    for (const std::wstring& folder : tree.folders)
        RemoveDirectoryW(folder.c_str());
    if (!PathExists(source))
        return TransferResult::Done;
    if (allRemoved && (!report || report->leftBehind.empty()))
        Report(report, source);
    return TransferResult::Incomplete;
}

// The entries of a folder merged whole into another, relative to it. The
// tree names each folder after what it holds; the list names it before.
MergedEntries MergedFrom(const std::wstring& source, const CopiedTree& tree)
{
    const size_t prefix = Join(source, L"").size();
    auto relative = [prefix](const std::wstring& path) { return path.substr(prefix); };
    MergedEntries merged;
    for (const auto& file : tree.files)
        merged.files.push_back(relative(file.first));
    for (auto folder = tree.folders.rbegin(); folder != tree.folders.rend(); ++folder)
        if (folder->size() > prefix)
            merged.folders.push_back(relative(*folder));
    return merged;
}

} // namespace

bool IsPartFileName(const std::wstring& name)
{
    const std::wstring suffix = kPartFileSuffix;
    return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TransferResult CopyFileAtomically(const std::wstring& source, const std::wstring& destination, bool replace,
                                  const TransferOptions& options)
{
    if (Cancelled(options))
        return TransferResult::Cancelled;
    const std::wstring part = PartFileFor(destination);
    if (!CopyFileExW(source.c_str(), part.c_str(), options.progress, options.context, nullptr,
                     COPY_FILE_FAIL_IF_EXISTS)) {
        const DWORD error = GetLastError();
        DeleteFileW(part.c_str());
        // The caller names why the file did not arrive.
        SetLastError(error);
        return error == ERROR_REQUEST_ABORTED ? TransferResult::Cancelled : TransferResult::Failed;
    }
    if (Cancelled(options)) {
        DeleteFileW(part.c_str());
        return TransferResult::Cancelled;
    }
    if (!MoveFileExW(part.c_str(), destination.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
        const DWORD error = GetLastError();
        DeleteFileW(part.c_str());
        SetLastError(error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : error);
        return TransferResult::Failed;
    }
    return TransferResult::Done;
}

TransferResult CopyItem(const std::wstring& source, const std::wstring& destination, bool replace,
                        const TransferOptions& options, TransferReport* report)
{
    const DWORD attributes = AttributesOf(source);
    if (attributes == INVALID_FILE_ATTRIBUTES || IsForeignDestination(destination))
        return TransferResult::Failed;
    if (IsLinkAttributes(attributes) || !EntryIsItself(source)) {
        Report(report, source);
        return TransferResult::Failed;
    }
    if (!IsFolderAttributes(attributes)) {
        const TransferResult result = CopyFileAtomically(source, destination, replace, options);
        if (result == TransferResult::Failed)
            ReportFailure(report, source, GetLastError());
        return result;
    }
    CopiedTree tree;
    const size_t leftBefore = report ? report->leftBehind.size() : 0;
    const TransferResult result = CopyFolder(source, destination, replace, options, tree, report);
    if (result == TransferResult::Done && report && report->leftBehind.size() > leftBefore)
        return TransferResult::Incomplete;
    return result;
}

TransferResult MoveItem(const std::wstring& source, const std::wstring& destination, bool replace,
                        const TransferOptions& options, TransferReport* report)
{
    if (Cancelled(options))
        return TransferResult::Cancelled;
    const DWORD attributes = AttributesOf(source);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TransferResult::Failed;
    const bool destinationExists = PathExists(destination);
    if (destinationExists && (!replace || IsForeignDestination(destination)))
        return TransferResult::Failed;
    // A link the system does not show as one would be moved as what lies
    // behind it (the rename and the delete both reach through): it stays.
    if (!EntryIsItself(source)) {
        Report(report, source);
        return TransferResult::Failed;
    }
    const bool link = IsLinkAttributes(attributes);
    if (IsFolderAttributes(attributes)) {
        // A rename moves a whole tree (or a link as a link) at once on one
        // volume; over an existing folder the trees are merged by copying.
        if (!destinationExists && Rename(options, source, destination, 0))
            return TransferResult::Done;
        if (link) {
            Report(report, source);
            return TransferResult::Failed;
        }
        CopiedTree tree;
        const TransferResult copied = CopyFolder(source, destination, replace, options, tree, report);
        if (copied != TransferResult::Done)
            return copied;
        const TransferResult moved = RemoveCopiedSource(source, tree, report);
        if (moved == TransferResult::Done && report)
            report->merged = MergedFrom(source, tree);
        return moved;
    }
    // MOVEFILE_REPLACE_EXISTING swaps the file in one step: the old file is
    // never deleted before the new one stands in its place.
    if (Rename(options, source, destination, replace ? MOVEFILE_REPLACE_EXISTING : 0))
        return TransferResult::Done;
    if (link) {
        Report(report, source);
        return TransferResult::Failed;
    }
    const TransferResult copied = CopyFileAtomically(source, destination, replace, options);
    if (copied != TransferResult::Done)
        return copied;
    // Only now that the copy stands complete may the source go; a source
    // that cannot be removed leaves two copies, never none.
    if (!DeleteCopiedFile(source, destination)) {
        Report(report, source);
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
