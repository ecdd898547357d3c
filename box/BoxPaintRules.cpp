#include "box/BoxPaintRules.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace BoxPaintRules
{

void ApplyWheel(ScrollState& s, int d, bool searchOpen, bool searchEditEmpty)
{
    if (!searchOpen) {
        if (s.scrollOffset < 0) {
            s.scrollOffset += d;
        } else if (d < 0) {
            // A small pull at the top starts the pull-down; a big one from
            // further down stops at the top.
            if (s.scrollOffset >= 0 && s.scrollOffset <= 5 && std::abs(d) < 45)
                s.scrollOffset += d;
            else
                s.scrollOffset = std::max(0, s.scrollOffset + d);
        } else {
            s.scrollOffset += d;
        }
        return;
    }
    s.searchScrollOffset = std::max(0, s.searchScrollOffset + d);
    if (searchEditEmpty) {
        s.scrollOffset += d;
        s.searchScrollOffset = 0;
    }
}

int IconLevelAfterWheel(int level, int amount)
{
    if (amount > 0)
        return std::max(1, level - 1);
    if (amount < 0)
        return std::min(7, level + 1);
    return level;
}

int ContentHeight(int recordCount, float lowestY, float highestY, int iconEdge)
{
    if (recordCount <= 0)
        return 0;
    return static_cast<int>(iconEdge + (highestY - lowestY) + 120);
}

int ClampScrollOffset(int offset, int overflow)
{
    return std::clamp(offset, -60, std::max(-60, overflow));
}

std::wstring SearchPattern(const std::wstring& text)
{
    if (text.find_first_of(L"*?") != std::wstring::npos)
        return text;
    return L"*" + text + L"*";
}

int TitleWidthEstimate(const std::wstring& title)
{
    int width = 0;
    for (wchar_t c : title)
        width += c < 0x80 ? 12 : 16;
    return std::max(50, width);
}

std::wstring GroupTagText(const std::wstring& title, bool useTargetFolder)
{
    if (useTargetFolder)
        return title + L"<同步模式:\n实时与收纳盒所在目录同步。\n文件操作将直接作用于文件（夹）。>";
    return title + L"<映射模式:\n仅在收纳盒建立虚拟镜像，\n类似快捷方式。>";
}

int TitleInset(int titleType, float viewHeight)
{
    if (viewHeight < 45)
        return 0;
    return titleType == 1 ? 8 : titleType == 2 ? 10 : 0;
}

const wchar_t* FoldGlyphName(bool hoverMinimized, bool minimized, bool upwardExpand)
{
    if (hoverMinimized)
        return L"win-extend";
    if (!upwardExpand)
        return minimized ? L"win-extend" : L"win-fold-test";
    return minimized ? L"win-fold" : L"win-extend";
}

std::wstring FileSizeText(uint64_t bytes, bool isFolder)
{
    if (isFolder)
        return L"文件夹";
    wchar_t text[64];
    if (bytes < 1024)
        swprintf(text, 64, L"%llu B", static_cast<unsigned long long>(bytes));
    else if (bytes < 1024ull * 1024)
        swprintf(text, 64, L"%llu KB", static_cast<unsigned long long>(bytes / 1024));
    else if (bytes < 1024ull * 1024 * 1024)
        swprintf(text, 64, L"%.2f MB", bytes / (1024.0 * 1024.0));
    else
        swprintf(text, 64, L"%.2f GB", bytes / (1024.0 * 1024.0 * 1024.0));
    return text;
}

const wchar_t* DateFormatFor(const std::wstring& order)
{
    if (order == L"0")
        return L"%m/%d/%Y ";
    if (order == L"1")
        return L"%d/%m/%Y ";
    return L"%Y/%m/%d ";
}

const wchar_t* TimeFormatFor(const std::wstring& format)
{
    return format == L"0" ? L"%I:%M %p" : L"%H:%M";
}

Cell IconCell(float x, float y, int edge, bool listView, int spacingMode, float viewWidth, bool isTextFile,
              size_t labelLength)
{
    Cell cell{x, y, static_cast<float>(edge), static_cast<float>(edge)};
    if (listView) {
        cell.w = viewWidth - 20 - x;
        cell.h = 30;
        cell.h += spacingMode == 1 ? 6 : spacingMode == 2 ? 14 : 0;
        return cell;
    }
    if (isTextFile)
        cell.w = 2.0f * edge + 12;
    if (spacingMode == 1) {
        cell.w += 8;
        cell.h += 10;
    } else if (spacingMode == 2) {
        cell.w += 18;
        cell.h += 22;
    } else if (labelLength > 4) {
        cell.h += 11;
    }
    return cell;
}

bool Meets(const Cell& c, float left, float top, float right, float bottom)
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    return c.x <= right && c.x + c.w >= left && c.y <= bottom && c.y + c.h >= top;
}

Cell BandStartArea(float viewWidth, float viewHeight, bool upwardExpand, bool titleShown)
{
    const float band = titleShown ? 40.0f : 0.0f;
    const float top = upwardExpand ? 0.0f : band;
    return {0, top, std::max(0.0f, viewWidth - 16), std::max(0.0f, viewHeight - band)};
}

TitleFace ChooseTitleFace(int titleType, int style, float titleAlpha, bool locked, bool searching, float viewHeight)
{
    const float a = style == 0 ? 0.5f : titleAlpha;
    const float b = style == 0 ? 1.0f : titleAlpha;
    const bool softBlur = style == 2 && a > 0.01f && a < 0.99f;
    TitleFace face;
    if (titleType != 1 && titleType != 2) {
        if (locked && !searching)
            return face;
        face.shape = TitleShape::Band;
        face.line = b;
        face.fill = 1.0f;
        if (style == 1 && !searching) {
            face.blur = TitleBlur::Downsample;
            face.fill = a;
        } else if ((style == 2 || style == 3) && !searching) {
            face.blur = softBlur ? TitleBlur::Gaussian : TitleBlur::None;
            face.fill = a;
        }
        return face;
    }
    face.fill = a;
    if (viewHeight < 45) {
        face.shape = TitleShape::FlatBand;
        return face;
    }
    face.shape = TitleShape::Panel;
    face.blur = softBlur ? TitleBlur::Gaussian : TitleBlur::None;
    face.pill = titleType == 2;
    return face;
}

BlurBackdrop ChooseBlurBackdrop(std::optional<DWORD> build)
{
    return build && *build >= 22523 ? BlurBackdrop::SystemBackdrop : BlurBackdrop::AccentPolicy;
}

float BackgroundAlpha(int renderStyle, float bgAlpha, bool composing)
{
    if (renderStyle < 1 || renderStyle > 3)
        return 1.0f; // 0, or a style this version does not know
    if ((renderStyle == 2 || renderStyle == 3) && !composing)
        return 1.0f;
    return std::clamp(bgAlpha, 0.0f, 1.0f);
}

Cell ReceiverRect(float viewWidth, float viewHeight, bool upwardExpand, bool lockedAndNotSearching)
{
    float top = lockedAndNotSearching ? 0.0f : 40.0f;
    if (upwardExpand)
        top = 40.0f;
    return {0, top, viewWidth - 8, std::max(0.0f, viewHeight - top)};
}

} // namespace BoxPaintRules
