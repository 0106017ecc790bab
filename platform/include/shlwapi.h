// Shell light-weight string helpers (case-insensitive forms fold with towlower of crtwide.h).
#pragma once

#include "windef.h"

// Returns a pointer into pszFirst, or NULL (also for NULL arguments).
QMAPI PWSTR WINAPI StrStrW(PCWSTR pszFirst, PCWSTR pszSrch);
QMAPI PWSTR WINAPI StrStrIW(PCWSTR pszFirst, PCWSTR pszSrch);
QMAPI PWSTR WINAPI StrChrW(PCWSTR pszStart, WCHAR wMatch);
QMAPI PWSTR WINAPI StrChrIW(PCWSTR pszStart, WCHAR wMatch);
QMAPI PWSTR WINAPI StrRChrW(PCWSTR pszStart, PCWSTR pszEnd, WCHAR wMatch);
// <0, 0, >0.
QMAPI int WINAPI StrCmpW(PCWSTR psz1, PCWSTR psz2);
QMAPI int WINAPI StrCmpIW(PCWSTR psz1, PCWSTR psz2);
QMAPI int WINAPI StrCmpNW(PCWSTR psz1, PCWSTR psz2, int nChar);
QMAPI int WINAPI StrCmpNIW(PCWSTR psz1, PCWSTR psz2, int nChar);

#if __has_include("shlwapi_path.h")
#include "shlwapi_path.h"
#endif

#if __has_include("winreg.h")
#include "winreg.h"
// Deletes a key with all its subkeys and values (a registry error code).
QMAPI LONG WINAPI SHDeleteKeyW(HKEY hkey, LPCWSTR pszSubKey);
#define SHDeleteKey SHDeleteKeyW
#endif
