#include "ui/controls/KelmFileSelector.h"

#include <shlobj.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "ui/core/BrevinPanel.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/HitTest.h"
#include "ui/core/ThemeColors.h"

namespace
{

constexpr COLORREF kSelectedFill = 0xFB7952;
constexpr int kListTop = 40;    // DIPs from the browser's top to the first row
constexpr int kListMargin = 50; // DIPs of the browser's height that hold no rows
constexpr int kHoverSteps = 10; // a row's hover runs over this many paints
constexpr float kIconSize = 20.0f;
constexpr wchar_t kIconFamily[] = L"Font Awesome 6 Free Solid";
constexpr wchar_t kTextFamily[] = L"Segoe UI";
constexpr wchar_t kGlyphByName[] = L"\uF15D";
constexpr wchar_t kGlyphByTime[] = L"\uF017";
constexpr wchar_t kGlyphUp[] = L"\uF060";

// A known folder as a root row, when the system has it.
void AddKnownFolder(std::vector<FileEntry>& entries, REFKNOWNFOLDERID id, const wchar_t* name)
{
    PWSTR path = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path) {
        FileEntry entry;
        entry.name = name;
        entry.fullPath = path;
        // Every folder path of the browser ends in "\": its listing appends
        // the wildcard straight to it.
        if (!entry.fullPath.empty() && entry.fullPath.back() != L'\\')
            entry.fullPath += L'\\';
        entry.isFolder = true;
        entries.push_back(std::move(entry));
    }
    CoTaskMemFree(path);
}

uint64_t FileTimeValue(const FILETIME& time)
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool HitsRect(const POINT& point, const int rect[4])
{
    return HitTestScaled(&point, rect[0], rect[1], rect[2], rect[3]);
}

} // namespace

void KelmFileSelector::Set(int nx, int ny, int nw, int nh, COLORREF newColour)
{
    x = nx;
    y = ny;
    w = nw;
    h = nh;
    colour = newColour;
    rowHeight = 30;
    if (!initialised) {
        selectedRow = hoverRow = -1;
        firstRow = 0;
        inFolder = false;
        sortMode = 0;
        currentPath.clear();
        BuildRootList();
        AfterListing();
        initialised = true;
    }
}

void KelmFileSelector::SetOnFileSelected(std::function<void(const std::wstring&)> callback)
{
    onFileSelected = std::move(callback);
}

void KelmFileSelector::SetOnPathChanged(std::function<void(const std::wstring&)> callback)
{
    onPathChanged = std::move(callback);
}

int KelmFileSelector::VisibleRows() const
{
    return rowHeight > 0 ? std::max((h - kListMargin) / rowHeight, 0) : 0;
}

int KelmFileSelector::VisibleEnd() const
{
    return std::min(static_cast<int>(entries.size()), firstRow + 1 + VisibleRows());
}

void KelmFileSelector::BuildRootList()
{
    entries.clear();
    wchar_t drives[1024] = {};
    const DWORD length = GetLogicalDriveStringsW(1024, drives);
    if (length > 0 && length < 1024) {
        for (const wchar_t* drive = drives; *drive; drive += wcslen(drive) + 1) {
            FileEntry entry;
            entry.name = drive;
            entry.fullPath = drive;
            entry.isFolder = true;
            entries.push_back(std::move(entry));
        }
    }
    AddKnownFolder(entries, FOLDERID_Desktop, L"桌面");
    AddKnownFolder(entries, FOLDERID_Documents, L"文档");
}

void KelmFileSelector::ListFolder()
{
    entries.clear();
    if (!currentPath.empty()) {
        entries.push_back(FileSelectorRules::UpEntry(currentPath));
        WIN32_FIND_DATAW found{};
        const HANDLE find = FindFirstFileW((currentPath + L"*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                FileEntry entry;
                entry.name = name;
                entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                entry.fullPath = currentPath + name + (entry.isFolder ? L"\\" : L"");
                entry.lastWriteTime = FileTimeValue(found.ftLastWriteTime);
                entries.push_back(std::move(entry));
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
    }
    AfterListing();
}

void KelmFileSelector::AfterListing()
{
    FileSelectorRules::SortEntries(entries, sortMode);
    selectedRow = hoverRow = -1;
    firstRow = 0;
}

void KelmFileSelector::ShowRoot()
{
    inFolder = false;
    currentPath.clear();
    BuildRootList();
    AfterListing();
}

void KelmFileSelector::SetPath(const std::wstring& path)
{
    const auto report = [this] {
        // A copy: the callback may set another path.
        auto changed = onPathChanged;
        if (changed)
            changed(currentPath);
    };
    if (path.empty()) {
        ShowRoot();
        report();
        return;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        report();
        return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        currentPath = path.back() == L'\\' ? path : path + L'\\';
        inFolder = true;
        ListFolder();
        report();
        return;
    }
    const size_t cut = path.find_last_of(L'\\');
    if (cut == std::wstring::npos) {
        report();
        return;
    }
    currentPath = path.substr(0, cut + 1);
    inFolder = true;
    ListFolder();
    const std::wstring name = path.substr(cut + 1);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (_wcsicmp(entries[i].name.c_str(), name.c_str()) != 0)
            continue;
        const int row = static_cast<int>(i);
        selectedRow = row;
        const int visible = VisibleRows();
        if (row < firstRow || row >= firstRow + visible)
            firstRow = std::max(row - visible / 2, 0);
        break;
    }
    report();
}

void KelmFileSelector::SetSortMode(int mode)
{
    if (sortMode == mode)
        return;
    sortMode = mode;
    // The selection follows its row through the new order.
    const std::wstring selected = selectedRow >= 0 && selectedRow < static_cast<int>(entries.size())
                                      ? entries[static_cast<size_t>(selectedRow)].fullPath
                                      : std::wstring();
    FileSelectorRules::SortEntries(entries, sortMode);
    if (selectedRow >= 0) {
        const auto it = std::find_if(entries.begin(), entries.end(),
                                     [&selected](const FileEntry& entry) { return entry.fullPath == selected; });
        selectedRow = it == entries.end() ? -1 : static_cast<int>(it - entries.begin());
    }
}

int KelmFileSelector::RowAt(const POINT& point) const
{
    for (int i = firstRow; i < VisibleEnd(); ++i) {
        if (HitsRect(point, entries[static_cast<size_t>(i)].rect))
            return i;
    }
    return -1;
}

void KelmFileSelector::Click(const POINT& point)
{
    if (HitsRect(point, nameButton)) {
        SetSortMode(0);
        return;
    }
    if (HitsRect(point, timeButton)) {
        SetSortMode(1);
        return;
    }
    const int row = RowAt(point);
    if (row < 0)
        return;
    selectedRow = row;
    // A copy: the listing below replaces the rows.
    const FileEntry entry = entries[static_cast<size_t>(row)];
    if (inFolder && !entry.isFolder) {
        auto selected = onFileSelected;
        if (selected)
            selected(entry.fullPath);
        return;
    }
    // The way back to the drive list is the up row without a path; a real
    // folder that happens to be named "计算机" is opened like any other.
    if (inFolder && entry.upEntry && entry.fullPath.empty()) {
        ShowRoot();
        return;
    }
    inFolder = true;
    currentPath = entry.fullPath;
    ListFolder();
}

int KelmFileSelector::AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event)
{
    if (!active)
        return 0;
    const POINT at{point.x, point.y};
    switch (event) {
    case Brevin::KELM_LBUTTON_UP:
        pressed = false;
        Click(at);
        InvalidateWindow(window);
        hovered = false;
        hoverRow = -1;
        break;
    case Brevin::KELM_LBUTTON_DOWN:
        pressed = true;
        InvalidateWindow(window);
        hovered = false;
        hoverRow = -1;
        break;
    case Brevin::KELM_MOUSE_MOVE:
        hovered = true;
        hoverRow = RowAt(at);
        InvalidateWindow(window);
        break;
    default:
        hovered = false;
        hoverRow = -1;
        break;
    }
    return 0;
}

void KelmFileSelector::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmFileSelector>)
{
    window = hwnd;
    CreateCtl(hwnd, rt);
}

void KelmFileSelector::CreateCtl(HWND, ID2D1HwndRenderTarget* rt)
{
    if (!active || !rt)
        return;
    const int count = static_cast<int>(entries.size());
    const int scroll = panel ? panel->TakeScroll() : 0;
    firstRow = FileSelectorRules::ScrolledFirstRow(firstRow, scroll, count, VisibleRows());

    const COLORREF shade = ThemeShade30.Ref(), text = ThemeTextColor.Ref();
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    DrawRoundRect(rt, fx, fy, fw, fh, colour, 8.0f, 1.0f, 1.0f, shade);

    const COLORREF raised = ContrastShiftColor(colour, 20);
    DrawRoundRect(rt, fx + 5, fy + 5, fw - 85, 30, raised, 6.0f, 1.0f, 1.5f, shade);
    const bool atRoot = !inFolder || currentPath.empty();
    DrawPathText(rt, atRoot ? FileSelectorRules::kComputer : currentPath.c_str());

    const int buttonTop = y + 5;
    const int nameRect[4] = {x + w - 70, buttonTop, 30, 30};
    const int timeRect[4] = {x + w - 35, buttonTop, 30, 30};
    std::copy(std::begin(nameRect), std::end(nameRect), nameButton);
    std::copy(std::begin(timeRect), std::end(timeRect), timeButton);
    const struct {
        const int* rect;
        int mode;
        const wchar_t* glyph;
    } sortButtons[] = {{nameButton, 0, kGlyphByName}, {timeButton, 1, kGlyphByTime}};
    for (const auto& button : sortButtons) {
        const COLORREF fill = sortMode == button.mode ? ThemeBaseColor.Ref() : raised;
        const float bx = static_cast<float>(button.rect[0]);
        DrawRoundRect(rt, bx, fy + 5, 30, 30, fill, 4.0f, 1.0f, 1.0f, shade);
        DrawTextInRectInt(rt, bx + 8, fy + 12, 30, 30, button.glyph, 14.0f, text, kIconFamily, 1.0f);
    }

    DrawRows(rt);
    DrawScrollBar(rt);
}

void KelmFileSelector::DrawPathText(ID2D1HwndRenderTarget* rt, const wchar_t* path) const
{
    // One line, cut at the bar's end: a long path has no spaces to wrap at
    // and would otherwise break after "C:" and spill over the rows.
    IDWriteTextFormat* format = GetTextFormat(kTextFamily, 14.0f, 400, false);
    if (format)
        format->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
    rt->PushAxisAlignedClip(D2D1::RectF(static_cast<float>(x + 5), static_cast<float>(y + 5),
                                        static_cast<float>(x + w - 80), static_cast<float>(y + 35)),
                            D2D1_ANTIALIAS_MODE_ALIASED);
    DrawTextInRect(rt, static_cast<float>(x + 15), static_cast<float>(y + 12), static_cast<float>(w - 105), 20, path,
                   14.0f, ThemeTextColor.Ref(), kTextFamily, 1.0f, false);
    rt->PopAxisAlignedClip();
    // The format is shared with every other text of this size.
    if (format)
        format->SetWordWrapping(DWRITE_WORD_WRAPPING_WRAP);
}

void KelmFileSelector::DrawRows(ID2D1HwndRenderTarget* rt)
{
    const COLORREF text = ThemeTextColor.Ref();
    const int listTop = y + kListTop;
    const int listBottom = y + h - 10;
    // A row keeps its hover only while the pointer is over the browser: the
    // panel stops sending moves once it leaves.
    const int hotRow = hovered ? hoverRow : -1;
    bool stepping = false;
    // A row cut by the list's bottom stays inside the browser's frame.
    rt->PushAxisAlignedClip(
        D2D1::RectF(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + w), static_cast<float>(y + h)),
        D2D1_ANTIALIAS_MODE_ALIASED);
    for (int i = firstRow; i < VisibleEnd(); ++i) {
        FileEntry& entry = entries[static_cast<size_t>(i)];
        const int k = i - firstRow;
        const int ry = listTop + k * rowHeight;
        const int rowRect[4] = {x + 5, ry, w - 30, rowHeight - 2};
        if (ry >= listBottom || ry + rowRect[3] <= listTop) {
            std::fill(std::begin(entry.rect), std::end(entry.rect), 0);
            continue;
        }
        std::copy(std::begin(rowRect), std::end(rowRect), entry.rect);

        const int target = i == hotRow ? kHoverSteps : 0;
        entry.stepping = entry.hoverStep != target ? 1 : 0;
        entry.hoverStep += entry.hoverStep < target ? 1 : entry.hoverStep > target ? -1 : 0;
        stepping = stepping || entry.stepping;

        const double progress = entry.hoverStep / static_cast<double>(kHoverSteps) - 1.0;
        const float f = static_cast<float>(0.5 * (1.0 + progress * progress * progress));
        const float rx = static_cast<float>(rowRect[0]), fry = static_cast<float>(ry);
        const float rw = static_cast<float>(rowRect[2]), rh = static_cast<float>(rowRect[3]);
        if (i == selectedRow) {
            DrawRoundRect(rt, rx + f, fry + f, rw - 2 * f, rh - 2 * f, kSelectedFill, 4.0f, 1.0f);
        } else if (entry.hoverStep > 0 || i == hotRow) {
            const int shift = static_cast<int>(entry.hoverStep / static_cast<double>(kHoverSteps) * 30);
            DrawRoundRect(rt, rx - f, fry - f, rw + 2 * f, rh + 2 * f, ContrastShiftColor(ThemeAccent.Ref(), shift),
                          4.0f, 1.0f);
        }

        std::wstring label = entry.name;
        if (entry.upEntry) {
            DrawTextInRect(rt, static_cast<float>(x + 15), fry + 7, 20, 20, kGlyphUp, 15.0f, text, kIconFamily, 1.0f,
                           false);
            label = FileSelectorRules::UpRowLabel(entry);
        } else {
            DrawShellIcon(rt, entry.fullPath, static_cast<float>(x + 10), fry + 5, kIconSize, 1.0f);
        }
        DrawTextInRect(rt, static_cast<float>(x + 35), fry + 8, static_cast<float>(w - 50),
                       static_cast<float>(rowHeight - 4), label.c_str(), 13.0f, text, kTextFamily, 1.0f, false);
    }
    rt->PopAxisAlignedClip();
    // The hover fades have no timer of their own: each paint is one step.
    if (stepping)
        InvalidateWindow(window);
}

void KelmFileSelector::DrawScrollBar(ID2D1HwndRenderTarget* rt)
{
    const int count = static_cast<int>(entries.size());
    const int track = h - kListMargin;
    if (count * rowHeight <= track)
        return;
    const COLORREF shade = ThemeShade30.Ref();
    const float bx = static_cast<float>(x + w - 15), top = static_cast<float>(y + kListTop);
    DrawRoundRect(rt, bx, top, 10, static_cast<float>(track), ContrastShiftColor(colour, 10), 5.0f, 1.0f, 1.0f, shade);
    const FileSelectorRules::Thumb thumb =
        FileSelectorRules::ScrollThumb(firstRow, count, VisibleRows(), rowHeight, track);
    DrawRoundRect(rt, bx, top + static_cast<float>(thumb.offset), 10, static_cast<float>(thumb.height),
                  ContrastShiftColor(shade, 20), 5.0f, 1.0f, 1.0f, shade);
}
