// The pure rules of bringing files into a box: where the new records go
// among the existing ones, which destination each item gets in the box's
// folder (same-name answers, numbered copies, names already planned by the
// same job), and which sources are refused. No window and no disk: the
// disk is asked through the functions given.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace DropPlan
{

struct Point {
    float x = 0.0f;
    float y = 0.0f;
};

struct Placement {
    int insertIndex = 0;
    // Index of the nearest record, whose owner the new records take; -1
    // when the view holds none (the box itself is the owner).
    int nearest = -1;
};

// The nearest record by straight-line distance (the first of equal ones);
// the new records go after it when the point is not left of its centre.
Placement PlaceAmong(const std::vector<Point>& recordPositions, float iconEdge, Point drop);

// "a.txt" -> "a (n).txt"; a name that begins with its only dot has no
// extension.
std::wstring NumberedName(const std::wstring& name, int n);

// Whether candidate is the folder itself or one of its ancestors (compared
// without case, either kind of separator, trailing separators and the
// store's doubled backslashes ignored).
bool IsSameOrAncestor(const std::wstring& candidate, const std::wstring& folder);

struct Disk {
    std::function<bool(const std::wstring&)> exists;
    // Both paths name one file or folder (a box's own file dropped back).
    std::function<bool(const std::wstring&, const std::wstring&)> sameItem;
};

struct Item {
    // Index into the source list (the insert index follows it).
    int sourceIndex = 0;
    std::wstring source;
    std::wstring destination;
    // The destination exists and the answer was to replace it.
    bool replace = false;
};

struct Plan {
    std::vector<Item> items;
    // -1 never asked, 0 numbered copy, 1 overwrite.
    int choice = -1;
    bool cancelled = false;
    // Sources left out because the answer was to replace them by
    // themselves, which would destroy them.
    std::vector<std::wstring> refused;
    // Sources left out because nothing was at them (gone since they were
    // chosen), for the user to hear of.
    std::vector<std::wstring> missing;
};

// What becomes of a source that already is its destination (one of the
// box's own files brought in again).
enum class OwnItem {
    // A drop: the file already is where it was dropped; it is left out.
    LeaveOut,
    // A paste: asked like any taken name; a copy takes a numbered name,
    // replacing the file by itself is refused.
    Ask,
};

// Marks each source that is an item an earlier source already names (one
// file dropped through two spellings, as two drive letters for one
// folder): brought in once, the second would find nothing left. Only
// sources of one name are compared, through sameItem.
std::vector<bool> LaterSpellings(const std::vector<std::wstring>& sources,
                                 const std::function<bool(const std::wstring&, const std::wstring&)>& sameItem);

// Plans the sources into folder (as stored: doubled backslashes are
// collapsed, and the destinations are in that one form). ask runs at the first destination that
// exists and returns 0, 1 or -1 (cancel: the plan is empty and cancelled).
// Missing sources (named in missing), roots of drives and shares, and the
// folder itself and its ancestors are left out;
// items that are already the destination as own says. A later spelling
// of an item already planned is left out (LaterSpellings). Two sources of
// one name never share a destination: the later one gets a numbered name.
Plan PlanInto(const std::vector<std::wstring>& sources, const std::wstring& folder, const Disk& disk,
              const std::function<int()>& ask, OwnItem own = OwnItem::LeaveOut);

} // namespace DropPlan
