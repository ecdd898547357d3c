// Sections: live controls and lookups; construction and set-up; input;
// hover, tooltip and highlight; file facts and thumbnails; painting.
#include "box/icons/KelmIcon.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <exception>
#include <filesystem>
#include <unordered_set>

#include "app/CommonHelpers.h"
#include "box/BoxRuntime.h"
#include "box/BoxWindowHooks.h"
#include "box/icons/IconDisplayRules.h"
#include "box/icons/IconLog.h"
#include "box/icons/ShellIconImages.h"
#include "box/icons/WildcardMatch.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

uint32_t s_iconFileFactsGeneration = 1;

namespace TessikDesktopContainer
{

// ---------------------------------------------------------------- live controls and lookups

namespace
{

// Timer procedures get only an id made from a control's address; they act
// only on addresses of controls that are still alive.
std::unordered_set<KelmIcon*>& LiveIcons()
{
    static std::unordered_set<KelmIcon*> live;
    return live;
}

KelmIcon* LiveIconAt(UINT_PTR address)
{
    auto* icon = reinterpret_cast<KelmIcon*>(address);
    return LiveIcons().count(icon) ? icon : nullptr;
}

KelmWindow* FrameworkWindow(HWND window)
{
    if (!window)
        return nullptr;
    auto found = WindowMap.find(window);
    return found == WindowMap.end() ? nullptr : found->second;
}

const BoxRuntime* RuntimeForWindow(HWND window)
{
    const KelmWindow* frame = FrameworkWindow(window);
    if (!frame)
        return nullptr;
    for (const auto& [box, runtime] : s_boxRuntimes) {
        if (box.get() == frame)
            return &runtime;
    }
    return nullptr;
}

float ClientWidthDips(HWND window)
{
    RECT client{};
    if (!window || !GetClientRect(window, &client))
        return 0.0f;
    return static_cast<float>(client.right - client.left) / static_cast<float>(DpiScale);
}

float ClientHeightDips(HWND window)
{
    RECT client{};
    if (!window || !GetClientRect(window, &client))
        return 0.0f;
    return static_cast<float>(client.bottom - client.top) / static_cast<float>(DpiScale);
}

bool IsImagePath(const std::wstring& path)
{
    return WildcardMatchNoCase(L"*.png", path) || WildcardMatchNoCase(L"*.jpg", path) ||
           WildcardMatchNoCase(L"*.jpeg", path) || WildcardMatchNoCase(L"*.bmp", path);
}

std::wstring FileNameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

constexpr COLORREF kSelectionAccent = 0xFB7952;

} // namespace

// ---------------------------------------------------------------- construction and set-up

KelmIcon::KelmIcon()
{
    LiveIcons().insert(this);
}

KelmIcon::~KelmIcon()
{
    LiveIcons().erase(this);
    if (window) {
        KillTimers(window);
        StopAnimations(window);
    }
}

void KelmIcon::Setup(int newX, int newY, int size, const wchar_t* newPath, const wchar_t* newLabel,
                     std::function<void()> open, std::function<void(const std::wstring&)> textDrop,
                     std::function<void(const bool&)> hoverMove, std::function<void()> dragStart,
                     std::function<void()> contextMenu)
{
    x = newX;
    y = newY;
    w = h = size;
    const std::wstring next = newPath ? newPath : L"";
    if (next != path) {
        // Another file: what was read or decoded for the old one is stale.
        path = next;
        thumbnail.Reset();
        thumbnailTarget = nullptr;
        thumbnailTried = false;
        thumbnailRequest.reset();
        previewText.clear();
        previewLoaded = false;
        facts = FileFacts();
    }
    label = newLabel ? newLabel : L"";
    onOpen = std::move(open);
    onTextDrop = std::move(textDrop);
    onHoverMove = std::move(hoverMove);
    onDragStart = dragStart ? std::move(dragStart) : std::function<void()>([] {});
    onContextMenu = std::move(contextMenu);
}

void KelmIcon::AttachCtl(HWND newWindow, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmIcon>)
{
    if (window && window != newWindow) {
        // Timers and animations run on the window they were started on; left
        // there they would fire for a control that now lives elsewhere.
        KillTimers(window);
        StopAnimations(window);
        holdTimerArmed = false;
        highlightUp = false;
        highlightValue = 0.0;
        tooltipValue = 0.0;
        tooltipHoverState = false;
    }
    window = newWindow;
    CreateCtl(newWindow, target);
}

void KelmIcon::KillTimers(HWND on)
{
    KillTimer(on, TooltipTimerId());
    KillTimer(on, HoldTimerId());
}

void KelmIcon::StopAnimations(HWND on)
{
    if (KelmWindow* frame = FrameworkWindow(on)) {
        if (highlightAnimationId != -1)
            frame->StopAnimation(highlightAnimationId);
        if (tooltipAnimationId != -1)
            frame->StopAnimation(tooltipAnimationId);
    }
    highlightAnimationId = -1;
    tooltipAnimationId = -1;
}

void KelmIcon::Repaint() const
{
    if (window)
        InvalidateRect(window, nullptr, FALSE);
}

bool KelmIcon::DragOrFileDragRunning()
{
    return s_boxWindowHooks.DragInProgress() || s_dragOverAccepted;
}

Brevin::kelmRect KelmIcon::GetRect()
{
    const BoxRuntime* box = RuntimeForWindow(window);
    IconCellInput input;
    input.x = x;
    input.y = y;
    input.w = w;
    input.h = h;
    input.listView = box && box->IsListView;
    input.spacingMode = box ? box->IconSpacingMode : 0;
    input.viewWidth = input.listView ? ClientWidthDips(window) : 0.0f;
    input.path = &path;
    const IconHitRect rect = ComputeIconHitRect(input);
    return {rect.x, rect.y, rect.w, rect.h};
}

// ---------------------------------------------------------------- input

int KelmIcon::OnDropText(const Brevin::kelmPoint&, Brevin::kelmEvent event, std::wstring text)
{
    try {
        if (event == Brevin::KELM_DROP_FILES) {
            if (onTextDrop)
                onTextDrop(text);
            Repaint();
        }
    } catch (const std::exception& e) {
        LogIconError(L"Text drop on an icon failed: " + std::wstring(e.what(), e.what() + strlen(e.what())));
    } catch (...) {
        LogIconError(L"Text drop on an icon failed.");
    }
    return 0;
}

int KelmIcon::AddEvent(const Brevin::kelmPoint& pixelPoint, Brevin::kelmEvent event)
{
    try {
        // Mouse events come in client pixels; distances are compared in DIPs.
        const double scale = DpiScale > 0 ? DpiScale : 1.0;
        const Brevin::kelmPoint point{static_cast<int32_t>(pixelPoint.x / scale),
                                      static_cast<int32_t>(pixelPoint.y / scale)};
        const BoxRuntime* box = RuntimeForWindow(window);

        if (event == Brevin::KELM_LBUTTON_UP) {
            if (!s_doubleClickAction || (box && box->dropPending) || DragOrFileDragRunning()) {
                OnMouseUp();
            } else if (holdTimerArmed) {
                // The release waits for a double click, but the hold timer
                // must not turn this still click into a drag.
                KillTimer(window, HoldTimerId());
                holdTimerArmed = false;
            }
            return 0;
        }

        // A double click arrives with the button down by definition; the
        // key state may still lag behind the message.
        if (event != Brevin::KELM_LBUTTON_DBLCLK && pressedFlag && !(GetAsyncKeyState(VK_LBUTTON) & 0x8000)) {
            pressedFlag = false;
            elasticX = elasticY = 0.0f;
            if (holdTimerArmed) {
                KillTimer(window, HoldTimerId());
                holdTimerArmed = false;
            }
            Repaint();
        }

        switch (event) {
        case Brevin::KELM_LBUTTON_DBLCLK:
            if (s_doubleClickAction)
                OnMouseUp();
            break;
        case Brevin::KELM_LBUTTON_DOWN:
            pressPoint = point;
            pressedFlag = true;
            BeginPress();
            break;
        case Brevin::KELM_RBUTTON_UP:
            if (onContextMenu)
                onContextMenu();
            break;
        case Brevin::KELM_MOUSE_MOVE: {
            if (hoverSuspended || dragMode == 2) {
                Repaint();
                break;
            }
            hovered = true;
            if (pressedFlag) {
                const double dx = static_cast<double>(point.x) - pressPoint.x;
                const double dy = static_cast<double>(point.y) - pressPoint.y;
                const double d = std::sqrt(dx * dx + dy * dy);
                if (d > 2.0 && holdTimerArmed) {
                    KillTimer(window, HoldTimerId());
                    holdTimerArmed = false;
                }
                if (d > w / 2.5 || d > h / 2.5 || (box && box->IsListView)) {
                    pressPoint = point;
                    elasticX = elasticY = 0.0f;
                    pressedFlag = false;
                    Repaint();
                    // Last: the drag may run a modal system drag loop.
                    onDragStart();
                } else if (d > 2.0) {
                    const float s = static_cast<float>(d) / 12.0f + 1.8f;
                    elasticX = static_cast<float>(dx) / s;
                    elasticY = static_cast<float>(dy) / s;
                    Repaint();
                } else if (elasticX != 0.0f || elasticY != 0.0f) {
                    elasticX = elasticY = 0.0f;
                    Repaint();
                }
            }
            if (!highlightUp)
                Repaint();
            if (!dimmed && onHoverMove)
                onHoverMove(false);
            break;
        }
        default:
            break;
        }
    } catch (const std::exception& e) {
        LogIconError(L"Icon input failed: " + std::wstring(e.what(), e.what() + strlen(e.what())));
    } catch (...) {
        LogIconError(L"Icon input failed.");
    }
    return 0;
}

void KelmIcon::OnMouseUp()
{
    if (holdTimerArmed) {
        KillTimer(window, HoldTimerId());
        holdTimerArmed = false;
    }
    if (hoverSuspended)
        Repaint();
    if (!pressStarted && dragMode == 0)
        return;
    hovered = false;
    pressStarted = false;
    const bool click = pressedFlag && std::fabs(elasticX) < 0.2f && std::fabs(elasticY) < 0.2f;
    pressedFlag = false;
    elasticX = elasticY = 0.0f;
    Repaint();
    // Last: opening may show a modal message or remove this very record.
    if (click && onOpen)
        onOpen();
}

void KelmIcon::OnMouseDown()
{
    if (holdTimerArmed) {
        KillTimer(window, HoldTimerId());
        holdTimerArmed = false;
    }
    hovered = false;
    pressedFlag = false;
    elasticX = elasticY = 0.0f;
    Repaint();
}

void KelmIcon::BeginPress()
{
    pressed = true;
    pressStarted = true;
    holdTimerArmed = true;
    if (window)
        SetTimer(window, HoldTimerId(), 600, &KelmIcon::HoldTimerProc);
    Repaint();
}

void CALLBACK KelmIcon::HoldTimerProc(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    try {
        KelmIcon* icon = LiveIconAt(id - 1);
        if (!icon || icon->window != window || !icon->holdTimerArmed || !icon->pressedFlag)
            return;
        icon->holdTimerArmed = false;
        icon->elasticX = icon->elasticY = 0.0f;
        icon->pressedFlag = false;
        icon->Repaint();
        icon->onDragStart();
    } catch (...) {
        LogIconError(L"Icon hold timer failed.");
    }
}

// ---------------------------------------------------------------- hover, tooltip and highlight

void KelmIcon::UpdateHoverAndTooltip()
{
    if (hovered == tooltipHoverState)
        return;
    KelmWindow* frame = FrameworkWindow(window);
    if (tooltipAnimationId != -1 && frame)
        frame->StopAnimation(tooltipAnimationId);
    tooltipAnimationId = -1;
    if (hovered) {
        if (window)
            SetTimer(window, TooltipTimerId(), 600, &KelmIcon::ToolTipTimerProc);
    } else {
        if (window)
            KillTimer(window, TooltipTimerId());
        if (tooltipValue > 0.0 && frame) {
            frame->StartAnimationTimer();
            tooltipAnimationId = frame->AnimateVariable<double>(tooltipValue, tooltipValue, 0.0, 0.2, nullptr,
                                                                [this] { tooltipAnimationId = -1; });
        }
    }
    tooltipHoverState = hovered;
}

void CALLBACK KelmIcon::ToolTipTimerProc(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    try {
        KelmIcon* icon = LiveIconAt(id);
        if (!icon || icon->window != window || !icon->hovered || icon->tooltipAnimationId != -1)
            return;
        KelmWindow* frame = FrameworkWindow(window);
        if (!frame)
            return;
        frame->StartAnimationTimer();
        icon->tooltipAnimationId = frame->AnimateVariable<double>(icon->tooltipValue, icon->tooltipValue, 1.0, 0.2,
                                                                  nullptr, [icon] { icon->tooltipAnimationId = -1; });
    } catch (...) {
        LogIconError(L"Icon tooltip timer failed.");
    }
}

void KelmIcon::UpdateHighlight()
{
    KelmWindow* frame = FrameworkWindow(window);
    if (!frame)
        return;
    const bool rising = hovered && !dimmed && !highlightUp && highlightValue < 1.0;
    const bool falling = (!hovered || dimmed) && highlightUp && highlightValue > 0.0;
    if (!rising && !falling)
        return;
    if (highlightAnimationId != -1)
        frame->StopAnimation(highlightAnimationId);
    highlightUp = rising;
    frame->StartAnimationTimer();
    auto done = [this] { highlightAnimationId = -1; };
    if (rising)
        highlightAnimationId = frame->AnimateVariableWithBezier<double>(highlightValue, highlightValue, 1.0, 0.25, 0.25,
                                                                        0.1, 0.25, 1.0, done);
    else
        highlightAnimationId = frame->AnimateVariableWithBezier<double>(highlightValue, highlightValue, 0.0, 0.25, 0.42,
                                                                        0.0, 0.58, 1.0, done);
}

// ---------------------------------------------------------------- file facts and thumbnails

const std::wstring& KelmIcon::SizeText()
{
    RefreshFileFacts();
    return facts.sizeText;
}

void KelmIcon::RefreshFileFacts()
{
    if (facts.loaded && facts.generation == s_iconFileFactsGeneration)
        return;
    // Read once per folder sync, not on every paint: a box of a few hundred
    // icons would otherwise stat and list the disk 60 times a second.
    facts = FileFacts();
    facts.loaded = true;
    facts.generation = s_iconFileFactsGeneration;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return;
    facts.exists = true;
    facts.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (facts.folder) {
        facts.sizeText = L"文件夹";
        std::error_code error;
        for (std::filesystem::directory_iterator it(path, error), end;
             !error && it != end && facts.folderEntries.size() < 4; it.increment(error)) {
            std::wstring name = it->path().filename().wstring();
            for (wchar_t& c : name)
                c = static_cast<wchar_t>(std::towlower(c));
            if (name != L"desktop.ini")
                facts.folderEntries.push_back(it->path().wstring());
        }
    } else {
        facts.sizeText = FormatIconSizeText((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    }
}

void KelmIcon::LoadThumbnail(ID2D1RenderTarget* target, HWND paintWindow)
{
    thumbnailTried = true;
    thumbnailTarget = target;
    thumbnail.Reset();
    thumbnailRequest = RequestThumbnail(path, 128.0, paintWindow);
}

void KelmIcon::TakeDecodedThumbnail(ID2D1RenderTarget* target)
{
    if (!thumbnailRequest || !thumbnailRequest->done)
        return;
    const std::shared_ptr<ThumbnailRequest> decoded = std::move(thumbnailRequest);
    if (decoded->pixels.empty())
        return;
    ComPtr<ID2D1Bitmap> bitmap;
    if (SUCCEEDED(target->CreateBitmap(
            D2D1::SizeU(decoded->width, decoded->height), decoded->pixels.data(), decoded->width * 4,
            D2D1::BitmapProperties(D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED)),
            &bitmap)))
        thumbnail = bitmap;
}

// ---------------------------------------------------------------- painting

void KelmIcon::DrawLabel(const KelmIcon& icon, ID2D1RenderTarget* target, const std::wstring& text, float lx, float ly,
                         float width, float height, float size, COLORREF colour, float alpha, bool centred)
{
    const float glowSize = size == 10.0f ? 11.5f : size;
    switch (icon.labelStyle) {
    case 1:
    case 2:
        DrawTextGlow(target, lx, ly, width, height, text.c_str(), glowSize, 0xFFFFFF, 0x000000, 0.0f, 1.2f, 4.0f,
                     icon.labelStyle == 1 ? 0.16f : 0.08f, alpha, centred);
        break;
    case 3:
        DrawTextGlow(target, lx, ly, width, height, text.c_str(), glowSize, colour, ThemeBaseColor.Ref(), 0.0f, 1.2f,
                     4.0f, 0.08f, alpha, centred);
        break;
    default:
        DrawTextInRect(target, lx, ly, width, height, text.c_str(), size, colour, L"Segoe UI", alpha, centred);
        break;
    }
}

void KelmIcon::DrawLabelSemibold(const KelmIcon& icon, ID2D1RenderTarget* target, const std::wstring& text, float lx,
                                 float ly, float width, float height, float size, COLORREF colour, float alpha,
                                 bool centred)
{
    const float glowSize = size == 10.0f ? 11.5f : size;
    switch (icon.labelStyle) {
    case 1:
    case 2:
        DrawTextGlowSemibold(target, lx, ly, width, height, text.c_str(), glowSize, 0xFFFFFF, 0x000000, 0.0f, 1.2f,
                             4.0f, icon.labelStyle == 1 ? 0.16f : 0.08f, alpha);
        break;
    case 3:
        DrawTextGlowSemibold(target, lx, ly, width, height, text.c_str(), glowSize, colour, ThemeBaseColor.Ref(), 0.0f,
                             1.2f, 4.0f, 0.08f, alpha);
        break;
    default:
        DrawTextSemibold(target, lx, ly, width, height, text.c_str(), size, colour, L"Segoe UI", alpha, centred);
        break;
    }
}

void KelmIcon::CreateCtl(HWND paintWindow, ID2D1HwndRenderTarget* target)
{
    try {
        if (!window)
            window = paintWindow;
        Paint(paintWindow, target);
    } catch (const std::exception& e) {
        LogIconError(L"Icon paint of '" + path + L"' failed: " + std::wstring(e.what(), e.what() + strlen(e.what())));
    } catch (...) {
        LogIconError(L"Icon paint of '" + path + L"' failed.");
    }
}

void KelmIcon::Paint(HWND paintWindow, ID2D1HwndRenderTarget* target)
{
    UpdateHoverAndTooltip();
    if (!target)
        return;
    InstallShellIconLoader();
    const float op = (dimmed ? 0.4f : 1.0f) * opacity;
    if (op <= 0.01f)
        return;
    UpdateHighlight();
    const float hv = static_cast<float>(highlightValue);
    // On its way in or to its place: its texts may come a frame or two
    // later, when a paint full of such icons has time left to prepare them.
    const bool moving = opacity < 1.0f || !settled;

    const BoxRuntime* box = RuntimeForWindow(paintWindow);
    const bool list = box && box->IsListView;
    const int spacingMode = box ? box->IconSpacingMode : 0;
    const bool defaultFolderIcon = box && box->ShowDefaultFolderIcon;
    const bool isText = !list && WildcardMatchNoCase(L"*.txt", path);
    const bool isImage = IsImagePath(path);
    const float X = static_cast<float>(x) + elasticX;
    const float Y = static_cast<float>(y) + elasticY;
    float W, H, S, T;
    if (list) {
        W = ClientWidthDips(paintWindow) - static_cast<float>(x) - 20.0f;
        H = 30.0f;
        S = 24.0f;
        T = 3.0f;
    } else {
        W = static_cast<float>(isText ? 2 * w + 12 : w);
        H = static_cast<float>(h);
        S = static_cast<float>(w);
        T = 0.0f;
    }
    int mxi = 0, myi = 0;
    IconSpacingMargins(list, spacingMode, mxi, myi);
    const float mx = static_cast<float>(mxi), my = static_cast<float>(myi);

    if (Y + H < -150.0f || Y > ClientHeightDips(paintWindow) + 150.0f)
        return;

    const COLORREF text = ThemeTextColor.Ref();
    const COLORREF deep = ThemeShade30.Ref();
    if (dragMode == 2)
        return;
    if (dragMode == 1) {
        if (s_droppedFiles.size() >= 2) {
            DrawRoundRect(target, X + 5, Y + 5, W - 3, H - 3, deep, 11.5f, 0.6f * op, 1.0f, text, 0.2f * op);
            DrawRoundRect(target, X + 10, Y + 10, W - 6, H - 6, deep, 11.0f, 0.3f * op, 1.0f, text, 0.15f * op);
            DrawRoundRect(target, X, Y, W, H, deep, 12.0f, op, 1.0f, text, 0.1f * op);
            DrawShellIcon(target, path, X + 4, Y + 4 + T, S - 8, 0.8f * op);
        } else {
            DrawRoundRect(target, X, Y, W, H, deep, 12.0f, 0.1f * op, 1.0f, text, 0.1f * op);
            DrawShellIcon(target, path, X + 4, Y + 4 + T, S - 8, 0.5f * op);
        }
        if (list)
            DrawLabel(*this, target, label, X + S + 15, Y + H / 2 - 8, W - 80 - S - 15, H / 2 + 8, 14, text, op, false);
        return;
    }

    // Background, at the cell's resting place (without the elastic offset).
    const float bx = static_cast<float>(x) - 5 - mx;
    const float by = static_cast<float>(y) - (list ? 2 : 5) - my;
    const float bw = W + 10 + 2 * mx;
    if (selected) {
        const float bh = H + (list ? 4 : 20) + 2 * my;
        DrawRoundRect(target, bx, by, bw, bh, deep, 8.0f, 0.2f * op, 1.5f, kSelectionAccent, op);
    } else if ((hovered && !dimmed) || hv * 0.25f > 0.1f) {
        float bh = H + (list ? 5 : 21) + 2 * my;
        if (spacingMode == 0 && path.size() >= 5 && CountCjkCharacters(path) >= 3)
            bh += 11;
        DrawRoundRect(target, bx, by, bw, bh, deep, 8.0f, hv * 0.25f * opacity, 1.0f, text, hv / 12 * opacity);
        DrawRoundRect(target, bx, by, bw, bh, deep, 8.0f, 0.0f, 1.0f, text, hv / 10 * opacity, true);
    }

    RefreshFileFacts();
    const bool folderPreview = facts.folder && !defaultFolderIcon;
    const float ox = X - hv / 2 + 3;
    const float oy = Y - hv / 2 + 3 + T;

    if (folderPreview) {
        const float q = (S + hv - 6) / 2;
        DrawRoundRect(target, X, Y + T, S, S, deep, 8.0f, 0.2f * op, 1.0f, text, 0.1f * op);
        for (size_t i = 0; i < facts.folderEntries.size(); ++i)
            DrawShellIcon(target, facts.folderEntries[i], ox + static_cast<float>(i % 2) * q + 1,
                          oy + static_cast<float>(i / 2) * q + 1, q - 2, op);
    } else if (isText) {
        // Face and fade are the same for every card of the box: kept as
        // pixels, not drawn shape by shape on every frame.
        const COLORREF card = ContrastShiftColor(ThemeAccent.Ref(), 10);
        DrawKeptShapes(target, X, Y, ButtonFaceShapes(W, H + 4, card, 8.0f));
        if (!previewLoaded && facts.exists) {
            previewLoaded = true;
            previewText = ReadTextPreview(path);
        }
        const size_t start = previewText.find_first_not_of(L" \t\v\f\u3000");
        if (start != std::wstring::npos) {
            if (labelStyle == 0)
                DrawTextCached(target, previewLayout, X + 8, Y + 8, W - 10, H - 22,
                               std::wstring_view(previewText).substr(start), 11, 600, text, 0.6f * op, false, moving);
            else
                DrawLabelSemibold(*this, target, previewText.substr(start), X + 8, Y + 8, W - 10, H - 22, 11, text,
                                  0.6f * op, false);
        }
        static const float kFadeOffsets[] = {8, 6, 5, 4, 3};
        static const float kFadeAlphas[] = {0.5f, 0.4f, 0.3f, 0.2f, 0.1f};
        std::vector<KeptShape> fade;
        for (int k = 0; k < 5; ++k)
            fade.push_back({2, H - 26 + kFadeOffsets[k], W - 4, 20, 0, card, kFadeAlphas[k]});
        DrawKeptShapes(target, X, Y, fade);
        const bool noLabel = label.empty() || label == L"bvn!BLANK" || label == L"bvn!NULL";
        const std::wstring& name = noLabel ? FileNameOf(path) : label;
        if (labelStyle == 0)
            DrawTextCached(target, nameLayout, X + 6, Y + H - 16, W - 14, 16, name, 10, 400, text, op, false, moving);
        else
            DrawLabel(*this, target, name, X + 6, Y + H - 16, W - 14, 16, 10, text, op, false);
        return;
    } else {
        const float stretch = std::sqrt(elasticX * elasticX + elasticY * elasticY);
        const float s = std::max(0.0f, S + hv - 6 - stretch);
        if (isImage) {
            if (thumbnailTarget && thumbnailTarget != target) {
                thumbnail.Reset();
                thumbnailTried = false;
            }
            if (!thumbnailTried && facts.exists)
                LoadThumbnail(target, paintWindow);
            TakeDecodedThumbnail(target);
        }
        if (isImage && thumbnail) {
            const D2D1_SIZE_F size = thumbnail->GetSize();
            const float m = FitScale(s, size.width, size.height);
            const float dw = size.width * m, dh = size.height * m;
            const float left = ox + (s - dw) / 2, top = oy + (s - dh) / 2;
            target->DrawBitmap(thumbnail.Get(), D2D1::RectF(left, top, left + dw, top + dh), std::min(op, 1.0f),
                               D2D1_BITMAP_INTERPOLATION_MODE_LINEAR);
        } else {
            DrawShellIcon(target, path, ox, oy, s, op);
        }
    }

    if (list) {
        // A row always needs a name; "bvn!BLANK" shows the file name.
        const std::wstring& name = label == L"bvn!BLANK" ? FileNameOf(path) : label;
        DrawLabel(*this, target, name, X + S + 15, Y + H / 2 - 8, W - 80 - S - 15, H / 2 + 8, 14, text, op, false);
        DrawLabelSemibold(*this, target, facts.sizeText, X + W - 60, Y + H / 2 - 8, 60, H / 2 + 8, 14, text, 0.7f * op,
                          false);
    } else if (!label.empty() && label != L"bvn!BLANK") {
        const float lw = static_cast<float>(w) + 8 + 2 * mx;
        if (labelStyle == 0)
            DrawTextCached(target, nameLayout, X - 4 - mx, Y + static_cast<float>(h), lw, 14, label, 10, 400, text,
                           0.8f * op, true, moving);
        else
            DrawLabel(*this, target, label, X - 4 - mx, Y + static_cast<float>(h), lw, 14, 10, text, 0.8f * op, true);
    }
}

void KelmIcon::PaintCell(KelmIcon& icon, ID2D1RenderTarget* target, float px, float py, float alpha)
{
    if (!target)
        return;
    try {
        const BoxRuntime* box = RuntimeForWindow(icon.window);
        const COLORREF text = ThemeTextColor.Ref();
        const float w = static_cast<float>(icon.w), h = static_cast<float>(icon.h);
        if (box && box->IsListView) {
            DrawShellIcon(target, icon.path, px + 3, py + 6, 18, alpha);
            return;
        }
        if (WildcardMatchNoCase(L"*.txt", icon.path)) {
            const float W = 2 * w + 12, H = h;
            const COLORREF card = ContrastShiftColor(ThemeAccent.Ref(), 10);
            DrawButtonFace(target, px, py, W, H + 4, card, 8.0f);
            if (icon.previewLoaded)
                DrawTextSemibold(target, px + 8, py + 8, W - 10, H - 22, icon.previewText.c_str(), 11, text,
                                 L"Segoe UI", 0.6f * alpha, false);
            static const float kFadeOffsets[] = {8, 6, 5, 4, 3};
            static const float kFadeAlphas[] = {0.5f, 0.4f, 0.3f, 0.2f, 0.1f};
            for (int k = 0; k < 5; ++k)
                FillSolidRect(target, px + 2, py + H - 26 + kFadeOffsets[k], W - 4, 20, card, kFadeAlphas[k]);
            const bool noLabel = icon.label.empty() || icon.label == L"bvn!BLANK" || icon.label == L"bvn!NULL";
            const std::wstring name = noLabel ? FileNameOf(icon.path) : icon.label;
            DrawTextInRect(target, px + 6, py + H - 16, W - 14, 16, name.c_str(), 10, text, L"Segoe UI", alpha, false);
            return;
        }
        if (IsImagePath(icon.path)) {
            const float s = w - 6;
            if (icon.thumbnail && icon.thumbnailTarget == target) {
                const D2D1_SIZE_F size = icon.thumbnail->GetSize();
                const float m = FitScale(s, size.width, size.height);
                const float dw = size.width * m, dh = size.height * m;
                const float left = px + 3 + (s - dw) / 2, top = py + 3 + (s - dh) / 2;
                target->DrawBitmap(icon.thumbnail.Get(), D2D1::RectF(left, top, left + dw, top + dh),
                                   std::min(alpha, 1.0f), D2D1_BITMAP_INTERPOLATION_MODE_LINEAR);
            } else {
                DrawShellIcon(target, icon.path, px + 3, py + 3, s, alpha);
            }
            if (!icon.label.empty() && icon.label != L"bvn!BLANK")
                DrawLabel(icon, target, icon.label, px - 4, py + h, w + 8, 14, 10, text, 0.8f * alpha, true);
            return;
        }
        DrawShellIcon(target, icon.path, px + 3, py + 3, w - 6, alpha);
    } catch (...) {
        LogIconError(L"Drag image of '" + icon.path + L"' failed.");
    }
}

} // namespace TessikDesktopContainer
