#include "app/Logger.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <iostream>

#include "app/CrashHandler.h"
#include "app/LogFiles.h"
#include "app/StoreTextFormat.h"

Logger& Logger::GetInstance()
{
    static Logger* instance = new Logger();
    return *instance;
}

Logger::~Logger()
{
    Stop();
}

void Logger::Init(const std::wstring& dataFolder)
{
    namespace fs = std::filesystem;
    std::unique_lock lock(m_mutex);
    if (m_file.is_open() || m_stopped || m_started || m_disabled)
        return;

    const fs::path folder = fs::path(dataFolder) / L"logs";
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec)
            m_initProblem = L"Could not create the log folder " + folder.wstring() + L": " + Utf8ToWide(ec.message());
    }

    // A folder that cannot be listed counts as holding no file of today;
    // opening for append then never overwrites an existing file.
    std::vector<std::wstring> names;
    if (m_initProblem.empty()) {
        fs::directory_iterator it(folder, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            std::error_code typeError;
            if (it->is_regular_file(typeError))
                names.push_back(it->path().filename().wstring());
        }
        if (ec)
            m_initProblem = L"Could not list the log folder " + folder.wstring() + L": " + Utf8ToWide(ec.message());
    }
    const std::wstring prefix = LogDatePrefix(LocalTimeOf(std::chrono::system_clock::now()));
    m_logPath = (folder / LogFileName(prefix, CountLogFilesOfDay(names, prefix))).wstring();
    m_file.open(fs::path(m_logPath), std::ios::out | std::ios::app);
    if (!m_file.is_open()) {
        std::cerr << "Fatal: Could not open log file!" << std::endl;
        if (m_initProblem.empty())
            m_initProblem = L"Could not open the log file " + m_logPath;
    }
    // Goes to the file when only the listing failed; queued lines are
    // written after it (the lock is held, so Log cannot be used here).
    if (!m_initProblem.empty())
        m_queue.push_back(
            FormatLogLine(L"Logger", L"WARNING", LocalTimeOf(std::chrono::system_clock::now()), m_initProblem));

    InstallCrashHandler();
    m_writer = std::thread(&Logger::WriterLoop, this);
    m_started = true;
}

void Logger::Disable()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_started)
            return;
        m_disabled = true;
        m_queue.clear();
    }
    InstallCrashHandler();
}

void Logger::Log(const std::wstring& module, const std::wstring& level, const std::wstring& text)
{
    std::wstring line = FormatLogLine(module, level, LocalTimeOf(std::chrono::system_clock::now()), text);
    {
        std::lock_guard lock(m_mutex);
        if (m_disabled)
            return;
        m_queue.push_back(std::move(line));
    }
    m_wake.notify_one();
}

void Logger::Flush()
{
    std::lock_guard lock(m_mutex);
    DrainQueueLocked();
    if (m_file.is_open())
        m_file.flush();
}

void Logger::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return;
        m_stopped = true;
    }
    m_wake.notify_all();
    if (m_writer.joinable())
        m_writer.join();
    std::lock_guard lock(m_mutex);
    if (m_file.is_open())
        m_file.close();
}

void Logger::WriterLoop()
{
    try {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return !m_queue.empty() || m_stopped; });
            DrainQueueLocked();
            if (m_stopped)
                return;
        }
    } catch (...) {
        // Nothing can be reported when the logger itself fails.
    }
}

void Logger::DrainQueueLocked()
{
    while (!m_queue.empty()) {
        const std::wstring line = std::move(m_queue.front());
        m_queue.pop_front();
        WriteLineLocked(line);
    }
}

void Logger::WriteLineLocked(const std::wstring& line)
{
    if (!m_file.is_open())
        return; // a file that could not be opened drops its lines
    m_file << WideToUtf8(line) << '\n';
    m_file.flush();
}

std::wstring Logger::WriteLinesForCrash(const std::vector<std::wstring>& lines)
{
    // Written once by Init before the crash handler is installed, so it can
    // be read without the lock.
    const std::wstring path = m_logPath;
    try {
        std::unique_lock lock(m_mutex, std::defer_lock);
        if (lock.try_lock_for(std::chrono::milliseconds(1000)) && m_file.is_open()) {
            DrainQueueLocked();
            for (const std::wstring& line : lines)
                WriteLineLocked(line);
            m_file.flush();
            return path;
        }
        // Without the lock (or after Stop) the stream may be in use or
        // closed: append through a handle of our own instead.
        if (path.empty())
            return path;
        HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return path;
        for (const std::wstring& line : lines) {
            const std::string bytes = WideToUtf8(line) + "\r\n";
            DWORD written = 0;
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        }
        FlushFileBuffers(file);
        CloseHandle(file);
    } catch (...) {
    }
    return path;
}

std::wstring Logger::LogPath() const
{
    std::lock_guard lock(m_mutex);
    return m_logPath;
}

std::wstring Logger::InitProblem() const
{
    std::lock_guard lock(m_mutex);
    return m_initProblem;
}

bool Logger::IsFileOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_file.is_open();
}
