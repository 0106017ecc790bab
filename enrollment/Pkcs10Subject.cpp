// The request's subject Name from the page's "name=value,..." text.
#include "Pkcs10Compose.h"

#include <memory>

#include "DerEncoding.h"
#include "TextEncoding.h"
#include "Trace.h"

#define SOURCE_UNIT u"PKCS10Request"

namespace
{
struct OID_NAME
{
    const char16_t* lpwszName;
    const char* lpszOid;
};

const OID_NAME g_rgSubjectNames[] = {
    {u"CN", "2.5.4.3"},
    {u"SERIALNUMBER", "2.5.4.5"},
    {u"C", "2.5.4.6"},
    {u"L", "2.5.4.7"},
    {u"S", "2.5.4.8"},
    {u"ST", "2.5.4.8"},
    {u"STREET", "2.5.4.9"},
    {u"O", "2.5.4.10"},
    {u"OU", "2.5.4.11"},
    {u"businessCategory", "2.5.4.15"},
    {u"PostalCode", "2.5.4.17"},
    {u"E", "1.2.840.113549.1.9.1"},
    {u"Email", "1.2.840.113549.1.9.1"},
    {u"jurisdictionOfIncorporationLocalityName", "1.3.6.1.4.1.311.60.2.1.1"},
    {u"jurisdictionOfIncorporationStateOrProvinceName", "1.3.6.1.4.1.311.60.2.1.2"},
    {u"jurisdictionOfIncorporationCountryName", "1.3.6.1.4.1.311.60.2.1.3"},
};

char16_t UpperAscii(char16_t wch)
{
    return (wch >= u'a' && wch <= u'z') ? (char16_t)(wch - u'a' + u'A') : wch;
}

bool EqualsIgnoreCase(const std::u16string& wstr, const char16_t* lpwsz)
{
    size_t i = 0;
    for (; i < wstr.size() && lpwsz[i]; ++i)
    {
        if (UpperAscii(wstr[i]) != UpperAscii(lpwsz[i]))
        {
            return false;
        }
    }
    return i == wstr.size() && lpwsz[i] == 0;
}

DWORD ValueTypeOf(const std::string& strOid)
{
    if (strOid == "2.5.4.6" || strOid == "2.5.4.5" || strOid == "1.3.6.1.4.1.311.60.2.1.3")
    {
        return CERT_RDN_PRINTABLE_STRING;
    }
    if (strOid == "1.2.840.113549.1.9.1")
    {
        return CERT_RDN_IA5_STRING;
    }
    return CERT_RDN_UTF8_STRING;
}
} // namespace

std::vector<std::u16string> SplidWstr(const std::u16string& wstr, char16_t wch)
{
    std::vector<std::u16string> vtrPieces;
    if (wstr.empty())
    {
        return vtrPieces;
    }
    size_t nStart = 0;
    for (;;)
    {
        const size_t nAt = wstr.find(wch, nStart);
        if (nAt == std::u16string::npos)
        {
            vtrPieces.push_back(wstr.substr(nStart));
            return vtrPieces;
        }
        vtrPieces.push_back(wstr.substr(nStart, nAt - nStart));
        nStart = nAt + 1;
    }
}

std::u16string ReplaceWchar(const std::u16string& wstr, char16_t wch)
{
    std::u16string wstrOut;
    for (char16_t c : wstr)
    {
        if (c != wch)
        {
            wstrOut.push_back(c);
        }
    }
    return wstrOut;
}

std::string GetObjectID(const std::u16string& wstrName)
{
    for (const OID_NAME& entry : g_rgSubjectNames)
    {
        if (EqualsIgnoreCase(wstrName, entry.lpwszName))
        {
            return entry.lpszOid;
        }
    }
    QM_TRACE_ERROR(u"GetObjectID", wstrName.c_str());
    return std::string();
}

HRESULT ParseSubject(LPCWSTR lpwszSubject, std::vector<SUBJECT_PAIR>& vtrPairs)
{
    TraceHelper trace(u"ParseSubject");
    if (!lpwszSubject)
    {
        return E_INVALIDARG;
    }
    for (const std::u16string& wstrPiece : SplidWstr(lpwszSubject, u','))
    {
        std::vector<std::u16string> vtrParts = SplidWstr(wstrPiece, u'=');
        if (vtrParts.size() != 2)
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, u"ParseSubject", u"SplidWstr", u"vtrParts.size() != 2",
                              NTE_BAD_DATA);
            return NTE_BAD_DATA;
        }
        SUBJECT_PAIR pair;
        pair.strOid = GetObjectID(ReplaceWchar(vtrParts[0], u' '));
        pair.wstrValue = vtrParts[1];
        vtrPairs.push_back(std::move(pair));
    }
    return S_OK;
}

HRESULT ComposeSubjectChild(const SUBJECT_PAIR& pair, BYTE** ppbOut, DWORD* pcbOut)
{
    TraceHelper trace(u"ComposeSubjectChild");
    const DWORD dwValueType = ValueTypeOf(pair.strOid);
    CByteBuffer bufTyped;
    HRESULT hResult = S_OK;
    if (dwValueType == CERT_RDN_UTF8_STRING)
    {
        hResult = ComposeAnyString((DWORD)(pair.wstrValue.size() * sizeof(char16_t)), dwValueType,
                                   reinterpret_cast<const BYTE*>(pair.wstrValue.c_str()),
                                   bufTyped.Put(), bufTyped.PutLength());
    }
    else
    {
        LPSTR lpszUTF8 = nullptr;
        DWORD cbUTF8 = 0;
        hResult = UTF16ToUTF8(pair.wstrValue.c_str(), &lpszUTF8, &cbUTF8);
        std::unique_ptr<CHAR[]> holdUTF8(lpszUTF8);
        if (SUCCEEDED(hResult))
        {
            hResult = ComposeAnyString(cbUTF8, dwValueType, reinterpret_cast<const BYTE*>(lpszUTF8),
                                       bufTyped.Put(), bufTyped.PutLength());
        }
    }
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSubjectChild", u"ComposeAnyString",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    CByteBuffer bufAttr;
    hResult = ComposeSpecialAttribute(pair.strOid.c_str(), bufTyped.Data(), bufTyped.Length(),
                                      bufAttr.Put(), bufAttr.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSubjectChild", u"ComposeSpecialAttribute",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    hResult = ASN1Encode(ASN_TAG_SET, bufAttr.Data(), bufAttr.Length(), ppbOut, pcbOut);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSubjectChild", u"ASN1Encode(SET)",
                          u"FAILED(hResult)", hResult);
    }
    return hResult;
}

HRESULT ComposeSubject(LPCWSTR lpwszSubject, BYTE** ppbOut, DWORD* pcbOut)
{
    TraceHelper trace(u"ComposeSubject");
    std::vector<SUBJECT_PAIR> vtrPairs;
    HRESULT hResult = ParseSubject(lpwszSubject, vtrPairs);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSubject", u"ParseSubject", u"FAILED(hResult)",
                          hResult);
        return hResult;
    }
    std::vector<std::unique_ptr<CByteBuffer>> vtrRdns;
    for (const SUBJECT_PAIR& pair : vtrPairs)
    {
        auto buf = std::make_unique<CByteBuffer>();
        hResult = ComposeSubjectChild(pair, buf->Put(), buf->PutLength());
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSubject", u"ComposeSubjectChild",
                              u"FAILED(hResult)", hResult);
            return hResult;
        }
        vtrRdns.push_back(std::move(buf));
    }
    // The last pair of the text is the first RDN.
    std::vector<BYTE_PART> vtrParts;
    for (auto it = vtrRdns.rbegin(); it != vtrRdns.rend(); ++it)
    {
        vtrParts.push_back({(*it)->Data(), (*it)->Length()});
    }
    hResult =
        EncodeParts(ASN_TAG_SEQUENCE, vtrParts.data(), (DWORD)vtrParts.size(), ppbOut, pcbOut);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSubject", u"ASN1Encode(SEQUENCE)",
                          u"FAILED(hResult)", hResult);
    }
    return hResult;
}
