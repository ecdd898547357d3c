// The search view of a box: the matching records of every box, this box's
// first. UI thread only.
#pragma once

#include <string>

#include "box/BoxRuntime.h"
#include "box/icons/KelmIconManager.h"

namespace TessikDesktopContainer
{

struct SearchTarget {
    // A wildcard pattern ("*" and "?"), matched without case.
    std::wstring pattern;
    KelmIconManager& manager;
};

// Adds the records of the box whose file name (of the alias when it has
// one, never the folder part) matches; the first match carries header.
void CollectSearchMatches(const SearchTarget& target, const BoxWindowPtr& box, const std::wstring& header);

// Refills the box's search manager for the pattern: this box's matches
// under "当前组件", then each other box's under its title ("其他组件" when
// it has none).
void RebuildSearchView(const BoxWindowPtr& box, const std::wstring& pattern);

} // namespace TessikDesktopContainer
