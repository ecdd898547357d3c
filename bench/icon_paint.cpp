// Paint cost of box icons: layout, motion and paint of 2,000 icons against
// the same window empty, per frame. With "demo" it shows a window of each
// kind of icon picture for a screenshot instead.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "tests/common/WindowTestSupport.h"
#include "box/BoxRuntime.h"
#include "box/icons/KelmIcon.h"
#include "box/icons/KelmIconManager.h"
#include "tests/box/icons/IconSampleFiles.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace
{

void WriteFile(const std::wstring& path, const std::string& bytes)
{
    std::ofstream(std::filesystem::path(path), std::ios::binary).write(bytes.data(), bytes.size());
}

std::wstring MakeSampleFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"tessik_icon_bench";
    std::filesystem::create_directories(folder + L"\\照片文件夹");
    WriteFile(folder + L"\\red.bmp", SolidBmpBytes(60, 40, RGB(220, 60, 50)));
    WriteSolidPng(folder + L"\\blue.png", 48, 48, RGB(40, 90, 220));
    WriteFile(folder + L"\\笔记.txt", "今天要整理桌面。\r\nRemember the milk and the eggs.");
    WriteFile(folder + L"\\照片文件夹\\a.bmp", SolidBmpBytes(8, 8, RGB(0, 160, 0)));
    WriteFile(folder + L"\\照片文件夹\\b.txt", "b");
    WriteFile(folder + L"\\照片文件夹\\desktop.ini", "");
    WriteFile(folder + L"\\setup.exe", "MZ");
    WriteFile(folder + L"\\a very long document name for the label.docx", "d");
    return folder;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const bool demo = argc > 1 && std::wstring(argv[1]) == L"demo";
    OleInitialize(nullptr);
    CreateGraphicsFactories();
    DpiScale = 1.0;
    ThemeBaseColor = {242, 242, 242};
    UpdateThemeColors();
    const std::wstring folder = MakeSampleFolder();

    auto box = std::make_shared<KelmWindow>();
    box->Set(40, 40, demo ? 640 : 1200, demo ? 300 : 900, L"Kelm.Bench.Icons", L"icon bench");
    box->style = WS_POPUP | WS_VISIBLE;
    s_boxRuntimes[box].id = L"bench";
    KelmIconManager& view = s_boxIconManagers[box];
    view.SetOwnBox(box);
    bool empty = true;
    box->SetDrawCallback([&](HWND window, ID2D1HwndRenderTarget* target) {
        target->Clear(D2D1::ColorF(0.95f, 0.95f, 0.95f, 1.0f));
        box->GetPanel()->Init(window, target);
        if (empty)
            return;
        RECT client;
        GetClientRect(window, &client);
        view.Layout(client.right);
        view.UpdateAnimations(box);
        view.ApplyCurrentPositions(static_cast<float>(client.right), static_cast<float>(client.bottom));
        // As the box paint does: controls far from the visible area are not
        // added, so they are neither painted nor hit.
        for (IconRecord& record : view.Records()) {
            if (!record.control || record.y + record.edge < -150 || record.y > client.bottom + 150)
                continue;
            box->GetPanel()->AddControl(record.control);
        }
    });
    box->Create();

    const wchar_t* names[] = {L"red.bmp",    L"blue.png",  L"笔记.txt",
                              L"照片文件夹", L"setup.exe", L"a very long document name for the label.docx"};
    if (demo) {
        for (const wchar_t* name : names)
            view.AddRecordForPath(folder + L"\\" + name, 0, 0, L"bvn!NULL", false, L"", nullptr, L"bvn!NULL");
        s_boxRuntimes[box].multiSelect = true;
        s_boxRuntimes[box].selection = {0, 4};
        empty = false;
        PumpMessages(static_cast<DWORD>(argc > 2 ? _wtoi(argv[2]) : 8000));
        return 0;
    }

    const double emptyMs = FrameMs(box->GetHwnd(), 30);
    for (int i = 0; i < 2000; ++i)
        view.AddRecordForPath(folder + L"\\" + names[i % 6], 0, 0, L"bvn!NULL", false, L"", nullptr, L"bvn!NULL");
    empty = false;
    // Let the icons fade in and settle before measuring.
    for (int i = 0; i < 40; ++i) {
        RedrawWindow(box->GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        PumpMessages(25);
    }
    const double fullMs = FrameMs(box->GetHwnd(), 30);
    std::printf("empty window:        %.2f ms per frame\n", emptyMs);
    std::printf("2,000 icons:         %.2f ms per frame (layout, motion, paint)\n", fullMs);
    std::printf("ratio:               %.2f (goal at most 2)\n", emptyMs > 0 ? fullMs / emptyMs : 0.0);
    return 0;
}
