// ShellExecuteExW for programs: "runas" starts the child elevated.
#include "process_start.h"
#include "qm/machine.h"
#include "shellapi.h"
#include "winbase.h"

namespace
{
bool SameVerb(LPCWSTR verb, const char16_t* expected)
{
    for (; *verb && *expected; ++verb, ++expected)
    {
        char16_t a = *verb >= u'A' && *verb <= u'Z' ? char16_t(*verb + 32) : *verb;
        if (a != *expected)
            return false;
    }
    return !*verb && !*expected;
}
} // namespace

QMAPI BOOL WINAPI ShellExecuteExW(SHELLEXECUTEINFOW* pExecInfo)
{
    if (!pExecInfo || pExecInfo->cbSize != sizeof(SHELLEXECUTEINFOW) || !pExecInfo->lpFile)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pExecInfo->hProcess = nullptr;
    bool elevated = qm::IsProcessElevated();
    LPCWSTR verb = pExecInfo->lpVerb;
    if (verb && *verb && !SameVerb(verb, u"open"))
    {
        if (!SameVerb(verb, u"runas"))
        {
            pExecInfo->hInstApp = reinterpret_cast<HINSTANCE>(SE_ERR_NOASSOC);
            SetLastError(ERROR_NO_ASSOCIATION);
            return FALSE;
        }
        elevated = true;
    }
    std::u16string parameters = pExecInfo->lpParameters ? pExecInfo->lpParameters : u"";
    DWORD pid = 0;
    HANDLE process = qm::kernel32::StartProcess(pExecInfo->lpFile, qm::kernel32::SplitCommandLine(parameters),
                                                elevated, pExecInfo->lpDirectory, &pid);
    if (!process)
    {
        DWORD error = GetLastError();
        pExecInfo->hInstApp = reinterpret_cast<HINSTANCE>(
            error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SE_ERR_FNF : SE_ERR_ACCESSDENIED);
        return FALSE;
    }
    pExecInfo->hInstApp = reinterpret_cast<HINSTANCE>(42);
    if (pExecInfo->fMask & SEE_MASK_NOCLOSEPROCESS)
        pExecInfo->hProcess = process;
    else
        CloseHandle(process);
    return TRUE;
}
