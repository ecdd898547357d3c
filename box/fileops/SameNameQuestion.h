// The same-name question of a paste or drop into a box folder: "创建副本"
// (0), "直接覆盖" (1) or cancel (-1). UI thread only; modal.
#pragma once

#include <windows.h>

int AskSameNameQuestion(HWND owner);
