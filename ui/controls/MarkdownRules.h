// The pure rules of the multi-line edit box: lines, word jumps, the
// clipboard's line breaks and the formatting of its preview. No window,
// no DirectWrite: tested with tables.
#pragma once

#include <string>
#include <vector>

namespace MarkdownRules
{

// The start of the line holding index (just after the previous LF).
int LineStart(const std::wstring& text, int index);
// The end of the line holding index (its LF or the text end).
int LineEnd(const std::wstring& text, int index);
// Forward: over non-spaces, then spaces up to a line break. Backward:
// over the spaces before index, then non-spaces.
int WordBoundary(const std::wstring& text, int index, int direction);

// The same column of the line above (-1) or below (+1), cut to that
// line's length; the first line stays for Up, the last for Down.
int MoveByColumn(const std::wstring& text, int index, int direction);

// Every LF as CR LF, every CR of the text left out.
std::wstring ToClipboardText(const std::wstring& text);
// CR LF and a lone CR become LF.
std::wstring FromClipboardText(const std::wstring& text);

enum class Style { Size, Bold, Italic, Underline, Strike, Code };

struct Format {
    int start;
    int length;
    Style style;
    float size = 0; // Style::Size only: the font size of the range
};

struct Range {
    int start;
    int length;
};

struct Preview {
    std::vector<Format> formats; // in the order they are to be applied
    std::vector<Range> quotes;   // lines with a bar at their left
    std::vector<Range> rules;    // lines drawn as a horizontal line
};

// Size of the shrunk marker characters: out of sight, still in the text.
constexpr float kMarkerSize = 0.1f;

// The preview of text at the font size: headings ("#" to "######"),
// horizontal rules, block quotes, and per line "~~", "__", "**", "*" and
// "`" spans whose markers shrink to kMarkerSize.
Preview FormatPreview(const std::wstring& text, float fontSize);

} // namespace MarkdownRules
