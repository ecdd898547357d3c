// Sample files of the icon window tests: small images written as plain
// BMP bytes and through the WIC PNG encoder.
#pragma once

#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>

// A 24-bit bottom-up BMP of one colour.
inline std::string SolidBmpBytes(int width, int height, COLORREF colour)
{
    const int stride = (width * 3 + 3) & ~3;
    const uint32_t pixelBytes = static_cast<uint32_t>(stride * height);
    std::string out(54 + pixelBytes, '\0');
    auto put32 = [&out](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    out[26] = 1;
    out[28] = 24;
    put32(34, pixelBytes);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const size_t at = 54 + static_cast<size_t>(row) * stride + column * 3;
            out[at] = static_cast<char>(GetBValue(colour));
            out[at + 1] = static_cast<char>(GetGValue(colour));
            out[at + 2] = static_cast<char>(GetRValue(colour));
        }
    }
    return out;
}

// A PNG of one colour through WIC; false when WIC cannot encode.
inline bool WriteSolidPng(const std::wstring& path, UINT width, UINT height, COLORREF colour)
{
    using Microsoft::WRL::ComPtr;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
        return false;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    if (FAILED(factory->CreateStream(&stream)) || FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(width, height)))
        return false;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat32bppBGRA)
        return false;
    std::string pixels(static_cast<size_t>(width) * height * 4, '\0');
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = static_cast<char>(GetBValue(colour));
        pixels[i + 1] = static_cast<char>(GetGValue(colour));
        pixels[i + 2] = static_cast<char>(GetRValue(colour));
        pixels[i + 3] = static_cast<char>(0xFF);
    }
    return SUCCEEDED(frame->WritePixels(height, width * 4, static_cast<UINT>(pixels.size()),
                                        reinterpret_cast<BYTE*>(pixels.data()))) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}
