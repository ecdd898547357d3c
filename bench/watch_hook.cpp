// The watcher's eyes inside the watched program (bench_drop_watch sets it as
// a WH_GETMESSAGE hook on the watched window's thread, so the system loads
// this library into that process): each message the thread takes from its
// queue passes here, as it leaves GetMessage or PeekMessage. It notes the
// watcher's own posted mark and the pointer's moves in a shared mapping the
// watcher reads. A thread that only answers sent messages, or that takes
// nothing at all, leaves both unchanged: neither can be passed while the
// thread does not take its posted messages and its input.
#include <windows.h>

#include "watch_shared.h"

namespace
{

WatchShared* s_shared = nullptr;

WatchShared* Shared()
{
    if (!s_shared) {
        HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kWatchMappingName);
        if (!mapping)
            return nullptr;
        // The view stays for the life of the process: the hook may be called
        // again after a later watcher has made the mapping anew.
        s_shared = static_cast<WatchShared*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(WatchShared)));
        CloseHandle(mapping);
    }
    return s_shared;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK WatchGetMessage(int code, WPARAM removal, LPARAM message)
{
    if (code == HC_ACTION && removal == PM_REMOVE) {
        const MSG* taken = reinterpret_cast<const MSG*>(message);
        if (WatchShared* shared = Shared()) {
            if (taken->message == WM_NULL && taken->wParam == kWatchMark) {
                InterlockedExchange(&shared->markTaken, static_cast<LONG>(taken->lParam));
            } else if (taken->message == WM_MOUSEMOVE || taken->message == WM_NCMOUSEMOVE) {
                // The point first, then the count the watcher waits on.
                InterlockedExchange(&shared->moveX, taken->pt.x);
                InterlockedExchange(&shared->moveY, taken->pt.y);
                InterlockedIncrement(&shared->moves);
            }
        }
    }
    return CallNextHookEx(nullptr, code, removal, message);
}
