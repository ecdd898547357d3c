#include "box/fileops/DeleteSelected.h"

#include <algorithm>
#include <filesystem>

#include "app/CommonHelpers.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxRuntime.h"
#include "box/BoxShortcuts.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/UndoList.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/controls/NewPopupSelection.h"
#include "ui/core/KelmWindow.h"

namespace fs = std::filesystem;
using TessikDesktopContainer::KelmIconManager;

PendingBoxTimer s_pendingDelete(DeleteSelectionByKey);

namespace
{

int AskDeleteChoice(HWND owner, const DeleteQuestionTexts& texts)
{
    std::vector<Brevin::KelmOption> options{
        {L"移动到回收站", nullptr, 1},
        {L"彻底删除", nullptr, 1},
    };
    // A permanent delete cannot be undone: the OK button turns red for it.
    s_selectionRedOk[1] = 1;
    NewPopupSelection::Create(owner, texts.text, texts.title, std::move(options), L"确定", L"取消");
    if (s_selectionOk != 1)
        return -1;
    return s_selectionIndex == 1 ? 1 : 0;
}

void Log(const wchar_t* level, const std::wstring& text)
{
    Logger::GetInstance().Log(L"DesktopContainer", level, text);
}

bool IsFolderBacked(const BoxWindowPtr& owner)
{
    const BoxRuntime* runtime = FindBoxRuntime(owner);
    return runtime && !runtime->BackingFolder().empty();
}

// The view the selection was made in.
KelmIconManager* SelectionManager(const BoxWindowPtr& box, const BoxRuntime& runtime)
{
    auto own = s_boxIconManagers.find(box);
    return own == s_boxIconManagers.end() ? nullptr : &SelectionView(box, runtime, own->second);
}

struct Selected {
    int id = 0;
    std::wstring path;
    BoxWindowPtr owner;
};

bool IsItemPath(const DeleteJobItem& item, const std::wstring& path)
{
    return path == item.path || (!item.recordPath.empty() && path == item.recordPath);
}

// Removes the first record of path that counts as the item's in a manager
// other than the owner's own.
void RemoveFirstMatch(KelmIconManager& manager, const DeleteJobItem& item)
{
    auto& records = manager.Records();
    auto found = std::find_if(records.begin(), records.end(), [&](const IconRecord& record) {
        return IsItemPath(item, record.path) && (item.onDisk || manager.EffectiveOwner(record) == item.owner);
    });
    if (found != records.end())
        records.erase(found);
}

// Worker: the file goes to the Recycle Bin only once a copy of it is kept;
// true when it really went there.
bool RecycleKeepingCopy(const DeleteJobItem& item)
{
    TransferOptions options;
    options.cancelled = FileJobCancelled;
    if (CopyItem(item.path, item.tempCopyPath, options) != TransferResult::Done) {
        std::error_code ec;
        fs::remove_all(fs::path(item.tempCopyPath), ec);
        Log(L"ERROR", L"Failed to keep a copy before recycling: " + item.path);
        return false;
    }
    if (RecycleItem(item.path)) {
        Log(L"INFO", L"Recycled object: " + item.path);
        return true;
    }
    // The original is still in place: the copy is not needed.
    std::error_code ec;
    fs::remove_all(fs::path(item.tempCopyPath), ec);
    Log(L"ERROR", L"Failed to recycle: " + item.path);
    return false;
}

void TellNotDeleted(const DeleteJobItem& item, bool permanently)
{
    const std::wstring name = L"“" + GetPathFileName(item.path) + L"”";
    NotifyUser(L"delete-failed:" + item.path, permanently ? name + L"无法删除，它仍在原来的位置。"
                                                          : name + L"无法移动到回收站，它仍在原来的位置，没有被删除。");
}

} // namespace

const DeleteQuestionTexts kDeleteKeyQuestion{L"删除选中", L"确定要删除选中的文件？\n（文件将从本地移除）"};
const DeleteQuestionTexts kMenuSelectionQuestion{L"删除", L"确定要删除选中的文件吗？\n（将会删除本地文件）"};
const DeleteQuestionTexts kMenuSingleQuestion{L"删除", L"确定要删除此文件吗？\n（将会删除本地文件）"};

std::function<int(HWND owner, const DeleteQuestionTexts& texts)> s_deleteQuestion = AskDeleteChoice;

std::wstring PathToDelete(const std::wstring& path)
{
    std::wstring full = path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size > 0) {
        full.assign(size, L'\0');
        full.resize(GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    }
    std::replace(full.begin(), full.end(), L'/', L'\\');
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return full;
}

void CALLBACK DeleteSelectionByKey(HWND, UINT, UINT_PTR timerId, DWORD)
{
    BoxWindowPtr box = s_pendingDelete.Take(timerId);
    if (!box)
        return;
    try {
        DeleteSelection(box);
    } catch (...) {
        Log(L"ERROR", L"Deleting the selection stopped on an unexpected error.");
    }
}

void DeleteSelection(const BoxWindowPtr& box, const DeleteQuestionTexts& texts)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || runtime->selection.empty())
        return;
    KelmIconManager* manager = SelectionManager(box, *runtime);
    if (!manager)
        return;
    std::vector<Selected> selected;
    for (int id : runtime->selection) {
        if (const IconRecord* record = manager->FindById(id))
            selected.push_back({id, record->path, manager->EffectiveOwner(*record)});
    }
    if (selected.empty())
        return;
    // Nothing is touched while another job runs: it would refuse this one.
    if (s_copyProgress.busy) {
        NotifyUser(L"delete-busy", L"另一项文件操作正在进行，选中的文件没有删除。\n请在当前操作完成后重试。");
        return;
    }
    const bool anyOnDisk =
        std::any_of(selected.begin(), selected.end(), [](const Selected& s) { return IsFolderBacked(s.owner); });
    int choice = 0;
    if (anyOnDisk) {
        HoverAnimationCount = 0;
        choice = s_deleteQuestion(box->GetHwnd(), texts);
        HoverAnimationCount = 0;
        if (choice != 0 && choice != 1)
            return;
        // The question let the folder sync and other work run: what is
        // deleted is only what still is what the user chose.
        runtime = FindBoxRuntime(box);
        manager = runtime ? SelectionManager(box, *runtime) : nullptr;
        if (!manager)
            return;
        selected.erase(std::remove_if(selected.begin(), selected.end(),
                                      [&](const Selected& s) {
                                          const IconRecord* record = manager->FindById(s.id);
                                          return !record || record->path != s.path;
                                      }),
                       selected.end());
        if (selected.empty() || s_copyProgress.busy)
            return;
    }

    // Grouped by owner box in the order the owners first appear.
    std::vector<BoxWindowPtr> owners;
    for (const Selected& s : selected)
        if (std::find(owners.begin(), owners.end(), s.owner) == owners.end())
            owners.push_back(s.owner);
    std::stable_sort(selected.begin(), selected.end(), [&](const Selected& a, const Selected& b) {
        return std::find(owners.begin(), owners.end(), a.owner) < std::find(owners.begin(), owners.end(), b.owner);
    });

    DeleteJob job;
    job.box = box;
    job.choice = choice;
    for (const Selected& s : selected) {
        DeleteJobItem item;
        item.owner = s.owner;
        if (IsFolderBacked(s.owner)) {
            item.onDisk = true;
            item.path = PathToDelete(s.path);
            if (item.path != s.path)
                item.recordPath = s.path;
            if (choice == 0)
                item.tempCopyPath = TempCopyPath(item.path);
        } else {
            item.path = s.path;
            UndoRecord record;
            record.kind = 4;
            record.path = s.path;
            record.extra = L"bvn!NULL";
            record.owner = s.owner;
            PushUndoRecord(box, std::move(record));
        }
        job.items.push_back(std::move(item));
    }
    runtime->multiSelect = false;
    runtime->selection.clear();
    RepaintBoxWindows(box);
    if (!StartFileJob(box, [job = std::move(job)]() mutable { DeleteSelectionWorker(std::move(job)); }))
        NotifyUser(L"delete-busy", L"另一项文件操作正在进行，选中的文件没有删除。\n请在当前操作完成后重试。");
}

void DeleteSelectionWorker(DeleteJob job)
{
    RepaintTarget target{job.box, job.box ? job.box->GetHwnd() : nullptr};
    std::weak_ptr<KelmWindow> weak = job.box;
    const size_t count = job.items.size();
    try {
        for (size_t i = 0; i < count; ++i) {
            if (FileJobCancelled())
                break;
            const DeleteJobItem& item = job.items[i];
            s_copyProgress.SetCurrentName(item.path);
            s_copyProgress.fraction = static_cast<float>(i) / static_cast<float>(count);
            PostRepaint(target, true);
            bool recycled = false;
            if (item.onDisk && job.choice == 1) {
                std::error_code ec;
                fs::remove(fs::path(item.path), ec);
                // A folder with content goes as a whole tree (links inside are
                // removed, never followed).
                if (ec && fs::is_directory(fs::symlink_status(fs::path(item.path)))) {
                    ec.clear();
                    fs::remove_all(fs::path(item.path), ec);
                }
                if (ec) {
                    Log(L"ERROR", L"Failed to permanently delete: " + item.path);
                    if (job.box)
                        job.box->animationManager.PostCallback([item] { TellNotDeleted(item, true); });
                    continue;
                }
                Log(L"INFO", L"Permanently deleted: " + item.path);
            } else if (item.onDisk && PathExists(item.path)) {
                recycled = RecycleKeepingCopy(item);
                if (!recycled) {
                    // The file stays, and so does its record.
                    if (job.box)
                        job.box->animationManager.PostCallback([item] { TellNotDeleted(item, false); });
                    continue;
                }
            }
            if (job.box)
                job.box->animationManager.PostCallback([weak, item, recycled] {
                    if (recycled) {
                        if (BoxWindowPtr box = weak.lock()) {
                            UndoRecord record;
                            record.kind = 1;
                            record.path = item.path;
                            record.tempPath = item.tempCopyPath;
                            record.owner = item.owner;
                            record.recycleConfirmed = true;
                            PushUndoRecord(box, std::move(record));
                        }
                    }
                    RemoveIconRecordsByPath(item);
                });
        }
    } catch (...) {
        Log(L"ERROR", L"A delete job stopped on an unexpected error.");
    }
    if (job.box)
        job.box->animationManager.PostCallback(
            [weak, items = job.items] { FinishDeleteSelection(weak.lock(), items); });
    EndFileJobWorker(target);
}

void RemoveIconRecordsByPath(const DeleteJobItem& item)
{
    for (auto& [box, manager] : s_boxIconManagers) {
        if (box == item.owner) {
            manager.RemoveByPath(item.path);
            if (!item.recordPath.empty())
                manager.RemoveByPath(item.recordPath);
        } else
            RemoveFirstMatch(manager, item);
    }
    for (auto& [box, manager] : s_boxSearchManagers)
        RemoveFirstMatch(manager, item);
}

void FinishDeleteSelection(const BoxWindowPtr& box, const std::vector<DeleteJobItem>& items)
{
    try {
        for (auto& [window, manager] : s_boxIconManagers)
            manager.Renumber();
        for (auto& [window, manager] : s_boxSearchManagers)
            manager.Renumber();
        std::vector<BoxWindowPtr> saved;
        for (const DeleteJobItem& item : items) {
            if (std::find(saved.begin(), saved.end(), item.owner) != saved.end())
                continue;
            saved.push_back(item.owner);
            auto manager = s_boxIconManagers.find(item.owner);
            if (manager != s_boxIconManagers.end())
                SaveBoxIcons(manager->second);
        }
    } catch (...) {
        Log(L"ERROR", L"Saving the icons after a delete failed.");
    }
    RepaintBoxWindows(box);
}
