// Start-up time of Tessik.exe: from process creation to the main window
// being visible, in a portable data folder of its own. The fixed pause of
// the start-up sequence is reported apart from the rest.
//
//   bench_startup.exe [path to Tessik.exe] [runs]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

#include "ui/core/WindowMessages.h"

namespace
{

constexpr double kFixedPauseMs = 1800.0;

double NowMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::filesystem::path PrepareFolder(const std::filesystem::path& program)
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::filesystem::path folder = std::filesystem::path(temp) / L"tessik_bench_startup";
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder / L".tessik_config");
    std::filesystem::copy_file(program, folder / L"Tessik.exe");
    std::string boxes = (folder / L"boxes").string();
    std::string escaped;
    for (char c : boxes)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    std::ofstream(folder / L".tessik_config" / L"Tessik.kelm")
        << "TessikRef{\n    containerDir : \"" << escaped << "\"\n}\n";
    return folder;
}

// Milliseconds until the main window of the process is visible; -1 when it
// did not show within a minute.
double TimeOneStart(const std::filesystem::path& folder)
{
    std::wstring commandLine = L"\"" + (folder / L"Tessik.exe").wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const double start = NowMs();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
        return -1;
    double shown = -1;
    while (NowMs() - start < 60000) {
        HWND window = FindWindowW(L"Kelm.Class.Tessik.App.Main", L"Tessik");
        if (window && IsWindowVisible(window)) {
            shown = NowMs() - start;
            PostMessageW(window, WM_KELM_TRAY, 0, WM_RBUTTONUP);
            break;
        }
        Sleep(2);
    }
    if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return shown;
}

} // namespace

int main(int argc, char** argv)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::filesystem::path program = argc > 1
                                              ? std::filesystem::path(argv[1])
                                              : std::filesystem::path(self).parent_path().parent_path() / L"Tessik.exe";
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    if (!std::filesystem::exists(program)) {
        std::fwprintf(stderr, L"no program at %ls\n", program.c_str());
        return 1;
    }
    const std::filesystem::path folder = PrepareFolder(program);
    for (int run = 0; run < runs; ++run) {
        const double shown = TimeOneStart(folder);
        if (shown < 0) {
            std::wprintf(L"run %d: main window not shown\n", run + 1);
            continue;
        }
        std::wprintf(L"run %d: start to main window shown %.0f ms = fixed pause %.0f ms + the rest %.0f ms\n", run + 1,
                     shown, kFixedPauseMs, shown - kFixedPauseMs);
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
