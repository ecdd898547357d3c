// The start takes away only the part files a job recorded and no job holds,
// and tells of a folder move that a run cut off half way.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/StoreTextFormat.h"
#include "app/TempFolder.h"
#include "box/fileops/PartFileJournal.h"

namespace fs = std::filesystem;

namespace
{

class PartFileJournalTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(temp.File(L"parts"));
        fs::create_directories(temp.File(L"box"));
    }
    std::wstring Box(const std::wstring& name) { return temp.File(L"box\\" + name); }
    // What a run that was killed mid-job leaves: its journal, nobody
    // holding it.
    void LeaveJournal(const std::wstring& token, const std::string& lines)
    {
        TempFolder::WriteBytes(temp.File(L"parts\\" + token + L".tessik-job"), lines);
    }
    std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }
    TempFolder temp;
};

} // namespace

TEST_F(PartFileJournalTest, TheStartRemovesOnlyTheRecordedPartFilesOfAJobThatNoLongerRuns)
{
    TempFolder::WriteBytes(Box(L"movie.mkv.0123456789ab-c0de.tessik-part"), "half");
    TempFolder::WriteBytes(Box(L"other.0123456789ac-c0de.tessik-part"), "not this job's");
    TempFolder::WriteBytes(Box(L"notes.1a2b3c.tessik-part"), "the user's");
    TempFolder::WriteBytes(temp.File(L"elsewhere.0123456789ab-c0de.tessik-part"), "not in a folder it names");
    LeaveJournal(L"0123456789ab", "folder\t" + Utf8(Box(L"")) + "\n");
    // A job that runs now holds its journal: its part file stays.
    PartFileJournal running(temp.File(L"parts"));
    const std::wstring writing = running.Claim(Box(L"song.mp3"));
    TempFolder::WriteBytes(writing, "being written");

    EXPECT_EQ(PartFileJournal::SweepLeftovers(temp.File(L"parts")), L"");
    EXPECT_FALSE(fs::exists(Box(L"movie.mkv.0123456789ab-c0de.tessik-part")));
    EXPECT_TRUE(fs::exists(Box(L"other.0123456789ac-c0de.tessik-part")));
    EXPECT_TRUE(fs::exists(Box(L"notes.1a2b3c.tessik-part")));
    EXPECT_TRUE(fs::exists(temp.File(L"elsewhere.0123456789ab-c0de.tessik-part")));
    EXPECT_TRUE(fs::exists(writing));
    EXPECT_FALSE(fs::exists(temp.File(L"parts\\0123456789ab.tessik-job"))) << "the record goes with its files";
    running.Release(writing, true);
    fs::remove(writing);
}

TEST_F(PartFileJournalTest, AFolderMoveCutOffHalfWayIsToldOnceWithBothFolders)
{
    const std::wstring source = temp.File(L"source\\photos"), destination = Box(L"photos");
    fs::create_directories(destination);
    TempFolder::WriteBytes(destination + L"\\a.jpg.0123456789ab-beef.tessik-part", "half");
    LeaveJournal(L"0123456789ab",
                 "folder\t" + Utf8(destination) + "\nmove\t" + Utf8(source) + "\t" + Utf8(destination) + "\n");
    // A move that ended is not told.
    LeaveJournal(L"0123456789ac",
                 "move\t" + Utf8(source) + "\t" + Utf8(Box(L"done")) + "\nended\t" + Utf8(Box(L"done")) + "\n");

    const std::wstring text = PartFileJournal::SweepLeftovers(temp.File(L"parts"));
    EXPECT_NE(text.find(L"“" + destination + L"”中只有移过去的部分内容"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"“" + source + L"”仍保留全部内容"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(Box(L"done")), std::wstring::npos) << text;
    EXPECT_FALSE(fs::exists(destination + L"\\a.jpg.0123456789ab-beef.tessik-part"));
    EXPECT_TRUE(fs::is_empty(temp.File(L"parts")));
    EXPECT_EQ(PartFileJournal::SweepLeftovers(temp.File(L"parts")), L"");
}
