// How long a window's UI thread keeps the user waiting, watched from another
// process while a benchmark drives the program. Each round posts the window
// a marked WM_NULL and moves the pointer by one pixel over the window's
// middle, and waits until the thread has taken both from its queue (seen
// by bench_watch_hook, set as a WH_GETMESSAGE hook on that thread): a
// posted message and an input round trip, which a thread that is frozen,
// or that only answers sent messages, cannot pass. A screen that stands
// still or a sent message that is answered proves neither.
//
// Files in the folder given steer it and take its results:
//   stop       ends it; it then prints, in ms, "<longest> <longest since
//              mark> <rounds>"
//   mark       from here on waits count also as "since the mark"
//   phase      what the user is doing now (one line); every wait over
//              50 ms is logged with it to waits.txt as "<start> <ms>
//              <phase>", the start in ns since 1970
//   hands-off  while it exists the pointer is left alone (the benchmark
//              clicks, or a drag holds the pointer): posted marks only
//   ask        the first round begun after it appeared writes, when it
//              ends, its end (ns since 1970) to answered
//   ready      written once the first round has ended
//
// The pointer is moved at the window's point <x> <y> (pixels from its
// top-left corner; by default its middle) and one pixel to the right: a
// spot where it shows no card and starts no drag.
//
// "@<x>,<y>" in place of the class prefix watches the top-level window at
// that point of the screen (one box of several).
//
//   bench_drop_watch.exe <window class prefix | @x,y> <folder> [<x> <y>]
#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "watch_shared.h"

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

unsigned long long NowNs()
{
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // FILETIME counts 100 ns steps from 1601.
    return (ticks - 116444736000000000ULL) * 100ULL;
}

std::string ReadLine(const std::wstring& path)
{
    std::string text;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        char buffer[200] = {};
        const size_t read = std::fread(buffer, 1, sizeof(buffer) - 1, file);
        std::fclose(file);
        text.assign(buffer, read);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text.empty() ? "-" : text;
}

void WriteLine(const std::wstring& path, const wchar_t* mode, const std::string& line)
{
    if (FILE* file = _wfopen(path.c_str(), mode)) {
        std::fputs(line.c_str(), file);
        std::fclose(file);
    }
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || (argc != 3 && argc != 5)) {
        std::fprintf(stderr, "usage: bench_drop_watch <window class prefix> <folder> [<x> <y>]\n");
        return 2;
    }
    const bool pointGiven = argc == 5;
    const int pointX = pointGiven ? _wtoi(argv[3]) : 0, pointY = pointGiven ? _wtoi(argv[4]) : 0;
    Search search{argv[1]};
    const std::wstring folder = std::wstring(argv[2]) + L"\\";
    for (int i = 0; i < 2000 && !search.found; ++i) {
        if (search.prefix.rfind(L"@", 0) == 0) {
            const POINT at{_wtoi(search.prefix.c_str() + 1),
                           _wtoi(search.prefix.c_str() + search.prefix.find(L',') + 1)};
            if (HWND window = WindowFromPoint(at))
                search.found = GetAncestor(window, GA_ROOT);
        } else {
            EnumWindows(Look, reinterpret_cast<LPARAM>(&search));
        }
        if (!search.found)
            Sleep(10);
    }
    if (!search.found) {
        std::fprintf(stderr, "no window of that class\n");
        return 1;
    }
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(WatchShared), kWatchMappingName);
    auto* shared = mapping
                       ? static_cast<WatchShared*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(WatchShared)))
                       : nullptr;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring hookPath = self;
    hookPath = hookPath.substr(0, hookPath.find_last_of(L'\\') + 1) + L"bench_watch_hook.dll";
    HMODULE hookModule = LoadLibraryW(hookPath.c_str());
    auto* hookProc =
        hookModule ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hookModule, "WatchGetMessage")))
                   : nullptr;
    const DWORD thread = GetWindowThreadProcessId(search.found, nullptr);
    HHOOK hook = shared && hookProc ? SetWindowsHookExW(WH_GETMESSAGE, hookProc, hookModule, thread) : nullptr;
    if (!hook) {
        std::fprintf(stderr, "could not watch the window's thread (error %lu)\n", GetLastError());
        return 1;
    }

    using Clock = std::chrono::steady_clock;
    double longest = 0, longestSinceMark = 0;
    bool marked = false, answered = false;
    long rounds = 0;
    int side = 0;
    while (!Exists(folder + L"stop")) {
        // Looked at before the round begins: a wait counts as after the
        // mark, or answers the question, only when all of it was.
        marked = marked || Exists(folder + L"mark");
        const bool askedNow = !answered && Exists(folder + L"ask");
        const bool handsOff = Exists(folder + L"hands-off");
        const std::string phase = ReadLine(folder + L"phase");
        const LONG round = static_cast<LONG>(++rounds);
        const unsigned long long startNs = NowNs();
        const auto start = Clock::now();
        if (!PostMessageW(search.found, WM_NULL, kWatchMark, round)) {
            std::fprintf(stderr, "the window is gone\n");
            return 1;
        }
        POINT target{};
        LONG movesBefore = shared->moves;
        if (!handsOff) {
            RECT rect{};
            GetWindowRect(search.found, &rect);
            side = 1 - side;
            target = pointGiven ? POINT{rect.left + pointX + side, rect.top + pointY}
                                : POINT{(rect.left + rect.right) / 2 + side, (rect.top + rect.bottom) / 2};
            movesBefore = shared->moves;
            SetCursorPos(target.x, target.y);
        }
        for (int look = 1;; ++look) {
            // A move the system did not make (the pointer still elsewhere a
            // while later, as seen once after a popup closed under Wine) is
            // made again: the round waits on the program, not on the system.
            POINT pointer{};
            if (!handsOff && look % 10 == 0 && GetCursorPos(&pointer) &&
                (pointer.x != target.x || pointer.y != target.y))
                SetCursorPos(target.x, target.y);
            const bool markTaken = shared->markTaken == round;
            const bool moveTaken =
                handsOff || (shared->moves != movesBefore && shared->moveX == target.x && shared->moveY == target.y);
            if (markTaken && moveTaken)
                break;
            if (Clock::now() - start > std::chrono::seconds(120)) {
                POINT pointer{};
                GetCursorPos(&pointer);
                HWND there = WindowFromPoint(target);
                DWORD thereThread = there ? GetWindowThreadProcessId(there, nullptr) : 0;
                wchar_t thereClass[128] = L"none";
                if (there)
                    GetClassNameW(there, thereClass, 128);
                std::fprintf(stderr, "the pointer stands at %ld,%ld; at %ld,%ld is %ls of %s thread\n", pointer.x,
                             pointer.y, target.x, target.y, thereClass, thereThread == thread ? "its" : "another");
                // Mouse input goes to the window that holds the capture of
                // the foreground thread, wherever the pointer stands.
                GUITHREADINFO front{};
                front.cbSize = sizeof(front);
                wchar_t activeClass[128] = L"none", captureClass[128] = L"none";
                if (GetGUIThreadInfo(0, &front)) {
                    if (front.hwndActive)
                        GetClassNameW(front.hwndActive, activeClass, 128);
                    if (front.hwndCapture)
                        GetClassNameW(front.hwndCapture, captureClass, 128);
                }
                std::fprintf(
                    stderr, "the active window is %ls (%s thread), the capture %ls (%s thread)\n", activeClass,
                    front.hwndActive && GetWindowThreadProcessId(front.hwndActive, nullptr) == thread ? "its"
                                                                                                      : "another",
                    captureClass,
                    front.hwndCapture && GetWindowThreadProcessId(front.hwndCapture, nullptr) == thread ? "its"
                                                                                                        : "another");
                std::fprintf(stderr,
                             "in 120 s the window's thread took %s (its last move at %ld,%ld, the pointer sent to "
                             "%ld,%ld; window %s)\n",
                             markTaken ? "the posted message, not the pointer's move"
                                       : "neither the posted message nor the pointer's move",
                             static_cast<long>(shared->moveX), static_cast<long>(shared->moveY),
                             static_cast<long>(target.x), static_cast<long>(target.y),
                             IsWindowEnabled(search.found) ? "enabled" : "disabled");
                return 1;
            }
            Sleep(1);
        }
        const double waited = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        longest = waited > longest ? waited : longest;
        if (marked && waited > longestSinceMark)
            longestSinceMark = waited;
        if (waited > 50) {
            char line[300];
            std::snprintf(line, sizeof(line), "%llu %.0f %s\n", startNs, waited, phase.c_str());
            WriteLine(folder + L"waits.txt", L"ab", line);
        }
        if (askedNow) {
            answered = true;
            WriteLine(folder + L"answered", L"wb", std::to_string(NowNs()) + "\n");
        }
        if (rounds == 1)
            WriteLine(folder + L"ready", L"wb", "\n");
        Sleep(3);
    }
    UnhookWindowsHookEx(hook);
    std::printf("%.0f %.0f %ld\n", longest, longestSinceMark, rounds);
    return 0;
}
