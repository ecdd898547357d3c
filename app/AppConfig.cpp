#include "app/AppConfig.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <system_error>

#include "app/AppState.h"
#include "app/Backup.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/KelmStorage.h"
#include "app/LogFiles.h"
#include "app/Logger.h"
#include "app/StoreTextFormat.h"
#include "app/TempFolderUse.h"
#include "app/UserNotice.h"
#include "box/BoxServices.h"
#include "mainwindow/FirstRunPages.h"
#include "sidewindows/magwin/TessikMagWin.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/TextHelpers.h"
#include "ui/core/ThemeColors.h"

namespace
{

const wchar_t kRef[] = L"TessikRef";
const wchar_t kModule[] = L"Tessik";
// Notice kinds: every problem of one kind is told once.
const wchar_t kDataNotice[] = L"data";
const wchar_t kContainerNotice[] = L"containerDir";

// Whether a store file may be there. Only "file not found" or "path not
// found" says it is not: a share that is down must not make a first start
// (whose defaults would then be saved over the user's file). Nor may a
// folder standing at the store's name: it cannot be read, and the store
// it replaced was the user's.
bool StoreMayExist(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return !IsMissingFileError(GetLastError());
    return true;
}

DataFolderStores StoresIn(const std::wstring& folder)
{
    DataFolderStores stores;
    stores.settings = StoreMayExist(folder + L"\\Tessik.kelm");
    for (const wchar_t* name : kBackupStoreFiles)
        stores.any = stores.any || StoreMayExist(folder + L"\\" + name);
    return stores;
}

// Stores of this start that did not read completely or were missing.
std::vector<const KelmStorage*> s_damagedStores;
// Stores this start read completely but had to change, with the copy of
// the bytes the load kept (empty: the next save keeps it or fails).
std::vector<std::pair<const KelmStorage*, std::wstring>> s_changedStores;

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    const size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

std::wstring PerUserFolder()
{
    wchar_t appData[MAX_PATH] = {};
    GetAppDataShortPath(appData);
    return std::wstring(appData) + L"\\Ormund\\Tessik";
}

std::wstring StorePath(const wchar_t* fileName)
{
    return s_dataFolder + L"\\" + fileName;
}

void LogError(const std::wstring& text)
{
    Logger::GetInstance().Log(kModule, L"ERROR", text);
}

void NotifyDataNotKept(const std::wstring& detail)
{
    NotifyUserOnce(kDataNotice, L"无法在数据文件夹“" + s_dataFolder + L"”中保存数据（" + detail +
                                    L"）。\n本次运行中的设置和收纳盒更改将不会被保存。");
}

// A store that exists but cannot be read stays unloaded, so it is never
// saved over; the program goes on with its defaults. folderInUse: the data
// folder holds stores already, and every start writes all four, so a
// missing one was lost, not new.
void LoadStore(KelmStorage& store, const wchar_t* fileName, bool folderInUse)
{
    const std::wstring path = StorePath(fileName);
    try {
        store.Load(path, kStoreOwnRoot, folderInUse);
        if (store.Missing()) {
            s_damagedStores.push_back(&store);
            Logger::GetInstance().Log(kModule, L"WARNING",
                                      path + L" is missing from a data folder in use; it starts empty.");
        } else if (store.LoadedEmptyFile()) {
            s_damagedStores.push_back(&store);
            Logger::GetInstance().Log(kModule, L"WARNING", path + L" is empty; it starts empty.");
        } else if (store.FailedToParse()) {
            s_damagedStores.push_back(&store);
            Logger::GetInstance().Log(
                kModule, L"WARNING",
                L"Could not read " + path + L" completely; its original bytes are kept in " +
                    (store.BackupPath().empty() ? path + L".N.bak before the next save" : store.BackupPath()) + L".");
        } else if (store.LoadChanges().Any()) {
            s_changedStores.emplace_back(&store, store.BackupPath());
            Logger::GetInstance().Log(
                kModule, L"WARNING",
                L"Reading " + path + L" changed it; its original bytes are kept in " +
                    (store.BackupPath().empty() ? path + L".N.bak before the next save" : store.BackupPath()) + L".");
        }
    } catch (const std::exception& error) {
        LogError(L"Could not load " + path + L": " + Utf8ToWide(error.what()));
        NotifyUserOnce(std::wstring(L"load:") + fileName,
                       L"无法读取设置文件“" + path + L"”。\n该文件保持原样，本次运行中对它的更改不会被保存。");
    }
}

// atStartUp: a save that changes what the file held keeps those bytes
// first, so a store the program misread is never lost by starting.
bool SaveStore(KelmStorage& store, bool atStartUp = false)
{
    try {
        if (!atStartUp) {
            store.Save();
            return true;
        }
        const std::wstring copy = store.SaveKeepingLoadedBytes();
        if (!copy.empty())
            Logger::GetInstance().Log(kModule, L"WARNING",
                                      L"The start changed " + store.FileName() + L"; its previous bytes are kept in " +
                                          copy + L".");
        return true;
    } catch (const std::exception& error) {
        LogError(L"Could not save " + store.FileName() + L": " + Utf8ToWide(error.what()));
        // A loaded store whose start-up write failed (a file held by
        // another program, a full volume) is saved again like any other
        // failed save: the user hears that it is kept and retried, which
        // is true, and the store lands once the file can be written.
        if (atStartUp && store.IsLoaded())
            return store.Save();
        if (store.IsLoaded())
            NotifyDataNotKept(L"无法写入文件");
        return false;
    }
}

// What became of the automatic node in a start whose stores may not be
// whole: this start saves what it read, and the next start would back it
// up over the node, so the node is set aside first. A set-aside that
// failed before is tried again at every start.
std::wstring KeepAutomaticNodeForStart()
{
    if (s_damagedStores.empty() && !RestoreMarkerFound(s_dataFolder) && !AutomaticNodeAwaitsKeeping(s_dataFolder))
        return L"";
    const AutomaticNodeKeeping keeping =
        KeepAutomaticNodeOrRemember(s_dataFolder, LocalTimeOf(std::chrono::system_clock::now()));
    if (!keeping.node.empty())
        Logger::GetInstance().Log(kModule, L"WARNING", L"The automatic backup node is kept as " + keeping.node + L".");
    return AutomaticNodeKeepingText(keeping);
}

// Tells the user once where the originals of the damaged stores and of the
// stores the start had to change are, and where the automatic node's state
// is kept.
void NotifyStoresOfStart(const std::wstring& automaticNode)
{
    std::wstring text;
    if (!s_damagedStores.empty()) {
        text = L"以下设置文件已损坏或缺失，未能完整读取：\n";
        for (const KelmStorage* store : s_damagedStores) {
            text += L"\n“" + store->FileName() + L"”\n";
            if (store->Missing())
                text += L"    文件不存在。\n";
            else if (store->LoadedEmptyFile())
                text += L"    文件为空。\n";
            else if (store->BackupPath().empty())
                text += L"    原始内容无法另存，该文件不会被覆盖。\n";
            else
                text += L"    原始内容已保存为“" + store->BackupPath() + L"”。\n";
        }
        text += L"\n未能读取的设置和收纳盒已恢复为默认值。";
    }
    if (!s_changedStores.empty()) {
        text += text.empty() ? L"" : L"\n\n";
        text += L"以下设置文件在启动时需要修改才能使用：\n";
        for (const auto& [store, copy] : s_changedStores)
            text += ChangedStoreText(store->FileName(), store->LoadChanges(), copy);
    }
    if (!automaticNode.empty())
        text += (text.empty() ? L"" : L"\n\n") + automaticNode;
    if (!text.empty())
        NotifyUserOnce(L"damagedStores", text);
}

bool CreateFolder(const std::wstring& folder)
{
    try {
        return !folder.empty() && EnsureDirectory(folder.c_str());
    } catch (const std::exception& error) {
        LogError(L"Could not create " + folder + L": " + Utf8ToWide(error.what()));
        return false;
    }
}

std::vector<std::pair<std::wstring, UINT>> ListDrives()
{
    std::vector<std::pair<std::wstring, UINT>> drives;
    wchar_t buffer[512] = {};
    const DWORD length = GetLogicalDriveStringsW(511, buffer);
    if (length == 0 || length > 511)
        return drives;
    for (const wchar_t* drive = buffer; *drive; drive += wcslen(drive) + 1)
        drives.emplace_back(drive, GetDriveTypeW(drive));
    return drives;
}

void RemoveOldLogs()
{
    if (s_appStore[kRef][L"logMode"].Get<int>(1) != 1)
        return;
    const std::wstring folder = s_dataFolder + L"\\logs";
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return;
    const LogCleanupResult result = RemoveExpiredLogFiles(folder, std::chrono::system_clock::now());
    if (!result.listed) {
        LogError(L"Could not list the log folder " + folder);
        NotifyUserOnce(L"logs", L"无法读取日志文件夹“" + folder + L"”，旧日志未能清理。");
    }
}

void EnsureContainerFolder()
{
    const std::wstring folder = s_appStore[kRef][L"containerDir"].Get<std::wstring>(L"");
    if (folder.empty()) {
        LogError(L"No containerDir is set.");
        NotifyUserOnce(kContainerNotice,
                       L"未设置收纳盒文件夹，普通收纳盒将无法存放文件。\n请在设置中选择收纳盒文件夹。");
        return;
    }
    if (!CreateFolder(NormalizeStoredPath(folder)))
        NotifyUserOnce(kContainerNotice, ContainerFolderNotMadeText(folder));
}

void RecreateBoxes()
{
    KelmStorageNestedObject* components = nullptr;
    try {
        components = &s_desktopContainerStore.GetRootObject(L"Components");
    } catch (const std::exception& error) {
        std::cerr << "Error accessing root object: " << error.what() << std::endl;
    }
    if (components) {
        // The creator may add members; walk a copy of the ordered list.
        const KelmStorageMemberMap members = components->members;
        for (const auto& [key, value] : members) {
            if (value.index() != 4) {
                std::wcerr << L"Warning: Root key '" << key << L"' is not a nested object. Skipping." << std::endl;
                continue;
            }
            const auto& object = std::get<4>(value);
            if (!object)
                continue;
            const auto id = object->members.find(L"id");
            if (id == object->members.end()) {
                std::wcerr << L"Warning: Component '" << key << L" ' is missing the 'id' key. Skipping." << std::endl;
                continue;
            }
            if (id->second.index() != 3) {
                std::wcerr << L"Warning: Key 'id' in component '" << key << L"' is not a wstring. Skipping."
                           << std::endl;
                continue;
            }
            TessikDesktopContainer::CreateCom(std::get<3>(id->second), L"NULL", false, 1);
        }
    }
    std::cout << "-Complete" << std::endl;
}

void EndFirstRun()
{
    s_firstRunPageState = 0;
    s_isFirstRun = false;
    s_appStore[kRef][L"NewComer"] = false;
    SaveStore(s_appStore);
    HoverAnimationCount = 0;
}

} // namespace

std::wstring ChangedStoreText(const std::wstring& file, const StoreLoadChanges& changes, const std::wstring& copy)
{
    std::wstring text = L"\n“" + file + L"”\n";
    if (changes.linesNotUtf8 > 0)
        text +=
            L"    有 " + std::to_wstring(changes.linesNotUtf8) +
            L" 行不是 UTF-8 编码（可能由其他编辑器以旧编码保存），已按系统默认编码读取，请检查其中的名称是否正确。\n";
    for (const std::wstring& root : changes.repeatedRoots)
        text += L"    “" + root + L"”出现了多次，已合并为一个；名称相同的项以后出现的为准。\n";
    for (const std::wstring& root : changes.droppedRoots)
        text += L"    无法识别的部分“" + root + L"”未被读取，保存时不会保留。\n";
    if (copy.empty())
        return text + L"    原始内容暂时无法另存；在另存成功之前，该文件不会被覆盖。\n";
    return text + L"    原始内容已保存为“" + copy + L"”。\n";
}

std::wstring ContainerFolderNotMadeText(const std::wstring& storedFolder)
{
    return L"无法创建收纳盒文件夹“" + NormalizeStoredPath(storedFolder) +
           L"”（驱动器可能不存在）。\n普通收纳盒将无法存放文件，请在设置中选择其他文件夹。";
}

void WriteFirstStartDefaults(const std::wstring& containerDir)
{
    s_appStore[kRef][L"NewComer"] = true;
    s_desktopContainerStore[kRef][L"dragTip"] = true;
    s_appStore[kRef][L"themeBaseColor"] = ColorToHex(RGB(255, 255, 255));
    s_appStore[kRef][L"containerDir"] = containerDir;
}

DataFolderChoice ChooseDataFolder(bool afterChoice, int firstRunDataChoice, DataFolderStores portable,
                                  DataFolderStores perUser, const std::wstring& portableFolder,
                                  const std::wstring& perUserFolder)
{
    if (afterChoice)
        return {firstRunDataChoice == 1 ? portableFolder : perUserFolder, false};
    if (portable.settings)
        return {portableFolder, false};
    if (perUser.settings)
        return {perUserFolder, false};
    // A folder that lost "Tessik.kelm" but holds the other stores is the
    // user's: a first run would hide its boxes, or give it a new box root.
    if (portable.any)
        return {portableFolder, false};
    if (perUser.any)
        return {perUserFolder, false};
    return {perUserFolder, true};
}

std::wstring ChooseContainerRoot(const std::vector<std::pair<std::wstring, UINT>>& drives,
                                 const std::wstring& randomHex)
{
    const std::wstring suffix = L".tessik\\user_storage\\u_" + randomHex.substr(0, 6);
    for (const auto& [root, type] : drives) {
        if (root == L"C:\\" || root == L"c:\\")
            continue;
        if (type == DRIVE_REMOVABLE || type == DRIVE_FIXED)
            return root + suffix;
    }
    return L"C:\\" + suffix;
}

bool ScaleRectToScreen(int& x, int& y, int& width, int& height, int baseWidth, int baseHeight, int screenWidth,
                       int screenHeight)
{
    if (baseWidth < 1 || baseHeight < 1 || screenWidth < 1 || screenHeight < 1)
        return false;
    if (baseWidth == screenWidth && baseHeight == screenHeight)
        return false;
    const double sx = static_cast<double>(screenWidth) / baseWidth;
    const double sy = static_cast<double>(screenHeight) / baseHeight;
    // lround rounds halves away from zero.
    x = static_cast<int>(std::lround(x * sx));
    y = static_cast<int>(std::lround(y * sy));
    width = static_cast<int>(std::lround(width * sx));
    height = static_cast<int>(std::lround(height * sy));
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;
    if (x + width > screenWidth)
        x = screenWidth - width < 0 ? 0 : screenWidth - width;
    if (y + height > screenHeight)
        y = screenHeight - height < 0 ? 0 : screenHeight - height;
    return true;
}

void LoadAppConfig(bool afterChoice)
{
    if (s_configLoaded)
        return;
    const std::wstring portable = ProgramFolder() + L"\\.tessik_config";
    const std::wstring perUser = PerUserFolder();
    const DataFolderChoice choice =
        ChooseDataFolder(afterChoice, s_firstRunDataChoice, StoresIn(portable), StoresIn(perUser), portable, perUser);
    if (choice.firstRun) {
        s_isFirstRun = true;
        s_fontInTempFolder = true;
        s_dataFolder = perUser;
        return;
    }

    s_dataFolder = choice.folder;
    const bool folderReady = CreateFolder(s_dataFolder);
    s_configLoaded = true;
    if (!folderReady)
        NotifyDataNotKept(L"无法创建该文件夹");

    const bool folderInUse = StoresIn(s_dataFolder).any;
    LoadStore(s_appStore, L"Tessik.kelm", folderInUse);
    try {
        // "不记录日志": no log file at all, from this start on.
        if (s_appStore[kRef][L"logMode"].Get<int>(1) == 0)
            Logger::GetInstance().Disable();
        else
            Logger::GetInstance().Init(s_dataFolder);
        const std::wstring problem = Logger::GetInstance().InitProblem();
        if (!problem.empty())
            NotifyUserOnce(L"logger", L"无法在“" + s_dataFolder + L"\\logs”中记录日志：\n" + problem);
    } catch (const std::exception& error) {
        std::cerr << "Could not start the logger: " << error.what() << std::endl;
        NotifyUserOnce(L"logger", L"无法启动日志记录：" + Utf8ToWide(error.what()));
    }
    RemoveOldLogs();
    LoadStore(s_desktopContainerStore, L"DesktopContainer.kelm", folderInUse);
    LoadStore(s_magnetStore, L"MagnetCom.kelm", folderInUse);
    LoadStore(s_quickPanelStore, L"QuickPanelCom.kelm", folderInUse);

    // Before anything is saved: the automatic node may hold the only whole
    // state there is.
    NotifyStoresOfStart(KeepAutomaticNodeForStart());
    NotifyInterruptedRestore(s_dataFolder);

    // Only a folder that held no store is new. One that lost its settings
    // keeps no "containerDir" rather than a new one, which would send new
    // boxes and undo copies away from the user's box root (the user is
    // told, and can choose it again in the settings).
    if (!folderInUse)
        WriteFirstStartDefaults(ChooseContainerRoot(ListDrives(), RandomHexString(6)));
    EnsureContainerFolder();

    s_appStore[kRef][L"ver"] = 100;
    SaveStore(s_appStore, true);
    for (KelmStorage* store : {&s_desktopContainerStore, &s_magnetStore, &s_quickPanelStore}) {
        (*store)[kRef][L"test"] = 0;
        SaveStore(*store, true);
    }

    COLORREF base = RGB(255, 255, 255);
    const std::wstring baseText = s_appStore[kRef][L"themeBaseColor"].Get<std::wstring>(L"#FFFFFF");
    try {
        base = HexToColor(baseText);
    } catch (const std::exception&) {
        Logger::GetInstance().Log(kModule, L"WARNING", L"themeBaseColor \"" + baseText + L"\" is not a colour.");
    }
    ThemeBaseColor = ThemeRgb{GetRValue(base), GetGValue(base), GetBValue(base)};
    UpdateThemeColors();

    RecreateBoxes();
    TessikMagWin::SwitchMagWin(s_magnetStore[kRef][L"enabled"].Get<bool>(false));
    s_groupAlgorithm = s_appStore[kRef][L"groupAlogorithm"].Get<int>(0);
    s_doubleClickAction = s_appStore[kRef][L"doubleClickAction"].Get<bool>(false);
    HoverAnimationCount = 0;
}

void ApplyFirstRunDataChoice()
{
    s_firstRunDataChoice = s_firstRunPageChoice;
    LoadAppConfig(true);
    EndFirstRun();
}

void FinishFirstRun()
{
    EndFirstRun();
}

void ScaleComponentRect(const std::wstring& key, int& x, int& y, int& width, int& height)
{
    KelmStorageProxy box = s_desktopContainerStore[L"Components"][key];
    const int baseWidth = box[L"base_w"].Get<int>(0);
    const int baseHeight = box[L"base_h"].Get<int>(0);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (!ScaleRectToScreen(x, y, width, height, baseWidth, baseHeight, screenWidth, screenHeight))
        return;
    box[L"base_w"] = screenWidth;
    box[L"base_h"] = screenHeight;
}

void SaveComponentScreenBase(const std::wstring& key)
{
    KelmStorageProxy box = s_desktopContainerStore[L"Components"][key];
    box[L"base_w"] = GetSystemMetrics(SM_CXSCREEN);
    box[L"base_h"] = GetSystemMetrics(SM_CYSCREEN);
}

std::wstring GetTempFolder()
{
    // In the one form of a stored folder: the store doubles backslashes, and
    // every message and list names the folder as the system does.
    std::wstring root = NormalizeStoredPath(s_appStore[kRef][L"containerDir"].Get<std::wstring>(L""));
    // "." and ".." parts written out: the system reads the path so, and a
    // temporary folder spelled with them is no proof of being the
    // program's own, so that what is kept there would never be swept.
    if (HasDotPart(root))
        root = FullPathOf(root);
    if (!root.empty() && root.back() == L'\\')
        root.pop_back();
    const std::wstring folder = root + L"\\.data\\.temp\\";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    // Marked in use and listed in the data folder before it takes a copy:
    // a sweep of another run leaves it alone, and a later start finds it
    // even when the box folder changed meanwhile. Not while the data folder
    // is unloaded (a first run, or being cleared): there is no list.
    if (s_configLoaded && !NormalizeStoredPath(root).empty())
        s_tempFolderUse.Use(s_dataFolder, folder);
    return folder;
}
