#include "box/BoxSearchMatches.h"

#include "box/icons/WildcardMatch.h"

namespace TessikDesktopContainer
{

void CollectSearchMatches(const SearchTarget& target, const BoxWindowPtr& box, const std::wstring& header)
{
    auto source = s_boxIconManagers.find(box);
    if (source == s_boxIconManagers.end() || &source->second == &target.manager)
        return;
    bool first = true;
    // Copied: the search manager may share the map with the source.
    const std::vector<IconRecord> records = source->second.Records();
    for (const IconRecord& record : records) {
        if (!WildcardMatchNoCase(target.pattern, IconDisplayName(record.alias, record.path)))
            continue;
        target.manager.AddRecordForPath(record.path, 0.0f, 0.0f, record.alias, false, first ? header : L"", box,
                                        L"bvn!NULL");
        first = false;
    }
}

void RebuildSearchView(const BoxWindowPtr& box, const std::wstring& pattern)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    auto own = s_boxIconManagers.find(box);
    if (!runtime || own == s_boxIconManagers.end())
        return;
    runtime->appliedSearchText = pattern;
    KelmIconManager& view = s_boxSearchManagers[box];
    view.RemoveAllRecords();
    view.SetIconSize(own->second.GetIconSize());
    view.SetOverlayMode(true);
    view.SetOwnBox(box);
    runtime->selection.clear();
    const SearchTarget target{pattern, view};
    CollectSearchMatches(target, box, L"当前组件");
    for (const auto& [other, record] : s_boxRuntimes) {
        if (other == box || !other || record.IsPseudoBox())
            continue;
        CollectSearchMatches(target, other, record.title.empty() ? L"其他组件" : record.title);
    }
}

} // namespace TessikDesktopContainer
