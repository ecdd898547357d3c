#include "sidewindows/quickpanel/QuickPanelNewComponent.h"

namespace TessikQuickPanel
{

void ShowNewComponentChooser() {}

void CreateHiddenBoxFromPanel() {}

} // namespace TessikQuickPanel
