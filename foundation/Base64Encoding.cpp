#include "Base64Encoding.h"

#include "HResult.h"
#include "Trace.h"
#include "ZeroedArray.h"

namespace
{
const char s_szAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(CHAR ch)
{
    if (ch >= 'A' && ch <= 'Z')
    {
        return ch - 'A';
    }
    if (ch >= 'a' && ch <= 'z')
    {
        return ch - 'a' + 26;
    }
    if (ch >= '0' && ch <= '9')
    {
        return ch - '0' + 52;
    }
    if (ch == '+')
    {
        return 62;
    }
    if (ch == '/')
    {
        return 63;
    }
    return -1;
}
} // namespace

unsigned long long Base64EncodedSize(DWORD cbData, DWORD dwFlags)
{
    unsigned long long ullGroups = ((unsigned long long)cbData + 2) / 3;
    unsigned long long ullSize = ullGroups * 4;
    if (!(dwFlags & BASE64_FLAG_NO_CRLF))
    {
        ullSize += 2 * (ullSize / BASE64_LINE_CHARS) + 2;
    }
    return ullSize;
}

BOOL Base64Encode(const BYTE* pbData, DWORD cbData, DWORD dwFlags, LPSTR pszText, unsigned long long cchText,
                  DWORD* pcchWritten)
{
    if ((!pbData && cbData) || !pszText || !pcchWritten)
    {
        return FALSE;
    }

    unsigned long long cchOut = 0;
    unsigned long long cchLine = 0;
    auto fnPut = [&](CHAR ch) -> bool {
        if (cchOut >= cchText)
        {
            return false;
        }
        pszText[cchOut++] = ch;
        return true;
    };

    DWORD i = 0;
    for (; cbData - i >= 3; i += 3)
    {
        DWORD dwGroup = ((DWORD)pbData[i] << 16) | ((DWORD)pbData[i + 1] << 8) | pbData[i + 2];
        if (!fnPut(s_szAlphabet[(dwGroup >> 18) & 0x3F]) || !fnPut(s_szAlphabet[(dwGroup >> 12) & 0x3F]) ||
            !fnPut(s_szAlphabet[(dwGroup >> 6) & 0x3F]) || !fnPut(s_szAlphabet[dwGroup & 0x3F]))
        {
            return FALSE;
        }
        cchLine += 4;
        if (!(dwFlags & BASE64_FLAG_NO_CRLF) && cchLine == BASE64_LINE_CHARS)
        {
            if (!fnPut('\r') || !fnPut('\n'))
            {
                return FALSE;
            }
            cchLine = 0;
        }
    }

    DWORD cbRest = cbData - i;
    if (cbRest)
    {
        DWORD dwGroup = (DWORD)pbData[i] << 16;
        if (cbRest == 2)
        {
            dwGroup |= (DWORD)pbData[i + 1] << 8;
        }
        if (!fnPut(s_szAlphabet[(dwGroup >> 18) & 0x3F]) || !fnPut(s_szAlphabet[(dwGroup >> 12) & 0x3F]))
        {
            return FALSE;
        }
        if (cbRest == 2 && !fnPut(s_szAlphabet[(dwGroup >> 6) & 0x3F]))
        {
            return FALSE;
        }
        if (!(dwFlags & BASE64_FLAG_NO_PADDING))
        {
            if (!fnPut('=') || (cbRest == 1 && !fnPut('=')))
            {
                return FALSE;
            }
        }
    }

    *pcchWritten = (DWORD)cchOut;
    return TRUE;
}

HRESULT Base64EncodeWithFlags(DWORD dwFlags, LPSTR* ppszText, const BYTE* pbData, DWORD cbData, DWORD* pcchText)
{
    TraceHelper trace(u"Base64EncodeEx");
    if (!ppszText || !pcchText || (!pbData && cbData))
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }

    unsigned long long ullSize = Base64EncodedSize(cbData, dwFlags);
    LPSTR pszText = NewZeroedArray<CHAR>(ullSize + 1);
    if (!pszText)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }

    DWORD cchWritten = 0;
    if (!Base64Encode(pbData, cbData, dwFlags, pszText, ullSize, &cchWritten))
    {
        // Callers test the pointer.
        QM_TRACE_ERROR(u"Base64Encode", cbData);
        delete[] pszText;
        pszText = nullptr;
    }

    *ppszText = pszText;
    *pcchText = cchWritten;
    return S_OK;
}

HRESULT Base64DecodeEx(int nTextLength, BYTE** ppbData, LPCSTR pszText, DWORD* pcbData)
{
    TraceHelper trace(u"Base64DecodeEx");
    if (nTextLength <= 0)
    {
        TraceResult(E_FAIL, u"Check text length");
        return E_FAIL;
    }
    if (!ppbData || !pszText || !pcbData)
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }

    BYTE* pbData = NewZeroedArray<BYTE>((unsigned long long)nTextLength);
    if (!pbData)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }

    DWORD cbOut = 0;
    DWORD dwGroup = 0;
    int cInGroup = 0;
    for (int i = 0; i < nTextLength; ++i)
    {
        CHAR ch = pszText[i];
        if (ch == '\0' && cInGroup == 0)
        {
            break;
        }
        int nValue = Base64Value(ch);
        if (nValue < 0)
        {
            continue;
        }
        dwGroup = (dwGroup << 6) | (DWORD)nValue;
        if (++cInGroup == 4)
        {
            pbData[cbOut++] = (BYTE)(dwGroup >> 16);
            pbData[cbOut++] = (BYTE)(dwGroup >> 8);
            pbData[cbOut++] = (BYTE)dwGroup;
            dwGroup = 0;
            cInGroup = 0;
        }
    }
    if (cInGroup == 2)
    {
        pbData[cbOut++] = (BYTE)(dwGroup >> 4);
    }
    else if (cInGroup == 3)
    {
        pbData[cbOut++] = (BYTE)(dwGroup >> 10);
        pbData[cbOut++] = (BYTE)(dwGroup >> 2);
    }

    *ppbData = pbData;
    *pcbData = cbOut;
    return S_OK;
}
