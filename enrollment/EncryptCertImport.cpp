// The choice of road, and the envelope road that the token's CSP opens.
#include "EncryptCertImport.h"

#include <cstring>

#include "CertImportHelpers.h"
#include "CertificateKeyMatch.h"
#include "DerEncoding.h"
#include "KeyPairDelivery.h"
#include "Pkcs10Compose.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"ImportEncryptCert"

namespace
{
void PutDword(BYTE* pb, DWORD dwValue)
{
    memcpy(pb, &dwValue, sizeof(dwValue));
}

void PutAddress(BYTE* pb, const void* pv)
{
    ULONG_PTR ulAddress = (ULONG_PTR)pv;
    memcpy(pb, &ulAddress, sizeof(ulAddress));
}

bool IsRsaAlgorithm(const std::u16string& wstrKeyAlgorithm)
{
    return _wcsicmp(wstrKeyAlgorithm.c_str(), u"RSA") == 0;
}

// The blob header that both vendor blobs start with: PRIVATEKEYBLOB, version 2, reserved 1.
void PutVendorBlobHeader(BYTE* pbBlob, ALG_ID algKey)
{
    pbBlob[0] = PRIVATEKEYBLOB;
    pbBlob[1] = CUR_BLOB_VERSION;
    pbBlob[2] = 1;
    pbBlob[3] = 0;
    PutDword(pbBlob + 4, algKey);
    PutDword(pbBlob + 8, algKey);
}

// The token opens the envelope itself, so the delivered key's public part is known only once
// it is in: a certificate for another key is not bound to it.
HRESULT BindCertificateToImportedKey(LPCWSTR lpwszOperation, HCRYPTKEY hKey, const BYTE* pbCert,
                                     DWORD cbCert, LPCWSTR lpwszSetStep, LPCWSTR lpwszSetReason)
{
    HRESULT hResult = CheckCertificateOfKey(hKey, pbCert, cbCert);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"CheckCertificateOfKey", u"FAILED(hResult)",
                          hResult);
        return hResult;
    }
    if (!SetKeyCertificate(hKey, pbCert, cbCert))
    {
        hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, lpwszSetStep, lpwszSetReason, hResult);
        return hResult;
    }
    return S_OK;
}
} // namespace

HRESULT ImportEncryptCertEx(const std::u16string& wstrEncryptedPrivateKeyData, const std::u16string& wstrEncryptPublicCert,
                            const std::u16string& wstrCSPName, const std::u16string& wstrContainerName,
                            const std::u16string& wstrKeyAlgorithm, LONG lKeyLength, LONG lImportFlags)
{
    static const WCHAR s_wszName[] = u"ImportEncryptCertEx";
    TraceHelper trace(s_wszName);
    if (wstrEncryptedPrivateKeyData.empty() || wstrEncryptPublicCert.empty() || wstrCSPName.empty() ||
        wstrContainerName.empty() || wstrKeyAlgorithm.empty())
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Invalid parameter.",
                          u"(wstrEncryptedPrivateKeyData == L\"\" || wstrEncryptePublicCert == L\"\" || wstrCSPName == "
                          u"L\"\" || wstrContainerName == L\"\" || wstrKeyAlgorithm == L\"\")",
                          E_INVALIDARG);
        return E_INVALIDARG;
    }
    HRESULT hResult = S_OK;
    if (IsRsaAlgorithm(wstrKeyAlgorithm) && (ContainsText(wstrCSPName, u"Microsoft") || lKeyLength == 1024))
    {
        hResult = ImportEncryptCert(wstrEncryptedPrivateKeyData, wstrEncryptPublicCert, wstrCSPName, wstrContainerName,
                                    wstrKeyAlgorithm, lKeyLength, lImportFlags);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ImportEncryptCertEx-ImportEncryptCert", u"FAILED(hResult)",
                              hResult);
        }
    }
    else
    {
        hResult = ImportEncryptCertByEncryptedFormat(wstrEncryptedPrivateKeyData, wstrEncryptPublicCert, wstrCSPName,
                                                     wstrContainerName, wstrKeyAlgorithm, lKeyLength, lImportFlags);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ImportEncryptCertByEncryptedFormat", u"FAILED(hResult)",
                              hResult);
        }
    }
    return hResult;
}

HRESULT ImportEncryptCertByEncryptedFormat(const std::u16string& wstrEncryptedPrivateKeyData,
                                           const std::u16string& wstrEncryptPublicCert,
                                           const std::u16string& wstrCSPName,
                                           const std::u16string& wstrContainerName,
                                           const std::u16string& wstrKeyAlgorithm, LONG lKeyLength,
                                           LONG lImportFlags)
{
    static const WCHAR s_wszName[] = u"ImportEncryptCertByEncryptedFormat";
    TraceHelper trace(s_wszName);
    if (wstrEncryptedPrivateKeyData.empty() || wstrEncryptPublicCert.empty() || wstrCSPName.empty() ||
        wstrContainerName.empty() || wstrKeyAlgorithm.empty())
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Invalid parameter.",
                          u"(wstrEncryptedPrivateKeyData == L\"\" || wstrEncryptPublicCert == L\"\" || wstrCSPName == "
                          u"L\"\" || wstrContainerName == L\"\" || wstrKeyAlgorithm == L\"\")",
                          E_INVALIDARG);
        return E_INVALIDARG;
    }
    HRESULT hResult = S_OK;
    BYTE* pbCert = nullptr;
    DWORD cbCert = 0;
    BYTE* pbSessionKey = nullptr;
    DWORD cbSessionKey = 0;
    ALG_ID algSession = 0;
    BYTE* pbPrivateKey = nullptr;
    DWORD cbPrivateKey = 0;
    HCRYPTPROV hCryptProv = 0;
    std::u16string wstrCert(wstrEncryptPublicCert);
    do
    {
        hResult = ParseEncryptCertPublicKeyCert(wstrCert, &pbCert, &cbCert);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ParseEncryptCertPublicKeyCert", u"FAILED(hResult)", hResult);
            break;
        }
        hResult = ParseEncryptCertPrivateKeyDataEx(wstrEncryptedPrivateKeyData, &pbSessionKey, &cbSessionKey,
                                                   &algSession, &pbPrivateKey, &cbPrivateKey);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ParseEncryptCertPrivateKeyDataEx", u"FAILED(hResult)",
                              hResult);
            break;
        }
        // A text that is no certificate for this algorithm ends the road before the CSP opens
        // the envelope and replaces the temporary key.
        hResult = CheckDeliveredCertificate(pbCert, cbCert, !IsRsaAlgorithm(wstrKeyAlgorithm));
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CheckDeliveredCertificate",
                              u"FAILED(hResult)", hResult);
            break;
        }
        hResult = GetCSPHandleofTempPublickey(wstrCSPName, wstrContainerName, wstrKeyAlgorithm, &hCryptProv);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"GetCSPHandleofTempPublickey", u"FAILED(hResult)", hResult);
            break;
        }
        if (IsRsaAlgorithm(wstrKeyAlgorithm))
        {
            hResult = ImportEncryptCertEx_RSA(pbCert, cbCert, pbPrivateKey, cbPrivateKey, pbSessionKey, cbSessionKey,
                                              hCryptProv, lKeyLength, lImportFlags);
            if (FAILED(hResult))
            {
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ImportEncryptCertEx_RSA", u"FAILED(hResult)", hResult);
            }
            break;
        }

        // The authority may have written C1C3C2 or C1C2C3; the CSP takes one of them.
        hResult = ImportEncryptCertEx_SM2(pbCert, cbCert, pbPrivateKey, cbPrivateKey, hCryptProv, lImportFlags);
        if (SUCCEEDED(hResult) || hResult == E_IMPORT_ENCRYPT_CERT)
        {
            break; // E_IMPORT_ENCRYPT_CERT: the key went in; the temporary key that another order
                   // needs is gone
        }
        BYTE* pbReordered = nullptr;
        hResult = ConvertC1C3C2ToC1C2C3(pbPrivateKey, cbPrivateKey, &pbReordered);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ConvertC1C3C2ToC1C2C3", u"FAILED(hResult)", hResult);
            break;
        }
        hResult = ImportEncryptCertEx_SM2(pbCert, cbCert, pbReordered, cbPrivateKey, hCryptProv, lImportFlags);
        delete[] pbReordered;
        if (SUCCEEDED(hResult) || hResult == E_IMPORT_ENCRYPT_CERT)
        {
            break;
        }
        pbReordered = nullptr;
        hResult = ConvertC1C2C3ToC1C3C2(pbPrivateKey, cbPrivateKey, &pbReordered);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ConvertC1C2C3ToC1C3C2", u"FAILED(hResult)", hResult);
            break;
        }
        hResult = ImportEncryptCertEx_SM2(pbCert, cbCert, pbReordered, cbPrivateKey, hCryptProv, lImportFlags);
        delete[] pbReordered;
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ImportEncryptCertEx_SM2", u"FAILED(hResult)", hResult);
        }
    } while (false);

    if (hCryptProv)
    {
        CryptReleaseContext(hCryptProv, 0);
    }
    delete[] pbCert;
    delete[] pbSessionKey;
    delete[] pbPrivateKey;
    return hResult;
}

HRESULT GetCSPHandleofTempPublickey(const std::u16string& wstrCSPName, const std::u16string& wstrContainerName,
                                    const std::u16string& wstrKeyAlgorithm, HCRYPTPROV* phCryptProv)
{
    static const WCHAR s_wszName[] = u"GetCSPHandleofTempPublickey";
    TraceHelper trace(s_wszName);
    HCRYPTPROV hCryptProv = 0;
    if (IsRsaAlgorithm(wstrKeyAlgorithm))
    {
        if (!CryptAcquireContextW(&hCryptProv, wstrContainerName.c_str(), wstrCSPName.c_str(), PROV_RSA_FULL, 0))
        {
            HRESULT hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"RSA CryptAcquireContext", u"FALSE == bResult", hResult);
            return hResult;
        }
    }
    else if (!CryptAcquireContextW(&hCryptProv, wstrContainerName.c_str(), wstrCSPName.c_str(), PROV_RSA_FULL,
                                   CRYPT_VERIFYCONTEXT))
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SM2 CryptAcquireContext", u"FALSE == bResult", hResult);
        return hResult;
    }
    *phCryptProv = hCryptProv;
    return S_OK;
}

HRESULT ImportEncryptCertEx_RSA(const BYTE* pbCert, DWORD cbCert, const BYTE* pbEncryptedPrivateKey,
                                DWORD cbEncryptedPrivateKey, const BYTE* pbEncryptedSessionKey,
                                DWORD cbEncryptedSessionKey, HCRYPTPROV hCryptProv, LONG lKeyLength,
                                LONG lImportFlags)
{
    static const WCHAR s_wszName[] = u"ImportEncryptCertEx_RSA";
    TraceHelper trace(s_wszName);
    if (hCryptProv == 0)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Invalid parameter.", u"hCryptProv == NULL", E_INVALIDARG);
        return E_INVALIDARG;
    }
    // Without a session key (type 0) no envelope the CSP could open can be built.
    if (!pbEncryptedSessionKey || cbEncryptedSessionKey == 0)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check session key", u"NULL == pbEncryptedSessionKey",
                          E_IMPORT_ENCRYPT_CERT);
        return E_IMPORT_ENCRYPT_CERT;
    }
    BYTE* pbEnvelope = nullptr;
    DWORD cbEnvelope = 0;
    HRESULT hResult = ComposeRSAEVPPrivateKey(pbEncryptedSessionKey, cbEncryptedSessionKey, pbEncryptedPrivateKey,
                                              cbEncryptedPrivateKey, &pbEnvelope, &cbEnvelope);
    if (FAILED(hResult))
    {
        return hResult;
    }
    BYTE* pbBlob = NewZeroedArray<BYTE>(RSA_ENVELOPE_BLOB_SIZE);
    if (!pbBlob)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"New buffer", u"!pbEncryptedPrivateKeyBlob", E_OUTOFMEMORY);
        delete[] pbEnvelope;
        return E_OUTOFMEMORY;
    }
    PutVendorBlobHeader(pbBlob, CALG_RSA_KEYX);
    PutDword(pbBlob + 12, (DWORD)lKeyLength);
    PutDword(pbBlob + 16, cbEnvelope * 8);
    PutAddress(pbBlob + RSA_ENVELOPE_BLOB_HEADER, pbEnvelope);

    HCRYPTKEY hKey = 0;
    do
    {
        if (!CryptImportKey(hCryptProv, pbBlob, RSA_ENVELOPE_BLOB_SIZE, 0, (DWORD)lImportFlags, &hKey))
        {
            hKey = 0;
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ImportEncryptCertEx_RSA non-microsoft's CSP: CryptImportKey",
                              u"FALSE == bResult", hResult);
            break;
        }
        hResult = BindCertificateToImportedKey(
            s_wszName, hKey, pbCert, cbCert,
            u"ImportEncryptCertEx_RSA non-microsoft's CSP: CryptSetKeyParam", u"FALSE == bResult");
        if (FAILED(hResult))
        {
            break;
        }
        TraceStepSucceeded(s_wszName, u"ImportEncryptCertEx_RSA non-microsoft's CSP: CryptSetKeyParam");
    } while (false);
    if (hKey)
    {
        CryptDestroyKey(hKey);
    }
    delete[] pbBlob;
    delete[] pbEnvelope;
    return hResult;
}

HRESULT ComposeObjectIdentifier(LPCSTR lpszOid, BYTE** ppbOid, DWORD* pcbOid)
{
    static const WCHAR s_wszName[] = u"ComposeObjectIdentifier";
    TraceHelper trace(s_wszName);
    CByteBuffer attribute;
    HRESULT hResult = ComposeSpecialAttribute(lpszOid, nullptr, 0, attribute.Put(), attribute.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ComposeSpecialAttribute", u"FAILED(hResult)", hResult);
        return hResult;
    }
    // SEQUENCE header (2 bytes) and NULL (05 00) off; the OID's TLV stays.
    if (attribute.Length() < 6 || attribute.Data()[0] != ASN_TAG_SEQUENCE || attribute.Data()[1] >= 0x80)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check attribute", u"TRUE", E_IMPORT_ENCRYPT_CERT);
        return E_IMPORT_ENCRYPT_CERT;
    }
    DWORD cbOid = attribute.Length() - 4;
    BYTE* pbOid = NewZeroedArray<BYTE>(cbOid);
    if (!pbOid)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"New buffer", u"!pbOid", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    memcpy(pbOid, attribute.Data() + 2, cbOid);
    *ppbOid = pbOid;
    *pcbOid = cbOid;
    return S_OK;
}

HRESULT ComposeRSAEVPPrivateKey(const BYTE* pbEncryptedSessionKey, DWORD cbEncryptedSessionKey,
                                const BYTE* pbEncryptedPrivateKey, DWORD cbEncryptedPrivateKey, BYTE** ppbEnvelope,
                                DWORD* pcbEnvelope)
{
    static const WCHAR s_wszName[] = u"ComposeRSAEVPPrivateKey";
    TraceHelper trace(s_wszName);
    static const BYTE s_rgbVersion[] = {0x02, 0x01, 0x01};
    CByteBuffer asymAlg, symAlg, sessionKey, privateKey;
    HRESULT hResult = ComposeObjectIdentifier(OID_RSA_ENCRYPTION, asymAlg.Put(), asymAlg.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ComposeObjectIdentifier -- AsymAlgID", u"FAILED(hResult)", hResult);
        return hResult;
    }
    hResult = ComposeObjectIdentifier(OID_DES_EDE3_ECB, symAlg.Put(), symAlg.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ComposeObjectIdentifier -- SymAlgID", u"FAILED(hResult)", hResult);
        return hResult;
    }
    hResult = ComposeAnyString(cbEncryptedSessionKey, CERT_RDN_OCTET_STRING, pbEncryptedSessionKey, sessionKey.Put(),
                               sessionKey.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ComposeAnyString -- pbEncryptedSessionKey", u"FAILED(hResult)",
                          hResult);
        return hResult;
    }
    hResult = ComposeAnyString(cbEncryptedPrivateKey, CERT_RDN_OCTET_STRING, pbEncryptedPrivateKey, privateKey.Put(),
                               privateKey.PutLength());
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ComposeAnyString -- pbEncryptedPrivateKey", u"FAILED(hResult)",
                          hResult);
        return hResult;
    }
    const BYTE_PART rgParts[] = {
        {s_rgbVersion, sizeof(s_rgbVersion)},      {asymAlg.Data(), asymAlg.Length()},
        {symAlg.Data(), symAlg.Length()},          {sessionKey.Data(), sessionKey.Length()},
        {privateKey.Data(), privateKey.Length()},
    };
    unsigned long long ullTotal = 0;
    for (const BYTE_PART& part : rgParts)
    {
        ullTotal += part.cbData;
    }
    BYTE* pTempTotal = NewZeroedArray<BYTE>(ullTotal);
    if (!pTempTotal)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"New buffer", u"!pTempTotal", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    DWORD cbAt = 0;
    for (const BYTE_PART& part : rgParts)
    {
        memcpy(pTempTotal + cbAt, part.pbData, part.cbData);
        cbAt += part.cbData;
    }
    hResult = ASN1Encode(ASN_TAG_SEQUENCE, pTempTotal, cbAt, ppbEnvelope, pcbEnvelope);
    delete[] pTempTotal;
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ASN1Encode", u"FAILED(hResult)", hResult);
    }
    return hResult;
}

HRESULT ImportEncryptCertEx_SM2(const BYTE* pbCert, DWORD cbCert, const BYTE* pbCiphertext, DWORD cbCiphertext,
                                HCRYPTPROV hCryptProv, LONG lImportFlags)
{
    static const WCHAR s_wszName[] = u"ImportEncryptCertEx_SM2";
    TraceHelper trace(s_wszName);
    BYTE* pbyEncryptedPrivateKeyBlob = NewZeroedArray<BYTE>(SM2_ENVELOPE_BLOB_SIZE);
    if (!pbyEncryptedPrivateKeyBlob)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"New buffer", u"!pbyEncryptedPrivateKeyBlob", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    PutVendorBlobHeader(pbyEncryptedPrivateKeyBlob, CALG_SM2_KEYX);
    PutDword(pbyEncryptedPrivateKeyBlob + 12, cbCiphertext * 8);
    PutAddress(pbyEncryptedPrivateKeyBlob + SM2_ENVELOPE_BLOB_HEADER, pbCiphertext);

    HRESULT hResult = S_OK;
    HCRYPTKEY hKey = 0;
    do
    {
        if (!CryptImportKey(hCryptProv, pbyEncryptedPrivateKeyBlob, SM2_ENVELOPE_BLOB_SIZE, 0, (DWORD)lImportFlags,
                            &hKey))
        {
            hKey = 0;
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptImportKey", u"!bResult", hResult);
            break;
        }
        hResult = BindCertificateToImportedKey(s_wszName, hKey, pbCert, cbCert, u"CryptSetKeyParam",
                                               u"!bResult");
        if (FAILED(hResult))
        {
            break;
        }
        TraceStepSucceeded(s_wszName, u"CryptSetKeyParam");
    } while (false);
    if (hKey)
    {
        CryptDestroyKey(hKey);
    }
    delete[] pbyEncryptedPrivateKeyBlob;
    return hResult;
}

namespace
{
// A checked SM2 ciphertext and a zeroed buffer of its length (one spare byte) for its other
// part order; the labels are the caller's.
HRESULT NewReorderedCiphertext(LPCWSTR lpwszOperation, LPCWSTR lpwszBufferReason, const BYTE* pbCiphertext,
                               DWORD cbCiphertext, BYTE** ppbOut)
{
    if (!pbCiphertext || cbCiphertext < SM2_C1_SIZE + SM2_C3_SIZE)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"Check ciphertext length", u"cbCiphertext < 96",
                          E_IMPORT_ENCRYPT_CERT);
        return E_IMPORT_ENCRYPT_CERT;
    }
    *ppbOut = NewZeroedArray<BYTE>((unsigned long long)cbCiphertext + 1);
    if (!*ppbOut)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"New buffer", lpwszBufferReason, E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
} // namespace

HRESULT ConvertC1C3C2ToC1C2C3(const BYTE* pbCiphertext, DWORD cbCiphertext, BYTE** ppbOut)
{
    static const WCHAR s_wszName[] = u"ConvertC1C3C2ToC1C2C3";
    TraceHelper trace(s_wszName);
    BYTE* pbyC1C2C3 = nullptr;
    HRESULT hResult = NewReorderedCiphertext(s_wszName, u"!pbyC1C2C3", pbCiphertext, cbCiphertext, &pbyC1C2C3);
    if (FAILED(hResult))
    {
        return hResult;
    }
    DWORD cbC2 = cbCiphertext - SM2_C1_SIZE - SM2_C3_SIZE;
    memcpy(pbyC1C2C3, pbCiphertext, SM2_C1_SIZE);
    memcpy(pbyC1C2C3 + SM2_C1_SIZE, pbCiphertext + SM2_C1_SIZE + SM2_C3_SIZE, cbC2);
    memcpy(pbyC1C2C3 + cbCiphertext - SM2_C3_SIZE, pbCiphertext + SM2_C1_SIZE, SM2_C3_SIZE);
    *ppbOut = pbyC1C2C3;
    return S_OK;
}

HRESULT ConvertC1C2C3ToC1C3C2(const BYTE* pbCiphertext, DWORD cbCiphertext, BYTE** ppbOut)
{
    static const WCHAR s_wszName[] = u"ConvertC1C2C3ToC1C3C2";
    TraceHelper trace(s_wszName);
    BYTE* pbyC1C3C2 = nullptr;
    HRESULT hResult = NewReorderedCiphertext(s_wszName, u"!pbyC1C3C2", pbCiphertext, cbCiphertext, &pbyC1C3C2);
    if (FAILED(hResult))
    {
        return hResult;
    }
    DWORD cbC2 = cbCiphertext - SM2_C1_SIZE - SM2_C3_SIZE;
    memcpy(pbyC1C3C2, pbCiphertext, SM2_C1_SIZE);
    memcpy(pbyC1C3C2 + SM2_C1_SIZE, pbCiphertext + cbCiphertext - SM2_C3_SIZE, SM2_C3_SIZE);
    memcpy(pbyC1C3C2 + SM2_C1_SIZE + SM2_C3_SIZE, pbCiphertext + SM2_C1_SIZE, cbC2);
    *ppbOut = pbyC1C3C2;
    return S_OK;
}
