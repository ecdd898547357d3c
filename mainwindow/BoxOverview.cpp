#include "mainwindow/BoxOverview.h"

// Placeholder until the overview window is built.
void OpenBoxOverview() {}
