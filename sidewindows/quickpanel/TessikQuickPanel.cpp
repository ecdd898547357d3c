#include "sidewindows/quickpanel/TessikQuickPanel.h"

namespace TessikQuickPanel
{

void SwitchQuickPanel(bool) {}

} // namespace TessikQuickPanel
