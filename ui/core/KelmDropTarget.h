// The OLE drop target of a framework window: accepts file lists only,
// gathers their paths into s_droppedFiles and tells its window with
// WM_KELM_FILES_DROPPED. Called by OLE on the UI thread. A drop that no
// control takes, or that its window refuses, is answered DROPEFFECT_NONE;
// a handler that takes it through s_dropOutcome decides the answer. A
// refused drag let go over the window is told to it (onDropRefused).
#pragma once

#include <ole2.h>
#include <windows.h>

#include <climits>
#include <string>
#include <vector>

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
    DWORD EffectFor(DWORD keyState, DWORD allowed) const;
    bool WindowAccepts() const;
    // The drag is over: the window repaints without its drag feedback.
    void RepaintWindow() const;
    // The user let go of a drag the window refused: the window says why.
    void TellRefused() const;

    volatile LONG refCount_ = 1;
    HWND window_;
    DWORD defaultEffect_;
    // The effects the current drag's source allows.
    DWORD allowed_ = DROPEFFECT_COPY;
    // Where the pointer was at the last DragOver that told the window: OLE
    // asks again and again while the pointer rests, and a window told each
    // time would repaint for nothing (and keep the source waiting).
    POINT lastOver_{LONG_MIN, LONG_MIN};
    // The window refused the file drag at its last DragEnter or DragOver.
    bool refused_ = false;
};

// The effect offered to a drag: copy with Ctrl, else the window's default,
// never one the source does not allow.
DWORD ChooseDropEffect(DWORD defaultEffect, DWORD keyState, DWORD allowed);

// The paths of a CF_HDROP block of size bytes, in their order, read in one
// walk (DragQueryFileW walks the list from its start for every name asked,
// which makes thousands of names cost seconds). Nothing beyond the block
// is read.
std::vector<std::wstring> PathsOfDropFiles(const void* block, size_t size);
// The same for a CF_HDROP in global memory (a drop's or the clipboard's).
std::vector<std::wstring> PathsOfDropHandle(HGLOBAL handle);
