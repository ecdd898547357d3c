// Moving dropped files into a box folder: 1,000 small files and one large
// file (200 MB, to keep the disk use sane) through the worker's transfer
// functions, beside plain MoveFileExW and CopyFileExW of the same files.
// Like a drop's worker, the transfers of each batch share one job (one
// record of part files, kept in a data folder of the benchmark's own).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "box/fileops/FileTransfer.h"
#include "box/fileops/PartFileJournal.h"
#include "ui/core/TextHelpers.h"

namespace fs = std::filesystem;

namespace
{

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void MakeSmallFiles(const fs::path& folder)
{
    fs::create_directories(folder);
    for (int i = 0; i < 1000; ++i)
        std::ofstream(folder / (L"f" + std::to_wstring(i) + L".txt"), std::ios::binary) << std::string(512, 'x');
}

void MakeLargeFile(const fs::path& file)
{
    std::ofstream out(file, std::ios::binary);
    const std::string chunk(1 << 20, 'y');
    for (int i = 0; i < 200; ++i)
        out << chunk;
}

template <typename Fn> double ForEachSmall(const fs::path& from, const fs::path& to, Fn fn)
{
    fs::create_directories(to);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i) {
        const std::wstring name = L"f" + std::to_wstring(i) + L".txt";
        fn((from / name).wstring(), (to / name).wstring());
    }
    return Seconds(start);
}

} // namespace

int main()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const fs::path root = fs::path(base) / (L"tessik_bench_import_" + RandomHexString(6));
    PartFileJournal::UseDataFolder((root / L"data").wstring());
    // A job's options: a new record for each batch, as each drop has.
    auto job = [] {
        TransferOptions options;
        options.job = NewTransferJobState();
        return options;
    };

    MakeSmallFiles(root / L"a");
    const double plainMove = ForEachSmall(root / L"a", root / L"b", [](const std::wstring& s, const std::wstring& d) {
        MoveFileExW(s.c_str(), d.c_str(), 0);
    });
    const TransferOptions moveJob = job();
    const double ourMove = ForEachSmall(root / L"b", root / L"c", [&](const std::wstring& s, const std::wstring& d) {
        MoveItem(s, d, false, moveJob);
    });
    const double plainCopy = ForEachSmall(root / L"c", root / L"d", [](const std::wstring& s, const std::wstring& d) {
        CopyFileExW(s.c_str(), d.c_str(), nullptr, nullptr, nullptr, 0);
    });
    const TransferOptions copyJob = job();
    const double ourCopy = ForEachSmall(
        root / L"c", root / L"e", [&](const std::wstring& s, const std::wstring& d) { CopyItem(s, d, true, copyJob); });
    std::printf("1000 small files: move %.3f s (MoveFileExW %.3f s, %.2fx), copy %.3f s (CopyFileExW %.3f s, %.2fx)\n",
                ourMove, plainMove, ourMove / plainMove, ourCopy, plainCopy, ourCopy / plainCopy);

    MakeLargeFile(root / L"big.bin");
    auto start = std::chrono::steady_clock::now();
    CopyFileExW((root / L"big.bin").c_str(), (root / L"big1.bin").c_str(), nullptr, nullptr, nullptr, 0);
    const double plainBig = Seconds(start);
    start = std::chrono::steady_clock::now();
    CopyItem((root / L"big.bin").wstring(), (root / L"big2.bin").wstring(), true, job());
    const double ourBig = Seconds(start);
    std::printf("200 MB file copy: %.3f s (CopyFileExW %.3f s)\n", ourBig, plainBig);

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
