#include "box/fileops/SameNameQuestion.h"

int AskSameNameQuestion(HWND)
{
    // Until the choose-one popup is available nothing is replaced: the
    // safe answer is a numbered copy.
    return 0;
}
