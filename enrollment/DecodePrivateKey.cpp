// The fields of a PKCS#1 RSAPrivateKey in the order the software import path needs them.
#include "Asn1TlvParser.h"

#include <cstring>

#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"ASN1Engine"

HRESULT CopyPrivateKeyAttribute(const BYTE* pbValue, DWORD cbValue, BYTE** ppbOut, DWORD* pcbOut)
{
    if (cbValue > 0 && pbValue[0] == 0)
    {
        ++pbValue; // the sign byte of an unsigned value
        --cbValue;
    }
    // One byte at least, so an empty value is not taken for a failed allocation.
    BYTE* pbOut = NewZeroedArray<BYTE>(cbValue ? cbValue : 1);
    if (!pbOut)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"CopyPrivateKeyAttribute", u"New Memory", u"!pbOut",
                          E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    for (DWORD i = 0; i < cbValue; ++i)
    {
        pbOut[i] = pbValue[cbValue - 1 - i];
    }
    *ppbOut = pbOut;
    *pcbOut = cbValue;
    return S_OK;
}

void FreeRsaPrivateKeyParts(RSA_PRIVATE_KEY_PARTS* pParts)
{
    if (!pParts)
    {
        return;
    }
    delete[] pParts->pbModulus;
    delete[] pParts->pbPrivateExponent;
    delete[] pParts->pbPrime1;
    delete[] pParts->pbPrime2;
    delete[] pParts->pbExponent1;
    delete[] pParts->pbExponent2;
    delete[] pParts->pbCoefficient;
    memset(pParts, 0, sizeof(*pParts));
}

HRESULT DecodePrivateKey(const BYTE* pbDer, DWORD cbDer, RSA_PRIVATE_KEY_PARTS* pParts)
{
    TraceHelper trace(u"DecodePrivateKey");
    if (!pParts)
    {
        return E_POINTER;
    }
    memset(pParts, 0, sizeof(*pParts));
    ASN1Node* pRoot = nullptr;
    HRESULT hResult = DecodeASN1Memory(&pRoot, pbDer, cbDer);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"DecodePrivateKey", u"DecodeASN1Memory", u"FAILED(hResult)",
                          hResult);
        delete pRoot;
        return hResult;
    }
    // version, modulus, public exponent, private exponent, prime1, prime2, exponent1,
    // exponent2, coefficient
    if (pRoot->vtrChildren.size() < 9)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"DecodePrivateKey", u"Check element count", u"children < 9",
                          E_ASN1_DECODE_FAILED);
        delete pRoot;
        return E_ASN1_DECODE_FAILED;
    }
    struct
    {
        size_t nChild;
        BYTE** ppb;
        DWORD* pcb;
    } const rgFields[] = {
        {1, &pParts->pbModulus, &pParts->cbModulus},
        {3, &pParts->pbPrivateExponent, &pParts->cbPrivateExponent},
        {4, &pParts->pbPrime1, &pParts->cbPrime1},
        {5, &pParts->pbPrime2, &pParts->cbPrime2},
        {6, &pParts->pbExponent1, &pParts->cbExponent1},
        {7, &pParts->pbExponent2, &pParts->cbExponent2},
        {8, &pParts->pbCoefficient, &pParts->cbCoefficient},
    };
    for (const auto& field : rgFields)
    {
        const ASN1Node* pChild = pRoot->vtrChildren[field.nChild];
        // A length still unresolved (or one past the buffer) would copy bytes that are not
        // there; the tree alone is trusted for nothing.
        if (pChild->wIndefinite || pChild->dwValueLength == ASN1_INDEFINITE_LENGTH ||
            pChild->ullValueOffset > cbDer || pChild->dwValueLength > cbDer - pChild->ullValueOffset)
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, u"DecodePrivateKey", u"Check element length",
                              u"indefinite or past the buffer", E_ASN1_PARSE_NODE);
            FreeRsaPrivateKeyParts(pParts);
            hResult = E_ASN1_PARSE_NODE;
            break;
        }
        hResult =
            CopyPrivateKeyAttribute(pChild->Value(), pChild->dwValueLength, field.ppb, field.pcb);
        if (FAILED(hResult))
        {
            FreeRsaPrivateKeyParts(pParts);
            break;
        }
    }
    delete pRoot;
    return hResult;
}
