// Counts the running copy, move and delete workers so that quitting can ask
// them to stop and wait until none is left half way through a file.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

class FileWorkerTracker
{
public:
    // The process-wide tracker the file workers register with.
    static FileWorkerTracker& GetInstance();

    FileWorkerTracker();
    ~FileWorkerTracker();
    FileWorkerTracker(const FileWorkerTracker&) = delete;
    FileWorkerTracker& operator=(const FileWorkerTracker&) = delete;

    // Held by a worker thread for as long as it runs.
    class Scope
    {
    public:
        explicit Scope(FileWorkerTracker& tracker);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        FileWorkerTracker& m_tracker;
    };

    // Workers poll this between (and inside) files and stop cleanly.
    bool CancelRequested() const;
    int RunningCount() const;
    // Asks every worker to stop and waits at most the timeout for them to
    // end; true when none is left. Any thread but a worker's own.
    bool CancelAndWait(std::chrono::milliseconds timeout);
    // The same on the UI thread: meanwhile what other threads send is
    // answered and the windows paint. A worker's shell question belongs to
    // a window of that thread and cannot end without it; input and timers
    // wait in the queue.
    bool CancelAndWaitAnswering(std::chrono::milliseconds timeout);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_allDone;
    int m_running = 0;
    bool m_cancel = false;
    // Set while no worker runs.
    HANDLE m_idle = nullptr;
};
