#include "ui/controls/FileSelectorRules.h"

#include <algorithm>
#include <cwchar>

namespace FileSelectorRules
{

bool IsDriveRoot(const std::wstring& path)
{
    return path.size() == 3 && path[1] == L':' && path[2] == L'\\';
}

std::wstring ParentPath(const std::wstring& folder)
{
    if (folder.size() <= 3)
        return folder;
    std::wstring trimmed = folder;
    if (trimmed.back() == L'\\')
        trimmed.pop_back();
    const size_t cut = trimmed.find_last_of(L'\\');
    if (cut == std::wstring::npos)
        return L"C:\\";
    return trimmed.substr(0, cut + 1);
}

FileEntry UpEntry(const std::wstring& folder)
{
    FileEntry up;
    up.isFolder = true;
    up.upEntry = true;
    if (IsDriveRoot(folder)) {
        up.name = kComputer;
    } else {
        up.name = L"..";
        up.fullPath = ParentPath(folder);
    }
    return up;
}

std::wstring UpRowLabel(const FileEntry& up)
{
    if (up.fullPath.empty())
        return kComputer;
    if (up.fullPath.size() < 4)
        return L"";
    std::wstring parent = up.fullPath;
    if (parent.back() == L'\\')
        parent.pop_back();
    const size_t cut = parent.find_last_of(L'\\');
    return cut == std::wstring::npos ? parent : parent.substr(cut + 1);
}

namespace
{

int Rank(const FileEntry& entry)
{
    if (entry.upEntry)
        return entry.fullPath.empty() ? 1 : 0;
    return entry.isFolder ? 2 : 3;
}

} // namespace

void SortEntries(std::vector<FileEntry>& entries, int sortMode)
{
    std::stable_sort(entries.begin(), entries.end(), [sortMode](const FileEntry& a, const FileEntry& b) {
        const int ra = Rank(a), rb = Rank(b);
        if (ra != rb)
            return ra < rb;
        if (sortMode == 1 && a.lastWriteTime != b.lastWriteTime)
            return a.lastWriteTime > b.lastWriteTime;
        return _wcsicmp(a.name.c_str(), b.name.c_str()) < 0;
    });
}

int ScrolledFirstRow(int firstRow, int scrollAmount, int count, int visibleRows)
{
    const int moved = std::max(firstRow + scrollAmount / 6, 0);
    return std::min(moved, std::max(count - visibleRows, 0));
}

Thumb ScrollThumb(int firstRow, int count, int visibleRows, int rowHeight, int track)
{
    const int content = count * rowHeight;
    const int height = content > 0 ? std::max(20, track * track / content) : track;
    const int hidden = count - visibleRows;
    const int offset = hidden > 0 ? static_cast<int>(static_cast<double>(firstRow) / hidden * (track - height)) : 0;
    return {offset, height};
}

} // namespace FileSelectorRules
