#include "box/fileops/UndoList.h"

#include <algorithm>
#include <cwctype>

#include "app/AppConfig.h"
#include "app/FileRemoval.h"
#include "box/BoxRuntime.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileTransfer.h"
#include "ui/core/TextHelpers.h"

namespace
{

void RemoveKeptCopy(const std::wstring& path)
{
    RemoveItemWithoutFollowingLinks(path);
}

} // namespace

void PushOnto(std::vector<UndoRecord>& undoList, std::vector<UndoRecord>& redoList, int limit, UndoRecord record,
              const std::function<void(const std::wstring&)>& discardCopy)
{
    undoList.push_back(std::move(record));
    if (static_cast<int>(undoList.size()) > std::max(0, limit)) {
        const UndoRecord& oldest = undoList.front();
        if (oldest.kind == 1 && oldest.recycleConfirmed && discardCopy)
            discardCopy(oldest.tempPath);
        undoList.erase(undoList.begin());
    }
    for (const UndoRecord& undone : redoList) {
        if (undone.kind == 1 && undone.recycleConfirmed && discardCopy)
            discardCopy(undone.tempPath);
    }
    redoList.clear();
}

void PushUndoRecord(const std::shared_ptr<KelmWindow>& box, UndoRecord record)
{
    const std::shared_ptr<KelmWindow> target = record.owner ? record.owner : box;
    if (!target)
        return;
    BoxRuntime& runtime = s_boxRuntimes[target];
    const int limit = runtime.undoLimit;
    PushOnto(runtime.undoList, runtime.redoList, limit, std::move(record), RemoveKeptCopy);
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
