// Where a file taken out of a box goes: a disband sends it home only to a
// place the user sees, and a typed "归位" destination means what it says.
#include <gtest/gtest.h>

#include "box/PutBackPlan.h"

using namespace PutBack;

TEST(PutBackPlan, ADisbandSendsAFileHomeOnlyToAPlaceTheUserSees)
{
    using Kind = DisbandTarget::Kind;
    struct Case {
        std::wstring original;
        Place place;
        std::wstring desktop;
        Kind kind;
        std::wstring path;
    };
    const std::wstring desk = L"C:\\Users\\me\\Desktop";
    const Case cases[] = {
        {L"D:\\home\\a.txt", Place::Seen, desk, Kind::Original, L"D:\\home\\a.txt"},
        {L"D:\\home\\a.txt", Place::Gone, desk, Kind::Desktop, desk + L"\\a.txt"},
        {L"D:\\home\\a.txt", Place::BoxFolder, desk, Kind::Desktop, desk + L"\\a.txt"},
        {L"bvn!NULL", Place::Unknown, desk, Kind::Desktop, desk + L"\\a.txt"},
        // A place that is no full path is no place.
        {L"home\\a.txt", Place::Seen, desk, Kind::Desktop, desk + L"\\a.txt"},
        {L"D:\\home\\a.txt", Place::Gone, L"", Kind::Stay, L""},
        // A place reached through a link keeps the file in the box.
        {L"D:\\home\\a.txt", Place::Linked, desk, Kind::Stay, L""},
        {L"D:\\home\\a.txt", Place::Unchecked, desk, Kind::Stay, L""},
    };
    for (const Case& c : cases) {
        const DisbandTarget target = PlanDisbandTarget(L"a.txt", c.original, c.place, c.desktop, {L"D:\\home"});
        EXPECT_EQ(target.kind, c.kind) << c.original;
        EXPECT_EQ(target.path, c.path) << c.original;
        EXPECT_EQ(target.why.empty(), c.kind == Kind::Original) << c.original;
        if (c.place == Place::Linked || c.place == Place::Unchecked) {
            EXPECT_NE(target.why.find(L"链接"), std::wstring::npos);
        }
    }
    // A typed destination whose way holds a link is refused.
    RestoreFacts linked;
    linked.way.at = L"C:\\work";
    EXPECT_NE(PlanRestoreTarget(L"C:\\work\\d.txt", L"d.txt", linked).refused.find(L"“C:\\work”"), std::wstring::npos);
}

TEST(PutBackPlan, ATypedDestinationIsAFolderToGoIntoOrTheFileItselfAndMustBeAFullPath)
{
    struct Case {
        std::wstring entered;
        bool isFolder;
        std::wstring folder, name;
        bool refused;
    };
    const Case cases[] = {
        {L"C:\\Users\\me\\Desktop", true, L"C:\\Users\\me\\Desktop", L"d.txt", false},
        {L"C:\\Users\\me\\New\\", false, L"C:\\Users\\me\\New", L"d.txt", false},
        {L"D:\\", true, L"D:\\", L"d.txt", false},
        {L"C:\\work\\budget-2027.xlsx", false, L"C:\\work", L"budget-2027.xlsx", false},
        {L"\\\\nas\\share\\d.txt", false, L"\\\\nas\\share", L"d.txt", false},
        {L"budget-2027.xlsx", false, L"", L"", true},
        {L"sub\\d.txt", false, L"", L"", true},
        {L"\\d.txt", false, L"", L"", true},
        {L"C:d.txt", false, L"", L"", true},
        // A new name the system would cut short, or take for a device.
        {L"C:\\work\\d.txt.", false, L"", L"", true},
        {L"C:\\work\\d.txt ", false, L"", L"", true},
        {L"C:\\work\\aux.txt", false, L"", L"", true},
    };
    for (const Case& c : cases) {
        const RestoreTarget target = PlanRestoreTarget(c.entered, L"d.txt", RestoreFacts{c.isFolder, {}});
        EXPECT_EQ(!target.refused.empty(), c.refused) << c.entered;
        if (c.refused)
            continue;
        EXPECT_EQ(target.folder, c.folder) << c.entered;
        EXPECT_EQ(target.name, c.name) << c.entered;
    }
    // Its own name it keeps, whatever that ends in.
    EXPECT_EQ(PlanRestoreTarget(L"C:\\work\\rep.", L"rep.", RestoreFacts{}).name, L"rep.");
}
