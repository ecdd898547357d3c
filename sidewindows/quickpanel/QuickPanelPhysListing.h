// The physical section's folder listed off the UI thread: a hidden box's
// folder of thousands of files would hold every window of the program
// while it is read. The section shows its stored entries at once; the
// facts of their files, the files gone and the files new follow when the
// listing comes back. UI thread only.
#pragma once

namespace TessikQuickPanel
{

// Lists the selected hidden box's folder on a thread of its own; the
// physical section follows it on the UI thread once it is back: a record
// kept takes its file's spelling and facts, a record of a file gone goes
// and new files come last. A listing that comes back after the panel, its
// section window, the selection or the box's folder changed is dropped;
// one that finds the section's records changed meanwhile is taken again
// (after a running drop or paste, whose end asks for one). A later ask
// replaces an earlier one.
void ListPhysicalSectionSoon();
// Whether a listing of the physical section is on its way.
bool PhysicalListingOnItsWay();
// The listing on its way is no longer wanted (the content is rebuilt).
void DropPhysicalListing();
// The same, and waits until no listing holds a folder open: before a
// hidden box's folder leaves (an open listing would keep it in place).
void LetGoOfPhysicalFolder();

} // namespace TessikQuickPanel
