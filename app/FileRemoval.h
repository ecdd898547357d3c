// Removing files and folder trees without ever reaching through a link
// (symbolic link, junction): a link is removed as a link, never entered.
// MinGW's std::filesystem sees a link to a folder as a plain folder and
// walks into it, so every removal of a tree goes through here. Also the
// one rule for the folders that are never removed as a whole. Any thread;
// never throws.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// What a removal left on disk: the entries that could not be removed (or
// were spared), each named once, innermost first; a folder is named only
// when nothing inside it stayed.
struct RemovalReport {
    std::vector<std::wstring> stayed;
};

// Removes a file, a link or a folder tree. A link at the top or anywhere
// inside is removed as a link and nothing behind it is touched; an entry
// that is not itself (EntryIsItself) stays and is reported. An entry
// for which spare answers true stays with everything in it. True when
// nothing is left at path (also when nothing was there).
bool RemoveItemWithoutFollowingLinks(const std::wstring& path, RemovalReport* report = nullptr,
                                     const std::function<bool(const std::wstring& path)>& spare = {});

// Whether the entry at path is itself and not a way to something else:
// opened without following a link, the system names this very entry. A
// link the system shows as a link passes (it is then handled as a link);
// one it shows as a plain file or folder does not (Wine lists a host link
// to a file as a plain file, and its delete, attribute and move calls act
// on what lies behind it). False too when the entry cannot be opened to
// tell; true when nothing is at path. Check it before an entry is removed,
// moved or has its attributes changed.
bool EntryIsItself(const std::wstring& path);

// A file of the program's own (a save's new file beside its target) may be
// written at the path: nothing stands there, or what stands there is itself,
// not a link that would carry the write to another file.
bool MayWriteOwnFileAt(const std::wstring& path);

// The path names "." or ".." as one of its parts: the system resolves them
// before it opens anything, so the entry it reaches is not the one the last
// name seems to name.
bool HasDotPart(const std::wstring& path);

// What the link check found: the entry is itself, it is a link the system
// does not show as one (or its path climbs out through "." or ".."), or it
// could not be opened to tell (access denied, held without sharing); then
// GetLastError names why. EntryIsItself is true only for Itself.
enum class EntryCheck { Itself, NotItself, Unchecked };
EntryCheck CheckEntry(const std::wstring& path);

// A name as a folder listing gives it that can be joined to the folder's
// path: not empty, not "." or "..", holding no "\" or "/". A name made on
// another file system may hold them; joined, it would name another entry.
bool IsPlainEntryName(const std::wstring& name);

// Whether a file name is one Windows keeps for a device (CON, PRN, AUX,
// NUL, COM1-9, LPT1-9, with any extension): without the "\\?\" prefix a
// path ending in it reaches the device, not the entry.
bool IsReservedDeviceName(const std::wstring& name);

// Why a name the user typed for an entry cannot be given to one, as the
// lines to tell; empty when it can. Refused: an empty name, "." or "..",
// a separator, a character Windows does not take in a name (: * ? " < >
// | and control characters), a dot or a blank at its end (the system cuts
// them off, so the entry would get another name, or be another entry) and
// a device's name.
std::wstring TypedNameRefusal(const std::wstring& name);

// The path in the form the system's file calls reach even when it is
// longer than they otherwise take, or names an entry whose name ends in a
// dot or a blank or is a device's name: such a full path gets the "\\?\" (or "\\?\UNC\")
// prefix, any other path stays as it is.
std::wstring LongPathForm(const std::wstring& path);
// The comparable form of a full path: backslashes (one at a time but for
// a leading pair), lower case, no trailing separator, no long-path prefix.
std::wstring ComparablePath(const std::wstring& path);
// The final path of what path names (links followed), in comparable form;
// empty when it cannot be opened or named.
std::wstring ComparableFinalPath(const std::wstring& path);
// What the system tells of an entry (which file it is: volume serial and
// file index; its size and write time). ownEntry opens a link as the link.
// False when it cannot be opened.
bool EntryFacts(const std::wstring& path, bool ownEntry, BY_HANDLE_FILE_INFORMATION& facts);
// Both facts are of one file.
bool SameFileIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b);

// A folder of its own: a folder, neither a link the system shows as one
// nor one it shows as a plain folder (EntryIsItself).
bool IsOwnFolder(const std::wstring& path);

// Removes the folder only while it is empty and a folder of its own, not a
// link: RemoveDirectoryW refuses a folder with anything in it, but given a
// link to an empty folder that the system does not show as a link (Wine)
// it removes the folder behind it.
bool RemoveFolderIfEmpty(const std::wstring& folder);

// Calls visit(name, attributes) for every entry of the folder but "." and
// ".."; the attributes are the entry's own (a link is not followed). False
// when the folder cannot be listed or visit asks to stop.
bool ForEachFolderEntry(const std::wstring& folder,
                        const std::function<bool(const std::wstring& name, unsigned long attributes)>& visit);

// The message that a removal of path did not finish, naming what stayed
// (and saying so when a link stayed so as not to reach what it leads to).
std::wstring RemovalStayedText(const std::wstring& path, const std::vector<std::wstring>& stayed);
// The lines that name paths in such a message: one per path, the first
// kPathsNamedInMessage, then how many more there are.
constexpr size_t kPathsNamedInMessage = 5;
std::wstring PathLinesText(const std::vector<std::wstring>& paths);
// "……以及另外 N 项" for the items of count beyond the named ones; empty
// when every item is named.
std::wstring MoreItemsText(size_t count, size_t named = kPathsNamedInMessage);

// Whether a folder, given as a full path, must never be removed as a whole:
// a drive or share root, a path that is not absolute, or the same as or
// above one of the protected folders (compared ignoring case, "/" and
// trailing separators).
bool IsProtectedFromRemoval(const std::wstring& fullPath, const std::vector<std::wstring>& protectedFolders);

// The folders of the user and the system that no removal may take: every
// known folder the system names (the profile, Desktop, Documents,
// Downloads, Public, ProgramData, Program Files (x86), the Windows folder
// ...), the Recycle Bin folders of every drive and the program's own
// folder.
std::vector<std::wstring> SystemProtectedFolders();

// Whether the folder may be removed as a whole: not protected by
// SystemProtectedFolders or alsoProtected, by name or by another spelling
// of the same place.
bool MayRemoveFolder(const std::wstring& folder, const std::vector<std::wstring>& alsoProtected);
// MayRemoveFolder against the system's folders as named at its last look
// (asking afresh only where there was none), opening only the folder and
// alsoProtected: a quick answer for the UI thread. Whatever then removes
// the folder asks MayRemoveFolder again where it works.
bool MayRemoveFolderAsLastSeen(const std::wstring& folder, const std::vector<std::wstring>& alsoProtected);
// Takes that look on a thread of its own, so that the first quick answer
// finds one.
void LookAtProtectedFoldersSoon();

// Two paths name one place: by file identity when both exist, else by
// their full paths ignoring case.
bool SameLocation(const std::wstring& a, const std::wstring& b);

// The system's full path, without trailing separators (a root keeps its).
std::wstring FullPathOf(const std::wstring& path);
