// The physical section's folder listed off the UI thread: a hidden box's
// folder of thousands of files would hold every window of the program
// while it is read. The section shows its stored entries at once; the
// facts of their files, the files gone and the files new follow when the
// listing comes back. UI thread only.
#pragma once

#include <functional>

namespace TessikQuickPanel
{

// Work that reads a hidden box's folder; stopped() answers true once it is
// no longer wanted (it stops between entries then). What it gives back
// runs on the UI thread.
using HiddenFolderWork = std::function<std::function<void()>(const std::function<bool()>& stopped)>;

// Lists the selected hidden box's folder on a thread of its own; the
// physical section follows it on the UI thread once it is back: a record
// kept takes its file's spelling and facts, a record of a file gone goes
// and new files come last. A listing that comes back after the panel, its
// section window, the selection or the box's folder changed is dropped;
// one that finds the section's records changed meanwhile is taken again
// (after a running drop or paste, whose end asks for one). A later ask
// replaces an earlier one. With mappedFacts, the same thread also reads
// the facts of the files of the main list (the box's mapped entries, shown
// unread), and every later ask for the same selection does until they
// landed; they land by path, unless the panel, the selection or the box's
// folder changed meanwhile.
void ListPhysicalSectionSoon(bool mappedFacts = false);
// Any other reading of a hidden box's folder (the search's) on the same
// road: one listing is wanted at a time (this ask replaces the section's
// or an earlier one on its way), LetGoOfPhysicalFolder waits for it, and
// what it gives back runs only when no other listing was asked and none
// dropped meanwhile.
void ListHiddenFolderSoon(HiddenFolderWork work);
// Whether a listing of the physical section is on its way.
bool PhysicalListingOnItsWay();
// The listing on its way is no longer wanted (the content is rebuilt).
void DropPhysicalListing();
// The same, and waits until no listing holds a folder open: before a
// hidden box's folder leaves (an open listing would keep it in place).
void LetGoOfPhysicalFolder();

} // namespace TessikQuickPanel
