// Bounded string functions: always terminated, cut texts reported as
// STRSAFE_E_INSUFFICIENT_BUFFER.
#include "strsafe.h"

#include <cstdio>
#include <cstring>

#include "crtwide.h"

namespace
{
template <typename Char>
size_t Length(const Char* s, size_t max)
{
    size_t n = 0;
    while (n < max && s[n])
        ++n;
    return n;
}

bool BadSize(size_t cch)
{
    return cch == 0 || cch > STRSAFE_MAX_CCH;
}

template <typename Char>
HRESULT CopyN(Char* dest, size_t cchDest, const Char* src, size_t cchToCopy)
{
    if (BadSize(cchDest))
        return STRSAFE_E_INVALID_PARAMETER;
    if (!src)
    {
        dest[0] = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    size_t n = Length(src, cchToCopy);
    HRESULT hr = S_OK;
    if (n > cchDest - 1)
    {
        n = cchDest - 1;
        hr = STRSAFE_E_INSUFFICIENT_BUFFER;
    }
    std::memmove(dest, src, n * sizeof(Char));
    dest[n] = 0;
    return hr;
}

template <typename Char>
HRESULT CatN(Char* dest, size_t cchDest, const Char* src, size_t cchToAppend)
{
    if (BadSize(cchDest))
        return STRSAFE_E_INVALID_PARAMETER;
    size_t used = Length(dest, cchDest);
    if (used == cchDest)
        return STRSAFE_E_INVALID_PARAMETER; // dest not terminated within its size
    return CopyN(dest + used, cchDest - used, src, cchToAppend);
}

template <typename Char>
HRESULT LengthOf(const Char* psz, size_t cchMax, size_t* pcchLength)
{
    HRESULT hr = S_OK;
    size_t n = 0;
    if (!psz || cchMax > STRSAFE_MAX_CCH)
        hr = STRSAFE_E_INVALID_PARAMETER;
    else
    {
        n = Length(psz, cchMax);
        if (n == cchMax)
        {
            hr = STRSAFE_E_INVALID_PARAMETER;
            n = 0;
        }
    }
    if (pcchLength)
        *pcchLength = n;
    return hr;
}

// Completes a formatting call that wrote into cchDest - 1 characters and returned ret.
template <typename Char>
HRESULT FinishPrintf(Char* dest, size_t cchDest, long long ret)
{
    const size_t cchMax = cchDest - 1;
    if (ret < 0 || static_cast<size_t>(ret) > cchMax)
    {
        dest[cchMax] = 0;
        return STRSAFE_E_INSUFFICIENT_BUFFER;
    }
    dest[ret] = 0;
    return S_OK;
}
} // namespace

HRESULT StringCchVPrintfW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszFormat, va_list argList)
{
    if (BadSize(cchDest))
        return STRSAFE_E_INVALID_PARAMETER;
    if (!pszFormat)
    {
        pszDest[0] = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    int ret = _vsnwprintf(pszDest, cchDest - 1, pszFormat, argList);
    return FinishPrintf(pszDest, cchDest, ret);
}

HRESULT StringCchPrintfW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    HRESULT hr = StringCchVPrintfW(pszDest, cchDest, pszFormat, args);
    va_end(args);
    return hr;
}

HRESULT StringCbPrintfW(STRSAFE_LPWSTR pszDest, size_t cbDest, STRSAFE_LPCWSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    HRESULT hr = StringCchVPrintfW(pszDest, cbDest / sizeof(WCHAR), pszFormat, args);
    va_end(args);
    return hr;
}

HRESULT StringCchCopyW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszSrc)
{
    return CopyN(pszDest, cchDest, pszSrc, STRSAFE_MAX_CCH);
}

HRESULT StringCchCopyNW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszSrc, size_t cchToCopy)
{
    if (cchToCopy > STRSAFE_MAX_CCH)
    {
        if (!BadSize(cchDest))
            pszDest[0] = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    return CopyN(pszDest, cchDest, pszSrc, cchToCopy);
}

HRESULT StringCbCopyW(STRSAFE_LPWSTR pszDest, size_t cbDest, STRSAFE_LPCWSTR pszSrc)
{
    return StringCchCopyW(pszDest, cbDest / sizeof(WCHAR), pszSrc);
}

HRESULT StringCchCatW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszSrc)
{
    return CatN(pszDest, cchDest, pszSrc, STRSAFE_MAX_CCH);
}

HRESULT StringCchCatNW(STRSAFE_LPWSTR pszDest, size_t cchDest, STRSAFE_LPCWSTR pszSrc, size_t cchToAppend)
{
    if (cchToAppend > STRSAFE_MAX_CCH)
        return STRSAFE_E_INVALID_PARAMETER;
    return CatN(pszDest, cchDest, pszSrc, cchToAppend);
}

HRESULT StringCbCatW(STRSAFE_LPWSTR pszDest, size_t cbDest, STRSAFE_LPCWSTR pszSrc)
{
    return StringCchCatW(pszDest, cbDest / sizeof(WCHAR), pszSrc);
}

HRESULT StringCchLengthW(STRSAFE_LPCWSTR psz, size_t cchMax, size_t* pcchLength)
{
    return LengthOf(psz, cchMax, pcchLength);
}

HRESULT StringCchVPrintfA(STRSAFE_LPSTR pszDest, size_t cchDest, STRSAFE_LPCSTR pszFormat, va_list argList)
{
    if (BadSize(cchDest))
        return STRSAFE_E_INVALID_PARAMETER;
    if (!pszFormat)
    {
        pszDest[0] = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    int ret = std::vsnprintf(pszDest, cchDest, pszFormat, argList);
    return FinishPrintf(pszDest, cchDest, ret);
}

HRESULT StringCchPrintfA(STRSAFE_LPSTR pszDest, size_t cchDest, STRSAFE_LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    HRESULT hr = StringCchVPrintfA(pszDest, cchDest, pszFormat, args);
    va_end(args);
    return hr;
}

HRESULT StringCchCopyA(STRSAFE_LPSTR pszDest, size_t cchDest, STRSAFE_LPCSTR pszSrc)
{
    return CopyN(pszDest, cchDest, pszSrc, STRSAFE_MAX_CCH);
}

HRESULT StringCchCatA(STRSAFE_LPSTR pszDest, size_t cchDest, STRSAFE_LPCSTR pszSrc)
{
    return CatN(pszDest, cchDest, pszSrc, STRSAFE_MAX_CCH);
}

HRESULT StringCchLengthA(STRSAFE_LPCSTR psz, size_t cchMax, size_t* pcchLength)
{
    return LengthOf(psz, cchMax, pcchLength);
}
