#include "ui/core/TextHelpers.h"

#include <random>

void ReplaceAll(std::wstring& text, std::wstring from, std::wstring to)
{
    // An empty pattern matches everywhere and would never end the scan.
    if (from.empty())
        return;
    size_t pos = 0;
    while (from.size() <= text.size() && pos <= text.size() - from.size()) {
        const size_t match = text.find(from, pos);
        if (match == std::wstring::npos)
            break;
        text.replace(match, from.size(), to);
        pos = match + to.size();
    }
}

std::wstring RandomHexString(int n)
{
    // No string shorter than one character can hold a letter.
    if (n < 1)
        return std::wstring();
    thread_local std::mt19937 generator{std::random_device{}()};
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::uniform_int_distribution<int> distribution(0, 15);
    std::wstring result(static_cast<size_t>(n), L'0');
    for (;;) {
        bool hasLetter = false;
        for (auto& c : result) {
            c = kDigits[distribution(generator)];
            hasLetter = hasLetter || c >= L'a';
        }
        if (hasLetter)
            return result;
    }
}
