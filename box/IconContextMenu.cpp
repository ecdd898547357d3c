#include "box/IconContextMenu.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/CommonHelpers.h"
#include "app/FileActionGate.h"
#include "app/FileRemoval.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/BoxFolderNames.h"
#include "box/BoxInUse.h"
#include "box/BoxShortcuts.h"
#include "box/IconFileMove.h"
#include "box/PutBackPlan.h"
#include "box/fileops/DeleteSelected.h"
#include "box/fileops/DropPlan.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/fileops/UndoList.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/WildcardMatch.h"
#include "ui/controls/KelmMenu.h"
#include "ui/controls/NewEdit.h"
#include "ui/controls/NewTip2.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

constexpr int kMenuWidth = 180;
const std::wstring kSpaces = L"      ";

std::wstring Glyph(wchar_t code)
{
    return std::wstring(L":") + code + L":";
}

std::wstring FileNamePart(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ParentPart(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"" : path.substr(0, slash);
}

std::wstring LowerExtension(const std::wstring& path)
{
    std::wstring ext = fs::path(path).extension().wstring();
    for (wchar_t& c : ext)
        c = static_cast<wchar_t>(std::towlower(c));
    return ext;
}

// The input box's answer; "bvn!NULL" when cancelled.
std::wstring Ask(const BoxWindowPtr& box, const std::wstring& initial)
{
    NewEdit::KelmCreateEdit(box ? box->GetHwnd() : nullptr, initial.c_str());
    return s_editResult;
}

// Asks as Ask does, with the owner held meanwhile (nothing re-makes or
// deletes it under the question); the owner as it stands after the answer,
// found by its id, null when it went. The quick panel's own views are no
// boxes and hold nothing.
struct HeldAnswer {
    std::wstring entry;
    BoxWindowPtr owner;
};
HeldAnswer AskHoldingOwner(const BoxWindowPtr& box, const BoxWindowPtr& owner, const std::wstring& initial)
{
    const BoxInUse hold = BoxInUse::Hold(owner);
    std::wstring entry = Ask(box, initial);
    return {std::move(entry), hold.Holds() ? hold.Box() : owner};
}

// Search results are rebuilt at each box's next paint.
void RefreshAllBoxes()
{
    for (auto& entry : s_boxRuntimes) {
        entry.second.appliedSearchText.clear();
        RepaintBoxWindows(entry.first);
    }
}

void SaveOwner(const BoxWindowPtr& owner)
{
    auto it = s_boxIconManagers.find(owner);
    if (it != s_boxIconManagers.end())
        SaveBoxIcons(it->second);
}

template <typename Change> void ForFirstRecordOfPath(const std::wstring& path, Change&& change)
{
    for (auto* managers : {&s_boxIconManagers, &s_boxSearchManagers})
        for (auto& entry : *managers)
            for (IconRecord& r : entry.second.Records())
                if (r.path == path) {
                    change(r);
                    break;
                }
}

void CopyTextFileToClipboard(const BoxWindowPtr& box, const std::wstring& path)
{
    std::ifstream in(fs::path(path), std::ios::binary);
    if (!in)
        return;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::wstring text;
    if (!bytes.empty()) {
        const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        text.resize(size);
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    }
    if (!text.empty() && text[0] == L'\xFEFF')
        text.erase(0, 1);
    if (!OpenClipboard(box ? box->GetHwnd() : nullptr))
        return;
    EmptyClipboard();
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (text.size() + 1) * sizeof(wchar_t))) {
        memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(block);
        if (!SetClipboardData(CF_UNICODETEXT, block))
            GlobalFree(block);
    }
    CloseClipboard();
}

void OpenIconWith(const BoxWindowPtr& box, const std::wstring& path)
{
    OPENASINFO info{};
    info.pcszFile = path.c_str();
    info.oaifInFlags = OAIF_ALLOW_REGISTRATION | OAIF_EXEC;
    const HRESULT hr = SHOpenWithDialog(box ? box->GetHwnd() : nullptr, &info);
    if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
        Logger::GetInstance().Log(L"DesktopContainer", L"WARNING",
                                  L"The open-with dialog could not be shown for: " + path);
        wchar_t code[16];
        swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
        NotifyUser(L"open-with",
                   L"无法显示“打开方式”对话框，“" + FileNamePart(path) + L"”没有打开。\n（错误代码 " + code + L"）");
    }
}

void EditIconPath(const BoxWindowPtr& box, const IconRecord& record, const BoxWindowPtr& owner, bool folderBacked)
{
    const auto [entry, standing] = AskHoldingOwner(box, owner, record.path);
    if (entry == L"bvn!NULL" || folderBacked || !standing)
        return;
    ForFirstRecordOfPath(record.path, [&entry](IconRecord& r) {
        r.path = entry;
        r.sortName = IconSortName(r.alias, r.path);
    });
    SaveOwner(standing);
    RefreshAllBoxes();
}

// The single delete runs as a selection of one, so it takes the same file
// job and keeps its copy in the same order as Del. It deletes the file that
// was right-clicked, by its path: the list may be renumbered meanwhile.
void DeleteSingleIcon(const BoxWindowPtr& box, const IconRecord& record, const BoxWindowPtr& owner)
{
    DeleteIcon(box, record.path, owner, kMenuSingleQuestion);
}

} // namespace

std::wstring AliasFromEntry(const std::wstring& entry)
{
    return entry.empty() ? L"bvn!BLANK" : entry;
}

void SetIconAlias(const BoxWindowPtr& box, const IconRecord& record, const BoxWindowPtr& owner,
                  const std::wstring& alias)
{
    // Its undo record empties the redo list, and a running redo works for
    // a record of that list.
    if (RefusedWhileFileJobRuns(L"设置别名"))
        return;
    ForFirstRecordOfPath(record.path, [&alias](IconRecord& r) {
        r.alias = alias;
        r.sortName = IconSortName(r.alias, r.path);
    });
    UndoRecord undo;
    undo.kind = 5;
    undo.path = record.path;
    undo.tempPath = record.alias;
    undo.extra = alias;
    undo.owner = owner;
    PushUndoRecord(box, std::move(undo));
    SaveOwner(owner);
    RefreshAllBoxes();
}

bool RenameIconFile(const BoxWindowPtr& box, const IconRecord& record, const BoxWindowPtr& owner,
                    const std::wstring& name)
{
    // A running job may be writing the file, or planned its name.
    if (RefusedWhileFileJobRuns(L"重命名"))
        return false;
    // Renamed, another box's folder (or a folder holding it) would leave
    // that box showing a folder that is no longer there.
    const std::wstring full = FullPathOf(record.path);
    if (const FolderRelation relation = GuardOfBoxFolders().BoxFolder(full); relation != FolderRelation::Unrelated) {
        BoxFolderNames names;
        names.Add(full, relation);
        NotifyUser(L"rename-box-folder", names.Text(L"重命名"));
        return false;
    }
    const std::wstring oldPath = record.path;
    // The entry's own name (in any letter case) is no new name, whatever
    // it ends in.
    const bool ownName = CompareStringOrdinal(name.c_str(), -1, FileNamePart(oldPath).c_str(), -1, TRUE) == CSTR_EQUAL;
    if (const std::wstring refusal = ownName ? L"" : TypedNameRefusal(name); !refusal.empty()) {
        NotifyUser(L"rename-name:" + name, refusal);
        return false;
    }
    const std::wstring newPath = ParentPart(oldPath) + L"\\" + name;
    // A change of letter case names the same file and is allowed.
    if (PathExists(newPath) && !SamePathItem(oldPath, newPath)) {
        NotifyUser(L"rename-taken:" + newPath, L"已有名为“" + name + L"”的文件，未重命名。");
        return false;
    }
    // A rename of a link the system does not show as one would move the
    // file behind it into the box.
    if (!EntryIsItself(oldPath)) {
        NotifyUser(L"rename-link:" + oldPath,
                   L"“" + GetPathFileName(oldPath) + L"”是指向其他位置的链接，未重命名，链接指向的文件没有改动。");
        return false;
    }
    auto failed = [&](DWORD error) {
        NotifyUser(L"rename-failed:" + oldPath, L"“" + GetPathFileName(oldPath) + L"”没有重命名为“" + name + L"”：" +
                                                    TransferErrorText(error) + L"。");
        return false;
    };
    // Which entry the icon shows, to know it again under its new name.
    BY_HANDLE_FILE_INFORMATION before{};
    if (!EntryFacts(oldPath, true, before))
        return failed(GetLastError());
    // In the long form: given plainly, the system cuts a trailing dot or
    // blank off "rep." and renames "rep" beside it.
    if (!MoveFileExW(LongPathForm(oldPath).c_str(), LongPathForm(newPath).c_str(), MOVEFILE_COPY_ALLOWED))
        return failed(GetLastError());
    // Another entry was renamed (another program put it in the icon's place
    // meanwhile): it goes back to the name it had, and no record takes the
    // new one.
    if (BY_HANDLE_FILE_INFORMATION after{}; EntryFacts(newPath, true, after) && !SameFileIdentity(before, after)) {
        // Only an entry that is itself goes back: a link Wine lists as a
        // plain file stays under the new name, and is named.
        const bool back = EntryIsItself(newPath) &&
                          MoveFileExW(LongPathForm(newPath).c_str(), LongPathForm(oldPath).c_str(), 0);
        NotifyUser(L"rename-failed:" + oldPath,
                   L"“" + GetPathFileName(oldPath) + L"”没有重命名：其他程序同时把它换成了另一个项目，" +
                       (back ? L"那个项目已改回原名。" : L"那个项目现在名为“" + name + L"”。"));
        return false;
    }
    UndoRecord undo;
    undo.kind = 2;
    undo.path = oldPath;
    undo.tempPath = newPath;
    undo.owner = owner;
    PushUndoRecord(box, std::move(undo));
    ForFirstRecordOfPath(oldPath, [&newPath](IconRecord& r) {
        r.path = newPath;
        r.sortName = IconSortName(r.alias, r.path);
    });
    SaveOwner(owner);
    RefreshAllBoxes();
    return true;
}

namespace
{

// Takes the records of path out of every view (the owner's first), then
// saves the owner's icons and repaints.
void ForgetRecordsOfPath(const BoxWindowPtr& owner, const std::wstring& path)
{
    if (auto own = s_boxIconManagers.find(owner); own != s_boxIconManagers.end()) {
        auto& records = own->second.Records();
        for (auto it = records.begin(); it != records.end(); ++it)
            if (it->path == path) {
                records.erase(it);
                break;
            }
        own->second.Renumber();
    }
    for (auto* managers : {&s_boxIconManagers, &s_boxSearchManagers})
        for (auto& entry : *managers) {
            if (managers == &s_boxIconManagers && entry.first == owner)
                continue;
            auto& records = entry.second.Records();
            for (auto it = records.begin(); it != records.end(); ++it)
                if (it->path == path) {
                    records.erase(it);
                    break;
                }
            entry.second.Renumber();
        }
    SaveOwner(owner);
    RefreshAllBoxes();
}

} // namespace

std::function<bool(HWND owner, const std::wstring& text)> s_putBackOnDesktopQuestion = [](HWND owner,
                                                                                          const std::wstring& text) {
    NewTip2::KelmCreateWindow(owner, text.c_str(), L"归位");
    return s_tipResult == 1;
};

bool RestoreIconToOriginalPath(const IconRecord& record, const BoxWindowPtr& owner, const std::wstring& entered)
{
    if (entered.empty())
        return false;
    // Checked before any folder is made for the move.
    if (RefusedWhileFileJobRuns(L"归位"))
        return false;
    const std::wstring name = GetPathFileName(record.path);
    PutBack::RestoreTarget plan = PutBack::PlanRestoreTarget(entered, name, PutBack::RestoreFactsOf(entered));
    auto refuse = [&](const std::wstring& why) {
        NotifyUser(L"restore-refused:" + record.path, why + L"\n“" + name + L"”仍在收纳盒中。");
        return false;
    };
    if (!plan.refused.empty())
        return refuse(plan.refused);
    // Typed as the place it already is (its own folder, or its own path):
    // there is nothing to move, and a numbered copy of its name would
    // only rename it inside the box and lose where it came from.
    if (const std::wstring wanted = (fs::path(plan.folder) / plan.name).wstring();
        PathExists(record.path) && PathExists(wanted) && SamePathItem(record.path, wanted)) {
        NotifyUser(L"restore-already-there:" + record.path,
                   L"“" + name + L"”已经在“" + wanted + L"”，没有移动。\n它仍在收纳盒中，记录的原位置没有改变。");
        return false;
    }
    // Sent elsewhere, another box's folder (or a folder holding it) would
    // leave that box without its folder.
    if (const FolderRelation relation = GuardOfBoxFolders().BoxFolder(FullPathOf(record.path));
        relation != FolderRelation::Unrelated) {
        BoxFolderNames names;
        names.Add(record.path, relation);
        NotifyUser(L"restore-box-folder", names.Text(L"归位"));
        return false;
    }
    // Moved into itself, a folder would take its own place away.
    if (DropPlan::IsSameOrAncestor(record.path, plan.folder))
        return refuse(L"不能把“" + name + L"”移到它自己里面。");
    const std::wstring source = record.path;
    // A record whose item is gone has nothing to move: it just leaves, and
    // no folder is made for it (a deleted folder chain would come back empty).
    if (!PathExists(source)) {
        ForgetRecordsOfPath(owner, source);
        return true;
    }
    // A folder in the box root or a box's folder that is gone (or that no
    // box shows) is not made again or filled: nothing would show the file
    // there. The Desktop is offered instead, or the file stays.
    if (const PutBack::HomeFacts home = PutBack::HomeFactsOf(plan.folder, PutBackPlaces());
        !PutBack::HiddenHomeWhy(plan.folder, home).empty()) {
        const std::wstring why = PutBack::HiddenHomeWhy(plan.folder, home);
        const std::wstring desktop = KnownFolderPath(CSIDL_DESKTOPDIRECTORY);
        if (desktop.empty())
            return refuse(why + L"，也找不到桌面文件夹，没有移动。");
        const BoxWindowPtr standing = StandingBoxOf(owner);
        if (!s_putBackOnDesktopQuestion(standing ? standing->GetHwnd() : nullptr,
                                        PutBack::HiddenHomeQuestion(plan.folder, name, home)))
            return refuse(why + L"，没有移动。");
        // The question held the UI thread's loop: the box, a job or the
        // item may have changed meanwhile.
        if (!FindBoxRuntime(owner) || RefusedWhileFileJobRuns(L"归位"))
            return false;
        if (!PathExists(source))
            return refuse(L"“" + name + L"”已不在原处，没有移动。");
        plan.folder = desktop;
    }
    std::error_code error;
    fs::create_directories(plan.folder, error);
    const DWORD attributes = GetFileAttributesW(LongPathForm(plan.folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return refuse(L"无法创建文件夹“" + plan.folder + L"”。");
    const fs::path wanted = fs::path(plan.folder) / plan.name;
    std::wstring destination = wanted.wstring();
    if (PathExists(destination)) {
        std::wstring folder = plan.folder;
        while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
            folder.pop_back();
        destination = FreePasteName(folder, wanted.stem().wstring(), wanted.extension().wstring(), PathExists);
        Logger::GetInstance().Log(L"DesktopContainer", L"WARNING",
                                  L"File collision avoided. Renamed to: " + destination);
    }
    // Across volumes a folder is copied whole and checked before its
    // source goes: that runs on the file worker, and the icon leaves only
    // once its item has moved.
    const bool started = StartItemMove(
        owner, source, destination, L"Failed to restore object. Original path intact: ",
        [owner, source, name](const BoxWindowPtr&, ItemMoveDone done) {
            const bool gone = !done.destination.empty() && !PathExists(source);
            if (gone)
                ForgetRecordsOfPath(StandingBoxOf(owner), source);
            if (gone)
                NotifyUser(L"restore-done",
                           L"“" + name + L"”已归位到：" + done.destination +
                               (done.partly ? L"\n其中有些内容没有移过去，仍在收纳盒的文件夹中。" : L""));
            else if (!done.destination.empty() && done.keptTwice)
                // Copied there, but neither its source nor the copy could
                // go: both stay, and so does its icon.
                NotifyUser(L"restore-refused:" + source, L"“" + name + L"”已复制到：" + done.destination +
                                                             L"\n但收纳盒中的原项目没有移走（" +
                                                             LeftBehindReason({source, true, true, done.removalError}) +
                                                             L"），两处的内容都已保留，图标仍在收纳盒中。");
            else if (!done.destination.empty())
                // A folder of which only part could leave: the rest, and
                // its icon, stay in the box.
                NotifyUser(L"restore-refused:" + source, L"“" + name + L"”只有一部分归位到：" + done.destination +
                                                             L"\n其余内容没有移走（" +
                                                             LeftBehindReason({source, true, true, done.removalError}) +
                                                             L"），仍在收纳盒中，图标也仍在收纳盒中。");
            // Nothing of it moved: the reason is its own, not a drop's.
            if (done.destination.empty() && done.trouble.failed.size() == 1 && done.trouble.renamed.empty() &&
                done.trouble.leftBehind.empty() && done.trouble.notGivenBack.empty()) {
                const TransferFailure& failed = done.trouble.failed.front();
                NotifyUser(L"restore-refused:" + source, L"“" + name + L"”没有归位（" +
                                                             TransferErrorText(failed.error, failed.path) +
                                                             L"），仍在收纳盒中。");
            } else if (!done.trouble.Empty()) {
                NotifyUser(L"restore-refused:" + source,
                           JobTroubleText(done.trouble) + L"\n“" + name +
                               (gone ? L"”的其余内容仍在收纳盒中。" : L"”仍在收纳盒中。"));
            }
        });
    if (started)
        return true;
    if (!FileActionGate::IsClosed())
        NotifyUser(L"job-busy", L"另一项文件操作正在进行，没有归位。\n请在当前操作完成后重试。");
    return false;
}

std::vector<Brevin::KelmOption> IconContextMenuOptions(KelmIconManager& view, const IconRecord& record)
{
    std::vector<Brevin::KelmOption> rows;
    const BoxWindowPtr box = view.OwnBox();
    BoxRuntime* own = box ? FindBoxRuntime(box) : nullptr;
    if (!own)
        return rows;
    BoxWindowPtr owner = record.owner ? record.owner : box;
    const BoxRuntime* ownerRuntime = FindBoxRuntime(owner);
    if (!ownerRuntime)
        ownerRuntime = own;
    const bool folderBacked = ownerRuntime->UseTargetFolder;
    const bool locked = own->IsLocked;
    const bool txt = WildcardMatchNoCase(L"*.txt", record.path);
    const IconRecord r = record;
    const std::weak_ptr<KelmWindow> weakBox = box;

    if (own->multiSelect) {
        // The selection as it is when the row is clicked.
        auto selectionToClipboard = [weakBox, viewPtr = &view](bool cut) {
            return [weakBox, viewPtr, cut] {
                BoxWindowPtr b = weakBox.lock();
                BoxRuntime* rt = b ? FindBoxRuntime(b) : nullptr;
                if (rt && KelmIconManager::IsLive(viewPtr))
                    PutFilesOnClipboard(b->GetHwnd(), SelectedPaths(*rt, *viewPtr), cut);
            };
        };
        rows.emplace_back(Glyph(L'\xF0C5') + kSpaces + L"复制选中", selectionToClipboard(false), 1);
        if (!locked && folderBacked)
            rows.emplace_back(Glyph(L'\xF0C4') + kSpaces + L"剪切选中", selectionToClipboard(true), 1);
        if (!locked)
            rows.emplace_back(
                Glyph(L'\xF014') + kSpaces + L"删除选中",
                [weakBox] {
                    if (BoxWindowPtr b = weakBox.lock())
                        DeleteSelection(b, kMenuSelectionQuestion);
                },
                1);
        rows.emplace_back(
            Glyph(L'\x2715') + kSpaces + L"取消选择",
            [weakBox] {
                BoxWindowPtr b = weakBox.lock();
                if (BoxRuntime* rt = b ? FindBoxRuntime(b) : nullptr) {
                    rt->multiSelect = false;
                    rt->selection.clear();
                    RepaintBoxWindows(b);
                }
            },
            1);
        return rows;
    }

    auto copyFile = [weakBox, r] {
        if (BoxWindowPtr b = weakBox.lock())
            PutFilesOnClipboard(b->GetHwnd(), {r.path}, false);
    };
    if (txt)
        rows.emplace_back(
            Glyph(L'\xF0C5') + kSpaces + L"复制纯文本",
            [weakBox, r] { CopyTextFileToClipboard(weakBox.lock(), r.path); }, 1);
    if (!locked)
        rows.emplace_back(
            Glyph(L'\xF031') + kSpaces + L"别名",
            [weakBox, r, owner] {
                BoxWindowPtr b = weakBox.lock();
                const auto [entry, standing] = AskHoldingOwner(b, owner, FileNamePart(r.path));
                if (entry != L"bvn!NULL" && standing)
                    SetIconAlias(b, r, standing, AliasFromEntry(entry));
            },
            1);
    if (!folderBacked) {
        rows.emplace_back(Glyph(L'\xF0C5') + kSpaces + (txt ? L"复制文件" : L"复制"), copyFile, 1);
    } else {
        Brevin::KelmOption pair(L"", nullptr, 1);
        pair.sideList.emplace_back(Glyph(L'\xF0C5') + (txt ? L" 文件" : L" 复制"), copyFile, 1);
        if (!locked)
            pair.sideList.emplace_back(
                Glyph(L'\xF0C4') + L" 剪切",
                [weakBox, r] {
                    if (BoxWindowPtr b = weakBox.lock())
                        PutFilesOnClipboard(b->GetHwnd(), {r.path}, true);
                },
                1);
        rows.push_back(std::move(pair));
    }
    rows.emplace_back(
        Glyph(L'\xF08E') + kSpaces + L"打开方式", [weakBox, r] { OpenIconWith(weakBox.lock(), r.path); }, 1);
    const std::wstring ext = LowerExtension(r.path);
    if (ext == L".png" || ext == L".jpg" || ext == L".txt" || ext == L".docx" || ext == L".pptx" || ext == L".xlsx")
        rows.emplace_back(
            Glyph(L'\xF02F') + kSpaces + L"打印",
            [weakBox, r] {
                BoxWindowPtr b = weakBox.lock();
                ShellExecuteW(b ? b->GetHwnd() : nullptr, L"print", r.path.c_str(), nullptr, nullptr, SW_HIDE);
            },
            1);
    if (folderBacked && !locked)
        rows.emplace_back(
            Glyph(L'\xF044') + kSpaces + L"重命名",
            [weakBox, r, owner] {
                BoxWindowPtr b = weakBox.lock();
                const auto [entry, standing] = AskHoldingOwner(b, owner, FileNamePart(r.path));
                // A refusal is told at once, over the box.
                if (entry != L"bvn!NULL" && standing && !RenameIconFile(b, r, standing, entry) && b)
                    ShowPendingNotices(b->GetHwnd());
            },
            1);
    if (folderBacked && !locked && r.originalPath != L"bvn!NULL" &&
        fs::path(r.originalPath).parent_path() != fs::path(ownerRuntime->TargetFolder))
        rows.emplace_back(
            Glyph(L'\xF112') + kSpaces + L"归位",
            [weakBox, r, owner] {
                BoxWindowPtr b = weakBox.lock();
                const auto [entry, standing] = AskHoldingOwner(b, owner, r.originalPath);
                if (entry != L"bvn!NULL" && !entry.empty() && standing) {
                    RestoreIconToOriginalPath(r, standing, entry);
                    if (b)
                        ShowPendingNotices(b->GetHwnd());
                }
            },
            1);
    if (!locked) {
        rows.emplace_back(
            Glyph(L'\xF1D8') + kSpaces + L"路径",
            [weakBox, r, owner, folderBacked] { EditIconPath(weakBox.lock(), r, owner, folderBacked); }, 1);
        rows.emplace_back(
            Glyph(L'\xF014') + kSpaces + L"删除",
            [weakBox, r, owner] {
                if (BoxWindowPtr b = weakBox.lock())
                    DeleteSingleIcon(b, r, owner);
            },
            1);
    }
    return rows;
}

void ShowIconContextMenu(KelmIconManager& view, const IconRecord& record)
{
    if (!view.FindById(record.id) || !view.OwnBox())
        return;
    POINT p{};
    GetCursorPos(&p);
    std::vector<Brevin::KelmOption> rows = IconContextMenuOptions(view, record);
    if (!rows.empty())
        KelmMenu::Show(view.OwnBox()->GetHwnd(), p.x, p.y, rows, kMenuWidth, 0);
}
