#include "app/StoreTextFormat.h"

#include <windows.h>

#include <charconv>
#include <climits>
#include <iostream>

namespace
{

std::wstring TrimStoreText(const std::wstring& text)
{
    const wchar_t* blanks = L" \t\n\r";
    const size_t begin = text.find_first_not_of(blanks);
    if (begin == std::wstring::npos)
        return std::wstring();
    const size_t end = text.find_last_not_of(blanks);
    return text.substr(begin, end - begin + 1);
}

// Texts read back as their most specific type: "true" and "false" as bools,
// whole numbers that fit 32 bits as ints; anything with a "." stays text.
KelmStorageValue ConvertParsedText(const std::wstring& raw)
{
    std::wstring text = TrimStoreText(raw);
    if (text == L"true")
        return true;
    if (text == L"false")
        return false;
    if (text.empty() || text.find(L'.') != std::wstring::npos)
        return text;
    size_t i = text[0] == L'-' ? 1 : 0;
    if (i == text.size())
        return text;
    long long value = 0;
    for (size_t k = i; k < text.size(); ++k) {
        if (text[k] < L'0' || text[k] > L'9')
            return text;
        value = value * 10 + (text[k] - L'0');
        if (value > 2147483648LL)
            return text;
    }
    if (i == 1)
        value = -value;
    if (value > 2147483647LL)
        return text;
    return static_cast<int>(value);
}

} // namespace

void AppendTextEntry(KelmStorageTextNode& node, const std::wstring& key, std::wstring valueText)
{
    node.entries.emplace_back(key, std::move(valueText));
}

std::wstring FormatStoreDouble(double value)
{
    // to_chars with the general format and precision 6 is exactly "%g",
    // including the two-digit exponent, whatever the C runtime does.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::general, 6);
    return std::wstring(buffer, result.ptr);
}

void WriteDoubleEntry(KelmStorageTextNode& node, const std::wstring& key, double value)
{
    AppendTextEntry(node, key, FormatStoreDouble(value));
}

namespace
{

// Whether the quoted form of a text holding a double quote reads back as
// the very same text. Only a text written unchanged (it holds two
// backslashes in a row) can: every quote in it must follow a backslash,
// so that none ends it early. The reading also trims the ends and looks
// for line ends where the writer ends a value; such texts take the exact
// form instead.
bool QuotedFormReadsBack(const std::wstring& text)
{
    if (text.find(L"\\\\") == std::wstring::npos || text.find(L'\n') != std::wstring::npos)
        return false;
    if (text.back() == L'\\' || text != TrimStoreText(text))
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'"' && (i == 0 || text[i - 1] != L'\\'))
            return false;
    }
    return true;
}

// Whether reading the quoted form would make the text something else: a
// number or a bool ("2024", "-0", "007", "true"), or a text without the
// blanks at its ends.
bool QuotedFormTypesOrTrims(const std::wstring& text)
{
    if (text.empty())
        return false;
    const KelmStorageValue read = ConvertParsedText(text);
    return read.index() != 3 || std::get<3>(read) != text;
}

} // namespace

std::wstring StoreTextValue(const std::wstring& value)
{
    std::wstring text;
    text.reserve(value.size() + 8);
    if ((value.find(L'"') != std::wstring::npos && !QuotedFormReadsBack(value)) || QuotedFormTypesOrTrims(value)) {
        // The quoted form would lose the text (or everything after it),
        // type or trim it, or change it on every save: the exact form keeps
        // it as it is.
        text += L"~\"";
        for (wchar_t c : value) {
            if (c == L'"')
                text += L'"';
            text += c;
        }
        text += L'"';
        return text;
    }
    text += L'"';
    if (value.find(L"\\\\") != std::wstring::npos) {
        // Already escaped once (a reloaded path): written unchanged.
        text += value;
    } else {
        for (wchar_t c : value) {
            if (c == L'\\')
                text += L"\\\\";
            else
                text += c;
        }
    }
    text += L'"';
    return text;
}

void WriteStringEntry(KelmStorageTextNode& node, const std::wstring& key, const std::wstring& value)
{
    AppendTextEntry(node, key, StoreTextValue(value));
}

std::wstring TypedTextToStore(const std::wstring& typed)
{
    std::wstring stored;
    stored.reserve(typed.size() + 4);
    for (wchar_t c : typed) {
        if (c == L'\\')
            stored += L'\\';
        stored += c;
    }
    return stored;
}

std::wstring TypedTextFromStore(const std::wstring& stored)
{
    // Every run of backslashes even: the text went through TypedTextToStore
    // or the store's doubling. An odd run is kept as it is.
    std::wstring typed;
    typed.reserve(stored.size());
    for (size_t i = 0; i < stored.size();) {
        if (stored[i] != L'\\') {
            typed += stored[i++];
            continue;
        }
        size_t run = 0;
        while (i + run < stored.size() && stored[i + run] == L'\\')
            ++run;
        if (run % 2 != 0)
            return stored;
        typed.append(run / 2, L'\\');
        i += run;
    }
    return typed;
}

std::wstring TypedTextMember(const KelmStorageNestedObject* object, const std::wstring& key,
                             const std::wstring& fallback)
{
    if (!object)
        return fallback;
    const auto found = object->members.find(key);
    if (found == object->members.end())
        return fallback;
    const KelmStorageValue& value = found->second;
    switch (value.index()) {
    case 0:
        return std::to_wstring(std::get<0>(value));
    case 2:
        return std::get<2>(value) ? L"true" : L"false";
    case 3:
        return TypedTextFromStore(std::get<3>(value));
    default:
        return fallback;
    }
}

void WriteValueText(KelmStorageTextNode& node, const std::wstring& key, const KelmStorageValue& value)
{
    switch (value.index()) {
    case 0:
        AppendTextEntry(node, key, std::to_wstring(std::get<0>(value)));
        break;
    case 1:
        WriteDoubleEntry(node, key, std::get<1>(value));
        break;
    case 2:
        AppendTextEntry(node, key, std::get<2>(value) ? L"true" : L"false");
        break;
    case 3:
        WriteStringEntry(node, key, std::get<3>(value));
        break;
    case 4:
        if (const auto& nested = std::get<4>(value)) {
            auto child = std::make_unique<KelmStorageTextNode>();
            child->name = key;
            child->parent = &node;
            BuildTextNode(*child, *nested);
            node.children.push_back(std::move(child));
        }
        break;
    default:
        break;
    }
}

void BuildTextNode(KelmStorageTextNode& node, const KelmStorageNestedObject& object)
{
    node.entries.reserve(object.members.size());
    for (const auto& [key, value] : object.members)
        WriteValueText(node, key, value);
}

void WriteTextNode(const KelmStorageTextNode& node, std::wstring& out, int level)
{
    const size_t indent = static_cast<size_t>(level) * 4;
    out.append(indent, L' ');
    out += node.name;
    out += L"{\n";
    bool written = false;
    for (const auto& [key, valueText] : node.entries) {
        if (written)
            out += L",\n";
        out.append(indent + 4, L' ');
        out += key;
        out += L" : ";
        out += valueText;
        written = true;
    }
    for (const auto& child : node.children) {
        if (written)
            out += L",\n";
        WriteTextNode(*child, out, level + 1);
        written = true;
    }
    out += L'\n';
    out.append(indent, L' ');
    out += L'}';
}

namespace
{

size_t EstimateTextSize(const KelmStorageTextNode& node, size_t level)
{
    size_t size = node.name.size() + 2 * level * 4 + 8;
    for (const auto& [key, valueText] : node.entries)
        size += (level + 1) * 4 + key.size() + valueText.size() + 5;
    for (const auto& child : node.children)
        size += EstimateTextSize(*child, level + 1) + 2;
    return size;
}

} // namespace

std::wstring WriteStoreDocument(const std::vector<std::unique_ptr<KelmStorageTextNode>>& roots)
{
    std::wstring out;
    size_t estimate = 0;
    for (const auto& root : roots)
        estimate += EstimateTextSize(*root, 0) + 1;
    out.reserve(estimate);
    bool first = true;
    for (const auto& root : roots) {
        if (!first)
            out += L'\n';
        WriteTextNode(*root, out, 0);
        first = false;
    }
    return out;
}

KelmStorageNestedObject ConvertParsedObject(const bvn::parser::basic_object<wchar_t>& parsed)
{
    KelmStorageNestedObject result;
    for (const std::wstring& key : parsed.order) {
        const auto found = parsed.members.find(key);
        if (found == parsed.members.end())
            continue;
        const std::any& value = found->second;
        KelmStorageValue converted;
        if (const auto* text = std::any_cast<std::wstring>(&value)) {
            converted = ConvertParsedText(*text);
        } else if (const auto* exact = std::any_cast<bvn::parser::exact_text<wchar_t>>(&value)) {
            converted = exact->text;
        } else if (const auto* i = std::any_cast<int>(&value)) {
            converted = *i;
        } else if (const auto* d = std::any_cast<double>(&value)) {
            converted = *d;
        } else if (const auto* b = std::any_cast<bool>(&value)) {
            converted = *b;
        } else if (const auto* nested = std::any_cast<bvn::parser::basic_object<wchar_t>>(&value)) {
            converted = std::make_shared<KelmStorageNestedObject>(ConvertParsedObject(*nested));
        } else {
            std::wcerr << L"Warning: Unknown type for key '" << key << L"' during conversion. Skipping." << std::endl;
            continue;
        }
        // A repeated key keeps its first place and takes the last value.
        result.members[key] = std::move(converted);
    }
    return result;
}

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                            nullptr);
    return result;
}

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

namespace
{

// Strict conversion: false when the bytes are not valid in the code page.
bool DecodeStrictly(UINT codePage, const char* data, int size, std::wstring& out)
{
    out.clear();
    if (size == 0)
        return true;
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, data, size, nullptr, 0);
    if (length <= 0)
        return false;
    out.resize(static_cast<size_t>(length));
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, data, size, out.data(), length) == length;
}

} // namespace

std::wstring StoreBytesToText(const std::string& bytes, int& linesNotUtf8)
{
    linesNotUtf8 = 0;
    std::wstring text;
    if (bytes.size() > static_cast<size_t>(INT_MAX) / 2)
        return Utf8ToWide(bytes);
    if (DecodeStrictly(CP_UTF8, bytes.data(), static_cast<int>(bytes.size()), text))
        return text;
    // Line by line: the keys, quotes and braces are ASCII in every ANSI
    // code page, so a title saved by a legacy editor keeps its characters
    // and the lines around it stay as they were.
    text.clear();
    std::wstring line;
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find('\n', start);
        const bool last = end == std::string::npos;
        if (last)
            end = bytes.size();
        const char* data = bytes.data() + start;
        const int size = static_cast<int>(end - start);
        if (!DecodeStrictly(CP_UTF8, data, size, line)) {
            ++linesNotUtf8;
            if (!DecodeStrictly(CP_ACP, data, size, line))
                line = Utf8ToWide(std::string(data, static_cast<size_t>(size)));
        }
        text += line;
        if (last)
            break;
        text += L'\n';
        start = end + 1;
    }
    return text;
}
