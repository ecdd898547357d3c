// Drag-and-drop state shared by the framework windows and the boxes.
// UI thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// Paths of the drag that last entered a framework window.
extern std::vector<std::wstring> s_droppedFiles;
// An accepted file drag is over a framework window.
extern bool s_dragOverAccepted;
// A drag entered or dropped; hover events pause while animations run.
extern bool s_dropDelivered;
// A drag out of the program runs; left-button releases are ignored.
extern bool s_dragOutActive;
// Screen rectangle of the drag-out source window; all zero otherwise.
extern RECT s_dragOutRect;
// The effects the source of the current drag allows (DROPEFFECT_*), and
// whether Ctrl was held when it was dropped.
extern DWORD s_dropAllowedEffects;
extern bool s_dropCtrlHeld;

class DropOutcome;
// The answer of the drop being delivered; set only while its window handles
// it. A handler that takes the drop calls Take on it and keeps it until its
// work has ended (then Finish); the drop target answers the source from it.
extern std::shared_ptr<DropOutcome> s_dropOutcome;
