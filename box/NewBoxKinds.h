// What the three hosts of the "新建组件" chooser (quick panel, magnet window,
// component library) share: the kinds of box in their order with their
// texts, the default folder of a normal box and the folder choice of a
// target box. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/core/KelmOption.h"

namespace TessikDesktopContainer
{

// One callback per kind: mapping, normal, target box.
struct NewBoxActions {
    std::function<void()> mapping;
    std::function<void()> normal;
    std::function<void()> target;
};

// The chooser's three rows with their second texts; the component library
// words the mapping box's text its own way.
std::vector<Brevin::KelmOption> NewBoxKinds(const NewBoxActions& actions, bool libraryWording);
// The same three as plain menu entries.
std::vector<Brevin::KelmOption> NewBoxMenuEntries(const NewBoxActions& actions);

// "containerDir" in the form to open (the store doubles its backslashes);
// empty when not set.
std::wstring DefaultBoxFolder();

// The folder picker over owner (the folder of a target box, the default
// folder of new boxes). The chosen folder when it is still a
// folder, trailing backslashes gone but a root's own kept ("D:" alone
// would mean drive D's current folder); empty for a cancelled choice, the
// root "计算机", a path gone since or a file.
std::wstring ChooseExistingFolder(HWND owner);

} // namespace TessikDesktopContainer
