#include "box/fileops/PlanLooks.h"

#include <system_error>
#include <thread>
#include <unordered_map>

#include "app/FileRemoval.h"
#include "app/FolderRelation.h"
#include "box/BoxDeletion.h"
#include "box/BoxFolderGuard.h"
#include "box/fileops/FileJobMailbox.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileWorkerTracker.h"

namespace
{

// A folder that many of the entries share is listed once instead of each
// entry being asked about: thousands of files from one folder ask the
// system a few times, not thousands. Below this many, the single looks
// cost less than a listing of a large folder.
constexpr size_t kListedLooks = 64;

std::wstring FolderPart(const std::wstring& full)
{
    const size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
}

std::wstring LowerName(std::wstring name)
{
    if (!name.empty())
        CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

// The looks at the entries, in their order: from one listing of
// their folder where many share it and the listing shows the entry under
// exactly its name (the attributes it lists are the entry's own, as a
// single look gives them), else one by one.
std::vector<EntryLook> LookAtEntries(const std::vector<std::wstring>& paths)
{
    std::vector<EntryLook> looks(paths.size());
    std::unordered_map<std::wstring, std::vector<size_t>> byFolder;
    for (size_t i = 0; i < paths.size(); ++i) {
        looks[i].full = paths[i].empty() ? std::wstring() : FullPathOf(paths[i]);
        const std::wstring folder = FolderPart(looks[i].full);
        if (!folder.empty() && folder.size() + 1 < looks[i].full.size())
            byFolder[folder].push_back(i);
    }
    std::vector<char> looked(paths.size(), 0);
    for (const auto& [folder, members] : byFolder) {
        if (members.size() < kListedLooks)
            continue;
        std::unordered_map<std::wstring, DWORD> listed;
        if (!ForEachFolderEntry(folder, [&listed](const std::wstring& name, unsigned long attributes) {
                listed.emplace(name, attributes);
                return true;
            }))
            continue;
        for (const size_t i : members) {
            const auto found = listed.find(looks[i].full.substr(folder.size() + 1));
            if (found == listed.end())
                continue;
            looks[i].attributes = found->second;
            looked[i] = 1;
        }
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!looked[i] && !paths[i].empty())
            looks[i] = LookAtEntry(paths[i]);
    }
    return looks;
}

// The names a folder holds, lower-cased, for a plan of many items: what
// it lists is taken, what it does not is free (what appears there
// meanwhile the job itself never replaces). Empty when the plan is small
// or the folder cannot be listed: every name is asked about.
std::optional<std::unordered_set<std::wstring>> NamesForPlan(const std::wstring& folder, size_t items)
{
    if (items < kListedLooks)
        return std::nullopt;
    std::unordered_set<std::wstring> names;
    if (!ForEachFolderEntry(folder, [&names](const std::wstring& name, unsigned long) {
            names.insert(LowerName(name));
            return true;
        }))
        return std::nullopt;
    return names;
}

} // namespace

std::wstring WithSeparator(const std::wstring& folder)
{
    return !folder.empty() && folder.back() == L'\\' ? folder : folder + L"\\";
}

PlanLooks LookBeforePlan(const GuardedFolders& guarded, const std::vector<std::wstring>& dropped, bool move,
                         bool ownItems)
{
    // The box's own folder and the folders that hold it, however spelled,
    // are left out, as the plan leaves out their stored spelling. Another
    // box's folder (or one that holds it) would leave that box without its
    // folder: it stays where it is, and the user hears why. A copy leaves
    // it where it is, so only a move asks.
    const BoxFolderGuard guard = guarded.Make();
    PlanLooks result;
    const std::vector<EntryLook> looks = LookAtEntries(dropped);
    for (size_t i = 0; i < dropped.size(); ++i) {
        const std::wstring& path = dropped[i];
        const EntryLook& look = looks[i];
        // A drive's root is neither moved nor copied in, and the user hears
        // so even where the root holds this box's folder.
        const bool root = BoxFolderGuard::VolumeRoot(look);
        if (!root && guard.IntoItself(look) == FolderRelation::SameOrHolding) {
            result.intoItself.push_back(path);
            continue;
        }
        const FolderRelation relation = root   ? FolderRelation::VolumeRoot
                                        : move ? guard.BoxFolder(look)
                                               : FolderRelation::Unrelated;
        result.boxFolders.Add(path, relation);
        if (relation == FolderRelation::Unrelated) {
            result.paths.push_back(path);
            if (look.full == path) {
                result.present[path] = look.attributes != INVALID_FILE_ATTRIBUTES;
                if (look.attributes == INVALID_FILE_ATTRIBUTES && look.error)
                    result.absentWhy[path] = look.error;
            }
        }
    }
    // Taken before its names: a folder put in its place after this is not
    // the one the plan was made against.
    result.boxFolder = IdentityAt(guarded.intoFolder);
    result.boxNames = NamesForPlan(guarded.intoFolder, result.paths.size());
    std::unordered_map<std::wstring, std::vector<std::wstring>> byName;
    for (const auto& [path, present] : result.present)
        if (present && !FileNameOfPath(path).empty())
            byName[LowerName(FileNameOfPath(path))].push_back(path);
    for (const auto& [name, paths] : byName)
        if (paths.size() > 1)
            for (const std::wstring& path : paths)
                result.namesakes[path] = IdentityAt(path, true);
    if (ownItems)
        LookAtOwnItems(result, guarded.intoFolder);
    return result;
}

void LookAtOwnItems(PlanLooks& looks, const std::wstring& intoFolder)
{
    const std::wstring inFolder = WithSeparator(intoFolder);
    for (const auto& [path, present] : looks.present) {
        const std::wstring name = FileNameOfPath(path);
        if (!present || name.empty())
            continue;
        const std::wstring there = inFolder + name;
        if (looks.boxNames ? looks.boxNames->count(LowerName(name)) > 0 : PathExists(there))
            looks.itselfInBox[path] = SamePathItem(path, there);
    }
    looks.ownItemsLooked = true;
}

std::vector<TransferFailure> NotFoundAtPlan(const std::vector<std::wstring>& missing, const PlanLooks& looks)
{
    std::vector<TransferFailure> notFound;
    for (const std::wstring& path : missing) {
        const auto why = looks.absentWhy.find(path);
        notFound.push_back({path, why == looks.absentWhy.end() ? ERROR_FILE_NOT_FOUND : why->second});
    }
    return notFound;
}

DropPlan::Disk DiskOfLooks(const PlanLooks& looks, const std::wstring& inFolder)
{
    auto exists = [&looks, &inFolder](const std::wstring& path) {
        const auto known = looks.present.find(path);
        if (known != looks.present.end())
            return known->second;
        // The listing answers for the folder's own names, taken or free: a
        // name taken since is never replaced by the job, and one freed
        // since only costs a numbered name.
        if (looks.boxNames && path.size() > inFolder.size() && path.compare(0, inFolder.size(), inFolder) == 0 &&
            path.find_first_of(L"\\/", inFolder.size()) == std::wstring::npos)
            return looks.boxNames->count(LowerName(path.substr(inFolder.size()))) > 0;
        return PathExists(path);
    };
    auto itself = [&looks, &inFolder](const std::wstring& source, const std::wstring& destination) {
        const auto a = looks.namesakes.find(source), b = looks.namesakes.find(destination);
        if (a != looks.namesakes.end() && b != looks.namesakes.end() && a->second.known && b->second.known)
            return a->second == b->second;
        const bool inBox = destination == inFolder + FileNameOfPath(source);
        // The box's own items not looked at yet (a paste before its
        // question): the plan asks nothing about them.
        if (inBox && !looks.ownItemsLooked)
            return false;
        const auto known = looks.itselfInBox.find(source);
        if (known != looks.itselfInBox.end() && inBox)
            return known->second;
        return SamePathItem(source, destination);
    };
    return DropPlan::Disk{exists, itself};
}

void LookOffUiThread(std::function<PlanLooks()> look, std::function<void(const PlanLooks&, bool failed)> done)
{
    RunOffUiThread([look = std::move(look), done = std::move(done)]() -> std::function<void()> {
        PlanLooks looks;
        bool failed = false;
        try {
            looks = look();
        } catch (...) {
            failed = true;
        }
        return [done, looks = std::move(looks), failed] { done(looks, failed); };
    });
}

void RunOffUiThread(std::function<std::function<void()>()> work)
{
    auto run = [work = std::move(work)](bool onThread) {
        FileWorkerTracker::Scope running(FileWorkerTracker::GetInstance());
        std::function<void()> then = work();
        if (onThread)
            FileJobMailbox::Post(std::move(then));
        else
            then();
    };
    // The answer comes back through the file jobs' mailbox.
    if (FileJobMailbox::Open()) {
        try {
            std::thread(run, true).detach();
            return;
        } catch (const std::system_error&) {
        }
    }
    run(false);
}
