// Small helpers shared across the program: colour text of the stores,
// random numbers, CJK counting, path parts, folders, the Recycle Bin and the
// watch on the system's Themes folder.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

std::wstring ColorToHex(COLORREF color);
// Throws std::invalid_argument or std::out_of_range for malformed text.
COLORREF HexToColor(const std::wstring& text);

// Uniform integer from 1 to 10. UI thread.
int RandomInt();

unsigned CountCjkCharacters(const std::wstring& text);
const wchar_t* FindFileNamePart(const wchar_t* path);
std::wstring GetPathFileName(const std::wstring& path);
// A folder as stored (with the store's doubled backslashes, or not) in the
// form to compare and open: every run of separators becomes one backslash,
// except that a leading pair stays (\\server\share, \\?\D:\); a trailing
// separator goes unless it belongs to a root (D:\).
std::wstring NormalizeStoredPath(const std::wstring& stored);
// Returns a per-thread buffer holding the text without leading blanks.
const wchar_t* TrimLeft(const wchar_t* text);
// Creates the folder and its parents; throws std::filesystem::filesystem_error.
bool EnsureDirectory(const wchar_t* path);

// Sends a file or folder to the Recycle Bin. Returns true only when the
// item really went there; what cannot be recycled is not deleted silently,
// and a link the system does not show as one is not sent (EntryIsItself).
// The shell's questions are owned by owner.
bool RecycleItem(const std::wstring& path, HWND owner = nullptr);

// How a recycle ended: the item went to the bin; the user answered a
// question of the shell with No (the item stays and nothing more is to be
// done); or the bin did not take it (no bin on that drive, too large, an
// error), which the user has not heard of yet. Deleted: see
// RecycleWitnessing.
enum class RecycleOutcome { Recycled, Declined, Refused, Deleted };
RecycleOutcome RecycleItemAsking(const std::wstring& path, HWND owner = nullptr);
// Several items in one operation of the shell: one question at most for
// them all, where the shell asks. Each item's outcome in the order given;
// an item missing, a link the system does not show as one, or a name
// ending in a dot or a space (the shell would trim it), is Refused and not
// sent. Any thread that may own a shell question.
std::vector<RecycleOutcome> RecycleItemsAsking(const std::vector<std::wstring>& paths, HWND owner = nullptr);
// The outcome from what the shell reported: its result, whether it says
// the user cancelled, and whether the item is still there.
RecycleOutcome RecycleOutcomeOf(bool succeeded, bool aborted, bool stillThere);

// The shell cannot be asked afterwards whether an item went to the bin or
// was deleted for good: a question answered Yes deletes what the bin
// refuses, and Wine deletes, reporting success, where its trash is
// unusable. A witness made before the operation tells it: a hard link of
// a file, or of every file of a folder in a tree of its own, on the item's
// volume. A witness file whose data afterwards has fewer names than before
// proves a delete for good, and still holds the data.
struct RecycleWitnessing {
    // A free path for an item's witness, on the item's volume; where it is
    // empty no witness is made.
    std::function<std::wstring(const std::wstring& item)> pathFor;
    // An item without a witness is not sent (Refused).
    bool required = false;
    // A deleted item's witness stays, holding the item's data.
    bool keepDeleted = false;
};
struct WitnessedRecycle {
    // Deleted: the item left its place, but not for the bin.
    RecycleOutcome outcome = RecycleOutcome::Refused;
    // Recycled, and its witness proves the bin holds it; without one,
    // Recycled only repeats what the shell said.
    bool proven = false;
    // Still in its place, but some of what it held was deleted for good
    // (a folder the shell stopped half way through).
    bool partly = false;
    // The kept witness of a Deleted or partly deleted item (keepDeleted),
    // else empty.
    std::wstring witness;
};
// Stands in for the shell's operation where set: tests give it a shell
// that deletes for good what it is asked to recycle.
extern std::function<std::vector<RecycleOutcome>(const std::vector<std::wstring>& paths)> s_recycleShell;
std::vector<WitnessedRecycle> RecycleItemsWitnessed(const std::vector<std::wstring>& paths, HWND owner,
                                                    const RecycleWitnessing& witnessing);

// The path of a system folder (a CSIDL_ value), or "" when it has none.
std::wstring KnownFolderPath(int csidl);

// Watches the Themes folder so a wallpaper change reaches the window as
// message 4084. The id stays in s_themeFolderNotifyId.
bool RegisterThemeFolderNotify(HWND window);
extern ULONG s_themeFolderNotifyId;

// In place, keeping at most 511 characters.
void ToForwardSlashes(wchar_t* buffer);
void GetAppDataShortPath(wchar_t (&buffer)[MAX_PATH]);
void GetAppDataShortPath(char (&buffer)[MAX_PATH]);
