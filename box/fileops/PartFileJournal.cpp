#include "box/fileops/PartFileJournal.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "app/FileRemoval.h"
#include "app/StoreTextFormat.h"
#include "ui/core/TextHelpers.h"

namespace
{

constexpr const wchar_t* kPartSuffix = L".tessik-part";
constexpr const wchar_t* kJournalSuffix = L".tessik-job";
// The token is long enough that no file the user names by chance carries
// one of a journal, and is a random one per job.
constexpr size_t kTokenLength = 12;
constexpr size_t kTagLength = 4;
// A journal that grew beyond this is not one this program wrote.
constexpr LONGLONG kLargestJournal = 16 << 20;

// A part file left by a job that ended: the journal that names it and
// which files of its token its folders still held.
struct Leftover {
    std::wstring journal;
    std::vector<BY_HANDLE_FILE_INFORMATION> files;
};

std::mutex s_mutex;
std::wstring s_folder;
std::set<std::wstring> s_liveTokens;
std::map<std::wstring, Leftover> s_leftovers;

bool IsHex(std::wstring_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); });
}

bool EndsWith(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// A part file of a job that no longer runs: a plain file, itself and not
// a way to another one, that no program holds open, removed through the
// one removal function. True when it is gone.
bool RemovePartFile(const std::wstring& path)
{
    const std::wstring reach = LongPathForm(path);
    const DWORD attributes = GetFileAttributesW(reach.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) || !EntryIsItself(path))
        return false;
    // Opened without any sharing: a file another program still writes or
    // reads cannot be opened, and stays.
    HANDLE h = CreateFileW(reach.c_str(), FILE_READ_ATTRIBUTES | DELETE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return RemoveItemWithoutFollowingLinks(path);
}

// What a journal holds, from its complete lines only: a line cut off by
// the end of its process names nothing.
struct JournalContent {
    std::vector<std::wstring> folders;
    struct Move {
        std::wstring source;
        std::wstring destination;
        bool copied = false;
        bool ended = false;
        // File by file (merge), not a folder copied whole.
        bool merged = false;
    };
    std::vector<Move> moves;
};

JournalContent ParseJournal(const std::string& bytes)
{
    JournalContent content;
    size_t start = 0;
    for (size_t end = bytes.find('\n'); end != std::string::npos; start = end + 1, end = bytes.find('\n', start)) {
        const std::wstring line = Utf8ToWide(bytes.substr(start, end - start));
        const size_t tab = line.find(L'\t');
        if (tab == std::wstring::npos)
            continue;
        const std::wstring kind = line.substr(0, tab), rest = line.substr(tab + 1);
        auto move = [&](const std::wstring& destination) {
            return std::find_if(content.moves.begin(), content.moves.end(),
                                [&](const JournalContent::Move& m) { return m.destination == destination; });
        };
        if (kind == L"folder") {
            content.folders.push_back(rest);
        } else if (kind == L"move" || kind == L"merge") {
            const size_t second = rest.find(L'\t');
            if (second != std::wstring::npos)
                content.moves.push_back({rest.substr(0, second), rest.substr(second + 1), false, false,
                                         kind == L"merge"});
        } else if (kind == L"copied" || kind == L"ended") {
            auto found = move(rest);
            if (found != content.moves.end())
                (kind == L"copied" ? found->copied : found->ended) = true;
        }
    }
    return content;
}

bool ReadAll(HANDLE h, std::string& bytes)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size) || size.QuadPart > kLargestJournal)
        return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return bytes.empty() ||
           (ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size());
}

// Marks an open journal for deletion when its handle closes.
void DisposeOnClose(HANDLE h)
{
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof(disposition));
}

std::wstring CutMoveText(const JournalContent::Move& move)
{
    if (move.merged)
        return L"\n“" + move.source + L"”中的文件只有一部分移到了“" + move.destination +
               L"”，其余仍在原处；中断时正在移动的那个文件可能两处各有一份。";
    if (move.copied)
        return L"\n“" + move.destination + L"”已包含全部内容，原来的“" + move.source + L"”中可能还留有部分内容。";
    return L"\n“" + move.destination + L"”中只有移过去的部分内容，原来的“" + move.source + L"”仍保留全部内容。";
}

} // namespace

PartFileJournal::PartFileJournal(std::wstring folder)
    : folder_(std::move(folder)), token_(RandomHexString(kTokenLength))
{
    std::lock_guard lock(s_mutex);
    s_liveTokens.insert(token_);
}

PartFileJournal::~PartFileJournal()
{
    std::vector<BY_HANDLE_FILE_INFORMATION> left;
    for (const std::wstring& part : stayed_) {
        BY_HANDLE_FILE_INFORMATION facts{};
        if (!RemovePartFile(part) && EntryFacts(part, true, facts))
            left.push_back(facts);
    }
    std::lock_guard lock(s_mutex);
    s_liveTokens.erase(token_);
    if (file_ == INVALID_HANDLE_VALUE)
        return;
    if (left.empty())
        DisposeOnClose(file_);
    else
        s_leftovers[token_] = Leftover{path_, std::move(left)};
    CloseHandle(file_);
}

void PartFileJournal::UseDataFolder(const std::wstring& dataFolder)
{
    std::lock_guard lock(s_mutex);
    s_folder = dataFolder.empty() ? std::wstring() : Join(dataFolder, L"parts");
}

std::wstring PartFileJournal::Folder()
{
    std::lock_guard lock(s_mutex);
    return s_folder;
}

bool PartFileJournal::Write(const std::wstring& line)
{
    if (unrecorded_)
        return false;
    if (file_ == INVALID_HANDLE_VALUE) {
        if (folder_.empty()) {
            unrecorded_ = true;
            return false;
        }
        CreateDirectoryW(LongPathForm(folder_).c_str(), nullptr);
        path_ = Join(folder_, token_ + kJournalSuffix);
        // Held without delete or write sharing while the job runs: a sweep
        // of this or another process cannot open it and leaves it alone.
        file_ = CreateFileW(LongPathForm(path_).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            unrecorded_ = true;
            return false;
        }
    }
    const std::string bytes = WideToUtf8(line + L"\n");
    DWORD written = 0;
    return WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::wstring PartFileJournal::Claim(const std::wstring& destination)
{
    // Named once per folder: a job of many files in one folder writes one
    // line.
    const std::wstring folder = FolderOf(destination);
    if (!unrecorded_ && folders_.insert(folder).second && !Write(L"folder\t" + folder))
        folders_.erase(folder);
    for (;;) {
        std::wstring path = destination + L"." + token_ + L"-" + RandomHexString(kTagLength) + kPartSuffix;
        if (claimed_.insert(path).second)
            return path;
    }
}

void PartFileJournal::Release(const std::wstring& partPath, bool gone)
{
    claimed_.erase(partPath);
    if (!gone)
        stayed_.insert(partPath);
}

void PartFileJournal::FolderMoveStarted(const std::wstring& source, const std::wstring& destination)
{
    Write(L"move\t" + source + L"\t" + destination);
}

void PartFileJournal::FolderMoveCopied(const std::wstring& destination)
{
    Write(L"copied\t" + destination);
}

void PartFileJournal::FolderMoveEnded(const std::wstring& destination)
{
    Write(L"ended\t" + destination);
}

void PartFileJournal::MergeStarted(const std::wstring& source, const std::wstring& destination)
{
    Write(L"merge\t" + source + L"\t" + destination);
}

std::wstring PartFileJournal::TokenOfPartFileName(std::wstring_view name)
{
    // name "." token "-" tag suffix, with a name of at least one character.
    const std::wstring_view suffix = kPartSuffix;
    const size_t tail = 1 + kTokenLength + 1 + kTagLength + suffix.size();
    if (name.size() <= tail || name.substr(name.size() - suffix.size()) != suffix)
        return L"";
    const size_t dot = name.size() - tail;
    if (name[dot] != L'.' || name[dot + 1 + kTokenLength] != L'-' || !IsHex(name.substr(dot + 1, kTokenLength)) ||
        !IsHex(name.substr(dot + 2 + kTokenLength, kTagLength)))
        return L"";
    return std::wstring(name.substr(dot + 1, kTokenLength));
}

std::wstring PartFileJournal::SweepLeftovers(const std::wstring& folder)
{
    std::vector<std::wstring> tokens;
    ForEachFolderEntry(folder, [&](const std::wstring& name, unsigned long attributes) {
        const std::wstring suffix = kJournalSuffix;
        const size_t length = name.size() - std::min(name.size(), suffix.size());
        if (!(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) && EndsWith(name, suffix) &&
            length == kTokenLength && IsHex(std::wstring_view(name).substr(0, kTokenLength)))
            tokens.push_back(name.substr(0, kTokenLength));
        return true;
    });
    std::wstring cutMoves;
    bool fileByFile = false;
    for (const std::wstring& token : tokens) {
        const std::wstring journal = Join(folder, token + kJournalSuffix);
        {
            std::lock_guard lock(s_mutex);
            if (s_liveTokens.count(token) || s_leftovers.count(token))
                continue;
        }
        // A journal its job still holds cannot be opened without sharing;
        // the one opened here is held so while its files are taken.
        HANDLE h = CreateFileW(LongPathForm(journal).c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        std::string bytes;
        if (!EntryIsItself(journal) || !ReadAll(h, bytes)) {
            CloseHandle(h);
            continue;
        }
        const JournalContent content = ParseJournal(bytes);
        std::vector<BY_HANDLE_FILE_INFORMATION> left;
        bool unlisted = false;
        for (const std::wstring& partFolder : content.folders) {
            std::vector<std::wstring> parts;
            const bool listed = ForEachFolderEntry(partFolder, [&](const std::wstring& name, unsigned long attributes) {
                if (!(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
                    TokenOfPartFileName(name) == token)
                    parts.push_back(Join(partFolder, name));
                return true;
            });
            // A folder that is gone holds nothing more; one that cannot be
            // read now (a drive not there) keeps the journal for later.
            if (!listed && GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND)
                unlisted = true;
            for (const std::wstring& part : parts) {
                BY_HANDLE_FILE_INFORMATION facts{};
                if (!RemovePartFile(part) && EntryFacts(part, true, facts))
                    left.push_back(facts);
            }
        }
        for (const JournalContent::Move& move : content.moves)
            if (!move.ended) {
                cutMoves += CutMoveText(move);
                fileByFile = fileByFile || move.merged;
            }
        // Told once: the journal no longer names the move.
        if (left.empty() && !unlisted) {
            DisposeOnClose(h);
        } else {
            std::lock_guard lock(s_mutex);
            s_leftovers[token] = Leftover{journal, std::move(left)};
        }
        CloseHandle(h);
    }
    if (cutMoves.empty())
        return L"";
    // A folder's files moved one by one may have stayed on one volume.
    return std::wstring(fileByFile ? L"Tessik 上次没有正常退出，移动文件夹时被中断："
                                   : L"Tessik 上次没有正常退出，跨磁盘移动文件夹时被中断：") +
           cutMoves +
           L"\n两处的内容都已保留，请检查后删除不需要的部分。";
}

bool PartFileJournal::TakenBySync(const std::wstring& path)
{
    const std::wstring token = TokenOfPartFileName(path.substr(path.find_last_of(L"\\/") + 1));
    if (token.empty())
        return false;
    std::lock_guard lock(s_mutex);
    if (s_liveTokens.count(token))
        return true;
    auto leftover = s_leftovers.find(token);
    if (leftover == s_leftovers.end())
        return false;
    BY_HANDLE_FILE_INFORMATION facts{};
    if (!EntryFacts(path, true, facts))
        return true;
    auto& files = leftover->second.files;
    auto own = std::find_if(files.begin(), files.end(),
                            [&](const BY_HANDLE_FILE_INFORMATION& file) { return SameFileIdentity(file, facts); });
    // A file of that name the job's folders did not hold is not its own.
    if (own == files.end())
        return false;
    if (RemovePartFile(path)) {
        files.erase(own);
        if (files.empty()) {
            RemoveItemWithoutFollowingLinks(leftover->second.journal);
            s_leftovers.erase(leftover);
        }
    }
    return true;
}
