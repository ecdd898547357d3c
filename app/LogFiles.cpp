#include "app/LogFiles.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
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

// "NNNN_NN_NN_NN.txt" with two or more digits at the end, any case of the
// extension.
bool HasLogFileName(const std::wstring& name)
{
    const size_t dot = name.size() >= 4 ? name.size() - 4 : 0;
    if (name.size() < 17 || _wcsicmp(name.c_str() + dot, L".txt") != 0)
        return false;
    for (size_t i = 0; i < dot; ++i) {
        const bool separator = i == 4 || i == 7 || i == 10;
        if (separator ? name[i] != L'_' : !std::iswdigit(name[i]))
            return false;
    }
    return true;
}

// The bytes begin as FormatLogLine's lines do: "[module][" then the time in
// its fixed shape, then "][LEVEL] ".
bool BeginsAsLogLine(const std::string& bytes)
{
    if (bytes.empty() || bytes[0] != '[')
        return false;
    const size_t close = bytes.find("][", 1);
    if (close == std::string::npos || bytes.find_first_of("\r\n", 1) < close)
        return false;
    const char* shape = "0000/00/00 00:00:00][";
    size_t at = close + 2;
    for (const char* c = shape; *c; ++c, ++at) {
        if (at >= bytes.size() || (*c == '0' ? !std::isdigit(static_cast<unsigned char>(bytes[at])) : bytes[at] != *c))
            return false;
    }
    const size_t levelEnd = bytes.find("] ", at);
    if (levelEnd == std::string::npos || levelEnd == at)
        return false;
    for (size_t i = at; i < levelEnd; ++i) {
        if (!std::isupper(static_cast<unsigned char>(bytes[i])))
            return false;
    }
    return true;
}

} // namespace

bool IsProgramLogFile(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    if (!HasLogFileName(slash == std::wstring::npos ? path : path.substr(slash + 1)))
        return false;
    // A link listed as a plain file would take the file behind it.
    if (!EntryIsItself(path))
        return false;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string bytes(96, '\0');
    DWORD read = 0;
    const bool ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) != FALSE;
    CloseHandle(file);
    bytes.resize(ok ? read : 0);
    return BeginsAsLogLine(bytes);
}

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
        // The folder may hold the user's own files too (a box may show it,
        // it may lead elsewhere): only the program's own logs go.
        if (!IsLogFileExpired(now - writtenSystem) || !IsProgramLogFile(it->path().wstring()))
            ++result.kept;
        else if (fs::remove(it->path(), entryError) && !entryError)
            ++result.removed;
        else
            ++result.kept;
    }
    return result;
}
