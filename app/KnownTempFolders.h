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

// The list's text and back; blank lines are skipped.
std::vector<std::wstring> ParseTempFolderList(const std::string& utf8);
std::string FormatTempFolderList(const std::vector<std::wstring>& folders);

// False when a list exists but cannot be read (folders then stays empty).
bool ReadKnownTempFolders(const std::wstring& dataFolder, std::vector<std::wstring>& folders);
// Adds the folder unless the list names it already (by location, not by
// spelling); the file is replaced atomically. False when it could not be
// written.
bool RememberTempFolder(const std::wstring& dataFolder, const std::wstring& tempFolder);
// Takes the folder off the list; false when the list could not be written.
bool ForgetTempFolder(const std::wstring& dataFolder, const std::wstring& tempFolder);
