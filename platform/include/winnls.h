// National language support: code pages and the user-interface language.
#pragma once

#include "windef.h"

typedef char CCH;
typedef const CHAR* LPCCH;
typedef const WCHAR* LPCWCH;

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3
#define CP_UTF7 65000
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008

#define WC_COMPOSITECHECK 0x00000200
#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_NO_BEST_FIT_CHARS 0x00000400

// cbMultiByte / cchWideChar of -1: the input runs up to and including its terminator.
// An output size of 0 asks for the size needed. Failure returns 0 with the last error
// ERROR_INVALID_PARAMETER, ERROR_INVALID_FLAGS, ERROR_INSUFFICIENT_BUFFER or
// ERROR_NO_UNICODE_TRANSLATION.
QMAPI int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                                     LPWSTR lpWideCharStr, int cchWideChar);
// lpDefaultChar and lpUsedDefaultChar must be NULL for CP_UTF8 (ERROR_INVALID_PARAMETER).
QMAPI int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                                     LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                                     LPBOOL lpUsedDefaultChar);

// The machine's ANSI code page: HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage "ACP",
// 936 when the machine does not say.
QMAPI UINT WINAPI GetACP(void);
// HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage "OEMCP", 936 by default.
QMAPI UINT WINAPI GetOEMCP(void);
QMAPI BOOL WINAPI IsValidCodePage(UINT CodePage);

// The machine's user-interface language: HKLM\SYSTEM\CurrentControlSet\Control\Nls\Language
// "InstallLanguage" (hex text such as "0804"), 1033 when the machine does not say.
QMAPI LANGID WINAPI GetUserDefaultUILanguage(void);
QMAPI LANGID WINAPI GetSystemDefaultUILanguage(void);
QMAPI LANGID WINAPI GetUserDefaultLangID(void);
QMAPI LANGID WINAPI GetSystemDefaultLangID(void);
QMAPI LCID WINAPI GetUserDefaultLCID(void);
QMAPI LCID WINAPI GetThreadLocale(void);
// The calling thread's UI language: the value set with SetThreadUILanguage, else the user's.
QMAPI LANGID WINAPI GetThreadUILanguage(void);
// Sets the calling thread's UI language (0 clears the override); returns the language now in
// effect, or 0 with ERROR_INVALID_PARAMETER for a language the system does not know.
QMAPI LANGID WINAPI SetThreadUILanguage(LANGID LangId);
