#include "box/PutBackPlan.h"

#include <windows.h>

#include <cwctype>
#include <filesystem>

#include "app/FileRemoval.h"
#include "app/VolumeRoot.h"

namespace fs = std::filesystem;

namespace PutBack
{

namespace
{

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A folder as the system knows it, to be compared with others: which
// folder it is (its file identity, links followed) when it exists, else
// its full path.
struct KnownFolder {
    bool exists = false;
    BY_HANDLE_FILE_INFORMATION facts{};
    std::wstring comparable;

    explicit KnownFolder(const std::wstring& path) : comparable(ComparablePath(FullPathOf(path)))
    {
        exists = EntryFacts(path, false, facts);
    }
    bool Is(const KnownFolder& other) const
    {
        if (exists != other.exists)
            return false;
        return exists ? SameFileIdentity(facts, other.facts) : comparable == other.comparable;
    }
};

std::vector<KnownFolder> KnownFolders(const std::vector<std::wstring>& folders);

// The folder or one of its parents up to its root is one of folders,
// whether or not the folder below it still stands.
bool LiesInAny(const std::wstring& folder, const std::vector<KnownFolder>& folders)
{
    if (folders.empty())
        return false;
    fs::path p = FullPathOf(folder);
    for (;;) {
        const KnownFolder here(p.wstring());
        for (const KnownFolder& known : folders)
            if (here.Is(known))
                return true;
        const fs::path parent = p.parent_path();
        if (parent.empty() || parent == p)
            return false;
        p = parent;
    }
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// A drive path ("C:\...") or a share ("\\server\..."): the standard
// library of this compiler takes no share for absolute.
bool IsAbsolute(const std::wstring& path)
{
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return true;
    return path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && IsSeparator(path[2]);
}

// The folder part of a path and its last name; a drive keeps its root.
std::wstring FolderPart(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return L"";
    std::wstring folder = path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    return folder;
}

std::wstring NamePart(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsAbsent(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NOT_READY:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
        return true;
    default:
        return false;
    }
}

// A reparse point that leads elsewhere: a symbolic link or a junction (or a
// folder a volume is mounted on), or one whose kind cannot be read. Other
// kinds (a cloud file placeholder, a deduplicated folder) are the folder
// itself, as the user sees it.
bool LeadsElsewhere(const std::wstring& path)
{
    WIN32_FIND_DATAW data{};
    const HANDLE found =
        FindFirstFileExW(LongPathForm(path).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (found == INVALID_HANDLE_VALUE)
        return true;
    FindClose(found);
    const DWORD tag = data.dwReserved0;
    return tag == 0 || tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

std::vector<KnownFolder> KnownFolders(const std::vector<std::wstring>& folders)
{
    std::vector<KnownFolder> known;
    for (const std::wstring& folder : folders)
        if (IsAbsolute(folder))
            known.emplace_back(folder);
    return known;
}

} // namespace

WayCheck CheckTheWay(const std::wstring& folder)
{
    WayCheck way;
    std::wstring level = FullPathOf(folder);
    // A drive or share root is no link; a folder a volume is mounted on
    // is a reparse point and is told as one.
    while (!level.empty() && !IsRootSpelling(level)) {
        // The entry's own attributes: a link to a folder shows its reparse
        // bit here whatever it leads to.
        const DWORD attributes = GetFileAttributesW(LongPathForm(level).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            // Nothing there (or no way to reach it at all, which the move
            // itself will tell): only an entry that stands but will not
            // answer leaves the question open.
            if (!IsAbsent(GetLastError())) {
                way = {level, true};
                return way;
            }
        } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && LeadsElsewhere(level)) {
            way = {level, false};
            return way;
        } else if (const EntryCheck check = CheckEntry(level); check != EntryCheck::Itself) {
            // Wine shows a host link as a plain entry: only the system's
            // name for what the entry opens gives it away.
            way = {level, check == EntryCheck::Unchecked};
            return way;
        }
        const std::wstring parent = FolderPart(level);
        if (parent.empty() || parent.size() >= level.size())
            break;
        level = parent;
    }
    return way;
}

std::wstring WayRefusedText(const WayCheck& way)
{
    if (way.unchecked)
        return L"系统无法确认“" + way.at + L"”不是指向其他位置的链接，文件可能会进到别的文件夹";
    return L"“" + way.at + L"”现在是指向其他位置的链接（符号链接或目录联接），文件会进到它指向的文件夹";
}

Place JudgePlace(const std::wstring& folder, const std::vector<std::wstring>& boxFolders, WayCheck* way)
{
    if (!IsAbsolute(folder))
        return Place::Unknown;
    // A place inside a box's folder is a box's, whether or not the folder
    // below it still stands.
    if (LiesInAny(folder, KnownFolders(boxFolders)))
        return Place::BoxFolder;
    if (!IsFolder(folder))
        return Place::Gone;
    const WayCheck found = CheckTheWay(folder);
    if (way)
        *way = found;
    if (found.at.empty())
        return Place::Seen;
    return found.unchecked ? Place::Unchecked : Place::Linked;
}

HomeFacts HomeFactsOf(const std::wstring& folder, const BoxPlaces& places)
{
    HomeFacts facts;
    if (!IsAbsolute(folder))
        return facts;
    facts.exists = IsFolder(folder);
    facts.inShown = LiesInAny(folder, KnownFolders(places.shown));
    facts.inRoot = facts.inShown || LiesInAny(folder, KnownFolders(places.roots));
    return facts;
}

std::wstring HiddenHomeWhy(const std::wstring& folder, const HomeFacts& facts)
{
    if (!facts.inRoot && !facts.inShown)
        return L"";
    if (!facts.exists)
        return L"文件夹“" + folder + L"”已不存在；它在收纳盒的文件夹中，重新创建后没有收纳盒会显示放在那里的文件";
    if (facts.inShown)
        return L"";
    return L"“" + folder + L"”在收纳盒的文件夹中，但没有收纳盒显示它，放在那里的文件将无处可见";
}

std::wstring HiddenHomeQuestion(const std::wstring& folder, const std::wstring& name, const HomeFacts& facts)
{
    const std::wstring last = L"“" + NamePart(folder) + L"”";
    return (facts.exists ? L"文件夹" + last + L"没有收纳盒显示" : L"原来的文件夹" + last + L"已不存在") +
           L"，放在那里将无处可见。\n要把“" + name + L"”放到桌面吗？";
}

DisbandTarget PlanDisbandTarget(const std::wstring& fileName, const std::wstring& originalPath, Place place,
                                const std::wstring& desktop, const WayCheck& way)
{
    DisbandTarget target;
    const bool known = originalPath != L"bvn!NULL" && IsAbsolute(originalPath);
    if (!known)
        place = Place::Unknown;
    if (place == Place::Seen) {
        target.kind = DisbandTarget::Kind::Original;
        target.path = originalPath;
        return target;
    }
    const std::wstring from = known ? FolderPart(originalPath) : L"";
    // The file stays where the box shows it: the place it came from still
    // stands, only its way is not what the user pointed at.
    if (place == Place::Linked || place == Place::Unchecked) {
        target.why = L"原来的位置是“" + from + L"”，但" + WayRefusedText(way);
        return target;
    }
    switch (place) {
    case Place::Gone:
        target.why = L"原来的文件夹“" + from + L"”已不存在";
        break;
    case Place::BoxFolder:
        target.why = L"原来的位置“" + from + L"”是收纳盒的文件夹或在其中";
        break;
    default:
        target.why = L"没有记录原来的位置";
        break;
    }
    if (desktop.empty() || fileName.empty()) {
        target.why += L"，也找不到桌面文件夹";
        return target;
    }
    target.kind = DisbandTarget::Kind::Desktop;
    target.path = (fs::path(desktop) / fileName).wstring();
    target.why += L"，已放到桌面";
    return target;
}

RestoreFacts RestoreFactsOf(const std::wstring& entered)
{
    RestoreFacts facts;
    facts.isFolder = IsAbsolute(entered) && IsFolder(entered);
    // The destination itself counts: typed as a link to a folder, it is
    // the folder the file would go into.
    if (IsAbsolute(entered))
        facts.way = CheckTheWay(entered);
    return facts;
}

RestoreTarget PlanRestoreTarget(const std::wstring& entered, const std::wstring& fileName, const RestoreFacts& facts)
{
    RestoreTarget target;
    // A relative path would be taken from the program's working folder:
    // the file would land beside the program.
    if (!IsAbsolute(entered)) {
        target.refused = L"“" + entered + L"”不是完整的路径，请输入以盘符（如 C:\\）开头的位置。";
        return target;
    }
    if (!facts.way.at.empty()) {
        target.refused = WayRefusedText(facts.way) + L"，没有移动。";
        return target;
    }
    std::wstring folder = entered;
    bool endsInSeparator = false;
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) {
        folder.pop_back();
        endsInSeparator = true;
    }
    const std::wstring name = NamePart(folder);
    if (facts.isFolder || endsInSeparator || name.empty() || name == L"." || name == L"..") {
        target.folder = folder;
        target.name = fileName;
        return target;
    }
    // The file's own name, in any letter case, is no new name.
    if (CompareStringOrdinal(name.c_str(), -1, fileName.c_str(), -1, TRUE) != CSTR_EQUAL)
        target.refused = TypedNameRefusal(name);
    if (target.refused.empty()) {
        target.folder = FolderPart(folder);
        target.name = name;
    }
    return target;
}

} // namespace PutBack
