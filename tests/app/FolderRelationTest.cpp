// Whether an entry is a folder or holds it, known by what the entry is:
// another drive letter, a short name or a path through a link still name
// the folder; a neighbour, a file inside or a missing entry do not.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/FolderRelation.h"
#include "app/StoreTextFormat.h"
#include "app/TempFolder.h"
#include "common/OtherSpellings.h"

namespace fs = std::filesystem;

TEST(FolderRelation, AFolderIsKnownHoweverItIsSpelled)
{
    TempFolder temp;
    const std::wstring above = temp.File(L"Long Folder Name");
    const std::wstring folder = above + L"\\box";
    fs::create_directories(folder + L"\\inside");
    fs::create_directories(temp.File(L"neighbour"));
    TempFolder::WriteBytes(temp.File(L"a.txt"), "a");
    const ResolvedFolder resolved = ResolveFolder(folder);

    const std::wstring otherDrive = ThroughOtherDrive(folder);
    const std::wstring shortName = ByShortName(above);
    const std::wstring linked = ThroughLinkedParent(above, temp.File(L"link"));
    ASSERT_FALSE(otherDrive.empty());
    for (const std::wstring& same :
         {folder, above, temp.Path().wstring(), otherDrive, ThroughOtherDrive(above), shortName,
          shortName.empty() ? L"" : shortName + L"\\box", linked, linked.empty() ? L"" : linked + L"\\box"}) {
        if (!same.empty()) {
            EXPECT_EQ(RelationOf(same, resolved), FolderRelation::SameOrHolding) << WideToUtf8(same);
        }
    }
    for (const std::wstring& other : {folder + L"\\inside", temp.File(L"neighbour"), temp.File(L"a.txt"),
                                      temp.File(L"missing"), ThroughOtherDrive(temp.File(L"neighbour"))})
        EXPECT_EQ(RelationOf(other, resolved), FolderRelation::Unrelated) << WideToUtf8(other);
}

TEST(FolderRelation, AMissingFolderIsKnownByItsSpellingAndThatOfWhatHoldsIt)
{
    TempFolder temp;
    const ResolvedFolder resolved = ResolveFolder(temp.File(L"gone\\box"));
    EXPECT_EQ(RelationOf(temp.File(L"gone"), resolved), FolderRelation::SameOrHolding);
    // The store's doubled separators and another case name it too.
    const ResolvedFolder stored = ResolveFolder(L"C:\\\\Users\\\\Me\\\\box");
    EXPECT_EQ(RelationOf(L"c:\\users\\me", stored), FolderRelation::SameOrHolding);
    EXPECT_EQ(RelationOf(L"C:\\Users\\Mel", stored), FolderRelation::Unrelated);
    // What holds the missing folder's existing parent is known by identity.
    EXPECT_EQ(RelationOf(ThroughOtherDrive(temp.Path().wstring()), resolved), FolderRelation::SameOrHolding);
    EXPECT_EQ(RelationOf(L"", resolved), FolderRelation::Unrelated);
    EXPECT_EQ(RelationOf(temp.Path().wstring(), ResolveFolder(L"")), FolderRelation::Unrelated);
}
