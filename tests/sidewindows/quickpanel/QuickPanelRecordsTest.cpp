// The main list brought to a wanted list a slice per turn: it shows what
// it showed until the last slice, a list that changed between two slices
// is looked at again, and a kept record keeps its control.
#include <utility>

#include "QuickPanelTestSupport.h"
#include "sidewindows/quickpanel/QuickPanelRecords.h"

using namespace TessikQuickPanel;

TEST_F(QuickPanelTest, ATakeOverInSlicesChangesTheListOnlyInItsLastSlice)
{
    auto owner = std::make_shared<KelmWindow>();
    KelmIconManager list(48, 12, 75);
    list.SetOwnBox(owner);
    auto make = [&list, &owner](const std::wstring& path) {
        return list.MakeRecord(path, 0, 0, L"bvn!NULL", false, L"", owner, L"bvn!NULL");
    };
    for (int i = 0; i < 3000; ++i)
        list.Records().push_back(make(L"C:\\old\\" + std::to_wstring(i)));
    list.Renumber();
    const auto kept = list.EnsureControl(list.Records()[2000]);
    // The second half of the old records, then as many new ones made ahead.
    std::vector<IconRecord> sources;
    for (int i = 1500; i < 3000; ++i)
        sources.push_back(make(L"C:\\old\\" + std::to_wstring(i)));
    for (int i = 0; i < 3000; ++i)
        sources.push_back(make(L"C:\\new\\" + std::to_wstring(i)));
    std::vector<WantedRecord> wanted;
    for (size_t i = 0; i < sources.size(); ++i)
        wanted.push_back({&sources[i], owner, i == 0 ? L"head" : L"", i < 1500 ? nullptr : &sources[i]});

    TakeOverInSlices takeOver(list, std::move(wanted));
    int slices = 0;
    while (!takeOver.Step([] { return true; })) {
        ++slices;
        ASSERT_EQ(std::as_const(list).Records().size(), slices < 5 ? 3000u : 3001u);
        EXPECT_EQ(std::as_const(list).Records()[0].path, L"C:\\old\\0");
        // Changed between two slices: looked at again from its start.
        if (slices == 4)
            list.Records().push_back(make(L"C:\\old\\extra"));
        ASSERT_LT(slices, 1000);
    }
    EXPECT_GT(slices, 10);
    EXPECT_TRUE(takeOver.Changed());
    const std::vector<IconRecord>& shown = std::as_const(list).Records();
    ASSERT_EQ(shown.size(), 4500u);
    EXPECT_EQ(shown[0].path, L"C:\\old\\1500");
    EXPECT_EQ(shown[0].sectionText, L"head");
    EXPECT_EQ(shown[500].control, kept);
    EXPECT_EQ(shown[1500].path, L"C:\\new\\0");
    EXPECT_EQ(shown.back().id, 4499u);
}
