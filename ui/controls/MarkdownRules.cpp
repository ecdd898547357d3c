#include "ui/controls/MarkdownRules.h"

#include <algorithm>
#include <cwctype>

namespace MarkdownRules
{

int LineStart(const std::wstring& text, int index)
{
    index = std::clamp(index, 0, static_cast<int>(text.size()));
    while (index > 0 && text[index - 1] != L'\n')
        --index;
    return index;
}

int LineEnd(const std::wstring& text, int index)
{
    const int length = static_cast<int>(text.size());
    index = std::clamp(index, 0, length);
    while (index < length && text[index] != L'\n')
        ++index;
    return index;
}

int WordBoundary(const std::wstring& text, int index, int direction)
{
    const int length = static_cast<int>(text.size());
    index = std::clamp(index, 0, length);
    if (direction > 0) {
        while (index < length && !std::iswspace(text[index]))
            ++index;
        while (index < length && std::iswspace(text[index]) && text[index] != L'\n')
            ++index;
    } else {
        while (index > 0 && std::iswspace(text[index - 1]))
            --index;
        while (index > 0 && !std::iswspace(text[index - 1]))
            --index;
    }
    return index;
}

int MoveByColumn(const std::wstring& text, int index, int direction)
{
    index = std::clamp(index, 0, static_cast<int>(text.size()));
    const int start = LineStart(text, index);
    const int column = index - start;
    int target = start;
    if (direction < 0) {
        if (start == 0)
            return index;
        target = LineStart(text, start - 1);
    } else {
        const int end = LineEnd(text, index);
        if (end >= static_cast<int>(text.size()))
            return index;
        target = end + 1;
    }
    return std::min(target + column, LineEnd(text, target));
}

std::wstring ToClipboardText(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size() + text.size() / 8);
    for (wchar_t c : text) {
        if (c == L'\r')
            continue;
        if (c == L'\n')
            out += L'\r';
        out += c;
    }
    return out;
}

std::wstring FromClipboardText(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            out += L'\n';
            if (i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

namespace
{

void Shrink(Preview& preview, int start, int length)
{
    preview.formats.push_back({start, length, Style::Size, kMarkerSize});
}

// Position of `marker` at or after `from` that ends before `end`; -1.
int FindClosing(const std::wstring& text, const std::wstring& marker, int from, int end)
{
    const int m = static_cast<int>(marker.size());
    for (int q = from; q + m <= end; ++q)
        if (text.compare(static_cast<size_t>(q), static_cast<size_t>(m), marker) == 0)
            return q;
    return -1;
}

bool OnlyRuleCharacters(const std::wstring& text, int s, int e)
{
    for (int i = s; i < e; ++i)
        if (text[i] != L'-' && text[i] != L' ' && text[i] != L'\r')
            return false;
    return true;
}

void FormatInline(const std::wstring& text, int s, int e, Preview& preview)
{
    struct Pair {
        const wchar_t* marker;
        Style style;
    };
    static const Pair kPairs[] = {{L"~~", Style::Strike},
                                  {L"__", Style::Underline},
                                  {L"**", Style::Bold},
                                  {L"*", Style::Italic},
                                  {L"`", Style::Code}};
    int p = s;
    while (p < e - 1) {
        bool matched = false;
        for (const Pair& pair : kPairs) {
            const std::wstring marker = pair.marker;
            const int m = static_cast<int>(marker.size());
            if (text.compare(static_cast<size_t>(p), static_cast<size_t>(m), marker) != 0)
                continue;
            const int q = FindClosing(text, marker, p + m, e);
            if (q < 0)
                continue;
            preview.formats.push_back({p, q + m - p, pair.style});
            Shrink(preview, p, m);
            Shrink(preview, q, m);
            p = q + m;
            matched = true;
            break;
        }
        if (!matched)
            ++p;
    }
}

} // namespace

Preview FormatPreview(const std::wstring& text, float fontSize)
{
    Preview preview;
    const int length = static_cast<int>(text.size());
    for (int s = 0; s <= length;) {
        const int e = LineEnd(text, s);
        int hashes = 0;
        while (s + hashes < e && text[s + hashes] == L'#')
            ++hashes;
        if (hashes >= 1 && hashes <= 6) {
            preview.formats.push_back({s, e - s, Style::Size, ((6 - hashes) * 0.2f + 1.0f) * fontSize});
            preview.formats.push_back({s, e - s, Style::Bold});
            const int markers = hashes + ((s + hashes < e && text[s + hashes] == L' ') ? 1 : 0);
            Shrink(preview, s, markers);
        } else if (e - s >= 3 && OnlyRuleCharacters(text, s, e)) {
            Shrink(preview, s, e - s);
            preview.rules.push_back({s, e - s});
        } else if (s < e && text[s] == L'>') {
            preview.formats.push_back({s, e - s, Style::Italic});
            preview.quotes.push_back({s, e - s});
            Shrink(preview, s, (s + 1 < e && text[s + 1] == L' ') ? 2 : 1);
        }
        FormatInline(text, s, e, preview);
        s = e + 1;
    }
    return preview;
}

} // namespace MarkdownRules
