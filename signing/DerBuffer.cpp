#include "DerBuffer.h"

#include <cstring>

#include "DerEncoding.h"
#include "Trace.h"
#include "ZeroedArray.h"

HRESULT ConcatenateDerParts(const DER_PART* rgParts, DWORD cParts, CDerBuffer& bufOut)
{
    unsigned long long ullTotal = 0;
    for (DWORD i = 0; i < cParts; ++i)
    {
        ullTotal += rgParts[i].cbData;
    }
    if (ullTotal > 0xFFFFFFFFULL)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }
    BYTE* pbJoined = NewZeroedArray<BYTE>(ullTotal);
    if (!pbJoined)
    {
        HRESULT hResult = ullTotal == 0 ? E_FAIL : E_OUTOFMEMORY;
        TraceResult(hResult, u"New Memory");
        return hResult;
    }
    DWORD cbOffset = 0;
    for (DWORD i = 0; i < cParts; ++i)
    {
        if (rgParts[i].cbData)
        {
            memcpy(pbJoined + cbOffset, rgParts[i].pbData, rgParts[i].cbData);
            cbOffset += rgParts[i].cbData;
        }
    }
    *bufOut.Put() = pbJoined;
    *bufOut.PutLength() = cbOffset;
    return S_OK;
}

HRESULT EncodeDerParts(DWORD dwTag, const DER_PART* rgParts, DWORD cParts, CDerBuffer& bufOut)
{
    if (cParts == 1)
    {
        return ASN1Encode(dwTag, rgParts[0].pbData, rgParts[0].cbData, bufOut.Put(), bufOut.PutLength());
    }
    CDerBuffer bufJoined;
    HRESULT hResult = ConcatenateDerParts(rgParts, cParts, bufJoined);
    if (FAILED(hResult))
    {
        return hResult;
    }
    return ASN1Encode(dwTag, bufJoined.Data(), bufJoined.Length(), bufOut.Put(), bufOut.PutLength());
}
