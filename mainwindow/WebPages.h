// The maker's web pages that the main window opens in the user's browser
// (ShellExecute "open"). UI thread.
#pragma once

#include <string>

// The one host of every page the program opens.
constexpr const wchar_t* kMakerSite = L"https://tessik.example";

// A page of the documentation site by path ("/agreement/tos.html").
void OpenAgreementPage(const std::wstring& path);
// The product page, asking about this version.
void OpenUpdatePage();
// The product page's community section.
void OpenCommunityPage();
void OpenSponsorPage();
void OpenHelpPage();

// Addresses, kept apart for tests.
std::wstring AgreementPageUrl(const std::wstring& path);
std::wstring UpdatePageUrl();
std::wstring CommunityPageUrl();
