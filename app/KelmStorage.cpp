#include "app/KelmStorage.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cwchar>
#include <deque>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <string_view>
#include <thread>

#include "app/FileRemoval.h"
#include "app/LayoutTextParser.h"
#include "app/Logger.h"
#include "app/StoreSaveRetry.h"
#include "app/StoreTextFormat.h"

KelmStorage s_appStore;
KelmStorage s_desktopContainerStore;
KelmStorage s_magnetStore;
KelmStorage s_quickPanelStore;

KelmStorageNestedObject::KelmStorageNestedObject()
{
    members.max_load_factor(0.75f);
}

std::shared_ptr<KelmStorageNestedObject>& GetNestedObject(KelmStorageValue& value)
{
    return std::get<4>(value);
}

namespace
{

// Whether key is prefix followed by the digits of number.
bool IsRowKey(const std::wstring& key, const std::wstring& prefix, size_t number)
{
    if (key.size() <= prefix.size() || key.compare(0, prefix.size(), prefix) != 0)
        return false;
    wchar_t digits[24];
    const int length = swprintf(digits, 24, L"%zu", number);
    return length > 0 && std::wstring_view(key).substr(prefix.size()) == std::wstring_view(digits, length);
}

// The text member at position index of a row, when it is there under that
// key; otherwise null.
std::wstring* TextMemberAt(KelmStorageNestedObject& row, size_t index, const wchar_t* key)
{
    if (index >= row.members.size())
        return nullptr;
    auto member = row.members.nth(index);
    if (member->first != key || member->second.index() != 3)
        return nullptr;
    return &std::get<3>(member.value());
}

} // namespace

bool WriteRowsInPlace(KelmStorageNestedObject& object, const std::wstring& keyPrefix,
                      const std::vector<const wchar_t*>& fields, size_t count,
                      const std::function<void(size_t row, size_t field, std::wstring& out)>& value, bool* changed)
{
    auto& members = object.members;
    const size_t common = std::min(count, members.size());
    for (size_t i = 0; i < common; ++i) {
        auto member = members.nth(i);
        if (!IsRowKey(member->first, keyPrefix, i) || member->second.index() != 4 || !std::get<4>(member->second))
            return false;
        KelmStorageNestedObject& row = *std::get<4>(member->second);
        if (row.members.size() != fields.size())
            return false;
        for (size_t f = 0; f < fields.size(); ++f)
            if (!TextMemberAt(row, f, fields[f]))
                return false;
    }
    bool wrote = false;
    std::wstring text;
    for (size_t i = 0; i < common; ++i) {
        KelmStorageNestedObject& row = *std::get<4>(members.nth(i).value());
        for (size_t f = 0; f < fields.size(); ++f) {
            value(i, f, text);
            std::wstring& stored = *TextMemberAt(row, f, fields[f]);
            if (stored != text) {
                stored = text;
                wrote = true;
            }
        }
    }
    while (members.size() > count) {
        members.pop_back();
        wrote = true;
    }
    for (size_t i = members.size(); i < count; ++i) {
        auto row = std::make_shared<KelmStorageNestedObject>();
        for (size_t f = 0; f < fields.size(); ++f) {
            value(i, f, text);
            row->members.insert({fields[f], text});
        }
        members.insert({keyPrefix + std::to_wstring(i), KelmStorageValue(std::move(row))});
        wrote = true;
    }
    if (changed)
        *changed = wrote;
    return true;
}

// ---------------------------------------------------------------- proxy

std::pair<std::wstring, KelmStorageValue*> KelmStorageProxy::Iterator::operator*() const
{
    auto it = m_object->members.begin() + static_cast<std::ptrdiff_t>(m_index);
    return {it->first, &it.value()};
}

KelmStorageProxy KelmStorageProxy::operator[](const std::wstring& key)
{
    if (m_isRoot)
        return KelmStorageProxy(m_target, key, false);
    auto found = m_target->members.find(m_key);
    if (found == m_target->members.end()) {
        auto object = std::make_shared<KelmStorageNestedObject>();
        KelmStorageNestedObject* raw = object.get();
        m_target->members.insert({m_key, KelmStorageValue(std::move(object))});
        return KelmStorageProxy(raw, key, false);
    }
    KelmStorageValue& value = found.value();
    if (value.index() != 4 || !std::get<4>(value)) {
        // A scalar (or an empty slot) in the way is replaced in place, so
        // the key keeps its position in the order.
        value = std::make_shared<KelmStorageNestedObject>();
    }
    return KelmStorageProxy(std::get<4>(value).get(), key, false);
}

const KelmStorageValue* KelmStorageProxy::FindMember() const
{
    if (m_isRoot) {
        std::wcerr << L"Warning: Attempting to get value from a root object proxy directly. Must use [] to access a "
                      L"key."
                   << std::endl;
        return nullptr;
    }
    auto found = m_target->members.find(m_key);
    return found == m_target->members.end() ? nullptr : &found->second;
}

template <> int KelmStorageProxy::Get<int>(int defaultValue) const
{
    const KelmStorageValue* value = FindMember();
    return value && value->index() == 0 ? std::get<0>(*value) : defaultValue;
}

template <> std::wstring KelmStorageProxy::Get<std::wstring>(std::wstring defaultValue) const
{
    const KelmStorageValue* value = FindMember();
    return value && value->index() == 3 ? std::get<3>(*value) : defaultValue;
}

template <> bool KelmStorageProxy::Get<bool>(bool defaultValue) const
{
    const KelmStorageValue* value = FindMember();
    return value && value->index() == 2 ? std::get<2>(*value) : defaultValue;
}

template <> float KelmStorageProxy::Get<float>(float defaultValue) const
{
    const KelmStorageValue* value = FindMember();
    if (!value)
        return defaultValue;
    if (value->index() == 1)
        return static_cast<float>(std::get<1>(*value));
    // A whole-number double (an opacity of 0.0 or 1.0) is written as "0" or
    // "1" and comes back as an int.
    if (value->index() == 0)
        return static_cast<float>(std::get<0>(*value));
    return defaultValue;
}

void KelmStorageProxy::Assign(KelmStorageValue value)
{
    if (m_isRoot) {
        std::wcerr << L"Warning: Attempting to assign value to a root proxy directly. Use "
                      L"storage[L\"obj\"][L\"key\"] = value; instead."
                   << std::endl;
        return;
    }
    m_target->members[m_key] = std::move(value);
}

void KelmStorageProxy::AssignUnsupported()
{
    if (m_isRoot) {
        Assign(0); // only writes the root warning
        return;
    }
    std::wcerr << L"Warning: Unsupported type assignment for key '" << m_key << L"'. Skipping." << std::endl;
}

KelmStorageProxy& KelmStorageProxy::operator=(int value)
{
    Assign(value);
    return *this;
}

KelmStorageProxy& KelmStorageProxy::operator=(double value)
{
    Assign(value);
    return *this;
}

KelmStorageProxy& KelmStorageProxy::operator=(bool value)
{
    Assign(value);
    return *this;
}

KelmStorageProxy& KelmStorageProxy::operator=(const std::wstring& value)
{
    Assign(value);
    return *this;
}

KelmStorageProxy& KelmStorageProxy::operator=(const wchar_t* value)
{
    Assign(std::wstring(value ? value : L""));
    return *this;
}

bool KelmStorageProxy::remove()
{
    if (m_isRoot) {
        std::wcerr << L"Error: Cannot call remove() on a root object proxy directly. Use "
                      L"KelmStorage::RemoveRootObject() instead if needed."
                   << std::endl;
        return false;
    }
    return m_target->members.erase(m_key) > 0;
}

KelmStorageNestedObject* KelmStorageProxy::RangeObject() const
{
    if (m_isRoot)
        return m_target;
    auto found = m_target->members.find(m_key);
    if (found == m_target->members.end() || found->second.index() != 4)
        return nullptr;
    return std::get<4>(found->second).get();
}

KelmStorageProxy::Iterator KelmStorageProxy::begin() const
{
    return Iterator(RangeObject(), 0);
}

KelmStorageProxy::Iterator KelmStorageProxy::end() const
{
    KelmStorageNestedObject* object = RangeObject();
    return Iterator(object, object ? object->members.size() : 0);
}

// ---------------------------------------------------------------- store

namespace
{

bool WriteAllBytes(HANDLE file, const char* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

KelmStorageWriteFn g_writeFn = WriteAllBytes;

// On disk every line ends in CR LF; in memory in LF alone.
// UTF-8 with every LF written as CR LF, in one pass: the on-disk form of
// a document (the text-mode line ends every store file has).
std::string ToDiskBytes(const std::wstring& text)
{
    // Uninitialised scratch: zero-filling three bytes per character would
    // cost as much as the encoding itself.
    std::unique_ptr<char[]> buffer(new char[text.size() * 3 + 16]);
    char* p = buffer.get();
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned c = static_cast<unsigned short>(text[i]);
        if (c < 0x80) {
            if (c == '\n')
                *p++ = '\r';
            *p++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n) {
            const unsigned low = static_cast<unsigned short>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD; // a lone surrogate, as the system converter writes it
        if (c < 0x800) {
            *p++ = static_cast<char>(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *p++ = static_cast<char>(0xE0 | (c >> 12));
            *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        } else {
            *p++ = static_cast<char>(0xF0 | (c >> 18));
            *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return std::string(buffer.get(), static_cast<size_t>(p - buffer.get()));
}

std::string FromDiskLineEnds(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        out += bytes[i];
    }
    return out;
}

// Writes all bytes in chunks, flushes them to the disk and closes the file.
bool WriteFlushAndClose(HANDLE file, const std::string& bytes)
{
    bool ok = true;
    size_t offset = 0;
    while (ok && offset < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - offset, 1u << 20));
        ok = g_writeFn(file, bytes.data() + offset, chunk);
        offset += chunk;
    }
    ok = ok && FlushFileBuffers(file);
    CloseHandle(file);
    return ok;
}

// The reason of the call that just failed; a failure the system left no
// code for (a short write) still needs one to be told.
DWORD LastErrorOr(DWORD fallback)
{
    const DWORD error = GetLastError();
    return error ? error : fallback;
}

// Writes the bytes to a new file beside the target, flushes it and renames
// it over the target in one step, so the old file survives any failure.
// blockedBy: the entry that stands where the new file must go and is not
// the program's to replace (a link, a folder), named for the user.
bool ReplaceFileAtomically(const std::wstring& path, const std::string& bytes, bool& opened, DWORD& error,
                           std::wstring& blockedBy)
{
    const std::wstring tempPath = path + L".saving";
    opened = false;
    if (!MayWriteOwnFileAt(tempPath)) {
        error = ERROR_ALREADY_EXISTS;
        blockedBy = tempPath;
        return false;
    }
    HANDLE file =
        CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = LastErrorOr(ERROR_CANNOT_MAKE);
        // A folder of that name, say: the system's reason alone ("access
        // denied") does not tell the user what to move.
        if (GetFileAttributesW(tempPath.c_str()) != INVALID_FILE_ATTRIBUTES)
            blockedBy = tempPath;
        return false;
    }
    opened = true;
    SetLastError(0);
    bool ok = WriteFlushAndClose(file, bytes);
    if (!ok)
        error = LastErrorOr(ERROR_WRITE_FAULT);
    if (ok && !MoveFileExW(tempPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = LastErrorOr(ERROR_ACCESS_DENIED);
        ok = false;
    }
    if (!ok)
        DeleteFileW(tempPath.c_str());
    return ok;
}

// The file a save replaces: the store file itself, or, when the store file
// is a link, the file behind it, so the link stays a link and its target
// gets the new bytes (renaming over a link would put a plain file in its
// place and leave the target behind). A link the system shows as one, and
// one it shows as a plain file (Wine, a host link to a file), are both
// followed. False, with the reason, when the file cannot be told apart or
// the link leads nowhere: nothing is written then.
bool SaveTargetOf(const std::wstring& path, std::wstring& target, DWORD& error)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // No file yet: it is made where the store is bound. When its folder
        // is gone (renamed, a share that dropped) the write fails there;
        // no folder is made for it.
        target = path;
        return true;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetLastError(0);
        switch (CheckEntry(path)) {
        case EntryCheck::Itself:
            target = path;
            return true;
        case EntryCheck::Unchecked:
            error = LastErrorOr(ERROR_ACCESS_DENIED);
            return false;
        case EntryCheck::NotItself:
            break;
        }
    }
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = LastErrorOr(ERROR_FILE_NOT_FOUND);
        return false;
    }
    std::wstring finalPath(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(file, finalPath.data(), static_cast<DWORD>(finalPath.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= finalPath.size()) {
        error = LastErrorOr(ERROR_FILE_NOT_FOUND);
        CloseHandle(file);
        return false;
    }
    CloseHandle(file);
    finalPath.resize(length);
    const DWORD targetAttributes = GetFileAttributesW(finalPath.c_str());
    if (targetAttributes == INVALID_FILE_ATTRIBUTES || (targetAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = targetAttributes == INVALID_FILE_ATTRIBUTES ? LastErrorOr(ERROR_FILE_NOT_FOUND) : ERROR_DIRECTORY;
        return false;
    }
    target = finalPath;
    return true;
}

bool ReadAllBytes(const std::wstring& path, std::string& bytes, DWORD& error)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    bool ok = true;
    char buffer[1 << 16];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) {
            error = GetLastError();
            ok = false;
            break;
        }
        if (read == 0)
            break;
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return ok;
}

bool IsBlankDocument(const std::wstring& text)
{
    return text.find_first_not_of(L" \t\n\v\f\r") == std::wstring::npos;
}

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// An editor may put a byte-order mark before the text; it is no part of
// the first root's name.
std::string WithoutBom(const std::string& bytes)
{
    return bytes.rfind(kUtf8Bom, 0) == 0 ? bytes.substr(3) : bytes;
}

std::wstring StoreTextOfBytes(const std::string& bytes, int& linesNotUtf8)
{
    return StoreBytesToText(FromDiskLineEnds(WithoutBom(bytes)), linesNotUtf8);
}

// The parsed roots in file order as the store holds them: a root written
// again is merged into the first of its name rather than kept under a
// name with "^" that nothing reads (its boxes never shown).
void CollectRoots(const bvn::parser::basic_parser<std::wstringstream, wchar_t>& parser,
                  tsl::ordered_map<std::wstring, KelmStorageNestedObject>& roots, StoreLoadChanges& changes)
{
    const auto& objects = parser.objects();
    const auto& order = parser.order();
    const auto& written = parser.written_names();
    for (size_t i = 0; i < order.size(); ++i) {
        const auto found = objects.find(order[i]);
        if (found == objects.end())
            continue;
        KelmStorageNestedObject object = ConvertParsedObject(found->second);
        const std::wstring& name = i < written.size() ? written[i] : order[i];
        auto existing = roots.find(name);
        if (name == order[i] || existing == roots.end()) {
            roots.insert({order[i], std::move(object)});
            continue;
        }
        if (std::find(changes.repeatedRoots.begin(), changes.repeatedRoots.end(), name) == changes.repeatedRoots.end())
            changes.repeatedRoots.push_back(name);
        for (auto& [key, value] : object.members)
            existing.value().members[key] = std::move(value);
    }
    changes.droppedRoots = parser.hidden();
}

// Whether the text reads to its end and holds the own root (when one is
// given). A blank text reads completely but holds no root.
bool ReadsWhole(bvn::parser::basic_parser<std::wstringstream, wchar_t>& parser, const std::wstring& text,
                const std::wstring& ownRoot)
{
    const bool parsed = IsBlankDocument(text) || (parser.parse() && parser.complete());
    if (!parsed)
        return false;
    if (ownRoot.empty())
        return true;
    const auto& order = parser.order();
    return std::find(order.begin(), order.end(), ownRoot) != order.end();
}

} // namespace

bool StoreFileReadsCompletely(const std::wstring& path, const std::wstring& ownRoot)
{
    std::string bytes;
    DWORD error = 0;
    if (!ReadAllBytes(path, bytes, error))
        return false;
    int linesNotUtf8 = 0;
    const std::wstring text = StoreTextOfBytes(bytes, linesNotUtf8);
    bvn::parser::basic_parser<std::wstringstream, wchar_t> parser(text);
    return ReadsWhole(parser, text, ownRoot);
}

bool ReadStoreFileRoot(const std::wstring& path, const std::wstring& rootName, KelmStorageNestedObject& root)
{
    std::string bytes;
    DWORD error = 0;
    if (!ReadAllBytes(path, bytes, error))
        return false;
    StoreLoadChanges changes;
    const std::wstring text = StoreTextOfBytes(bytes, changes.linesNotUtf8);
    bvn::parser::basic_parser<std::wstringstream, wchar_t> parser(text);
    parser.parse();
    tsl::ordered_map<std::wstring, KelmStorageNestedObject> roots;
    CollectRoots(parser, roots, changes);
    auto found = roots.find(rootName);
    if (found == roots.end())
        return false;
    root = std::move(found.value());
    return true;
}

bool IsMissingFileError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::wstring WriteNumberedBackup(const std::wstring& path, const std::string& bytes)
{
    for (int n = 1; n < 100000; ++n) {
        const std::wstring copy = path + L"." + std::to_wstring(n) + L".bak";
        HANDLE file = CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            return L"";
        }
        if (!WriteFlushAndClose(file, bytes)) {
            DeleteFileW(copy.c_str());
            return L"";
        }
        return copy;
    }
    return L"";
}

void KelmStorage::SetWriteFunctionForTesting(KelmStorageWriteFn fn)
{
    // Between saves, never in the middle of one on the writer thread.
    FinishBackgroundSaves();
    g_writeFn = fn ? fn : WriteAllBytes;
}

namespace
{

// Set once by a restore, read by every save; saves run on the UI thread,
// the flag is atomic only so that a worker's save could never miss it.
std::atomic<bool> g_savesStopped{false};

bool SkippedForRestore(const std::wstring& fileName)
{
    if (!g_savesStopped.load())
        return false;
    Logger::GetInstance().Log(L"Tessik", L"WARNING",
                              L"Save of " + fileName + L" skipped: a restore has replaced the store files.");
    return true;
}

} // namespace

bool KelmStorage::SavesStopped()
{
    return g_savesStopped.load();
}

// ---------------------------------------------------------- background saves

namespace
{

// What a tree holds, copied in one pass into two flat arrays: a store of
// ten thousand records costs a few large copies here rather than tens of
// thousands of small allocations, and the copy shares nothing with the
// tree the UI thread goes on changing.
struct TreeSnapshot {
    // Offsets fit 32 bits: a store file is megabytes, not gigabytes.
    struct Item {
        uint32_t keyAt = 0;
        uint32_t keyLength = 0;
        // Kind 3: where the text lies in chars. Kind 4: how many members
        // the object has; they follow it, each with its own members.
        uint32_t textAt = 0;
        uint32_t textLength = 0;
        uint32_t members = 0;
        uint8_t kind = 0; // the value's alternative
        bool flag = false;
        int number = 0;
        double real = 0.0;
    };
    std::wstring chars;
    std::vector<Item> items;
    size_t roots = 0;
};

// How many items and characters a snapshot of the object's members takes,
// so that it is made in place of the right size rather than grown.
void CountSnapshotMembers(const KelmStorageNestedObject& object, size_t& items, size_t& chars)
{
    for (const auto& [key, value] : object.members) {
        if (value.index() == 4 && !std::get<4>(value))
            continue;
        ++items;
        chars += key.size();
        if (value.index() == 3)
            chars += std::get<3>(value).size();
        else if (value.index() == 4)
            CountSnapshotMembers(*std::get<4>(value), items, chars);
    }
}

// Returns how many members of the object it added.
size_t AddSnapshotMembers(TreeSnapshot& snapshot, const KelmStorageNestedObject& object)
{
    size_t added = 0;
    for (const auto& [key, value] : object.members) {
        // An empty slot writes nothing.
        if (value.index() == 4 && !std::get<4>(value))
            continue;
        TreeSnapshot::Item item;
        item.keyAt = static_cast<uint32_t>(snapshot.chars.size());
        item.keyLength = static_cast<uint32_t>(key.size());
        snapshot.chars += key;
        item.kind = static_cast<uint8_t>(value.index());
        switch (item.kind) {
        case 0:
            item.number = std::get<0>(value);
            break;
        case 1:
            item.real = std::get<1>(value);
            break;
        case 2:
            item.flag = std::get<2>(value);
            break;
        case 3:
            item.textAt = static_cast<uint32_t>(snapshot.chars.size());
            item.textLength = static_cast<uint32_t>(std::get<3>(value).size());
            snapshot.chars += std::get<3>(value);
            break;
        default:
            break;
        }
        const size_t at = snapshot.items.size();
        snapshot.items.push_back(item);
        if (item.kind == 4)
            snapshot.items[at].members = static_cast<uint32_t>(AddSnapshotMembers(snapshot, *std::get<4>(value)));
        ++added;
    }
    return added;
}

// The roots in the order a save writes them (the own root last).
std::unique_ptr<TreeSnapshot> SnapshotOf(const tsl::ordered_map<std::wstring, KelmStorageNestedObject>& roots,
                                         const std::wstring& ownRoot)
{
    auto snapshot = std::make_unique<TreeSnapshot>();
    size_t items = roots.size(), chars = 0;
    for (const auto& [name, object] : roots) {
        chars += name.size();
        CountSnapshotMembers(object, items, chars);
    }
    snapshot->items.reserve(items);
    snapshot->chars.reserve(chars);
    auto addRoot = [&](const std::wstring& name, const KelmStorageNestedObject& object) {
        TreeSnapshot::Item item;
        item.keyAt = static_cast<uint32_t>(snapshot->chars.size());
        item.keyLength = static_cast<uint32_t>(name.size());
        snapshot->chars += name;
        item.kind = 4;
        const size_t at = snapshot->items.size();
        snapshot->items.push_back(item);
        snapshot->items[at].members = static_cast<uint32_t>(AddSnapshotMembers(*snapshot, object));
        ++snapshot->roots;
    };
    const KelmStorageNestedObject* own = nullptr;
    for (const auto& [name, object] : roots) {
        if (!ownRoot.empty() && name == ownRoot)
            own = &object;
        else
            addRoot(name, object);
    }
    if (own)
        addRoot(ownRoot, *own);
    return snapshot;
}

// Writer thread: the text nodes of `members` items from `at`, as
// BuildTextNode makes them of the tree; returns the item after them.
size_t BuildTextNodeOfSnapshot(const TreeSnapshot& snapshot, size_t at, size_t members, KelmStorageTextNode& node)
{
    node.entries.reserve(members);
    for (size_t i = 0; i < members; ++i) {
        const TreeSnapshot::Item& item = snapshot.items[at++];
        const std::wstring key = snapshot.chars.substr(item.keyAt, item.keyLength);
        switch (item.kind) {
        case 0:
            WriteValueText(node, key, KelmStorageValue(item.number));
            break;
        case 1:
            WriteValueText(node, key, KelmStorageValue(item.real));
            break;
        case 2:
            WriteValueText(node, key, KelmStorageValue(item.flag));
            break;
        case 3:
            WriteStringEntry(node, key, snapshot.chars.substr(item.textAt, item.textLength));
            break;
        default: {
            auto child = std::make_unique<KelmStorageTextNode>();
            child->name = key;
            child->parent = &node;
            at = BuildTextNodeOfSnapshot(snapshot, at, item.members, *child);
            node.children.push_back(std::move(child));
            break;
        }
        }
    }
    return at;
}

std::string DocumentBytesOfSnapshot(const TreeSnapshot& snapshot)
{
    std::vector<std::unique_ptr<KelmStorageTextNode>> nodes;
    nodes.reserve(snapshot.roots);
    size_t at = 0;
    for (size_t root = 0; root < snapshot.roots; ++root) {
        const TreeSnapshot::Item& item = snapshot.items[at++];
        auto node = std::make_unique<KelmStorageTextNode>();
        node->name = snapshot.chars.substr(item.keyAt, item.keyLength);
        at = BuildTextNodeOfSnapshot(snapshot, at, item.members, *node);
        nodes.push_back(std::move(node));
    }
    return ToDiskBytes(WriteStoreDocument(nodes));
}

struct BackgroundJob {
    const KelmStorage* store = nullptr;
    std::wstring fileName;
    std::unique_ptr<TreeSnapshot> snapshot;
};

struct BackgroundResult {
    const KelmStorage* store = nullptr;
    bool skipped = false; // a restore stopped every save before this one
    bool written = false;
    std::string bytes;
    DWORD error = 0;
    std::wstring blockedBy;
};

// One writer thread for every store: a save waits behind the one being
// written, and at most one save of a store waits (a newer tree takes the
// place of an older one not yet begun), so the file always ends with the
// last tree asked for.
struct BackgroundWriter {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<BackgroundJob> queue;
    const KelmStorage* writing = nullptr;
    std::vector<BackgroundResult> finished;
    bool started = false;
    UINT_PTR timer = 0; // UI thread only

    bool Busy(const KelmStorage* store) const
    {
        if (!store)
            return writing || !queue.empty();
        return writing == store ||
               std::any_of(queue.begin(), queue.end(), [&](const BackgroundJob& job) { return job.store == store; });
    }
};

// Never destroyed: the process-wide stores wait for it as they go away,
// in an order of destruction no file of the program decides.
BackgroundWriter& Writer()
{
    static auto* writer = new BackgroundWriter();
    return *writer;
}

BackgroundResult WriteBackgroundJob(const BackgroundJob& job)
{
    BackgroundResult result;
    result.store = job.store;
    if (g_savesStopped.load()) {
        result.skipped = true;
        return result;
    }
    try {
        result.bytes = DocumentBytesOfSnapshot(*job.snapshot);
        std::wstring target;
        bool opened = false;
        result.written = SaveTargetOf(job.fileName, target, result.error) &&
                         ReplaceFileAtomically(target, result.bytes, opened, result.error, result.blockedBy);
    } catch (const std::exception&) {
        result.written = false;
    }
    if (!result.written) {
        result.bytes.clear();
        if (!result.error)
            result.error = ERROR_WRITE_FAULT;
    }
    return result;
}

void RunBackgroundWriter()
{
    BackgroundWriter& writer = Writer();
    std::unique_lock lock(writer.mutex);
    for (;;) {
        writer.wake.wait(lock, [&] { return !writer.queue.empty(); });
        BackgroundJob job = std::move(writer.queue.front());
        writer.queue.pop_front();
        writer.writing = job.store;
        lock.unlock();
        BackgroundResult result = WriteBackgroundJob(job);
        job.snapshot.reset();
        lock.lock();
        writer.finished.push_back(std::move(result));
        writer.writing = nullptr;
        writer.idle.notify_all();
    }
}

} // namespace

void KelmStorage::SaveInBackground()
{
    if (SkippedForRestore(m_fileName))
        return;
    if (!m_loaded || m_fileName.empty())
        throw std::runtime_error("Cannot save: No file is currently loaded or filename is not set.");
    // The bytes the load found must be kept first: that save is Save's.
    if (m_keepDiskBytes && m_diskBytesKnown) {
        Save();
        return;
    }
    std::unique_ptr<TreeSnapshot> snapshot = SnapshotOf(m_roots, m_ownRoot);
    BackgroundWriter& writer = Writer();
    {
        std::lock_guard lock(writer.mutex);
        if (!writer.started) {
            try {
                std::thread(RunBackgroundWriter).detach();
                writer.started = true;
            } catch (const std::system_error&) {
            }
        }
        auto waiting = std::find_if(writer.queue.begin(), writer.queue.end(),
                                    [&](const BackgroundJob& job) { return job.store == this; });
        if (waiting != writer.queue.end()) {
            waiting->snapshot = std::move(snapshot);
        } else {
            BackgroundJob job;
            job.store = this;
            job.fileName = m_fileName;
            job.snapshot = std::move(snapshot);
            writer.queue.push_back(std::move(job));
        }
    }
    // No thread could be had: the save is made here, as it always was.
    if (!writer.started) {
        Save();
        return;
    }
    writer.wake.notify_one();
    // The outcome is taken in on this thread, a few times a second while
    // any save is on its way.
    if (!writer.timer)
        writer.timer = SetTimer(nullptr, 0, 16, BackgroundSaveTimer);
}

void CALLBACK KelmStorage::BackgroundSaveTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    BackgroundWriter& writer = Writer();
    TakeFinishedBackgroundSaves(nullptr, true);
    std::lock_guard lock(writer.mutex);
    if (!writer.Busy(nullptr) && writer.finished.empty()) {
        KillTimer(nullptr, id);
        if (writer.timer == id)
            writer.timer = 0;
    }
}

void KelmStorage::TakeFinishedBackgroundSaves(const KelmStorage* only, bool tellFailures)
{
    BackgroundWriter& writer = Writer();
    std::vector<BackgroundResult> results;
    {
        std::lock_guard lock(writer.mutex);
        for (auto it = writer.finished.begin(); it != writer.finished.end();) {
            if (only && it->store != only) {
                ++it;
                continue;
            }
            results.push_back(std::move(*it));
            it = writer.finished.erase(it);
        }
    }
    // In the order they were written: a store's later outcome is its last.
    for (BackgroundResult& result : results) {
        if (result.skipped)
            continue;
        // A store waits for its saves before it goes away.
        auto* store = const_cast<KelmStorage*>(result.store);
        store->TakeBackgroundResult(result.written, std::move(result.bytes), result.error, std::move(result.blockedBy),
                                    tellFailures);
    }
}

void KelmStorage::TakeBackgroundResult(bool written, std::string bytes, DWORD error, std::wstring blockedBy,
                                       bool tellFailure)
{
    if (written) {
        m_diskBytes = std::move(bytes);
        m_diskBytesKnown = true;
        std::wcout << L"KelmStorage saved to '" << m_fileName << L"'." << std::endl;
        StoreSaveRetry::Saved(*this);
        return;
    }
    if (!tellFailure)
        return;
    m_lastError = error;
    m_blockedBy = std::move(blockedBy);
    StoreSaveRetry::SaveFailed(*this, m_lastError);
}

void KelmStorage::WaitForOwnBackgroundSaves(bool dropQueued, bool tellFailures)
{
    BackgroundWriter& writer = Writer();
    {
        std::unique_lock lock(writer.mutex);
        if (dropQueued)
            std::erase_if(writer.queue, [&](const BackgroundJob& job) { return job.store == this; });
        writer.idle.wait(lock, [&] { return !writer.Busy(this); });
    }
    TakeFinishedBackgroundSaves(this, tellFailures);
}

void KelmStorage::FinishBackgroundSaves()
{
    BackgroundWriter& writer = Writer();
    {
        std::unique_lock lock(writer.mutex);
        writer.idle.wait(lock, [&] { return !writer.Busy(nullptr); });
    }
    TakeFinishedBackgroundSaves(nullptr, true);
}

void KelmStorage::StopAllSavesForRestore()
{
    g_savesStopped.store(true);
    // A save already being written ends before the restore's files come;
    // none begins after it.
    BackgroundWriter& writer = Writer();
    std::unique_lock lock(writer.mutex);
    writer.queue.clear();
    writer.idle.wait(lock, [&] { return !writer.writing; });
}

KelmStorage::KelmStorage()
{
    m_roots.max_load_factor(0.75f);
}

KelmStorage::~KelmStorage()
{
    // What was asked to be saved is saved; its outcome has no store left
    // to tell it of.
    BackgroundWriter& writer = Writer();
    {
        std::unique_lock lock(writer.mutex);
        writer.idle.wait(lock, [&] { return !writer.Busy(this); });
        std::erase_if(writer.finished, [&](const BackgroundResult& result) { return result.store == this; });
    }
    StoreSaveRetry::Forget(*this);
}

bool KelmStorage::HasUnsavedChanges() const
{
    return StoreSaveRetry::IsUnsaved(*this);
}

void KelmStorage::Load(const std::wstring& path, const std::wstring& ownRoot, bool mustExist)
{
    // Every save asked for before lands before a file is read again (this
    // store's own, and another's of the same file).
    FinishBackgroundSaves();
    // The tree is about to become what the file holds: nothing earlier is
    // left to retry.
    StoreSaveRetry::Forget(*this);
    m_fileName = path;
    m_ownRoot = ownRoot;
    m_loaded = false;
    m_failedToParse = false;
    m_missing = false;
    m_loadedEmptyFile = false;
    m_loadChanges = StoreLoadChanges();
    m_keepDiskBytes = false;
    m_diskBytesKnown = false;
    m_diskBytes.clear();
    m_backupPath.clear();

    std::string bytes;
    DWORD error = 0;
    if (!ReadAllBytes(path, bytes, error)) {
        // Only a file that is not there is new; one that is there but
        // cannot be read must never be replaced by an empty store.
        DWORD attributesError = ERROR_FILE_NOT_FOUND;
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            attributesError = ERROR_ACCESS_DENIED;
        else
            attributesError = GetLastError();
        if (IsMissingFileError(error) && IsMissingFileError(attributesError)) {
            std::wcout << L"Info: File '" << path << L"' does not exist. Creating new storage." << std::endl;
            m_missing = mustExist;
            m_loaded = true;
            return;
        }
        throw std::runtime_error("Could not open file for reading: " + WideToUtf8(path));
    }
    m_diskBytes = bytes;
    m_diskBytesKnown = true;

    const std::wstring text = StoreTextOfBytes(bytes, m_loadChanges.linesNotUtf8);
    bvn::parser::basic_parser<std::wstringstream, wchar_t> parser(text);
    // A file cut short parses, but what was cut is gone: it counts as
    // damaged as well. So does one cut between two roots, which lacks the
    // own root that saves write last.
    if (!ReadsWhole(parser, text, ownRoot)) {
        // What was not read would be lost by the next save: keep it now.
        m_failedToParse = true;
        m_loadedEmptyFile = bytes.empty();
        m_keepDiskBytes = !m_loadedEmptyFile && !KeepDiskBytes();
        std::wcerr << L"Warning: '" << path << L"' could not be read completely; its original is kept as '"
                   << (m_backupPath.empty() ? std::wstring(L".bak") : m_backupPath) << L"'." << std::endl;
    }

    m_roots.clear();
    CollectRoots(parser, m_roots, m_loadChanges);
    // The store differs from the file in what the user wrote (a title in a
    // legacy code page, a repeated or hidden root): the bytes are kept
    // before anything could replace them.
    if (m_loadChanges.Any() && !m_failedToParse) {
        m_keepDiskBytes = !KeepDiskBytes();
        std::wcerr << L"Warning: '" << path << L"' was changed in reading; its original is kept as '"
                   << (m_backupPath.empty() ? std::wstring(L".bak") : m_backupPath) << L"'." << std::endl;
    }
    m_loaded = true;
    std::wcout << L"KelmStorage loaded from '" << path << L"' (" << m_roots.size() << L" root objects)." << std::endl;
}

DWORD KelmStorage::WriteTreeTo(const std::wstring& path) const
{
    if (!MayWriteOwnFileAt(path))
        return ERROR_ACCESS_DENIED;
    bool opened = false;
    DWORD error = 0;
    std::wstring blockedBy;
    if (ReplaceFileAtomically(path, DocumentBytes(), opened, error, blockedBy))
        return 0;
    return error != 0 ? error : ERROR_WRITE_FAULT;
}

std::string KelmStorage::DocumentBytes(bool ownRootLast) const
{
    std::vector<std::unique_ptr<KelmStorageTextNode>> nodes;
    nodes.reserve(m_roots.size());
    std::unique_ptr<KelmStorageTextNode> ownNode;
    for (const auto& [name, object] : m_roots) {
        auto node = std::make_unique<KelmStorageTextNode>();
        node->name = name;
        BuildTextNode(*node, object);
        if (ownRootLast && !m_ownRoot.empty() && name == m_ownRoot)
            ownNode = std::move(node);
        else
            nodes.push_back(std::move(node));
    }
    if (ownNode)
        nodes.push_back(std::move(ownNode));
    return ToDiskBytes(WriteStoreDocument(nodes));
}

bool KelmStorage::SameContentAsDisk(const std::string& bytes) const
{
    if (!m_diskBytesKnown)
        return false;
    const std::string disk = WithoutBom(m_diskBytes);
    // The roots in the order the file has them (an older file may hold the
    // own root first), without a byte-order mark: only the order or the mark
    // would change, and nothing is lost by writing the new form.
    return bytes == disk || DocumentBytes(false) == disk;
}

bool KelmStorage::KeepDiskBytes()
{
    const std::wstring copy = WriteNumberedBackup(m_fileName, m_diskBytes);
    if (copy.empty())
        return false;
    m_backupPath = copy;
    return true;
}

void KelmStorage::WriteDocument(const std::string& bytes)
{
    m_lastError = 0;
    m_blockedBy.clear();
    if (m_keepDiskBytes && m_diskBytesKnown) {
        SetLastError(0);
        if (!KeepDiskBytes()) {
            m_lastError = LastErrorOr(ERROR_WRITE_FAULT);
            throw std::runtime_error("Error writing to file: " + WideToUtf8(m_fileName + L".bak"));
        }
        m_keepDiskBytes = false;
    }
    std::wstring target;
    if (!SaveTargetOf(m_fileName, target, m_lastError))
        throw std::runtime_error("Could not save to file (ofstream): " + WideToUtf8(m_fileName));
    bool opened = false;
    if (!ReplaceFileAtomically(target, bytes, opened, m_lastError, m_blockedBy)) {
        if (!opened)
            throw std::runtime_error("Could not save to file (ofstream): " + WideToUtf8(m_fileName));
        throw std::runtime_error("Error writing to file: " + WideToUtf8(m_fileName));
    }
    m_diskBytes = bytes;
    m_diskBytesKnown = true;
    std::wcout << L"KelmStorage saved to '" << m_fileName << L"'." << std::endl;
}

bool KelmStorage::Save()
{
    if (SkippedForRestore(m_fileName))
        return true;
    if (!m_loaded || m_fileName.empty())
        throw std::runtime_error("Cannot save: No file is currently loaded or filename is not set.");
    // This tree is newer than any save still on the writer thread: one not
    // yet begun is dropped, one being written ends first, so this one is
    // the file's last word.
    WaitForOwnBackgroundSaves(true, false);
    try {
        WriteDocument(DocumentBytes());
    } catch (const std::runtime_error&) {
        StoreSaveRetry::SaveFailed(*this, m_lastError ? m_lastError : ERROR_WRITE_FAULT);
        return false;
    }
    StoreSaveRetry::Saved(*this);
    return true;
}

std::wstring KelmStorage::SaveKeepingLoadedBytes()
{
    if (SkippedForRestore(m_fileName))
        return L"";
    if (!m_loaded || m_fileName.empty())
        throw std::runtime_error("Cannot save: No file is currently loaded or filename is not set.");
    const std::string bytes = DocumentBytes();
    // A copy written by the load already holds these bytes.
    const bool identical = m_diskBytesKnown && bytes == m_diskBytes;
    // Only the roots' order or a byte-order mark differ: the file is written
    // in the new form, and there is nothing to keep.
    const bool changes = m_diskBytesKnown && !identical && !SameContentAsDisk(bytes);
    const bool alreadyKept = !m_backupPath.empty() && !m_keepDiskBytes;
    // A start that changes nothing leaves the file (and its time) alone.
    if (identical && GetFileAttributesW(m_fileName.c_str()) != INVALID_FILE_ATTRIBUTES)
        return L"";
    const std::wstring before = m_backupPath;
    if (changes && !alreadyKept)
        m_keepDiskBytes = true;
    WriteDocument(bytes);
    return m_backupPath != before ? m_backupPath : std::wstring();
}

KelmStorageProxy KelmStorage::operator[](const std::wstring& rootName)
{
    auto found = m_roots.find(rootName);
    if (found == m_roots.end())
        found = m_roots.insert({rootName, KelmStorageNestedObject()}).first;
    return KelmStorageProxy(&found.value(), std::wstring(), true);
}

KelmStorageNestedObject& KelmStorage::GetRootObject(const std::wstring& rootName)
{
    auto found = m_roots.find(rootName);
    if (found == m_roots.end()) {
        std::string narrow;
        for (wchar_t c : rootName)
            narrow += static_cast<char>(c & 0xFF);
        throw std::out_of_range("Root object not found: " + narrow);
    }
    return found.value();
}
