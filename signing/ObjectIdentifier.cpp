#include "ObjectIdentifier.h"

#include <cstring>
#include <vector>

#include "DerEncoding.h"
#include "Trace.h"

namespace
{
void AppendBase128(unsigned long long ullArc, std::vector<BYTE>& vecOut)
{
    BYTE rgbGroups[10];
    int cGroups = 0;
    do
    {
        rgbGroups[cGroups++] = (BYTE)(ullArc & 0x7F);
        ullArc >>= 7;
    } while (ullArc);
    while (cGroups > 1)
    {
        vecOut.push_back((BYTE)(rgbGroups[--cGroups] | 0x80));
    }
    vecOut.push_back(rgbGroups[0]);
}

// Arcs of the dotted text; false for empty arcs, non-digits or arcs beyond 64 bits.
bool ParseArcs(LPCSTR pszOid, std::vector<unsigned long long>& vecArcs)
{
    const char* p = pszOid;
    while (true)
    {
        if (*p < '0' || *p > '9')
        {
            return false;
        }
        unsigned long long ullArc = 0;
        while (*p >= '0' && *p <= '9')
        {
            unsigned digit = (unsigned)(*p - '0');
            if (ullArc > (~0ULL - digit) / 10)
            {
                return false;
            }
            ullArc = ullArc * 10 + digit;
            ++p;
        }
        vecArcs.push_back(ullArc);
        if (*p == '\0')
        {
            return true;
        }
        if (*p != '.')
        {
            return false;
        }
        ++p;
    }
}
} // namespace

HRESULT EncodeObjectIdentifier(LPCSTR pszOid, BYTE** ppbEncoded, DWORD* pcbEncoded)
{
    TraceHelper trace(u"EncodeObjectIdentifier");
    if (!pszOid || !ppbEncoded || !pcbEncoded)
    {
        TraceResult(E_INVALIDARG, u"Check parameter");
        return E_INVALIDARG;
    }
    std::vector<unsigned long long> vecArcs;
    if (!ParseArcs(pszOid, vecArcs) || vecArcs.size() < 2 || vecArcs[0] > 2 ||
        (vecArcs[0] < 2 && vecArcs[1] > 39) || vecArcs[1] > ~0ULL - 80)
    {
        QM_TRACE_ERROR(u"EncodeObjectIdentifier", pszOid);
        TraceResult(E_INVALIDARG, u"Check OID text");
        return E_INVALIDARG;
    }

    std::vector<BYTE> vecContent;
    AppendBase128(vecArcs[0] * 40 + vecArcs[1], vecContent);
    for (size_t i = 2; i < vecArcs.size(); ++i)
    {
        AppendBase128(vecArcs[i], vecContent);
    }
    HRESULT hResult = ASN1Encode(ASN_TAG_OBJECT_IDENTIFIER, vecContent.data(), (DWORD)vecContent.size(),
                                 ppbEncoded, pcbEncoded);
    TraceResult(hResult, u"ASN1Encode(OID)");
    return hResult;
}
