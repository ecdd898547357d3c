#include "app/UserNotice.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "app/Logger.h"

namespace
{

std::map<std::wstring, int> s_noticeKinds;
std::map<std::wstring, std::wstring> s_lastTexts;
struct PendingNotice {
    std::wstring text;
    std::vector<std::function<void()>> afterShown;
};
std::vector<PendingNotice> s_pendingNotices;
HWND s_noticeOwner = nullptr;
UINT_PTR s_noticeTimer = 0;

void ShowQueued()
{
    // The boxes may queue more while one is shown; take them as a batch.
    std::vector<PendingNotice> notices = std::move(s_pendingNotices);
    s_pendingNotices.clear();
    for (const PendingNotice& notice : notices) {
        HWND owner = IsWindow(s_noticeOwner) ? s_noticeOwner : nullptr;
        if (MessageBoxW(owner, notice.text.c_str(), L"Tessik", MB_OK | MB_ICONWARNING) == 0)
            continue; // not shown: what waits for it keeps waiting
        for (const auto& done : notice.afterShown)
            done();
    }
}

void CALLBACK ShowNoticesTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    s_noticeTimer = 0;
    ShowQueued();
}

void ArmNoticeTimer()
{
    if (s_noticeOwner && !s_noticeTimer && !s_pendingNotices.empty())
        s_noticeTimer = SetTimer(nullptr, 0, 10, ShowNoticesTimer);
}

void Queue(const std::wstring& kind, const std::wstring& text, std::function<void()> afterShown = {})
{
    ++s_noticeKinds[kind];
    s_lastTexts[kind] = text;
    // One log line per notice.
    std::wstring line = text;
    for (wchar_t& c : line) {
        if (c == L'\n')
            c = L' ';
    }
    Logger::GetInstance().Log(L"Tessik", L"ERROR", line);
    auto pending = std::find_if(s_pendingNotices.begin(), s_pendingNotices.end(),
                                [&](const PendingNotice& notice) { return notice.text == text; });
    if (pending == s_pendingNotices.end())
        pending = s_pendingNotices.insert(s_pendingNotices.end(), PendingNotice{text, {}});
    if (afterShown)
        pending->afterShown.push_back(std::move(afterShown));
    ArmNoticeTimer();
}

} // namespace

void NotifyUserOnce(const std::wstring& kind, const std::wstring& text)
{
    if (s_noticeKinds.count(kind) == 0)
        Queue(kind, text);
}

void NotifyUserOnce(const std::wstring& kind, const std::wstring& text, std::function<void()> afterShown)
{
    if (s_noticeKinds.count(kind) == 0)
        Queue(kind, text, std::move(afterShown));
}

void NotifyUser(const std::wstring& kind, const std::wstring& text)
{
    Queue(kind, text);
}

void NotifyUserReplacing(const std::wstring& kind, const std::wstring& text)
{
    auto last = s_lastTexts.find(kind);
    if (last != s_lastTexts.end()) {
        auto pending = std::find_if(s_pendingNotices.begin(), s_pendingNotices.end(),
                                    [&](const PendingNotice& notice) { return notice.text == last->second; });
        // A notice something waits on stays: its callback must still run.
        if (pending != s_pendingNotices.end() && pending->afterShown.empty())
            s_pendingNotices.erase(pending);
    }
    Queue(kind, text);
}

void ShowPendingNotices(HWND owner)
{
    s_noticeOwner = owner;
    ArmNoticeTimer();
}

void ShowWaitingNoticesBeforeExit()
{
    // Only where notices are shown at all: before the main window there is
    // nothing of the program on screen to tell about.
    if (!s_noticeOwner)
        return;
    if (s_noticeTimer) {
        KillTimer(nullptr, s_noticeTimer);
        s_noticeTimer = 0;
    }
    while (!s_pendingNotices.empty())
        ShowQueued();
}

bool WasUserNotified(const std::wstring& kind)
{
    return s_noticeKinds.count(kind) != 0;
}

int TimesUserNotified(const std::wstring& kind)
{
    auto told = s_noticeKinds.find(kind);
    return told == s_noticeKinds.end() ? 0 : told->second;
}

std::wstring LastNoticeText(const std::wstring& kind)
{
    auto told = s_lastTexts.find(kind);
    return told == s_lastTexts.end() ? std::wstring() : told->second;
}
