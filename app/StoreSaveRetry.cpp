#include "app/StoreSaveRetry.h"

#include <algorithm>

#include "app/ErrorReason.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "app/UserNotice.h"

namespace
{

constexpr wchar_t kNoticeKind[] = L"store-save";

struct Entry {
    KelmStorage* store;
    DWORD error;
    // The user heard of this store since its last save that landed.
    bool told;
};

// Never destroyed: the process-wide stores leave it at exit, in an order
// of destruction no file of the program decides.
std::vector<Entry>& Entries()
{
    static auto* entries = new std::vector<Entry>();
    return *entries;
}

UINT_PTR s_timer = 0;
UINT s_pause = StoreSaveRetry::kFirstPause;

std::vector<Entry>::iterator Find(const KelmStorage& store)
{
    return std::find_if(Entries().begin(), Entries().end(), [&](const Entry& e) { return e.store == &store; });
}

void StopTimer()
{
    if (s_timer)
        KillTimer(nullptr, s_timer);
    s_timer = 0;
    s_pause = StoreSaveRetry::kFirstPause;
}

void CALLBACK RetryTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (id != s_timer)
        return;
    s_timer = 0;
    // A store that fails again arms the next try with the longer pause.
    const UINT next = StoreSaveRetry::NextPause(s_pause);
    s_pause = next;
    if (StoreSaveRetry::SaveAllNow())
        s_pause = StoreSaveRetry::kFirstPause;
}

void ArmTimer()
{
    if (!s_timer)
        s_timer = SetTimer(nullptr, 0, s_pause, RetryTimer);
}

void Log(const wchar_t* level, const std::wstring& text)
{
    Logger::GetInstance().Log(L"Tessik", level, text);
}

bool SameName(const std::wstring& a, const wchar_t* b)
{
    return CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

} // namespace

void StoreSaveRetry::SaveFailed(KelmStorage& store, DWORD error)
{
    auto found = Find(store);
    if (found == Entries().end()) {
        Log(L"ERROR", L"Could not save " + store.FileName() + L": " + SaveErrorText(error) +
                          (store.SaveBlockedBy().empty() ? L"" : L", blocked by " + store.SaveBlockedBy()) +
                          L"; the changes are kept and the save is tried again.");
        Entries().push_back({&store, error, false});
        found = Entries().end() - 1;
    }
    found->error = error;
    ArmTimer();
    if (found->told)
        return;
    // One notice names every store that is failing now: several failing in
    // one action (a data folder that went away) make one box.
    for (Entry& entry : Entries())
        entry.told = true;
    NotifyUserReplacing(kNoticeKind, UnsavedStoresNotice(UnsavedLines()));
}

void StoreSaveRetry::Saved(KelmStorage& store)
{
    auto found = Find(store);
    if (found == Entries().end())
        return;
    Log(L"INFO", L"Saved " + store.FileName() + L" after an earlier save had failed.");
    Entries().erase(found);
    if (Entries().empty())
        StopTimer();
}

void StoreSaveRetry::Forget(KelmStorage& store)
{
    auto found = Find(store);
    if (found == Entries().end())
        return;
    Entries().erase(found);
    if (Entries().empty())
        StopTimer();
}

bool StoreSaveRetry::IsUnsaved(const KelmStorage& store)
{
    return Find(store) != Entries().end();
}

std::vector<UnsavedStoreLine> StoreSaveRetry::UnsavedLines()
{
    std::vector<UnsavedStoreLine> lines;
    for (const Entry& entry : Entries())
        lines.push_back({entry.store->FileName(), entry.error, entry.store->SaveBlockedBy()});
    return lines;
}

bool StoreSaveRetry::SaveAllNow()
{
    // A save on its way lands, or fails and is written once more below.
    KelmStorage::FinishBackgroundSaves();
    // After a restore began, the stores in memory are no longer the user's:
    // writing them would undo the restore.
    if (KelmStorage::SavesStopped()) {
        Entries().clear();
        StopTimer();
        return true;
    }
    std::vector<KelmStorage*> stores;
    for (const Entry& entry : Entries())
        stores.push_back(entry.store);
    for (KelmStorage* store : stores) {
        if (Find(*store) == Entries().end())
            continue;
        try {
            store->Save();
        } catch (const std::exception&) {
            // A store that lost its file binding cannot be written at all.
            Forget(*store);
        }
    }
    return Entries().empty();
}

UINT StoreSaveRetry::NextPause(UINT pause)
{
    return std::min(std::max(pause, kFirstPause) * 2, kLongestPause);
}

std::wstring StoreContentName(const std::wstring& fileName)
{
    const size_t slash = fileName.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? fileName : fileName.substr(slash + 1);
    if (SameName(name, L"Tessik.kelm"))
        return L"程序设置（主题、快捷键、开机启动、备份和收纳盒文件夹等）";
    if (SameName(name, L"DesktopContainer.kelm"))
        return L"收纳盒及其图标（位置、大小、标题、颜色和盒中的文件记录）";
    if (SameName(name, L"MagnetCom.kelm"))
        return L"磁力访问窗的设置";
    if (SameName(name, L"QuickPanelCom.kelm"))
        return L"快捷面板的设置";
    return name;
}

namespace
{

std::wstring StoreLines(const std::vector<UnsavedStoreLine>& lines)
{
    std::wstring text;
    for (const UnsavedStoreLine& line : lines)
        text += L"\n· " + StoreContentName(line.fileName) + L"\n   文件：" + line.fileName + L"\n   原因：" +
                (line.inTheWay.empty()
                     ? SaveErrorText(line.error)
                     : L"保存要用到的位置被“" + line.inTheWay + L"”占用（它不是 Tessik 可以覆盖的文件），请将它移走") +
                L"\n";
    return text;
}

} // namespace

std::wstring UnsavedStoresNotice(const std::vector<UnsavedStoreLine>& lines)
{
    return L"以下设置暂时无法保存：\n" + StoreLines(lines) +
           L"\n更改仍保留在 Tessik 中，Tessik 会自动重试，直到保存成功；从托盘退出时也会再保存一次。";
}

std::wstring UnsavedStoresLostText(const std::vector<UnsavedStoreLine>& lines, const std::wstring& ending)
{
    return L"以下设置仍然无法保存，Tessik " + ending + L"后这些更改将会丢失：\n" + StoreLines(lines);
}

std::wstring UnsavedStoresQuitQuestion(const std::vector<UnsavedStoreLine>& lines)
{
    return L"以下设置仍然无法保存：\n" + StoreLines(lines) +
           L"\n现在退出，这些更改将会丢失。仍要退出吗？\n（选择“否”则 Tessik 继续运行，并继续尝试保存。）";
}

std::wstring SaveErrorText(DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length && buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.' || text.back() == L'。'))
        text.pop_back();
    // The program's own words where it has them: the system's may not be
    // in the user's language.
    if (const std::wstring known = KnownErrorReason(error); !known.empty())
        text = known;
    const std::wstring code = L"错误代码 " + std::to_wstring(error);
    return text.empty() ? code : text + L"（" + code + L"）";
}
