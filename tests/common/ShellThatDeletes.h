// A shell that deletes for good what it is asked to recycle and reports
// success: what a shell does where the bin refuses an item and the user
// answers Yes to "delete it instead?" (Wine does it without asking where
// its Trash cannot be used). Header-only.
#pragma once

#include <string>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"

class ShellThatDeletes
{
public:
    ShellThatDeletes()
    {
        s_recycleShell = [](const std::vector<std::wstring>& paths) {
            for (const std::wstring& path : paths)
                RemoveItemWithoutFollowingLinks(path);
            return std::vector<RecycleOutcome>(paths.size(), RecycleOutcome::Recycled);
        };
    }
    ~ShellThatDeletes() { s_recycleShell = nullptr; }
    ShellThatDeletes(const ShellThatDeletes&) = delete;
    ShellThatDeletes& operator=(const ShellThatDeletes&) = delete;
};
