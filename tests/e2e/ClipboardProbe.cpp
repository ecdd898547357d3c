// Reads and fills the clipboard from inside the same Wine prefix as
// Tessik.exe, for the end-to-end scripts.
//
//   ClipboardProbe files        one "file<TAB>path" line per CF_HDROP entry,
//                               then "effect<TAB>n" ("Preferred DropEffect",
//                               0 when absent)
//   ClipboardProbe text <text>  puts the text on the clipboard (CF_UNICODETEXT)
//   ClipboardProbe put-files <path>...
//                               puts the paths on the clipboard as a file
//                               list (CF_HDROP), as a copy in Explorer does;
//                               a relative path is taken from the current
//                               folder (thousands of full paths would not
//                               fit on a command line)
//
// Exit code 0 on success, 1 when the clipboard could not be used, 2 on bad use.
#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace
{

bool Open()
{
    for (int i = 0; i < 50; ++i) {
        if (OpenClipboard(nullptr))
            return true;
        Sleep(20);
    }
    return false;
}

int Files()
{
    if (!Open())
        return 1;
    if (HANDLE data = GetClipboardData(CF_HDROP)) {
        const UINT count = DragQueryFileW(static_cast<HDROP>(data), 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            wchar_t path[1024] = {};
            DragQueryFileW(static_cast<HDROP>(data), i, path, 1024);
            std::wprintf(L"file\t%ls\n", path);
        }
    }
    DWORD effect = 0;
    if (HANDLE data = GetClipboardData(RegisterClipboardFormatW(L"Preferred DropEffect"))) {
        if (const auto* value = static_cast<const DWORD*>(GlobalLock(data))) {
            effect = *value;
            GlobalUnlock(data);
        }
    }
    std::wprintf(L"effect\t%lu\n", effect);
    CloseClipboard();
    return 0;
}

int Text(const std::wstring& text)
{
    if (!Open())
        return 1;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (data) {
        std::memcpy(GlobalLock(data), text.c_str(), bytes);
        GlobalUnlock(data);
        if (!SetClipboardData(CF_UNICODETEXT, data))
            GlobalFree(data);
    }
    CloseClipboard();
    return data ? 0 : 1;
}

int PutFiles(int count, wchar_t** paths)
{
    std::wstring list;
    for (int i = 0; i < count; ++i) {
        wchar_t full[MAX_PATH * 4] = {};
        const DWORD length = GetFullPathNameW(paths[i], MAX_PATH * 4, full, nullptr);
        list += length > 0 && length < MAX_PATH * 4 ? full : paths[i];
        list += L'\0';
    }
    list += L'\0';
    const size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!data)
        return 1;
    auto* header = static_cast<DROPFILES*>(GlobalLock(data));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(data);
    if (!Open()) {
        GlobalFree(data);
        return 1;
    }
    EmptyClipboard();
    const bool put = SetClipboardData(CF_HDROP, data) != nullptr;
    if (!put)
        GlobalFree(data);
    CloseClipboard();
    return put ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"files")
        return Files();
    if (command == L"text" && argc > 2)
        return Text(argv[2]);
    if (command == L"put-files" && argc > 2)
        return PutFiles(argc - 2, argv + 2);
    return 2;
}
