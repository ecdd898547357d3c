// The store's text format: the exact bytes it writes and how layout text of
// every accepted shape reads back.
#include <gtest/gtest.h>

#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "app/TempFolder.h"

namespace
{

KelmStorageNestedObject ParseRoot(const std::wstring& text, const std::wstring& root = L"A")
{
    bvn::parser::basic_parser<std::wstringstream, wchar_t> parser(text);
    parser.parse();
    const auto found = parser.objects().find(root);
    if (found == parser.objects().end())
        return KelmStorageNestedObject();
    return ConvertParsedObject(found->second);
}

std::vector<std::wstring> RootsOf(const std::wstring& text)
{
    bvn::parser::basic_parser<std::wstringstream, wchar_t> parser(text);
    parser.parse();
    return parser.order();
}

const KelmStorageValue& Member(const KelmStorageNestedObject& object, const std::wstring& key)
{
    return object.members.at(key);
}

} // namespace

TEST(StoreTextFormat, WritesTheDocumentByteForByte)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Tessik.kelm");
    KelmStorage store;
    store.Load(path);
    store[L"TessikRef"][L"NewComer"] = true;
    store[L"TessikRef"][L"themeBaseColor"] = L"#FFFFFF";
    store[L"TessikRef"][L"ver"] = 100;
    store[L"TessikRef"][L"scale"] = 1.5;
    store[L"Components"][L"ComID_1a2b3c"][L"id"] = L"1a2b3c";
    store[L"Components"][L"ComID_1a2b3c"][L"Icons"][L"x"] = 1;
    store[L"Components"][L"ComID_1a2b3c"][L"Icons"][L"x"].remove();
    store.Save();

    const std::string expected = "TessikRef{\r\n"
                                 "    NewComer : true,\r\n"
                                 "    themeBaseColor : \"#FFFFFF\",\r\n"
                                 "    ver : 100,\r\n"
                                 "    scale : 1.5\r\n"
                                 "}\r\n"
                                 "Components{\r\n"
                                 "    ComID_1a2b3c{\r\n"
                                 "        id : \"1a2b3c\",\r\n"
                                 "        Icons{\r\n"
                                 "\r\n"
                                 "        }\r\n"
                                 "    }\r\n"
                                 "}";
    EXPECT_EQ(TempFolder::ReadBytes(path), expected);

    KelmStorage again;
    again.Load(path);
    ASSERT_EQ(again.Roots().size(), 2u);
    EXPECT_EQ(again.Roots().begin()->first, L"TessikRef");
    EXPECT_TRUE(again[L"TessikRef"][L"NewComer"].Get<bool>(false));
    EXPECT_EQ(again[L"TessikRef"][L"themeBaseColor"].Get<std::wstring>(L""), L"#FFFFFF");
    EXPECT_EQ(again[L"TessikRef"][L"ver"].Get<int>(0), 100);
    EXPECT_FLOAT_EQ(again[L"TessikRef"][L"scale"].Get<float>(0), 1.5f);
    EXPECT_EQ(again[L"Components"][L"ComID_1a2b3c"][L"id"].Get<std::wstring>(L""), L"1a2b3c");
    auto icons = again[L"Components"][L"ComID_1a2b3c"];
    int members = 0;
    for (auto it = icons.begin(); it != icons.end(); ++it)
        ++members;
    EXPECT_EQ(members, 2);
}

TEST(StoreTextFormat, DoublesUseSixSignificantDigits)
{
    EXPECT_EQ(FormatStoreDouble(300.0), L"300");
    EXPECT_EQ(FormatStoreDouble(0.5), L"0.5");
    EXPECT_EQ(FormatStoreDouble(1234567.0), L"1.23457e+06");
    EXPECT_EQ(FormatStoreDouble(1e-07), L"1e-07");
    EXPECT_EQ(FormatStoreDouble(-0.25), L"-0.25");
}

TEST(StoreTextFormat, TextEscapingRules)
{
    KelmStorageTextNode node;
    WriteStringEntry(node, L"a", L"C:\\dir");
    WriteStringEntry(node, L"b", L"C:\\\\dir"); // already doubled: unchanged
    WriteStringEntry(node, L"c", L"say \"hi\"");
    WriteStringEntry(node, L"d", L"line\nbreak\ttab");
    EXPECT_EQ(node.entries[0].second, L"\"C:\\\\dir\"");
    EXPECT_EQ(node.entries[1].second, L"\"C:\\\\dir\"");
    // A quote the quoted form would not give back: the exact form.
    EXPECT_EQ(node.entries[2].second, L"~\"say \"\"hi\"\"\"");
    EXPECT_EQ(node.entries[3].second, L"\"line\nbreak\ttab\"");
}

TEST(LayoutTextParser, DocumentShapes)
{
    EXPECT_TRUE(RootsOf(L"").empty());
    EXPECT_TRUE(RootsOf(L"  \r\n ").empty());
    EXPECT_TRUE(RootsOf(L"#tag A{ x : 1 }").empty());
    EXPECT_EQ(RootsOf(L"A{ x : 1 } A{ y : 2 } @A{ z : 3 }"), (std::vector<std::wstring>{L"A", L"A^"}));
    EXPECT_EQ(RootsOf(L"A  B{ }"), (std::vector<std::wstring>{L"AB"}));
    EXPECT_EQ(RootsOf(L"Name { }"), (std::vector<std::wstring>{L"Name "}));
    // A root that fails to parse ends the document; earlier roots stay.
    EXPECT_EQ(RootsOf(L"A{ x : 1 } B{ k ! }"), (std::vector<std::wstring>{L"A"}));
}

TEST(LayoutTextParser, MemberForms)
{
    auto a = ParseRoot(L"A{ x : 1, }");
    EXPECT_EQ(std::get<int>(Member(a, L"x")), 1);

    a = ParseRoot(L"A{ x(5) y : 2}");
    EXPECT_EQ(std::get<int>(Member(a, L"x")), 5);
    EXPECT_EQ(std::get<int>(Member(a, L"y")), 2);

    a = ParseRoot(L"A{ x : , y : 2}");
    EXPECT_EQ(a.members.count(L"x"), 0u);
    EXPECT_EQ(std::get<int>(Member(a, L"y")), 2);

    a = ParseRoot(L"A{ k : 1, k : 2 }");
    EXPECT_EQ(a.members.size(), 1u);
    EXPECT_EQ(std::get<int>(Member(a, L"k")), 2);

    a = ParseRoot(L"A{ o{ p : true } q : false }");
    EXPECT_TRUE(std::get<bool>(Member(*std::get<4>(Member(a, L"o")), L"p")));
    EXPECT_FALSE(std::get<bool>(Member(a, L"q")));

    // A key with a space ends at the space; the object then fails.
    EXPECT_TRUE(RootsOf(L"A{ my key : 1 }").empty());
}

TEST(LayoutTextParser, ValuesAreTypedByShape)
{
    const auto a = ParseRoot(L"A{ q : \"007\", r : \"1.50\", s : 1.50, t : -12, u : 12-3, v : 1.2.3, w : 1e-07, "
                             L"x : nan, y : \"  padded  \", z : \"true\" }");
    EXPECT_EQ(std::get<int>(Member(a, L"q")), 7);
    EXPECT_EQ(std::get<std::wstring>(Member(a, L"r")), L"1.50");
    EXPECT_DOUBLE_EQ(std::get<double>(Member(a, L"s")), 1.5);
    EXPECT_EQ(std::get<int>(Member(a, L"t")), -12);
    EXPECT_EQ(std::get<int>(Member(a, L"u")), 12);
    EXPECT_DOUBLE_EQ(std::get<double>(Member(a, L"v")), 1.2);
    EXPECT_EQ(std::get<std::wstring>(Member(a, L"w")), L"1e-07");
    EXPECT_EQ(std::get<std::wstring>(Member(a, L"x")), L"nan");
    EXPECT_EQ(std::get<std::wstring>(Member(a, L"y")), L"padded");
    EXPECT_TRUE(std::get<bool>(Member(a, L"z")));
}

TEST(LayoutTextParser, UnwrittenShapesNeitherCrashNorSwallowMembers)
{
    // Beyond 32 bits, and real-shaped text with no number: kept as text.
    auto a = ParseRoot(L"A{ big : 99999999999, dots : .., dm : .-, next : 1 }");
    EXPECT_EQ(std::get<std::wstring>(Member(a, L"big")), L"99999999999");
    EXPECT_EQ(std::get<std::wstring>(Member(a, L"dots")), L"..");
    EXPECT_EQ(std::get<std::wstring>(Member(a, L"dm")), L".-");
    EXPECT_EQ(std::get<int>(Member(a, L"next")), 1);

    // A text ending in a backslash is written "...\" and must not run on.
    a = ParseRoot(L"A{\n    dir : \"C:\\\\data\\\\\",\n    after : 5\n}");
    EXPECT_EQ(std::get<std::wstring>(Member(a, L"dir")), L"C:\\\\data\\\\");
    EXPECT_EQ(std::get<int>(Member(a, L"after")), 5);
    a = ParseRoot(L"A{\n    dir : \"C:\\\\\"\n}\nB{\n    k : 1\n}");
    EXPECT_EQ(std::get<std::wstring>(Member(a, L"dir")), L"C:\\\\");
    EXPECT_EQ(RootsOf(L"A{\n    dir : \"C:\\\\\"\n}\nB{\n    k : 1\n}").size(), 2u);

    // The text ends inside a key or before a value: members so far stay.
    a = ParseRoot(L"A{ x : 1, ke");
    EXPECT_EQ(std::get<int>(Member(a, L"x")), 1);
    a = ParseRoot(L"A{ x : 1, key ");
    EXPECT_EQ(a.members.size(), 1u);
}

TEST(LayoutTextParser, AbsurdNestingFailsInsteadOfOverflowingTheStack)
{
    std::wstring deep = L"A";
    for (int i = 0; i < 100000; ++i)
        deep += L"{k";
    EXPECT_TRUE(RootsOf(deep).empty());
}

TEST(StoreTextFormat, TextsKeepTheirTypeOnReloadDoublesMayNot)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"t.kelm");
    KelmStorage store;
    store.Load(path);
    auto r = store[L"R"];
    r[L"digits"] = L"0042";
    r[L"word"] = L"false";
    r[L"whole"] = 300.0;
    r[L"tiny"] = 1e-07;
    r[L"path"] = L"C:\\Users\\me";
    r[L"quote"] = L"a\"b";
    r[L"spaced"] = L"  x  ";
    r[L"emoji"] = L"盒\U0001F600";
    store[L"R"][L"obj"][L"inner"] = 1;
    r[L"late"] = 2; // written before the object
    store.Save();

    KelmStorage again;
    again.Load(path);
    auto g = again[L"R"];
    // Texts that look like numbers or bools, or have blanks at their ends,
    // stay the texts they were.
    EXPECT_EQ(g[L"digits"].Get<std::wstring>(L""), L"0042");
    EXPECT_EQ(g[L"word"].Get<std::wstring>(L""), L"false");
    EXPECT_EQ(g[L"whole"].Get<int>(0), 300);
    EXPECT_FLOAT_EQ(g[L"whole"].Get<float>(0), 300.0f); // a whole double reads back through the float getter
    EXPECT_EQ(g[L"tiny"].Get<std::wstring>(L""), L"1e-07");
    EXPECT_EQ(g[L"path"].Get<std::wstring>(L""), L"C:\\\\Users\\\\me");
    EXPECT_EQ(g[L"quote"].Get<std::wstring>(L""), L"a\"b");
    EXPECT_EQ(g[L"spaced"].Get<std::wstring>(L""), L"  x  ");
    EXPECT_EQ(g[L"emoji"].Get<std::wstring>(L""), L"盒\U0001F600");
    std::vector<std::wstring> order;
    for (auto it = g.begin(); it != g.end(); ++it)
        order.push_back((*it).first);
    EXPECT_EQ(order.back(), L"obj");

    // From the second save on, a doubled path stays as it is.
    again.Save();
    KelmStorage third;
    third.Load(path);
    EXPECT_EQ(third[L"R"][L"path"].Get<std::wstring>(L""), L"C:\\\\Users\\\\me");

    // Files written before keep reading as they always did.
    const KelmStorageNestedObject older =
        ParseRoot(L"R{ digits : \"0042\", word : \"false\", spaced : \"  x  \" }", L"R");
    EXPECT_EQ(older.members.at(L"digits"), KelmStorageValue(42));
    EXPECT_EQ(older.members.at(L"word"), KelmStorageValue(false));
    EXPECT_EQ(older.members.at(L"spaced"), KelmStorageValue(std::wstring(L"x")));
}

TEST(StoreTextFormat, TypedTextsComeBackAsTypedAfterEverySave)
{
    const std::wstring texts[] = {L"\\\\NAS \"my photos\"",
                                  L"say \"hi\"",
                                  L"a\\b",
                                  L"a\\\\b",
                                  L"a\\\\\\b",
                                  L"\\\\\"",
                                  L"x\\\\\"y\"",
                                  L"trailing\\",
                                  L"trailing\\\\",
                                  L"\"quoted\\\"",
                                  L"\"",
                                  L"a, b {c} d: e",
                                  L"收纳盒 \"照片\" \U0001F600",
                                  L"Unnamed"};
    TempFolder folder;
    const std::wstring path = folder.File(L"DesktopContainer.kelm");
    KelmStorage store;
    store.Load(path);
    int n = 0;
    for (const std::wstring& text : texts)
        store[L"Components"][L"ComID_" + std::to_wstring(n++)][L"title"] = TypedTextToStore(text);
    store[L"Components"][L"after"] = L"C:\\Users\\me";
    store[L"Last"][L"k"] = 1;
    store.Save();
    std::string first;
    for (int save = 0; save < 3; ++save) {
        KelmStorage again;
        again.Load(path);
        ASSERT_FALSE(again.FailedToParse()) << save;
        n = 0;
        for (const std::wstring& text : texts) {
            const std::wstring stored =
                again[L"Components"][L"ComID_" + std::to_wstring(n++)][L"title"].Get<std::wstring>(L"");
            EXPECT_EQ(TypedTextFromStore(stored), text) << save << " " << testing::PrintToString(text);
        }
        EXPECT_EQ(again[L"Components"][L"after"].Get<std::wstring>(L""), L"C:\\\\Users\\\\me");
        EXPECT_EQ(again[L"Last"][L"k"].Get<int>(0), 1);
        again.Save();
        // From the first reload on, not a byte changes.
        if (save == 0)
            first = TempFolder::ReadBytes(path);
        else
            EXPECT_EQ(TempFolder::ReadBytes(path), first);
    }
    // Texts stable before keep their bytes: plain titles and stored paths.
    EXPECT_NE(first.find("title : \"Unnamed\""), std::string::npos);
    EXPECT_NE(first.find("after : \"C:\\\\Users\\\\me\""), std::string::npos);
}

TEST(LayoutTextParser, ExactTextsAndFilesCutShort)
{
    // Doubled quotes stand for one; backslashes are plain characters.
    KelmStorageNestedObject a = ParseRoot(L"A{\n    t : ~\"a \"\"b\"\" c\\\",\n    n : 2\n}");
    EXPECT_EQ(std::get<std::wstring>(Member(a, L"t")), L"a \"b\" c\\");
    EXPECT_EQ(std::get<int>(Member(a, L"n")), 2);
    // Not trimmed, not typed.
    a = ParseRoot(L"A{ t : ~\" 12 \" }");
    EXPECT_EQ(std::get<std::wstring>(Member(a, L"t")), L" 12 ");

    auto complete = [](const std::wstring& text) {
        bvn::parser::basic_parser<std::wstringstream, wchar_t> parser(text);
        return parser.parse() && parser.complete();
    };
    EXPECT_TRUE(complete(L"A{\n    k : 1\n}\nB{\n\n}"));
    EXPECT_FALSE(complete(L"A{\n    k : 1\n}\nB{\n    C{\n        t : \"x"));
    EXPECT_FALSE(complete(L"A{\n    k : 1,"));
    EXPECT_FALSE(complete(L"A{\n    t : ~\"open"));
}

TEST(StoreTextFormat, TypedTextsThatLookLikeValuesKeepTheirTextAndBytes)
{
    // Each would be read back as a number, a bool or trimmed from the
    // quoted form.
    const std::wstring texts[] = {L"2024", L"true", L"false", L"-0", L"007", L" a ", L"-12", L"\t1\n", L"2147483647"};
    TempFolder folder;
    const std::wstring path = folder.File(L"DesktopContainer.kelm");
    KelmStorage store;
    store.Load(path, kStoreOwnRoot);
    int n = 0;
    for (const std::wstring& text : texts)
        store[L"Components"][L"ComID_" + std::to_wstring(n++)][L"title"] = TypedTextToStore(text);
    store[kStoreOwnRoot][L"test"] = 0;
    store.Save();
    const std::string saved = TempFolder::ReadBytes(path);
    for (int start = 0; start < 2; ++start) {
        KelmStorage again;
        again.Load(path, kStoreOwnRoot);
        ASSERT_FALSE(again.FailedToParse());
        n = 0;
        for (const std::wstring& text : texts) {
            const auto& box =
                std::get<4>(again.GetRootObject(L"Components").members.at(L"ComID_" + std::to_wstring(n++)));
            EXPECT_EQ(box->members.at(L"title"), KelmStorageValue(text)) << testing::PrintToString(text);
            EXPECT_EQ(TypedTextMember(box.get(), L"title", L"Unnamed"), text);
        }
        EXPECT_EQ(again.SaveKeepingLoadedBytes(), L"") << start;
    }
    EXPECT_EQ(TempFolder::ReadBytes(path), saved);
    EXPECT_FALSE(std::filesystem::exists(path + L".1.bak"));
    // Texts that read back as they are keep the quoted form.
    EXPECT_EQ(StoreTextValue(L"12a"), L"\"12a\"");
    EXPECT_EQ(StoreTextValue(L"1.50"), L"\"1.50\"");
    EXPECT_EQ(StoreTextValue(L""), L"\"\"");
}
