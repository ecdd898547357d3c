// Short names of icon-font characters ("win-close", "test-pin" ...).
#pragma once

#include <string>

// The icon-font character of a glyph name; any other text comes back
// unchanged, so callers may pass a literal character.
std::wstring GetGlyph(const std::wstring& name);
