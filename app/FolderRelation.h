// Whether an entry is a given folder or holds it, asked of the system and
// not of the spelling: the same folder reached through another drive
// letter, its short name or a link is still that folder. A folder is
// resolved once (ResolveFolder) and then asked about many entries. Any
// thread; never throws.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What is known of a folder for those questions: the comparable spellings
// of the folder (as written and as the system names it) and the identity
// of the folder and of every folder above it, along both spellings. An
// entry of the written path that is a link counts both as the link and as
// what it leads to: moving the link away takes the folder from that path.
struct ResolvedFolder {
    std::vector<std::wstring> spellings;
    std::vector<BY_HANDLE_FILE_INFORMATION> chain;
    // Comparable final paths of the folder and the folders above it.
    std::vector<std::wstring> finalChain;
};
ResolvedFolder ResolveFolder(const std::wstring& folder);

// Unrelated: the entry is not the folder and does not hold it.
// SameOrHolding: it is, by spelling, file identity or final path.
// CannotTell: the entry exists but the system would not say what it is.
// VolumeRoot: the entry is the root of a volume or share (IsVolumeRoot),
// which nothing moves or removes whatever it holds; RelationOf never
// answers it, the guards that ask about roots too do.
// ProgramOwn: the entry is where the program keeps its own data (its data
// folder's contents, a box root's ".data"), or lies inside it; only the
// guards told of those folders answer it.
enum class FolderRelation { Unrelated, SameOrHolding, CannotTell, VolumeRoot, ProgramOwn };
FolderRelation RelationOf(const std::wstring& entry, const ResolvedFolder& folder);

// One look at an entry (its full path and attributes) that several
// questions about it share: many entries asked about several folders cost
// one attribute read each.
struct EntryLook {
    std::wstring full;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    // Why the attributes could not be read.
    DWORD error = 0;
};
EntryLook LookAtEntry(const std::wstring& entry);
FolderRelation RelationOf(const EntryLook& entry, const ResolvedFolder& folder);

// The spelling rule alone: candidate names the folder or one above it
// (both comparable paths, ComparablePath).
bool SpelledSameOrAbove(const std::wstring& candidate, const std::wstring& folder);
