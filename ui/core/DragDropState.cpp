#include "ui/core/DragDropState.h"

#include <ole2.h>

#include "ui/core/DropOutcome.h"

std::vector<std::wstring> s_droppedFiles;
bool s_dragOverAccepted = false;
bool s_dropDelivered = false;
bool s_dragOutActive = false;
RECT s_dragOutRect{};
DWORD s_dropAllowedEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
bool s_dropCtrlHeld = false;
std::shared_ptr<DropOutcome> s_dropOutcome;
