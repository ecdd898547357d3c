// BoxRuntime: everything one storage box window, its menus and the icon and
// file code share at run time, kept in s_boxRuntimes keyed by the box
// window. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "box/fileops/UndoRecord.h"

class KelmWindow;
class KelmCaptionBar;
class KelmButton;
class KelmOptionCtl;
class KelmFAIcon;
class KelmReceiver;
class KelmEdit;
class KelmBarrier;
namespace TessikDesktopContainer
{
class KelmGroupTag;
class KelmIcon;
class KelmScrollBar;
} // namespace TessikDesktopContainer

// Identity of a box everywhere: its framework window object.
using BoxWindowPtr = std::shared_ptr<KelmWindow>;

struct BoxIntPoint {
    int32_t x = 0;
    int32_t y = 0;
};

struct BoxRuntime {
    // Five lower-case hex digits, or one of the quick panel's pseudo ids.
    std::wstring id;
    std::wstring sourceId;
    std::wstring title = L"Unnamed";
    // Folded to its title bar.
    bool isMinimized = false;
    // An icon of this box is being dragged inside it (the drag's placeholder
    // is in its list); dragIcon is the grabbed control.
    bool dropPending = false;
    bool IsIntegrated = false;
    int32_t z = 1;

    std::shared_ptr<KelmCaptionBar> captionBar;
    // Its fill colour is the box's tag colour.
    std::shared_ptr<KelmButton> titleButton;
    std::shared_ptr<KelmOptionCtl> optionControl;
    std::shared_ptr<TessikDesktopContainer::KelmGroupTag> groupTag;
    std::shared_ptr<KelmFAIcon> foldButton;
    std::shared_ptr<KelmFAIcon> moreButton;
    std::shared_ptr<TessikDesktopContainer::KelmIcon> iconControl;
    std::shared_ptr<KelmReceiver> receiver;
    std::shared_ptr<KelmEdit> searchEdit;
    std::shared_ptr<KelmBarrier> barrier;
    std::shared_ptr<TessikDesktopContainer::KelmScrollBar> scrollBar;

    int32_t scrollOffset = 0;
    int32_t searchScrollOffset = 0;
    // 0 default, 1 compatibility layer, 2 blur, 3 transparent.
    int32_t CompatibleLayer = 0;

    bool UseTargetFolder = false;
    std::wstring TargetFolder = L"bvn!NULL";
    bool IsCustomTarget = false;
    bool IsListView = false;
    // 0 compact, 1 standard, 2 loose.
    int32_t IconSpacingMode = 0;
    bool IsLocked = false;
    bool IsEmbeddedLayer = false;

    bool multiSelect = false;
    // Ids of the selected records of the view the box shows; the icon
    // manager keeps them in step when ids shift.
    std::set<int32_t> selection;
    bool bandActive = false;
    BoxIntPoint bandStart;
    BoxIntPoint bandCurrent;
    bool searchActive = false;
    std::wstring searchText;
    bool springBackPending = false;
    std::wstring appliedSearchText;

    int32_t undoLimit = 5;
    std::vector<UndoRecord> undoList;
    std::vector<UndoRecord> redoList;
    // The icon keyboard is ignored (the quick panel sets it).
    bool keysOff = false;
    // A second window that counts as the box's own for the keyboard and is
    // repainted with it.
    HWND inputWindow = nullptr;

    bool IsUpwardExpand = false;
    bool IsHoverMinimized = false;
    bool hoverExpanded = false;
    bool resizeAnimating = false;
    bool hoverSuppressed = false;
    bool internalResize = false;
    float hoverDelay = 0.0f;
    int32_t hoverAnimationId = -1;
    bool positionSaveSuspended = false;
    std::shared_ptr<TessikDesktopContainer::KelmIcon> dragIcon;

    float bgAlpha = 1.0f;
    float titleAlpha = 1.0f;
    bool ShowDefaultFolderIcon = false;
    // 0 show names, 1 hide the extension of files, 2 hide names.
    int32_t HideFileExtension = 0;
    // 0 free, 1 name ascending, 2 name descending, 3 time ascending,
    // 4 time descending.
    int32_t SortMode = 0;
    int32_t IconSizeLevel = 3;
    int32_t TextRenderMode = 0;
    int32_t TitleType = 0;

    // The search filters the icons only while it is open with a pattern.
    bool SearchFilters() const { return searchActive && !searchText.empty(); }
    // The box shows its search view (and selects in it) only once a pattern
    // was applied to that view; until then its own view is on screen.
    bool ShowsSearchView() const { return searchActive && !appliedSearchText.empty(); }
    // The quick panel's windows stand in the registry like boxes but never
    // keep box settings.
    bool IsPseudoBox() const;
    // The folder of a folder-backed box (UseTargetFolder set and its folder
    // there) in the form to open and compare; empty for any other box.
    std::wstring BackingFolder() const;
};

// Subscripting creates a default record; FindBoxRuntime does not.
extern std::unordered_map<BoxWindowPtr, BoxRuntime> s_boxRuntimes;

BoxRuntime* FindBoxRuntime(const BoxWindowPtr& box);
// Invalidates the box window and the second window its runtime names.
void RepaintBoxWindows(const BoxWindowPtr& box);
bool IsQuickPanelPseudoId(const std::wstring& id);
// The real boxes (no quick panel pseudo box) whose tag has this colour, in
// map order: one colour group, both kinds.
std::vector<BoxWindowPtr> BoxesWithTagColour(COLORREF colour);
// The members of an integrated box's group: the other boxes of its colour
// and of its kind (folder-backed or not), records or none.
std::vector<BoxWindowPtr> IntegratedGroupMembers(const BoxWindowPtr& host);
