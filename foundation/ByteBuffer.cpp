#include "ByteBuffer.h"

#include <cstring>

#include "DerEncoding.h"
#include "Trace.h"
#include "ZeroedArray.h"

HRESULT ConcatenateParts(const BYTE_PART* rgParts, DWORD cParts, BYTE** ppbOut, DWORD* pcbOut)
{
    if (!ppbOut || !pcbOut || (!rgParts && cParts))
    {
        TraceResult(E_POINTER, u"ConcatenateParts - Check parameter");
        return E_POINTER;
    }
    ULONGLONG ullTotal = 0;
    for (DWORD i = 0; i < cParts; ++i)
    {
        ullTotal += rgParts[i].cbData;
    }
    if (ullTotal > 0xFFFFFFFFULL)
    {
        TraceResult(E_OUTOFMEMORY, u"ConcatenateParts - Check length");
        return E_OUTOFMEMORY;
    }
    // One byte at least, so an empty join is not taken for a failed allocation.
    BYTE* pbOut = NewZeroedArray<BYTE>(ullTotal ? ullTotal : 1);
    if (!pbOut)
    {
        TraceResult(E_OUTOFMEMORY, u"ConcatenateParts - New Memory");
        return E_OUTOFMEMORY;
    }
    DWORD cbAt = 0;
    for (DWORD i = 0; i < cParts; ++i)
    {
        if (rgParts[i].cbData)
        {
            memcpy(pbOut + cbAt, rgParts[i].pbData, rgParts[i].cbData);
            cbAt += rgParts[i].cbData;
        }
    }
    *ppbOut = pbOut;
    *pcbOut = cbAt;
    return S_OK;
}

HRESULT EncodeParts(DWORD dwTag, const BYTE_PART* rgParts, DWORD cParts, BYTE** ppbOut,
                    DWORD* pcbOut)
{
    if (cParts == 1 && rgParts)
    {
        // Nothing to join: the one part is encoded where it lies.
        return ASN1Encode(dwTag, rgParts[0].pbData, rgParts[0].cbData, ppbOut, pcbOut);
    }
    CByteBuffer bufJoined;
    HRESULT hResult = ConcatenateParts(rgParts, cParts, bufJoined.Put(), bufJoined.PutLength());
    if (FAILED(hResult))
    {
        return hResult;
    }
    return ASN1Encode(dwTag, bufJoined.Length() ? bufJoined.Data() : nullptr, bufJoined.Length(),
                      ppbOut, pcbOut);
}
