// What one drop tells its source. A window that takes a drop and moves the
// files itself (an optimized move) must never let the source delete them
// as well: the source never hears DROPEFFECT_MOVE, neither from Drop nor as
// the performed effect; the logical performed effect says that the files
// were moved. When the source's data object can wait for the result
// (asynchronous mode), the answer is given when the work has ended, so a
// drop that ends with nothing taken (a question cancelled, a job refused)
// reports nothing taken. Otherwise Drop answers at once with an effect that
// can never make the source delete.
// UI thread only: the data object belongs to the UI thread's apartment.
// A source in another apartment (another process) hears the result from a
// worker thread: each call to it crosses into its process and waits there,
// and the UI thread never waits on it.
#pragma once

#include <ole2.h>
#include <windows.h>

class DropOutcome
{
public:
    DropOutcome(IDataObject* data, DWORD allowedEffects);
    // A drop nobody finished took nothing.
    ~DropOutcome();
    DropOutcome(const DropOutcome&) = delete;
    DropOutcome& operator=(const DropOutcome&) = delete;

    // The window took the drop and means to do what effect says (MOVE: it
    // moves the files itself; COPY; LINK: it only records where they are).
    void Take(DWORD intendedEffect);
    bool Taken() const { return taken_; }
    DWORD Intended() const { return intended_; }
    DWORD AllowedEffects() const { return allowed_; }

    // The effect Drop returns. Starts the asynchronous mode when the source
    // offers it; without it the performed effect is set now. A window that
    // finished its work before (Take, then Finish, both with what it did)
    // is answered with that.
    DWORD Answer();
    bool Async() const { return async_ != nullptr || asyncStream_ != nullptr; }

    // The work has ended with effect (as for Take; NONE when nothing was
    // taken). Tells an asynchronous source the result; once only.
    void Finish(DWORD effect);
    bool Finished() const { return finished_; }
    // The window answered the drop by itself: nothing more is said.
    void Forget();

private:
    bool HandOverToWorker();

    IDataObject* data_;
    IUnknown* async_ = nullptr;
    // The source marshalled for a worker thread (HandOverToWorker).
    IStream* dataStream_ = nullptr;
    IStream* asyncStream_ = nullptr;
    DWORD allowed_;
    DWORD intended_ = DROPEFFECT_NONE;
    bool taken_ = false;
    bool answered_ = false;
    bool finished_ = false;
};

// The effect a source may hear for what the target did: a move the target
// made itself leaves the source nothing to delete.
DWORD EffectForSource(DWORD effect, DWORD allowedEffects);

// Waits at most milliseconds for the results still on their way to their
// sources; true when none is left. At quit, so that no source waits forever.
bool WaitForDropAnswers(DWORD milliseconds);
