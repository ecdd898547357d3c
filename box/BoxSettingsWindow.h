// BoxSettingsWindow: the "收纳盒设置" window of one box (render style,
// opacities, folder view, file names, text shadow, title style and whether
// the box keeps its own values or follows the global ones under
// "TessikRef"), and the handlers behind its controls. One window at a time;
// each choice is stored at once. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <memory>
#include <string>

#include "box/BoxRuntime.h"

class KelmSlider;

namespace TessikDesktopContainer
{

// What the one settings window edits and shows; re-read only on opening.
struct BoxSettingsState {
    std::shared_ptr<KelmWindow> window;
    std::wstring boxId;
    std::wstring boxTitle;
    COLORREF boxColour = 0xFB7952;
    bool globalScope = false;
    int renderStyle = 0;
    float bgAlpha = 1.0f;
    float titleAlpha = 1.0f;
    bool showDefaultFolderIcon = false;
    int hideFileExtension = 0;
    int textRenderMode = 0;
    int titleType = 0;
    float scroll = 0.0f;
    float scrollTarget = 0.0f;
    int scrollAnimation = -1;
    std::shared_ptr<KelmSlider> bgSlider;
    std::shared_ptr<KelmSlider> titleSlider;
};
BoxSettingsState& TheBoxSettings();

// Opens the settings of this box, closing any settings window open before.
void OpenBoxSettingsWindow(const BoxWindowPtr& box);
// Closes the settings window when it edits the box with this id (the box
// is deleted).
void CloseBoxSettingsOf(const std::wstring& id);
// The settings window's draw callback.
void BuildBoxSettingsContent(HWND window, ID2D1HwndRenderTarget* rt);

// The menus of the option rows, opened under the row at client y (DIPs).
void ShowRenderStyleMenu(int rowY);
void ShowFolderViewMenu(int rowY);
void ShowFileNameMenu(int rowY);
void ShowTextShadowMenu(int rowY);
void ShowTitleStyleMenu(int rowY);
void ShowPropertyScopeMenu(int rowY);

void SetBoxRenderStyle(int style);
// Read the value of their slider.
void SetBackgroundOpacity();
void SetTitleOpacity();
void SetFolderView(bool showSystemIcon);
void SetFileNameDisplay(int mode);
void SetTextShadow(int mode);
void SetTitleStyle(int style);
void SetPropertyScope(bool global);
// Re-creates every box that follows the global values.
void SyncGlobalPropertyBoxes();

// Destroys the box with this id and makes it again from the store. A member
// of an integrated group leaves its host first; undo and redo carry over.
// Nothing happens when no live box has the id, nor while a file job works
// for the box (the user is told; the handlers that re-make a box refuse so
// before they store anything).
void RecreateBox(const std::wstring& id);

} // namespace TessikDesktopContainer
