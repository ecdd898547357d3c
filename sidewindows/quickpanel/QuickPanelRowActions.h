// What a sidebar row's menu does to its component: rename, colour tag and
// delete, for desktop boxes and hidden boxes alike. The prompting actions
// ask the user and then call the Apply/Remove functions, which change the
// records, save the stores (a failed save is logged and told to the user)
// and rebuild the list. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/core/KelmOption.h"

namespace TessikQuickPanel
{

class QPListItem;

void RenameComponent(std::shared_ptr<QPListItem> row);
void SetComponentColorTag(std::shared_ptr<QPListItem> row);
void DeleteComponent(std::shared_ptr<QPListItem> row);
// The choose-one popup of a folder component's delete: runs the chosen
// option's callback and tells whether one was chosen (false: cancelled).
// Tests replace it.
extern std::function<bool(HWND owner, std::vector<Brevin::KelmOption> options)> s_deleteComponentChoice;

// What happens to a deleted component's folder.
enum class FolderChoice { Recycle, Keep, Remove };

void ApplyComponentTitle(const std::wstring& id, bool hidden, const std::wstring& title);
void ApplyComponentColour(const std::wstring& id, bool hidden, COLORREF colour);
// False when the folder stays (it may not go, could not be removed, or no
// job could start): the component is kept then, and the user is told. A
// folder sent to the Recycle Bin goes off the UI thread: true then means
// on its way, and the component goes once the folder has left its place
// (where the bin does not take it, it stays and the user is told).
bool RemoveDesktopComponent(const std::wstring& id, FolderChoice choice);
bool RemoveHiddenComponent(const std::wstring& id, FolderChoice choice);

} // namespace TessikQuickPanel
