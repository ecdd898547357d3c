#include "mainwindow/ComponentLibrary.h"

// Placeholder until the library's actions are built.
void ChangeContainerDir() {}
