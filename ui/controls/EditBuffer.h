// The text of an edit box with its caret and selection, and the edits that
// the single-line and the multi-line box make the same way. Indices are
// UTF-16 units and stay on whole characters. No window, no drawing.
#pragma once

#include <string>

#include "ui/controls/EditTextRules.h"

struct EditBuffer {
    std::wstring text;
    int caret = 0;
    int anchor = 0;
    int end = 0; // the caret side of the selection

    bool HasSelection() const { return anchor != end; }
    EditTextRules::Range Selection() const;
    std::wstring SelectedText() const;
    // Empties the text; the caret goes to 0.
    void Clear();
    // Puts the caret at the index (clamped to the text) with an empty selection.
    void CollapseTo(int index);
    // Moves the caret; with extend the selection grows from its anchor,
    // otherwise it collapses onto the caret.
    void MoveCaret(int to, bool extend);
    void SelectAll();
    void DeleteSelection();
    // Replaces the selection (or inserts at the caret) with the text.
    void Type(const std::wstring& typed);
    // Removes the selection, or the whole character before the caret.
    void Backspace();
    // Removes the selection, or the whole character after the caret.
    void DeleteForward();
};
