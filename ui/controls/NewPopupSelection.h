// The choose-one popup: a heading, a message, a card with the current
// option (click it for the list of all options, or turn the wheel over the
// popup to step through them), OK and cancel. Used for same-name conflicts
// and confirmations. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ui/core/KelmOption.h"

// 1 after OK; 0 after cancel, at every call, and for a call refused
// because a choose-one popup was already open.
extern int32_t s_selectionOk;
// The option on the card; the chosen option after OK.
extern int32_t s_selectionIndex;
// Filled by the caller before each call: options whose value is 1 or more
// show a red OK (a destructive choice). Emptied when the popup closes.
extern std::map<int, int> s_selectionRedOk;
extern std::vector<Brevin::KelmOption> s_selectionOptions;
extern std::wstring s_selectionMessage;
extern std::wstring s_selectionHeading;

namespace NewPopupSelection
{

// Shows the popup centred on the owner (or on the cursor's monitor) and
// returns when it has closed; the chosen option's onClick has run by then.
// `reserved` is not read. An empty options list gets one inert "无选项".
void Create(HWND owner, const wchar_t* message, const wchar_t* heading, std::vector<Brevin::KelmOption> options,
            const wchar_t* reserved, const wchar_t* cancelLabel);

// The index one wheel step moves to: a positive scroll value (wheel turned
// toward the user) goes back, a negative one forward, wrapping both ways.
int StepIndex(int index, int count, int scroll);

// The OK fill for the option on the card.
COLORREF OkFill(int index);

} // namespace NewPopupSelection
