// Keeps a test lane's Wine desktop up for the whole run (scripts/test.sh
// starts it before the lane's first test, with its output going nowhere).
//
// Wine starts its desktop process ("explorer.exe /desktop") for the first
// program of a prefix that needs the desktop window, in that program's
// process group and with that program's error output, and ends it about a
// second after the last program using the desktop has gone. Started by a
// test, it would outlive the test and hold ctest's pipe open until ctest
// gives up on the test. Asking for the desktop window first, and staying
// a user of the desktop until the lane's wineserver ends it, keeps the
// desktop process out of every test.
//
//   LaneDesktop <timeout ms>
//
// Prints "ready <process id of the desktop window>" once the desktop window
// exists and then waits for ever; exits 1 when there is none within the
// timeout, 2 on bad use.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: LaneDesktop <timeout ms>\n");
        return 2;
    }
    const DWORD timeout = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
    const DWORD started = GetTickCount();
    // On a loaded machine the desktop process can take longer to come up
    // than Wine waits for it: asking again starts or finds it.
    for (;;) {
        HWND desktop = GetDesktopWindow();
        DWORD processId = 0;
        if (desktop && GetWindowThreadProcessId(desktop, &processId) && processId != GetCurrentProcessId()) {
            std::printf("ready %lu\n", static_cast<unsigned long>(processId));
            std::fflush(stdout);
            break;
        }
        if (GetTickCount() - started >= timeout) {
            std::fprintf(stderr, "LaneDesktop: no desktop window within %lu ms\n", static_cast<unsigned long>(timeout));
            return 1;
        }
        Sleep(200);
    }
    Sleep(INFINITE);
    return 0;
}
