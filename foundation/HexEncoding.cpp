#include "HexEncoding.h"

#include <cstring>
#include <new>
#include <string>

#include "HResult.h"
#include "Trace.h"
#include "ZeroedArray.h"

namespace
{
int HexDigitValue(WCHAR ch)
{
    if (ch >= u'0' && ch <= u'9')
    {
        return ch - u'0';
    }
    if (ch >= u'a' && ch <= u'f')
    {
        return ch - u'a' + 10;
    }
    if (ch >= u'A' && ch <= u'F')
    {
        return ch - u'A' + 10;
    }
    return -1;
}
} // namespace

HRESULT ConvertStringToBinaryData(DWORD* pcbData, LPCWSTR lpwszHex, BYTE** ppbData)
{
    TraceHelper trace(u"ConvertStringToBinaryData");
    if (!lpwszHex || !pcbData || !ppbData)
    {
        TraceResult(E_INVALIDARG, u"Check parameter");
        return E_INVALIDARG;
    }

    size_t cchHex = std::char_traits<char16_t>::length(lpwszHex);
    for (size_t i = 0; i < cchHex; ++i)
    {
        if (HexDigitValue(lpwszHex[i]) < 0)
        {
            TraceResult(E_INVALIDARG, u"Check hex text");
            return E_INVALIDARG;
        }
    }

    DWORD cbData = (DWORD)(cchHex / 2);
    BYTE* pbData = NewZeroedArray<BYTE>((unsigned long long)cbData + 4);
    if (!pbData)
    {
        TraceResult(E_OUTOFMEMORY, u"Dispatch memory failed.");
        return E_OUTOFMEMORY;
    }

    for (DWORD i = 0; i < cbData; ++i)
    {
        // Pair i of the text is byte cbData - 1 - i.
        int nHigh = HexDigitValue(lpwszHex[2 * i]);
        int nLow = HexDigitValue(lpwszHex[2 * i + 1]);
        pbData[cbData - 1 - i] = (BYTE)((nHigh << 4) | nLow);
    }

    *ppbData = pbData;
    *pcbData = cbData;
    QM_TRACE_INFO(cbData);
    return S_OK;
}

void SwapByteOrder(BYTE* pbData, DWORD cbData)
{
    TraceHelper trace(u"SwapByteOrder");
    if (!pbData)
    {
        return;
    }
    for (DWORD i = 0, j = cbData; i + 1 < j; ++i, --j)
    {
        BYTE b = pbData[i];
        pbData[i] = pbData[j - 1];
        pbData[j - 1] = b;
    }
}

HRESULT ConvertBinaryDataToStringOrdered(LPWSTR* ppwszHex, DWORD cbData, const BYTE* pbData, bool bFromLast)
{
    static const WCHAR s_wszDigits[] = u"0123456789abcdef";
    TraceHelper trace(u"ConvertBinaryDataToString");
    if (!ppwszHex || (!pbData && cbData))
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }

    LPWSTR pwszHex = NewZeroedArray<WCHAR>(2ULL * cbData + 1);
    if (!pwszHex)
    {
        TraceResult(E_OUTOFMEMORY, u"Dispatch memory failed.");
        return E_OUTOFMEMORY;
    }

    for (DWORD i = 0; i < cbData; ++i)
    {
        BYTE b = bFromLast ? pbData[cbData - 1 - i] : pbData[i];
        pwszHex[2 * i] = s_wszDigits[b >> 4];
        pwszHex[2 * i + 1] = s_wszDigits[b & 0x0F];
    }

    *ppwszHex = pwszHex;
    return S_OK;
}
