#include "box/PutBackPlan.h"

#include <windows.h>

#include <cwctype>
#include <filesystem>

#include "app/FileRemoval.h"

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

} // namespace

Place JudgePlace(const std::wstring& folder, const std::vector<std::wstring>& boxFolders)
{
    if (!IsAbsolute(folder))
        return Place::Unknown;
    std::vector<KnownFolder> boxes;
    for (const std::wstring& box : boxFolders)
        if (IsAbsolute(box))
            boxes.emplace_back(box);
    // The folder and every parent up to its root: one of them that is a
    // box's folder makes the place a box's, whether or not the folder
    // below it still stands.
    fs::path p = FullPathOf(folder);
    for (;;) {
        const KnownFolder here(p.wstring());
        for (const KnownFolder& box : boxes)
            if (here.Is(box))
                return Place::BoxFolder;
        const fs::path parent = p.parent_path();
        if (parent.empty() || parent == p)
            break;
        p = parent;
    }
    return IsFolder(folder) ? Place::Seen : Place::Gone;
}

DisbandTarget PlanDisbandTarget(const std::wstring& fileName, const std::wstring& originalPath, Place place,
                                const std::wstring& desktop)
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
    target.folder = FolderPart(folder);
    target.name = name;
    return target;
}

} // namespace PutBack
