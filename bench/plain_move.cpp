// The system's own move of a folder's files, as the real-drop benchmark's
// yardstick: MoveFileExW of every file of one folder into another, timed
// inside the program (its start under Wine is not counted).
//
//   bench_plain_move.exe <from folder> <to folder>
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
    if (!argv || argc != 3) {
        std::fprintf(stderr, "usage: bench_plain_move <from folder> <to folder>\n");
        return 2;
    }
    const std::wstring from = argv[1], to = argv[2];
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
    for (const std::wstring& name : names)
        moved += MoveFileExW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), 0) ? 1 : 0;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu %.3f\n", moved, seconds);
    return moved == names.size() ? 0 : 1;
}
