// Icon figures: the layout of 2,000 icons (run on every paint of a box) and
// one folder sync of 10,000 files beside a plain listing of the same folder.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "app/KelmStorage.h"
#include "box/BoxRuntime.h"
#include "box/icons/FolderSync.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/TextHelpers.h"

namespace
{

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

BoxWindowPtr MakeBox(const std::wstring& id, const std::wstring& folder)
{
    auto holder = std::make_shared<long long>(0);
    BoxWindowPtr box(holder, reinterpret_cast<KelmWindow*>(holder.get()));
    BoxRuntime& runtime = s_boxRuntimes[box];
    runtime.id = id;
    if (!folder.empty()) {
        runtime.UseTargetFolder = true;
        runtime.TargetFolder = folder;
    }
    s_boxIconManagers[box].SetOwnBox(box);
    return box;
}

void BenchLayout()
{
    BoxWindowPtr box = MakeBox(L"bench1", L"");
    KelmIconManager& manager = s_boxIconManagers[box];
    for (int i = 0; i < 2000; ++i) {
        const std::wstring name = L"C:\\box\\file" + std::to_wstring(i) + (i % 7 == 0 ? L".txt" : L".docx");
        manager.AddRecordForPath(name, 0, 0, L"bvn!NULL", false, i % 500 == 0 ? L"Section" : L"", nullptr, L"bvn!NULL");
    }
    manager.Layout(800); // first layout: every record new
    const int rounds = 200;
    for (int sortMode : {0, 1}) {
        s_boxRuntimes[box].SortMode = sortMode;
        const auto start = Clock::now();
        for (int i = 0; i < rounds; ++i)
            manager.Layout(800 + (i % 2)); // alternate widths so targets really change
        std::printf("layout of 2000 icons, sort mode %d: %.3f ms per layout\n", sortMode,
                    MillisecondsSince(start) / rounds);
    }
    s_boxRuntimes[box].SortMode = 0;
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        manager.Layout(801);
    std::printf("layout of 2000 icons, unchanged input: %.3f ms per layout\n", MillisecondsSince(start) / rounds);
}

void BenchSync()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const std::filesystem::path folder = std::filesystem::path(base) / (L"tessik_bench_" + RandomHexString(8));
    std::filesystem::create_directories(folder);
    const std::wstring store = (folder.parent_path() / (folder.filename().wstring() + L".kelm")).wstring();
    s_desktopContainerStore.Load(store);
    for (int i = 0; i < 10000; ++i) {
        HANDLE file = CreateFileW((folder / (L"f" + std::to_wstring(i) + L".dat")).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    BoxWindowPtr box = MakeBox(L"bench2", folder.wstring());
    KelmIconManager& manager = s_boxIconManagers[box];

    auto start = Clock::now();
    SyncBoxFolder(manager, folder.wstring(), true);
    std::printf("first sync of 10000 files (adds them all, saves the store): %.1f ms, %zu records\n",
                MillisecondsSince(start), manager.Records().size());

    const int rounds = 5;
    double listing = 0;
    double sync = 0;
    for (int i = 0; i < rounds; ++i) {
        start = Clock::now();
        FolderListing entries;
        ListFolderEntries(folder.wstring(), entries);
        listing += MillisecondsSince(start);

        start = Clock::now();
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder / L"*").c_str(), &data);
        size_t count = 0;
        if (find != INVALID_HANDLE_VALUE) {
            do
                ++count;
            while (FindNextFileW(find, &data));
            FindClose(find);
        }
        const double plain = MillisecondsSince(start);

        start = Clock::now();
        SyncBoxFolder(manager, folder.wstring(), true);
        sync += MillisecondsSince(start);
        std::printf("round %d: plain enumeration %.1f ms (%zu entries)\n", i, plain, count);
        if (i == rounds - 1) {
            std::printf("ordered listing alone: %.1f ms per run\n", listing / rounds);
            std::printf("unchanged sync of 10000 files: %.1f ms per run (ratio to plain enumeration %.2f)\n",
                        sync / rounds, (sync / rounds) / plain);
        }
    }

    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    DeleteFileW(store.c_str());
}

} // namespace

int main()
{
    BenchLayout();
    BenchSync();
    return 0;
}
