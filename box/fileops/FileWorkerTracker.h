// Counts the running copy, move and delete workers so that quitting can ask
// them to stop and wait until none is left half way through a file.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class FileWorkerTracker
{
public:
    // The process-wide tracker the file workers register with.
    static FileWorkerTracker& GetInstance();

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

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_allDone;
    int m_running = 0;
    bool m_cancel = false;
};
