// Texts of the checks: 8-bit strings in the system code page, and the log they write to.
#pragma once

#include <string>

#include "windows.h"

// A UTF-16 text in the system code page.
std::string AcpFromWide(const char16_t* text);
// A system-code-page text as UTF-16.
std::u16string WideFromAcp(const char* text);

// Where the checks' log lines go: the program's log (the application installs its writer);
// nowhere until one is set.
typedef void (*PFN_CHECK_LOG_WRITER)(LPCSTR text);
void SetCheckLogWriter(PFN_CHECK_LOG_WRITER writer);
void WriteCheckLog(LPCSTR text);
// The message template (with %s for each argument) in the system code page, then logged.
void WriteCheckLogFormat(const char16_t* format, const char* arg1, const char* arg2 = nullptr,
                         const char* arg3 = nullptr);
