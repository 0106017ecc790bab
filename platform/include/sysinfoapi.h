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

// The processor as programs see it. Only the architecture and the processor count are filled
// with meaning; the other fields are zero.
typedef struct _SYSTEM_INFO
{
    union
    {
        DWORD dwOemId;
        struct
        {
            WORD wProcessorArchitecture;
            WORD wReserved;
        };
    };
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
} SYSTEM_INFO, *LPSYSTEM_INFO;

#define PROCESSOR_ARCHITECTURE_INTEL 0
#define PROCESSOR_ARCHITECTURE_IA64 6
#define PROCESSOR_ARCHITECTURE_AMD64 9

// The machine's processor: HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment
// value PROCESSOR_ARCHITECTURE ("x86", "AMD64", "IA64"); x86 when missing. Programs of the kit
// are 32-bit, so GetSystemInfo reports x86 on every machine, as under WOW64.
QMAPI void WINAPI GetNativeSystemInfo(LPSYSTEM_INFO lpSystemInfo);
QMAPI void WINAPI GetSystemInfo(LPSYSTEM_INFO lpSystemInfo);

#define PRODUCT_UNDEFINED 0x00000000
// The edition: HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion value EditionID (for example
// "Ultimate", "Professional", "ServerStandard"); PRODUCT_UNDEFINED when missing or unknown.
// FALSE only without an out pointer.
QMAPI BOOL WINAPI GetProductInfo(DWORD dwOSMajorVersion, DWORD dwOSMinorVersion, DWORD dwSpMajorVersion,
                                 DWORD dwSpMinorVersion, PDWORD pdwReturnedProductType);

// ntdll's version query: the same facts as GetVersionExW, never adjusted for the program.
// 0 (STATUS_SUCCESS), or 0xC000000D (STATUS_INVALID_PARAMETER) for a record of another size.
QMAPI LONG WINAPI RtlGetVersion(LPOSVERSIONINFOW lpVersionInformation);

// C:\Windows\System32, and the 32-bit system folder C:\Windows\SysWOW64 (only on a 64-bit
// machine; 0 with ERROR_CALL_NOT_IMPLEMENTED elsewhere). Characters without the terminator,
// or the size needed with it when uSize is too small.
QMAPI UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);
QMAPI UINT WINAPI GetSystemWow64DirectoryA(LPSTR lpBuffer, UINT uSize);
