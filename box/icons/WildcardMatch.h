// Case-insensitive wildcard match of a whole text: "*" any run, "?" one
// unit. The box search, the quick panel search and the layout's "*.txt"
// rule use it.
#pragma once

#include <string_view>

bool WildcardMatchNoCase(std::wstring_view pattern, std::wstring_view text);
