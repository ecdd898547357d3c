// Start-up time of Tessik.exe: from process creation to the main window
// being visible, in a portable data folder of its own that holds the four
// stores as a start leaves them. The fixed pause of the start-up sequence
// is reported apart from the rest. A start that shows a message box (a
// damaged or missing store, say) measures that box, not a start: it gives
// no figure, and the program ends with status 1.
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

void WriteStore(const std::filesystem::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

std::filesystem::path PrepareFolder(const std::filesystem::path& program)
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::filesystem::path folder = std::filesystem::path(temp) / L"tessik_bench_startup";
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    const std::filesystem::path data = folder / L".tessik_config";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(folder / L"boxes");
    std::filesystem::copy_file(program, folder / L"Tessik.exe");
    std::string boxes = (folder / L"boxes").string();
    std::string escaped;
    for (char c : boxes)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    // Every store with its own root, as a start leaves it.
    WriteStore(data / L"Tessik.kelm",
               "TessikRef{\n    containerDir : \"" + escaped + "\",\n    NewComer : false,\n    ver : 100\n}\n");
    WriteStore(data / L"DesktopContainer.kelm", "TessikRef{\n    test : 0\n}\n");
    WriteStore(data / L"MagnetCom.kelm", "TessikRef{\n    enabled : false,\n    test : 0\n}\n");
    WriteStore(data / L"QuickPanelCom.kelm", "TessikRef{\n    test : 0\n}\n");
    return folder;
}

struct DialogSearch {
    DWORD process;
    HWND found;
};

// A visible system dialog ("#32770": a message box) of the process, or null.
HWND DialogOfProcess(DWORD process)
{
    DialogSearch search{process, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<DialogSearch*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (owner == s->process && IsWindowVisible(window) && std::wcscmp(name, L"#32770") == 0) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

constexpr double kNoWindow = -1;
constexpr double kNotice = -2;
// How long a start is watched for a notice once its main window shows:
// the program shows its notices from a timer after that.
constexpr double kNoticeWatchMs = 3000;

// Milliseconds until the main window of the process is visible; kNoWindow
// when it did not show within a minute, kNotice when the program showed a
// message box (its text in `notice`).
double TimeOneStart(const std::filesystem::path& folder, std::wstring& notice)
{
    std::wstring commandLine = L"\"" + (folder / L"Tessik.exe").wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const double start = NowMs();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
        return kNoWindow;
    double shown = kNoWindow;
    HWND window = nullptr;
    while (NowMs() - start < 60000) {
        window = FindWindowW(L"Kelm.Class.Tessik.App.Main", L"Tessik");
        if (window && IsWindowVisible(window)) {
            shown = NowMs() - start;
            break;
        }
        Sleep(2);
    }
    if (shown >= 0) {
        const double watched = NowMs();
        while (NowMs() - watched < kNoticeWatchMs) {
            if (HWND dialog = DialogOfProcess(process.dwProcessId)) {
                wchar_t text[512] = {};
                GetDlgItemTextW(dialog, 0xFFFF, text, 512); // the message box's text
                notice = text;
                shown = kNotice;
                break;
            }
            Sleep(20);
        }
        PostMessageW(window, WM_KELM_TRAY, 0, WM_RBUTTONUP);
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
    int status = 0;
    for (int run = 0; run < runs; ++run) {
        std::wstring notice;
        const double shown = TimeOneStart(folder, notice);
        if (shown == kNotice) {
            std::wprintf(L"run %d: no figure: Tessik showed a message box: %ls\n", run + 1, notice.c_str());
            status = 1;
            break;
        }
        if (shown < 0) {
            std::wprintf(L"run %d: main window not shown\n", run + 1);
            status = 1;
            continue;
        }
        std::wprintf(L"run %d: start to main window shown %.0f ms = fixed pause %.0f ms + the rest %.0f ms\n", run + 1,
                     shown, kFixedPauseMs, shown - kFixedPauseMs);
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return status;
}
