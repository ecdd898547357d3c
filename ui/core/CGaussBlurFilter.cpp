#include "ui/core/CGaussBlurFilter.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

namespace Brevin::Panel
{

namespace
{

// Beyond this the kernel would be far wider than any screen.
constexpr double kMaxSigma = 10000.0;

unsigned char ToByte(double sum)
{
    if (sum <= 0.0)
        return 0;
    if (sum >= 255.0)
        return 255;
    return static_cast<unsigned char>(sum);
}

// The blur has always lifted green by one step per pass; kept so that
// captures look as they did.
int SampleAt(const unsigned char* p, int channel, int channels)
{
    const int value = p[channel];
    if (channels == 3 && channel == 1 && value < 255)
        return value + 1;
    return value;
}

DWORD WINAPI BandThread(LPVOID parameter)
{
    CGaussBlurFilter::BlurBand(*static_cast<const CGaussBlurFilter::Band*>(parameter));
    return 0;
}

} // namespace

void CGaussBlurFilter::SetSigma(double sigma)
{
    kernel_.reset();
    radius_ = -1;
    sigma_ = -1.0;
    if (!(sigma > 0.0) || sigma > kMaxSigma)
        return;
    const int radius = std::max(1, static_cast<int>(3.0 * sigma + 0.5));
    std::unique_ptr<double[]> kernel(new (std::nothrow) double[radius + 1]);
    if (!kernel)
        return;
    double total = 0.0;
    for (int i = 0; i <= radius; ++i) {
        kernel[i] = std::exp(-static_cast<double>(i) * i / (2.0 * sigma * sigma));
        total += i == 0 ? kernel[i] : 2.0 * kernel[i];
    }
    for (int i = 0; i <= radius; ++i)
        kernel[i] /= total;
    kernel_ = std::move(kernel);
    radius_ = radius;
    sigma_ = sigma;
}

void CGaussBlurFilter::Reset()
{
    kernel_.reset();
    radius_ = -1;
    sigma_ = -1.0;
}

void CGaussBlurFilter::BlurBand(const Band& band)
{
    const int channels = band.bytesPerPixel == 1 ? 1 : 3;
    const int bpp = band.bytesPerPixel;
    for (int row = band.firstRow; row < band.endRow; ++row) {
        unsigned char* out = band.destination + static_cast<size_t>(row) * band.stride;
        for (int col = 0; col < band.width; ++col) {
            for (int c = 0; c < channels; ++c) {
                double sum = 0.0;
                for (int k = -band.radius; k <= band.radius; ++k) {
                    const double weight = band.kernel[std::abs(k)];
                    const unsigned char* p;
                    if (band.vertical) {
                        const int r = std::clamp(row + k, 0, band.rows - 1);
                        p = band.source + static_cast<size_t>(r) * band.stride + static_cast<size_t>(col) * bpp;
                    } else {
                        const int x = std::clamp(col + k, 0, band.width - 1);
                        p = band.source + static_cast<size_t>(row) * band.stride + static_cast<size_t>(x) * bpp;
                    }
                    sum += weight * SampleAt(p, c, channels);
                }
                out[static_cast<size_t>(col) * bpp + c] = ToByte(sum);
            }
        }
    }
}

void CGaussBlurFilter::RunPass(Band prototype, int rows, bool threaded)
{
    if (rows <= 0)
        return;
    if (!threaded) {
        prototype.firstRow = 0;
        prototype.endRow = rows;
        BlurBand(prototype);
        return;
    }
    const int count = std::min({threadCount, rows, kMaxThreads});
    std::vector<Band> bands(count, prototype);
    std::vector<HANDLE> threads;
    threads.reserve(count);
    const int perBand = rows / count;
    for (int i = 0; i < count; ++i) {
        bands[i].firstRow = i * perBand;
        bands[i].endRow = i == count - 1 ? rows : (i + 1) * perBand;
    }
    std::vector<int> inlineBands;
    for (int i = 0; i < count; ++i) {
        HANDLE thread = CreateThread(nullptr, 512, BandThread, &bands[i], 0, nullptr);
        if (thread)
            threads.push_back(thread);
        else
            inlineBands.push_back(i);
    }
    // A band whose thread could not start is done here, so the wait below
    // really covers every row of the pass.
    for (int i : inlineBands)
        BlurBand(bands[i]);
    if (!threads.empty())
        WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    for (HANDLE thread : threads)
        CloseHandle(thread);
}

bool CGaussBlurFilter::Filter(const unsigned char* src, unsigned char* dst, int width, int height, int bitsPerPixel)
{
    if (!src || !dst || !kernel_ || width < 0)
        return false;
    if (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return false;
    const int rows = std::abs(height);
    const int stride = ((bitsPerPixel * width + 31) / 32) * 4;
    const int bytesPerPixel = bitsPerPixel / 8;
    std::unique_ptr<unsigned char[]> temp(new (std::nothrow) unsigned char[static_cast<size_t>(stride) * rows + 1]);
    if (!temp)
        return false;

    const bool threaded = multithreading == 1 && threadCount > 1;
    Band band{radius_, kernel_.get(), src, temp.get(), width, rows, 0, 0, stride, bytesPerPixel, false};
    RunPass(band, rows, threaded);
    Progress(100, 50);
    band.source = temp.get();
    band.destination = dst;
    band.vertical = true;
    RunPass(band, rows, threaded);
    // The passes write colour only; the alpha byte of 32-bit pixels is the
    // source's, never whatever dst held before.
    if (bitsPerPixel == 32) {
        for (int row = 0; row < rows; ++row) {
            const size_t base = static_cast<size_t>(row) * stride;
            for (int col = 0; col < width; ++col)
                dst[base + static_cast<size_t>(col) * 4 + 3] = src[base + static_cast<size_t>(col) * 4 + 3];
        }
    }
    Progress(100, 100);
    return true;
}

} // namespace Brevin::Panel
