// Error lines of the icon code, module "DesktopContainer". They go to the
// standard error stream until the program's logger is wired in here.
#pragma once

#include <iostream>
#include <string>

inline void LogIconError(const std::wstring& text)
{
    std::wcerr << L"Error: [DesktopContainer] " << text << std::endl;
}
