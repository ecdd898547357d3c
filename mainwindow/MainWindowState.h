// What the main window remembers between paints: the page shown, the
// support overlay's animation values, the side tabs and the settings
// page's scroll. UI thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

class KelmSideTab;

// Page ids: "Tab1" home, "Tab2" about, "Tab3" component library, "Tab4"
// settings. The ids are compared by text.
constexpr const wchar_t* kHomePage = L"Tab1";
constexpr const wchar_t* kAboutPage = L"Tab2";
constexpr const wchar_t* kLibraryPage = L"Tab3";
constexpr const wchar_t* kSettingsPage = L"Tab4";

struct MainWindowState {
    const wchar_t* currentPage = kHomePage;
    // The sheet of the overlay: "Test" at rest, "Tessik_like" for support.
    const wchar_t* sidePage = L"Test";
    bool overlayOpen = false;
    float blurAmount = 0.0f;  // 0..100
    float slideAmount = 0.0f; // 0..100
    int blurAnimation = -1;
    int slideAnimation = -1;
    // The four page tabs in the order 主页, 组件库, 设置, 关于; made again
    // whenever the client size changes.
    std::vector<std::shared_ptr<KelmSideTab>> sideTabs;
    bool tabsBuilt = false;
    int lastSizeSum = 0; // client width + height in pixels at the last paint
    float settingsScrollTarget = 0.0f;
    float settingsScrollPosition = 0.0f;
    int scrollAnimationId = -1; // -1: no scroll animation runs
    // The page id the settings page last saw; empty until its first paint,
    // which starts it at the top.
    std::wstring settingsRememberedPage;
};

extern MainWindowState s_mainWindowState;

// True when the page id names the same page as `page`.
bool IsPage(const wchar_t* current, const wchar_t* page);
