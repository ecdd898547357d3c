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

// Text of a double as the store writes it (six significant digits, "%g").
std::wstring FormatStoreDouble(double value);

KelmStorageNestedObject ConvertParsedObject(const bvn::parser::basic_object<wchar_t>& parsed);

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
