#include "ui/core/DragDropState.h"

std::vector<std::wstring> s_droppedFiles;
bool s_dragOverAccepted = false;
bool s_dropDelivered = false;
bool s_dragOutActive = false;
RECT s_dragOutRect{};
