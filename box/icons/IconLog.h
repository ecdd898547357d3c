// Error lines of the icon code, module "DesktopContainer", written to the
// program's log (and the standard error stream, for tests and consoles).
#pragma once

#include <iostream>
#include <string>

#include "app/Logger.h"

inline void LogIconError(const std::wstring& text)
{
    std::wcerr << L"Error: [DesktopContainer] " << text << std::endl;
    Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", text);
}
