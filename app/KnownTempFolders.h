// The temporary folders of kept copies that runs of the program have used,
// listed in "TempFolders.list" of the data folder (UTF-8, one folder a
// line, with the identity its box root had when a run used it), so that a changed box folder, a restored node naming
// another one or a run that ended without quitting never leaves copies where no sweep looks. A folder joins the list at
// its first use in a run and leaves it only once a sweep has emptied it. Any thread; never throws.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

inline constexpr wchar_t kTempFolderListFile[] = L"TempFolders.list";

// A folder of the form every temporary folder of kept copies has:
// "<root>\.data\.temp" under an absolute root (a drive, a share or a
// folder), in any spelling of separators. Nothing else is ever listed.
bool HasTempFolderForm(const std::wstring& folder);

// Which folder a box root was when a run used it: the volume and the file
// index the system gave it. A path alone proves nothing (a list can name
// any folder); the same folder still standing there does.
struct BoxRootIdentity {
    DWORD volume = 0;
    ULONGLONG index = 0;
    bool operator==(const BoxRootIdentity&) const = default;
};
// The identity of the root of a folder of the form, when it can be opened.
std::optional<BoxRootIdentity> BoxRootIdentityOf(const std::wstring& tempFolder);

// A line of the list: the folder, and its box root's identity when a run
// of the program wrote the line (none on a line written by hand or by an
// earlier version, which therefore proves nothing).
struct ListedTempFolder {
    std::wstring folder;
    std::optional<BoxRootIdentity> root;
    bool operator==(const ListedTempFolder&) const = default;
};

// The list's text and back; blank lines are skipped, and a line not of
// the form (a user's folder, a line cut short) goes to rejected, never
// into the folders a sweep empties.
std::vector<ListedTempFolder> ParseTempFolderList(const std::string& utf8,
                                                  std::vector<std::wstring>* rejected = nullptr);
std::string FormatTempFolderList(const std::vector<ListedTempFolder>& folders);

// False when a list exists but cannot be read (folders then stays empty).
// Lines not of the form are logged and left out.
bool ReadKnownTempFolders(const std::wstring& dataFolder, std::vector<ListedTempFolder>& folders);

// What the disk says of a listed folder before anything in it is touched.
enum class TempFolderProof {
    // A box root's own ".data\.temp": of the form, a folder of its own
    // (no link), and the very ".temp" inside the ".data" inside the root
    // (final paths and file identity agree).
    Own,
    // Not there, on a volume that is: nothing to sweep.
    Gone,
    // Cannot be looked at now (a drive not there): it stays listed.
    Unreachable,
    // Anything else: left where it is.
    NotOwn,
};
TempFolderProof ProveTempFolder(const std::wstring& folder);
// A listed folder is the program's only when, besides, its root is still
// the very folder a run used as its box root: a line without that
// identity, or whose root is another folder now, is NotOwn.
TempFolderProof ProveListedTempFolder(const ListedTempFolder& listed);
// Adds the folder with its root's identity now, unless the list names it
// already (by location, not by spelling) with that identity; lines naming
// it otherwise give way. The file is replaced atomically. False when it
// could not be written. A root that cannot be opened now is listed without
// its identity: that line proves nothing, but no copy can be kept there
// either.
bool RememberTempFolder(const std::wstring& dataFolder, const std::wstring& tempFolder);
// Takes the folder off the list; false when the list could not be written.
bool ForgetTempFolder(const std::wstring& dataFolder, const std::wstring& tempFolder);
