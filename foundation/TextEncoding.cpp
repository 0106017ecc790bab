#include "TextEncoding.h"

#include <cstdint>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "HResult.h"
#include "Trace.h"
#include "ZeroedArray.h"

namespace
{
// Length of a zero-terminated wide text, eight characters at a time once aligned. An aligned
// block never crosses a page, so reading the rest of the terminator's block is safe, as in
// the C library's own string functions (hence no address-sanitizer check here).
__attribute__((no_sanitize_address)) size_t WideLength(LPCWSTR lpwsz)
{
    const WCHAR* p = lpwsz;
    while (((uintptr_t)p & 15) != 0)
    {
        if (*p == 0)
        {
            return (size_t)(p - lpwsz);
        }
        ++p;
    }
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(p)), zero)) == 0)
    {
        p += 8;
    }
#endif
    while (*p != 0)
    {
        ++p;
    }
    return (size_t)(p - lpwsz);
}
} // namespace

HRESULT UTF16ToUTF8(LPCWSTR lpwszText, LPSTR* ppszUTF8, DWORD* pcbUTF8)
{
    TraceHelper trace(u"UTF16ToUTF8");
    if (!lpwszText || !ppszUTF8 || !pcbUTF8)
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }

    // The whole text with its terminator; its length is found once for both calls.
    size_t cchText = WideLength(lpwszText);
    const int cchWhole = cchText < 0x7FFFFFFF ? (int)cchText + 1 : -1;
    int cbRequired = WideCharToMultiByte(CP_UTF8, 0, lpwszText, cchWhole, nullptr, 0, nullptr, nullptr);
    if (cbRequired <= 0)
    {
        HRESULT hResult = HResultOfFailedCall();
        TraceResult(hResult, u"WideCharToMultiByte - get length");
        return hResult;
    }

    // The conversion writes every byte, terminator included; clearing a large text first would
    // only touch its pages twice. A failed conversion hands out a cleared buffer.
    LPSTR pszUTF8 = NewUnclearedArray<CHAR>((unsigned long long)cbRequired);
    if (!pszUTF8)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }

    HRESULT hResult = S_OK;
    if (WideCharToMultiByte(CP_UTF8, 0, lpwszText, cchWhole, pszUTF8, cbRequired, nullptr, nullptr) <= 0)
    {
        hResult = HResultOfFailedCall();
        memset(pszUTF8, 0, (size_t)cbRequired);
        TraceResult(hResult, u"WideCharToMultiByte - get value");
    }

    // The buffer goes to the caller on failure too; the caller frees it.
    *ppszUTF8 = pszUTF8;
    *pcbUTF8 = (DWORD)(cbRequired - 1);
    return hResult;
}

HRESULT UTF8ToUTF16(LPCSTR lpszUTF8, LPWSTR* ppwszText, DWORD* pcchText)
{
    TraceHelper trace(u"UTF8ToUTF16");
    if (!lpszUTF8 || !ppwszText || !pcchText)
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }
    QM_TRACE_INFO(lpszUTF8);

    size_t cbText = strlen(lpszUTF8);
    const int cbWhole = cbText < 0x7FFFFFFF ? (int)cbText + 1 : -1;
    int cchRequired = MultiByteToWideChar(CP_UTF8, 0, lpszUTF8, cbWhole, nullptr, 0);
    if (cchRequired <= 0)
    {
        HRESULT hResult = HResultOfFailedCall();
        TraceResult(hResult, u"MultiByteToWideChar - get length");
        return hResult;
    }

    LPWSTR pwszText = NewUnclearedArray<WCHAR>((unsigned long long)cchRequired);
    if (!pwszText)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }

    HRESULT hResult = S_OK;
    if (MultiByteToWideChar(CP_UTF8, 0, lpszUTF8, cbWhole, pwszText, cchRequired) <= 0)
    {
        hResult = HResultOfFailedCall();
        memset(pwszText, 0, (size_t)cchRequired * sizeof(WCHAR));
        TraceResult(hResult, u"MultiByteToWideChar - get value");
    }

    *ppwszText = pwszText;
    *pcchText = (DWORD)(cchRequired - 1);
    QM_TRACE_INFO((DWORD)cbText, *pcchText);
    return hResult;
}

void SplitStrings(LPCWSTR lpwszText, std::list<std::u16string>& lstStrings)
{
    TraceHelper trace(u"SplitStrings");
    if (!lpwszText)
    {
        return;
    }

    std::u16string_view wstrRest(lpwszText);
    while (!wstrRest.empty())
    {
        size_t nSeparator = wstrRest.find(u"||");
        std::u16string_view wstrPiece = wstrRest.substr(0, nSeparator);
        if (wstrPiece.empty())
        {
            break;
        }
        std::u16string wstrItem(wstrPiece);
        QM_TRACE_INFO(wstrItem.c_str());
        lstStrings.push_back(std::move(wstrItem));
        if (nSeparator == std::u16string_view::npos)
        {
            break;
        }
        wstrRest.remove_prefix(nSeparator + 2);
    }
}
