#include "box/BoxFolderNames.h"

#include "app/CommonHelpers.h"
#include "box/BoxDeletion.h"

namespace
{

void AddOnce(std::wstring& names, const std::wstring& path)
{
    const std::wstring name = L"“" + GetPathFileName(path) + L"”";
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
}

std::wstring BoxFolderNames::Text(const std::wstring& doing) const
{
    std::wstring text = m_sure.empty() ? L"" : BoxFolderKeptText(m_sure, doing);
    if (!m_unsure.empty())
        text += (text.empty() ? L"" : L"\n\n") + m_unsure +
                L"无法确认不是收纳盒的文件夹或包含收纳盒的文件夹（系统没有回答它是哪个文件夹），" + doing +
                L"可能会让某个收纳盒失去它的文件夹，已留在原来的位置。";
    return text;
}
