// Backups of the four store files. UI thread only.
#pragma once

// The 60 000 ms thread-timer step that counts towards the automatic
// backup. Minimal for now: backups are not built yet.
void AutoBackupTick();
