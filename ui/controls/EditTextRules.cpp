#include "ui/controls/EditTextRules.h"

#include <algorithm>

namespace EditTextRules
{

namespace
{

bool IsHighSurrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

bool IsControl(wchar_t unit)
{
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || unit == 0x2028 || unit == 0x2029;
}

int Clamp(int index, int length)
{
    return std::clamp(index, 0, length);
}

} // namespace

bool IsCharBoundary(const std::wstring& text, int index)
{
    const int length = static_cast<int>(text.size());
    if (index <= 0 || index >= length)
        return index == 0 || index == length;
    return !(IsHighSurrogate(text[index - 1]) && IsLowSurrogate(text[index]));
}

int PreviousCharBoundary(const std::wstring& text, int index)
{
    index = Clamp(index, static_cast<int>(text.size()));
    if (index == 0)
        return 0;
    --index;
    return IsCharBoundary(text, index) ? index : index - 1;
}

int NextCharBoundary(const std::wstring& text, int index)
{
    const int length = static_cast<int>(text.size());
    index = Clamp(index, length);
    if (index == length)
        return length;
    ++index;
    return IsCharBoundary(text, index) ? index : index + 1;
}

Range SelectionRange(int anchor, int end, int length)
{
    const int start = Clamp(std::min(anchor, end), length);
    const int count = std::min(std::abs(anchor - end), length - start);
    return {start, count};
}

int HitTestIndex(const std::wstring& text, float offset, const std::function<float(int)>& prefixWidth)
{
    if (offset <= 0.0f)
        return 0;
    const int length = static_cast<int>(text.size());
    int previous = 0;
    float previousWidth = 0.0f;
    for (int i = NextCharBoundary(text, 0); i <= length && i > previous; i = NextCharBoundary(text, i)) {
        const float width = prefixWidth(i);
        if (width > offset)
            return (width - offset) > (offset - previousWidth) ? previous : i;
        previous = i;
        previousWidth = width;
    }
    return length;
}

std::wstring CleanSingleLineText(const wchar_t* data, size_t maxUnits)
{
    std::wstring clean;
    if (!data)
        return clean;
    for (size_t i = 0; i < maxUnits && data[i] != L'\0'; ++i) {
        if (!IsControl(data[i]))
            clean.push_back(data[i]);
    }
    return clean;
}

bool IsTypedCharAccepted(wchar_t unit)
{
    return !IsControl(unit);
}

} // namespace EditTextRules
