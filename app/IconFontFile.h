// Writes the embedded icon font (resource 111 of type "BINARY") to a file
// so it can be registered with the system and DirectWrite.
#pragma once

#include <windows.h>

#include <string>

enum class IconFontWriteResult {
    Written,
    NoModule,
    ResourceNotFound,
    ResourceEmpty,
    ResourceNotLoaded,
    ResourceNotLocked,
    FileNotCreated,
};

// The file of the icon font for this start: in the temporary folder on a
// first run, else in the data folder.
std::wstring IconFontPathFor(bool firstRun, const std::wstring& dataFolder);

// Writes the resource to the path (created or truncated, binary).
IconFontWriteResult WriteIconFontFile(HMODULE module, const std::wstring& path);

// The Chinese line that tells what failed (empty for Written).
const wchar_t* IconFontErrorText(IconFontWriteResult result);

// Writes the font when the file is missing; a failure goes to the standard
// error stream in code page 936 and start-up goes on.
void EnsureIconFontFile(const std::wstring& path);
