// kernel32's lstr functions: NULL-safe forms of the runtime's string functions.
#include <cstring>

#include "crtwide.h"
#include "winbase.h"

namespace
{
template <typename Char>
Char* CopyN(Char* dest, const Char* src, int max)
{
    if (!dest || !src || max <= 0)
        return dest;
    int i = 0;
    for (; i < max - 1 && src[i]; ++i)
        dest[i] = src[i];
    dest[i] = 0;
    return dest;
}

int Sign(int v)
{
    return (v > 0) - (v < 0);
}

int FoldA(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}
} // namespace

int lstrlenW(LPCWSTR lpString)
{
    return lpString ? static_cast<int>(wcslen(lpString)) : 0;
}

int lstrlenA(LPCSTR lpString)
{
    return lpString ? static_cast<int>(std::strlen(lpString)) : 0;
}

LPWSTR lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2)
{
    if (!lpString1 || !lpString2)
        return nullptr;
    return wcscpy(lpString1, lpString2);
}

LPSTR lstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2)
        return nullptr;
    return std::strcpy(lpString1, lpString2);
}

LPWSTR lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength)
{
    return CopyN(lpString1, lpString2, iMaxLength);
}

LPSTR lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength)
{
    return CopyN(lpString1, lpString2, iMaxLength);
}

LPWSTR lstrcatW(LPWSTR lpString1, LPCWSTR lpString2)
{
    if (!lpString1 || !lpString2)
        return nullptr;
    return wcscat(lpString1, lpString2);
}

LPSTR lstrcatA(LPSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2)
        return nullptr;
    return std::strcat(lpString1, lpString2);
}

int lstrcmpW(LPCWSTR a, LPCWSTR b)
{
    if (!a || !b)
        return !a ? (b ? -1 : 0) : 1;
    return Sign(wcscmp(a, b));
}

int lstrcmpA(LPCSTR a, LPCSTR b)
{
    if (!a || !b)
        return !a ? (b ? -1 : 0) : 1;
    return Sign(std::strcmp(a, b));
}

int lstrcmpiW(LPCWSTR a, LPCWSTR b)
{
    if (!a || !b)
        return !a ? (b ? -1 : 0) : 1;
    return Sign(_wcsicmp(a, b));
}

int lstrcmpiA(LPCSTR a, LPCSTR b)
{
    if (!a || !b)
        return !a ? (b ? -1 : 0) : 1;
    for (;; ++a, ++b)
    {
        int ca = FoldA(static_cast<unsigned char>(*a)), cb = FoldA(static_cast<unsigned char>(*b));
        if (ca != cb || !ca)
            return Sign(ca - cb);
    }
}
