#include "ui/core/DropOutcome.h"

#include <shldisp.h>
#include <shlobj.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <wrl/client.h>

namespace
{

IDataObjectAsyncCapability* AsAsync(IUnknown* unknown)
{
    return static_cast<IDataObjectAsyncCapability*>(unknown);
}

void SetEffectData(IDataObject* data, const wchar_t* format, DWORD effect)
{
    if (!data)
        return;
    FORMATETC formatEtc{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(format)), nullptr, DVASPECT_CONTENT, -1,
                        TYMED_HGLOBAL};
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
    if (!memory)
        return;
    if (auto* value = static_cast<DWORD*>(GlobalLock(memory))) {
        *value = effect;
        GlobalUnlock(memory);
    }
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = memory;
    // With fRelease the data object owns the memory only when it took it.
    if (FAILED(data->SetData(&formatEtc, &medium, TRUE)))
        GlobalFree(memory);
}

// What a source is told when the work has ended.
struct Result {
    bool setEffects = false;
    DWORD performed = DROPEFFECT_NONE;
    DWORD logical = DROPEFFECT_NONE;
    HRESULT endResult = S_OK;
};

void Tell(IDataObject* data, IUnknown* async, const Result& result)
{
    if (result.setEffects) {
        SetEffectData(data, CFSTR_PERFORMEDDROPEFFECT, result.performed);
        SetEffectData(data, CFSTR_LOGICALPERFORMEDDROPEFFECT, result.logical);
    }
    if (async)
        AsAsync(async)->EndOperation(result.endResult, nullptr, result.performed);
}

void DropMarshalled(IStream*& stream)
{
    if (!stream)
        return;
    // The marshalled reference holds the source: give it back.
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    CoReleaseMarshalData(stream);
    stream->Release();
    stream = nullptr;
}

// Unmarshals the source in the calling thread's apartment, tells it the
// result and lets it go. Owns the streams.
void TellMarshalled(IStream* dataStream, IStream* asyncStream, const Result& result)
{
    Microsoft::WRL::ComPtr<IDataObject> data;
    Microsoft::WRL::ComPtr<IUnknown> async;
    if (FAILED(CoGetInterfaceAndReleaseStream(dataStream, IID_IDataObject,
                                              reinterpret_cast<void**>(data.ReleaseAndGetAddressOf()))))
        data.Reset();
    if (FAILED(CoGetInterfaceAndReleaseStream(asyncStream, __uuidof(IDataObjectAsyncCapability),
                                              reinterpret_cast<void**>(async.ReleaseAndGetAddressOf()))))
        async.Reset();
    if (!data && !async)
        OutputDebugStringW(L"DropOutcome: the drop's source could not be reached to hear the result\n");
    Tell(data.Get(), async.Get(), result);
}

// The answers running on worker threads, for the wait at quit. Never
// destroyed: a worker that outlives the wait at quit may still end while
// the process tears its statics down.
struct RunningAnswers {
    std::mutex mutex;
    std::condition_variable done;
    int count = 0;
};

RunningAnswers& Running()
{
    static auto* running = new RunningAnswers;
    return *running;
}

void AnswerEnded()
{
    RunningAnswers& running = Running();
    std::lock_guard<std::mutex> lock(running.mutex);
    --running.count;
    running.done.notify_all();
}

} // namespace

DWORD EffectForSource(DWORD effect, DWORD allowedEffects)
{
    if (effect & DROPEFFECT_MOVE)
        return DROPEFFECT_NONE;
    return effect & allowedEffects;
}

bool WaitForDropAnswers(DWORD milliseconds)
{
    RunningAnswers& running = Running();
    std::unique_lock<std::mutex> lock(running.mutex);
    return running.done.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return running.count == 0; });
}

DropOutcome::DropOutcome(IDataObject* data, DWORD allowedEffects) : data_(data), allowed_(allowedEffects)
{
    if (data_)
        data_->AddRef();
}

DropOutcome::~DropOutcome()
{
    Finish(DROPEFFECT_NONE);
}

void DropOutcome::Take(DWORD intendedEffect)
{
    taken_ = true;
    intended_ = intendedEffect;
}

DWORD DropOutcome::Answer()
{
    answered_ = true;
    // A window that did its work while the drop was delivered has told the
    // source already (Finish): the answer is what it did.
    if (finished_ && taken_)
        return EffectForSource(intended_, allowed_);
    if (finished_ || !taken_ || !data_)
        return DROPEFFECT_NONE;
    IDataObjectAsyncCapability* async = nullptr;
    if (SUCCEEDED(data_->QueryInterface(__uuidof(IDataObjectAsyncCapability), reinterpret_cast<void**>(&async))) &&
        async) {
        BOOL canWait = FALSE;
        if (SUCCEEDED(async->GetAsyncMode(&canWait)) && canWait && SUCCEEDED(async->StartOperation(nullptr)))
            async_ = async;
        else
            async->Release();
    }
    const DWORD answer = EffectForSource(intended_, allowed_);
    if (!async_)
        SetEffectData(data_, CFSTR_PERFORMEDDROPEFFECT, answer);
    else
        HandOverToWorker();
    return answer;
}

bool DropOutcome::HandOverToWorker()
{
    // Only a source of another apartment (a proxy, or an object that
    // marshals itself) is worth a worker: the calls of an ordinary object
    // of this thread would come back to this thread anyway.
    IMarshal* marshal = nullptr;
    if (FAILED(data_->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal))) || !marshal)
        return false;
    marshal->Release();
    if (FAILED(CoMarshalInterThreadInterfaceInStream(IID_IDataObject, data_, &dataStream_))) {
        dataStream_ = nullptr;
        return false;
    }
    if (FAILED(CoMarshalInterThreadInterfaceInStream(__uuidof(IDataObjectAsyncCapability), async_, &asyncStream_))) {
        asyncStream_ = nullptr;
        DropMarshalled(dataStream_);
        return false;
    }
    // Let go of this thread's references while the drop is being delivered
    // (the drop's own references keep the source's proxy alive meanwhile):
    // a last release later would be one more call into the source.
    async_->Release();
    async_ = nullptr;
    data_->Release();
    data_ = nullptr;
    return true;
}

void DropOutcome::Finish(DWORD effect)
{
    if (finished_)
        return;
    finished_ = true;
    Result result;
    result.performed = EffectForSource(effect, allowed_);
    result.logical = effect & allowed_;
    result.endResult = effect != DROPEFFECT_NONE ? S_OK : E_ABORT;
    // A source that already had its answer from Drop heard the effect it
    // can act on; only one that waits is told the result.
    result.setEffects = async_ || asyncStream_ || !answered_;
    if (dataStream_) {
        IStream* dataStream = dataStream_;
        IStream* asyncStream = asyncStream_;
        dataStream_ = asyncStream_ = nullptr;
        {
            std::lock_guard<std::mutex> lock(Running().mutex);
            ++Running().count;
        }
        try {
            std::thread([dataStream, asyncStream, result] {
                const bool initialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
                TellMarshalled(dataStream, asyncStream, result);
                if (initialized)
                    CoUninitialize();
                AnswerEnded();
            }).detach();
        } catch (...) {
            // No thread: the streams unmarshal in this apartment as well.
            TellMarshalled(dataStream, asyncStream, result);
            AnswerEnded();
        }
        return;
    }
    Tell(result.setEffects ? data_ : nullptr, async_, result);
    if (async_) {
        async_->Release();
        async_ = nullptr;
    }
    if (data_) {
        data_->Release();
        data_ = nullptr;
    }
}

void DropOutcome::Forget()
{
    answered_ = true;
    Finish(DROPEFFECT_NONE);
}
