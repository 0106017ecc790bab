#include "CertificateKeyMatch.h"

#include <cstring>
#include <vector>

#include "CertImportHelpers.h"
#include "Pkcs10Writer.h"
#include "Trace.h"

#define SOURCE_UNIT u"ImportEncryptCert"
#define RSA1_MAGIC 0x31415352

namespace
{
bool HasAlgorithm(PCCERT_CONTEXT pCertContext, LPCSTR lpszOid)
{
    LPCSTR lpszKeyOid = pCertContext->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId;
    return lpszKeyOid && strcmp(lpszKeyOid, lpszOid) == 0;
}

DWORD DwordAt(const std::vector<BYTE>& data, size_t at)
{
    DWORD dw = 0;
    memcpy(&dw, data.data() + at, sizeof(dw));
    return dw;
}

// An RSA PUBLICKEYBLOB against the certificate's key: bit length, exponent and modulus.
bool SameRsaKey(const std::vector<BYTE>& keyBlob, PCCERT_CONTEXT pCertContext)
{
    if (!HasAlgorithm(pCertContext, szOID_RSA_RSA))
    {
        return false;
    }
    const CRYPT_BIT_BLOB& bits = pCertContext->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    DWORD cbBlob = 0;
    if (!CryptDecodeObject(X509_ASN_ENCODING, RSA_CSP_PUBLICKEYBLOB, bits.pbData, bits.cbData, 0,
                           nullptr, &cbBlob))
    {
        return false;
    }
    std::vector<BYTE> certBlob(cbBlob);
    if (!CryptDecodeObject(X509_ASN_ENCODING, RSA_CSP_PUBLICKEYBLOB, bits.pbData, bits.cbData, 0,
                           certBlob.data(), &cbBlob))
    {
        return false;
    }
    certBlob.resize(cbBlob);
    // The blob headers may name different RSA algorithms (exchange or signature); the key
    // starts after them.
    return certBlob.size() == keyBlob.size() &&
           memcmp(certBlob.data() + sizeof(BLOBHEADER), keyBlob.data() + sizeof(BLOBHEADER),
                  keyBlob.size() - sizeof(BLOBHEADER)) == 0;
}

// The token's SM2 PUBLICKEYBLOB against the certificate's EC point 04 || X || Y.
bool SameSm2Key(const std::vector<BYTE>& keyBlob, PCCERT_CONTEXT pCertContext)
{
    if (!HasAlgorithm(pCertContext, szOID_ECC_PUBLIC_KEY))
    {
        return false;
    }
    BYTE* pbPoint = nullptr;
    DWORD cbPoint = 0;
    if (FAILED(ReshapeSM2SignPublicKey(keyBlob.data(), (DWORD)keyBlob.size(), &pbPoint, &cbPoint)))
    {
        return false;
    }
    const CRYPT_BIT_BLOB& bits = pCertContext->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    bool bSame = bits.cbData == cbPoint && bits.cUnusedBits == 0 &&
                 memcmp(bits.pbData, pbPoint, cbPoint) == 0;
    delete[] pbPoint;
    return bSame;
}
} // namespace

HRESULT DecodeCertificateBytes(LPCWSTR lpwszOperation, const BYTE* pbCert, DWORD cbCert,
                               PCCERT_CONTEXT* ppCertContext)
{
    if (!IsOneDerElement(pbCert, cbCert))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"Check certificate length",
                          u"not one complete DER element", NTE_BAD_DATA);
        return NTE_BAD_DATA;
    }
    PCCERT_CONTEXT pCertContext =
        CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, pbCert, cbCert);
    if (!pCertContext)
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"CertCreateCertificateContext",
                          u"NULL == pCertContext", hResult);
        return hResult;
    }
    *ppCertContext = pCertContext;
    return S_OK;
}

HRESULT CheckDeliveredCertificate(const BYTE* pbCert, DWORD cbCert, bool bSm2)
{
    static const WCHAR s_wszName[] = u"CheckDeliveredCertificate";
    TraceHelper trace(s_wszName);
    PCCERT_CONTEXT pCertContext = nullptr;
    HRESULT hResult = DecodeCertificateBytes(s_wszName, pbCert, cbCert, &pCertContext);
    if (FAILED(hResult))
    {
        return hResult;
    }
    if (!HasAlgorithm(pCertContext, bSm2 ? szOID_ECC_PUBLIC_KEY : szOID_RSA_RSA))
    {
        hResult = E_IMPORT_ENCRYPT_CERT;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check key algorithm of certificate", u"TRUE",
                          hResult);
    }
    CertFreeCertificateContext(pCertContext);
    return hResult;
}

HRESULT CheckCertificateOfKey(HCRYPTKEY hKey, const BYTE* pbCert, DWORD cbCert)
{
    static const WCHAR s_wszName[] = u"CheckCertificateOfKey";
    TraceHelper trace(s_wszName);
    PCCERT_CONTEXT pCertContext = nullptr;
    HRESULT hResult = DecodeCertificateBytes(s_wszName, pbCert, cbCert, &pCertContext);
    if (FAILED(hResult))
    {
        return hResult;
    }
    std::vector<BYTE> keyBlob;
    DWORD cbBlob = 0;
    if (CryptExportKey(hKey, 0, PUBLICKEYBLOB, 0, nullptr, &cbBlob))
    {
        keyBlob.resize(cbBlob);
    }
    if (keyBlob.empty() || !CryptExportKey(hKey, 0, PUBLICKEYBLOB, 0, keyBlob.data(), &cbBlob))
    {
        hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptExportKey", u"FALSE == bResult", hResult);
        CertFreeCertificateContext(pCertContext);
        return hResult;
    }
    keyBlob.resize(cbBlob);
    bool bRsa = keyBlob.size() > sizeof(BLOBHEADER) + sizeof(DWORD) &&
                DwordAt(keyBlob, sizeof(BLOBHEADER)) == RSA1_MAGIC;
    bool bSame = bRsa ? SameRsaKey(keyBlob, pCertContext) : SameSm2Key(keyBlob, pCertContext);
    CertFreeCertificateContext(pCertContext);
    if (!bSame)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Compare public keys",
                          u"certificate of another key", E_IMPORT_ENCRYPT_CERT);
        return E_IMPORT_ENCRYPT_CERT;
    }
    return S_OK;
}
