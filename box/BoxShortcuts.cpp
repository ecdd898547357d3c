#include "box/BoxShortcuts.h"

#include <shlobj.h>

#include <cmath>
#include <optional>
#include <set>

#include "box/GroupTagColourPopup.h"
#include "box/fileops/DeleteSelected.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/fileops/UndoList.h"
#include "box/fileops/UndoRedo.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmDragHelper.h"
#include "ui/core/KelmWindow.h"

using TessikDesktopContainer::KelmIconManager;

BoxShortcutInput s_boxShortcutInput{
    [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; },
    [] { return GetForegroundWindow(); },
    [] { Sleep(150); },
};

std::function<void(const BoxWindowPtr&, const BoxWindowPtr&)> s_undoFileOperationHook = UndoLastFileOperation;
std::function<void(const BoxWindowPtr&, const BoxWindowPtr&)> s_redoFileOperationHook = RedoLastFileOperation;

namespace
{

// One latch per latched shortcut, shared by all boxes: it fires once when
// its keys go down and again only after they were released.
struct Latches {
    bool undo = false;
    bool redo = false;
    bool paste = false;
    bool groupTag = false;
    bool del = false;
} s_latches;

bool Down(int key)
{
    return s_boxShortcutInput.keyDown && s_boxShortcutInput.keyDown(key);
}

void Pause()
{
    if (s_boxShortcutInput.pause)
        s_boxShortcutInput.pause();
}

bool HasKeyboard(const BoxWindowPtr& box, const BoxRuntime& runtime)
{
    if (runtime.keysOff)
        return false;
    const HWND foreground = s_boxShortcutInput.foreground ? s_boxShortcutInput.foreground() : nullptr;
    if (runtime.inputWindow && foreground == runtime.inputWindow)
        return true;
    return foreground && foreground == box->GetHwnd();
}

// An integrated box undoes in the box whose record is nearest the cursor.
BoxWindowPtr UndoTarget(const BoxWindowPtr& box, const BoxRuntime& runtime, const KelmIconManager& manager)
{
    if (!runtime.IsIntegrated)
        return box;
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(box->GetHwnd(), &cursor);
    const float x = static_cast<float>(cursor.x / DpiScale), y = static_cast<float>(cursor.y / DpiScale);
    float best = 999999.0f;
    BoxWindowPtr target = box;
    for (const IconRecord& record : manager.Records()) {
        const float dx = record.x - x, dy = record.y - y;
        const float distance = std::sqrt(dx * dx + dy * dy);
        if (distance < best) {
            best = distance;
            target = record.owner ? record.owner : box;
        }
    }
    return target;
}

// The one way the keys reach undo and redo.
void UndoOrRedoByKey(const BoxWindowPtr& box, const BoxWindowPtr& target, bool redo)
{
    const auto& hook = redo ? s_redoFileOperationHook : s_undoFileOperationHook;
    if (hook)
        hook(box, target);
}

void SelectAll(const BoxWindowPtr& box, BoxRuntime& runtime, KelmIconManager& manager)
{
    KelmIconManager& view = SelectionView(box, runtime, manager);
    runtime.multiSelect = true;
    runtime.selection.clear();
    for (const IconRecord& record : view.Records())
        runtime.selection.insert(static_cast<int32_t>(record.id));
    RepaintBoxWindows(box);
}

void InvertSelection(const BoxWindowPtr& box, BoxRuntime& runtime, KelmIconManager& manager)
{
    KelmIconManager& view = SelectionView(box, runtime, manager);
    std::set<int32_t> inverted;
    for (const IconRecord& record : view.Records())
        if (!runtime.selection.count(static_cast<int32_t>(record.id)))
            inverted.insert(static_cast<int32_t>(record.id));
    runtime.selection = std::move(inverted);
    RepaintBoxWindows(box);
}

} // namespace

KelmIconManager& SelectionView(const BoxWindowPtr& box, const BoxRuntime& runtime, KelmIconManager& own)
{
    if (runtime.SearchFilters()) {
        auto search = s_boxSearchManagers.find(box);
        if (search != s_boxSearchManagers.end())
            return search->second;
    }
    return own;
}

std::vector<std::wstring> SelectedPaths(const BoxRuntime& runtime, KelmIconManager& view)
{
    std::vector<std::wstring> paths;
    for (int32_t id : runtime.selection)
        if (const IconRecord* record = view.FindById(id))
            paths.push_back(record->path);
    return paths;
}

void PutFilesOnClipboard(HWND owner, const std::vector<std::wstring>& paths, bool cut)
{
    if (paths.empty() || !OpenClipboard(owner))
        return;
    EmptyClipboard();
    if (HGLOBAL files = KelmDragHelper::BuildDropFilesBlock(paths)) {
        if (!SetClipboardData(CF_HDROP, files))
            GlobalFree(files);
        else if (cut) {
            const UINT format = RegisterClipboardFormatW(L"Preferred DropEffect");
            if (HGLOBAL effect = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DWORD))) {
                if (auto* value = static_cast<DWORD*>(GlobalLock(effect))) {
                    *value = DROPEFFECT_MOVE;
                    GlobalUnlock(effect);
                }
                if (!SetClipboardData(format, effect))
                    GlobalFree(effect);
            }
        }
    }
    CloseClipboard();
}

void RunBoxShortcuts(KelmIconManager& manager, const BoxWindowPtr& box)
{
    BoxRuntime* found = FindBoxRuntime(box);
    if (!found || !box)
        return;
    BoxRuntime& runtime = *found;
    // While the shell asks about the box's records (its message loop paints
    // the box), no shortcut may change them. Asked only once a shortcut's
    // keys are down: every paint runs this, and which window is in front is
    // a question to the window system that may wait while files are moved.
    std::optional<bool> hasKeys;
    auto active = [&] {
        if (!hasKeys)
            hasKeys = HasKeyboard(box, runtime) && !BoxQuestionOpen(box);
        return *hasKeys;
    };
    const bool ctrl = Down(VK_CONTROL);

    if (!Down('Z'))
        s_latches.undo = false;
    else if (ctrl && !s_latches.undo && active()) {
        s_latches.undo = true;
        UndoOrRedoByKey(box, UndoTarget(box, runtime, manager), false);
    }
    if (!Down('Y'))
        s_latches.redo = false;
    else if (ctrl && !s_latches.redo && active()) {
        s_latches.redo = true;
        UndoOrRedoByKey(box, UndoTarget(box, runtime, manager), true);
    }
    if (ctrl && Down('A') && active()) {
        SelectAll(box, runtime, manager);
        Pause();
    }
    if (!(ctrl && Down('V')))
        s_latches.paste = false;
    else if (!(runtime.IsLocked && runtime.searchActive) && !s_latches.paste && active()) {
        s_latches.paste = true;
        if (!s_pendingPaste.Pending())
            s_pendingPaste.Arm(box);
    }
    if (!Down('L'))
        s_latches.groupTag = false;
    else if (!ctrl && !s_latches.groupTag && active()) {
        s_latches.groupTag = true;
        if (!s_pendingGroupTag.Pending())
            s_pendingGroupTag.Arm(box);
    }
    if (runtime.multiSelect && Down(VK_ESCAPE) && active()) {
        runtime.multiSelect = false;
        runtime.selection.clear();
        RepaintBoxWindows(box);
    }
    if (runtime.multiSelect && ctrl && Down('U') && active()) {
        InvertSelection(box, runtime, manager);
        Pause();
    }
    if (!Down(VK_DELETE))
        s_latches.del = false;
    else if (runtime.multiSelect && !runtime.selection.empty() && !runtime.IsLocked && !s_latches.del && active()) {
        s_latches.del = true;
        if (!s_pendingDelete.Pending())
            s_pendingDelete.Arm(box);
    }
    const bool copyKeys = runtime.multiSelect && !runtime.selection.empty() && ctrl;
    if (copyKeys && Down('C') && active()) {
        PutFilesOnClipboard(box->GetHwnd(), SelectedPaths(runtime, SelectionView(box, runtime, manager)), false);
        Pause();
    }
    if (copyKeys && Down('X') && active()) {
        if (!runtime.IsLocked && !runtime.BackingFolder().empty())
            PutFilesOnClipboard(box->GetHwnd(), SelectedPaths(runtime, SelectionView(box, runtime, manager)), true);
        Pause();
    }
}
