// The process's crash handler: writes what it can learn about an unhandled
// exception (or an uncaught C++ exception) into the log and shows the log.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Unhandled-exception filter; runs once per process and always returns
// EXCEPTION_CONTINUE_SEARCH so the system's own crash handling follows.
LONG WINAPI CrashHandler(EXCEPTION_POINTERS* exception);

// Installs CrashHandler as the unhandled-exception filter and a terminate
// handler that writes the same FATAL line (an uncaught C++ exception ends in
// std::terminate, which never reaches the filter).
void InstallCrashHandler();

// "Unhandled Exception (Code: 0x%X) at address 0x%llX. Function: %ls + 0x%llX",
// at most 512 characters.
std::wstring FormatCrashLine(uint32_t code, uint64_t address, const std::wstring& function, uint64_t displacement);

// The exception code the terminate handler reports: the code with which
// the GCC runtime raises a C++ exception.
constexpr uint32_t kCxxExceptionCode = 0x20474343;
