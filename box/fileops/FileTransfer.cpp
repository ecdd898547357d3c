#include "box/fileops/FileTransfer.h"

#include <filesystem>
#include <system_error>

#include "ui/core/TextHelpers.h"

namespace fs = std::filesystem;

namespace
{

bool IsFolder(const std::wstring& path)
{
    std::error_code ec;
    return fs::is_directory(fs::path(path), ec);
}

bool PathExists(const std::wstring& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(fs::path(path), ec));
}

bool Cancelled(const TransferOptions& options)
{
    return options.cancelled && options.cancelled();
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

TransferResult CopyTree(const fs::path& source, const fs::path& destination, const TransferOptions& options)
{
    std::error_code ec;
    if (!fs::is_directory(destination, ec)) {
        if (!fs::create_directory(destination, ec) || ec)
            return TransferResult::Failed;
    }
    fs::directory_iterator it(source, ec), end;
    if (ec)
        return TransferResult::Failed;
    for (; it != end; it.increment(ec)) {
        if (ec)
            return TransferResult::Failed;
        if (Cancelled(options))
            return TransferResult::Cancelled;
        const fs::path from = it->path();
        const fs::path to = destination / from.filename();
        TransferResult result = fs::is_directory(from, ec)
                                    ? CopyTree(from, to, options)
                                    : CopyFileAtomically(from.wstring(), to.wstring(), true, options);
        if (result != TransferResult::Done)
            return result;
    }
    return ec ? TransferResult::Failed : TransferResult::Done;
}

// Copies a folder; when the copy does not complete, whatever it created of
// a destination that did not exist before is removed again.
TransferResult CopyFolder(const std::wstring& source, const std::wstring& destination, const TransferOptions& options)
{
    const bool existedBefore = PathExists(destination);
    if (options.onFolder)
        options.onFolder();
    const TransferResult result = CopyTree(fs::path(source), fs::path(destination), options);
    if (result != TransferResult::Done && !existedBefore) {
        std::error_code ec;
        fs::remove_all(fs::path(destination), ec);
    }
    return result;
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
        return error == ERROR_REQUEST_ABORTED ? TransferResult::Cancelled : TransferResult::Failed;
    }
    if (Cancelled(options)) {
        DeleteFileW(part.c_str());
        return TransferResult::Cancelled;
    }
    if (!MoveFileExW(part.c_str(), destination.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
        DeleteFileW(part.c_str());
        return TransferResult::Failed;
    }
    return TransferResult::Done;
}

TransferResult CopyItem(const std::wstring& source, const std::wstring& destination, const TransferOptions& options)
{
    if (IsFolder(source))
        return CopyFolder(source, destination, options);
    return CopyFileAtomically(source, destination, true, options);
}

TransferResult MoveItem(const std::wstring& source, const std::wstring& destination, bool replace,
                        const TransferOptions& options)
{
    if (Cancelled(options))
        return TransferResult::Cancelled;
    if (!PathExists(source))
        return TransferResult::Failed;
    if (IsFolder(source)) {
        const bool destinationExists = PathExists(destination);
        if (destinationExists && !replace)
            return TransferResult::Failed;
        // A rename moves a whole tree at once on one volume; over an
        // existing folder the trees are merged by copying instead.
        if (!destinationExists && MoveFileExW(source.c_str(), destination.c_str(), 0))
            return TransferResult::Done;
        const TransferResult copied = CopyFolder(source, destination, options);
        if (copied != TransferResult::Done)
            return copied;
        std::error_code ec;
        fs::remove_all(fs::path(source), ec);
        return TransferResult::Done;
    }
    // MOVEFILE_REPLACE_EXISTING swaps the file in one step: the old file is
    // never deleted before the new one stands in its place.
    if (MoveFileExW(source.c_str(), destination.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0))
        return TransferResult::Done;
    const TransferResult copied = CopyFileAtomically(source, destination, replace, options);
    if (copied != TransferResult::Done)
        return copied;
    // Only now that the copy stands complete may the source go; a source
    // that cannot be removed leaves two copies, never none.
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(source.c_str());
    return TransferResult::Done;
}
