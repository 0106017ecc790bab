// Snapshots of the machine's running processes.
#pragma once

#include "windef.h"

#define TH32CS_SNAPPROCESS 0x00000002

typedef struct tagPROCESSENTRY32W
{
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];
} PROCESSENTRY32W, *PPROCESSENTRY32W, *LPPROCESSENTRY32W;

// The processes of the machine's desktop session (the subkeys <process id> of
// HKLM\SOFTWARE\Quillmark\Machine\Processes, value "ExeFile"), in process-id order.
// Only TH32CS_SNAPPROCESS is supported
// (ERROR_INVALID_PARAMETER otherwise); the snapshot is closed with CloseHandle.
QMAPI HANDLE WINAPI CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID);
// FALSE with ERROR_NO_MORE_FILES after the last process; dwSize must be at least the size of
// the structure (ERROR_INSUFFICIENT_BUFFER).
QMAPI BOOL WINAPI Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);
QMAPI BOOL WINAPI Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);

#define PROCESSENTRY32 PROCESSENTRY32W
#define Process32First Process32FirstW
#define Process32Next Process32NextW
