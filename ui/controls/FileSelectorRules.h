// The pure rules of the file selector: its row record, the ranking of rows,
// the way up from a folder and the scroll geometry. Tested without a
// window or a disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One row of the file selector.
struct FileEntry {
    std::wstring name;     // shown
    std::wstring fullPath; // a folder's ends in "\"; empty for the row back to the drive list
    bool isFolder = false;
    bool upEntry = false;       // the first row, leading one level up
    int rect[4] = {0, 0, 0, 0}; // x, y, w, h in DIPs, written when drawn
    int hoverStep = 0;          // 0 at rest .. 10 fully hovered, one step per paint
    int stepping = 0;           // 1 while hoverStep moves
    uint64_t lastWriteTime = 0; // FILETIME as one number
};

namespace FileSelectorRules
{

// The name of the root level and of the row that leads back to it.
inline constexpr wchar_t kComputer[] = L"计算机";

// "C:\" and the like: three characters, ':' second, '\' third.
bool IsDriveRoot(const std::wstring& path);

// The folder above `folder` (which ends in "\"), ending in "\": a path of
// three characters or fewer is its own parent, one without another "\"
// has "C:\".
std::wstring ParentPath(const std::wstring& folder);

// The up row of a listed folder: "计算机" with an empty path in a drive
// root, else ".." leading to the parent.
FileEntry UpEntry(const std::wstring& folder);

// What the up row shows: "计算机" for the way to the drive list; for ".."
// the parent folder's own name, empty when the parent is a drive root.
std::wstring UpRowLabel(const FileEntry& up);

// Stable ranking: the ".." row, the "计算机" row, folders, files; within a
// rank by last write time (newest first) when sortMode is 1, else (and
// for equal times) by name, case-insensitive.
void SortEntries(std::vector<FileEntry>& entries, int sortMode);

// The first visible row after scrolling by `scrollAmount` (the panel's
// wheel amount, 18 a notch), kept within what the rows allow.
int ScrolledFirstRow(int firstRow, int scrollAmount, int count, int visibleRows);

// The scroll bar's thumb: offset below the track's top and height, in DIPs,
// for a track of `track` DIPs.
struct Thumb {
    int offset;
    int height;
};
Thumb ScrollThumb(int firstRow, int count, int visibleRows, int rowHeight, int track);

} // namespace FileSelectorRules
