#include "app/Backup.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>

#include "app/AppMainWindow.h"
#include "app/AppState.h"
#include "app/ErrorReason.h"
#include "app/CommonHelpers.h"
#include "app/DisplayRestart.h"
#include "app/FileActionGate.h"
#include "app/FileRemoval.h"
#include "app/HotKeySettings.h"
#include "app/KeptBoxFolders.h"
#include "app/KelmStorage.h"
#include "app/LogFiles.h"
#include "app/Logger.h"
#include "app/StoreSaveRetry.h"
#include "app/StoreTextFormat.h"
#include "app/TempFolderUse.h"
#include "app/UnshownBoxFolders.h"
#include "app/UserNotice.h"
#include "ui/controls/KelmMenu.h"
#include "ui/controls/NewPopupSelection.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"

namespace fs = std::filesystem;

std::wstring s_autoBackupIntervalText;

namespace
{

constexpr wchar_t kRef[] = L"TessikRef";
constexpr wchar_t kTempSuffix[] = L".copying";
// Lies in the data folder from before the first store is replaced until
// the restore has ended either way. Neither ".kelm" nor "bk_": no store
// load, backup copy or node listing takes it for one of theirs.
constexpr wchar_t kRestoreMarker[] = L"RestoreInProgress.mark";
constexpr wchar_t kMarkerTempSuffix[] = L".writing";
constexpr int kIntervalMenuWidth = 120;
// Said when a restore that stopped every save could not finish: this
// process keeps running but can no longer keep a change.
constexpr wchar_t kSavesStoppedText[] = L"\n\n本次运行中之后的更改将不会被保存，请退出并重新启动 Tessik。";
// What the program is doing while a restore keeps boxes from taking files.
constexpr wchar_t kRestoringText[] = L"恢复备份";

int s_autoBackupMinutes = 0;

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::tm LocalNow()
{
    return LocalTimeOf(std::chrono::system_clock::now());
}

void Log(const wchar_t* level, const std::wstring& text)
{
    Logger::GetInstance().Log(L"Tessik", level, text);
}

// Every store is saved before it is copied, so a node holds what the user
// sees. A store that cannot be saved (not loaded, or its file refused)
// stops the backup: the node would otherwise mix old and new state.
bool SaveAllStores(std::wstring& failedFile)
{
    for (KelmStorage* store : {&s_appStore, &s_desktopContainerStore, &s_magnetStore, &s_quickPanelStore}) {
        try {
            // A write that failed is retried and told by the store; the
            // node must not be made from the file it could not replace.
            if (!store->Save()) {
                failedFile = store->FileName();
                return false;
            }
        } catch (const std::exception& error) {
            failedFile = store->FileName();
            Log(L"ERROR", L"Backup: could not save " + failedFile + L": " + Utf8ToWide(error.what()));
            return false;
        }
    }
    return true;
}

std::wstring CopyFailureText(const StoreCopyResult& copy)
{
    if (copy.failedFile.empty())
        return L"无法创建文件夹（" + ErrorReasonText(copy.error) + L"）。";
    return L"无法复制 " + copy.failedFile + L"（" + ErrorReasonText(copy.error) + L"）。";
}

void LogCopyFailure(const std::wstring& what, const StoreCopyResult& copy)
{
    Log(L"ERROR", what + L": " + (copy.failedFile.empty() ? L"folder" : copy.failedFile) + L" failed with error " +
                      std::to_wstring(copy.error));
}

} // namespace

std::wstring BackupNodeName(const std::tm& t)
{
    wchar_t name[64];
    std::swprintf(name, 64, L"bk_%04d_%02d_%02d_%02d_%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                  t.tm_min);
    return name;
}

std::wstring UserBackupsFolder(const std::wstring& dataFolder)
{
    return dataFolder + L"\\Backups\\UserBackups";
}

std::wstring AutoBackupFolder(const std::wstring& dataFolder)
{
    return dataFolder + L"\\Backups\\AutoBackup";
}

std::vector<std::wstring> ListManualBackupNodes(const std::wstring& userBackupsFolder)
{
    std::vector<std::wstring> names;
    std::error_code ec;
    for (fs::directory_iterator it(userBackupsFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError))
            continue;
        std::wstring name = it->path().filename().wstring();
        if (name.rfind(L"bk_", 0) == 0)
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

StoreCopyResult CopyStoreFiles(const std::wstring& from, const std::wstring& to)
{
    // The files hold every save asked for before the copy.
    KelmStorage::FinishBackgroundSaves();
    StoreCopyResult result;
    std::error_code ec;
    fs::create_directories(to, ec);
    if (!IsFolder(to)) {
        result.ok = false;
        result.error = ec ? static_cast<DWORD>(ec.value()) : ERROR_PATH_NOT_FOUND;
        return result;
    }
    std::vector<std::wstring> copied;
    auto dropTemporaries = [&] {
        for (const std::wstring& name : copied)
            DeleteFileW((to + L"\\" + name + kTempSuffix).c_str());
    };
    // First every file in full beside its target: a failure here leaves
    // the targets untouched.
    for (const wchar_t* name : kBackupStoreFiles) {
        const std::wstring source = from + L"\\" + name;
        if (!IsFile(source))
            continue;
        const std::wstring temporary = to + L"\\" + name + kTempSuffix;
        if (!CopyFileW(source.c_str(), temporary.c_str(), FALSE)) {
            result = {false, name, GetLastError(), 0, {}};
            DeleteFileW(temporary.c_str());
            dropTemporaries();
            return result;
        }
        copied.push_back(name);
    }
    for (size_t i = 0; i < copied.size(); ++i) {
        const std::wstring temporary = to + L"\\" + copied[i] + kTempSuffix;
        const std::wstring target = to + L"\\" + copied[i];
        if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            result.ok = false;
            result.failedFile = copied[i];
            result.error = GetLastError();
            for (size_t j = i; j < copied.size(); ++j)
                DeleteFileW((to + L"\\" + copied[j] + kTempSuffix).c_str());
            return result;
        }
        ++result.replaced;
        result.replacedFiles.push_back(copied[i]);
    }
    return result;
}

namespace
{

// The folder and every entry in it are this backup's own: it was created
// just now and holds only the copies it wrote.
void RemoveFailedNode(const std::wstring& node)
{
    RemovalReport report;
    if (!RemoveItemWithoutFollowingLinks(node, &report))
        Log(L"ERROR", L"Could not remove the incomplete backup node " + node);
}

bool SameBytes(const std::wstring& a, const std::wstring& b)
{
    std::error_code ec;
    if (fs::file_size(a, ec) != fs::file_size(b, ec) || ec)
        return false;
    std::FILE* fa = _wfopen(a.c_str(), L"rb");
    std::FILE* fb = _wfopen(b.c_str(), L"rb");
    bool same = fa && fb;
    for (int ca = 0; same && ca != EOF;) {
        ca = std::fgetc(fa);
        same = ca == std::fgetc(fb);
    }
    if (fa)
        std::fclose(fa);
    if (fb)
        std::fclose(fb);
    return same;
}

// Both folders hold the same store files with the same bytes.
bool SameStoreFiles(const std::wstring& a, const std::wstring& b)
{
    for (const wchar_t* name : kBackupStoreFiles) {
        const std::wstring x = a + L"\\" + name, y = b + L"\\" + name;
        if (IsFile(x) != IsFile(y) || (IsFile(x) && !SameBytes(x, y)))
            return false;
    }
    return true;
}

bool HoldsAnyStoreFile(const std::wstring& folder)
{
    return std::any_of(std::begin(kBackupStoreFiles), std::end(kBackupStoreFiles),
                       [&](const wchar_t* name) { return IsFile(folder + L"\\" + name); });
}

std::wstring RestoreMarkerPath(const std::wstring& dataFolder)
{
    return dataFolder + L"\\" + kRestoreMarker;
}

// The marker holds the node being restored and the pre-restore node, one
// full path a line, in UTF-8. Written beside its place, flushed and renamed
// into it: a marker is there whole or not at all. Returns 0 or the error.
// A third line, when given, names the stores known to hold the node's
// state, separated by "|".
DWORD WriteRestoreMarker(const std::wstring& dataFolder, const std::wstring& node, const std::wstring& preRestoreNode,
                         const std::vector<std::wstring>& nodeFiles = {})
{
    const std::wstring marker = RestoreMarkerPath(dataFolder);
    const std::wstring temporary = marker + kMarkerTempSuffix;
    std::wstring text = node + L"\n" + preRestoreNode + L"\n";
    for (size_t i = 0; i < nodeFiles.size(); ++i)
        text += (i ? L"|" : L"") + nodeFiles[i];
    if (!nodeFiles.empty())
        text += L"\n";
    const std::string bytes = WideToUtf8(text);
    HANDLE file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    DWORD error = ok ? 0 : GetLastError();
    CloseHandle(file);
    // A marker still there is a told one the start could not remove: it
    // goes first (as itself, never what a link leads to), and the new one
    // takes its name without replacing anything.
    if (ok && (!RemoveItemWithoutFollowingLinks(marker) ||
               !MoveFileExW(temporary.c_str(), marker.c_str(), MOVEFILE_WRITE_THROUGH))) {
        ok = false;
        error = GetLastError();
    }
    if (!ok) {
        RemoveItemWithoutFollowingLinks(temporary);
        Log(L"ERROR", L"Restore: could not write the marker " + marker + L" (error " + std::to_wstring(error) + L")");
        return error ? error : ERROR_WRITE_FAULT;
    }
    return 0;
}

// The stores the restore replaced that the put-back did not reach: they
// hold the node's state. A store the pre-restore node lacks was not there
// before, so there is nothing to put back for it.
std::vector<std::wstring> StoresLeftFromNode(const std::vector<std::wstring>& replaced, const StoreCopyResult& back,
                                             const std::wstring& preRestoreNode)
{
    std::vector<std::wstring> left;
    for (const std::wstring& name : replaced) {
        if (!IsFile(preRestoreNode + L"\\" + name))
            continue;
        if (std::find(back.replacedFiles.begin(), back.replacedFiles.end(), name) == back.replacedFiles.end())
            left.push_back(name);
    }
    return left;
}

std::wstring NodeNameAndPath(const std::wstring& node)
{
    return L"“" + fs::path(node).filename().wstring() + L"”（" + node + L"）";
}

// Which stores hold which state, and where the state before the restore is.
std::wstring MixedStoresText(const std::wstring& node, const std::wstring& preRestoreNode,
                             const std::vector<std::wstring>& nodeFiles)
{
    std::wstring text = L"以下设置文件现在是";
    text += node.empty() ? std::wstring(L"所恢复节点") : L"节点“" + fs::path(node).filename().wstring() + L"”";
    text += L"中的数据：";
    for (const std::wstring& name : nodeFiles)
        text += L"\n    " + name;
    text += L"\n其余设置文件是恢复前的数据。";
    if (!preRestoreNode.empty())
        text += L"\n恢复前的全部数据保存在节点" + NodeNameAndPath(preRestoreNode) + L"中，可在设置的“恢复”中选择它。";
    return text;
}

// A store whose last save did not land holds more than its file: the
// pre-restore node takes the tree in memory, so that it holds what the
// program holds (a change kept only in memory would be lost with the
// restart).
StoreCopyResult WriteUnsavedStoresInto(const std::wstring& node)
{
    StoreCopyResult result;
    for (const KelmStorage* store : {&s_appStore, &s_desktopContainerStore, &s_magnetStore, &s_quickPanelStore}) {
        if (!store->IsLoaded() || !StoreSaveRetry::IsUnsaved(*store))
            continue;
        const std::wstring name = GetPathFileName(store->FileName());
        if (std::find(std::begin(kBackupStoreFiles), std::end(kBackupStoreFiles), name) == std::end(kBackupStoreFiles))
            continue;
        if (const DWORD error = store->WriteTreeTo(node + L"\\" + name)) {
            result.ok = false;
            result.failedFile = name;
            result.error = error;
            Log(L"ERROR", L"Restore: the unsaved " + name + L" could not be kept in " + node);
            return result;
        }
        Log(L"INFO", L"Restore: the unsaved " + name + L" is kept from memory in " + node);
    }
    return result;
}

void RemoveRestoreMarker(const std::wstring& dataFolder)
{
    const std::wstring marker = RestoreMarkerPath(dataFolder);
    if (!RemoveItemWithoutFollowingLinks(marker))
        Log(L"ERROR",
            L"Could not remove the restore marker " + marker + L" (error " + std::to_wstring(GetLastError()) + L")");
}

} // namespace

StoreCopyResult CopyStoresIntoNewNode(const std::wstring& from, const std::wstring& base, std::wstring& node)
{
    node.clear();
    StoreCopyResult result;
    std::error_code ec;
    fs::create_directories(fs::path(base).parent_path(), ec);
    // CreateDirectoryW, not a test for existence: a folder made meanwhile
    // by another backup is taken as taken.
    for (int n = 1;; ++n) {
        const std::wstring candidate = n == 1 ? base : base + L"_" + std::to_wstring(n);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            node = candidate;
            break;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
            result.ok = false;
            result.error = error;
            return result;
        }
    }
    result = CopyStoreFiles(from, node);
    if (!result.ok) {
        RemoveFailedNode(node);
        node.clear();
    }
    return result;
}

StoreCopyResult CreateManualNodeFiles(const std::wstring& dataFolder, const std::tm& localTime, std::wstring& node)
{
    return CopyStoresIntoNewNode(dataFolder, UserBackupsFolder(dataFolder) + L"\\" + BackupNodeName(localTime), node);
}

std::wstring KeepAutomaticNodeAside(const std::wstring& dataFolder, const std::tm& localTime, StoreCopyResult& copy)
{
    copy = {};
    const std::wstring automatic = AutoBackupFolder(dataFolder);
    if (!HoldsAnyStoreFile(automatic))
        return L"";
    // Start after start with the same damage keeps one copy, not one each.
    const std::wstring userBackups = UserBackupsFolder(dataFolder);
    for (const std::wstring& name : ListManualBackupNodes(userBackups)) {
        const std::wstring folder = userBackups + L"\\" + name;
        if (name.find(L"_auto") != std::wstring::npos && SameStoreFiles(folder, automatic))
            return folder;
    }
    std::wstring node;
    copy = CopyStoresIntoNewNode(automatic, userBackups + L"\\" + BackupNodeName(localTime) + L"_auto", node);
    return node;
}

RestoreResult RestoreNodeFiles(const std::wstring& node, const std::wstring& dataFolder, const std::tm& localTime,
                               const std::function<void()>& beforeCopy)
{
    RestoreResult result;
    if (!IsFolder(node)) {
        result.stage = RestoreResult::Stage::NodeMissing;
        return result;
    }
    // A node without all four stores (a backup that failed, files removed
    // since) would bring back a mix of its state and the current one.
    for (const wchar_t* name : kBackupStoreFiles)
        if (!IsFile(node + L"\\" + name))
            result.missingFiles.push_back(name);
    if (!result.missingFiles.empty()) {
        result.stage = RestoreResult::Stage::NodeIncomplete;
        return result;
    }
    // A store cut short or garbled would come back as a partial state (the
    // boxes after the damage gone): such a node is refused before anything
    // is touched.
    for (const wchar_t* name : kBackupStoreFiles) {
        const std::wstring file = node + L"\\" + name;
        if (!StoreFileReadsCompletely(file, kStoreOwnRoot)) {
            result.stage = RestoreResult::Stage::NodeDamaged;
            result.damagedFile = name;
            return result;
        }
    }
    result.copy = CopyStoresIntoNewNode(
        dataFolder, UserBackupsFolder(dataFolder) + L"\\" + BackupNodeName(localTime) + L"_before_restore",
        result.preRestoreNode);
    if (result.copy.ok)
        result.copy = WriteUnsavedStoresInto(result.preRestoreNode);
    if (!result.copy.ok) {
        if (!result.preRestoreNode.empty())
            RemoveFailedNode(result.preRestoreNode);
        result.preRestoreNode.clear();
        result.stage = RestoreResult::Stage::PreRestoreNode;
        return result;
    }
    // A process ended between the first and the last rename leaves stores
    // of two states side by side; the marker lets the next start say so.
    // Without it such an end would go unseen, so no store is touched.
    const DWORD markerError = WriteRestoreMarker(dataFolder, node, result.preRestoreNode);
    if (markerError != 0) {
        result.stage = RestoreResult::Stage::Marker;
        result.copy = {false, kRestoreMarker, markerError, 0, {}};
        return result;
    }
    if (beforeCopy)
        beforeCopy();
    result.copy = CopyStoreFiles(node, dataFolder);
    if (!result.copy.ok) {
        result.stage = RestoreResult::Stage::Copy;
        if (result.copy.replaced > 0) {
            const StoreCopyResult back = CopyStoreFiles(result.preRestoreNode, dataFolder);
            if (!back.ok)
                LogCopyFailure(L"Restore: putting back the current stores", back);
            result.nodeFiles = StoresLeftFromNode(result.copy.replacedFiles, back, result.preRestoreNode);
            result.putBack = result.nodeFiles.empty();
        }
    }
    // Stores of two states stay behind a put-back that did not reach every
    // replaced file: the marker stays too, naming them, and the next start
    // tells of it.
    if (result.putBack)
        RemoveRestoreMarker(dataFolder);
    else if (WriteRestoreMarker(dataFolder, node, result.preRestoreNode, result.nodeFiles) != 0)
        Log(L"ERROR", L"Restore: could not name the mixed stores in the marker");
    return result;
}

RestoreResult PutBackAfterRestore(const std::wstring& node, const std::wstring& dataFolder, const RestoreResult& done)
{
    RestoreResult result = done;
    result.stage = RestoreResult::Stage::Copy;
    // Until every store is back the data folder may mix two states: the
    // next start must know, even if this process ends in between.
    const DWORD markerError = WriteRestoreMarker(dataFolder, node, done.preRestoreNode);
    if (markerError != 0)
        Log(L"ERROR", L"Restore: could not write the marker again (error " + std::to_wstring(markerError) + L")");
    result.copy = CopyStoreFiles(done.preRestoreNode, dataFolder);
    if (!result.copy.ok)
        LogCopyFailure(L"Restore: putting back the current stores", result.copy);
    std::vector<std::wstring> replaced(std::begin(kBackupStoreFiles), std::end(kBackupStoreFiles));
    result.nodeFiles = StoresLeftFromNode(replaced, result.copy, done.preRestoreNode);
    result.putBack = result.nodeFiles.empty();
    if (result.putBack)
        RemoveRestoreMarker(dataFolder);
    else if (WriteRestoreMarker(dataFolder, node, done.preRestoreNode, result.nodeFiles) != 0)
        Log(L"ERROR", L"Restore: could not name the mixed stores in the marker");
    return result;
}

bool RestoreMarkerFound(const std::wstring& dataFolder)
{
    return GetFileAttributesW(RestoreMarkerPath(dataFolder).c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace
{

// The notice of a restore cut off, from the marker's text (empty when it
// could not be read).
std::wstring InterruptedRestoreText(const std::wstring& markerText)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < markerText.size()) {
        size_t end = markerText.find(L'\n', start);
        if (end == std::wstring::npos)
            end = markerText.size();
        std::wstring line = markerText.substr(start, end - start);
        while (!line.empty() && line.back() == L'\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    // Each line counts only when its end was written.
    const bool hasLine = markerText.find(L'\n') != std::wstring::npos;
    const bool whole = hasLine && lines.size() >= 2;
    const std::wstring node = hasLine ? lines[0] : L"";
    const std::wstring preRestoreNode = whole ? lines[1] : L"";
    std::vector<std::wstring> nodeFiles;
    if (whole && lines.size() >= 3) {
        const std::wstring& list = lines[2];
        for (size_t from = 0; from <= list.size();) {
            size_t bar = list.find(L'|', from);
            if (bar == std::wstring::npos)
                bar = list.size();
            if (bar > from)
                nodeFiles.push_back(list.substr(from, bar - from));
            from = bar + 1;
        }
    }
    const std::wstring nodeName = node.empty() ? L"" : L"“" + fs::path(node).filename().wstring() + L"”";
    if (!nodeFiles.empty())
        return L"上次恢复节点" + nodeName + L"未能完成，恢复前的设置文件也未能全部放回。\n\n" +
               MixedStoresText(node, preRestoreNode, nodeFiles);
    std::wstring text =
        L"上次恢复节点" + nodeName + L"时被中断，未能完成。\n当前的设置和收纳盒可能混合了恢复前和恢复后两种状态。\n\n";
    if (preRestoreNode.empty())
        return text + L"恢复前的数据保存在名称以 _before_restore 结尾的节点中，可在设置的“恢复”中选择它。";
    return text + L"恢复前的数据保存在节点" + NodeNameAndPath(preRestoreNode) + L"中，可在设置的“恢复”中选择它。";
}

std::string ReadMarkerBytes(const std::wstring& marker)
{
    std::string bytes;
    if (std::FILE* file = _wfopen(marker.c_str(), L"rb")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            bytes.append(buffer, n);
        std::fclose(file);
    }
    return bytes;
}

} // namespace

void NotifyInterruptedRestore(const std::wstring& dataFolder)
{
    const std::wstring marker = RestoreMarkerPath(dataFolder);
    if (!IsFile(marker))
        return;
    const std::string bytes = ReadMarkerBytes(marker);
    // An unreadable marker still means a restore that did not finish.
    std::wstring markerText;
    try {
        markerText = Utf8ToWide(bytes);
    } catch (const std::exception&) {
    }
    Log(L"ERROR", L"A restore was interrupted; its marker reads: " + markerText);
    // The marker goes once the user has read the message: a start that ends
    // before that tells again. A marker written since (a new restore) is
    // not this one and stays.
    NotifyUserOnce(L"interruptedRestore", InterruptedRestoreText(markerText), [dataFolder, bytes] {
        const std::wstring path = RestoreMarkerPath(dataFolder);
        if (IsFile(path) && ReadMarkerBytes(path) == bytes)
            RemoveRestoreMarker(dataFolder);
    });
}

std::wstring RestoreFailureText(const RestoreResult& result)
{
    switch (result.stage) {
    case RestoreResult::Stage::NodeMissing:
        return L"备份节点不存在。";
    case RestoreResult::Stage::NodeIncomplete: {
        std::wstring names;
        for (const std::wstring& name : result.missingFiles)
            names += (names.empty() ? L"" : L"、") + name;
        return L"无法恢复：节点不完整，缺少 " + names + L"。\n未进行恢复，当前数据未更改。";
    }
    case RestoreResult::Stage::NodeDamaged:
        return L"无法恢复：节点中的 " + result.damagedFile + L" 已损坏，未能完整读取。\n未进行恢复，当前数据未更改。";
    case RestoreResult::Stage::PreRestoreNode:
        return L"无法在恢复前保存当前数据：" + CopyFailureText(result.copy) + L"\n未进行恢复，当前数据未更改。";
    case RestoreResult::Stage::Marker:
        return L"无法开始恢复：无法在数据文件夹中写入恢复记录 " + std::wstring(kRestoreMarker) + L"（" +
               ErrorReasonText(result.copy.error) + L"）。\n未进行恢复，当前数据未更改。";
    case RestoreResult::Stage::Copy:
        if (!result.putBack)
            return L"恢复失败：" + CopyFailureText(result.copy) + L"\n部分设置文件已被替换且未能全部还原。\n\n" +
                   MixedStoresText(L"", result.preRestoreNode, result.nodeFiles);
        return L"恢复失败：" + CopyFailureText(result.copy) + L"\n当前数据已保留，恢复前的数据另存于节点 " +
               fs::path(result.preRestoreNode).filename().wstring() + L"。";
    case RestoreResult::Stage::Done:
        break;
    }
    return {};
}

std::wstring RestoreDoneText(const std::wstring& node, const RestoreResult& result,
                             const std::vector<std::wstring>& unshownFolders)
{
    std::wstring text = L"已恢复节点 " + fs::path(node).filename().wstring() + L"。\n恢复前的数据已另存为节点 " +
                        fs::path(result.preRestoreNode).filename().wstring() + L"（" + result.preRestoreNode +
                        L"），可随时在“恢复”中选择它。";
    if (!unshownFolders.empty())
        text +=
            L"\n\n恢复后，以下收纳盒文件夹不再由任何收纳盒显示，其中的文件仍在原处：" + PathLinesText(unshownFolders);
    return text + L"\n\nTessik 将重新启动。";
}

std::wstring RestoreUndoneText(const RestoreResult& putBack)
{
    if (putBack.putBack)
        return std::wstring(L"无法重新启动 Tessik，恢复已撤销。") + kSavesStoppedText;
    return L"无法重新启动 Tessik，恢复前的设置文件也未能全部放回：" + CopyFailureText(putBack.copy) + L"\n\n" +
           MixedStoresText(L"", putBack.preRestoreNode, putBack.nodeFiles) + kSavesStoppedText;
}

namespace
{

constexpr wchar_t kAutoNodeWaitingMarker[] = L"AutoBackupNotKept.mark";

std::wstring AutoNodeWaitingPath(const std::wstring& dataFolder)
{
    return dataFolder + L"\\" + kAutoNodeWaitingMarker;
}

} // namespace

bool AutomaticNodeAwaitsKeeping(const std::wstring& dataFolder)
{
    // Anything at that name counts: it is never taken for "kept".
    return GetFileAttributesW(AutoNodeWaitingPath(dataFolder).c_str()) != INVALID_FILE_ATTRIBUTES;
}

AutomaticNodeKeeping KeepAutomaticNodeOrRemember(const std::wstring& dataFolder, const std::tm& localTime)
{
    AutomaticNodeKeeping keeping;
    keeping.node = KeepAutomaticNodeAside(dataFolder, localTime, keeping.copy);
    const std::wstring marker = AutoNodeWaitingPath(dataFolder);
    if (keeping.copy.ok) {
        if (AutomaticNodeAwaitsKeeping(dataFolder) && !RemoveItemWithoutFollowingLinks(marker))
            Log(L"ERROR", L"Could not remove " + marker + L" (error " + std::to_wstring(GetLastError()) + L")");
        return keeping;
    }
    LogCopyFailure(L"Setting the automatic node aside", keeping.copy);
    if (AutomaticNodeAwaitsKeeping(dataFolder)) {
        keeping.waiting = true;
        return keeping;
    }
    // An empty file: on a full disk its name still finds room where a copy
    // of the node does not.
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        keeping.waiting = true;
    } else {
        Log(L"ERROR", L"Could not write " + marker + L" (error " + std::to_wstring(GetLastError()) + L")");
    }
    return keeping;
}

std::wstring AutomaticNodeKeepingText(const AutomaticNodeKeeping& keeping)
{
    if (!keeping.node.empty())
        return L"自动备份节点中的数据已另存为节点“" + fs::path(keeping.node).filename().wstring() + L"”（" +
               keeping.node + L"），之后的自动备份不会覆盖它，可在设置的“恢复”中选择它。";
    if (keeping.copy.ok)
        return L""; // there is no automatic node yet
    const std::wstring reason =
        L"自动备份节点无法另存（" +
        (keeping.copy.failedFile.empty() ? std::wstring(L"无法创建文件夹") : L"无法复制 " + keeping.copy.failedFile) +
        L"，" + ErrorReasonText(keeping.copy.error) + L"）";
    if (keeping.waiting)
        return reason + L"。在它另存成功之前，自动备份不会覆盖它；之后每次启动和每次自动备份时都会再试。";
    return reason + L"，本次运行不会更新它；再次启动后的自动备份可能会覆盖它。";
}

std::vector<std::wstring> DamagedStoreNames()
{
    std::vector<std::wstring> names;
    for (const KelmStorage* store : {&s_appStore, &s_desktopContainerStore, &s_magnetStore, &s_quickPanelStore}) {
        if (store->FailedToParse() || store->Missing())
            names.push_back(fs::path(store->FileName()).filename().wstring());
    }
    return names;
}

bool AutoBackupDue(int& minuteCounter, int intervalMinutes)
{
    ++minuteCounter;
    if (intervalMinutes < 1 || minuteCounter < intervalMinutes)
        return false;
    minuteCounter = 0;
    return true;
}

const wchar_t* BackupIntervalText(int minutes)
{
    switch (minutes) {
    case 0:
        return L"从不自动备份";
    case 5:
        return L"每5分钟";
    case 10:
        return L"每10分钟";
    case 30:
        return L"每30分钟";
    default:
        return L"每小时";
    }
}

LogRemoval RemoveLogFiles(const std::wstring& folder, const std::wstring& keep)
{
    LogRemoval result;
    if (!IsFolder(folder))
        return result;
    result.folderFound = true;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        std::error_code same;
        if (!keep.empty() && fs::equivalent(it->path(), fs::path(keep), same)) {
            result.keptOpenLog = true;
            continue;
        }
        // A file the logger did not write is the user's: it stays, untold,
        // as a subfolder does.
        if (!IsProgramLogFile(it->path().wstring()))
            continue;
        if (DeleteFileW(it->path().c_str()))
            ++result.removed;
        else
            ++result.failed;
    }
    return result;
}

StoreCopyResult CopyStorageToBackupNode(const std::wstring& node)
{
    return CopyStoreFiles(s_dataFolder, node);
}

namespace
{

// The damaged stores' names as the backup messages list them.
std::wstring DamagedStoreLines(const std::vector<std::wstring>& names)
{
    std::wstring lines;
    for (const std::wstring& name : names)
        lines += L"\n    " + name;
    return lines;
}

} // namespace

void CreateManualBackupNode(HWND owner)
{
    std::wstring failedStore;
    if (!SaveAllStores(failedStore)) {
        MessageBoxW(owner, (L"无法保存 " + failedStore + L"，未创建节点。").c_str(), L"备份", MB_OK | MB_ICONERROR);
        return;
    }
    std::wstring node;
    const StoreCopyResult copy = CreateManualNodeFiles(s_dataFolder, LocalNow(), node);
    if (!copy.ok) {
        LogCopyFailure(L"Manual backup", copy);
        MessageBoxW(owner, (L"创建节点失败：" + CopyFailureText(copy)).c_str(), L"备份", MB_OK | MB_ICONERROR);
        return;
    }
    Log(L"INFO", L"Manual backup node written: " + node);
    const std::vector<std::wstring> damaged = DamagedStoreNames();
    if (damaged.empty()) {
        MessageBoxW(owner, L"成功创建节点。", L"备份", MB_OK);
        return;
    }
    const std::wstring text =
        L"成功创建节点。\n\n注意：启动时以下设置文件已损坏或缺失，未能完整读取，此节点保存的是读取后的数据：" +
        DamagedStoreLines(damaged);
    MessageBoxW(owner, text.c_str(), L"备份", MB_OK | MB_ICONWARNING);
}

void AutoBackupTick()
{
    // During a first run no store is loaded yet: the minutes still count,
    // but there is nothing to save.
    const int interval = s_configLoaded ? s_appStore[kRef][L"AutoBackupInterval"].Get<int>(10) : 10;
    if (!AutoBackupDue(s_autoBackupMinutes, interval) || !s_configLoaded)
        return;
    // After a restore began, the stores in memory are not what the data
    // folder holds: nothing of them goes into a node.
    if (KelmStorage::SavesStopped())
        return;
    const std::vector<std::wstring> damaged = DamagedStoreNames();
    if (!damaged.empty()) {
        const std::wstring text =
            L"启动时以下设置文件已损坏或缺失，未能完整读取：" + DamagedStoreLines(damaged) +
            L"\n\n为保留自动节点中完好的数据，本次运行不会更新自动节点。如需备份当前状态，请手动创建节点。";
        NotifyUserOnce(L"autoBackupKept", text);
        return;
    }
    // A start that could not set the automatic node aside left word of it:
    // the node holds a state that may be kept nowhere else.
    if (AutomaticNodeAwaitsKeeping(s_dataFolder)) {
        const AutomaticNodeKeeping keeping = KeepAutomaticNodeOrRemember(s_dataFolder, LocalNow());
        if (!keeping.copy.ok) {
            NotifyUserOnce(L"autoBackupNotKept", L"自动备份已暂停：" + AutomaticNodeKeepingText(keeping) +
                                                     L"\n如需备份当前状态，请手动创建节点。");
            return;
        }
        if (!keeping.node.empty())
            NotifyUserOnce(L"autoBackupNodeKept", AutomaticNodeKeepingText(keeping));
    }
    // A failure here tends to last (a full disk, a locked node): the user
    // hears of it once, and each later interval tries again.
    std::wstring failedStore;
    if (!SaveAllStores(failedStore)) {
        NotifyUserOnce(L"autoBackupFailed", L"自动备份失败：无法保存 " + failedStore +
                                                L"。\n自动备份节点保持原样，之后的自动备份会再次尝试。");
        return;
    }
    const StoreCopyResult copy = CopyStorageToBackupNode(AutoBackupFolder(s_dataFolder));
    if (!copy.ok) {
        LogCopyFailure(L"Automatic backup", copy);
        // Only a rename that failed after others succeeded leaves some
        // files of the node newer than the rest.
        const std::wstring node = copy.replaced == 0
                                      ? L"自动备份节点保持原样"
                                      : L"自动备份节点中只有 " + std::to_wstring(copy.replaced) + L" 个文件已更新";
        NotifyUserOnce(L"autoBackupFailed",
                       L"自动备份失败：" + CopyFailureText(copy) + L"\n" + node + L"，之后的自动备份会再次尝试。");
    }
}

void ShowBackupIntervalMenu(HWND owner, int x, float y)
{
    POINT at{static_cast<int>((x + 110) * DpiScale), static_cast<int>((y + 70) * DpiScale)};
    ClientToScreen(owner, &at);
    std::vector<Brevin::KelmOption> options;
    for (int minutes : {0, 5, 10, 30, 60})
        options.emplace_back(
            BackupIntervalText(minutes), [owner, minutes] { SetAutoBackupInterval(owner, minutes); }, 1);
    KelmMenu::Show(owner, at.x, at.y, options, kIntervalMenuWidth, 0);
}

void SetAutoBackupInterval(HWND owner, int minutes)
{
    s_autoBackupIntervalText = BackupIntervalText(minutes);
    s_appStore[kRef][L"AutoBackupInterval"] = minutes;
    SaveSettingsStore(s_appStore, L"自动备份间隔无法保存，下次启动时将恢复原来的设置。");
    InvalidateRect(owner, nullptr, FALSE);
}

void ShowRestoreChooser(HWND owner)
{
    // From the chooser on, no box takes files: what came in now would land
    // in a folder the restored boxes may not show, after the list of such
    // folders was made.
    const FileActionGate::Closing closing(kRestoringText);
    const std::wstring userBackups = UserBackupsFolder(s_dataFolder);
    // The popup runs its own message loop: the restore (which may end the
    // process or show its own messages) runs after it has closed.
    std::wstring chosen;
    std::vector<Brevin::KelmOption> options;
    const std::wstring automatic = AutoBackupFolder(s_dataFolder);
    options.emplace_back(
        L"恢复到上一个自动节点", [&chosen, automatic] { chosen = automatic; }, 1);
    for (const std::wstring& name : ListManualBackupNodes(userBackups)) {
        const std::wstring folder = userBackups + L"\\" + name;
        options.emplace_back(
            name.c_str(), [&chosen, folder] { chosen = folder; }, 1);
    }
    NewPopupSelection::Create(owner, L"请选择恢复到的节点", L"恢复", std::move(options), L"", L"取消");
    if (s_selectionOk == 1 && !chosen.empty())
        RestoreBackupNode(owner, chosen);
}

void RestoreBackupNode(HWND owner, const std::wstring& node)
{
    if (s_restoreRefused && s_restoreRefused()) {
        ShowPendingNotices(owner);
        return;
    }
    // Until the process ends for its restart, or the restore is given up.
    const FileActionGate::Closing closing(kRestoringText);
    // From the first copied file on, what this process holds in memory
    // must never be saved over what the restore brought back.
    const RestoreResult result = RestoreNodeFiles(node, s_dataFolder, LocalNow(), KelmStorage::StopAllSavesForRestore);
    if (result.stage == RestoreResult::Stage::NodeMissing) {
        MessageBoxW(owner, L"备份节点不存在。", L"错误", MB_ICONERROR);
        return;
    }
    if (result.stage == RestoreResult::Stage::NodeIncomplete || result.stage == RestoreResult::Stage::NodeDamaged) {
        Log(L"ERROR", L"Restore of " + node + L" refused: the node is incomplete or damaged");
        MessageBoxW(owner, RestoreFailureText(result).c_str(), L"错误", MB_OK | MB_ICONERROR);
        return;
    }
    if (result.stage != RestoreResult::Stage::Done) {
        LogCopyFailure(L"Restore of " + node, result.copy);
        std::wstring text = RestoreFailureText(result);
        if (KelmStorage::SavesStopped())
            text += kSavesStoppedText;
        MessageBoxW(owner, text.c_str(), L"错误", MB_OK | MB_ICONERROR);
        return;
    }
    Log(L"INFO", L"Restored " + node + L"; the stores before it are in " + result.preRestoreNode);
    // The boxes of now that the node lacks are gone after the restart; their
    // folders and files stay, and the user hears where.
    const auto roots = [](const KelmStorage& store, const wchar_t* name) -> const KelmStorageNestedObject* {
        const auto found = store.Roots().find(name);
        return found == store.Roots().end() ? nullptr : &found->second;
    };
    const std::vector<std::wstring> unshown = FoldersNoBoxWillShow(
        BoxFoldersOfStores(roots(s_desktopContainerStore, L"Components"), roots(s_quickPanelStore, L"TempList"), false),
        NodeBoxFolders(node));
    for (const std::wstring& folder : unshown)
        Log(L"INFO", L"Restore: no box of the restored state shows " + folder);
    // Told before the restart: the new process waits for this one to end.
    MessageBoxW(owner, RestoreDoneText(node, result, unshown).c_str(), L"恢复", MB_OK | MB_ICONINFORMATION);
    // Ended as a quit ends: jobs stopped, kept copies let go.
    const bool clean = LetGoBeforeOwnRestart();
    if (!StartRestartedProcess()) {
        // This process keeps running with the stores it has in memory; the
        // restored files go back so that what the user sees is what the
        // data folder holds, and what could not go back is named.
        const RestoreResult back = PutBackAfterRestore(node, s_dataFolder, result);
        MessageBoxW(owner, RestoreUndoneText(back).c_str(), L"错误", MB_OK | MB_ICONERROR);
        return;
    }
    // Nothing is saved on the way out: the restored files stay as copied.
    if (IsWindow(owner))
        DestroyWindow(owner);
    EndForOwnRestart(clean);
}

namespace
{
std::vector<std::wstring> StoredBoxFolders();
} // namespace

UserDataClearingHooks s_userDataClearingHooks;
std::function<bool()> s_restoreRefused;

void ConfirmClearUserData(HWND owner)
{
    // A job still copying would write into a box folder whose undo copies
    // are let go below, and its replaced files would stay in the temporary
    // folder.
    auto refused = [] { return s_userDataClearingHooks.refused && s_userDataClearingHooks.refused(); };
    if (refused())
        return;
    // From the first question on, no box or side window takes files or
    // starts a job: one that did would leave what it replaced in a
    // temporary folder nothing sweeps any more.
    const FileActionGate::Closing closing(L"清除用户数据");
    bool confirmed = false;
    std::vector<Brevin::KelmOption> options;
    options.emplace_back(
        L"清除并退出程序", [&confirmed] { confirmed = true; }, 1);
    NewPopupSelection::Create(owner, L"确定要清除所有用户数据吗？\n（此操作不可撤销）", L"清除", std::move(options),
                              L"", L"取消");
    if (s_selectionOk != 1 || !confirmed)
        return;
    // The boxes' folders are the user's files and stay: before anything
    // goes, the user hears where they are (the card above has room for its
    // two lines only).
    const std::wstring kept = KeptBoxFoldersQuestionText(StoredBoxFolders());
    if (!kept.empty() && MessageBoxW(owner, kept.c_str(), L"清除", MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return;
    // A job may have started while the questions were open.
    if (refused())
        return;
    ClearUserDataAndExit();
}

namespace
{

void AddTargetFolders(KelmStorage& store, const wchar_t* root, std::vector<std::wstring>& folders)
{
    try {
        for (const auto& [key, value] : store.GetRootObject(root).members) {
            const auto* object = std::get_if<std::shared_ptr<KelmStorageNestedObject>>(&value);
            if (!object || !*object)
                continue;
            const auto found = (*object)->members.find(L"TargetFolder");
            if (found == (*object)->members.end())
                continue;
            if (const auto* folder = std::get_if<std::wstring>(&found->second))
                folders.push_back(NormalizeStoredPath(*folder));
        }
    } catch (const std::exception&) {
        // No such root: no boxes of that kind.
    }
}

// Every folder a box keeps its files in, as the stores name them.
std::vector<std::wstring> StoredBoxFolders()
{
    std::vector<std::wstring> folders;
    if (!s_configLoaded)
        return folders;
    folders.push_back(NormalizeStoredPath(s_appStore[kRef][L"containerDir"].Get<std::wstring>(L"")));
    AddTargetFolders(s_desktopContainerStore, L"Components", folders);
    AddTargetFolders(s_quickPanelStore, L"TempList", folders);
    std::erase_if(folders, [](const std::wstring& folder) { return folder.empty() || folder == L"bvn!NULL"; });
    return folders;
}

std::wstring ClearingReportText(const DataFolderClearing& clearing, const std::vector<std::wstring>& kept)
{
    std::wstring text = L"用户数据未能全部清除，以下内容仍在数据文件夹中：" + PathLinesText(clearing.failed);
    if (!clearing.spared.empty()) {
        text += L"\n\n收纳盒的文件夹不属于用户数据，已保留：";
        for (const std::wstring& folder : clearing.spared)
            text += L"\n" + folder;
    }
    if (!kept.empty())
        text += L"\n\n以下收纳盒的文件夹中仍有文件，已保留：" + PathLinesText(kept);
    return text;
}

} // namespace

DataFolderClearing ClearDataFolder(const std::wstring& dataFolder, const std::vector<std::wstring>& boxFolders)
{
    DataFolderClearing clearing;
    if (!MayRemoveFolder(dataFolder, {})) {
        clearing.failed.push_back(dataFolder);
        return clearing;
    }
    RemovalReport report;
    RemoveItemWithoutFollowingLinks(dataFolder, &report, [&](const std::wstring& path) {
        const bool box = std::any_of(boxFolders.begin(), boxFolders.end(),
                                     [&](const std::wstring& folder) { return SameLocation(path, folder); });
        if (box)
            clearing.spared.push_back(path);
        return box;
    });
    for (const std::wstring& path : report.stayed)
        if (std::find(clearing.spared.begin(), clearing.spared.end(), path) == clearing.spared.end())
            clearing.failed.push_back(path);
    return clearing;
}

void ClearUserDataAndExit()
{
    // The copies kept for undo are the user's files: each reaches the
    // Recycle Bin or comes into view before the list of where they lie goes
    // with the data folder.
    if (s_userDataClearingHooks.beforeClearing)
        s_userDataClearingHooks.beforeClearing(s_mainWindow ? s_mainWindow->GetHwnd() : nullptr);
    // Asked once more right before anything is removed: the report above
    // ran a message loop.
    if (s_userDataClearingHooks.refused && s_userDataClearingHooks.refused())
        return;
    FileActionGate::CloseForGood(L"清除用户数据");
    // Read while the stores are still at hand: a box's folder is the
    // user's files, never part of the program's data.
    const std::vector<std::wstring> boxFolders = StoredBoxFolders();
    // The stores in memory are no longer the user's: the automatic backup,
    // which may still come while the report below is shown, must not write
    // them back into the folder being cleared, and neither may a save that
    // is still being retried or one a box makes while the report is shown.
    s_configLoaded = false;
    KelmStorage::StopAllSavesForRestore();
    Logger::GetInstance().Stop();
    RemoveLogFiles(s_dataFolder + L"\\logs", L"");
    if (!s_iconFontPath.empty())
        RemoveFontResourceW(s_iconFontPath.c_str());
    // The private DirectWrite collection keeps the font file open, and an
    // open file keeps the data folder from going. Nothing is drawn again.
    s_iconFontCollection.Reset();
    TextFormatCache.clear();
    const DataFolderClearing clearing = ClearDataFolder(s_dataFolder, boxFolders);
    // Nothing of this run is kept any more: its temporary folders are free.
    s_tempFolderUse.EndCleanly();
    // On a first run the font lies in the temporary folder: only that one
    // file goes, the folder's other contents are not ours.
    if (s_fontInTempFolder && !s_iconFontPath.empty()) {
        RemoveFontResourceW(s_iconFontPath.c_str());
        DeleteFileW(s_iconFontPath.c_str());
    }
    if (HWND main = s_mainWindow->GetHwnd())
        DestroyWindow(main);
    // The boxes' folders stay with the user's files in them; the next
    // start shows none of them, so the user hears where they are.
    const std::vector<std::wstring> kept = FoldersHoldingFiles(boxFolders);
    if (clearing.failed.empty() && clearing.spared.empty() && kept.empty())
        EndProcessNow(0);
    if (clearing.failed.empty()) {
        std::vector<std::wstring> named = kept;
        for (const std::wstring& folder : OutermostFolders(clearing.spared))
            if (std::find(named.begin(), named.end(), folder) == named.end())
                named.push_back(folder);
        MessageBoxW(nullptr, UserDataClearedText(named).c_str(), L"Tessik", MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
        EndProcessNow(0);
    }
    // The data folder stays, so a log in it may say what stayed and why.
    const std::wstring text = ClearingReportText(clearing, kept);
    {
        Logger late;
        late.Init(s_dataFolder);
        std::wstring line = text;
        std::replace(line.begin(), line.end(), L'\n', L' ');
        late.Log(L"Tessik", L"ERROR", L"Clearing user data did not finish: " + line);
        late.Stop();
    }
    // Task-modal: the boxes still on the desktop take no drag or edit, each
    // of which would save a store into the data folder again.
    MessageBoxW(nullptr, text.c_str(), L"Tessik", MB_OK | MB_ICONWARNING | MB_TASKMODAL);
    EndProcessNow(1);
}
