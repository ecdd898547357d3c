// The base of every control: its rectangle, common properties and the 17
// virtual operations the panel and the builders call. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Brevin
{

class BrevinPanel;

// An event's position: client pixels for mouse events, DIPs for key events.
struct kelmPoint {
    int32_t x;
    int32_t y;
};

// Numbers as the framework window produces them; 2 and 7 are never sent.
enum kelmEvent : int32_t {
    KELM_LBUTTON_DOWN = 0,
    KELM_LBUTTON_UP = 1,
    KELM_RBUTTON_UP = 3,
    KELM_MOUSE_MOVE = 4,
    KELM_LBUTTON_DBLCLK = 5,
    KELM_MOUSE_LEAVE = 6,
    KELM_KEY_DOWN = 8,
    KELM_KEY_UP = 9,
    KELM_DROP_FILES = 10,
    KELM_CHAR = 11,
};

// Routing result that lets the next control try.
constexpr int kNotHandled = -1;

// Values of the panel's notify dispatch (OnPanelNotify) sent by the window.
// The window lost the keyboard (another window or program took it): the
// control holding it gives it up and remembers that it did.
constexpr LPARAM kNotifyKeyboardLost = 1;
// The window has the keyboard again: the control that gave it up on the
// last loss takes it back.
constexpr LPARAM kNotifyKeyboardBack = 2;

struct kelmRect {
    int x;
    int y;
    int w;
    int h;
};

// The base's field layout as one record, for ApplyProps and BuildFromProps.
struct BrevinProps {
    int x = 0, y = 0, w = 0, h = 0;
    uint64_t word1 = 0, word2 = 0, word3 = 0;
    std::function<void()> callback;
    const wchar_t* text = nullptr;
    COLORREF color1 = 0xFB7952;
    COLORREF color2 = 0;
    COLORREF color3 = 0xD16B0F;
    uint64_t value = 0;
    int trail1 = 0, trail2 = 18, trail3 = 8;
};

class BrevinControl
{
public:
    BrevinControl();
    virtual ~BrevinControl() = default;

    // Slot order matters to nobody outside, but is kept stable for readers
    // who compare controls class by class.
    virtual int Build(int x, int y, int w, int h, const wchar_t* text, std::function<void()> callback);
    virtual int BuildEx(uint64_t word1, uint64_t word2, uint64_t word3, kelmRect rect, const wchar_t* text,
                        COLORREF color1, int trail1, std::function<void()> callback);
    virtual int OnKeyEvent(const kelmPoint& point, kelmEvent event, UINT key);
    virtual int OnDropFiles(const kelmPoint& point, kelmEvent event, std::vector<std::wstring> paths);
    virtual int OnDropText(const kelmPoint& point, kelmEvent event, std::wstring text);
    // Mouse events; returns -1 to let the routing go on.
    virtual int AddEvent(const kelmPoint& point, kelmEvent event);
    virtual int OnPanelCommand(UINT command);
    virtual int OnPanelNotify(LPARAM value);
    virtual int GetZOrder();
    virtual int SetRect(int x, int y, int w, int h);
    virtual int SetGeometry(const int rect[4], const wchar_t* text, bool applyRect);
    virtual int ApplyProps(BrevinProps props);
    virtual int BuildFromProps(BrevinProps props);
    virtual int BuildFromPropsAt(uint64_t word1, uint64_t word2, BrevinProps props);
    virtual bool IsCapturing();
    virtual kelmRect GetRect();
    virtual void SetFocus(bool focus);

    void SetPanel(BrevinPanel* owner) { panel = owner; }

    // Rectangle in DIPs (multiplied by DpiScale for mouse hit tests).
    int x = 0, y = 0, w = 0, h = 0;
    uint64_t prop1 = 0, prop2 = 0, prop3 = 0;
    std::function<void()> callback;
    const wchar_t* text = nullptr;
    COLORREF color1 = 0xFB7952;
    COLORREF color2 = 0; // ThemeTextColor at construction
    COLORREF color3 = 0xD16B0F;
    uint64_t value = 0;
    int trail1 = 0, trail2 = 18, trail3 = 8;
    bool focused = false;
    bool hovered = false; // cleared by the panel before every routing
    bool pressed = false; // cleared by the panel on events 1 and 6
    bool geometrySet = false;
    BrevinPanel* panel = nullptr;
};

} // namespace Brevin
