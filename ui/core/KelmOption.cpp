#include "ui/core/KelmOption.h"

namespace Brevin
{

KelmOption::KelmOption(std::wstring text_, std::function<void()> onClick_, int state_)
    : text(std::move(text_)), onClick(std::move(onClick_)), state(state_)
{
}

KelmOption::KelmOption(std::wstring text_, std::vector<KelmOption> children_)
    : text(std::move(text_)), children(std::move(children_))
{
}

KelmOption::KelmOption(std::wstring text_, std::wstring secondText_, std::function<void()> onClick_)
    : text(std::move(text_)), secondText(std::move(secondText_)), onClick(std::move(onClick_))
{
}

} // namespace Brevin
