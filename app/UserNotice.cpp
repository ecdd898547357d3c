#include "app/UserNotice.h"

#include <set>
#include <utility>
#include <vector>

#include "app/Logger.h"

namespace
{

std::set<std::wstring> s_noticeKinds;
std::vector<std::wstring> s_pendingNotices;
HWND s_noticeOwner = nullptr;
UINT_PTR s_noticeTimer = 0;

void CALLBACK ShowNoticesTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    s_noticeTimer = 0;
    // The boxes may queue more while one is shown; take them as a batch.
    std::vector<std::wstring> notices = std::move(s_pendingNotices);
    s_pendingNotices.clear();
    for (const std::wstring& text : notices) {
        HWND owner = IsWindow(s_noticeOwner) ? s_noticeOwner : nullptr;
        MessageBoxW(owner, text.c_str(), L"Tessik", MB_OK | MB_ICONWARNING);
    }
}

void ArmNoticeTimer()
{
    if (s_noticeOwner && !s_noticeTimer && !s_pendingNotices.empty())
        s_noticeTimer = SetTimer(nullptr, 0, 10, ShowNoticesTimer);
}

} // namespace

void NotifyUserOnce(const std::wstring& kind, const std::wstring& text)
{
    if (s_noticeKinds.count(kind) == 0)
        NotifyUser(kind, text);
}

void NotifyUser(const std::wstring& kind, const std::wstring& text)
{
    s_noticeKinds.insert(kind);
    // One log line per notice.
    std::wstring line = text;
    for (wchar_t& c : line) {
        if (c == L'\n')
            c = L' ';
    }
    Logger::GetInstance().Log(L"Tessik", L"ERROR", line);
    s_pendingNotices.push_back(text);
    ArmNoticeTimer();
}

void ShowPendingNotices(HWND owner)
{
    s_noticeOwner = owner;
    ArmNoticeTimer();
}

bool WasUserNotified(const std::wstring& kind)
{
    return s_noticeKinds.count(kind) != 0;
}
