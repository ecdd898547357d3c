#include "box/fileops/FileWorkerTracker.h"

#include "ui/core/KelmWindow.h"

FileWorkerTracker& FileWorkerTracker::GetInstance()
{
    // Never destroyed: detached workers may still end after main returns.
    static FileWorkerTracker* tracker = new FileWorkerTracker();
    return *tracker;
}

FileWorkerTracker::FileWorkerTracker() : m_idle(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

FileWorkerTracker::~FileWorkerTracker()
{
    if (m_idle)
        CloseHandle(m_idle);
}

FileWorkerTracker::Scope::Scope(FileWorkerTracker& tracker) : m_tracker(tracker)
{
    std::lock_guard lock(m_tracker.m_mutex);
    // A stop asked of the workers that ran then (a quit that could not
    // wait for them and did not happen) does not reach a job started once
    // they have all ended.
    if (m_tracker.m_running == 0) {
        m_tracker.m_cancel = false;
        ResetEvent(m_tracker.m_idle);
    }
    ++m_tracker.m_running;
}

FileWorkerTracker::Scope::~Scope()
{
    std::lock_guard lock(m_tracker.m_mutex);
    if (--m_tracker.m_running == 0) {
        SetEvent(m_tracker.m_idle);
        m_tracker.m_allDone.notify_all();
    }
}

bool FileWorkerTracker::CancelRequested() const
{
    std::lock_guard lock(m_mutex);
    return m_cancel;
}

int FileWorkerTracker::RunningCount() const
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

bool FileWorkerTracker::CancelAndWait(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_cancel = true;
    return m_allDone.wait_for(lock, timeout, [this] { return m_running == 0; });
}

bool FileWorkerTracker::CancelAndWaitAnswering(std::chrono::milliseconds timeout)
{
    if (CancelAndWait(std::chrono::milliseconds(0)))
        return true;
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return RunningCount() == 0;
        const DWORD waited = MsgWaitForMultipleObjectsEx(1, &m_idle, static_cast<DWORD>(end - now),
                                                         QS_SENDMESSAGE | QS_PAINT, MWMO_INPUTAVAILABLE);
        if (waited == WAIT_OBJECT_0 || RunningCount() == 0)
            return true;
        if (waited == WAIT_FAILED)
            return CancelAndWait(std::chrono::milliseconds(end > now ? end - now : 0));
        AnswerSentMessagesAndPaint();
    }
}
