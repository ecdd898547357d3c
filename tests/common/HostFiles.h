// Entries that only the host's own file system can make: names that hold a
// backslash, names that differ only in case in one folder. Under Wine the
// host's programs make them; elsewhere (and where a host program cannot
// run) the helpers answer false and the test has nothing to check.
// Header-only.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/FileRemoval.h"

namespace host_files
{

using UnixName = char*(CDECL*)(const wchar_t*);

inline UnixName UnixNameFunction()
{
    return reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

inline std::string UnixPath(const std::wstring& path)
{
    UnixName unixName = UnixNameFunction();
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a host program with its arguments, each quoted; true when it ran.
inline bool RunOnHost(const std::wstring& program, const std::vector<std::string>& arguments)
{
    std::string command = "prog";
    for (const std::string& argument : arguments)
        command += " \"" + argument + "\"";
    std::wstring wide(command.begin(), command.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The names a folder holds, as the system spells them, sorted: a name the
// host keeps (a trailing dot or blank) is seen as it is.
inline std::vector<std::wstring> SortedNamesIn(const std::wstring& folder)
{
    std::vector<std::wstring> found;
    ForEachFolderEntry(folder, [&](const std::wstring& name, unsigned long) {
        found.push_back(name);
        return true;
    });
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace host_files

// Gives the file at from the name newName (ASCII, taken as it is, a
// backslash too) in the folder folder, through the host. True once the
// file is gone from its old name.
inline bool RenameOnHost(const std::wstring& from, const std::wstring& folder, const std::string& newName)
{
    const std::string unixFrom = host_files::UnixPath(from);
    const std::string unixFolder = host_files::UnixPath(folder);
    if (unixFrom.empty() || unixFolder.empty() ||
        !host_files::RunOnHost(L"Z:\\bin\\mv", {unixFrom, unixFolder + "/" + newName}))
        return false;
    // Wine may report the host program ended before it has run.
    for (int i = 0; i < 100; ++i) {
        if (GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(50);
    }
    return false;
}

// Removes a folder with everything in it through the host, for entries
// the system itself cannot name.
inline void RemoveOnHost(const std::wstring& folder)
{
    const std::string unixFolder = host_files::UnixPath(folder);
    if (unixFolder.empty() || unixFolder.size() <= 5 || !host_files::RunOnHost(L"Z:\\bin\\rm", {"-rf", unixFolder}))
        return;
    // Wine may report the host program ended before it has run: the next
    // test would find the folder half gone under its own clean-up.
    for (int i = 0; i < 100 && GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
}

// A new folder on a volume other than the one near lies on (the host's
// memory file system), so that a move from it into near is a copy and a
// removal; empty where there is none. The caller removes it.
inline std::wstring FolderOnOtherVolume(const std::wstring& near, const std::wstring& name)
{
    const std::wstring folder = L"Z:\\dev\\shm\\tessik-" + name + L"-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring probe = folder + L"\\probe";
    CreateDirectoryW(folder.c_str(), nullptr);
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return L"";
    CloseHandle(h);
    const std::wstring there = near + L"\\probe";
    const bool other = !MoveFileExW(probe.c_str(), there.c_str(), 0) && GetLastError() == ERROR_NOT_SAME_DEVICE;
    DeleteFileW(probe.c_str());
    DeleteFileW(there.c_str());
    if (!other)
        RemoveDirectoryW(folder.c_str());
    return other ? folder : L"";
}
