#include "box/BoxBackgroundMenu.h"

#include <shellapi.h>

#include <cmath>
#include <string>

#include "box/BoxNewFiles.h"
#include "box/BoxSortLock.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/fileops/UndoRedo.h"
#include "ui/controls/KelmMenu.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

namespace TessikDesktopContainer
{

namespace
{

constexpr int kMenuWidth = 160;

std::wstring Glyph(wchar_t code)
{
    return std::wstring(L":") + code + L":";
}

bool ClipboardHasContent()
{
    return IsClipboardFormatAvailable(CF_HDROP) || IsClipboardFormatAvailable(CF_UNICODETEXT) ||
           IsClipboardFormatAvailable(CF_BITMAP);
}

// The folder and command-line entries; spaces: the run after the glyph.
void AddFolderEntries(std::vector<Brevin::KelmOption>& options, const BoxWindowPtr& box, const std::wstring& spaces)
{
    std::weak_ptr<KelmWindow> weak = box;
    options.emplace_back(
        Glyph(L'\xF07C') + spaces + L"打开目录", [weak] { OpenBoxFolder(weak.lock()); }, 1);
    options.emplace_back(
        Glyph(L'\xF120') + spaces + L"命令行", [weak] { OpenBoxCommandLine(weak.lock()); }, 1);
}

} // namespace

BoxWindowPtr UndoTargetAt(const BoxWindowPtr& box, const KelmIconManager* manager, POINT p)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !runtime->IsIntegrated || !manager || manager->Records().empty())
        return box;
    POINT q = p;
    ScreenToClient(box->GetHwnd(), &q);
    const double x = q.x / DpiScale, y = q.y / DpiScale;
    double best = 999999.0;
    const IconRecord* nearest = nullptr;
    for (const IconRecord& record : manager->Records()) {
        const double distance = std::hypot(record.x - x, record.y - y);
        if (distance < best) {
            best = distance;
            nearest = &record;
        }
    }
    return nearest && nearest->owner ? nearest->owner : box;
}

std::vector<Brevin::KelmOption> BoxBackgroundMenuOptions(const BoxWindowPtr& box, KelmIconManager* manager, POINT p)
{
    using Brevin::KelmOption;
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return {};
    std::weak_ptr<KelmWindow> weak = box;
    std::vector<KelmOption> options;
    if (runtime->IsLocked) {
        options.emplace_back(
            Glyph(L'\xF09C') + L"     解除锁定",
            [weak] {
                if (BoxWindowPtr locked = weak.lock())
                    UnlockBox(locked);
            },
            1);
        if (runtime->UseTargetFolder)
            AddFolderEntries(options, box, L"     ");
        return options;
    }
    if (runtime->UseTargetFolder) {
        std::vector<KelmOption> kinds;
        for (const NewItemKind& kind : NewItemKinds()) {
            kinds.emplace_back(
                kind.label,
                [weak, p, kind] {
                    // Looked up at the click: the view may have gone meanwhile.
                    BoxWindowPtr locked = weak.lock();
                    auto view = s_boxIconManagers.find(locked);
                    if (locked && view != s_boxIconManagers.end())
                        CreateNewFileInBox(locked, &view->second, p, kind.baseName, kind.extension, kind.isFolder);
                },
                1);
        }
        options.emplace_back(Glyph(L'\xF067') + L"      新建          " + Glyph(L'\x203A'), std::move(kinds));
    }
    const bool canPaste = ClipboardHasContent() && !runtime->searchActive;
    options.emplace_back(
        Glyph(L'\xF0EA') + L"      粘贴",
        [weak] {
            // Looked up at the click: the view may have gone meanwhile.
            BoxWindowPtr locked = weak.lock();
            auto view = s_boxIconManagers.find(locked);
            if (locked && view != s_boxIconManagers.end())
                PasteIntoBox(locked, view->second);
        },
        canPaste ? 1 : 0);

    const BoxWindowPtr target = UndoTargetAt(box, manager, p);
    const BoxRuntime* targetRuntime = FindBoxRuntime(target);
    const bool canUndo = targetRuntime && !targetRuntime->undoList.empty();
    const bool canRedo = targetRuntime && !targetRuntime->redoList.empty();
    std::weak_ptr<KelmWindow> weakTarget = target;
    KelmOption row(
        L"", [] {}, 1);
    row.sideList.emplace_back(
        Glyph(L'\xF0E2') + L" 撤销", [weak, weakTarget] { UndoLastFileOperation(weak.lock(), weakTarget.lock()); },
        canUndo ? 1 : 0);
    row.sideList.emplace_back(
        Glyph(L'\xF01E') + L" 重做", [weak, weakTarget] { RedoLastFileOperation(weak.lock(), weakTarget.lock()); },
        canRedo ? 1 : 0);
    options.push_back(std::move(row));
    if (runtime->UseTargetFolder)
        AddFolderEntries(options, box, L"      ");
    return options;
}

void ShowBoxBackgroundMenu(const BoxWindowPtr& box, KelmIconManager* manager)
{
    if (!FindBoxRuntime(box))
        return;
    POINT p{};
    GetCursorPos(&p);
    KelmMenu::Show(box->GetHwnd(), p.x, p.y, BoxBackgroundMenuOptions(box, manager, p), kMenuWidth, 0);
}

void OpenBoxFolder(const BoxWindowPtr& box)
{
    if (const BoxRuntime* runtime = FindBoxRuntime(box))
        ShellExecuteW(nullptr, L"open", runtime->TargetFolder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenBoxCommandLine(const BoxWindowPtr& box)
{
    if (const BoxRuntime* runtime = FindBoxRuntime(box))
        ShellExecuteW(nullptr, L"open", L"powershell.exe", nullptr, runtime->TargetFolder.c_str(), SW_SHOWNORMAL);
}

} // namespace TessikDesktopContainer
