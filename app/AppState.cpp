#include "app/AppState.h"

std::wstring s_iconFontPath;
bool s_isFirstRun = false;
bool s_fontInTempFolder = false;
bool s_boxesHidden = false;
bool s_startingUp = true;

std::wstring s_dataFolder;
bool s_configLoaded = false;
int s_firstRunDataChoice = 0;
int s_groupAlgorithm = 0;
bool s_doubleClickAction = false;
