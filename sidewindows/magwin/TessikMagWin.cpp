#include "sidewindows/magwin/TessikMagWin.h"

namespace TessikMagWin
{

void SwitchMagWin(bool) {}
void RefreshContent() {}

} // namespace TessikMagWin
