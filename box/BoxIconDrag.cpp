// Sections: shared helpers; the placeholder; starting a drag; moving the
// placeholder; the two ends of an internal drag; the box window's side.
#include "box/BoxIconDrag.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <tuple>
#include <unordered_map>

#include "app/FileRemoval.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/BoxFolderNames.h"
#include "box/BoxRuntime.h"
#include "box/BoxShortcuts.h"
#include "box/BoxWindowHooks.h"
#include "box/IconFileMove.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/icons/DragPlaceholder.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIcon.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/KelmDragHelper.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;

std::function<void()> s_dragOutAction;
std::function<void()> s_dragFinishAction;

std::function<DWORD(const std::vector<std::wstring>&, DWORD, HWND)> s_iconFileDrag = KelmDragHelper::StartFileDrag;
std::function<POINT()> s_iconDragCursor = [] {
    POINT p{};
    GetCursorPos(&p);
    return p;
};

namespace
{

// ---------------------------------------------------------------- shared helpers

bool CtrlDown()
{
    return s_boxShortcutInput.keyDown ? s_boxShortcutInput.keyDown(VK_CONTROL)
                                      : (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
}

DWORD EffectsFor(const BoxRuntime& runtime)
{
    return IconDragEffects(runtime.UseTargetFolder, runtime.IsLocked, CtrlDown());
}

HWND WindowOf(const BoxWindowPtr& box)
{
    return box ? box->GetHwnd() : nullptr;
}

// The pointer in client pixels of the box window.
POINT CursorInClient(const BoxWindowPtr& box)
{
    POINT p = s_iconDragCursor();
    if (HWND window = WindowOf(box))
        ScreenToClient(window, &p);
    return p;
}

std::pair<float, float> CursorInLayout(const BoxWindowPtr& box)
{
    const POINT p = CursorInClient(box);
    const double scale = DpiScale > 0 ? DpiScale : 1.0;
    return {static_cast<float>(p.x / scale), static_cast<float>(p.y / scale)};
}

void Repaint(const BoxWindowPtr& box)
{
    s_boxWindowHooks.Invalidate(box);
}

// A record that starts a new owner's run inside another box's view is
// headed by that owner's title; every other record has no heading.
void RebuildSectionTexts(KelmIconManager& view)
{
    std::unordered_map<KelmWindow*, std::wstring> titles;
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (!runtime.title.empty())
            titles[window.get()] = runtime.title;
    }
    const KelmWindow* previous = nullptr;
    for (IconRecord& record : view.Records()) {
        record.sectionText.clear();
        KelmWindow* owner = view.EffectiveOwner(record).get();
        if (owner != previous && owner != view.OwnBox().get()) {
            auto found = titles.find(owner);
            if (found != titles.end())
                record.sectionText = found->second;
        }
        previous = owner;
    }
}

// ---------------------------------------------------------------- the placeholder

// The placeholder of this view, or null. A placeholder left in another view
// (a file drag that moved on to this box) is taken out of that view first:
// its index means nothing here.
IconRecord* PlaceholderOf(KelmIconManager& view)
{
    if (s_dragPlaceholder.index == -2)
        return nullptr;
    KelmIconManager* owner = s_dragPlaceholder.manager;
    if (owner != &view) {
        if (KelmIconManager::IsLive(owner)) {
            if (IconRecord* stale = owner->FindByControl(s_dragPlaceholder.control.lock().get())) {
                owner->RemoveById(static_cast<int>(stale->id));
                Repaint(owner->OwnBox());
            }
        }
        ClearDragPlaceholder();
        return nullptr;
    }
    // Found by its control: ids shift when records come or go meanwhile.
    IconRecord* record = view.FindByControl(s_dragPlaceholder.control.lock().get());
    if (!record)
        ClearDragPlaceholder();
    else
        s_dragPlaceholder.index = static_cast<int>(record->id);
    return record;
}

void RemovePlaceholderOf(KelmIconManager& view)
{
    if (IconRecord* placeholder = PlaceholderOf(view))
        view.RemoveById(static_cast<int>(placeholder->id));
    ClearDragPlaceholder();
}

void MarkPlaceholder(KelmIconManager& view, int index, int dragMode)
{
    SetDragPlaceholder(view, index);
    if (IconRecord* record = view.FindById(index))
        view.EnsureControl(*record)->dragMode = dragMode;
}

// ---------------------------------------------------------------- system drags

void DragPaths(const std::vector<std::wstring>& paths, const BoxRuntime& runtime, const BoxWindowPtr& box)
{
    if (!paths.empty())
        s_iconFileDrag(paths, EffectsFor(runtime), WindowOf(box));
}

// The running internal drag ends with the icon back where it was grabbed
// and nothing moved.
void PutIconBack(KelmIconManager& view, const IconRecord& dragged, const BoxWindowPtr& box);

// ---------------------------------------------------------------- Esc during an internal drag

// Puts the icon of the running internal drag back; empty when none runs.
std::function<void()> s_dragCancelAction;

bool EscapeDown()
{
    return s_boxShortcutInput.keyDown ? s_boxShortcutInput.keyDown(VK_ESCAPE)
                                      : (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0;
}

void CancelRunningDrag()
{
    // A copy: the cancel clears the slot.
    const std::function<void()> cancel = s_dragCancelAction;
    if (cancel)
        cancel();
}

// Sees every message the UI thread takes from its queue while an internal
// drag runs. The Esc key is read from the message that carries it, however
// late a busy machine hands it over; a box without the keyboard never gets
// that message, so Esc held at a pointer move counts too.
LRESULT CALLBACK WatchIconDragKeys(int code, WPARAM removal, LPARAM lParam)
{
    if (code == HC_ACTION && removal == PM_REMOVE && s_dragCancelAction) {
        try {
            const MSG& msg = *reinterpret_cast<const MSG*>(lParam);
            const bool escKey = (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.wParam == VK_ESCAPE;
            if (escKey || (msg.message == WM_MOUSEMOVE && EscapeDown()))
                CancelRunningDrag();
        } catch (...) {
            Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"Cancelling an icon drag failed.");
        }
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

HHOOK s_dragKeyHook = nullptr;

void WatchForEscape(std::function<void()> cancel)
{
    s_dragCancelAction = std::move(cancel);
    if (!s_dragKeyHook)
        s_dragKeyHook = SetWindowsHookExW(WH_GETMESSAGE, WatchIconDragKeys, nullptr, GetCurrentThreadId());
}

// Every end of an internal drag stops watching: a box at rest sees no hook.
void StopWatchingForEscape()
{
    s_dragCancelAction = nullptr;
    if (s_dragKeyHook) {
        UnhookWindowsHookEx(s_dragKeyHook);
        s_dragKeyHook = nullptr;
    }
}

} // namespace

DWORD IconDragEffects(bool folderBacked, bool locked, bool ctrlDown)
{
    if (locked || ctrlDown || !folderBacked)
        return DROPEFFECT_COPY;
    return DROPEFFECT_MOVE;
}

int NearestIconSlot(const IconSlotInput& in)
{
    const int count = static_cast<int>(in.positions.size());
    if (count == 0)
        return in.groupFirst;
    const float half = in.edge / 2.0f;
    const float hx = in.listView ? 99999.0f : half;
    const float hy = in.listView ? 15.0f : half;
    double best = 100000.0;
    int index = -1;
    for (int i = 0; i < count; ++i) {
        const auto [rx, ry] = in.positions[static_cast<size_t>(i)];
        const double d = std::hypot(static_cast<double>(in.x - (rx + half)), static_cast<double>(in.y - (ry + half)));
        if (d < best) {
            best = d;
            index = in.groupFirst + i;
            if (in.x > rx + hx || in.y > ry + hy)
                ++index;
        }
    }
    return std::clamp(index, in.groupFirst, in.groupFirst + count);
}

bool IsDirectlyInFolder(const std::wstring& path, const std::wstring& folder)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return SamePathItem(parent.wstring(), folder);
}

// ---------------------------------------------------------------- starting a drag

void BeginIconDrag(KelmIconManager& view, const IconRecord& record)
{
    const IconRecord* found = view.FindById(static_cast<int>(record.id));
    if (!found)
        return;
    const IconRecord r = *found;
    const BoxWindowPtr box = view.OwnBox();
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    const bool selected = runtime->multiSelect && runtime->selection.count(static_cast<int32_t>(r.id)) > 0;
    if (selected) {
        DragPaths(SelectedPaths(*runtime, view), *runtime, box);
        return;
    }
    if (runtime->IsLocked || runtime->searchActive || runtime->SortMode != 0 || runtime->IsPseudoBox()) {
        DragPaths({r.path}, *runtime, box);
        return;
    }

    // A placeholder another view kept from an earlier file drag goes first.
    PlaceholderOf(view);
    runtime->dropPending = true;
    s_dragOverAccepted = true;
    runtime->dragIcon = r.control;
    if (s_droppedFiles.empty())
        s_droppedFiles.push_back(r.path);
    else
        s_droppedFiles.front() = r.path;

    KelmIconManager* viewPtr = &view;
    std::weak_ptr<KelmWindow> weakBox = box;
    s_dragOutAction = [viewPtr, r, weakBox] {
        if (KelmIconManager::IsLive(viewPtr))
            DragIconOutOfBox(*viewPtr, r, weakBox.lock());
    };
    s_dragFinishAction = [viewPtr, r, weakBox] {
        if (KelmIconManager::IsLive(viewPtr))
            MoveIconToBox(*viewPtr, r, weakBox.lock());
    };
    WatchForEscape([viewPtr, r, weakBox] {
        if (KelmIconManager::IsLive(viewPtr))
            CancelIconDrag(*viewPtr, r, weakBox.lock());
        else
            StopWatchingForEscape();
    });

    // The grabbed icon is replaced in its slot by a fresh record with a
    // control of its own: the placeholder, hidden while the grabbed control
    // is painted at the pointer.
    view.RemoveById(static_cast<int>(r.id));
    view.AddRecordForEntry(static_cast<int>(r.id), r.path, r.x, r.y, r.alias, r.merged, L"", r.owner, true,
                           r.originalPath);
    RebuildSectionTexts(view);
    if (view.FindById(static_cast<int>(r.id)))
        MarkPlaceholder(view, static_cast<int>(r.id), 2);
    Repaint(box);
}

// ---------------------------------------------------------------- moving the placeholder

void UpdateIconDragState(KelmIconManager& view, const IconRecord& hovered)
{
    const BoxWindowPtr box = view.OwnBox();
    const BoxRuntime* runtime = FindBoxRuntime(box);
    // The quick panel's views take file drags their own way.
    if (!runtime || runtime->IsPseudoBox() || (!runtime->dropPending && !s_dragOverAccepted) || runtime->SortMode != 0)
        return;
    if (!s_dragOverAccepted || s_droppedFiles.empty())
        return;
    IconRecord* placeholder = PlaceholderOf(view);
    if (placeholder && placeholder->control == hovered.control)
        return;
    if (!view.FindByControl(hovered.control.get()))
        return;
    const IconRecord r = hovered;

    // The slot among the records of the hovered icon's owner, counted as if
    // the placeholder were not in the list.
    const KelmWindow* owner = view.EffectiveOwner(r).get();
    const int placeholderIndex = placeholder ? static_cast<int>(placeholder->id) : -1;
    IconSlotInput slot;
    slot.edge = static_cast<float>(view.GetIconSize());
    slot.listView = runtime->IsListView;
    std::tie(slot.x, slot.y) = CursorInLayout(box);
    int first = -1;
    int last = -1;
    int counted = 0;
    for (const IconRecord& record : view.Records()) {
        if (static_cast<int>(record.id) == placeholderIndex)
            continue;
        if (view.EffectiveOwner(record).get() == owner) {
            if (first == -1)
                first = counted;
            last = counted;
        }
        ++counted;
    }
    int index = static_cast<int>(r.id) - (placeholderIndex != -1 && placeholderIndex < static_cast<int>(r.id) ? 1 : 0);
    if (first != -1) {
        slot.groupFirst = first;
        counted = 0;
        for (const IconRecord& record : view.Records()) {
            if (static_cast<int>(record.id) == placeholderIndex)
                continue;
            if (counted >= first && counted <= last)
                slot.positions.emplace_back(record.x, record.y);
            ++counted;
        }
        index = NearestIconSlot(slot);
    }

    float startX = slot.x;
    float startY = slot.y;
    if (placeholder) {
        if (index == placeholderIndex)
            return;
        startX = placeholder->x;
        startY = placeholder->y;
        view.RemoveById(placeholderIndex);
        ClearDragPlaceholder();
    }
    const size_t before = view.Records().size();
    view.AddRecordForEntry(index, s_droppedFiles.front(), startX, startY, L"bvn!NULL", r.merged, L"", r.owner, false,
                           L"bvn!NULL");
    RebuildSectionTexts(view);
    // Nothing was inserted (the box already holds that file): there is no
    // placeholder, and no record of the box may be taken for one.
    if (view.Records().size() > before)
        MarkPlaceholder(view, index, runtime->dropPending ? 2 : 1);
    Repaint(box);
}

void DropIconAtCursor(KelmIconManager& view, const IconRecord& record, const std::wstring& path)
{
    const IconRecord* found = view.FindById(static_cast<int>(record.id));
    if (!found)
        return;
    const IconRecord r = *found;
    const auto [x, y] = CursorInLayout(view.OwnBox());
    view.AddRecordForEntry(static_cast<int>(r.id), path, x, y, L"bvn!NULL", r.merged, r.sectionText, r.owner, false,
                           L"bvn!NULL");
    RemovePlaceholderOf(view);
    Repaint(view.OwnBox());
    SaveBoxIcons(view);
}

// ---------------------------------------------------------------- the two ends of an internal drag

void DragIconOutOfBox(KelmIconManager& view, const IconRecord& dragged, const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !runtime->dropPending)
        return;
    // The system drag reads Esc itself.
    StopWatchingForEscape();
    runtime->dropPending = false;
    runtime->dragIcon.reset();
    s_droppedFiles.clear();
    RemovePlaceholderOf(view);
    // The icon is back in its place before the system drag takes over.
    view.AddRecordForEntry(static_cast<int>(dragged.id), dragged.path, dragged.x, dragged.y, dragged.alias,
                           dragged.merged, dragged.sectionText, dragged.owner, true, dragged.originalPath);
    Repaint(box);
    s_iconFileDrag({dragged.path}, EffectsFor(*runtime), WindowOf(box));
    // The drag may have ended with the box gone.
    if (BoxRuntime* after = FindBoxRuntime(box))
        after->dropPending = false;
    s_dragOverAccepted = false;
}

void MoveIconToBox(KelmIconManager& view, const IconRecord& dragged, const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !runtime->dropPending)
        return;
    StopWatchingForEscape();
    runtime->dragIcon.reset();
    s_droppedFiles.clear();
    const POINT cursor = CursorInClient(box);

    BoxWindowPtr owner = view.EffectiveOwner(dragged);
    bool merged = dragged.merged;
    std::wstring section = dragged.sectionText;
    IconRecord* placeholder = PlaceholderOf(view);
    if (placeholder) {
        owner = view.EffectiveOwner(*placeholder);
        merged = placeholder->merged;
        section = placeholder->sectionText;
    }

    std::wstring path = dragged.path;
    std::wstring originalPath = dragged.originalPath;
    const BoxRuntime* target = FindBoxRuntime(owner);
    // A link the system does not show as one is not moved: the move would
    // take the file behind it. The record joins the box as it is.
    // Nor is another box's folder (or a folder holding one), nor the
    // program's own data (a box may show a folder of it): that box, or the
    // program, would lose them; the user hears why it stayed.
    const bool boxFolder = [&] {
        if (!target || !target->UseTargetFolder || !PathExists(dragged.path) ||
            IsDirectlyInFolder(dragged.path, target->TargetFolder))
            return false;
        const FolderRelation relation = GuardOfBoxFolders(target->TargetFolder).BoxFolder(FullPathOf(dragged.path));
        if (relation == FolderRelation::Unrelated)
            return false;
        BoxFolderNames names;
        names.Add(dragged.path, relation);
        NotifyUser(L"drag-box-folder", names.Text(L"放进这个收纳盒"));
        return true;
    }();
    if (boxFolder) {
        CancelIconDrag(view, dragged, box);
        return;
    }
    const double scale = DpiScale > 0 ? DpiScale : 1.0;
    const float x = static_cast<float>(cursor.x / scale);
    const float y = static_cast<float>(cursor.y / scale);
    if (target && target->UseTargetFolder && PathExists(dragged.path) &&
        !IsDirectlyInFolder(dragged.path, target->TargetFolder) && EntryIsItself(dragged.path)) {
        const std::filesystem::path source(dragged.path);
        DraggedFileMove move;
        move.box = box;
        move.source = dragged.path;
        move.destination =
            FreePasteName(target->TargetFolder, source.stem().wstring(), source.extension().wstring(), PathExists);
        move.index = placeholder ? static_cast<int>(placeholder->id) : static_cast<int>(dragged.id);
        move.x = x;
        move.y = y;
        move.alias = dragged.alias;
        // The file will know where it came from, so it can go back.
        move.originalPath = originalPath == L"bvn!NULL" ? dragged.path : originalPath;
        move.merged = merged;
        move.section = section;
        move.owner = owner;
        // A copy to another volume may take long: the icon waits in its old
        // place and follows once its file has moved; should the move fail it
        // stays there, and the user hears why.
        s_dragFinishAction = nullptr;
        PutIconBack(view, dragged, box);
        StartDraggedFileMove(std::move(move));
        return;
    }

    int index = static_cast<int>(dragged.id);
    if (placeholder) {
        index = static_cast<int>(placeholder->id);
        view.RemoveById(index);
        ClearDragPlaceholder();
    } else {
        view.RemoveById(index);
    }
    view.AddRecordForEntry(index, path, x, y, dragged.alias, merged, section, owner, true, originalPath);
    SaveBoxIcons(view);
    if (BoxRuntime* after = FindBoxRuntime(box))
        after->dropPending = false;
    s_dragOverAccepted = false;
    Repaint(box);
}

void CancelIconDrag(KelmIconManager& view, const IconRecord& dragged, const BoxWindowPtr& box)
{
    StopWatchingForEscape();
    s_dragFinishAction = nullptr;
    PutIconBack(view, dragged, box);
}

namespace
{

void PutIconBack(KelmIconManager& view, const IconRecord& dragged, const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !runtime->dropPending)
        return;
    runtime->dropPending = false;
    runtime->dragIcon.reset();
    s_droppedFiles.clear();
    s_dragOverAccepted = false;
    RemovePlaceholderOf(view);
    view.AddRecordForEntry(static_cast<int>(dragged.id), dragged.path, dragged.x, dragged.y, dragged.alias,
                           dragged.merged, dragged.sectionText, dragged.owner, true, dragged.originalPath);
    RebuildSectionTexts(view);
    Repaint(box);
}

} // namespace

// ---------------------------------------------------------------- the box window's side

bool RunIconDragOut(const BoxWindowPtr& box)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !runtime->dropPending || !s_dragOutAction)
        return false;
    // Esc held as the pointer leaves: the drag ends here, no system drag.
    if (EscapeDown()) {
        CancelRunningDrag();
        return true;
    }
    // A copy: the drag may re-arm the slot.
    const std::function<void()> action = s_dragOutAction;
    action();
    return true;
}

void FinishIconDragOnRelease(const BoxWindowPtr& box, bool leftButtonDown)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !runtime->dropPending || !s_dragOverAccepted || leftButtonDown || !s_dragFinishAction)
        return;
    std::function<void()> finish = std::move(s_dragFinishAction);
    s_dragFinishAction = nullptr;
    finish();
}
