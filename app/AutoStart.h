// Autostart: the value "RaDaziRiv" under the user's Run key holds the
// program's quoted path while autostart is on.
#pragma once

#include <string>

// The text written to the Run value: the program path between quotes.
std::wstring AutoStartCommand(const std::wstring& programPath);
// Writes or removes the Run value. Returns false when the registry refused.
bool WriteAutoStartValue(bool enable);
