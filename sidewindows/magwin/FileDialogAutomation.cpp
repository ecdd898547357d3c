#include "sidewindows/magwin/FileDialogAutomation.h"

#include <commdlg.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <atomic>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "app/CommonHelpers.h"
#include "app/StoreTextFormat.h"
#include "app/UserNotice.h"
#include "sidewindows/magwin/MagWinRules.h"
#include "sidewindows/magwin/MagWinState.h"
#include "ui/core/Easing.h"

namespace TessikMagWin
{

namespace
{

constexpr UINT kMessageTimeout = 2000;
// How long a fill waits for the dialog to show the box's folder: a busy
// dialog may take seconds to list a large folder.
constexpr ULONGLONG kFolderWait = 5000;
constexpr int kTypeFilterComboId = 0x470; // cmb1 of the common dialogs
constexpr int kFolderLabelId = 0x443;     // stc4: "Look &in:" or "Save &in:"
constexpr wchar_t kNoDialog[] = L"[-] 未找到匹配相关字符的对话框。";

// The last failure line since it was taken: the address bar is driven
// from a task thread, and only the UI thread may tell the user.
std::mutex s_failureLock;
std::wstring s_lastFailure;

void Report(const std::wstring& line)
{
    const std::string bytes = WideToUtf8(line + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
    if (line.rfind(L"[-] ", 0) == 0) {
        std::lock_guard<std::mutex> lock(s_failureLock);
        s_lastFailure = line.substr(4);
    }
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[257] = {};
    GetClassNameW(window, name, 257);
    return name;
}

// Window text of a window of another process, bounded so a hung dialog
// cannot hang the caller.
std::wstring TextOf(HWND window, size_t limit)
{
    std::wstring text(limit + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, limit + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kMessageTimeout, &copied))
        return L"";
    text.resize(std::min<size_t>(copied, limit));
    return text;
}

// The whole window text; false when the window did not answer.
bool ReadWholeText(HWND window, std::wstring& text)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeout, &length))
        return false;
    // The text may grow between the two messages: one more character
    // than asked for shows that it did.
    std::wstring buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeout, &copied) ||
        copied > length)
        return false;
    buffer.resize(copied);
    text = std::move(buffer);
    return true;
}

HWND Child(HWND parent, const wchar_t* className, HWND after = nullptr)
{
    return parent ? FindWindowExW(parent, after, className, nullptr) : nullptr;
}

HWND Chain(HWND from, std::initializer_list<const wchar_t*> classes)
{
    HWND at = from;
    for (const wchar_t* name : classes)
        at = Child(at, name);
    return at;
}

HWND OpenDialogNameEdit(HWND dialog)
{
    return Chain(dialog, {L"ComboBoxEx32", L"ComboBox", L"Edit"});
}

HWND AddressBarEdit(HWND dialog)
{
    return Chain(dialog, {L"WorkerW", L"ReBarWindow32", L"Address Band Root", L"msctls_progress32", L"ComboBoxEx32",
                          L"ComboBox", L"Edit"});
}

constexpr int kNameEditId = 0x480; // edt1 of the common dialogs

// A dialog without an address bar (the classic and old-style layouts, and
// dialogs such as Wine's own COM dialogs) is driven through its file-name
// field: every file dialog takes a folder typed there and confirmed. The
// newer dialogs' view holds a name field of its own but has an address bar.
HWND NameFieldForFolders(HWND dialog)
{
    if (Child(dialog, L"DUIViewWndClassName") || AddressBarEdit(dialog))
        return nullptr;
    if (HWND edit = OpenDialogNameEdit(dialog))
        return edit;
    if (HWND edit = GetDlgItem(dialog, kNameEditId); edit && ClassOf(edit) == L"Edit")
        return edit;
    return Child(dialog, L"Edit");
}

// The combo boxes of a save dialog's view, sink by sink; the callback
// answers true to stop.
template <typename Visit> void ForEachSaveCombo(HWND dialog, Visit&& visit)
{
    HWND view = Chain(dialog, {L"DUIViewWndClassName", L"DirectUIHWND"});
    if (!view)
        return;
    for (HWND sink = Child(view, L"FloatNotifySink"); sink; sink = Child(view, L"FloatNotifySink", sink)) {
        for (HWND combo = Child(sink, L"ComboBox"); combo; combo = Child(sink, L"ComboBox", combo)) {
            if (visit(sink, combo))
                return;
        }
    }
}

// The newer Save dialog's name field: a combo box of its view that holds
// an edit and no type filter.
bool HasNameFieldInView(HWND dialog)
{
    bool found = false;
    ForEachSaveCombo(dialog, [&found](HWND, HWND combo) {
        found = !LooksLikeFilterText(TextOf(combo, 512)) && Child(combo, L"Edit");
        return found;
    });
    return found;
}

bool HasFileNameControl(HWND dialog)
{
    return OpenDialogNameEdit(dialog) || Child(dialog, L"Edit") || HasNameFieldInView(dialog);
}

// What the dialog shows of its kind; nothing when a part of it could not
// be read, so that a dialog that does not answer is never confirmed.
std::optional<DialogFace> ReadDialogFace(HWND dialog)
{
    DialogFace face;
    if (!ReadWholeText(dialog, face.title))
        return std::nullopt;
    if (HWND ok = GetDlgItem(dialog, IDOK); ok && !ReadWholeText(ok, face.okButton))
        return std::nullopt;
    for (HWND label = Child(dialog, L"Static"); label; label = Child(dialog, L"Static", label)) {
        std::wstring text;
        if (!ReadWholeText(label, text))
            return std::nullopt;
        if (!text.empty())
            face.labels.push_back(std::move(text));
    }
    if (HWND folderLabel = GetDlgItem(dialog, kFolderLabelId);
        folderLabel && !ReadWholeText(folderLabel, face.folderLabel))
        return std::nullopt;
    face.nameFieldInView = HasNameFieldInView(dialog);
    face.newerLayout = Chain(dialog, {L"DUIViewWndClassName", L"DirectUIHWND"}) != nullptr;
    face.nameFieldOutsideView = OpenDialogNameEdit(dialog) != nullptr;
    return face;
}

// The folder the dialog shows, as the common dialogs tell it
// (CDM_GETFOLDERPATH); empty when it does not answer. The message carries a
// pointer, which no process boundary translates: for a dialog of another
// process the buffer is made inside that process.
std::wstring FolderByDialogMessage(HWND dialog)
{
    constexpr size_t kChars = 32768;
    DWORD processId = 0;
    GetWindowThreadProcessId(dialog, &processId);
    DWORD_PTR answer = 0;
    auto ask = [&](void* buffer) {
        return SendMessageTimeoutW(dialog, CDM_GETFOLDERPATH, kChars, reinterpret_cast<LPARAM>(buffer),
                                   SMTO_ABORTIFHUNG, kMessageTimeout, &answer) != 0;
    };
    // The answer counts the terminating null; more than the buffer holds
    // means the path did not fit.
    auto fits = [&] { return static_cast<LONG_PTR>(answer) > 1 && answer <= kChars; };
    std::wstring buffer(kChars, L'\0');
    if (processId == GetCurrentProcessId()) {
        if (!ask(buffer.data()) || !fits())
            return L"";
    } else {
        HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (!process)
            return L"";
        const SIZE_T bytes = kChars * sizeof(wchar_t);
        void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        bool read = false;
        if (remote) {
            const bool answered = ask(remote);
            SIZE_T copied = 0;
            read = answered && fits() && ReadProcessMemory(process, remote, buffer.data(), bytes, &copied) &&
                   copied == bytes;
            // A dialog that answers late may still write into the buffer:
            // it is left to that process rather than freed under it.
            if (answered)
                VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        }
        CloseHandle(process);
        if (!read)
            return L"";
    }
    buffer.resize(wcsnlen(buffer.data(), kChars));
    return buffer;
}

HWND AddressCrumbs(HWND dialog)
{
    return Chain(dialog, {L"WorkerW", L"ReBarWindow32", L"Address Band Root", L"msctls_progress32",
                          L"Breadcrumb Parent", L"ToolbarWindow32"});
}

// Whether the dialog shows the folder: by its own answer, else by the text
// of the newer dialogs' address bar.
bool DialogShowsFolder(HWND dialog, const std::wstring& folder)
{
    if (const std::wstring shown = FolderByDialogMessage(dialog); !shown.empty())
        return SameFolderPath(shown, folder);
    HWND crumbs = AddressCrumbs(dialog);
    std::wstring text;
    return crumbs && ReadWholeText(crumbs, text) && SameFolderPath(FolderOfAddressText(text), folder);
}

// Whether the dialog can say which folder it shows at all (old-style
// dialogs and COM dialogs without an address bar cannot).
bool DialogTellsFolder(HWND dialog)
{
    return !FolderByDialogMessage(dialog).empty() || AddressCrumbs(dialog);
}

// Waits, dispatching the thread's messages, until the dialog shows the
// folder; false when it does not within the bound or is gone.
bool WaitForFolder(HWND dialog, const std::wstring& folder)
{
    const ULONGLONG deadline = GetTickCount64() + kFolderWait;
    while (IsWindow(dialog)) {
        if (DialogShowsFolder(dialog, folder))
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        WaitWithMessages(50);
    }
    return false;
}

struct Search {
    const std::vector<std::wstring>* titles;
    HWND found;
};

BOOL CALLBACK MatchDialogTitle(HWND window, LPARAM param)
{
    Search& search = *reinterpret_cast<Search*>(param);
    if (!IsFileDialogMatch(window, *search.titles))
        return TRUE;
    search.found = window;
    return FALSE;
}

// The text a combo box shows: its window text, else its selected item.
std::wstring ComboText(HWND combo)
{
    std::wstring text = TextOf(combo, 512);
    if (!text.empty())
        return text;
    DWORD_PTR selection = CB_ERR;
    if (!SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeout, &selection) ||
        static_cast<LRESULT>(selection) == CB_ERR)
        return L"";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, selection, 0, SMTO_ABORTIFHUNG, kMessageTimeout, &length) ||
        static_cast<LRESULT>(length) == CB_ERR || length > 4096)
        return L"";
    std::wstring item(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, selection, reinterpret_cast<LPARAM>(item.data()), SMTO_ABORTIFHUNG,
                             kMessageTimeout, &copied) ||
        static_cast<LRESULT>(copied) == CB_ERR)
        return L"";
    item.resize(std::min<size_t>(copied, length));
    return item;
}

// Releases the keys a stopped shortcut left down.
void ReleaseKeys(const std::vector<WORD>& down)
{
    for (auto key = down.rbegin(); key != down.rend(); ++key) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(1, &input, sizeof(INPUT));
    }
}

// Alt+D as four events, each sent only while the dialog still has the
// foreground: typed into another window it would act there.
bool TypeAltD(HWND dialog)
{
    const std::pair<WORD, bool> events[] = {{VK_MENU, false}, {'D', false}, {'D', true}, {VK_MENU, true}};
    std::vector<WORD> down;
    for (const auto& [key, up] : events) {
        if (GetForegroundWindow() != dialog) {
            ReleaseKeys(down);
            Report(L"[-] 对话框不在前台，已停止输入。");
            return false;
        }
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        SendInput(1, &input, sizeof(INPUT));
        if (up)
            std::erase(down, key);
        else
            down.push_back(key);
    }
    return true;
}

HWND FindAddressEdit(HWND dialog, HWND nameEdit)
{
    if (HWND edit = AddressBarEdit(dialog))
        return edit;
    for (int attempt = 0; attempt < 10; ++attempt) {
        HWND focus = GetFocus();
        if (focus && focus != dialog && focus != nameEdit && ClassOf(focus) == L"Edit")
            return focus;
        Sleep(50);
    }
    return nullptr;
}

} // namespace

bool IsFileDialogMatch(HWND window, const std::vector<std::wstring>& titles)
{
    if (ClassOf(window) != L"#32770" || !IsWindowVisible(window))
        return false;
    wchar_t title[257] = {};
    GetWindowTextW(window, title, 257);
    return TitleMatchesAny(title, titles) && HasFileNameControl(window);
}

HWND FindMatchingDialog(const std::vector<std::wstring>& titles)
{
    Search search{&titles, nullptr};
    EnumWindows(MatchDialogTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace
{

// The folder, with a trailing backslash, typed into the file-name field and
// confirmed as Enter would (the dialog's default button, sent, so that it
// has acted when the call returns): a name ending in a backslash is only
// ever a folder, so the dialog goes there and never saves or opens a file.
// The field then shows what it showed before.
bool NavigateByNameField(HWND dialog, HWND field, const std::wstring& path)
{
    wchar_t handle[32] = {};
    swprintf(handle, 32, L"%p", static_cast<void*>(field));
    Report(std::wstring(L"[+] 对话框没有地址栏，经文件名输入框跳转: ") + handle);
    std::wstring previous;
    if (!ReadWholeText(field, previous)) {
        Report(L"[-] 文件对话框没有响应，没有跳转到文件夹。");
        return false;
    }
    const std::wstring typed = path.back() == L'\\' ? path : path + L'\\';
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()), SMTO_ABORTIFHUNG,
                             kMessageTimeout, &result) ||
        !result) {
        Report(L"[-] 无法在文件名输入框中写入文件夹，没有跳转。");
        return false;
    }
    // Checked again right before the Enter: a folder gone meanwhile would
    // only earn the user the dialog's own complaint, but nothing is sent
    // on what is not there.
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
        SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(previous.c_str()), SMTO_ABORTIFHUNG,
                            kMessageTimeout, &result);
        Report(L"[-] 文件夹不存在：" + path);
        return false;
    }
    // The dialog may take a while to list the folder: the calling thread
    // (the UI thread, for a file's click) keeps dispatching meanwhile.
    std::atomic<bool> answered{false};
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!done) {
        SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(previous.c_str()), SMTO_ABORTIFHUNG,
                            kMessageTimeout, &result);
        Report(L"[-] 系统资源不足，没有跳转到文件夹。");
        return false;
    }
    std::thread confirm([dialog, done, &answered] {
        DWORD_PTR ignored = 0;
        answered = SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)), SMTO_ABORTIFHUNG,
                                       static_cast<UINT>(kFolderWait), &ignored) != 0;
        SetEvent(done);
    });
    WaitForObjectWithMessages(done);
    confirm.join();
    CloseHandle(done);
    if (!answered) {
        Report(L"[-] 文件对话框没有响应，可能没有跳转到文件夹。");
        return false;
    }
    // The field shows its own text again only once the dialog has taken the
    // folder: one that went on to act on its OK later would take the
    // restored text for a file. Taken: it cleared the field itself, or it
    // shows the folder; a dialog that can say neither gets its text back
    // only where that text names nothing it could write.
    std::wstring now;
    bool taken = ReadWholeText(field, now) && now != typed;
    if (!taken && DialogTellsFolder(dialog))
        taken = WaitForFolder(dialog, path);
    const std::optional<DialogFace> face = taken ? std::nullopt : ReadDialogFace(dialog);
    if (taken || NamesNothingToWrite(previous) || (face && IsKnownOpenDialog(*face)))
        SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(previous.c_str()), SMTO_ABORTIFHUNG,
                            kMessageTimeout, &result);
    Report(L"[+] 路径跳转完成。");
    return true;
}

bool NavigateDialog(HWND dialog, const std::wstring& folder)
{
    // Stored folders keep doubled backslashes; a share keeps its leading pair.
    const std::wstring path = NormalizeStoredPath(folder);
    std::error_code error;
    if (folder == L"bvn!NULL" || path.empty() || !std::filesystem::is_directory(path, error)) {
        Report(L"[-] 文件夹不存在：" + path);
        return false;
    }
    // The dialogs take folders of at most MAX_PATH characters; a longer
    // one would be cut short in the name field, where Enter could take
    // what is left for a file name.
    if (path.size() + 1 >= MAX_PATH) {
        Report(L"[-] 文件夹路径太长，文件对话框无法进入：" + path);
        return false;
    }
    // No address bar: the folder goes through the file-name field.
    if (HWND field = NameFieldForFolders(dialog))
        return NavigateByNameField(dialog, field, path);
    HWND nameEdit = OpenDialogNameEdit(dialog);

    const DWORD own = GetCurrentThreadId();
    const DWORD target = GetWindowThreadProcessId(dialog, nullptr);
    const bool attached = own != target && AttachThreadInput(own, target, TRUE);
    auto detach = [&] {
        if (attached)
            AttachThreadInput(own, target, FALSE);
    };
    SetForegroundWindow(dialog);
    SetFocus(dialog);
    Sleep(100);
    if (!TypeAltD(dialog)) {
        detach();
        return false;
    }
    WaitWithMessages(200);
    HWND edit = FindAddressEdit(dialog, nameEdit);
    if (!edit) {
        detach();
        Report(L"[-] 未找到对话框的地址栏，没有跳转到文件夹。");
        return false;
    }
    wchar_t handle[32] = {};
    swprintf(handle, 32, L"%p", static_cast<void*>(edit));
    Report(std::wstring(L"[+] 已精准定位地址栏句柄: ") + handle);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_ABORTIFHUNG, kMessageTimeout,
                        &result);
    WaitWithMessages(50);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(edit, WM_KEYUP, VK_RETURN, 0);
    Report(L"[+] 路径跳转完成。");
    detach();
    return true;
}

bool FillName(HWND dialog, const std::wstring& name)
{
    const bool save = IsSaveDialogTitle(TextOf(dialog, 256));
    HWND field = nullptr;
    if (save) {
        ForEachSaveCombo(dialog, [&field](HWND, HWND combo) {
            if (LooksLikeFilterText(TextOf(combo, 512)))
                return false;
            const LPARAM point = MAKELPARAM(5, 5);
            SendMessageTimeoutW(combo, WM_LBUTTONDOWN, MK_LBUTTON, point, SMTO_ABORTIFHUNG, kMessageTimeout, nullptr);
            SendMessageTimeoutW(combo, WM_LBUTTONUP, 0, point, SMTO_ABORTIFHUNG, kMessageTimeout, nullptr);
            SetFocus(combo);
            Sleep(50);
            field = Child(combo, L"Edit");
            return field != nullptr;
        });
    }
    if (!field)
        field = OpenDialogNameEdit(dialog);
    if (!field)
        field = Child(dialog, L"Edit");
    if (!field) {
        Report(L"[-] 未找到文件名输入控件。");
        return false;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()), SMTO_ABORTIFHUNG,
                             kMessageTimeout, &result) ||
        !result) {
        Report(L"[-] 无法写入文件名。");
        return false;
    }
    HWND okButton = GetDlgItem(dialog, IDOK);
    const std::optional<DialogFace> face = ReadDialogFace(dialog);
    if (!face || !IsKnownOpenDialog(*face)) {
        // Confirming here could replace a file of that name in whatever
        // folder the dialog shows: only a dialog that shows itself as an
        // Open dialog is confirmed, every other one is left to the user.
        Report(L"[+] 已设置文件名，请在对话框中确认保存。");
        return true;
    }
    PostMessageW(field, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(field, WM_KEYUP, VK_RETURN, 0);
    SendMessageTimeoutW(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(okButton), SMTO_ABORTIFHUNG, kMessageTimeout,
                        &result);
    Report(L"[+] 已设置文件名并发送回车指令。");
    return true;
}

} // namespace

std::wstring TakeLastFailure()
{
    std::lock_guard<std::mutex> lock(s_failureLock);
    return std::exchange(s_lastFailure, std::wstring());
}

void TellLastFailure()
{
    const std::wstring why = TakeLastFailure();
    if (!why.empty())
        NotifyUser(L"magnet-dialog", L"磁力访问窗没能操作文件对话框：" + why);
}

bool NavigateDialogAddressBar(const std::wstring& folder)
{
    HWND dialog = FindMatchingDialog(AutomationDialogTitles(true));
    if (!dialog) {
        Report(kNoDialog);
        return false;
    }
    return NavigateDialog(dialog, folder);
}

bool SetDialogFileName(const std::wstring& name)
{
    HWND dialog = FindMatchingDialog(AutomationDialogTitles(true));
    if (!dialog) {
        Report(kNoDialog);
        return false;
    }
    return FillName(dialog, name);
}

std::vector<std::wstring> ReadDialogComboText()
{
    HWND dialog = FindMatchingDialog(AutomationDialogTitles(false));
    if (!dialog) {
        Report(kNoDialog);
        return {};
    }
    std::wstring filter;
    if (IsSaveDialogTitle(TextOf(dialog, 256))) {
        HWND lastSink = nullptr;
        ForEachSaveCombo(dialog, [&](HWND sink, HWND combo) {
            // The search ends with the sink that gave a real filter text.
            if (sink != lastSink && filter.size() > 1)
                return true;
            lastSink = sink;
            if (filter.empty()) {
                const std::wstring text = ComboText(combo);
                if (LooksLikeFilterText(text))
                    filter = text;
            }
            return false;
        });
    } else {
        // The type combo box first: the "Look in" box shows a folder name,
        // which may hold "(" as well.
        if (HWND types = GetDlgItem(dialog, kTypeFilterComboId); types && ClassOf(types) == L"ComboBox") {
            const std::wstring text = ComboText(types);
            if (LooksLikeFilterText(text))
                filter = text;
        }
        for (HWND combo = Child(dialog, L"ComboBox"); combo && filter.empty();
             combo = Child(dialog, L"ComboBox", combo)) {
            const std::wstring text = ComboText(combo);
            if (LooksLikeFilterText(text))
                filter = text;
        }
    }
    if (filter.empty())
        return {};
    return ParseFilterPatterns(filter);
}

bool MatchDialogFilter(const std::vector<std::wstring>& patterns, const std::wstring& path)
{
    return !s_magFilterActive || PathPassesPatterns(patterns, path);
}

bool FillFileDialog(const std::wstring& path)
{
    // Messages are dispatched while the dialog changes folder: a second
    // click meanwhile would drive the same dialog from two places.
    static bool s_filling = false;
    if (s_filling)
        return false;
    s_filling = true;
    struct Done {
        ~Done() { s_filling = false; }
    } done;

    const std::wstring folder = path.empty() ? L"" : std::filesystem::path(path).parent_path().wstring();
    const std::wstring name = GetPathFileName(path);
    HWND dialog = FindMatchingDialog(AutomationDialogTitles(true));
    if (!dialog) {
        Report(kNoDialog);
        return false;
    }
    // The name goes in only once the dialog shows the file's folder: given
    // earlier, it would be taken in the folder the dialog showed before,
    // and the folder's Enter, still queued, would confirm it there. A
    // dialog already there gets no Enter at all.
    const std::wstring target = NormalizeStoredPath(folder);
    // A dialog that cannot say which folder it shows gets the file's whole
    // path: taken in any folder, it names that file alone.
    if (!DialogTellsFolder(dialog)) {
        if (!NavigateDialog(dialog, folder))
            return false;
        return FillName(dialog, NormalizeStoredPath(path));
    }
    if (!DialogShowsFolder(dialog, target)) {
        if (!NavigateDialog(dialog, folder))
            return false;
        if (!WaitForFolder(dialog, target)) {
            Report(L"[-] 对话框没有进入文件夹，未填写文件名：" + target);
            TakeLastFailure();
            NotifyUser(L"magnet-fill-folder",
                       L"文件对话框没有及时进入文件夹“" + target + L"”，文件名没有填入。请稍后再点一次该文件。");
            return false;
        }
    }
    return FillName(dialog, name);
}

} // namespace TessikMagWin
