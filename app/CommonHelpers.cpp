#include "app/CommonHelpers.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <optional>
#include <random>
#include <stdexcept>

#include "app/FileRemoval.h"
#include "ui/core/WindowMessages.h"

using Microsoft::WRL::ComPtr;

ULONG s_themeFolderNotifyId = 0;

std::wstring ColorToHex(COLORREF color)
{
    wchar_t text[8];
    swprintf(text, 8, L"#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}

COLORREF HexToColor(const std::wstring& text)
{
    std::wstring digits = text;
    if (!digits.empty() && digits[0] == L'#')
        digits.erase(0, 1);
    const wchar_t* begin = digits.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long value = std::wcstoul(begin, &end, 16);
    if (end == begin)
        throw std::invalid_argument("invalid stoul argument");
    if (errno == ERANGE)
        throw std::out_of_range("stoul argument out of range");
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

int RandomInt()
{
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> distribution(1, 10);
    return distribution(generator);
}

unsigned CountCjkCharacters(const std::wstring& text)
{
    unsigned count = 0;
    for (wchar_t c : text) {
        if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF))
            ++count;
    }
    return count;
}

const wchar_t* FindFileNamePart(const wchar_t* path)
{
    if (!path)
        return nullptr;
    const wchar_t* part = path;
    for (const wchar_t* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L'/')
            part = p + 1;
    }
    return part;
}

std::wstring GetPathFileName(const std::wstring& path)
{
    if (path.empty())
        return std::wstring();
    return std::filesystem::path(path).filename().wstring();
}

std::wstring NormalizeStoredPath(const std::wstring& stored)
{
    auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    std::wstring out;
    out.reserve(stored.size());
    size_t i = 0;
    size_t leading = 0;
    while (leading < stored.size() && isSeparator(stored[leading]))
        ++leading;
    if (leading > 0) {
        out = leading >= 2 ? L"\\\\" : L"\\";
        i = leading;
    }
    // Past the "\\?\" prefix a slash is a name character, not a separator.
    const bool verbatim =
        stored.size() > leading + 1 && leading >= 2 && stored[leading] == L'?' && isSeparator(stored[leading + 1]);
    for (; i < stored.size(); ++i) {
        const wchar_t c = stored[i];
        const bool separator = verbatim ? c == L'\\' : isSeparator(c);
        if (!separator) {
            out.push_back(c);
            continue;
        }
        if (out.empty() || out.back() != L'\\')
            out.push_back(L'\\');
    }
    const bool root = out.size() >= 2 && out[out.size() - 2] == L':';
    if (out.size() > 2 && out.back() == L'\\' && !root)
        out.pop_back();
    return out;
}

const wchar_t* TrimLeft(const wchar_t* text)
{
    thread_local std::wstring buffer;
    buffer.clear();
    if (text) {
        while (*text && std::iswspace(*text))
            ++text;
        buffer = text;
    }
    return buffer.c_str();
}

bool EnsureDirectory(const wchar_t* path)
{
    const std::filesystem::path folder(path);
    std::filesystem::create_directories(folder);
    return std::filesystem::is_directory(std::filesystem::status(folder));
}

namespace
{

// The shell's older interface, for systems whose IFileOperation is missing;
// its list holds each path followed by a NUL, and one more NUL ends it.
// FOF_NOCONFIRMATION is left out on purpose: the user must be asked before
// an item that cannot be recycled is deleted for good.
std::vector<RecycleOutcome> RecycleManyWithFileOperationW(const std::vector<std::wstring>& paths, HWND owner)
{
    std::wstring from;
    for (const std::wstring& path : paths) {
        from += path;
        from.push_back(L'\0');
    }
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    // The shell's own questions stand in front of the window that asked.
    op.hwnd = owner;
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_SILENT | FOF_WANTNUKEWARNING;
    const bool succeeded = SHFileOperationW(&op) == 0;
    std::vector<RecycleOutcome> outcomes;
    for (const std::wstring& path : paths)
        outcomes.push_back(RecycleOutcomeOf(succeeded, op.fAnyOperationsAborted != FALSE,
                                            GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES));
    return outcomes;
}

// IFileOperation with every item in one PerformOperations; empty when the
// interface is missing or a stub, so the older one is tried.
std::optional<std::vector<RecycleOutcome>> RecycleManyWithFileOperation(const std::vector<std::wstring>& paths,
                                                                        HWND owner)
{
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE)
        return std::vector<RecycleOutcome>(paths.size(), RecycleOutcome::Refused);
    ComPtr<IFileOperation> operation;
    if (FAILED(CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation))))
        return std::nullopt;
    HRESULT hr = operation->SetOperationFlags(FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_WANTNUKEWARNING);
    if (hr == E_NOTIMPL)
        return std::nullopt;
    if (FAILED(hr))
        return std::vector<RecycleOutcome>(paths.size(), RecycleOutcome::Refused);
    if (owner)
        operation->SetOwnerWindow(owner);
    std::vector<bool> queued(paths.size(), false);
    for (size_t i = 0; i < paths.size(); ++i) {
        ComPtr<IShellItem> item;
        if (SUCCEEDED(SHCreateItemFromParsingName(paths[i].c_str(), nullptr, IID_PPV_ARGS(&item))))
            queued[i] = SUCCEEDED(operation->DeleteItem(item.Get(), nullptr));
    }
    hr = operation->PerformOperations();
    if (hr == E_NOTIMPL)
        return std::nullopt;
    BOOL aborted = FALSE;
    if (FAILED(operation->GetAnyOperationsAborted(&aborted)))
        aborted = FALSE;
    if (hr == HRESULT_FROM_WIN32(ERROR_CANCELLED))
        aborted = TRUE;
    std::vector<RecycleOutcome> outcomes;
    for (size_t i = 0; i < paths.size(); ++i) {
        const bool stillThere = GetFileAttributesW(paths[i].c_str()) != INVALID_FILE_ATTRIBUTES;
        outcomes.push_back(queued[i] ? RecycleOutcomeOf(SUCCEEDED(hr), aborted != FALSE, stillThere)
                                     : RecycleOutcome::Refused);
    }
    return outcomes;
}

} // namespace

std::function<std::vector<RecycleOutcome>(const std::vector<std::wstring>& paths)> s_recycleShell;

namespace
{

// Whether another program holds the file without letting it be deleted:
// no name of it can be removed meanwhile, the bin's move and a witness's
// removal alike.
bool HeldAgainstRemoval(const std::wstring& file)
{
    HANDLE h = CreateFileW(LongPathForm(file).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

// The witness of item at witness: a hard link of a file; a folder of the
// same name holding a witness of each entry of a folder. A link inside
// has no witness (it would be followed or not be proof), nor has a held
// file (it would stay beside the kept copies): none is made. files gets
// every hard link made.
bool MakeWitness(const std::wstring& item, const std::wstring& witness, std::vector<std::wstring>& files)
{
    const DWORD attributes = GetFileAttributesW(LongPathForm(item).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (HeldAgainstRemoval(item) ||
            !CreateHardLinkW(LongPathForm(witness).c_str(), LongPathForm(item).c_str(), nullptr))
            return false;
        files.push_back(witness);
        return true;
    }
    if (!CreateDirectoryW(LongPathForm(witness).c_str(), nullptr))
        return false;
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileExW(LongPathForm(item + L"\\*").c_str(), FindExInfoBasic, &entry,
                                   FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool made = true;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
            !MakeWitness(item + L"\\" + name, witness + L"\\" + name, files)) {
            made = false;
            break;
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return made;
}

// How many names the file behind path has; 0 when it cannot be read.
DWORD NamesOf(const std::wstring& path)
{
    HANDLE file = CreateFileW(LongPathForm(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD names = GetFileInformationByHandle(file, &info) ? info.nNumberOfLinks : 0;
    CloseHandle(file);
    return names;
}

std::vector<RecycleOutcome> RecycleMany(const std::vector<std::wstring>& paths, HWND owner)
{
    if (s_recycleShell)
        return s_recycleShell(paths);
    std::optional<std::vector<RecycleOutcome>> done = RecycleManyWithFileOperation(paths, owner);
    if (!done)
        done = RecycleManyWithFileOperationW(paths, owner);
    return *done;
}

} // namespace

std::vector<WitnessedRecycle> RecycleItemsWitnessed(const std::vector<std::wstring>& paths, HWND owner,
                                                    const RecycleWitnessing& witnessing)
{
    std::vector<WitnessedRecycle> results(paths.size());
    std::vector<std::wstring> witnesses(paths.size());
    std::vector<std::vector<std::wstring>> files(paths.size());
    std::vector<std::wstring> sent;
    std::vector<size_t> at;
    for (size_t i = 0; i < paths.size(); ++i) {
        // The shell would send what a hidden link leads to, not the link.
        if (paths[i].empty() || GetFileAttributesW(paths[i].c_str()) == INVALID_FILE_ATTRIBUTES ||
            !EntryIsItself(paths[i]))
            continue;
        // The shell trims a trailing dot or space: "a." would send "a", a
        // different entry, where one stands beside it.
        if (paths[i].back() == L'.' || paths[i].back() == L' ')
            continue;
        if (witnessing.pathFor) {
            witnesses[i] = witnessing.pathFor(paths[i]);
            if (!MakeWitness(paths[i], witnesses[i], files[i])) {
                if (GetFileAttributesW(witnesses[i].c_str()) != INVALID_FILE_ATTRIBUTES)
                    RemoveItemWithoutFollowingLinks(witnesses[i]);
                witnesses[i].clear();
                files[i].clear();
            }
        }
        if (witnessing.required && witnesses[i].empty())
            continue;
        sent.push_back(paths[i]);
        at.push_back(i);
    }
    if (sent.empty())
        return results;
    // How many names each witnessed file has once every witness stands: a
    // move to the bin keeps their number (the bin's name takes the place
    // of the item's), a delete for good takes names away. Counted, not
    // compared with one: the file may have other names, in the item (two
    // names of one file) or beside it.
    std::vector<std::vector<DWORD>> names(paths.size());
    for (size_t i : at)
        for (const std::wstring& file : files[i])
            names[i].push_back(NamesOf(file));
    const std::vector<RecycleOutcome> done = RecycleMany(sent, owner);
    for (size_t k = 0; k < at.size(); ++k) {
        const size_t i = at[k];
        WitnessedRecycle& result = results[i];
        result.outcome = done[k];
        const bool left = GetFileAttributesW(paths[i].c_str()) == INVALID_FILE_ATTRIBUTES;
        if (witnesses[i].empty())
            continue;
        // A file that lost a name lost it for good, whatever the shell said
        // (one that cannot be read counts so).
        bool lost = false;
        for (size_t j = 0; j < files[i].size() && !lost; ++j) {
            const DWORD now = NamesOf(files[i][j]);
            lost = now == 0 || now < names[i][j];
        }
        if (left) {
            // Every name kept: the bin holds it, even where the shell
            // reported the operation stopped before it was done.
            if (lost)
                result.outcome = RecycleOutcome::Deleted;
            else if (!files[i].empty())
                result.outcome = RecycleOutcome::Recycled;
            else if (witnessing.required)
                // A folder without files proves nothing either way: where
                // the witness is required it counts as not taken by the bin.
                result.outcome = RecycleOutcome::Deleted;
            result.proven = !files[i].empty() && !lost;
        } else {
            // Still there, but some of what it held was deleted for good:
            // only the witness holds all of it.
            result.partly = lost;
        }
        result.proven = result.proven && result.outcome == RecycleOutcome::Recycled;
        if ((result.outcome == RecycleOutcome::Deleted || result.partly) && witnessing.keepDeleted)
            result.witness = witnesses[i];
        else
            RemoveItemWithoutFollowingLinks(witnesses[i]);
    }
    return results;
}

std::vector<RecycleOutcome> RecycleItemsAsking(const std::vector<std::wstring>& paths, HWND owner)
{
    std::vector<RecycleOutcome> outcomes;
    for (const WitnessedRecycle& result : RecycleItemsWitnessed(paths, owner, RecycleWitnessing{}))
        outcomes.push_back(result.outcome);
    return outcomes;
}

RecycleOutcome RecycleOutcomeOf(bool succeeded, bool aborted, bool stillThere)
{
    // A No leaves the item in place; whatever else left it there is a
    // refusal the user must hear of.
    if (aborted && stillThere)
        return RecycleOutcome::Declined;
    return succeeded && !aborted && !stillThere ? RecycleOutcome::Recycled : RecycleOutcome::Refused;
}

bool RecycleItem(const std::wstring& path, HWND owner)
{
    return RecycleItemAsking(path, owner) == RecycleOutcome::Recycled;
}

RecycleOutcome RecycleItemAsking(const std::wstring& path, HWND owner)
{
    return RecycleItemsAsking({path}, owner).front();
}

std::wstring KnownFolderPath(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return L"";
    return path;
}

bool RegisterThemeFolderNotify(HWND window)
{
    std::wstring themes = KnownFolderPath(CSIDL_APPDATA);
    if (themes.empty())
        return false;
    if (themes.back() != L'\\')
        themes += L'\\';
    themes += L"Microsoft\\Windows\\Themes";

    PIDLIST_ABSOLUTE pidl = nullptr;
    if (FAILED(SHParseDisplayName(themes.c_str(), nullptr, &pidl, 0, nullptr)) || !pidl) {
        s_themeFolderNotifyId = 0;
        return false;
    }
    SHChangeNotifyEntry entry{pidl, FALSE};
    s_themeFolderNotifyId =
        SHChangeNotifyRegister(window, SHCNRF_InterruptLevel | SHCNRF_ShellLevel | SHCNRF_NewDelivery, SHCNE_UPDATEITEM,
                               WM_KELM_CAPTURE_DESKTOP, 1, &entry);
    CoTaskMemFree(pidl);
    return s_themeFolderNotifyId != 0;
}

void ToForwardSlashes(wchar_t* buffer)
{
    if (!buffer)
        return;
    size_t i = 0;
    for (; i < 511 && buffer[i]; ++i) {
        if (buffer[i] == L'\\')
            buffer[i] = L'/';
    }
    // Reaching 511 characters means the text (and so the buffer) is longer.
    if (i == 511)
        buffer[511] = L'\0';
}

void GetAppDataShortPath(wchar_t (&buffer)[MAX_PATH])
{
    buffer[0] = L'\0';
    wchar_t longPath[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, longPath)))
        return;
    if (GetShortPathNameW(longPath, buffer, MAX_PATH) == 0)
        lstrcpynW(buffer, longPath, MAX_PATH);
}

void GetAppDataShortPath(char (&buffer)[MAX_PATH])
{
    buffer[0] = '\0';
    char longPath[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, longPath)))
        return;
    if (GetShortPathNameA(longPath, buffer, MAX_PATH) == 0)
        lstrcpynA(buffer, longPath, MAX_PATH);
}
