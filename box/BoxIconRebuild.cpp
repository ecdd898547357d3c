#include "box/BoxIconRebuild.h"

#include <functional>
#include <map>
#include <set>

#include "box/BoxWindowHooks.h"
#include "box/icons/IconPersistence.h"

std::vector<BoxWindowPtr> MembersSpokenFor(const KelmIconManager& view)
{
    auto hostView = s_boxIconManagers.find(view.OwnBox());
    if (hostView == s_boxIconManagers.end() || &hostView->second != &view)
        return {};
    return IntegratedGroupMembers(view.OwnBox());
}

void RebuildBoxIcons(const KelmIconManager& source)
{
    std::map<const KelmWindow*, BoxWindowPtr, std::less<const KelmWindow*>> owners;
    for (const IconRecord& record : source.Records()) {
        if (record.owner && record.owner != source.OwnBox())
            owners.emplace(record.owner.get(), record.owner);
    }
    std::set<const KelmWindow*> members;
    for (const BoxWindowPtr& member : MembersSpokenFor(source)) {
        owners.emplace(member.get(), member);
        members.insert(member.get());
    }
    for (const auto& [key, box] : owners) {
        if (!members.count(key) && !ViewHoldsAllRecordsOf(source, box))
            continue;
        KelmIconManager& manager = s_boxIconManagers[box];
        if (&manager == &source)
            continue;
        manager.RemoveAllRecords();
        // Every record is new, so ids of the old ones select nothing.
        if (BoxRuntime* runtime = FindBoxRuntime(box))
            runtime->selection.clear();
        for (const IconRecord& record : source.Records()) {
            // The original path travels along: it is what moves a file back
            // to where it came from.
            if (record.owner == box)
                manager.AddRecordForPath(record.path, 0.0f, 0.0f, record.alias, false, L"", box, record.originalPath);
        }
        manager.Layout(s_boxWindowHooks.ContentWidth(box));
        for (IconRecord& record : manager.Records()) {
            record.x = record.targetX;
            record.y = record.targetY;
            record.opacity = 1.0f;
            record.appearPending = false;
            record.settled = true;
        }
    }
}
