#include "box/fileops/FileJobProgress.h"

#include <algorithm>

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

namespace
{

// The step of one item, in bytes: about what a file system spends on an
// item beside its data.
constexpr uint64_t kItemStep = 64 * 1024;

} // namespace

uint64_t JobItemWeight(uint64_t bytes)
{
    return bytes + kItemStep;
}

float JobFraction(uint64_t done, uint64_t item, float itemFraction, uint64_t total)
{
    if (total == 0)
        return 0.0f;
    const double share = static_cast<double>(std::clamp(itemFraction, 0.0f, 1.0f)) * static_cast<double>(item);
    return static_cast<float>(std::clamp((static_cast<double>(done) + share) / static_cast<double>(total), 0.0, 1.0));
}

void FileJobProgress::StartJob(uint64_t total)
{
    jobWeight = total;
    doneWeight = 0;
    itemWeight = 0;
    itemIsFolder = false;
    fraction = 0.0f;
}

void FileJobProgress::StartItem(uint64_t weight)
{
    itemWeight = weight;
    itemIsFolder = false;
    fraction = JobFraction(doneWeight, weight, 0.0f, jobWeight);
}

void FileJobProgress::SetItemFraction(float itemFraction)
{
    fraction = JobFraction(doneWeight, itemWeight, itemFraction, jobWeight);
}

void FileJobProgress::FinishItem()
{
    doneWeight += itemWeight.exchange(0);
    itemIsFolder = false;
    fraction = JobFraction(doneWeight, 0, 0.0f, jobWeight);
}
