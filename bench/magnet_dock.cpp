// Time from a file dialog becoming visible to the magnet window shown
// docked beside it, over 20 openings of notepad's Open dialog. Run by
// bench/magnet.sh while Tessik (magnet window on) and notepad are up; polls
// the windows every millisecond.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Test> bool WaitFor(Test&& test, double timeoutMs)
{
    const double end = NowMs() + timeoutMs;
    while (NowMs() < end) {
        if (test())
            return true;
        Sleep(1);
    }
    return false;
}

HWND VisibleDialog()
{
    HWND dialog = FindWindowW(L"#32770", L"Open");
    return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
}

HWND MagnetWindow()
{
    return FindWindowW(L"Tessik.Kelm.Com.MagWin.Class", L"Tessik.Com.MagWindow");
}

bool DockedBeside(HWND dialog)
{
    HWND magnet = MagnetWindow();
    if (!magnet || !IsWindowVisible(magnet))
        return false;
    RECT d{}, m{};
    GetWindowRect(dialog, &d);
    GetWindowRect(magnet, &m);
    return m.top == d.top && (m.left == d.right + 5 || m.right == d.left - 5);
}

} // namespace

int main()
{
    HWND notepad = FindWindowW(L"Notepad", nullptr);
    if (!notepad || !MagnetWindow()) {
        std::fprintf(stderr, "magnet_dock: notepad or the magnet window is missing\n");
        return 1;
    }
    constexpr int kOpenings = 20;
    std::vector<double> times;
    for (int i = 0; i < kOpenings; ++i) {
        PostMessageW(notepad, WM_COMMAND, 0x101, 0);
        HWND dialog = nullptr;
        if (!WaitFor([&] { return (dialog = VisibleDialog()) != nullptr; }, 20000)) {
            std::fprintf(stderr, "magnet_dock: no Open dialog\n");
            return 1;
        }
        const double shown = NowMs();
        if (!WaitFor([&] { return DockedBeside(dialog); }, 5000)) {
            std::fprintf(stderr, "magnet_dock: the magnet window did not dock (opening %d)\n", i + 1);
            return 1;
        }
        times.push_back(NowMs() - shown);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        WaitFor([] { return !VisibleDialog() && !IsWindowVisible(MagnetWindow()); }, 5000);
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const double median = (sorted[kOpenings / 2 - 1] + sorted[kOpenings / 2]) / 2;
    std::printf("dialog visible -> magnet window docked, %d openings\n", kOpenings);
    std::printf("  median %.1f ms, worst %.1f ms, best %.1f ms\n", median, sorted.back(), sorted.front());
    std::printf("  each:");
    for (double t : times)
        std::printf(" %.0f", t);
    std::printf("\n");
    return 0;
}
