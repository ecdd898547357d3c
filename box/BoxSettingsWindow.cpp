#include "box/BoxSettingsWindow.h"

#include <algorithm>
#include <vector>

#include "app/KelmStorage.h"
#include "app/UserNotice.h"
#include "box/BoxCreation.h"
#include "box/BoxInUse.h"
#include "box/BoxServices.h"
#include "box/BoxSettings.h"
#include "box/icons/KelmIconManager.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/controls/KelmMenu.h"
#include "ui/controls/KelmOptionCtl.h"
#include "ui/controls/KelmSlider.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"
#include "ui/core/WindowEffects.h"

namespace TessikDesktopContainer
{

namespace
{

constexpr const wchar_t* kClassName = L"Tessik.Container.Settings.Class";
constexpr const wchar_t* kTitle = L"收纳盒设置";
constexpr int kWidthDips = 400;
constexpr int kHeightDips = 630;
constexpr COLORREF kAccent = 0xFB7952;
constexpr COLORREF kButtonText = 0xF4F4F4;
constexpr float kHeaderHeight = 140.0f;
constexpr float kFooterHeight = 70.0f;
constexpr float kFirstSectionY = 155.0f;
constexpr int kSectionStep = 75;

constexpr const wchar_t* kRenderStyles[] = {L"默认", L"兼容层", L"模糊 (D3D11)", L"透明 (D3D11)"};
constexpr const wchar_t* kFolderViews[] = {L"显示文件夹预览（默认）", L"显示系统图标"};
constexpr const wchar_t* kFileNames[] = {L"显示文件扩展名（默认）", L"隐藏文件扩展名", L"不显示文件名"};
constexpr const wchar_t* kTextShadows[] = {L"无阴影（默认）", L"厚阴影", L"浅阴影", L"主题色阴影"};
constexpr const wchar_t* kTitleStyles[] = {L"KelmUI（默认）", L"悬浮", L"胶囊"};
constexpr const wchar_t* kScopes[] = {L"独立属性（默认）", L"全局属性"};

// Controls of the window, kept between paints so their animations go on.
struct SettingsControls {
    std::shared_ptr<KelmOptionCtl> scopeRow = std::make_shared<KelmOptionCtl>();
    std::shared_ptr<KelmOptionCtl> rows[5] = {std::make_shared<KelmOptionCtl>(), std::make_shared<KelmOptionCtl>(),
                                              std::make_shared<KelmOptionCtl>(), std::make_shared<KelmOptionCtl>(),
                                              std::make_shared<KelmOptionCtl>()};
    std::shared_ptr<KelmButton> syncButton = std::make_shared<KelmButton>();
    std::shared_ptr<KelmCaptionBar> captionBar = std::make_shared<KelmCaptionBar>();
    std::shared_ptr<KelmFAIcon> closeGlyph = std::make_shared<KelmFAIcon>();
};
SettingsControls& Controls()
{
    static SettingsControls controls;
    return controls;
}

template <size_t N> const wchar_t* Choice(const wchar_t* const (&texts)[N], int index)
{
    return index >= 0 && index < static_cast<int>(N) ? texts[index] : texts[0];
}

bool IsLive(const BoxWindowPtr& window, const BoxRuntime& runtime)
{
    return window && !runtime.IsPseudoBox() && IsWindow(window->GetHwnd());
}

// A box follows the global values when its own object says -1; read
// without creating the object.
bool FollowsGlobal(const std::wstring& id)
{
    return BoxSettings::Read(FindBoxObject(s_desktopContainerStore, id), nullptr, 1.0).followsGlobalAppearance;
}

BoxWindowPtr FindLiveBox(const std::wstring& id)
{
    for (auto& [window, runtime] : s_boxRuntimes)
        if (runtime.id == id && IsLive(window, runtime))
            return window;
    return nullptr;
}

// A drop, paste or put-back plans against the box's window and manager,
// and its job hands its records to them as its files land: a box made
// again under either would lose them and the undo records of what they
// replaced. The change waits for them, stored nowhere.
bool RemakeRefusedWhileBusy(const std::vector<std::wstring>& ids)
{
    for (const std::wstring& id : ids) {
        BoxWindowPtr box = FindLiveBox(id);
        if (!box || !BoxInUse::Busy(box))
            continue;
        NotifyUser(L"box-remake-busy", L"这个收纳盒的文件操作（复制、移动或删除）正在进行，设置没有更改。\n"
                                       L"请在当前操作完成后重试。");
        return true;
    }
    return false;
}

// A choice stores something only while its window edits a box: one whose
// box was deleted is closed, and a choice that still arrives would store a
// box of that id again.
bool Editing()
{
    const BoxSettingsState& s = TheBoxSettings();
    return s.window && IsWindow(s.window->GetHwnd());
}

// The object a write goes to: the box's own or the global one.
KelmStorageProxy Target()
{
    BoxSettingsState& s = TheBoxSettings();
    return s.globalScope ? s_desktopContainerStore[L"TessikRef"] : BoxSettingsObject(s.boxId);
}

void InvalidateSettings()
{
    BoxSettingsState& s = TheBoxSettings();
    if (s.window)
        InvalidateWindow(s.window->GetHwnd());
}

void WriteSevenValues(KelmStorageProxy object)
{
    const BoxSettingsState& s = TheBoxSettings();
    object[L"CompatibleLayer"] = s.renderStyle;
    object[L"bgAlpha"] = static_cast<double>(s.bgAlpha);
    object[L"titleAlpha"] = static_cast<double>(s.titleAlpha);
    object[L"ShowDefaultFolderIcon"] = s.showDefaultFolderIcon;
    object[L"HideFileExtension"] = s.hideFileExtension;
    object[L"TextRenderMode"] = s.textRenderMode;
    object[L"TitleType"] = s.titleType;
}

// The four display settings: keep the value, store it, and set the runtime
// field of the boxes the change reaches (the edited box, or every box that
// follows the global values) and repaint them.
template <typename T>
void SetDisplayValue(const wchar_t* key, T value, T BoxSettingsState::*current, T BoxRuntime::*field)
{
    BoxSettingsState& s = TheBoxSettings();
    if (!Editing())
        return;
    s.*current = value;
    Target()[key] = value;
    s_desktopContainerStore.Save();
    for (auto& [window, runtime] : s_boxRuntimes) {
        // The quick panel's pseudo boxes and boxes whose window is gone keep
        // no settings: reading theirs would only make empty objects.
        if (!IsLive(window, runtime))
            continue;
        const bool affected = s.globalScope ? FollowsGlobal(runtime.id) : runtime.id == s.boxId;
        if (!affected)
            continue;
        runtime.*field = value;
        RepaintBoxWindows(window);
    }
    InvalidateSettings();
}

void SetOpacity(const std::shared_ptr<KelmSlider>& slider, float& current, const wchar_t* key)
{
    if (!slider || !Editing())
        return;
    BoxSettingsState& s = TheBoxSettings();
    current = static_cast<float>(slider->GetValue()) / 100.0f;
    Target()[key] = static_cast<double>(current);
    s_desktopContainerStore.Save();
    if (s.globalScope)
        return;
    if (BoxWindowPtr box = FindLiveBox(s.boxId)) {
        if (BoxRuntime* runtime = FindBoxRuntime(box)) {
            runtime->bgAlpha = s.bgAlpha;
            runtime->titleAlpha = s.titleAlpha;
        }
        RepaintBoxWindows(box);
    }
}

template <size_t N> void ShowChoiceMenu(const wchar_t* const (&texts)[N], int yDips, void (*choose)(int))
{
    const BoxSettingsState& s = TheBoxSettings();
    if (!s.window || !IsWindow(s.window->GetHwnd()))
        return;
    std::vector<Brevin::KelmOption> options;
    for (size_t i = 0; i < N; ++i)
        options.emplace_back(
            texts[i], [choose, i] { choose(static_cast<int>(i)); }, 1);
    POINT at{static_cast<LONG>(24 * DpiScale), static_cast<LONG>(yDips * DpiScale)};
    ClientToScreen(s.window->GetHwnd(), &at);
    KelmMenu::Show(s.window->GetHwnd(), at.x, at.y, options, 200, 0);
}

void CloseSettingsWindow()
{
    BoxSettingsState& s = TheBoxSettings();
    if (s.window && IsWindow(s.window->GetHwnd()))
        DestroyWindow(s.window->GetHwnd());
}

void OnSettingsCreated()
{
    BoxSettingsState& s = TheBoxSettings();
    if (!s.window)
        return;
    CenterWindowOnScreen(s.window->GetHwnd());
    s.window->StartAnimationTimer();
}

} // namespace

BoxSettingsState& TheBoxSettings()
{
    static BoxSettingsState state;
    return state;
}

void OpenBoxSettingsWindow(const BoxWindowPtr& box)
{
    BoxSettingsState& s = TheBoxSettings();
    CloseSettingsWindow();
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    s.boxId = runtime->id;
    s.boxTitle = runtime->title;
    s.boxColour = runtime->titleButton ? BoxTagColour(*runtime) : kAccent;

    const BoxSettings stored = BoxSettings::Read(FindBoxObject(s_desktopContainerStore, s.boxId),
                                                 FindRootObject(s_desktopContainerStore, L"TessikRef"), 1.0);
    s.globalScope = stored.followsGlobalAppearance;
    s.renderStyle = stored.CompatibleLayer;
    s.bgAlpha = stored.bgAlpha;
    s.titleAlpha = stored.titleAlpha;
    s.showDefaultFolderIcon = stored.ShowDefaultFolderIcon;
    s.hideFileExtension = stored.HideFileExtension;
    s.textRenderMode = stored.TextRenderMode;
    s.titleType = stored.TitleType;
    if (!s.bgSlider)
        s.bgSlider = std::make_shared<KelmSlider>();
    if (!s.titleSlider)
        s.titleSlider = std::make_shared<KelmSlider>();

    // The old window's animations stop with it; the new one starts afresh.
    s.window = std::make_shared<KelmWindow>();
    s.window->Set(CW_USEDEFAULT, 0, static_cast<int>(kWidthDips * DpiScale), static_cast<int>(kHeightDips * DpiScale),
                  kClassName, kTitle);
    s.window->frameMode = 2;
    s.window->SetDrawCallback(&BuildBoxSettingsContent);
    s.window->onCreated = &OnSettingsCreated;
    s.scroll = 0.0f;
    s.scrollTarget = 0.0f;
    s.scrollAnimation = -1;
    s.window->Create();
}

void CloseBoxSettingsOf(const std::wstring& id)
{
    if (TheBoxSettings().boxId == id)
        CloseSettingsWindow();
}

void BuildBoxSettingsContent(HWND hwnd, ID2D1HwndRenderTarget* rt)
{
    BoxSettingsState& s = TheBoxSettings();
    SettingsControls& c = Controls();
    if (!s.window)
        return;
    Brevin::D2DBrevinPanel* panel = s.window->GetPanel();
    panel->Init(hwnd, rt);
    RECT client{};
    GetClientRect(hwnd, &client);
    const float scale = static_cast<float>(DpiScale);
    const float W = client.right / scale, H = client.bottom / scale;
    const int w = static_cast<int>(W), h = static_cast<int>(H);
    const COLORREF base = ThemeBaseColor.Ref(), text = ThemeTextColor.Ref();
    const COLORREF heading = ContrastShiftColor(text, 45);
    FillSolidRect(rt, 0, 0, W, H, base, 1.0f);

    // Scrolling.
    const float content = static_cast<float>((s.renderStyle > 0 ? 205 : 95) + 4 * kSectionStep + 20);
    const float visible = H - kHeaderHeight - (s.globalScope ? kFooterHeight : 0.0f);
    const float range = std::max(0.0f, content - visible);
    if (const int wheel = panel->TakeScroll()) {
        s.scrollTarget = std::clamp(s.scrollTarget + 1.5f * static_cast<float>(wheel), 0.0f, range);
        if (s.scrollAnimation != -1)
            s.window->StopAnimation(s.scrollAnimation);
        s.scrollAnimation =
            s.window->AnimateVariableWithBezier<float>(s.scroll, s.scroll, s.scrollTarget, 0.4, 0.25, 0.1, 0.25, 1.0);
    }
    s.scroll = std::clamp(s.scroll, 0.0f, range);

    // Scrolled sections.
    int y = static_cast<int>(kFirstSectionY - s.scroll);
    auto section = [&](int index, const wchar_t* title, const wchar_t* shown, void (*show)(int)) {
        DrawIconText(rt, 24, static_cast<float>(y), 100, 20, title, 12, heading, L"Segoe UI", 1.0f, false);
        const int rowY = y + 20;
        c.rows[index]->Set(
            24, rowY, w - 48, 36, shown, [show, rowY] { show(rowY); }, base, 12.0f, KelmOptionCtl::kKindNormal, text);
        panel->AddControl(c.rows[index]);
        y += kSectionStep;
    };
    section(0, L"渲染样式", Choice(kRenderStyles, s.renderStyle), &ShowRenderStyleMenu);
    if (s.renderStyle > 0) {
        const COLORREF sliderColour = ContrastShiftColor(text, 50);
        s.bgSlider->Set(24, y, w - 48, 32, static_cast<int>(s.bgAlpha * 100), sliderColour, L"背景不透明度",
                        &SetBackgroundOpacity);
        panel->AddControl(s.bgSlider);
        s.titleSlider->Set(24, y + 50, w - 48, 32, static_cast<int>(s.titleAlpha * 100), sliderColour,
                           L"标题栏不透明度", &SetTitleOpacity);
        panel->AddControl(s.titleSlider);
        y += 110;
    }
    section(1, L"文件夹视图", Choice(kFolderViews, s.showDefaultFolderIcon ? 1 : 0), &ShowFolderViewMenu);
    section(2, L"文件名称", Choice(kFileNames, s.hideFileExtension), &ShowFileNameMenu);
    section(3, L"文本阴影", Choice(kTextShadows, s.textRenderMode), &ShowTextShadowMenu);
    section(4, L"标题栏风格", Choice(kTitleStyles, s.titleType), &ShowTitleStyleMenu);

    if (range > 0.0f) {
        const float length = std::max(20.0f, visible / content * visible);
        const float top = kHeaderHeight + 4.0f + (visible - length - 8.0f) * s.scroll / range;
        FillSolidRect(rt, W - 6, top, 3, length, text, 0.3f);
    }

    // Fixed header over the sections.
    FillSolidRect(rt, 0, 0, W, kHeaderHeight, base, 1.0f);
    DrawRoundRect(rt, 24, 20, 16, 16, s.boxColour, 4.0f, 1.0f, 1.5f, ContrastShiftColor(s.boxColour, 20), 1.0f);
    DrawTextSemibold(rt, 50, 14, W - 100, 20, s.boxTitle.c_str(), 14, text, L"Segoe UI", 1.0f, false);
    DrawTextInRect(rt, 50, 30, W - 100, 20, s.boxId.c_str(), 10, ContrastShiftColor(text, 40), L"Segoe UI", 1.0f,
                   false);
    DrawIconText(rt, 24, 68, 100, 20, L"属性作用域", 12, heading, L"Segoe UI", 1.0f, false);
    c.scopeRow->Set(
        24, 88, w - 48, 36, kScopes[s.globalScope ? 1 : 0], [] { ShowPropertyScopeMenu(88); }, base, 12.0f,
        KelmOptionCtl::kKindNormal, text);
    panel->AddControl(c.scopeRow);

    if (s.globalScope) {
        FillSolidRect(rt, 0, H - kFooterHeight, W, kFooterHeight, base, 0.95f);
        c.syncButton->Set(w - 124, h - 52, 100, 36, L"同步更改", &SyncGlobalPropertyBoxes, kAccent, 12, kButtonText);
        panel->AddControl(c.syncButton);
    }

    c.captionBar->Set(0, 0, w - 48, 25, L"", base, 12, text, 0, 0, {});
    panel->AddControl(c.captionBar);
    c.closeGlyph->Set(w - 38, 20, L"win-close", 14, text, [] { CloseSettingsWindow(); });
    panel->AddControl(c.closeGlyph);
}

void ShowRenderStyleMenu(int rowY)
{
    ShowChoiceMenu(kRenderStyles, rowY + 60, &SetBoxRenderStyle);
}
void ShowFolderViewMenu(int rowY)
{
    ShowChoiceMenu(kFolderViews, rowY + 60, [](int i) { SetFolderView(i == 1); });
}
void ShowFileNameMenu(int rowY)
{
    ShowChoiceMenu(kFileNames, rowY + 60, &SetFileNameDisplay);
}
void ShowTextShadowMenu(int rowY)
{
    ShowChoiceMenu(kTextShadows, rowY + 60, &SetTextShadow);
}
void ShowTitleStyleMenu(int rowY)
{
    ShowChoiceMenu(kTitleStyles, rowY + 60, &SetTitleStyle);
}
void ShowPropertyScopeMenu(int rowY)
{
    ShowChoiceMenu(kScopes, rowY, [](int i) { SetPropertyScope(i == 1); });
}

void SetBoxRenderStyle(int style)
{
    BoxSettingsState& s = TheBoxSettings();
    if (!Editing() || (!s.globalScope && RemakeRefusedWhileBusy({s.boxId})))
        return;
    s.renderStyle = style;
    Target()[L"CompatibleLayer"] = style;
    s_desktopContainerStore.Save();
    // Boxes that follow the global values take it up through "同步更改".
    if (!s.globalScope)
        RecreateBox(s.boxId);
    InvalidateSettings();
}

void SetBackgroundOpacity()
{
    BoxSettingsState& s = TheBoxSettings();
    SetOpacity(s.bgSlider, s.bgAlpha, L"bgAlpha");
}

void SetTitleOpacity()
{
    BoxSettingsState& s = TheBoxSettings();
    SetOpacity(s.titleSlider, s.titleAlpha, L"titleAlpha");
}

void SetFolderView(bool showSystemIcon)
{
    SetDisplayValue(L"ShowDefaultFolderIcon", showSystemIcon, &BoxSettingsState::showDefaultFolderIcon,
                    &BoxRuntime::ShowDefaultFolderIcon);
}

void SetFileNameDisplay(int mode)
{
    SetDisplayValue(L"HideFileExtension", mode, &BoxSettingsState::hideFileExtension, &BoxRuntime::HideFileExtension);
}

void SetTextShadow(int mode)
{
    SetDisplayValue(L"TextRenderMode", mode, &BoxSettingsState::textRenderMode, &BoxRuntime::TextRenderMode);
}

void SetTitleStyle(int style)
{
    SetDisplayValue(L"TitleType", style, &BoxSettingsState::titleType, &BoxRuntime::TitleType);
}

void SetPropertyScope(bool global)
{
    BoxSettingsState& s = TheBoxSettings();
    if (!Editing() || RemakeRefusedWhileBusy({s.boxId}))
        return;
    s.globalScope = global;
    if (!global) {
        WriteSevenValues(BoxSettingsObject(s.boxId));
    } else {
        BoxSettingsObject(s.boxId)[L"CompatibleLayer"] = -1;
        // Only the first box to go global seeds the global values.
        if (s_desktopContainerStore[L"TessikRef"][L"CompatibleLayer"].Get<int>(-99) == -99)
            WriteSevenValues(s_desktopContainerStore[L"TessikRef"]);
    }
    s_desktopContainerStore.Save();
    RecreateBox(s.boxId);
    InvalidateSettings();
}

void SyncGlobalPropertyBoxes()
{
    std::vector<std::wstring> ids;
    for (auto& [window, runtime] : s_boxRuntimes)
        if (IsLive(window, runtime) && FollowsGlobal(runtime.id))
            ids.push_back(runtime.id);
    // All of them or none: the boxes show one set of global values.
    if (RemakeRefusedWhileBusy(ids))
        return;
    for (const std::wstring& id : ids)
        RecreateBox(id);
}

void RecreateBox(const std::wstring& id)
{
    BoxWindowPtr old = FindLiveBox(id);
    if (!old || RemakeRefusedWhileBusy({id}))
        return;
    BoxRuntime& runtime = s_boxRuntimes.at(old);
    std::vector<UndoRecord> undo = std::move(runtime.undoList);
    std::vector<UndoRecord> redo = std::move(runtime.redoList);
    // An integrated host shows this box's records as its own foreign
    // records; the new box joins again, so the old ones must go first.
    for (auto* managers : {&s_boxIconManagers, &s_boxSearchManagers}) {
        for (auto& [window, manager] : *managers) {
            if (window == old)
                continue;
            const size_t before = manager.Records().size();
            std::erase_if(manager.Records(), [&old](const IconRecord& record) { return record.owner == old; });
            if (manager.Records().size() != before) {
                manager.Renumber();
                RepaintBoxWindows(window);
            }
        }
    }
    DestroyWindow(old->GetHwnd());
    s_boxIconManagers.erase(old);
    s_boxSearchManagers.erase(old);
    s_boxRuntimes.erase(old);
    CreateCom(id, L"NULL", false, 1);
    if (BoxWindowPtr made = FindLiveBox(id)) {
        BoxRuntime& fresh = s_boxRuntimes.at(made);
        // The records name the box they were made in: the new window now.
        for (auto* list : {&undo, &redo})
            for (UndoRecord& record : *list)
                if (record.owner == old)
                    record.owner = made;
        fresh.undoList = std::move(undo);
        fresh.redoList = std::move(redo);
    }
}

} // namespace TessikDesktopContainer
