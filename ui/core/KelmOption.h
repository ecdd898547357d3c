// One entry of a menu, choose-one popup, colour palette menu or selection
// card; recursive through its submenu.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace Brevin
{

class KelmOption
{
public:
    // The common form: a clickable entry (state 1), a heading (0) or an
    // alternative entry (2).
    KelmOption(std::wstring text, std::function<void()> onClick, int state);
    // A submenu entry.
    KelmOption(std::wstring text, std::vector<KelmOption> children);
    KelmOption(std::wstring text, std::wstring secondText, std::function<void()> onClick);

    std::wstring text; // may hold icon markup
    std::wstring secondText;
    std::function<void()> onClick;
    std::function<void(int)> secondCallback; // toggle entries: gets the new state
    // Hover entries: gets the pointer's client point (pixels) on every move.
    std::function<void(int x, int y)> thirdCallback;
    std::vector<KelmOption> sideList; // shown side by side within the row
    std::vector<KelmOption> children; // the submenu
    int state = 1;
    int extra = 0;
};

} // namespace Brevin
