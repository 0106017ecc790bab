// Shell execution.
#pragma once

#include "windef.h"

#define SEE_MASK_DEFAULT 0x00000000
#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SW_HIDE 0
#ifndef SW_SHOW
#define SW_SHOW 5
#endif

// Results of ShellExecute kept in hInstApp (values above 32 mean success).
#define SE_ERR_FNF 2
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31

typedef struct _SHELLEXECUTEINFOW
{
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    void* lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;
} SHELLEXECUTEINFOW, *LPSHELLEXECUTEINFOW;

// Starts lpFile (a program) with lpParameters, split as a command line. The verb "runas"
// starts it elevated (the child is an elevated process, as after the consent prompt); no verb
// or "open" starts it as this process is. With SEE_MASK_NOCLOSEPROCESS hProcess receives the
// process handle, which the caller closes. Other verbs fail with ERROR_NO_ASSOCIATION.
QMAPI BOOL WINAPI ShellExecuteExW(SHELLEXECUTEINFOW* pExecInfo);

#define SHELLEXECUTEINFO SHELLEXECUTEINFOW
#define ShellExecuteEx ShellExecuteExW
