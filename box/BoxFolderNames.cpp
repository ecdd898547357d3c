#include "box/BoxFolderNames.h"

#include "app/CommonHelpers.h"
#include "app/VolumeRoot.h"
#include "box/BoxDeletion.h"

namespace
{

// The entry's name; a drive or share root, or a path ending in a
// separator, has none of its own and is named by its path.
std::wstring NameOf(const std::wstring& path)
{
    const std::wstring name = IsRootSpelling(path) ? L"" : GetPathFileName(path);
    return name.empty() ? RootDisplayName(path) : name;
}

void AddOnce(std::wstring& names, const std::wstring& path, bool whole = false)
{
    const std::wstring name = L"“" + (whole ? RootDisplayName(path) : NameOf(path)) + L"”";
    if (names.find(name) == std::wstring::npos)
        names += (names.empty() ? L"" : L"、") + name;
}

} // namespace

void BoxFolderNames::Add(const std::wstring& path, FolderRelation relation)
{
    if (relation == FolderRelation::SameOrHolding)
        AddOnce(m_sure, path);
    else if (relation == FolderRelation::CannotTell)
        AddOnce(m_unsure, path);
    else if (relation == FolderRelation::VolumeRoot)
        AddOnce(m_roots, path, true);
    else if (relation == FolderRelation::ProgramOwn)
        AddOnce(m_own, path);
}

std::wstring BoxFolderNames::Text(const std::wstring& doing) const
{
    // Named by its whole path: a root has no other name, and a folder a
    // drive is mounted on is known by where it stands.
    std::wstring text = m_roots.empty() ? L""
                                        : m_roots + L"是整个磁盘（或网络共享）的根目录，不能" + doing +
                                              L"，已留在原来的位置，其中的内容没有改动。";
    if (!m_sure.empty())
        text += (text.empty() ? L"" : L"\n\n") + BoxFolderKeptText(m_sure, doing);
    if (!m_unsure.empty())
        text += (text.empty() ? L"" : L"\n\n") + m_unsure +
                L"无法确认不是收纳盒的文件夹或包含收纳盒的文件夹（系统没有回答它是哪个文件夹），" + doing +
                L"可能会让某个收纳盒失去它的文件夹，已留在原来的位置。";
    if (!m_own.empty())
        text += (text.empty() ? L"" : L"\n\n") + m_own + L"是 Tessik 自己的数据（设置、日志、备份或撤销用的副本），" + doing +
                L"会让 Tessik 失去它们，已留在原来的位置。";
    return text;
}
