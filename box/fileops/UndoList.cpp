#include "box/fileops/UndoList.h"

#include <algorithm>
#include <cwctype>

#include "app/AppConfig.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/Logger.h"
#include "box/BoxRuntime.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileTransfer.h"
#include "ui/core/TextHelpers.h"

KeptCopyFate FateOfKeptCopy(const UndoRecord& record, bool undone)
{
    using Action = KeptCopyFate::Action;
    if (record.kind == 1) {
        // Undone: the copy went back to its place; nothing waits.
        if (undone)
            return {};
        return {record.recycleConfirmed ? Action::Delete : Action::Recycle, record.tempPath};
    }
    // Undone, the replaced item went back to its place; should it not have,
    // the copy is still the only one.
    if (record.kind == 0 && !record.replacedCopy.empty())
        return {Action::Recycle, record.replacedCopy};
    return {};
}

void PushOnto(std::vector<UndoRecord>& undoList, std::vector<UndoRecord>& redoList, int limit, UndoRecord record,
              const std::function<void(const UndoRecord&, bool undone)>& discard)
{
    undoList.push_back(std::move(record));
    if (static_cast<int>(undoList.size()) > std::max(0, limit)) {
        if (discard)
            discard(undoList.front(), false);
        undoList.erase(undoList.begin());
    }
    if (discard)
        for (const UndoRecord& undone : redoList)
            discard(undone, true);
    redoList.clear();
}

bool RecycleKeptCopy(const std::wstring& copy, const std::wstring& name)
{
    if (!PathExists(copy))
        return true;
    if (!EntryIsItself(copy))
        return false;
    // A folder of its own in the temporary folder gives the copy its name
    // back: the Recycle Bin shows "a.txt", not "a.txt3f2a.tmp".
    const std::wstring folder = TempCopyPath(L"kept");
    const std::wstring named = folder + L"\\" + (name.empty() ? FileNameOfPath(copy) : name);
    if (!CreateDirectoryW(folder.c_str(), nullptr))
        return false;
    // The folder goes only once it is empty: while the copy could not go
    // back it stays in there.
    if (!MoveFileExW(copy.c_str(), named.c_str(), 0)) {
        RemoveFolderIfEmpty(folder);
        return false;
    }
    if (RecycleItem(named)) {
        RemoveFolderIfEmpty(folder);
        return true;
    }
    // Still the only copy: it goes back under the record's name and stays.
    if (EntryIsItself(named) && MoveFileExW(named.c_str(), copy.c_str(), 0))
        RemoveFolderIfEmpty(folder);
    return false;
}

namespace
{

void DiscardKeptCopy(const UndoRecord& record, bool undone)
{
    const KeptCopyFate fate = FateOfKeptCopy(record, undone);
    if (fate.action == KeptCopyFate::Action::Delete) {
        RemoveItemWithoutFollowingLinks(fate.copy);
    } else if (fate.action == KeptCopyFate::Action::Recycle &&
               !RecycleKeptCopy(fate.copy, FileNameOfPath(record.path))) {
        Logger::GetInstance().Log(L"DesktopContainer", L"WARNING",
                                  L"Kept copy left in the temporary folder: " + fate.copy);
    }
}

} // namespace

void PushUndoRecord(const std::shared_ptr<KelmWindow>& box, UndoRecord record)
{
    const std::shared_ptr<KelmWindow> target = record.owner ? record.owner : box;
    if (!target)
        return;
    BoxRuntime& runtime = s_boxRuntimes[target];
    const int limit = runtime.undoLimit;
    PushOnto(runtime.undoList, runtime.redoList, limit, std::move(record), DiscardKeptCopy);
}

std::wstring TempCopyPathIn(const std::wstring& folder, const std::wstring& path,
                            const std::function<bool(const std::wstring&)>& taken)
{
    const std::wstring name = FileNameOfPath(path);
    for (;;) {
        const std::wstring suffix = RandomHexString(4);
        if (std::none_of(suffix.begin(), suffix.end(), [](wchar_t c) { return std::iswalpha(c) != 0; }))
            continue;
        std::wstring candidate = folder + name + suffix + L".tmp";
        if (!taken || !taken(candidate))
            return candidate;
    }
}

std::wstring TempCopyPath(const std::wstring& path)
{
    return TempCopyPathIn(GetTempFolder(), path, PathExists);
}
