// Other spellings of one existing folder, as a user's drop or a stored
// path may bring them: through another drive letter, by its short (8.3)
// name, or through a link to the folder above it. Header-only.
#pragma once

#include <windows.h>

#include <string>

#include "common/DirectoryLink.h"
#include "common/HostFiles.h"

// The folder through the drive letter that reaches the host's whole file
// system (Wine's Z:); empty where there is none.
inline std::wstring ThroughOtherDrive(const std::wstring& path)
{
    const std::string unix = host_files::UnixPath(path);
    if (unix.empty() || unix.front() != '/')
        return L"";
    std::wstring spelled = L"Z:";
    for (const char c : unix)
        spelled += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return spelled;
}

// The folder by its short name; empty where the system gives none other
// than the long one. Its last part must be long ("Long Folder Name").
inline std::wstring ByShortName(const std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD size = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    const std::wstring shortPath = size > 0 && size < MAX_PATH ? buffer : L"";
    return shortPath == path ? L"" : shortPath;
}

// The folder through a link to its parent made at link; empty when this
// system makes no link.
inline std::wstring ThroughLinkedParent(const std::wstring& path, const std::wstring& link)
{
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || !MakeDirectoryLink(link, path.substr(0, slash)))
        return L"";
    return link + path.substr(slash);
}
