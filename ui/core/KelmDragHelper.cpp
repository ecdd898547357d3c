#include "ui/core/KelmDragHelper.h"

#include <shlobj.h>

#include <cstring>

#include "ui/core/DragDropState.h"

namespace KelmDragHelper
{

namespace
{

FORMATETC HdropFormat()
{
    return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

template <typename Interface> HRESULT AnswerInterface(Interface* self, REFIID riid, REFIID own, void** object)
{
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == own) {
        *object = self;
        self->AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// Makes the source window faint and transparent to the mouse for the drag
// and puts back exactly what it had before.
class FaintWindow
{
public:
    explicit FaintWindow(HWND window) : window_(IsWindow(window) ? window : nullptr)
    {
        if (!window_)
            return;
        exStyle_ = GetWindowLongPtrW(window_, GWL_EXSTYLE);
        if (exStyle_ & WS_EX_LAYERED)
            hadAttributes_ = GetLayeredWindowAttributes(window_, &key_, &alpha_, &flags_) != FALSE;
        SetWindowLongPtrW(window_, GWL_EXSTYLE, exStyle_ | WS_EX_LAYERED | WS_EX_TRANSPARENT);
        SetLayeredWindowAttributes(window_, 0, 60, LWA_ALPHA);
        Refresh();
        GetWindowRect(window_, &s_dragOutRect);
    }
    ~FaintWindow()
    {
        s_dragOutRect = RECT{};
        if (!window_ || !IsWindow(window_))
            return;
        if (exStyle_ & WS_EX_LAYERED) {
            if (hadAttributes_)
                SetLayeredWindowAttributes(window_, key_, alpha_, flags_);
            else
                SetLayeredWindowAttributes(window_, 0, 255, LWA_ALPHA);
        }
        SetWindowLongPtrW(window_, GWL_EXSTYLE, exStyle_);
        Refresh();
    }
    FaintWindow(const FaintWindow&) = delete;
    FaintWindow& operator=(const FaintWindow&) = delete;

private:
    void Refresh()
    {
        SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    HWND window_;
    LONG_PTR exStyle_ = 0;
    bool hadAttributes_ = false;
    COLORREF key_ = 0;
    BYTE alpha_ = 255;
    DWORD flags_ = 0;
};

} // namespace

HGLOBAL BuildDropFilesBlock(const std::vector<std::wstring>& paths)
{
    if (paths.empty())
        return nullptr;
    size_t characters = 1;
    for (const std::wstring& path : paths)
        characters += path.size() + 1;
    const size_t bytes = sizeof(DROPFILES) + characters * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!block)
        return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    if (!header) {
        GlobalFree(block);
        return nullptr;
    }
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(header) + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
        std::memcpy(text, path.c_str(), path.size() * sizeof(wchar_t));
        text += path.size() + 1;
    }
    GlobalUnlock(block);
    return block;
}

// ---------------------------------------------------------------------------
// CDataObject
// ---------------------------------------------------------------------------

CDataObject::CDataObject(HGLOBAL block) : block_(block), format_(HdropFormat()) {}

CDataObject::~CDataObject()
{
    if (block_)
        GlobalFree(block_);
}

HRESULT STDMETHODCALLTYPE CDataObject::QueryInterface(REFIID riid, void** object)
{
    return AnswerInterface<IDataObject>(this, riid, IID_IDataObject, object);
}

ULONG STDMETHODCALLTYPE CDataObject::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG STDMETHODCALLTYPE CDataObject::Release()
{
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE CDataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!format || !medium)
        return E_INVALIDARG;
    if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL) || !block_)
        return DV_E_FORMATETC;
    const SIZE_T size = GlobalSize(block_);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!copy)
        return E_OUTOFMEMORY;
    void* from = GlobalLock(block_);
    void* to = GlobalLock(copy);
    if (from && to)
        std::memcpy(to, from, size);
    if (to)
        GlobalUnlock(copy);
    if (from)
        GlobalUnlock(block_);
    if (!from || !to) {
        GlobalFree(copy);
        return E_OUTOFMEMORY;
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDataObject::QueryGetData(FORMATETC* format)
{
    return format && format->cfFormat == CF_HDROP ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    *out = new CEnumFormatEtc(format_);
    return S_OK;
}

// ---------------------------------------------------------------------------
// CEnumFormatEtc
// ---------------------------------------------------------------------------

CEnumFormatEtc::CEnumFormatEtc(const FORMATETC& format) : format_(format) {}

HRESULT STDMETHODCALLTYPE CEnumFormatEtc::QueryInterface(REFIID riid, void** object)
{
    return AnswerInterface<IEnumFORMATETC>(this, riid, IID_IEnumFORMATETC, object);
}

ULONG STDMETHODCALLTYPE CEnumFormatEtc::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG STDMETHODCALLTYPE CEnumFormatEtc::Release()
{
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE CEnumFormatEtc::Next(ULONG count, FORMATETC* out, ULONG* fetched)
{
    if (fetched)
        *fetched = 0;
    if (count == 0 || index_ != 0 || !out)
        return S_FALSE;
    out[0] = format_;
    ++index_;
    if (fetched)
        *fetched = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumFormatEtc::Skip(ULONG n)
{
    index_ += n;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumFormatEtc::Reset()
{
    index_ = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumFormatEtc::Clone(IEnumFORMATETC** out)
{
    if (!out)
        return E_POINTER;
    *out = new CEnumFormatEtc(format_);
    return S_OK;
}

// ---------------------------------------------------------------------------
// CDropSource
// ---------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CDropSource::QueryInterface(REFIID riid, void** object)
{
    return AnswerInterface<IDropSource>(this, riid, IID_IDropSource, object);
}

ULONG STDMETHODCALLTYPE CDropSource::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG STDMETHODCALLTYPE CDropSource::Release()
{
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE CDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    if (escapePressed)
        return DRAGDROP_S_CANCEL;
    if ((keyState & MK_LBUTTON) || (GetAsyncKeyState(VK_LBUTTON) & 0x8000))
        return S_OK;
    POINT cursor{};
    GetCursorPos(&cursor);
    return PtInRect(&s_dragOutRect, cursor) ? DRAGDROP_S_CANCEL : DRAGDROP_S_DROP;
}

// ---------------------------------------------------------------------------
// StartFileDrag
// ---------------------------------------------------------------------------

DWORD StartFileDrag(const std::vector<std::wstring>& paths, DWORD allowedEffects, HWND sourceWindow)
{
    if (paths.empty())
        return DROPEFFECT_NONE;
    s_dragOutActive = true;
    DWORD effect = DROPEFFECT_NONE;
    {
        FaintWindow faint(sourceWindow);
        const HRESULT ole = OleInitialize(nullptr);
        if (SUCCEEDED(ole) || ole == RPC_E_CHANGED_MODE) {
            if (HGLOBAL block = BuildDropFilesBlock(paths)) {
                auto* data = new CDataObject(block);
                auto* source = new CDropSource();
                if (DoDragDrop(data, source, allowedEffects, &effect) != DRAGDROP_S_DROP)
                    effect = DROPEFFECT_NONE;
                source->Release();
                data->Release();
            }
            // Exactly one OleUninitialize for the one successful initialise.
            if (SUCCEEDED(ole))
                OleUninitialize();
        }
    }
    s_dragOutActive = false;
    return effect;
}

} // namespace KelmDragHelper
