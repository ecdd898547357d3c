#include "box/BoxNewFiles.h"

#include <cmath>
#include <map>

#include "app/CommonHelpers.h"
#include "app/ErrorReason.h"
#include "app/UserNotice.h"
#include "box/fileops/DropPlan.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/UndoList.h"
#include "box/fileops/UndoRedo.h"
#include "box/icons/IconPersistence.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

namespace TessikDesktopContainer
{

namespace
{

// Far more numbered names than any folder holds: beyond it the folder is
// taken to refuse every name.
constexpr int kMaxNumber = 10000;

std::wstring UsableFolder(const BoxRuntime* runtime)
{
    if (!runtime || !runtime->UseTargetFolder || runtime->TargetFolder == L"bvn!NULL" || runtime->TargetFolder.empty())
        return L"";
    return NormalizeStoredPath(runtime->TargetFolder);
}

std::wstring SystemMessage(DWORD error)
{
    if (const std::wstring known = KnownErrorReason(error); !known.empty())
        return known;
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length && buffer ? std::wstring(buffer, length) : L"错误代码 " + std::to_wstring(error);
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

bool IsNameTaken(DWORD error)
{
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// Creates a new item only where none stands (no truncation of an item that
// appeared since); DWORD error out when it fails.
bool CreateItem(const std::wstring& path, bool isFolder, bool bom, DWORD& error)
{
    if (isFolder) {
        if (CreateDirectoryW(path.c_str(), nullptr))
            return true;
        error = GetLastError();
        return false;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    bool written = true;
    if (bom) {
        static const unsigned char kBom[] = {0xEF, 0xBB, 0xBF};
        DWORD done = 0;
        written = WriteFile(file, kBom, sizeof(kBom), &done, nullptr) && done == sizeof(kBom);
        if (!written)
            error = GetLastError();
    }
    CloseHandle(file);
    if (!written)
        DeleteFileW(path.c_str());
    return written;
}

} // namespace

const std::vector<NewItemKind>& NewItemKinds()
{
    static const std::vector<NewItemKind> kinds = {
        {L"文件夹", L"新建文件夹", L"", true},
        {L"文本文件", L"新建 文本文档", L".txt", false},
        {L"Word 文档", L"新建 Word 文档", L".docx", false},
        {L"PowerPoint 文稿", L"新建 PowerPoint 演示文稿", L".pptx", false},
        {L"Excel 表格", L"新建 Excel 表格", L".xlsx", false},
        {L"Markdown", L"新建 Markdown", L".md", false},
        {L"Zip 压缩文件", L"新建 Zip", L".zip", false},
    };
    return kinds;
}

bool NewFileHasBom(const std::wstring& extension)
{
    return extension == L".txt" || extension == L".md";
}

std::wstring NewItemCandidate(const std::wstring& folder, const std::wstring& name, const std::wstring& extension,
                              int n)
{
    const std::wstring base = folder + L"\\" + name;
    return n == 0 ? base + extension : base + L" (" + std::to_wstring(n) + L")" + extension;
}

std::wstring CreateNewFileInBox(const BoxWindowPtr& box, KelmIconManager* manager, POINT p, const std::wstring& name,
                                const std::wstring& extension, bool isFolder)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !manager)
        return L"";
    // The new name would be chosen against a folder a job is still filling.
    if (RefusedWhileFileJobRuns(L"新建"))
        return L"";
    POINT q = p;
    ScreenToClient(box->GetHwnd(), &q);
    const auto& records = manager->Records();
    const float w = static_cast<float>(records.empty() ? manager->GetIconSize() : records.front().edge);
    float halfWidth = w * 0.5f;
    // Text files take a double-width cell in the grid.
    if (!runtime->IsListView && NewFileHasBom(extension))
        halfWidth = (2 * w + 12) * 0.5f;
    const float x = static_cast<float>(q.x / DpiScale) - halfWidth;
    const float y = static_cast<float>(q.y / DpiScale) - w * 0.5f;

    std::vector<DropPlan::Point> positions;
    for (const IconRecord& record : records)
        positions.push_back({record.x, record.y});
    const DropPlan::Placement placement = DropPlan::PlaceAmong(positions, w, {x, y});
    int index = placement.nearest >= 0 ? placement.insertIndex : static_cast<int>(records.size());
    BoxWindowPtr owner = box;
    if (placement.nearest >= 0 && records[placement.nearest].owner)
        owner = records[placement.nearest].owner;
    // An owner without a folder of its own cannot take the item: it goes to
    // this box's folder and belongs to this box.
    std::wstring folder = UsableFolder(FindBoxRuntime(owner));
    if (folder.empty()) {
        owner = box;
        folder = UsableFolder(runtime);
    }
    const std::wstring shownName = name + extension;
    if (folder.empty()) {
        NotifyUser(L"new-file", L"无法新建“" + shownName + L"”：这个收纳盒没有自己的文件夹。");
        return L"";
    }

    std::wstring path;
    DWORD error = 0;
    for (int n = 0; n < kMaxNumber; ++n) {
        const std::wstring candidate = NewItemCandidate(folder, name, extension, n);
        error = 0;
        if (CreateItem(candidate, isFolder, NewFileHasBom(extension), error)) {
            path = candidate;
            break;
        }
        if (!IsNameTaken(error))
            break;
    }
    if (path.empty()) {
        NotifyUser(L"new-file", L"无法在“" + folder + L"”中新建“" + shownName + L"”：" + SystemMessage(error));
        return L"";
    }

    UndoRecord undo;
    undo.kind = 0;
    undo.path = path;
    undo.owner = owner;
    undo.made = StampItem(path);
    undo.identity = IdentifyItem(path);
    PushUndoRecord(box, std::move(undo));

    manager->AddRecordForEntry(index, path, x, y, L"bvn!NULL", owner != box, L"", owner, false, L"bvn!NULL");
    // The first record of each run of another box's records carries that
    // box's title.
    std::map<const KelmWindow*, std::wstring> titles;
    for (const auto& [window, r] : s_boxRuntimes) {
        if (window && !r.title.empty())
            titles[window.get()] = r.title;
    }
    BoxWindowPtr previous;
    for (IconRecord& record : manager->Records()) {
        record.sectionText.clear();
        if (record.owner != previous && record.owner && record.owner != box) {
            auto title = titles.find(record.owner.get());
            if (title != titles.end())
                record.sectionText = title->second;
        }
        previous = record.owner;
    }
    manager->Renumber();
    SaveBoxIcons(*manager);
    InvalidateRect(box->GetHwnd(), nullptr, FALSE);
    return path;
}

} // namespace TessikDesktopContainer
