#include "ui/core/DropShadow.h"

#include <dwmapi.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

#include "ui/core/WindowMessages.h"

namespace Brevin::Window::OuterShadow
{

namespace
{

constexpr const wchar_t* kShadowClass = L"Dawnrail.UI.BackDropWnd.Shadow.Class";

// The shadow object of each owner: the map is its owner, so it lives as
// long as the owner window does.
std::map<HWND, std::shared_ptr<DropShadow>> s_shadowObjects;
std::unordered_map<HWND, HWND> s_shadowWindows;
std::unordered_map<HWND, WNDPROC> s_previousProcs;

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
struct RegionDeleter {
    void operator()(HRGN region) const { DeleteObject(region); }
};
using UniqueDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;
using UniqueRegion = std::unique_ptr<std::remove_pointer_t<HRGN>, RegionDeleter>;

LRESULT CALLBACK ShadowWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KELM_SHADOW_DESTROY) {
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Where the shadow window of an owner at `rect` goes.
POINT ShadowOrigin(const RECT& rect, const ShadowParams& p)
{
    return {rect.left + p.offsetX - p.size, rect.top + p.offsetY - p.size};
}

// Whether the desktop blends layered windows' translucent pixels with what
// lies below (always on Windows 8 and later). A bare X server under Wine
// does not: a translucent pixel shows in its premultiplied colour, opaque.
bool DesktopComposes()
{
    BOOL on = FALSE;
    return SUCCEEDED(DwmIsCompositionEnabled(&on)) && on;
}

// The screen's pixels in `rect` (32-bit BGRA, top row first); empty when
// they cannot be read.
std::vector<uint32_t> ReadScreen(const RECT& rect)
{
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0)
        return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueDc memory(CreateCompatibleDC(nullptr));
    HDC screen = GetDC(nullptr);
    std::vector<uint32_t> pixels;
    if (bitmap && bits && memory && screen) {
        const HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
        if (BitBlt(memory.get(), 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT)) {
            GdiFlush();
            const auto* first = static_cast<const uint32_t*>(bits);
            pixels.assign(first, first + static_cast<size_t>(w) * h);
        }
        SelectObject(memory.get(), old);
    }
    if (screen)
        ReleaseDC(nullptr, screen);
    return pixels;
}

LRESULT CallPrevious(WNDPROC previous, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return previous ? CallWindowProcW(previous, window, message, wParam, lParam)
                    : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ShadowOwnerWndProc(HWND owner, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto procIt = s_previousProcs.find(owner);
    const WNDPROC previous = procIt == s_previousProcs.end() ? nullptr : procIt->second;
    try {
        switch (message) {
        case WM_MOVE: {
            const auto objectIt = s_shadowObjects.find(owner);
            const auto windowIt = s_shadowWindows.find(owner);
            if (objectIt != s_shadowObjects.end() && windowIt != s_shadowWindows.end()) {
                RECT rc{};
                GetWindowRect(owner, &rc);
                // The offsets count here as in a full redraw, or the shadow
                // would slide under its owner at the first move.
                const POINT at = ShadowOrigin(rc, objectIt->second->Params());
                SetWindowPos(windowIt->second, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
            }
            break;
        }
        case WM_SIZE: {
            const auto objectIt = s_shadowObjects.find(owner);
            if (objectIt != s_shadowObjects.end()) {
                auto shadow = objectIt->second; // Update may re-enter through messages
                shadow->Update(owner);
            }
            break;
        }
        case WM_DESTROY: {
            // Only destruction ends the shadow: an owner that refuses
            // WM_CLOSE stays and keeps its shadow.
            const auto windowIt = s_shadowWindows.find(owner);
            if (windowIt != s_shadowWindows.end()) {
                ShowWindow(windowIt->second, SW_HIDE);
                PostMessageW(windowIt->second, WM_KELM_SHADOW_DESTROY, 0, 0);
            }
            if (previous)
                SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
            s_shadowWindows.erase(owner);
            s_previousProcs.erase(owner);
            // Released last: the object may hold the only reference to itself here.
            auto keep = std::move(s_shadowObjects[owner]);
            s_shadowObjects.erase(owner);
            return CallPrevious(previous, owner, message, wParam, lParam);
        }
        default:
            break;
        }
    } catch (...) {
        // Nothing may unwind into the system's caller; the message still
        // reaches the owner's own procedure below.
    }
    return CallPrevious(previous, owner, message, wParam, lParam);
}

} // namespace

void RegisterShadowWindowClass()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ShadowWndProc;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kShadowClass;
    RegisterClassExW(&wc); // an existing class is fine
}

HWND DropShadow::ShadowWindowOf(HWND owner)
{
    const auto it = s_shadowWindows.find(owner);
    return it == s_shadowWindows.end() ? nullptr : it->second;
}

bool DropShadow::Create(HWND owner)
{
    std::shared_ptr<DropShadow> self = weak_from_this().lock();
    if (!self || !IsWindow(owner))
        return false;
    RegisterShadowWindowClass();
    HWND made = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, kShadowClass, L"", WS_POPUP | WS_BORDER | WS_SYSMENU,
                                CW_USEDEFAULT, 0, 0, 0, owner, nullptr, nullptr, nullptr);
    if (!made)
        return false;
    // A second shadow for the same owner replaces the first.
    if (HWND old = ShadowWindowOf(owner); old && old != made)
        DestroyWindow(old);
    shadow_ = made;
    status_ = kExists;
    s_shadowObjects[owner] = self;
    s_shadowWindows[owner] = shadow_;

    const LONG_PTR style = GetWindowLongPtrW(owner, GWL_STYLE);
    if (style & WS_VISIBLE) {
        status_ |= kOwnerVisible;
        if (!(style & (WS_MAXIMIZE | WS_MINIMIZE)))
            status_ |= kShown;
    }
    if (status_ & kShown) {
        // Without composition the shadow is laid over what the screen shows
        // there, which is read while the shadow window is not up yet.
        if (DesktopComposes()) {
            ShowWindow(shadow_, SW_SHOWNA);
            Update(owner);
        } else {
            Update(owner);
            ShowWindow(shadow_, SW_SHOWNA);
        }
    } else {
        ShowWindow(shadow_, SW_HIDE);
    }
    if (!s_previousProcs.count(owner)) {
        const auto previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ShadowOwnerWndProc)));
        s_previousProcs[owner] = previous;
    }
    return true;
}

void DropShadow::RefreshFor(HWND owner)
{
    const auto it = s_shadowObjects.find(owner);
    if (it == s_shadowObjects.end() || !it->second)
        return;
    auto shadow = it->second; // Update may re-enter through messages
    shadow->RedrawIfShown();
}

void DropShadow::RedrawIfShown()
{
    if ((status_ & kShown) && IsWindow(shadow_))
        Update(GetWindow(shadow_, GW_OWNER));
}

void DropShadow::SetDarkness(uint8_t darkness)
{
    params_.darkness = darkness;
    RedrawIfShown();
}

bool DropShadow::SetSharpness(uint8_t sharpness)
{
    if (sharpness > 80)
        return false;
    params_.sharpness = sharpness;
    RedrawIfShown();
    return true;
}

bool DropShadow::SetSize(int size)
{
    if (size < -20 || size > 40)
        return false;
    params_.size = static_cast<int8_t>(size);
    RedrawIfShown();
    return true;
}

bool DropShadow::SetPosition(int x, int y)
{
    if (x < -20 || x > 20 || y < -20 || y > 20)
        return false;
    params_.offsetX = static_cast<int8_t>(x);
    params_.offsetY = static_cast<int8_t>(y);
    RedrawIfShown();
    return true;
}

void DropShadow::SetColor(COLORREF colour)
{
    params_.colour = colour;
    RedrawIfShown();
}

void DropShadow::Update(HWND owner)
{
    RECT rc{};
    if (!IsWindow(shadow_) || !GetWindowRect(owner, &rc))
        return;
    const int w = rc.right - rc.left + 2 * params_.size;
    const int h = rc.bottom - rc.top + 2 * params_.size;
    if (w <= 0 || h <= 0)
        return;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top row first, as the drawing writes it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits)
        return;
    MakeShadowBitmap(static_cast<uint32_t*>(bits), owner, rc);
    POINT at = ShadowOrigin(rc, params_);
    if (!DesktopComposes())
        LayOverScreen(static_cast<uint32_t*>(bits), RECT{at.x, at.y, at.x + w, at.y + h});

    UniqueDc memory(CreateCompatibleDC(nullptr));
    if (!memory)
        return;
    const HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    SIZE size{w, h};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    SetWindowPos(shadow_, nullptr, at.x, at.y, w, h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    UpdateLayeredWindow(shadow_, nullptr, &at, &size, memory.get(), &source, 0, &blend, ULW_ALPHA);
    SelectObject(memory.get(), old);
}

void DropShadow::LayOverScreen(uint32_t* bits, const RECT& rect)
{
    const size_t count = static_cast<size_t>(rect.right - rect.left) * (rect.bottom - rect.top);
    // Read only while the shadow is not on the screen: it would read itself
    // back and darken at every redraw. Shown and moved, nothing known lies
    // under it, and it shows nothing rather than a black bar.
    if (!EqualRect(&rect, &underRect_) || under_.size() != count) {
        under_ = IsWindowVisible(shadow_) ? std::vector<uint32_t>() : ReadScreen(rect);
        underRect_ = rect;
    }
    std::vector<uint32_t> shadow(bits, bits + count);
    if (under_.size() == count)
        BlendOverOpaque(shadow, under_);
    else
        std::fill(shadow.begin(), shadow.end(), 0u);
    std::copy(shadow.begin(), shadow.end(), bits);
}

void DropShadow::BlendOverOpaque(std::vector<uint32_t>& shadow, const std::vector<uint32_t>& under)
{
    const size_t n = std::min(shadow.size(), under.size());
    for (size_t i = 0; i < n; ++i) {
        const uint32_t a = shadow[i] >> 24;
        if (a == 0)
            continue;
        uint32_t out = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t c = (shadow[i] >> shift) & 0xFF, u = (under[i] >> shift) & 0xFF;
            out |= std::min<uint32_t>(255, c + u * (255 - a) / 255) << shift;
        }
        shadow[i] = out;
    }
}

void DropShadow::MakeShadowBitmap(uint32_t* bits, HWND owner, const RECT& rect) const
{
    const int ownerW = rect.right - rect.left, ownerH = rect.bottom - rect.top;
    UniqueRegion shape(CreateRectRgn(0, 0, ownerW, ownerH));
    if (!shape)
        return;
    GetWindowRgn(owner, shape.get()); // no region: the rectangle stays
    std::vector<RowSpan> rows(ownerH, RowSpan{0, -1});
    for (int y = 0; y < ownerH; ++y) {
        int left = 0;
        while (left < ownerW && !PtInRegion(shape.get(), left, y))
            ++left;
        if (left == ownerW)
            continue;
        int right = ownerW - 1;
        while (right > left && !PtInRegion(shape.get(), right, y))
            --right;
        rows[y] = {left, right};
    }
    const std::vector<uint32_t> pixels = RenderShadow(rows, ownerW, ownerH, params_);
    std::copy(pixels.begin(), pixels.end(), bits);
}

std::vector<uint32_t> DropShadow::RenderShadow(const std::vector<RowSpan>& rows, int ownerW, int ownerH,
                                               const ShadowParams& p)
{
    const int size = p.size, sharpness = p.sharpness;
    const int W = ownerW + 2 * size, H = ownerH + 2 * size;
    if (W <= 0 || H <= 0)
        return {};
    std::vector<uint8_t> alpha(static_cast<size_t>(W) * H, 0);

    // Shrink the shape so the fall-off ends near the owner's own edge when
    // the shadow is sharper than it is large.
    auto at = [&](const std::vector<RowSpan>& spans, int j) {
        return j < 0 || j >= static_cast<int>(spans.size()) ? RowSpan{0, -1} : spans[j];
    };
    std::vector<RowSpan> spans(rows.begin(), rows.end());
    spans.resize(ownerH, RowSpan{0, -1});
    for (int pass = 0; pass < sharpness - size; ++pass) {
        std::vector<RowSpan> next(spans.size());
        for (int j = 0; j < ownerH; ++j) {
            const RowSpan a = at(spans, j - 1), b = at(spans, j), c = at(spans, j + 1);
            if (a.Empty() || b.Empty() || c.Empty())
                next[j] = {0, -1};
            else
                next[j] = {std::max({a.left, b.left, c.left}) + 1, std::min({a.right, b.right, c.right}) - 1};
        }
        spans.swap(next);
    }

    // Kernel by horizontal and vertical distance: full darkness inside
    // `inner`, then a linear fall-off over the sharpness.
    const int R = std::max(size, sharpness);
    const int inner = std::max(0, size - sharpness);
    const int side = 2 * R + 1;
    std::vector<uint8_t> kernel(static_cast<size_t>(side) * side, 0);
    for (int dy = -R; dy <= R; ++dy) {
        for (int dx = -R; dx <= R; ++dx) {
            const double r = std::sqrt(static_cast<double>(dx * dx + dy * dy));
            int a = 0;
            if (r < inner)
                a = p.darkness;
            else if (r <= R)
                a = static_cast<int>((1.0 - (r - inner) / (sharpness + 1)) * p.darkness);
            kernel[(dy + R) * side + (dx + R)] = static_cast<uint8_t>(std::clamp(a, 0, 255));
        }
    }

    // Stamp the kernel along every span: the ends get the rounded
    // fall-off, the inside the vertical one.
    for (int j = 0; j < ownerH; ++j) {
        const RowSpan s = spans[j];
        if (s.Empty())
            continue;
        const int l = s.left + size, r = s.right + size, row = j + size;
        for (int dy = -R; dy <= R; ++dy) {
            const int yy = row + dy;
            if (yy < 0 || yy >= H)
                continue;
            const uint8_t* krow = &kernel[(dy + R) * side + R];
            uint8_t* out = &alpha[static_cast<size_t>(yy) * W];
            for (int xx = std::max(0, l - R); xx <= std::min(W - 1, r + R); ++xx) {
                const int d = xx < l ? l - xx : xx > r ? xx - r : 0;
                out[xx] = std::max(out[xx], krow[d]);
            }
        }
    }

    // Never show through a translucent owner: clear what it covers.
    for (int j = 0; j < ownerH && j < static_cast<int>(rows.size()); ++j) {
        const RowSpan s = rows[j];
        const int yy = j + size - p.offsetY;
        if (s.Empty() || yy < 0 || yy >= H)
            continue;
        for (int xx = std::max(0, s.left + size - p.offsetX); xx <= std::min(W - 1, s.right + size - p.offsetX); ++xx)
            alpha[static_cast<size_t>(yy) * W + xx] = 0;
    }

    std::vector<uint32_t> pixels(alpha.size());
    const uint32_t cr = GetRValue(p.colour), cg = GetGValue(p.colour), cb = GetBValue(p.colour);
    for (size_t i = 0; i < alpha.size(); ++i) {
        const uint32_t a = alpha[i];
        pixels[i] = (a << 24) | ((cr * a / 255) << 16) | ((cg * a / 255) << 8) | (cb * a / 255);
    }
    return pixels;
}

} // namespace Brevin::Window::OuterShadow
