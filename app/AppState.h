// Process-wide state of the running program that start-up, configuration
// and the main window share. UI thread only.
#pragma once

#include <string>

// Full path of the icon font registered at start.
extern std::wstring s_iconFontPath;
// No store was found: the data folder is still to be chosen on the
// first-run pages. Cleared when they finish.
extern bool s_isFirstRun;
// The icon font was written to the temporary folder (first run); it is
// removed again when the process ends.
extern bool s_fontInTempFolder;
extern bool s_boxesHidden;
// Set until the stored boxes exist; while set a moved box does not drag the
// rest of its colour group along.
extern bool s_startingUp;

// Data folder (portable or per-user) and whether the stores are loaded.
extern std::wstring s_dataFolder;
extern bool s_configLoaded;
// Written by the first-run pages: 1 keeps the data beside the program.
extern int s_firstRunDataChoice;
// Settings read at load and used by the boxes and icons.
extern int s_groupAlgorithm;
extern bool s_doubleClickAction;
