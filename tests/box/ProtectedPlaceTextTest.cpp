// The notice that a protected place was kept names the folder as the user
// knows it, not in the store's escaped spelling.
#include <gtest/gtest.h>

#include "box/BoxDeletion.h"

TEST(ProtectedPlaceText, NamesTheFolderWithSingleSeparators)
{
    const std::wstring text = ProtectedFolderKeptText(L"C:\\\\Users\\\\me\\\\Desktop", L"收纳盒");
    EXPECT_NE(text.find(L"“C:\\Users\\me\\Desktop”"), std::wstring::npos) << text;
    EXPECT_NE(ProtectedFolderKeptText(L"C:\\\\", L"收纳盒").find(L"“C:\\”"), std::wstring::npos);
}
