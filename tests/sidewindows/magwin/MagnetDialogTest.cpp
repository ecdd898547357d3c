// The system's own Open and Save dialogs (GetOpenFileNameW,
// GetSaveFileNameW), shown by a thread of the test as a program would show
// them, filled the way a click on an icon of the magnet window fills them.
#include <gtest/gtest.h>

#include <windows.h>

#include <commdlg.h>
#include <objbase.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "app/TempFolder.h"
#include "app/UserNotice.h"
#include "common/WindowTestSupport.h"
#include "sidewindows/magwin/FileDialogAutomation.h"

using namespace TessikMagWin;

namespace
{

// Handled by the dialog's hook: everything posted to the dialog's thread
// before it has been handled too.
constexpr UINT kMarker = WM_APP + 1;
constexpr UINT_PTR kDeferTimer = 7;
constexpr int kNameField = 0x47C;   // cmb13
constexpr int kFolderLabel = 0x443; // stc4

using DialogFunction = BOOL(WINAPI*)(OPENFILENAMEW*);

struct DialogOptions {
    bool save = false;
    std::wstring title;
    std::wstring okText; // empty: the dialog's own
    std::wstring folder;
    // A slow dialog: it changes to a folder typed into its name field this
    // long after the Enter.
    UINT slowFolderChange = 0;
    // The language of the dialog's thread (0: the process's).
    LCID locale = 0;
    // What the program puts in the folder label (stc4) through its hook.
    std::optional<std::wstring> folderLabel = std::nullopt;
};

// One common dialog on a thread of its own, its result kept.
class CommonDialog
{
public:
    explicit CommonDialog(DialogOptions options) : options_(std::move(options))
    {
        s_current = this;
        thread_ = std::thread([this] { Run(); });
        PumpUntil([this] { return hook_.load() != nullptr || finished_.load(); }, 20000);
        // The hook is made before the dialog shows; a search for the dialog
        // finds only one on screen.
        PumpUntil([this] { return finished_.load() || (dialog_ && IsWindowVisible(dialog_)); }, 20000);
    }
    ~CommonDialog()
    {
        if (!finished_)
            PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
        thread_.join();
        s_current = nullptr;
    }
    HWND Dialog() const { return dialog_; }
    bool Finished() const { return finished_; }
    bool Accepted() const { return accepted_; }
    const std::wstring& Chosen() const { return chosen_; }

    // Waits until the dialog's thread has handled what was posted to it so
    // far (a queued Enter among it), or the dialog has ended.
    bool Settle()
    {
        marker_ = false;
        PostMessageW(hook_, kMarker, 0, 0);
        return PumpUntil([this] { return marker_.load() || finished_.load(); }, 10000);
    }
    std::wstring Folder() const
    {
        wchar_t folder[MAX_PATH] = {};
        SendMessageW(dialog_, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
        return folder;
    }
    std::wstring Name() const
    {
        wchar_t name[MAX_PATH] = {};
        GetWindowTextW(NameEdit(), name, MAX_PATH);
        return name;
    }

private:
    HWND NameEdit() const
    {
        HWND combo = FindWindowExW(GetDlgItem(dialog_, kNameField), nullptr, L"ComboBox", nullptr);
        return FindWindowExW(combo, nullptr, L"Edit", nullptr);
    }
    void Run()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        HMODULE library = LoadLibraryW(L"comdlg32.dll");
        auto show = reinterpret_cast<DialogFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, options_.save ? "GetSaveFileNameW" : "GetOpenFileNameW")));
        wchar_t path[MAX_PATH] = L"";
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof(dialog);
        dialog.lpstrFilter = L"All files (*.*)\0*.*\0";
        dialog.lpstrFile = path;
        dialog.nMaxFile = MAX_PATH;
        dialog.lpstrInitialDir = options_.folder.c_str();
        dialog.lpstrTitle = options_.title.c_str();
        dialog.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_NOCHANGEDIR;
        dialog.lpfnHook = Hook;
        if (options_.locale)
            SetThreadLocale(options_.locale);
        accepted_ = show && show(&dialog);
        chosen_ = path;
        finished_ = true;
        if (library)
            FreeLibrary(library);
        CoUninitialize();
    }
    // The hook is a child of the dialog, on the dialog's thread.
    static UINT_PTR CALLBACK Hook(HWND hook, UINT message, WPARAM, LPARAM lParam)
    {
        CommonDialog& self = *s_current;
        if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == CDN_INITDONE) {
            self.dialog_ = GetParent(hook);
            if (!self.options_.okText.empty())
                SendMessageW(self.dialog_, CDM_SETCONTROLTEXT, IDOK,
                             reinterpret_cast<LPARAM>(self.options_.okText.c_str()));
            if (self.options_.folderLabel)
                SendMessageW(self.dialog_, CDM_SETCONTROLTEXT, kFolderLabel,
                             reinterpret_cast<LPARAM>(self.options_.folderLabel->c_str()));
            if (self.options_.slowFolderChange)
                self.dialogProc_ = reinterpret_cast<WNDPROC>(
                    SetWindowLongPtrW(self.dialog_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SlowFolderChange)));
            self.hook_ = hook;
        } else if (message == kMarker) {
            self.marker_ = true;
        }
        return 0;
    }
    // The dialog's OK for a folder typed into its name field is taken up
    // only after the delay, as a dialog busy listing a large folder would;
    // the dialog keeps answering meanwhile.
    static LRESULT CALLBACK SlowFolderChange(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
    {
        CommonDialog& self = *s_current;
        if (message == WM_COMMAND && LOWORD(wParam) == IDOK && !self.deferred_ &&
            self.Name().find(L'\\') != std::wstring::npos) {
            self.deferred_ = true;
            self.deferredCommand_ = {wParam, lParam};
            SetTimer(dialog, kDeferTimer, self.options_.slowFolderChange, nullptr);
            return 0;
        }
        if (message == WM_TIMER && wParam == kDeferTimer) {
            KillTimer(dialog, kDeferTimer);
            PostMessageW(dialog, WM_COMMAND, self.deferredCommand_.first, self.deferredCommand_.second);
            return 0;
        }
        return CallWindowProcW(self.dialogProc_, dialog, message, wParam, lParam);
    }

    static inline CommonDialog* s_current = nullptr;
    DialogOptions options_;
    std::thread thread_;
    std::atomic<HWND> hook_{nullptr};
    HWND dialog_ = nullptr;
    WNDPROC dialogProc_ = nullptr;
    bool deferred_ = false;
    std::pair<WPARAM, LPARAM> deferredCommand_;
    std::atomic<bool> marker_{false}, finished_{false};
    bool accepted_ = false;
    std::wstring chosen_;
};

} // namespace

TEST(MagnetDialogTest, OnlyADialogThatShowsItselfAsOpenIsConfirmed)
{
    TempFolder temp;
    const std::wstring box = temp.Path() / L"box";
    std::filesystem::create_directories(box);
    const std::wstring file = box + L"\\note.txt";
    TempFolder::WriteBytes(file, "kept");
    struct Case {
        bool save;
        std::wstring title;
        const wchar_t* okText;
        bool confirmed;
        LCID locale = 0;
        std::optional<std::wstring> folderLabel = std::nullopt;
    };
    constexpr LCID kPortuguese = 0x0816;
    // Save dialogs under an Open dialog's title and button, and an Open
    // dialog whose title names saving only far into it. Save dialogs that
    // show nothing of an Open dialog: labelled in a language the rules do
    // not know ("Gravar &em:"), their folder label relabelled or blanked
    // by their program's hook.
    const Case cases[] = {{false, L"Open", L"", true},
                          {false, L"Abrir", L"", true, kPortuguese},
                          {true, L"Open output file", L"&Open", false},
                          {true, L"Open", L"O&pen", false},
                          {false, L"Open " + std::wstring(300, L'x') + L" and Save", L"", false},
                          {true, L"Abrir", L"&Abrir", false, kPortuguese},
                          {true, L"Open", L"&Open", false, 0, L"Folder:"},
                          {true, L"Open", L"&Open", false, 0, L""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.title.substr(0, 20)) + " " + std::to_string(c.locale) +
                     (c.folderLabel ? " relabelled" : ""));
        DialogOptions options{c.save, c.title, c.okText, box};
        options.locale = c.locale;
        options.folderLabel = c.folderLabel;
        CommonDialog dialog(options);
        ASSERT_TRUE(dialog.Dialog());
        ASSERT_EQ(dialog.Folder(), box);

        EXPECT_TRUE(FillFileDialog(file));
        ASSERT_TRUE(dialog.Settle());
        if (c.confirmed) {
            EXPECT_TRUE(dialog.Accepted());
            EXPECT_EQ(dialog.Chosen(), file);
        } else {
            EXPECT_FALSE(dialog.Finished()) << "confirmed with " << testing::PrintToString(dialog.Chosen());
            EXPECT_EQ(dialog.Name(), L"note.txt");
        }
    }
    EXPECT_EQ(TempFolder::ReadBytes(file), "kept");
}

TEST(MagnetDialogTest, TheNameWaitsUntilASlowDialogShowsTheFolder)
{
    TempFolder temp;
    const std::wstring box = temp.Path() / L"box", elsewhere = temp.Path() / L"elsewhere";
    std::filesystem::create_directories(box);
    std::filesystem::create_directories(elsewhere);
    CommonDialog dialog({true, L"Save As", L"", elsewhere, 800});
    ASSERT_TRUE(dialog.Dialog());
    ASSERT_EQ(dialog.Folder(), elsewhere);

    // Given before the folder's Enter was handled, the name would be saved
    // by that Enter in the folder the dialog showed before.
    EXPECT_TRUE(FillFileDialog(box + L"\\report.txt"));
    ASSERT_TRUE(dialog.Settle());
    EXPECT_FALSE(dialog.Finished()) << "saved as " << testing::PrintToString(dialog.Chosen());
    EXPECT_EQ(dialog.Folder(), box);
    EXPECT_EQ(dialog.Name(), L"report.txt");
}

TEST(MagnetDialogTest, ADialogThatNeverShowsTheFolderGetsNoName)
{
    TempFolder temp;
    const std::wstring box = temp.Path() / L"box", elsewhere = temp.Path() / L"elsewhere";
    std::filesystem::create_directories(box);
    std::filesystem::create_directories(elsewhere);
    CommonDialog dialog({false, L"Open", L"", elsewhere, 60000});
    ASSERT_TRUE(dialog.Dialog());
    const int told = TimesUserNotified(L"magnet-fill-folder");

    EXPECT_FALSE(FillFileDialog(box + L"\\report.txt"));
    ASSERT_TRUE(dialog.Settle());
    EXPECT_FALSE(dialog.Finished());
    EXPECT_EQ(dialog.Folder(), elsewhere);
    EXPECT_NE(dialog.Name(), L"report.txt");
    EXPECT_EQ(TimesUserNotified(L"magnet-fill-folder"), told + 1);
}

// A folder the dialog cannot take is never typed into its name field,
// where Enter could save under what is left of it; a folder that is gone
// is said too.
TEST(MagnetDialogTest, AFolderTooLongOrGoneIsNotTypedAndTheReasonIsKept)
{
    TempFolder temp;
    const std::wstring elsewhere = temp.Path() / L"elsewhere";
    std::wstring deep = temp.Path() / L"deep";
    while (deep.size() < MAX_PATH + 10)
        deep += L"\\" + std::wstring(30, L'd');
    std::filesystem::create_directories(elsewhere);
    std::filesystem::create_directories(std::filesystem::path(LR"(\\?\)" + deep));
    CommonDialog dialog({true, L"Save As", L"", elsewhere});
    ASSERT_TRUE(dialog.Dialog());

    TakeLastFailure();
    EXPECT_FALSE(NavigateDialogAddressBar(deep));
    EXPECT_NE(TakeLastFailure().find(L"太长"), std::wstring::npos);
    EXPECT_FALSE(NavigateDialogAddressBar(temp.Path() / L"gone"));
    EXPECT_NE(TakeLastFailure().find(L"不存在"), std::wstring::npos);
    ASSERT_TRUE(dialog.Settle());
    EXPECT_FALSE(dialog.Finished());
    EXPECT_EQ(dialog.Folder(), elsewhere);
    EXPECT_EQ(dialog.Name(), L"");
}
