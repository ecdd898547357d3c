#include "box/BoxDeletion.h"

#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <functional>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxSettings.h"
#include "box/BoxTitleMenu.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/icons/KelmIconManager.h"
#include "ui/controls/NewPopupSelection.h"
#include "ui/controls/NewTip2.h"
#include "ui/core/KelmOption.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

void Log(const wchar_t* level, const std::wstring& text)
{
    Logger::GetInstance().Log(L"DesktopContainer", level, text);
}

std::wstring KnownFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return L"";
    return path;
}

std::wstring FullPath(const std::wstring& path)
{
    wchar_t full[MAX_PATH * 4] = {};
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    std::wstring result = n > 0 && n < MAX_PATH * 4 ? std::wstring(full, n) : path;
    while (result.size() > 3 && (result.back() == L'\\' || result.back() == L'/'))
        result.pop_back();
    return result;
}

bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info)
{
    HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = GetFileInformationByHandle(h, &info) != FALSE;
    CloseHandle(h);
    return ok;
}

// Two paths name one place: by file identity when both exist (another
// spelling, a mapped name), else by their full paths ignoring case.
bool SameLocation(const std::wstring& a, const std::wstring& b)
{
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    if (FileIdentity(a, x) && FileIdentity(b, y))
        return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
               x.nFileIndexLow == y.nFileIndexLow;
    const std::wstring fa = FullPath(a), fb = FullPath(b);
    return CompareStringOrdinal(fa.c_str(), -1, fb.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// candidate names protected or one of the folders above it.
bool IsSameOrAbove(const std::wstring& candidate, const std::wstring& protectedPath)
{
    if (protectedPath.empty())
        return false;
    fs::path p = fs::path(FullPath(protectedPath));
    for (;;) {
        if (SameLocation(candidate, p.wstring()))
            return true;
        const fs::path parent = p.parent_path();
        if (parent == p || parent.empty())
            return false;
        p = parent;
    }
}

// The object lies in the folder (at any depth), told by file identity.
bool LiesIn(const std::wstring& path, const std::wstring& folder)
{
    fs::path p = fs::path(FullPath(path)).parent_path();
    for (;;) {
        if (SameLocation(p.wstring(), folder))
            return true;
        const fs::path parent = p.parent_path();
        if (parent == p || parent.empty())
            return false;
        p = parent;
    }
}

std::wstring FileNamePart(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsFolderEmpty(const std::wstring& folder)
{
    std::error_code error;
    return fs::is_directory(folder, error) && fs::is_empty(folder, error) && !error;
}

void LeaveIntegrationIfIntegrated(const BoxWindowPtr& box)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (runtime && runtime->IsIntegrated)
        SplitBoxGroup(box);
}

} // namespace

bool MayRemoveBoxFolder(const BoxWindowPtr& box, const std::wstring& folder)
{
    if (folder.empty() || folder == L"bvn!NULL" || !fs::path(folder).is_absolute())
        return false;
    const std::wstring full = FullPath(folder);
    if (!fs::path(full).has_relative_path())
        return false;
    std::vector<std::wstring> guarded = {
        s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L""),
        fs::path(s_desktopContainerStore.FileName()).parent_path().wstring(),
    };
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_PROFILE, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
                      CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES, CSIDL_MYPICTURES, CSIDL_MYMUSIC, CSIDL_MYVIDEO,
                      CSIDL_COMMON_DESKTOPDIRECTORY})
        guarded.push_back(KnownFolder(csidl));
    for (const std::wstring& path : guarded)
        if (IsSameOrAbove(full, path))
            return false;
    for (const auto& [other, runtime] : s_boxRuntimes) {
        if (other == box || runtime.IsPseudoBox() || !runtime.UseTargetFolder)
            continue;
        if (IsSameOrAbove(full, runtime.TargetFolder))
            return false;
    }
    return true;
}

void DisbandAndRestore(const BoxWindowPtr& box, const std::wstring& folder, const std::vector<IconRecord>& records)
{
    LeaveIntegrationIfIntegrated(box);
    Log(L"INFO", L"User initiated disbanded and restore for container target: " + folder);
    const std::wstring desktop = KnownFolder(CSIDL_DESKTOPDIRECTORY);
    for (const IconRecord& record : records) {
        // Only what the box holds goes; a record of an outside file stays.
        if (!PathExists(record.path) || !LiesIn(record.path, folder))
            continue;
        std::wstring target;
        if (record.originalPath != L"bvn!NULL" && record.originalPath != record.path)
            target = record.originalPath;
        else if (!desktop.empty())
            target = desktop + L"\\" + FileNamePart(record.path);
        if (target.empty() || target == record.path)
            continue;
        const fs::path t(target);
        std::error_code error;
        fs::create_directories(t.parent_path(), error);
        if (PathExists(target)) {
            target = FreePasteName(t.parent_path().wstring(), t.stem().wstring(), t.extension().wstring(), PathExists);
            Log(L"WARNING", L"File collision avoided. Renamed to: " + target);
        }
        const TransferResult result = MoveItem(record.path, target, false, TransferOptions{});
        if (result != TransferResult::Failed && result != TransferResult::Cancelled && PathExists(target))
            Log(L"INFO", L"Successfully restored object to: " + target);
        else
            Log(L"ERROR", L"Failed to restore object. Original path intact: " + record.path);
    }
    if (IsFolderEmpty(folder) && RemoveDirectoryW(folder.c_str()))
        Log(L"INFO", L"Removed empty container folder: " + folder);
}

bool RecycleBoxFolder(const BoxWindowPtr& box, const std::wstring& folder)
{
    LeaveIntegrationIfIntegrated(box);
    if (!MayRemoveBoxFolder(box, folder)) {
        Log(L"ERROR", L"Refused to recycle a folder that is not the box's own: " + folder);
        return false;
    }
    const std::wstring full = FullPath(folder);
    RecycleItem(full);
    if (PathExists(full)) {
        Log(L"ERROR", L"Failed to move container folder to Recycle Bin: " + full);
        return false;
    }
    Log(L"INFO", L"Successfully moved container folder to Recycle Bin: " + full);
    return true;
}

bool DeleteBoxFolderPermanently(const BoxWindowPtr& box, const std::wstring& folder)
{
    LeaveIntegrationIfIntegrated(box);
    if (!MayRemoveBoxFolder(box, folder)) {
        Log(L"ERROR", L"Refused to delete a folder that is not the box's own: " + folder);
        return false;
    }
    if (!RemoveItemWithoutFollowingLinks(FullPath(folder))) {
        Log(L"ERROR",
            L"Failed to permanently delete container folder: " + folder + L", EC: " + std::to_wstring(GetLastError()));
        return false;
    }
    Log(L"INFO", L"Successfully permanently deleted container folder: " + folder);
    return true;
}

std::function<void(const BoxWindowPtr& box)> s_boxDeletedHook;

void DeleteBox(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    const std::wstring id = runtime->id;
    for (auto* managers : {&s_boxIconManagers, &s_boxSearchManagers})
        for (auto& entry : *managers) {
            auto& records = entry.second.Records();
            std::erase_if(records, [&box](const IconRecord& r) { return r.owner == box; });
            entry.second.Renumber();
        }
    s_boxIconManagers.erase(box);
    s_boxSearchManagers.erase(box);
    s_boxRuntimes.erase(box);
    if (s_boxDeletedHook)
        s_boxDeletedHook(box);
    if (IsWindow(box->GetHwnd()))
        DestroyWindow(box->GetHwnd());
    BoxSettingsObject(id).remove();
    s_desktopContainerStore.Save();
}

std::function<bool(HWND, std::vector<Brevin::KelmOption>)> s_deleteBoxChoice =
    [](HWND owner, std::vector<Brevin::KelmOption> options) {
        // Removing the files for good cannot be undone: its OK turns red.
        s_selectionRedOk[static_cast<int>(options.size()) - 1] = 1;
        NewPopupSelection::Create(owner, L"请选择删除操作\n（此操作不可撤销）＞︿＜", L"删除", std::move(options),
                                  L"确定", L"取消");
        return s_selectionOk == 1;
    };

void ShowDeleteBoxDialog(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || runtime->IsPseudoBox())
        return;
    if (!runtime->UseTargetFolder) {
        NewTip2::KelmCreateWindow(box->GetHwnd(), L"确定要删除组件嘛？（此操作不可撤销）＞︿＜", L"删除");
        if (s_tipResult != 1)
            return;
        LeaveIntegrationIfIntegrated(box);
        DeleteBox(box);
        return;
    }
    std::vector<IconRecord> records;
    if (auto own = s_boxIconManagers.find(box); own != s_boxIconManagers.end())
        for (const IconRecord& r : own->second.Records())
            if (own->second.EffectiveOwner(r) == box)
                records.push_back(r);
    const std::wstring folder = runtime->TargetFolder;
    bool keep = false;
    auto onlyBox = [box] { LeaveIntegrationIfIntegrated(box); };
    auto disband = [box, folder, records] { DisbandAndRestore(box, folder, records); };
    // A folder that could not (or may not) go keeps its box, so nothing
    // the user still has on disk loses its place on the desktop.
    auto recycle = [box, folder, &keep] {
        if (!RecycleBoxFolder(box, folder)) {
            keep = true;
            NotifyUser(L"box-folder-kept", L"收纳盒文件夹“" + folder + L"”未能移到回收站，收纳盒已保留。");
        }
    };
    auto removeAll = [box, folder, &keep] {
        if (!DeleteBoxFolderPermanently(box, folder)) {
            keep = true;
            NotifyUser(L"box-folder-kept", L"收纳盒文件夹“" + folder + L"”未能删除，收纳盒已保留。");
        }
    };
    std::vector<Brevin::KelmOption> options;
    if (runtime->IsCustomTarget) {
        options.emplace_back(L"仅删除组件", onlyBox, 1);
        options.emplace_back(L"移动文件到回收站", recycle, 1);
    } else {
        options.emplace_back(L"解散并归位", disband, 1);
        options.emplace_back(L"移动文件到回收站", recycle, 1);
        options.emplace_back(L"仅删除组件", onlyBox, 1);
    }
    options.emplace_back(L"彻底删除文件", removeAll, 1);
    if (!s_deleteBoxChoice(box->GetHwnd(), std::move(options)) || keep || !FindBoxRuntime(box))
        return;
    DeleteBox(box);
}
