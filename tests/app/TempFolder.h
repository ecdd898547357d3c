// A fresh folder under the system's temporary folder, removed afterwards.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/FileRemoval.h"
#include "ui/core/TextHelpers.h"

class TempFolder
{
public:
    TempFolder()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        m_path = std::filesystem::path(base) / (L"tessik_test_" + RandomHexString(8));
        std::filesystem::create_directories(m_path);
    }
    // Never through a link a test made: its target may lie elsewhere.
    ~TempFolder() { RemoveItemWithoutFollowingLinks(m_path.wstring()); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::wstring File(const std::wstring& name) const { return (m_path / name).wstring(); }
    const std::filesystem::path& Path() const { return m_path; }

    static std::string ReadBytes(const std::wstring& path)
    {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void WriteBytes(const std::wstring& path, const std::string& bytes)
    {
        std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    // Of dropped files, how many stand in folder under their own names and
    // how many still at their sources.
    struct Whereabouts {
        size_t inFolder = 0, atSource = 0;
    };
    static Whereabouts WhereAre(const std::vector<std::wstring>& sources, const std::wstring& folder)
    {
        Whereabouts found;
        for (const std::wstring& source : sources) {
            found.inFolder += std::filesystem::exists(folder + L"\\" + std::filesystem::path(source).filename().wstring());
            found.atSource += std::filesystem::exists(source);
        }
        return found;
    }

private:
    std::filesystem::path m_path;
};
