#include "app/KnownTempFolders.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>

#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/Logger.h"
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

// "1a2b3c4d-00000000000a1234": the volume, then the file index, in
// hexadecimal; written after a tab, which no folder name holds.
std::string FormatIdentity(const BoxRootIdentity& identity)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%08lx-%016llx", static_cast<unsigned long>(identity.volume),
                  static_cast<unsigned long long>(identity.index));
    return text;
}

std::optional<BoxRootIdentity> ParseIdentity(const std::string& text)
{
    if (text.size() != 25 || text[8] != '-')
        return std::nullopt;
    auto hex = [](const std::string& digits, ULONGLONG& value) {
        value = 0;
        for (char c : digits) {
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0)
                return false;
            value = value * 16 + static_cast<ULONGLONG>(digit);
        }
        return true;
    };
    ULONGLONG volume = 0, index = 0;
    if (!hex(text.substr(0, 8), volume) || !hex(text.substr(9), index))
        return std::nullopt;
    return BoxRootIdentity{static_cast<DWORD>(volume), index};
}

constexpr wchar_t kTempTail[] = L"\\.data\\.temp";
constexpr size_t kTempTailLength = sizeof(kTempTail) / sizeof(wchar_t) - 1;

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The folder without its trailing separator, separators made single.
std::wstring Bare(const std::wstring& folder)
{
    std::wstring bare = NormalizeStoredPath(folder);
    while (!bare.empty() && bare.back() == L'\\')
        bare.pop_back();
    return bare;
}

bool IsAbsoluteRoot(const std::wstring& root)
{
    if (root.size() >= 2 && root[1] == L':' && std::iswalpha(root[0]))
        return root.size() == 2 || root[2] == L'\\';
    // \\server\share\... or \\?\D:\...: a name after the leading pair.
    return root.size() > 2 && root[0] == L'\\' && root[1] == L'\\';
}

std::wstring JoinFinal(const std::wstring& folder, const std::wstring& tail)
{
    return !folder.empty() && folder.back() == L'\\' ? folder + tail.substr(1) : folder + tail;
}

// "<root>" of a folder of the form, a drive's root with its separator.
std::wstring RootOf(const std::wstring& tempFolder)
{
    const std::wstring temp = Bare(tempFolder);
    std::wstring root = temp.substr(0, temp.size() - kTempTailLength);
    if (root.size() == 2)
        root += L'\\';
    return root;
}

} // namespace

bool HasTempFolderForm(const std::wstring& folder)
{
    const std::wstring bare = Bare(folder);
    if (bare.size() <= kTempTailLength || HasDotPart(bare))
        return false;
    if (Lower(bare.substr(bare.size() - kTempTailLength)) != kTempTail)
        return false;
    return IsAbsoluteRoot(bare.substr(0, bare.size() - kTempTailLength));
}

TempFolderProof ProveTempFolder(const std::wstring& folder)
{
    if (!HasTempFolderForm(folder))
        return TempFolderProof::NotOwn;
    const std::wstring temp = Bare(folder);
    const std::wstring data = temp.substr(0, temp.size() - 6);
    const std::wstring root = RootOf(temp);
    if (GetFileAttributesW(LongPathForm(temp).c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return TempFolderProof::Unreachable;
        // Positive evidence that nothing is there: the volume is, the
        // folder is not. A folder on a drive not plugged in is not empty.
        wchar_t volume[MAX_PATH] = {};
        return GetVolumePathNameW(temp.c_str(), volume, MAX_PATH) &&
                       GetFileAttributesW(volume) != INVALID_FILE_ATTRIBUTES
                   ? TempFolderProof::Gone
                   : TempFolderProof::Unreachable;
    }
    if (!IsOwnFolder(temp) || !IsOwnFolder(data))
        return TempFolderProof::NotOwn;
    // The system's own names, links and other spellings resolved: a ".temp"
    // that is a way to somewhere else (or a ".data" that is) ends elsewhere.
    const std::wstring finalRoot = ComparableFinalPath(root);
    const std::wstring finalTemp = ComparableFinalPath(temp);
    if (finalRoot.empty() || finalTemp.empty() || finalTemp != JoinFinal(finalRoot, kTempTail) ||
        ComparableFinalPath(data) != JoinFinal(finalRoot, L"\\.data"))
        return TempFolderProof::NotOwn;
    BY_HANDLE_FILE_INFORMATION listed{}, reached{};
    if (!EntryFacts(temp, true, listed) || !EntryFacts(JoinFinal(root, kTempTail), true, reached) ||
        !SameFileIdentity(listed, reached))
        return TempFolderProof::NotOwn;
    return TempFolderProof::Own;
}

std::optional<BoxRootIdentity> BoxRootIdentityOf(const std::wstring& tempFolder)
{
    BY_HANDLE_FILE_INFORMATION facts{};
    if (!HasTempFolderForm(tempFolder) || !EntryFacts(RootOf(tempFolder), false, facts))
        return std::nullopt;
    return BoxRootIdentity{facts.dwVolumeSerialNumber,
                           (static_cast<ULONGLONG>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow};
}

TempFolderProof ProveListedTempFolder(const ListedTempFolder& listed)
{
    const TempFolderProof proof = ProveTempFolder(listed.folder);
    if (proof != TempFolderProof::Own)
        return proof;
    // The form and the folders are right, but a user's own "X\.data\.temp"
    // has them too: only the root a run used, still the same folder, is a
    // box root of the program's.
    const std::optional<BoxRootIdentity> now = BoxRootIdentityOf(listed.folder);
    return listed.root && now && *listed.root == *now ? TempFolderProof::Own : TempFolderProof::NotOwn;
}

std::vector<ListedTempFolder> ParseTempFolderList(const std::string& utf8, std::vector<std::wstring>* rejected)
{
    std::vector<ListedTempFolder> folders;
    size_t start = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < utf8.size()) {
        size_t end = utf8.find('\n', start);
        if (end == std::string::npos)
            end = utf8.size();
        std::string line = utf8.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty()) {
            const size_t tab = line.find('\t');
            std::wstring folder = Utf8ToWide(line.substr(0, tab));
            if (HasTempFolderForm(folder))
                folders.push_back(
                    {std::move(folder), tab == std::string::npos ? std::nullopt : ParseIdentity(line.substr(tab + 1))});
            else if (rejected)
                rejected->push_back(std::move(folder));
        }
        start = end + 1;
    }
    return folders;
}

std::string FormatTempFolderList(const std::vector<ListedTempFolder>& folders)
{
    std::string text;
    for (const ListedTempFolder& listed : folders)
        text += WideToUtf8(listed.folder) + (listed.root ? "\t" + FormatIdentity(*listed.root) : "") + "\r\n";
    return text;
}

bool ReadKnownTempFolders(const std::wstring& dataFolder, std::vector<ListedTempFolder>& folders)
{
    folders.clear();
    std::string bytes;
    bool missing = false;
    if (!ReadAll(ListPath(dataFolder), bytes, missing))
        return false;
    std::vector<std::wstring> rejected;
    folders = ParseTempFolderList(bytes, &rejected);
    // Not a folder this program would list: left where it is, whatever it
    // holds, and dropped from the list at its next write.
    for (const std::wstring& line : rejected)
        Logger::GetInstance().Log(L"Tessik", L"WARNING",
                                  L"TempFolders.list names a folder that is no box folder's temporary folder; "
                                  L"it is left alone: " +
                                      line);
    return true;
}

bool RememberTempFolder(const std::wstring& dataFolder, const std::wstring& tempFolder)
{
    // Read again each time: another run of the same data folder may have
    // changed the list since.
    std::vector<ListedTempFolder> folders;
    if (!ReadKnownTempFolders(dataFolder, folders))
        return false;
    // Listed in the one form of a stored folder (the store doubles its
    // backslashes), "." and ".." written out as the system reads them.
    std::wstring folder = NormalizeStoredPath(tempFolder);
    if (HasDotPart(folder))
        folder = FullPathOf(folder);
    auto names = [&](const ListedTempFolder& f) { return Names(f.folder, folder); };
    const std::optional<BoxRootIdentity> root = BoxRootIdentityOf(folder);
    if (!root) {
        // A root that cannot be opened (a drive not there) holds no copy
        // either. Listed all the same, so that a later start logs what it
        // leaves; without the root's identity the line proves nothing.
        if (std::any_of(folders.begin(), folders.end(), names))
            return true;
        folders.push_back({folder, std::nullopt});
        return WriteAtomically(ListPath(dataFolder), FormatTempFolderList(folders));
    }
    if (std::any_of(folders.begin(), folders.end(),
                    [&](const ListedTempFolder& f) { return f.root == root && names(f); }))
        return true;
    // Another spelling of it, a line without the root's identity or with a
    // root that was another folder: none of them proves this folder.
    std::erase_if(folders, names);
    folders.push_back({folder, root});
    return WriteAtomically(ListPath(dataFolder), FormatTempFolderList(folders));
}

bool ForgetTempFolder(const std::wstring& dataFolder, const std::wstring& tempFolder)
{
    std::vector<ListedTempFolder> folders;
    if (!ReadKnownTempFolders(dataFolder, folders))
        return false;
    const size_t before = folders.size();
    std::erase_if(folders, [&](const ListedTempFolder& f) { return Names(f.folder, tempFolder); });
    if (folders.size() == before)
        return true;
    return WriteAtomically(ListPath(dataFolder), FormatTempFolderList(folders));
}
