// Copying and moving one file or folder without ever losing data: copies
// go to a hidden part file first and replace the destination only once
// complete, a move across volumes deletes its source only after the copy
// succeeded, and a failed or cancelled copy leaves no partial destination
// behind. Any thread; never throws.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Names of the part files a copy writes before renaming them into place.
constexpr const wchar_t* kPartFileSuffix = L".tessik-part";
bool IsPartFileName(const std::wstring& name);

enum class TransferResult { Done, Failed, Cancelled };

struct TransferOptions {
    // Handed to CopyFileExW for every file.
    LPPROGRESS_ROUTINE progress = nullptr;
    void* context = nullptr;
    // Polled between files.
    std::function<bool()> cancelled;
    // Called before a folder is copied file by file.
    std::function<void()> onFolder;
};

// Copies a file or a folder tree; existing files of the destination are
// replaced (a folder is merged into an existing one).
TransferResult CopyItem(const std::wstring& source, const std::wstring& destination, const TransferOptions& options);
// Moves a file or folder. Without replace an existing destination makes
// the move fail; with it a file is replaced and a folder merged.
TransferResult MoveItem(const std::wstring& source, const std::wstring& destination, bool replace,
                        const TransferOptions& options);
// Copies one file through a part file beside the destination, then renames
// it into place (over an existing file only with replace).
TransferResult CopyFileAtomically(const std::wstring& source, const std::wstring& destination, bool replace,
                                  const TransferOptions& options);
