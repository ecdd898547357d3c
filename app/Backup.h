// Backups of the user's state: a node is a folder holding copies of the four
// store files. Manual nodes live in "\Backups\UserBackups" under the data
// folder, the one automatic node in "\Backups\AutoBackup". Restoring copies
// a node back and restarts the program; clearing deletes the data folder
// and ends it. UI thread only.
#pragma once

#include <windows.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

// The store files of a node, in the order they are copied.
inline constexpr const wchar_t* kBackupStoreFiles[] = {L"Tessik.kelm", L"DesktopContainer.kelm", L"MagnetCom.kelm",
                                                       L"QuickPanelCom.kelm"};

// "bk_YYYY_MM_DD_HH_MM" of a local time.
std::wstring BackupNodeName(const std::tm& localTime);
std::wstring UserBackupsFolder(const std::wstring& dataFolder);
std::wstring AutoBackupFolder(const std::wstring& dataFolder);
// Names of the folders directly inside the folder that begin with "bk_",
// newest (greatest) first; empty when the folder is missing.
std::vector<std::wstring> ListManualBackupNodes(const std::wstring& userBackupsFolder);

// What a copy of the store files did. A copy goes through temporary files
// and stops at the first error, naming the file and the system's code.
struct StoreCopyResult {
    bool ok = true;
    std::wstring failedFile; // empty when the target folder was the problem
    DWORD error = 0;
    int replaced = 0;                        // target files replaced before it stopped
    std::vector<std::wstring> replacedFiles; // their names, in that order
};
// Copies those of the store files that exist in `from` into `to`
// (created with its parents): each is first copied beside its target and,
// only when every copy is complete, renamed over it. Missing files are
// skipped.
StoreCopyResult CopyStoreFiles(const std::wstring& from, const std::wstring& to);

// A new node: the first of `base`, `base_2`, `base_3` ... that does not
// exist yet is created (an existing node is never written into) and the
// store files of `from` are copied into it. When the copy fails the new
// folder is removed again, so a failed backup leaves no node behind.
// `node` names the folder made (empty when none could be made).
StoreCopyResult CopyStoresIntoNewNode(const std::wstring& from, const std::wstring& base, std::wstring& node);

// A manual node of that minute holding the data folder's store files;
// two in one minute are two nodes.
StoreCopyResult CreateManualNodeFiles(const std::wstring& dataFolder, const std::tm& localTime, std::wstring& node);

// A start that read a store damaged or found one missing will save the
// reduced state, and the next start, reading it completely, would let the
// automatic backup replace the good node with it. The automatic node is
// therefore set aside as a manual node of its own, "bk_..._auto", which no
// tick and no start replaces and "恢复" lists. Returns that node (one set
// aside before with the same files is reused), or empty text when there is
// no automatic node or it could not be copied (`copy` says why).
std::wstring KeepAutomaticNodeAside(const std::wstring& dataFolder, const std::tm& localTime, StoreCopyResult& copy);

struct RestoreResult {
    enum class Stage {
        Done,
        NodeMissing,
        NodeIncomplete,
        NodeDamaged,
        PreRestoreNode,
        Marker,
        Copy
    } stage = Stage::Done;
    StoreCopyResult copy;
    std::wstring preRestoreNode;
    std::wstring damagedFile;               // the node's store that does not read completely
    std::vector<std::wstring> missingFiles; // the node's stores that are not there
    // Stage::Copy: the stores it had replaced are all back (false: the data
    // folder holds stores of two states).
    bool putBack = true;
    // When putBack is false: the stores that hold the node's state; the
    // others hold the state before the restore.
    std::vector<std::wstring> nodeFiles;
};
// Checks that the node holds every store file and that each reads
// completely and holds its own root (kStoreOwnRoot), saves the current
// store files into a new pre-restore node, then copies the node's files
// into the data folder (`beforeCopy` runs right before that copy). Nothing
// of the data folder changes unless the node is whole and sound and the
// pre-restore node is complete and a marker naming both nodes was written
// into the data folder (Stage::Marker when it could not be). When the copy
// back fails after some files were replaced, the pre-restore files are put
// back. The marker goes once the data folder holds one whole state again;
// it stays when the process ends in between or the put-back fails.
RestoreResult RestoreNodeFiles(const std::wstring& node, const std::wstring& dataFolder, const std::tm& localTime,
                               const std::function<void()>& beforeCopy = {});
// A restore done whose restart failed: the pre-restore stores go back.
// The marker is written again first and goes only when every store is
// back; otherwise it names the stores left with the node's state, which
// the result lists (putBack false, nodeFiles).
RestoreResult PutBackAfterRestore(const std::wstring& node, const std::wstring& dataFolder, const RestoreResult& done);
// Whether a restore marker lies in the data folder (a restore was cut off
// or could not be put back).
bool RestoreMarkerFound(const std::wstring& dataFolder);
// Start-up: a marker left in the data folder means a restore was cut off
// and the stores may mix two states. The user is told once (the node being
// restored, the pre-restore node, which "恢复" lists, and the stores known
// to hold the node's state); the marker goes once the message has been
// closed, so a start ended before that tells again. Nothing is restored by
// itself.
void NotifyInterruptedRestore(const std::wstring& dataFolder);
// The Chinese message for a failed restore, and for a restore done; the
// latter names the box folders that hold files and that no box of the
// restored state shows.
std::wstring RestoreFailureText(const RestoreResult& result);
std::wstring RestoreDoneText(const std::wstring& node, const RestoreResult& result,
                             const std::vector<std::wstring>& unshownFolders = {});
// The message when the restart after a restore failed and the stores were
// put back as far as they could be.
std::wstring RestoreUndoneText(const RestoreResult& putBack);

// The automatic node of a start whose stores may not be whole (one read
// damaged or missing, or a restore cut off) is set aside before any tick
// could replace it. When that fails the failure is remembered in the data
// folder, and every later start and tick tries again; no tick writes the
// automatic node while it waits.
struct AutomaticNodeKeeping {
    std::wstring node; // the node it was kept as (empty: none, or failed)
    StoreCopyResult copy;
    bool waiting = false; // not kept; the data folder remembers it
};
AutomaticNodeKeeping KeepAutomaticNodeOrRemember(const std::wstring& dataFolder, const std::tm& localTime);
// A set-aside failed before and waits to be done.
bool AutomaticNodeAwaitsKeeping(const std::wstring& dataFolder);
// The sentence of a start-up notice that says what became of it.
std::wstring AutomaticNodeKeepingText(const AutomaticNodeKeeping& keeping);

// The names of the store files that were read damaged or found missing at
// this start (empty when every store read completely).
std::vector<std::wstring> DamagedStoreNames();

// One minute more on the counter; true (and the counter reset) when an
// interval of at least one minute has been reached.
bool AutoBackupDue(int& minuteCounter, int intervalMinutes);

// The shown text of the backup interval row: 0, 5, 10, 30 their own text,
// anything else "每小时".
const wchar_t* BackupIntervalText(int minutes);
// The row's text, set on the settings page's first paint and by the menu.
extern std::wstring s_autoBackupIntervalText;

// Removes the regular files of a log folder (sub-folders stay), except
// `keep` (the log file this process has open; empty keeps none).
struct LogRemoval {
    bool folderFound = false;
    int removed = 0;
    int failed = 0;
    bool keptOpenLog = false;
};
LogRemoval RemoveLogFiles(const std::wstring& folder, const std::wstring& keep);

// Copies the data folder's store files into the node.
StoreCopyResult CopyStorageToBackupNode(const std::wstring& node);
// "创建手动节点": a new manual node of this minute; "成功创建节点。" only
// when every store was saved and copied.
void CreateManualBackupNode(HWND owner);
// The 60 000 ms timer step: writes the automatic node every
// "AutoBackupInterval" minutes (default 10; 0 never), except while a store
// read damaged at start would replace the good state it holds; the user is
// told once why. A tick that cannot save or copy leaves the node as it was
// and is told once per run.
void AutoBackupTick();
// The interval menu below the settings row at (x, y) DIPs.
void ShowBackupIntervalMenu(HWND owner, int x, float y);
void SetAutoBackupInterval(HWND owner, int minutes);
// "恢复": the choice of the automatic node or a manual node.
void ShowRestoreChooser(HWND owner);
// Restores a node and restarts; on any failure reports it and keeps
// running with the data folder as it was.
void RestoreBackupNode(HWND owner, const std::wstring& node);
// What clearing the data folder left: what could not be removed, and the
// box folders inside it, which are never removed.
struct DataFolderClearing {
    std::vector<std::wstring> failed;
    std::vector<std::wstring> spared;
};
// Removes the data folder with what it holds, never through a link (a link
// goes as a link) and never a box's folder nor anything in it.
DataFolderClearing ClearDataFolder(const std::wstring& dataFolder, const std::vector<std::wstring>& boxFolders);
// What clearing user data needs of the file operations, which the core
// does not see: set by the entry. refused: a file job runs (the user was
// told, nothing is cleared). beforeClearing: every undo record leaves and
// every known temporary folder is swept, as at quit, and the user is told
// where the copies went, before the data folder and its list go.
struct UserDataClearingHooks {
    std::function<bool()> refused;
    std::function<void(HWND owner)> beforeClearing;
};
extern UserDataClearingHooks s_userDataClearingHooks;
// Whether a restore must wait (the user then told): the files it would
// bring back replace the stores a running job or an open question acts on.
extern std::function<bool()> s_restoreRefused;
// "清除用户数据": asks, then clears and ends the process; refused while a
// file job runs, asked again before anything goes.
void ConfirmClearUserData(HWND owner);
// Ends with 0 when the data folder is gone; when anything stayed, tells the
// user what, logs it and ends with 1. Returns only when a file job runs
// right before anything would be removed (the user was told).
void ClearUserDataAndExit();
