#include <gtest/gtest.h>

#include "app/IconFontFile.h"
#include "app/TempFolder.h"

TEST(IconFontFile, WritesTheEmbeddedFontAsIs)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"font.ttf");
    ASSERT_EQ(WriteIconFontFile(GetModuleHandleW(nullptr), path), IconFontWriteResult::Written);
    const std::string bytes = TempFolder::ReadBytes(path);
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(111), L"BINARY");
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(bytes.size(), SizeofResource(nullptr, resource));
    // A TrueType file starts with version 1.0.
    EXPECT_EQ(bytes.substr(0, 4), std::string("\0\1\0\0", 4));
}

TEST(IconFontFile, FailuresAreNamedInChinese)
{
    TempFolder folder;
    EXPECT_EQ(WriteIconFontFile(nullptr, folder.File(L"a.ttf")), IconFontWriteResult::NoModule);
    EXPECT_EQ(WriteIconFontFile(GetModuleHandleW(nullptr), folder.File(L"missing\\a.ttf")),
              IconFontWriteResult::FileNotCreated);
    EXPECT_STREQ(IconFontErrorText(IconFontWriteResult::FileNotCreated), L"错误：无法创建或打开文件。");
    EXPECT_STREQ(IconFontErrorText(IconFontWriteResult::Written), L"");
}

TEST(IconFontFile, FirstRunFontGoesToTheTemporaryFolder)
{
    EXPECT_EQ(IconFontPathFor(false, L"D:\\data"), L"D:\\data\\Font-AwesomeFree.ttf");
    const std::wstring temp = IconFontPathFor(true, L"D:\\data");
    EXPECT_NE(temp.find(L"pkg-ts-fa.tmp.ttf"), std::wstring::npos);
    EXPECT_EQ(temp.find(L"D:\\data"), std::wstring::npos);
}
