#include "app/FileRemoval.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_map>

#include "app/CommonHelpers.h"

namespace
{

bool IsLink(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolder(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

struct Removal {
    std::vector<std::wstring> stayed;
    const std::function<bool(const std::wstring&)>& spare;
};

std::wstring Comparable(std::wstring path);

// What the system says an opened object is, in comparable form; empty when
// it cannot be opened or named. ownEntry opens the entry itself, not what a
// link at it leads to.
std::wstring FinalPathOf(const std::wstring& path, bool ownEntry)
{
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (ownEntry ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE h =
        CreateFileW(LongPathForm(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return L"";
    std::wstring final;
    for (DWORD kind : {FILE_NAME_NORMALIZED, FILE_NAME_OPENED}) {
        DWORD size = GetFinalPathNameByHandleW(h, nullptr, 0, kind | VOLUME_NAME_DOS);
        if (size == 0)
            continue;
        final.assign(size, L'\0');
        size = GetFinalPathNameByHandleW(h, final.data(), size, kind | VOLUME_NAME_DOS);
        if (size > 0 && size < final.size()) {
            final.resize(size);
            break;
        }
        final.clear();
    }
    // Wine names no path longer than MAX_PATH here (it answers that more
    // room is needed, however much is given): the entry is then told as
    // one whose name is too long to check.
    const DWORD error = GetLastError();
    CloseHandle(h);
    if (final.empty())
        SetLastError(error == ERROR_MORE_DATA ? ERROR_FILENAME_EXCED_RANGE : error);
    return final.empty() ? final : Comparable(final);
}

// Both paths open one file: the first as the entry itself (a link as the
// link), the second as whatever it leads to. False when either cannot be
// opened.
bool IsSameFileAs(const std::wstring& entry, const std::wstring& other)
{
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return EntryFacts(entry, true, first) && EntryFacts(other, false, second) && SameFileIdentity(first, second);
}

// The entry named name in the folder whose final path is folderFinal is
// itself: opened without following a link, the system names that very
// entry. A link it shows as a link passes (the handle is the link's own);
// a link it shows as a plain entry names what lies behind it. Unchecked
// (with the system's reason as last error) when either cannot be opened.
EntryCheck CheckItselfIn(const std::wstring& folderFinal, const std::wstring& path, const std::wstring& name)
{
    if (folderFinal.empty())
        return EntryCheck::Unchecked;
    if (!IsPlainEntryName(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return EntryCheck::NotItself;
    }
    const std::wstring own = FinalPathOf(path, true);
    if (own.empty())
        return EntryCheck::Unchecked;
    if (own == Comparable(folderFinal + L"\\" + name))
        return EntryCheck::Itself;
    // Wine names an entry whose name ends in dots or blanks without them.
    // It is still itself, unless it is the very file of that shorter name
    // (a link to its neighbour).
    std::wstring trimmed = name;
    while (!trimmed.empty() && (trimmed.back() == L'.' || trimmed.back() == L' '))
        trimmed.pop_back();
    if (trimmed.empty() || trimmed == name || own != Comparable(folderFinal + L"\\" + trimmed))
        return EntryCheck::NotItself;
    return IsSameFileAs(LongPathForm(path), folderFinal + L"\\" + trimmed) ? EntryCheck::NotItself : EntryCheck::Itself;
}

// The folder that holds a full path ("C:\a" is held by "C:\").
std::wstring ParentOf(const std::wstring& full)
{
    const size_t slash = full.find_last_of(L'\\');
    std::wstring parent = slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
    // A drive without its separator names the drive's current folder, or
    // in the long form ("\\?\C:") the volume itself: the root is meant.
    const size_t drive = parent.starts_with(L"\\\\?\\") ? 4 : 0;
    if (parent.size() == drive + 2 && parent[drive + 1] == L':')
        parent += L'\\';
    return parent;
}

// The entry's name as its folder lists it: the long name, even when the
// path spells a short one.
std::wstring OwnName(const std::wstring& full)
{
    WIN32_FIND_DATAW data;
    HANDLE find =
        FindFirstFileExW(LongPathForm(full).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        return data.cFileName;
    }
    return full.substr(full.find_last_of(L'\\') + 1);
}

// A link goes as the directory entry it is. Which call takes it differs
// (a link to a folder is a directory entry on Windows, a plain one on some
// file systems): both are tried, and neither reaches the target. Its
// attributes are left alone: setting them would reach through it.
bool RemoveLink(const std::wstring& path, DWORD attributes)
{
    const std::wstring reach = LongPathForm(path);
    if (IsFolder(attributes) && RemoveDirectoryW(reach.c_str()) &&
        GetFileAttributesW(reach.c_str()) == INVALID_FILE_ATTRIBUTES)
        return true;
    DeleteFileW(reach.c_str());
    return GetFileAttributesW(reach.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// A read-only file or folder goes too, as a delete in Explorer does; one
// that stays keeps its attributes.
template <typename Remove> bool RemoveClearingReadOnly(const std::wstring& path, DWORD attributes, Remove remove)
{
    constexpr DWORD kSettable = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_TEMPORARY;
    const std::wstring reach = LongPathForm(path);
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly)
        SetFileAttributesW(reach.c_str(), FILE_ATTRIBUTE_NORMAL);
    // A handle held for a moment by someone else (an icon being read, the
    // folder watch, a virus scanner) makes the first try fail while the
    // entry is on its way out: a few short tries more, then it stays.
    for (int attempt = 0;; ++attempt) {
        if (remove(reach.c_str()))
            return true;
        const DWORD error = GetLastError();
        const bool busy = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                          error == ERROR_DIR_NOT_EMPTY || error == ERROR_LOCK_VIOLATION;
        if (!busy || attempt == 4)
            break;
        Sleep(25);
    }
    if (readOnly)
        SetFileAttributesW(reach.c_str(), attributes & kSettable);
    return false;
}

bool RemoveEntry(const std::wstring& path, const std::wstring& name, const std::wstring& folderFinal, DWORD attributes,
                 Removal& removal)
{
    if (removal.spare && removal.spare(path)) {
        removal.stayed.push_back(path);
        return false;
    }
    // An entry that is not itself is a link the system does not show as
    // one: every delete or attribute change would reach what lies behind
    // it, so it stays, untouched, and is named.
    if (CheckItselfIn(folderFinal, path, name) != EntryCheck::Itself) {
        removal.stayed.push_back(path);
        return false;
    }
    bool removed = false;
    if (IsLink(attributes)) {
        removed = RemoveLink(path, attributes);
    } else if (IsFolder(attributes)) {
        const size_t stayedBefore = removal.stayed.size();
        const std::wstring ownFinal = FinalPathOf(path, true);
        ForEachFolderEntry(path, [&](const std::wstring& entryName, unsigned long entry) {
            RemoveEntry(Join(path, entryName), entryName, ownFinal, entry, removal);
            return true;
        });
        removed = RemoveClearingReadOnly(path, attributes, RemoveDirectoryW);
        // What stayed inside already tells why the folder stays.
        if (!removed && removal.stayed.size() > stayedBefore)
            return false;
    } else {
        removed = RemoveClearingReadOnly(path, attributes, DeleteFileW);
    }
    if (!removed)
        removal.stayed.push_back(path);
    return removed;
}

// The comparable form of a full path: backslashes, one at a time but for
// a leading pair, lower case, no trailing separator, "\\?\" long-path
// prefixes taken off.
std::wstring Comparable(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        path = L"\\\\" + path.substr(8);
    else if (path.rfind(L"\\\\?\\", 0) == 0)
        path = path.substr(4);
    for (size_t i = 2; i < path.size();) {
        if (path[i] == L'\\' && path[i - 1] == L'\\')
            path.erase(i, 1);
        else
            ++i;
    }
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    std::transform(path.begin(), path.end(), path.begin(), [](wchar_t c) { return std::towlower(c); });
    return path;
}

bool IsDrivePath(const std::wstring& path)
{
    return path.size() >= 2 && std::iswalpha(path[0]) && path[1] == L':';
}

// "x:" or "\\server\share" (already comparable), or not absolute at all.
bool IsRootOrRelative(const std::wstring& path)
{
    if (IsDrivePath(path))
        return path.size() == 2 || path[2] != L'\\';
    if (path.rfind(L"\\\\", 0) != 0)
        return true;
    const size_t server = path.find(L'\\', 2);
    return server == std::wstring::npos || path.find(L'\\', server + 1) == std::wstring::npos;
}

// SameLocation with the system asked once per path: one check walks up
// from some hundred protected folders, most of them under the same few
// folders, and each question opens the entry (milliseconds each under a
// busy disk, on the thread that asks).
class PlaceLookup
{
public:
    bool Same(const std::wstring& a, const std::wstring& b)
    {
        const BY_HANDLE_FILE_INFORMATION* x = Facts(a);
        const BY_HANDLE_FILE_INFORMATION* y = x ? Facts(b) : nullptr;
        if (x && y)
            return SameFileIdentity(*x, *y);
        const std::wstring fa = FullPathOf(a), fb = FullPathOf(b);
        return CompareStringOrdinal(fa.c_str(), -1, fb.c_str(), -1, TRUE) == CSTR_EQUAL;
    }

private:
    const BY_HANDLE_FILE_INFORMATION* Facts(const std::wstring& path)
    {
        auto [found, added] = m_facts.try_emplace(path);
        if (added) {
            BY_HANDLE_FILE_INFORMATION facts{};
            if (EntryFacts(path, false, facts))
                found->second = facts;
        }
        return found->second ? &*found->second : nullptr;
    }

    std::unordered_map<std::wstring, std::optional<BY_HANDLE_FILE_INFORMATION>> m_facts;
};

// The path or one of the folders above it is the same place as candidate.
// The folder just above a full path; empty at the top.
std::wstring FolderAbove(const std::wstring& p)
{
    const size_t slash = p.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 >= p.size())
        return {};
    // "C:\a" goes up to "C:\", not to "C:".
    std::wstring parent = p.substr(0, slash);
    if (parent.size() == 2 && parent[1] == L':')
        parent += L'\\';
    return parent == p ? std::wstring() : parent;
}

bool IsSameOrAboveByIdentity(const std::wstring& candidate, const std::wstring& protectedPath, PlaceLookup& places)
{
    for (std::wstring p = FullPathOf(protectedPath); !p.empty(); p = FolderAbove(p))
        if (places.Same(candidate, p))
            return true;
    return false;
}

// Every folder the system names as a known folder (the user's Downloads,
// Saved Games, Contacts, Links, Favorites, Public, ProgramData, Program
// Files (x86) and the rest), with paths only: virtual folders have none.
void AddKnownFolders(std::vector<std::wstring>& folders)
{
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    {
        Microsoft::WRL::ComPtr<IKnownFolderManager> manager;
        KNOWNFOLDERID* ids = nullptr;
        UINT count = 0;
        if (SUCCEEDED(
                CoCreateInstance(CLSID_KnownFolderManager, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&manager))) &&
            SUCCEEDED(manager->GetFolderIds(&ids, &count))) {
            for (UINT i = 0; i < count; ++i) {
                Microsoft::WRL::ComPtr<IKnownFolder> folder;
                PWSTR path = nullptr;
                if (SUCCEEDED(manager->GetFolder(ids[i], &folder)) &&
                    SUCCEEDED(folder->GetPath(KF_FLAG_DONT_VERIFY, &path)) && path)
                    folders.push_back(path);
                CoTaskMemFree(path);
            }
            CoTaskMemFree(ids);
        }
    }
    // Where the folder manager is missing, the ones named here still count.
    for (REFKNOWNFOLDERID id : {FOLDERID_ProgramFilesX86, FOLDERID_ProgramFilesCommon, FOLDERID_ProgramFilesCommonX86,
                                FOLDERID_ProgramData, FOLDERID_Downloads, FOLDERID_Public, FOLDERID_Favorites,
                                FOLDERID_SavedGames, FOLDERID_Contacts, FOLDERID_Links, FOLDERID_UserProfiles}) {
        PWSTR path = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path)
            folders.push_back(path);
        CoTaskMemFree(path);
    }
    if (SUCCEEDED(init))
        CoUninitialize();
}

// The Recycle Bin's folders at the root of every drive, whichever system
// made them.
void AddRecycleBinFolders(std::vector<std::wstring>& folders)
{
    wchar_t drives[512] = {};
    const DWORD length = GetLogicalDriveStringsW(511, drives);
    for (const wchar_t* drive = drives; length > 0 && length < 512 && *drive; drive += wcslen(drive) + 1)
        for (const wchar_t* name : {L"$Recycle.Bin", L"RECYCLER", L"RECYCLED"})
            folders.push_back(std::wstring(drive) + name);
}

// The first element below the root of a comparable path ("c:\\a\\b" gives
// "a", "\\\\server\\share\\a" gives "a"); empty when there is none.
std::wstring FirstElementBelowRoot(const std::wstring& path)
{
    size_t start = std::wstring::npos;
    if (IsDrivePath(path) && path.size() > 3 && path[2] == L'\\') {
        start = 3;
    } else if (path.rfind(L"\\\\", 0) == 0) {
        const size_t server = path.find(L'\\', 2);
        const size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
        if (share != std::wstring::npos)
            start = share + 1;
    }
    if (start == std::wstring::npos || start >= path.size())
        return L"";
    return path.substr(start, path.find(L'\\', start) - start);
}

bool NamesARecycleBin(const std::wstring& fullPath)
{
    const std::wstring first = FirstElementBelowRoot(Comparable(fullPath));
    return first == L"$recycle.bin" || first == L"recycler" || first == L"recycled";
}

// Everything inside a drive's Recycle Bin belongs to the bin: the system
// keeps each user's deleted items in folders below it, and a box showing
// one of them must never take it along. By name, by the long form of a
// short (8.3) spelling, and by identity for a link that leads into a bin.
bool LiesInRecycleBin(const std::wstring& full)
{
    if (NamesARecycleBin(full))
        return true;
    const DWORD size = GetLongPathNameW(full.c_str(), nullptr, 0);
    if (size > 0) {
        std::wstring longName(size, L'\0');
        longName.resize(GetLongPathNameW(full.c_str(), longName.data(), size));
        if (NamesARecycleBin(longName))
            return true;
    }
    std::vector<std::wstring> bins;
    AddRecycleBinFolders(bins);
    std::erase_if(bins,
                  [](const std::wstring& bin) { return GetFileAttributesW(bin.c_str()) == INVALID_FILE_ATTRIBUTES; });
    if (bins.empty())
        return false;
    for (std::wstring p = full;;) {
        if (std::any_of(bins.begin(), bins.end(), [&](const std::wstring& bin) { return SameLocation(p, bin); }))
            return true;
        const size_t slash = p.find_last_of(L'\\');
        if (slash == std::wstring::npos || slash + 1 >= p.size())
            return false;
        std::wstring parent = p.substr(0, slash);
        if (parent.size() == 2 && parent[1] == L':')
            return false; // the drive's root is no bin
        if (parent.empty() || parent == p)
            return false;
        p = parent;
    }
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    const std::wstring file(path, length);
    const size_t slash = file.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : file.substr(0, slash);
}

} // namespace

bool MayWriteOwnFileAt(const std::wstring& path)
{
    return GetFileAttributesW(LongPathForm(path).c_str()) == INVALID_FILE_ATTRIBUTES || EntryIsItself(path);
}

// A path that names "." or ".." as one of its parts: the system resolves
// them before it opens anything, so the entry it reaches is not the one
// the last name seems to name.
bool HasDotPart(const std::wstring& path)
{
    size_t start = 0;
    // The prefix of "\\?\C:\..." is no part of the path.
    if (path.rfind(L"\\\\?\\", 0) == 0)
        start = 4;
    while (start <= path.size()) {
        size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring part = path.substr(start, end - start);
        if (part == L"." || part == L"..")
            return true;
        start = end + 1;
    }
    return false;
}

bool ForEachFolderEntry(const std::wstring& folder,
                        const std::function<bool(const std::wstring& name, unsigned long attributes)>& visit)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(LongPathForm(Join(folder, L"*")).c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool listed = true;
    for (;;) {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L".." && !visit(name, data.dwFileAttributes)) {
            listed = false;
            break;
        }
        if (!FindNextFileW(find, &data)) {
            listed = GetLastError() == ERROR_NO_MORE_FILES;
            break;
        }
    }
    FindClose(find);
    return listed;
}

bool IsOwnFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLink(attributes) &&
           EntryIsItself(path);
}

bool RemoveFolderIfEmpty(const std::wstring& folder)
{
    return IsOwnFolder(folder) && RemoveDirectoryW(LongPathForm(folder).c_str()) != FALSE;
}

bool EntryIsItself(const std::wstring& path)
{
    return CheckEntry(path) == EntryCheck::Itself;
}

EntryCheck CheckEntry(const std::wstring& path)
{
    if (path.empty())
        return EntryCheck::Itself;
    // Checked before anything resolves them: "box\..\..\report.doc" is no
    // entry of the box, whatever it reaches.
    if (HasDotPart(path)) {
        SetLastError(ERROR_INVALID_NAME);
        return EntryCheck::NotItself;
    }
    if (GetFileAttributesW(LongPathForm(path).c_str()) == INVALID_FILE_ATTRIBUTES)
        return EntryCheck::Itself;
    const std::wstring full = FullPathOf(path);
    const size_t slash = full.find_last_of(L'\\');
    // A drive or share root is no link.
    if (slash == std::wstring::npos || slash + 1 >= full.size() || IsRootOrRelative(Comparable(full)))
        return EntryCheck::Itself;
    return CheckItselfIn(FinalPathOf(ParentOf(full), false), full, OwnName(full));
}

bool IsPlainEntryName(const std::wstring& name)
{
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/") == std::wstring::npos;
}

bool IsReservedDeviceName(const std::wstring& name)
{
    // The system takes the part before the first dot, trailing blanks
    // ignored, as the device whatever follows.
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        c = static_cast<wchar_t>(towupper(c));
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL")
        return true;
    return stem.size() == 4 && (stem.starts_with(L"COM") || stem.starts_with(L"LPT")) && stem[3] >= L'1' &&
           stem[3] <= L'9';
}

std::wstring TypedNameRefusal(const std::wstring& name)
{
    std::wstring why;
    const bool badCharacter = std::any_of(name.begin(), name.end(), [](wchar_t c) {
        return c < 32 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos;
    });
    if (name.empty() || name == L"." || name == L".." || badCharacter)
        why = L"文件名不能为空，也不能包含 \\ / : * ? \" < > |。";
    else if (name.back() == L'.' || name.back() == L' ')
        why = L"文件名不能以点或空格结尾。";
    else if (IsReservedDeviceName(name))
        why = L"这个名称是 Windows 保留给设备的（如 CON、AUX、NUL）。";
    return why.empty() ? why : L"名称“" + name + L"”不能用作文件名。\n" + why;
}

namespace
{

// A name the system's path clean-up would change: trailing dots and
// blanks are cut from every part of a plain path, so "rep." would reach
// the file "rep" beside it, and a device's name ("aux.txt") becomes that
// device. "." and ".." are not names (they are refused before any file
// call).
bool HasNameTheSystemTrims(const std::wstring& path)
{
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring part = path.substr(start, end - start);
        if (!part.empty() && part != L"." && part != L".." &&
            (part.back() == L'.' || part.back() == L' ' || IsReservedDeviceName(part)))
            return true;
        start = end + 1;
    }
    return false;
}

// The path with "/" turned into "\" and repeated separators made one
// (a UNC path keeps its leading two).
std::wstring WithPlainSeparators(const std::wstring& path)
{
    std::wstring out;
    for (size_t i = 0; i < path.size(); ++i) {
        const wchar_t c = path[i] == L'/' ? L'\\' : path[i];
        if (c == L'\\' && i > 1 && !out.empty() && out.back() == L'\\')
            continue;
        out += c;
    }
    return out;
}

} // namespace

std::wstring LongPathForm(const std::wstring& path)
{
    if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0)
        return path;
    // A name ending in a dot or a blank is reached only with the prefix,
    // which takes the path as written. GetFullPathNameW would cut the name
    // too, so the path is prefixed as it stands: an absolute one without
    // "." or ".." parts (anything else is never such an entry's own path).
    if (HasNameTheSystemTrims(path)) {
        const std::wstring plain = WithPlainSeparators(path);
        const bool climbs = plain.find(L"\\.\\") != std::wstring::npos || plain.find(L"\\..\\") != std::wstring::npos ||
                            (plain.size() >= 2 && plain.compare(plain.size() - 2, 2, L"\\.") == 0) ||
                            (plain.size() >= 3 && plain.compare(plain.size() - 3, 3, L"\\..") == 0);
        if (!climbs && plain.size() >= 3 && IsDrivePath(plain) && plain[2] == L'\\')
            return L"\\\\?\\" + plain;
        if (!climbs && plain.rfind(L"\\\\", 0) == 0)
            return L"\\\\?\\UNC\\" + plain.substr(2);
        return path;
    }
    // Below this length every file call takes the path as it is (folders
    // are created up to MAX_PATH - 12); the prefix also turns off the
    // system's own clean-up of the path, so it is given only when needed.
    constexpr size_t kShortEnough = MAX_PATH - 12;
    if (path.size() < kShortEnough)
        return path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    std::replace(full.begin(), full.end(), L'/', L'\\');
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    if (IsDrivePath(full))
        return L"\\\\?\\" + full;
    return path;
}

bool RemoveItemWithoutFollowingLinks(const std::wstring& path, RemovalReport* report,
                                     const std::function<bool(const std::wstring& path)>& spare)
{
    if (path.empty())
        return true;
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    Removal removal{{}, spare};
    const std::wstring full = FullPathOf(path);
    const size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 >= full.size()) {
        // A root is never removed, and nothing tells what it is.
        removal.stayed.push_back(path);
    } else {
        const std::wstring name = OwnName(full);
        RemoveEntry(path, name, FinalPathOf(ParentOf(full), false), attributes, removal);
    }
    const bool gone = GetFileAttributesW(LongPathForm(path).c_str()) == INVALID_FILE_ATTRIBUTES;
    if (!gone && removal.stayed.empty())
        removal.stayed.push_back(path);
    if (report)
        report->stayed.insert(report->stayed.end(), removal.stayed.begin(), removal.stayed.end());
    return gone;
}

std::wstring RemovalStayedText(const std::wstring& path, const std::vector<std::wstring>& stayed)
{
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = L"“" + (slash == std::wstring::npos ? path : path.substr(slash + 1)) + L"”";
    // A link the system shows as a plain entry stays on purpose: the user
    // hears that what it leads to was not touched.
    const bool links =
        std::any_of(stayed.begin(), stayed.end(), [](const std::wstring& p) { return !EntryIsItself(p); });
    if (stayed.empty() || (stayed.size() == 1 && stayed.front() == path))
        return name + (links ? L"是指向其他位置的链接，无法只删除链接本身，它仍在原来的位置，链接指向的内容没有被改动。"
                             : L"无法删除，它仍在原来的位置。");
    return name + L"未能完全删除，以下内容仍在原来的位置：" + PathLinesText(stayed) +
           (links ? L"\n其中指向其他位置的链接已原样保留，链接指向的内容没有被改动。" : L"");
}

std::wstring PathLinesText(const std::vector<std::wstring>& paths)
{
    std::wstring text;
    for (size_t i = 0; i < paths.size() && i < kPathsNamedInMessage; ++i)
        text += L"\n" + paths[i];
    if (paths.size() > kPathsNamedInMessage)
        text += L"\n" + MoreItemsText(paths.size());
    return text;
}

std::wstring MoreItemsText(size_t count, size_t named)
{
    return count > named ? L"……以及另外 " + std::to_wstring(count - named) + L" 项" : std::wstring();
}

bool IsProtectedFromRemoval(const std::wstring& fullPath, const std::vector<std::wstring>& protectedFolders)
{
    const std::wstring candidate = Comparable(fullPath);
    if (IsRootOrRelative(candidate))
        return true;
    for (const std::wstring& folder : protectedFolders) {
        const std::wstring guarded = Comparable(folder);
        if (guarded.empty())
            continue;
        if (guarded == candidate ||
            (guarded.size() > candidate.size() && guarded.compare(0, candidate.size(), candidate) == 0 &&
             guarded[candidate.size()] == L'\\'))
            return true;
    }
    return false;
}

std::vector<std::wstring> SystemProtectedFolders()
{
    std::vector<std::wstring> folders;
    for (int csidl : {CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_WINDOWS, CSIDL_SYSTEM,
                      CSIDL_PROGRAM_FILES, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_MYPICTURES, CSIDL_MYMUSIC,
                      CSIDL_MYVIDEO, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PROGRAM_FILESX86, CSIDL_COMMON_APPDATA,
                      CSIDL_FAVORITES, CSIDL_COMMON_DOCUMENTS})
        folders.push_back(KnownFolderPath(csidl));
    AddKnownFolders(folders);
    AddRecycleBinFolders(folders);
    folders.push_back(ProgramFolder());
    std::erase_if(folders, [](const std::wstring& folder) { return folder.empty(); });
    return folders;
}

namespace
{

// The protected folders as the system named them at one look, with the
// identity of each and of every folder above it: a check against them then
// opens only the folder it is asked about.
struct ProtectedPlaces {
    std::vector<std::wstring> folders;
    std::set<std::tuple<DWORD, DWORD, DWORD>> identities;
};

std::tuple<DWORD, DWORD, DWORD> IdentityKey(const BY_HANDLE_FILE_INFORMATION& facts)
{
    return {facts.dwVolumeSerialNumber, facts.nFileIndexHigh, facts.nFileIndexLow};
}

std::mutex s_placesLock;
std::shared_ptr<const ProtectedPlaces> s_lastPlaces;

// Asks the system afresh (some hundred folders, a few hundred milliseconds
// under a busy disk) and keeps the answer as the last look.
std::shared_ptr<const ProtectedPlaces> LookAtProtectedPlaces()
{
    auto places = std::make_shared<ProtectedPlaces>();
    places->folders = SystemProtectedFolders();
    std::set<std::wstring> asked;
    for (const std::wstring& folder : places->folders) {
        // A folder met before had the ones above it asked too.
        for (std::wstring p = FullPathOf(folder); !p.empty() && asked.insert(Comparable(p)).second;
             p = FolderAbove(p)) {
            BY_HANDLE_FILE_INFORMATION facts{};
            if (EntryFacts(p, false, facts))
                places->identities.insert(IdentityKey(facts));
        }
    }
    std::lock_guard lock(s_placesLock);
    s_lastPlaces = places;
    return places;
}

bool MayRemoveFolderAmong(const std::wstring& folder, const ProtectedPlaces& system,
                          const std::vector<std::wstring>& alsoProtected)
{
    if (folder.empty())
        return false;
    const std::wstring full = FullPathOf(folder);
    if (IsProtectedFromRemoval(full, system.folders) || IsProtectedFromRemoval(full, alsoProtected) ||
        LiesInRecycleBin(full))
        return false;
    // Another spelling of a protected folder, or of one above it.
    BY_HANDLE_FILE_INFORMATION facts{};
    if (EntryFacts(full, false, facts) && system.identities.count(IdentityKey(facts)))
        return false;
    PlaceLookup places;
    return std::none_of(alsoProtected.begin(), alsoProtected.end(), [&](const std::wstring& protectedFolder) {
        return !protectedFolder.empty() && IsSameOrAboveByIdentity(full, protectedFolder, places);
    });
}

} // namespace

bool MayRemoveFolder(const std::wstring& folder, const std::vector<std::wstring>& alsoProtected)
{
    return !folder.empty() && MayRemoveFolderAmong(folder, *LookAtProtectedPlaces(), alsoProtected);
}

bool MayRemoveFolderAsLastSeen(const std::wstring& folder, const std::vector<std::wstring>& alsoProtected)
{
    if (folder.empty())
        return false;
    std::shared_ptr<const ProtectedPlaces> places;
    {
        std::lock_guard lock(s_placesLock);
        places = s_lastPlaces;
    }
    return MayRemoveFolderAmong(folder, places ? *places : *LookAtProtectedPlaces(), alsoProtected);
}

void LookAtProtectedFoldersSoon()
{
    std::thread([] {
        try {
            LookAtProtectedPlaces();
        } catch (...) {
            // The first check then asks the system itself.
        }
    }).detach();
}

bool SameLocation(const std::wstring& a, const std::wstring& b)
{
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    if (EntryFacts(a, false, x) && EntryFacts(b, false, y))
        return SameFileIdentity(x, y);
    const std::wstring fa = FullPathOf(a), fb = FullPathOf(b);
    return CompareStringOrdinal(fa.c_str(), -1, fb.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring FullPathOf(const std::wstring& path)
{
    std::wstring full = path;
    // The system's clean-up would cut such a name to another entry's; an
    // absolute path is already full, as is one in the long form, which the
    // clean-up must not touch either (Wine trims its trailing dots).
    const bool keepAsWritten =
        path.starts_with(L"\\\\?\\") || (HasNameTheSystemTrims(path) && LongPathForm(path) != path);
    const DWORD size = keepAsWritten ? 0 : GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (keepAsWritten)
        full = WithPlainSeparators(path);
    if (size > 0) {
        full.assign(size, L'\0');
        full.resize(GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    }
    std::replace(full.begin(), full.end(), L'/', L'\\');
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return full;
}

std::wstring ComparablePath(const std::wstring& path)
{
    return Comparable(path);
}

std::wstring ComparableFinalPath(const std::wstring& path)
{
    return FinalPathOf(path, false);
}

bool EntryFacts(const std::wstring& path, bool ownEntry, BY_HANDLE_FILE_INFORMATION& facts)
{
    // Opened for nothing but its attributes, sharing everything: the user's
    // programs are not disturbed.
    HANDLE h = CreateFileW(LongPathForm(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | (ownEntry ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = GetFileInformationByHandle(h, &facts) != FALSE;
    CloseHandle(h);
    return ok;
}

bool SameFileIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}
