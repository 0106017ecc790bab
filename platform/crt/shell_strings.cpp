// shlwapi's string search and comparison.
#include "shlwapi.h"

#include "crtwide.h"

PWSTR StrStrW(PCWSTR pszFirst, PCWSTR pszSrch)
{
    if (!pszFirst || !pszSrch)
        return nullptr;
    return const_cast<PWSTR>(wcsstr(pszFirst, pszSrch));
}

PWSTR StrStrIW(PCWSTR pszFirst, PCWSTR pszSrch)
{
    if (!pszFirst || !pszSrch || !*pszSrch)
        return nullptr;
    const size_t n = wcslen(pszSrch);
    for (PCWSTR p = pszFirst; *p; ++p)
        if (_wcsnicmp(p, pszSrch, n) == 0)
            return const_cast<PWSTR>(p);
    return nullptr;
}

PWSTR StrChrW(PCWSTR pszStart, WCHAR wMatch)
{
    if (!pszStart)
        return nullptr;
    for (PCWSTR p = pszStart; *p; ++p)
        if (*p == wMatch)
            return const_cast<PWSTR>(p);
    return nullptr; // the terminator is never found
}

PWSTR StrChrIW(PCWSTR pszStart, WCHAR wMatch)
{
    if (!pszStart)
        return nullptr;
    const WCHAR folded = towlower(wMatch);
    for (PCWSTR p = pszStart; *p; ++p)
        if (towlower(*p) == folded)
            return const_cast<PWSTR>(p);
    return nullptr;
}

PWSTR StrRChrW(PCWSTR pszStart, PCWSTR pszEnd, WCHAR wMatch)
{
    if (!pszStart)
        return nullptr;
    PCWSTR found = nullptr;
    for (PCWSTR p = pszStart; *p && (!pszEnd || p < pszEnd); ++p)
        if (*p == wMatch)
            found = p;
    return const_cast<PWSTR>(found);
}

namespace
{
// A NULL string sorts before every other string, as in shlwapi.
int CompareNull(PCWSTR a, PCWSTR b, bool* done)
{
    *done = !a || !b;
    if (!a && !b)
        return 0;
    return !a ? -1 : (!b ? 1 : 0);
}

int Sign(int v)
{
    return (v > 0) - (v < 0);
}
} // namespace

int StrCmpW(PCWSTR psz1, PCWSTR psz2)
{
    bool done;
    int r = CompareNull(psz1, psz2, &done);
    return done ? r : Sign(wcscmp(psz1, psz2));
}

int StrCmpIW(PCWSTR psz1, PCWSTR psz2)
{
    bool done;
    int r = CompareNull(psz1, psz2, &done);
    return done ? r : Sign(_wcsicmp(psz1, psz2));
}

int StrCmpNW(PCWSTR psz1, PCWSTR psz2, int nChar)
{
    if (nChar <= 0)
        return 0;
    bool done;
    int r = CompareNull(psz1, psz2, &done);
    return done ? r : Sign(wcsncmp(psz1, psz2, static_cast<size_t>(nChar)));
}

int StrCmpNIW(PCWSTR psz1, PCWSTR psz2, int nChar)
{
    if (nChar <= 0)
        return 0;
    bool done;
    int r = CompareNull(psz1, psz2, &done);
    return done ? r : Sign(_wcsnicmp(psz1, psz2, static_cast<size_t>(nChar)));
}
