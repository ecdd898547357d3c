// A box's folder goes with the box only when it is the box's own: never
// the folder of another box, whether that one stands on the desktop or is
// a hidden box of the quick panel, and never through a link inside it.
#include <gtest/gtest.h>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <filesystem>
#include <optional>

#include "BoxTestSupport.h"
#include "app/FileRemoval.h"
#include "app/KelmStorage.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/icons/FolderSync.h"
#include "common/DirectoryLink.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

// A value of the user's shell folders, put back as it was at the end.
class UserShellFolder
{
public:
    explicit UserShellFolder(std::wstring name) : m_name(std::move(name))
    {
        RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &m_key, nullptr);
        DWORD size = 0;
        if (m_key && RegQueryValueExW(m_key, m_name.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            m_old.emplace(size / sizeof(wchar_t), L'\0');
            RegQueryValueExW(m_key, m_name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(m_old->data()), &size);
            while (!m_old->empty() && m_old->back() == L'\0')
                m_old->pop_back();
        }
    }
    ~UserShellFolder()
    {
        if (m_old)
            Set(*m_old);
        else if (m_key)
            RegDeleteValueW(m_key, m_name.c_str());
        if (m_key)
            RegCloseKey(m_key);
    }
    void Set(const std::wstring& path)
    {
        RegSetValueExW(m_key, m_name.c_str(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    }

private:
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    std::wstring m_name;
    HKEY m_key = nullptr;
    std::optional<std::wstring> m_old;
};

class BoxFolderRemovalTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DpiScale = 1.0;
        folderBox = CreateTestBoxes(store, {true}).at(0);
        TempFolder::WriteBytes(store.File(L"QuickPanelCom.kelm"), "");
        s_quickPanelStore.Load(store.File(L"QuickPanelCom.kelm"));
        savedChoice = s_deleteBoxChoice;
        s_deleteBoxChoice = [](HWND, std::vector<Brevin::KelmOption> options) {
            for (const auto& option : options)
                if (option.text == L"彻底删除文件")
                    option.onClick();
            return true;
        };
    }
    void TearDown() override
    {
        s_deleteBoxChoice = savedChoice;
        RetireBoxWindow(folderBox);
        s_quickPanelStore.Load(store.File(L"QuickPanelCom.kelm"));
    }
    static void AddHiddenBox(const std::wstring& id, const std::wstring& folder)
    {
        s_quickPanelStore[L"TempList"][id][L"TargetFolder"] = folder;
    }

    TempFolder store;
    BoxWindowPtr folderBox;
    std::function<bool(HWND, std::vector<Brevin::KelmOption>)> savedChoice;
};

} // namespace

TEST_F(BoxFolderRemovalTest, AFolderAHiddenBoxSharesNeverGoesWithABox)
{
    const std::wstring shared = s_boxRuntimes.at(folderBox).TargetFolder;
    TempFolder::WriteBytes(shared + L"\\notes.txt", "the hidden box's file");
    AddHiddenBox(L"a1b2c3", shared);
    s_boxRuntimes.at(folderBox).IsCustomTarget = true;

    ShowDeleteBoxDialog(folderBox);
    EXPECT_EQ(TempFolder::ReadBytes(shared + L"\\notes.txt"), "the hidden box's file");
    EXPECT_TRUE(FindBoxRuntime(folderBox)) << "the box stays with the folder it could not take";
    EXPECT_TRUE(WasUserNotified(L"box-folder-kept"));

    // A hidden box may take its own folder, but not one another hidden box
    // shows too.
    const std::wstring hidden = store.File(L"root\\temp_d4e5f6");
    fs::create_directories(hidden);
    AddHiddenBox(L"d4e5f6", hidden);
    EXPECT_TRUE(MayRemoveBoxFolder(nullptr, hidden, L"d4e5f6"));
    EXPECT_FALSE(MayRemoveBoxFolder(nullptr, hidden, L"a1b2c3"));
    AddHiddenBox(L"0f0f0f", hidden + L"\\");
    EXPECT_FALSE(MayRemoveBoxFolder(nullptr, hidden, L"d4e5f6"));
}

TEST_F(BoxFolderRemovalTest, RemovingABoxFolderNeverReachesThroughALinkToAFileOrAnEmptyFolder)
{
    const std::wstring folder = s_boxRuntimes.at(folderBox).TargetFolder;
    TempFolder::WriteBytes(folder + L"\\mine.txt", "mine");
    OutsideLinks links;
    if (!links.Make(folder, store.File(L"outside")))
        GTEST_SKIP() << "this system makes no links";
    FolderRemoved result;
    ASSERT_TRUE(DeleteBoxFolderPermanently(folderBox, folder, [&result](const FolderRemoved& done) { result = done; }));
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    const bool removed = result.removed;
    const RemovalReport& report = result.report;
    EXPECT_TRUE(links.Untouched());
    EXPECT_FALSE(fs::exists(folder + L"\\mine.txt"));
    for (const std::wstring& link : links.links) {
        if (!removed && GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
            EXPECT_NE(std::find(report.stayed.begin(), report.stayed.end(), link), report.stayed.end());
        }
    }
}

// The folder refresh keeps its hands off a folder on its way out: a watch
// it opened meanwhile would keep the folder in place.
TEST_F(BoxFolderRemovalTest, TheFolderRefreshDoesNotHoldAFolderThatIsLeaving)
{
    const std::wstring folder = s_boxRuntimes.at(folderBox).TargetFolder;
    for (int i = 0; i < 200; ++i)
        TempFolder::WriteBytes(folder + L"\\f" + std::to_wstring(i) + L".txt", "f");
    FolderRemoved result;
    ASSERT_TRUE(DeleteBoxFolderPermanently(folderBox, folder, [&result](const FolderRemoved& done) { result = done; }));
    RefreshFolderBoxes();
    ASSERT_TRUE(WaitForFileJob([] {
        RefreshFolderBoxes();
        return false;
    }));
    EXPECT_TRUE(result.removed);
    EXPECT_FALSE(fs::exists(folder));
}

// The UI thread's check answers from the system's last look at its own
// folders; where the folder is taken away the system is asked afresh, and
// a folder it names by then stays.
TEST_F(BoxFolderRemovalTest, AFolderTheSystemNamesByTheTimeTheWorkRunsStays)
{
    const std::wstring folder = s_boxRuntimes.at(folderBox).TargetFolder;
    TempFolder::WriteBytes(folder + L"\\mine.txt", "mine");
    ASSERT_TRUE(MayRemoveBoxFolder(folderBox, folder));

    // Once Contacts is back where it was, the program looks again: the
    // last look would still hold this box folder, whose identity a folder
    // of a later test may take (Wine hands a removed folder's number on).
    struct LookAgainAtEnd {
        ~LookAgainAtEnd() { MayRemoveFolder(L"C:\\", {}); }
    } lookAgain;
    // The user moves the Contacts folder into it meanwhile, as the
    // folder's properties page does, by the user's shell folders.
    UserShellFolder contacts(L"{56784854-C6CB-462B-8169-88E350ACB882}");
    fs::create_directories(folder + L"\\Contacts");
    contacts.Set(folder + L"\\Contacts");
    PWSTR now = nullptr;
    const bool moved = SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Contacts, KF_FLAG_DONT_VERIFY, nullptr, &now)) && now &&
                       fs::path(now) == fs::path(folder + L"\\Contacts");
    CoTaskMemFree(now);
    if (!moved)
        GTEST_SKIP() << "this system moves no known folder so";

    FolderRemoved removed;
    ASSERT_TRUE(DeleteBoxFolderPermanently(folderBox, folder, [&](const FolderRemoved& done) { removed = done; }));
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    EXPECT_TRUE(removed.guarded);
    // The job's look is the last one now.
    EXPECT_FALSE(MayRemoveBoxFolder(folderBox, folder));
    const FolderRecycled recycled = RecycleFolderNow(FullPathOf(folder), nullptr);
    EXPECT_TRUE(recycled.guarded);
    EXPECT_FALSE(recycled.left);
    EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\mine.txt"), "mine");
}
