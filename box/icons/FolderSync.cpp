#include "box/icons/FolderSync.h"

#include "box/fileops/FileJobMailbox.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileWorkerTracker.h"
#include "box/fileops/PartFileJournal.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cwctype>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/StoreTextFormat.h"
#include "box/BoxWindowHooks.h"
#include "box/icons/IconLog.h"
#include "box/icons/FolderWatch.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIcon.h"
#include "box/icons/LoneWorker.h"

namespace
{

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring AbsoluteFolderPrefix(const std::wstring& folder)
{
    std::wstring absolute(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(folder.c_str(), static_cast<DWORD>(absolute.size()), absolute.data(), nullptr);
    if (length >= absolute.size()) {
        absolute.resize(length);
        length = GetFullPathNameW(folder.c_str(), static_cast<DWORD>(absolute.size()), absolute.data(), nullptr);
    }
    absolute.resize(length && length < absolute.size() ? length : 0);
    if (absolute.empty())
        absolute = folder;
    std::replace(absolute.begin(), absolute.end(), L'/', L'\\');
    if (absolute.back() != L'\\')
        absolute += L'\\';
    return absolute;
}

// Lists the folder without descending; false when it cannot be listed or
// stop answered true (asked between entries). Any thread.
bool ListFolderUntil(const std::wstring& folder, FolderListing& listing, const std::function<bool()>& stop)
{
    const std::wstring prefix = AbsoluteFolderPrefix(folder);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((prefix + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    bool ok = true;
    for (;;) {
        const wchar_t* name = data.cFileName;
        const bool dots = name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
        // A part file this program records is no item of the box; one whose
        // job ended goes. Any other file is shown, whatever its name.
        const bool part =
            !dots && !PartFileJournal::TokenOfPartFileName(name).empty() && PartFileJournal::TakenBySync(prefix + name);
        if (!dots && !part) {
            FolderEntry entry;
            entry.path = prefix + name;
            entry.lastWriteTime =
                static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                     data.ftLastWriteTime.dwLowDateTime);
            entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            std::wstring key(name);
            for (wchar_t& c : key)
                c = static_cast<wchar_t>(std::towlower(c));
            listing.emplace(std::move(key), std::move(entry));
        }
        if (stop && stop()) {
            ok = false;
            break;
        }
        if (!FindNextFileW(find, &data)) {
            ok = GetLastError() == ERROR_NO_MORE_FILES;
            break;
        }
    }
    FindClose(find);
    return ok;
}

// Brings the view's records of one owner in step with its folder's
// listing; the listing is consumed. Records keep their old ids until the
// caller renumbers, so the box's selection can follow them.
bool ReconcileOwner(KelmIconManager& view, const BoxWindowPtr& owner, FolderListing& listing)
{
    std::vector<IconRecord>& records = view.Records();
    bool changed = false;
    size_t kept = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        IconRecord& record = records[i];
        if (view.EffectiveOwner(record) == owner) {
            auto entry = listing.find(ListingKeyOf(record.path));
            if (entry == listing.end()) {
                // Gone from disk, or a second record of the same file.
                changed = true;
                continue;
            }
            if (record.path != entry->second.path) {
                record.path = entry->second.path;
                record.sortName = IconSortName(record.alias, record.path);
                changed = true;
            }
            listing.erase(entry);
        }
        if (kept != i)
            records[kept] = std::move(record);
        ++kept;
    }
    records.resize(kept);
    if (listing.empty())
        return changed;

    const bool foreign = owner != view.OwnBox();
    size_t insertAt = records.size();
    bool holdsOwner = false;
    for (size_t i = records.size(); i-- > 0;) {
        if (view.EffectiveOwner(records[i]) == owner) {
            insertAt = i + 1;
            holdsOwner = true;
            break;
        }
    }
    // Until the view holds a record of the owner, new records are appended
    // under the duplicate rule of the add operation; after that they follow
    // the owner's last record without it.
    std::unordered_set<std::wstring> existingPaths;
    const bool checkDuplicates = !holdsOwner && view.ChecksDuplicatesFor(owner);
    if (checkDuplicates) {
        for (const IconRecord& record : records)
            existingPaths.insert(record.path);
    }
    std::wstring title;
    if (const BoxRuntime* runtime = FindBoxRuntime(owner))
        title = runtime->title;

    std::vector<IconRecord> added;
    for (auto& [key, entry] : listing) {
        if (!holdsOwner && checkDuplicates && existingPaths.count(entry.path))
            continue;
        IconRecord record = view.MakeRecord(entry.path, 0.0f, 0.0f, L"bvn!NULL", foreign,
                                            foreign && !holdsOwner ? title : std::wstring(), owner, L"bvn!NULL");
        record.lastWriteTime = entry.lastWriteTime;
        record.isDirectory = entry.isDirectory;
        added.push_back(std::move(record));
        holdsOwner = true;
    }
    if (!added.empty()) {
        records.insert(records.begin() + static_cast<std::ptrdiff_t>(insertAt), std::make_move_iterator(added.begin()),
                       std::make_move_iterator(added.end()));
        changed = true;
    }
    return changed;
}

using OwnerFolders = std::vector<std::pair<BoxWindowPtr, std::wstring>>;

// The folders a sync of the view lists: the own box's, then those of the
// other folder-backed boxes whose records the view shows, in a fixed order.
OwnerFolders FoldersOfView(KelmIconManager& view, const std::wstring& folder)
{
    const BoxWindowPtr& own = view.OwnBox();
    OwnerFolders folders;
    if (folder != L"bvn!NULL" && !folder.empty() && IsFolder(folder))
        folders.emplace_back(own, folder);
    for (const IconRecord& record : view.Records()) {
        if (!record.owner || record.owner == own)
            continue;
        const bool known =
            std::any_of(folders.begin(), folders.end(), [&](const auto& item) { return item.first == record.owner; });
        if (known)
            continue;
        const BoxRuntime* runtime = FindBoxRuntime(record.owner);
        if (runtime && runtime->UseTargetFolder && runtime->TargetFolder != L"bvn!NULL" &&
            IsFolder(runtime->TargetFolder))
            folders.emplace_back(record.owner, runtime->TargetFolder);
    }
    std::sort(folders.begin(), folders.end(),
              [](const auto& a, const auto& b) { return std::less<KelmWindow*>()(a.first.get(), b.first.get()); });
    return folders;
}

std::vector<std::function<void(const BoxWindowPtr&)>>& RefreshListeners()
{
    static std::vector<std::function<void(const BoxWindowPtr&)>> listeners;
    return listeners;
}

// False when the view was not brought in step: a drag or a file job runs,
// or a folder could not be listed.
bool SyncOrThrow(KelmIconManager& view, const std::wstring& folder, bool noRepaint)
{
    // Records must not change under a running drag.
    if (s_boxWindowHooks.DragInProgress())
        return false;

    bool changed = false;
    for (const auto& [owner, path] : FoldersOfView(view, folder)) {
        FolderListing listing;
        // A folder that cannot be listed ends the pass without a save; what
        // changed so far is saved by the next pass that succeeds.
        if (!ListFolderEntries(path, listing)) {
            if (changed)
                view.Renumber();
            return false;
        }
        changed = ReconcileOwner(view, owner, listing) || changed;
    }
    if (!changed)
        return true;
    view.Renumber();
    SaveBoxIcons(view);
    if (!noRepaint)
        s_boxWindowHooks.Invalidate(view.OwnBox());
    return true;
}

bool SyncView(KelmIconManager& view, const std::wstring& folder, bool noRepaint)
{
    // A running file job adds its records one by one at the drop place;
    // the next refresh after it catches anything it left out.
    if (s_copyProgress.busy)
        return false;
    // Icons read their sizes and folder listings again after a sync.
    ++s_iconFileFactsGeneration;
    try {
        return SyncOrThrow(view, folder, noRepaint);
    } catch (const std::exception& e) {
        LogIconError(L"Folder sync of '" + folder + L"' failed: " + Utf8ToWide(e.what()));
    } catch (...) {
        LogIconError(L"Folder sync of '" + folder + L"' failed.");
    }
    return false;
}

// What the refresh knows of one box's view since its last complete sync.
struct RefreshState {
    std::weak_ptr<KelmWindow> box;
    // Keyed by the folder as the box names it: a box that changes its
    // folder gets a new watch, and the old one is closed.
    std::map<std::wstring, std::unique_ptr<FolderWatch>> watches;
    // Records are also added and removed by the program itself; a count
    // that moved since the last sync asks for a listing as well.
    size_t recordCount = 0;
    // A change was seen but the view is not in step yet.
    bool pending = true;
    // Facts of a folder taken before a sync listed it while no watch was
    // armed on it: the watch armed later need not list it again when the
    // folder stayed quiet in between.
    std::map<std::wstring, FolderWatch::Facts> listedUnwatched;
    // The serial of the listing on its way for the box, 0 for none; the
    // refresh starts no second one meanwhile.
    uint64_t listing = 0;
    // Something asked for a listing while one was on its way: the one on
    // its way may have missed it, and is done again.
    bool again = false;
};

std::map<KelmWindow*, RefreshState> s_refreshStates;

// Whether the view may differ from its folders. Every watch is asked, so
// each one that fired is armed again.
bool NeedsListing(RefreshState& state, KelmIconManager& view, const std::wstring& folder)
{
    const OwnerFolders folders = FoldersOfView(view, folder);
    std::erase_if(state.watches, [&folders](const auto& entry) {
        return std::none_of(folders.begin(), folders.end(),
                            [&entry](const auto& item) { return item.second == entry.first; });
    });
    bool list = state.pending || view.Records().size() != state.recordCount;
    for (const auto& item : folders) {
        std::unique_ptr<FolderWatch>& watch = state.watches[item.second];
        if (!watch) {
            // A folder seen for the first time is listed once the watch is
            // armed, so nothing between the two goes unseen.
            watch = std::make_unique<FolderWatch>(item.second);
            watch->ChangedSinceLastLook();
            auto listed = state.listedUnwatched.find(item.second);
            if (listed == state.listedUnwatched.end() || !watch->ArmedQuietSince(listed->second))
                list = true;
        } else if (watch->ChangedSinceLastLook()) {
            list = true;
        }
    }
    state.listedUnwatched.clear();
    // A folder gone or not yet there: the sync finds nothing to list, at
    // no cost, and the view is left as it is.
    if (list)
        state.pending = true;
    return list;
}

// The refresh's state of a real, unfolded box on that folder; null for
// any other view.
RefreshState* RefreshStateOf(const BoxWindowPtr& box, const std::wstring& folder)
{
    const BoxRuntime* runtime = box ? FindBoxRuntime(box) : nullptr;
    if (!runtime || !runtime->UseTargetFolder || runtime->isMinimized || runtime->TargetFolder == L"bvn!NULL" ||
        runtime->TargetFolder != folder || runtime->IsPseudoBox())
        return nullptr;
    RefreshState& state = s_refreshStates[box.get()];
    if (state.box.lock() != box) {
        state = RefreshState();
        state.box = box;
    }
    return &state;
}

void SetInStep(RefreshState& state, const KelmIconManager& view)
{
    state.pending = false;
    state.recordCount = view.Records().size();
}

std::unordered_set<const KelmWindow*> s_foldersLeaving;

// The refresh lists folders on a worker; the UI thread only brings the
// records in step with a finished listing. A listing is dropped when its
// box went, folded, left its folder or the folders it shows, or when the
// view's records changed while it ran (it would undo what the program did
// meanwhile); then the box is listed again.

struct ListedFolder {
    // Compared only, never reached: the owner is found again on the UI
    // thread.
    const KelmWindow* owner = nullptr;
    std::wstring path;
};

struct ListingJob {
    uint64_t serial = 0;
    uint64_t epoch = 0;
    const KelmWindow* box = nullptr;
    // The box's folder as the box names it.
    std::wstring folder;
    std::vector<ListedFolder> folders;
    size_t fingerprint = 0;
    // No watch is armed on the box's folder yet: the folder's facts are
    // taken before it is listed, as SyncBoxFolder does.
    bool readFacts = false;
    // The worker's answer.
    bool listed = false;
    std::vector<FolderListing> listings;
    bool factsRead = false;
    FolderWatch::Facts facts;
};

// What the worker and the UI thread share. A folder that is about to leave
// must not be held open by a listing (an open handle keeps a removed
// folder in place), so the UI thread marks it and waits for the worker to
// let go of it; the worker checks the marks before it opens a folder and
// between entries.
struct ListingGate {
    std::mutex mutex;
    std::condition_variable released;
    std::unordered_set<const KelmWindow*> leaving;
    // Listings begun before the epoch moved stop: every folder may be about
    // to be removed.
    uint64_t epoch = 0;
    // The owner of the folder the worker has open, while it has one.
    const KelmWindow* open = nullptr;
    bool holding = false;
    // Moves with every mark, so that the worker's check between entries
    // takes no lock while nothing is marked.
    std::atomic<uint64_t> marks{0};
};

ListingGate& Gate()
{
    static ListingGate gate;
    return gate;
}

// Worker thread.
bool ListForJob(ListingJob& job, size_t index, FolderListing& listing)
{
    ListingGate& gate = Gate();
    const KelmWindow* owner = job.folders[index].owner;
    const auto stopped = [&] { return job.epoch != gate.epoch || gate.leaving.count(owner); };
    uint64_t marks = 0;
    {
        std::lock_guard lock(gate.mutex);
        if (stopped())
            return false;
        gate.open = owner;
        gate.holding = true;
        marks = gate.marks.load();
    }
    struct LetGo {
        ListingGate& gate;
        ~LetGo()
        {
            {
                std::lock_guard lock(gate.mutex);
                gate.holding = false;
                gate.open = nullptr;
            }
            gate.released.notify_all();
        }
    } letGo{gate};
    if (index == 0 && job.readFacts)
        job.factsRead = FolderWatch::ReadFacts(job.folder, job.facts);
    return ListFolderUntil(job.folders[index].path, listing, [&] {
        if (FileWorkerTracker::GetInstance().CancelRequested())
            return true;
        if (gate.marks.load() == marks)
            return false;
        std::lock_guard lock(gate.mutex);
        return stopped();
    });
}

// Worker thread (or the UI thread when no worker could be had); never
// throws.
void ListJob(ListingJob& job)
{
    try {
        job.listings.resize(job.folders.size());
        job.listed = true;
        for (size_t i = 0; i < job.folders.size() && job.listed; ++i)
            job.listed = ListForJob(job, i, job.listings[i]);
    } catch (...) {
        job.listed = false;
    }
    if (!job.listed)
        job.listings.clear();
}

bool SameFolders(const OwnerFolders& now, const std::vector<ListedFolder>& listed)
{
    return now.size() == listed.size() &&
           std::equal(now.begin(), now.end(), listed.begin(), [](const auto& item, const ListedFolder& folder) {
               return item.first.get() == folder.owner && item.second == folder.path;
           });
}

uint64_t s_listingSerial = 0;
// A reconcile saves the store, which may open a modal loop where the
// mailbox runs the next listing's answer: that one waits for a later pass.
bool s_reconciling = false;

void StartListing(RefreshState& state, const BoxWindowPtr& box, KelmIconManager& view, const std::wstring& folder);

// UI thread: a finished listing brought to its box, if it is still the
// box's latest and the box still shows what was listed.
void TakeListing(const std::shared_ptr<ListingJob>& job)
{
    auto found = s_refreshStates.find(const_cast<KelmWindow*>(job->box));
    if (found == s_refreshStates.end() || found->second.listing != job->serial)
        return;
    RefreshState& state = found->second;
    state.listing = 0;
    const bool again = std::exchange(state.again, false);
    const BoxWindowPtr box = state.box.lock();
    if (!box || box.get() != job->box || s_foldersLeaving.count(box.get()) ||
        RefreshStateOf(box, job->folder) != &state || s_reconciling)
        return;
    KelmIconManager& view = s_boxIconManagers[box];
    if (again && job->listed) {
        StartListing(state, box, view, job->folder);
        return;
    }
    // As SyncView: nothing changes under a drag or a file job, and a
    // folder that could not be listed is left for the next pass.
    if (!job->listed || s_boxWindowHooks.DragInProgress() || s_copyProgress.busy)
        return;
    const OwnerFolders folders = FoldersOfView(view, job->folder);
    if (!SameFolders(folders, job->folders) || RecordsFingerprint(view) != job->fingerprint) {
        StartListing(state, box, view, job->folder);
        return;
    }
    ++s_iconFileFactsGeneration;
    bool changed = false;
    s_reconciling = true;
    try {
        for (size_t i = 0; i < folders.size(); ++i)
            changed = ReconcileOwner(view, folders[i].first, job->listings[i]) || changed;
        if (changed) {
            view.Renumber();
            SaveBoxIcons(view);
            s_boxWindowHooks.Invalidate(box);
        }
    } catch (const std::exception& e) {
        LogIconError(L"Folder sync of '" + job->folder + L"' failed: " + Utf8ToWide(e.what()));
    } catch (...) {
        LogIconError(L"Folder sync of '" + job->folder + L"' failed.");
    }
    s_reconciling = false;
    // The save may have let other work run: the state is looked up again.
    found = s_refreshStates.find(box.get());
    if (found != s_refreshStates.end() && found->second.box.lock() == box && !found->second.listing) {
        SetInStep(found->second, view);
        if (job->factsRead)
            found->second.listedUnwatched[job->folder] = job->facts;
    }
    if (!changed)
        return;
    const auto listeners = RefreshListeners();
    for (const auto& listener : listeners)
        listener(box);
}

using Lister = LoneWorker<std::shared_ptr<ListingJob>>;

std::shared_ptr<Lister> FolderLister()
{
    static const std::shared_ptr<Lister> lister = std::make_shared<Lister>(
        L"The folder listing worker", [](const std::function<bool(std::shared_ptr<ListingJob>&)>& next) {
            FileWorkerTracker::Scope running(FileWorkerTracker::GetInstance());
            std::shared_ptr<ListingJob> job;
            while (next(job)) {
                ListJob(*job);
                FileJobMailbox::Post([job] { TakeListing(job); });
                job.reset();
            }
        });
    return lister;
}

// UI thread: the box's folders listed on the worker, its records brought
// in step when the listing comes back.
void StartListing(RefreshState& state, const BoxWindowPtr& box, KelmIconManager& view, const std::wstring& folder)
{
    auto job = std::make_shared<ListingJob>();
    job->serial = ++s_listingSerial;
    job->box = box.get();
    job->folder = folder;
    for (const auto& [owner, path] : FoldersOfView(view, folder))
        job->folders.push_back({owner.get(), path});
    job->fingerprint = RecordsFingerprint(view);
    job->readFacts = !state.watches.count(folder);
    {
        std::lock_guard lock(Gate().mutex);
        job->epoch = Gate().epoch;
    }
    state.listing = job->serial;
    state.again = false;
    state.pending = true;
    if (FileJobMailbox::Open() && FolderLister()->Push(job))
        return;
    // No worker, or no way back: listed here.
    ListJob(*job);
    TakeListing(job);
}

// UI thread: marks the folders (one owner's, or with null every one) as
// about to go, and waits until the worker holds none of them open.
void LetGoOfFolders(const KelmWindow* owner)
{
    ListingGate& gate = Gate();
    std::unique_lock lock(gate.mutex);
    if (owner)
        gate.leaving.insert(owner);
    else
        ++gate.epoch;
    ++gate.marks;
    gate.released.wait(lock, [&] { return !gate.holding || (owner && gate.open != owner); });
}

} // namespace

bool ListFolderEntries(const std::wstring& folder, FolderListing& listing)
{
    return ListFolderUntil(folder, listing, {});
}

bool ListFolderEntriesUntil(const std::wstring& folder, FolderListing& listing, const std::function<bool()>& stop)
{
    return ListFolderUntil(folder, listing, stop);
}

void SyncBoxFolder(KelmIconManager& view, const std::wstring& folder, bool noRepaint)
{
    // A box the refresh follows but does not watch yet (a box just made):
    // what this sync lists need not be listed again by the refresh when the
    // folder stays quiet until its watch is armed. No watch is armed here,
    // so a folder removed right after a box is made is not held.
    RefreshState* state = RefreshStateOf(view.OwnBox(), folder);
    FolderWatch::Facts facts;
    const bool unwatched = state && !state->watches.count(folder) && FolderWatch::ReadFacts(folder, facts);
    if (!SyncView(view, folder, noRepaint) || !state)
        return;
    if (unwatched)
        state->listedUnwatched[folder] = facts;
    SetInStep(*state, view);
}

void AddFolderRefreshListener(std::function<void(const BoxWindowPtr&)> listener)
{
    if (listener)
        RefreshListeners().push_back(std::move(listener));
}

void ForgetFolderWatches()
{
    s_refreshStates.clear();
    LetGoOfFolders(nullptr);
}

void KeepRefreshOffWhileFolderLeaves(const BoxWindowPtr& box, bool leaving)
{
    if (leaving) {
        s_foldersLeaving.insert(box.get());
        LetGoOfFolders(box.get());
        return;
    }
    s_foldersLeaving.erase(box.get());
    std::lock_guard lock(Gate().mutex);
    Gate().leaving.erase(box.get());
}

bool RefreshBoxFolderSoon(const BoxWindowPtr& box)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return false;
    const std::wstring folder = runtime->TargetFolder;
    RefreshState* state = RefreshStateOf(box, folder);
    if (!state)
        return false;
    state->pending = true;
    if (state->listing)
        state->again = true;
    else if (!s_foldersLeaving.count(box.get()) && !s_boxWindowHooks.DragInProgress() && !s_copyProgress.busy)
        StartListing(*state, box, s_boxIconManagers[box], folder);
    return true;
}

bool FolderListingsOnTheirWay()
{
    return std::any_of(s_refreshStates.begin(), s_refreshStates.end(),
                       [](const auto& entry) { return entry.second.listing != 0; });
}

void RefreshFolderBoxes()
{
    if (s_boxWindowHooks.DragInProgress())
        return;
    // A sync can add registry entries (the layout of a rebuilt box looks
    // its box up), so the walk goes over a copy.
    std::vector<std::pair<BoxWindowPtr, std::wstring>> boxes;
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (window && runtime.UseTargetFolder && !runtime.isMinimized && runtime.TargetFolder != L"bvn!NULL" &&
            !runtime.IsPseudoBox() && !s_foldersLeaving.count(window.get()))
            boxes.emplace_back(window, runtime.TargetFolder);
    }
    // The watches of boxes gone, folded or no longer on a folder close.
    std::erase_if(s_refreshStates, [&boxes](const auto& entry) {
        const std::shared_ptr<KelmWindow> box = entry.second.box.lock();
        return !box || box.get() != entry.first ||
               std::none_of(boxes.begin(), boxes.end(), [&box](const auto& item) { return item.first == box; });
    });
    for (const auto& [window, folder] : boxes) {
        RefreshState* state = RefreshStateOf(window, folder);
        // A box whose listing is on its way is asked again once it came
        // back: its watches, armed before it began, keep what changed.
        if (!state || state->listing)
            continue;
        KelmIconManager& view = s_boxIconManagers[window];
        // A running file job adds its records one by one at the drop place;
        // the first pass after it catches anything it left out.
        if (NeedsListing(*state, view, folder) && !s_copyProgress.busy)
            StartListing(*state, window, view, folder);
    }
}

void CALLBACK RefreshFolderBoxesTimer(HWND, UINT, UINT_PTR, DWORD)
{
    // Thread timers also fire inside modal loops (a message box or popup
    // opened during a sync): a second pass must not start inside the first.
    static bool running = false;
    if (running)
        return;
    running = true;
    // A timer procedure must never let an exception out: it would end the
    // process from inside the message loop.
    try {
        // Icons of mapping boxes have no sync of their own: their sizes
        // are refreshed on the same beat.
        ++s_iconFileFactsGeneration;
        RefreshFolderBoxes();
    } catch (const std::exception& e) {
        LogIconError(L"Folder refresh failed: " + Utf8ToWide(e.what()));
    } catch (...) {
        LogIconError(L"Folder refresh failed.");
    }
    running = false;
}

size_t RecordsFingerprint(const KelmIconManager& view)
{
    size_t hash = view.Records().size();
    for (const IconRecord& record : view.Records()) {
        hash = hash * 1099511628211ull ^ std::hash<std::wstring>()(record.path);
        hash = hash * 1099511628211ull ^ std::hash<const void*>()(record.owner.get());
    }
    return hash;
}

std::wstring ListingKeyOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    return name;
}
