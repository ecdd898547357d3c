// The pure rules of the single-line edit box: whole-character steps over
// UTF-16 text, the selection range, the click-to-index rule and the
// cleaning of pasted text. No window, no DirectWrite: tested with tables.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace EditTextRules
{

// True between two characters: never between the halves of a surrogate pair.
bool IsCharBoundary(const std::wstring& text, int index);
// The boundary one whole character before index (0 stays 0); index is
// clamped to 0..length first.
int PreviousCharBoundary(const std::wstring& text, int index);
// The boundary one whole character after index (the length stays).
int NextCharBoundary(const std::wstring& text, int index);

struct Range {
    int start;
    int count;
};
// The range between anchor and end, limited to the text; count 0 when
// there is no selection.
Range SelectionRange(int anchor, int end, int length);

// The caret index for a click offset (DIPs from the start of the text),
// given the width of the first i units. The nearer boundary wins; exactly
// halfway goes to the later one. Offsets at or before the start give 0,
// beyond the end the length.
int HitTestIndex(const std::wstring& text, float offset, const std::function<float(int)>& prefixWidth);

// Text fit for one line: stops at the first NUL or after maxUnits units,
// and drops line breaks and other control characters (C0, DEL, C1, the
// line and paragraph separators), which have no place in titles and names.
std::wstring CleanSingleLineText(const wchar_t* data, size_t maxUnits);

// A typed character the edit takes: printable, not a control character.
bool IsTypedCharAccepted(wchar_t unit);

} // namespace EditTextRules
