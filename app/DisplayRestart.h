// Restarting the program when the screen size or DPI changes, so every
// window is laid out again for the new screen. UI thread only.
#pragma once

#include <cstdint>
#include <functional>

struct RestartState {
    int width = 0; // 0: nothing recorded yet
    int height = 0;
    float scale = 0;
    uint64_t tick = 0;
};

// Decides on one display change; records what it has to in the state.
// True when the program must restart now.
bool DecideDisplayRestart(RestartState& state, int width, int height, double dpiScale, bool leftButtonDown,
                          uint64_t nowTick);

// Called on WM_DISPLAYCHANGE and by the box creator. Starts a new process
// with "--restart" and ends this one when the decision says so; when the
// new process does not start, this one stays and logs an ERROR line.
void RestartOnDisplayChange();

// Starts the program file again with "--restart". False when it did not
// start (logged).
bool StartRestartedProcess();

// Writes the queued log lines and ends the process at once.
[[noreturn]] void EndProcessNow(int exitCode);

// What the program's own restarts (a display change, a restore) let go of
// before the new process starts, as a quit does: the file jobs stop and
// the undo lists' kept copies leave, told. Set by the entry (they are the
// file operations'); false when a job would not stop.
extern std::function<bool()> s_beforeOwnRestart;
// Runs it; true when this process may end as cleanly as a quit.
bool LetGoBeforeOwnRestart();
// Ends the process for its own restart: after a clean let-go its marks on
// the temporary folders go as at a quit, so the next start does not take
// the end for a crash.
[[noreturn]] void EndForOwnRestart(bool clean);
