// A symbolic link to a folder, for tests that check that nothing reaches
// through one. Header-only.
#pragma once

#include <windows.h>

#include <string>

// A directory symbolic link as the platform makes it. Where the system's
// call makes none (Wine answers success and creates nothing), the host's
// own ln makes one, which Wine shows as a link. False when neither can.
inline bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target)
{
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(),
                            SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
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
            made = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
            if (!made)
                Sleep(50);
        }
    }
    HeapFree(GetProcessHeap(), 0, unixLink);
    HeapFree(GetProcessHeap(), 0, unixTarget);
    return made;
}

// Wine 8 cannot remove a host link to a folder: RemoveDirectoryW and the
// delete disposition look at the folder it points to (not empty: refused),
// DeleteFileW refuses a directory. A removal there leaves the link itself,
// and the folders that hold it, in place.
inline bool FolderLinksStayOnThisSystem()
{
    return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name") != nullptr;
}
