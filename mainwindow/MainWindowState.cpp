#include "mainwindow/MainWindowState.h"

#include <cwchar>

MainWindowState s_mainWindowState;

bool IsPage(const wchar_t* current, const wchar_t* page)
{
    return current && page && std::wcscmp(current, page) == 0;
}
