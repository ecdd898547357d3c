// Logger: one text file per start in "<data folder>\logs", written as UTF-8
// by a writer thread. Log may be called on any thread; the line is stamped
// with the local time of the call and queued.
#pragma once

#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Logger
{
public:
    // Created on first use and never destroyed, so lines may be logged from
    // static destructors and worker threads until the process ends.
    static Logger& GetInstance();

    // Opens this start's log file, installs the crash handler and starts the
    // writer. Throws std::system_error when the thread cannot start.
    void Init(const std::wstring& dataFolder);
    // "不记录日志": instead of Init, no log file is opened and every line,
    // those queued before too, is dropped; the crash handler is installed
    // all the same.
    void Disable();
    void Log(const std::wstring& module, const std::wstring& level, const std::wstring& text);
    // Writes every queued line on the calling thread.
    void Flush();
    // Writes what is queued, ends the writer and closes the file. Lines
    // logged afterwards are never written.
    void Stop();

    // Crash path: drains the queue, then appends the lines directly. The lock
    // is only tried for a bounded time (the crash may have happened on the
    // writer thread, or while another thread held it); without it the lines
    // are appended through a handle of their own. Returns the log path (empty
    // when there is no log file). Never throws.
    std::wstring WriteLinesForCrash(const std::vector<std::wstring>& lines);

    std::wstring LogPath() const;
    bool IsFileOpen() const;
    // What went wrong in Init (the log folder could not be created or
    // listed, the file could not be opened), or empty text.
    std::wstring InitProblem() const;

    // The program uses GetInstance; tests make loggers of their own.
    Logger() = default;
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

private:
    void WriterLoop();
    // Caller holds m_mutex.
    void DrainQueueLocked();
    void WriteLineLocked(const std::wstring& line);

    // Recursive so that a crash on the writer thread, which holds the lock
    // while it writes, can still take it in the crash handler.
    mutable std::recursive_timed_mutex m_mutex;
    std::condition_variable_any m_wake;
    std::deque<std::wstring> m_queue;
    bool m_stopped = false;
    bool m_started = false;
    bool m_disabled = false;
    std::thread m_writer;
    std::ofstream m_file;
    std::wstring m_logPath;
    std::wstring m_initProblem;
};
