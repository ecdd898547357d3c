#include "app/Backup.h"

void AutoBackupTick() {}
