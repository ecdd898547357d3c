// The pure rules of the magnet window: which top-level windows count as
// file dialogs, where the window docks, the slots and drag swaps of its
// rows, the stored row order, the dialog's type filter and the icon labels.
// No window is touched here.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace TessikMagWin
{

// The 29 title parts of the dialogs the magnet window docks beside, built
// once.
const std::vector<std::wstring>& FileDialogTitles();
// The parts the dialog automation looks for: without "选择文件夹", and
// without "位置" as well when withLocation is false.
const std::vector<std::wstring>& AutomationDialogTitles(bool withLocation);
// The title holds one of the entries (case-sensitive substring).
bool TitleMatchesAny(const std::wstring& title, const std::vector<std::wstring>& entries);
// "保存", "Save" or "另存" in the title: a save dialog's layout; anything
// else is looked at as an open dialog.
bool IsSaveDialogTitle(const std::wstring& title);
// A dialog that may be confirmed once its file name is set: its OK button
// reads "open" in one of the known languages (without "&" and marks such
// as "(&O)") and its title holds no save or export word (whole words, any
// case). Every other dialog may write a file and is left for the user to
// confirm.
bool IsKnownOpenDialog(const std::wstring& title, const std::wstring& okButtonText);

// What a file dialog shows of itself, as read from its windows.
struct DialogFace {
    std::wstring title;    // the whole title
    std::wstring okButton; // the text of the IDOK button
    // The texts of the dialog's own labels ("Look in:" or "Save in:", the
    // type label): a Save dialog names itself there even when its program
    // gave it the title and button of an Open dialog.
    std::vector<std::wstring> labels;
    // The newer dialogs keep the name field inside their view only when
    // they save.
    bool nameFieldInView = false;
    // The classic dialogs' folder label (stc4): "Look &in:" in an Open
    // dialog, "Save &in:" in a Save dialog; empty when there is none.
    std::wstring folderLabel;
    // The newer dialogs' view, and a name field of the dialog's own
    // outside it: together the structure of the newer Open dialog.
    bool newerLayout = false;
    bool nameFieldOutsideView = false;
};
// The folder label reads as an Open dialog's in a known language (Wine's
// and Windows' wording, the mnemonic and the colon left out). A label that
// is blank, relabelled or in another language is no evidence.
bool IsOpenDialogFolderLabel(const std::wstring& label);
// A dialog that may be confirmed: it shows itself as an Open dialog, by
// its folder label or by the newer Open dialog's structure, and as above,
// and no label names saving. Anything in doubt is not.
bool IsKnownOpenDialog(const DialogFace& face);

// The same folder, ignoring case, "/" for "\" and a trailing separator.
bool SameFolderPath(const std::wstring& a, const std::wstring& b);
// The folder an address bar shows in its text ("Address: C:\Docs"): what
// follows its label; empty without one.
std::wstring FolderOfAddressText(const std::wstring& text);

struct DockRect {
    int x, y, w, h;
    bool operator==(const DockRect&) const = default;
};
// The magnet window's rectangle beside a dialog: 5 pixels right of it, or
// 5 pixels left of it when it would pass the primary screen's width.
DockRect DockBesideDialog(const RECT& dialog, int screenWidth, double scale);
// The icon window under a magnet window rectangle.
DockRect IconWindowBelow(const RECT& magnet, double scale);

// Row slots: 40 high, 5 apart, 10 below the list origin.
float RowSlotY(int index);
// The slot a dragged row at y takes: the first other index whose slot
// centre lies within 20 of the row's centre, or -1.
int DragSwapIndex(int draggedIndex, float draggedY, int rowCount);

// The ids stored as "idx_0", "idx_1", ... up to the first gap.
std::vector<std::wstring> ReadRowOrder();
// Replaces "Order" with one key per id, in order, and saves the store;
// false when the save failed.
bool WriteRowOrder(const std::vector<std::wstring>& ids);
// The display order: the stored ids that are present, then the others in
// ascending order. present must be sorted ascending.
std::vector<std::wstring> OrderRowIds(const std::vector<std::wstring>& stored,
                                      const std::vector<std::wstring>& present);

// The patterns of a type filter text: what lies between the first "(" and
// the first ")" (or the whole text), split at ";", trimmed, empties gone.
std::vector<std::wstring> ParseFilterPatterns(const std::wstring& text);
// Whether a file passes the patterns: "*" and "*.*" pass everything with
// a dot, otherwise the suffix from the path's last dot must equal a pattern
// (ignoring case). A path without a dot fails, except under "*".
bool PathPassesPatterns(const std::vector<std::wstring>& patterns, const std::wstring& path);
// A type filter text: it holds "*" or "(".
bool LooksLikeFilterText(const std::wstring& text);
// Whether a file dialog's name field text names no file the dialog could
// write: empty or blank, a wildcard pattern (taken as a filter), or a
// folder (ending in a separator).
bool NamesNothingToWrite(const std::wstring& text);

// The icon label: the alias, or the path's last part when there is none,
// cut to 8 UTF-16 units followed by "..." when longer.
std::wstring IconWindowLabel(const std::wstring& alias, const std::wstring& path);

} // namespace TessikMagWin
