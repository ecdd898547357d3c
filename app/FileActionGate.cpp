#include "app/FileActionGate.h"

#include <vector>

#include "app/UserNotice.h"

namespace
{

// The reasons of the scopes now open, outermost first; one kept for good.
std::vector<std::wstring> s_reasons;
std::wstring s_forGood;

} // namespace

FileActionGate::Closing::Closing(const std::wstring& reason)
{
    s_reasons.push_back(reason);
}

FileActionGate::Closing::~Closing()
{
    s_reasons.pop_back();
}

void FileActionGate::CloseForGood(const std::wstring& reason)
{
    s_forGood = reason;
}

bool FileActionGate::IsClosed()
{
    return !s_forGood.empty() || !s_reasons.empty();
}

bool FileActionGate::Refuses(const std::wstring& notDone)
{
    if (!IsClosed())
        return false;
    const std::wstring& reason = s_reasons.empty() ? s_forGood : s_reasons.front();
    NotifyUser(L"ending-refused", L"Tessik 正在" + reason + L"，" + notDone + L"。");
    return true;
}
