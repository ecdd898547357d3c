#include "app/CrashHandler.h"

#include <dbghelp.h>
#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "app/LogFiles.h"
#include "app/Logger.h"

namespace
{

std::atomic<bool> s_crashHandled{false};

const wchar_t kModule[] = L"CRASH_HANDLER";
const wchar_t kApology[] =
    L"Sorry, Tessik had encountered a fatal error. Please contact the developers to report this issue at your "
    L"earliest convenience. All of the files have been saved in D:/.tessik or your custom directory.";

std::wstring LookUpFunction(uint64_t address, uint64_t& displacement)
{
    displacement = 0;
    HANDLE process = GetCurrentProcess();
    if (!SymInitialize(process, nullptr, TRUE))
        return L"UnknownFunction";
    // SYMBOL_INFO is followed by room for the name.
    alignas(SYMBOL_INFO) char buffer[sizeof(SYMBOL_INFO) + 2000];
    auto* symbol = reinterpret_cast<SYMBOL_INFO*>(buffer);
    ZeroMemory(buffer, sizeof(buffer));
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = 2000;
    DWORD64 offset = 0;
    if (!SymFromAddr(process, address, &offset, symbol))
        return L"UnknownFunction";
    displacement = offset;
    const int length = MultiByteToWideChar(CP_ACP, 0, symbol->Name, -1, nullptr, 0);
    if (length <= 1)
        return L"UnknownFunction";
    std::wstring name(static_cast<size_t>(length - 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, symbol->Name, -1, name.data(), length);
    return name;
}

// Writes the lines after everything already queued and shows the log. The
// lines are formatted here rather than queued through Log(), whose lock may
// be held by a thread that will never release it.
void ReportCrash(const std::wstring& fatalLine, const std::wstring& detail)
{
    Logger& logger = Logger::GetInstance();
    const std::tm now = LocalTimeOf(std::chrono::system_clock::now());
    std::vector<std::wstring> lines;
    lines.push_back(FormatLogLine(kModule, L"FATAL", now, fatalLine));
    if (!detail.empty())
        lines.push_back(FormatLogLine(kModule, L"INFO", now, detail));
    lines.push_back(FormatLogLine(kModule, L"INFO", now, kApology));
    const std::wstring path = logger.WriteLinesForCrash(lines);
    if (!path.empty()) {
        const std::wstring parameter = L"\"" + path + L"\"";
        ShellExecuteW(nullptr, L"open", L"notepad.exe", parameter.c_str(), nullptr, SW_SHOWDEFAULT);
    }
}

void TerminateHandler()
{
    if (!s_crashHandled.exchange(true)) {
        std::wstring detail;
        try {
            if (std::exception_ptr current = std::current_exception())
                std::rethrow_exception(current);
        } catch (const std::exception& error) {
            const char* what = error.what();
            detail = L"Uncaught C++ exception: ";
            for (const char* p = what; p && *p; ++p)
                detail += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        } catch (...) {
            detail = L"Uncaught C++ exception of unknown type.";
        }
        ReportCrash(FormatCrashLine(kCxxExceptionCode, 0, L"std::terminate", 0), detail);
    }
    std::abort();
}

} // namespace

std::wstring FormatCrashLine(uint32_t code, uint64_t address, const std::wstring& function, uint64_t displacement)
{
    wchar_t text[512];
    std::swprintf(text, 512, L"Unhandled Exception (Code: 0x%X) at address 0x%llX. Function: %ls + 0x%llX", code,
                  static_cast<unsigned long long>(address), function.c_str(),
                  static_cast<unsigned long long>(displacement));
    return text;
}

LONG WINAPI CrashHandler(EXCEPTION_POINTERS* exception)
{
    if (s_crashHandled.exchange(true))
        return EXCEPTION_CONTINUE_SEARCH;
    try {
        uint32_t code = 0;
        uint64_t address = 0;
        if (exception && exception->ExceptionRecord)
            code = exception->ExceptionRecord->ExceptionCode;
        if (exception && exception->ContextRecord)
            address = exception->ContextRecord->Rip;
        uint64_t displacement = 0;
        const std::wstring function = LookUpFunction(address, displacement);
        ReportCrash(FormatCrashLine(code, address, function, displacement), std::wstring());
    } catch (...) {
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

void InstallCrashHandler()
{
    SetUnhandledExceptionFilter(CrashHandler);
    std::set_terminate(TerminateHandler);
}
