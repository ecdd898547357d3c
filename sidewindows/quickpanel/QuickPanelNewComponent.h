// New components from the panel's sidebar buttons: "test-plus" offers the
// three box kinds, "test-cuteghost" makes a hidden box. Both flows are not
// built yet: the buttons show and do nothing. UI thread only.
#pragma once

namespace TessikQuickPanel
{

void ShowNewComponentChooser();
void CreateHiddenBoxFromPanel();

} // namespace TessikQuickPanel
