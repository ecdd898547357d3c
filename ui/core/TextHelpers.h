// Text helpers: replace-all for paths and name templates, and short random
// hexadecimal ids (box ids, folder suffixes, menu class suffixes).
#pragma once

#include <string>

// Replaces every occurrence of from; the scan goes on after the inserted
// text, so a replacement that holds from does not loop. An empty from
// changes nothing.
void ReplaceAll(std::wstring& text, std::wstring from, std::wstring to);

// n characters of 0-9a-f holding at least one letter; empty for n < 1.
std::wstring RandomHexString(int n);
