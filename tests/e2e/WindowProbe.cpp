// Small Windows console program the end-to-end scripts run in the same Wine
// prefix as Tessik.exe to see and poke its top-level windows (X tools only
// see Wine's own class names). Every wait is bounded by its timeout.
//
//   WindowProbe wait <class> <title> <visible|hidden|iconic|restored|any> <timeout ms>
//   WindowProbe gone <class> <title> <timeout ms>
//   WindowProbe count <class> <title>
//   WindowProbe post <class> <title> <message> <wParam> <lParam>
//   WindowProbe post-one <class> <title> <message> <wParam> <lParam>  (first match only)
//   WindowProbe send <class> <title> <message> <wParam> <lParam> [count]  (first match, count times
//     (1), each handled before the next; each within 30 s: a loaded machine can keep a busy window
//     from it for long)
//   WindowProbe close-title <part of a title>
//   WindowProbe click <class> <title> <x> <y>   (client pixels; returns after the repaint)
//   WindowProbe settled <class> <title> <timeout ms>   (visible, opaque, still, idle)
//   WindowProbe list   (class, title, visible, process, rectangle, handle)
//
// "Visible" is on screen: shown, and with some area (a window shown with an
// empty region is not).
//   WindowProbe at <x> <y>   (the top-level window a click at that screen point reaches, as list prints it)
//   WindowProbe move <class> <title> <x> <y>   (first match, screen pixels, size kept)
//   WindowProbe item-text <class> <title> <control id>   (text of a dialog item of the first match, UTF-8)
//   WindowProbe set-item-text <class> <title> <control id> <text>   (WM_SETTEXT to a dialog item of the first match)
//   WindowProbe children <class> <title>   (every descendant of the first match: depth, class, control id,
//     visible, text, UTF-8)
//   WindowProbe message-font-covers <text>   (the font of message boxes has a glyph for every character)
//   WindowProbe mutex-gone <name> <timeout ms>   (no process holds the named mutex any more)
//
// A class ending in "*" matches every class that begins with the rest
// (menus register a class with a random suffix each).
//
// Exit code 0 on success, 1 when the condition was not met, 2 on bad use.
// A command that acts (post, post-one, send, close-title, click, move)
// always writes something when it fails: an end with status 1 and no word
// at all is Wine's end of the program at its start, before it acted.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <utility>
#include <string>
#include <vector>

namespace
{

struct Found {
    HWND window;
    std::wstring className;
    std::wstring title;
    bool visible;
    DWORD processId;
};

// Visible and on screen: a window shown with an empty region (one that
// waits for its first frame) has nothing on screen yet.
bool OnScreen(HWND window)
{
    if (!IsWindowVisible(window))
        return false;
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    const int kind = region ? GetWindowRgn(window, region) : ERROR;
    if (region)
        DeleteObject(region);
    return kind != NULLREGION;
}

Found Describe(HWND window)
{
    wchar_t className[256] = {};
    wchar_t title[512] = {};
    GetClassNameW(window, className, 256);
    GetWindowTextW(window, title, 512);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return {window, className, title, OnScreen(window), processId};
}

std::vector<Found> ListWindows()
{
    std::vector<Found> windows;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<Found>*>(param)->push_back(Describe(window));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<Found> Matching(const std::wstring& className, const std::wstring& title)
{
    std::vector<Found> matches;
    const bool prefix = !className.empty() && className.back() == L'*';
    const std::wstring stem = prefix ? className.substr(0, className.size() - 1) : className;
    for (const Found& f : ListWindows()) {
        const bool classMatches = prefix ? f.className.rfind(stem, 0) == 0 : f.className == className;
        if (classMatches && f.title == title)
            matches.push_back(f);
    }
    return matches;
}

bool WantedVisibility(const Found& f, const std::wstring& visibility)
{
    const bool iconic = IsIconic(f.window) != FALSE;
    return visibility == L"any" || (visibility == L"visible" && f.visible) || (visibility == L"hidden" && !f.visible) ||
           (visibility == L"iconic" && iconic) || (visibility == L"restored" && f.visible && !iconic);
}

void Print(const Found& f)
{
    RECT rect{};
    GetWindowRect(f.window, &rect);
    std::wprintf(L"%ls\t%ls\t%d\t%lu\t%ld,%ld,%ld,%ld\t%llx\n", f.className.c_str(), f.title.c_str(), f.visible ? 1 : 0,
                 f.processId, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(f.window)));
}

// Sends and waits (up to 30 s) until the window has handled the message.
// Wine was seen to fail a send at once on a loaded machine: a failure that
// is not a timeout is tried again, a few times at most.
bool SendHandled(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (int attempt = 1; attempt <= 3; ++attempt) {
        DWORD_PTR result = 0;
        const ULONGLONG start = GetTickCount64();
        if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 30000, &result))
            return true;
        const DWORD error = GetLastError();
        std::fwprintf(stderr, L"send: attempt %d failed with error %lu after %llu ms\n", attempt, error,
                      GetTickCount64() - start);
        if (error == ERROR_TIMEOUT)
            return false;
    }
    return false;
}

int Wait(const std::wstring& className, const std::wstring& title, const std::wstring& visibility, DWORD timeout)
{
    const ULONGLONG end = GetTickCount64() + timeout;
    do {
        for (const Found& f : Matching(className, title)) {
            if (WantedVisibility(f, visibility)) {
                Print(f);
                return 0;
            }
        }
        Sleep(100);
    } while (GetTickCount64() < end);
    return 1;
}

int Gone(const std::wstring& className, const std::wstring& title, DWORD timeout)
{
    const ULONGLONG end = GetTickCount64() + timeout;
    do {
        if (Matching(className, title).empty())
            return 0;
        Sleep(100);
    } while (GetTickCount64() < end);
    return 1;
}

// A window is at rest when it is visible, fully opaque (a fading layered
// window reports its alpha), its rectangle has not changed over three looks
// 50 ms apart and its thread has handled everything queued before the look
// (a sent WM_NULL returns). Prints the window's line.
int Settled(const std::wstring& className, const std::wstring& title, DWORD timeout)
{
    const ULONGLONG end = GetTickCount64() + timeout;
    RECT last{};
    int same = 0;
    do {
        const auto matches = Matching(className, title);
        auto it = std::find_if(matches.begin(), matches.end(), [](const Found& f) { return f.visible; });
        if (it == matches.end()) {
            same = 0;
        } else {
            BYTE alpha = 255;
            DWORD flags = 0;
            const bool fading = (GetWindowLongW(it->window, GWL_EXSTYLE) & WS_EX_LAYERED) &&
                                GetLayeredWindowAttributes(it->window, nullptr, &alpha, &flags) &&
                                (flags & LWA_ALPHA) && alpha != 255;
            DWORD_PTR result = 0;
            const bool idle = SendMessageTimeoutW(it->window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
            RECT rect{};
            GetWindowRect(it->window, &rect);
            if (fading || !idle || !EqualRect(&rect, &last)) {
                same = 0;
                last = rect;
            } else if (++same >= 2) {
                Print(*it);
                return 0;
            }
        }
        Sleep(50);
    } while (GetTickCount64() < end);
    return 1;
}

// A process that has ended holds its objects until the Wine server has
// noticed: only then may a new process take its place.
int MutexGone(const std::wstring& name, DWORD timeout)
{
    const ULONGLONG end = GetTickCount64() + timeout;
    do {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
        if (!mutex && GetLastError() == ERROR_FILE_NOT_FOUND)
            return 0;
        if (mutex)
            CloseHandle(mutex);
        Sleep(100);
    } while (GetTickCount64() < end);
    return 1;
}

// Move, press and release at a client point of the first match, each sent
// (so handled when this returns), then one synchronous repaint: the
// window's controls are those of the page the click led to.
int Click(const std::wstring& className, const std::wstring& title, int x, int y)
{
    const auto matches = Matching(className, title);
    if (matches.empty()) {
        std::fwprintf(stderr, L"click: no window %ls \"%ls\"\n", className.c_str(), title.c_str());
        return 1;
    }
    HWND window = matches.front().window;
    const LPARAM point = MAKELPARAM(x, y);
    DWORD_PTR result = 0;
    const UINT kTimeout = 10000;
    for (const auto& [message, keys] :
         {std::pair<UINT, WPARAM>{WM_MOUSEMOVE, 0}, {WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}}) {
        if (!SendMessageTimeoutW(window, message, keys, point, SMTO_NORMAL, kTimeout, &result)) {
            if (!IsWindow(window))
                return 0;
            std::fwprintf(stderr, L"click: message %u was not taken\n", message);
            return 1;
        }
    }
    if (IsWindow(window))
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return 0;
}

// Text as UTF-8, as the scripts write their own strings.
void PrintUtf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 1 ? static_cast<size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    std::printf("%s\n", bytes.c_str());
}

// Message boxes draw their text in the system's message font; a character
// that font has no glyph for shows as an empty box. Prints the face and
// the count of such characters (line breaks and other controls aside).
int MessageFontCovers(const std::wstring& text)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return 1;
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    std::wstring shown;
    for (wchar_t c : text)
        if (c >= L' ')
            shown += c;
    std::vector<WORD> glyphs(shown.size() + 1);
    const DWORD got =
        GetGlyphIndicesW(dc, shown.c_str(), static_cast<int>(shown.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(font);
    const auto missing = std::count(glyphs.begin(), glyphs.begin() + shown.size(), static_cast<WORD>(0xFFFF));
    std::wprintf(L"%ls\t%d\n", metrics.lfMessageFont.lfFaceName, static_cast<int>(missing));
    return got != GDI_ERROR && missing == 0 ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"wait" && argc == 6)
        return Wait(argv[2], argv[3], argv[4], static_cast<DWORD>(_wtoi(argv[5])));
    if (command == L"gone" && argc == 5)
        return Gone(argv[2], argv[3], static_cast<DWORD>(_wtoi(argv[4])));
    if (command == L"count" && argc == 4) {
        std::wprintf(L"%zu\n", Matching(argv[2], argv[3]).size());
        return 0;
    }
    if ((command == L"post" || command == L"post-one") && argc == 7) {
        int posted = 0;
        for (const Found& f : Matching(argv[2], argv[3])) {
            if (PostMessageW(f.window, static_cast<UINT>(_wtoi(argv[4])), static_cast<WPARAM>(_wtoi(argv[5])),
                             static_cast<LPARAM>(_wtoi(argv[6]))))
                ++posted;
            if (posted > 0 && command == L"post-one")
                break;
        }
        std::wprintf(L"%d\n", posted);
        return posted > 0 ? 0 : 1;
    }
    if (command == L"send" && (argc == 7 || argc == 8)) {
        const auto matches = Matching(argv[2], argv[3]);
        if (matches.empty()) {
            std::fwprintf(stderr, L"send: no window %ls \"%ls\"\n", argv[2], argv[3]);
            return 1;
        }
        const int count = argc == 8 ? _wtoi(argv[7]) : 1;
        for (int i = 1; i <= count; ++i) {
            if (!SendHandled(matches.front().window, static_cast<UINT>(_wtoi(argv[4])),
                             static_cast<WPARAM>(_wtoi(argv[5])), static_cast<LPARAM>(_wtoi(argv[6])))) {
                std::fwprintf(stderr, L"send: message %ls number %d of %d was not handled\n", argv[4], i, count);
                return 1;
            }
        }
        return 0;
    }
    if (command == L"close-title" && argc == 3) {
        int closed = 0;
        for (const Found& f : ListWindows()) {
            if (f.title.find(argv[2]) != std::wstring::npos && PostMessageW(f.window, WM_CLOSE, 0, 0))
                ++closed;
        }
        std::wprintf(L"%d\n", closed);
        return closed > 0 ? 0 : 1;
    }
    if (command == L"settled" && argc == 5)
        return Settled(argv[2], argv[3], static_cast<DWORD>(_wtoi(argv[4])));
    if (command == L"move" && argc == 6) {
        const auto matches = Matching(argv[2], argv[3]);
        if (!matches.empty() && SetWindowPos(matches.front().window, nullptr, _wtoi(argv[4]), _wtoi(argv[5]), 0, 0,
                                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE))
            return 0;
        std::fwprintf(stderr, L"move: %ls \"%ls\" was not moved\n", argv[2], argv[3]);
        return 1;
    }
    if (command == L"item-text" && argc == 5) {
        const auto matches = Matching(argv[2], argv[3]);
        HWND item = matches.empty() ? nullptr : GetDlgItem(matches.front().window, _wtoi(argv[4]));
        if (!item)
            return 1;
        // GetWindowTextW would give another process's control its caption
        // only, not the text it shows.
        wchar_t text[512] = {};
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(item, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
        PrintUtf8(text);
        return 0;
    }
    if (command == L"set-item-text" && argc == 6) {
        const auto matches = Matching(argv[2], argv[3]);
        HWND item = matches.empty() ? nullptr : GetDlgItem(matches.front().window, _wtoi(argv[4]));
        DWORD_PTR done = 0;
        return item &&
                       SendMessageTimeoutW(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[5]), SMTO_ABORTIFHUNG,
                                           5000, &done) &&
                       done
                   ? 0
                   : 1;
    }
    if (command == L"children" && argc == 4) {
        const auto matches = Matching(argv[2], argv[3]);
        if (matches.empty())
            return 1;
        struct Walk {
            static void Print(HWND parent, int depth)
            {
                for (HWND child = FindWindowExW(parent, nullptr, nullptr, nullptr); child;
                     child = FindWindowExW(parent, child, nullptr, nullptr)) {
                    wchar_t name[257] = {}, text[512] = {};
                    GetClassNameW(child, name, 257);
                    DWORD_PTR copied = 0;
                    SendMessageTimeoutW(child, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                                        &copied);
                    wchar_t line[1024] = {};
                    swprintf(line, 1024, L"%d\t%ls\t0x%x\t%d\t%ls", depth, name, GetDlgCtrlID(child),
                             IsWindowVisible(child) ? 1 : 0, text);
                    PrintUtf8(line);
                    Walk::Print(child, depth + 1);
                }
            }
        };
        Walk::Print(matches.front().window, 0);
        return 0;
    }
    if (command == L"message-font-covers" && argc == 3)
        return MessageFontCovers(argv[2]);
    if (command == L"mutex-gone" && argc == 4)
        return MutexGone(argv[2], static_cast<DWORD>(_wtoi(argv[3])));
    if (command == L"click" && argc == 6)
        return Click(argv[2], argv[3], _wtoi(argv[4]), _wtoi(argv[5]));
    if (command == L"at" && argc == 4) {
        const POINT point{_wtoi(argv[2]), _wtoi(argv[3])};
        HWND hit = WindowFromPoint(point);
        HWND top = hit ? GetAncestor(hit, GA_ROOT) : nullptr;
        if (!top)
            return 1;
        Print(Describe(top));
        return 0;
    }
    if (command == L"list") {
        for (const Found& f : ListWindows())
            Print(f);
        return 0;
    }
    std::fwprintf(stderr, L"usage: see the top of WindowProbe.cpp\n");
    return 2;
}
