// State of the first-run pages that the configuration loader reads and
// clears. UI thread only.
#pragma once

// The page shown during the first run; 0 once the flow has finished.
extern int s_firstRunPageState;
// The data page's choice: 1 "当前目录" (beside the program), 0 "AppData".
extern int s_firstRunPageChoice;
