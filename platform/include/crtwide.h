// The C runtime's wide-string functions for WCHAR (char16_t), as the MSVC runtime has them
// for its 16-bit wchar_t. They overload the C library's wchar_t functions by argument type.
#pragma once

// The standard library's <cwchar> and <cwctype> bring the C library's names into std:: with
// using-declarations, which take every overload declared so far. Including them before the
// WCHAR overloads below keeps std::wcstol and friends the wchar_t functions alone, whatever
// the order in which a file includes <windows.h> and the standard headers.
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <cwchar>
#include <cwctype>

#include "windef.h"

#ifndef _ERRNO_T_DEFINED
#define _ERRNO_T_DEFINED
typedef int errno_t;
#endif
#ifndef _TRUNCATE
#define _TRUNCATE ((size_t)-1)
#endif
#ifndef STRUNCATE
#define STRUNCATE 80
#endif

QMEXPORT size_t wcslen(const char16_t* s);
QMEXPORT size_t wcsnlen(const char16_t* s, size_t maxCount);
QMEXPORT char16_t* wcscpy(char16_t* dest, const char16_t* src);
QMEXPORT char16_t* wcsncpy(char16_t* dest, const char16_t* src, size_t count);
QMEXPORT char16_t* wcscat(char16_t* dest, const char16_t* src);
QMEXPORT char16_t* wcsncat(char16_t* dest, const char16_t* src, size_t count);
QMEXPORT int wcscmp(const char16_t* a, const char16_t* b);
QMEXPORT int wcsncmp(const char16_t* a, const char16_t* b, size_t count);
QMEXPORT const char16_t* wcschr(const char16_t* s, char16_t c);
QMEXPORT char16_t* wcschr(char16_t* s, char16_t c);
QMEXPORT const char16_t* wcsrchr(const char16_t* s, char16_t c);
QMEXPORT char16_t* wcsrchr(char16_t* s, char16_t c);
QMEXPORT const char16_t* wcsstr(const char16_t* s, const char16_t* find);
QMEXPORT char16_t* wcsstr(char16_t* s, const char16_t* find);
QMEXPORT size_t wcsspn(const char16_t* s, const char16_t* accept);
QMEXPORT size_t wcscspn(const char16_t* s, const char16_t* reject);
// Case-insensitive: both sides folded to lower case with towlower below.
QMEXPORT int _wcsicmp(const char16_t* a, const char16_t* b);
QMEXPORT int _wcsnicmp(const char16_t* a, const char16_t* b, size_t count);
// malloc'ed copy (free it with free()); NULL for a NULL input or when out of memory.
QMEXPORT char16_t* _wcsdup(const char16_t* s);
QMEXPORT char16_t* _wcslwr(char16_t* s);
QMEXPORT char16_t* _wcsupr(char16_t* s);
// Simple (one-to-one) Unicode case mapping of the BMP; other values come back unchanged.
QMEXPORT char16_t towlower(char16_t c);
QMEXPORT char16_t towupper(char16_t c);
QMEXPORT long wcstol(const char16_t* s, char16_t** end, int base);
QMEXPORT unsigned long wcstoul(const char16_t* s, char16_t** end, int base);
QMEXPORT int _wtoi(const char16_t* s);

// Secure copies: 0 on success; EINVAL for NULL arguments or a size of 0; ERANGE (dest[0]
// set to 0) when the text does not fit. wcsncpy_s/wcsncat_s with count _TRUNCATE copy what
// fits and return STRUNCATE.
QMEXPORT errno_t wcscpy_s(char16_t* dest, size_t destSize, const char16_t* src);
QMEXPORT errno_t wcscat_s(char16_t* dest, size_t destSize, const char16_t* src);
QMEXPORT errno_t wcsncpy_s(char16_t* dest, size_t destSize, const char16_t* src, size_t count);
QMEXPORT errno_t wcsncat_s(char16_t* dest, size_t destSize, const char16_t* src, size_t count);
template <size_t N>
inline errno_t wcscpy_s(char16_t (&dest)[N], const char16_t* src) { return wcscpy_s(dest, N, src); }
template <size_t N>
inline errno_t wcscat_s(char16_t (&dest)[N], const char16_t* src) { return wcscat_s(dest, N, src); }
template <size_t N>
inline errno_t wcsncpy_s(char16_t (&dest)[N], const char16_t* src, size_t count) { return wcsncpy_s(dest, N, src, count); }

// Formatting with the MSVC rules for wide printf: %s %ws %ls = WCHAR string, %S %hs = char
// string (bytes taken as Latin-1, like the MSVC "C" locale), %c %wc %lc = WCHAR, %C %hc = char;
// d i u x X o with flags - + 0 space #, width and precision (also *), sizes h l ll I64 I32 I z j t;
// %p (upper-case hex, pointer width), f F e E g G a A, %%. A NULL string prints "(null)".
// An unknown conversion makes the call fail (-1, buffer emptied).
//
// _vsnwprintf/_snwprintf: at most count characters; the terminator only when there is room;
// -1 when the output was cut.
QMEXPORT int _vsnwprintf(char16_t* buffer, size_t count, const char16_t* format, va_list args);
QMEXPORT int _snwprintf(char16_t* buffer, size_t count, const char16_t* format, ...);
// swprintf_s/vswprintf_s: the whole text must fit (else buffer[0] = 0 and -1).
QMEXPORT int vswprintf_s(char16_t* buffer, size_t sizeOfBuffer, const char16_t* format, va_list args);
QMEXPORT int swprintf_s(char16_t* buffer, size_t sizeOfBuffer, const char16_t* format, ...);
// _snwprintf_s: count = _TRUNCATE cuts to the buffer and returns -1; otherwise at most count
// characters, and not fitting in sizeOfBuffer empties the buffer and returns -1.
QMEXPORT int _vsnwprintf_s(char16_t* buffer, size_t sizeOfBuffer, size_t count, const char16_t* format,
                           va_list args);
QMEXPORT int _snwprintf_s(char16_t* buffer, size_t sizeOfBuffer, size_t count, const char16_t* format, ...);
// Number of characters the text needs, without the terminator.
QMEXPORT int _vscwprintf(const char16_t* format, va_list args);
QMEXPORT int _scwprintf(const char16_t* format, ...);
template <size_t N>
inline int swprintf_s(char16_t (&buffer)[N], const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vswprintf_s(buffer, N, format, args);
    va_end(args);
    return n;
}
template <size_t N>
inline int _snwprintf_s(char16_t (&buffer)[N], size_t count, const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf_s(buffer, N, count, format, args);
    va_end(args);
    return n;
}

// user32's formatter: at most 1024 characters including the terminator; no floating point;
// %s = WCHAR string, %S = char string in the ANSI code page. Returns the characters written.
QMAPI int WINAPIV wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
QMAPI int WINAPI wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args);
