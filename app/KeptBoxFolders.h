// The box folders that clearing user data leaves alone, and the texts that
// tell the user so before and after: a box's folder holds the user's files,
// never the program's data, and must not be left behind without a word.
// Any thread; never throws.
#pragma once

#include <string>
#include <vector>

// The folders of the list that exist, each named once (full path), none
// that lies inside another of them.
std::vector<std::wstring> OutermostFolders(const std::vector<std::wstring>& folders);
// Of those, the ones that hold at least one file at any depth (a link
// counts as a file and is not followed).
std::vector<std::wstring> FoldersHoldingFiles(const std::vector<std::wstring>& folders);

// The question asked once clearing is chosen, naming where the boxes'
// folders stay; empty when there are none on disk.
std::wstring KeptBoxFoldersQuestionText(const std::vector<std::wstring>& boxFolders);
// The message after a clearing that removed all user data, naming the box
// folders that still hold files (at most five, then how many more).
std::wstring UserDataClearedText(const std::vector<std::wstring>& keptFolders);
