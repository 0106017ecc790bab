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

// Each UTF-16 unit becomes at most three UTF-8 bytes: a buffer of that size is converted into
// in one pass. Its pages beyond the text are never touched, so a large text costs no more
// memory than its exact size.
HRESULT ConvertUTF16ToUTF8(LPCWSTR lpwszText, size_t cchText, LPSTR* ppszUTF8, DWORD* pcbUTF8)
{
    if (!lpwszText || !ppszUTF8 || !pcbUTF8)
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }
    if (cchText >= 0x7FFFFFFF)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }
    unsigned long long cbBound = 3ULL * cchText + 1;
    if (cbBound > 0x7FFFFFFFULL)
    {
        // Beyond what one conversion call takes: measured first.
        int cbRequired = WideCharToMultiByte(CP_UTF8, 0, lpwszText, (int)cchText, nullptr, 0, nullptr, nullptr);
        if (cbRequired <= 0)
        {
            HRESULT hResult = HResultOfFailedCall();
            TraceResult(hResult, u"WideCharToMultiByte - get length");
            return hResult;
        }
        cbBound = (unsigned long long)cbRequired + 1;
    }

    LPSTR pszUTF8 = NewUnclearedArray<CHAR>(cbBound);
    if (!pszUTF8)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }

    HRESULT hResult = S_OK;
    int cbWritten = 0;
    if (cchText)
    {
        cbWritten = WideCharToMultiByte(CP_UTF8, 0, lpwszText, (int)cchText, pszUTF8, (int)(cbBound - 1), nullptr,
                                        nullptr);
        if (cbWritten <= 0)
        {
            // A failed conversion hands out an empty text.
            hResult = HResultOfFailedCall();
            cbWritten = 0;
            TraceResult(hResult, u"WideCharToMultiByte - get value");
        }
    }
    pszUTF8[cbWritten] = 0;

    // The buffer goes to the caller on failure too; the caller frees it.
    *ppszUTF8 = pszUTF8;
    *pcbUTF8 = (DWORD)cbWritten;
    return hResult;
}
} // namespace

HRESULT UTF16ToUTF8(LPCWSTR lpwszText, LPSTR* ppszUTF8, DWORD* pcbUTF8)
{
    TraceHelper trace(u"UTF16ToUTF8");
    return ConvertUTF16ToUTF8(lpwszText, lpwszText ? WideLength(lpwszText) : 0, ppszUTF8, pcbUTF8);
}

HRESULT UTF16ToUTF8N(LPCWSTR lpwszText, size_t cchText, LPSTR* ppszUTF8, DWORD* pcbUTF8)
{
    TraceHelper trace(u"UTF16ToUTF8");
    return ConvertUTF16ToUTF8(lpwszText, cchText, ppszUTF8, pcbUTF8);
}

// Each UTF-8 byte becomes at most one UTF-16 unit: the buffer of that size is converted into in
// one pass.
namespace
{
HRESULT ConvertUTF8ToUTF16(LPCSTR pchUTF8, size_t cbUTF8, LPWSTR* ppwszText, DWORD* pcchText)
{
    if ((!pchUTF8 && cbUTF8) || !ppwszText || !pcchText)
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }
    // The text ends at its first zero byte, as a zero-terminated copy of it would.
    const void* pvZero = cbUTF8 ? memchr(pchUTF8, 0, cbUTF8) : nullptr;
    size_t cbText = pvZero ? (size_t)(static_cast<const char*>(pvZero) - pchUTF8) : cbUTF8;
    if (cbText >= 0x7FFFFFFF)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }

    LPWSTR pwszText = NewUnclearedArray<WCHAR>((unsigned long long)cbText + 1);
    if (!pwszText)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }

    HRESULT hResult = S_OK;
    int cchWritten = 0;
    if (cbText)
    {
        cchWritten = MultiByteToWideChar(CP_UTF8, 0, pchUTF8, (int)cbText, pwszText, (int)cbText);
        if (cchWritten <= 0)
        {
            hResult = HResultOfFailedCall();
            cchWritten = 0;
            TraceResult(hResult, u"MultiByteToWideChar - get value");
        }
    }
    pwszText[cchWritten] = 0;

    *ppwszText = pwszText;
    *pcchText = (DWORD)cchWritten;
    QM_TRACE_INFO((DWORD)cbText, *pcchText);
    return hResult;
}
} // namespace

HRESULT UTF8ToUTF16N(LPCSTR pchUTF8, size_t cbUTF8, LPWSTR* ppwszText, DWORD* pcchText)
{
    TraceHelper trace(u"UTF8ToUTF16");
    return ConvertUTF8ToUTF16(pchUTF8, cbUTF8, ppwszText, pcchText);
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
    return ConvertUTF8ToUTF16(lpszUTF8, strlen(lpszUTF8), ppwszText, pcchText);
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
