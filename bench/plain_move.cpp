// The system's own operation on a folder's files, as the yardstick of the
// benchmarks that drive the real program: MoveFileExW of every file of one
// folder into another, CopyFileW of each (--copy), DeleteFileW of each
// (--delete), or one
// SHFileOperationW that sends them all to the Recycle Bin (--recycle).
// Prints how many it handled and the time inside the program (its start
// under Wine is not counted; the scripts time that from outside).
//
//   bench_plain_move.exe <from folder> <to folder>
//   bench_plain_move.exe --copy <from folder> <to folder>
//   bench_plain_move.exe --delete <folder>
//   bench_plain_move.exe --recycle <folder>
#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3 || (argc == 4) != (std::wstring(argv[1]) == L"--copy")) {
        std::fprintf(stderr,
                     "usage: bench_plain_move [--copy] <from folder> <to folder> | --delete|--recycle <folder>\n");
        return 2;
    }
    const std::wstring mode = argv[1][0] == L'-' ? argv[1] : L"--move";
    const std::wstring from = mode == L"--move" ? argv[1] : argv[2];
    const std::wstring to = mode == L"--move" ? argv[2] : mode == L"--copy" ? argv[3] : L"";
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 1;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    const auto start = std::chrono::steady_clock::now();
    size_t moved = 0;
    if (mode == L"--recycle") {
        // One operation for all, each path ended by a zero, the list by
        // another.
        std::wstring list;
        for (const std::wstring& name : names)
            list += from + L"\\" + name + L'\0';
        list += L'\0';
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = list.c_str();
        op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        if (SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted)
            moved = names.size();
    } else {
        for (const std::wstring& name : names) {
            const std::wstring path = from + L"\\" + name;
            const std::wstring target = to + L"\\" + name;
            const BOOL done = mode == L"--delete" ? DeleteFileW(path.c_str())
                              : mode == L"--copy" ? CopyFileW(path.c_str(), target.c_str(), TRUE)
                                                  : MoveFileExW(path.c_str(), target.c_str(), 0);
            moved += done ? 1 : 0;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu %.3f\n", moved, seconds);
    return moved == names.size() ? 0 : 1;
}
