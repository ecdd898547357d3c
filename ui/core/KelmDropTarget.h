// The OLE drop target of a framework window: accepts file lists only,
// gathers their paths into s_droppedFiles and tells its window with
// WM_KELM_FILES_DROPPED. Called by OLE on the UI thread.
#pragma once

#include <ole2.h>
#include <windows.h>

class KelmDropTarget : public IDropTarget
{
public:
    KelmDropTarget(HWND window, DWORD defaultEffect);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

    void SetDefaultEffect(DWORD effect) { defaultEffect_ = effect; }

private:
    virtual ~KelmDropTarget() = default;
    DWORD EffectFor(DWORD keyState) const { return (keyState & MK_CONTROL) ? DROPEFFECT_COPY : defaultEffect_; }

    volatile LONG refCount_ = 1;
    HWND window_;
    DWORD defaultEffect_;
};
