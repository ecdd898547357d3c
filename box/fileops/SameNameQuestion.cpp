#include "box/fileops/SameNameQuestion.h"

#include "ui/controls/NewPopupSelection.h"

int AskSameNameQuestion(HWND owner)
{
    std::vector<Brevin::KelmOption> options{
        {L"创建副本", nullptr, 1},
        {L"直接覆盖", nullptr, 1},
    };
    // Overwriting replaces the user's file: the OK button turns red for it.
    s_selectionRedOk[1] = 1;
    NewPopupSelection::Create(owner, L"选择处理同名文件冲突的操作:", L"解决冲突", std::move(options), L"", L"取消");
    if (s_selectionOk != 1)
        return -1;
    return s_selectionIndex == 1 ? 1 : 0;
}
