// Dragging a list of the program's files out to the shell or to another
// window with OLE (CF_HDROP): the data object, its format enumerator, the
// drop source and StartFileDrag. UI thread only.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <string>
#include <vector>

namespace KelmDragHelper
{

// The DROPFILES block of the paths: the 20-byte header (wide names), each
// path with its terminating zero, one more zero. Null when the list is
// empty or the allocation fails; the caller owns the handle.
HGLOBAL BuildDropFilesBlock(const std::vector<std::wstring>& paths);

// Drags the paths with the allowed effects (DROPEFFECT_COPY or _MOVE) and
// returns when the drag is over. While it runs, the source window turns
// faint and lets the mouse through, so that windows under it can take the
// drop; its own extended style is restored exactly afterwards. A drop back
// onto the source window is cancelled. Returns the effect the target
// reported (DROPEFFECT_NONE when nothing was dropped).
DWORD StartFileDrag(const std::vector<std::wstring>& paths, DWORD allowedEffects, HWND sourceWindow);

class CDataObject : public IDataObject
{
public:
    // Takes ownership of the block.
    explicit CDataObject(HGLOBAL block);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    virtual ~CDataObject();
    volatile LONG refCount_ = 1;
    HGLOBAL block_;
    FORMATETC format_;
};

class CEnumFormatEtc : public IEnumFORMATETC
{
public:
    explicit CEnumFormatEtc(const FORMATETC& format);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* out, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG n) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** out) override;

private:
    virtual ~CEnumFormatEtc() = default;
    volatile LONG refCount_ = 1;
    ULONG index_ = 0;
    FORMATETC format_;
};

class CDropSource : public IDropSource
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    virtual ~CDropSource() = default;
    volatile LONG refCount_ = 1;
};

} // namespace KelmDragHelper
