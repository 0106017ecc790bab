// The token's SM2 PUBLICKEYBLOB (coordinates least significant byte first in 64-byte
// fields) in the forms the request carries.
#include "Pkcs10Writer.h"

#include <algorithm>
#include <cstring>

#include "DerEncoding.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"PKCS10Request"

namespace
{
constexpr DWORD kFieldSize = 64;
constexpr DWORD kXField = 12; // after BLOBHEADER and the bit length word
constexpr DWORD kYField = kXField + kFieldSize;

HRESULT CheckBlob(LPCWSTR lpwszOperation, const BYTE* pbBlob, DWORD cbBlob)
{
    // A shorter blob would have the coordinates read from beyond its end.
    if (!pbBlob || cbBlob < SM2_PUBLICKEYBLOB_MIN_SIZE)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"Check PUBLICKEYBLOB size", u"cbBlob < 140",
                          NTE_BAD_DATA);
        return NTE_BAD_DATA;
    }
    return S_OK;
}

void CopyReversed(const BYTE* pbFrom, DWORD cb, BYTE* pbTo)
{
    std::reverse_copy(pbFrom, pbFrom + cb, pbTo);
}
} // namespace

HRESULT ReshapeSM2SignPublicKey(const BYTE* pbBlob, DWORD cbBlob, BYTE** ppbOut, DWORD* pcbOut)
{
    HRESULT hResult = CheckBlob(u"ReshapeSM2SignPublicKey", pbBlob, cbBlob);
    if (FAILED(hResult))
    {
        return hResult;
    }
    const DWORD cbOut = 1 + 2 * SM2_COORDINATE_SIZE;
    BYTE* pbOut = NewZeroedArray<BYTE>(cbOut);
    if (!pbOut)
    {
        return E_OUTOFMEMORY;
    }
    pbOut[0] = 0x04; // uncompressed point
    CopyReversed(pbBlob + kXField, SM2_COORDINATE_SIZE, pbOut + 1);
    CopyReversed(pbBlob + kYField, SM2_COORDINATE_SIZE, pbOut + 1 + SM2_COORDINATE_SIZE);
    *ppbOut = pbOut;
    *pcbOut = cbOut;
    return S_OK;
}

HRESULT ReshapeSM2TemporaryPublicKey(const BYTE* pbBlob, DWORD cbBlob, BYTE** ppbOut, DWORD* pcbOut)
{
    HRESULT hResult = CheckBlob(u"ReshapeSM2TemporaryPublicKey", pbBlob, cbBlob);
    if (FAILED(hResult))
    {
        return hResult;
    }
    BYTE* pbOut = NewZeroedArray<BYTE>(SM2_TEMPORARY_KEY_SIZE);
    if (!pbOut)
    {
        return E_OUTOFMEMORY;
    }
    const DWORD rgdwHeader[2] = {0x0000B400, 256};
    for (DWORD i = 0; i < 2; ++i)
    {
        for (DWORD k = 0; k < 4; ++k)
        {
            pbOut[4 * i + k] = (BYTE)(rgdwHeader[i] >> (8 * k));
        }
    }
    for (DWORD dwField : {kXField, kYField})
    {
        BYTE* pbTo = pbOut + 8 + (dwField - kXField);
        CopyReversed(pbBlob + dwField, SM2_COORDINATE_SIZE, pbTo);
        memcpy(pbTo + SM2_COORDINATE_SIZE, pbBlob + dwField + SM2_COORDINATE_SIZE,
               kFieldSize - SM2_COORDINATE_SIZE);
    }
    *ppbOut = pbOut;
    *pcbOut = SM2_TEMPORARY_KEY_SIZE;
    return S_OK;
}
