// What bench_drop_watch and its hook in the watched program share: the
// last mark the watched thread took from its queue, and the last pointer
// move it took.
#pragma once

#include <windows.h>

inline constexpr wchar_t kWatchMappingName[] = L"Local\\TessikBenchWatch";
// wParam of the posted WM_NULL that marks a round; its lParam is the round.
inline constexpr WPARAM kWatchMark = 0x7E55A11;

struct WatchShared {
    volatile LONG markTaken;
    volatile LONG moveX;
    volatile LONG moveY;
    volatile LONG moves;
};
