#include "box/BoxServices.h"

#include "app/Logger.h"

namespace TessikDesktopContainer
{

void CreateCom(std::wstring id, std::wstring targetFolder, bool, int)
{
    Logger::GetInstance().Log(L"DesktopContainer", L"INFO",
                              L"Box " + id + L" (" + targetFolder + L") is stored; box windows are not built yet.");
}

} // namespace TessikDesktopContainer

void ToggleAllBoxesVisible() {}
