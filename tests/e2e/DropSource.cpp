// Small Windows console program the end-to-end scripts run in Tessik's Wine
// prefix to drop files on its windows the way another program does: a file
// list (CF_HDROP) put into OLE drag and drop with copy and move allowed, or
// the effects --effects names (1 copy only, as a box that maps its files).
//
//   DropSource [--delete-on-move] [--effects <DROPEFFECT mask>] [--released <file>] <screen x> <screen y> <file>...
//
// The cursor is put on the point first, since OLE picks the target window
// under the cursor. No button is held: the source ends the drag with a drop
// itself after a few polls, enough for the target to see the drag enter.
// The data object offers the asynchronous mode: when the target starts it,
// the program waits (bounded) for the target's result. With
// --delete-on-move it then deletes its files when it was told they were
// moved, as a source that finishes a move itself does.
// With --released it writes the moment it lets the drop go (nanoseconds
// since 1970, the system's clock) into that file, for a benchmark that
// times what follows the drop rather than this program's start.
// Prints "result <hr> effect <effect> performed <value set by the target,
// or -1> async <0|1>" and exits 0 when DoDragDrop reports a drop, 1 when
// it does not, 2 on bad use.
#include <windows.h>

#include <ole2.h>
#include <shldisp.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace
{

// Where the moment of the drop is written; empty when nobody asked.
std::wstring s_releasedFile;

void WriteReleaseMoment()
{
    if (s_releasedFile.empty())
        return;
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // FILETIME counts 100 ns steps from 1601.
    const unsigned long long unixNs = (ticks - 116444736000000000ULL) * 100ULL;
    if (FILE* file = _wfopen(s_releasedFile.c_str(), L"w")) {
        std::fprintf(file, "%llu\n", unixNs);
        std::fclose(file);
    }
    s_releasedFile.clear();
}

FORMATETC HdropFormat()
{
    return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// DROPFILES followed by the wide paths, each ended by a zero, and one more
// zero ending the list.
HGLOBAL MakeFileList(const std::vector<std::wstring>& paths)
{
    size_t chars = 1;
    for (const std::wstring& path : paths)
        chars += path.size() + 1;
    const size_t bytes = sizeof(DROPFILES) + chars * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!memory)
        return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(header) + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
        std::memcpy(text, path.c_str(), path.size() * sizeof(wchar_t));
        text += path.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

HGLOBAL CopyGlobal(HGLOBAL source)
{
    const SIZE_T bytes = GlobalSize(source);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!copy)
        return nullptr;
    std::memcpy(GlobalLock(copy), GlobalLock(source), bytes);
    GlobalUnlock(source);
    GlobalUnlock(copy);
    return copy;
}

class FileListData : public IDataObject, public IDataObjectAsyncCapability
{
public:
    explicit FileListData(HGLOBAL files) : files_(files) {}
    virtual ~FileListData() { GlobalFree(files_); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDataObject) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        if (riid == __uuidof(IDataObjectAsyncCapability)) {
            *object = static_cast<IDataObjectAsyncCapability*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG count = InterlockedDecrement(&refCount_);
        if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (!format || !medium)
            return E_INVALIDARG;
        const HRESULT offered = QueryGetData(format);
        if (FAILED(offered))
            return offered;
        // The receiver frees what it gets: it gets a copy of its own.
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = CopyGlobal(files_);
        medium->pUnkForRelease = nullptr;
        return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override
    {
        if (!format)
            return E_INVALIDARG;
        if (format->cfFormat != CF_HDROP || format->dwAspect != DVASPECT_CONTENT)
            return DV_E_FORMATETC;
        return (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_TYMED;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        if (out)
            out->ptd = nullptr;
        return E_NOTIMPL;
    }
    // Keeps only the effect the target reports as performed.
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override
    {
        if (!format || !medium || medium->tymed != TYMED_HGLOBAL)
            return E_INVALIDARG;
        if (format->cfFormat != RegisterClipboardFormatW(CFSTR_PERFORMEDDROPEFFECT))
            return DV_E_FORMATETC;
        if (auto* value = static_cast<DWORD*>(GlobalLock(medium->hGlobal))) {
            performed = static_cast<long>(*value);
            GlobalUnlock(medium->hGlobal);
        }
        if (release)
            ReleaseStgMedium(medium);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override
    {
        if (!formats)
            return E_POINTER;
        *formats = nullptr;
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        FORMATETC format = HdropFormat();
        return SHCreateStdEnumFmtEtc(1, &format, formats);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

    HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL mode) override { return Store(asyncMode, mode); }
    HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* mode) override { return Tell(mode, asyncMode); }
    HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx*) override { return Store(inOperation, TRUE); }
    HRESULT STDMETHODCALLTYPE InOperation(BOOL* in) override { return Tell(in, inOperation); }
    HRESULT STDMETHODCALLTYPE EndOperation(HRESULT result, IBindCtx*, DWORD effects) override
    {
        ended = true;
        endResult = result;
        endEffect = effects;
        return S_OK;
    }

    BOOL asyncMode = TRUE;
    BOOL inOperation = FALSE;
    bool ended = false;
    HRESULT endResult = S_OK;
    DWORD endEffect = DROPEFFECT_NONE;
    long performed = -1;

private:
    static HRESULT Store(BOOL& field, BOOL value)
    {
        field = value;
        return S_OK;
    }
    static HRESULT Tell(BOOL* out, BOOL value)
    {
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }

    HGLOBAL files_;
    LONG refCount_ = 1;
};

class DropAfterPolls : public IDropSource
{
public:
    virtual ~DropAfterPolls() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDropSource) {
            *object = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG count = InterlockedDecrement(&refCount_);
        if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }

    // OLE delivers DragEnter and DragOver between polls; a handful of them
    // lets the target see the drag before the drop, as a hand would.
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override
    {
        if (escape)
            return DRAGDROP_S_CANCEL;
        if (++polls_ < kPollsBeforeDrop)
            return S_OK;
        WriteReleaseMoment();
        return DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    static constexpr int kPollsBeforeDrop = 8;
    int polls_ = 0;
    LONG refCount_ = 1;
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    int first = 1;
    const bool deleteOnMove = argc > 1 && std::wcscmp(argv[1], L"--delete-on-move") == 0;
    if (deleteOnMove)
        ++first;
    DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    if (argc > first + 1 && std::wcscmp(argv[first], L"--effects") == 0) {
        allowed = static_cast<DWORD>(_wtoi(argv[first + 1]));
        first += 2;
    }
    if (argc > first + 1 && std::wcscmp(argv[first], L"--released") == 0) {
        s_releasedFile = argv[first + 1];
        first += 2;
    }
    if (argc < first + 3) {
        std::fwprintf(stderr, L"usage: see the top of DropSource.cpp\n");
        return 2;
    }
    std::vector<std::wstring> paths;
    for (int i = first + 2; i < argc; ++i) {
        // An absolute path goes as written: the system's clean-up would cut
        // a name ending in a dot or a blank ("rep.") to another entry's.
        const std::wstring given = argv[i];
        if ((given.size() >= 3 && given[1] == L':' && given[2] == L'\\') || given.rfind(L"\\\\", 0) == 0) {
            paths.push_back(given);
            continue;
        }
        wchar_t full[MAX_PATH * 4] = {};
        const DWORD length = GetFullPathNameW(argv[i], MAX_PATH * 4, full, nullptr);
        paths.emplace_back(length > 0 && length < MAX_PATH * 4 ? full : argv[i]);
    }
    if (FAILED(OleInitialize(nullptr))) {
        std::fwprintf(stderr, L"OleInitialize failed\n");
        return 1;
    }
    HGLOBAL files = MakeFileList(paths);
    if (!files) {
        OleUninitialize();
        return 1;
    }
    SetCursorPos(_wtoi(argv[first]), _wtoi(argv[first + 1]));
    auto* data = new FileListData(files);
    auto* source = new DropAfterPolls();
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result = DoDragDrop(data, source, allowed, &effect);
    source->Release();
    // A target that works asynchronously answers later, through this
    // program's message loop.
    const bool async = data->inOperation;
    if (async) {
        const ULONGLONG until = GetTickCount64() + 60000;
        MSG msg;
        while (!data->ended && GetTickCount64() < until) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        effect = data->ended && SUCCEEDED(data->endResult) ? data->endEffect : DROPEFFECT_NONE;
    }
    if (deleteOnMove && (effect & DROPEFFECT_MOVE)) {
        for (const std::wstring& path : paths)
            DeleteFileW(path.c_str());
    }
    const long performed = data->performed;
    data->Release();
    OleUninitialize();
    std::wprintf(L"result 0x%08lx effect %lu performed %ld async %d\n", static_cast<unsigned long>(result), effect,
                 performed, async ? 1 : 0);
    return result == DRAGDROP_S_DROP ? 0 : 1;
}
