// Separable Gaussian blur over raw pixel buffers (rows padded to 4 bytes),
// the filter behind the frosted-glass GDI blur. Each pass can be split in
// bands of rows over worker threads, all joined before Filter returns.
#pragma once

#include <memory>

#include "ui/core/IFilter.h"

namespace Brevin::Panel
{

class CGaussBlurFilter : public IFilter
{
public:
    // Bands of one pass: at most this many threads run at once (the limit of
    // one WaitForMultipleObjects call).
    static constexpr int kMaxThreads = 64;

    ~CGaussBlurFilter() override = default;

    // radius = int(3 sigma + 0.5), at least 1; the weights are normalised so
    // the two-sided kernel sums to 1. A sigma that is not a positive,
    // reasonable number leaves the filter without a kernel.
    void SetSigma(double sigma) override;
    void Reset() override;
    // False for a null buffer, a depth other than 8, 24 or 32, a negative
    // width or no kernel; dst is then untouched. A negative height (a
    // top-down bitmap) is taken as its absolute value.
    bool Filter(const unsigned char* src, unsigned char* dst, int width, int height, int bitsPerPixel) override;

    int Radius() const { return radius_; }
    double Sigma() const { return sigma_; }
    // Weight at distance i (0 = centre), or 0 outside the kernel.
    double Weight(int i) const { return kernel_ && i >= 0 && i <= radius_ ? kernel_[i] : 0.0; }

    // One band of rows of one pass; public for the thread entry.
    struct Band {
        int radius;
        const double* kernel;
        const unsigned char* source;
        unsigned char* destination;
        int width;
        int rows;
        int firstRow;
        int endRow;
        int stride;
        int bytesPerPixel;
        bool vertical;
    };
    static void BlurBand(const Band& band);

private:
    void RunPass(Band prototype, int rows, bool threaded);

    int radius_ = -1;
    double sigma_ = -1.0;
    std::unique_ptr<double[]> kernel_;
};

} // namespace Brevin::Panel
