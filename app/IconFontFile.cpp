#include "app/IconFontFile.h"

#include <cstdio>

IconFontWriteResult WriteIconFontFile(HMODULE module, const std::wstring& path)
{
    if (!module)
        return IconFontWriteResult::NoModule;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(111), L"BINARY");
    if (!resource)
        return IconFontWriteResult::ResourceNotFound;
    const DWORD size = SizeofResource(module, resource);
    if (size == 0)
        return IconFontWriteResult::ResourceEmpty;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded)
        return IconFontWriteResult::ResourceNotLoaded;
    const void* bytes = LockResource(loaded);
    if (!bytes)
        return IconFontWriteResult::ResourceNotLocked;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return IconFontWriteResult::FileNotCreated;
    DWORD written = 0;
    const bool complete = WriteFile(file, bytes, size, &written, nullptr) && written == size;
    CloseHandle(file);
    if (!complete) {
        // A truncated font would be registered and draw garbage; leave none.
        DeleteFileW(path.c_str());
        return IconFontWriteResult::FileNotCreated;
    }
    return IconFontWriteResult::Written;
}

std::wstring IconFontPathFor(bool firstRun, const std::wstring& dataFolder)
{
    if (!firstRun)
        return dataFolder + L"\\Font-AwesomeFree.ttf";
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"pkg-ts-fa.tmp.ttf";
}

const wchar_t* IconFontErrorText(IconFontWriteResult result)
{
    switch (result) {
    case IconFontWriteResult::Written:
        return L"";
    case IconFontWriteResult::NoModule:
        return L"错误：获取模块句柄失败。";
    case IconFontWriteResult::ResourceNotFound:
        return L"错误：无法找到资源。";
    case IconFontWriteResult::ResourceEmpty:
        return L"错误：无效的资源大小。";
    case IconFontWriteResult::ResourceNotLoaded:
        return L"错误：无法加载资源。";
    case IconFontWriteResult::ResourceNotLocked:
        return L"错误：无法锁定资源。";
    case IconFontWriteResult::FileNotCreated:
        return L"错误：无法创建或打开文件。";
    }
    return L"";
}

void EnsureIconFontFile(const std::wstring& path)
{
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    const IconFontWriteResult result = WriteIconFontFile(GetModuleHandleW(nullptr), path);
    if (result == IconFontWriteResult::Written)
        return;
    // The console of a Chinese system reads code page 936.
    const wchar_t* text = IconFontErrorText(result);
    char narrow[256] = {};
    WideCharToMultiByte(936, 0, text, -1, narrow, sizeof(narrow) - 1, nullptr, nullptr);
    std::fprintf(stderr, "%s\n", narrow);
}
