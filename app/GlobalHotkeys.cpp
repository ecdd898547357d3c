#include "app/GlobalHotkeys.h"

void RegisterQuickPanelHotKey(HWND, const std::wstring&) {}

void RegisterVisibilityHotKey(HWND, const std::wstring&) {}
