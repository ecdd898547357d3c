// Undo and redo move files on a file job and land on the UI thread: a test
// that asks for one waits (bounded) until it has landed. A step asked while
// another job runs is refused at once, and nothing is waited for.
#pragma once

#include "box/fileops/FileJobProgress.h"
#include "box/fileops/UndoRedo.h"
#include "common/WindowTestSupport.h"

inline bool WaitForUndoStep(bool undo, const std::shared_ptr<KelmWindow>& box,
                            const std::shared_ptr<KelmWindow>& target = nullptr)
{
    const bool jobBefore = s_copyProgress.busy;
    if (undo)
        UndoLastFileOperation(box, target);
    else
        RedoLastFileOperation(box, target);
    return jobBefore || PumpUntil([] { return !s_copyProgress.busy; }, 30000);
}

inline bool UndoAndWait(const std::shared_ptr<KelmWindow>& box, const std::shared_ptr<KelmWindow>& target = nullptr)
{
    return WaitForUndoStep(true, box, target);
}

inline bool RedoAndWait(const std::shared_ptr<KelmWindow>& box, const std::shared_ptr<KelmWindow>& target = nullptr)
{
    return WaitForUndoStep(false, box, target);
}
