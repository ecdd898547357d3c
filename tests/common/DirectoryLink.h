// Symbolic links to folders and files, for tests that check that nothing
// reaches through one, and a set of the links a removal or move must never
// follow with their targets. Header-only.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// A symbolic link as the platform makes it. Where the system's call makes
// none (Wine answers success and creates nothing), the host's own ln makes
// one: Wine shows a link to a folder as a link, a link to a file as a
// plain file. False when neither can.
inline bool MakeLink(const std::wstring& link, const std::wstring& target, bool directory)
{
    const DWORD flags = (directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) &&
        GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    using UnixName = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        return false;
    char* unixLink = unixName(link.c_str());
    char* unixTarget = unixName(target.c_str());
    bool made = false;
    if (unixLink && unixTarget) {
        std::string command = std::string("/bin/ln -s \"") + unixTarget + "\" \"" + unixLink + "\"";
        std::wstring wide(command.begin(), command.end());
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (CreateProcessW(L"Z:\\bin\\ln", wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            WaitForSingleObject(process.hProcess, 10000);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        // Wine may report the host program ended before it has run.
        for (int i = 0; i < 100 && !made; ++i) {
            const DWORD attributes = GetFileAttributesW(link.c_str());
            made = attributes != INVALID_FILE_ATTRIBUTES && (!directory || (attributes & FILE_ATTRIBUTE_REPARSE_POINT));
            if (!made)
                Sleep(50);
        }
    }
    HeapFree(GetProcessHeap(), 0, unixLink);
    HeapFree(GetProcessHeap(), 0, unixTarget);
    return made;
}

inline bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target)
{
    return MakeLink(link, target, true);
}

// The three links that the system may not show as links: to a file, to a
// read-only file and to an empty folder, made in a folder with their
// targets in another. Untouched() tells that every target is still there
// as it was, byte for byte.
class OutsideLinks
{
public:
    // False when this system makes no links.
    bool Make(const std::wstring& linkFolder, const std::wstring& targetFolder)
    {
        CreateDirectoryW(targetFolder.c_str(), nullptr);
        m_file = targetFolder + L"\\budget.xlsx";
        m_readOnly = targetFolder + L"\\thesis.docx";
        m_folder = targetFolder + L"\\empty";
        Write(m_file, kFileBytes);
        Write(m_readOnly, kReadOnlyBytes);
        SetFileAttributesW(m_readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
        CreateDirectoryW(m_folder.c_str(), nullptr);
        links = {linkFolder + L"\\budget shortcut.xlsx", linkFolder + L"\\thesis link.docx",
                 linkFolder + L"\\empty link"};
        return MakeLink(links[0], m_file, false) && MakeLink(links[1], m_readOnly, false) &&
               MakeLink(links[2], m_folder, true);
    }
    bool Untouched() const
    {
        const DWORD folder = GetFileAttributesW(m_folder.c_str());
        return Read(m_file) == kFileBytes && Read(m_readOnly) == kReadOnlyBytes &&
               (GetFileAttributesW(m_readOnly.c_str()) & FILE_ATTRIBUTE_READONLY) &&
               folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY) &&
               !(folder & FILE_ATTRIBUTE_REPARSE_POINT);
    }
    // The targets' read-only mark goes, so that a test's folder can go.
    ~OutsideLinks()
    {
        if (!m_readOnly.empty())
            SetFileAttributesW(m_readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    }

    std::vector<std::wstring> links;

private:
    static constexpr const char* kFileBytes = "budget 2026\r\n\x01\x02";
    static constexpr const char* kReadOnlyBytes = "thesis, final";
    static void Write(const std::wstring& path, const std::string& bytes)
    {
        std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    static std::string Read(const std::wstring& path)
    {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::wstring m_file, m_readOnly, m_folder;
};

// Wine 8 cannot remove a host link to a folder: RemoveDirectoryW and the
// delete disposition look at the folder it points to (not empty: refused),
// DeleteFileW refuses a directory. A removal there leaves the link itself,
// and the folders that hold it, in place.
inline bool FolderLinksStayOnThisSystem()
{
    return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name") != nullptr;
}
