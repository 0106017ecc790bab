// Threads and processes.
#pragma once

#include "windef.h"

#define STILL_ACTIVE 259L

typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);

#define CREATE_SUSPENDED 0x00000004

// The handle is signalled when the routine returns; its value is the exit code.
// CREATE_SUSPENDED is not supported (ERROR_NOT_SUPPORTED).
QMAPI HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                                 LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                                 LPDWORD lpThreadId);
// STILL_ACTIVE while running.
QMAPI BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
QMAPI DWORD WINAPI GetCurrentThreadId(void);
QMAPI DWORD WINAPI GetCurrentProcessId(void);

typedef struct _STARTUPINFOW
{
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;

typedef struct _PROCESS_INFORMATION
{
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *PPROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// The program is lpApplicationName, else the first word of the command line (in double
// quotes when it holds blanks); the rest of the command line is split into arguments as
// the C runtime's startup code splits it. Windows paths name files of the machine (C:\ is
// $QM_MACHINE/drive_c); absolute Linux paths (as GetModuleFileNameW gives) name themselves.
// Program files need no execute permission, as on Windows. The child runs on the same
// machine and is elevated when this process is. Both handles must be closed; the thread
// handle is signalled with the process. ERROR_FILE_NOT_FOUND when there is no such program.
QMAPI BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                                 LPSECURITY_ATTRIBUTES lpProcessAttributes, LPSECURITY_ATTRIBUTES lpThreadAttributes,
                                 BOOL bInheritHandles, DWORD dwCreationFlags, LPVOID lpEnvironment,
                                 LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                                 LPPROCESS_INFORMATION lpProcessInformation);
// STILL_ACTIVE while running; a process killed by a signal reports 0xC000013A.
QMAPI BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);

#define CreateProcess CreateProcessW
#define STARTUPINFO STARTUPINFOW
