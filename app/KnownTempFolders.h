// The temporary folders of kept copies that runs of the program have used,
// listed in "TempFolders.list" of the data folder (UTF-8, one folder a
// line), so that a changed box folder, a restored node naming another one
// or a run that ended without quitting never leaves copies where no sweep
// looks. A folder joins the list at its first use in a run and leaves it
// only once a sweep has emptied it. Any thread; never throws.
#pragma once

#include <string>
#include <vector>

inline constexpr wchar_t kTempFolderListFile[] = L"TempFolders.list";

// A folder of the form every temporary folder of kept copies has:
// "<root>\.data\.temp" under an absolute root (a drive, a share or a
// folder), in any spelling of separators. Nothing else is ever listed.
bool HasTempFolderForm(const std::wstring& folder);

// The list's text and back; blank lines are skipped, and a line not of
// the form (a user's folder, a line cut short) goes to rejected, never
// into the folders a sweep empties.
std::vector<std::wstring> ParseTempFolderList(const std::string& utf8, std::vector<std::wstring>* rejected = nullptr);
std::string FormatTempFolderList(const std::vector<std::wstring>& folders);

// False when a list exists but cannot be read (folders then stays empty).
// Lines not of the form are logged and left out.
bool ReadKnownTempFolders(const std::wstring& dataFolder, std::vector<std::wstring>& folders);

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
// Adds the folder unless the list names it already (by location, not by
// spelling); the file is replaced atomically. False when it could not be
// written.
bool RememberTempFolder(const std::wstring& dataFolder, const std::wstring& tempFolder);
// Takes the folder off the list; false when the list could not be written.
bool ForgetTempFolder(const std::wstring& dataFolder, const std::wstring& tempFolder);
