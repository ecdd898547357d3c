#include "box/fileops/TempFolderSweep.h"

#include <cwctype>
#include <vector>

#include "app/AppConfig.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/KelmStorage.h"
#include "app/UserNotice.h"
#include "box/fileops/UndoList.h"

std::wstring OriginalNameOfKeptCopy(const std::wstring& name)
{
    // TempCopyPath: the name, four hexadecimal characters, ".tmp".
    constexpr size_t kSuffix = 8;
    if (name.size() <= kSuffix || name.compare(name.size() - 4, 4, L".tmp") != 0)
        return name;
    for (size_t i = name.size() - kSuffix; i < name.size() - 4; ++i)
        if (!std::iswxdigit(name[i]))
            return name;
    return name.substr(0, name.size() - kSuffix);
}

void SweepTemporaryFolder()
{
    if (NormalizeStoredPath(s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L"")).empty())
        return;
    const std::wstring folder = GetTempFolder();
    std::vector<std::wstring> names;
    ForEachFolderEntry(folder, [&names](const std::wstring& name, unsigned long) {
        names.push_back(name);
        return true;
    });
    LeaveReport report;
    for (const std::wstring& name : names) {
        const std::wstring path = folder + name;
        // A copy on its way to the Recycle Bin waits in a folder of its own
        // under its own name.
        if (OriginalNameOfKeptCopy(name) == L"kept" && IsOwnFolder(path)) {
            std::vector<std::wstring> inside;
            ForEachFolderEntry(path, [&inside](const std::wstring& item, unsigned long) {
                inside.push_back(item);
                return true;
            });
            for (const std::wstring& item : inside)
                LetKeptCopyGo(nullptr, path + L"\\" + item, item, report);
            RemoveFolderIfEmpty(path);
            continue;
        }
        LetKeptCopyGo(nullptr, path, OriginalNameOfKeptCopy(name), report);
    }
    if (report.recycled.empty() && report.Empty())
        return;
    std::wstring text = L"Tessik 上次没有正常退出，为撤销保留的文件已处理。";
    if (!report.recycled.empty()) {
        text += L"\n已移到回收站：";
        for (const std::wstring& name : report.recycled)
            text += L"\n“" + name + L"”";
    }
    if (!report.Empty())
        text += L"\n\n" + LeaveReportText(report);
    NotifyUser(L"temp-sweep", text);
}
