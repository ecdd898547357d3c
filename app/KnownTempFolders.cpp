#include "app/KnownTempFolders.h"

#include <windows.h>

#include <algorithm>

#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/StoreTextFormat.h"

namespace
{

std::wstring ListPath(const std::wstring& dataFolder)
{
    return dataFolder + L"\\" + kTempFolderListFile;
}

bool ReadAll(const std::wstring& path, std::string& bytes, bool& missing)
{
    missing = false;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return missing;
    }
    bool ok = true;
    char buffer[4096];
    DWORD read = 0;
    while ((ok = ReadFile(file, buffer, sizeof(buffer), &read, nullptr) != FALSE) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return ok;
}

// A new file beside the list, flushed, then renamed over it: a failed
// write never leaves a list cut short.
bool WriteAtomically(const std::wstring& path, const std::string& bytes)
{
    const std::wstring beside = path + L".saving";
    if (!MayWriteOwnFileAt(beside))
        return false;
    HANDLE file = CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                written == bytes.size());
    ok = ok && FlushFileBuffers(file);
    CloseHandle(file);
    ok = ok && MoveFileExW(beside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileW(beside.c_str());
    return ok;
}

bool Names(const std::wstring& listed, const std::wstring& folder)
{
    return ComparablePath(listed) == ComparablePath(folder) || SameLocation(listed, folder);
}

} // namespace

std::vector<std::wstring> ParseTempFolderList(const std::string& utf8)
{
    std::vector<std::wstring> folders;
    size_t start = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < utf8.size()) {
        size_t end = utf8.find('\n', start);
        if (end == std::string::npos)
            end = utf8.size();
        std::string line = utf8.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty())
            folders.push_back(Utf8ToWide(line));
        start = end + 1;
    }
    return folders;
}

std::string FormatTempFolderList(const std::vector<std::wstring>& folders)
{
    std::string text;
    for (const std::wstring& folder : folders)
        text += WideToUtf8(folder) + "\r\n";
    return text;
}

bool ReadKnownTempFolders(const std::wstring& dataFolder, std::vector<std::wstring>& folders)
{
    folders.clear();
    std::string bytes;
    bool missing = false;
    if (!ReadAll(ListPath(dataFolder), bytes, missing))
        return false;
    folders = ParseTempFolderList(bytes);
    return true;
}

bool RememberTempFolder(const std::wstring& dataFolder, const std::wstring& tempFolder)
{
    // Read again each time: another run of the same data folder may have
    // changed the list since.
    std::vector<std::wstring> folders;
    if (!ReadKnownTempFolders(dataFolder, folders))
        return false;
    // Listed in the one form of a stored folder (the store doubles its
    // backslashes).
    const std::wstring folder = NormalizeStoredPath(tempFolder);
    if (std::any_of(folders.begin(), folders.end(), [&](const std::wstring& f) { return Names(f, folder); }))
        return true;
    folders.push_back(folder);
    return WriteAtomically(ListPath(dataFolder), FormatTempFolderList(folders));
}

bool ForgetTempFolder(const std::wstring& dataFolder, const std::wstring& tempFolder)
{
    std::vector<std::wstring> folders;
    if (!ReadKnownTempFolders(dataFolder, folders))
        return false;
    const size_t before = folders.size();
    std::erase_if(folders, [&](const std::wstring& f) { return Names(f, tempFolder); });
    if (folders.size() == before)
        return true;
    return WriteAtomically(ListPath(dataFolder), FormatTempFolderList(folders));
}
