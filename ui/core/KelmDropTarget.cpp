#include "ui/core/KelmDropTarget.h"

#include <shellapi.h>

#include "ui/core/DragDropState.h"
#include "ui/core/WindowMessages.h"

namespace
{

FORMATETC HdropFormat()
{
    return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

} // namespace

KelmDropTarget::KelmDropTarget(HWND window, DWORD defaultEffect) : window_(window), defaultEffect_(defaultEffect) {}

HRESULT STDMETHODCALLTYPE KelmDropTarget::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDropTarget) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE KelmDropTarget::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG STDMETHODCALLTYPE KelmDropTarget::Release()
{
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE KelmDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect)
{
    FORMATETC format = HdropFormat();
    if (!data || FAILED(data->QueryGetData(&format))) {
        if (effect)
            *effect = DROPEFFECT_NONE;
        s_dragOverAccepted = false;
        return S_OK;
    }
    if (effect)
        *effect = EffectFor(keyState);
    s_dragOverAccepted = true;
    s_dropDelivered = true;
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium)))
        return S_OK;
    HDROP drop = static_cast<HDROP>(medium.hGlobal);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    s_droppedFiles.clear();
    for (UINT i = 0; i < count; ++i) {
        wchar_t name[MAX_PATH];
        if (DragQueryFileW(drop, i, name, MAX_PATH) > 0)
            s_droppedFiles.emplace_back(name);
    }
    if (count > 0) {
        RECT rc;
        GetClientRect(window_, &rc);
        InvalidateRect(window_, &rc, FALSE);
    }
    ReleaseStgMedium(&medium);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE KelmDropTarget::DragOver(DWORD keyState, POINTL, DWORD* effect)
{
    if (effect)
        *effect = s_dragOverAccepted ? EffectFor(keyState) : DROPEFFECT_NONE;
    // OLE holds the mouse during the drag: keep the controls' hover alive.
    POINT pt;
    if (GetCursorPos(&pt) && ScreenToClient(window_, &pt))
        PostMessageW(window_, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE KelmDropTarget::DragLeave()
{
    s_dragOverAccepted = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE KelmDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL, DWORD* effect)
{
    s_dragOverAccepted = false;
    s_dropDelivered = true;
    if (effect)
        *effect = EffectFor(keyState);
    POINT pt{};
    GetCursorPos(&pt);
    // A drop back onto the window that started a drag out is no drop.
    if (!PtInRect(&s_dragOutRect, pt))
        SendMessageW(window_, WM_KELM_FILES_DROPPED, 0, 0);
    FORMATETC format = HdropFormat();
    STGMEDIUM medium{};
    if (!data || FAILED(data->GetData(&format, &medium)))
        return S_OK;
    if (DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0xFFFFFFFF, nullptr, 0) > 0 && effect)
        *effect = EffectFor(keyState);
    ReleaseStgMedium(&medium);
    return S_OK;
}
