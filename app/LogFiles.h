// Names, line format and clean-up of the per-start log files. The text
// functions are pure so the naming rules can be checked without a disk.
#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

// "[module][2025/01/31 08:05:09][LEVEL] text", without the line feed.
std::wstring FormatLogLine(const std::wstring& module, const std::wstring& level, const std::tm& localTime,
                           const std::wstring& text);

// The day part of a log file name: "%Y_%m_%d".
std::wstring LogDatePrefix(const std::tm& localTime);

// How many of the names belong to the day: they begin with the day's prefix
// and hold ".txt".
int CountLogFilesOfDay(const std::vector<std::wstring>& fileNames, const std::wstring& datePrefix);

// "<prefix>_NN.txt"; the first file of a day is _00.
std::wstring LogFileName(const std::wstring& datePrefix, int countSoFar);

// A log file goes once its age in whole hours is above 48.
bool IsLogFileExpired(std::chrono::system_clock::duration age);

// Local time of now, or of a given time point.
std::tm LocalTimeOf(std::chrono::system_clock::time_point when);

// Result of removing old logs from a folder.
struct LogCleanupResult {
    bool listed = true; // false when the folder could not be read
    int removed = 0;
    int kept = 0;
};

// A file the logger wrote: a plain file (not a link) with a name the logger
// gives and a first line the logger writes. The log folder may hold other
// files (a box may show it, it may be a link to another folder): those are
// never the program's to remove.
bool IsProgramLogFile(const std::wstring& path);

// Removes the program's log files (not subfolders, not other files) of the
// folder whose last write lies more than 48 whole hours before now. Never
// throws; a file that cannot be removed stays.
LogCleanupResult RemoveExpiredLogFiles(const std::wstring& folder, std::chrono::system_clock::time_point now);
