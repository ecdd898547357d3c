// The pure rules behind a box's paint: scrolling and the pull-down search,
// content height, the title tag's size, the fold glyph, the file tooltip's
// texts, the rubber band's icon cells and the render style's choices. No
// window, no store: the paint (BoxContent) applies them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace BoxPaintRules
{

// Content scrolling of one paint. d is the wheel amount (positive scrolls
// the content up).
struct ScrollState {
    int scrollOffset = 0;
    int searchScrollOffset = 0;
};
void ApplyWheel(ScrollState& state, int d, bool searchOpen, bool searchEditEmpty);
// A pull-down past this opens the search row.
constexpr int kSearchOpenPull = -45;
// Offset of the content while the search row is open.
constexpr int kSearchRowOffset = -50;
// Pushing the content above this while searching closes the row.
constexpr int kSearchClosePush = -10;

// Ctrl + wheel: a turn away from the user (negative amount) grows icons.
int IconLevelAfterWheel(int level, int amount);

// Content height of records whose target y lie in [lowest, highest];
// 0 without records.
int ContentHeight(int recordCount, float lowestY, float highestY, int iconEdge);
int ClampScrollOffset(int offset, int overflow);

// A plain word w is searched as "*w*"; a pattern with "*" or "?" as it is.
std::wstring SearchPattern(const std::wstring& text);

// Width estimate of a title: 12 per character below U+0080, 16 per other
// character, at least 50.
int TitleWidthEstimate(const std::wstring& title);
// The tag text: the title and the box's mode as a tip in angle brackets.
std::wstring GroupTagText(const std::wstring& title, bool useTargetFolder);
// Title inset by title style (0 on a box lower than 45 DIPs).
int TitleInset(int titleType, float viewHeight);

// The glyph name of the fold button.
const wchar_t* FoldGlyphName(bool hoverMinimized, bool minimized, bool upwardExpand);

// "0 B", "512 B", "1023 KB", "1.00 MB", "2.50 GB"; folders "文件夹".
std::wstring FileSizeText(uint64_t bytes, bool isFolder);
// wcsftime formats of the tooltip's date (LOCALE_ILDATE) and time
// (LOCALE_ITIME) values.
const wchar_t* DateFormatFor(const std::wstring& longDateOrder);
const wchar_t* TimeFormatFor(const std::wstring& timeFormat);

// The icon cell that the rubber band tests, DIPs.
struct Cell {
    float x, y, w, h;
};
Cell IconCell(float x, float y, int edge, bool listView, int spacingMode, float viewWidth, bool isTextFile,
              size_t labelLength);
bool Meets(const Cell& cell, float left, float top, float right, float bottom);

// Where a left press may start a rubber band: the content left of the
// 16 DIP scroll strip, below the title band (above it when the box grows
// upwards); a box without title band (locked, not searching) offers all of
// its height.
Cell BandStartArea(float viewWidth, float viewHeight, bool upwardExpand, bool titleShown);
inline bool Contains(const Cell& c, float x, float y)
{
    return x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h;
}

// The four hint lines of an empty box show unless it is minimized.
inline bool ShowsEmptyHints(bool hasRecords, bool minimized)
{
    return !hasRecords && !minimized;
}

// What the title face of one paint draws.
enum class TitleShape { None, Band, Panel, FlatBand };
enum class TitleBlur { None, Downsample, Gaussian };
struct TitleFace {
    TitleShape shape = TitleShape::None;
    TitleBlur blur = TitleBlur::None;
    float fill = 0;    // opacity of the band, panel or flat band
    float line = 0;    // opacity of the band's 1 DIP line (type 0)
    bool pill = false; // type 2: corner 20 in the shifted variant colour
};
TitleFace ChooseTitleFace(int titleType, int renderStyle, float titleAlpha, bool locked, bool searching,
                          float viewHeight);

// The blur of render style 2 by the Windows build: the system backdrop
// (acrylic) from build 22523, else the accent policy's blur behind; an
// unknown build takes the accent policy.
enum class BlurBackdrop { SystemBackdrop, AccentPolicy };
BlurBackdrop ChooseBlurBackdrop(std::optional<DWORD> build);

// Opacity of the background fill by render style. Styles 2 and 3 show
// what lies behind only when the window really composes; otherwise the
// fill is opaque so the box is never black or see-through by accident.
float BackgroundAlpha(int renderStyle, float bgAlpha, bool composing);

// The part of the view that takes dropped files (x, y, w, h). With the
// title at the bottom the cancel pill still lies in the top 40 DIPs, so the
// receiver starts below it.
Cell ReceiverRect(float viewWidth, float viewHeight, bool upwardExpand, bool lockedAndNotSearching);

} // namespace BoxPaintRules
