#include "app/KeptBoxFolders.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "app/FileRemoval.h"

namespace
{

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

bool IsInside(const std::wstring& path, const std::wstring& folder)
{
    const std::wstring p = Lower(path), f = Lower(folder);
    if (p.size() <= f.size() || p.compare(0, f.size(), f) != 0)
        return false;
    return f.back() == L'\\' || p[f.size()] == L'\\';
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool HoldsAFile(const std::wstring& folder)
{
    bool found = false;
    ForEachFolderEntry(folder, [&](const std::wstring& name, unsigned long attributes) {
        const bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if (link || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            found = true;
        else
            found = HoldsAFile(folder + L"\\" + name);
        return !found;
    });
    return found;
}

} // namespace

std::vector<std::wstring> OutermostFolders(const std::vector<std::wstring>& folders)
{
    std::vector<std::wstring> existing;
    for (const std::wstring& folder : folders) {
        if (folder.empty() || !IsFolder(folder))
            continue;
        const std::wstring full = FullPathOf(folder);
        if (std::none_of(existing.begin(), existing.end(),
                         [&](const std::wstring& known) { return Lower(known) == Lower(full); }))
            existing.push_back(full);
    }
    std::vector<std::wstring> outermost;
    for (const std::wstring& folder : existing)
        if (std::none_of(existing.begin(), existing.end(),
                         [&](const std::wstring& other) { return IsInside(folder, other); }))
            outermost.push_back(folder);
    return outermost;
}

std::vector<std::wstring> FoldersHoldingFiles(const std::vector<std::wstring>& folders)
{
    std::vector<std::wstring> holding;
    for (const std::wstring& folder : OutermostFolders(folders))
        if (HoldsAFile(folder))
            holding.push_back(folder);
    return holding;
}

std::wstring KeptBoxFoldersQuestionText(const std::vector<std::wstring>& boxFolders)
{
    const std::vector<std::wstring> folders = OutermostFolders(boxFolders);
    if (folders.empty())
        return L"";
    return L"收纳盒的文件夹及其中的文件不会被清除，仍保留在：" + PathLinesText(folders) +
           L"\n\n清除用户数据并退出程序吗？";
}

std::wstring UserDataClearedText(const std::vector<std::wstring>& keptFolders)
{
    return L"用户数据已清除。\n以下收纳盒的文件夹中仍有文件，已保留，没有删除：" + PathLinesText(keptFolders);
}
