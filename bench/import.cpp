// Files dropped on a box, by the road every drop takes: a box window made
// as the program makes one, in a data folder of the benchmark's own, takes
// the files through its drop target (DragEnter and Drop with the file list
// a shell drag carries). Each file then passes what it passes for a user:
// the drop's parking timer, the guards of box folders and the source
// checks, the plan, the file worker's transfer with the report a drop asks
// for, and the batches of finished items that become records, undo records
// and store saves on the UI thread; the source hears the outcome. Timed from
// the drop until the box holds a record of every file and the job has
// ended, beside plain MoveFileExW and CopyFileExW of as many files: 1,000
// small files moved, then copied (Ctrl held), and one large file (200 MB, to
// keep the disk use sane) copied. Then the same 1,000 files moved into a box
// that already holds 10,000 (half found in its folder, half from drops of
// 1,000, each followed by the undo of one file, as a user's box fills): a
// full box must take a drop about as fast as an empty one. On that box, a
// file come into its folder: what the UI thread spends on listing the
// folder itself, and on the refresh's road.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/FileRemoval.h"
#include "app/KelmStorage.h"
#include "box/BoxDrop.h"
#include "box/BoxRuntime.h"
#include "box/BoxServices.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/UndoRedo.h"
#include "box/icons/FolderSync.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmDragHelper.h"
#include "ui/core/KelmDropTarget.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/TextHelpers.h"
#include "ui/core/ThemeColors.h"

namespace fs = std::filesystem;
using namespace TessikDesktopContainer;

namespace
{

constexpr int kSmallFiles = 1000;
// What the full box holds before its drop: files found in its folder, and
// drops of kSmallFiles.
constexpr int kHeldFromFolder = 5000;
constexpr int kFillDrops = 5;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Megabytes of the process resident in memory.
double PrivateMegabytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
    return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

// Seconds of CPU the process has spent.
double CpuSeconds()
{
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

std::vector<std::wstring> MakeSmallFiles(const fs::path& folder, const std::wstring& prefix = L"f",
                                         int count = kSmallFiles)
{
    fs::create_directories(folder);
    std::vector<std::wstring> paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back((folder / (prefix + std::to_wstring(i) + L".txt")).wstring());
        std::ofstream(fs::path(paths.back()), std::ios::binary) << std::string(512, 'x');
    }
    return paths;
}

void MakeLargeFile(const fs::path& file)
{
    std::ofstream out(file, std::ios::binary);
    const std::string chunk(1 << 20, 'y');
    for (int i = 0; i < 200; ++i)
        out << chunk;
}

template <typename Fn>
double ForEachSmall(const fs::path& from, const fs::path& to, Fn fn, const std::wstring& prefix = L"f")
{
    fs::create_directories(to);
    const auto start = Clock::now();
    for (int i = 0; i < kSmallFiles; ++i) {
        const std::wstring name = prefix + std::to_wstring(i) + L".txt";
        fn((from / name).wstring(), (to / name).wstring());
    }
    return Seconds(start);
}

// The program's message loop, until done says so or the time is up: the
// worker's batches and the job's end reach the box through the queue.
// done is asked after every message too: during a drop the queue may not
// run dry for seconds.
// The longest a single message kept the loop, in seconds.
double s_longestMessage = 0.0;

bool RunLoopUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!done()) {
        if (GetTickCount64() >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const auto start = Clock::now();
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            s_longestMessage = std::max(s_longestMessage, Seconds(start));
            if (done())
                return true;
            if (GetTickCount64() >= end)
                return false;
        }
    }
    return true;
}

size_t EntriesIn(const std::wstring& folder)
{
    std::error_code ec;
    size_t count = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        ++count;
    return count;
}

class Bench
{
public:
    explicit Bench(const BoxWindowPtr& box) : box_(box) {}

    std::wstring Folder() const { return s_boxRuntimes.at(box_).TargetFolder; }

    // A box as a user keeps it between drops: no records, nothing to undo,
    // an empty folder.
    void Empty()
    {
        s_boxIconManagers.at(box_).RemoveAllRecords();
        s_boxRuntimes.at(box_).undoList.clear();
        s_boxRuntimes.at(box_).redoList.clear();
        std::error_code ec;
        std::vector<std::wstring> entries;
        for (fs::directory_iterator it(Folder(), ec), end; !ec && it != end; it.increment(ec))
            entries.push_back(it->path().wstring());
        for (const std::wstring& entry : entries)
            RemoveItemWithoutFollowingLinks(entry);
    }

    // Seconds from the drop; negative when the drop did not arrive whole.
    struct Times {
        // The job has ended with a record of every file in the box.
        double records = -1.0;
        // The worker's start (the checks and the plan done) and end (every
        // file in place), as the loop saw them.
        double started = -1.0;
        double worker = -1.0;
        // The box's icons stand still (no animation left) after the job.
        double still = -1.0;
        // CPU seconds of the process from the drop until then.
        double cpu = -1.0;
        // The longest stretch the box's thread spent on one message.
        double longest = -1.0;
    };

    size_t RecordCount() const { return s_boxIconManagers.at(box_).Records().size(); }

    // Files put straight into the box's folder, taken in as its folder sync
    // finds them.
    void AddFromFolder(int count)
    {
        MakeSmallFiles(Folder(), L"held", count);
        Sync();
    }

    // What the program's folder refresh does after every change.
    void Sync() { SyncBoxFolder(s_boxIconManagers.at(box_), Folder(), false); }

    // Takes back the box's last operation (one file of the last drop).
    void UndoOne()
    {
        UndoLastFileOperation(box_, box_);
        RunLoopUntil([] { return !s_copyProgress.busy; }, 60000);
    }

    // Drops the paths as a shell drag would, with Ctrl held for a copy, and
    // runs the loop until the job has ended.
    Times Drop(const std::vector<std::wstring>& paths, bool ctrl)
    {
        // The box takes a drop through the controls of its picture: it must
        // have been shown and painted first.
        const HWND hwnd = box_->GetHwnd();
        RunLoopUntil([hwnd] { return IsWindowVisible(hwnd) != FALSE; }, 30000);
        UpdateWindow(hwnd);
        RECT rc{};
        GetWindowRect(hwnd, &rc);
        const POINTL point{rc.left + (rc.right - rc.left) / 2, rc.top + (rc.bottom - rc.top) / 2};
        SetCursorPos(point.x, point.y);
        RunLoopUntil([] { return false; }, 200);
        const DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        const DWORD keys = ctrl ? MK_CONTROL : 0;
        auto* data = new KelmDragHelper::CDataObject(KelmDragHelper::BuildDropFilesBlock(paths));
        const auto start = Clock::now();
        DWORD effect = allowed;
        box_->dropTarget->DragEnter(data, keys | MK_LBUTTON, point, &effect);
        effect = allowed;
        box_->dropTarget->Drop(data, keys, point, &effect);
        data->Release();
        if (!BoxDropPending() && !s_copyProgress.busy) {
            std::fprintf(stderr, "import: the box did not take the drop of %zu items\n", paths.size());
            return Times{};
        }
        const KelmIconManager& records = s_boxIconManagers.at(box_);
        const size_t recordsBefore = records.Records().size();
        const size_t entriesBefore = EntriesIn(Folder());
        const double cpuBefore = CpuSeconds();
        s_longestMessage = 0.0;
        Times times;
        bool workerSeen = false;
        const bool arrived = RunLoopUntil(
            [&] {
                if (!workerSeen && s_copyProgress.workerRunning)
                    times.started = Seconds(start);
                workerSeen = workerSeen || s_copyProgress.workerRunning;
                if (workerSeen && times.worker < 0 && !s_copyProgress.workerRunning)
                    times.worker = Seconds(start);
                // The job's last batch of records reaches the box before its end.
                return !BoxDropPending() && !s_copyProgress.busy;
            },
            300000);
        times.records = Seconds(start);
        if (!arrived || records.Records().size() != recordsBefore + paths.size() ||
            EntriesIn(Folder()) != entriesBefore + paths.size()) {
            std::fprintf(stderr,
                         "import: the drop of %zu items did not arrive whole (%zu records, %zu in the folder)\n",
                         paths.size(), records.Records().size(), EntriesIn(Folder()));
            return Times{};
        }
        BoxWindowPtr box = box_;
        RunLoopUntil([box] { return box->animationManager.GetActiveCount() == 0; }, 300000);
        times.still = Seconds(start);
        times.cpu = CpuSeconds() - cpuBefore;
        times.longest = s_longestMessage;
        return times;
    }

    // A folder of files dropped (moved) onto the box's folder of its name
    // merges into it; then Ctrl+Z gives them back. Seconds from the undo
    // until it returned and until every file was back at its source, and
    // the longest message meanwhile; negative when either went in part.
    struct UndoTimes {
        double returned = -1.0, back = -1.0, longest = -1.0;
    };
    UndoTimes UndoOfMergedDrop(const fs::path& source, size_t count)
    {
        const fs::path own = fs::path(Folder()) / source.filename();
        fs::create_directories(own);
        std::ofstream(own / L"own.txt") << "own";
        Sync();
        s_sameNameQuestion = [](HWND) { return 1; };
        DroppedFiles drop;
        drop.paths = {source.wstring()};
        drop.effect = DROPEFFECT_MOVE;
        ImportDroppedFiles(box_, drop);
        RunLoopUntil([] { return !DropBeingLookedAt() && !s_copyProgress.busy; }, 300000);
        UndoTimes times;
        if (EntriesIn(own.wstring()) != count + 1) {
            std::fprintf(stderr, "import: the merged drop did not arrive whole\n");
            return times;
        }
        s_longestMessage = 0.0;
        const auto start = Clock::now();
        UndoLastFileOperation(box_, box_);
        times.returned = Seconds(start);
        RunLoopUntil([] { return !s_copyProgress.busy; }, 300000);
        times.back = Seconds(start);
        times.longest = s_longestMessage;
        if (EntriesIn(source.wstring()) != count || EntriesIn(own.wstring()) != 1) {
            std::fprintf(stderr, "import: the undo of the merged drop did not go whole\n");
            return UndoTimes{};
        }
        return times;
    }

private:
    BoxWindowPtr box_;
};

} // namespace

int main()
{
    OleInitialize(nullptr);
    CreateGraphicsFactories();
    DpiScale = 1.0;
    ThemeBaseColor = {242, 242, 242};
    UpdateThemeColors();

    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const fs::path root = fs::path(base) / (L"tessik_bench_import_" + RandomHexString(6));
    const fs::path data = root / L"data";
    const fs::path boxes = root / L"boxes";
    fs::create_directories(data);
    fs::create_directories(boxes);
    // A store and a data folder of the benchmark's own: the drop saves its
    // records and keeps its record of part files there, as the program does
    // in the user's.
    s_dataFolder = data.wstring();
    s_appStore[L"TessikRef"][L"containerDir"] = boxes.wstring();
    std::ofstream(data / L"DesktopContainer.kelm", std::ios::binary);
    s_desktopContainerStore.Load((data / L"DesktopContainer.kelm").wstring());
    s_startingUp = false;

    CreateCom(L"NULL", boxes.wstring(), false, 1);
    if (s_boxRuntimes.size() != 1 || !s_boxRuntimes.begin()->first->dropTarget) {
        std::fprintf(stderr, "import: the box was not made\n");
        return 1;
    }
    Bench bench(s_boxRuntimes.begin()->first);
    int result = 0;

    const std::vector<std::wstring> moved = MakeSmallFiles(root / L"a");
    const double plainMove = ForEachSmall(root / L"a", root / L"b", [](const std::wstring& s, const std::wstring& d) {
        MoveFileExW(s.c_str(), d.c_str(), 0);
    });
    const double plainCopy = ForEachSmall(root / L"b", root / L"c", [](const std::wstring& s, const std::wstring& d) {
        CopyFileExW(s.c_str(), d.c_str(), nullptr, nullptr, nullptr, 0);
    });
    // The files the system moved are dropped to be moved in again, those it
    // copied are dropped to be copied.
    std::vector<std::wstring> movedAgain, copied;
    for (const std::wstring& path : moved) {
        const std::wstring name = fs::path(path).filename().wstring();
        movedAgain.push_back((root / L"b" / name).wstring());
        copied.push_back((root / L"c" / name).wstring());
    }
    const Bench::Times dropMove = bench.Drop(movedAgain, false);
    bench.Empty();
    const Bench::Times dropCopy = bench.Drop(copied, true);
    bench.Empty();
    if (dropMove.records < 0 || dropCopy.records < 0) {
        result = 1;
    } else {
        std::printf("drop of %d small files, moved: %.3f s to every record (worker from %.3f s to %.3f s); "
                    "MoveFileExW %.3f s, %.2fx\n",
                    kSmallFiles, dropMove.records, dropMove.started, dropMove.worker, plainMove,
                    dropMove.records / plainMove);
        std::printf("drop of %d small files, copied: %.3f s to every record (worker from %.3f s to %.3f s); "
                    "CopyFileExW %.3f s, %.2fx\n",
                    kSmallFiles, dropCopy.records, dropCopy.started, dropCopy.worker, plainCopy,
                    dropCopy.records / plainCopy);
    }

    MakeSmallFiles(root / L"merge" / L"m");
    const Bench::UndoTimes undoMerged = bench.UndoOfMergedDrop(root / L"merge" / L"m", kSmallFiles);
    bench.Empty();
    if (undoMerged.back < 0)
        result = 1;
    else
        std::printf("undo of a drop of %d small files merged into the box's folder of their name: returned after "
                    "%.1f ms, every file back after %.3f s, longest message %.0f ms; MoveFileExW %.3f s, %.2fx\n",
                    kSmallFiles, undoMerged.returned * 1000.0, undoMerged.back, undoMerged.longest * 1000.0, plainMove,
                    undoMerged.back / plainMove);

    MakeLargeFile(root / L"big.bin");
    const auto start = Clock::now();
    CopyFileExW((root / L"big.bin").c_str(), (root / L"big1.bin").c_str(), nullptr, nullptr, nullptr, 0);
    const double plainBig = Seconds(start);
    const Bench::Times dropBig = bench.Drop({(root / L"big.bin").wstring()}, true);
    bench.Empty();
    if (dropBig.records < 0)
        result = 1;
    else
        std::printf("drop of a 200 MB file, copied: %.3f s to its record (worker from %.3f s to %.3f s); "
                    "CopyFileExW %.3f s, %.2fx\n",
                    dropBig.records, dropBig.started, dropBig.worker, plainBig, dropBig.records / plainBig);

    // The box fills as a user's does; each drop's figure shows whether the
    // cost grows with what the box holds.
    bench.AddFromFolder(kHeldFromFolder);
    for (int round = 0; round < kFillDrops && result == 0; ++round) {
        const std::vector<std::wstring> fill =
            MakeSmallFiles(root / (L"fill" + std::to_wstring(round)), L"r" + std::to_wstring(round) + L"_");
        const size_t held = bench.RecordCount();
        const Bench::Times times = bench.Drop(fill, false);
        if (times.records < 0) {
            result = 1;
            break;
        }
        bench.UndoOne();
        bench.Sync();
        std::printf("filling drop %d onto %zu records: %.3f s to every record, %.3f s still, %.2f s CPU, longest "
                    "message %.0f ms; %.1f MB resident after its undo\n",
                    round + 1, held, times.records, times.still, times.cpu, times.longest * 1000.0, PrivateMegabytes());
    }
    // A file come into the full box's folder: the listing and the records'
    // reconcile on the UI thread (SyncBoxFolder), beside the refresh's road
    // (the listing on its worker, the reconcile on the UI thread).
    for (int i = 0; i < 3 && result == 0; ++i) {
        std::ofstream(fs::path(bench.Folder()) / (L"came" + std::to_wstring(i) + L".txt")) << "x";
        auto start = Clock::now();
        bench.Sync();
        const double onUiThread = Seconds(start);
        std::ofstream(fs::path(bench.Folder()) / (L"came_too" + std::to_wstring(i) + L".txt")) << "x";
        start = Clock::now();
        RefreshBoxFolderSoon(s_boxRuntimes.begin()->first);
        const double asked = Seconds(start);
        s_longestMessage = 0.0;
        RunLoopUntil([] { return !FolderListingsOnTheirWay(); }, 30000);
        std::printf("a file come into the folder of a box of %zu records: listed on the UI thread %.1f ms; on the "
                    "refresh's worker %.1f ms to ask, longest message %.1f ms, in step after %.1f ms\n",
                    bench.RecordCount(), onUiThread * 1000.0, asked * 1000.0, s_longestMessage * 1000.0,
                    Seconds(start) * 1000.0);
    }
    const std::vector<std::wstring> last = MakeSmallFiles(root / L"last", L"z");
    // The system's move of the same files into the same full folder (and
    // back out, untimed): under Wine every name taken into a folder costs
    // a look through the whole folder, which no program can spare.
    const double plainFull = ForEachSmall(
        root / L"last", bench.Folder(),
        [](const std::wstring& s, const std::wstring& d) { MoveFileExW(s.c_str(), d.c_str(), 0); }, L"z");
    ForEachSmall(
        bench.Folder(), root / L"last",
        [](const std::wstring& s, const std::wstring& d) { MoveFileExW(s.c_str(), d.c_str(), 0); }, L"z");
    const size_t held = bench.RecordCount();
    const Bench::Times full = result == 0 ? bench.Drop(last, false) : Bench::Times{};
    if (full.records < 0) {
        result = 1;
    } else {
        std::printf("drop of %d small files onto a box of %zu records, moved: %.3f s to every record (worker from "
                    "%.3f s to %.3f s), %.3f s still, %.2f s CPU, longest message %.0f ms; MoveFileExW into that "
                    "folder %.3f s, %.2fx "
                    "(into an empty one %.3f s, %.2fx); empty box %.3f s, %.3f s still, %.2fx\n",
                    kSmallFiles, held, full.records, full.started, full.worker, full.still, full.cpu,
                    full.longest * 1000.0, plainFull, full.records / plainFull, plainMove, full.records / plainMove,
                    dropMove.records, dropMove.still, full.records / dropMove.records);
    }

    RemoveItemWithoutFollowingLinks(root.wstring());
    return result;
}
