// The notice that a protected place was kept names the folder as the user
// knows it, not in the store's escaped spelling.
#include <gtest/gtest.h>

#include "app/StoreTextFormat.h"
#include "box/BoxDeletion.h"
#include "box/BoxFolderNames.h"

TEST(ProtectedPlaceText, NamesTheFolderWithSingleSeparators)
{
    const std::wstring text = ProtectedFolderKeptText(L"C:\\\\Users\\\\me\\\\Desktop", L"收纳盒");
    EXPECT_NE(text.find(L"“C:\\Users\\me\\Desktop”"), std::wstring::npos) << text;
    EXPECT_NE(ProtectedFolderKeptText(L"C:\\\\", L"收纳盒").find(L"“C:\\”"), std::wstring::npos);
}

// A drive or share root, or a path ending in a separator, has no name
// after its last separator: the notice names the path, never “”.
TEST(ProtectedPlaceText, KeptEntriesWithoutANameAreNamedByTheirPath)
{
    BoxFolderNames names;
    names.Add(L"F:\\", FolderRelation::VolumeRoot);
    names.Add(L"\\\\server\\share\\", FolderRelation::VolumeRoot);
    names.Add(L"C:\\work\\reports\\", FolderRelation::SameOrHolding);
    const std::wstring text = names.Text(L"放进这个收纳盒");
    EXPECT_EQ(text.find(L"“”"), std::wstring::npos) << WideToUtf8(text);
    for (const wchar_t* named : {L"“F:\\”", L"“\\\\server\\share”", L"“C:\\work\\reports”", L"根目录"})
        EXPECT_NE(text.find(named), std::wstring::npos) << WideToUtf8(named);
}
