// Deleting the selected icons of a box: records of a box without a folder
// are only removed (their files stay where they are); files of a
// folder-backed box go to the Recycle Bin (a copy is kept in the
// temporary folder for undo, made before the original is recycled in
// place) or are removed for good, as the user chooses. One file worker does
// the disk work; the records go in the posted completions. UI thread only,
// apart from the worker.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "box/PendingBoxTimer.h"
#include "box/fileops/FileTransfer.h"

class KelmWindow;
struct GuardedFolders;

struct DeleteJobItem {
    std::wstring path;
    // Where the worker keeps a copy of a file sent to the Recycle Bin.
    std::wstring tempCopyPath;
    // The record's owner box is folder-backed: the item is a real file.
    bool onDisk = false;
    std::shared_ptr<KelmWindow> owner;
    // The path as the record holds it, when it is written differently:
    // the record goes with its file either way.
    std::wstring recordPath;
    // Which item went to the Recycle Bin: undo puts back its copy, which
    // the records that knew the item then know in its place.
    ItemIdentity identity;
};

struct DeleteJob {
    std::shared_ptr<KelmWindow> box;
    std::vector<DeleteJobItem> items;
    // 0 to the Recycle Bin, 1 permanently.
    int32_t choice = 0;
    // The boxes' folders, which no file of the job may take with it.
    std::shared_ptr<const GuardedFolders> guarded;
};

// The title and text of the question a delete of real files asks.
struct DeleteQuestionTexts {
    const wchar_t* title;
    const wchar_t* text;
};
// Del and Del's selection: "删除选中".
extern const DeleteQuestionTexts kDeleteKeyQuestion;
// The icon menu's rows: "删除选中" of a selection, "删除" of one icon.
extern const DeleteQuestionTexts kMenuSelectionQuestion;
extern const DeleteQuestionTexts kMenuSingleQuestion;

// The question of a delete that touches real files: 0 "移动到回收站",
// 1 "彻底删除", -1 cancel. Tests replace it.
extern std::function<int(HWND owner, const DeleteQuestionTexts& texts)> s_deleteQuestion;

void CALLBACK DeleteSelectionByKey(HWND hwnd, UINT message, UINT_PTR timerId, DWORD time);
// The box whose Del waits for DeleteSelectionByKey.
extern PendingBoxTimer s_pendingDelete;
// Deletes the box's selection (the Del key and the icon menu's rows), asking
// with the given texts when real files are touched. The selection is taken
// by path when this runs; what vanished before the answer is skipped.
void DeleteSelection(const std::shared_ptr<KelmWindow>& box, const DeleteQuestionTexts& texts = kDeleteKeyQuestion);
// The same for one icon: the record of path in owner's files, as the user
// pointed at it (nothing when the box no longer shows it).
void DeleteIcon(const std::shared_ptr<KelmWindow>& box, const std::wstring& path,
                const std::shared_ptr<KelmWindow>& owner, const DeleteQuestionTexts& texts);

void DeleteSelectionWorker(DeleteJob job);
// A finished item: its records leave the boxes that show it.
void RemoveIconRecordsByPath(const DeleteJobItem& item);
// The same for a batch, in one pass over each view's list.
void RemoveIconRecordsByPaths(const std::vector<DeleteJobItem>& items);
void FinishDeleteSelection(const std::shared_ptr<KelmWindow>& box, const std::vector<DeleteJobItem>& items);

// The form a folder-backed record's path is deleted in: absolute, with
// backslashes and no trailing separator.
std::wstring PathToDelete(const std::wstring& path);
