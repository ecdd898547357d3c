#include "box/BoxSettings.h"

#include <algorithm>
#include <stdexcept>

#include "app/CommonHelpers.h"
#include "app/StoreTextFormat.h"

namespace
{

const KelmStorageValue* Member(const KelmStorageNestedObject* object, const wchar_t* key)
{
    if (!object)
        return nullptr;
    auto found = object->members.find(key);
    return found == object->members.end() ? nullptr : &found->second;
}

int ReadInt(const KelmStorageNestedObject* object, const wchar_t* key, int fallback)
{
    const KelmStorageValue* value = Member(object, key);
    return value && value->index() == 0 ? std::get<0>(*value) : fallback;
}

// Settings that have been written both as a flag and as a number (file
// names: 0 show, 1 hide the extension, 2 hide the name) read as a number.
int ReadIntOrBool(const KelmStorageNestedObject* object, const wchar_t* key, int fallback)
{
    const KelmStorageValue* value = Member(object, key);
    if (value && value->index() == 2)
        return std::get<2>(*value) ? 1 : 0;
    return value && value->index() == 0 ? std::get<0>(*value) : fallback;
}

bool ReadBool(const KelmStorageNestedObject* object, const wchar_t* key, bool fallback)
{
    const KelmStorageValue* value = Member(object, key);
    return value && value->index() == 2 ? std::get<2>(*value) : fallback;
}

// A whole-number double comes back from the file as an int.
float ReadFloat(const KelmStorageNestedObject* object, const wchar_t* key, float fallback)
{
    const KelmStorageValue* value = Member(object, key);
    if (value && value->index() == 1)
        return static_cast<float>(std::get<1>(*value));
    if (value && value->index() == 0)
        return static_cast<float>(std::get<0>(*value));
    return fallback;
}

std::wstring ReadText(const KelmStorageNestedObject* object, const wchar_t* key, const wchar_t* fallback)
{
    const KelmStorageValue* value = Member(object, key);
    return value && value->index() == 3 ? std::get<3>(*value) : fallback;
}

const KelmStorageNestedObject* ReadObject(const KelmStorageNestedObject* object, const wchar_t* key)
{
    const KelmStorageValue* value = Member(object, key);
    return value && value->index() == 4 ? std::get<4>(*value).get() : nullptr;
}

} // namespace

BoxSettings BoxSettings::Read(const KelmStorageNestedObject* box, const KelmStorageNestedObject* ref, double dpiScale)
{
    BoxSettings s;
    s.IsIntegrated = ReadBool(box, L"IsIntegrated", false);
    s.UseTargetFolder = ReadBool(box, L"UseTargetFolder", false);
    s.TargetFolder = ReadText(box, L"TargetFolder", L"bvn!NULL");
    s.IsCustomTarget = ReadBool(box, L"IsCustomTarget", false);
    s.IsListView = ReadBool(box, L"IsListView", false);
    s.IsLocked = ReadBool(box, L"IsLocked", false);
    s.IconSpacingMode = ReadInt(box, L"IconSpacingMode", 0);
    s.IsEmbeddedLayer = ReadBool(box, L"IsEmbeddedLayer", false);
    s.IsUpwardExpand = ReadBool(box, L"IsUpwardExpand", false);
    s.IsHoverMinimized = ReadBool(box, L"IsHoverMinimized", false);

    const int storedStyle = ReadInt(box, L"CompatibleLayer", 0);
    s.followsGlobalAppearance = storedStyle == -1;
    const KelmStorageNestedObject* appearance = s.followsGlobalAppearance ? ref : box;
    // Taken as stored, even outside 0..3: the paint draws an unknown style
    // as the default one, and the stored value survives for a later version.
    s.CompatibleLayer = s.followsGlobalAppearance ? ReadInt(ref, L"CompatibleLayer", 0) : storedStyle;
    s.bgAlpha = ReadFloat(appearance, L"bgAlpha", 1.0f);
    s.titleAlpha = ReadFloat(appearance, L"titleAlpha", 1.0f);
    s.ShowDefaultFolderIcon = ReadBool(appearance, L"ShowDefaultFolderIcon", false);
    s.HideFileExtension = ReadIntOrBool(appearance, L"HideFileExtension", 0);
    s.TextRenderMode = ReadInt(appearance, L"TextRenderMode", 0);
    s.TitleType = ReadInt(appearance, L"TitleType", 0);
    s.SortMode = ReadInt(box, L"SortMode", 0);
    s.IconSizeLevel = std::clamp(ReadInt(box, L"IconSizeLevel", 3), 1, 7);

    const int defaultWidth = static_cast<int>(300 * dpiScale);
    const int defaultHeight = static_cast<int>(400 * dpiScale);
    const KelmStorageNestedObject* rect = s.IsIntegrated ? ReadObject(box, L"IntegratedPos") : box;
    s.x = ReadInt(rect, L"x", 0);
    s.y = ReadInt(rect, L"y", 0);
    s.cx = ReadInt(rect, L"cx", defaultWidth);
    s.cy = ReadInt(rect, L"cy", defaultHeight);
    s.isMinimized = ReadBool(box, L"isMinimized", false);
    s.title = TypedTextMember(box, L"title", L"Unnamed");
    s.z = ReadInt(box, L"z", 1);
    s.clrtag = ReadText(box, L"clrtag", kUntaggedColour);
    return s;
}

void BoxSettings::ApplyTo(BoxRuntime& r) const
{
    r.IsIntegrated = IsIntegrated;
    r.UseTargetFolder = UseTargetFolder;
    r.TargetFolder = TargetFolder;
    r.IsCustomTarget = IsCustomTarget;
    r.IsListView = IsListView;
    r.IsLocked = IsLocked;
    r.IconSpacingMode = IconSpacingMode;
    r.IsEmbeddedLayer = IsEmbeddedLayer;
    r.IsUpwardExpand = IsUpwardExpand;
    r.IsHoverMinimized = IsHoverMinimized;
    r.CompatibleLayer = CompatibleLayer;
    r.bgAlpha = bgAlpha;
    r.titleAlpha = titleAlpha;
    r.ShowDefaultFolderIcon = ShowDefaultFolderIcon;
    r.HideFileExtension = HideFileExtension;
    r.TextRenderMode = TextRenderMode;
    r.TitleType = TitleType;
    r.SortMode = SortMode;
    r.IconSizeLevel = IconSizeLevel;
    r.isMinimized = isMinimized;
    r.title = title;
    r.z = z;
}

void BoxSettings::WriteNew(KelmStorageNestedObject& box, const std::wstring& id, int zMode, double dpiScale,
                           const std::wstring& targetFolder, bool isCustomTarget)
{
    auto& m = box.members;
    m[L"id"] = id;
    m[L"isMinimized"] = false;
    m[L"x"] = 0;
    m[L"y"] = 0;
    m[L"cx"] = 300 * dpiScale;
    m[L"cy"] = 400 * dpiScale;
    m[L"z"] = zMode;
    m[L"clrtag"] = std::wstring(kUntaggedColour);
    m[L"title"] = std::wstring(L"Unnamed");
    m[L"IsIntegrated"] = false;
    m[L"CompatibleLayer"] = 0;
    m[L"IsListView"] = false;
    m[L"IsLocked"] = false;
    m[L"IconSpacingMode"] = 0;
    m[L"IsEmbeddedLayer"] = false;
    m[L"IsUpwardExpand"] = false;
    m[L"IsHoverMinimized"] = false;
    m[L"IsCustomTarget"] = false;
    m[L"bgAlpha"] = 1.0;
    m[L"titleAlpha"] = 1.0;
    m[L"SortMode"] = 0;
    if (targetFolder != L"NULL") {
        m[L"UseTargetFolder"] = true;
        m[L"TargetFolder"] = targetFolder;
        if (isCustomTarget)
            m[L"IsCustomTarget"] = true;
    }
}

COLORREF TagColourOrDefault(const std::wstring& clrtag)
{
    static const COLORREF untagged = RGB(0xF2, 0xF2, 0xF2);
    if (clrtag.size() != 7 || clrtag[0] != L'#')
        return untagged;
    for (size_t i = 1; i < clrtag.size(); ++i) {
        if (!iswxdigit(clrtag[i]))
            return untagged;
    }
    try {
        return HexToColor(clrtag);
    } catch (const std::exception&) {
        return untagged;
    }
}

bool IsUntaggedColour(COLORREF colour)
{
    return colour == RGB(0xF2, 0xF2, 0xF2);
}

KelmStorageNestedObject* FindRootObject(KelmStorage& store, const std::wstring& name)
{
    auto found = store.Roots().find(name);
    if (found == store.Roots().end())
        return nullptr;
    return &store.GetRootObject(name);
}

KelmStorageNestedObject* FindBoxObject(KelmStorage& store, const std::wstring& id)
{
    KelmStorageNestedObject* components = FindRootObject(store, L"Components");
    if (!components)
        return nullptr;
    auto found = components->members.find(L"ComID_" + id);
    if (found == components->members.end() || found->second.index() != 4)
        return nullptr;
    return std::get<4>(found.value()).get();
}

KelmStorageProxy BoxSettingsObject(const std::wstring& id)
{
    return s_desktopContainerStore[L"Components"][L"ComID_" + id];
}
