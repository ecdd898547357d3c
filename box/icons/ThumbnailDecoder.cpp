#include "box/icons/ThumbnailDecoder.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <functional>
#include <utility>

#include "box/fileops/FileJobMailbox.h"
#include "box/icons/IconDisplayRules.h"
#include "box/icons/LoneWorker.h"
#include "ui/core/D2DResources.h"

using Microsoft::WRL::ComPtr;

namespace
{

struct Waiting {
    std::weak_ptr<ThumbnailRequest> request;
    std::wstring path;
    double maxEdge = 0;
    HWND window = nullptr;
};

// Frame 0 scaled to fit with Fant interpolation, premultiplied BGRA; out
// keeps no pixels when any step fails.
void Decode(IWICImagingFactory* factory, const Waiting& job, ThumbnailRequest& out)
{
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapScaler> scaler;
    ComPtr<IWICFormatConverter> converter;
    UINT frameWidth = 0, frameHeight = 0;
    uint32_t width = 0, height = 0;
    if (!factory ||
        FAILED(factory->CreateDecoderFromFilename(job.path.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnLoad, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&frameWidth, &frameHeight)) ||
        !ThumbnailPixelSize(frameWidth, frameHeight, job.maxEdge, width, height) ||
        FAILED(factory->CreateBitmapScaler(&scaler)) ||
        FAILED(scaler->Initialize(frame.Get(), width, height, WICBitmapInterpolationModeFant)) ||
        FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(scaler.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeMedianCut)))
        return;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data())))
        return;
    out.pixels = std::move(pixels);
    out.width = width;
    out.height = height;
}

// The requests, oldest first: the icons in view ask as they are painted.
// One worker: more would fill a box of photos sooner, but take the
// processor from the window that shows them.
void DecodeThumbnails(const std::function<bool(Waiting&)>& next)
{
    // The window that shows the pictures comes first.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const ComPtr<IWICImagingFactory> factory = MakeWicFactory();
    Waiting job;
    while (next(job)) {
        if (job.request.expired())
            continue;
        ThumbnailRequest decoded;
        decoded.done = true;
        Decode(factory.Get(), job, decoded);
        FileJobMailbox::Post([request = std::move(job.request), decoded = std::move(decoded), window = job.window] {
            const std::shared_ptr<ThumbnailRequest> waiting = request.lock();
            if (!waiting)
                return;
            *waiting = std::move(decoded);
            if (IsWindow(window))
                InvalidateRect(window, nullptr, FALSE);
        });
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}

} // namespace

std::shared_ptr<ThumbnailRequest> RequestThumbnail(const std::wstring& path, double maxEdge, HWND window)
{
    static const auto decoder = std::make_shared<LoneWorker<Waiting>>(L"The thumbnail decoder", DecodeThumbnails);
    if (!FileJobMailbox::Open())
        return nullptr;
    auto request = std::make_shared<ThumbnailRequest>();
    return decoder->Push(Waiting{request, path, maxEdge, window}) ? request : nullptr;
}
