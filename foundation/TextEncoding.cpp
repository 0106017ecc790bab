#include "TextEncoding.h"

#include <cstring>
#include <new>

#include "HResult.h"
#include "Trace.h"
#include "ZeroedArray.h"

HRESULT UTF16ToUTF8(LPCWSTR lpwszText, LPSTR* ppszUTF8, DWORD* pcbUTF8)
{
    TraceHelper trace(u"UTF16ToUTF8");
    if (!lpwszText || !ppszUTF8 || !pcbUTF8)
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }

    int cbRequired = WideCharToMultiByte(CP_UTF8, 0, lpwszText, -1, nullptr, 0, nullptr, nullptr);
    if (cbRequired <= 0)
    {
        HRESULT hResult = HResultOfFailedCall();
        TraceResult(hResult, u"WideCharToMultiByte - get length");
        return hResult;
    }

    LPSTR pszUTF8 = NewZeroedArray<CHAR>((unsigned long long)cbRequired);
    if (!pszUTF8)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }

    HRESULT hResult = S_OK;
    if (WideCharToMultiByte(CP_UTF8, 0, lpwszText, -1, pszUTF8, cbRequired, nullptr, nullptr) <= 0)
    {
        hResult = HResultOfFailedCall();
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

    int cchRequired = MultiByteToWideChar(CP_UTF8, 0, lpszUTF8, -1, nullptr, 0);
    if (cchRequired <= 0)
    {
        HRESULT hResult = HResultOfFailedCall();
        TraceResult(hResult, u"MultiByteToWideChar - get length");
        return hResult;
    }

    LPWSTR pwszText = NewZeroedArray<WCHAR>((unsigned long long)cchRequired);
    if (!pwszText)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }

    HRESULT hResult = S_OK;
    if (MultiByteToWideChar(CP_UTF8, 0, lpszUTF8, -1, pwszText, cchRequired) <= 0)
    {
        hResult = HResultOfFailedCall();
        TraceResult(hResult, u"MultiByteToWideChar - get value");
    }

    *ppwszText = pwszText;
    *pcchText = (DWORD)(cchRequired - 1);
    QM_TRACE_INFO((DWORD)strlen(lpszUTF8), *pcchText);
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
