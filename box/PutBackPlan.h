// Where a file taken out of a box goes: back to where it came from only when
// the user can see that place, and where a typed "归位" destination means
// it to go. The plans are pure rules over what the disk said; JudgePlace,
// CheckTheWay and RestoreFactsOf are the only questions asked of the disk.
// Any thread: the disband plans on its file worker.
#pragma once

#include <string>
#include <vector>

namespace PutBack
{

// What a folder a file would go back into is.
enum class Place {
    Unknown,   // no place was recorded
    Seen,      // an existing folder that no box holds
    Gone,      // no folder stands there any more
    BoxFolder, // a box's folder, the box root, or inside one
    Linked,    // the folder or one above it is now a link to somewhere else
    Unchecked, // the system would not say whether one of them is a link
};

// What stands on the way to a folder: the first entry, from the folder up
// to its root, that is not a folder of its own. at is empty when every one
// that exists is a plain folder; a level that does not exist (yet) is not
// looked at, the one it would be made under is.
struct WayCheck {
    std::wstring at;
    // at could not be opened to tell; else it is a link (shown as one, or
    // shown as a plain entry that names something else, as under Wine).
    bool unchecked = false;
};
WayCheck CheckTheWay(const std::wstring& folder);
// Why nothing goes into a folder whose way holds such an entry (a clause
// to end or go on).
std::wstring WayRefusedText(const WayCheck& way);

// Judges folder against the folders of the boxes and the box root: the
// folder itself and each of its parents is compared with
// them by what it is (file identity), not by spelling, so a place inside a
// deleted box's folder counts as that box's when the box root is listed.
// A folder that stands is then Linked or Unchecked when its way holds a
// link (CheckTheWay, told in way): a file moved there would land wherever
// the link leads, a folder the user never pointed at.
Place JudgePlace(const std::wstring& folder, const std::vector<std::wstring>& boxFolders, WayCheck* way = nullptr);

// The folders a file put back by its path (归位, undo) is judged against:
// the box root, whose contents the user sees only through a box, and the
// folders the standing boxes show.
struct BoxPlaces {
    std::vector<std::wstring> roots;
    std::vector<std::wstring> shown;
};

// What the disk says of a folder a file would be put back into: whether it
// stands, and whether it or a folder above it is one of the roots or one of
// the shown folders (by file identity, as JudgePlace compares).
struct HomeFacts {
    bool exists = false;
    bool inRoot = false;
    bool inShown = false;
};
HomeFacts HomeFactsOf(const std::wstring& folder, const BoxPlaces& places);

// Why nothing is put into folder by its path: it lies in the box root or a
// box's folder, and either is gone (made again, no box would show it) or
// is shown by no box. Empty when it may take the file: a folder a box
// shows, or one outside every box (made when missing).
std::wstring HiddenHomeWhy(const std::wstring& folder, const HomeFacts& facts);
// The short question that offers the Desktop instead for the file name,
// naming the folder by its last name (the question box is small).
std::wstring HiddenHomeQuestion(const std::wstring& folder, const std::wstring& name, const HomeFacts& facts);

// Where a disband puts one file of the box.
struct DisbandTarget {
    enum class Kind { Original, Desktop, Stay };
    Kind kind = Kind::Stay;
    // The place it goes to (before a free name is found there).
    std::wstring path;
    // Why it does not go back where it came from; empty when it does.
    std::wstring why;
};
// fileName: the file's name; originalPath: where it came from ("bvn!NULL"
// when unknown); place: JudgePlace of that path's folder and way what it
// found on the way; desktop: the Desktop folder, empty when it is not
// known. A file whose way holds a link stays in the box.
DisbandTarget PlanDisbandTarget(const std::wstring& fileName, const std::wstring& originalPath, Place place,
                                const std::wstring& desktop, const WayCheck& way = {});

// What the disk says of a typed "归位" destination.
struct RestoreFacts {
    bool isFolder = false;
    // The destination or a folder above it that is a link (CheckTheWay).
    WayCheck way;
};
RestoreFacts RestoreFactsOf(const std::wstring& entered);

// Where a typed "归位" destination puts the file: into folder, under name
// (a free numbered name when taken). refused holds why nothing happens.
struct RestoreTarget {
    std::wstring refused;
    std::wstring folder;
    std::wstring name;
};
// An existing folder, or a path that ends in a separator, takes the file
// under its own name; any other absolute path names the file itself; a
// path that is not absolute is refused (it would land beside the program),
// and so is one whose way holds a link, or that gives the file a new name
// no entry can take (TypedNameRefusal).
RestoreTarget PlanRestoreTarget(const std::wstring& entered, const std::wstring& fileName, const RestoreFacts& facts);

} // namespace PutBack
