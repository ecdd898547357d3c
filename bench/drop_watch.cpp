// How long a box's UI thread keeps a message waiting, watched from another
// process while the drop benchmark runs: a message sent to the box window
// every few milliseconds (SendMessageTimeoutW of WM_NULL, answered only when
// the thread takes its messages), the longest wait kept: over the whole run,
// and since the mark file appeared (the drop has been taken and its files
// are landing). Runs until the stop file appears, then prints, in ms,
// "<longest> <longest since the mark> <answers>". The first answer writes
// the ready file.
//
//   bench_drop_watch.exe <box window class prefix> <ready file> <mark file> <stop file>
#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace
{

struct Search {
    std::wstring prefix;
    HWND found = nullptr;
};

BOOL CALLBACK Look(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    if (std::wstring(name).rfind(search->prefix, 0) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 5) {
        std::fprintf(stderr, "usage: bench_drop_watch <class prefix> <ready file> <mark file> <stop file>\n");
        return 2;
    }
    Search search{argv[1]};
    const std::wstring ready = argv[2], mark = argv[3], stop = argv[4];
    for (int i = 0; i < 1000 && !search.found; ++i) {
        EnumWindows(Look, reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            Sleep(10);
    }
    if (!search.found) {
        std::fprintf(stderr, "no box window\n");
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    double longest = 0, longestSinceMark = 0;
    bool marked = false;
    long answers = 0;
    while (!Exists(stop)) {
        // Looked at before the message goes: a wait counts as after the
        // mark only when all of it was.
        marked = marked || Exists(mark);
        const auto sent = Clock::now();
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(search.found, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &result)) {
            std::fprintf(stderr, "the box did not answer within 120 s\n");
            return 1;
        }
        const double waited = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        if (waited > longest)
            longest = waited;
        if (marked && waited > longestSinceMark)
            longestSinceMark = waited;
        if (answers++ == 0) {
            HANDLE file = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE)
                CloseHandle(file);
        }
        Sleep(2);
    }
    std::printf("%.0f %.0f %ld\n", longest, longestSinceMark, answers);
    return 0;
}
