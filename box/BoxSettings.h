// BoxSettings: the stored settings of one box, the object "ComID_" + id
// under "Components" of "DesktopContainer.kelm", read with their defaults
// and without changing the store, and the keys a new box writes.
// UI thread only.
#pragma once

#include <windows.h>

#include <string>

#include "app/KelmStorage.h"
#include "box/BoxRuntime.h"

struct BoxSettings {
    // The tag of a box without a colour group.
    static constexpr const wchar_t* kUntaggedColour = L"#F2F2F2";

    bool isMinimized = false;
    // Window rectangle in pixels, as stored (before rescaling to the
    // screen); from "IntegratedPos" for an integrated box.
    int x = 0;
    int y = 0;
    int cx = 300;
    int cy = 400;
    int z = 1;
    std::wstring clrtag = kUntaggedColour;
    std::wstring title = L"Unnamed";
    bool IsIntegrated = false;
    // The render style in effect (0..3), after "-1 = global" is resolved.
    int CompatibleLayer = 0;
    // The box follows the appearance keys under "TessikRef".
    bool followsGlobalAppearance = false;
    bool IsListView = false;
    bool IsLocked = false;
    int IconSpacingMode = 0;
    bool IsEmbeddedLayer = false;
    bool IsUpwardExpand = false;
    bool IsHoverMinimized = false;
    bool IsCustomTarget = false;
    bool UseTargetFolder = false;
    std::wstring TargetFolder = L"bvn!NULL";
    float bgAlpha = 1.0f;
    float titleAlpha = 1.0f;
    bool ShowDefaultFolderIcon = false;
    int HideFileExtension = 0;
    int TextRenderMode = 0;
    int TitleType = 0;
    int SortMode = 0;
    int IconSizeLevel = 3;

    // Reads a box object (null: every default) and, for a box whose
    // "CompatibleLayer" is -1, the appearance keys of ref ("TessikRef" of the
    // same store). Never creates or changes a member.
    static BoxSettings Read(const KelmStorageNestedObject* box, const KelmStorageNestedObject* ref, double dpiScale);

    // The settings the runtime record keeps (everything but the rectangle,
    // the fold state and the colour, which the window and its title button
    // hold).
    void ApplyTo(BoxRuntime& runtime) const;

    // The keys of a box made with id "NULL", in the order the file keeps
    // them. targetFolder: "NULL" for a mapping box, else the box's folder
    // (already made for a normal box). Does not save, and leaves the screen
    // base of the rectangle to SaveComponentScreenBase.
    static void WriteNew(KelmStorageNestedObject& box, const std::wstring& id, int zMode, double dpiScale,
                         const std::wstring& targetFolder, bool isCustomTarget);
};

// The colour of a stored tag; a text that is no "#RRGGBB" colour gives the
// untagged grey, so one bad value never stops a box from opening.
COLORREF TagColourOrDefault(const std::wstring& clrtag);
// The untagged grey never forms a colour group.
bool IsUntaggedColour(COLORREF colour);

// The settings object of the box with this id, made on first assignment.
KelmStorageProxy BoxSettingsObject(const std::wstring& id);
// The "Components" member of a box, or null; never creates it.
KelmStorageNestedObject* FindBoxObject(KelmStorage& store, const std::wstring& id);
// A root object of the store, or null; never creates it.
KelmStorageNestedObject* FindRootObject(KelmStorage& store, const std::wstring& name);
