#include "ui/core/KelmDropTarget.h"

#include <shlobj.h>

#include <algorithm>
#include <iterator>

#include "ui/core/DragDropState.h"
#include "ui/core/DropOutcome.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/WindowMessages.h"

namespace
{

FORMATETC HdropFormat()
{
    return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// Reads every path of the data object's file list; false when it offers
// none.
bool ReadDroppedPaths(IDataObject* data, std::vector<std::wstring>& paths)
{
    FORMATETC format = HdropFormat();
    STGMEDIUM medium{};
    if (!data || FAILED(data->GetData(&format, &medium)))
        return false;
    if (medium.tymed == TYMED_HGLOBAL) {
        std::vector<std::wstring> read = PathsOfDropHandle(medium.hGlobal);
        paths.insert(paths.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
    }
    ReleaseStgMedium(&medium);
    return true;
}

} // namespace

std::vector<std::wstring> PathsOfDropFiles(const void* block, size_t size)
{
    std::vector<std::wstring> paths;
    if (!block || size < sizeof(DROPFILES))
        return paths;
    const auto* header = static_cast<const DROPFILES*>(block);
    const auto* bytes = static_cast<const char*>(block);
    if (header->pFiles < sizeof(DROPFILES) || header->pFiles >= size)
        return paths;
    // Every name is read only up to the end of the block, however the
    // source filled it. A name the block cuts off before its end is never
    // taken: cut short, it could name a folder above the file meant
    // ("C:\Users\me\Documents" of "C:\Users\me\Documents\a.txt").
    if (header->fWide) {
        const auto* at = reinterpret_cast<const wchar_t*>(bytes + header->pFiles);
        const auto* end = at + (size - header->pFiles) / sizeof(wchar_t);
        while (at < end && *at) {
            const wchar_t* stop = std::find(at, end, L'\0');
            if (stop == end)
                break;
            paths.emplace_back(at, stop);
            at = stop + 1;
        }
    } else {
        const char* at = bytes + header->pFiles;
        const char* end = bytes + size;
        while (at < end && *at) {
            const char* stop = std::find(at, end, '\0');
            if (stop == end)
                break;
            const int length = static_cast<int>(stop - at);
            std::wstring name(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, at, length, nullptr, 0)), L'\0');
            if (!name.empty()) {
                MultiByteToWideChar(CP_ACP, 0, at, length, name.data(), static_cast<int>(name.size()));
                paths.push_back(std::move(name));
            }
            at = stop + 1;
        }
    }
    return paths;
}

std::vector<std::wstring> PathsOfDropHandle(HGLOBAL handle)
{
    const void* block = handle ? GlobalLock(handle) : nullptr;
    if (!block)
        return {};
    std::vector<std::wstring> paths = PathsOfDropFiles(block, GlobalSize(handle));
    GlobalUnlock(handle);
    return paths;
}

DWORD KelmDropTarget::EffectFor(DWORD keyState, DWORD allowed) const
{
    return ChooseDropEffect(defaultEffect_, keyState, allowed);
}

DWORD ChooseDropEffect(DWORD defaultEffect, DWORD keyState, DWORD allowed)
{
    const DWORD wanted = (keyState & MK_CONTROL) ? DROPEFFECT_COPY : defaultEffect;
    const DWORD effect = wanted & allowed;
    if (effect != 0)
        return effect;
    // A source that cannot give what this window prefers may still be
    // copied from (a move-only preference meets a copy-only drag).
    if (allowed & DROPEFFECT_COPY)
        return DROPEFFECT_COPY;
    return allowed & DROPEFFECT_MOVE;
}

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

bool KelmDropTarget::WindowAccepts() const
{
    auto it = WindowMap.find(window_);
    if (it == WindowMap.end() || !it->second || !it->second->acceptsDrop)
        return true;
    try {
        return it->second->acceptsDrop();
    } catch (...) {
        return false;
    }
}

void KelmDropTarget::RepaintWindow() const
{
    // Nothing else may repaint a window at rest: feedback drawn while the
    // drag was over it would stay.
    if (IsWindow(window_))
        InvalidateRect(window_, nullptr, FALSE);
}

void KelmDropTarget::TellRefused() const
{
    auto it = WindowMap.find(window_);
    if (it == WindowMap.end() || !it->second || !it->second->onDropRefused)
        return;
    try {
        it->second->onDropRefused();
    } catch (...) {
    }
}

HRESULT STDMETHODCALLTYPE KelmDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect)
{
    // Whatever an earlier drag gathered is never delivered with this one.
    s_droppedFiles.clear();
    lastOver_ = POINT{LONG_MIN, LONG_MIN};
    allowed_ = effect ? *effect : DROPEFFECT_COPY;
    s_dropAllowedEffects = allowed_;
    FORMATETC format = HdropFormat();
    if (!data || FAILED(data->QueryGetData(&format))) {
        if (effect)
            *effect = DROPEFFECT_NONE;
        s_dragOverAccepted = false;
        return S_OK;
    }
    s_dragOverAccepted = true;
    s_dropDelivered = true;
    try {
        ReadDroppedPaths(data, s_droppedFiles);
    } catch (...) {
        s_droppedFiles.clear();
    }
    refused_ = !WindowAccepts();
    if (effect)
        *effect = refused_ ? DROPEFFECT_NONE : EffectFor(keyState, allowed_);
    if (!s_droppedFiles.empty()) {
        RECT rc;
        GetClientRect(window_, &rc);
        InvalidateRect(window_, &rc, FALSE);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE KelmDropTarget::DragOver(DWORD keyState, POINTL, DWORD* effect)
{
    if (s_dragOverAccepted)
        refused_ = !WindowAccepts();
    if (effect)
        *effect = s_dragOverAccepted && !refused_ ? EffectFor(keyState, allowed_) : DROPEFFECT_NONE;
    // OLE holds the mouse during the drag: keep the controls' hover alive
    // as the pointer moves.
    POINT pt;
    if (GetCursorPos(&pt) && ScreenToClient(window_, &pt) && (pt.x != lastOver_.x || pt.y != lastOver_.y)) {
        lastOver_ = pt;
        PostMessageW(window_, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE KelmDropTarget::DragLeave()
{
    const bool wasAccepted = s_dragOverAccepted;
    s_dragOverAccepted = false;
    RepaintWindow();
    // OLE answers a drag let go where the window offered no effect with
    // DragLeave, not Drop: the buttons are up and the pointer is still
    // over the window (a drag that moved away or was cancelled with Esc
    // leaves it, or holds a button).
    const bool released = !(GetAsyncKeyState(VK_LBUTTON) & 0x8000) && !(GetAsyncKeyState(VK_RBUTTON) & 0x8000);
    POINT pt{};
    if (wasAccepted && refused_ && released && !s_droppedFiles.empty() && GetCursorPos(&pt) &&
        !PtInRect(&s_dragOutRect, pt) && GetAncestor(WindowFromPoint(pt), GA_ROOT) == window_)
        TellRefused();
    refused_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE KelmDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL, DWORD* effect)
{
    const bool wasAccepted = s_dragOverAccepted;
    s_dragOverAccepted = false;
    s_dropDelivered = true;
    DWORD result = DROPEFFECT_NONE;
    try {
        // Some sources render their data only at the drop.
        if (wasAccepted && s_droppedFiles.empty())
            ReadDroppedPaths(data, s_droppedFiles);
        POINT pt{};
        GetCursorPos(&pt);
        s_dropAllowedEffects = allowed_;
        s_dropCtrlHeld = (keyState & MK_CONTROL) != 0;
        auto outcome = std::make_shared<DropOutcome>(data, allowed_);
        s_dropOutcome = outcome;
        // A drop back onto the window that started a drag out is no drop;
        // neither is one the window would ignore or one without paths.
        const bool meant = wasAccepted && !s_droppedFiles.empty() && !PtInRect(&s_dragOutRect, pt);
        const bool accepts = meant && WindowAccepts();
        if (meant && !accepts)
            TellRefused();
        const bool delivered = accepts && SendMessageW(window_, WM_KELM_FILES_DROPPED, 0, 0) != 0;
        s_dropOutcome.reset();
        if (delivered && outcome->Taken()) {
            result = outcome->Answer();
        } else if (delivered) {
            result = EffectFor(keyState, allowed_);
            outcome->Forget();
        }
    } catch (...) {
        s_dropOutcome.reset();
        result = DROPEFFECT_NONE;
    }
    refused_ = false;
    RepaintWindow();
    if (effect)
        *effect = result;
    return S_OK;
}
