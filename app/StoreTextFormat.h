// The store's text format: the writer that turns a store tree into layout
// text, and the conversion of parsed layout text back into a tree.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/KelmStorage.h"
#include "app/LayoutTextParser.h"

// One object being written: scalars as ready value texts, then children.
struct KelmStorageTextNode {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    std::vector<std::unique_ptr<KelmStorageTextNode>> children;
    KelmStorageTextNode* parent = nullptr;
};

std::wstring WriteStoreDocument(const std::vector<std::unique_ptr<KelmStorageTextNode>>& roots);
// Appends one node and its children to the document text.
void WriteTextNode(const KelmStorageTextNode& node, std::wstring& out, int level);
void BuildTextNode(KelmStorageTextNode& node, const KelmStorageNestedObject& object);
void WriteValueText(KelmStorageTextNode& node, const std::wstring& key, const KelmStorageValue& value);
void WriteDoubleEntry(KelmStorageTextNode& node, const std::wstring& key, double value);
void WriteStringEntry(KelmStorageTextNode& node, const std::wstring& key, const std::wstring& value);
void AppendTextEntry(KelmStorageTextNode& node, const std::wstring& key, std::wstring valueText);

// The value text the writer puts down for a text: between double quotes,
// each backslash doubled unless the text already holds a doubled one (so a
// path settles in one form). A text this form would not give back as it
// is goes in the exact form (see exact_text): one holding a double quote
// that would end it early, and one that would be read back as a number or
// a bool ("2024", "-0", "007", "true") or lose the blanks at its ends.
std::wstring StoreTextValue(const std::wstring& value);

// A text the user typed (a title, an alias) as it is kept in a store, and
// back. The store reads single backslashes back doubled, so typed text is
// kept with every backslash doubled and halved when read; a stored text
// with an odd run of backslashes was never doubled and is shown as it is.
std::wstring TypedTextToStore(const std::wstring& typed);
std::wstring TypedTextFromStore(const std::wstring& stored);
// A typed text read back from a member of a stored object (null: none).
// Files written before such texts took the exact form hold a title of
// digits, or "true"/"false", bare: it reads back as a number or a bool and
// must not come back as the fallback.
std::wstring TypedTextMember(const KelmStorageNestedObject* object, const std::wstring& key,
                             const std::wstring& fallback);

// Text of a double as the store writes it (six significant digits, "%g").
std::wstring FormatStoreDouble(double value);

KelmStorageNestedObject ConvertParsedObject(const bvn::parser::basic_object<wchar_t>& parsed);

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
// The text of a store file's bytes (LF line ends). Text that is not UTF-8
// (a line an editor saved in the system's legacy code page) would become
// U+FFFD characters: each such line is read in the system's ANSI code page
// instead, and linesNotUtf8 counts them (0 for a file that is all UTF-8).
std::wstring StoreBytesToText(const std::string& bytes, int& linesNotUtf8);
