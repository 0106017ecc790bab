#include "Pkcs7Writer.h"

#include <cstring>
#include <iterator>

#include "DerBuffer.h"
#include "DerEncoding.h"
#include "ObjectIdentifier.h"
#include "SigningForms.h"
#include "Base64Encoding.h"
#include "Trace.h"
#include "ZeroedArray.h"

namespace
{
const BYTE g_rgbVersion1[] = {ASN_TAG_INTEGER, 0x01, 0x01};
const BYTE g_rgbNull[] = {0x05, 0x00};

struct ALGORITHM_OIDS
{
    ALG_ID uHashAlgorithm;
    LPCSTR pszDigestOid;
    LPCSTR pszSignatureOid;
};

// SHA-1 names rsaEncryption, not sha1WithRSAEncryption: that is what relying parties expect.
const ALGORITHM_OIDS g_rgAlgorithmOids[] = {
    {CALG_MD5, "1.2.840.113549.2.5", "1.2.840.113549.1.1.4"},
    {CALG_SHA1, "1.3.14.3.2.26", "1.2.840.113549.1.1.1"},
    {CALG_SHA_256, "2.16.840.1.101.3.4.2.1", "1.2.840.113549.1.1.11"},
    {CALG_SHA_384, "2.16.840.1.101.3.4.2.2", "1.2.840.113549.1.1.12"},
    {CALG_SHA_512, "2.16.840.1.101.3.4.2.3", "1.2.840.113549.1.1.13"},
    {CALG_SM3, SZOID_SM3, SZOID_SM2_SM3_SIGN},
};

struct CONTENT_TYPE_OIDS
{
    LPCSTR pszData;
    LPCSTR pszSignedData;
};

const CONTENT_TYPE_OIDS g_oidsPkcs7 = {SZOID_PKCS7_DATA, SZOID_PKCS7_SIGNED_DATA};
const CONTENT_TYPE_OIDS g_oidsSM2 = {SZOID_SM2_PKCS7_DATA, SZOID_SM2_PKCS7_SIGNED_DATA};

// ContentInfo SEQUENCE { OID, [0] EXPLICIT content }; without content the [0] part is left out.
HRESULT EncodeContentInfo(LPCSTR pszContentType, const BYTE* pbContent, DWORD cbContent, bool bWithContent,
                          CDerBuffer& bufOut)
{
    CDerBuffer bufOid;
    HRESULT hResult = EncodeObjectIdentifier(pszContentType, bufOid.Put(), bufOid.PutLength());
    if (FAILED(hResult))
    {
        return hResult;
    }
    if (!bWithContent)
    {
        DER_PART part = {bufOid.Data(), bufOid.Length()};
        return EncodeDerParts(ASN_TAG_SEQUENCE, &part, 1, bufOut);
    }
    CDerBuffer bufExplicit;
    hResult = ASN1Encode(ASN_TAG_CONTEXT_0_CONSTRUCTED, pbContent, cbContent, bufExplicit.Put(),
                         bufExplicit.PutLength());
    if (FAILED(hResult))
    {
        return hResult;
    }
    DER_PART rgParts[] = {{bufOid.Data(), bufOid.Length()}, {bufExplicit.Data(), bufExplicit.Length()}};
    return EncodeDerParts(ASN_TAG_SEQUENCE, rgParts, 2, bufOut);
}

// The Base64 text of the DER as a new BSTR.
HRESULT EncodeBase64Bstr(const BYTE* pbDer, DWORD cbDer, DWORD dwBase64Flags, BSTR* pbstrOut, DWORD* pcchOut)
{
    LPSTR pszText = nullptr;
    DWORD cchText = 0;
    HRESULT hResult = Base64EncodeEx(dwBase64Flags, &pszText, pbDer, cbDer, &cchText);
    if (SUCCEEDED(hResult) && !pszText)
    {
        hResult = E_FAIL;
    }
    TraceResult(hResult, u"Base64EncodeEx");
    if (FAILED(hResult))
    {
        return hResult;
    }
    BSTR bstrText = SysAllocStringLen(nullptr, cchText);
    if (!bstrText)
    {
        delete[] pszText;
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }
    for (DWORD i = 0; i < cchText; ++i)
    {
        bstrText[i] = (WCHAR)(BYTE)pszText[i];
    }
    bstrText[cchText] = 0;
    delete[] pszText;
    *pbstrOut = bstrText;
    if (pcchOut)
    {
        *pcchOut = cchText;
    }
    return S_OK;
}

// Both writers share one layout; they differ in the content-type OIDs and the signature value.
HRESULT BuildSignedData(LPCWSTR lpwszOperation, const CONTENT_TYPE_OIDS& oids, PCCERT_CONTEXT pSignCertContext,
                        LPCSTR pszDigestOid, LPCSTR pszSignatureOid, const BYTE* pbSignatureValue,
                        DWORD cbSignatureValue, const BYTE* pbContent, DWORD cbContent, BOOL bAttached,
                        DWORD dwBase64Flags, BSTR* pbstrPKCS7, DWORD* pcchPKCS7)
{
    HRESULT hResult;
    CDerBuffer bufDigestAlgorithm;
    hResult = SM2EncodeOID(pszDigestOid, bufDigestAlgorithm.Put(), bufDigestAlgorithm.PutLength());
    TraceResult(hResult, u"EncodeObject-PKCS_ATTRIBUTE");
    if (FAILED(hResult))
    {
        return hResult;
    }

    CDerBuffer bufDigestAlgorithms;
    hResult = ASN1Encode(ASN_TAG_SET, bufDigestAlgorithm.Data(), bufDigestAlgorithm.Length(),
                         bufDigestAlgorithms.Put(), bufDigestAlgorithms.PutLength());
    TraceResult(hResult, u"ASN1Encode(digestAlgorithms SET)");
    if (FAILED(hResult))
    {
        return hResult;
    }

    CDerBuffer bufInnerContentInfo;
    {
        CDerBuffer bufOctetString;
        if (bAttached)
        {
            hResult = ASN1Encode(ASN_TAG_OCTET_STRING, pbContent, cbContent, bufOctetString.Put(),
                                 bufOctetString.PutLength());
            TraceResult(hResult, u"EncodeObject");
            if (FAILED(hResult))
            {
                return hResult;
            }
        }
        hResult = EncodeContentInfo(oids.pszData, bufOctetString.Data(), bufOctetString.Length(), bAttached != FALSE,
                                    bufInnerContentInfo);
        TraceResult(hResult, u"EncodeObject");
        if (FAILED(hResult))
        {
            return hResult;
        }
    }

    CDerBuffer bufCertificates;
    hResult = ASN1Encode(ASN_TAG_CONTEXT_0_CONSTRUCTED, pSignCertContext->pbCertEncoded,
                         pSignCertContext->cbCertEncoded, bufCertificates.Put(), bufCertificates.PutLength());
    TraceResult(hResult, u"ASN1Encode(certificates CONTENT)");
    if (FAILED(hResult))
    {
        return hResult;
    }

    CDerBuffer bufSignerInfo;
    SM2_SIGNER_INFO signerInfo = {};
    signerInfo.dwVersion = 1;
    signerInfo.Issuer = pSignCertContext->pCertInfo->Issuer;
    signerInfo.SerialNumber = pSignCertContext->pCertInfo->SerialNumber;
    signerInfo.pszDigestOid = pszDigestOid;
    signerInfo.pszSignatureOid = pszSignatureOid;
    signerInfo.EncodedSignature.pbData = const_cast<BYTE*>(pbSignatureValue);
    signerInfo.EncodedSignature.cbData = cbSignatureValue;
    hResult = SM2EncodeSignerInfo(&signerInfo, bufSignerInfo.Put(), bufSignerInfo.PutLength());
    TraceResult(hResult, u"SM2EncodeSignerInfo");
    if (FAILED(hResult))
    {
        return hResult;
    }

    CDerBuffer bufSignerInfos;
    hResult = ASN1Encode(ASN_TAG_SET, bufSignerInfo.Data(), bufSignerInfo.Length(), bufSignerInfos.Put(),
                         bufSignerInfos.PutLength());
    TraceResult(hResult, u"ASN1Encode(SignerInfo SET)");
    if (FAILED(hResult))
    {
        return hResult;
    }
    bufSignerInfo.Free();

    CDerBuffer bufSignedData;
    {
        DER_PART rgParts[] = {{g_rgbVersion1, sizeof(g_rgbVersion1)},
                              {bufDigestAlgorithms.Data(), bufDigestAlgorithms.Length()},
                              {bufInnerContentInfo.Data(), bufInnerContentInfo.Length()},
                              {bufCertificates.Data(), bufCertificates.Length()},
                              {bufSignerInfos.Data(), bufSignerInfos.Length()}};
        CDerBuffer bufBody;
        hResult = ConcatenateDerParts(rgParts, (DWORD)std::size(rgParts), bufBody);
        if (FAILED(hResult))
        {
            return hResult;
        }
        // The content is the largest part; let it go before the next copies are made.
        bufInnerContentInfo.Free();
        hResult = ASN1Encode(ASN_TAG_SEQUENCE, bufBody.Data(), bufBody.Length(), bufSignedData.Put(),
                             bufSignedData.PutLength());
        TraceResult(hResult, u"ASN1Encode(All data SEQUENCE)");
        if (FAILED(hResult))
        {
            return hResult;
        }
    }

    CDerBuffer bufContentInfo;
    hResult = EncodeContentInfo(oids.pszSignedData, bufSignedData.Data(), bufSignedData.Length(), true,
                                bufContentInfo);
    TraceResult(hResult, u"EncodeObject");
    if (FAILED(hResult))
    {
        return hResult;
    }
    bufSignedData.Free();

    hResult = EncodeBase64Bstr(bufContentInfo.Data(), bufContentInfo.Length(), dwBase64Flags, pbstrPKCS7,
                               pcchPKCS7);
    QM_TRACE_INFO(lpwszOperation, bufContentInfo.Length());
    return hResult;
}

HRESULT CheckWriterArguments(PCCERT_CONTEXT pSignCertContext, LPCSTR pszDigestOid, LPCSTR pszSignatureOid,
                             const BYTE* pbSignature, DWORD cbSignature, const BYTE* pbContent, DWORD cbContent,
                             BOOL bAttached, BSTR* pbstrPKCS7)
{
    if (!pbstrPKCS7)
    {
        return E_POINTER;
    }
    *pbstrPKCS7 = nullptr;
    if (!pSignCertContext || !pSignCertContext->pCertInfo || !pSignCertContext->pbCertEncoded ||
        !pszDigestOid || !pszSignatureOid || !pbSignature || cbSignature == 0 || (bAttached && !pbContent && cbContent))
    {
        return E_INVALIDARG;
    }
    return S_OK;
}
} // namespace

BOOL GetAlgorithmIdentifiers(ALG_ID uHashAlgorithm, LPCSTR* ppszDigestOid, LPCSTR* ppszSignatureOid)
{
    TraceHelper trace(u"GetAlgorithmIdentifiers");
    for (const ALGORITHM_OIDS& entry : g_rgAlgorithmOids)
    {
        if (entry.uHashAlgorithm == uHashAlgorithm)
        {
            if (ppszDigestOid)
            {
                *ppszDigestOid = entry.pszDigestOid;
            }
            if (ppszSignatureOid)
            {
                *ppszSignatureOid = entry.pszSignatureOid;
            }
            return TRUE;
        }
    }
    QM_TRACE_INFO(u"GetAlgorithmIdentifiers", (DWORD)uHashAlgorithm);
    return FALSE;
}

HRESULT SM2EncodeOID(LPCSTR pszOid, BYTE** ppbEncoded, DWORD* pcbEncoded)
{
    TraceHelper trace(u"SM2EncodeOID");
    if (!ppbEncoded || !pcbEncoded)
    {
        return E_POINTER;
    }
    CDerBuffer bufOid;
    HRESULT hResult = EncodeObjectIdentifier(pszOid, bufOid.Put(), bufOid.PutLength());
    TraceResult(hResult, u"EncodeObjectIdentifier");
    if (FAILED(hResult))
    {
        return hResult;
    }
    DER_PART rgParts[] = {{bufOid.Data(), bufOid.Length()}, {g_rgbNull, sizeof(g_rgbNull)}};
    CDerBuffer bufOut;
    hResult = EncodeDerParts(ASN_TAG_SEQUENCE, rgParts, 2, bufOut);
    TraceResult(hResult, u"ASN1Encode(AlgorithmIdentifier)");
    if (FAILED(hResult))
    {
        return hResult;
    }
    *pcbEncoded = bufOut.Length();
    *ppbEncoded = bufOut.Detach();
    return S_OK;
}

HRESULT SM2EncodeSignerInfo(const SM2_SIGNER_INFO* pSignerInfo, BYTE** ppbEncoded, DWORD* pcbEncoded)
{
    TraceHelper trace(u"SM2EncodeSignerInfo");
    if (!ppbEncoded || !pcbEncoded)
    {
        return E_POINTER;
    }
    if (!pSignerInfo || !pSignerInfo->Issuer.pbData || !pSignerInfo->SerialNumber.pbData ||
        !pSignerInfo->EncodedSignature.pbData || pSignerInfo->dwVersion > 0x7F)
    {
        TraceResult(E_INVALIDARG, u"Check parameter");
        return E_INVALIDARG;
    }

    // CryptoAPI keeps the serial least significant byte first; the INTEGER is big-endian and
    // already carries whatever sign byte the certificate has.
    DWORD cbSerial = pSignerInfo->SerialNumber.cbData;
    BYTE* pbSerial = NewZeroedArray<BYTE>(cbSerial);
    if (!pbSerial)
    {
        HRESULT hResult = cbSerial == 0 ? E_FAIL : E_OUTOFMEMORY;
        TraceResult(hResult, u"New Memory");
        return hResult;
    }
    for (DWORD i = 0; i < cbSerial; ++i)
    {
        pbSerial[i] = pSignerInfo->SerialNumber.pbData[cbSerial - 1 - i];
    }
    CDerBuffer bufSerial;
    HRESULT hResult = ASN1Encode(ASN_TAG_INTEGER, pbSerial, cbSerial, bufSerial.Put(), bufSerial.PutLength());
    delete[] pbSerial;
    TraceResult(hResult, u"ASN1Encode(SerialNumber)");
    if (FAILED(hResult))
    {
        return hResult;
    }

    CDerBuffer bufIssuerAndSerial;
    {
        DER_PART rgParts[] = {{pSignerInfo->Issuer.pbData, pSignerInfo->Issuer.cbData},
                              {bufSerial.Data(), bufSerial.Length()}};
        hResult = EncodeDerParts(ASN_TAG_SEQUENCE, rgParts, 2, bufIssuerAndSerial);
        TraceResult(hResult, u"ASN1Encode(CertInfo)");
        if (FAILED(hResult))
        {
            return hResult;
        }
    }

    CDerBuffer bufDigestAlgorithm;
    hResult = SM2EncodeOID(pSignerInfo->pszDigestOid, bufDigestAlgorithm.Put(), bufDigestAlgorithm.PutLength());
    TraceResult(hResult, u"SM2EncodeOID(HashAlgorithm)");
    if (FAILED(hResult))
    {
        return hResult;
    }
    CDerBuffer bufSignatureAlgorithm;
    hResult = SM2EncodeOID(pSignerInfo->pszSignatureOid, bufSignatureAlgorithm.Put(),
                           bufSignatureAlgorithm.PutLength());
    TraceResult(hResult, u"SM2EncodeOID(HashEncryptionAlgorithm)");
    if (FAILED(hResult))
    {
        return hResult;
    }

    const BYTE rgbVersion[] = {ASN_TAG_INTEGER, 0x01, (BYTE)pSignerInfo->dwVersion};
    DER_PART rgParts[] = {{rgbVersion, sizeof(rgbVersion)},
                          {bufIssuerAndSerial.Data(), bufIssuerAndSerial.Length()},
                          {bufDigestAlgorithm.Data(), bufDigestAlgorithm.Length()},
                          {bufSignatureAlgorithm.Data(), bufSignatureAlgorithm.Length()},
                          {pSignerInfo->EncodedSignature.pbData, pSignerInfo->EncodedSignature.cbData}};
    CDerBuffer bufOut;
    hResult = EncodeDerParts(ASN_TAG_SEQUENCE, rgParts, (DWORD)std::size(rgParts), bufOut);
    TraceResult(hResult, u"ASN1Encode(SignerInfo)");
    if (FAILED(hResult))
    {
        return hResult;
    }
    *pcbEncoded = bufOut.Length();
    *ppbEncoded = bufOut.Detach();
    return S_OK;
}

HRESULT EncapsulatePKCS7(PCCERT_CONTEXT pSignCertContext, LPCSTR pszDigestOid, LPCSTR pszSignatureOid,
                         const BYTE* pbSignature, DWORD cbSignature, const BYTE* pbContent, DWORD cbContent,
                         BOOL bAttached, DWORD dwBase64Flags, BSTR* pbstrPKCS7, DWORD* pcchPKCS7)
{
    TraceHelper trace(u"EncapsulatePKCS7");
    HRESULT hResult = CheckWriterArguments(pSignCertContext, pszDigestOid, pszSignatureOid, pbSignature,
                                           cbSignature, pbContent, cbContent, bAttached, pbstrPKCS7);
    TraceResult(hResult, u"Check parameter");
    if (FAILED(hResult))
    {
        return hResult;
    }
    // The RSA signature is carried as the OCTET STRING encryptedDigest.
    CDerBuffer bufSignatureValue;
    hResult = ASN1Encode(ASN_TAG_OCTET_STRING, pbSignature, cbSignature, bufSignatureValue.Put(),
                         bufSignatureValue.PutLength());
    TraceResult(hResult, u"EncodeObject");
    if (FAILED(hResult))
    {
        return hResult;
    }
    hResult = BuildSignedData(u"EncapsulatePKCS7", g_oidsPkcs7, pSignCertContext, pszDigestOid, pszSignatureOid,
                              bufSignatureValue.Data(), bufSignatureValue.Length(), pbContent, cbContent, bAttached,
                              dwBase64Flags, pbstrPKCS7, pcchPKCS7);
    TraceResult(hResult, u"EncapsulatePKCS7");
    return hResult;
}

HRESULT SM2EncapsulatePKCS7(PCCERT_CONTEXT pSignCertContext, LPCSTR pszDigestOid, LPCSTR pszSignatureOid,
                            const BYTE* pbEncodedSignature, DWORD cbEncodedSignature, const BYTE* pbContent,
                            DWORD cbContent, BOOL bAttached, DWORD dwBase64Flags, BSTR* pbstrPKCS7,
                            DWORD* pcchPKCS7)
{
    TraceHelper trace(u"SM2EncapsulatePKCS7");
    HRESULT hResult = CheckWriterArguments(pSignCertContext, pszDigestOid, pszSignatureOid, pbEncodedSignature,
                                           cbEncodedSignature, pbContent, cbContent, bAttached, pbstrPKCS7);
    TraceResult(hResult, u"Check parameter");
    if (FAILED(hResult))
    {
        return hResult;
    }
    hResult = BuildSignedData(u"SM2EncapsulatePKCS7", g_oidsSM2, pSignCertContext, pszDigestOid, pszSignatureOid,
                              pbEncodedSignature, cbEncodedSignature, pbContent, cbContent, bAttached, dwBase64Flags,
                              pbstrPKCS7, pcchPKCS7);
    TraceResult(hResult, u"SM2EncapsulatePKCS7");
    return hResult;
}
