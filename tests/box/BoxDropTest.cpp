// Files dropped on a box through its OLE drop target: moved into a folder
// box (copied with Ctrl or a copy-only drag) with records, undo records
// and the store saved; mapping records for a mapping box; each same-name
// answer; refused drops answer "no effect"; the source never hears MOVE
// for what the box moved itself or did not take, whether it waits for the
// result (asynchronous mode) or hears it from Drop.
#include <gtest/gtest.h>

#include <shldisp.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "BoxTestSupport.h"
#include "common/DirectoryLink.h"
#include "common/HostFiles.h"
#include "common/OtherSpellings.h"
#include "common/WindowTestSupport.h"
#include "app/FileRemoval.h"
#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "app/TempFolder.h"
#include "app/UserNotice.h"
#include "box/BoxCreation.h"
#include "box/BoxDeletion.h"
#include "box/BoxDrop.h"
#include "box/BoxServices.h"
#include "box/BoxSettingsWindow.h"
#include "box/BoxWindowHooks.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/UndoRedo.h"
#include "box/fileops/UndoSteps.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/KelmDragHelper.h"
#include "ui/core/KelmDropTarget.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

// A drag source's data object as another program offers it: the file list,
// the effects the target sets into it, and optionally the asynchronous
// mode in which the source waits for the target's result.
class SourceData : public IDataObject, public IDataObjectAsyncCapability
{
public:
    SourceData(const std::vector<std::wstring>& paths, bool async)
        : files_(new KelmDragHelper::CDataObject(KelmDragHelper::BuildDropFilesBlock(paths))), async_(async)
    {
    }
    virtual ~SourceData() { files_->Release(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == IID_IDataObject)
            *object = static_cast<IDataObject*>(this);
        else if (riid == __uuidof(IDataObjectAsyncCapability))
            *object = static_cast<IDataObjectAsyncCapability*>(this);
        else
            return *object = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        if (--refs_ == 0) {
            delete this;
            return 0;
        }
        return refs_;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* m) override { return files_->GetData(f, m); }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override { return files_->QueryGetData(f); }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override
    {
        wchar_t name[128] = {};
        GetClipboardFormatNameW(format->cfFormat, name, 128);
        DWORD value = *static_cast<DWORD*>(GlobalLock(medium->hGlobal));
        GlobalUnlock(medium->hGlobal);
        set[name] = value;
        if (release)
            GlobalFree(medium->hGlobal);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD d, IEnumFORMATETC** e) override
    {
        return files_->EnumFormatEtc(d, e);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL mode) override { return async_ = mode, S_OK; }
    HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* mode) override { return *mode = async_, S_OK; }
    HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx*) override { return started = true, S_OK; }
    HRESULT STDMETHODCALLTYPE InOperation(BOOL* in) override { return *in = started && !ended, S_OK; }
    HRESULT STDMETHODCALLTYPE EndOperation(HRESULT result, IBindCtx*, DWORD effects) override
    {
        ended = true;
        endResult = result;
        endEffect = effects;
        return S_OK;
    }

    // What a source that deletes on a move would act on.
    DWORD Performed() const { return set.count(CFSTR_PERFORMEDDROPEFFECT) ? set.at(CFSTR_PERFORMEDDROPEFFECT) : 0; }
    DWORD Logical() const
    {
        return set.count(CFSTR_LOGICALPERFORMEDDROPEFFECT) ? set.at(CFSTR_LOGICALPERFORMEDDROPEFFECT) : 0;
    }

    std::map<std::wstring, DWORD> set;
    bool started = false, ended = false;
    HRESULT endResult = S_OK;
    DWORD endEffect = 0xFFFF;

private:
    KelmDragHelper::CDataObject* files_;
    BOOL async_;
    ULONG refs_ = 1;
};

class BoxDropTest : public FileJobBoxesTest
{
protected:
    // Drops the paths on the box as the shell would and returns the effect
    // answered at the drop.
    DWORD Drop(const BoxWindowPtr& box, const std::vector<std::wstring>& paths, DWORD allowed, DWORD keys = 0)
    {
        auto* data = new KelmDragHelper::CDataObject(KelmDragHelper::BuildDropFilesBlock(paths));
        const DWORD effect = DropData(box, data, allowed, keys);
        data->Release();
        return effect;
    }

    DWORD DropData(const BoxWindowPtr& box, IDataObject* data, DWORD allowed, DWORD keys = 0)
    {
        RECT rc{};
        GetWindowRect(box->GetHwnd(), &rc);
        SetCursorPos(rc.left + 150, rc.top + 200);
        PaintNow(box->GetHwnd());
        DWORD effect = allowed;
        const POINTL point{rc.left + 150, rc.top + 200};
        box->dropTarget->DragEnter(data, keys | MK_LBUTTON, point, &effect);
        effect = allowed;
        box->dropTarget->Drop(data, keys, point, &effect);
        return effect;
    }

    // Pumps until the drop is imported and its job, if any, has ended.
    void WaitForImport() { EXPECT_TRUE(WaitForFileJob(BoxDropPending)) << "the drop's job did not end"; }
};

} // namespace

TEST_F(BoxDropTest, FilesMoveIntoAFolderBoxWithRecordsUndoAndStore)
{
    TempFolder::WriteBytes(In(L"a.txt"), "a");
    TempFolder::WriteBytes(In(L"b.txt"), "b");
    fs::create_directories(In(L"photos"));
    TempFolder::WriteBytes(In(L"photos\\p.jpg"), "p");
    const DWORD effect =
        Drop(folderBox, {In(L"a.txt"), In(L"b.txt"), In(L"photos")}, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE)) << "the box moves them itself";
    WaitForImport();

    const std::wstring folder = Folder();
    EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\a.txt"), "a");
    EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\photos\\p.jpg"), "p");
    EXPECT_FALSE(fs::exists(In(L"a.txt")));
    EXPECT_FALSE(fs::exists(In(L"photos")));
    EXPECT_EQ(RecordPaths(folderBox),
              (std::vector<std::wstring>{folder + L"\\a.txt", folder + L"\\b.txt", folder + L"\\photos"}));
    const auto& undo = s_boxRuntimes.at(folderBox).undoList;
    ASSERT_EQ(undo.size(), 3u);
    EXPECT_EQ(undo[0].kind, 0u);
    EXPECT_EQ(undo[0].path, folder + L"\\a.txt");
    EXPECT_EQ(undo[0].extra, In(L"a.txt")) << "undo puts a moved file back where it came from";
    EXPECT_EQ(s_boxIconManagers.at(folderBox).Records()[0].originalPath, In(L"a.txt"));

    KelmStorage reloaded;
    reloaded.Load(store->File(L"DesktopContainer.kelm"));
    const std::wstring stored =
        reloaded[L"Components"][L"ComID_" + s_boxRuntimes.at(folderBox).id][L"Icons"][L"iconID_2"][L"path"]
            .Get<std::wstring>(L"");
    EXPECT_NE(stored.find(L"photos"), std::wstring::npos) << "the third record is stored";
    EXPECT_FALSE(s_copyProgress.busy);
}

// Seven files land as seven records in drop order; the undo list ends with
// the last five of them, oldest first; the card's bar stood full for the
// last file moved, not empty as if it were still to come.
TEST_F(BoxDropTest, ADropOfManyFilesKeepsItsOrderInRecordsAndUndo)
{
    std::vector<std::wstring> paths, expected;
    for (int i = 1; i <= 7; ++i) {
        const std::wstring name = L"f" + std::to_wstring(i) + L".txt";
        TempFolder::WriteBytes(In(name), "x");
        paths.push_back(In(name));
        expected.push_back(Folder() + L"\\" + name);
    }
    Drop(folderBox, paths, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(RecordPaths(folderBox), expected);
    const auto& undo = s_boxRuntimes.at(folderBox).undoList;
    ASSERT_EQ(undo.size(), 5u);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(undo[i].path, expected[i + 2]);
    EXPECT_EQ(s_copyProgress.fraction.load(), 1.0f);
}

// A drop of many files from one folder is looked at through listings, and
// a name the box's folder already holds, in another case, is still found:
// the question is asked once and nothing the box held is replaced.
TEST_F(BoxDropTest, ALargeDropStillFindsEveryTakenName)
{
    TempFolder::WriteBytes(Folder() + L"\\G7.TXT", "old");
    std::vector<std::wstring> paths;
    for (int i = 0; i < 70; ++i) {
        const std::wstring name = L"g" + std::to_wstring(i) + L".txt";
        TempFolder::WriteBytes(In(name), "new");
        paths.push_back(In(name));
    }
    answer = 0;
    Drop(folderBox, paths, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\G7.TXT"), "old");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\g7 (1).txt"), "new");
    EXPECT_EQ(RecordPaths(folderBox).size(), 70u);
    EXPECT_FALSE(fs::exists(In(L"g69.txt")));
}

TEST_F(BoxDropTest, CtrlOrACopyOnlyDragCopiesAndKeepsTheSource)
{
    TempFolder::WriteBytes(In(L"c.txt"), "c");
    EXPECT_EQ(Drop(folderBox, {In(L"c.txt")}, DROPEFFECT_COPY | DROPEFFECT_MOVE, MK_CONTROL),
              static_cast<DWORD>(DROPEFFECT_COPY));
    WaitForImport();
    EXPECT_TRUE(fs::exists(In(L"c.txt")));
    EXPECT_TRUE(fs::exists(Folder() + L"\\c.txt"));

    TempFolder::WriteBytes(In(L"d.txt"), "d");
    EXPECT_EQ(Drop(folderBox, {In(L"d.txt")}, DROPEFFECT_COPY), static_cast<DWORD>(DROPEFFECT_COPY));
    WaitForImport();
    EXPECT_TRUE(fs::exists(In(L"d.txt"))) << "a copy-only drag is never moved";
    EXPECT_TRUE(fs::exists(Folder() + L"\\d.txt"));
}

TEST_F(BoxDropTest, EachSameNameAnswer)
{
    TempFolder::WriteBytes(Folder() + L"\\same.txt", "old");
    TempFolder::WriteBytes(In(L"same.txt"), "new");

    answer = -1;
    Drop(folderBox, {In(L"same.txt")}, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "old") << "cancel leaves both files";
    EXPECT_EQ(TempFolder::ReadBytes(In(L"same.txt")), "new");
    EXPECT_TRUE(RecordPaths(folderBox).empty());

    answer = 0;
    Drop(folderBox, {In(L"same.txt")}, DROPEFFECT_COPY);
    WaitForImport();
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same (1).txt"), "new");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "old");

    answer = 1;
    Drop(folderBox, {In(L"same.txt")}, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "new");
    EXPECT_FALSE(fs::exists(In(L"same.txt")));
    EXPECT_EQ(answers, 3);

    // A box's own file dropped back with "直接覆盖" is left alone.
    Drop(folderBox, {Folder() + L"\\same.txt"}, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(answers, 3);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "new");

    // So are many of them dropped back with a new file of a taken name
    // (a drop this size looks at the box's folder through its listing):
    // only the new file replaces, and only it leaves an undo record.
    std::vector<std::wstring> many;
    for (int i = 0; i < 70; ++i) {
        many.push_back(Folder() + L"\\own" + std::to_wstring(i) + L".txt");
        TempFolder::WriteBytes(many.back(), "own");
    }
    TempFolder::WriteBytes(In(L"same.txt"), "newer");
    many.push_back(In(L"same.txt"));
    const auto& undo = s_boxRuntimes.at(folderBox).undoList;
    const size_t recorded = undo.size();
    ASSERT_LT(recorded, 4u);
    Drop(folderBox, many, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(answers, 4);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "newer");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\own69.txt"), "own");
    EXPECT_EQ(undo.size(), recorded + 1);
}

// Through another drive letter the box's own file is still its own: no
// question, and "创建副本" never renames it in its own folder.
TEST_F(BoxDropTest, ABoxsOwnFileSpelledThroughAnotherDriveIsLeftAlone)
{
    TempFolder::WriteBytes(Folder() + L"\\own.txt", "own");
    const std::wstring other = ThroughOtherDrive(Folder());
    if (other.empty())
        GTEST_SKIP() << "no second drive letter reaches the box folder here";
    answer = 0;
    const int asked = answers;
    Drop(folderBox, {other + L"\\own.txt"}, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(answers, asked);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\own.txt"), "own");
    EXPECT_FALSE(fs::exists(Folder() + L"\\own (1).txt"));
}

TEST_F(BoxDropTest, TwoFilesOfOneNameBothArrive)
{
    fs::create_directories(In(L"one"));
    fs::create_directories(In(L"two"));
    TempFolder::WriteBytes(In(L"one\\x.txt"), "1");
    TempFolder::WriteBytes(In(L"two\\x.txt"), "2");
    answer = 1;
    Drop(folderBox, {In(L"one\\x.txt"), In(L"two\\x.txt")}, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\x.txt"), "1");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\x (1).txt"), "2");
    EXPECT_EQ(answers, 0);
}

TEST_F(BoxDropTest, MappingBoxRecordsPathsWhereTheyAre)
{
    TempFolder::WriteBytes(In(L"m.txt"), "m");
    const std::wstring longName = In(std::wstring(240, L'n') + L".txt");
    TempFolder::WriteBytes(longName, "long");
    ASSERT_GT(longName.size(), 260u);
    Drop(mappingBox, {In(L"m.txt"), longName}, DROPEFFECT_COPY | DROPEFFECT_LINK);
    WaitForImport();
    EXPECT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{In(L"m.txt"), longName}))
        << "long paths arrive whole";
    for (const IconRecord& record : s_boxIconManagers.at(mappingBox).Records())
        EXPECT_GT(record.lastWriteTime, 0) << "the files' facts, read off the window's thread, reach the records";
    EXPECT_TRUE(fs::exists(In(L"m.txt")));
    const auto& undo = s_boxRuntimes.at(mappingBox).undoList;
    ASSERT_EQ(undo.size(), 2u);
    EXPECT_EQ(undo[1].kind, 3u);
}

TEST_F(BoxDropTest, RefusedDropsAnswerNoEffect)
{
    TempFolder::WriteBytes(In(L"r.txt"), "r");
    s_boxRuntimes.at(folderBox).IsLocked = true;
    EXPECT_EQ(Drop(folderBox, {In(L"r.txt")}, DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_FALSE(BoxDropPending());
    s_boxRuntimes.at(folderBox).IsLocked = false;
    WaitForImport();
    EXPECT_TRUE(fs::exists(In(L"r.txt")));

    // A drag whose data cannot be read delivers nothing, not an older list.
    s_droppedFiles = {In(L"r.txt")};
    auto* empty = new KelmDragHelper::CDataObject(nullptr);
    DWORD effect = DROPEFFECT_MOVE;
    folderBox->dropTarget->DragEnter(empty, MK_LBUTTON, POINTL{0, 0}, &effect);
    effect = DROPEFFECT_MOVE;
    folderBox->dropTarget->Drop(empty, 0, POINTL{0, 0}, &effect);
    empty->Release();
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_FALSE(BoxDropPending());
    WaitForImport();
    EXPECT_TRUE(fs::exists(In(L"r.txt")));
}

TEST_F(BoxDropTest, TheSourceNeverHearsMoveForWhatTheBoxMovedItself)
{
    for (const bool async : {false, true}) {
        SCOPED_TRACE(async ? "a source that waits" : "a source that hears Drop");
        const std::wstring name = async ? L"wait.txt" : L"now.txt";
        TempFolder::WriteBytes(In(name), "x");
        auto* data = new SourceData({In(name)}, async);
        EXPECT_EQ(DropData(folderBox, data, DROPEFFECT_COPY | DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_NONE));
        WaitForImport();
        EXPECT_FALSE(fs::exists(In(name)));
        EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\" + name), "x");
        EXPECT_EQ(data->Performed(), static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_EQ(data->started, async);
        if (async) {
            EXPECT_TRUE(data->ended);
            EXPECT_EQ(data->endResult, S_OK);
            EXPECT_EQ(data->endEffect, static_cast<DWORD>(DROPEFFECT_NONE)) << "nothing left for the source to delete";
            EXPECT_EQ(data->Logical(), static_cast<DWORD>(DROPEFFECT_MOVE)) << "but it was a move";
        }
        data->Release();
    }
}

TEST_F(BoxDropTest, NothingTakenIsNeverAnsweredMove)
{
    TempFolder::WriteBytes(Folder() + L"\\same.txt", "old");
    TempFolder::WriteBytes(In(L"same.txt"), "new");
    TempFolder::WriteBytes(In(L"other.txt"), "other");
    const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    auto expectNothingTaken = [](SourceData* data) {
        EXPECT_NE(data->Performed(), static_cast<DWORD>(DROPEFFECT_MOVE));
        EXPECT_TRUE(data->ended);
        EXPECT_EQ(data->endEffect, static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_NE(data->endResult, S_OK);
        EXPECT_EQ(data->Logical(), static_cast<DWORD>(DROPEFFECT_NONE));
        data->Release();
    };
    {
        SCOPED_TRACE("the same-name question cancelled");
        answer = -1;
        auto* data = new SourceData({In(L"same.txt")}, true);
        EXPECT_EQ(DropData(folderBox, data, both), static_cast<DWORD>(DROPEFFECT_NONE));
        WaitForImport();
        EXPECT_EQ(answers, 1);
        expectNothingTaken(data);
        EXPECT_EQ(TempFolder::ReadBytes(In(L"same.txt")), "new");
        EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "old");
    }
    {
        SCOPED_TRACE("the job refused because another one runs");
        auto* data = new SourceData({In(L"other.txt")}, true);
        DropData(folderBox, data, both);
        // Another job starts between the drop and its import.
        s_copyProgress.busy = true;
        s_copyProgress.workerRunning = true;
        for (int i = 0; i < 100 && BoxDropPending(); ++i)
            PumpMessages(20);
        s_copyProgress.busy = false;
        s_copyProgress.workerRunning = false;
        expectNothingTaken(data);
        EXPECT_EQ(TempFolder::ReadBytes(In(L"other.txt")), "other");
        EXPECT_TRUE(WasUserNotified(L"drop-refused:" + In(L"other.txt"))) << "the user hears why";
        EXPECT_TRUE(RecordPaths(folderBox).empty());
    }
    {
        SCOPED_TRACE("the box's folder is gone: refused and told, never a shortcut record");
        const std::wstring folder = Folder();
        fs::rename(folder, folder + L"-away");
        auto* data = new SourceData({In(L"other.txt")}, true);
        EXPECT_NE(DropData(folderBox, data, both | DROPEFFECT_LINK), static_cast<DWORD>(DROPEFFECT_MOVE));
        WaitForImport();
        fs::rename(folder + L"-away", folder);
        expectNothingTaken(data);
        EXPECT_TRUE(RecordPaths(folderBox).empty());
        EXPECT_EQ(TempFolder::ReadBytes(In(L"other.txt")), "other");
        EXPECT_TRUE(WasUserNotified(L"drop-folder-gone:" + s_boxRuntimes.at(folderBox).TargetFolder));
    }
}

TEST_F(BoxDropTest, TheBoxFolderAndItsAncestorsAreRefusedAsStored)
{
    BoxRuntime& runtime = s_boxRuntimes.at(folderBox);
    const std::wstring folder = runtime.TargetFolder;
    const std::wstring parent = fs::path(folder).parent_path().wstring();
    // The store keeps the folder with every backslash doubled.
    std::wstring doubled = folder;
    for (size_t i = 0; (i = doubled.find(L'\\', i)) != std::wstring::npos; i += 2)
        doubled.insert(i, 1, L'\\');
    runtime.TargetFolder = doubled;
    for (const std::wstring& dropped : {folder, parent}) {
        auto* data = new SourceData({dropped}, false);
        EXPECT_EQ(DropData(folderBox, data, DROPEFFECT_COPY | DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_EQ(data->Performed(), static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_FALSE(BoxDropPending());
        data->Release();
        WaitForImport();
    }
    runtime.TargetFolder = folder;
    EXPECT_TRUE(RecordPaths(folderBox).empty());
    EXPECT_TRUE(fs::exists(folder));
    EXPECT_FALSE(fs::exists(folder + L"\\" + fs::path(folder).filename().wstring())) << "no folder nested into itself";
}

// However the dropped folder is spelled: another drive letter, a short
// name, a path through a link.
TEST_F(BoxDropTest, AnotherBoxsFolderStaysWithItsBox)
{
    // The mapping box shows a folder for this test: dropped on the folder
    // box, that folder would leave the mapping box without it.
    const std::wstring shownFolder = In(L"Shown Folder");
    fs::create_directories(shownFolder);
    TempFolder::WriteBytes(shownFolder + L"\\s.txt", "s");
    BoxRuntime& other = s_boxRuntimes.at(mappingBox);
    const bool usedFolder = other.UseTargetFolder;
    const std::wstring shown = other.TargetFolder;
    other.UseTargetFolder = true;
    other.TargetFolder = shownFolder;
    for (const std::wstring& dropped : {shownFolder, ThroughOtherDrive(shownFolder), ByShortName(shownFolder),
                                        ThroughLinkedParent(shownFolder, temp.File(L"link"))}) {
        if (dropped.empty())
            continue;
        SCOPED_TRACE(WideToUtf8(dropped));
        const int told = TimesUserNotified(L"drop-box-folder");
        Drop(folderBox, {dropped}, DROPEFFECT_COPY | DROPEFFECT_MOVE);
        WaitForImport();
        EXPECT_EQ(TempFolder::ReadBytes(shownFolder + L"\\s.txt"), "s");
        EXPECT_TRUE(fs::is_empty(Folder())) << "nothing arrived in the box";
        EXPECT_EQ(TimesUserNotified(L"drop-box-folder"), told + 1);
    }
    // A copy leaves the folder with its box, so it is not refused.
    const int told = TimesUserNotified(L"drop-box-folder");
    Drop(folderBox, {shownFolder}, DROPEFFECT_COPY);
    WaitForImport();
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\Shown Folder\\s.txt"), "s");
    EXPECT_EQ(TempFolder::ReadBytes(shownFolder + L"\\s.txt"), "s");
    EXPECT_EQ(TimesUserNotified(L"drop-box-folder"), told);
    other.UseTargetFolder = usedFolder;
    other.TargetFolder = shown;
}

// A file "直接覆盖" over a folder of its name stays, and the user reads why
// in words. A file whose name Windows keeps for a device is itself, not the
// device: it moves like any other.
TEST_F(BoxDropTest, AFolderInTheWayIsToldAndADevicesNameIsJustAName)
{
    fs::create_directories(Folder() + L"\\same");
    TempFolder::WriteBytes(In(L"same"), "file");
    answer = 1;
    Drop(folderBox, {In(L"same")}, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(TempFolder::ReadBytes(In(L"same")), "file");
    EXPECT_TRUE(fs::is_directory(Folder() + L"\\same"));
    const std::wstring told = LastNoticeText(L"drop-failed");
    EXPECT_NE(told.find(L"同名的文件夹"), std::wstring::npos) << WideToUtf8(told);

    TempFolder::WriteBytes(In(L"device"), "aux");
    if (!RenameOnHost(In(L"device"), In(L""), "aux.txt"))
        GTEST_SKIP() << "this system makes no file named aux.txt";
    const int failed = TimesUserNotified(L"drop-failed");
    const int refused = TimesUserNotified(L"drop-box-folder");
    Drop(folderBox, {In(L"aux.txt")}, DROPEFFECT_MOVE);
    WaitForImport();
    auto names = [](const std::wstring& folder) {
        std::vector<std::wstring> found;
        for (const auto& entry : fs::directory_iterator(folder))
            found.push_back(entry.path().filename().wstring());
        return found;
    };
    const std::vector<std::wstring> inBox = names(Folder());
    const bool arrived = std::find(inBox.begin(), inBox.end(), L"aux.txt") != inBox.end();
    // The plain path of either would reach the device: the host removes it.
    host_files::RunOnHost(L"Z:\\bin\\rm", {"-f", host_files::UnixPath(Folder()) + "/aux.txt",
                                           host_files::UnixPath(In(L"")) + "/aux.txt"});
    EXPECT_TRUE(arrived);
    EXPECT_EQ(names(In(L"")), std::vector<std::wstring>{L"same"});
    EXPECT_EQ(TimesUserNotified(L"drop-failed"), failed);
    EXPECT_EQ(TimesUserNotified(L"drop-box-folder"), refused) << WideToUtf8(LastNoticeText(L"drop-box-folder"));
}

// The program's stores, logs, backup nodes and kept copies stay where it
// looks for them, at any depth of its data folder (a copy may still be
// made); a box root placed in the data folder holds the user's files.
TEST_F(BoxDropTest, TheProgramsOwnFilesAreNeverMovedIntoABox)
{
    const std::wstring store = s_desktopContainerStore.FileName();
    const std::wstring dataFolder = fs::path(store).parent_path().wstring();
    struct LiveDataFolder {
        std::wstring saved = s_dataFolder;
        ~LiveDataFolder() { s_dataFolder = saved; }
    } live;
    s_dataFolder = dataFolder;
    const std::wstring logs = dataFolder + L"\\logs";
    const std::wstring node = dataFolder + L"\\Backups\\UserBackups\\bk_2026_01_02_03_04";
    const std::wstring root = s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L"");
    const std::wstring kept = root + L"\\.data";
    for (const std::wstring& folder : {logs, node, kept + L"\\.temp"})
        fs::create_directories(folder);
    TempFolder::WriteBytes(logs + L"\\run.log", "log");
    TempFolder::WriteBytes(node + L"\\Tessik.kelm", "node");
    TempFolder::WriteBytes(node + L"\\MagnetCom.kelm", "node magnet");
    TempFolder::WriteBytes(kept + L"\\.temp\\a.tmp", "kept");
    TempFolder::WriteBytes(root + L"\\loose.txt", "loose");
    TempFolder::WriteBytes(In(L"mine.txt"), "mine");
    std::vector<std::wstring> dropped = {store,
                                         logs,
                                         logs + L"\\run.log",
                                         node,
                                         node + L"\\MagnetCom.kelm",
                                         kept,
                                         kept + L"\\.temp",
                                         In(L"mine.txt"),
                                         root + L"\\loose.txt"};
    if (const std::wstring other = ThroughOtherDrive(store); !other.empty())
        dropped.push_back(other);
    if (const std::wstring other = ThroughOtherDrive(node + L"\\Tessik.kelm"); !other.empty())
        dropped.push_back(other);
    Drop(folderBox, dropped, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_FALSE(fs::exists(Folder() + L"\\" + fs::path(store).filename().wstring()));
    EXPECT_EQ(TempFolder::ReadBytes(logs + L"\\run.log"), "log");
    EXPECT_EQ(TempFolder::ReadBytes(node + L"\\Tessik.kelm"), "node");
    EXPECT_EQ(TempFolder::ReadBytes(node + L"\\MagnetCom.kelm"), "node magnet");
    EXPECT_EQ(TempFolder::ReadBytes(kept + L"\\.temp\\a.tmp"), "kept");
    for (const wchar_t* name : {L"run.log", L"bk_2026_01_02_03_04", L"MagnetCom.kelm", L"Tessik.kelm", L"logs"})
        EXPECT_FALSE(fs::exists(Folder() + L"\\" + name)) << WideToUtf8(name);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\mine.txt"), "mine") << "the user's own file still moves";
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\loose.txt"), "loose") << "so does one in the box root";
    const std::wstring told = LastNoticeText(L"drop-box-folder");
    for (const std::wstring& name :
         {fs::path(store).filename().wstring(), std::wstring(L"logs"), std::wstring(L"run.log"),
          std::wstring(L"bk_2026_01_02_03_04"), std::wstring(L"MagnetCom.kelm"), std::wstring(L".data")})
        EXPECT_NE(told.find(name), std::wstring::npos) << WideToUtf8(told);

    // A copy takes nothing from the program.
    Drop(folderBox, {logs + L"\\run.log"}, DROPEFFECT_COPY);
    WaitForImport();
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\run.log"), "log");
    EXPECT_EQ(TempFolder::ReadBytes(logs + L"\\run.log"), "log");
    fs::remove_all(logs);
    fs::remove_all(dataFolder + L"\\Backups");
    fs::remove_all(kept);
}

TEST_F(BoxDropTest, CopyOrMoveIsDecidedOnceAtTheDrop)
{
    TempFolder::WriteBytes(In(L"k.txt"), "k");
    EXPECT_EQ(Drop(folderBox, {In(L"k.txt")}, DROPEFFECT_COPY | DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_NONE));
    // Ctrl goes down after the drop, before its import.
    INPUT key{};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = VK_CONTROL;
    SendInput(1, &key, sizeof(key));
    WaitForImport();
    key.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &key, sizeof(key));
    EXPECT_FALSE(fs::exists(In(L"k.txt"))) << "the drop was a move and stays one";
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\k.txt"), "k");
}

// A move leaves no second copy: what another program holds stays where it
// was, alone, and the user hears why.
TEST_F(BoxDropTest, AnItemThatCouldNotLeaveItsSourceStaysThereAloneAndTheUserHearsIt)
{
    TempFolder::WriteBytes(In(L"held.txt"), "held");
    TempFolder::WriteBytes(In(L"free.txt"), "free");
    // Another program holds the file open without allowing its deletion.
    HANDLE held =
        CreateFileW(In(L"held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    auto* data = new SourceData({In(L"held.txt")}, true);
    DropData(folderBox, data, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    WaitForImport();
    CloseHandle(held);
    EXPECT_EQ(TempFolder::ReadBytes(In(L"held.txt")), "held");
    EXPECT_FALSE(fs::exists(Folder() + L"\\held.txt")) << "no second copy";
    const std::wstring told = LastNoticeText(L"drop-failed");
    EXPECT_NE(told.find(L"held.txt"), std::wstring::npos) << "the user hears what stayed";
    EXPECT_NE(told.find(L"文件正被其他程序使用"), std::wstring::npos) << "and why: " << told;
    EXPECT_EQ(data->Logical(), static_cast<DWORD>(DROPEFFECT_NONE)) << "nothing left its source";
    data->Release();
    EXPECT_TRUE(s_boxRuntimes.at(folderBox).undoList.empty());

    // Beside an item that did leave its source, the drop was a move.
    held = CreateFileW(In(L"held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    answer = 0;
    data = new SourceData({In(L"held.txt"), In(L"free.txt")}, true);
    DropData(folderBox, data, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    WaitForImport();
    CloseHandle(held);
    EXPECT_FALSE(fs::exists(In(L"free.txt")));
    EXPECT_EQ(data->endEffect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(data->Logical(), static_cast<DWORD>(DROPEFFECT_MOVE));
    data->Release();
}

// A folder dropped from another volume whose every file another program
// holds stays where it was, alone: no folder of its name is left in the
// box, no icon stands for it, and the user hears that it is in use.
TEST_F(BoxDropTest, AHeldFolderFromAnotherVolumeLeavesNothingInTheBox)
{
    const std::wstring other = FolderOnOtherVolume(Folder(), L"drop");
    if (other.empty())
        GTEST_SKIP() << "no second volume here";
    std::error_code ec;
    const std::wstring album = other + L"\\album";
    fs::create_directories(album);
    std::vector<HANDLE> held;
    for (const wchar_t* name : {L"a.txt", L"b.txt"}) {
        TempFolder::WriteBytes(album + L"\\" + name, "held");
        held.push_back(CreateFileW((album + L"\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(held.back(), INVALID_HANDLE_VALUE);
    }
    Drop(folderBox, {album}, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    WaitForImport();
    for (HANDLE h : held)
        CloseHandle(h);
    EXPECT_FALSE(fs::exists(Folder() + L"\\album")) << "no empty folder that is not the user's";
    EXPECT_TRUE(s_boxIconManagers.at(folderBox).Records().empty());
    EXPECT_EQ(TempFolder::ReadBytes(album + L"\\a.txt"), "held");
    const std::wstring told = LastNoticeText(L"drop-failed");
    EXPECT_NE(told.find(L"album”（文件正被其他程序使用）"), std::wstring::npos) << WideToUtf8(told);
    EXPECT_EQ(told.find(L"已复制"), std::wstring::npos) << "nothing was copied in the end";
    fs::remove_all(other, ec);
}

// One file dropped through two drive letters for its folder is one item:
// it moves once, and nothing is told as gone.
TEST_F(BoxDropTest, OneFileDroppedThroughTwoDriveLettersMovesOnce)
{
    TempFolder::WriteBytes(In(L"same.txt"), "same");
    // A drive letter of the prefix's own that leads to the same folder.
    wchar_t prefix[1024] = {};
    std::wstring letter;
    const DWORD used = GetLogicalDrives();
    for (wchar_t c = L'Y'; c > L'M' && letter.empty(); --c)
        if (!(used & (1u << (c - L'A'))))
            letter = std::wstring(1, c);
    if (letter.empty() || !GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024))
        GTEST_SKIP() << "no second drive letter can be made here";
    // Wine knows a drive only by its link's name in lower case.
    const std::string device = WideToUtf8(prefix) + "/dosdevices/" + static_cast<char>(std::tolower(letter[0])) + ":";
    host_files::RunOnHost(L"Z:\\bin\\ln", {"-sfn", host_files::UnixPath(temp.File(L"in")), device});
    const std::wstring other = letter + L":\\same.txt";
    const bool reached = PumpUntil([&] { return PathExists(other); }, 15000);
    const int told = TimesUserNotified(L"drop-failed");
    if (reached) {
        Drop(folderBox, {other, In(L"same.txt")}, DROPEFFECT_COPY | DROPEFFECT_MOVE);
        WaitForImport();
    }
    host_files::RunOnHost(L"Z:\\bin\\rm", {"-f", device});
    ASSERT_TRUE(reached) << "the second drive letter does not reach the folder";
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "same");
    EXPECT_FALSE(fs::exists(Folder() + L"\\same (1).txt"));
    EXPECT_FALSE(fs::exists(In(L"same.txt")));
    EXPECT_EQ(TimesUserNotified(L"drop-failed"), told) << WideToUtf8(LastNoticeText(L"drop-failed"));
}

TEST_F(BoxDropTest, ADroppedLinkToAFileOrAnEmptyFolderNeverMovesWhatItLeadsTo)
{
    fs::create_directories(In(L""));
    OutsideLinks links;
    if (!links.Make(temp.File(L"in"), temp.File(L"outside")))
        GTEST_SKIP() << "this system makes no links";
    Drop(folderBox, links.links, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_TRUE(links.Untouched());
    for (const std::wstring& link : links.links) {
        if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
            EXPECT_NE(LastNoticeText(L"drop-failed").find(FileNameOfPath(link)), std::wstring::npos)
                << "the user hears what stayed";
        }
    }
}

namespace
{

size_t Occurrences(const std::wstring& text, const std::wstring& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

} // namespace

// What did not arrive is named once, with why: a link that stays where it
// is, an item another program deleted between the drop and its import, and
// a link whose target went.
TEST_F(BoxDropTest, WhatDidNotArriveIsNamedOnceWithItsReason)
{
    OutsideLinks links;
    if (!links.Make(temp.File(L"in"), temp.File(L"outside")))
        GTEST_SKIP() << "this system makes no links";
    TempFolder::WriteBytes(temp.File(L"outside\\old.txt"), "old");
    ASSERT_TRUE(MakeLink(In(L"dangling.txt"), temp.File(L"outside\\old.txt"), false));
    ASSERT_TRUE(DeleteFileW(temp.File(L"outside\\old.txt").c_str()));
    TempFolder::WriteBytes(In(L"deleted.txt"), "d");
    std::vector<std::wstring> dropped = links.links;
    dropped.push_back(In(L"dangling.txt"));
    dropped.push_back(In(L"deleted.txt"));
    const int told = TimesUserNotified(L"drop-failed");
    Drop(folderBox, dropped, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    ASSERT_TRUE(DeleteFileW(In(L"deleted.txt").c_str()));
    WaitForImport();
    EXPECT_TRUE(links.Untouched());
    ASSERT_EQ(TimesUserNotified(L"drop-failed"), told + 1);
    const std::wstring text = LastNoticeText(L"drop-failed");
    for (const std::wstring& link : links.links) {
        if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
            EXPECT_EQ(Occurrences(text, L"“" + FileNameOfPath(link) + L"”"), 1u) << WideToUtf8(text);
        }
    }
    EXPECT_EQ(text.find(L"内存不足"), std::wstring::npos) << WideToUtf8(text);
    const size_t gone = text.find(L"已不存在");
    ASSERT_NE(gone, std::wstring::npos) << WideToUtf8(text);
    for (const wchar_t* name : {L"“deleted.txt”", L"“dangling.txt”"}) {
        EXPECT_EQ(Occurrences(text, name), 1u) << WideToUtf8(text);
        EXPECT_GT(text.find(name), gone) << "named as gone: " << WideToUtf8(text);
    }
}

// "rep." and "sp " are names of their own (archives and shares make them):
// dropped, a file and a folder arrive under them, and no neighbour whose
// name lacks the dot or the blank is taken.
TEST_F(BoxDropTest, ANameEndingInADotOrABlankArrivesUnderThatName)
{
    TempFolder::WriteBytes(In(L"rep"), "plain");
    TempFolder::WriteBytes(In(L"one"), "dotted");
    fs::create_directories(In(L"two"));
    TempFolder::WriteBytes(In(L"two\\inner.txt"), "inner");
    if (!RenameOnHost(In(L"one"), In(L""), "rep.") || !RenameOnHost(In(L"two"), In(L""), "sp "))
        GTEST_SKIP() << "this system makes no names that end in a dot or a blank";
    const int told = TimesUserNotified(L"drop-failed");
    Drop(folderBox, {In(L"rep."), In(L"sp ")}, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    WaitForImport();
    const auto names = host_files::SortedNamesIn;
    const std::vector<std::wstring> inBox = names(Folder());
    const std::string inner = TempFolder::ReadBytes(LongPathForm(Folder() + L"\\sp \\inner.txt"));
    const std::string dotted = TempFolder::ReadBytes(LongPathForm(Folder() + L"\\rep."));
    // The host's own spelling of either path would be cut to the neighbour.
    for (const wchar_t* name : {L"rep.", L"sp "}) {
        RemoveItemWithoutFollowingLinks(Folder() + L"\\" + name);
        RemoveItemWithoutFollowingLinks(In(name));
    }
    EXPECT_EQ(inBox, (std::vector<std::wstring>{L"rep.", L"sp "}));
    EXPECT_EQ(dotted, "dotted");
    EXPECT_EQ(inner, "inner");
    EXPECT_EQ(names(In(L"")), std::vector<std::wstring>{L"rep"}) << "only the neighbour stays";
    EXPECT_EQ(TimesUserNotified(L"drop-failed"), told) << WideToUtf8(LastNoticeText(L"drop-failed"));
    EXPECT_EQ(RecordPaths(folderBox).size(), 2u);
}

// Undo takes a file dropped into a box folder deeper than the old path
// limit back where it came from; where the system cannot check the file at
// such a depth (Wine cannot name it), it stays and the user reads why.
TEST_F(BoxDropTest, UndoOfADropIntoAFolderPastTheOldPathLimitMovesItBackOrSaysWhy)
{
    std::wstring deep = Folder() + L"\\deep";
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    while (deep.size() < 280) {
        deep += L"\\" + std::wstring(40, L'x');
        ASSERT_TRUE(CreateDirectoryW(LongPathForm(deep).c_str(), nullptr));
    }
    BoxRuntime& runtime = s_boxRuntimes.at(folderBox);
    const std::wstring stored = runtime.TargetFolder;
    runtime.TargetFolder = deep;
    TempFolder::WriteBytes(In(L"a.txt"), "a");
    Drop(folderBox, {In(L"a.txt")}, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    WaitForImport();
    const std::wstring dropped = deep + L"\\a.txt";
    const bool arrived = PathExists(dropped);
    const bool checkable = CheckEntry(dropped) == EntryCheck::Itself;
    const int told = TimesUserNotified(L"undo-move");
    if (arrived)
        UndoAndWait(folderBox, nullptr);
    const bool stayed = PathExists(dropped);
    runtime.TargetFolder = stored;
    // A file the system cannot check is never removed by the program.
    RemoveOnHost(Folder() + L"\\deep");
    ASSERT_TRUE(arrived);
    if (checkable) {
        EXPECT_FALSE(stayed);
        EXPECT_EQ(TempFolder::ReadBytes(In(L"a.txt")), "a");
        EXPECT_EQ(TimesUserNotified(L"undo-move"), told) << WideToUtf8(LastNoticeText(L"undo-move"));
        return;
    }
    EXPECT_TRUE(stayed);
    ASSERT_EQ(TimesUserNotified(L"undo-move"), told + 1);
    EXPECT_NE(LastNoticeText(L"undo-move").find(L"（路径太长）"), std::wstring::npos)
        << WideToUtf8(LastNoticeText(L"undo-move"));
}

// The cancel badge drawn while a drag is over the box goes with the drag,
// whether the box refused the drop or the drag left.
TEST_F(BoxDropTest, TheCancelBadgeGoesAfterARefusedDropOrALeave)
{
    TempFolder::WriteBytes(In(L"b.txt"), "b");
    const HWND hwnd = folderBox->GetHwnd();
    RECT placed{};
    GetWindowRect(hwnd, &placed);
    // Clear of the other box, so the screen shows this one.
    SetWindowPos(hwnd, HWND_TOP, 700, 100, 300, 400, SWP_NOACTIVATE);
    SetCursorPos(700 + 150, 100 + 200);
    const RECT badge{100, 5, 200, 35};
    s_boxRuntimes.at(folderBox).IsLocked = true;
    for (const bool dropped : {true, false}) {
        SCOPED_TRACE(dropped ? "a refused drop" : "a drag that left");
        PaintNow(hwnd);
        const std::vector<COLORREF> before = ReadClientPixels(hwnd, badge);
        auto* data = new KelmDragHelper::CDataObject(KelmDragHelper::BuildDropFilesBlock({In(L"b.txt")}));
        DWORD effect = DROPEFFECT_MOVE;
        folderBox->dropTarget->DragEnter(data, MK_LBUTTON, POINTL{850, 300}, &effect);
        PaintNow(hwnd);
        ASSERT_NE(ReadClientPixels(hwnd, badge), before) << "the badge shows while the drag is over the box";
        effect = DROPEFFECT_MOVE;
        if (dropped)
            folderBox->dropTarget->Drop(data, 0, POINTL{850, 300}, &effect);
        else
            folderBox->dropTarget->DragLeave();
        data->Release();
        EXPECT_TRUE(PumpUntil([&] { return ReadClientPixels(hwnd, badge) == before; }, 3000));
    }
    s_boxRuntimes.at(folderBox).IsLocked = false;
    SetWindowPos(hwnd, nullptr, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(fs::exists(In(L"b.txt")));
}

// While one drop waits to be imported (its same-name question may be
// open), a drop on any box is refused and told; the source keeps it.
TEST_F(BoxDropTest, ADropRefusedWhileAnotherWaitsIsTold)
{
    TempFolder::WriteBytes(In(L"first.txt"), "1");
    TempFolder::WriteBytes(In(L"second.txt"), "2");
    Drop(folderBox, {In(L"first.txt")}, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    ASSERT_TRUE(BoxDropPending());
    auto* data = new KelmDragHelper::CDataObject(KelmDragHelper::BuildDropFilesBlock({In(L"second.txt")}));
    for (const BoxWindowPtr& box : {folderBox, mappingBox}) {
        const int told = TimesUserNotified(L"drop-pending");
        RECT rc{};
        GetWindowRect(box->GetHwnd(), &rc);
        const POINTL point{rc.left + 150, rc.top + 200};
        SetCursorPos(point.x, point.y);
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        box->dropTarget->DragEnter(data, MK_LBUTTON, point, &effect);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
        effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        box->dropTarget->Drop(data, 0, point, &effect);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_EQ(TimesUserNotified(L"drop-pending"), told + 1);
        EXPECT_NE(LastNoticeText(L"drop-pending").find(L"仍在原来的位置"), std::wstring::npos);
    }
    data->Release();
    WaitForImport();
    EXPECT_EQ(TempFolder::ReadBytes(In(L"second.txt")), "2");
    EXPECT_TRUE(RecordPaths(mappingBox).empty());
}

// A drop let go while an earlier drop's same-name question is open is
// refused and told, not taken and then lost to a question that cannot open.
TEST_F(BoxDropTest, ADropDuringTheSameNameQuestionIsRefusedAndTold)
{
    TempFolder::WriteBytes(Folder() + L"\\q.txt", "old");
    TempFolder::WriteBytes(In(L"q.txt"), "new");
    TempFolder::WriteBytes(In(L"later.txt"), "later");
    DWORD laterEffect = 99;
    int told = -1;
    s_sameNameQuestion = [&](HWND) {
        told = TimesUserNotified(L"drop-pending");
        auto* data = new KelmDragHelper::CDataObject(KelmDragHelper::BuildDropFilesBlock({In(L"later.txt")}));
        RECT rc{};
        GetWindowRect(folderBox->GetHwnd(), &rc);
        const POINTL point{rc.left + 150, rc.top + 200};
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        folderBox->dropTarget->DragEnter(data, MK_LBUTTON, point, &effect);
        effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        folderBox->dropTarget->Drop(data, 0, point, &effect);
        laterEffect = effect;
        data->Release();
        PumpUntil([] { return false; }, 100); // the question's own loop
        told = TimesUserNotified(L"drop-pending") - told;
        return 0;
    };
    Drop(folderBox, {In(L"q.txt")}, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(laterEffect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(told, 1) << "the refused drop is told";
    EXPECT_EQ(TempFolder::ReadBytes(In(L"later.txt")), "later");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\q.txt"), "old");
    EXPECT_FALSE(BoxDropPending());
}

// A folder box refuses files while a file job works (its own or another
// box's): the source keeps them and the user hears why, whether OLE
// delivers the drop or, as it does where no effect was offered, only lets
// the drag leave at the release.
TEST_F(BoxDropTest, ADropRefusedForARunningJobIsTold)
{
    TempFolder::WriteBytes(In(L"j.txt"), "j");
    const std::shared_ptr<KelmWindow> target = s_copyProgress.targetWindow;
    s_copyProgress.busy = true;
    s_copyProgress.workerRunning = true;
    const HWND hwnd = folderBox->GetHwnd();
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (const auto& [working, words] :
         {std::pair{folderBox, L"这个收纳盒的文件操作"}, std::pair{mappingBox, L"另一项文件操作"}}) {
        s_copyProgress.targetWindow = working;
        const int told = TimesUserNotified(L"drop-busy");
        EXPECT_EQ(Drop(folderBox, {In(L"j.txt")}, DROPEFFECT_COPY | DROPEFFECT_MOVE),
                  static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_EQ(TimesUserNotified(L"drop-busy"), told + 1);
        EXPECT_NE(LastNoticeText(L"drop-busy").find(words), std::wstring::npos);
        EXPECT_NE(LastNoticeText(L"drop-busy").find(L"仍在原来的位置"), std::wstring::npos);

        // Let go over the box: OLE answers with DragLeave.
        auto* data = new KelmDragHelper::CDataObject(KelmDragHelper::BuildDropFilesBlock({In(L"j.txt")}));
        DWORD effect = DROPEFFECT_MOVE;
        RECT rc{};
        GetWindowRect(hwnd, &rc);
        SetCursorPos(rc.left + 150, rc.top + 200);
        folderBox->dropTarget->DragEnter(data, MK_LBUTTON, POINTL{rc.left + 150, rc.top + 200}, &effect);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
        folderBox->dropTarget->DragLeave();
        EXPECT_EQ(TimesUserNotified(L"drop-busy"), told + 2);
        // A drag that moved off the box is no drop.
        folderBox->dropTarget->DragEnter(data, MK_LBUTTON, POINTL{rc.left + 150, rc.top + 200}, &effect);
        SetCursorPos(rc.right + 50, rc.top + 200);
        folderBox->dropTarget->DragLeave();
        EXPECT_EQ(TimesUserNotified(L"drop-busy"), told + 2);
        data->Release();
    }
    s_copyProgress.busy = false;
    s_copyProgress.workerRunning = false;
    s_copyProgress.targetWindow = target;
    WaitForImport();
    EXPECT_EQ(TempFolder::ReadBytes(In(L"j.txt")), "j");
    EXPECT_TRUE(RecordPaths(folderBox).empty());
}

// While the same-name question of a drop is open, the box is neither made
// again from its settings nor deleted (both told); "直接覆盖" then lands
// in the same box with the undo record of what it replaced.
TEST_F(BoxDropTest, TheBoxStaysUnderItsDropsQuestionAndItsJob)
{
    TempFolder::WriteBytes(Folder() + L"\\r.txt", "old");
    TempFolder::WriteBytes(In(L"r.txt"), "new");
    const int remakeTold = TimesUserNotified(L"box-remake-busy");
    const int deleteTold = TimesUserNotified(L"box-delete-busy");
    s_sameNameQuestion = [&](HWND) {
        TessikDesktopContainer::OpenBoxSettingsWindow(folderBox);
        TessikDesktopContainer::SetBoxRenderStyle(1);
        TessikDesktopContainer::CloseBoxSettingsOf(s_boxRuntimes.at(folderBox).id);
        EXPECT_TRUE(BoxDeletionRefusedWhileBusy(folderBox));
        return 1;
    };
    Drop(folderBox, {In(L"r.txt")}, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(TimesUserNotified(L"box-remake-busy"), remakeTold + 1);
    EXPECT_EQ(TimesUserNotified(L"box-delete-busy"), deleteTold + 1);
    ASSERT_TRUE(FindBoxRuntime(folderBox)) << "the box was made again under its question";
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\r.txt"), "new");
    const auto& undo = s_boxRuntimes.at(folderBox).undoList;
    ASSERT_EQ(undo.size(), 1u);
    EXPECT_EQ(TempFolder::ReadBytes(undo[0].replacedCopy), "old");
    EXPECT_FALSE(BoxDeletionRefusedWhileBusy(folderBox)) << "the job's end lets the box go";
}
