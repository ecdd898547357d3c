#include "mainwindow/WebPages.h"

#include <windows.h>
#include <shellapi.h>

namespace
{

// What the update page is told about this build.
const wchar_t kVersionQuery[] = L"522";

void Open(const std::wstring& url)
{
    ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOW);
}

} // namespace

std::wstring AgreementPageUrl(const std::wstring& path)
{
    return std::wstring(kMakerSite) + L"/docs" + path;
}

std::wstring UpdatePageUrl()
{
    return std::wstring(kMakerSite) + L"/index.html?ver=" + kVersionQuery;
}

std::wstring CommunityPageUrl()
{
    return std::wstring(kMakerSite) + L"/index.html#together";
}

void OpenAgreementPage(const std::wstring& path)
{
    Open(AgreementPageUrl(path));
}

void OpenUpdatePage()
{
    Open(UpdatePageUrl());
}

void OpenCommunityPage()
{
    Open(CommunityPageUrl());
}

void OpenSponsorPage()
{
    Open(std::wstring(kMakerSite) + L"/sponsor.html");
}

void OpenHelpPage()
{
    Open(std::wstring(kMakerSite) + L"/docs/");
}
