// Small Windows program the end-to-end scripts run in Tessik's Wine prefix
// as a program that exports a document would: it shows the system's save
// dialog (GetSaveFileNameW, no overwrite prompt) with a title and an OK
// button text of its own, and writes the file it gets back, replacing
// whatever stood there.
//
//   SaveDialog <title> <OK button text> <start folder>
//
// Prints "saved <path>" and exits 0 when it wrote the file, prints
// "cancelled" and exits 1 when the dialog was cancelled, exits 2 on bad use
// or a failed write.
//
//   SaveDialog --shown <com-open|com-save|old-open> <title> <start folder>
//
// shows the system's other dialogs: the COM Open or Save dialog
// (IFileOpenDialog, IFileSaveDialog) or the old-style Open dialog (a hook
// without the Explorer flag), writes nothing, prints "chose <path>" and
// exits 0, or "cancelled" and 1.
#include <windows.h>

#include <commdlg.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

namespace
{

const wchar_t* s_okText = L"";

// The hook runs in the dialog's child: its parent is the dialog itself.
UINT_PTR CALLBACK RenameOk(HWND hook, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == CDN_INITDONE)
        SendMessageW(GetParent(hook), CDM_SETCONTROLTEXT, IDOK, reinterpret_cast<LPARAM>(s_okText));
    return 0;
}

UINT_PTR CALLBACK KeepOldStyle(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

int Chose(const std::wstring& path)
{
    if (path.empty()) {
        std::printf("cancelled\n");
        return 1;
    }
    std::wprintf(L"chose %ls\n", path.c_str());
    return 0;
}

int ShowComDialog(bool save, const wchar_t* title, const wchar_t* folder)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    Microsoft::WRL::ComPtr<IFileDialog> dialog;
    if (FAILED(CoCreateInstance(save ? CLSID_FileSaveDialog : CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&dialog))))
        return 2;
    dialog->SetTitle(title);
    Microsoft::WRL::ComPtr<IShellItem> start;
    if (SUCCEEDED(SHCreateItemFromParsingName(folder, nullptr, IID_PPV_ARGS(&start))))
        dialog->SetFolder(start.Get());
    if (save)
        dialog->SetFileName(L"document.txt");
    std::wstring chosen;
    Microsoft::WRL::ComPtr<IShellItem> result;
    if (SUCCEEDED(dialog->Show(nullptr)) && SUCCEEDED(dialog->GetResult(&result))) {
        wchar_t* path = nullptr;
        if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
            chosen = path;
            CoTaskMemFree(path);
        }
    }
    return Chose(chosen);
}

int ShowOldStyleOpen(const wchar_t* title, const wchar_t* folder)
{
    wchar_t path[MAX_PATH] = L"";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.lpstrFilter = L"All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = folder;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_ENABLEHOOK | OFN_NOCHANGEDIR;
    dialog.lpfnHook = KeepOldStyle;
    return Chose(GetOpenFileNameW(&dialog) ? path : L"");
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 5 && std::wstring(argv[1]) == L"--shown") {
        const std::wstring kind = argv[2];
        if (kind == L"com-open" || kind == L"com-save")
            return ShowComDialog(kind == L"com-save", argv[3], argv[4]);
        if (kind == L"old-open")
            return ShowOldStyleOpen(argv[3], argv[4]);
        return 2;
    }
    if (argc != 4)
        return 2;
    s_okText = argv[2];
    wchar_t path[MAX_PATH] = L"document.txt";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.lpstrFilter = L"All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = argv[3];
    dialog.lpstrTitle = argv[1];
    dialog.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    dialog.lpfnHook = RenameOk;
    if (!GetSaveFileNameW(&dialog)) {
        std::printf("cancelled\n");
        return 1;
    }
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    const char text[] = "written by the save dialog's program\r\n";
    DWORD written = 0;
    const bool ok = WriteFile(file, text, sizeof(text) - 1, &written, nullptr) && written == sizeof(text) - 1;
    CloseHandle(file);
    std::wprintf(L"saved %ls\n", path);
    return ok ? 0 : 2;
}
