// Pasting the clipboard into a box: a file list (copied into a
// folder-backed box, recorded where it is in any other box), Unicode text
// written as "剪贴板文本.txt" and a bitmap written as "剪贴板图片.png" (both
// only into a folder-backed box). Ctrl+V goes through a one-shot timer,
// the background menu calls PasteIntoBox. UI thread only, apart from the
// copy worker.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "box/PendingBoxTimer.h"

class KelmWindow;
namespace TessikDesktopContainer
{
class KelmIconManager;
}

void CALLBACK PasteFromClipboardTimer(HWND hwnd, UINT message, UINT_PTR timerId, DWORD time);
// The box whose Ctrl+V waits for PasteFromClipboardTimer.
extern PendingBoxTimer s_pendingPaste;

// The background menu's paste: the new records go beside the icon nearest
// the cursor, in that icon's section.
void PasteIntoBox(const std::shared_ptr<KelmWindow>& box, TessikDesktopContainer::KelmIconManager& manager);

// The file list of a Ctrl+V, however it was read from the clipboard: the
// same-name question, the copy worker, records and undo records. Into a
// box's folder its entries are looked at on a thread of their own first;
// the plan, the question and the job follow on the UI thread.
void PasteFilesIntoBox(const std::shared_ptr<KelmWindow>& box, TessikDesktopContainer::KelmIconManager& manager,
                       const std::vector<std::wstring>& paths);

// Where the records of a paste from another view of the box go (the quick
// panel, which lists the box's records in the box's order): an index of
// the box's list, a point (DIP) and the owner of the section there.
struct PastePlacement {
    int insertIndex = 0;
    float x = 0.0f, y = 0.0f;
    std::shared_ptr<KelmWindow> owner;
};
// The same road as PasteFilesIntoBox, the records placed at `at`.
void PasteFilesIntoBoxAt(const std::shared_ptr<KelmWindow>& box, TessikDesktopContainer::KelmIconManager& manager,
                         const std::vector<std::wstring>& paths, const PastePlacement& at);

// A paste's entries are being looked at before its plan is made: it is
// still pending.
bool PasteBeingLookedAt();

// folder + "\" + stem + extension, or the first free stem + " (n)" +
// extension for n = 1, 2, 3 ...
std::wstring FreePasteName(const std::wstring& folder, const std::wstring& stem, const std::wstring& extension,
                           const std::function<bool(const std::wstring&)>& exists);

// The bytes of a pasted text file: the UTF-8 byte order mark and the text
// in UTF-8, without a terminating null.
std::string PastedTextBytes(const std::wstring& text);
