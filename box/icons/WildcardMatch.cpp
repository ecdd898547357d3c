#include "box/icons/WildcardMatch.h"

#include <cwctype>

namespace
{

// ASCII without the library call: the layout matches every record on every
// paint, and towlower is a DLL call per unit.
inline wchar_t Lower(wchar_t c)
{
    if (c < 0x80)
        return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
    return static_cast<wchar_t>(std::towlower(c));
}

} // namespace

bool WildcardMatchNoCase(std::wstring_view pattern, std::wstring_view text)
{
    // Greedy with backtracking to the last star: linear for the usual
    // patterns and no copies, as the layout runs this for every record on
    // every paint.
    size_t p = 0;
    size_t t = 0;
    size_t star = std::wstring_view::npos;
    size_t mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || Lower(pattern[p]) == Lower(text[t]))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            star = p;
            mark = t;
            ++p;
        } else if (star != std::wstring_view::npos) {
            ++mark;
            t = mark;
            p = star + 1;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}
