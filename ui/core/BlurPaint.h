// Frosted-glass blur of a GDI device context: a rectangle is shrunk by an
// integer divisor, blurred with the Gaussian filter and stretched back.
// Used for the desktop capture behind compatibility-layer boxes and for
// panels that blur what lies under them. UI thread only.
#pragma once

#include <windows.h>

// Returns the blurred small copy of (x, y, w, h): w / divisor by
// h / divisor pixels, 32 bits each. The bitmap stays owned by this module
// until the next call or ReleaseBlurBitmap. Null when the copy would be
// empty or a GDI call fails. A divisor below 1 is taken as 1.
HBITMAP BlurDownscaledRegion(HDC dc, int x, int y, int w, int h, double sigma, int divisor, bool threaded);

struct BlurRect {
    int x;
    int y;
    int width;
    int height;
};

// Blurs the rectangle of dc in place. Nothing is painted when the
// rectangle is smaller than the divisor.
void BlurAndPaint(HDC dc, const BlurRect& rect, double sigma, int divisor, bool threaded);

// Frees the bitmap kept from the last BlurDownscaledRegion.
void ReleaseBlurBitmap();
