// 32-bit programs on 64-bit Windows.
#pragma once

#include "windef.h"

// The pseudo handle (HANDLE)-1 that stands for the calling process; closing it does nothing.
QMAPI HANDLE WINAPI GetCurrentProcess(void);

// TRUE with *Wow64Process set when the process is the calling one ((HANDLE)-1): TRUE on a
// machine whose native processor (GetNativeSystemInfo) is not x86, since programs here are
// 32-bit. Another handle: FALSE with ERROR_INVALID_HANDLE.
QMAPI BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process);

// Redirection of the system folder for the calling thread. Disable stores a token for Revert;
// both fail with ERROR_INVALID_FUNCTION on a machine without WOW64, as on 32-bit Windows.
// The files of the machine are laid out once: C:\Windows\System32 and C:\Windows\SysWOW64 are
// reached by their own names, so switching redirection changes no path here.
QMAPI BOOL WINAPI Wow64DisableWow64FsRedirection(PVOID* OldValue);
QMAPI BOOL WINAPI Wow64RevertWow64FsRedirection(PVOID OldValue);
