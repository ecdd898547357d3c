// BoxInUse: the boxes a drop, a paste or a put-back works for, held by the
// box's id from its first look at what it was given, through its question,
// to the end of its job. Whatever takes a box away (making it again from
// its settings, deleting or disbanding it) asks Busy first and is refused
// while a hold, a question or a file job works for the box.
#pragma once

#include <memory>
#include <string>

#include "box/BoxRuntime.h"

namespace TessikDesktopContainer
{
class KelmIconManager;
}

class BoxInUse
{
public:
    // Holds nothing.
    BoxInUse() = default;
    // UI thread. A hold on the box by its id; nothing is held for a window
    // that is no box.
    static BoxInUse Hold(const BoxWindowPtr& box);
    // Any thread. A hold on a box known only by its id (a hidden box).
    static BoxInUse HoldId(const std::wstring& id);

    // Copies share the hold; it ends when the last of them goes or lets
    // go, on any thread (a job's worker may be the last holder).
    void Release();
    bool Holds() const { return token_ != nullptr; }
    const std::wstring& Id() const;
    // UI thread. The held box as it stands now, found by its id (never a
    // window kept across a question), or null when no box has it.
    BoxWindowPtr Box() const;
    // UI thread. The held box and its icon manager as they stand now, for
    // a plan that looked at folder: nothing when the box went, and nothing
    // (the user told, under the notice kind, that its folder changed
    // `changedWhile`) when its folder is no longer the one looked at.
    struct Found {
        BoxWindowPtr box;
        TessikDesktopContainer::KelmIconManager* manager = nullptr;
    };
    Found BoxWithFolder(const std::wstring& folder, const std::wstring& noticeKind,
                        const std::wstring& changedWhile) const;

    // Any thread. Whether something holds the box with this id.
    static bool Held(const std::wstring& id);
    // Any thread. Whether something holds any box.
    static bool AnyHeld();
    // UI thread. Whether the box must stay as it is: a hold names it, or a
    // box that shows its records or whose records it shows (an integrated
    // group); a shell question about its records is open; or a file job
    // works for it.
    static bool Busy(const BoxWindowPtr& box);

private:
    struct Token;
    std::shared_ptr<const Token> token_;
};
