#include "Pkcs7Writer.h"

#include <cstring>
#include <iterator>
#include <new>

#include "ByteBuffer.h"
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

// Tag and definite length octets of an element whose value is cbValue bytes long.
struct DER_HEADER
{
    BYTE rgb[8];
    DWORD cb;
};

HRESULT MakeHeader(BYTE bTag, unsigned long long cbValue, DER_HEADER& header)
{
    if (cbValue > 0xFFFFFFFFULL)
    {
        return E_OUTOFMEMORY;
    }
    BYTE* pbLength = nullptr;
    DWORD cbLength = 0;
    HRESULT hResult = CalculateASNValueLength((DWORD)cbValue, &pbLength, &cbLength);
    if (FAILED(hResult))
    {
        return hResult;
    }
    header.rgb[0] = bTag;
    memcpy(header.rgb + 1, pbLength, cbLength);
    header.cb = 1 + cbLength;
    delete[] pbLength;
    return S_OK;
}

// Both writers share one layout; they differ in the content-type OIDs and the signature value.
// The content is the one large part: the elements around it get their headers computed from
// the known lengths, so it is copied once, into the finished message.
HRESULT BuildSignedData(LPCWSTR lpwszOperation, const CONTENT_TYPE_OIDS& oids, PCCERT_CONTEXT pSignCertContext,
                        LPCSTR pszDigestOid, LPCSTR pszSignatureOid, const BYTE* pbSignatureValue,
                        DWORD cbSignatureValue, const BYTE* pbContent, DWORD cbContent, BOOL bAttached,
                        DWORD dwBase64Flags, BSTR* pbstrPKCS7, DWORD* pcchPKCS7)
{
    HRESULT hResult;
    CByteBuffer bufDigestAlgorithm;
    hResult = SM2EncodeOID(pszDigestOid, bufDigestAlgorithm.Put(), bufDigestAlgorithm.PutLength());
    TraceResult(hResult, u"EncodeObject-PKCS_ATTRIBUTE");
    if (FAILED(hResult))
    {
        return hResult;
    }

    CByteBuffer bufDigestAlgorithms;
    hResult = ASN1Encode(ASN_TAG_SET, bufDigestAlgorithm.Data(), bufDigestAlgorithm.Length(),
                         bufDigestAlgorithms.Put(), bufDigestAlgorithms.PutLength());
    TraceResult(hResult, u"ASN1Encode(digestAlgorithms SET)");
    if (FAILED(hResult))
    {
        return hResult;
    }

    // Inner ContentInfo: 30 { OID data [, A0 { 04 { content } }] }.
    CByteBuffer bufDataOid;
    hResult = EncodeObjectIdentifier(oids.pszData, bufDataOid.Put(), bufDataOid.PutLength());
    DER_HEADER hdrOctetString = {};
    DER_HEADER hdrExplicitContent = {};
    unsigned long long cbInner = bufDataOid.Length();
    if (SUCCEEDED(hResult) && bAttached)
    {
        hResult = MakeHeader(ASN_TAG_OCTET_STRING, cbContent, hdrOctetString);
        if (SUCCEEDED(hResult))
        {
            hResult = MakeHeader(ASN_TAG_CONTEXT_0_CONSTRUCTED, (unsigned long long)hdrOctetString.cb + cbContent,
                                 hdrExplicitContent);
            cbInner += (unsigned long long)hdrExplicitContent.cb + hdrOctetString.cb + cbContent;
        }
    }
    DER_HEADER hdrInner = {};
    if (SUCCEEDED(hResult))
    {
        hResult = MakeHeader(ASN_TAG_SEQUENCE, cbInner, hdrInner);
    }
    TraceResult(hResult, u"EncodeObject");
    if (FAILED(hResult))
    {
        return hResult;
    }

    CByteBuffer bufCertificates;
    hResult = ASN1Encode(ASN_TAG_CONTEXT_0_CONSTRUCTED, pSignCertContext->pbCertEncoded,
                         pSignCertContext->cbCertEncoded, bufCertificates.Put(), bufCertificates.PutLength());
    TraceResult(hResult, u"ASN1Encode(certificates CONTENT)");
    if (FAILED(hResult))
    {
        return hResult;
    }

    CByteBuffer bufSignerInfo;
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

    CByteBuffer bufSignerInfos;
    hResult = ASN1Encode(ASN_TAG_SET, bufSignerInfo.Data(), bufSignerInfo.Length(), bufSignerInfos.Put(),
                         bufSignerInfos.PutLength());
    TraceResult(hResult, u"ASN1Encode(SignerInfo SET)");
    if (FAILED(hResult))
    {
        return hResult;
    }

    // SignedData: 30 { 02 01 01, digestAlgorithms, inner ContentInfo, certificates, signerInfos }.
    unsigned long long cbSignedData = sizeof(g_rgbVersion1) + bufDigestAlgorithms.Length() + hdrInner.cb + cbInner +
                                      bufCertificates.Length() + bufSignerInfos.Length();
    DER_HEADER hdrSignedData = {};
    hResult = MakeHeader(ASN_TAG_SEQUENCE, cbSignedData, hdrSignedData);
    TraceResult(hResult, u"ASN1Encode(All data SEQUENCE)");
    if (FAILED(hResult))
    {
        return hResult;
    }

    // Outer ContentInfo: 30 { OID signedData, A0 { SignedData } }.
    CByteBuffer bufSignedDataOid;
    hResult = EncodeObjectIdentifier(oids.pszSignedData, bufSignedDataOid.Put(), bufSignedDataOid.PutLength());
    DER_HEADER hdrExplicitSignedData = {};
    DER_HEADER hdrOuter = {};
    unsigned long long cbOuter = 0;
    if (SUCCEEDED(hResult))
    {
        hResult = MakeHeader(ASN_TAG_CONTEXT_0_CONSTRUCTED, hdrSignedData.cb + cbSignedData, hdrExplicitSignedData);
    }
    if (SUCCEEDED(hResult))
    {
        cbOuter = bufSignedDataOid.Length() + hdrExplicitSignedData.cb + hdrSignedData.cb + cbSignedData;
        hResult = MakeHeader(ASN_TAG_SEQUENCE, cbOuter, hdrOuter);
    }
    TraceResult(hResult, u"EncodeObject");
    if (FAILED(hResult))
    {
        return hResult;
    }

    unsigned long long cbMessage = hdrOuter.cb + cbOuter;
    if (cbMessage > 0xFFFFFFFFULL)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }
    // The message goes to Base64 as its parts: the content is read in place, never copied
    // into a joined message.
    BYTE_PART rgParts[16];
    DWORD cParts = 0;
    auto fnPut = [&](const BYTE* pb, DWORD cb) { rgParts[cParts++] = {pb, cb}; };
    fnPut(hdrOuter.rgb, hdrOuter.cb);
    fnPut(bufSignedDataOid.Data(), bufSignedDataOid.Length());
    fnPut(hdrExplicitSignedData.rgb, hdrExplicitSignedData.cb);
    fnPut(hdrSignedData.rgb, hdrSignedData.cb);
    fnPut(g_rgbVersion1, sizeof(g_rgbVersion1));
    fnPut(bufDigestAlgorithms.Data(), bufDigestAlgorithms.Length());
    fnPut(hdrInner.rgb, hdrInner.cb);
    fnPut(bufDataOid.Data(), bufDataOid.Length());
    if (bAttached)
    {
        fnPut(hdrExplicitContent.rgb, hdrExplicitContent.cb);
        fnPut(hdrOctetString.rgb, hdrOctetString.cb);
        fnPut(pbContent, cbContent);
    }
    fnPut(bufCertificates.Data(), bufCertificates.Length());
    fnPut(bufSignerInfos.Data(), bufSignerInfos.Length());
    unsigned long long cbParts = 0;
    for (DWORD i = 0; i < cParts; ++i)
    {
        cbParts += rgParts[i].cbData;
    }

    hResult = cbParts == cbMessage ? S_OK : E_FAIL;
    if (SUCCEEDED(hResult))
    {
        hResult = Base64EncodePartsToBstr(dwBase64Flags, rgParts, cParts, pbstrPKCS7, pcchPKCS7);
        TraceResult(hResult, u"Base64EncodeEx");
    }
    QM_TRACE_INFO(lpwszOperation, (DWORD)cbMessage);
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
    CByteBuffer bufOid;
    HRESULT hResult = EncodeObjectIdentifier(pszOid, bufOid.Put(), bufOid.PutLength());
    TraceResult(hResult, u"EncodeObjectIdentifier");
    if (FAILED(hResult))
    {
        return hResult;
    }
    BYTE_PART rgParts[] = {{bufOid.Data(), bufOid.Length()}, {g_rgbNull, sizeof(g_rgbNull)}};
    CByteBuffer bufOut;
    hResult = EncodeParts(ASN_TAG_SEQUENCE, rgParts, 2, bufOut.Put(), bufOut.PutLength());
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
    CByteBuffer bufSerial;
    HRESULT hResult = ASN1Encode(ASN_TAG_INTEGER, pbSerial, cbSerial, bufSerial.Put(), bufSerial.PutLength());
    delete[] pbSerial;
    TraceResult(hResult, u"ASN1Encode(SerialNumber)");
    if (FAILED(hResult))
    {
        return hResult;
    }

    CByteBuffer bufIssuerAndSerial;
    {
        BYTE_PART rgParts[] = {{pSignerInfo->Issuer.pbData, pSignerInfo->Issuer.cbData},
                              {bufSerial.Data(), bufSerial.Length()}};
        hResult = EncodeParts(ASN_TAG_SEQUENCE, rgParts, 2, bufIssuerAndSerial.Put(), bufIssuerAndSerial.PutLength());
        TraceResult(hResult, u"ASN1Encode(CertInfo)");
        if (FAILED(hResult))
        {
            return hResult;
        }
    }

    CByteBuffer bufDigestAlgorithm;
    hResult = SM2EncodeOID(pSignerInfo->pszDigestOid, bufDigestAlgorithm.Put(), bufDigestAlgorithm.PutLength());
    TraceResult(hResult, u"SM2EncodeOID(HashAlgorithm)");
    if (FAILED(hResult))
    {
        return hResult;
    }
    CByteBuffer bufSignatureAlgorithm;
    hResult = SM2EncodeOID(pSignerInfo->pszSignatureOid, bufSignatureAlgorithm.Put(),
                           bufSignatureAlgorithm.PutLength());
    TraceResult(hResult, u"SM2EncodeOID(HashEncryptionAlgorithm)");
    if (FAILED(hResult))
    {
        return hResult;
    }

    const BYTE rgbVersion[] = {ASN_TAG_INTEGER, 0x01, (BYTE)pSignerInfo->dwVersion};
    BYTE_PART rgParts[] = {{rgbVersion, sizeof(rgbVersion)},
                          {bufIssuerAndSerial.Data(), bufIssuerAndSerial.Length()},
                          {bufDigestAlgorithm.Data(), bufDigestAlgorithm.Length()},
                          {bufSignatureAlgorithm.Data(), bufSignatureAlgorithm.Length()},
                          {pSignerInfo->EncodedSignature.pbData, pSignerInfo->EncodedSignature.cbData}};
    CByteBuffer bufOut;
    hResult = EncodeParts(ASN_TAG_SEQUENCE, rgParts, (DWORD)std::size(rgParts), bufOut.Put(), bufOut.PutLength());
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
    CByteBuffer bufSignatureValue;
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
