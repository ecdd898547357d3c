// Where the file workers hand their results to the UI thread: a message
// window of its own that lives as long as the program, so that a result
// never waits on a box window that went while its job ran.
#pragma once

#include <functional>

class FileJobMailbox
{
public:
    // UI thread: makes the window once; false when it cannot be made (no
    // job may start then, its results could not come back).
    static bool Open();
    // Any thread: the function runs on the UI thread, in posting order.
    static void Post(std::function<void()> callback);
    // UI thread: runs at once what has been posted so far, as its message
    // would a moment later.
    static void TakeWaiting();
};
