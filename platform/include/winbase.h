// kernel32 basics: last error, local memory, message text, time, kernel string helpers.
#pragma once

#include <cstdarg>

#include "windef.h"
#include "winerror.h"
#include "securitybaseapi.h"

// What a new kernel object gets: its descriptor (NULL: the creator's default) and whether
// child processes inherit the handle. nLength is sizeof the record (12 on 32-bit Windows).
typedef struct _SECURITY_ATTRIBUTES
{
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// Last error of the calling thread.
QMAPI DWORD WINAPI GetLastError(void);
QMAPI void WINAPI SetLastError(DWORD dwErrCode);

// Local memory (a heap block; LMEM_MOVEABLE handles are plain pointers here).
#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
QMAPI HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes);
QMAPI HLOCAL WINAPI LocalReAlloc(HLOCAL hMem, SIZE_T uBytes, UINT uFlags);
QMAPI SIZE_T WINAPI LocalSize(HLOCAL hMem);
QMAPI LPVOID WINAPI LocalLock(HLOCAL hMem);
QMAPI BOOL WINAPI LocalUnlock(HLOCAL hMem);
// Returns NULL on success, hMem on failure (ERROR_INVALID_HANDLE), as Windows does.
QMAPI HLOCAL WINAPI LocalFree(HLOCAL hMem);

// Message text.
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF
// With FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer is really an LPWSTR* (LPSTR*) that receives
// a LocalAlloc'ed text; nSize is then the minimum number of characters to allocate.
QMAPI DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                  LPWSTR lpBuffer, DWORD nSize, va_list* Arguments);
QMAPI DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                  LPSTR lpBuffer, DWORD nSize, va_list* Arguments);

// Time.
typedef struct _TIME_ZONE_INFORMATION
{
    LONG Bias;
    WCHAR StandardName[32];
    SYSTEMTIME StandardDate;
    LONG StandardBias;
    WCHAR DaylightName[32];
    SYSTEMTIME DaylightDate;
    LONG DaylightBias;
} TIME_ZONE_INFORMATION, *PTIME_ZONE_INFORMATION, *LPTIME_ZONE_INFORMATION;
#define TIME_ZONE_ID_INVALID ((DWORD)0xFFFFFFFF)
#define TIME_ZONE_ID_UNKNOWN 0
#define TIME_ZONE_ID_STANDARD 1
#define TIME_ZONE_ID_DAYLIGHT 2

QMAPI void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime);
QMAPI void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
QMAPI void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime);
QMAPI BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);
QMAPI BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime);
QMAPI BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime);
QMAPI BOOL WINAPI LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime);
// Only lpTimeZoneInformation == NULL (the current time zone, the machine's TZ) is supported;
// any other zone fails with ERROR_NOT_SUPPORTED.
QMAPI BOOL WINAPI SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* lpTimeZoneInformation,
                                                  const SYSTEMTIME* lpUniversalTime, LPSYSTEMTIME lpLocalTime);
QMAPI BOOL WINAPI TzSpecificLocalTimeToSystemTime(const TIME_ZONE_INFORMATION* lpTimeZoneInformation,
                                                  const SYSTEMTIME* lpLocalTime, LPSYSTEMTIME lpUniversalTime);
// -1, 0 or +1.
QMAPI LONG WINAPI CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2);
// Milliseconds since the system started (wraps after 49.7 days, as on Windows).
QMAPI DWORD WINAPI GetTickCount(void);
QMAPI ULONGLONG WINAPI GetTickCount64(void);

// kernel32 string functions (NULL-safe as on Windows: a NULL string has length 0).
QMAPI int WINAPI lstrlenW(LPCWSTR lpString);
QMAPI int WINAPI lstrlenA(LPCSTR lpString);
QMAPI LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2);
QMAPI LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2);
QMAPI LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength);
QMAPI LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength);
QMAPI LPWSTR WINAPI lstrcatW(LPWSTR lpString1, LPCWSTR lpString2);
QMAPI LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2);
QMAPI int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2);
QMAPI int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
QMAPI int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);
QMAPI int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);

// Other kernel32 headers, when their components exist (as winbase.h pulls in the API sets).
#if __has_include("handleapi.h")
#include "handleapi.h"
#endif
#if __has_include("heapapi.h")
#include "heapapi.h"
#endif
#if __has_include("fileapi.h")
#include "fileapi.h"
#endif
#if __has_include("synchapi.h")
#include "synchapi.h"
#endif
#if __has_include("processthreadsapi.h")
#include "processthreadsapi.h"
#endif
#if __has_include("sysinfoapi.h")
#include "sysinfoapi.h"
#endif
#if __has_include("libloaderapi.h")
#include "libloaderapi.h"
#endif

// Global memory (heap blocks; GMEM_MOVEABLE gives a handle that GlobalLock turns into the
// block's address and that counts its locks).
#if __has_include("qm/global_memory.h")
#include "qm/global_memory.h"
#endif
