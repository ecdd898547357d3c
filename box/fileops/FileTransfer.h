// Copying and moving one file or folder without ever losing data: copies
// go to a part file first (named and recorded by the job's
// PartFileJournal) and replace the destination only once complete, a move
// across volumes deletes of its source only what was copied and checked,
// and a failed or cancelled copy leaves no partial destination behind.
// Links (symbolic links, junctions) are never followed: not into while
// copying, not through while removing (app/FileRemoval). Any thread;
// never throws.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Whether anything is at path (a link counts and is not followed).
bool PathExists(const std::wstring& path);
// Whether the system says positively that nothing is at path; an entry
// that cannot be looked at (access denied) is not taken for a missing one.
bool PathGone(const std::wstring& path);

// Which file or folder an entry is, whatever its name: the volume's serial
// number and the file index. A file edited in place keeps it; one deleted
// and written again under the same name is another.
struct ItemIdentity {
    bool known = false;
    uint32_t volume = 0;
    uint64_t index = 0;
    bool operator==(const ItemIdentity&) const = default;
};

// The identity the system's facts of an entry name.
ItemIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& facts);
// Which folder (or file) path names now, by the system's identity; unknown
// when it cannot be opened. With ownEntry a link is the item, not followed.
ItemIdentity IdentityAt(const std::wstring& path, bool ownEntry = false);
// Whether the folder that had identity at path has left it, on positive
// evidence only: the path names another folder, or the system says nothing
// is there. Another program may rename, move or delete a box's folder, or
// put a new one of the same name in its place, while files go into it.
bool FolderLeft(const std::wstring& path, const ItemIdentity& identity);

// The box's folder as a job was planned against it. Another program may
// rename, move or delete it while the job runs, or put a new folder of the
// same name in its place: files put in by its path would then leave the
// box, or land in a folder that only has its name. It is held open for the
// job, sharing everything so that the user can still rename or delete it,
// so that where it went can be told.
class PlannedFolder
{
public:
    PlannedFolder(std::wstring path, ItemIdentity identity);
    ~PlannedFolder();
    PlannedFolder(const PlannedFolder&) = delete;
    PlannedFolder& operator=(const PlannedFolder&) = delete;

    // On positive evidence only: the path names another folder, or the
    // system says nothing is there. One open of the path.
    bool Left() const { return FolderLeft(path_, identity_); }

    // Where the folder is now, when the system names a place that holds
    // this very folder; empty otherwise.
    std::wstring WhereNow() const;

private:
    std::wstring path_;
    ItemIdentity identity_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Both paths name one file or folder.
bool SamePathItem(const std::wstring& a, const std::wstring& b);

// What the transfers of one job share: the record of the part files they
// write (PartFileJournal) and which folder each folder path is, asked of
// the system once per job. One thread at a time.
struct TransferJobState;
std::shared_ptr<TransferJobState> NewTransferJobState();

// Incomplete: the destination holds what could be taken, but part of the
// source stayed where it was (a link, or an entry that could not be
// removed); both are kept.
enum class TransferResult { Done, Failed, Cancelled, Incomplete };

struct TransferOptions {
    // Handed to CopyFileExW for every file.
    LPPROGRESS_ROUTINE progress = nullptr;
    void* context = nullptr;
    // Polled between files.
    std::function<bool()> cancelled;
    // Called before a folder is copied file by file.
    std::function<void()> onFolder;
    // Renames within one volume; MoveFileExW when empty. A rename that
    // fails (another volume) makes a move copy and then remove.
    std::function<bool(const std::wstring& from, const std::wstring& to, DWORD flags)> rename;
    // Shared by every item of a job (NewTransferJobState); without it each
    // call records and looks up on its own.
    std::shared_ptr<TransferJobState> job;
};

// What a folder moved into a folder that already stood at its destination
// brought there, as paths relative to both: every file, and every folder
// (empty ones too) named before what it holds.
struct MergedEntries {
    std::vector<std::wstring> files;
    std::vector<std::wstring> folders;
};

// The error of a transfer refused because its destination is its source
// or lies inside it; the system has no message of its own for it.
constexpr DWORD kErrorDestinationInsideSource = ERROR_CIRCULAR_DEPENDENCY;
// The error of a transfer refused because its source is the root of a
// volume or share (IsVolumeRoot): a whole drive is never moved or copied
// as one item.
constexpr DWORD kErrorSourceIsVolumeRoot = ERROR_IS_JOIN_TARGET;
// The errors of a replacing transfer refused because a folder stands where
// a file would go, or a file where a folder would: one never replaces the
// other, and the system would only answer "access denied".
constexpr DWORD kErrorFolderInTheWay = ERROR_IS_SUBST_TARGET;
constexpr DWORD kErrorFileInTheWay = ERROR_DIRECTORY;
// The error of an item not taken because it is a link (or an entry that
// is not itself, EntryIsItself): a link is never followed, and stays.
constexpr DWORD kErrorLinkNotFollowed = ERROR_CANT_RESOLVE_FILENAME;
// Why a moved file was not removed after its copy: it (or the copy) changed
// while it was copied, so the copy is not proven to be the whole file.
constexpr DWORD kErrorChangedWhileMoved = ERROR_FILE_INVALID;
// Why part of a moved folder stayed at its source although every entry the
// copy found was taken: more arrived in it while it was being moved.
constexpr DWORD kErrorGainedWhileMoved = ERROR_NOT_EMPTY;
// Why a moved file stayed although its delete answered success: it is still
// there (Wine answers so for a file the host does not let go).
constexpr DWORD kErrorRemovalDidNotTake = ERROR_CANT_DELETE_LAST_ITEM;

// A source entry that did not arrive, and why: a Win32 error code
// (ERROR_FILE_EXISTS where an entry stood that the plan did not replace,
// or that the same copy had already written under a name differing only
// in case; ERROR_INVALID_NAME for a name that would leave its folder;
// kErrorDestinationInsideSource; kErrorSourceIsVolumeRoot; the reason an entry could not be checked
// for being a link, ERROR_ACCESS_DENIED for instance; ERROR_DISK_FULL...).
struct TransferFailure {
    std::wstring path;
    DWORD error = 0;
    // The entry's name as its folder lists it, where the path would name
    // it otherwise (a name holding a backslash); empty when the path's
    // last part is its name.
    std::wstring name{};
};

struct TransferReport {
    // Source entries not taken (links) or not removed after their copy.
    std::vector<std::wstring> leftBehind;
    // Why the first source entry that was copied could not be removed (0
    // when only links, or entries that were not themselves, stayed).
    DWORD removalError = 0;
    // Some entry left behind stands at the destination too (a copy that
    // replaced a file there, or one that could not be taken away again).
    bool keptTwice = false;
    // Source entries that could not be written to the destination; they
    // stay where they were.
    std::vector<TransferFailure> failed;
    // Set when a move merged a whole folder into an existing one: the
    // destination holds more than came from the source.
    std::optional<MergedEntries> merged;
    // Which file a moved file is at its destination (as IdentifyInJob tells
    // it), when the move learned it on the way: a rename keeps the file it
    // renames, so the look at the source already said which it is.
    struct Placed {
        uint32_t volume = 0;
        uint64_t index = 0;
    };
    std::optional<Placed> placed;
};

// Which file stands at path, as EntryFacts tells it (volume serial, file
// index): a file's volume is its folder's, asked once per folder of the
// job, so a job of many files does not ask the system for each one's
// volume (under Wine that costs more than the move). A folder, which may
// be a volume of its own, is asked in full. False when it cannot be opened.
bool IdentifyInJob(const std::wstring& path, const TransferOptions& options, uint32_t& volume, uint64_t& index);

// Copies a file or a folder tree. With replace, existing files of the
// destination are replaced (a folder is merged into an existing one);
// without it nothing that stands at the destination, at any depth, is
// replaced or merged into, even when it appeared after the caller looked:
// the entry stays out and is named in failed. Nothing replaces what the
// same copy wrote. An entry that cannot be written is named in failed and
// the rest of the tree still goes (Incomplete); a folder the copy made in
// which none of its source's entries arrived is taken away again (Failed
// when that is the item's own folder). A destination that is the
// source or lies inside it is refused (kErrorDestinationInsideSource).
// Links inside a folder are left out and reported; a link given as the
// item is not copied.
TransferResult CopyItem(const std::wstring& source, const std::wstring& destination, bool replace,
                        const TransferOptions& options, TransferReport* report = nullptr);
// Moves a file or folder. Without replace an existing destination makes
// the move fail; with it a file is replaced and a folder merged. Across
// volumes it copies as CopyItem does and then deletes only the source
// files whose copy is proven to stand at the destination (the same file
// that was renamed into place, of the source's size and time); what did
// not arrive stays at its source and is named. A copy whose source cannot
// be removed goes again (unless it replaced something), and so do the
// folders made for it: a folder none of whose files could leave is Failed
// as a whole, for the reason they could not.
TransferResult MoveItem(const std::wstring& source, const std::wstring& destination, bool replace,
                        const TransferOptions& options, TransferReport* report = nullptr);
// Copies one file through a part file beside the destination, then renames
// it into place (over an existing file only with replace).
TransferResult CopyFileAtomically(const std::wstring& source, const std::wstring& destination, bool replace,
                                  const TransferOptions& options);
