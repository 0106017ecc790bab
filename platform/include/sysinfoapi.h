// The operating system's version, as the machine reports it.
#pragma once

#include "windef.h"

typedef struct _OSVERSIONINFOW
{
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
} OSVERSIONINFOW, *POSVERSIONINFOW, *LPOSVERSIONINFOW;

typedef struct _OSVERSIONINFOEXW
{
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
} OSVERSIONINFOEXW, *POSVERSIONINFOEXW, *LPOSVERSIONINFOEXW;

#define VER_PLATFORM_WIN32_NT 2
#define VER_NT_WORKSTATION 0x0000001

// From HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion: CurrentMajorVersionNumber and
// CurrentMinorVersionNumber (DWORD), CurrentBuildNumber and CSDVersion (text); a machine
// without them is Windows 6.1 build 7601. dwOSVersionInfoSize must be the size of either
// record, else ERROR_INSUFFICIENT_BUFFER.
QMAPI BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW lpVersionInformation);
#define GetVersionEx GetVersionExW
#define OSVERSIONINFO OSVERSIONINFOW
