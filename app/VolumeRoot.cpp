#include "app/VolumeRoot.h"

#include <windows.h>

#include <cwctype>

#include "app/FileRemoval.h"

namespace
{

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool StartsWithNoCase(const std::wstring& text, size_t at, const std::wstring& prefix)
{
    if (text.size() < at + prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const wchar_t a = IsSeparator(text[at + i]) ? L'\\' : static_cast<wchar_t>(std::towlower(text[at + i]));
        if (a != prefix[i])
            return false;
    }
    return true;
}

// The parts between separators, empty ones (doubled or trailing
// separators) left out.
size_t CountParts(const std::wstring& path, size_t from)
{
    size_t parts = 0;
    bool inPart = false;
    for (size_t i = from; i < path.size(); ++i) {
        if (IsSeparator(path[i])) {
            inPart = false;
        } else if (!inPart) {
            inPart = true;
            ++parts;
        }
    }
    return parts;
}

bool IsDriveOnly(const std::wstring& path, size_t from)
{
    if (path.size() < from + 2 || !std::iswalpha(path[from]) || path[from + 1] != L':')
        return false;
    for (size_t i = from + 2; i < path.size(); ++i)
        if (!IsSeparator(path[i]))
            return false;
    return true;
}

// The volume the system says the full path lies on, in comparable form;
// empty when it will not say.
std::wstring VolumeOf(const std::wstring& full)
{
    std::wstring volume(full.size() + MAX_PATH + 1, L'\0');
    if (!GetVolumePathNameW(LongPathForm(full).c_str(), volume.data(), static_cast<DWORD>(volume.size())))
        return L"";
    volume.resize(wcslen(volume.c_str()));
    return ComparablePath(volume);
}

bool RootOfItsVolume(const std::wstring& full)
{
    const std::wstring volume = VolumeOf(full);
    return !volume.empty() && volume == ComparablePath(full);
}

} // namespace

bool IsRootSpelling(const std::wstring& path)
{
    if (path.empty())
        return false;
    if (IsDriveOnly(path, 0))
        return true;
    // "\\?\" and "\\.\" name a device or volume path; "\\?\UNC\" a share.
    if (StartsWithNoCase(path, 0, L"\\\\?\\") || StartsWithNoCase(path, 0, L"\\\\.\\")) {
        if (StartsWithNoCase(path, 4, L"unc\\"))
            return CountParts(path, 8) <= 2;
        if (IsDriveOnly(path, 4))
            return true;
        return StartsWithNoCase(path, 4, L"volume{") && CountParts(path, 4) == 1;
    }
    if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return CountParts(path, 2) <= 2;
    return false;
}

bool IsVolumeRoot(const std::wstring& path, unsigned long attributes)
{
    if (path.empty())
        return false;
    if (IsRootSpelling(path))
        return true;
    const std::wstring full = FullPathOf(path);
    if (IsRootSpelling(full))
        return true;
    if (attributes == INVALID_FILE_ATTRIBUTES)
        attributes = GetFileAttributesW(LongPathForm(full).c_str());
    // Only a folder can be a volume's root; files cost no further question.
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // A folder a volume is mounted on is the root of that volume.
    if (RootOfItsVolume(full))
        return true;
    // Reached through a link or another spelling, it is still that root.
    const std::wstring final = ComparableFinalPath(full);
    return !final.empty() && (IsRootSpelling(final) || (final != ComparablePath(full) && RootOfItsVolume(final)));
}

std::wstring RootDisplayName(const std::wstring& path)
{
    std::wstring name = path;
    while (name.size() > 1 && IsSeparator(name.back()))
        name.pop_back();
    if (name.size() == 2 && name[1] == L':')
        name += L'\\';
    return name;
}
