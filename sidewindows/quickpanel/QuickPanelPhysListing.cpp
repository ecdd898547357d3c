#include "sidewindows/quickpanel/QuickPanelPhysListing.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cwctype>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/Logger.h"
#include "box/BoxRuntime.h"
#include "box/BoxWindowHooks.h"
#include "box/fileops/FileJobMailbox.h"
#include "box/fileops/FileWorkerTracker.h"
#include "box/fileops/PlanLooks.h"
#include "box/icons/FolderSync.h"
#include "box/icons/KelmIcon.h"
#include "box/icons/KelmIconManager.h"
#include "sidewindows/quickpanel/QuickPanelContentModel.h"
#include "sidewindows/quickpanel/QuickPanelPaste.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "ui/core/KelmWindow.h"

namespace TessikQuickPanel
{

namespace
{

// What the UI thread and the listing threads share: the serial of the one
// listing still wanted (any other stops between entries), and how many
// folders listings hold open.
struct ListingGate {
    std::mutex mutex;
    std::condition_variable released;
    std::atomic<uint64_t> wanted{0};
    int open = 0;
};

ListingGate& Gate()
{
    static ListingGate gate;
    return gate;
}

// What a listing was asked for, compared on the UI thread when it lands.
struct Asked {
    uint64_t serial = 0;
    std::wstring id;
    std::wstring folder;
    std::weak_ptr<KelmWindow> section;
    size_t fingerprint = 0;
    // The main list's files whose facts are read as well.
    std::vector<std::wstring> mappedPaths;
};

// The listing thread's answer. When the folder could not be listed, the
// facts of the records' files as they were asked (the records stay).
struct Answer {
    bool listed = false;
    FolderListing listing;
    std::vector<IconFileFacts> facts;
    std::vector<IconFileFacts> mappedFacts;
};

// UI thread: the serial of the last ask; a landing listing of another is
// dropped.
uint64_t s_asked = 0;
bool s_onItsWay = false;
// The selection whose mapped entries still wait for their facts.
std::wstring s_mappedFactsFor;
// A listing that landed under a drag is asked again a little later.
UINT_PTR s_askAgainTimer = 0;
constexpr UINT kAskAgainAfter = 300;

std::wstring HiddenFolderOf(const std::wstring& id)
{
    for (const HiddenBoxRecord& record : s_hiddenBoxes)
        if (record.id == id)
            return record.TargetFolder == L"bvn!NULL" ? record.TargetFolder : NormalizeStoredPath(record.TargetFolder);
    return L"";
}

bool SectionStillShows(const Asked& asked)
{
    const BoxRuntime* panel = FindBoxRuntime(s_quickPanelWindow);
    return panel && !panel->searchActive && s_quickPanelDummy && asked.section.lock() == s_quickPanelDummy &&
           FindBoxRuntime(s_quickPanelDummy) && s_selectedIsHidden && s_selectedComponentId == asked.id &&
           HiddenFolderOf(asked.id) == asked.folder;
}

// The section in step with its folder, as the folder sync brings a box:
// records keep their order and place, the listing is consumed.
void Reconcile(KelmIconManager& section, const BoxWindowPtr& owner, FolderListing& listing)
{
    std::vector<IconRecord>& records = section.Records();
    size_t kept = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        IconRecord& record = records[i];
        auto entry = listing.find(ListingKeyOf(record.path));
        // Gone from disk, or a second record of the same file.
        if (entry == listing.end())
            continue;
        if (record.path != entry->second.path) {
            record.path = entry->second.path;
            record.sortName = IconSortName(record.alias, record.path);
        }
        record.lastWriteTime = entry->second.lastWriteTime;
        record.isDirectory = entry->second.isDirectory;
        record.owner = owner;
        listing.erase(entry);
        if (kept != i)
            records[kept] = std::move(record);
        ++kept;
    }
    records.resize(kept);
    records.reserve(kept + listing.size());
    for (auto& [key, entry] : listing) {
        IconRecord record = section.MakeRecord(entry.path, 0.0f, 0.0f, L"bvn!NULL", false, L"", owner, L"bvn!NULL");
        record.lastWriteTime = entry.lastWriteTime;
        record.isDirectory = entry.isDirectory;
        records.push_back(std::move(record));
    }
    section.Renumber();
}

void RepaintPanel()
{
    for (const BoxWindowPtr& window : {s_quickPanelWindow, s_quickPanelContentWindow})
        if (window && IsWindow(window->GetHwnd()))
            InvalidateRect(window->GetHwnd(), nullptr, FALSE);
}

void CALLBACK AskAgain(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    s_askAgainTimer = 0;
    // A timer procedure lets nothing out.
    try {
        ListPhysicalSectionSoon();
    } catch (...) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"The physical section could not be listed again.");
    }
}

// The main list's records take the facts of their files, by path: the
// list may have changed since they were asked for.
void TakeMappedFacts(const Asked& asked, const Answer& answer)
{
    auto main = s_boxIconManagers.find(s_quickPanelWindow);
    if (main == s_boxIconManagers.end())
        return;
    std::unordered_map<std::wstring_view, const IconFileFacts*> byPath;
    byPath.reserve(asked.mappedPaths.size());
    for (size_t i = 0; i < asked.mappedPaths.size(); ++i)
        byPath.emplace(asked.mappedPaths[i], &answer.mappedFacts[i]);
    for (IconRecord& record : main->second.Records()) {
        auto found = byPath.find(record.path);
        if (found == byPath.end())
            continue;
        record.lastWriteTime = found->second->lastWriteTime;
        record.isDirectory = found->second->isDirectory;
    }
    ++s_iconFileFactsGeneration;
    RepaintPanel();
}

// UI thread: a listing back from its thread.
void Land(const Asked& asked, Answer& answer)
{
    if (asked.serial != s_asked)
        return;
    s_onItsWay = false;
    if (!SectionStillShows(asked))
        return;
    if (!asked.mappedPaths.empty() && answer.mappedFacts.size() == asked.mappedPaths.size() &&
        s_mappedFactsFor == asked.id) {
        TakeMappedFacts(asked, answer);
        s_mappedFactsFor.clear();
    }
    KelmIconManager& section = s_boxIconManagers[s_quickPanelDummy];
    // Records must not change under a running drag; records that changed
    // meanwhile (a drop's batch) may be newer than the listing. A running
    // drop or paste asks again at its end.
    const bool dragging = s_boxWindowHooks.DragInProgress();
    if (dragging || RecordsFingerprint(section) != asked.fingerprint) {
        if (HiddenBoxJobRuns())
            return;
        if (!dragging)
            ListPhysicalSectionSoon();
        else if (!s_askAgainTimer)
            s_askAgainTimer = SetTimer(nullptr, 0, kAskAgainAfter, AskAgain);
        return;
    }
    // Icons read their sizes again after their folder was read.
    ++s_iconFileFactsGeneration;
    if (answer.listed) {
        Reconcile(section, s_quickPanelDummy, answer.listing);
    } else {
        std::vector<IconRecord>& records = section.Records();
        for (size_t i = 0; i < records.size() && i < answer.facts.size(); ++i) {
            records[i].lastWriteTime = answer.facts[i].lastWriteTime;
            records[i].isDirectory = answer.facts[i].isDirectory;
        }
    }
    bool first = true;
    for (IconRecord& record : section.Records()) {
        record.sectionText = first ? L"物理区" : L"";
        first = false;
    }
    RepaintPanel();
    // The entries are written as the paint would write them, but in a
    // message of their own: ten thousand new ones in the store and the
    // paint of as many records would hold the window twice as long.
    FileJobMailbox::Post([] {
        if (!s_physicalSectionActive)
            SaveHiddenBoxEntries(false);
    });
}

// Listing thread: the reading of serial through the gate, while it is the
// one wanted (the folder's removal waits until no reading holds it open);
// stopped tells the reading when it is no longer wanted or the program
// quits. False, nothing read, when another was asked for meanwhile.
bool ReadThroughGate(uint64_t serial, const std::function<void(const std::function<bool()>& stopped)>& read)
{
    ListingGate& gate = Gate();
    {
        std::lock_guard lock(gate.mutex);
        if (gate.wanted.load() != serial)
            return false;
        ++gate.open;
    }
    read(
        [&gate, serial] { return gate.wanted.load() != serial || FileWorkerTracker::GetInstance().CancelRequested(); });
    {
        std::lock_guard lock(gate.mutex);
        --gate.open;
    }
    gate.released.notify_all();
    return true;
}

// Listing thread: never throws.
Answer ListFolder(uint64_t serial, const std::wstring& folder, const std::vector<std::wstring>& paths,
                  const std::vector<std::wstring>& mappedPaths)
{
    Answer answer;
    ReadThroughGate(serial, [&](const std::function<bool()>& stopped) {
        try {
            const DWORD attributes =
                folder == L"bvn!NULL" ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(folder.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                answer.listed = ListFolderEntriesUntil(folder, answer.listing, stopped);
            if (!answer.listed) {
                answer.listing.clear();
                for (const std::wstring& path : paths) {
                    if (stopped())
                        break;
                    answer.facts.push_back(ReadIconFileFacts(path));
                }
            }
            answer.mappedFacts.reserve(mappedPaths.size());
            for (const std::wstring& path : mappedPaths) {
                if (stopped())
                    break;
                answer.mappedFacts.push_back(ReadIconFileFacts(path));
            }
        } catch (...) {
            answer = Answer{};
        }
    });
    return answer;
}

} // namespace

void ListPhysicalSectionSoon(bool mappedFacts)
{
    if (!s_selectedIsHidden || s_selectedComponentId.empty() || !s_quickPanelDummy)
        return;
    if (mappedFacts)
        s_mappedFactsFor = s_selectedComponentId;
    auto section = s_boxIconManagers.find(s_quickPanelDummy);
    if (section == s_boxIconManagers.end())
        return;
    auto asked = std::make_shared<Asked>();
    asked->serial = ++s_asked;
    asked->id = s_selectedComponentId;
    asked->folder = HiddenFolderOf(asked->id);
    asked->section = s_quickPanelDummy;
    asked->fingerprint = RecordsFingerprint(section->second);
    std::vector<std::wstring> paths;
    paths.reserve(section->second.Records().size());
    for (const IconRecord& record : std::as_const(section->second).Records())
        paths.push_back(record.path);
    auto main = s_boxIconManagers.find(s_quickPanelWindow);
    if (s_mappedFactsFor == asked->id && main != s_boxIconManagers.end()) {
        asked->mappedPaths.reserve(std::as_const(main->second).Records().size());
        for (const IconRecord& record : std::as_const(main->second).Records())
            asked->mappedPaths.push_back(record.path);
    }
    Gate().wanted = asked->serial;
    s_onItsWay = true;
    RunOffUiThread([asked, paths = std::move(paths)]() -> std::function<void()> {
        auto answer = std::make_shared<Answer>(ListFolder(asked->serial, asked->folder, paths, asked->mappedPaths));
        return [asked, answer] { Land(*asked, *answer); };
    });
}

void ListHiddenFolderSoon(HiddenFolderWork work)
{
    const uint64_t serial = ++s_asked;
    s_onItsWay = false;
    Gate().wanted = serial;
    RunOffUiThread([serial, work = std::move(work)]() -> std::function<void()> {
        std::function<void()> then;
        ReadThroughGate(serial, [&](const std::function<bool()>& stopped) {
            try {
                then = work(stopped);
            } catch (...) {
                then = nullptr;
            }
        });
        return [serial, then = std::move(then)] {
            if (serial == s_asked && then)
                then();
        };
    });
}

bool PhysicalListingOnItsWay()
{
    return s_onItsWay;
}

void DropPhysicalListing()
{
    ++s_asked;
    s_onItsWay = false;
    Gate().wanted = 0;
}

void LetGoOfPhysicalFolder()
{
    DropPhysicalListing();
    ListingGate& gate = Gate();
    std::unique_lock lock(gate.mutex);
    gate.released.wait(lock, [&gate] { return gate.open == 0; });
}

} // namespace TessikQuickPanel
