#include "sidewindows/magwin/TessikMagWin.h"

namespace TessikMagWin
{

void SwitchMagWin(bool) {}

} // namespace TessikMagWin
