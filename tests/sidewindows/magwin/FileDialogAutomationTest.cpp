// Real "#32770" windows of this process stand in for the system's file
// dialogs: a classic layout (file-name ComboBoxEx32, "Look in" and type
// combo boxes), a bare dialog with a direct edit, and prompts without any.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/TempFolder.h"
#include "sidewindows/magwin/FileDialogAutomation.h"
#include "sidewindows/magwin/MagWinRules.h"
#include "sidewindows/magwin/MagWinState.h"

using namespace TessikMagWin;

namespace
{

// A dialog template built in memory: header, then word-aligned items.
class DialogTemplate
{
public:
    explicit DialogTemplate(const wchar_t* title)
    {
        Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU);
        Dword(0);
        countAt_ = words_.size();
        words_.push_back(0);
        for (int v : {10, 10, 300, 200})
            words_.push_back(static_cast<WORD>(v));
        words_.push_back(0); // no menu
        words_.push_back(0); // the dialog class
        Text(title);
    }
    DialogTemplate& Item(const wchar_t* className, WORD id, DWORD style, const wchar_t* text = L"")
    {
        if (words_.size() % 2)
            words_.push_back(0);
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        for (int v : {5, 5 + 20 * words_[countAt_], 200, 100})
            words_.push_back(static_cast<WORD>(v));
        words_.push_back(id);
        Text(className);
        Text(text);
        words_.push_back(0);
        ++words_[countAt_];
        return *this;
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Dword(DWORD value)
    {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void Text(const wchar_t* text)
    {
        for (; *text; ++text)
            words_.push_back(*text);
        words_.push_back(0);
    }
    std::vector<WORD> words_;
    size_t countAt_ = 0;
};

int s_okCount = 0;
int s_enterCount = 0;
WNDPROC s_editProc = nullptr;

LRESULT CALLBACK CountEnter(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == VK_RETURN)
        ++s_enterCount;
    return CallWindowProcW(s_editProc, window, message, wParam, lParam);
}

INT_PTR CALLBACK CountOk(HWND, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK)
        ++s_okCount;
    return message == WM_INITDIALOG;
}

// Owns a dialog window for one test.
class TestDialog
{
public:
    explicit TestDialog(const DialogTemplate& dialogTemplate, bool show = true)
    {
        hwnd_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate.Get(), nullptr, CountOk, 0);
        if (hwnd_ && show)
            ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    }
    ~TestDialog()
    {
        if (hwnd_)
            DestroyWindow(hwnd_);
    }
    HWND Get() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

private:
    HWND hwnd_ = nullptr;
};

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

HWND NameEdit(HWND dialog)
{
    HWND ex = FindWindowExW(dialog, nullptr, L"ComboBoxEx32", nullptr);
    HWND combo = ex ? FindWindowExW(ex, nullptr, L"ComboBox", nullptr) : nullptr;
    return combo ? FindWindowExW(combo, nullptr, L"Edit", nullptr) : nullptr;
}

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

constexpr WORD kLookIn = 0x471, kTypes = 0x470, kName = 0x47C, kFolderLabel = 0x443;

DialogTemplate ClassicOpen(const wchar_t* title, const wchar_t* folderLabel = L"Look &in:")
{
    DialogTemplate t(title);
    t.Item(L"Static", kFolderLabel, SS_LEFT, folderLabel)
        .Item(L"ComboBox", kLookIn, CBS_DROPDOWNLIST)
        .Item(WC_COMBOBOXEXW, kName, CBS_DROPDOWN)
        .Item(L"ComboBox", kTypes, CBS_DROPDOWNLIST);
    return t;
}

void SelectText(HWND combo, const wchar_t* text)
{
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

class FileDialogAutomationTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_USEREX_CLASSES};
        InitCommonControlsEx(&init);
    }
    void SetUp() override
    {
        s_okCount = 0;
        s_magFilterActive = false;
    }
};

} // namespace

TEST_F(FileDialogAutomationTest, OnlyVisibleDialogsWithAFileNameFieldMatch)
{
    const std::wstring title = L"Open " + std::to_wstring(GetCurrentProcessId());
    TestDialog hidden(ClassicOpen(title.c_str()), false);
    // A prompt titled like a dialog ("Save", no name field) must not capture
    // the docking.
    DialogTemplate promptTemplate(L"Save");
    promptTemplate.Item(L"Button", IDOK, BS_PUSHBUTTON, L"Yes");
    TestDialog prompt(promptTemplate);
    ASSERT_TRUE(hidden.Get() && prompt.Get());

    EXPECT_FALSE(IsFileDialogMatch(hidden.Get(), FileDialogTitles()));
    EXPECT_FALSE(IsFileDialogMatch(prompt.Get(), FileDialogTitles()));
    EXPECT_NE(FindMatchingDialog(FileDialogTitles()), hidden.Get());

    ShowWindow(hidden.Get(), SW_SHOWNOACTIVATE);
    EXPECT_TRUE(IsFileDialogMatch(hidden.Get(), FileDialogTitles()));
    DialogTemplate bare(L"Save As");
    bare.Item(L"Edit", 0x480, ES_AUTOHSCROLL);
    TestDialog bareDialog(bare);
    EXPECT_TRUE(IsFileDialogMatch(bareDialog.Get(), FileDialogTitles()));
    DialogTemplate other(L"Error");
    other.Item(L"Edit", 0x480, ES_AUTOHSCROLL);
    TestDialog otherDialog(other);
    EXPECT_FALSE(IsFileDialogMatch(otherDialog.Get(), FileDialogTitles()));
}

TEST_F(FileDialogAutomationTest, TypeFilterIsReadFromTheTypeComboFirst)
{
    TestDialog dialog(ClassicOpen(L"Open"));
    ASSERT_TRUE(dialog.Get());
    // The "Look in" box comes first and its folder name holds "(".
    SelectText(dialog.Item(kLookIn), L"photos (2021)");
    SelectText(dialog.Item(kTypes), L"Text files (*.txt)");
    EXPECT_EQ(ReadDialogComboText(), (std::vector<std::wstring>{L"*.txt"}));

    // No filter text at all: no patterns, and so no filtering.
    SendMessageW(dialog.Item(kTypes), CB_RESETCONTENT, 0, 0);
    SendMessageW(dialog.Item(kLookIn), CB_RESETCONTENT, 0, 0);
    EXPECT_TRUE(ReadDialogComboText().empty());
    EXPECT_TRUE(MatchDialogFilter({}, L"C:\\x\\README"));
    s_magFilterActive = true;
    EXPECT_FALSE(MatchDialogFilter({L"*.txt"}, L"C:\\x\\README"));
}

// What a name field was given, in order.
std::vector<std::wstring> s_givenTexts;
WNDPROC s_nameEditProc = nullptr;
LRESULT CALLBACK RecordGivenText(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        s_givenTexts.emplace_back(reinterpret_cast<const wchar_t*>(lParam));
    return CallWindowProcW(s_nameEditProc, edit, message, wParam, lParam);
}

// A dialog without an address bar gets an existing folder, with a trailing
// backslash, in its name field and confirmed; then the field shows its own
// text again (a filter pattern names nothing the dialog could write).
TEST_F(FileDialogAutomationTest, ClassicDialogGoesOnlyToExistingFolders)
{
    TestDialog dialog(ClassicOpen(L"Open"));
    ASSERT_TRUE(dialog.Get());
    HWND edit = NameEdit(dialog.Get());
    ASSERT_TRUE(edit);
    SetWindowTextW(edit, L"*.txt");
    s_givenTexts.clear();
    s_nameEditProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordGivenText)));

    TempFolder temp;
    const std::filesystem::path folder = temp.Path() / L"box";
    EXPECT_FALSE(NavigateDialogAddressBar(folder.wstring()));
    EXPECT_FALSE(NavigateDialogAddressBar(L"bvn!NULL"));
    EXPECT_EQ(TextOf(edit), L"*.txt");

    std::filesystem::create_directories(folder);
    // As the store writes it: every backslash doubled.
    std::wstring stored = folder.wstring();
    for (size_t at = stored.find(L'\\'); at != std::wstring::npos; at = stored.find(L'\\', at + 2))
        stored.insert(at, 1, L'\\');
    EXPECT_TRUE(s_givenTexts.empty());
    EXPECT_TRUE(NavigateDialogAddressBar(stored));
    EXPECT_EQ(s_givenTexts, (std::vector<std::wstring>{folder.wstring() + L"\\", L"*.txt"}));
    EXPECT_EQ(TextOf(edit), L"*.txt");
    Pump();
}

TEST_F(FileDialogAutomationTest, OnlyADialogWhoseButtonOpensIsConfirmed)
{
    // Open dialogs get Enter and IDOK; a dialog that may save, whatever its
    // language and whatever "open" its title holds, gets neither: the user
    // confirms.
    struct Case {
        const wchar_t* title;
        const wchar_t* okButton;
        bool confirmed;
        const wchar_t* folderLabel = L"Look &in:";
    };
    const Case dialogs[] = {{L"Open", L"&Open", true},
                            {L"Öffnen", L"Ö&ffnen", true, L"Suchen &in:"},
                            {L"Open", L"&Open", false, L"Save &in:"},
                            {L"Open", L"&Open", false, L""},
                            {L"Export to OpenDocument", L"Export", false},
                            {L"打开方式导出", L"导出", false},
                            {L"Open", nullptr, false},
                            {L"Save As", L"&Save", false},
                            {L"Speichern unter", L"&Speichern", false},
                            {L"儲存", L"儲存(&S)", false},
                            {L"另存为", L"保存(&S)", false}};
    for (const Case& c : dialogs) {
        s_okCount = 0;
        s_enterCount = 0;
        DialogTemplate layout = ClassicOpen(c.title, c.folderLabel);
        if (c.okButton)
            layout.Item(L"Button", IDOK, BS_DEFPUSHBUTTON, c.okButton);
        TestDialog dialog(layout);
        ASSERT_TRUE(dialog.Get());
        HWND edit = NameEdit(dialog.Get());
        s_editProc =
            reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountEnter)));
        EXPECT_TRUE(SetDialogFileName(L"note.txt"));
        EXPECT_EQ(TextOf(edit), L"note.txt");
        Pump();
        EXPECT_EQ(s_okCount, c.confirmed ? 1 : 0) << testing::PrintToString(std::wstring(c.title));
        EXPECT_EQ(s_enterCount, c.confirmed ? 1 : 0) << testing::PrintToString(std::wstring(c.title));
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_editProc));
    }
}

TEST_F(FileDialogAutomationTest, FillStopsWhenTheFolderIsMissing)
{
    TestDialog dialog(ClassicOpen(L"Open"));
    ASSERT_TRUE(dialog.Get());
    SetWindowTextW(NameEdit(dialog.Get()), L"");
    EXPECT_FALSE(FillFileDialog(L"C:\\no such folder 7f3a\\a.txt"));
    EXPECT_EQ(TextOf(NameEdit(dialog.Get())), L"");
    EXPECT_EQ(s_okCount, 0);
}
