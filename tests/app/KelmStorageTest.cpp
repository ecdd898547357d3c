// The store's access rules, its loading and its saving, including saves
// that fail part way and files that cannot be read.
#include <gtest/gtest.h>

#include <random>

#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "app/TempFolder.h"

namespace
{

std::vector<std::wstring> KeysOf(KelmStorageProxy proxy)
{
    std::vector<std::wstring> keys;
    for (auto it = proxy.begin(); it != proxy.end(); ++it)
        keys.push_back((*it).first);
    return keys;
}

} // namespace

TEST(KelmStorageProxy, ReadsWithDefaultsAndCreatesPaths)
{
    KelmStorage store;
    EXPECT_TRUE(store[L"TessikRef"][L"showTessikMain"].Get<bool>(true));
    ASSERT_EQ(store.Roots().size(), 1u); // the read created the root
    EXPECT_TRUE(store.GetRootObject(L"TessikRef").members.empty());
    EXPECT_THROW(store.GetRootObject(L"Missing"), std::out_of_range);

    store[L"Components"][L"ComID_1"][L"Icons"][L"iconID_0"][L"path"] = L"C:\\a.txt";
    EXPECT_EQ(store[L"Components"][L"ComID_1"][L"Icons"][L"iconID_0"][L"path"].Get<std::wstring>(L"bvn!NULL"),
              L"C:\\a.txt");
    EXPECT_EQ(store[L"Components"][L"ComID_1"][L"none"].Get<std::wstring>(L"bvn!NULL"), L"bvn!NULL");
}

TEST(KelmStorageProxy, TypedReadsDoNotConvertExceptIntToFloat)
{
    KelmStorage store;
    auto r = store[L"R"];
    r[L"i"] = 5;
    r[L"d"] = 2.5;
    r[L"s"] = L"text";
    r[L"b"] = true;
    EXPECT_EQ(r[L"d"].Get<int>(7), 7);
    EXPECT_EQ(r[L"i"].Get<std::wstring>(L"x"), L"x");
    EXPECT_FALSE(r[L"s"].Get<bool>(false));
    EXPECT_FLOAT_EQ(r[L"d"].Get<float>(0.f), 2.5f);
    // A stored opacity of 1.0 comes back from the file as the int 1.
    EXPECT_FLOAT_EQ(r[L"i"].Get<float>(0.f), 5.f);
    EXPECT_FLOAT_EQ(r[L"s"].Get<float>(0.75f), 0.75f);
    // Reads and writes on the root proxy itself are refused.
    EXPECT_EQ(store[L"R"].Get<int>(3), 3);
    store[L"R"] = 9;
    EXPECT_EQ(KeysOf(store[L"R"]), (std::vector<std::wstring>{L"i", L"d", L"s", L"b"}));
}

TEST(KelmStorageProxy, AssignmentRemovalAndOrder)
{
    KelmStorage store;
    auto r = store[L"R"];
    r[L"a"] = 1;
    r[L"five"] = 5;
    r[L"c"] = 3;
    // Subscripting through a scalar replaces it by an object in place.
    r[L"five"][L"inner"] = true;
    EXPECT_EQ(KeysOf(store[L"R"]), (std::vector<std::wstring>{L"a", L"five", L"c"}));
    EXPECT_EQ(KeysOf(r[L"five"]), (std::vector<std::wstring>{L"inner"}));
    // A text in place of an object.
    r[L"five"] = std::wstring(L"now text");
    EXPECT_TRUE(KeysOf(r[L"five"]).empty());
    // Unsupported types store nothing.
    r[L"f"] = 1.5f;
    r[L"u"] = 7u;
    EXPECT_EQ(KeysOf(store[L"R"]).size(), 3u);
    EXPECT_FALSE(r[L"absent"].remove());
    EXPECT_TRUE(r[L"a"].remove());
    EXPECT_FALSE(store[L"R"].remove());
    EXPECT_EQ(KeysOf(store[L"R"]), (std::vector<std::wstring>{L"five", L"c"}));
    KelmStorageValue scalar = 1;
    EXPECT_THROW(GetNestedObject(scalar), std::bad_variant_access);
}

TEST(KelmStorageFile, LoadAndSaveLifecycle)
{
    TempFolder folder;
    KelmStorage never;
    try {
        never.Save();
        FAIL() << "a store that was never loaded must not save";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Cannot save: No file is currently loaded or filename is not set.");
    }

    const std::wstring path = folder.File(L"new.kelm");
    KelmStorage store;
    store.Load(path);
    EXPECT_TRUE(store.IsLoaded());
    EXPECT_TRUE(store.Roots().empty());
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    store[L"TessikRef"][L"test"] = 1;
    store.Save();
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);

    TempFolder::WriteBytes(path, "");
    store.Load(path);
    EXPECT_TRUE(store.Roots().empty());
}

TEST(KelmStorageFile, UnreadableFileIsNeverTreatedAsNew)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"locked.kelm");
    TempFolder::WriteBytes(path, "A{\r\n    k : 1\r\n}");
    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    KelmStorage store;
    try {
        store.Load(path);
        FAIL() << "a locked store must not load as empty";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Could not open file for reading: ", 0), 0u);
    }
    CloseHandle(lock);
    EXPECT_EQ(TempFolder::ReadBytes(path), "A{\r\n    k : 1\r\n}");
}

TEST(KelmStorageFile, FileThatFailsToParseIsKeptInANewNumberedCopy)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"broken.kelm");
    const std::string original = "Good{\r\n    k : 1\r\n}\r\nBad{ k ! }\r\nLost{\r\n    m : 2\r\n}";
    TempFolder::WriteBytes(path, original);
    KelmStorage store;
    store.Load(path);
    EXPECT_TRUE(store.FailedToParse());
    EXPECT_EQ(store.Roots().size(), 1u);
    // Kept before anything can be saved over it.
    EXPECT_EQ(store.BackupPath(), path + L".1.bak");
    EXPECT_EQ(TempFolder::ReadBytes(path + L".1.bak"), original);
    store[L"Good"][L"k"] = 3;
    store.Save();
    store.Save();
    EXPECT_EQ(TempFolder::ReadBytes(path + L".1.bak"), original);

    // A later failure never overwrites an earlier copy.
    TempFolder::WriteBytes(path, "Other{ x ! }");
    KelmStorage again;
    again.Load(path);
    EXPECT_EQ(again.BackupPath(), path + L".2.bak");
    EXPECT_EQ(again.SaveKeepingLoadedBytes(), L"") << "the load already kept these bytes";
    EXPECT_EQ(TempFolder::ReadBytes(path + L".1.bak"), original);
    EXPECT_EQ(TempFolder::ReadBytes(path + L".2.bak"), "Other{ x ! }");
    EXPECT_FALSE(std::filesystem::exists(path + L".3.bak"));
}

TEST(KelmStorageFile, StartUpSaveKeepsChangedBytesAndLeavesUnchangedFilesAlone)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"DesktopContainer.kelm");
    KelmStorage store;
    store.Load(path);
    store[L"Components"][L"ComID_1"][L"title"] = L"say \"hi\"\nok";
    store[L"TessikRef"][L"test"] = 0;
    store.Save();
    store.Load(path);
    store.Save();
    const std::string settled = TempFolder::ReadBytes(path);

    // Nothing changes: no copy, and neither the bytes nor the time move.
    FILETIME before{}, after{};
    auto writeTime = [&](FILETIME& t) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
        t = data.ftLastWriteTime;
    };
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME old{0x12345678, 0x01D00000};
    SetFileTime(h, nullptr, nullptr, &old);
    CloseHandle(h);
    writeTime(before);
    KelmStorage unchanged;
    unchanged.Load(path);
    unchanged[L"TessikRef"][L"test"] = 0;
    EXPECT_EQ(unchanged.SaveKeepingLoadedBytes(), L"");
    writeTime(after);
    EXPECT_EQ(CompareFileTime(&before, &after), 0);
    EXPECT_EQ(TempFolder::ReadBytes(path), settled);
    EXPECT_FALSE(std::filesystem::exists(path + L".1.bak"));

    // A title whose closing quote was removed by hand reads garbled; the
    // load or the start-up save keeps the bytes it replaces, every time.
    std::string damaged = settled;
    damaged.erase(damaged.find("ok\"") + 2, 1);
    TempFolder::WriteBytes(path, damaged);
    KelmStorage hand;
    hand.Load(path);
    hand[L"TessikRef"][L"test"] = 0;
    const std::wstring handCopy = hand.SaveKeepingLoadedBytes();
    EXPECT_EQ(handCopy.empty() ? hand.BackupPath() : handCopy, path + L".1.bak");
    EXPECT_EQ(TempFolder::ReadBytes(path + L".1.bak"), damaged);
    const std::string second = TempFolder::ReadBytes(path);
    hand.Load(path);
    hand[L"TessikRef"][L"test"] = 0;
    // Kept by the load when it no longer parses, else by the save.
    const std::wstring saved = hand.SaveKeepingLoadedBytes();
    const std::wstring copy = saved.empty() ? hand.BackupPath() : saved;
    if (TempFolder::ReadBytes(path) != second) {
        EXPECT_EQ(copy, path + L".2.bak");
        EXPECT_EQ(TempFolder::ReadBytes(path + L".2.bak"), second);
    }
    EXPECT_EQ(TempFolder::ReadBytes(path + L".1.bak"), damaged);

    // A cut-off file is damaged: kept by the load.
    TempFolder::WriteBytes(path, settled.substr(0, settled.size() / 2));
    KelmStorage cut;
    cut.Load(path);
    EXPECT_TRUE(cut.FailedToParse());
    const std::wstring cutSave = cut.SaveKeepingLoadedBytes();
    const std::wstring cutCopy = cutSave.empty() ? cut.BackupPath() : cutSave;
    ASSERT_FALSE(cutCopy.empty());
    EXPECT_EQ(TempFolder::ReadBytes(cutCopy), settled.substr(0, settled.size() / 2));
}

TEST(KelmStorageFile, OnlyAMissingFileOrFolderIsANewStore)
{
    TempFolder folder;
    KelmStorage store;
    store.Load(folder.File(L"absent.kelm"));
    EXPECT_TRUE(store.IsLoaded());
    store.Load(folder.File(L"no folder\\absent.kelm"));
    EXPECT_TRUE(store.IsLoaded());

    EXPECT_FALSE(IsMissingFileError(ERROR_BAD_NETPATH));
    EXPECT_FALSE(IsMissingFileError(ERROR_INVALID_NAME));
    EXPECT_FALSE(IsMissingFileError(ERROR_ACCESS_DENIED));
    // A name the system refuses, and a folder where the file should be.
    std::filesystem::create_directory(folder.File(L"dir.kelm"));
    for (const std::wstring& path : {folder.File(L"bad<name>.kelm"), folder.File(L"dir.kelm")}) {
        KelmStorage refused;
        EXPECT_THROW(refused.Load(path), std::runtime_error);
        EXPECT_FALSE(refused.IsLoaded());
        EXPECT_THROW(refused.Save(), std::runtime_error);
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder.File(L"dir.kelm")));
}

namespace
{

int g_bytesBeforeFailure = 0;

bool FailingWrite(HANDLE file, const char* data, DWORD size)
{
    const DWORD allowed = std::min<DWORD>(size, static_cast<DWORD>(std::max(g_bytesBeforeFailure, 0)));
    DWORD written = 0;
    if (allowed)
        WriteFile(file, data, allowed, &written, nullptr);
    g_bytesBeforeFailure -= static_cast<int>(allowed);
    return allowed == size;
}

} // namespace

TEST(KelmStorageFile, SaveKeepsOldFileWhenWriteFails)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"DesktopContainer.kelm");
    KelmStorage store;
    store.Load(path);
    for (int i = 0; i < 50; ++i)
        store[L"Components"][L"ComID_" + std::to_wstring(i)][L"title"] = L"收纳盒 " + std::to_wstring(i);
    store.Save();
    const std::string before = TempFolder::ReadBytes(path);

    store[L"Components"][L"ComID_0"][L"title"] = L"changed";
    for (int cut : {0, 1, 100, 1000, 2000}) {
        g_bytesBeforeFailure = cut;
        KelmStorage::SetWriteFunctionForTesting(FailingWrite);
        EXPECT_FALSE(store.Save()) << "a failed write must be reported, cut at " << cut;
        EXPECT_TRUE(store.HasUnsavedChanges());
        KelmStorage::SetWriteFunctionForTesting(nullptr);
        EXPECT_EQ(TempFolder::ReadBytes(path), before) << "cut at " << cut;
    }
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        ++files;
    EXPECT_EQ(files, 1) << "no temporary file is left behind";

    // A save that cannot even open its file keeps the old one too.
    std::filesystem::create_directory(path + L".saving");
    EXPECT_FALSE(store.Save()) << "an unopenable file must be reported";
    EXPECT_EQ(TempFolder::ReadBytes(path), before);
    std::filesystem::remove(path + L".saving");
    EXPECT_TRUE(store.Save());
    EXPECT_FALSE(store.HasUnsavedChanges());
    const std::string saved = TempFolder::ReadBytes(path);

    // A start-up save whose copy of the old bytes cannot be written does
    // not replace them.
    KelmStorage reloaded;
    reloaded.Load(path);
    reloaded[L"Components"][L"ComID_0"][L"title"] = L"changed again";
    g_bytesBeforeFailure = 0;
    KelmStorage::SetWriteFunctionForTesting(FailingWrite);
    EXPECT_THROW(reloaded.SaveKeepingLoadedBytes(), std::runtime_error);
    KelmStorage::SetWriteFunctionForTesting(nullptr);
    EXPECT_EQ(TempFolder::ReadBytes(path), saved);
}

// ------------------------------------------------------------ random trees

namespace
{

struct TreeMaker {
    std::mt19937 rng{12345};

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    std::wstring Key()
    {
        static const std::wstring chars = L"abcXYZ_09收纳盒-.";
        std::wstring key;
        const int n = 1 + Pick(8);
        for (int i = 0; i < n; ++i)
            key += chars[Pick(static_cast<int>(chars.size()))];
        return key;
    }

    std::wstring Text()
    {
        static const std::wstring chars = L"ab Z9\\\"{},:()#@\t\n收纳\r.-";
        for (;;) {
            std::wstring text;
            const int n = Pick(12);
            for (int i = 0; i < n; ++i)
                text += chars[Pick(static_cast<int>(chars.size()))];
            // Every shape of text is checked against the reading rules in
            // StoreRoundTrip; this test is about trees, so its texts are
            // those that read back as written (the rules cut a text written
            // unchanged, one with a doubled backslash, at a bare quote).
            const bool doubled = text.find(L"\\\\") != std::wstring::npos;
            if (!(doubled && text.find(L'"') != std::wstring::npos))
                return text;
        }
    }

    void Fill(KelmStorageNestedObject& object, int depth)
    {
        const int n = Pick(6);
        for (int i = 0; i < n; ++i) {
            const std::wstring key = Key();
            switch (Pick(depth < 3 ? 5 : 4)) {
            case 0:
                object.members[key] = static_cast<int>(rng()) / 3;
                break;
            case 1:
                object.members[key] = (Pick(16000) - 8000 + 0.125 * (1 + Pick(7))) / 8.0;
                break;
            case 2:
                object.members[key] = Pick(2) == 1;
                break;
            case 3:
                object.members[key] = Text();
                break;
            default: {
                auto nested = std::make_shared<KelmStorageNestedObject>();
                Fill(*nested, depth + 1);
                object.members[key] = nested;
            }
            }
        }
    }
};

// What a value becomes after one save and load.
KelmStorageValue Reloaded(const KelmStorageValue& value)
{
    if (value.index() == 1) {
        const double d = std::get<1>(value);
        const std::wstring text = FormatStoreDouble(d);
        if (text.find(L'.') == std::wstring::npos && text.find(L'e') == std::wstring::npos)
            return std::stoi(text);
        return std::stod(text);
    }
    if (value.index() != 3)
        return value;
    KelmStorageTextNode node;
    WriteStringEntry(node, L"k", std::get<3>(value));
    const std::wstring written = node.entries[0].second;
    if (written[0] == L'~')
        return value; // the exact form
    std::wstring inner = written.substr(1, written.size() - 2);
    bvn::parser::basic_parser<std::wstringstream, wchar_t> parser(L"A{ k : " + written + L" }");
    KelmStorageNestedObject object;
    object.members[L"k"] = inner;
    // Same trimming and typing as a reload, through the converter itself.
    bvn::parser::basic_object<wchar_t> parsed;
    parsed.members[L"k"] = inner;
    parsed.order.push_back(L"k");
    return ConvertParsedObject(parsed).members.at(L"k");
}

void ExpectReloaded(const KelmStorageNestedObject& original, const KelmStorageNestedObject& loaded,
                    const std::wstring& where)
{
    // Scalars come back first, in their order, then the nested objects.
    std::vector<std::wstring> expectedOrder;
    for (const auto& [key, value] : original.members)
        if (value.index() != 4)
            expectedOrder.push_back(key);
    for (const auto& [key, value] : original.members)
        if (value.index() == 4)
            expectedOrder.push_back(key);
    std::vector<std::wstring> order;
    for (const auto& [key, value] : loaded.members)
        order.push_back(key);
    ASSERT_EQ(order, expectedOrder) << where;
    for (const auto& [key, value] : original.members) {
        const KelmStorageValue& got = loaded.members.at(key);
        if (value.index() == 4) {
            ASSERT_EQ(got.index(), 4u) << where << L"/" << key;
            ExpectReloaded(*std::get<4>(value), *std::get<4>(got), where + L"/" + key);
            continue;
        }
        const KelmStorageValue expected = Reloaded(value);
        ASSERT_EQ(got.index(), expected.index()) << where << L"/" << key;
        if (expected.index() == 1)
            EXPECT_DOUBLE_EQ(std::get<1>(got), std::get<1>(expected));
        else
            EXPECT_TRUE(got == expected) << where << L"/" << key;
    }
}

} // namespace

TEST(KelmStorageFile, RandomTreesSurviveSaveAndLoad)
{
    TempFolder folder;
    TreeMaker maker;
    for (int round = 0; round < 150; ++round) {
        const std::wstring path = folder.File(L"r" + std::to_wstring(round) + L".kelm");
        KelmStorage store;
        store.Load(path);
        std::vector<std::wstring> roots;
        const int n = 1 + maker.Pick(4);
        for (int i = 0; i < n; ++i) {
            std::wstring name = L"Root" + std::to_wstring(i);
            roots.push_back(name);
            store[name];
        }
        // Fill through a copy of the tree so the original stays for comparing.
        std::vector<KelmStorageNestedObject> originals;
        for (const auto& name : roots) {
            KelmStorageNestedObject object;
            maker.Fill(object, 0);
            originals.push_back(object);
            for (const auto& [key, value] : object.members)
                store.GetRootObject(name).members[key] = value;
        }
        store.Save();
        KelmStorage loaded;
        loaded.Load(path);
        ASSERT_EQ(loaded.Roots().size(), roots.size());
        for (size_t i = 0; i < roots.size(); ++i)
            ExpectReloaded(originals[i], loaded.GetRootObject(roots[i]), roots[i]);
        if (HasFatalFailure())
            return;
    }
}

TEST(KelmStorageFile, MutatedDocumentsNeverCrashOrHang)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"seed.kelm");
    KelmStorage seed;
    seed.Load(path);
    TreeMaker maker;
    for (int i = 0; i < 4; ++i)
        maker.Fill(seed.GetRootObject((seed[L"Root" + std::to_wstring(i)], L"Root" + std::to_wstring(i))), 0);
    seed.Save();
    const std::string base = TempFolder::ReadBytes(path);
    const std::string specials = "{}():,\"\\#@ \r\n\t.-0";

    std::mt19937 rng(99);
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    const std::wstring target = folder.File(L"mutated.kelm");
    for (int round = 0; round < 3000; ++round) {
        std::string doc = base;
        const int edits = 1 + static_cast<int>(pick(6));
        for (int e = 0; e < edits && !doc.empty(); ++e) {
            const size_t at = pick(doc.size());
            switch (pick(4)) {
            case 0:
                doc[at] = specials[pick(specials.size())];
                break;
            case 1:
                doc.erase(at, 1 + pick(8));
                break;
            case 2:
                doc.insert(at, 1, specials[pick(specials.size())]);
                break;
            default:
                doc.resize(at); // cut off
            }
        }
        if (round % 10 == 0) {
            // Through the file, the way a damaged store reaches the program.
            TempFolder::WriteBytes(target, doc);
            KelmStorage store;
            ASSERT_NO_THROW(store.Load(target));
        } else {
            bvn::parser::basic_parser<std::wstringstream, wchar_t> parser(Utf8ToWide(doc));
            parser.parse();
            for (const auto& name : parser.order())
                ConvertParsedObject(parser.objects().at(name));
        }
    }
}

TEST(KelmStorageFile, TwoStartsLeaveAQuotedTitleAndItsBytesAlone)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"DesktopContainer.kelm");
    const std::wstring title = L"\\\\NAS \"my photos\"";
    KelmStorage store;
    store.Load(path);
    store[L"Components"][L"ComID_1"][L"title"] = TypedTextToStore(title);
    store[L"Components"][L"ComID_2"][L"title"] = TypedTextToStore(L"say \"hi\"");
    store.Save();
    const std::string saved = TempFolder::ReadBytes(path);
    for (int start = 0; start < 2; ++start) {
        KelmStorage again;
        again.Load(path);
        EXPECT_EQ(TypedTextFromStore(again[L"Components"][L"ComID_1"][L"title"].Get<std::wstring>(L"")), title);
        EXPECT_EQ(TypedTextFromStore(again[L"Components"][L"ComID_2"][L"title"].Get<std::wstring>(L"")), L"say \"hi\"");
        EXPECT_EQ(again.SaveKeepingLoadedBytes(), L"") << start;
    }
    EXPECT_EQ(TempFolder::ReadBytes(path), saved);
    EXPECT_FALSE(std::filesystem::exists(path + L".1.bak"));
}

namespace
{

// A box store as a start writes it: the own root is made first (the start's
// marker), the boxes come later.
std::string WrittenBoxStore(const std::wstring& path)
{
    KelmStorage store;
    store.Load(path, kStoreOwnRoot);
    store[kStoreOwnRoot][L"test"] = 0;
    store[L"Components"][L"ComID_a1b2c"][L"id"] = L"a1b2c";
    store[L"Components"][L"ComID_a1b2c"][L"title"] = L"照片";
    store[L"Components"][L"ComID_d3e4f"][L"id"] = L"d3e4f";
    store.Save();
    return TempFolder::ReadBytes(path);
}

} // namespace

TEST(KelmStorageFile, EveryCutOfAWrittenStoreReadsAsDamaged)
{
    TempFolder folder;
    const std::string whole = WrittenBoxStore(folder.File(L"DesktopContainer.kelm"));
    // The own root goes last, so a cut between the roots loses it.
    ASSERT_EQ(whole.rfind("Components{", 0), 0u);
    const size_t between = whole.find("}\r\nTessikRef{");
    ASSERT_NE(between, std::string::npos);

    for (size_t cut = 0; cut < whole.size(); ++cut) {
        const std::wstring path = folder.File(L"cut" + std::to_wstring(cut) + L".kelm");
        TempFolder::WriteBytes(path, whole.substr(0, cut));
        EXPECT_FALSE(StoreFileReadsCompletely(path, kStoreOwnRoot)) << cut;
        KelmStorage store;
        store.Load(path, kStoreOwnRoot);
        EXPECT_TRUE(store.FailedToParse()) << cut << (cut == between + 1 ? " (between the roots)" : "");
        // Kept as it was, where there are bytes to keep.
        EXPECT_EQ(store.BackupPath().empty(), cut == 0) << cut;
        EXPECT_EQ(store.LoadedEmptyFile(), cut == 0) << cut;
    }
    const std::wstring path = folder.File(L"whole.kelm");
    TempFolder::WriteBytes(path, whole);
    EXPECT_TRUE(StoreFileReadsCompletely(path, kStoreOwnRoot));
    KelmStorage store;
    store.Load(path, kStoreOwnRoot);
    EXPECT_FALSE(store.FailedToParse());
    EXPECT_EQ(store.Roots().size(), 2u);
}

TEST(KelmStorageFile, AFileWithItsOwnRootFirstReadsAsBeforeAndTakesTheNewOrderWithoutACopy)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"DesktopContainer.kelm");
    const std::string older = "TessikRef{\r\n    test : 0\r\n}\r\nComponents{\r\n    ComID_a1b2c{\r\n"
                              "        id : \"a1b2c\"\r\n    }\r\n}";
    TempFolder::WriteBytes(path, older);
    KelmStorage store;
    store.Load(path, kStoreOwnRoot);
    EXPECT_FALSE(store.FailedToParse());
    EXPECT_EQ(store[L"Components"][L"ComID_a1b2c"][L"id"].Get<std::wstring>(L""), L"a1b2c");
    // Only the order changes: nothing to keep.
    EXPECT_EQ(store.SaveKeepingLoadedBytes(), L"");
    EXPECT_FALSE(std::filesystem::exists(path + L".1.bak"));
    const std::string rewritten = TempFolder::ReadBytes(path);
    EXPECT_EQ(rewritten.rfind("Components{", 0), 0u);
    EXPECT_EQ(rewritten.size(), older.size());

    KelmStorage again;
    again.Load(path, kStoreOwnRoot);
    EXPECT_EQ(again.SaveKeepingLoadedBytes(), L"");
    EXPECT_EQ(TempFolder::ReadBytes(path), rewritten);
    // Without an own root nothing changes: the roots keep their order.
    TempFolder::WriteBytes(path, older);
    KelmStorage plain;
    plain.Load(path);
    plain.Save();
    EXPECT_EQ(TempFolder::ReadBytes(path), older);
}

TEST(KelmStorageFile, AFileThatMustExistAndIsGoneIsToldApartFromANewOne)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"MagnetCom.kelm");
    KelmStorage store;
    store.Load(path, kStoreOwnRoot, true);
    EXPECT_TRUE(store.IsLoaded());
    EXPECT_TRUE(store.Missing());
    EXPECT_FALSE(store.FailedToParse());
    KelmStorage fresh;
    fresh.Load(path, kStoreOwnRoot, false);
    EXPECT_FALSE(fresh.Missing());
}

TEST(KelmStorageFile, AByteOrderMarkIsNoPartOfTheFirstRoot)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"DesktopContainer.kelm");
    const std::string text = WrittenBoxStore(path);
    TempFolder::WriteBytes(path, "\xEF\xBB\xBF" + text);
    EXPECT_TRUE(StoreFileReadsCompletely(path, kStoreOwnRoot));
    KelmStorage store;
    store.Load(path, kStoreOwnRoot);
    EXPECT_FALSE(store.FailedToParse());
    EXPECT_EQ(store.Roots().begin()->first, L"Components");
    EXPECT_EQ(store[L"Components"][L"ComID_d3e4f"][L"id"].Get<std::wstring>(L""), L"d3e4f");
    // The start writes the file without the mark, and keeps no copy: nothing
    // else changed.
    EXPECT_EQ(store.SaveKeepingLoadedBytes(), L"");
    EXPECT_EQ(TempFolder::ReadBytes(path), text);
    EXPECT_FALSE(std::filesystem::exists(path + L".1.bak"));
}

TEST(KelmStorageFile, AStoreTheLoadHadToChangeIsKeptAndSaysWhat)
{
    // A title saved by an editor in the system's legacy code page.
    const std::wstring title = L"Caf\u00e9 \u00c4rger \u00d6l";
    const int size = WideCharToMultiByte(CP_ACP, 0, title.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string legacy(static_cast<size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, title.c_str(), -1, legacy.data(), size, nullptr, nullptr);
    std::wstring expected(title.size() * 2, L'\0');
    expected.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, legacy.data(), static_cast<int>(legacy.size()),
                                                            expected.data(), static_cast<int>(expected.size()))));
    ASSERT_NE(Utf8ToWide(legacy).find(L'\ufffd'), std::wstring::npos) << "the code page's bytes must not be UTF-8";

    TempFolder folder;
    const std::wstring path = folder.File(L"DesktopContainer.kelm");
    const std::string original = "Components{\r\n    ComID_a{\r\n        id : \"a\",\r\n        title : \"" + legacy +
                                 "\"\r\n    }\r\n}\r\n@Notes{\r\n    n : 1\r\n}\r\nComponents{\r\n    ComID_b{\r\n"
                                 "        id : \"b\",\r\n        title : \"\xe6\x94\xb6\xe7\xba\xb3\"\r\n    }\r\n}\r\n"
                                 "TessikRef{\r\n    test : 0\r\n}";
    TempFolder::WriteBytes(path, original);
    KelmStorage store;
    store.Load(path, kStoreOwnRoot, true);
    EXPECT_FALSE(store.FailedToParse());
    EXPECT_EQ(store[L"Components"][L"ComID_a"][L"title"].Get<std::wstring>(L""), expected);
    // The repeated root's box is a box like the others, not "Components^".
    EXPECT_EQ(store[L"Components"][L"ComID_b"][L"title"].Get<std::wstring>(L""), L"\u6536\u7eb3");
    EXPECT_EQ(store.Roots().count(L"Components^"), 0u);
    const StoreLoadChanges& changes = store.LoadChanges();
    EXPECT_EQ(changes.linesNotUtf8, 1);
    EXPECT_EQ(changes.repeatedRoots, std::vector<std::wstring>{L"Components"});
    EXPECT_EQ(changes.droppedRoots, std::vector<std::wstring>{L"@Notes"});
    // Kept before anything could replace it, and not again by the start.
    EXPECT_EQ(store.BackupPath(), path + L".1.bak");
    EXPECT_EQ(TempFolder::ReadBytes(path + L".1.bak"), original);
    EXPECT_EQ(store.SaveKeepingLoadedBytes(), L"");
    EXPECT_FALSE(std::filesystem::exists(path + L".2.bak"));

    KelmStorage reloaded;
    reloaded.Load(path, kStoreOwnRoot, true);
    EXPECT_FALSE(reloaded.LoadChanges().Any());
    EXPECT_EQ(reloaded[L"Components"][L"ComID_a"][L"title"].Get<std::wstring>(L""), expected);
    EXPECT_EQ(reloaded[L"Components"][L"ComID_b"][L"id"].Get<std::wstring>(L""), L"b");
}
