#include "box/icons/ThumbnailDecoder.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "app/Logger.h"
#include "box/fileops/FileJobMailbox.h"
#include "box/icons/IconDisplayRules.h"

using Microsoft::WRL::ComPtr;

namespace
{

struct Waiting {
    std::weak_ptr<ThumbnailRequest> request;
    std::wstring path;
    double maxEdge = 0;
    HWND window = nullptr;
};

// The requests not yet decoded, oldest first (the icons in view ask as they
// are painted); the worker lives while there are any. One worker: more
// fill a box of photos sooner but take the processor from the window that
// shows them.
struct DecodeQueue {
    std::mutex mutex;
    std::deque<Waiting> waiting;
    bool workerRunning = false;
};

ComPtr<IWICImagingFactory> MakeFactory()
{
    // The version 2 factory is missing on some systems; the first one
    // decodes the same.
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    return factory;
}

// Frame 0 scaled to fit with Fant interpolation, premultiplied BGRA. False
// when any step fails.
bool Decode(IWICImagingFactory* factory, const Waiting& job, ThumbnailRequest& out)
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
        return false;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data())))
        return false;
    out.pixels = std::move(pixels);
    out.width = width;
    out.height = height;
    return true;
}

void DecodeWorker(std::shared_ptr<DecodeQueue> queue)
{
    try {
        // The window that shows the pictures comes first.
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        const ComPtr<IWICImagingFactory> factory = MakeFactory();
        for (;;) {
            Waiting job;
            {
                std::lock_guard<std::mutex> lock(queue->mutex);
                if (queue->waiting.empty()) {
                    queue->workerRunning = false;
                    break;
                }
                job = std::move(queue->waiting.front());
                queue->waiting.pop_front();
            }
            if (job.request.expired())
                continue;
            ThumbnailRequest decoded;
            decoded.done = true;
            if (!Decode(factory.Get(), job, decoded))
                decoded.pixels.clear();
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
    } catch (...) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"The thumbnail decoder stopped on an unexpected error.");
        std::lock_guard<std::mutex> lock(queue->mutex);
        queue->waiting.clear();
        queue->workerRunning = false;
    }
}

} // namespace

std::shared_ptr<ThumbnailRequest> RequestThumbnail(const std::wstring& path, double maxEdge, HWND window)
{
    static const std::shared_ptr<DecodeQueue> queue = std::make_shared<DecodeQueue>();
    if (!FileJobMailbox::Open())
        return nullptr;
    auto request = std::make_shared<ThumbnailRequest>();
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->waiting.push_back(Waiting{request, path, maxEdge, window});
    if (!queue->workerRunning) {
        try {
            std::thread(DecodeWorker, queue).detach();
            queue->workerRunning = true;
        } catch (...) {
            queue->waiting.clear();
            return nullptr;
        }
    }
    return request;
}
