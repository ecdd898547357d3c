// The component library page's card actions and the default box folder
// choice behind the settings page's "修改". UI thread only.
#pragma once

// Lets the user choose the default folder of new boxes ("containerDir").
void ChangeContainerDir();
