#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>

#include "app/LogFiles.h"
#include "app/TempFolder.h"

namespace
{

std::tm MakeTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

void SetLastWrite(const std::wstring& path, std::chrono::system_clock::time_point when)
{
    // FILETIME counts 100 ns steps from 1601; the system clock from 1970.
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
    const unsigned long long ticks = static_cast<unsigned long long>(since1970 / 100) + 116444736000000000ULL;
    FILETIME time{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

} // namespace

TEST(LogFileNames, LineHasModuleTimeLevelAndText)
{
    EXPECT_EQ(FormatLogLine(L"DesktopContainer", L"WARNING", MakeTime(2025, 1, 31, 8, 5, 9), L"收纳 ok"),
              L"[DesktopContainer][2025/01/31 08:05:09][WARNING] 收纳 ok");
    EXPECT_EQ(FormatLogLine(L"", L"INFO", MakeTime(1999, 12, 1, 23, 59, 0), L""), L"[][1999/12/01 23:59:00][INFO] ");
}

TEST(LogFileNames, NumberedByFilesAlreadyWrittenThatDay)
{
    const std::wstring day = LogDatePrefix(MakeTime(2025, 3, 7, 12, 0, 0));
    EXPECT_EQ(day, L"2025_03_07");
    struct Case {
        std::vector<std::wstring> existing;
        std::wstring expected;
    } cases[] = {
        {{}, L"2025_03_07_00.txt"},
        {{L"2025_03_07_00.txt", L"2025_03_07_01.txt"}, L"2025_03_07_02.txt"},
        // Other days, other kinds of file and names that merely hold the
        // date later on do not count.
        {{L"2025_03_06_00.txt", L"2025_03_07_00.log", L"x2025_03_07_00.txt"}, L"2025_03_07_00.txt"},
        {{L"a", L"b", L"2025_03_07_00.txt", L"2025_03_07_01.txt", L"2025_03_07_02.txt", L"2025_03_07_03.txt",
          L"2025_03_07_04.txt", L"2025_03_07_05.txt", L"2025_03_07_06.txt", L"2025_03_07_07.txt", L"2025_03_07_08.txt",
          L"2025_03_07_09.txt"},
         L"2025_03_07_10.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LogFileName(day, CountLogFilesOfDay(c.existing, day)), c.expected);
}

TEST(LogFileNames, ExpiresAfterMoreThan48WholeHours)
{
    using namespace std::chrono;
    EXPECT_FALSE(IsLogFileExpired(hours(47)));
    EXPECT_FALSE(IsLogFileExpired(hours(48)));
    EXPECT_FALSE(IsLogFileExpired(hours(49) - seconds(1)));
    EXPECT_TRUE(IsLogFileExpired(hours(49)));
    EXPECT_FALSE(IsLogFileExpired(-hours(100))); // a clock set back
}

TEST(LogCleanup, RemovesOnlyTheProgramsOwnLogsOlderThan48Hours)
{
    using namespace std::chrono;
    TempFolder folder;
    const auto now = system_clock::now();
    const char* line = "[Tessik][2026/12/01 08:05:09][INFO] Tessik started\r\n";
    const struct {
        const wchar_t* name;
        const char* bytes;
        int hoursOld;
        bool goes;
    } files[] = {
        {L"2026_12_01_00.txt", line, 49, true},
        {L"2026_12_01_01.txt", line, 47, false},
        // The folder may be shown by a box or lead elsewhere: what the
        // logger did not write is the user's.
        {L"2026_12_01_02.txt", "my notes", 100, false},
        {L"report.txt", line, 100, false},
        {L"2026_12_01_03.txt", "", 100, false},
        {L"sub\\2026_12_01_00.txt", line, 100, false},
    };
    std::filesystem::create_directories(folder.Path() / L"sub");
    for (const auto& file : files) {
        TempFolder::WriteBytes(folder.File(file.name), file.bytes);
        SetLastWrite(folder.File(file.name), now - hours(file.hoursOld));
    }

    const LogCleanupResult result = RemoveExpiredLogFiles(folder.Path().wstring(), now);
    EXPECT_TRUE(result.listed);
    EXPECT_EQ(result.removed, 1);
    for (const auto& file : files)
        EXPECT_EQ(std::filesystem::exists(folder.File(file.name)), !file.goes) << std::filesystem::path(file.name);
}

TEST(LogCleanup, MissingFolderIsReportedNotThrown)
{
    TempFolder folder;
    const LogCleanupResult result = RemoveExpiredLogFiles(folder.File(L"absent"), std::chrono::system_clock::now());
    EXPECT_FALSE(result.listed);
    EXPECT_EQ(result.removed, 0);
}
