#include "box/BoxInUse.h"

#include <map>
#include <mutex>

#include "app/UserNotice.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/UndoList.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/KelmWindow.h"

namespace
{

// How many holds each box id has. A job's worker may let the last one go,
// so the count is guarded.
struct HoldCounts {
    std::mutex mutex;
    std::map<std::wstring, int> counts;
};
HoldCounts& Counts()
{
    static HoldCounts counts;
    return counts;
}

// Whether view shows a record that owner owns (one box of an integrated
// group shows the others' records as its own).
bool Shows(const BoxWindowPtr& view, const BoxWindowPtr& owner)
{
    auto manager = s_boxIconManagers.find(view);
    if (manager == s_boxIconManagers.end())
        return false;
    for (const IconRecord& record : manager->second.Records())
        if (record.owner == owner)
            return true;
    return false;
}

// The box registered under the id, as a job's results find it.
BoxWindowPtr BoxOf(const std::wstring& id)
{
    for (auto& [window, runtime] : s_boxRuntimes)
        if (window && runtime.id == id && !runtime.IsPseudoBox())
            return window;
    return nullptr;
}

} // namespace

struct BoxInUse::Token {
    std::wstring id;
    explicit Token(std::wstring boxId) : id(std::move(boxId))
    {
        std::lock_guard lock(Counts().mutex);
        ++Counts().counts[id];
    }
    ~Token()
    {
        std::lock_guard lock(Counts().mutex);
        auto count = Counts().counts.find(id);
        if (count != Counts().counts.end() && --count->second <= 0)
            Counts().counts.erase(count);
    }
    Token(const Token&) = delete;
    Token& operator=(const Token&) = delete;
};

BoxInUse BoxInUse::Hold(const BoxWindowPtr& box)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || runtime->IsPseudoBox() || runtime->id.empty())
        return BoxInUse{};
    return HoldId(runtime->id);
}

BoxInUse BoxInUse::HoldId(const std::wstring& id)
{
    BoxInUse hold;
    if (!id.empty())
        hold.token_ = std::make_shared<const Token>(id);
    return hold;
}

void BoxInUse::Release()
{
    token_.reset();
}

const std::wstring& BoxInUse::Id() const
{
    static const std::wstring none;
    return token_ ? token_->id : none;
}

BoxWindowPtr BoxInUse::Box() const
{
    return token_ ? BoxOf(token_->id) : nullptr;
}

bool BoxInUse::Held(const std::wstring& id)
{
    std::lock_guard lock(Counts().mutex);
    return Counts().counts.count(id) > 0;
}

bool BoxInUse::AnyHeld()
{
    std::lock_guard lock(Counts().mutex);
    return !Counts().counts.empty();
}

bool BoxInUse::Busy(const BoxWindowPtr& box)
{
    if (!box)
        return false;
    if (FileJobWorksFor(box) || BoxQuestionOpen(box))
        return true;
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return false;
    std::map<std::wstring, int> held;
    {
        std::lock_guard lock(Counts().mutex);
        held = Counts().counts;
    }
    if (held.empty())
        return false;
    if (held.count(runtime->id))
        return true;
    for (const auto& entry : held) {
        const BoxWindowPtr other = BoxOf(entry.first);
        if (other && other != box && (Shows(other, box) || Shows(box, other)))
            return true;
    }
    return false;
}

BoxInUse::Found BoxInUse::BoxWithFolder(const std::wstring& folder, const std::wstring& noticeKind,
                                        const std::wstring& changedWhile) const
{
    Found found;
    found.box = Box();
    const BoxRuntime* runtime = FindBoxRuntime(found.box);
    auto manager = s_boxIconManagers.find(found.box);
    // The box went meanwhile: nothing was touched.
    if (!runtime || manager == s_boxIconManagers.end())
        return Found{};
    if (runtime->BackingFolder() != folder) {
        // What was looked at is not where the files would go.
        NotifyUser(noticeKind + runtime->TargetFolder,
                   L"收纳盒“" + runtime->title + L"”的文件夹" + changedWhile + L"\n请重试。");
        return Found{};
    }
    found.manager = &manager->second;
    return found;
}
