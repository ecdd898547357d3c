// The result of a drop told to a source in another apartment (another
// process): it arrives from a thread other than the UI thread, a source
// that keeps the call waiting holds neither the UI thread nor the quit
// beyond its bound, and the source never hears MOVE for the target's move.
#include <gtest/gtest.h>

#include <windows.h>

#include <shldisp.h>
#include <shlobj.h>

#include <atomic>

#include "ui/core/DropOutcome.h"

namespace
{

// A source whose object marshals itself freely, as a proxy to another
// process does: its calls run on the thread that makes them, which it
// records.
class AgileSource : public IDataObject, public IDataObjectAsyncCapability
{
public:
    AgileSource() { CoCreateFreeThreadedMarshaler(static_cast<IDataObject*>(this), &marshaler_); }
    virtual ~AgileSource()
    {
        if (marshaler_)
            marshaler_->Release();
        if (hold)
            CloseHandle(hold);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IMarshal && marshaler_)
            return marshaler_->QueryInterface(riid, object);
        if (riid == IID_IUnknown || riid == IID_IDataObject)
            *object = static_cast<IDataObject*>(this);
        else if (riid == __uuidof(IDataObjectAsyncCapability))
            *object = static_cast<IDataObjectAsyncCapability*>(this);
        else
            return *object = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override
    {
        const DWORD value = *static_cast<DWORD*>(GlobalLock(medium->hGlobal));
        GlobalUnlock(medium->hGlobal);
        if (format->cfFormat == RegisterClipboardFormatW(CFSTR_PERFORMEDDROPEFFECT))
            performed = value;
        else if (format->cfFormat == RegisterClipboardFormatW(CFSTR_LOGICALPERFORMEDDROPEFFECT))
            logical = value;
        setDataThread = GetCurrentThreadId();
        if (release)
            GlobalFree(medium->hGlobal);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* mode) override { return *mode = TRUE, S_OK; }
    HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE InOperation(BOOL* in) override { return *in = !ended, S_OK; }
    HRESULT STDMETHODCALLTYPE EndOperation(HRESULT result, IBindCtx*, DWORD effects) override
    {
        // A source busy elsewhere keeps the caller waiting (bounded, so a
        // caller on the test's own thread fails the test, never hangs it).
        if (hold)
            WaitForSingleObject(hold, 10000);
        endResult = result;
        endEffect = effects;
        endThread = GetCurrentThreadId();
        ended = true;
        return S_OK;
    }

    std::atomic<ULONG> refs{1};
    HANDLE hold = nullptr;
    std::atomic<DWORD> performed{0xFFFF}, logical{0xFFFF}, setDataThread{0}, endThread{0}, endEffect{0xFFFF};
    std::atomic<HRESULT> endResult{S_FALSE};
    std::atomic<bool> ended{false};

private:
    IUnknown* marshaler_ = nullptr;
};

} // namespace

TEST(DropOutcome, ASourceOfAnotherApartmentHearsTheResultOffTheUiThread)
{
    auto* source = new AgileSource;
    {
        DropOutcome outcome(source, DROPEFFECT_COPY | DROPEFFECT_MOVE);
        outcome.Take(DROPEFFECT_MOVE);
        EXPECT_EQ(outcome.Answer(), static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_TRUE(outcome.Async());
        outcome.Finish(DROPEFFECT_MOVE);
        outcome.Finish(DROPEFFECT_COPY);
    }
    ASSERT_TRUE(WaitForDropAnswers(10000));
    ASSERT_TRUE(source->ended);
    EXPECT_NE(source->endThread, GetCurrentThreadId());
    EXPECT_NE(source->setDataThread, GetCurrentThreadId());
    EXPECT_EQ(source->endResult, S_OK);
    EXPECT_EQ(source->endEffect, static_cast<DWORD>(DROPEFFECT_NONE)) << "nothing left for the source to delete";
    EXPECT_EQ(source->performed, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(source->logical, static_cast<DWORD>(DROPEFFECT_MOVE)) << "the first answer, once only";
    EXPECT_EQ(source->refs, 1u) << "every reference of the drop let go";
    source->Release();
}

TEST(DropOutcome, ASourceThatKeepsTheAnswerWaitingHoldsNeitherTheUiThreadNorTheQuit)
{
    auto* source = new AgileSource;
    source->hold = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        // A drop forgotten while the source waits still ends: nothing taken.
        DropOutcome outcome(source, DROPEFFECT_COPY | DROPEFFECT_MOVE);
        outcome.Take(DROPEFFECT_COPY);
        outcome.Answer();
    }
    EXPECT_FALSE(source->ended) << "the UI thread waited for the source";
    EXPECT_FALSE(WaitForDropAnswers(50));
    SetEvent(source->hold);
    ASSERT_TRUE(WaitForDropAnswers(10000));
    ASSERT_TRUE(source->ended);
    EXPECT_NE(source->endResult, S_OK);
    EXPECT_EQ(source->endEffect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(source->logical, static_cast<DWORD>(DROPEFFECT_NONE));
    source->Release();
}
