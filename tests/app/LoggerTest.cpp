#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "app/CrashHandler.h"
#include "app/LogFiles.h"
#include "app/Logger.h"
#include "app/TempFolder.h"

namespace
{

std::wstring Today()
{
    return LogDatePrefix(LocalTimeOf(std::chrono::system_clock::now()));
}

// Lines of the file without their CR LF endings.
std::vector<std::string> ReadLines(const std::wstring& path)
{
    const std::string bytes = TempFolder::ReadBytes(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos)
            end = bytes.size();
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

TEST(Logger, ThirdStartOfTheDayWritesFile02)
{
    TempFolder folder;
    std::filesystem::create_directories(folder.Path() / L"logs");
    TempFolder::WriteBytes(folder.File(L"logs\\" + Today() + L"_00.txt"), "a\r\n");
    TempFolder::WriteBytes(folder.File(L"logs\\" + Today() + L"_01.txt"), "b\r\n");
    Logger logger;
    logger.Init(folder.Path().wstring());
    EXPECT_EQ(logger.LogPath(), folder.File(L"logs\\" + Today() + L"_02.txt"));
    EXPECT_TRUE(logger.IsFileOpen());
}

TEST(Logger, LinesBeforeInitAndAfterAreWrittenInOrderAsUtf8)
{
    TempFolder folder;
    Logger logger;
    logger.Log(L"M", L"INFO", L"before");
    logger.Init(folder.Path().wstring()); // creates "logs"
    EXPECT_EQ(logger.InitProblem(), L"");
    logger.Log(L"M", L"ERROR", L"收纳盒");
    logger.Stop();

    const auto lines = ReadLines(logger.LogPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("[M][", 0), 0u);
    EXPECT_TRUE(EndsWith(lines[0], "][INFO] before"));
    EXPECT_TRUE(EndsWith(lines[1], "][ERROR] \xE6\x94\xB6\xE7\xBA\xB3\xE7\x9B\x92"));
    // "[M][YYYY/MM/DD HH:MM:SS][" : the time sits between fixed brackets.
    EXPECT_EQ(lines[0][4 + 19], ']');
}

TEST(Logger, StopWritesEverythingQueuedAndLaterLinesAreDropped)
{
    TempFolder folder;
    Logger logger;
    logger.Init(folder.Path().wstring());
    for (int i = 0; i < 200; ++i)
        logger.Log(L"M", L"INFO", std::to_wstring(i));
    logger.Stop();
    logger.Log(L"M", L"INFO", L"after stop");
    logger.Flush();
    logger.Stop(); // a second stop does nothing

    const auto lines = ReadLines(logger.LogPath());
    ASSERT_EQ(lines.size(), 200u);
    EXPECT_TRUE(EndsWith(lines[199], "] 199"));
}

TEST(Logger, FolderThatCannotBeCreatedDropsLinesWithoutThrowing)
{
    TempFolder folder;
    // A file where the data folder should be: "logs" cannot be made in it.
    TempFolder::WriteBytes(folder.File(L"blocked"), "x");
    Logger logger;
    EXPECT_NO_THROW(logger.Init(folder.File(L"blocked")));
    EXPECT_FALSE(logger.IsFileOpen());
    // The loader tells the user what went wrong.
    EXPECT_EQ(logger.InitProblem().rfind(L"Could not create the log folder ", 0), 0u) << logger.InitProblem();
    logger.Log(L"M", L"INFO", L"dropped");
    EXPECT_NO_THROW(logger.Flush());
}

TEST(LoggerCrashPath, QueuedLinesComeBeforeTheCrashLines)
{
    TempFolder folder;
    Logger logger;
    logger.Init(folder.Path().wstring());
    logger.Log(L"M", L"INFO", L"queued");
    logger.WriteLinesForCrash({L"fatal line"});
    const auto lines = ReadLines(logger.LogPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(EndsWith(lines[0], "] queued"));
    EXPECT_EQ(lines[1], "fatal line");
}

TEST(LoggerCrashPath, AppendsThroughItsOwnHandleOnceTheStreamIsClosed)
{
    TempFolder folder;
    Logger logger;
    logger.Init(folder.Path().wstring());
    logger.Log(L"M", L"INFO", L"first");
    logger.Stop();
    const std::wstring path = logger.WriteLinesForCrash({L"fatal after stop", L"收"});
    EXPECT_EQ(path, logger.LogPath());
    const auto lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "fatal after stop");
    EXPECT_EQ(lines[2], "\xE6\x94\xB6");
}

TEST(CrashLine, NamesCodeAddressFunctionAndDisplacement)
{
    EXPECT_EQ(FormatCrashLine(0xC0000005, 0x7FF612345678ULL, L"Crash", 0x1A),
              L"Unhandled Exception (Code: 0xC0000005) at address 0x7FF612345678. Function: Crash + 0x1A");
    EXPECT_EQ(FormatCrashLine(0, 0, L"UnknownFunction", 0),
              L"Unhandled Exception (Code: 0x0) at address 0x0. Function: UnknownFunction + 0x0");
    EXPECT_LE(FormatCrashLine(1, 1, std::wstring(2000, L'x'), 1).size(), 511u);
}
