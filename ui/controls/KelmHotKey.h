// The box in which the user types a global hotkey: with the pointer resting
// on it, the keys pressed are collected ("CTRL", "SHIFT", "ALT", "ENTER",
// "0".."9", "A".."Z") and shown joined with "+"; a combination that is not
// modifiers plus exactly one main key turns the face red. A click clears it.
// UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/core/BrevinControl.h"

class KelmHotKey : public Brevin::BrevinControl
{
public:
    static constexpr COLORREF kInvalidFill = 0x7773FF;
    static constexpr int kWidth = 150;
    static constexpr int kHeight = 30;
    static const wchar_t* const kPlaceholder;

    KelmHotKey() = default;
    ~KelmHotKey() override;
    KelmHotKey(const KelmHotKey&) = delete;
    KelmHotKey& operator=(const KelmHotKey&) = delete;

    // The box is always 150 x 30 at (x, y) with a 15 pt label: w, h, text
    // and fontSize are accepted for the builders' uniform call and unused.
    // Resets the shown text to the placeholder and, called on every paint,
    // restores the fill after an invalid combination.
    void Set(int x, int y, int w, int h, const wchar_t* text, std::function<void()> onChange, COLORREF fill,
             int fontSize, COLORREF textColour);

    // Starts a new combination at the next key-down and joins the key list
    // into the text; valid only when the text holds a "+".
    virtual void RebuildText();
    // Key down collects a name, key up finishes the combination. Always 0.
    int OnKeyEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event, UINT key) override;
    // Press animates, release clears the box and runs the change callback.
    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void OnMouseUp();
    void OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmHotKey> self);

    // Fills the key list from a stored text such as "CTRL+SHIFT+K" and
    // rebuilds the text from it.
    void LoadCombination(const std::wstring& stored);
    // A combination the owner may store: valid and not empty.
    bool HasCapturedCombination() const { return valid == 1 && !keyText.empty(); }

    // The key name of a virtual key, empty for keys the box ignores.
    static std::wstring KeyName(UINT virtualKey);
    static std::wstring JoinKeys(const std::vector<std::wstring>& keys);

    bool newCombination = false;
    std::vector<std::wstring> keys;
    std::wstring shownText = kPlaceholder;
    // The combination text ("CTRL+SHIFT+K"), empty when none.
    std::wstring keyText;
    COLORREF fill = 0;
    int valid = 1;
    int mainKeyCount = 0;
    HWND window = nullptr;
    int animationStep = 0;
    int animationRunning = 0;
    float fontSize = 15.0f;
    COLORREF textColour = 0;
    std::function<void()> onChange;

private:
    void StopCounting();
    void FinishCombination();
};
