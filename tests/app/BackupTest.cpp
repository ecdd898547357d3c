// Backup nodes: their names and order, copies that stop at the first error
// without touching the target, restores that keep the current state in a
// node of its own, the automatic interval and clearing the logs.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/AppState.h"
#include "app/Backup.h"
#include "app/FileActionGate.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "app/StoreTextFormat.h"
#include "app/UnshownBoxFolders.h"
#include "app/UserNotice.h"
#include "common/DirectoryLink.h"
#include "common/WindowTestSupport.h"

namespace
{

// Store files as the program writes them, and one cut in the middle of its
// second of three boxes.
const std::string kCurrent = "TessikRef{\r\n    v : \"current\"\r\n}";
const std::string kBackedUp = "TessikRef{\r\n    v : \"backed up\"\r\n}";
const std::string kCutBoxes = "Components{\r\n    ComID_a{\r\n        title : \"a\"\r\n    },\r\n    ComID_b{\r\n"
                              "        title : \"b";
// Cut exactly after its first root: it reads to its end, but its own root
// (written last) is gone with the boxes after it.
const std::string kCutBetweenRoots = "Components{\r\n    ComID_a{\r\n        title : \"a\"\r\n    }\r\n}\r\n";

// A local time to the minute.
std::tm Time(int year, int month, int day, int hour, int minute)
{
    return std::tm{0, minute, hour, day, month - 1, year - 1900, 0, 0, 0};
}

// A file held open as another program would: without sharing nobody else
// may read it; shared for reading it may be read but not replaced.
class LockedFile
{
public:
    LockedFile(const std::wstring& path, DWORD share)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~LockedFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

class BackupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        data = temp.File(L"data");
        node = temp.File(L"node");
        std::filesystem::create_directories(data);
        std::filesystem::create_directories(node);
        for (const wchar_t* name : kBackupStoreFiles) {
            TempFolder::WriteBytes(data + L"\\" + name, kCurrent);
            TempFolder::WriteBytes(node + L"\\" + name, kBackedUp);
        }
    }
    std::string Read(const std::wstring& folder, const wchar_t* name)
    {
        return TempFolder::ReadBytes(folder + L"\\" + name);
    }
    int CountEntries(const std::wstring& folder)
    {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            (void)entry;
            ++n;
        }
        return n;
    }

    TempFolder temp;
    std::wstring data;
    std::wstring node;
};

} // namespace

TEST(BackupNodeNames, AreNamedByTheMinuteAndListedNewestFirst)
{
    EXPECT_EQ(BackupNodeName(Time(2026, 1, 6, 9, 5)), L"bk_2026_01_06_09_05");
    EXPECT_EQ(BackupNodeName(Time(2026, 12, 31, 23, 59)), L"bk_2026_12_31_23_59");

    TempFolder temp;
    for (const wchar_t* name : {L"bk_2026_12_06_09_30", L"bk_2026_12_06_17_05", L"old_bk_1", L"bk_2025_01_01_00_00"})
        std::filesystem::create_directories(temp.Path() / name);
    TempFolder::WriteBytes(temp.File(L"bk_file"), "not a node");
    const std::vector<std::wstring> expected{L"bk_2026_12_06_17_05", L"bk_2026_12_06_09_30", L"bk_2025_01_01_00_00"};
    EXPECT_EQ(ListManualBackupNodes(temp.Path().wstring()), expected);
    EXPECT_TRUE(ListManualBackupNodes(temp.File(L"missing")).empty());
}

TEST_F(BackupTest, ACopySkipsMissingFilesAndLeavesNoTemporaryFiles)
{
    std::filesystem::remove(data + L"\\MagnetCom.kelm");
    const std::wstring target = temp.File(L"Backups\\UserBackups\\bk_2026_12_07_10_00");
    const StoreCopyResult result = CopyStoreFiles(data, target);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.replaced, 3);
    EXPECT_EQ(Read(target, L"Tessik.kelm"), kCurrent);
    EXPECT_FALSE(std::filesystem::exists(target + L"\\MagnetCom.kelm"));
    EXPECT_EQ(CountEntries(target), 3);
}

TEST_F(BackupTest, ACopyThatCannotReadAFileChangesNothing)
{
    LockedFile locked(node + L"\\MagnetCom.kelm", 0);
    ASSERT_TRUE(locked.Held());
    const StoreCopyResult result = CopyStoreFiles(node, data);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.failedFile, L"MagnetCom.kelm");
    EXPECT_NE(result.error, 0u);
    for (const wchar_t* name : kBackupStoreFiles)
        EXPECT_EQ(Read(data, name), kCurrent) << name;
    EXPECT_EQ(CountEntries(data), 4); // no temporary file left
}

TEST_F(BackupTest, ARestoreKeepsTheCurrentStoresInANodeOfTheirOwn)
{
    const std::tm now = Time(2026, 12, 7, 10, 0);
    const RestoreResult result = RestoreNodeFiles(node, data, now);
    ASSERT_EQ(result.stage, RestoreResult::Stage::Done);
    EXPECT_EQ(Read(data, L"DesktopContainer.kelm"), kBackedUp);
    EXPECT_EQ(Read(result.preRestoreNode, L"DesktopContainer.kelm"), kCurrent);
    EXPECT_EQ(std::filesystem::path(result.preRestoreNode).filename().wstring(), L"bk_2026_12_07_10_00_before_restore");

    // Restoring the pre-restore node in the same minute must not overwrite
    // it with the stores it is about to bring back.
    const RestoreResult undo = RestoreNodeFiles(result.preRestoreNode, data, now);
    ASSERT_EQ(undo.stage, RestoreResult::Stage::Done);
    EXPECT_NE(undo.preRestoreNode, result.preRestoreNode);
    EXPECT_EQ(Read(data, L"DesktopContainer.kelm"), kCurrent);
    EXPECT_EQ(Read(undo.preRestoreNode, L"DesktopContainer.kelm"), kBackedUp);
}

TEST_F(BackupTest, ARestoreThatFailsLeavesTheDataFolderAsItWas)
{
    const std::tm now = Time(2026, 12, 7, 10, 0);
    EXPECT_EQ(RestoreNodeFiles(temp.File(L"gone"), data, now).stage, RestoreResult::Stage::NodeMissing);

    {
        // A store the program holds open cannot be replaced: the files
        // replaced before it are put back.
        LockedFile locked(data + L"\\QuickPanelCom.kelm", FILE_SHARE_READ);
        ASSERT_TRUE(locked.Held());
        const RestoreResult result = RestoreNodeFiles(node, data, now);
        EXPECT_EQ(result.stage, RestoreResult::Stage::Copy);
        EXPECT_EQ(result.copy.failedFile, L"QuickPanelCom.kelm");
        EXPECT_EQ(result.copy.replaced, 3);
        EXPECT_FALSE(RestoreFailureText(result).empty());
    }
    {
        // The current stores cannot be kept: nothing is restored.
        LockedFile locked(data + L"\\Tessik.kelm", 0);
        ASSERT_TRUE(locked.Held());
        EXPECT_EQ(RestoreNodeFiles(node, data, now).stage, RestoreResult::Stage::PreRestoreNode);
    }
    for (const wchar_t* name : kBackupStoreFiles)
        EXPECT_EQ(Read(data, name), kCurrent) << name;
}

TEST_F(BackupTest, ARestoreCutOffHalfWayIsToldOnceAtTheNextStart)
{
    // Cut off after two stores were replaced: the third cannot be replaced
    // and the put-back cannot read the first pre-restore store, as a
    // process ended between two renames would leave the folder.
    std::unique_ptr<LockedFile> heldStore, heldPreRestore;
    const RestoreResult result = RestoreNodeFiles(node, data, Time(2026, 12, 7, 10, 0), [&] {
        heldStore = std::make_unique<LockedFile>(data + L"\\MagnetCom.kelm", FILE_SHARE_READ);
        heldPreRestore = std::make_unique<LockedFile>(
            data + L"\\Backups\\UserBackups\\bk_2026_12_07_10_00_before_restore\\Tessik.kelm", 0);
    });
    ASSERT_TRUE(heldStore->Held() && heldPreRestore->Held());
    heldStore.reset();
    heldPreRestore.reset();
    ASSERT_EQ(result.stage, RestoreResult::Stage::Copy);
    ASSERT_EQ(Read(data, L"Tessik.kelm"), kBackedUp);
    ASSERT_EQ(Read(data, L"MagnetCom.kelm"), kCurrent);
    EXPECT_EQ(RestoreFailureText(result).find(L"当前数据已保留"), std::wstring::npos) << "the mix is not called kept";

    // The next start.
    NotifyInterruptedRestore(data);
    EXPECT_EQ(TimesUserNotified(L"interruptedRestore"), 1);
    const std::wstring text = LastNoticeText(L"interruptedRestore");
    EXPECT_NE(text.find(L"bk_2026_12_07_10_00_before_restore"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"“node”"), std::wstring::npos) << text;
    // Until the user has closed the message a start ended meanwhile tells
    // again; once closed, nothing is left to tell.
    EXPECT_EQ(CountEntries(data), 6);
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 0; i < 1200 && !done; ++i) {
            AnswerShellQuestions(IDOK);
            Sleep(50);
        }
    });
    ShowPendingNotices(owner);
    EXPECT_TRUE(PumpUntil([&] { return CountEntries(data) == 5; }, 60000));
    done = true;
    reader.join();
    ShowPendingNotices(nullptr);
    DestroyWindow(owner);
}

TEST_F(BackupTest, ARestoreWhoseRestartAndPutBackFailNamesWhichStoresAreWhoseAndTheNextStartKnows)
{
    const RestoreResult done = RestoreNodeFiles(node, data, Time(2026, 12, 7, 10, 0));
    ASSERT_EQ(done.stage, RestoreResult::Stage::Done);
    RestoreResult back;
    {
        // Held open by another program: it cannot be put back.
        LockedFile held(data + L"\\MagnetCom.kelm", FILE_SHARE_READ);
        ASSERT_TRUE(held.Held());
        back = PutBackAfterRestore(node, data, done);
    }
    EXPECT_FALSE(back.putBack);
    EXPECT_EQ(back.nodeFiles, (std::vector<std::wstring>{L"MagnetCom.kelm", L"QuickPanelCom.kelm"}));
    EXPECT_EQ(Read(data, L"Tessik.kelm"), kCurrent);
    EXPECT_EQ(Read(data, L"MagnetCom.kelm"), kBackedUp);
    const std::wstring text = RestoreUndoneText(back);
    EXPECT_EQ(text.find(L"恢复已撤销"), std::wstring::npos) << text;
    for (const std::wstring& part :
         {std::wstring(L"MagnetCom.kelm"), std::wstring(L"QuickPanelCom.kelm"), done.preRestoreNode})
        EXPECT_NE(text.find(part), std::wstring::npos) << part;
    // The marker stays, naming them, for the next start.
    ASSERT_TRUE(RestoreMarkerFound(data));
    const std::string marker = Read(data, L"RestoreInProgress.mark");
    EXPECT_NE(marker.find("MagnetCom.kelm|QuickPanelCom.kelm"), std::string::npos) << marker;

    // Once every store could go back the marker goes.
    const RestoreResult again = PutBackAfterRestore(node, data, done);
    EXPECT_TRUE(again.putBack);
    EXPECT_FALSE(RestoreMarkerFound(data));
    for (const wchar_t* name : kBackupStoreFiles)
        EXPECT_EQ(Read(data, name), kCurrent) << name;
}

TEST_F(BackupTest, AnAutomaticNodeThatCouldNotBeSetAsideIsReplacedByNoTickUntilItIsKept)
{
    const std::wstring automatic = AutoBackupFolder(data);
    ASSERT_TRUE(CopyStoreFiles(node, automatic).ok);
    TempFolder::WriteBytes(data + L"\\Tessik.kelm", "TessikRef{\r\n    AutoBackupInterval : 1\r\n}");
    {
        // A damaged start whose copy of the node fails, as on a full disk.
        LockedFile held(automatic + L"\\QuickPanelCom.kelm", 0);
        ASSERT_TRUE(held.Held());
        const AutomaticNodeKeeping keeping = KeepAutomaticNodeOrRemember(data, Time(2026, 12, 7, 10, 0));
        EXPECT_TRUE(keeping.node.empty());
        EXPECT_TRUE(keeping.waiting);
        EXPECT_NE(AutomaticNodeKeepingText(keeping).find(L"不会覆盖"), std::wstring::npos);
        EXPECT_TRUE(AutomaticNodeAwaitsKeeping(data));

        // The next start reads every store whole; its tick still cannot keep
        // the node and leaves it.
        KelmStorage* stores[] = {&s_appStore, &s_desktopContainerStore, &s_magnetStore, &s_quickPanelStore};
        for (size_t i = 0; i < 4; ++i)
            stores[i]->Load(data + L"\\" + kBackupStoreFiles[i], kStoreOwnRoot, true);
        s_dataFolder = data;
        s_configLoaded = true;
        AutoBackupTick();
        for (const wchar_t* name : {L"Tessik.kelm", L"DesktopContainer.kelm", L"MagnetCom.kelm"})
            EXPECT_EQ(Read(automatic, name), kBackedUp) << name;
        EXPECT_TRUE(WasUserNotified(L"autoBackupNotKept"));
    }
    // Once it can be kept, the tick keeps it first, then backs up.
    AutoBackupTick();
    EXPECT_FALSE(AutomaticNodeAwaitsKeeping(data));
    const std::vector<std::wstring> nodes = ListManualBackupNodes(UserBackupsFolder(data));
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(Read(UserBackupsFolder(data) + L"\\" + nodes[0], L"MagnetCom.kelm"), kBackedUp);
    EXPECT_EQ(Read(automatic, L"MagnetCom.kelm"), kCurrent);

    s_configLoaded = false;
    for (KelmStorage* store : {&s_appStore, &s_desktopContainerStore, &s_magnetStore, &s_quickPanelStore})
        *store = KelmStorage();
}

// While a restore stands open, no box takes files: one that came in then
// would land in a folder the restored boxes may not show, after the list
// of such folders was made. Its end, here a node that is gone, opens the
// gate again.
TEST_F(BackupTest, NoBoxTakesFilesWhileARestoreTellsTheUser)
{
    static int s_told;
    static bool s_closedWhileTold;
    s_told = 0;
    s_closedWhileTold = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        if (OpenShellQuestions().empty())
            return;
        ++s_told;
        s_closedWhileTold = FileActionGate::IsClosed();
        AnswerShellQuestions(IDOK);
    });
    RestoreBackupNode(nullptr, temp.File(L"no such node"));
    KillTimer(nullptr, timer);
    EXPECT_GT(s_told, 0);
    EXPECT_TRUE(s_closedWhileTold) << "a box could take files while the restore's message stood open";
    EXPECT_FALSE(FileActionGate::IsClosed());
}

TEST_F(BackupTest, ARestoreNamesTheBoxFoldersWithFilesThatNoRestoredBoxShows)
{
    const std::wstring root = temp.File(L"boxes");
    for (const wchar_t* folder : {L"u_a", L"u_b", L"u_empty", L"mine\\sub"})
        std::filesystem::create_directories(root + L"\\" + folder);
    TempFolder::WriteBytes(root + L"\\u_a\\one.txt", "1");
    TempFolder::WriteBytes(root + L"\\u_a\\two.txt", "2");
    TempFolder::WriteBytes(root + L"\\u_b\\three.txt", "3");
    TempFolder::WriteBytes(root + L"\\mine\\sub\\four.txt", "4");
    // The node's boxes show u_b (spelled another way) and a folder above
    // mine\sub; as the store keeps paths, with doubled separators.
    auto doubled = [](std::wstring path) {
        std::wstring out;
        for (wchar_t c : path)
            out += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
        return out;
    };
    const std::string nodeBoxes =
        "Components{\r\n    ComID_b{\r\n        UseTargetFolder : true,\r\n        TargetFolder : \"" +
        WideToUtf8(doubled(root + L"\\u_a\\..\\U_B\\")) + "\"\r\n    }\r\n}\r\nTessikRef{\r\n}";
    const std::string nodeHidden =
        "TempList{\r\n    h{\r\n        UseTargetFolder : true,\r\n        TargetFolder : \"" +
        WideToUtf8(doubled(root + L"\\mine")) + "\"\r\n    }\r\n}\r\nTessikRef{\r\n}";
    TempFolder::WriteBytes(node + L"\\DesktopContainer.kelm", nodeBoxes);
    TempFolder::WriteBytes(node + L"\\QuickPanelCom.kelm", nodeHidden);

    KelmStorageNestedObject now;
    for (const wchar_t* folder : {L"u_a", L"u_b", L"u_empty", L"mine\\sub"}) {
        auto box = std::make_shared<KelmStorageNestedObject>();
        box->members[L"TargetFolder"] = doubled(root + L"\\" + folder);
        now.members[std::wstring(L"ComID_") + folder] = box;
    }
    const std::vector<std::wstring> unshown =
        FoldersNoBoxWillShow(BoxFoldersOfStores(&now, nullptr, false), NodeBoxFolders(node));
    ASSERT_EQ(unshown, std::vector<std::wstring>{root + L"\\u_a"});

    RestoreResult done;
    done.preRestoreNode = data + L"\\Backups\\UserBackups\\bk_2026_12_07_10_00_before_restore";
    const std::wstring text = RestoreDoneText(node, done, unshown);
    EXPECT_NE(text.find(root + L"\\u_a"), std::wstring::npos) << text;
    EXPECT_LT(text.find(root + L"\\u_a"), text.find(L"Tessik 将重新启动"));
}

TEST_F(BackupTest, ANodeWithAStoreCutShortIsRefusedAndNothingChanges)
{
    for (const std::string& cut : {kCutBoxes, kCutBetweenRoots, std::string()}) {
        TempFolder::WriteBytes(node + L"\\DesktopContainer.kelm", cut);
        const RestoreResult result = RestoreNodeFiles(node, data, Time(2026, 12, 7, 10, 0));
        EXPECT_EQ(result.stage, RestoreResult::Stage::NodeDamaged) << cut;
        EXPECT_EQ(result.damagedFile, L"DesktopContainer.kelm");
        EXPECT_NE(RestoreFailureText(result).find(L"DesktopContainer.kelm"), std::wstring::npos);
        for (const wchar_t* name : kBackupStoreFiles)
            EXPECT_EQ(Read(data, name), kCurrent) << name;
        EXPECT_EQ(CountEntries(data), 4); // not even a pre-restore node
    }
}

TEST_F(BackupTest, TheAutomaticNodeKeepsTheGoodStateWhileAStoreReadDamaged)
{
    const std::wstring automatic = AutoBackupFolder(data);
    ASSERT_TRUE(CopyStoreFiles(node, automatic).ok);
    TempFolder::WriteBytes(data + L"\\Tessik.kelm", "TessikRef{\r\n    AutoBackupInterval : 1\r\n}");
    TempFolder::WriteBytes(data + L"\\DesktopContainer.kelm", kCutBoxes);
    KelmStorage* stores[] = {&s_appStore, &s_desktopContainerStore, &s_magnetStore, &s_quickPanelStore};
    for (size_t i = 0; i < 4; ++i)
        stores[i]->Load(data + L"\\" + kBackupStoreFiles[i], kStoreOwnRoot, true);
    ASSERT_TRUE(s_desktopContainerStore.FailedToParse());
    s_dataFolder = data;
    s_configLoaded = true;

    AutoBackupTick();
    EXPECT_EQ(Read(automatic, L"DesktopContainer.kelm"), kBackedUp);
    EXPECT_TRUE(WasUserNotified(L"autoBackupKept"));

    // The same for a store cut between its roots, and for one that is gone
    // from the data folder in use.
    TempFolder::WriteBytes(data + L"\\DesktopContainer.kelm", kCutBetweenRoots);
    s_desktopContainerStore.Load(data + L"\\DesktopContainer.kelm", kStoreOwnRoot, true);
    AutoBackupTick();
    EXPECT_EQ(Read(automatic, L"DesktopContainer.kelm"), kBackedUp);
    DeleteFileW((data + L"\\DesktopContainer.kelm").c_str());
    s_desktopContainerStore.Load(data + L"\\DesktopContainer.kelm", kStoreOwnRoot, true);
    ASSERT_TRUE(s_desktopContainerStore.Missing());
    EXPECT_EQ(DamagedStoreNames(), std::vector<std::wstring>{L"DesktopContainer.kelm"});
    AutoBackupTick();
    EXPECT_EQ(Read(automatic, L"DesktopContainer.kelm"), kBackedUp);

    // Once every store reads completely the node is refreshed again.
    TempFolder::WriteBytes(data + L"\\DesktopContainer.kelm", kCurrent);
    s_desktopContainerStore.Load(data + L"\\DesktopContainer.kelm", kStoreOwnRoot, true);
    AutoBackupTick();
    EXPECT_EQ(Read(automatic, L"DesktopContainer.kelm"), kCurrent);

    s_configLoaded = false;
    for (KelmStorage* store : stores)
        *store = KelmStorage();
}

TEST_F(BackupTest, TheAutomaticNodeIsWrittenEveryChosenIntervalAndNeverWithoutOne)
{
    const std::wstring automatic = AutoBackupFolder(data);
    const std::wstring probe = automatic + L"\\MagnetCom.kelm";
    TempFolder::WriteBytes(data + L"\\Tessik.kelm", "TessikRef{\r\n    AutoBackupInterval : 1\r\n}");
    KelmStorage* stores[] = {&s_appStore, &s_desktopContainerStore, &s_magnetStore, &s_quickPanelStore};
    for (size_t i = 0; i < 4; ++i)
        stores[i]->Load(data + L"\\" + kBackupStoreFiles[i], kStoreOwnRoot, true);
    s_dataFolder = data;
    s_configLoaded = true;
    // Each tick is one minute of the timer. At one minute the first is due
    // and starts the count afresh, whatever earlier ticks left of it.
    AutoBackupTick();
    ASSERT_NE(GetFileAttributesW(probe.c_str()), INVALID_FILE_ATTRIBUTES);
    // The minute of the first tick that wrote the node again, 0 for none.
    const auto minuteWritten = [&](int minutes) {
        DeleteFileW(probe.c_str());
        for (int minute = 1; minute <= minutes; ++minute) {
            AutoBackupTick();
            if (GetFileAttributesW(probe.c_str()) != INVALID_FILE_ATTRIBUTES)
                return minute;
        }
        return 0;
    };

    SetAutoBackupInterval(nullptr, 5);
    EXPECT_EQ(minuteWritten(12), 5);
    EXPECT_EQ(minuteWritten(12), 5);
    SetAutoBackupInterval(nullptr, 30);
    EXPECT_EQ(minuteWritten(40), 30);
    SetAutoBackupInterval(nullptr, 0);
    EXPECT_EQ(s_autoBackupIntervalText, L"从不自动备份");
    EXPECT_EQ(minuteWritten(180), 0);
    EXPECT_NE(Read(data, L"Tessik.kelm").find("AutoBackupInterval : 0"), std::string::npos);

    s_configLoaded = false;
    for (KelmStorage* store : stores)
        *store = KelmStorage();
}

TEST_F(BackupTest, AnAutomaticBackupThatFailsIsToldOnceAndLeavesTheNode)
{
    const std::wstring automatic = AutoBackupFolder(data);
    ASSERT_TRUE(CopyStoreFiles(node, automatic).ok);
    TempFolder::WriteBytes(data + L"\\Tessik.kelm", "TessikRef{\r\n    AutoBackupInterval : 1\r\n}");
    KelmStorage* stores[] = {&s_appStore, &s_desktopContainerStore, &s_magnetStore, &s_quickPanelStore};
    for (size_t i = 0; i < 4; ++i)
        stores[i]->Load(data + L"\\" + kBackupStoreFiles[i], kStoreOwnRoot, true);
    s_dataFolder = data;
    s_configLoaded = true;

    // The node's first file held by another program: its copy cannot
    // replace it, as on a full disk no copy can be written.
    {
        LockedFile locked(automatic + L"\\Tessik.kelm", 0);
        ASSERT_TRUE(locked.Held());
        AutoBackupTick();
        AutoBackupTick();
    }
    EXPECT_EQ(TimesUserNotified(L"autoBackupFailed"), 1);
    EXPECT_NE(LastNoticeText(L"autoBackupFailed").find(L"Tessik.kelm"), std::wstring::npos);
    for (const wchar_t* name : kBackupStoreFiles)
        EXPECT_EQ(Read(automatic, name), kBackedUp) << name;
    EXPECT_EQ(CountEntries(automatic), 4); // no temporary file left

    s_configLoaded = false;
    for (KelmStorage* store : stores)
        *store = KelmStorage();
}

TEST_F(BackupTest, ANewNodeNeverReplacesOneAndAFailedOneLeavesNone)
{
    const std::tm minute = Time(2026, 12, 7, 10, 0);
    std::wstring first, second;
    ASSERT_TRUE(CreateManualNodeFiles(data, minute, first).ok);
    TempFolder::WriteBytes(data + L"\\DesktopContainer.kelm", kBackedUp);
    ASSERT_TRUE(CreateManualNodeFiles(data, minute, second).ok);
    EXPECT_NE(first, second);
    EXPECT_EQ(Read(first, L"DesktopContainer.kelm"), kCurrent);
    EXPECT_EQ(Read(second, L"DesktopContainer.kelm"), kBackedUp);

    // A store that cannot be read (as a full disk or a locked file would):
    // no empty or partial node is left for "恢复" to list.
    LockedFile locked(data + L"\\QuickPanelCom.kelm", 0);
    ASSERT_TRUE(locked.Held());
    std::wstring failed;
    EXPECT_FALSE(CreateManualNodeFiles(data, minute, failed).ok);
    EXPECT_TRUE(failed.empty());
    EXPECT_EQ(ListManualBackupNodes(UserBackupsFolder(data)).size(), 2u);
}

TEST_F(BackupTest, AnEmptyOrPartialNodeIsRefusedAndNothingChanges)
{
    const std::wstring empty = temp.File(L"empty");
    std::filesystem::create_directories(empty);
    DeleteFileW((node + L"\\MagnetCom.kelm").c_str());
    for (const std::wstring& folder : {empty, node}) {
        const RestoreResult result = RestoreNodeFiles(folder, data, Time(2026, 12, 7, 10, 0));
        EXPECT_EQ(result.stage, RestoreResult::Stage::NodeIncomplete);
        EXPECT_NE(RestoreFailureText(result).find(L"MagnetCom.kelm"), std::wstring::npos);
        for (const wchar_t* name : kBackupStoreFiles)
            EXPECT_EQ(Read(data, name), kCurrent) << name;
        EXPECT_EQ(CountEntries(data), 4); // not even a pre-restore node
    }
}

TEST_F(BackupTest, TheAutomaticNodeOfADamagedStartIsKeptWhereNoLaterTickReachesIt)
{
    const std::wstring automatic = AutoBackupFolder(data);
    ASSERT_TRUE(CopyStoreFiles(node, automatic).ok);
    StoreCopyResult copy;
    const std::wstring kept = KeepAutomaticNodeAside(data, Time(2026, 12, 7, 10, 0), copy);
    ASSERT_FALSE(kept.empty());
    // A second damaged start keeps no second copy of the same node.
    EXPECT_EQ(KeepAutomaticNodeAside(data, Time(2026, 12, 7, 10, 5), copy), kept);
    const std::vector<std::wstring> listed = ListManualBackupNodes(UserBackupsFolder(data));
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(UserBackupsFolder(data) + L"\\" + listed[0], kept);

    // The next start reads the reduced state completely, and its tick
    // writes it into the automatic node.
    ASSERT_TRUE(CopyStoreFiles(data, automatic).ok);
    for (const wchar_t* name : kBackupStoreFiles)
        EXPECT_EQ(Read(kept, name), kBackedUp) << name;
    EXPECT_EQ(RestoreNodeFiles(kept, data, Time(2026, 12, 7, 11, 0)).stage, RestoreResult::Stage::Done);
}

// A box moved while its store was held by another program is kept only in
// memory: the pre-restore node holds it, not the older file.
TEST_F(BackupTest, ARestoreWhileASaveWaitsKeepsWhatTheProgramHoldsInThePreRestoreNode)
{
    KelmStorage* stores[] = {&s_appStore, &s_desktopContainerStore, &s_magnetStore, &s_quickPanelStore};
    for (size_t i = 0; i < 4; ++i)
        stores[i]->Load(data + L"\\" + kBackupStoreFiles[i], kStoreOwnRoot, true);
    {
        LockedFile held(data + L"\\DesktopContainer.kelm", FILE_SHARE_READ);
        ASSERT_TRUE(held.Held());
        s_desktopContainerStore[L"Components"][L"dragged"] = 7;
        ASSERT_FALSE(s_desktopContainerStore.Save());
    }
    ASSERT_TRUE(s_desktopContainerStore.HasUnsavedChanges());
    const RestoreResult result = RestoreNodeFiles(node, data, Time(2026, 12, 7, 10, 0));
    ASSERT_EQ(result.stage, RestoreResult::Stage::Done);
    KelmStorage kept;
    kept.Load(result.preRestoreNode + L"\\DesktopContainer.kelm", kStoreOwnRoot, true);
    EXPECT_FALSE(kept.FailedToParse());
    EXPECT_EQ(kept[L"Components"][L"dragged"].Get<int>(0), 7);
    EXPECT_EQ(Read(result.preRestoreNode, L"Tessik.kelm"), kCurrent);
    for (KelmStorage* store : stores)
        *store = KelmStorage();
}

TEST_F(BackupTest, ASaveAfterARestoreBeganWritesNothing)
{
    // Every save of the process stops for good, so it runs in a child.
    EXPECT_EXIT(
        {
            KelmStorage store;
            store.Load(data + L"\\DesktopContainer.kelm", kStoreOwnRoot, true);
            const RestoreResult result =
                RestoreNodeFiles(node, data, Time(2026, 12, 7, 10, 0), KelmStorage::StopAllSavesForRestore);
            // A folder refresh or a box moved while "已恢复" is shown.
            store[L"Components"][L"moved"] = 1;
            store.Save();
            std::exit(result.stage == RestoreResult::Stage::Done && Read(data, L"DesktopContainer.kelm") == kBackedUp
                          ? 0
                          : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(AutoBackupInterval, BacksUpEveryIntervalAndNeverAtZero)
{
    int counter = 0;
    std::vector<int> due;
    for (int minute = 1; minute <= 25; ++minute)
        if (AutoBackupDue(counter, 10))
            due.push_back(minute);
    EXPECT_EQ(due, (std::vector<int>{10, 20}));

    counter = 0;
    for (int minute = 1; minute <= 100; ++minute)
        EXPECT_FALSE(AutoBackupDue(counter, 0));

    EXPECT_STREQ(BackupIntervalText(15), L"每小时");
    EXPECT_STREQ(BackupIntervalText(0), L"从不自动备份");
}

TEST(LogClearing, KeepsTheOpenLogSubFoldersAndOtherFiles)
{
    TempFolder temp;
    TempFolder::WriteBytes(temp.File(L"2026_12_01_00.txt"), "[Tessik][2026/12/01 08:05:09][INFO] old\r\n");
    TempFolder::WriteBytes(temp.File(L"2026_12_07_00.txt"), "[Tessik][2026/12/07 08:05:09][INFO] open\r\n");
    TempFolder::WriteBytes(temp.File(L"2026_12_02_00.txt"), "the user's own file");
    std::filesystem::create_directories(temp.Path() / L"kept");
    const LogRemoval removal = RemoveLogFiles(temp.Path().wstring(), temp.File(L"2026_12_07_00.txt"));
    EXPECT_TRUE(removal.folderFound);
    EXPECT_EQ(removal.removed, 1);
    EXPECT_TRUE(removal.keptOpenLog);
    EXPECT_FALSE(std::filesystem::exists(temp.File(L"2026_12_01_00.txt")));
    EXPECT_TRUE(std::filesystem::exists(temp.File(L"2026_12_07_00.txt")));
    EXPECT_TRUE(std::filesystem::exists(temp.File(L"2026_12_02_00.txt")));
    EXPECT_EQ(removal.failed, 0);
    EXPECT_TRUE(std::filesystem::is_directory(temp.Path() / L"kept"));
    EXPECT_FALSE(RemoveLogFiles(temp.File(L"missing"), L"").folderFound);
}

TEST_F(BackupTest, ClearingTheDataFolderNeverReachesThroughALinkNorIntoABoxFolder)
{
    namespace fs = std::filesystem;
    fs::create_directories(temp.File(L"outside"));
    TempFolder::WriteBytes(temp.File(L"outside\\keep.txt"), "keep");
    fs::create_directories(data + L"\\Backups\\AutoBackup");
    TempFolder::WriteBytes(data + L"\\Backups\\AutoBackup\\Tessik.kelm", "node");
    if (!MakeDirectoryLink(data + L"\\linked", temp.File(L"outside")))
        GTEST_SKIP() << "this system makes no directory links";
    // The user chose a box folder inside the data folder: it is theirs.
    fs::create_directories(data + L"\\boxes\\u_1");
    TempFolder::WriteBytes(data + L"\\boxes\\u_1\\mine.txt", "mine");

    // Where a link cannot be removed, it stays and is named.
    const std::vector<std::wstring> linkStays =
        FolderLinksStayOnThisSystem() ? std::vector<std::wstring>{data + L"\\linked"} : std::vector<std::wstring>{};
    DataFolderClearing clearing = ClearDataFolder(data, {data + L"\\boxes"});
    EXPECT_EQ(TempFolder::ReadBytes(temp.File(L"outside\\keep.txt")), "keep");
    EXPECT_EQ(TempFolder::ReadBytes(data + L"\\boxes\\u_1\\mine.txt"), "mine");
    EXPECT_EQ(clearing.failed, linkStays);
    EXPECT_EQ(clearing.spared, std::vector<std::wstring>{data + L"\\boxes"});
    EXPECT_EQ(CountEntries(data), 1 + static_cast<int>(linkStays.size())) << "only the box folder stays";

    clearing = ClearDataFolder(data, {});
    EXPECT_EQ(fs::exists(data), !linkStays.empty());
    EXPECT_EQ(clearing.failed, linkStays);
    EXPECT_TRUE(clearing.spared.empty());
}
