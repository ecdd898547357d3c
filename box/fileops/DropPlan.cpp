#include "box/fileops/DropPlan.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <map>
#include <set>

#include "app/CommonHelpers.h"
#include "app/VolumeRoot.h"

namespace DropPlan
{

namespace
{

// Paths compared without case, in the one form of stored folders (a box's
// folder may still hold the store's doubled backslashes).
std::wstring Normalized(const std::wstring& path)
{
    std::wstring out = NormalizeStoredPath(path);
    for (wchar_t& c : out)
        c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

std::wstring FileNameOf(const std::wstring& path)
{
    std::wstring trimmed = path;
    while (trimmed.size() > 1 && (trimmed.back() == L'\\' || trimmed.back() == L'/'))
        trimmed.pop_back();
    const size_t slash = trimmed.find_last_of(L"\\/");
    return slash == std::wstring::npos ? trimmed : trimmed.substr(slash + 1);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        return folder + name;
    return folder + L"\\" + name;
}

} // namespace

Placement PlaceAmong(const std::vector<Point>& recordPositions, float iconEdge, Point drop)
{
    Placement placement;
    float best = 100000.0f;
    for (size_t i = 0; i < recordPositions.size(); ++i) {
        const float dx = recordPositions[i].x - drop.x, dy = recordPositions[i].y - drop.y;
        const float distance = std::sqrt(dx * dx + dy * dy);
        if (distance < best) {
            best = distance;
            placement.nearest = static_cast<int>(i);
        }
    }
    if (placement.nearest < 0) {
        placement.insertIndex = recordPositions.empty() ? 0 : static_cast<int>(recordPositions.size());
        return placement;
    }
    const Point& closest = recordPositions[placement.nearest];
    placement.insertIndex = placement.nearest + (drop.x < closest.x + iconEdge / 2.0f ? 0 : 1);
    return placement;
}

std::wstring NumberedName(const std::wstring& name, int n)
{
    const size_t dot = name.find_last_of(L'.');
    const bool hasExtension = dot != std::wstring::npos && dot != 0;
    const std::wstring stem = hasExtension ? name.substr(0, dot) : name;
    const std::wstring extension = hasExtension ? name.substr(dot) : L"";
    return stem + L" (" + std::to_wstring(n) + L")" + extension;
}

bool IsSameOrAncestor(const std::wstring& candidate, const std::wstring& folder)
{
    const std::wstring a = Normalized(candidate), f = Normalized(folder);
    if (a.empty() || f.size() < a.size())
        return false;
    if (f.compare(0, a.size(), a) != 0)
        return false;
    return f.size() == a.size() || f[a.size()] == L'\\' || a.back() == L'\\';
}

std::vector<bool> LaterSpellings(const std::vector<std::wstring>& sources,
                                 const std::function<bool(const std::wstring&, const std::wstring&)>& sameItem)
{
    std::vector<bool> later(sources.size(), false);
    if (!sameItem)
        return later;
    // One item under two spellings has one name (a link of another name
    // is an item of its own).
    std::map<std::wstring, std::vector<size_t>> byName;
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::wstring name = Normalized(FileNameOf(sources[i]));
        if (name.empty())
            continue;
        std::vector<size_t>& earlier = byName[name];
        later[i] =
            std::any_of(earlier.begin(), earlier.end(), [&](size_t e) { return sameItem(sources[e], sources[i]); });
        if (!later[i])
            earlier.push_back(i);
    }
    return later;
}

Plan PlanInto(const std::vector<std::wstring>& sources, const std::wstring& storedFolder, const Disk& disk,
              const std::function<int()>& ask, OwnItem own)
{
    const std::wstring folder = NormalizeStoredPath(storedFolder);
    Plan plan;
    const std::vector<bool> again = LaterSpellings(sources, disk.sameItem);
    // Destinations this job will create, so that two sources of one name
    // are never planned onto one file (the second move would replace the
    // first for good).
    std::set<std::wstring> planned;
    auto taken = [&](const std::wstring& path) { return planned.count(Normalized(path)) > 0 || disk.exists(path); };

    for (size_t i = 0; i < sources.size(); ++i) {
        const std::wstring& source = sources[i];
        // A drive's root has no name to go under, and a whole drive is never
        // one item to bring in.
        if (source.empty() || IsRootSpelling(source) || IsSameOrAncestor(source, folder) || again[i])
            continue;
        if (!disk.exists(source)) {
            plan.missing.push_back(source);
            continue;
        }
        const std::wstring name = FileNameOf(source);
        std::wstring destination = Join(folder, name);
        bool replace = false;
        if (planned.count(Normalized(destination))) {
            // Another item of this drop already goes there: never replace it.
            for (int n = 1; taken(destination); ++n)
                destination = Join(folder, NumberedName(name, n));
        } else if (disk.exists(destination)) {
            const bool itself = disk.sameItem && disk.sameItem(source, destination);
            if (itself && own == OwnItem::LeaveOut)
                continue;
            if (plan.choice < 0) {
                plan.choice = ask ? ask() : -1;
                if (plan.choice != 0 && plan.choice != 1) {
                    plan.items.clear();
                    plan.cancelled = true;
                    plan.choice = -1;
                    return plan;
                }
            }
            if (plan.choice == 1 && itself) {
                plan.refused.push_back(source);
                continue;
            }
            if (plan.choice == 1) {
                replace = true;
            } else {
                for (int n = 1; taken(destination); ++n)
                    destination = Join(folder, NumberedName(name, n));
            }
        }
        planned.insert(Normalized(destination));
        plan.items.push_back(Item{static_cast<int>(i), source, destination, replace});
    }
    return plan;
}

} // namespace DropPlan
