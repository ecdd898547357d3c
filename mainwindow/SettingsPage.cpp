#include "mainwindow/SettingsPage.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "app/AppMainWindow.h"
#include "app/AppState.h"
#include "app/Backup.h"
#include "app/CommonHelpers.h"
#include "app/HotKeySettings.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "mainwindow/BoxOverview.h"
#include "mainwindow/ComponentLibrary.h"
#include "mainwindow/MainWindowState.h"
#include "mainwindow/ThemeChoice.h"
#include "ui/controls/KelmBarrier.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmCompatibleButton.h"
#include "ui/controls/KelmEdit.h"
#include "ui/controls/KelmHotKey.h"
#include "ui/controls/KelmMarkdownEdit.h"
#include "ui/controls/KelmMenu.h"
#include "ui/controls/KelmNotice.h"
#include "ui/controls/KelmOptionCtl.h"
#include "ui/controls/KelmSwitch.h"
#include "ui/controls/NewEdit.h"
#include "ui/core/D2DBrevinPanel.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"
#include "ui/core/WindowMessages.h"

namespace
{

constexpr wchar_t kRef[] = L"TessikRef";
constexpr wchar_t kFont[] = L"Segoe UI";
constexpr wchar_t kChevron[] = L":\u2304:";
constexpr COLORREF kDemoColour = RGB(0x52, 0x79, 0xFB);
constexpr COLORREF kSwitchOnTrack = RGB(0x52, 0x79, 0xFB);

// Values the page keeps beside the store. The log mode and the two
// compatibility-layer values are read again on every paint; the row texts
// are set once, on the first paint, and afterwards only by the menus.
struct SettingsPageState {
    int logMode = 1;
    int compatLayerMode = 1;
    int compatLayerBlurLevel = 2;
    bool textsLoaded = false;
    std::wstring logModeText;
    std::wstring groupText;
    std::wstring compatModeText;
    std::wstring compatBlurText;
    bool debugFlag[2] = {false, false};
    double demoOffset[2] = {0.0, 0.0};
    bool editsMade = false;
};
SettingsPageState s_page;

auto Ref()
{
    return s_appStore[kRef];
}

HWND MainHwnd()
{
    return s_mainWindow ? s_mainWindow->GetHwnd() : nullptr;
}

void Repaint()
{
    if (HWND main = MainHwnd())
        InvalidateRect(main, nullptr, FALSE);
}

void SaveSetting(const wchar_t* failureText)
{
    SaveSettingsStore(s_appStore, failureText);
}

// Opens a menu at a client point in DIPs.
void ShowRowMenu(HWND owner, float x, float y, std::vector<Brevin::KelmOption> options, int width)
{
    POINT at{static_cast<int>(x * DpiScale), static_cast<int>(y * DpiScale)};
    ClientToScreen(owner, &at);
    KelmMenu::Show(owner, at.x, at.y, options, width, 0);
}

void SetDoubleClickAction(bool on)
{
    s_doubleClickAction = on;
    Ref()[L"doubleClickAction"] = on;
    SaveSetting(L"双击操作设置无法保存，下次启动时将恢复原来的设置。");
}

void SetLogMode(int mode, const wchar_t* text)
{
    s_page.logMode = mode;
    s_page.logModeText = text;
    Ref()[L"logMode"] = mode;
    SaveSetting(L"日志选项无法保存，下次启动时将恢复原来的设置。");
    Repaint();
}

void ClearLogs()
{
    const LogRemoval removal = RemoveLogFiles(s_dataFolder + L"\\logs", Logger::GetInstance().LogPath());
    MessageBoxW(MainHwnd(), ClearLogsMessage(removal).c_str(), L"日志系统", MB_OK);
}

void SetGroupAlgorithm(int algorithm)
{
    s_groupAlgorithm = algorithm;
    s_page.groupText = GroupAlgorithmText(algorithm);
    Ref()[L"groupAlogorithm"] = algorithm;
    SaveSetting(L"编组算法设置无法保存，下次启动时将恢复原来的设置。");
    Repaint();
}

void SetShowMainAtStart(bool on)
{
    Ref()[L"showTessikMain"] = on;
    SaveSetting(L"启动选项无法保存，下次启动时将恢复原来的设置。");
}

void ToggleCompatibleLayer(bool on)
{
    Ref()[L"enableCompatibleLayer"] = on;
    SaveSetting(L"兼容层设置无法保存，下次启动时将恢复原来的设置。");
    if (on) {
        RegisterThemeFolderNotify(MainHwnd());
    } else if (s_themeFolderNotifyId) {
        SHChangeNotifyDeregister(s_themeFolderNotifyId);
        s_themeFolderNotifyId = 0;
    }
}

// Both compatibility values change how the desktop picture is taken: the
// main window takes it again at once.
void SetCompatValue(const wchar_t* key, int value, int& current, std::wstring& text, const wchar_t* label)
{
    current = value;
    text = label;
    Ref()[key] = value;
    SaveSetting(L"兼容层设置无法保存，下次启动时将恢复原来的设置。");
    if (HWND main = MainHwnd())
        SendMessageW(main, WM_KELM_CAPTURE_DESKTOP, 0, 0);
    Repaint();
}

// The menu entries of a compatibility row: one per value, 0 first.
std::vector<Brevin::KelmOption> CompatChoices(const wchar_t* key, const wchar_t* (*textOf)(int), int& current,
                                              std::wstring& shown, int count)
{
    std::vector<Brevin::KelmOption> options;
    for (int value = 0; value < count; ++value)
        options.emplace_back(
            textOf(value), [=, &current, &shown] { SetCompatValue(key, value, current, shown, textOf(value)); }, 1);
    return options;
}

void OpenUserDataFolder()
{
    ShellExecuteW(nullptr, L"open", s_dataFolder.c_str(), nullptr, nullptr, SW_SHOW);
}

void ScrollAnimationDone()
{
    s_mainWindowState.scrollAnimationId = -1;
}

void DebugAnimatorToggle(HWND window, int which)
{
    auto it = WindowMap.find(window);
    if (it == WindowMap.end())
        return;
    s_page.debugFlag[which] = !s_page.debugFlag[which];
    const double to = s_page.debugFlag[which] ? 400.0 : 0.0;
    it->second->AnimateVariable(s_page.demoOffset[which], s_page.demoOffset[which], to, 0.5);
}

void TestEditPopup(HWND owner)
{
    NewEdit::KelmCreateEdit(owner, nullptr);
}

void LoadRowTexts()
{
    if (s_page.textsLoaded)
        return;
    s_page.textsLoaded = true;
    s_page.logModeText = LogModeText(Ref()[L"logMode"].Get<int>(1));
    s_page.groupText = GroupAlgorithmText(s_groupAlgorithm);
    s_page.compatModeText = CompatLayerModeText(Ref()[L"compatLayerMode"].Get<int>(1));
    s_page.compatBlurText = CompatLayerBlurText(Ref()[L"compatLayerBlurLevel"].Get<int>(2));
    s_autoBackupIntervalText = BackupIntervalText(Ref()[L"AutoBackupInterval"].Get<int>(10));
    s_quickPanelHotKeyBox->LoadCombination(Ref()[L"QuickPanelHotKey"].Get<std::wstring>(L"CTRL+SHIFT+K"));
    s_visibilityHotKeyBox->LoadCombination(Ref()[L"VisibilityHotKey"].Get<std::wstring>(L"CTRL+SHIFT+L"));
}

// The first paint of the page starts at the top; later visits keep the
// position. A wheel turn animates towards the new target.
void UpdateScroll(KelmWindow& window, Brevin::D2DBrevinPanel& panel, float h)
{
    MainWindowState& state = s_mainWindowState;
    if (state.settingsRememberedPage != state.currentPage) {
        state.settingsScrollTarget = 0;
        state.settingsScrollPosition = 0;
        if (state.scrollAnimationId != -1)
            window.StopAnimation(state.scrollAnimationId);
        state.scrollAnimationId = -1;
        state.settingsRememberedPage = state.currentPage;
    }
    const float maximum = SettingsLayout::MaxScroll(h);
    const int wheel = panel.TakeScroll();
    if (wheel != 0) {
        state.settingsScrollTarget = std::clamp(state.settingsScrollTarget + wheel * 1.5f, 0.0f, maximum);
        if (state.scrollAnimationId != -1)
            window.StopAnimation(state.scrollAnimationId);
        state.scrollAnimationId = window.AnimateVariableWithBezier(
            state.settingsScrollPosition, state.settingsScrollPosition, state.settingsScrollTarget, 0.4, 0.25, 0.1,
            0.25, 1.0, ScrollAnimationDone);
    }
    panel.SetScroll(0);
    state.settingsScrollTarget = std::min(state.settingsScrollTarget, maximum);
    if (state.scrollAnimationId == -1 && state.settingsScrollPosition > maximum)
        state.settingsScrollPosition = maximum;
}

struct PageContext {
    ID2D1HwndRenderTarget* target;
    Brevin::D2DBrevinPanel& panel;
    HWND window;
    float tw;
    float scroll;
    COLORREF text;
    COLORREF fill;    // panel colour
    COLORREF control; // control colour

    int Y(float pageY) const { return static_cast<int>(pageY - scroll); }
    int X(float offset) const { return static_cast<int>(tw + offset); }
    void Header(float y, const wchar_t* label) const
    {
        DrawIconText(target, tw + 40, y - scroll, 400, 40, label, 16, text, kFont, 1.0f, false);
    }
    void Label(float x, float y, float w, float h, const wchar_t* label) const
    {
        DrawIconText(target, tw + x, y - scroll, w, h, label, 14, text, kFont, 1.0f, false);
    }
    void Chevron(float x, float rowY) const
    {
        DrawIconText(target, tw + x, rowY + 8 - scroll, 30, 30, kChevron, 14, ContrastShiftColor(text, 45), kFont, 1.0f,
                     false);
    }
    void Button(std::shared_ptr<KelmButton>& button, float x, float y, int w, int h, const wchar_t* label,
                std::function<void()> onClick) const
    {
        if (!button)
            button = std::make_shared<KelmButton>();
        button->Set(X(x), Y(y), w, h, label, std::move(onClick), fill, 12, text);
        panel.AddControl(button);
    }
    void Switch(std::shared_ptr<KelmSwitch>& sw, float y, bool stored, std::function<void(bool)> onToggle) const
    {
        if (!sw)
            sw = std::make_shared<KelmSwitch>();
        // The switch reads the first triple (off) and the third (on); the
        // on track is the accent blue, which stands out on every theme, the
        // base colour of the light themes included.
        const COLORREF colours[9] = {
            control,        control, RGB(0xFF, 0xFF, 0xFF), ThemeBaseColor.Ref(), control, RGB(0xF4, 0xF4, 0xF4),
            kSwitchOnTrack, control, RGB(0xF4, 0xF4, 0xF4)};
        KelmSwitch* raw = sw.get();
        sw->Set(X(200), Y(y), KelmSwitch::kWidth, 22, colours, [raw, onToggle] { onToggle(raw->IsOn()); });
        sw->SetState(stored);
        panel.AddControl(sw);
    }
    void Row(std::shared_ptr<KelmOptionCtl>& row, float x, float y, int w, const std::wstring& label, float size,
             std::function<void()> onClick) const
    {
        if (!row)
            row = std::make_shared<KelmOptionCtl>();
        row->Set(X(x), Y(y), w, 30, label.c_str(), std::move(onClick), fill, size, KelmOptionCtl::kKindNormal, text);
        panel.AddControl(row);
    }
    void Notice(std::shared_ptr<KelmNotice>& notice, float y, float w, const wchar_t* body) const
    {
        if (!notice)
            notice = std::make_shared<KelmNotice>();
        notice->Set(X(40), Y(y), static_cast<int>(w), 60, body, fill, 14, ContrastShiftColor(control, 80), [] {});
        panel.AddControl(notice);
    }
};

} // namespace

std::wstring ContainerDirLine(const std::wstring& stored)
{
    // A reloaded path holds its separators doubled (the store's escaping);
    // the user is shown the folder itself.
    return L"默认收纳文件夹： " + (stored.empty() ? std::wstring(L"未设置") : NormalizeStoredPath(stored));
}

namespace
{

void DrawGeneralSection(const PageContext& page)
{
    static std::shared_ptr<KelmButton> change, viewData, clearData, overview, clearLogs;
    static std::shared_ptr<KelmSwitch> doubleClick;
    static std::shared_ptr<KelmOptionCtl> logRow, groupRow;
    const HWND owner = page.window;
    const float scroll = page.scroll;
    const float tw = page.tw;

    page.Header(352, L"常规");
    const std::wstring folderLine = ContainerDirLine(Ref()[L"containerDir"].Get<std::wstring>(L""));
    page.Label(40, 397, 400, 30, folderLine.c_str());
    page.Button(change, 400, 392, 80, 30, L"修改", ChangeContainerDir);
    page.Button(viewData, 40, 437, 120, 35, L"查看用户数据", OpenUserDataFolder);
    page.Button(clearData, 170, 437, 120, 35, L"清除用户数据", [owner] { ConfirmClearUserData(owner); });
    page.Button(overview, 300, 437, 120, 35, L"收纳盒一览", OpenBoxOverview);

    page.Label(40, 492, 200, 30, L"收纳盒双击操作");
    page.Switch(doubleClick, 492, Ref()[L"doubleClickAction"].Get<bool>(false), SetDoubleClickAction);

    DrawIconText(page.target, tw + 40, 532 - scroll, 400, 40, L"日志选项", 14, page.text, kFont, 1.0f, false);
    page.Row(logRow, 40, 577, 200, s_page.logModeText, 12.5f, [owner, tw, scroll] {
        ShowRowMenu(owner, tw + 40, 577 - scroll + 70,
                    {{L"不记录日志", [] { SetLogMode(0, L"不记录日志"); }, 1},
                     {L"自动清两天前的日志", [] { SetLogMode(1, L"自动清两天前的日志"); }, 1},
                     {L"从不自动清除日志", [] { SetLogMode(2, L"从不自动清除日志"); }, 1}},
                    180);
    });
    page.Chevron(215, 577);
    page.Button(clearLogs, 260, 577, 100, 30, L"清除日志", ClearLogs);

    page.Label(40, 632, 200, 30, L"编组算法");
    page.Row(groupRow, 190, 627, 150, s_page.groupText, 14, [owner, tw, scroll] {
        ShowRowMenu(owner, tw + 200, 627 - scroll + 25,
                    {{GroupAlgorithmText(0), [] { SetGroupAlgorithm(0); }, 1},
                     {GroupAlgorithmText(1), [] { SetGroupAlgorithm(1); }, 1}},
                    120);
    });
    page.Chevron(315, 627);
}

void DrawHotKeyRows(const PageContext& page)
{
    static std::shared_ptr<KelmButton> saveQuickPanel, saveVisibility;
    const struct {
        const wchar_t* label;
        float y;
        std::shared_ptr<KelmHotKey>& box;
        std::shared_ptr<KelmButton>& save;
        bool (*onSave)();
    } rows[] = {
        {L"启动/关闭快速面板", 672, s_quickPanelHotKeyBox, saveQuickPanel, SaveQuickPanelHotKey},
        {L"组件可见性", 717, s_visibilityHotKeyBox, saveVisibility, SaveVisibilityHotKey},
    };
    for (const auto& row : rows) {
        page.Label(40, row.y + 5, 200, 30, row.label);
        row.box->Set(
            page.X(190), page.Y(row.y), KelmHotKey::kWidth, KelmHotKey::kHeight, L"悬停并按下组合键...", [] {},
            page.control, 12, page.text);
        page.panel.AddControl(row.box);
        auto onSave = row.onSave;
        page.Button(row.save, 360, row.y, 60, 30, L"保存", [onSave] { onSave(); });
    }
}

void DrawStartAndBackupSections(const PageContext& page, float w)
{
    static std::shared_ptr<KelmSwitch> autoStart, showMain;
    static std::shared_ptr<KelmOptionCtl> intervalRow;
    static std::shared_ptr<KelmButton> restore, manualNode;
    static std::shared_ptr<KelmNotice> notice;
    const HWND owner = page.window;
    const int tw = static_cast<int>(page.tw);
    const float scroll = page.scroll;

    page.Header(772, L"启动选项");
    page.Label(40, 817, 200, 30, L"开机启动");
    page.Switch(autoStart, 817, Ref()[L"autoStartUp"].Get<bool>(false), [](bool on) { SetAutoStart(on); });
    page.Label(40, 862, 200, 30, L"启动时显示主程序");
    page.Switch(showMain, 862, Ref()[L"showTessikMain"].Get<bool>(true), SetShowMainAtStart);

    page.Header(912, L"备份系统");
    page.Label(40, 957, 100, 30, L"自动备份");
    page.Row(intervalRow, 110, 952, 120, s_autoBackupIntervalText, 12.5f,
             [owner, tw, scroll] { ShowBackupIntervalMenu(owner, tw, 952 - scroll); });
    page.Chevron(205, 952);
    page.Button(restore, 240, 952, 60, 30, L"恢复", [owner] { ShowRestoreChooser(owner); });
    page.Button(manualNode, 310, 952, 100, 30, L"创建手动节点", [owner] { CreateManualBackupNode(owner); });
    page.Notice(notice, 997, w - (page.tw + 40) - 40,
                L"仅备份收纳盒等组件状态、布局等信息，永久性文件操作不会进行备份，请谨慎对待删除等操作。\n"
                L"自动节点与手动节点相互独立，可以自由选择恢复的节点。");
}

void DrawAdvancedSection(const PageContext& page, float w)
{
    static std::shared_ptr<KelmSwitch> compatible;
    static std::shared_ptr<KelmNotice> notice;
    static std::shared_ptr<KelmOptionCtl> modeRow, blurRow;
    const HWND owner = page.window;
    const float tw = page.tw;
    const float scroll = page.scroll;

    page.Header(1082, L"高级设置");
    page.Label(40, 1127, 200, 30, L"启用实时兼容层");
    page.Switch(compatible, 1127, Ref()[L"enableCompatibleLayer"].Get<bool>(false), ToggleCompatibleLayer);
    page.Notice(notice, 1167, w - (page.tw + 40) - 40,
                L"兼容层可以在渲染时实现硬件和软件绘图的交互。\n"
                L"启用本选项后，启用软件兼容层的组件将可以实时更新，但可能增加少量CPU占用（可忽略不计）。");

    page.Label(40, 1247, 200, 30, L"兼容层实现");
    page.Row(modeRow, 190, 1242, 150, s_page.compatModeText, 14, [=] {
        ShowRowMenu(
            owner, tw + 200, 1242 - scroll + 25,
            CompatChoices(L"compatLayerMode", CompatLayerModeText, s_page.compatLayerMode, s_page.compatModeText, 2),
            120);
    });
    page.Chevron(315, 1242);
    page.Label(40, 1292, 200, 30, L"兼容层样式");
    page.Row(blurRow, 190, 1287, 150, s_page.compatBlurText, 14, [=] {
        ShowRowMenu(owner, tw + 200, 1287 - scroll + 25,
                    CompatChoices(L"compatLayerBlurLevel", CompatLayerBlurText, s_page.compatLayerBlurLevel,
                                  s_page.compatBlurText, 3),
                    120);
    });
    page.Chevron(315, 1287);
}

// Test controls of the framework, kept on the page.
void DrawDebugArea(const PageContext& page)
{
    static std::shared_ptr<KelmCompatibleButton> animator[2], edit;
    static auto lineEdit = std::make_shared<KelmEdit>();
    static auto markdownEdit = std::make_shared<KelmMarkdownEdit>();
    const HWND owner = page.window;

    page.Header(1352, L"Debug Area");
    const wchar_t* names[2] = {L"Animator", L"Animator2"};
    for (int i = 0; i < 2; ++i) {
        if (!animator[i])
            animator[i] = std::make_shared<KelmCompatibleButton>();
        animator[i]->Set(
            page.X(40 + 120 * i), page.Y(1392), KelmCompatibleButton::kWidth, KelmCompatibleButton::kHeight, names[i],
            [owner, i] { DebugAnimatorToggle(owner, i); }, page.fill, 12.5f, page.text);
        page.panel.AddControl(animator[i]);
        FillSolidRect(page.target, page.tw + 40 + static_cast<float>(s_page.demoOffset[i]),
                      1452.0f + 50.0f * i - page.scroll, 100, 50, kDemoColour, 0.5f);
    }
    if (!edit)
        edit = std::make_shared<KelmCompatibleButton>();
    edit->Set(
        page.X(280), page.Y(1392), KelmCompatibleButton::kWidth, KelmCompatibleButton::kHeight, L"Edit",
        [owner] { TestEditPopup(owner); }, page.fill, 12.5f, page.text);
    page.panel.AddControl(edit);

    // Set empties an edit: once, later only moved.
    if (!s_page.editsMade) {
        s_page.editsMade = true;
        lineEdit->Set(
            page.X(40), page.Y(1592), 200, 40, L"KelmUI Edit", [](std::wstring) {}, page.fill, page.text, 12);
        markdownEdit->Set(
            page.X(40), page.Y(1672), KelmMarkdownEdit::kSize, KelmMarkdownEdit::kSize, L"", [](std::wstring) {}, [] {},
            page.fill, page.text);
    }
    lineEdit->SetLayout(page.X(40), page.Y(1592), 200, 40, page.fill, page.text);
    page.panel.AddControl(lineEdit);
    markdownEdit->SetLayout(page.X(40), page.Y(1672), KelmMarkdownEdit::kSize, KelmMarkdownEdit::kSize, page.fill,
                            page.text);
    page.panel.AddControl(markdownEdit);

    AddCustomThemeControls(page.panel, static_cast<int>(page.tw), page.scroll);
}

} // namespace

namespace SettingsLayout
{

float MaxScroll(float h)
{
    return h < kContentHeight ? kContentHeight - h + 50 : 0.0f;
}

ScrollBar ScrollBarAt(float h, float position)
{
    ScrollBar bar;
    if (h >= kContentHeight)
        return bar;
    bar.shown = true;
    bar.height = std::max(20.0f, h / kContentHeight * h);
    const float maximum = MaxScroll(h);
    bar.y = 50 + (maximum > 0 ? (h - 50 - bar.height - 4) * (position / maximum) : 0.0f);
    return bar;
}

} // namespace SettingsLayout

const wchar_t* LogModeText(int mode)
{
    return mode == 0 ? L"不记录日志" : mode == 1 ? L"自动清除两天前的日志" : L"从不自动清除日志";
}

const wchar_t* GroupAlgorithmText(int algorithm)
{
    return algorithm == 0 ? L"基本" : L"优化(BETA)";
}

const wchar_t* CompatLayerModeText(int mode)
{
    return mode == 0 ? L"PaintDesktop" : L"静态获取";
}

const wchar_t* CompatLayerBlurText(int level)
{
    return level == 0 ? L"全透明" : level == 1 ? L"毛玻璃" : L"亚力克";
}

std::wstring ClearLogsMessage(const LogRemoval& removal)
{
    if (!removal.folderFound)
        return L"没有可清除的日志。";
    if (removal.failed > 0)
        return L"已清除 " + std::to_wstring(removal.removed) + L" 个日志文件，" + std::to_wstring(removal.failed) +
               L" 个日志文件无法删除。";
    if (removal.keptOpenLog)
        return L"已清除 " + std::to_wstring(removal.removed) + L" 个日志文件。本次运行正在使用的日志文件已保留。";
    return L"所有日志已被成功清除。";
}

void DrawSettingsPage(HWND window, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, int tabWidth, float w,
                      float h)
{
    auto it = WindowMap.find(window);
    if (it == WindowMap.end())
        return;
    UpdateScroll(*it->second, panel, h);
    LoadRowTexts();
    s_page.logMode = Ref()[L"logMode"].Get<int>(1);
    s_page.compatLayerMode = Ref()[L"compatLayerMode"].Get<int>(1);
    s_page.compatLayerBlurLevel = Ref()[L"compatLayerBlurLevel"].Get<int>(2);

    const float scroll = s_mainWindowState.settingsScrollPosition;
    const PageContext page{target,
                           panel,
                           window,
                           static_cast<float>(tabWidth),
                           scroll,
                           ThemeTextColor.Ref(),
                           ThemeAccent.Ref(),
                           ThemeShade30.Ref()};
    // Controls draw as they are added, so the clip holds for them too.
    target->PushAxisAlignedClip(D2D1::RectF(0, SettingsLayout::kContentTop, w, h), D2D1_ANTIALIAS_MODE_ALIASED);
    DrawTextSemibold(target, page.tw + 40, 50 - scroll, 200, 40, L"设置", 24, page.text, kFont, 1.0f, false);
    page.Header(104, L"主题");
    AddThemeCards(panel, tabWidth, scroll);
    DrawGeneralSection(page);
    DrawHotKeyRows(page);
    DrawStartAndBackupSections(page, w);
    DrawAdvancedSection(page, w);
    DrawDebugArea(page);
    target->PopAxisAlignedClip();
    // What scrolled into the caption row is hidden there and must not take
    // clicks either: a barrier over the row, under the caption itself.
    static auto captionRow = std::make_shared<KelmBarrier>();
    captionRow->Set(0, 0, static_cast<int>(w), static_cast<int>(SettingsLayout::kContentTop), [] {});
    panel.AddControl(captionRow);

    const SettingsLayout::ScrollBar bar = SettingsLayout::ScrollBarAt(h, scroll);
    if (bar.shown)
        FillSolidRect(target, w - 6, bar.y, 3, bar.height, page.text, 0.3f);
}
