#include "box/icons/IconDisplayRules.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/CommonHelpers.h"
#include "box/icons/WildcardMatch.h"
#include "ui/controls/EditTextRules.h"

std::wstring MakeIconLabel(const std::wstring& alias, const std::wstring& path, bool isDirectory, int hideExtension)
{
    const bool hasAlias = alias != L"bvn!NULL";
    const std::wstring& source = hasAlias ? alias : path;
    const size_t slash = source.find_last_of(L"\\/");
    std::wstring label = slash == std::wstring::npos ? source : source.substr(slash + 1);
    if (hasAlias)
        return label;
    if (hideExtension == 2)
        return {};
    if (hideExtension == 1 && !isDirectory) {
        const size_t dot = label.find_last_of(L'.');
        if (dot != std::wstring::npos && dot != 0)
            label.resize(dot);
    }
    return label;
}

namespace
{

// Labels are shortened by whole characters: an emoji (a surrogate pair)
// is never cut in half.
size_t CharCount(const std::wstring& text)
{
    size_t count = 0;
    for (int i = 0; i < static_cast<int>(text.size()); i = EditTextRules::NextCharBoundary(text, i))
        ++count;
    return count;
}

// The unit index after the first n characters.
size_t AfterFirstChars(const std::wstring& text, size_t n)
{
    int index = 0;
    for (size_t i = 0; i < n; ++i)
        index = EditTextRules::NextCharBoundary(text, index);
    return static_cast<size_t>(index);
}

// The unit index where the last n characters begin.
size_t BeforeLastChars(const std::wstring& text, size_t n)
{
    int index = static_cast<int>(text.size());
    for (size_t i = 0; i < n; ++i)
        index = EditTextRules::PreviousCharBoundary(text, index);
    return static_cast<size_t>(index);
}

} // namespace

std::wstring ShortenGridLabel(const std::wstring& label, int edge)
{
    const size_t limit = edge < 64 ? 8 : edge < 80 ? 12 : 18;
    if (CharCount(label) <= limit)
        return label;
    return label.substr(0, AfterFirstChars(label, limit)) + L"...";
}

std::wstring ShortenListLabel(const std::wstring& label, float viewWidth, float x, int edge)
{
    int n = static_cast<int>((viewWidth - x - static_cast<float>(edge) - 95.0f) * 0.125f);
    if (n < 6)
        n = 5;
    const size_t limit = static_cast<size_t>(n);
    if (CharCount(label) <= limit)
        return label;
    const size_t head = limit / 2;
    const size_t tail = limit - head;
    return label.substr(0, AfterFirstChars(label, head)) + L"..." + label.substr(BeforeLastChars(label, tail));
}

std::wstring FormatIconSizeText(uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_wstring(bytes) + L" B";
    if (bytes < 1048576)
        return std::to_wstring(bytes / 1024) + L" KB";
    wchar_t text[32];
    if (bytes < 1073741824)
        swprintf(text, 32, L"%.2f MB", static_cast<double>(static_cast<float>(bytes) / 1048576.0f));
    else
        swprintf(text, 32, L"%.2f GB", static_cast<double>(static_cast<float>(bytes) / 1073741824.0f));
    return text;
}

bool ThumbnailPixelSize(uint32_t frameWidth, uint32_t frameHeight, double maxEdge, uint32_t& width, uint32_t& height)
{
    if (frameWidth == 0 || frameHeight == 0)
        return false;
    const double k = std::min(maxEdge / frameHeight, maxEdge / frameWidth);
    width = std::max<uint32_t>(1, static_cast<uint32_t>(k * frameWidth));
    height = std::max<uint32_t>(1, static_cast<uint32_t>(k * frameHeight));
    return true;
}

float FitScale(float square, float bitmapWidth, float bitmapHeight)
{
    if (bitmapWidth <= 0.0f || bitmapHeight <= 0.0f)
        return 0.0f;
    return std::min(square / bitmapWidth, square / bitmapHeight);
}

size_t CompleteUtf8Length(const std::string& bytes)
{
    // Walk back over at most three continuation bytes to the lead byte of
    // the last sequence and check that the sequence is whole.
    const size_t size = bytes.size();
    size_t start = size;
    for (int back = 0; back < 4 && start > 0; ++back) {
        --start;
        const unsigned char c = static_cast<unsigned char>(bytes[start]);
        if ((c & 0xC0) != 0x80) {
            const size_t need = c < 0x80             ? 1
                                : (c & 0xE0) == 0xC0 ? 2
                                : (c & 0xF0) == 0xE0 ? 3
                                : (c & 0xF8) == 0xF0 ? 4
                                                     : 1;
            return size - start >= need ? size : start;
        }
    }
    return size;
}

std::wstring TextPreviewFromBytes(const std::string& bytes)
{
    const int length = static_cast<int>(CompleteUtf8Length(bytes));
    std::wstring text;
    if (length > 0) {
        const int wide = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
        if (wide > 0) {
            text.resize(static_cast<size_t>(wide));
            MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, text.data(), wide);
        }
    }
    std::replace(text.begin(), text.end(), L'\n', L' ');
    std::replace(text.begin(), text.end(), L'\r', L' ');
    if (!text.empty() && text.front() == 0xFEFF)
        text.erase(0, 1);
    if (text.size() >= 19)
        text = text.substr(0, 18) + L"...";
    return text;
}

std::wstring ReadTextPreview(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes(kTextPreviewBytes, '\0');
    DWORD read = 0;
    const BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    if (!ok)
        return {};
    bytes.resize(read);
    return TextPreviewFromBytes(bytes);
}

void IconSpacingMargins(bool listView, int spacingMode, int& horizontal, int& vertical)
{
    static const int kGridH[] = {0, 8, 18}, kGridV[] = {0, 10, 22}, kListV[] = {0, 6, 14};
    const int mode = std::clamp(spacingMode, 0, 2);
    horizontal = listView ? 0 : kGridH[mode];
    vertical = listView ? kListV[mode] : kGridV[mode];
}

IconHitRect ComputeIconHitRect(const IconCellInput& in)
{
    static const std::wstring kEmpty;
    const std::wstring& path = in.path ? *in.path : kEmpty;
    float cellW, cellH;
    if (in.listView) {
        cellW = in.viewWidth - static_cast<float>(in.x) - 20.0f;
        cellH = 30.0f;
    } else {
        cellW = static_cast<float>(WildcardMatchNoCase(L"*.txt", path) ? 2 * in.w + 12 : in.w);
        cellH = static_cast<float>(in.h);
    }
    int mx = 0, my = 0;
    IconSpacingMargins(in.listView, in.spacingMode, mx, my);
    IconHitRect rect{};
    rect.x = in.x - 5 - mx;
    rect.y = in.y - (in.listView ? 2 : 5) - my;
    rect.w = static_cast<int>(cellW + 10.0f + 2.0f * mx);
    rect.h = static_cast<int>(cellH + (in.listView ? 5.0f : 21.0f) + 2.0f * my);
    if (in.spacingMode == 0 && path.size() >= 5 && CountCjkCharacters(path) >= 3)
        rect.h += 11;
    return rect;
}
