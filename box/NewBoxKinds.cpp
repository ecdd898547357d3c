#include "box/NewBoxKinds.h"

#include <filesystem>
#include <system_error>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "ui/controls/KelmFolderSelectWin.h"

namespace TessikDesktopContainer
{

namespace
{

const wchar_t kMappingTitle[] = L"映射收纳盒";
const wchar_t kNormalTitle[] = L"普通收纳盒";
const wchar_t kTargetTitle[] = L"目标收纳盒";
const wchar_t kMappingText[] =
    L"映射收纳盒是文件的快捷方式。您可以使用映射收纳盒快速访问和整理文件，建立跨位置的快速访问。";
const wchar_t kLibraryMappingText[] =
    L"映射收纳盒是文件的快捷方式。您可以使用快速访问和整理文件，建立跨位置的快速访问。";
const wchar_t kNormalText[] = L"普通收纳盒会将文件实际移入其中。删除、重命名等操作会影响原始文件。文件将在这里统一"
                              L"管理，适合归档以及日常、学习、工作场景的文件处理。";
const wchar_t kTargetText[] = L"目标收纳盒将现有目录作为收纳盒的目标。类似普通收纳盒，所有操作会与指定的目录同步。";

} // namespace

std::vector<Brevin::KelmOption> NewBoxKinds(const NewBoxActions& actions, bool libraryWording)
{
    std::vector<Brevin::KelmOption> kinds;
    kinds.emplace_back(kMappingTitle, libraryWording ? kLibraryMappingText : kMappingText, actions.mapping);
    kinds.emplace_back(kNormalTitle, kNormalText, actions.normal);
    kinds.emplace_back(kTargetTitle, kTargetText, actions.target);
    return kinds;
}

std::vector<Brevin::KelmOption> NewBoxMenuEntries(const NewBoxActions& actions)
{
    std::vector<Brevin::KelmOption> entries;
    entries.emplace_back(kMappingTitle, actions.mapping, 1);
    entries.emplace_back(kNormalTitle, actions.normal, 1);
    entries.emplace_back(kTargetTitle, actions.target, 1);
    return entries;
}

std::wstring DefaultBoxFolder()
{
    return NormalizeStoredPath(s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L""));
}

std::wstring ChooseExistingFolder(HWND owner)
{
    KelmFolderSelectWin::KelmCreateWindow(owner, L"", L"");
    if (s_folderResult == L"bvn!NULL")
        return {};
    std::error_code error;
    if (!std::filesystem::is_directory(s_folderResult, error))
        return {};
    return NormalizeStoredPath(s_folderResult);
}

} // namespace TessikDesktopContainer
