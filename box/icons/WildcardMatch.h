// Case-insensitive wildcard match of a whole text: "*" any run, "?" one
// unit. The box search, the quick panel search and the layout's "*.txt"
// rule use it.
#pragma once

#include <string>

bool WildcardMatchNoCase(const std::wstring& pattern, const std::wstring& text);
