#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "box/BoxRuntime.h"
#include "sidewindows/magwin/ContainerListItem.h"
#include "sidewindows/magwin/MagNewComponent.h"
#include "sidewindows/magwin/MagWinRules.h"
#include "sidewindows/magwin/MagWinState.h"
#include "sidewindows/magwin/TessikMagWin.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/core/KelmWindow.h"

using namespace TessikMagWin;

TEST(MagnetDialogTitles, SubstringsOfTheKnownTitlesMatch)
{
    EXPECT_TRUE(TitleMatchesAny(L"Open", FileDialogTitles()));
    EXPECT_TRUE(TitleMatchesAny(L"Opening files", FileDialogTitles()));
    EXPECT_TRUE(TitleMatchesAny(L"文件另存为", FileDialogTitles()));
    EXPECT_FALSE(TitleMatchesAny(L"Error", FileDialogTitles()));
    EXPECT_FALSE(TitleMatchesAny(L"open", FileDialogTitles())); // case counts
    // The folder chooser docks the window but the automation does not see it.
    EXPECT_TRUE(TitleMatchesAny(L"选择文件夹", FileDialogTitles()));
    EXPECT_FALSE(TitleMatchesAny(L"选择文件夹", AutomationDialogTitles(true)));
    EXPECT_TRUE(TitleMatchesAny(L"位置", AutomationDialogTitles(true)));
    EXPECT_FALSE(TitleMatchesAny(L"位置", AutomationDialogTitles(false)));
    EXPECT_EQ(FileDialogTitles().size(), 29u);
    EXPECT_EQ(AutomationDialogTitles(true).size(), 28u);
    EXPECT_EQ(AutomationDialogTitles(false).size(), 27u);

    EXPECT_TRUE(IsSaveDialogTitle(L"Save As"));
    EXPECT_TRUE(IsSaveDialogTitle(L"另存为"));
    EXPECT_FALSE(IsSaveDialogTitle(L"Open"));
}

TEST(MagnetDialogTitles, OnlyADialogWhoseButtonOpensIsConfirmed)
{
    struct Dialog {
        const wchar_t* title;
        const wchar_t* okButton;
        bool confirmed;
    };
    const Dialog dialogs[] = {
        // The Open dialogs of the known languages, as their buttons read.
        {L"Open", L"&Open", true},
        {L"打开", L"打开(&O)", true},
        {L"開啟舊檔", L"開啟(&O)", true},
        {L"ファイルを開く", L"開く(&O)", true},
        {L"열기", L"열기(&O)", true},
        {L"Открытие", L"&Открыть", true},
        {L"Öffnen", L"Ö&ffnen", true},
        {L"Abrir", L"&Abrir", true},
        {L"Ouvrir", L"&Ouvrir", true},
        {L"Select a file", L"OPEN", true},
        // Save dialogs that pass as Open by their titles.
        {L"Export to OpenDocument", L"Export", false},
        {L"Abrir en formato nuevo", L"Exportar", false},
        {L"打开方式导出", L"导出", false},
        // An "open" button under a title that writes; a word inside another
        // is no word.
        {L"Export to OpenDocument", L"&Open", false},
        {L"打开并另存为", L"打开(&O)", false},
        {L"СОХРАНИТЬ В ОБЛАКО", L"&Открыть", false},
        {L"Exported reports", L"&Open", true},
        // The save dialogs of the known languages, and no button at all.
        {L"Save As", L"&Save", false},
        {L"Speichern unter", L"&Speichern", false},
        {L"Enregistrer sous", L"&Enregistrer", false},
        {L"Guardar como", L"&Guardar", false},
        {L"另存为", L"保存(&S)", false},
        {L"Open", L"", false},
        {L"Open", L"Open file and save", false},
    };
    for (const Dialog& d : dialogs)
        EXPECT_EQ(IsKnownOpenDialog(d.title, d.okButton), d.confirmed)
            << testing::PrintToString(std::wstring(d.title)) << " / "
            << testing::PrintToString(std::wstring(d.okButton));
}

TEST(MagnetDialogTitles, ASaveDialogShowsItselfInItsLabels)
{
    struct Dialog {
        DialogFace face;
        bool confirmed;
    };
    const std::vector<std::wstring> openLabels = {L"Look &in:", L"File &name:", L"Files of &type:"};
    const Dialog dialogs[] = {
        {{L"Open", L"&Open", openLabels, false, L"Look &in:"}, true},
        {{L"打开", L"打开(&O)", {L"查找范围(&I):", L"文件名(&N):", L"文件类型(&T):"}, false, L"查找范围(&I):"}, true},
        {{L"打开", L"打开(&O)", {L"浏览(&I):"}, false, L"浏览(&I):"}, true},
        {{L"Ouvrir", L"&Ouvrir", {L"Regarder &dans :"}, false, L"Regarder &dans :"}, true},
        {{L"Abrir", L"&Abrir", {L"&Examinar:"}, false, L"&Examinar:"}, true},
        // The newer Open dialog: no folder label, its name field outside
        // the view.
        {{L"Open", L"&Open", {}, false, L"", true, true}, true},
        {{L"Open", L"&Open", {}, false, L"", true, false}, false},
        // Save dialogs under an Open dialog's title and button.
        {{L"Open output file", L"&Open", {L"Save &in:", L"File &name:", L"Files of &type:"}, false, L"Save &in:"},
         false},
        {{L"Open", L"O&pen", {L"Look &in:", L"Save as &type:"}, false, L"Look &in:"}, false},
        {{L"打开", L"打开(&O)", {L"保存在(&I):", L"保存类型(&T):"}, false, L"保存在(&I):"}, false},
        {{L"Open", L"&Open", {}, true, L"", true, true}, false},
        // Nothing shows an Open dialog: a language without a listed label,
        // a label shared by both kinds, a blank or relabelled one.
        {{L"Abrir", L"&Abrir", {L"Gravar &em:"}, false, L"Gravar &em:"}, false},
        {{L"Открыть", L"&Открыть", {L"&Папка:"}, false, L"&Папка:"}, false},
        {{L"Open", L"&Open", {L"File &name:"}, false, L""}, false},
        {{L"Open", L"&Open", {L"Folder:"}, false, L"Folder:"}, false},
        // The whole title counts.
        {{L"Open " + std::wstring(300, L'x') + L" Save", L"&Open", openLabels, false, L"Look &in:"}, false},
    };
    for (const Dialog& d : dialogs)
        EXPECT_EQ(IsKnownOpenDialog(d.face), d.confirmed) << testing::PrintToString(d.face.title.substr(0, 20));

    EXPECT_TRUE(SameFolderPath(L"C:\\Data\\Box\\", L"c:/data/box"));
    EXPECT_TRUE(SameFolderPath(L"C:\\", L"c:\\"));
    EXPECT_FALSE(SameFolderPath(L"C:\\Data\\Box", L"C:\\Data\\Boxes"));
    EXPECT_FALSE(SameFolderPath(L"", L""));
    EXPECT_EQ(FolderOfAddressText(L"Address: C:\\Data"), L"C:\\Data");
    EXPECT_EQ(FolderOfAddressText(L"Documents"), L"");
}

TEST(MagnetDocking, BesideTheDialogOrOnItsLeft)
{
    // Room on the right: 5 pixels after the dialog's right edge, its top.
    EXPECT_EQ(DockBesideDialog({100, 50, 700, 500}, 1600, 1.0), (DockRect{705, 50, 300, 260}));
    // Right edge + width past the screen: 5 pixels left of the dialog.
    EXPECT_EQ(DockBesideDialog({800, 50, 1400, 500}, 1600, 1.0), (DockRect{495, 50, 300, 260}));
    // Exactly fitting stays on the right.
    EXPECT_EQ(DockBesideDialog({0, 0, 1300, 10}, 1600, 1.0).x, 1305);
    // A dialog on a monitor right of the primary one: always on its left.
    EXPECT_EQ(DockBesideDialog({1700, 0, 2300, 400}, 1600, 1.0).x, 1395);
    // Sizes truncate at fractional scales.
    EXPECT_EQ(DockBesideDialog({0, 0, 100, 100}, 3000, 1.25), (DockRect{105, 0, 375, 325}));
    EXPECT_EQ(IconWindowBelow({705, 50, 1005, 310}, 1.0), (DockRect{705, 330, 300, 300}));
}

TEST(MagnetRows, DraggedRowTakesTheSlotItReaches)
{
    EXPECT_EQ(RowSlotY(0), 10.0f);
    EXPECT_EQ(RowSlotY(2), 100.0f);
    // Row 0 dragged down near slot 1 (y 55) swaps; halfway does not.
    EXPECT_EQ(DragSwapIndex(0, 50.0f, 3), 1);
    EXPECT_EQ(DragSwapIndex(0, 35.0f, 3), -1);
    // Its own slot never counts; beyond the last slot nothing is taken.
    EXPECT_EQ(DragSwapIndex(1, 55.0f, 3), -1);
    EXPECT_EQ(DragSwapIndex(0, 200.0f, 3), -1);
    EXPECT_EQ(DragSwapIndex(2, 0.0f, 3), 0);
}

TEST(MagnetFilter, PatternsOfAFilterText)
{
    using V = std::vector<std::wstring>;
    EXPECT_EQ(ParseFilterPatterns(L"Text Documents (*.txt; *.log)"), (V{L"*.txt", L"*.log"}));
    EXPECT_EQ(ParseFilterPatterns(L"*.png"), (V{L"*.png"}));
    EXPECT_EQ(ParseFilterPatterns(L"All Files (*.*)"), (V{L"*.*"}));
    EXPECT_EQ(ParseFilterPatterns(L"Images (*.png;;*.jpg )"), (V{L"*.png", L"*.jpg"}));
    EXPECT_EQ(ParseFilterPatterns(L""), V{});
}

TEST(MagnetFilter, WhichFilesPass)
{
    const std::vector<std::wstring> images{L"*.png", L"*.jpg"};
    EXPECT_TRUE(PathPassesPatterns(images, L"C:\\b\\a.PNG"));
    EXPECT_TRUE(PathPassesPatterns(images, L"C:\\b\\Photo.JPG"));
    EXPECT_FALSE(PathPassesPatterns(images, L"C:\\b\\b.txt"));
    EXPECT_FALSE(PathPassesPatterns(images, L"C:\\b\\c"));
    EXPECT_TRUE(PathPassesPatterns({L"*.*"}, L"C:\\b\\b.txt"));
    // "*" is everything, files without a suffix too.
    EXPECT_TRUE(PathPassesPatterns({L"*"}, L"C:\\b\\README"));
    EXPECT_TRUE(PathPassesPatterns({L"*.txt", L"*"}, L"C:\\b\\x.bin"));

    EXPECT_TRUE(LooksLikeFilterText(L"Text (*.txt)"));
    EXPECT_TRUE(LooksLikeFilterText(L"photos (2021)"));
    EXPECT_FALSE(LooksLikeFilterText(L"report"));

    // A name field's text that no dialog could write to.
    for (const wchar_t* nothing : {L"", L"  ", L"*.txt", L"a?.doc", L"C:\\box\\", L"D:/x/"})
        EXPECT_TRUE(NamesNothingToWrite(nothing)) << nothing;
    EXPECT_FALSE(NamesNothingToWrite(L"document.txt"));
    EXPECT_FALSE(NamesNothingToWrite(L"C:\\box\\report"));
}

TEST(MagnetIconLabel, CutAfterEightUnits)
{
    EXPECT_EQ(IconWindowLabel(L"bvn!NULL", L"C:\\d\\abcd.txt"), L"abcd.txt");
    EXPECT_EQ(IconWindowLabel(L"bvn!NULL", L"C:\\d\\abcde.txt"), L"abcde.tx...");
    EXPECT_EQ(IconWindowLabel(L"bvn!NULL", L"C:/d/e/f.png"), L"f.png");
    EXPECT_EQ(IconWindowLabel(L"Notes", L"C:\\d\\abcdefghijk.txt"), L"Notes");
}

class MagnetOrderTest : public ::testing::Test
{
protected:
    void SetUp() override { Load(""); }
    void Load(const std::string& bytes)
    {
        TempFolder::WriteBytes(temp.File(L"MagnetCom.kelm"), bytes);
        s_magnetStore.Load(temp.File(L"MagnetCom.kelm"));
    }
    TempFolder temp;
};

TEST_F(MagnetOrderTest, OrderIsWrittenOneKeyPerRowAndReadBackUpToAGap)
{
    EXPECT_TRUE(ReadRowOrder().empty());
    ASSERT_TRUE(WriteRowOrder({L"b", L"a", L"c"}));
    // A shorter order leaves no stale keys behind.
    ASSERT_TRUE(WriteRowOrder({L"c", L"a"}));
    s_magnetStore.Load(temp.File(L"MagnetCom.kelm"));
    EXPECT_EQ(ReadRowOrder(), (std::vector<std::wstring>{L"c", L"a"}));
    EXPECT_EQ(s_magnetStore[L"Config"][L"Order"][L"idx_2"].Get<std::wstring>(L""), L"");

    s_magnetStore[L"Config"][L"Order"].remove();
    s_magnetStore[L"Config"][L"Order"][L"idx_0"] = L"x";
    s_magnetStore[L"Config"][L"Order"][L"idx_2"] = L"y";
    EXPECT_EQ(ReadRowOrder(), (std::vector<std::wstring>{L"x"}));
}

TEST(MagnetOrder, StoredIdsFirstThenTheRestAscending)
{
    using V = std::vector<std::wstring>;
    EXPECT_EQ(OrderRowIds({}, {L"a", L"b", L"c"}), (V{L"a", L"b", L"c"}));
    // A deleted box in the order is skipped; a new one comes after.
    EXPECT_EQ(OrderRowIds({L"c", L"gone", L"a"}, {L"a", L"b", L"c", L"d"}), (V{L"c", L"a", L"b", L"d"}));
}

class MagnetRowListTest : public MagnetOrderTest
{
protected:
    void SetUp() override
    {
        MagnetOrderTest::SetUp();
        TempFolder::WriteBytes(temp.File(L"QuickPanelCom.kelm"), "");
        s_quickPanelStore.Load(temp.File(L"QuickPanelCom.kelm"));
        s_boxRuntimes.clear();
    }
    void TearDown() override
    {
        s_magRows.clear();
        s_boxRuntimes.clear();
    }
    static void AddBox(const std::wstring& id, bool withCaption = true)
    {
        BoxRuntime& runtime = s_boxRuntimes[std::make_shared<KelmWindow>()];
        runtime.id = id;
        if (withCaption)
            runtime.captionBar = std::make_shared<KelmCaptionBar>();
    }
    static std::vector<std::wstring> RowIds()
    {
        std::vector<std::wstring> ids;
        for (const auto& row : s_magRows)
            ids.push_back(row->BoxId());
        return ids;
    }
};

TEST_F(MagnetRowListTest, BoxesAndHiddenBoxesInStoredOrderWithoutPseudoBoxes)
{
    AddBox(L"b0002");
    AddBox(L"b0001");
    AddBox(L"b0009", false); // still being built: no caption yet
    AddBox(L"QUICK_PANEL_ROOT");
    AddBox(L"QUICK_PANEL_PHYS");
    s_quickPanelStore[L"TempList"][L"h00001"][L"title"] = L"Temp box";
    s_quickPanelStore[L"TempList"][L"h00001"][L"clrtag"] = L"#102030";
    s_quickPanelStore[L"TempList"][L"broken"] = L"not an object";

    RefreshContent();
    EXPECT_EQ(RowIds(), (std::vector<std::wstring>{L"b0001", L"b0002", L"h00001"}));
    EXPECT_TRUE(s_magRows[2]->hidden);
    EXPECT_EQ(s_magRows[2]->colour, static_cast<COLORREF>(0x302010));
    EXPECT_TRUE(s_magRows[2]->IsFolderBox());

    ASSERT_TRUE(WriteRowOrder({L"h00001", L"gone", L"b0002"}));
    RefreshContent();
    EXPECT_EQ(RowIds(), (std::vector<std::wstring>{L"h00001", L"b0002", L"b0001"}));
}

TEST_F(MagnetRowListTest, HiddenBoxFromTheHeaderIsStoredAndListed)
{
    TempFolder::WriteBytes(temp.File(L"Tessik.kelm"), "");
    s_appStore.Load(temp.File(L"Tessik.kelm"));
    s_appStore[L"TessikRef"][L"containerDir"] = (temp.Path() / L"boxes").wstring();

    CreateHiddenBox();
    CreateHiddenBox();
    const std::vector<std::wstring> ids = RowIds();
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_NE(ids[0], ids[1]);
    s_quickPanelStore.Load(temp.File(L"QuickPanelCom.kelm"));
    for (const std::wstring& id : ids) {
        KelmStorageProxy record = s_quickPanelStore[L"TempList"][id];
        EXPECT_EQ(record[L"title"].Get<std::wstring>(L""), L"隐身收纳盒");
        EXPECT_EQ(record[L"clrtag"].Get<std::wstring>(L""), L"#F2F2F2");
        EXPECT_FALSE(record[L"UseTargetFolder"].Get<bool>(true));
        // Read back as stored (doubled backslashes), compared as opened.
        const std::wstring folder = NormalizeStoredPath(record[L"TargetFolder"].Get<std::wstring>(L""));
        EXPECT_EQ(folder, (temp.Path() / L"boxes" / (L"temp_" + id)).wstring());
        EXPECT_TRUE(std::filesystem::is_directory(folder));
    }
}
