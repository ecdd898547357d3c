#include "ui/core/GlyphNames.h"

#include <utility>

std::wstring GetGlyph(const std::wstring& name)
{
    static const std::pair<const wchar_t*, wchar_t> kGlyphs[] = {
        {L"test-right", 0xF178},     {L"test-right-upd", 0xF178},   {L"test-right-dld", 0xF178},
        {L"win-close", 0xF00D},      {L"win-max", 0xF065},          {L"win-winmax", 0xF424},
        {L"win-winrestore", 0xF422}, {L"win-min", 0xF068},          {L"win-restore", 0xF066},
        {L"test-complete", 0xF00C},  {L"test-left", 0xF177},        {L"test-more", 0xF141},
        {L"test-more2", 0xF52C},     {L"test-more3", 0xF142},       {L"win-fold", 0xF077},
        {L"win-fold-test", 0xF077},  {L"win-extend-right", 0xF054}, {L"win-extend", 0x2304},
        {L"test-refresh", 0xF0E2},   {L"test-plus", 0xF067},        {L"test-cuteghost", 0xF6E2},
        {L"test-separate", 0xE525},  {L"test-pin", 0xF08D},
    };
    for (const auto& [glyphName, character] : kGlyphs) {
        if (name == glyphName)
            return std::wstring(1, character);
    }
    return name;
}
