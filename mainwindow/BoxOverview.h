// The window that shows every box on a scaled picture of the screens and
// moves and resizes them all at once. UI thread only.
#pragma once

// Opens the overview, closing an open one first.
void OpenBoxOverview();
