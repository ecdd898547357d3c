#include "mainwindow/FirstRunPages.h"

int s_firstRunPageState = 0;
int s_firstRunPageChoice = 0;
