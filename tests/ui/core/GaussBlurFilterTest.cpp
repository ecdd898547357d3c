#include <gtest/gtest.h>

#include <windows.h>

#include <utility>
#include <vector>

#include "ui/core/BlurPaint.h"
#include "ui/core/CGaussBlurFilter.h"

using Brevin::Panel::CGaussBlurFilter;

namespace
{

double TwoSidedSum(const CGaussBlurFilter& filter)
{
    double sum = filter.Weight(0);
    for (int i = 1; i <= filter.Radius(); ++i)
        sum += 2 * filter.Weight(i);
    return sum;
}

std::vector<std::pair<int, int>> s_progress;
void RecordProgress(void*, int total, int done)
{
    s_progress.emplace_back(total, done);
}

// 8-bit rows padded to 4 bytes.
int Stride8(int width)
{
    return ((8 * width + 31) / 32) * 4;
}

} // namespace

TEST(GaussBlurFilter, KernelRadiusAndNormalisation)
{
    const struct {
        double sigma;
        int radius;
    } cases[] = {{1.0, 3}, {0.1, 1}, {2.0, 6}, {4.0, 12}, {0.5, 2}};
    for (const auto& c : cases) {
        CGaussBlurFilter filter;
        filter.SetSigma(c.sigma);
        EXPECT_EQ(filter.Radius(), c.radius) << c.sigma;
        EXPECT_NEAR(TwoSidedSum(filter), 1.0, 1e-12) << c.sigma;
        for (int i = 1; i <= filter.Radius(); ++i)
            EXPECT_LT(filter.Weight(i), filter.Weight(i - 1)) << c.sigma;
    }
}

TEST(GaussBlurFilter, UnusableSigmaOrBufferIsRefusedAndDestinationUntouched)
{
    std::vector<unsigned char> src(16 * 4, 100), dst(16 * 4, 7);
    for (double sigma : {0.0, -1.0, 1e12}) {
        CGaussBlurFilter filter;
        filter.SetSigma(sigma);
        EXPECT_FALSE(filter.Filter(src.data(), dst.data(), 4, 4, 32)) << sigma;
    }
    CGaussBlurFilter filter;
    EXPECT_FALSE(filter.Filter(src.data(), dst.data(), 4, 4, 32)) << "no kernel yet";
    filter.SetSigma(1.0);
    EXPECT_FALSE(filter.Filter(src.data(), dst.data(), 4, 4, 16));
    EXPECT_FALSE(filter.Filter(nullptr, dst.data(), 4, 4, 32));
    EXPECT_FALSE(filter.Filter(src.data(), nullptr, 4, 4, 32));
    filter.Reset();
    EXPECT_EQ(filter.Radius(), -1);
    EXPECT_FALSE(filter.Filter(src.data(), dst.data(), 4, 4, 32));
    for (unsigned char b : dst)
        ASSERT_EQ(b, 7);
}

TEST(GaussBlurFilter, EmptyImageStillReportsProgress)
{
    CGaussBlurFilter filter;
    filter.SetSigma(1.0);
    filter.progressCallback = RecordProgress;
    s_progress.clear();
    unsigned char buffer[4] = {};
    EXPECT_TRUE(filter.Filter(buffer, buffer + 2, 4, 0, 8));
    ASSERT_FALSE(s_progress.empty());
    EXPECT_EQ(s_progress.back(), std::make_pair(100, 100));
}

TEST(GaussBlurFilter, SpreadsAnImpulseSymmetricallyAndKeepsFlatAreas)
{
    const int w = 9, h = 9, stride = Stride8(w);
    std::vector<unsigned char> src(stride * h, 0), dst(stride * h, 0);
    src[4 * stride + 4] = 255;
    CGaussBlurFilter filter;
    filter.SetSigma(1.0);
    ASSERT_TRUE(filter.Filter(src.data(), dst.data(), w, h, 8));
    const auto at = [&](int x, int y) { return dst[y * stride + x]; };
    EXPECT_GT(at(4, 4), at(3, 4));
    EXPECT_EQ(at(3, 4), at(5, 4));
    EXPECT_EQ(at(4, 3), at(4, 5));
    EXPECT_EQ(at(0, 0), 0);

    std::vector<unsigned char> flat(stride * h, 90), out(stride * h, 0);
    ASSERT_TRUE(filter.Filter(flat.data(), out.data(), w, -h, 8)) << "top-down height";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_NEAR(out[y * stride + x], 90, 1);
}

TEST(GaussBlurFilter, ThirtyTwoBitPixelsKeepTheSourceAlpha)
{
    const int w = 5, h = 3;
    std::vector<unsigned char> src(w * h * 4), dst(w * h * 4, 0xEE);
    for (int i = 0; i < w * h; ++i) {
        src[i * 4 + 0] = 40;
        src[i * 4 + 1] = 40;
        src[i * 4 + 2] = 40;
        src[i * 4 + 3] = static_cast<unsigned char>(i * 10);
    }
    CGaussBlurFilter filter;
    filter.SetSigma(2.0);
    ASSERT_TRUE(filter.Filter(src.data(), dst.data(), w, h, 32));
    for (int i = 0; i < w * h; ++i) {
        EXPECT_NEAR(dst[i * 4 + 0], 40, 1);
        EXPECT_EQ(dst[i * 4 + 3], src[i * 4 + 3]);
    }
}

TEST(GaussBlurFilter, ThreadedBandsGiveTheSameResult)
{
    for (int h : {1, 3, 17}) {
        const int w = 13;
        std::vector<unsigned char> src(w * h * 4);
        for (size_t i = 0; i < src.size(); ++i)
            src[i] = static_cast<unsigned char>((i * 37) % 251);
        std::vector<unsigned char> single(src.size()), threaded(src.size());
        CGaussBlurFilter one;
        one.SetSigma(1.5);
        ASSERT_TRUE(one.Filter(src.data(), single.data(), w, h, 32));
        CGaussBlurFilter many;
        many.SetSigma(1.5);
        many.multithreading = 1;
        many.threadCount = 4;
        ASSERT_TRUE(many.Filter(src.data(), threaded.data(), w, h, 32));
        EXPECT_EQ(single, threaded) << "rows " << h;
    }
}

class BlurPaintTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        screen_ = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen_);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSize, -kSize, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        // Left half black, right half white.
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                Pixel(x, y) = x < kSize / 2 ? 0xFF000000u : 0xFFFFFFFFu;
    }
    void TearDown() override
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
        ReleaseDC(nullptr, screen_);
    }
    uint32_t& Pixel(int x, int y) { return bits_[y * kSize + x]; }
    int Blue(int x, int y)
    {
        GdiFlush();
        return Pixel(x, y) & 0xFF;
    }

    static constexpr int kSize = 32;
    HDC screen_ = nullptr;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

TEST_F(BlurPaintTest, DivisorOneBlursAtFullSize)
{
    BlurAndPaint(dc_, {0, 0, kSize, kSize}, 2.0, 1, false);
    const int edgeDark = Blue(kSize / 2 - 1, 10);
    const int edgeLight = Blue(kSize / 2, 10);
    EXPECT_GT(edgeDark, 10);
    EXPECT_LT(edgeLight, 245);
    EXPECT_LT(Blue(0, 10), 10);
    EXPECT_GT(Blue(kSize - 1, 10), 245);
}

TEST_F(BlurPaintTest, RegionSmallerThanTheDivisorPaintsNothing)
{
    EXPECT_EQ(BlurDownscaledRegion(dc_, 0, 0, kSize, 3, 2.0, 4, true), nullptr);
    BlurAndPaint(dc_, {0, 0, kSize, 3}, 2.0, 4, true);
    EXPECT_EQ(Blue(kSize / 2 - 1, 1), 0);
    EXPECT_EQ(Blue(kSize / 2, 1), 255);
}

TEST_F(BlurPaintTest, RepeatedBlursOfDownscaledCopiesStayUsable)
{
    // Two rounds as the desktop capture does; the kept bitmap is replaced
    // and freed each time.
    for (int round = 0; round < 3; ++round) {
        BlurAndPaint(dc_, {0, 0, kSize, kSize}, 4.0, 6, true);
        BlurAndPaint(dc_, {0, 0, kSize, kSize}, 4.0, 2, true);
    }
    HBITMAP kept = BlurDownscaledRegion(dc_, 0, 0, kSize, kSize, 1.0, 2, false);
    ASSERT_NE(kept, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(kept, sizeof(info), &info), static_cast<int>(sizeof(info)));
    EXPECT_EQ(info.bmWidth, kSize / 2);
    ReleaseBlurBitmap();
    ReleaseBlurBitmap();
    EXPECT_LT(Blue(0, 5), Blue(kSize - 1, 5));
}
