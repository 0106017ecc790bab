#include "Base64Encoding.h"

#include <cstring>

#include <oleauto.h>

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

namespace
{
// Complete groups per line: 76 characters.
const DWORD s_cGroupsPerLine = BASE64_LINE_CHARS / 4;

// The characters of every 12-bit half of a group, two at a time.
struct PAIR_TABLE
{
    char rgch[4096][2];
    PAIR_TABLE()
    {
        for (int i = 0; i < 4096; ++i)
        {
            rgch[i][0] = s_szAlphabet[i >> 6];
            rgch[i][1] = s_szAlphabet[i & 0x3F];
        }
    }
};

const PAIR_TABLE s_pairs;

// cGroups complete 3-byte groups, four characters each, no line breaks.
inline void EncodeGroups(const BYTE* pb, size_t cGroups, LPSTR psz)
{
    for (size_t g = 0; g < cGroups; ++g, pb += 3, psz += 4)
    {
        DWORD dwGroup = ((DWORD)pb[0] << 16) | ((DWORD)pb[1] << 8) | pb[2];
        memcpy(psz, s_pairs.rgch[dwGroup >> 12], 2);
        memcpy(psz + 2, s_pairs.rgch[dwGroup & 0xFFF], 2);
    }
}

inline void EncodeGroups(const BYTE* pb, size_t cGroups, LPWSTR pwsz)
{
    for (size_t g = 0; g < cGroups; ++g, pb += 3, pwsz += 4)
    {
        DWORD dwGroup = ((DWORD)pb[0] << 16) | ((DWORD)pb[1] << 8) | pb[2];
        const char* pchHigh = s_pairs.rgch[dwGroup >> 12];
        const char* pchLow = s_pairs.rgch[dwGroup & 0xFFF];
        pwsz[0] = (BYTE)pchHigh[0];
        pwsz[1] = (BYTE)pchHigh[1];
        pwsz[2] = (BYTE)pchLow[0];
        pwsz[3] = (BYTE)pchLow[1];
    }
}

// Wide text of bytes handed over in parts: a group may span two parts.
class CBase64PartsWriter
{
public:
    CBase64PartsWriter(DWORD dwFlags, LPWSTR pwszOut) : m_dwFlags(dwFlags), m_pwsz(pwszOut) {}

    void Put(const BYTE* pb, size_t cb)
    {
        while (m_cCarry && cb)
        {
            m_rgbCarry[m_cCarry++] = *pb++;
            --cb;
            if (m_cCarry == 3)
            {
                PutGroups(m_rgbCarry, 1);
                m_cCarry = 0;
            }
        }
        size_t cGroups = cb / 3;
        PutGroups(pb, cGroups);
        for (size_t i = cGroups * 3; i < cb; ++i)
        {
            m_rgbCarry[m_cCarry++] = pb[i];
        }
    }

    // The final incomplete group; returns the characters written in all.
    size_t Finish()
    {
        if (m_cCarry)
        {
            DWORD dwGroup = (DWORD)m_rgbCarry[0] << 16;
            if (m_cCarry == 2)
            {
                dwGroup |= (DWORD)m_rgbCarry[1] << 8;
            }
            Out(s_szAlphabet[(dwGroup >> 18) & 0x3F]);
            Out(s_szAlphabet[(dwGroup >> 12) & 0x3F]);
            if (m_cCarry == 2)
            {
                Out(s_szAlphabet[(dwGroup >> 6) & 0x3F]);
            }
            if (!(m_dwFlags & BASE64_FLAG_NO_PADDING))
            {
                Out('=');
                if (m_cCarry == 1)
                {
                    Out('=');
                }
            }
        }
        return m_cchWritten;
    }

private:
    void Out(char ch) { m_pwsz[m_cchWritten++] = (BYTE)ch; }

    void PutGroups(const BYTE* pb, size_t cGroups)
    {
        while (cGroups)
        {
            size_t cLine = cGroups;
            if (!(m_dwFlags & BASE64_FLAG_NO_CRLF) && cLine > s_cGroupsPerLine - m_cGroupsInLine)
            {
                cLine = s_cGroupsPerLine - m_cGroupsInLine;
            }
            EncodeGroups(pb, cLine, m_pwsz + m_cchWritten);
            m_cchWritten += cLine * 4;
            pb += cLine * 3;
            cGroups -= cLine;
            if (!(m_dwFlags & BASE64_FLAG_NO_CRLF) && (m_cGroupsInLine += cLine) == s_cGroupsPerLine)
            {
                Out('\r');
                Out('\n');
                m_cGroupsInLine = 0;
            }
        }
    }

    DWORD m_dwFlags;
    LPWSTR m_pwsz;
    size_t m_cchWritten = 0;
    size_t m_cGroupsInLine = 0;
    BYTE m_rgbCarry[3] = {};
    int m_cCarry = 0;
};

// Characters the codec writes for cbData bytes.
unsigned long long Base64WrittenSize(DWORD cbData, DWORD dwFlags)
{
    unsigned long long ullGroups = cbData / 3;
    DWORD cbRest = cbData % 3;
    unsigned long long ullSize = ullGroups * 4;
    if (cbRest)
    {
        ullSize += (dwFlags & BASE64_FLAG_NO_PADDING) ? cbRest + 1 : 4;
    }
    if (!(dwFlags & BASE64_FLAG_NO_CRLF))
    {
        ullSize += 2 * (ullGroups / s_cGroupsPerLine);
    }
    return ullSize;
}

// The codec one character at a time, stopping when the buffer is full.
BOOL Base64EncodeChecked(const BYTE* pbData, DWORD cbData, DWORD dwFlags, LPSTR pszText,
                         unsigned long long cchText, DWORD* pcchWritten)
{

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
} // namespace

BOOL Base64Encode(const BYTE* pbData, DWORD cbData, DWORD dwFlags, LPSTR pszText, unsigned long long cchText,
                  DWORD* pcchWritten)
{
    if ((!pbData && cbData) || !pszText || !pcchWritten)
    {
        return FALSE;
    }
    unsigned long long cchNeeded = Base64WrittenSize(cbData, dwFlags);
    if (cchNeeded > cchText)
    {
        return Base64EncodeChecked(pbData, cbData, dwFlags, pszText, cchText, pcchWritten);
    }

    // The whole text fits: whole lines of groups, then the final incomplete group.
    size_t cGroups = cbData / 3;
    LPSTR psz = pszText;
    if (dwFlags & BASE64_FLAG_NO_CRLF)
    {
        EncodeGroups(pbData, cGroups, psz);
        psz += cGroups * 4;
    }
    else
    {
        for (size_t g = 0; g < cGroups; g += s_cGroupsPerLine)
        {
            size_t cLine = cGroups - g < s_cGroupsPerLine ? cGroups - g : s_cGroupsPerLine;
            EncodeGroups(pbData + g * 3, cLine, psz);
            psz += cLine * 4;
            if (cLine == s_cGroupsPerLine)
            {
                *psz++ = '\r';
                *psz++ = '\n';
            }
        }
    }
    const BYTE* pbRest = pbData + cGroups * 3;
    DWORD cbRest = cbData - (DWORD)(cGroups * 3);
    if (cbRest)
    {
        DWORD dwGroup = (DWORD)pbRest[0] << 16;
        if (cbRest == 2)
        {
            dwGroup |= (DWORD)pbRest[1] << 8;
        }
        *psz++ = s_szAlphabet[(dwGroup >> 18) & 0x3F];
        *psz++ = s_szAlphabet[(dwGroup >> 12) & 0x3F];
        if (cbRest == 2)
        {
            *psz++ = s_szAlphabet[(dwGroup >> 6) & 0x3F];
        }
        if (!(dwFlags & BASE64_FLAG_NO_PADDING))
        {
            *psz++ = '=';
            if (cbRest == 1)
            {
                *psz++ = '=';
            }
        }
    }
    *pcchWritten = (DWORD)(psz - pszText);
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
    // Cleared after encoding, from the end of the text: a large text is touched once.
    LPSTR pszText = NewUnclearedArray<CHAR>(ullSize + 1);
    if (!pszText)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }

    DWORD cchWritten = 0;
    if (Base64Encode(pbData, cbData, dwFlags, pszText, ullSize, &cchWritten))
    {
        memset(pszText + cchWritten, 0, (size_t)(ullSize + 1 - cchWritten));
    }
    else
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

HRESULT Base64EncodePartsToBstr(DWORD dwFlags, const BYTE_PART* rgParts, DWORD cParts, BSTR* pbstrText,
                                DWORD* pcchText)
{
    TraceHelper trace(u"Base64EncodeEx");
    if (!pbstrText || (!rgParts && cParts))
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }
    unsigned long long cbData = 0;
    for (DWORD i = 0; i < cParts; ++i)
    {
        if (!rgParts[i].pbData && rgParts[i].cbData)
        {
            TraceResult(E_POINTER, u"Check parameter");
            return E_POINTER;
        }
        cbData += rgParts[i].cbData;
    }
    unsigned long long cchText = cbData <= 0xFFFFFFFFULL ? Base64WrittenSize((DWORD)cbData, dwFlags) : ~0ULL;
    // The text is written once, straight into the string handed out.
    BSTR bstrText = cchText <= MAX_BLOCK_BYTES / sizeof(WCHAR) ? SysAllocStringLen(nullptr, (UINT)cchText) : nullptr;
    if (!bstrText)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }
    CBase64PartsWriter writer(dwFlags, bstrText);
    for (DWORD i = 0; i < cParts; ++i)
    {
        writer.Put(rgParts[i].pbData, rgParts[i].cbData);
    }
    if (writer.Finish() != cchText)
    {
        SysFreeString(bstrText);
        TraceResult(E_FAIL, u"Base64Encode");
        return E_FAIL;
    }
    *pbstrText = bstrText;
    if (pcchText)
    {
        *pcchText = (DWORD)cchText;
    }
    return S_OK;
}
