#include "box/fileops/FileWorkerTracker.h"

FileWorkerTracker& FileWorkerTracker::GetInstance()
{
    // Never destroyed: detached workers may still end after main returns.
    static FileWorkerTracker* tracker = new FileWorkerTracker();
    return *tracker;
}

FileWorkerTracker::Scope::Scope(FileWorkerTracker& tracker) : m_tracker(tracker)
{
    std::lock_guard lock(m_tracker.m_mutex);
    // A stop asked of the workers that ran then (a quit that could not
    // wait for them and did not happen) does not reach a job started once
    // they have all ended.
    if (m_tracker.m_running == 0)
        m_tracker.m_cancel = false;
    ++m_tracker.m_running;
}

FileWorkerTracker::Scope::~Scope()
{
    std::lock_guard lock(m_tracker.m_mutex);
    if (--m_tracker.m_running == 0)
        m_tracker.m_allDone.notify_all();
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
