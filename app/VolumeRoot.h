// Whether an entry is the root of a volume or of a network share: a drive
// ("F:\"), a share ("\\server\share"), a volume named by its GUID, or a
// folder a volume is mounted on. Such an entry is never moved, recycled
// or removed by the program, whatever road asks: the whole drive would go
// with it (under Wine a move of "F:\" renames the folder the drive letter
// stands for). Any thread; never throws.
#pragma once

#include <string>

// The spelling alone names a root: "F:", "F:\", "\\?\F:\", "\\.\F:\",
// "\\server\share", "\\?\UNC\server\share", "\\?\Volume{...}\" (either
// separator, trailing separators ignored). Pure.
bool IsRootSpelling(const std::wstring& path);

// The system says the folder at path is the root of a volume or share: by
// its spelling, by the volume its full path lies on (GetVolumePathNameW),
// or by the final path of what it names. A file, or nothing at path, is no
// root. attributes are the entry's as already read, or
// INVALID_FILE_ATTRIBUTES to read them here.
bool IsVolumeRoot(const std::wstring& path, unsigned long attributes = 0xFFFFFFFFul);

// The root as the user knows it, to name in a message: "F:" as "F:\", a
// share without its trailing separator.
std::wstring RootDisplayName(const std::wstring& path);
