// What the disk says about the entries a drop or a paste brings into a
// box, asked once and off the UI thread before the plan is made: a
// thousand entries cost a thousand questions to the system, and under a
// slow file system that is seconds. The plan then asks these answers
// instead of the disk.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "box/BoxFolderNames.h"
#include "box/fileops/DropPlan.h"
#include "box/fileops/FileTransfer.h"

struct GuardedFolders;

struct PlanLooks {
    // The entries to bring in, in their order.
    std::vector<std::wstring> paths;
    // Entries left out for being the box's folder or a folder that holds
    // it: brought in, it would go into itself.
    std::vector<std::wstring> intoItself;
    // Whether an entry exists, for those looked at under their own name,
    // and why one of them is not there.
    std::map<std::wstring, bool> present;
    std::map<std::wstring, DWORD> absentWhy;
    // What the guard kept where it is (a drive's root, another box's
    // folder), for the user.
    BoxFolderNames boxFolders;
    // The names in the box's folder, lower-cased, for a plan of many items.
    std::optional<std::unordered_set<std::wstring>> boxNames;
    // Which folder the box's folder was when it was looked at: a job moves
    // into that folder only.
    ItemIdentity boxFolder;
    // For each entry whose name the box's folder holds: whether it is that
    // very item. Asked with the other looks, so that after a "直接覆盖" or
    // "创建副本" of a thousand names the plan asks the system nothing more.
    std::map<std::wstring, bool> itselfInBox;
    // Which item each entry is whose name another entry shares: one file
    // brought under two spellings (two drive letters) is planned once.
    std::map<std::wstring, ItemIdentity> namesakes;
    // itselfInBox was looked at; until then the plan takes no entry for
    // the box's own item.
    bool ownItemsLooked = false;
};

// Any thread: the guard's folders resolved, each entry looked at once, the
// box's folder listed, and with ownItems which entries are the box's own
// items. The box's folder itself and the folders that hold it are left
// out; a move also leaves out other boxes' folders. A drive's root is never
// brought in.
PlanLooks LookBeforePlan(const GuardedFolders& guarded, const std::vector<std::wstring>& entries, bool move,
                         bool ownItems = true);
// Any thread: which of the looked-at entries whose names the box's folder
// holds are those very items (itselfInBox). A paste asks its question
// before this: only a "直接覆盖" needs it.
void LookAtOwnItems(PlanLooks& looks, const std::wstring& intoFolder);

// The disk as the plan asks it, answered from the looks where they know
// and from the disk where they do not. Holds references to both arguments.
DropPlan::Disk DiskOfLooks(const PlanLooks& looks, const std::wstring& inFolder);

// The entries the plan found nothing at, each with the reason its look
// gave (gone, or out of reach).
std::vector<TransferFailure> NotFoundAtPlan(const std::vector<std::wstring>& missing, const PlanLooks& looks);

// The folder's spelling that its entries' paths begin with.
std::wstring WithSeparator(const std::wstring& folder);

// The one operation of a kind (a drop, a paste) whose entries are being
// looked at, held until its looks come back: the serial tells its answer
// from a stale one. UI thread only.
template <typename Waiting> class AwaitedLooks
{
public:
    // Holds what waits; returns the serial its looks come back with.
    unsigned Await(Waiting waiting)
    {
        waiting_ = std::move(waiting);
        return ++serial_;
    }
    // What waited for the looks of serial, let go; nothing for a stale one.
    std::optional<Waiting> Take(unsigned serial)
    {
        if (!waiting_ || serial != serial_)
            return std::nullopt;
        std::optional<Waiting> taken = std::move(waiting_);
        waiting_.reset();
        return taken;
    }
    bool Waits() const { return waiting_.has_value(); }

private:
    std::optional<Waiting> waiting_;
    unsigned serial_ = 0;
};

// UI thread: look runs on a thread of its own (one the program waits for
// before it ends), then done runs on the UI thread with its answer, or with
// failed set when it threw. Without a thread or a way back both run here.
void LookOffUiThread(std::function<PlanLooks()> look, std::function<void(const PlanLooks&, bool failed)> done);
// The same for any work: what it gives back runs on the UI thread. work
// must not throw.
void RunOffUiThread(std::function<std::function<void()>()> work);
