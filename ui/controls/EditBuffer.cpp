#include "ui/controls/EditBuffer.h"

#include <algorithm>

EditTextRules::Range EditBuffer::Selection() const
{
    return EditTextRules::SelectionRange(anchor, end, static_cast<int>(text.size()));
}

std::wstring EditBuffer::SelectedText() const
{
    const auto range = Selection();
    return text.substr(static_cast<size_t>(range.start), static_cast<size_t>(range.count));
}

void EditBuffer::Clear()
{
    text.clear();
    caret = anchor = end = 0;
}

void EditBuffer::CollapseTo(int index)
{
    caret = anchor = end = std::clamp(index, 0, static_cast<int>(text.size()));
}

void EditBuffer::MoveCaret(int to, bool extend)
{
    caret = to;
    if (!extend)
        anchor = caret;
    end = caret;
}

void EditBuffer::SelectAll()
{
    anchor = 0;
    caret = end = static_cast<int>(text.size());
}

void EditBuffer::DeleteSelection()
{
    if (!HasSelection())
        return;
    const auto range = Selection();
    text.erase(static_cast<size_t>(range.start), static_cast<size_t>(range.count));
    caret = anchor = end = range.start;
}

void EditBuffer::Type(const std::wstring& typed)
{
    DeleteSelection();
    const int at = std::clamp(caret, 0, static_cast<int>(text.size()));
    text.insert(static_cast<size_t>(at), typed);
    caret = anchor = end = at + static_cast<int>(typed.size());
}

void EditBuffer::Backspace()
{
    if (HasSelection()) {
        DeleteSelection();
    } else if (caret > 0) {
        const int from = EditTextRules::PreviousCharBoundary(text, caret);
        text.erase(static_cast<size_t>(from), static_cast<size_t>(caret - from));
        caret = from;
    }
    anchor = end = caret;
}

void EditBuffer::DeleteForward()
{
    if (HasSelection()) {
        DeleteSelection();
    } else if (caret < static_cast<int>(text.size())) {
        const int to = EditTextRules::NextCharBoundary(text, caret);
        text.erase(static_cast<size_t>(caret), static_cast<size_t>(to - caret));
    }
    anchor = end = caret;
}
