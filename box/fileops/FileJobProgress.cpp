#include "box/fileops/FileJobProgress.h"

FileJobProgress s_copyProgress;

void FileJobProgress::SetCurrentName(const std::wstring& path)
{
    std::lock_guard lock(mutex);
    currentName = FileNameOfPath(path);
}

std::wstring FileJobProgress::CurrentName()
{
    std::lock_guard lock(mutex);
    return currentName;
}

std::wstring FileNameOfPath(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool RepaintDue(uint32_t now, uint32_t lastPost)
{
    return static_cast<uint32_t>(now - lastPost) > 48u;
}
