// Small Windows console program the end-to-end scripts run in Tessik's Wine
// prefix to hold a file open as another program does: read access, sharing
// read and write but not delete (an editor or viewer with the file open),
// so that it can be copied but neither moved nor deleted.
//
//   HoldFile <file> <release file>
//
// Prints "held" once the file is open and keeps it open until the release
// file exists (bounded: 120 s). Exits 0 after a release, 1 when the file
// could not be opened or the bound passed, 2 on bad use.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    const HANDLE held = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        std::printf("not held %lu\n", GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    int rc = 1;
    for (int i = 0; i < 2400; ++i) {
        if (GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES) {
            rc = 0;
            break;
        }
        Sleep(50);
    }
    CloseHandle(held);
    return rc;
}
