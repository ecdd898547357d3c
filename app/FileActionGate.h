// From the first question of "清除用户数据" or of a quit on, nothing new
// may write into a box folder: a drop, a paste or a file job started then
// would leave its replaced files in a temporary folder that is no longer
// swept. The boxes and side windows ask here before they take files or
// start a job (app/ knows nothing of them). UI thread only.
#pragma once

#include <string>

class FileActionGate
{
public:
    // Closed while it lives (reason: what the program is doing, "清除用户数据",
    // "退出"); open again when the last one ends, unless CloseForGood.
    class Closing
    {
    public:
        explicit Closing(const std::wstring& reason);
        ~Closing();
        Closing(const Closing&) = delete;
        Closing& operator=(const Closing&) = delete;
    };
    // The program is ending: the gate stays closed for the rest of the run.
    static void CloseForGood(const std::wstring& reason);

    static bool IsClosed();
    // While closed: the user is told that what they asked was not done
    // (notDone: "没有粘贴", "拖入的文件没有放入收纳盒，仍在原来的位置") and true
    // is returned.
    static bool Refuses(const std::wstring& notDone);
};
