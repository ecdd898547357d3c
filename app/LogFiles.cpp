#include "app/LogFiles.h"

#include <cwchar>
#include <filesystem>

#include "app/FileRemoval.h"

namespace
{

std::wstring FormatTime(const wchar_t* format, const std::tm& localTime)
{
    wchar_t text[64];
    const size_t length = std::wcsftime(text, 64, format, &localTime);
    return std::wstring(text, length);
}

} // namespace

std::wstring FormatLogLine(const std::wstring& module, const std::wstring& level, const std::tm& localTime,
                           const std::wstring& text)
{
    std::wstring line;
    line.reserve(module.size() + level.size() + text.size() + 30);
    line += L"[";
    line += module;
    line += L"][";
    line += FormatTime(L"%Y/%m/%d %H:%M:%S", localTime);
    line += L"][";
    line += level;
    line += L"] ";
    line += text;
    return line;
}

std::wstring LogDatePrefix(const std::tm& localTime)
{
    return FormatTime(L"%Y_%m_%d", localTime);
}

int CountLogFilesOfDay(const std::vector<std::wstring>& fileNames, const std::wstring& datePrefix)
{
    int count = 0;
    for (const std::wstring& name : fileNames) {
        if (name.compare(0, datePrefix.size(), datePrefix) == 0 && name.find(L".txt") != std::wstring::npos)
            ++count;
    }
    return count;
}

std::wstring LogFileName(const std::wstring& datePrefix, int countSoFar)
{
    wchar_t number[16];
    std::swprintf(number, 16, L"%02d", countSoFar);
    return datePrefix + L"_" + number + L".txt";
}

bool IsLogFileExpired(std::chrono::system_clock::duration age)
{
    return std::chrono::duration_cast<std::chrono::hours>(age).count() > 48;
}

std::tm LocalTimeOf(std::chrono::system_clock::time_point when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_s(&local, &seconds);
    return local;
}

LogCleanupResult RemoveExpiredLogFiles(const std::wstring& folder, std::chrono::system_clock::time_point now)
{
    namespace fs = std::filesystem;
    LogCleanupResult result;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        result.listed = false;
        return result;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            result.listed = false;
            break;
        }
        std::error_code entryError;
        if (!it->is_regular_file(entryError) || entryError)
            continue;
        const fs::file_time_type written = it->last_write_time(entryError);
        if (entryError) {
            ++result.kept;
            continue;
        }
        // file_time_type counts from another epoch than the system clock;
        // shift by the difference of the two clocks' "now".
        const auto writtenSystem = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            written - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
        // A link listed as a plain file would take the file behind it.
        if (IsLogFileExpired(now - writtenSystem) && EntryIsItself(it->path().wstring()) &&
            fs::remove(it->path(), entryError) && !entryError)
            ++result.removed;
        else
            ++result.kept;
    }
    return result;
}
