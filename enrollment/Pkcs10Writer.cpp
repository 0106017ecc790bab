#include "Pkcs10Writer.h"

#include <cstring>

#include "DerEncoding.h"
#include "EnrollmentForms.h"
#include "Pkcs10Compose.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"PKCS10Request"

namespace
{
const BYTE g_rgbVersion[] = {0x02, 0x01, 0x00};
const BYTE g_rgbTemporaryKeyVersion[] = {0x02, 0x01, 0x01};

bool IsEmpty(LPCSTR lpsz)
{
    return !lpsz || !*lpsz;
}
} // namespace

HRESULT ComposeSignAlgorithm(LPCSTR lpszSignatureOid, BYTE** ppbOut, DWORD* pcbOut)
{
    TraceHelper trace(u"ComposeSignAlgorithm");
    HRESULT hResult = ComposeSpecialAttribute(lpszSignatureOid, nullptr, 0, ppbOut, pcbOut);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSignAlgorithm", u"ComposeSpecialAttribute",
                          u"FAILED(hResult)", hResult);
    }
    return hResult;
}

HRESULT ComposeSignPublicKeyData(LPCSTR lpszKeyAlgOid, LPCSTR lpszCurveOid, const BYTE* pbPublicKey,
                                 DWORD cbPublicKey, BOOL bSM2, BYTE** ppbOut, DWORD* pcbOut)
{
    TraceHelper trace(u"ComposeSignPublicKeyData");
    CByteBuffer bufAlgorithm;
    HRESULT hResult = S_OK;
    if (bSM2)
    {
        // The curve's OID TLV: SEQUENCE { OID, NULL } without its header and its NULL.
        CByteBuffer bufCurve;
        hResult =
            ComposeSpecialAttribute(lpszCurveOid, nullptr, 0, bufCurve.Put(), bufCurve.PutLength());
        if (SUCCEEDED(hResult) && bufCurve.Length() < 5)
        {
            hResult = E_FAIL;
        }
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSignPublicKeyData",
                              u"ComposeSpecialAttribute(curve)", u"FAILED(hResult)", hResult);
            return hResult;
        }
        hResult = ComposeSpecialAttribute(lpszKeyAlgOid, bufCurve.Data() + 2, bufCurve.Length() - 4,
                                          bufAlgorithm.Put(), bufAlgorithm.PutLength());
    }
    else
    {
        hResult = ComposeSpecialAttribute(lpszKeyAlgOid, nullptr, 0, bufAlgorithm.Put(),
                                          bufAlgorithm.PutLength());
    }
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSignPublicKeyData", u"ComposeSpecialAttribute",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    CByteBuffer bufBits;
    hResult = ComposeBITString(pbPublicKey, cbPublicKey, bufBits.Put(), bufBits.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSignPublicKeyData", u"ComposeBITString",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    const BYTE_PART rgParts[] = {{bufAlgorithm.Data(), bufAlgorithm.Length()},
                                 {bufBits.Data(), bufBits.Length()}};
    hResult = EncodeParts(ASN_TAG_SEQUENCE, rgParts, 2, ppbOut, pcbOut);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeSignPublicKeyData", u"ASN1Encode(SEQUENCE)",
                          u"FAILED(hResult)", hResult);
    }
    return hResult;
}

HRESULT ComposeAttributes(const BYTE* pbTempPublicKey, DWORD cbTempPublicKey, DWORD dwAttributeForm,
                          BYTE** ppbOut, DWORD* pcbOut)
{
    TraceHelper trace(u"ComposeAttributes");
    auto composeAttribute =
        [dwAttributeForm](LPCSTR lpszOid, const CByteBuffer& bufValue, CByteBuffer& bufOut)
    {
        return dwAttributeForm == PKCS10_ATTRIBUTES_IN_SET
                   ? ComposeStandardAttribute(lpszOid, bufValue.Data(), bufValue.Length(),
                                              bufOut.Put(), bufOut.PutLength())
                   : ComposeSpecialAttribute(lpszOid, bufValue.Data(), bufValue.Length(),
                                             bufOut.Put(), bufOut.PutLength());
    };

    CByteBuffer bufPassword;
    HRESULT hResult =
        ComposeAnyString((DWORD)strlen(PKCS10_CHALLENGE_PASSWORD), CERT_RDN_PRINTABLE_STRING,
                         reinterpret_cast<const BYTE*>(PKCS10_CHALLENGE_PASSWORD),
                         bufPassword.Put(), bufPassword.PutLength());
    CByteBuffer bufAttribute1;
    if (SUCCEEDED(hResult))
    {
        hResult = composeAttribute(szOID_PKCS10_CHALLENGE_PASSWORD, bufPassword, bufAttribute1);
    }
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeAttributes", u"Challenge password",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }

    // SEQUENCE { INTEGER 1, OCTET STRING key } inside an OCTET STRING.
    CByteBuffer bufKey;
    hResult = ComposeAnyString(cbTempPublicKey, CERT_RDN_OCTET_STRING, pbTempPublicKey,
                               bufKey.Put(), bufKey.PutLength());
    CByteBuffer bufSequence;
    if (SUCCEEDED(hResult))
    {
        const BYTE_PART rgParts[] = {{g_rgbTemporaryKeyVersion, sizeof(g_rgbTemporaryKeyVersion)},
                                     {bufKey.Data(), bufKey.Length()}};
        hResult =
            EncodeParts(ASN_TAG_SEQUENCE, rgParts, 2, bufSequence.Put(), bufSequence.PutLength());
    }
    CByteBuffer bufWrapped;
    if (SUCCEEDED(hResult))
    {
        hResult = ComposeAnyString(bufSequence.Length(), CERT_RDN_OCTET_STRING, bufSequence.Data(),
                                   bufWrapped.Put(), bufWrapped.PutLength());
    }
    CByteBuffer bufAttribute2;
    if (SUCCEEDED(hResult))
    {
        hResult = composeAttribute(szOID_PKCS10_TEMPORARY_PUBLIC_KEY, bufWrapped, bufAttribute2);
    }
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeAttributes", u"Temporary public key",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }

    const BYTE_PART rgParts[] = {{bufAttribute1.Data(), bufAttribute1.Length()},
                                 {bufAttribute2.Data(), bufAttribute2.Length()}};
    hResult = EncodeParts(ASN_TAG_CONTEXT_0_CONSTRUCTED, rgParts, 2, ppbOut, pcbOut);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeAttributes", u"ASN1Encode([0])", u"FAILED(hResult)",
                          hResult);
    }
    return hResult;
}

HRESULT ComposeCertRequestInfo(LPCWSTR lpwszSubject, LPCSTR lpszKeyAlgOid, LPCSTR lpszCurveOid,
                               const BYTE* pbPublicKey, DWORD cbPublicKey,
                               const BYTE* pbTempPublicKey, DWORD cbTempPublicKey,
                               DWORD dwAttributeForm, BOOL bSM2, BYTE** ppbOut, DWORD* pcbOut)
{
    TraceHelper trace(u"ComposeCertRequestInfo");
    CByteBuffer bufSubject;
    HRESULT hResult = ComposeSubject(lpwszSubject, bufSubject.Put(), bufSubject.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeCertRequestInfo", u"ComposeSubject",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    CByteBuffer bufKeyInfo;
    hResult = ComposeSignPublicKeyData(lpszKeyAlgOid, lpszCurveOid, pbPublicKey, cbPublicKey, bSM2,
                                       bufKeyInfo.Put(), bufKeyInfo.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeCertRequestInfo", u"ComposeSignPublicKeyData",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    CByteBuffer bufAttributes;
    if (pbTempPublicKey)
    {
        hResult = ComposeAttributes(pbTempPublicKey, cbTempPublicKey, dwAttributeForm,
                                    bufAttributes.Put(), bufAttributes.PutLength());
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeCertRequestInfo", u"ComposeAttributes",
                              u"FAILED(hResult)", hResult);
            return hResult;
        }
    }
    const BYTE_PART rgParts[] = {{g_rgbVersion, sizeof(g_rgbVersion)},
                                 {bufSubject.Data(), bufSubject.Length()},
                                 {bufKeyInfo.Data(), bufKeyInfo.Length()},
                                 {bufAttributes.Data(), bufAttributes.Length()}};
    hResult = EncodeParts(ASN_TAG_SEQUENCE, rgParts, 4, ppbOut, pcbOut);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ComposeCertRequestInfo", u"ASN1Encode(SEQUENCE)",
                          u"FAILED(hResult)", hResult);
    }
    return hResult;
}

HRESULT TransformBase64EncodedDatatoHoldCRLFPer64Chars(LPCSTR lpszBase64, LPSTR* ppszOut,
                                                       DWORD* pcchOut)
{
    TraceHelper trace(u"TransformBase64EncodedDatatoHoldCRLFPer64Chars");
    if (!lpszBase64 || !ppszOut || !pcchOut)
    {
        return E_POINTER;
    }
    const size_t cchIn = strlen(lpszBase64);
    // Every input character at most once, plus CR LF per 64 of them, plus the terminator.
    LPSTR lpszOut = NewZeroedArray<CHAR>(cchIn + 2 * (cchIn / 64) + 1);
    if (!lpszOut)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"TransformBase64EncodedDatatoHoldCRLFPer64Chars",
                          u"New Memory", u"!lpszOut", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    DWORD cchOut = 0;
    DWORD cchLine = 0;
    for (size_t i = 0; i < cchIn; ++i)
    {
        const CHAR ch = lpszBase64[i];
        if (ch == '\r' || ch == '\n')
        {
            continue;
        }
        if (cchLine == 64)
        {
            lpszOut[cchOut++] = '\r';
            lpszOut[cchOut++] = '\n';
            cchLine = 0;
        }
        lpszOut[cchOut++] = ch;
        ++cchLine;
    }
    lpszOut[cchOut] = 0;
    *ppszOut = lpszOut;
    *pcchOut = cchOut;
    return S_OK;
}

HRESULT PKCS10RequestBase64(DWORD dwKeySpec, HCRYPTPROV hProv, LPCWSTR lpwszSubject,
                            LPCSTR lpszKeyAlgOid, LPCSTR lpszCurveOid, const BYTE* pbSignPublicKey,
                            DWORD cbSignPublicKey, const BYTE* pbTempPublicKey,
                            DWORD cbTempPublicKey, ALG_ID algHash, LPCSTR lpszSignatureOid,
                            DWORD dwAttributeForm, BOOL bSM2, LPSTR* ppszRequest,
                            DWORD* pcchRequest)
{
    TraceHelper trace(u"PKCS10RequestBase64");
    if (!ppszRequest || !pcchRequest)
    {
        return E_POINTER;
    }
    if (!pbSignPublicKey || !cbSignPublicKey || (bSM2 && IsEmpty(lpszCurveOid)))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"PKCS10RequestBase64", u"Check parameter",
                          u"!pbSignPublicKey", E_INVALIDARG);
        return E_INVALIDARG;
    }

    CByteBuffer bufSignKey;
    CByteBuffer bufTempKey;
    if (bSM2)
    {
        HRESULT hResult = ReshapeSM2SignPublicKey(pbSignPublicKey, cbSignPublicKey,
                                                  bufSignKey.Put(), bufSignKey.PutLength());
        if (SUCCEEDED(hResult) && pbTempPublicKey)
        {
            hResult = ReshapeSM2TemporaryPublicKey(pbTempPublicKey, cbTempPublicKey,
                                                   bufTempKey.Put(), bufTempKey.PutLength());
        }
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, u"PKCS10RequestBase64", u"Reshape SM2 public key",
                              u"FAILED(hResult)", hResult);
            return hResult;
        }
        pbSignPublicKey = bufSignKey.Data();
        cbSignPublicKey = bufSignKey.Length();
        if (pbTempPublicKey)
        {
            pbTempPublicKey = bufTempKey.Data();
            cbTempPublicKey = bufTempKey.Length();
        }
    }

    CByteBuffer bufInfo;
    HRESULT hResult =
        ComposeCertRequestInfo(lpwszSubject, lpszKeyAlgOid, lpszCurveOid, pbSignPublicKey,
                               cbSignPublicKey, pbTempPublicKey, cbTempPublicKey, dwAttributeForm,
                               bSM2, bufInfo.Put(), bufInfo.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"PKCS10RequestBase64", u"ComposeCertRequestInfo",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    CByteBuffer bufAlgorithm;
    hResult = ComposeSignAlgorithm(lpszSignatureOid, bufAlgorithm.Put(), bufAlgorithm.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"PKCS10RequestBase64", u"ComposeSignAlgorithm",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    CByteBuffer bufRawSignature;
    hResult =
        PKCS10CalculateHashandSign(hProv, lpszKeyAlgOid, bufInfo.Data(), bufInfo.Length(), algHash,
                                   dwKeySpec, bufRawSignature.Put(), bufRawSignature.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"PKCS10RequestBase64", u"PKCS10CalculateHashandSign",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    CByteBuffer bufSignature;
    hResult = ComposeSignature(bufRawSignature.Data(), bufRawSignature.Length(), bSM2,
                               bufSignature.Put(), bufSignature.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"PKCS10RequestBase64", u"ComposeSignature",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }
    CByteBuffer bufRequest;
    const BYTE_PART rgParts[] = {{bufInfo.Data(), bufInfo.Length()},
                                 {bufAlgorithm.Data(), bufAlgorithm.Length()},
                                 {bufSignature.Data(), bufSignature.Length()}};
    hResult = EncodeParts(ASN_TAG_SEQUENCE, rgParts, 3, bufRequest.Put(), bufRequest.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"PKCS10RequestBase64", u"ASN1Encode(SEQUENCE)",
                          u"FAILED(hResult)", hResult);
        return hResult;
    }

    LPSTR lpszBase64 = nullptr;
    DWORD cchBase64 = 0;
    hResult = Base64EncodeEx(bufRequest.Length(), &lpszBase64, bufRequest.Data(), &cchBase64);
    if (SUCCEEDED(hResult) && !lpszBase64)
    {
        hResult = E_FAIL;
    }
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"PKCS10RequestBase64", u"Base64EncodeEx", u"!lpszBase64",
                          hResult);
        return hResult;
    }
    hResult = TransformBase64EncodedDatatoHoldCRLFPer64Chars(lpszBase64, ppszRequest, pcchRequest);
    delete[] lpszBase64;
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"PKCS10RequestBase64",
                          u"TransformBase64EncodedDatatoHoldCRLFPer64Chars", u"FAILED(hResult)",
                          hResult);
        return hResult;
    }
    TraceStepSucceeded(u"PKCS10RequestBase64", u"TransformBase64EncodedDatatoHoldCRLFPer64Chars");
    return S_OK;
}
