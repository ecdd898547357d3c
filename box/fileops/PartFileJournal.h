// The record of the part files one job writes, so that what a run left
// when it was cut off (a kill, a crash) is found again and only that is
// removed. A journal is a file in the data folder's "parts" folder, made
// when the job writes its first part file and held open (without delete
// sharing) until the job ends; it names the folders the job writes part
// files in and every folder it moves across volumes. Every part file of
// the job carries the journal's token in its name. Files of any other
// name, the part-file form included, are never taken. Any thread; one
// journal is used by one thread at a time.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <string_view>

class PartFileJournal
{
public:
    // Journals go to folder; empty: part files are named but not recorded
    // (and then never removed by a sweep).
    explicit PartFileJournal(std::wstring folder = Folder());
    // Closes the journal. It is removed when every part file it named is
    // gone; otherwise what stayed is left for the folder sync or the next
    // start, which remove it once nothing holds it.
    ~PartFileJournal();
    PartFileJournal(const PartFileJournal&) = delete;
    PartFileJournal& operator=(const PartFileJournal&) = delete;

    // Where new journals go: the "parts" folder of the data folder given
    // (none when it is empty), set at start and whenever a job starts.
    static void UseDataFolder(const std::wstring& dataFolder);
    static std::wstring Folder();

    // A part-file path beside destination that nothing uses yet, its folder
    // recorded before the path is given out; claimed until Release.
    std::wstring Claim(const std::wstring& destination);
    // The claimed part file went (renamed into place or deleted: gone) or
    // stayed where it was.
    void Release(const std::wstring& partPath, bool gone);

    // A folder moved across volumes: started (the copy begins), copied
    // (everything arrived, the source is about to be emptied) and ended
    // (the job knows what happened and tells it).
    void FolderMoveStarted(const std::wstring& source, const std::wstring& destination);
    void FolderMoveCopied(const std::wstring& destination);
    void FolderMoveEnded(const std::wstring& destination);
    // A folder's files moved one by one from source into destination (an
    // undo or redo of a merged folder): a run cut off meanwhile leaves them
    // split between the two, one file perhaps in both. Nothing needs ending
    // it: a journal that closes normally goes with everything it says.
    void MergeStarted(const std::wstring& source, const std::wstring& destination);

    // The token of a part-file name of this program's form, or empty.
    static std::wstring TokenOfPartFileName(std::wstring_view name);

    // Start: every journal in folder whose job no longer runs is read; the
    // part files of its token in the folders it names go (each checked to
    // be itself, nothing holding it), and a folder move it left unfinished
    // is told to the user. Returns the text told, empty when none.
    static std::wstring SweepLeftovers(const std::wstring& folder);

    // Folder sync: whether the entry at path is a part file this program
    // records (being written now, or left by a job that ended): the box
    // does not show it. One left by a job that ended is removed.
    static bool TakenBySync(const std::wstring& path);

private:
    bool Write(const std::wstring& line);

    std::wstring folder_;
    std::wstring token_;
    std::wstring path_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool unrecorded_ = false;
    // Folders already named in the journal, as spelt when named.
    std::set<std::wstring> folders_;
    // Claimed part files, and those that stayed after their job used them.
    std::set<std::wstring> claimed_;
    std::set<std::wstring> stayed_;
};
