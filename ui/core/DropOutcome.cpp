#include "ui/core/DropOutcome.h"

#include <shldisp.h>
#include <shlobj.h>

namespace
{

IDataObjectAsyncCapability* AsAsync(IUnknown* unknown)
{
    return static_cast<IDataObjectAsyncCapability*>(unknown);
}

} // namespace

DWORD EffectForSource(DWORD effect, DWORD allowedEffects)
{
    if (effect & DROPEFFECT_MOVE)
        return DROPEFFECT_NONE;
    return effect & allowedEffects;
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
        SetEffectData(CFSTR_PERFORMEDDROPEFFECT, answer);
    return answer;
}

void DropOutcome::Finish(DWORD effect)
{
    if (finished_)
        return;
    finished_ = true;
    const DWORD performed = EffectForSource(effect, allowed_);
    // A source that already had its answer from Drop heard the effect it
    // can act on; only one that waits is told the result.
    if (async_ || !answered_) {
        SetEffectData(CFSTR_PERFORMEDDROPEFFECT, performed);
        SetEffectData(CFSTR_LOGICALPERFORMEDDROPEFFECT, effect & allowed_);
    }
    if (async_) {
        AsAsync(async_)->EndOperation(effect != DROPEFFECT_NONE ? S_OK : E_ABORT, nullptr, performed);
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

void DropOutcome::SetEffectData(const wchar_t* format, DWORD effect)
{
    if (!data_)
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
    if (FAILED(data_->SetData(&formatEtc, &medium, TRUE)))
        GlobalFree(memory);
}
