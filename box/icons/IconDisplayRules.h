// The pure rules behind what an icon shows: its label and how it is
// shortened, its size text, the thumbnail's scale, the text-file preview
// and the hit rectangle. No window and no disk apart from ReadTextPreview.
#pragma once

#include <cstdint>
#include <string>

// The shown name: the file-name part of the alias, or of the path when the
// alias is "bvn!NULL". Without alias, mode 2 hides the name and mode 1 the
// extension of a file (not when the only "." leads the name).
std::wstring MakeIconLabel(const std::wstring& alias, const std::wstring& path, bool isDirectory, int hideExtension);
// Grid view: 8 characters below edge 64, 12 below 80, else 18, then "...".
std::wstring ShortenGridLabel(const std::wstring& label, int edge);
// List view: n = (viewWidth - x - edge - 95) / 8, at least 5; a longer
// label keeps its first n/2 and last n - n/2 characters around "...".
std::wstring ShortenListLabel(const std::wstring& label, float viewWidth, float x, int edge);

// "1023 B", "1 KB", "1.00 MB", "1.00 GB".
std::wstring FormatIconSizeText(uint64_t bytes);

// Pixel size of a thumbnail that fits maxEdge x maxEdge, at least 1 x 1;
// false for an empty frame.
bool ThumbnailPixelSize(uint32_t frameWidth, uint32_t frameHeight, double maxEdge, uint32_t& width, uint32_t& height);
// The scale that fits a bitmap of that size into a square; 0 for an empty
// bitmap.
float FitScale(float square, float bitmapWidth, float bitmapHeight);

// Bytes read for a preview: enough for the 18 characters shown, also when
// the file starts with white space.
constexpr size_t kTextPreviewBytes = 4096;
// Length of the longest prefix that does not end inside a UTF-8 sequence.
size_t CompleteUtf8Length(const std::string& bytes);
// The preview of a text's first bytes: UTF-8 decoded (an incomplete tail
// dropped), line breaks as spaces, a leading BOM removed, and more than 18
// characters cut to 18 and "...".
std::wstring TextPreviewFromBytes(const std::string& bytes);
// Reads at most kTextPreviewBytes of the file; empty when it cannot be read.
std::wstring ReadTextPreview(const std::wstring& path);

// Hit rectangle of an icon cell (grid cell w x h, or a list row of the
// view's width) with the spacing margins and the room a CJK label needs.
struct IconHitRect {
    int x;
    int y;
    int w;
    int h;
};
struct IconCellInput {
    int x = 0;
    int y = 0;
    int w = 48;
    int h = 48;
    bool listView = false;
    int spacingMode = 0;
    float viewWidth = 0.0f; // client width / DPI factor
    const std::wstring* path = nullptr;
};
IconHitRect ComputeIconHitRect(const IconCellInput& input);
// Spacing margins of a cell (horizontal, vertical) for a spacing mode.
void IconSpacingMargins(bool listView, int spacingMode, int& horizontal, int& vertical);
