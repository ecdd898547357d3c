// Shared set-up of the quick panel tests: empty stores in a folder of the
// test's own, an empty box registry and no selection.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "box/BoxRuntime.h"
#include "box/icons/KelmIconManager.h"
#include "sidewindows/quickpanel/QPListItem.h"
#include "sidewindows/quickpanel/QuickPanelPaste.h"
#include "sidewindows/quickpanel/QuickPanelPhysListing.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "tests/common/WindowTestSupport.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

class QuickPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Empty files make Load drop whatever an earlier test left.
        TempFolder::WriteBytes(temp.File(L"QuickPanelCom.kelm"), "");
        TempFolder::WriteBytes(temp.File(L"DesktopContainer.kelm"), "");
        s_quickPanelStore.Load(temp.File(L"QuickPanelCom.kelm"));
        s_desktopContainerStore.Load(temp.File(L"DesktopContainer.kelm"));
        Reset();
    }
    void TearDown() override { Reset(); }

    static void Reset()
    {
        // Nothing of a test's job may land in the next test.
        WaitForHiddenBoxJob();
        s_boxRuntimes.clear();
        s_boxIconManagers.clear();
        TessikQuickPanel::s_quickPanelRows.clear();
        TessikQuickPanel::s_hiddenBoxes.clear();
        TessikQuickPanel::SelectComponent(L"", false);
        TessikQuickPanel::s_quickPanelDummy.reset();
    }

    // A box in the registry (no Win32 window) with a stored colour.
    static std::shared_ptr<KelmWindow> AddBox(const std::wstring& id, const std::wstring& colour = L"#F2F2F2",
                                              bool integrated = false, bool folder = false)
    {
        auto box = std::make_shared<KelmWindow>();
        BoxRuntime& runtime = s_boxRuntimes[box];
        runtime.id = id;
        runtime.title = L"Box " + id;
        runtime.IsIntegrated = integrated;
        runtime.UseTargetFolder = folder;
        s_desktopContainerStore[L"Components"][L"ComID_" + id][L"clrtag"] = colour;
        return box;
    }

    static void AddHidden(const std::wstring& id, const std::wstring& title)
    {
        s_quickPanelStore[L"TempList"][id][L"title"] = title;
    }

    // A hidden box on folder, selected with its physical section active
    // (the panel's own road: the box has no window of its own).
    static void SelectHiddenFolder(const std::wstring& id, const std::wstring& folder)
    {
        TessikQuickPanel::HiddenBoxRecord record;
        record.id = id;
        record.UseTargetFolder = true;
        record.TargetFolder = folder;
        TessikQuickPanel::s_hiddenBoxes.push_back(record);
        TessikQuickPanel::s_quickPanelDummy = std::make_shared<KelmWindow>();
        s_boxRuntimes[TessikQuickPanel::s_quickPanelDummy].id = L"QUICK_PANEL_PHYS";
        s_boxIconManagers[TessikQuickPanel::s_quickPanelDummy].SetOwnBox(TessikQuickPanel::s_quickPanelDummy);
        s_boxRuntimes[TessikQuickPanel::s_quickPanelWindow].id = L"QUICK_PANEL_ROOT";
        TessikQuickPanel::SelectComponent(id, true);
        TessikQuickPanel::s_physicalSectionActive = true;
    }

    // Until what a hidden box's folder was given has landed, and the
    // folder's listing after it (bounded).
    static bool WaitForHiddenBoxJob()
    {
        return PumpUntil(
            [] { return !TessikQuickPanel::HiddenBoxJobRuns() && !TessikQuickPanel::PhysicalListingOnItsWay(); },
            30000);
    }

    static std::vector<std::wstring> RowIds()
    {
        std::vector<std::wstring> ids;
        for (const auto& row : TessikQuickPanel::s_quickPanelRows)
            ids.push_back(row->id);
        return ids;
    }

    TempFolder temp;
};

// Tests of the open panel: real windows at DPI 1, the panel joined and
// pinned, nothing remembered; closed again afterwards.
class QuickPanelWindowTest : public QuickPanelTest
{
protected:
    void SetUp() override
    {
        QuickPanelTest::SetUp();
        CreateGraphicsFactories();
        DpiScale = 1.0;
        TessikQuickPanel::s_rememberedRect = {};
        TessikQuickPanel::s_separateContent = false;
        TessikQuickPanel::s_pinned = true;
    }
    void TearDown() override
    {
        TessikQuickPanel::SwitchQuickPanel(false);
        PumpMessages(20);
        TessikQuickPanel::s_rememberedRect = {};
        TessikQuickPanel::s_separateContent = false;
        QuickPanelTest::TearDown();
    }
};
