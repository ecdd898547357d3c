#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TempFolder.h"
#include "ui/core/D2DResources.h"
#include <wincodec.h>
#include "box/icons/IconDisplayRules.h"
#include "box/icons/ShellIconImages.h"

TEST(IconLabel, HidesNamesAndExtensionsOnlyWithoutAlias)
{
    struct Case {
        const wchar_t* alias;
        const wchar_t* path;
        bool directory;
        int mode;
        const wchar_t* label;
    };
    const Case cases[] = {
        {L"bvn!NULL", L"C:\\a\\archive.tar.gz", false, 1, L"archive.tar"},
        {L"bvn!NULL", L"C:\\a\\.gitignore", false, 1, L".gitignore"},
        {L"bvn!NULL", L"C:\\a\\a.b", true, 1, L"a.b"},
        {L"bvn!NULL", L"C:\\a\\readme", false, 1, L"readme"},
        {L"bvn!NULL", L"C:/a/photo.png", false, 0, L"photo.png"},
        {L"bvn!NULL", L"C:\\a\\photo.png", false, 2, L""},
        {L"D:\\x\\别名.txt", L"C:\\a\\photo.png", false, 2, L"别名.txt"},
        {L"别名.txt", L"C:\\a\\photo.png", false, 1, L"别名.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeIconLabel(c.alias, c.path, c.directory, c.mode), c.label) << c.path << L" mode " << c.mode;
}

TEST(IconLabel, GridLimitFollowsTheIconEdge)
{
    const std::wstring twenty = L"abcdefghijklmnopqrst";
    EXPECT_EQ(ShortenGridLabel(twenty, 48), L"abcdefgh...");
    EXPECT_EQ(ShortenGridLabel(twenty, 63), L"abcdefgh...");
    EXPECT_EQ(ShortenGridLabel(twenty, 64), L"abcdefghijkl...");
    EXPECT_EQ(ShortenGridLabel(twenty, 79), L"abcdefghijkl...");
    EXPECT_EQ(ShortenGridLabel(twenty, 80), L"abcdefghijklmnopqr...");
    EXPECT_EQ(ShortenGridLabel(L"abcdefgh", 48), L"abcdefgh");
}

TEST(IconLabel, ListKeepsHeadAndTail)
{
    const std::wstring thirty = L"abcdefghijklmnopqrstuvwxyz0123";
    // n = (viewWidth - x - edge - 95) / 8 = 10.
    EXPECT_EQ(ShortenListLabel(thirty, 80.0f + 95.0f + 48.0f + 20.0f, 20.0f, 48), L"abcde...z0123");
    // Any n below 6 becomes 5: 2 in front, 3 behind.
    EXPECT_EQ(ShortenListLabel(thirty, 0.0f, 0.0f, 48), L"ab...123");
    EXPECT_EQ(ShortenListLabel(L"short", 0.0f, 0.0f, 48), L"short");
}

TEST(IconLabel, ShortensByWholeCharactersNeverHalvingAnEmoji)
{
    const std::wstring smile = L"\U0001F600"; // two UTF-16 units
    const struct {
        std::wstring label;
        std::wstring grid48;
    } grid[] = {
        {L"aaaaaaa" + smile, L"aaaaaaa" + smile},                       // 8 characters: whole
        {L"aaaaaaa" + smile + L"bcdefgh", L"aaaaaaa" + smile + L"..."}, // cut after the emoji
        {smile + smile + smile + smile + smile + smile + smile + smile + smile,
         smile + smile + smile + smile + smile + smile + smile + smile + L"..."},
    };
    for (const auto& c : grid)
        EXPECT_EQ(ShortenGridLabel(c.label, 48), c.grid48) << c.label.size();
    // n = 5: two characters in front, three behind.
    EXPECT_EQ(ShortenListLabel(smile + L"bcdefghx" + smile + L"z", 0.0f, 0.0f, 48), smile + L"b...x" + smile + L"z");
    EXPECT_EQ(ShortenListLabel(smile + smile + L"abc", 0.0f, 0.0f, 48), smile + smile + L"abc");
}

TEST(IconSizeText, UnitsSwitchAtPowersOf1024)
{
    EXPECT_EQ(FormatIconSizeText(0), L"0 B");
    EXPECT_EQ(FormatIconSizeText(1023), L"1023 B");
    EXPECT_EQ(FormatIconSizeText(2000), L"1 KB");
    EXPECT_EQ(FormatIconSizeText(1048575), L"1023 KB");
    EXPECT_EQ(FormatIconSizeText(1048576), L"1.00 MB");
    EXPECT_EQ(FormatIconSizeText(1073741824ull), L"1.00 GB");
    EXPECT_EQ(FormatIconSizeText(5ull * 1073741824ull), L"5.00 GB");
}

TEST(Thumbnail, ScaleKeepsAspectAndNeverVanishes)
{
    struct Case {
        uint32_t fw, fh, w, h;
    };
    const Case cases[] = {
        {256, 256, 128, 128}, {16, 16, 128, 128},  {300, 150, 128, 64}, {150, 300, 64, 128},
        {10000, 10, 128, 1},  {10, 10000, 1, 128}, {1, 1, 128, 128},
    };
    for (const Case& c : cases) {
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(ThumbnailPixelSize(c.fw, c.fh, 128.0, w, h));
        EXPECT_EQ(w, c.w) << c.fw << "x" << c.fh;
        EXPECT_EQ(h, c.h) << c.fw << "x" << c.fh;
    }
    uint32_t w = 7, h = 7;
    EXPECT_FALSE(ThumbnailPixelSize(0, 100, 128.0, w, h));
    EXPECT_FALSE(ThumbnailPixelSize(100, 0, 128.0, w, h));
    EXPECT_FLOAT_EQ(FitScale(40.0f, 128.0f, 64.0f), 40.0f / 128.0f);
    EXPECT_FLOAT_EQ(FitScale(40.0f, 0.0f, 64.0f), 0.0f);
}

TEST(TextPreview, LineBreaksBomAndLength)
{
    EXPECT_EQ(TextPreviewFromBytes("abc\r\ndef"), L"abc  def");
    EXPECT_EQ(TextPreviewFromBytes("\xEF\xBB\xBFhello"), L"hello");
    EXPECT_EQ(TextPreviewFromBytes("123456789012345678"), L"123456789012345678");
    EXPECT_EQ(TextPreviewFromBytes("1234567890123456789"), L"123456789012345678...");
    EXPECT_EQ(TextPreviewFromBytes(""), L"");
    EXPECT_EQ(TextPreviewFromBytes("\xE4\xB8\xAD\xE6\x96\x87"), L"中文");
}

TEST(TextPreview, IncompleteUtf8TailIsDropped)
{
    const std::string zhong = "\xE4\xB8\xAD"; // 中
    EXPECT_EQ(CompleteUtf8Length("ab" + zhong), 5u);
    EXPECT_EQ(CompleteUtf8Length("ab" + zhong.substr(0, 2)), 2u);
    EXPECT_EQ(CompleteUtf8Length("ab" + zhong.substr(0, 1)), 2u);
    EXPECT_EQ(CompleteUtf8Length("ab\xF0\x9F\x98"), 2u);
    EXPECT_EQ(CompleteUtf8Length("ab\xF0\x9F\x98\x80"), 6u);
    EXPECT_EQ(TextPreviewFromBytes("ab" + zhong.substr(0, 2)), L"ab");
}

TEST(TextPreview, LargeFileGivesItsFirstCharacters)
{
    TempFolder temp;
    const std::wstring path = temp.File(L"big.txt");
    TempFolder::WriteBytes(path, "0123456789abcdefghij" + std::string(8 * 1024 * 1024, 'x'));
    EXPECT_EQ(ReadTextPreview(path), L"0123456789abcdefgh...");
    EXPECT_EQ(ReadTextPreview(temp.File(L"missing.txt")), L"");
}

TEST(IconHitRect, MarginsListRowsAndCjkRoom)
{
    const std::wstring png = L"C:\\a\\photo.png", txt = L"C:\\a\\notes.TXT", cjk = L"C:\\文件夹\\照片.png";
    IconCellInput in;
    in.x = 100;
    in.y = 50;
    in.path = &png;
    IconHitRect r = ComputeIconHitRect(in);
    EXPECT_EQ(r.x, 95);
    EXPECT_EQ(r.y, 45);
    EXPECT_EQ(r.w, 58);
    EXPECT_EQ(r.h, 69);
    in.spacingMode = 2;
    r = ComputeIconHitRect(in);
    EXPECT_EQ(r.x, 77);
    EXPECT_EQ(r.y, 23);
    EXPECT_EQ(r.w, 94);
    EXPECT_EQ(r.h, 113);
    in.spacingMode = 0;
    in.path = &txt;
    EXPECT_EQ(ComputeIconHitRect(in).w, 2 * 48 + 12 + 10);
    in.path = &cjk;
    EXPECT_EQ(ComputeIconHitRect(in).h, 69 + 11);
    in.listView = true;
    in.viewWidth = 400.0f;
    in.path = &png;
    r = ComputeIconHitRect(in);
    EXPECT_EQ(r.y, 48);
    EXPECT_EQ(r.w, 400 - 100 - 20 + 10);
    EXPECT_EQ(r.h, 35);
}

TEST(ShellIconImages, ImageListBySizeAndMissingAlpha)
{
    EXPECT_EQ(ShellImageListForEdge(78), 0x2); // SHIL_EXTRALARGE
    EXPECT_EQ(ShellImageListForEdge(79), 0x4); // SHIL_JUMBO
    std::vector<uint8_t> noAlpha = {10, 20, 30, 0, 40, 50, 60, 0};
    EXPECT_TRUE(MakeOpaqueWhenAlphaMissing(noAlpha.data(), 8, 2, 1));
    EXPECT_EQ(noAlpha[3], 255);
    EXPECT_EQ(noAlpha[7], 255);
    std::vector<uint8_t> someAlpha = {10, 20, 30, 0, 40, 50, 60, 128};
    EXPECT_FALSE(MakeOpaqueWhenAlphaMissing(someAlpha.data(), 8, 2, 1));
    EXPECT_EQ(someAlpha[3], 0);
    EXPECT_FALSE(MakeOpaqueWhenAlphaMissing(nullptr, 0, 0, 0));
}

// Plain files share their type's icon, folders the folder's; what carries
// its own icon, a drive's root and a missing path get a look of their own.
TEST(ShellIconImages, KindsThatShareAnIcon)
{
    EXPECT_EQ(ShellIconKindOf(L"C:\\a\\Report.TXT", FILE_ATTRIBUTE_NORMAL), L".txt");
    EXPECT_EQ(ShellIconKindOf(L"C:\\a\\f0001", FILE_ATTRIBUTE_ARCHIVE), L".");
    EXPECT_EQ(ShellIconKindOf(L"C:\\a\\photos", FILE_ATTRIBUTE_DIRECTORY), L"<folder>");
    for (const wchar_t* own : {L"C:\\a\\tool.EXE", L"C:\\a\\x.lnk", L"C:\\a\\x.ico", L"C:\\a\\x.url"})
        EXPECT_EQ(ShellIconKindOf(own, FILE_ATTRIBUTE_NORMAL), L"") << own;
    EXPECT_EQ(ShellIconKindOf(L"C:\\", FILE_ATTRIBUTE_DIRECTORY), L"");
    EXPECT_EQ(ShellIconKindOf(L"C:\\a\\gone.txt", INVALID_FILE_ATTRIBUTES), L"");
}

// Two files of one type are drawn from one bitmap, made once.
TEST(ShellIconImages, FilesOfOneTypeShareOneBitmap)
{
    TempFolder temp;
    TempFolder::WriteBytes(temp.File(L"one.txt"), "1");
    TempFolder::WriteBytes(temp.File(L"two.txt"), "2");
    Microsoft::WRL::ComPtr<IWICBitmap> pixels;
    Microsoft::WRL::ComPtr<ID2D1RenderTarget> rt;
    ASSERT_TRUE(CreateGraphicsFactories() && s_wicFactory);
    ASSERT_TRUE(
        SUCCEEDED(s_wicFactory->CreateBitmap(48, 48, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad, &pixels)) &&
        SUCCEEDED(s_d2dFactory->CreateWicBitmapRenderTarget(pixels.Get(), D2D1::RenderTargetProperties(), &rt)));
    Microsoft::WRL::ComPtr<ID2D1Bitmap> one, two;
    one.Attach(LoadSharedShellIcon(rt.Get(), temp.File(L"one.txt"), 48));
    two.Attach(LoadSharedShellIcon(rt.Get(), temp.File(L"two.txt"), 48));
    if (!one)
        GTEST_SKIP() << "the shell gave no icon for a text file here";
    EXPECT_EQ(one.Get(), two.Get());
    ReleaseRenderTargetResources(rt.Get());
}
