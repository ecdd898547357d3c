// At start, nothing holds what the temporary folder still has (the undo
// lists live only while the program runs): after a crash or a kill, the
// copies kept for undo would stay where only the program finds them. They
// go to the Recycle Bin, or into view where the bin does not take them,
// and the user is told. UI thread only.
#pragma once

#include <string>

// The item's own name of a kept copy: "a.txt" of "a.txt3f2a.tmp"; the name
// itself when it is not a kept copy's.
std::wstring OriginalNameOfKeptCopy(const std::wstring& name);

// Every entry of the temporary folder leaves as described above; nothing
// happens while no folder for the boxes is chosen.
void SweepTemporaryFolder();
