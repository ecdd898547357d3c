// KelmStorage: the key/value store behind every settings and box file.
// A store is a tree of named root objects whose members are scalars or
// nested objects, kept in insertion order; code reaches members through
// KelmStorageProxy (store[L"Root"][L"key"]). UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <tsl/ordered_map.h>

struct KelmStorageNestedObject;

// The alternatives and their order are part of the file format: the writer
// switches on the index.
using KelmStorageValue = std::variant<int, double, bool, std::wstring, std::shared_ptr<KelmStorageNestedObject>>;

using KelmStorageMemberMap = tsl::ordered_map<std::wstring, KelmStorageValue>;

struct KelmStorageNestedObject {
    KelmStorageNestedObject();
    KelmStorageMemberMap members;
};

// The shared object of alternative 4; throws std::bad_variant_access for
// any other alternative.
std::shared_ptr<KelmStorageNestedObject>& GetNestedObject(KelmStorageValue& value);
// Writes count rows into object in place, as a whole rewrite leaves them:
// members keyPrefix + "0", keyPrefix + "1", ... in order, each an object
// of the text members fields, in that order, whose values value(row,
// field, out) gives. Only what differs is written, so a list of ten
// thousand stored again after a few were added costs those few (a whole
// rewrite under Wine's heap held the window a tenth of a second and more).
// False, with nothing written, when the object has another shape; changed,
// when given, tells whether anything was written.
bool WriteRowsInPlace(KelmStorageNestedObject& object, const std::wstring& keyPrefix,
                      const std::vector<const wchar_t*>& fields, size_t count,
                      const std::function<void(size_t row, size_t field, std::wstring& out)>& value,
                      bool* changed = nullptr);

class KelmStorageProxy
{
public:
    class Iterator
    {
    public:
        Iterator(KelmStorageNestedObject* object, size_t index) : m_object(object), m_index(index) {}
        std::pair<std::wstring, KelmStorageValue*> operator*() const;
        Iterator& operator++()
        {
            ++m_index;
            return *this;
        }
        bool operator==(const Iterator& other) const { return m_object == other.m_object && m_index == other.m_index; }
        bool operator!=(const Iterator& other) const { return !(*this == other); }

    private:
        KelmStorageNestedObject* m_object;
        size_t m_index;
    };

    KelmStorageProxy(KelmStorageNestedObject* target, std::wstring key, bool isRoot)
        : m_target(target), m_key(std::move(key)), m_isRoot(isRoot)
    {
    }
    KelmStorageProxy(const KelmStorageProxy&) = default;
    // Assigning one proxy to another would copy the proxy, not a value.
    KelmStorageProxy& operator=(const KelmStorageProxy&) = delete;

    KelmStorageProxy operator[](const std::wstring& key);

    template <typename T> T Get(T defaultValue) const;

    KelmStorageProxy& operator=(int value);
    KelmStorageProxy& operator=(double value);
    KelmStorageProxy& operator=(bool value);
    KelmStorageProxy& operator=(const std::wstring& value);
    KelmStorageProxy& operator=(const wchar_t* value);
    // Every other type (float, unsigned, long ...) is refused with a warning.
    template <typename T> KelmStorageProxy& operator=(const T&)
    {
        AssignUnsupported();
        return *this;
    }

    bool remove();
    Iterator begin() const;
    Iterator end() const;

private:
    const KelmStorageValue* FindMember() const;
    void Assign(KelmStorageValue value);
    void AssignUnsupported();
    KelmStorageNestedObject* RangeObject() const;

    KelmStorageNestedObject* m_target;
    std::wstring m_key;
    bool m_isRoot;
};

template <> int KelmStorageProxy::Get<int>(int defaultValue) const;
template <> std::wstring KelmStorageProxy::Get<std::wstring>(std::wstring defaultValue) const;
template <> bool KelmStorageProxy::Get<bool>(bool defaultValue) const;
template <> float KelmStorageProxy::Get<float>(float defaultValue) const;

// Writes the bytes of a save; replaceable so that tests can make a write
// fail part way. Returns false on failure.
using KelmStorageWriteFn = bool (*)(HANDLE file, const char* data, DWORD size);

// The root that every store file of the program holds: each start writes a
// marker into it, so a file without it was not written whole.
inline constexpr wchar_t kStoreOwnRoot[] = L"TessikRef";

// What a load had to change to read a file that parsed: the next save
// writes the store without it, so the file's bytes are kept first.
struct StoreLoadChanges {
    // Lines that were not UTF-8, read in the system's ANSI code page.
    int linesNotUtf8 = 0;
    // Roots written more than once (as written), merged into one: a member
    // of a later one takes the place of one of the same key.
    std::vector<std::wstring> repeatedRoots;
    // Roots whose names begin with '@': read, but never part of a store.
    std::vector<std::wstring> droppedRoots;
    bool Any() const { return linesNotUtf8 > 0 || !repeatedRoots.empty() || !droppedRoots.empty(); }
};

class KelmStorage
{
public:
    KelmStorage();
    // A store going away is no longer retried; a copy is a store of its
    // own (it inherits no pending retry).
    ~KelmStorage();
    KelmStorage(const KelmStorage&) = default;
    KelmStorage& operator=(const KelmStorage&) = default;

    // ownRoot (optional): a root every file of this store holds; a file
    // without it counts as damaged like one that does not parse, and saves
    // write that root last, so a file cut anywhere (between two roots too)
    // either lacks it or ends inside an object. mustExist: the file was
    // there before (its data folder is in use); when it is gone the store
    // is loaded empty and Missing() says so.
    void Load(const std::wstring& path, const std::wstring& ownRoot = std::wstring(), bool mustExist = false);
    // Rewrites the whole file from the tree; when the file is a link, the
    // file behind it is written and the link stays. Throws only for a store
    // without a file (never loaded). A write that fails leaves the tree in
    // memory as the truth: the store stays unsaved, the write is tried again
    // (always with the tree as it is then) until it lands, and the user is
    // told once while it fails (StoreSaveRetry). Returns whether the file
    // now holds the tree; true, writing nothing, after
    // StopAllSavesForRestore.
    bool Save();
    // Saves the tree as it is now without holding the caller: what the tree
    // holds is copied at once, in one cheap pass, and the writer thread
    // turns the copy into the file's bytes and writes them as Save does.
    // Saves land in the order they were asked for (a later Save or
    // SaveInBackground of the store waits for, or takes the place of, one
    // not yet written); a write that fails is told and retried as a failed
    // Save is, once the UI thread's timer has seen it. UI thread only.
    void SaveInBackground();
    // Waits until every save handed to the writer thread has been written
    // (or has failed, which is then told and retried as a failed Save).
    // The end of the process, a restart and a backup of the files come
    // after it. UI thread only.
    static void FinishBackgroundSaves();
    // The last save of this store did not land and is waiting for a retry.
    bool HasUnsavedChanges() const;
    // What stood in the way of the last save (an entry at the new file's
    // place that the program does not replace); empty when nothing did.
    const std::wstring& SaveBlockedBy() const { return m_blockedBy; }
    // Writes the tree as a save would into another file (a backup node's
    // copy), replacing it only once the new bytes are complete; the store's
    // own file and its retry are untouched. 0, or the system's reason.
    DWORD WriteTreeTo(const std::wstring& path) const;

    KelmStorageProxy operator[](const std::wstring& rootName);
    KelmStorageNestedObject& GetRootObject(const std::wstring& rootName);

    // The start-up save. When it would write the bytes the file already
    // holds it writes nothing; when it changes the bytes the file held
    // when it was loaded, those bytes are first kept in a new numbered
    // ".bak" (a save that cannot keep them does not happen). Returns the
    // path of the copy it wrote, or empty text.
    std::wstring SaveKeepingLoadedBytes();

    const std::wstring& FileName() const { return m_fileName; }
    bool IsLoaded() const { return m_loaded; }
    const tsl::ordered_map<std::wstring, KelmStorageNestedObject>& Roots() const { return m_roots; }
    // The last Load found a file that did not parse completely or lacked
    // its own root.
    bool FailedToParse() const { return m_failedToParse; }
    // The last Load was told the file must exist, and it was not there.
    bool Missing() const { return m_missing; }
    // The damaged file the last Load found held no bytes at all (so there
    // was nothing to keep).
    bool LoadedEmptyFile() const { return m_loadedEmptyFile; }
    // What the last Load changed in reading a file that parsed.
    const StoreLoadChanges& LoadChanges() const { return m_loadChanges; }
    // The copy of the file's bytes written for this load ("" when none yet).
    const std::wstring& BackupPath() const { return m_backupPath; }

    static void SetWriteFunctionForTesting(KelmStorageWriteFn fn);

    // A restore is about to copy a node's files over the store files: from
    // then on the stores in memory are no longer the user's, and anything
    // that would save them (a folder refresh, a box moved, the automatic
    // backup, all of which run inside the restore's message box) would
    // undo the restore. Every later save of this process, of any store,
    // writes nothing and logs that it was skipped. There is no way back:
    // the process ends or must be restarted.
    static void StopAllSavesForRestore();
    static bool SavesStopped();

private:
    // ownRootLast: the own root after every other root (what saves write);
    // else the roots in their order (the order the file was read in).
    std::string DocumentBytes(bool ownRootLast = true) const;
    bool SameContentAsDisk(const std::string& bytes) const;
    // Throws std::runtime_error; m_lastError then holds the system's reason.
    void WriteDocument(const std::string& bytes);
    bool KeepDiskBytes();
    // Waits for this store's saves on the writer thread (dropQueued: one
    // not yet begun is dropped, a newer save follows at once) and takes in
    // their outcome; tellFailures false: a failed one is left to the save
    // that follows.
    void WaitForOwnBackgroundSaves(bool dropQueued, bool tellFailures);
    // A background write of this store ended (UI thread).
    void TakeBackgroundResult(bool written, std::string bytes, DWORD error, std::wstring blockedBy, bool tellFailure);
    static void TakeFinishedBackgroundSaves(const KelmStorage* only, bool tellFailures);
    static void CALLBACK BackgroundSaveTimer(HWND, UINT, UINT_PTR id, DWORD);

    std::wstring m_fileName;
    tsl::ordered_map<std::wstring, KelmStorageNestedObject> m_roots;
    std::wstring m_ownRoot;
    bool m_loaded = false;
    bool m_failedToParse = false;
    bool m_missing = false;
    bool m_loadedEmptyFile = false;
    StoreLoadChanges m_loadChanges;
    // What the file holds as far as this store knows: the bytes it loaded or
    // last saved.
    std::string m_diskBytes;
    bool m_diskBytesKnown = false;
    // m_diskBytes must be copied to a ".bak" before the file is replaced.
    bool m_keepDiskBytes = false;
    std::wstring m_backupPath;
    DWORD m_lastError = 0;
    std::wstring m_blockedBy;
};

// The file can be read and its text read to its end (a blank file holds
// no roots and counts as complete) and, when ownRoot is given, it holds
// that root; nothing is written.
bool StoreFileReadsCompletely(const std::wstring& path, const std::wstring& ownRoot = std::wstring());

// Reads one root of a store file as Load would, without keeping or
// writing anything; false when the file cannot be read or lacks the root.
bool ReadStoreFileRoot(const std::wstring& path, const std::wstring& rootName, KelmStorageNestedObject& root);

// Writes the bytes to "<path>.N.bak" with the first N from 1 whose file
// does not exist yet; an existing copy is never overwritten. Returns the
// path written, or empty text when no copy could be written.
std::wstring WriteNumberedBackup(const std::wstring& path, const std::string& bytes);

// Only these errors mean that a file is not there; any other failure
// (a share that is down, a name the system refuses, no access) leaves it
// unknown, and an unknown file must never be replaced by a new one.
bool IsMissingFileError(DWORD error);

extern KelmStorage s_appStore;
extern KelmStorage s_desktopContainerStore;
extern KelmStorage s_magnetStore;
extern KelmStorage s_quickPanelStore;
