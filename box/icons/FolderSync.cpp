#include "box/icons/FolderSync.h"

#include "box/fileops/FileJobProgress.h"
#include "box/fileops/PartFileJournal.h"

#include <algorithm>
#include <cwctype>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/StoreTextFormat.h"
#include "box/BoxWindowHooks.h"
#include "box/icons/IconLog.h"
#include "box/icons/FolderWatch.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIcon.h"

namespace
{

std::wstring LowerFileName(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    return name;
}

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
            auto entry = listing.find(LowerFileName(record.path));
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

// Set by a sync that changed its view's records; the refresh reads it to
// tell its listeners.
bool s_viewChanged = false;

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
            s_viewChanged = s_viewChanged || changed;
            return false;
        }
        changed = ReconcileOwner(view, owner, listing) || changed;
    }
    if (!changed)
        return true;
    s_viewChanged = true;
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

} // namespace

bool ListFolderEntries(const std::wstring& folder, FolderListing& listing)
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
        if (!FindNextFileW(find, &data)) {
            ok = GetLastError() == ERROR_NO_MORE_FILES;
            break;
        }
    }
    FindClose(find);
    return ok;
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

namespace
{
std::unordered_set<const KelmWindow*> s_foldersLeaving;
} // namespace

void ForgetFolderWatches()
{
    s_refreshStates.clear();
}

void KeepRefreshOffWhileFolderLeaves(const BoxWindowPtr& box, bool leaving)
{
    if (leaving)
        s_foldersLeaving.insert(box.get());
    else
        s_foldersLeaving.erase(box.get());
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
    std::vector<BoxWindowPtr> changed;
    for (const auto& [window, folder] : boxes) {
        // A box deleted by an earlier sync's consequences is left alone.
        if (!FindBoxRuntime(window))
            continue;
        RefreshState* state = RefreshStateOf(window, folder);
        if (!state)
            continue;
        KelmIconManager& view = s_boxIconManagers[window];
        if (!NeedsListing(*state, view, folder))
            continue;
        s_viewChanged = false;
        if (SyncView(view, folder, false))
            SetInStep(*state, view);
        if (s_viewChanged)
            changed.push_back(window);
    }
    // Told after the pass: a listener may walk the registry.
    const auto listeners = RefreshListeners();
    for (const BoxWindowPtr& box : changed)
        for (const auto& listener : listeners)
            listener(box);
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
