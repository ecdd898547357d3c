// Reading the stored settings of a box with their defaults, the appearance
// that follows "TessikRef", the keys of a new box, and reads that leave the
// store exactly as it was.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/StoreTextFormat.h"
#include "box/BoxSettings.h"

namespace
{

KelmStorageNestedObject ObjectOf(std::initializer_list<std::pair<std::wstring, KelmStorageValue>> members)
{
    KelmStorageNestedObject object;
    for (const auto& [key, value] : members)
        object.members[key] = value;
    return object;
}

std::wstring TextOf(const KelmStorageNestedObject& object)
{
    KelmStorageTextNode node;
    node.name = L"ComID_x";
    BuildTextNode(node, object);
    std::wstring out;
    WriteTextNode(node, out, 0);
    return out;
}

} // namespace

TEST(BoxSettings, MissingKeysTakeTheirDefaults)
{
    for (const bool emptyObject : {false, true}) {
        KelmStorageNestedObject empty;
        const BoxSettings s = BoxSettings::Read(emptyObject ? &empty : nullptr, nullptr, 1.5);
        EXPECT_EQ(s.x, 0);
        EXPECT_EQ(s.y, 0);
        EXPECT_EQ(s.cx, 450);
        EXPECT_EQ(s.cy, 600);
        EXPECT_EQ(s.title, L"Unnamed");
        EXPECT_EQ(s.z, 1);
        EXPECT_EQ(s.clrtag, L"#F2F2F2");
        EXPECT_EQ(s.IconSizeLevel, 3);
        EXPECT_EQ(s.SortMode, 0);
        EXPECT_EQ(s.CompatibleLayer, 0);
        EXPECT_EQ(s.TargetFolder, L"bvn!NULL");
        EXPECT_FALSE(s.UseTargetFolder);
        EXPECT_FLOAT_EQ(s.bgAlpha, 1.0f);
        EXPECT_FALSE(s.isMinimized);
    }
}

TEST(BoxSettings, StoredValuesAreReadAndReadingChangesNothing)
{
    auto integrated =
        std::make_shared<KelmStorageNestedObject>(ObjectOf({{L"x", 5}, {L"y", 6}, {L"cx", 700}, {L"cy", 800}}));
    KelmStorageNestedObject box = ObjectOf({
        {L"id", std::wstring(L"a1b2c")},
        {L"x", 40},
        {L"y", 50},
        {L"cx", 310},
        {L"cy", 420},
        {L"z", 2},
        {L"title", std::wstring(L"文档")},
        {L"clrtag", std::wstring(L"#FF0000")},
        {L"CompatibleLayer", 2},
        {L"bgAlpha", 0.4},
        {L"titleAlpha", 1},
        {L"HideFileExtension", 2},
        {L"IconSizeLevel", 9},
        {L"SortMode", 3},
        {L"IsLocked", true},
        {L"UseTargetFolder", true},
        {L"TargetFolder", std::wstring(L"D:\\box")},
        {L"isMinimized", true},
        {L"TitleType", 1},
    });
    const std::wstring before = TextOf(box);
    const BoxSettings s = BoxSettings::Read(&box, nullptr, 1.0);
    EXPECT_EQ(TextOf(box), before);
    EXPECT_EQ(s.x, 40);
    EXPECT_EQ(s.cy, 420);
    EXPECT_EQ(s.z, 2);
    EXPECT_EQ(s.title, L"文档");
    EXPECT_EQ(s.CompatibleLayer, 2);
    EXPECT_FLOAT_EQ(s.bgAlpha, 0.4f);
    EXPECT_FLOAT_EQ(s.titleAlpha, 1.0f) << "a whole double comes back as an int";
    EXPECT_EQ(s.HideFileExtension, 2);
    EXPECT_EQ(s.IconSizeLevel, 7) << "kept within 1..7";
    EXPECT_EQ(s.SortMode, 3);
    EXPECT_TRUE(s.IsLocked);
    EXPECT_TRUE(s.UseTargetFolder);
    EXPECT_EQ(s.TargetFolder, L"D:\\box");
    EXPECT_TRUE(s.isMinimized);
    EXPECT_EQ(s.TitleType, 1);

    box.members[L"IsIntegrated"] = true;
    EXPECT_EQ(BoxSettings::Read(&box, nullptr, 1.0).cx, 300) << "integrated box without IntegratedPos";
    box.members[L"IntegratedPos"] = integrated;
    const BoxSettings host = BoxSettings::Read(&box, nullptr, 1.0);
    EXPECT_EQ(host.x, 5);
    EXPECT_EQ(host.cy, 800);

    BoxRuntime runtime;
    s.ApplyTo(runtime);
    EXPECT_EQ(runtime.title, L"文档");
    EXPECT_EQ(runtime.HideFileExtension, 2);
    EXPECT_EQ(runtime.CompatibleLayer, 2);
    EXPECT_TRUE(runtime.isMinimized);
}

TEST(BoxSettings, GlobalAppearanceComesFromTessikRef)
{
    KelmStorageNestedObject box = ObjectOf(
        {{L"CompatibleLayer", -1}, {L"bgAlpha", 0.9}, {L"TitleType", 2}, {L"HideFileExtension", 0}, {L"SortMode", 4}});
    KelmStorageNestedObject ref = ObjectOf({{L"CompatibleLayer", 3},
                                            {L"bgAlpha", 0.25},
                                            {L"titleAlpha", 0.5},
                                            {L"ShowDefaultFolderIcon", true},
                                            {L"HideFileExtension", 2},
                                            {L"TextRenderMode", 1}});
    const BoxSettings s = BoxSettings::Read(&box, &ref, 1.0);
    EXPECT_TRUE(s.followsGlobalAppearance);
    EXPECT_EQ(s.CompatibleLayer, 3);
    EXPECT_FLOAT_EQ(s.bgAlpha, 0.25f);
    EXPECT_FLOAT_EQ(s.titleAlpha, 0.5f);
    EXPECT_TRUE(s.ShowDefaultFolderIcon);
    EXPECT_EQ(s.HideFileExtension, 2);
    EXPECT_EQ(s.TextRenderMode, 1);
    EXPECT_EQ(s.TitleType, 0) << "not the box's own value";
    EXPECT_EQ(s.SortMode, 4) << "sorting is always the box's own";

    const BoxSettings noRef = BoxSettings::Read(&box, nullptr, 1.0);
    EXPECT_EQ(noRef.CompatibleLayer, 0);
    EXPECT_FLOAT_EQ(noRef.bgAlpha, 1.0f);

    // An older file that stored the file-name setting as a flag.
    KelmStorageNestedObject old = ObjectOf({{L"HideFileExtension", true}, {L"CompatibleLayer", 7}});
    const BoxSettings o = BoxSettings::Read(&old, nullptr, 1.0);
    EXPECT_EQ(o.HideFileExtension, 1);
    EXPECT_EQ(o.CompatibleLayer, 7) << "the record takes the stored style, even one it does not know";
    KelmStorageNestedObject negative = ObjectOf({{L"CompatibleLayer", -4}});
    EXPECT_EQ(BoxSettings::Read(&negative, nullptr, 1.0).CompatibleLayer, -4);
}

TEST(BoxSettings, NewBoxesWriteTheirKeysAndReadBackAsWritten)
{
    KelmStorageNestedObject mapping;
    BoxSettings::WriteNew(mapping, L"0abcd", 0, 1.25, L"NULL", false);
    EXPECT_EQ(mapping.members.find(L"UseTargetFolder"), mapping.members.end());
    EXPECT_EQ(std::get<std::wstring>(mapping.members[L"id"]), L"0abcd");
    EXPECT_EQ(std::get<int>(mapping.members[L"z"]), 0);
    EXPECT_DOUBLE_EQ(std::get<double>(mapping.members[L"cx"]), 375.0);
    EXPECT_EQ(std::get<std::wstring>(mapping.members[L"clrtag"]), L"#F2F2F2");
    const BoxSettings m = BoxSettings::Read(&mapping, nullptr, 1.25);
    EXPECT_EQ(m.cx, 375);
    EXPECT_EQ(m.cy, 500);
    EXPECT_EQ(m.z, 0);
    EXPECT_EQ(m.TargetFolder, L"bvn!NULL");
    const std::wstring written = TextOf(mapping);
    BoxSettings::Read(&mapping, nullptr, 1.25);
    EXPECT_EQ(TextOf(mapping), written);

    KelmStorageNestedObject normal;
    BoxSettings::WriteNew(normal, L"1f2e3", 1, 1.0, L"D:\\root\\1f2e3", false);
    const BoxSettings n = BoxSettings::Read(&normal, nullptr, 1.0);
    EXPECT_TRUE(n.UseTargetFolder);
    EXPECT_FALSE(n.IsCustomTarget);
    EXPECT_EQ(n.TargetFolder, L"D:\\root\\1f2e3");

    KelmStorageNestedObject target;
    BoxSettings::WriteNew(target, L"9a9a9", 1, 1.0, L"E:\\Photos", true);
    const BoxSettings t = BoxSettings::Read(&target, nullptr, 1.0);
    EXPECT_TRUE(t.UseTargetFolder);
    EXPECT_TRUE(t.IsCustomTarget);
    EXPECT_EQ(t.TargetFolder, L"E:\\Photos");
}

TEST(BoxSettings, MalformedTagShowsTheUntaggedGrey)
{
    const struct {
        const wchar_t* text;
        COLORREF colour;
    } cases[] = {
        {L"#FF0000", RGB(255, 0, 0)},    {L"#00ff80", RGB(0, 255, 128)},    {L"#F2F2F2", RGB(242, 242, 242)},
        {L"red", RGB(242, 242, 242)},    {L"", RGB(242, 242, 242)},         {L"#GG0000", RGB(242, 242, 242)},
        {L"#12345", RGB(242, 242, 242)}, {L"#1234567", RGB(242, 242, 242)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TagColourOrDefault(c.text), c.colour) << c.text;
    EXPECT_TRUE(IsUntaggedColour(TagColourOrDefault(L"oops")));
    EXPECT_FALSE(IsUntaggedColour(RGB(255, 0, 0)));
}

TEST(BoxSettings, LookupsNeverCreateMembers)
{
    KelmStorage store;
    EXPECT_EQ(FindBoxObject(store, L"abcde"), nullptr);
    EXPECT_TRUE(store.Roots().empty());
    store[L"Components"][L"ComID_abcde"][L"id"] = L"abcde";
    store[L"Components"][L"other"] = 3;
    ASSERT_NE(FindBoxObject(store, L"abcde"), nullptr);
    EXPECT_EQ(FindBoxObject(store, L"fffff"), nullptr);
    EXPECT_EQ(FindBoxObject(store, L"other"), nullptr);
    EXPECT_EQ(store.GetRootObject(L"Components").members.size(), 2u);
    EXPECT_EQ(FindRootObject(store, L"TessikRef"), nullptr);
}
