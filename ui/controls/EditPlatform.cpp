#include "ui/controls/EditPlatform.h"

#include <imm.h>

#include <cstring>

#include "ui/core/KelmWindow.h"

namespace EditPlatform
{

namespace
{

// Closes the clipboard on every path out of a successful open.
class ClipboardSession
{
public:
    explicit ClipboardSession(HWND window) : open_(OpenClipboard(window) != FALSE) {}
    ~ClipboardSession()
    {
        if (open_)
            CloseClipboard();
    }
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_;
};

} // namespace

KelmWindow* WindowObject(HWND window)
{
    if (!window)
        return nullptr;
    auto it = WindowMap.find(window);
    return it == WindowMap.end() ? nullptr : it->second;
}

bool ShiftDown()
{
    return GetKeyState(VK_SHIFT) < 0;
}

bool ControlDown()
{
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

bool WriteClipboardText(HWND owner, const std::wstring& text)
{
    ClipboardSession clipboard(owner);
    if (!clipboard.IsOpen())
        return false;
    // Allocate and fill before emptying: a failed allocation must leave the
    // user's clipboard as it was.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (!memory)
        return false;
    auto* target = static_cast<wchar_t*>(GlobalLock(memory));
    if (!target) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(target, text.data(), text.size() * sizeof(wchar_t));
    target[text.size()] = L'\0';
    GlobalUnlock(memory);
    EmptyClipboard();
    // On success the clipboard owns the memory.
    if (!SetClipboardData(CF_UNICODETEXT, memory)) {
        GlobalFree(memory);
        return false;
    }
    return true;
}

bool ReadClipboardText(HWND owner, std::wstring& text)
{
    ClipboardSession clipboard(owner);
    if (!clipboard.IsOpen())
        return false;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (!data)
        return false;
    const auto* source = static_cast<const wchar_t*>(GlobalLock(data));
    if (!source)
        return false;
    // Another program's data need not end in a NUL: read no further than
    // its block.
    const size_t limit = GlobalSize(data) / sizeof(wchar_t);
    size_t length = 0;
    while (length < limit && source[length] != L'\0')
        ++length;
    text.assign(source, length);
    GlobalUnlock(data);
    return true;
}

void PlaceImeWindows(HWND window, POINT at)
{
    if (!window)
        return;
    HIMC context = ImmGetContext(window);
    if (!context)
        return;
    COMPOSITIONFORM composition{};
    composition.dwStyle = CFS_POINT;
    composition.ptCurrentPos = at;
    ImmSetCompositionWindow(context, &composition);
    CANDIDATEFORM candidate{};
    candidate.dwIndex = 0;
    candidate.dwStyle = CFS_CANDIDATEPOS;
    candidate.ptCurrentPos = at;
    ImmSetCandidateWindow(context, &candidate);
    ImmReleaseContext(window, context);
}

} // namespace EditPlatform
