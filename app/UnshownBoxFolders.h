// Which box folders a restore leaves without a box: a normal box that the
// restored state does not have is gone after the restart, but its folder
// and the files in it stay where they were, and the user must hear where.
// Reads stores only, never the box runtime. Any thread; never throws.
#pragma once

#include <string>
#include <vector>

#include "app/KelmStorage.h"

// The folders ("TargetFolder") of the boxes under "Components" of a box
// store and of the hidden boxes under "TempList" of a quick panel store,
// as full paths (the store's doubled separators collapsed). onlyShown:
// only the boxes that show their folder ("UseTargetFolder").
std::vector<std::wstring> BoxFoldersOfStores(const KelmStorageNestedObject* components,
                                             const KelmStorageNestedObject* hiddenBoxes, bool onlyShown);
// The folders the boxes of a node's stores show.
std::vector<std::wstring> NodeBoxFolders(const std::wstring& node);
// Of the folders in use now, those that exist, hold a file, and are neither
// one of the later folders nor inside one, asked of the system by what each
// folder is (its identity), never by its spelling.
std::vector<std::wstring> FoldersNoBoxWillShow(const std::vector<std::wstring>& now,
                                               const std::vector<std::wstring>& later);
