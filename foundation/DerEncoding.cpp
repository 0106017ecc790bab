#include "DerEncoding.h"

#include <cstring>

#include "HResult.h"
#include "Trace.h"
#include "ZeroedArray.h"

namespace
{
bool IsWritableTag(BYTE bTag)
{
    switch (bTag)
    {
    case ASN_TAG_INTEGER:
    case ASN_TAG_OCTET_STRING:
    case ASN_TAG_OBJECT_IDENTIFIER:
    case ASN_TAG_UTF8_STRING:
    case ASN_TAG_PRINTABLE_STRING:
    case ASN_TAG_IA5_STRING:
    case ASN_TAG_BMP_STRING:
    case ASN_TAG_SEQUENCE:
    case ASN_TAG_SET:
    case ASN_TAG_CONTEXT_0_PRIMITIVE:
    case ASN_TAG_CONTEXT_0_CONSTRUCTED:
        return true;
    default:
        return false;
    }
}

// INTEGER of a 32-byte big-endian coordinate in its minimal form: leading zero bytes go
// (one stays for zero), and a 0x00 sign byte comes first when the top bit is set. Verifiers
// reject padded INTEGERs, and about one signature in 128 has r or s below 2^248.
HRESULT EncodeCoordinate(const BYTE* pbCoordinate, LPCWSTR lpwszLabelSigned, LPCWSTR lpwszLabelPlain,
                         BYTE** ppbEncoded, DWORD* pcbEncoded)
{
    DWORD iFirst = 0;
    while (iFirst + 1 < SM2_COORDINATE_SIZE && pbCoordinate[iFirst] == 0)
    {
        ++iFirst;
    }
    const DWORD cbNumber = SM2_COORDINATE_SIZE - iFirst;
    HRESULT hResult;
    if (pbCoordinate[iFirst] & 0x80)
    {
        BYTE rgbSigned[SM2_COORDINATE_SIZE + 1] = {0};
        memcpy(rgbSigned + 1, pbCoordinate + iFirst, cbNumber);
        hResult = ASN1Encode(ASN_TAG_INTEGER, rgbSigned, cbNumber + 1, ppbEncoded, pcbEncoded);
        TraceResult(hResult, lpwszLabelSigned);
    }
    else
    {
        hResult = ASN1Encode(ASN_TAG_INTEGER, pbCoordinate + iFirst, cbNumber, ppbEncoded, pcbEncoded);
        TraceResult(hResult, lpwszLabelPlain);
    }
    return hResult;
}
} // namespace

HRESULT CalculateASNValueLength(DWORD cbValue, BYTE** ppbLength, DWORD* pcbLength)
{
    TraceHelper trace(u"CalculateASNValueLength");
    if (!ppbLength || !pcbLength)
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }
    if (cbValue == 0)
    {
        QM_TRACE_ERROR(u"CalculateASNValueLength", cbValue);
        TraceResult(E_FAIL, u"Check value length");
        return E_FAIL;
    }

    BYTE rgbLength[5] = {0};
    DWORD cbLength = 0;
    if (cbValue <= 0x7F)
    {
        rgbLength[cbLength++] = (BYTE)cbValue;
    }
    else
    {
        DWORD cbBytes = 0;
        for (DWORD dw = cbValue; dw; dw >>= 8)
        {
            ++cbBytes;
        }
        rgbLength[cbLength++] = (BYTE)(0x80 | cbBytes);
        for (DWORD i = cbBytes; i > 0; --i)
        {
            rgbLength[cbLength++] = (BYTE)(cbValue >> (8 * (i - 1)));
        }
    }

    BYTE* pbLength = NewZeroedArray<BYTE>(cbLength);
    if (!pbLength)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }
    memcpy(pbLength, rgbLength, cbLength);
    *ppbLength = pbLength;
    *pcbLength = cbLength;
    return S_OK;
}

HRESULT ASN1Encode(DWORD dwTag, const BYTE* pbValue, DWORD cbValue, BYTE** ppbEncoded, DWORD* pcbEncoded)
{
    TraceHelper trace(u"ASN1Encode");
    BYTE bTag = (BYTE)(dwTag & 0xFF);
    if (!IsWritableTag(bTag))
    {
        QM_TRACE_ERROR(u"ASN1Encode", (DWORD)bTag);
        TraceResult(E_FAIL, u"Check tag");
        return E_FAIL;
    }
    if (!ppbEncoded || !pcbEncoded || (!pbValue && cbValue))
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }

    BYTE* pbLength = nullptr;
    DWORD cbLength = 0;
    HRESULT hResult = CalculateASNValueLength(cbValue, &pbLength, &cbLength);
    if (FAILED(hResult))
    {
        TraceResult(hResult, u"CalculateASNValueLength");
        return hResult;
    }

    unsigned long long ullEncoded = 1ULL + cbLength + cbValue;
    BYTE* pbEncoded = ullEncoded <= 0xFFFFFFFFULL ? NewZeroedArray<BYTE>(ullEncoded) : nullptr;
    if (!pbEncoded)
    {
        delete[] pbLength;
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }
    pbEncoded[0] = bTag;
    memcpy(pbEncoded + 1, pbLength, cbLength);
    memcpy(pbEncoded + 1 + cbLength, pbValue, cbValue);
    delete[] pbLength;

    *ppbEncoded = pbEncoded;
    *pcbEncoded = (DWORD)ullEncoded;
    return S_OK;
}

HRESULT SM2EncodeRawSignatureAs(BYTE** ppbEncoded, DWORD* pcbEncoded, const BYTE* pbRaw, DWORD cbRaw,
                                bool bWrapInOctetString)
{
    TraceHelper trace(u"SM2EncodeRawSignature");
    if (cbRaw != SM2_RAW_SIGNATURE_SIZE || !pbRaw)
    {
        TraceResult(E_INVALID_DATA, u"Check SM2 raw signature size");
        return E_INVALID_DATA;
    }
    if (!ppbEncoded || !pcbEncoded)
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }

    BYTE* pbR = nullptr;
    DWORD cbR = 0;
    BYTE* pbS = nullptr;
    DWORD cbS = 0;
    BYTE* pbIntegers = nullptr;
    BYTE* pbSequence = nullptr;
    DWORD cbSequence = 0;
    HRESULT hResult = EncodeCoordinate(pbRaw, u"ASN1Encode(1)", u"ASN1Encode(2)", &pbR, &cbR);
    if (SUCCEEDED(hResult))
    {
        hResult = EncodeCoordinate(pbRaw + SM2_COORDINATE_SIZE, u"ASN1Encode(3)", u"ASN1Encode(4)", &pbS, &cbS);
    }
    if (SUCCEEDED(hResult))
    {
        pbIntegers = NewZeroedArray<BYTE>((unsigned long long)cbR + cbS);
        if (!pbIntegers)
        {
            hResult = E_OUTOFMEMORY;
            TraceResult(hResult, u"New Memory");
        }
    }
    if (SUCCEEDED(hResult))
    {
        memcpy(pbIntegers, pbR, cbR);
        memcpy(pbIntegers + cbR, pbS, cbS);
        hResult = ASN1Encode(ASN_TAG_SEQUENCE, pbIntegers, cbR + cbS, &pbSequence, &cbSequence);
        TraceResult(hResult, bWrapInOctetString ? u"ASN1Encode(6)" : u"ASN1Encode(5)");
    }
    if (SUCCEEDED(hResult))
    {
        if (bWrapInOctetString)
        {
            hResult = ASN1Encode(ASN_TAG_OCTET_STRING, pbSequence, cbSequence, ppbEncoded, pcbEncoded);
            TraceResult(hResult, u"ASN1Encode(7)");
        }
        else
        {
            *ppbEncoded = pbSequence;
            *pcbEncoded = cbSequence;
            pbSequence = nullptr;
        }
    }

    delete[] pbR;
    delete[] pbS;
    delete[] pbIntegers;
    delete[] pbSequence;
    return hResult;
}
