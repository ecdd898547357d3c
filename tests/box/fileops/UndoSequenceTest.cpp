// Random sequences of a user's file operations on one box with a real
// folder (新建, drops that move or copy, pastes, deletes to the Recycle Bin
// or for good, renames, aliases, edits made outside, undo and redo, and
// more operations than the undo list holds), with fixed seeds. After every
// step each version of a file the user had is still somewhere the user can
// reach: the box, the sources, the Recycle Bin, or the kept copy of a
// record still on a list; only what was deleted for good, or a new item
// taken back by undo as it was made, may be gone. Nothing outside the box
// and the sources changes. Some drops run with a source file held open by
// another program (so a move or merge stops half way), some items are
// deleted and written again outside, and some undos are asked while a job
// still runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <thread>

#include "app/AppState.h"
#include "app/Backup.h"
#include "app/KelmStorage.h"
#include "app/KnownTempFolders.h"
#include "app/StoreTextFormat.h"
#include "app/UserNotice.h"
#include "app/TempFolder.h"
#include "app/TempFolderUse.h"
#include "box/BoxDeletion.h"
#include "box/BoxNewFiles.h"
#include "box/BoxInUse.h"
#include "box/BoxRuntime.h"
#include "box/IconContextMenu.h"
#include "box/fileops/DeleteSelected.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/FileJobMailbox.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileWorkerTracker.h"
#include "box/fileops/PartFileJournal.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/fileops/TempFolderSweep.h"
#include "box/fileops/UndoList.h"
#include "box/fileops/UndoRedo.h"
#include "box/fileops/UndoSteps.h"
#include "box/icons/FolderSync.h"
#include "box/icons/KelmIconManager.h"
#include "common/DirectoryLink.h"
#include "common/HostFiles.h"
#include "common/WindowTestSupport.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

// The version a file holds: every write puts a new mark at its start,
// padded so that the file also changes its size.
using Versions = std::set<std::string>;

std::string VersionOf(const std::string& bytes)
{
    if (bytes.empty() || bytes[0] != 'v')
        return "";
    return bytes.substr(0, bytes.find('.'));
}

// Reading a file costs Wine far more than listing it: a file whose size
// and write time did not change is not read again.
std::string CachedVersion(const std::wstring& path, const WIN32_FIND_DATAW& data)
{
    static std::map<std::wstring, std::pair<std::string, std::string>> known;
    const std::string look = std::to_string(data.nFileSizeLow) + ":" +
                             std::to_string(data.ftLastWriteTime.dwLowDateTime) + ":" +
                             std::to_string(data.ftLastWriteTime.dwHighDateTime);
    auto& entry = known[path];
    if (entry.first != look)
        entry = {look, VersionOf(TempFolder::ReadBytes(path))};
    return entry.second;
}

void CollectVersions(const std::wstring& path, Versions& out)
{
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    FindClose(find);
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (std::string v = CachedVersion(path, data); !v.empty())
            out.insert(v);
        return;
    }
    find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring full = path + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectVersions(full, out);
        else if (std::string v = CachedVersion(full, data); !v.empty())
            out.insert(v);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

std::string VersionOfFile(const std::wstring& path)
{
    Versions one;
    CollectVersions(path, one);
    return one.empty() ? "" : *one.begin();
}

Versions VersionsIn(const std::wstring& path)
{
    Versions out;
    CollectVersions(path, out);
    return out;
}

// What identifies a record however it travels between the lists.
std::wstring RecordKey(const UndoRecord& r)
{
    return std::to_wstring(r.kind) + L"|" + r.path + L"|" + r.extra + L"|" + r.replacedCopy;
}

// A tree beside the box that no operation of the box may touch.
const wchar_t* const kBystanders[] = {L"outside\\keep.txt", L"outside\\sub\\plan.txt",
                                      L"outside\\sub\\deeper\\photo.jpg"};

// Another program holding a file open for the length of one operation:
// with shareRead a copy of it can be read but it cannot be removed; without
// it cannot even be read.
class HeldOpen
{
public:
    HeldOpen(const std::wstring& path, bool shareRead)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ, shareRead ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING, 0,
                              nullptr))
    {
    }
    ~HeldOpen()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    bool Holds() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// What the file workers handed to the UI thread, taken now.
void TakeJobMail()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

// Makes the box's job look as if it still ran, for as long as it lives.

class JobStillRunning
{
public:
    explicit JobStillRunning(const BoxWindowPtr& box)
    {
        FileJobMailbox::Open();
        s_copyProgress.busy = true;
        s_copyProgress.workerRunning = true;
        s_copyProgress.targetWindow = box;
    }
    ~JobStillRunning()
    {
        s_copyProgress.workerRunning = false;
        s_copyProgress.busy = false;
        s_copyProgress.targetWindow.reset();
    }
    JobStillRunning(const JobStillRunning&) = delete;
    JobStillRunning& operator=(const JobStillRunning&) = delete;
};

bool SameRecord(const UndoRecord& a, const UndoRecord& b)
{
    return RecordKey(a) == RecordKey(b) && a.tempPath == b.tempPath;
}

// The records the step pushed: the end of the list after it that the list
// before it does not end with.
size_t PushedCount(const std::vector<UndoRecord>& before, const std::vector<UndoRecord>& after)
{
    for (size_t pushed = 0; pushed < after.size(); ++pushed) {
        const size_t kept = after.size() - pushed;
        if (kept > before.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < kept && same; ++i)
            same = SameRecord(after[i], before[before.size() - kept + i]);
        if (same)
            return pushed;
    }
    return after.size();
}

class UndoSequenceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedContainerDir = s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L"");
        s_appStore[L"TessikRef"][L"containerDir"] = temp.File(L"data");
        TempFolder::WriteBytes(temp.File(L"DesktopContainer.kelm"), "");
        s_desktopContainerStore.Load(temp.File(L"DesktopContainer.kelm"));
        const char* dataHome = std::getenv("XDG_DATA_HOME");
        if (dataHome) {
            trash = L"Z:" + Utf8ToWide(dataHome) + L"/Trash/files";
            for (wchar_t& c : trash)
                c = c == L'/' ? L'\\' : c;
            trashInfo = trash.substr(0, trash.size() - 5) + L"info";
        }
        boxFolder = temp.File(L"box");
        sources = temp.File(L"sources");
        fs::create_directories(temp.File(L"outside\\sub\\deeper"));
        for (const wchar_t* name : kBystanders)
            TempFolder::WriteBytes(temp.File(name), "bystander");
        box = std::make_shared<KelmWindow>();
        BoxRuntime& runtime = s_boxRuntimes[box];
        runtime.id = L"5eeda";
        runtime.UseTargetFolder = true;
        runtime.TargetFolder = boxFolder;
        s_boxIconManagers[box].SetOwnBox(box);
        // A second box whose files are dragged into the first.
        otherFolder = sources + L"\\box2";
        other = std::make_shared<KelmWindow>();
        BoxRuntime& otherRuntime = s_boxRuntimes[other];
        otherRuntime.id = L"5eedb";
        otherRuntime.UseTargetFolder = true;
        otherRuntime.TargetFolder = otherFolder;
        s_boxIconManagers[other].SetOwnBox(other);
        // Wine's shell asks before it recycles a folder, from whichever
        // thread recycles: the user's "yes" comes from here.
        answerer = std::thread([this] {
            while (!stopAnswering) {
                AnswerShellQuestions(shellAnswer);
                Sleep(2);
            }
        });
        // A job another suite left to a window that is gone holds nothing.
        ASSERT_FALSE(s_copyProgress.workerRunning);
        s_copyProgress.busy = false;
        s_sameNameQuestion = [this](HWND) { return sameNameAnswer; };
        s_deleteQuestion = [this](HWND, const DeleteQuestionTexts&) { return deleteAnswer; };
    }
    void TearDown() override
    {
        stopAnswering = true;
        if (answerer.joinable())
            answerer.join();
        s_boxIconManagers.erase(box);
        s_boxRuntimes.erase(box);
        s_boxIconManagers.erase(other);
        s_boxRuntimes.erase(other);
        s_sameNameQuestion = [](HWND) { return -1; };
        s_deleteQuestion = [](HWND, const DeleteQuestionTexts&) { return -1; };
        s_appStore[L"TessikRef"][L"containerDir"] = savedContainerDir;
    }

    BoxRuntime& Runtime() { return s_boxRuntimes.at(box); }
    KelmIconManager& View() { return s_boxIconManagers.at(box); }

    void Write(const std::wstring& path)
    {
        std::error_code ec;
        const auto size = fs::is_regular_file(path, ec) ? fs::file_size(path, ec) : 0;
        std::string bytes = "v" + std::to_string(++written) + ".";
        bytes.resize(std::max<size_t>(bytes.size(), static_cast<size_t>(size) + 1), '.');
        TempFolder::WriteBytes(path, bytes);
    }

    // Empties everything a sequence left behind and gives the box what it
    // held before the user began: a file and a folder with two files.
    void StartSequence()
    {
        for (const std::wstring& folder : {boxFolder, sources, temp.File(L"data"), trash, trashInfo})
            if (!folder.empty()) {
                RemoveItemWithoutFollowingLinks(folder);
                fs::create_directories(folder);
            }
        fs::create_directories(boxFolder + L"\\d");
        Write(boxFolder + L"\\a.txt");
        Write(boxFolder + L"\\d\\x.txt");
        Write(boxFolder + L"\\d\\z.txt");
        Runtime().undoList.clear();
        Runtime().redoList.clear();
        View().RemoveAllRecords();
        SyncBoxFolder(View(), boxFolder, true);
        had.clear();
        exempt.clear();
        created.clear();
        sourceFiles.clear();
        sourceCount = 0;
        fs::create_directories(otherFolder + L"\\d");
        Write(otherFolder + L"\\b.txt");
        Write(otherFolder + L"\\d\\x.txt");
        s_boxIconManagers.at(other).RemoveAllRecords();
        SyncBoxFolder(s_boxIconManagers.at(other), otherFolder, true);
        for (const std::wstring& file : FilesUnder(otherFolder))
            sourceFiles.insert(file);
    }

    // A source folder "d" of count files dropped (moved) into the box's own
    // "d", its files merged in.
    void DropMergedFolder(int count)
    {
        fs::create_directories(sources + L"\\1\\d");
        for (int i = 0; i < count; ++i)
            Write(sources + L"\\1\\d\\f" + std::to_wstring(i) + L".txt");
        sameNameAnswer = 1;
        Drop(sources + L"\\1\\d", DROPEFFECT_MOVE);
    }

    // A new file or folder to bring in, under a name the box may hold too.
    std::wstring NewSource(std::mt19937& random)
    {
        static const wchar_t* const names[] = {L"a.txt", L"b.txt", L"d"};
        const std::wstring name = names[random() % 3];
        const std::wstring folder = sources + L"\\" + std::to_wstring(++sourceCount);
        fs::create_directories(folder);
        const std::wstring path = folder + L"\\" + name;
        if (name == L"d") {
            fs::create_directories(path);
            Write(path + (random() % 2 ? L"\\x.txt" : L"\\y.txt"));
            if (random() % 2)
                Write(path + L"\\w.txt");
        } else {
            Write(path);
        }
        for (const std::wstring& file : FilesUnder(folder))
            sourceFiles.insert(file);
        return path;
    }

    // The entries of the folder chosen for the boxes but its own ".data".
    std::vector<std::wstring> ItemsInView()
    {
        std::vector<std::wstring> items;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(temp.File(L"data"), ec))
            if (entry.path().filename() != L".data")
                items.push_back(entry.path().wstring());
        return items;
    }

    std::vector<std::wstring> BoxItems()
    {
        std::vector<std::wstring> items;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(boxFolder, ec))
            items.push_back(entry.path().wstring());
        return items;
    }

    std::vector<std::wstring> FilesUnder(const std::wstring& folder)
    {
        std::vector<std::wstring> files;
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(folder, ec))
            if (entry.is_regular_file(ec))
                files.push_back(entry.path().wstring());
        return files;
    }

    const IconRecord* RecordOf(const std::wstring& path)
    {
        for (const IconRecord& record : View().Records())
            if (record.path == path)
                return &record;
        return nullptr;
    }

    // A file job runs on its own thread; its completions are taken from
    // the thread's queue here, as the message loop would.
    void FinishJob()
    {
        const DWORD start = GetTickCount();
        // A drop's or a paste's entries are looked at on a thread before
        // its job starts.
        while ((DropBeingLookedAt() || PasteBeingLookedAt() ||
                (s_copyProgress.busy && s_copyProgress.targetWindow == box)) &&
               GetTickCount() - start < 20000) {
            TakeJobMail();
            if (s_copyProgress.workerRunning || DropBeingLookedAt() || PasteBeingLookedAt())
                Sleep(1);
        }
        TakeJobMail();
        ASSERT_FALSE(s_copyProgress.busy) << "the file job did not end";
    }

    // A paste of a new a.txt answered "直接覆盖"; the version it replaced.
    std::string OverwriteA()
    {
        const std::string old = VersionOfFile(boxFolder + L"\\a.txt");
        const std::wstring source = sources + L"\\" + std::to_wstring(++sourceCount) + L"\\a.txt";
        fs::create_directories(fs::path(source).parent_path());
        Write(source);
        sameNameAnswer = 1;
        PasteFilesIntoBox(box, View(), {source});
        FinishJob();
        EXPECT_NE(VersionOfFile(boxFolder + L"\\a.txt"), old);
        return old;
    }

    void Drop(const std::wstring& path, DWORD effect)
    {
        DroppedFiles drop;
        drop.paths = {path};
        drop.effect = effect;
        ImportDroppedFiles(box, drop);
        FinishJob();
    }

    // Drops many small files that move into the box and, once the first
    // have landed as records, runs change: what another program does to
    // the box's folder. The dropped paths.
    std::vector<std::wstring> DropManyAndChangeFolderPartWay(const std::function<void()>& change)
    {
        return BringManyAndChangeFolderPartWay(false, change);
    }

    // The same with the files pasted (copied) instead of dropped.
    std::vector<std::wstring> BringManyAndChangeFolderPartWay(bool paste, const std::function<void()>& change)
    {
        fs::create_directories(sources + L"\\many");
        std::vector<std::wstring> paths;
        for (int i = 0; i < 300; ++i) {
            paths.push_back(sources + L"\\many\\f" + std::to_wstring(i) + L".txt");
            Write(paths.back());
        }
        const size_t records = View().Records().size();
        if (paste) {
            PasteFilesIntoBox(box, View(), paths);
        } else {
            DroppedFiles drop;
            drop.paths = paths;
            drop.effect = DROPEFFECT_MOVE;
            ImportDroppedFiles(box, drop);
        }
        bool changed = false;
        const DWORD start = GetTickCount();
        while ((DropBeingLookedAt() || PasteBeingLookedAt() || s_copyProgress.busy) && GetTickCount() - start < 60000) {
            TakeJobMail();
            if (!changed && View().Records().size() > records) {
                change();
                changed = true;
            }
            Sleep(1);
        }
        TakeJobMail();
        EXPECT_TRUE(changed) << "no file landed";
        EXPECT_FALSE(s_copyProgress.busy) << "the file job did not end";
        return paths;
    }

    // The copies of records that left go on a worker; its end is posted to
    // a box's window, whose timer is run here.
    void SettleLeavingRecords()
    {
        const DWORD start = GetTickCount();
        while (RecordsLeaving() && GetTickCount() - start < 20000) {
            box->animationManager.Update();
            other->animationManager.Update();
            Sleep(1);
        }
        ASSERT_FALSE(RecordsLeaving()) << "the kept copies of leaving records did not go";
    }

    // Every version the user had is still reachable, but for the exempt.
    void Check(const std::string& what)
    {
        SettleLeavingRecords();
        CollectVersions(boxFolder, had);
        CollectVersions(sources, had);
        Versions reachable;
        CollectVersions(boxFolder, reachable);
        CollectVersions(sources, reachable);
        if (!trash.empty())
            CollectVersions(trash, reachable);
        // What came back into view in the folder chosen for the boxes.
        for (const std::wstring& item : ItemsInView())
            CollectVersions(item, reachable);
        for (const auto* list : {&Runtime().undoList, &Runtime().redoList})
            for (const UndoRecord& record : *list)
                for (const std::wstring& kept : {record.tempPath, record.replacedCopy})
                    if (!kept.empty())
                        CollectVersions(kept, reachable);
        for (const std::string& version : had)
            if (!reachable.count(version) && !exempt.count(version)) {
                ADD_FAILURE() << "version " << version << " is nowhere the user can reach after " << what;
                lost = true;
            }
        // An undo gives a source back only what it had.
        for (const std::wstring& file : FilesUnder(sources))
            if (sourceFiles.insert(file).second && undid) {
                ADD_FAILURE() << "the source gained " << WideToUtf8(file) << " after " << what;
                lost = true;
            }
        for (const wchar_t* name : kBystanders)
            if (TempFolder::ReadBytes(temp.File(name)) != "bystander") {
                ADD_FAILURE() << "a file outside the box changed after " << what;
                lost = true;
            }
    }

    void Step(std::mt19937& random, std::string& log)
    {
        // The box's folder is read again as the 2600 ms sync would.
        SyncBoxFolder(View(), boxFolder, true);
        const std::vector<UndoRecord> before = Runtime().undoList;
        std::map<std::wstring, Versions> boxBefore;
        for (const std::wstring& item : BoxItems())
            boxBefore[item] = VersionsIn(item);
        const std::vector<std::wstring> items = BoxItems();
        auto anyItem = [&]() -> std::wstring { return items.empty() ? L"" : items[random() % items.size()]; };
        sameNameAnswer = static_cast<int>(random() % 2);
        const unsigned op = random() % 100;
        bool pushes = true;
        undid = false;
        if (op < 6) {
            log += "new ";
            CreateNewFileInBox(box, &View(), POINT{0, 0}, L"新建 文本文档", L".txt", false);
        } else if (op < 26) {
            const bool move = op < 18;
            log += std::string(move ? "drop-move" : "drop-copy") + (sameNameAnswer ? "-overwrite" : "");
            std::error_code ec;
            std::vector<std::wstring> fromOther;
            for (const auto& entry : fs::directory_iterator(otherFolder, ec))
                fromOther.push_back(entry.path().wstring());
            std::wstring source;
            if (random() % 4 == 0 && !fromOther.empty()) {
                // Dragged out of the other box.
                log += "-from-box2";
                source = fromOther[random() % fromOther.size()];
            } else {
                source = NewSource(random);
            }
            const std::vector<std::wstring> files = FilesUnder(source.substr(0, source.find_last_of(L'\\')));
            std::unique_ptr<HeldOpen> held;
            if (random() % 3 == 0 && !files.empty()) {
                // Another program holds one of the files: the move or merge
                // stops half way.
                const bool shareRead = random() % 2 != 0;
                log += shareRead ? "-held" : "-locked";
                held = std::make_unique<HeldOpen>(files[random() % files.size()], shareRead);
            }
            log += " ";
            Drop(source, move ? DROPEFFECT_MOVE : DROPEFFECT_COPY);
        } else if (op < 38) {
            log += sameNameAnswer ? "paste-overwrite " : "paste ";
            PasteFilesIntoBox(box, View(), {NewSource(random)});
            FinishJob();
        } else if (op < 48) {
            deleteAnswer = op < 44 ? 0 : 1;
            const std::wstring item = anyItem();
            log += deleteAnswer ? "delete-for-good " : "delete-to-bin ";
            if (item.empty() || !RecordOf(item))
                return;
            if (deleteAnswer == 1)
                CollectVersions(item, exempt);
            DeleteIcon(box, item, box, kDeleteKeyQuestion);
            FinishJob();
        } else if (op < 56) {
            log += "rename ";
            static const wchar_t* const names[] = {L"a.txt", L"b.txt", L"c.txt", L"e"};
            const std::wstring item = anyItem();
            if (const IconRecord* record = item.empty() ? nullptr : RecordOf(item)) {
                const IconRecord copy = *record;
                RenameIconFile(box, copy, box, names[random() % 4]);
            }
        } else if (op < 61) {
            log += "alias ";
            const std::wstring item = anyItem();
            if (const IconRecord* record = item.empty() ? nullptr : RecordOf(item)) {
                const IconRecord copy = *record;
                SetIconAlias(box, copy, box, L"别名" + std::to_wstring(random() % 10));
            }
        } else if (op < 76) {
            log += "edit ";
            pushes = false;
            std::vector<std::wstring> files = FilesUnder(boxFolder);
            const std::vector<std::wstring> sourceFiles = FilesUnder(sources);
            files.insert(files.end(), sourceFiles.begin(), sourceFiles.end());
            if (!files.empty()) {
                // The user writes over their own version, in place or, as
                // many programs save, as a new file put in its place.
                const std::wstring file = files[random() % files.size()];
                CollectVersions(file, exempt);
                if (random() % 2) {
                    log += "(new file) ";
                    Write(file + L".new");
                    DeleteFileW(file.c_str());
                    MoveFileW((file + L".new").c_str(), file.c_str());
                } else {
                    Write(file);
                }
            }
        } else if (op < 90) {
            log += "undo ";
            pushes = false;
            if (Runtime().undoList.empty())
                return;
            const UndoRecord top = Runtime().undoList.back();
            if (random() % 4 == 0) {
                // Asked while a job still runs: nothing moves.
                log += "(while a job runs) ";
                const size_t waiting = Runtime().undoList.size();
                const std::vector<std::wstring> held = BoxItems();
                {
                    JobStillRunning job(box);
                    UndoAndWait(box, nullptr);
                }
                if (Runtime().undoList.size() != waiting || BoxItems() != held) {
                    ADD_FAILURE() << "an undo ran while a job ran";
                    lost = true;
                }
                return;
            }
            UndoAndWait(box, nullptr);
            undid = true;
            const auto& redo = Runtime().redoList;
            const bool movedIn = !top.extra.empty() && top.extra != L"bvn!NULL";
            if (top.kind == 0 && !movedIn && !redo.empty() && RecordKey(redo.back()) == RecordKey(top)) {
                // A new item taken back as it was made may go; what it
                // held that it did not bring may not.
                const Versions away = VersionsIn(redo.back().tempPath);
                for (const std::string& version : created[RecordKey(top)])
                    if (away.count(version))
                        exempt.insert(version);
            }
        } else {
            log += "redo ";
            pushes = false;
            RedoAndWait(box, nullptr);
        }
        if (!pushes)
            return;
        const auto& after = Runtime().undoList;
        const size_t pushed = PushedCount(before, after);
        for (size_t i = after.size() - pushed; i < after.size(); ++i) {
            const UndoRecord& record = after[i];
            if (record.kind != 0)
                continue;
            Versions brought = VersionsIn(record.path);
            if (auto old = boxBefore.find(record.path); old != boxBefore.end())
                for (const std::string& version : old->second)
                    brought.erase(version);
            created[RecordKey(record)] = brought;
        }
    }

    TempFolder temp;
    std::wstring savedContainerDir;
    std::wstring trash, trashInfo, boxFolder, sources, otherFolder;
    BoxWindowPtr box, other;
    int sameNameAnswer = 0;
    int deleteAnswer = 0;
    int written = 0;
    int sourceCount = 0;
    Versions had, exempt;
    std::set<std::wstring> sourceFiles;
    bool undid = false;
    std::map<std::wstring, Versions> created;
    bool lost = false;
    std::thread answerer;
    std::atomic<bool> stopAnswering{false};
    // What the user answers the shell's questions.
    std::atomic<WPARAM> shellAnswer{IDYES};
};

} // namespace

TEST_F(UndoSequenceTest, NoVersionOfAUsersFileIsEverOutOfReach)
{
    ASSERT_FALSE(trash.empty()) << "run through ctest, which gives the test a Recycle Bin of its own";
    constexpr int kSequences = 120;
    int steps = 0;
    for (int seed = 1; seed <= kSequences && !lost; ++seed) {
        std::mt19937 random(static_cast<unsigned>(seed));
        StartSequence();
        std::string log;
        const int length = 4 + static_cast<int>(random() % 9);
        for (int i = 0; i < length && !lost; ++i, ++steps) {
            Step(random, log);
            Check("seed " + std::to_string(seed) + ": " + log);
        }
    }
    std::printf("[ sequences ] %d sequences, %d steps\n", kSequences, steps);
}

// A destination that appeared after the drop was planned (an undo put the
// user's file back while the copy or move ran) is not the job's to replace.
TEST_F(UndoSequenceTest, AJobNeverWritesOverWhatAppearedAtItsDestinationSinceItWasPlanned)
{
    StartSequence();
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        const std::wstring name = move ? L"moved" : L"copied";
        Write(sources + L"\\" + name + L".txt");
        const std::string theirs = VersionOfFile(sources + L"\\" + name + L".txt");
        Write(boxFolder + L"\\" + name + L".txt");
        const std::string mine = VersionOfFile(boxFolder + L"\\" + name + L".txt");
        CopyJob job;
        job.box = box;
        CopyJobItem item;
        item.source = item.originalPath = sources + L"\\" + name + L".txt";
        item.destination = boxFolder + L"\\" + name + L".txt";
        item.owner = box;
        item.move = move;
        job.items.push_back(item);
        const int told = TimesUserNotified(L"drop-failed");
        {
            JobStillRunning running(box);
            CopyFilesWorker(job);
            TakeJobMail();
        }
        EXPECT_EQ(VersionOfFile(boxFolder + L"\\" + name + L".txt"), mine);
        EXPECT_EQ(VersionOfFile(boxFolder + L"\\" + name + L" (1).txt"), theirs);
        EXPECT_EQ(fs::exists(sources + L"\\" + name + L".txt"), !move);
        EXPECT_EQ(TimesUserNotified(L"drop-failed"), told + 1);
    }
}

TEST_F(UndoSequenceTest, UndoRedoRenameNewAndPasteWaitWhileAJobRuns)
{
    StartSequence();
    const IconRecord a = *RecordOf(boxFolder + L"\\a.txt");
    ASSERT_TRUE(RenameIconFile(box, a, box, L"mine.txt"));
    Write(sources + L"\\p.txt");
    const int told = TimesUserNotified(L"job-busy");
    std::wstring made;
    bool renamed = false;
    {
        JobStillRunning running(box);
        UndoAndWait(box, nullptr);
        renamed = RenameIconFile(box, *RecordOf(boxFolder + L"\\mine.txt"), box, L"other.txt");
        made = CreateNewFileInBox(box, &View(), POINT{0, 0}, L"新建 文本文档", L".txt", false);
        PasteFilesIntoBox(box, View(), {sources + L"\\p.txt"});
        SetIconAlias(box, *RecordOf(boxFolder + L"\\mine.txt"), box, L"别名");
    }
    EXPECT_TRUE(fs::exists(boxFolder + L"\\mine.txt")) << "the rename was not undone";
    EXPECT_FALSE(renamed);
    EXPECT_TRUE(made.empty());
    EXPECT_FALSE(fs::exists(boxFolder + L"\\p.txt"));
    EXPECT_EQ(Runtime().undoList.size(), 1u);
    EXPECT_EQ(RecordOf(boxFolder + L"\\mine.txt")->alias, a.alias) << "no alias while a job runs";
    EXPECT_EQ(TimesUserNotified(L"job-busy"), told + 5) << "each refusal is told";
}

// A drop's entries are looked at off the UI thread; the box's folder may
// change meanwhile. The drop stays pending, then takes nothing and says so.
TEST_F(UndoSequenceTest, ADropWhoseBoxFolderChangesWhileItIsLookedAtTakesNothing)
{
    StartSequence();
    fs::create_directories(sources + L"\\1");
    Write(sources + L"\\1\\x.txt");
    const size_t records = View().Records().size();
    const std::wstring elsewhere = sources + L"\\elsewhere";
    fs::create_directories(elsewhere);
    DroppedFiles drop;
    drop.paths = {sources + L"\\1\\x.txt"};
    drop.effect = DROPEFFECT_MOVE;
    ImportDroppedFiles(box, drop);
    EXPECT_TRUE(DropBeingLookedAt()) << "the drop is still pending";
    Runtime().TargetFolder = elsewhere;
    FinishJob();
    Runtime().TargetFolder = boxFolder;
    EXPECT_FALSE(DropBeingLookedAt());
    EXPECT_TRUE(fs::exists(sources + L"\\1\\x.txt"));
    EXPECT_FALSE(fs::exists(boxFolder + L"\\x.txt"));
    EXPECT_FALSE(fs::exists(elsewhere + L"\\x.txt"));
    EXPECT_EQ(View().Records().size(), records);
    EXPECT_EQ(TimesUserNotified(L"drop-folder-changed:" + elsewhere), 1);
}

// Another program renames the box's folder away while a drop moves files
// into it, and at once makes a new one under its name, or not. The job
// stops: nothing goes into a folder that only has the name, what was not
// moved stays at its source, and the user hears once that the folder went
// and where what was put in is now.
TEST_F(UndoSequenceTest, ADropWhoseBoxFolderGoesPartWayStopsAndSaysWhereItsFilesAre)
{
    for (const bool madeAgain : {false, true}) {
        SCOPED_TRACE(madeAgain ? "a new folder of the same name" : "renamed away");
        StartSequence();
        const std::wstring away = temp.File(madeAgain ? L"away2" : L"away1");
        const int failedTold = TimesUserNotified(L"drop-failed");
        const int told = TimesUserNotified(L"drop-folder-gone:" + boxFolder);
        const std::vector<std::wstring> dropped = DropManyAndChangeFolderPartWay([&] {
            EXPECT_TRUE(MoveFileExW(boxFolder.c_str(), away.c_str(), 0));
            if (madeAgain)
                fs::create_directories(boxFolder);
        });
        const auto [moved, stayed] = TempFolder::WhereAre(dropped, away);
        EXPECT_EQ(moved + stayed, dropped.size()) << "every file is at its source or in the folder that went";
        EXPECT_GT(stayed, 0u) << "the job stopped part way";
        if (madeAgain) {
            EXPECT_TRUE(BoxItems().empty()) << "nothing went into the new folder";
        } else {
            EXPECT_FALSE(fs::exists(boxFolder));
        }
        const size_t records = std::count_if(View().Records().begin(), View().Records().end(), [](const IconRecord& r) {
            return r.originalPath.find(L"\\many\\") != std::wstring::npos;
        });
        EXPECT_EQ(records, moved) << "a record for each item put in, none for those back at their source";
        EXPECT_EQ(TimesUserNotified(L"drop-failed"), failedTold) << "no item is blamed";
        EXPECT_EQ(TimesUserNotified(L"drop-folder-gone:" + boxFolder), told + 1);
        const std::wstring text = LastNoticeText(L"drop-folder-gone:" + boxFolder);
        EXPECT_NE(text.find(L"尚未放入的 " + std::to_wstring(stayed) + L" 项"), std::wstring::npos) << WideToUtf8(text);
        EXPECT_NE(text.find(L"已放入的 " + std::to_wstring(moved) + L" 项"), std::wstring::npos) << WideToUtf8(text);
        // Where the system names the folder's new place (Wine does not).
        if (text.find(away) == std::wstring::npos) {
            EXPECT_NE(text.find(L"无法确定"), std::wstring::npos) << WideToUtf8(text);
        }
        if (madeAgain)
            RemoveItemWithoutFollowingLinks(boxFolder);
        EXPECT_TRUE(MoveFileExW(away.c_str(), boxFolder.c_str(), 0));
    }
}

// A paste whose box folder is renamed away part way stops there and says
// so once, blaming no item; every source is still where it was.
TEST_F(UndoSequenceTest, APasteWhoseBoxFolderGoesPartWayStopsAndSaysSo)
{
    StartSequence();
    const std::wstring away = temp.File(L"away3");
    const int failedTold = TimesUserNotified(L"paste-failed");
    const int told = TimesUserNotified(L"paste-folder-gone:" + boxFolder);
    const std::vector<std::wstring> pasted =
        BringManyAndChangeFolderPartWay(true, [&] { EXPECT_TRUE(MoveFileExW(boxFolder.c_str(), away.c_str(), 0)); });
    const TempFolder::Whereabouts found = TempFolder::WhereAre(pasted, away);
    EXPECT_EQ(found.atSource, pasted.size()) << "a paste copies";
    const size_t notCopied = pasted.size() - found.inFolder;
    EXPECT_GT(notCopied, 0u) << "the job stopped part way";
    EXPECT_EQ(TimesUserNotified(L"paste-failed"), failedTold) << WideToUtf8(LastNoticeText(L"paste-failed"));
    ASSERT_EQ(TimesUserNotified(L"paste-folder-gone:" + boxFolder), told + 1);
    const std::wstring text = LastNoticeText(L"paste-folder-gone:" + boxFolder);
    EXPECT_NE(text.find(L"尚未放入的 " + std::to_wstring(notCopied) + L" 项"), std::wstring::npos) << WideToUtf8(text);
    EXPECT_TRUE(MoveFileExW(away.c_str(), boxFolder.c_str(), 0));
}

// A folder merged into the box's own of the same name while one of its
// files is held open: part stays at the source. Undo gives the source back
// what left it, and the box keeps what it held.
TEST_F(UndoSequenceTest, UndoOfAMoveThatLeftSomethingBehindGivesBackOnlyWhatItTook)
{
    StartSequence();
    fs::create_directories(boxFolder + L"\\Photos");
    Write(boxFolder + L"\\Photos\\old_1.jpg");
    const std::string old = VersionOfFile(boxFolder + L"\\Photos\\old_1.jpg");
    fs::create_directories(sources + L"\\1\\Photos");
    for (const wchar_t* name : {L"a.jpg", L"b.jpg", L"locked.jpg"})
        Write(sources + L"\\1\\Photos\\" + name);
    const Versions dropped = VersionsIn(sources + L"\\1\\Photos");
    sameNameAnswer = 1;
    {
        HeldOpen held(sources + L"\\1\\Photos\\locked.jpg", true);
        ASSERT_TRUE(held.Holds());
        Drop(sources + L"\\1\\Photos", DROPEFFECT_MOVE);
    }
    ASSERT_TRUE(fs::exists(boxFolder + L"\\Photos\\a.jpg"));
    ASSERT_TRUE(fs::exists(sources + L"\\1\\Photos\\locked.jpg"));
    UndoAndWait(box, nullptr);
    EXPECT_EQ(VersionsIn(sources + L"\\1\\Photos"), dropped) << "the source has its files back";
    EXPECT_EQ(VersionOfFile(boxFolder + L"\\Photos\\old_1.jpg"), old) << "the box keeps its own";
    EXPECT_FALSE(fs::exists(boxFolder + L"\\Photos\\a.jpg"));
    EXPECT_FALSE(fs::exists(boxFolder + L"\\Photos\\b.jpg"));
}

// A file another program holds open without sharing cannot be copied for
// undo: it stays, and the user hears that reason, not one about links.
TEST_F(UndoSequenceTest, AFileThatCannotBeKeptForUndoStaysAndTheReasonIsTold)
{
    StartSequence();
    const std::wstring file = boxFolder + L"\\a.txt";
    deleteAnswer = 0;
    {
        HeldOpen held(file, false);
        ASSERT_TRUE(held.Holds());
        DeleteIcon(box, file, box, kDeleteKeyQuestion);
        FinishJob();
    }
    EXPECT_TRUE(fs::exists(file));
    const std::wstring text = LastNoticeText(L"delete-failed:" + file);
    EXPECT_EQ(text.find(L"链接"), std::wstring::npos) << "told of links: " << WideToUtf8(text);
    EXPECT_NE(text.find(TransferErrorText(ERROR_SHARING_VIOLATION)), std::wstring::npos)
        << "not told why: " << WideToUtf8(text);
}

// "直接覆盖" of a folder whose seventh file cannot be read: the rest of the
// folder goes, the user hears which file failed, and undo gives the box
// back every file the merge replaced and the source what it took.
TEST_F(UndoSequenceTest, AMergeThatFailsHalfWayGivesBackWhatItReplaced)
{
    StartSequence();
    fs::create_directories(boxFolder + L"\\Photos");
    fs::create_directories(sources + L"\\1\\Photos");
    std::map<std::wstring, std::string> own;
    for (int i = 1; i <= 12; ++i) {
        const std::wstring name = L"\\Photos\\p" + std::to_wstring(i) + L".jpg";
        Write(boxFolder + name);
        own[name] = VersionOfFile(boxFolder + name);
        Write(sources + L"\\1" + name);
    }
    const Versions dropped = VersionsIn(sources + L"\\1\\Photos");
    sameNameAnswer = 1;
    const int told = TimesUserNotified(L"drop-failed");
    {
        HeldOpen held(sources + L"\\1\\Photos\\p7.jpg", false);
        ASSERT_TRUE(held.Holds());
        Drop(sources + L"\\1\\Photos", DROPEFFECT_MOVE);
    }
    EXPECT_EQ(TimesUserNotified(L"drop-failed"), told + 1);
    UndoAndWait(box, nullptr);
    for (const auto& [name, version] : own)
        EXPECT_EQ(VersionOfFile(boxFolder + name), version) << WideToUtf8(name);
    EXPECT_EQ(VersionsIn(sources + L"\\1\\Photos"), dropped);
}

// The dropped file was saved by an editor (a new file written and renamed
// over it, the old one kept aside): undo leaves that one where it is, says
// it was changed or replaced, and lets its record go so that the older
// record is reached by the next undo.
TEST_F(UndoSequenceTest, UndoMovesBackOnlyTheItemItsDropBroughtAndReachesOlderRecords)
{
    StartSequence();
    fs::create_directories(sources + L"\\1");
    Write(sources + L"\\1\\older.txt");
    Drop(sources + L"\\1\\older.txt", DROPEFFECT_MOVE);
    Write(sources + L"\\1\\plan.txt");
    Drop(sources + L"\\1\\plan.txt", DROPEFFECT_MOVE);
    const std::wstring dropped = boxFolder + L"\\plan.txt";
    ASSERT_TRUE(fs::exists(dropped));
    Write(dropped + L".new");
    ASSERT_TRUE(MoveFileW(dropped.c_str(), temp.File(L"plan.txt.old").c_str()));
    ASSERT_TRUE(MoveFileW((dropped + L".new").c_str(), dropped.c_str()));
    const std::string saved = VersionOfFile(dropped);
    const int told = TimesUserNotified(L"undo-other-item");
    UndoAndWait(box, nullptr);
    EXPECT_EQ(VersionOfFile(dropped), saved);
    EXPECT_FALSE(fs::exists(sources + L"\\1\\plan.txt"));
    EXPECT_EQ(TimesUserNotified(L"undo-other-item"), told + 1);
    EXPECT_NE(LastNoticeText(L"undo-other-item").find(L"修改或替换"), std::wstring::npos);
    ASSERT_EQ(Runtime().undoList.size(), 1u) << "the refused record went";
    EXPECT_TRUE(Runtime().redoList.empty());
    UndoAndWait(box, nullptr);
    EXPECT_TRUE(fs::exists(sources + L"\\1\\older.txt")) << "the older record is reached";
    EXPECT_EQ(Runtime().redoList.size(), 1u);
}

// The folder a dropped file came from is gone: undo leaves the file in the
// box, keeps the record, and names the missing folder as the reason.
TEST_F(UndoSequenceTest, AnUndoWhoseFolderIsGoneNamesTheFolder)
{
    StartSequence();
    const std::wstring origin = sources + L"\\gone";
    fs::create_directories(origin);
    Write(origin + L"\\left.txt");
    Drop(origin + L"\\left.txt", DROPEFFECT_MOVE);
    ASSERT_TRUE(fs::exists(boxFolder + L"\\left.txt"));
    fs::remove_all(origin);
    const int told = TimesUserNotified(L"undo-move");
    UndoAndWait(box, nullptr);
    EXPECT_TRUE(fs::exists(boxFolder + L"\\left.txt"));
    EXPECT_EQ(Runtime().undoList.size(), 1u);
    ASSERT_EQ(TimesUserNotified(L"undo-move"), told + 1);
    const std::wstring text = LastNoticeText(L"undo-move");
    EXPECT_NE(text.find(L"“" + origin + L"”已不存在"), std::wstring::npos);
    EXPECT_EQ(text.find(L"同名项目"), std::wstring::npos);
}

// A file brought from a folder of the box root that no box shows (its box
// was deleted, its folder left): undo does not put it back where nothing
// leads to it; the record waits and the user hears why.
TEST_F(UndoSequenceTest, UndoNeverPutsAFileWhereNoBoxShowsIt)
{
    StartSequence();
    const std::wstring unshown = temp.File(L"data") + L"\\n1111";
    fs::create_directories(unshown);
    Write(unshown + L"\\f.txt");
    Drop(unshown + L"\\f.txt", DROPEFFECT_MOVE);
    ASSERT_TRUE(fs::exists(boxFolder + L"\\f.txt"));
    const int told = TimesUserNotified(L"undo-move");
    UndoAndWait(box, nullptr);
    EXPECT_TRUE(fs::exists(boxFolder + L"\\f.txt"));
    EXPECT_FALSE(fs::exists(unshown + L"\\f.txt"));
    EXPECT_EQ(Runtime().undoList.size(), 1u) << "the record waits";
    ASSERT_EQ(TimesUserNotified(L"undo-move"), told + 1);
    EXPECT_NE(LastNoticeText(L"undo-move").find(unshown), std::wstring::npos);
}

// A folder dropped items came from is swapped for a link to another
// folder: undo of a merged folder or a file leaves it in the box and keeps
// the record, and redo takes nothing through the link; each is told.
TEST_F(UndoSequenceTest, UndoAndRedoNeverReachThroughALinkOnTheWayHome)
{
    StartSequence();
    const std::wstring elsewhere = sources + L"\\elsewhere";
    fs::create_directories(elsewhere);
    Write(elsewhere + L"\\doc.txt");
    auto origin = [&](int n) { return sources + L"\\src" + std::to_wstring(n); };
    // Another program sets the folder aside and puts the link in its place.
    auto swap = [&](int n) {
        return MoveFileW(origin(n).c_str(), (origin(n) + L".real").c_str()) && MakeDirectoryLink(origin(n), elsewhere);
    };
    auto told = [] { return TimesUserNotified(L"undo-move"); };
    const int before = told();
    fs::create_directories(origin(1) + L"\\d");
    fs::create_directories(origin(2));
    Write(origin(1) + L"\\d\\f.txt");
    Write(origin(2) + L"\\doc.txt");
    // Merged into the box's own "d".
    sameNameAnswer = 1;
    Drop(origin(1) + L"\\d", DROPEFFECT_MOVE);
    Drop(origin(2) + L"\\doc.txt", DROPEFFECT_MOVE);
    UndoAndWait(box, nullptr);
    ASSERT_TRUE(fs::exists(origin(2) + L"\\doc.txt"));
    if (!swap(1))
        GTEST_SKIP() << "this system makes no directory links";
    UndoAndWait(box, nullptr);
    EXPECT_TRUE(fs::exists(boxFolder + L"\\d\\f.txt"));
    EXPECT_FALSE(fs::exists(elsewhere + L"\\d"));
    EXPECT_EQ(Runtime().undoList.size(), 1u);
    EXPECT_EQ(told(), before + 1);

    ASSERT_TRUE(swap(2));
    RedoAndWait(box, nullptr);
    EXPECT_TRUE(fs::exists(elsewhere + L"\\doc.txt"));
    EXPECT_FALSE(fs::exists(boxFolder + L"\\doc.txt"));
    EXPECT_EQ(Runtime().redoList.size(), 1u);
    EXPECT_EQ(told(), before + 2);

    fs::create_directories(origin(3));
    Write(origin(3) + L"\\e.txt");
    Drop(origin(3) + L"\\e.txt", DROPEFFECT_MOVE);
    ASSERT_TRUE(swap(3));
    UndoAndWait(box, nullptr);
    EXPECT_TRUE(fs::exists(boxFolder + L"\\e.txt"));
    EXPECT_FALSE(fs::exists(elsewhere + L"\\e.txt"));
    EXPECT_EQ(Runtime().undoList.size(), 2u);
    ASSERT_EQ(told(), before + 3);
    EXPECT_NE(LastNoticeText(L"undo-move").find(L"“" + origin(3) + L"”现在是指向其他位置的链接"), std::wstring::npos);
}

// A folder dropped into the box, then a box made on it: undo would take
// that box's folder away, and so would a redo once a box stands on its
// source. Each is refused and told, and the record waits on its list.
TEST_F(UndoSequenceTest, UndoAndRedoNeverTakeABoxsFolder)
{
    StartSequence();
    fs::create_directories(sources + L"\\ud");
    Write(sources + L"\\ud\\f.txt");
    Drop(sources + L"\\ud", DROPEFFECT_MOVE);
    const std::wstring moved = boxFolder + L"\\ud";
    ASSERT_TRUE(fs::exists(moved + L"\\f.txt"));
    BoxRuntime& shown = s_boxRuntimes.at(other);
    const std::wstring shownBefore = shown.TargetFolder;
    shown.TargetFolder = moved;
    const int told = TimesUserNotified(L"undo-box-folder");
    UndoAndWait(box, nullptr);
    EXPECT_TRUE(fs::exists(moved + L"\\f.txt"));
    EXPECT_EQ(TimesUserNotified(L"undo-box-folder"), told + 1);
    EXPECT_EQ(Runtime().undoList.size(), 1u) << "the record waits";
    EXPECT_TRUE(Runtime().redoList.empty());

    shown.TargetFolder = shownBefore;
    UndoAndWait(box, nullptr);
    ASSERT_TRUE(fs::exists(sources + L"\\ud\\f.txt"));
    shown.TargetFolder = sources + L"\\ud";
    RedoAndWait(box, nullptr);
    EXPECT_TRUE(fs::exists(sources + L"\\ud\\f.txt"));
    EXPECT_EQ(TimesUserNotified(L"undo-box-folder"), told + 2);
    EXPECT_EQ(Runtime().redoList.size(), 1u);
    shown.TargetFolder = shownBefore;
}

// "直接覆盖" of a dropped file, then the copy kept of what it replaced is
// held by another program, then gone: undo moves nothing, tells which
// version could not go back and where it was last, and never counts the
// record as done.
TEST_F(UndoSequenceTest, AnUndoThatCannotPutBackWhatWasReplacedSaysSo)
{
    StartSequence();
    fs::create_directories(sources + L"\\1");
    Write(sources + L"\\1\\a.txt");
    const std::string dropped = VersionOfFile(sources + L"\\1\\a.txt");
    sameNameAnswer = 1;
    Drop(sources + L"\\1\\a.txt", DROPEFFECT_COPY);
    ASSERT_EQ(Runtime().undoList.size(), 1u);
    const std::wstring kept = Runtime().undoList.back().replacedCopy;
    ASSERT_TRUE(fs::exists(kept));
    const std::wstring a = boxFolder + L"\\a.txt";

    const int refused = TimesUserNotified(L"undo-move");
    {
        HeldOpen held(kept, false);
        ASSERT_TRUE(held.Holds());
        UndoAndWait(box, nullptr);
    }
    EXPECT_EQ(TimesUserNotified(L"undo-move"), refused + 1);
    EXPECT_EQ(VersionOfFile(a), dropped) << "the dropped file is back in its place";
    EXPECT_EQ(Runtime().undoList.size(), 1u);
    EXPECT_TRUE(Runtime().redoList.empty());

    ASSERT_TRUE(MoveFileW(kept.c_str(), temp.File(L"elsewhere.txt").c_str()));
    const int gone = TimesUserNotified(L"undo-copy-gone");
    UndoAndWait(box, nullptr);
    EXPECT_EQ(VersionOfFile(a), dropped);
    EXPECT_EQ(TimesUserNotified(L"undo-copy-gone"), gone + 1);
    EXPECT_NE(LastNoticeText(L"undo-copy-gone").find(kept), std::wstring::npos) << "where it was last";
    EXPECT_TRUE(Runtime().redoList.empty()) << "not counted as done";
}

// "直接覆盖" of a dropped file, undone, after which another program writes
// into the box's own file, back in its place: redo would set that work
// aside where only another undo finds it, so it leaves it and says so.
TEST_F(UndoSequenceTest, ARedoLeavesWhatWasWrittenIntoThePutBackFile)
{
    StartSequence();
    const std::wstring a = boxFolder + L"\\a.txt";
    for (const DWORD effect : {DWORD(DROPEFFECT_COPY), DWORD(DROPEFFECT_MOVE)}) {
        fs::create_directories(sources + L"\\1");
        Write(sources + L"\\1\\a.txt");
        sameNameAnswer = 1;
        Drop(sources + L"\\1\\a.txt", effect);
        UndoAndWait(box, nullptr);
        ASSERT_EQ(Runtime().redoList.size(), 1u);
        Write(a);
        const std::string edited = VersionOfFile(a);
        const int told = TimesUserNotified(L"redo-changed");
        RedoAndWait(box, nullptr);
        EXPECT_EQ(VersionOfFile(a), edited) << "the work written into the file was set aside";
        EXPECT_EQ(TimesUserNotified(L"redo-changed"), told + 1);
        EXPECT_EQ(Runtime().redoList.size(), 1u);
        Runtime().redoList.clear();
        Runtime().undoList.clear();
    }
}

// A folder merged into the box's own, one of whose files an editor saved
// since: undo gives the source back the rest, leaves that file in the box
// and names it.
TEST_F(UndoSequenceTest, UndoOfAMergedMoveLeavesAFileReplacedSince)
{
    StartSequence();
    fs::create_directories(sources + L"\\1\\d");
    Write(sources + L"\\1\\d\\x.txt");
    Write(sources + L"\\1\\d\\y.txt");
    const std::string x = VersionOfFile(sources + L"\\1\\d\\x.txt");
    sameNameAnswer = 1;
    Drop(sources + L"\\1\\d", DROPEFFECT_MOVE);
    const std::wstring y = boxFolder + L"\\d\\y.txt";
    ASSERT_TRUE(fs::exists(y));
    Write(y + L".new");
    ASSERT_TRUE(MoveFileW(y.c_str(), temp.File(L"y.txt.old").c_str()));
    ASSERT_TRUE(MoveFileW((y + L".new").c_str(), y.c_str()));
    const std::string saved = VersionOfFile(y);
    const int told = TimesUserNotified(L"undo-other-item");
    UndoAndWait(box, nullptr);
    EXPECT_EQ(VersionOfFile(sources + L"\\1\\d\\x.txt"), x);
    EXPECT_FALSE(fs::exists(sources + L"\\1\\d\\y.txt")) << "the saved file is not the one dropped";
    EXPECT_EQ(VersionOfFile(y), saved);
    EXPECT_EQ(TimesUserNotified(L"undo-other-item"), told + 1);
    EXPECT_NE(LastNoticeText(L"undo-other-item").find(L"y.txt"), std::wstring::npos);
    EXPECT_EQ(Runtime().redoList.size(), 1u);
}

// The worker of an undo waits at its first file until the test lets it go.
class HeldUndoStep
{
public:
    HeldUndoStep()
    {
        s_undoStepStarts = [started = started_, release = release_] {
            SetEvent(started);
            WaitForSingleObject(release, 30000);
        };
    }
    ~HeldUndoStep()
    {
        Release();
        PumpUntil([] { return !s_copyProgress.busy; }, 30000);
        s_undoStepStarts = nullptr;
        CloseHandle(started_);
        CloseHandle(release_);
    }
    bool Started() const { return WaitForSingleObject(started_, 30000) == WAIT_OBJECT_0; }
    void Release() { SetEvent(release_); }

private:
    HANDLE started_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

// Undo of a merged folder moves its files on a worker: Ctrl+Z returns while
// they move, the lists and the files stay as they were until the step ends,
// a second undo meanwhile is refused and told, and the box is held.
TEST_F(UndoSequenceTest, UndoOfAMergedFolderReturnsBeforeItsFilesMove)
{
    StartSequence();
    DropMergedFolder(30);
    ASSERT_TRUE(fs::exists(boxFolder + L"\\d\\f0.txt"));
    const size_t undos = Runtime().undoList.size();
    const int told = TimesUserNotified(L"job-busy");
    {
        HeldUndoStep held;
        UndoLastFileOperation(box, nullptr);
        ASSERT_TRUE(held.Started()) << "no worker took the step";
        EXPECT_EQ(Runtime().undoList.size(), undos);
        EXPECT_TRUE(Runtime().redoList.empty());
        EXPECT_TRUE(fs::exists(boxFolder + L"\\d\\f0.txt"));
        EXPECT_TRUE(BoxInUse::Held(Runtime().id));
        UndoLastFileOperation(box, nullptr);
        EXPECT_EQ(TimesUserNotified(L"job-busy"), told + 1);
    }
    EXPECT_FALSE(s_copyProgress.busy);
    for (int i = 0; i < 30; ++i) {
        EXPECT_TRUE(fs::exists(sources + L"\\1\\d\\f" + std::to_wstring(i) + L".txt")) << i;
        EXPECT_FALSE(fs::exists(boxFolder + L"\\d\\f" + std::to_wstring(i) + L".txt")) << i;
    }
    EXPECT_TRUE(fs::exists(boxFolder + L"\\d\\x.txt")) << "the box's own files stay";
    EXPECT_EQ(Runtime().undoList.size(), undos - 1);
    EXPECT_EQ(Runtime().redoList.size(), 1u);
    EXPECT_FALSE(BoxInUse::Held(Runtime().id));
}

// An undo of a merged folder keeps a journal while its files move: what a
// kill leaves of it makes the next start tell the user the folder is split,
// and a step that ended leaves nothing behind.
TEST_F(UndoSequenceTest, AMergedFolderCutOffHalfWayIsToldAtTheNextStart)
{
    StartSequence();
    const std::wstring data = temp.File(L"appdata");
    fs::create_directories(data);
    struct LiveDataFolder {
        std::wstring saved = s_dataFolder;
        ~LiveDataFolder() { s_dataFolder = saved; }
    } live;
    s_dataFolder = data;
    DropMergedFolder(3);
    ASSERT_TRUE(fs::exists(boxFolder + L"\\d\\f0.txt"));
    // The journals as they stand after the first file moved: what a kill
    // there would leave.
    std::vector<std::pair<std::wstring, std::string>> journals;
    s_mergedFileMoved = [&] {
        if (!journals.empty())
            return;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(data + L"\\parts", error)) {
            HANDLE h = CreateFileW(entry.path().wstring().c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                   nullptr);
            char bytes[4096];
            DWORD read = 0;
            if (h != INVALID_HANDLE_VALUE && ReadFile(h, bytes, sizeof bytes, &read, nullptr))
                journals.emplace_back(entry.path().filename().wstring(), std::string(bytes, read));
            if (h != INVALID_HANDLE_VALUE)
                CloseHandle(h);
        }
    };
    const bool landed = UndoAndWait(box);
    s_mergedFileMoved = nullptr;
    ASSERT_TRUE(landed);
    ASSERT_FALSE(fs::exists(boxFolder + L"\\d\\f0.txt"));
    ASSERT_EQ(journals.size(), 1u) << "no journal while the files moved";
    std::error_code error;
    EXPECT_TRUE(fs::is_empty(data + L"\\parts", error)) << "a step that ended leaves its journal";

    const std::wstring left = temp.File(L"left-by-a-kill");
    fs::create_directories(left);
    TempFolder::WriteBytes(left + L"\\" + journals.front().first, journals.front().second);
    const std::wstring text = PartFileJournal::SweepLeftovers(left);
    EXPECT_NE(text.find(L"“" + boxFolder + L"\\d”中的文件只有一部分移到了“" + sources + L"\\1\\d”"),
              std::wstring::npos)
        << text;
    EXPECT_EQ(PartFileJournal::SweepLeftovers(left), L"") << "told once";
}

// An undo of a merged folder stopped between two files (a quit) takes back
// what moved and says so, not that one file could not move.
TEST_F(UndoSequenceTest, AMergedUndoStoppedHalfWayTellsThatWhatMovedWentBack)
{
    StartSequence();
    DropMergedFolder(3);
    ASSERT_TRUE(fs::exists(boxFolder + L"\\d\\f0.txt"));
    s_mergedFileMoved = [] { FileWorkerTracker::GetInstance().CancelAndWait(std::chrono::milliseconds(0)); };
    const bool landed = UndoAndWait(box);
    s_mergedFileMoved = nullptr;
    ASSERT_TRUE(landed);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(fs::exists(boxFolder + L"\\d\\f" + std::to_wstring(i) + L".txt")) << i;
    const std::wstring text = LastNoticeText(L"undo-move");
    EXPECT_NE(text.find(L"已经移动的文件都已放回原处"), std::wstring::npos) << text;
}

// A folder deleted from the box whose kept copy is on another volume comes
// back on undo, as a copy and the removal of what was copied: no second
// copy stays, and its record comes back with it.
TEST_F(UndoSequenceTest, UndoBringsAFolderBackFromAnotherVolume)
{
    StartSequence();
    // Another volume, reached through a drive letter of its own: under Wine
    // the folder where the host mounts it counts as a link on the way.
    const std::wstring volume = FolderOnOtherVolume(boxFolder, L"undo");
    wchar_t prefix[1024] = {};
    std::wstring letter;
    const DWORD used = GetLogicalDrives();
    for (wchar_t c = L'X'; c > L'M' && letter.empty(); --c)
        if (!(used & (1u << (c - L'A'))))
            letter = std::wstring(1, c);
    if (volume.empty() || letter.empty() || !GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024))
        GTEST_SKIP() << "no second volume here";
    const std::string device = WideToUtf8(prefix) + "/dosdevices/" + static_cast<char>(std::tolower(letter[0])) + ":";
    host_files::RunOnHost(L"Z:\\bin\\ln", {"-sfn", host_files::UnixPath(volume), device});
    struct Unmapped {
        std::string device;
        std::wstring volume;
        ~Unmapped()
        {
            host_files::RunOnHost(L"Z:\\bin\\rm", {"-f", device});
            RemoveItemWithoutFollowingLinks(volume);
        }
    } unmapped{device, volume};
    const std::wstring elsewhere = letter + L":";
    ASSERT_TRUE(PumpUntil([&] { return PathExists(elsewhere + L"\\"); }, 15000));
    s_appStore[L"TessikRef"][L"containerDir"] = elsewhere + L"\\data";
    const std::wstring folder = boxFolder + L"\\d";
    const std::string x = VersionOfFile(folder + L"\\x.txt");
    SyncBoxFolder(View(), boxFolder, true);
    DeleteIcon(box, folder, box, kDeleteKeyQuestion);
    FinishJob();
    ASSERT_FALSE(fs::exists(folder));
    ASSERT_EQ(Runtime().undoList.size(), 1u);
    const std::wstring kept = Runtime().undoList.back().tempPath;
    ASSERT_EQ(kept.rfind(elsewhere, 0), 0u);
    ASSERT_FALSE(RecordOf(folder));
    const int told = TimesUserNotified(L"undo-move");
    ASSERT_TRUE(UndoAndWait(box));
    EXPECT_EQ(VersionOfFile(folder + L"\\x.txt"), x);
    EXPECT_FALSE(fs::exists(kept)) << "no second copy stays in the temporary folder";
    EXPECT_TRUE(RecordOf(folder));
    EXPECT_EQ(TimesUserNotified(L"undo-move"), told) << WideToUtf8(LastNoticeText(L"undo-move"));
    EXPECT_EQ(Runtime().redoList.size(), 1u);
}

// As above, but the saved file had replaced one of the box's own: that
// old version can no longer go back, and goes to the Recycle Bin (else into
// view) on the leaving records' worker, not while the undo holds the UI
// thread.
TEST_F(UndoSequenceTest, TheVersionAFileReplacedSinceHadReplacedLeavesOnTheWorker)
{
    StartSequence();
    fs::create_directories(boxFolder + L"\\d");
    Write(boxFolder + L"\\d\\y.txt");
    fs::create_directories(sources + L"\\1\\d");
    Write(sources + L"\\1\\d\\y.txt");
    // What an earlier test let go, posted to a box that is gone, is taken.
    FinishLeavingRecords();
    Check("the start");
    sameNameAnswer = 1;
    Drop(sources + L"\\1\\d", DROPEFFECT_MOVE);
    const std::wstring y = boxFolder + L"\\d\\y.txt";
    // The editor keeps the dropped version aside, out of the test's sight.
    exempt.insert(VersionOfFile(y));
    Write(y + L".new");
    ASSERT_TRUE(MoveFileW(y.c_str(), temp.File(L"y.txt.old").c_str()));
    ASSERT_TRUE(MoveFileW((y + L".new").c_str(), y.c_str()));
    UndoAndWait(box, nullptr);
    EXPECT_TRUE(RecordsLeaving()) << "the old version goes on the worker";
    EXPECT_NE(LastNoticeText(L"undo-other-item").find(L"回收站"), std::wstring::npos);
    Check("the undo");
    EXPECT_FALSE(lost);
}

// A dropped file another program holds open stays where it was, and the
// user hears which one and why.
TEST_F(UndoSequenceTest, AFileThatDidNotArriveIsToldByName)
{
    StartSequence();
    fs::create_directories(sources + L"\\1");
    Write(sources + L"\\1\\free.txt");
    Write(sources + L"\\1\\busy.txt");
    const int told = TimesUserNotified(L"drop-failed");
    {
        HeldOpen held(sources + L"\\1\\busy.txt", false);
        ASSERT_TRUE(held.Holds());
        DroppedFiles drop;
        drop.paths = {sources + L"\\1\\free.txt", sources + L"\\1\\busy.txt"};
        drop.effect = DROPEFFECT_MOVE;
        ImportDroppedFiles(box, drop);
        FinishJob();
    }
    EXPECT_TRUE(fs::exists(boxFolder + L"\\free.txt"));
    EXPECT_TRUE(fs::exists(sources + L"\\1\\busy.txt"));
    EXPECT_EQ(TimesUserNotified(L"drop-failed"), told + 1);
}

// An item that is nowhere any more is never said to stay where it was.
TEST(JobTroubleText, AnItemThatIsGoneIsNotSaidToStayWhereItWas)
{
    TempFolder temp;
    TempFolder::WriteBytes(temp.File(L"held.txt"), "h");
    JobTrouble trouble;
    trouble.failed = {{temp.File(L"gone.txt"), ERROR_FILE_NOT_FOUND},
                      {temp.File(L"held.txt"), ERROR_SHARING_VIOLATION}};
    const std::wstring text = JobTroubleText(trouble);
    const size_t gone = text.find(L"gone.txt"), stays = text.find(L"仍在原来的位置");
    ASSERT_NE(gone, std::wstring::npos);
    ASSERT_NE(stays, std::wstring::npos);
    EXPECT_LT(gone, stays) << WideToUtf8(text);
    EXPECT_NE(text.find(L"已不存在"), std::wstring::npos);
    EXPECT_GT(text.find(L"held.txt"), stays);
}

TEST_F(UndoSequenceTest, ARedoneRecycleSendsTheItemAsItIsNowToTheBinAgain)
{
    ASSERT_FALSE(trash.empty());
    StartSequence();
    const std::wstring file = boxFolder + L"\\a.txt";
    DeleteIcon(box, file, box, kDeleteKeyQuestion);
    FinishJob();
    UndoAndWait(box, nullptr);
    ASSERT_TRUE(fs::exists(file));
    Write(file);
    const std::string edited = VersionOfFile(file);
    RedoAndWait(box, nullptr);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(VersionsIn(trash).count(edited)) << "the edited file is in the Recycle Bin";
    ASSERT_EQ(Runtime().undoList.size(), 1u);
    EXPECT_TRUE(Runtime().undoList.back().recycleConfirmed);
    // Five more operations push the record off the list.
    for (int i = 0; i < 5; ++i) {
        UndoRecord mapped;
        mapped.kind = 3;
        mapped.path = sources + L"\\m" + std::to_wstring(i);
        PushUndoRecord(box, mapped);
    }
    EXPECT_TRUE(VersionsIn(trash).count(edited));
}

// Undo of a delete to the Recycle Bin puts back the copy kept of the
// item: the drop that brought it, undone next, takes it home as its own.
TEST_F(UndoSequenceTest, AnItemBackFromTheBinIsStillTheOneItsDropBrought)
{
    ASSERT_FALSE(trash.empty());
    StartSequence();
    fs::create_directories(sources + L"\\home");
    Write(sources + L"\\home\\came.txt");
    const std::string version = VersionOfFile(sources + L"\\home\\came.txt");
    Drop(sources + L"\\home\\came.txt", DROPEFFECT_MOVE);
    const std::wstring dropped = boxFolder + L"\\came.txt";
    ASSERT_TRUE(fs::exists(dropped));
    DeleteIcon(box, dropped, box, kDeleteKeyQuestion);
    FinishJob();
    ASSERT_FALSE(fs::exists(dropped));
    ASSERT_TRUE(UndoAndWait(box, nullptr));
    ASSERT_TRUE(fs::exists(dropped));
    const int told = TimesUserNotified(L"undo-other-item");
    ASSERT_TRUE(UndoAndWait(box, nullptr));
    EXPECT_EQ(TimesUserNotified(L"undo-other-item"), told);
    EXPECT_FALSE(fs::exists(dropped));
    EXPECT_EQ(VersionOfFile(sources + L"\\home\\came.txt"), version);
}

TEST_F(UndoSequenceTest, AnEditedPasteIsNotTakenAwayByUndo)
{
    StartSequence();
    const std::wstring source = sources + L"\\b.txt";
    Write(source);
    PasteFilesIntoBox(box, View(), {source});
    FinishJob();
    const std::wstring pasted = boxFolder + L"\\b.txt";
    ASSERT_TRUE(fs::exists(pasted));
    Write(pasted);
    const std::string edited = VersionOfFile(pasted);
    const int told = TimesUserNotified(L"undo-changed");
    UndoAndWait(box, nullptr);
    EXPECT_EQ(VersionOfFile(pasted), edited);
    EXPECT_EQ(TimesUserNotified(L"undo-changed"), told + 1);
    EXPECT_EQ(Runtime().undoList.size(), 1u) << "the record stays for a later try";
}

// "直接覆盖" of a dropped file and of a dropped folder merged into the box's
// own: undo takes away what the drop brought and puts back what the box
// held; redo brings the drop back.
TEST_F(UndoSequenceTest, UndoOfAnOverwritingDropPutsBackWhatTheBoxHeld)
{
    StartSequence();
    const std::string oldA = VersionOfFile(boxFolder + L"\\a.txt");
    const std::string oldX = VersionOfFile(boxFolder + L"\\d\\x.txt");
    const std::string oldZ = VersionOfFile(boxFolder + L"\\d\\z.txt");
    fs::create_directories(sources + L"\\1\\d");
    Write(sources + L"\\1\\a.txt");
    Write(sources + L"\\1\\d\\x.txt");
    Write(sources + L"\\1\\d\\y.txt");
    fs::create_directories(sources + L"\\1\\d\\e\\f");
    const std::string newA = VersionOfFile(sources + L"\\1\\a.txt");
    const std::string newX = VersionOfFile(sources + L"\\1\\d\\x.txt");
    sameNameAnswer = 1;

    Drop(sources + L"\\1\\a.txt", DROPEFFECT_COPY);
    ASSERT_EQ(VersionOfFile(boxFolder + L"\\a.txt"), newA);
    UndoAndWait(box, nullptr);
    EXPECT_EQ(VersionOfFile(boxFolder + L"\\a.txt"), oldA);
    RedoAndWait(box, nullptr);
    EXPECT_EQ(VersionOfFile(boxFolder + L"\\a.txt"), newA);

    Drop(sources + L"\\1\\d", DROPEFFECT_MOVE);
    ASSERT_EQ(VersionOfFile(boxFolder + L"\\d\\x.txt"), newX);
    ASSERT_TRUE(fs::exists(boxFolder + L"\\d\\y.txt"));
    ASSERT_EQ(VersionOfFile(boxFolder + L"\\d\\z.txt"), oldZ);
    // The box's own file, which the merge left alone, is edited afterwards.
    Write(boxFolder + L"\\d\\z.txt");
    const std::string editedZ = VersionOfFile(boxFolder + L"\\d\\z.txt");
    for (int round = 0; round < 2; ++round) {
        UndoAndWait(box, nullptr);
        EXPECT_EQ(VersionOfFile(boxFolder + L"\\d\\x.txt"), oldX);
        EXPECT_EQ(VersionOfFile(boxFolder + L"\\d\\z.txt"), editedZ) << "the edit made after the drop stays";
        EXPECT_FALSE(fs::exists(boxFolder + L"\\d\\y.txt"));
        EXPECT_EQ(VersionOfFile(sources + L"\\1\\d\\x.txt"), newX) << "the dropped folder went back to its place";
        EXPECT_TRUE(fs::exists(sources + L"\\1\\d\\y.txt"));
        EXPECT_FALSE(fs::exists(sources + L"\\1\\d\\z.txt")) << "the source never had the box's z.txt";
        EXPECT_EQ(FilesUnder(sources + L"\\1\\d").size(), 2u);
        EXPECT_TRUE(fs::is_directory(sources + L"\\1\\d\\e\\f")) << "empty folders go back too";
        EXPECT_FALSE(fs::exists(boxFolder + L"\\d\\e"));
        if (round == 1)
            break;
        RedoAndWait(box, nullptr);
        EXPECT_EQ(VersionOfFile(boxFolder + L"\\d\\x.txt"), newX);
        EXPECT_TRUE(fs::exists(boxFolder + L"\\d\\y.txt"));
        EXPECT_EQ(VersionOfFile(boxFolder + L"\\d\\z.txt"), editedZ);
        EXPECT_FALSE(fs::exists(sources + L"\\1\\d"));
    }
}

// A merged folder that cannot go back (a place at the source taken, a file
// held open) is left as it is: the user is told and the record stays.
TEST_F(UndoSequenceTest, UndoOfAMergedMoveThatCannotGoBackChangesNothing)
{
    StartSequence();
    fs::create_directories(sources + L"\\1\\d");
    Write(sources + L"\\1\\d\\x.txt");
    Write(sources + L"\\1\\d\\y.txt");
    sameNameAnswer = 1;
    Drop(sources + L"\\1\\d", DROPEFFECT_MOVE);
    const Versions inBox = VersionsIn(boxFolder + L"\\d");
    fs::create_directories(sources + L"\\1\\d");
    Write(sources + L"\\1\\d\\y.txt");
    const int told = TimesUserNotified(L"undo-move");
    UndoAndWait(box, nullptr);
    EXPECT_EQ(TimesUserNotified(L"undo-move"), told + 1);
    EXPECT_EQ(Runtime().undoList.size(), 1u);
    EXPECT_EQ(VersionsIn(boxFolder + L"\\d"), inBox);
    EXPECT_EQ(FilesUnder(sources + L"\\1\\d").size(), 1u);

    // A move that fails half way (a file held open) takes back what it
    // had moved: nothing is left half undone.
    RemoveItemWithoutFollowingLinks(sources + L"\\1\\d");
    HANDLE held = CreateFileW((boxFolder + L"\\d\\y.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    UndoAndWait(box, nullptr);
    CloseHandle(held);
    EXPECT_EQ(TimesUserNotified(L"undo-move"), told + 2);
    EXPECT_EQ(Runtime().undoList.size(), 1u);
    EXPECT_EQ(VersionsIn(boxFolder + L"\\d"), inBox);
    EXPECT_FALSE(fs::exists(sources + L"\\1\\d"));
    UndoAndWait(box, nullptr);
    EXPECT_EQ(FilesUnder(sources + L"\\1\\d").size(), 2u);
}

// ---- Records that leave the lists, the shell's "No", case-only renames ----

namespace
{

// A tree beside the box that nothing the user does in the box may change.
struct Bystander {
    explicit Bystander(const std::wstring& root) : root(root)
    {
        fs::create_directories(root + L"\\sub\\deeper");
        TempFolder::WriteBytes(root + L"\\one.txt", "one");
        TempFolder::WriteBytes(root + L"\\sub\\two.txt", "two");
        TempFolder::WriteBytes(root + L"\\sub\\deeper\\three.txt", "three");
        before = Listing();
    }
    std::map<std::wstring, std::string> Listing() const
    {
        std::map<std::wstring, std::string> listing;
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(root, ec))
            listing[entry.path().wstring()] = entry.is_regular_file(ec) ? TempFolder::ReadBytes(entry.path()) : "/";
        return listing;
    }
    bool Unchanged() const { return Listing() == before; }
    std::wstring root;
    std::map<std::wstring, std::string> before;
};

bool EmptyFolder(const std::wstring& folder)
{
    std::error_code ec;
    return !fs::exists(folder, ec) || fs::is_empty(folder, ec);
}

} // namespace

// A redone recycle the user answers No to leaves the folder, with the edit
// made in it, where it is, and the record on the redo list.
TEST_F(UndoSequenceTest, ANoToARedoneRecycleLeavesTheFolderAndItsRecord)
{
    ASSERT_FALSE(trash.empty());
    StartSequence();
    const std::wstring folder = boxFolder + L"\\d";
    DeleteIcon(box, folder, box, kDeleteKeyQuestion);
    FinishJob();
    ASSERT_FALSE(fs::exists(folder));
    UndoAndWait(box, nullptr);
    ASSERT_TRUE(fs::exists(folder));
    Write(folder + L"\\x.txt");
    const std::string edited = VersionOfFile(folder + L"\\x.txt");
    shellAnswer = IDNO;
    RedoAndWait(box, nullptr);
    shellAnswer = IDYES;
    EXPECT_EQ(VersionOfFile(folder + L"\\x.txt"), edited);
    EXPECT_EQ(Runtime().redoList.size(), 1u);
    EXPECT_TRUE(Runtime().undoList.empty());
    EXPECT_TRUE(EmptyFolder(temp.File(L"data\\.data\\.temp"))) << "nothing parked in the temporary folder";
}

// Quitting, deleting the box, and a start after a run that ended without
// quitting: what the records kept ends in the Recycle Bin, or in view when
// the user answers No, and never only in the temporary folder.
TEST_F(UndoSequenceTest, WhatLeavingRecordsKeptEndsInTheBinOrInView)
{
    ASSERT_FALSE(trash.empty());
    const Bystander bystander(temp.File(L"outside\\tree"));
    const std::wstring tempFolder = temp.File(L"data\\.data\\.temp");

    // Quit with an overwrite record listed.
    StartSequence();
    std::string old = OverwriteA();
    EmptyEveryUndoList();
    EXPECT_TRUE(VersionsIn(trash).count(old)) << "quit";
    EXPECT_TRUE(EmptyFolder(tempFolder));

    // The same, the shell's question answered No: the replaced file comes
    // into view in the box's folder and the user is told.
    StartSequence();
    old = OverwriteA();
    int told = TimesUserNotified(L"undo-copy-kept");
    shellAnswer = IDNO;
    const LeaveReport report = EmptyEveryUndoList();
    shellAnswer = IDYES;
    if (!VersionsIn(trash).count(old)) {
        ASSERT_EQ(report.inView.size(), 1u);
        EXPECT_EQ(fs::path(report.inView[0].at).parent_path(), fs::path(boxFolder));
        EXPECT_EQ(VersionOfFile(report.inView[0].at), old);
        EXPECT_FALSE(LeaveReportText(report).empty());
    }
    EXPECT_TRUE(EmptyFolder(tempFolder));

    // A record listed when the box is deleted, a No at its question: the
    // box's folder stays (the box alone is deleted) and holds the copy.
    StartSequence();
    old = OverwriteA();
    shellAnswer = IDNO;
    DeleteBox(box);
    shellAnswer = IDYES;
    Versions reachable = VersionsIn(trash);
    CollectVersions(boxFolder, reachable);
    EXPECT_TRUE(reachable.count(old)) << "delete box";
    EXPECT_TRUE(EmptyFolder(tempFolder));
    if (!VersionsIn(trash).count(old)) {
        EXPECT_EQ(TimesUserNotified(L"undo-copy-kept"), told + 1);
    }

    // A run that ended without quitting left copies nobody holds: the next
    // start sends them to the bin, or into view, and says so.
    fs::create_directories(tempFolder + L"\\keptab12.tmp");
    TempFolder::WriteBytes(tempFolder + L"\\b.txt1f2e.tmp", "v9001.");
    TempFolder::WriteBytes(tempFolder + L"\\keptab12.tmp\\c.txt", "v9002.");
    told = TimesUserNotified(L"temp-sweep");
    SweepTemporaryFolder();
    EXPECT_TRUE(EmptyFolder(tempFolder));
    EXPECT_TRUE(fs::exists(trash + L"\\b.txt"));
    EXPECT_TRUE(fs::exists(trash + L"\\c.txt"));
    EXPECT_EQ(TimesUserNotified(L"temp-sweep"), told + 1);
    fs::create_directories(tempFolder);
    TempFolder::WriteBytes(tempFolder + L"\\e.txtab3c.tmp", "v9003.");
    shellAnswer = IDNO;
    SweepTemporaryFolder();
    shellAnswer = IDYES;
    Versions seen = VersionsIn(trash);
    for (const std::wstring& item : ItemsInView())
        CollectVersions(item, seen);
    EXPECT_TRUE(seen.count("v9003"));
    EXPECT_TRUE(EmptyFolder(tempFolder));
    EXPECT_TRUE(bystander.Unchanged());
}

// A quit stops a job whose last results have not reached the window yet:
// they join the undo lists before these are emptied, so every version the
// overwrite replaced ends in the Recycle Bin, none only in the temporary
// folder.
TEST_F(UndoSequenceTest, AQuitTakesAStoppedJobsLastRecordsBeforeItEmptiesTheUndoLists)
{
    ASSERT_FALSE(trash.empty());
    StartSequence();
    std::vector<std::wstring> pasted;
    Versions old;
    for (int i = 0; i < 12; ++i) {
        const std::wstring name = L"\\o" + std::to_wstring(i) + L".txt";
        Write(boxFolder + name);
        old.insert(VersionOfFile(boxFolder + name));
        Write(sources + name);
        pasted.push_back(sources + name);
    }
    SyncBoxFolder(View(), boxFolder, true);
    sameNameAnswer = 1;
    PasteFilesIntoBox(box, View(), pasted);
    // The looks and the question, up to the job's start; from then on its
    // results wait, as the quit finds them once the worker has stopped.
    const DWORD start = GetTickCount();
    while (!s_copyProgress.busy && GetTickCount() - start < 20000) {
        TakeJobMail();
        Sleep(1);
    }
    while (s_copyProgress.workerRunning && GetTickCount() - start < 20000)
        Sleep(1);
    ASSERT_FALSE(s_copyProgress.workerRunning);
    EmptyEveryUndoList();
    FinishJob();
    const Versions binned = VersionsIn(trash);
    for (const std::string& version : old)
        EXPECT_TRUE(binned.count(version)) << version;
    EXPECT_TRUE(EmptyFolder(temp.File(L"data\\.data\\.temp")));
}

// Undo of a rename that changed only the letter case gives the old name
// back and does not block older records.
TEST_F(UndoSequenceTest, UndoOfACaseOnlyRenameWorks)
{
    StartSequence();
    const IconRecord record = *RecordOf(boxFolder + L"\\a.txt");
    ASSERT_TRUE(RenameIconFile(box, record, box, L"A.txt"));
    const int refused = TimesUserNotified(L"undo-move");
    UndoAndWait(box, nullptr);
    EXPECT_EQ(TimesUserNotified(L"undo-move"), refused);
    EXPECT_TRUE(Runtime().undoList.empty());
    EXPECT_EQ(Runtime().redoList.size(), 1u);
    EXPECT_TRUE(fs::exists(boxFolder + L"\\a.txt"));
}

// Random sequences as above with the shell's questions answered Yes or No,
// quits and restarts among the steps, and a bystander tree beside the box.
TEST_F(UndoSequenceTest, LeavingRecordsAndAnswersNoKeepEveryVersionWithinReach)
{
    ASSERT_FALSE(trash.empty());
    const Bystander bystander(temp.File(L"outside\\tree"));
    constexpr int kSequences = 40;
    int steps = 0;
    for (int seed = 1001; seed < 1001 + kSequences && !lost; ++seed) {
        std::mt19937 random(static_cast<unsigned>(seed));
        StartSequence();
        std::string log;
        const int length = 4 + static_cast<int>(random() % 9);
        for (int i = 0; i <= length && !lost; ++i, ++steps) {
            shellAnswer = random() % 3 == 0 ? IDNO : IDYES;
            if (i == length || random() % 8 == 0) {
                // Quit, then start again.
                log += shellAnswer == IDNO ? "quit(no) " : "quit ";
                EmptyEveryUndoList();
                SweepTemporaryFolder();
            } else {
                log += shellAnswer == IDNO ? "(no) " : "";
                Step(random, log);
            }
            Check("seed " + std::to_string(seed) + ": " + log);
            if (!bystander.Unchanged()) {
                ADD_FAILURE() << "the bystander tree changed after seed " << seed << ": " << log;
                lost = true;
            }
        }
        shellAnswer = IDYES;
        EXPECT_TRUE(EmptyFolder(temp.File(L"data\\.data\\.temp"))) << "seed " << seed << ": " << log;
    }
    std::printf("[ sequences ] %d sequences, %d steps\n", kSequences, steps);
}

// ---- The roads by which a run's knowledge of its kept copies ends ----

namespace
{

// A loaded configuration with its data folder, for as long as it lives;
// the marks this run left on temporary folders go with it.
struct LoadedConfiguration {
    explicit LoadedConfiguration(const std::wstring& dataFolder) : saved(s_dataFolder)
    {
        fs::create_directories(dataFolder);
        s_dataFolder = dataFolder;
        s_configLoaded = true;
    }
    ~LoadedConfiguration()
    {
        s_tempFolderUse.EndCleanly();
        s_configLoaded = false;
        s_dataFolder = saved;
    }
    std::wstring saved;
};

// The run ends without quitting (a crash, a kill, a restart): its lists are
// gone, its marks on the temporary folders stay behind.
void EndWithoutQuitting(BoxRuntime& runtime, TempFolderUse& run)
{
    runtime.undoList.clear();
    runtime.redoList.clear();
    run = TempFolderUse();
}

} // namespace

// "默认收纳文件夹" changed after a "直接覆盖", then the run ends without
// quitting: the next start finds the earlier temporary folder and says so.
TEST_F(UndoSequenceTest, AnEarlierBoxFoldersCopiesAreFoundAfterAnEndWithoutQuitting)
{
    ASSERT_FALSE(trash.empty());
    const LoadedConfiguration config(temp.File(L"appdata"));
    StartSequence();
    const std::string replaced = OverwriteA();
    Check("overwrite");
    const std::wstring earlierTemp = temp.File(L"data\\.data\\.temp");
    ASSERT_FALSE(EmptyFolder(earlierTemp));
    s_appStore[L"TessikRef"][L"containerDir"] = temp.File(L"data2");
    EndWithoutQuitting(Runtime(), s_tempFolderUse);

    const int told = TimesUserNotified(L"temp-sweep");
    SweepTemporaryFolder();
    EXPECT_TRUE(VersionsIn(trash).count(replaced)) << "the replaced a.txt is in the Recycle Bin";
    EXPECT_TRUE(EmptyFolder(earlierTemp));
    EXPECT_EQ(TimesUserNotified(L"temp-sweep"), told + 1);
    // The user hears that an overwrite may have been cut short, and where
    // the version it replaced went.
    const std::wstring text = LastNoticeText(L"temp-sweep");
    for (const wchar_t* said : {L"上次没有正常退出", L"“直接覆盖”", L"中断", L"为撤销而保留的文件已移到回收站", L"“a.txt”"})
        EXPECT_NE(text.find(said), std::wstring::npos) << said;
    SweepTemporaryFolder();
    EXPECT_EQ(TimesUserNotified(L"temp-sweep"), told + 1) << "told once";
    // Emptied and used by no run, the earlier folder leaves the list.
    std::vector<ListedTempFolder> known;
    ASSERT_TRUE(ReadKnownTempFolders(s_dataFolder, known));
    ASSERT_EQ(known.size(), 1u);
    EXPECT_TRUE(SameLocation(known[0].folder, temp.File(L"data2\\.data\\.temp")));
    Check("a changed box folder, an end without quitting, a start");
}

// A second start beside a live run sharing the box folder (a restart that
// went on after its wait, another account): the live run's copies are its
// undo's, untouched and unsaid; once it ended without quitting they go.
TEST_F(UndoSequenceTest, ATemporaryFolderALiveRunMarksIsLeftToIt)
{
    ASSERT_FALSE(trash.empty());
    const LoadedConfiguration config(temp.File(L"appdata"));
    StartSequence();
    const std::string replaced = OverwriteA();
    Check("overwrite");
    const std::string pasted = VersionOfFile(boxFolder + L"\\a.txt");
    TempFolderUse firstRun = std::move(s_tempFolderUse);
    s_tempFolderUse = TempFolderUse();

    const int told = TimesUserNotified(L"temp-sweep");
    SweepTemporaryFolder();
    EXPECT_EQ(TimesUserNotified(L"temp-sweep"), told);
    UndoAndWait(box, nullptr);
    EXPECT_EQ(VersionOfFile(boxFolder + L"\\a.txt"), replaced) << "the first run's undo gives back what it replaced";

    EndWithoutQuitting(Runtime(), firstRun);
    SweepTemporaryFolder();
    EXPECT_EQ(TimesUserNotified(L"temp-sweep"), told + 1);
    EXPECT_NE(LastNoticeText(L"temp-sweep").find(L"上次没有正常退出"), std::wstring::npos);
    EXPECT_TRUE(VersionsIn(trash).count(pasted));
    EXPECT_TRUE(EmptyFolder(temp.File(L"data\\.data\\.temp")));
    Check("a second run beside a live one, then its end without quitting");

    // A copy that stayed although every run quit is no sign of a crash.
    TempFolder::WriteBytes(temp.File(L"data\\.data\\.temp\\b.txt1f2e.tmp"), "v9001.");
    SweepTemporaryFolder();
    EXPECT_EQ(TimesUserNotified(L"temp-sweep"), told + 2);
    EXPECT_EQ(LastNoticeText(L"temp-sweep").find(L"上次没有正常退出"), std::wstring::npos);
    EXPECT_EQ(LastNoticeText(L"temp-sweep").find(L"中断"), std::wstring::npos);
}

// A damaged list (a user's folder, a line cut short at the box root or at
// ".data", a ".temp" that is a link, a user's own "X\.data\.temp" with an
// empty lock beside it) sends nothing of theirs anywhere, removes nothing
// and no notice claims it or speaks of a run that ended; the box root's
// real temporary folder is swept, even when the list names it only through
// a link, and only its kept copies go.
TEST_F(UndoSequenceTest, TheSweepTakesOnlyWhatIsProvablyItsOwn)
{
    ASSERT_FALSE(trash.empty());
    const LoadedConfiguration config(temp.File(L"appdata"));
    const std::wstring docs = temp.File(L"docs");
    const std::wstring root = temp.File(L"data");
    const std::wstring other = temp.File(L"other\\.data\\.temp");
    const std::wstring otherLock = temp.File(L"other\\.data\\.temp-in-use\\123-1.lock");
    for (const std::wstring& folder :
         {docs, root + L"\\.data\\.temp", other, temp.File(L"linked\\.data"), temp.File(L"other\\.data\\.temp-in-use")})
        fs::create_directories(folder);
    TempFolder::WriteBytes(docs + L"\\report.docx", "v9101.");
    TempFolder::WriteBytes(docs + L"\\notes.txt1a2b.tmp", "v9102.");
    TempFolder::WriteBytes(root + L"\\a.txt", "v9103.");
    TempFolder::WriteBytes(root + L"\\.data\\stay.txt4c4d.tmp", "v9104.");
    TempFolder::WriteBytes(root + L"\\.data\\.temp\\stray.txt", "v9105.");
    TempFolder::WriteBytes(other + L"\\x.txt9a9b.tmp", "v9106.");
    TempFolder::WriteBytes(otherLock, "");
    TempFolder::WriteBytes(root + L"\\.data\\.temp\\y.txt9c9d.tmp", "v9107.");
    const bool linked = MakeDirectoryLink(temp.File(L"linked\\.data\\.temp"), docs);
    const bool aliased = MakeDirectoryLink(temp.File(L"alias"), root);
    std::vector<std::wstring> lines = {docs, root + L"\\", root + L"\\.data", temp.File(L"linked\\.data\\.temp"),
                                       other};
    if (aliased)
        lines.insert(lines.begin(), temp.File(L"alias\\.data\\.temp"));
    std::string list;
    for (const std::wstring& line : lines)
        list += WideToUtf8(line) + "\r\n";
    TempFolder::WriteBytes(s_dataFolder + L"\\" + kTempFolderListFile, list);

    const int told = TimesUserNotified(L"temp-sweep");
    SweepTemporaryFolder();
    EXPECT_EQ(VersionOfFile(docs + L"\\report.docx"), "v9101");
    EXPECT_EQ(VersionOfFile(docs + L"\\notes.txt1a2b.tmp"), "v9102");
    EXPECT_EQ(VersionOfFile(root + L"\\a.txt"), "v9103");
    EXPECT_EQ(VersionOfFile(root + L"\\.data\\stay.txt4c4d.tmp"), "v9104");
    EXPECT_EQ(VersionOfFile(root + L"\\.data\\.temp\\stray.txt"), "v9105");
    EXPECT_EQ(VersionOfFile(other + L"\\x.txt9a9b.tmp"), "v9106");
    EXPECT_TRUE(fs::exists(otherLock)) << "a lock in a user's folder is not the program's";
    EXPECT_FALSE(fs::exists(root + L"\\.data\\.temp\\y.txt9c9d.tmp"));
    EXPECT_TRUE(VersionsIn(trash).count("v9107"));
    for (const char* version : {"v9101", "v9102", "v9103", "v9104", "v9105", "v9106"})
        EXPECT_FALSE(VersionsIn(trash).count(version)) << version;
    ASSERT_EQ(TimesUserNotified(L"temp-sweep"), told + 1);
    const std::wstring text = LastNoticeText(L"temp-sweep");
    EXPECT_NE(text.find(L"y.txt"), std::wstring::npos);
    for (const wchar_t* name : {L"report", L"notes", L"a.txt", L"stay", L"stray", L"x.txt", L"没有正常退出"})
        EXPECT_EQ(text.find(name), std::wstring::npos) << text;
    if (linked) {
        EXPECT_TRUE(fs::exists(temp.File(L"linked\\.data\\.temp")));
    }
}

// Second names of the box's files left in the temporary folder (the
// witnesses of a recycle a run did not finish) are no old versions: those
// names alone go, quietly. Of two names of one file that both wait there,
// one version goes to the bin; a folder with a file of one name goes whole.
TEST_F(UndoSequenceTest, ASecondNameOfAFileIsNoOldVersion)
{
    ASSERT_FALSE(trash.empty());
    const LoadedConfiguration config(temp.File(L"appdata"));
    StartSequence();
    const std::wstring tempFolder = temp.File(L"data\\.data\\.temp");
    const auto link = [](const std::wstring& name, const std::wstring& target) {
        return CreateHardLinkW(name.c_str(), target.c_str(), nullptr) != FALSE;
    };
    const std::string a = VersionOfFile(boxFolder + L"\\a.txt");
    fs::create_directories(tempFolder + L"\\dab12.tmp\\empty");
    ASSERT_TRUE(link(tempFolder + L"\\a.txt1f2e.tmp", boxFolder + L"\\a.txt"));
    for (const wchar_t* name : {L"\\x.txt", L"\\z.txt"})
        ASSERT_TRUE(link(tempFolder + L"\\dab12.tmp" + name, boxFolder + L"\\d" + name));
    const int told = TimesUserNotified(L"temp-sweep");
    SweepTemporaryFolder();
    EXPECT_TRUE(EmptyFolder(tempFolder));
    EXPECT_TRUE(EmptyFolder(trash));
    EXPECT_EQ(TimesUserNotified(L"temp-sweep"), told);
    EXPECT_EQ(VersionOfFile(boxFolder + L"\\a.txt"), a);
    EXPECT_EQ(FilesUnder(boxFolder + L"\\d").size(), 2u);

    fs::create_directories(tempFolder + L"\\eab34.tmp");
    TempFolder::WriteBytes(tempFolder + L"\\b.txt3a3b.tmp", "v9201.");
    ASSERT_TRUE(link(tempFolder + L"\\b.txt4c4d.tmp", tempFolder + L"\\b.txt3a3b.tmp"));
    TempFolder::WriteBytes(tempFolder + L"\\eab34.tmp\\only.txt", "v9202.");
    ASSERT_TRUE(link(tempFolder + L"\\eab34.tmp\\x.txt", boxFolder + L"\\d\\x.txt"));
    SweepTemporaryFolder();
    EXPECT_TRUE(EmptyFolder(tempFolder));
    EXPECT_EQ(FilesUnder(trash).size(), 3u) << "b.txt once, the folder e with its two files";
    EXPECT_TRUE(VersionsIn(trash).count("v9201"));
    EXPECT_TRUE(VersionsIn(trash).count("v9202"));
    EXPECT_EQ(TimesUserNotified(L"temp-sweep"), told + 1);
}

// Clearing user data waits for a running job; otherwise every record leaves
// as at quit, and every known temporary folder is swept, before the data
// folder with its list goes.
TEST_F(UndoSequenceTest, ClearingUserDataLetsEveryKeptCopyGoFirst)
{
    ASSERT_FALSE(trash.empty());
    const LoadedConfiguration config(temp.File(L"appdata"));
    StartSequence();
    const std::string replaced = OverwriteA();
    Check("overwrite");
    // An earlier box folder a run left a copy in.
    const std::wstring earlierTemp = temp.File(L"data0\\.data\\.temp");
    fs::create_directories(earlierTemp);
    TempFolder::WriteBytes(earlierTemp + L"\\c.txt3f42.tmp", "v9002.");
    ASSERT_TRUE(RememberTempFolder(s_dataFolder, earlierTemp));
    {
        const JobStillRunning job(box);
        const int busy = TimesUserNotified(L"job-busy");
        EXPECT_TRUE(RefusedToClearWhileFileJobRuns());
        EXPECT_EQ(TimesUserNotified(L"job-busy"), busy + 1);
    }
    {
        // A question or plan that holds its box waits for its answer, and
        // so does a restore that would replace the stores under it.
        const BoxInUse hold = BoxInUse::Hold(box);
        ASSERT_TRUE(hold.Holds());
        EXPECT_TRUE(RefusedToClearWhileFileJobRuns());
        EXPECT_TRUE(RefusedToRestoreWhileFileJobRuns());
        EXPECT_TRUE(RefusedToChangeBoxRootWhileFileJobRuns());
    }
    ASSERT_FALSE(RefusedToClearWhileFileJobRuns());

    LetEveryKeptCopyGoBeforeClearing(nullptr);
    EXPECT_TRUE(ClearDataFolder(s_dataFolder, {}).failed.empty());
    const Versions binned = VersionsIn(trash);
    EXPECT_TRUE(binned.count(replaced));
    EXPECT_TRUE(binned.count("v9002"));
    EXPECT_TRUE(Runtime().undoList.empty());
    EXPECT_TRUE(EmptyFolder(temp.File(L"data\\.data\\.temp")));
    EXPECT_TRUE(EmptyFolder(earlierTemp));
    Check("clearing user data");
}
