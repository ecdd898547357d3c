// Store benchmark: a "DesktopContainer.kelm" of 100 boxes with 100 icon
// records each, saved and loaded, beside plain writes and reads of the same
// bytes. Every icon change saves the whole store on the UI thread, so one
// save should stay well under a frame (16 ms).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"

namespace
{

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main()
{
    wchar_t tempBase[MAX_PATH];
    GetTempPathW(MAX_PATH, tempBase);
    const std::filesystem::path folder = std::filesystem::path(tempBase) / L"tessik_bench_store";
    std::filesystem::create_directories(folder);
    const std::wstring path = (folder / L"DesktopContainer.kelm").wstring();
    std::filesystem::remove(path);

    KelmStorage store;
    store.Load(path);
    store[L"TessikRef"][L"test"] = 1;
    for (int box = 0; box < 100; ++box) {
        auto object = store[L"Components"][L"ComID_b" + std::to_wstring(10000 + box)];
        object[L"id"] = L"b" + std::to_wstring(10000 + box);
        object[L"title"] = L"收纳盒 " + std::to_wstring(box);
        object[L"x"] = 100 + box;
        object[L"y"] = 200 + box;
        object[L"width"] = 320;
        object[L"height"] = 240;
        object[L"clrtag"] = L"#F2F2F2";
        object[L"IsLocked"] = false;
        object[L"TargetFolder"] = L"D:\\\\.tessik\\\\user_storage\\\\u_a1b2c3";
        for (int icon = 0; icon < 100; ++icon) {
            auto record = object[L"Icons"][L"iconID_" + std::to_wstring(icon)];
            record[L"path"] = L"D:\\\\.tessik\\\\user_storage\\\\u_a1b2c3\\\\文档 " + std::to_wstring(icon) + L".docx";
            record[L"alias"] = L"bvn!NULL";
            record[L"originalPath"] = L"C:\\\\Users\\\\me\\\\Desktop\\\\文档 " + std::to_wstring(icon) + L".docx";
        }
    }

    // The store writes information lines; keep them out of the figures.
    std::wcout.setstate(std::ios::failbit);
    const int rounds = 20;
    store.Save();
    auto t0 = Clock::now();
    for (int i = 0; i < rounds; ++i)
        store.Save();
    const double saveMs = Ms(Clock::now() - t0) / rounds;

    KelmStorage loaded;
    t0 = Clock::now();
    for (int i = 0; i < rounds; ++i)
        loaded.Load(path);
    const double loadMs = Ms(Clock::now() - t0) / rounds;
    std::wcout.clear();

    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const std::wstring plainPath = (folder / L"plain.bin").wstring();
    t0 = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        std::ofstream out(std::filesystem::path(plainPath), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const double plainWriteMs = Ms(Clock::now() - t0) / rounds;
    t0 = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        std::ifstream again(std::filesystem::path(plainPath), std::ios::binary);
        std::string read((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
    }
    const double plainReadMs = Ms(Clock::now() - t0) / rounds;

    // Where a save's time goes.
    t0 = Clock::now();
    std::vector<std::unique_ptr<KelmStorageTextNode>> nodes;
    for (const auto& [name, object] : store.Roots()) {
        auto node = std::make_unique<KelmStorageTextNode>();
        node->name = name;
        BuildTextNode(*node, object);
        nodes.push_back(std::move(node));
    }
    const auto t1 = Clock::now();
    const std::wstring document = WriteStoreDocument(nodes);
    const auto t2 = Clock::now();
    const std::string utf8 = WideToUtf8(document);
    const auto t3 = Clock::now();
    std::printf("save breakdown: text nodes %.2f ms, document %.2f ms, UTF-8 %.2f ms\n", Ms(t1 - t0), Ms(t2 - t1),
                Ms(t3 - t2));

    const double mb = bytes.size() / (1024.0 * 1024.0);
    std::printf("store of 100 boxes x 100 icons: %.2f MB, %zu roots\n", mb, loaded.Roots().size());
    std::printf("KelmStorage::Save  %8.2f ms  %8.1f MB/s   (plain write of the same bytes %6.2f ms)\n", saveMs,
                mb / (saveMs / 1000.0), plainWriteMs);
    std::printf("KelmStorage::Load  %8.2f ms  %8.1f MB/s   (plain read of the same bytes  %6.2f ms)\n", loadMs,
                mb / (loadMs / 1000.0), plainReadMs);
    std::printf("goal: one save well under 16 ms: %s\n", saveMs < 16.0 ? "met" : "NOT met");
    std::filesystem::remove_all(folder);
    return 0;
}
