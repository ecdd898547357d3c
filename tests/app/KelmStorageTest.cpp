#include <gtest/gtest.h>

#include "app/KelmStorage.h"
#include "app/TempFolder.h"

TEST(KelmStorageSmoke, SaveThenLoad)
{
    TempFolder folder;
    KelmStorage store;
    store.Load(folder.File(L"a.kelm"));
    store[L"TessikRef"][L"ver"] = 100;
    store.Save();
    KelmStorage again;
    again.Load(folder.File(L"a.kelm"));
    EXPECT_EQ(again[L"TessikRef"][L"ver"].Get<int>(0), 100);
}
