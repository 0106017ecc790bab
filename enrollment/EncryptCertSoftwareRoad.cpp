// The software road: the plug-in opens the session key with the request's exchange key,
// decrypts the private key itself and imports it as a plain key blob.
#include <cstring>
#include <vector>

#include "Asn1TlvParser.h"
#include "CertImportHelpers.h"
#include "CertificateKeyMatch.h"
#include "EncryptCertImport.h"
#include "HexEncoding.h"
#include "KeyPairDelivery.h"
#include "Misc.h"
#include "PersonalStoreEntries.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"ImportEncryptCert"
#define SCRATCH_CSP_NAME u"Microsoft Enhanced Cryptographic Provider v1.0"
#define RSA2_MAGIC 0x32415352
#define RSA_PUBLIC_EXPONENT 65537

namespace
{
DWORD GetDwordAt(const BYTE* pb)
{
    DWORD dw = 0;
    memcpy(&dw, pb, sizeof(dw));
    return dw;
}

void PutDwordAt(BYTE* pb, DWORD dw)
{
    memcpy(pb, &dw, sizeof(dw));
}

// A blob number of cbField bytes set to the value 1 (least significant byte first).
void SetToOne(BYTE* pb, DWORD cbField)
{
    memset(pb, 0, cbField);
    pb[0] = 1;
}

// The public exponent (child 2) of a PKCS#1 RSAPrivateKey when it fits in 32 bits, else 0.
DWORD ReadPublicExponent(const BYTE* pbPrivateKey, DWORD cbPrivateKey)
{
    ASN1Node* pRoot = nullptr;
    DWORD dwExponent = 0;
    if (DecodeASN1Memory(&pRoot, pbPrivateKey, cbPrivateKey) == S_OK && pRoot->vtrChildren.size() >= 3)
    {
        const ASN1Node* pNode = pRoot->vtrChildren[2];
        DWORD cb = pNode->dwValueLength;
        const BYTE* pb = pNode->Value();
        if (cb != ASN1_INDEFINITE_LENGTH && pNode->ullValueOffset + cb <= cbPrivateKey)
        {
            while (cb > 0 && pb[0] == 0)
            {
                ++pb;
                --cb;
            }
            if (cb > 0 && cb <= 4)
            {
                for (DWORD i = 0; i < cb; ++i)
                {
                    dwExponent = (dwExponent << 8) | pb[i];
                }
            }
        }
    }
    delete pRoot;
    return dwExponent;
}

// The delivered key tried in a context without containers: it must import, carry the
// certificate's public key and open what that key encrypts.
HRESULT CheckDeliveredPrivateKey(const BYTE* pbBlob, DWORD cbBlob, const BYTE* pbCert, DWORD cbCert)
{
    static const WCHAR s_wszName[] = u"CheckDeliveredPrivateKey";
    HRESULT hResult = CheckDeliveredCertificate(pbCert, cbCert, false);
    if (FAILED(hResult))
    {
        return hResult;
    }
    HCRYPTPROV hVerify = 0;
    if (!CryptAcquireContextW(&hVerify, nullptr, SCRATCH_CSP_NAME, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT))
    {
        hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptAcquireContext", u"FALSE == bResult",
                          hResult);
        return hResult;
    }
    HCRYPTKEY hKey = 0;
    do
    {
        if (!CryptImportKey(hVerify, pbBlob, cbBlob, 0, 0, &hKey))
        {
            hKey = 0;
            hResult = E_IMPORT_ENCRYPT_CERT;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptImportKey", u"FALSE == bResult",
                              hResult);
            break;
        }
        hResult = CheckCertificateOfKey(hKey, pbCert, cbCert);
        if (FAILED(hResult))
        {
            break;
        }
        // A key whose private numbers do not fit its public ones would open nothing later.
        BYTE rgbProbe[16] = {};
        std::vector<BYTE> vtrCipher(cbBlob);
        DWORD cbData = sizeof(rgbProbe);
        if (!CryptGenRandom(hVerify, sizeof(rgbProbe), rgbProbe))
        {
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptGenRandom", u"FALSE == bResult",
                              hResult);
            break;
        }
        memcpy(vtrCipher.data(), rgbProbe, sizeof(rgbProbe));
        if (!CryptEncrypt(hKey, 0, TRUE, 0, vtrCipher.data(), &cbData, (DWORD)vtrCipher.size()) ||
            !CryptDecrypt(hKey, 0, TRUE, 0, vtrCipher.data(), &cbData) ||
            cbData != sizeof(rgbProbe) || memcmp(vtrCipher.data(), rgbProbe, sizeof(rgbProbe)) != 0)
        {
            hResult = E_IMPORT_ENCRYPT_CERT;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Decrypt probe", u"TRUE", hResult);
        }
    } while (false);
    if (hKey)
    {
        CryptDestroyKey(hKey);
    }
    CryptReleaseContext(hVerify, 0);
    return hResult;
}
} // namespace

HRESULT ImportEncryptCert(const std::u16string& wstrEncryptedPrivateKeyData, const std::u16string& wstrEncryptPublicCert,
                          const std::u16string& wstrCSPName, const std::u16string& wstrContainerName,
                          const std::u16string& wstrKeyAlgorithm, LONG lKeyLength, LONG lImportFlags)
{
    static const WCHAR s_wszName[] = u"ImportEncryptCert";
    TraceHelper trace(s_wszName);
    HRESULT hResult = S_OK;
    BYTE* pbCert = nullptr;
    DWORD cbCert = 0;
    BYTE* pbEncryptedSessionKey = nullptr;
    DWORD cbEncryptedSessionKey = 0;
    ALG_ID algSession = 0;
    BYTE* pbEncryptedPrivateKey = nullptr;
    DWORD cbEncryptedPrivateKey = 0;
    BYTE* pbSessionKey = nullptr;
    DWORD cbSessionKey = 0;
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
        hResult = ParseEncryptCertPrivateKeyData(wstrEncryptedPrivateKeyData, &pbEncryptedSessionKey,
                                                 &cbEncryptedSessionKey, &algSession, &pbEncryptedPrivateKey,
                                                 &cbEncryptedPrivateKey);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ParseEncryptCertPrivateKeyData", u"FAILED(hResult)", hResult);
            break;
        }
        hResult = DecryptSessionKeywithTempKey(wstrCSPName, wstrContainerName, wstrKeyAlgorithm, &hCryptProv,
                                               pbEncryptedSessionKey, cbEncryptedSessionKey, &pbSessionKey,
                                               &cbSessionKey);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"DecryptSessionKeywithTempKey", u"FAILED(hResult)", hResult);
            break;
        }
        hResult = DecryptPrivateKeywithSessionKey(algSession, pbSessionKey, cbSessionKey, pbEncryptedPrivateKey,
                                                  cbEncryptedPrivateKey, &pbPrivateKey, &cbPrivateKey);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"DecryptPrivateKeywithSessionKey", u"FAILED(hResult)", hResult);
            break;
        }
        hResult = ImportEncryptCert_RSA(wstrCSPName, pbCert, cbCert, wstrContainerName, hCryptProv, lKeyLength,
                                        pbPrivateKey, cbPrivateKey, lImportFlags);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ImportEncryptCert_RSA", u"FAILED(hResult)", hResult);
        }
    } while (false);

    if (hCryptProv)
    {
        CryptReleaseContext(hCryptProv, 0);
    }
    delete[] pbCert;
    delete[] pbEncryptedSessionKey;
    delete[] pbEncryptedPrivateKey;
    FreeKeyMaterial(pbSessionKey, cbSessionKey);
    FreeKeyMaterial(pbPrivateKey, cbPrivateKey);
    return hResult;
}

HRESULT DecryptSessionKeywithTempKey(const std::u16string& wstrCSPName, const std::u16string& wstrContainerName,
                                     const std::u16string& wstrKeyAlgorithm, HCRYPTPROV* phCryptProv,
                                     BYTE* pbEncryptedSessionKey, DWORD cbEncryptedSessionKey,
                                     BYTE** ppbSessionKey, DWORD* pcbSessionKey)
{
    static const WCHAR s_wszName[] = u"DecryptSessionKeywithTempKey";
    TraceHelper trace(s_wszName);
    HCRYPTPROV hCryptProv = 0;
    DWORD dwProvType = RsaProviderTypeOfCSP(wstrCSPName, u"Microsoft Enhanced RSA and AES");
    if (!CryptAcquireContextW(&hCryptProv, wstrContainerName.c_str(), wstrCSPName.c_str(), dwProvType, 0))
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"RSA CryptAcquireContext", u"FALSE == bResult", hResult);
        return hResult;
    }
    *phCryptProv = hCryptProv;

    // The text carries it most significant byte first; CryptoAPI wants the other order.
    SwapByteOrder(pbEncryptedSessionKey, cbEncryptedSessionKey);

    HCRYPTKEY hKey = 0;
    if (!CryptGetUserKey(hCryptProv, AT_KEYEXCHANGE, &hKey))
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptGetUserKey", u"FALSE == bResult", hResult);
        return hResult;
    }
    BYTE* pbSessionKey = NewZeroedArray<BYTE>(cbEncryptedSessionKey);
    if (!pbSessionKey)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"new memory", u"NULL == pbSessionKey", E_OUTOFMEMORY);
        CryptDestroyKey(hKey);
        return E_OUTOFMEMORY;
    }
    memcpy(pbSessionKey, pbEncryptedSessionKey, cbEncryptedSessionKey);
    DWORD cbSessionKey = cbEncryptedSessionKey;
    if (!CryptDecrypt(hKey, 0, TRUE, 0, pbSessionKey, &cbSessionKey))
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptDecrypt", u"FALSE == bResult", hResult);
        FreeKeyMaterial(pbSessionKey, cbEncryptedSessionKey);
        CryptDestroyKey(hKey);
        return hResult;
    }
    CryptDestroyKey(hKey);
    // A 32-byte session key carries the Triple DES key in its first 24 bytes.
    if (cbSessionKey == 32)
    {
        cbSessionKey = 24;
    }
    *ppbSessionKey = pbSessionKey;
    *pcbSessionKey = cbSessionKey;
    return S_OK;
}

BOOL CreatePrivateExponentOneKey(HCRYPTPROV hCryptProv, HCRYPTKEY* phKey)
{
    TraceHelper trace(u"CreatePrivateExponentOneKey");
    BOOL bResult = FALSE;
    HCRYPTKEY hKey = 0;
    BYTE* pbBlob = nullptr;
    DWORD cbBlob = 0;
    do
    {
        if (!CryptGenKey(hCryptProv, AT_KEYEXCHANGE, CRYPT_EXPORTABLE, &hKey))
        {
            hKey = 0;
            break;
        }
        if (!CryptExportKey(hKey, 0, PRIVATEKEYBLOB, 0, nullptr, &cbBlob))
        {
            break;
        }
        pbBlob = (BYTE*)LocalAlloc(LMEM_ZEROINIT, cbBlob);
        if (!pbBlob || !CryptExportKey(hKey, 0, PRIVATEKEYBLOB, 0, pbBlob, &cbBlob))
        {
            break;
        }
        CryptDestroyKey(hKey);
        hKey = 0;

        DWORD dwBits = cbBlob >= 20 ? GetDwordAt(pbBlob + 12) : 0;
        DWORD cbByte = dwBits / 8, cbWord = dwBits / 16;
        if (dwBits == 0 || cbBlob < 20 + 9 * cbWord)
        {
            break;
        }
        PutDwordAt(pbBlob + 16, 1);
        BYTE* pbAt = pbBlob + 20 + cbByte + 2 * cbWord; // past modulus, prime1, prime2
        SetToOne(pbAt, cbWord);                         // exponent1
        SetToOne(pbAt + cbWord, cbWord);                // exponent2
        SetToOne(pbAt + 3 * cbWord, cbByte);            // private exponent, past the coefficient
        if (!CryptImportKey(hCryptProv, pbBlob, cbBlob, 0, 0, &hKey))
        {
            hKey = 0;
            break;
        }
        *phKey = hKey;
        hKey = 0;
        bResult = TRUE;
    } while (false);
    if (hKey)
    {
        CryptDestroyKey(hKey);
    }
    if (pbBlob)
    {
        memset(pbBlob, 0, cbBlob);
        LocalFree(pbBlob);
    }
    return bResult;
}

BOOL ImportPlainSessionBlob(HCRYPTPROV hCryptProv, HCRYPTKEY hExponentOneKey, ALG_ID algSession,
                            const BYTE* pbKey, DWORD cbKey, HCRYPTKEY* phSessionKey)
{
    TraceHelper trace(u"ImportPlainSessionBlob");
    BOOL bResult = FALSE;
    HCRYPTKEY hTempKey = 0;
    BYTE* pbBlob = nullptr;
    DWORD cbBlob = 0;
    do
    {
        PROV_ENUMALGS_EX stAlg = {};
        DWORD cbAlg = sizeof(stAlg);
        DWORD dwFlags = CRYPT_FIRST;
        bool bFound = false;
        while (CryptGetProvParam(hCryptProv, PP_ENUMALGS_EX, (BYTE*)&stAlg, &cbAlg, dwFlags))
        {
            dwFlags = 0;
            cbAlg = sizeof(stAlg);
            if (stAlg.aiAlgid == algSession)
            {
                bFound = true;
                break;
            }
        }
        if (!bFound)
        {
            break;
        }
        if (!CryptGenKey(hCryptProv, algSession, 0, &hTempKey))
        {
            hTempKey = 0;
            break;
        }
        DWORD dwKeyBits = 0, cbParam = sizeof(dwKeyBits);
        if (!CryptGetKeyParam(hTempKey, KP_KEYLEN, (BYTE*)&dwKeyBits, &cbParam, 0) ||
            dwKeyBits < 8ULL * cbKey)
        {
            break;
        }
        ALG_ID algExchange = 0;
        cbParam = sizeof(algExchange);
        if (!CryptGetKeyParam(hExponentOneKey, KP_ALGID, (BYTE*)&algExchange, &cbParam, 0))
        {
            break;
        }
        DWORD dwExchangeBits = 0;
        cbParam = sizeof(dwExchangeBits);
        if (!CryptGetKeyParam(hExponentOneKey, KP_KEYLEN, (BYTE*)&dwExchangeBits, &cbParam, 0))
        {
            break;
        }
        DWORD cbCipher = dwExchangeBits / 8;
        // Key, the zero separator, at least 8 random bytes, block type 2, the leading zero.
        if (cbCipher < cbKey + 11)
        {
            break;
        }
        cbBlob = 12 + cbCipher;
        pbBlob = (BYTE*)LocalAlloc(LMEM_ZEROINIT, cbBlob);
        if (!pbBlob)
        {
            break;
        }
        pbBlob[0] = SIMPLEBLOB;
        pbBlob[1] = CUR_BLOB_VERSION;
        PutDwordAt(pbBlob + 4, algSession);
        PutDwordAt(pbBlob + 8, algExchange);
        BYTE* pbCipher = pbBlob + 12;
        for (DWORD i = 0; i < cbKey; ++i)
        {
            pbCipher[i] = pbKey[cbKey - 1 - i];
        }
        pbCipher[cbKey] = 0;
        DWORD cbRandom = cbCipher - cbKey - 3;
        if (!CryptGenRandom(hCryptProv, cbRandom, pbCipher + cbKey + 1))
        {
            break;
        }
        for (DWORD i = 0; i < cbRandom; ++i)
        {
            if (pbCipher[cbKey + 1 + i] == 0)
            {
                pbCipher[cbKey + 1 + i] = 1;
            }
        }
        pbCipher[cbCipher - 2] = 2;
        pbCipher[cbCipher - 1] = 0;
        if (!CryptImportKey(hCryptProv, pbBlob, cbBlob, hExponentOneKey, CRYPT_EXPORTABLE, phSessionKey))
        {
            break;
        }
        bResult = TRUE;
    } while (false);
    if (hTempKey)
    {
        CryptDestroyKey(hTempKey);
    }
    if (pbBlob)
    {
        memset(pbBlob, 0, cbBlob);
        LocalFree(pbBlob);
    }
    return bResult;
}

HRESULT DecryptPrivateKeywithSessionKey(ALG_ID algSession, const BYTE* pbSessionKey, DWORD cbSessionKey,
                                        const BYTE* pbEncryptedPrivateKey, DWORD cbEncryptedPrivateKey,
                                        BYTE** ppbPrivateKey, DWORD* pcbPrivateKey)
{
    static const WCHAR s_wszName[] = u"DecryptPrivateKeywithSessionKey";
    TraceHelper trace(s_wszName);
    std::u16string wstrScratch;
    HRESULT hResult = CreateGUIDStr(wstrScratch);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CreateGUIDStr", u"FAILED(hResult)", hResult);
        return hResult;
    }
    HCRYPTPROV hCryptProv = 0;
    if (!CryptAcquireContextW(&hCryptProv, wstrScratch.c_str(), SCRATCH_CSP_NAME, PROV_RSA_FULL, 0) &&
        !CryptAcquireContextW(&hCryptProv, wstrScratch.c_str(), SCRATCH_CSP_NAME, PROV_RSA_FULL, CRYPT_NEWKEYSET))
    {
        hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptAcquireContext", u"FALSE == bResult", hResult);
        return hResult;
    }
    HCRYPTKEY hExponentOneKey = 0, hSessionKey = 0;
    BYTE* pbPrivateKey = nullptr;
    do
    {
        if (!CreatePrivateExponentOneKey(hCryptProv, &hExponentOneKey))
        {
            hExponentOneKey = 0;
            hResult = E_IMPORT_ENCRYPT_CERT;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CreatePrivateExponentOneKey", u"FALSE == bResult", hResult);
            break;
        }
        if (!ImportPlainSessionBlob(hCryptProv, hExponentOneKey, algSession, pbSessionKey, cbSessionKey,
                                    &hSessionKey))
        {
            hSessionKey = 0;
            hResult = E_IMPORT_ENCRYPT_CERT;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ImportPlainSessionBlob", u"FALSE == bResult", hResult);
            break;
        }
        DWORD dwMode = CRYPT_MODE_ECB;
        if (!CryptSetKeyParam(hSessionKey, KP_MODE, (const BYTE*)&dwMode, 0))
        {
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptSetKeyParam", u"FALSE == bResult", hResult);
            break;
        }
        pbPrivateKey = NewZeroedArray<BYTE>(cbEncryptedPrivateKey);
        if (!pbPrivateKey)
        {
            hResult = E_OUTOFMEMORY;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"new memory", u"pPrivateKey == NULL", hResult);
            break;
        }
        memcpy(pbPrivateKey, pbEncryptedPrivateKey, cbEncryptedPrivateKey);
        DWORD cbPrivateKey = cbEncryptedPrivateKey;
        if (!CryptDecrypt(hSessionKey, 0, TRUE, 0, pbPrivateKey, &cbPrivateKey))
        {
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptDecrypt", u"FALSE == bResult", hResult);
            FreeKeyMaterial(pbPrivateKey, cbEncryptedPrivateKey);
            pbPrivateKey = nullptr;
            break;
        }
        *ppbPrivateKey = pbPrivateKey;
        *pcbPrivateKey = cbPrivateKey;
        hResult = S_OK;
    } while (false);
    if (hSessionKey)
    {
        CryptDestroyKey(hSessionKey);
    }
    if (hExponentOneKey)
    {
        CryptDestroyKey(hExponentOneKey);
    }
    CryptReleaseContext(hCryptProv, 0);
    HCRYPTPROV hDelete = 0;
    CryptAcquireContextW(&hDelete, wstrScratch.c_str(), SCRATCH_CSP_NAME, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
    return hResult;
}

HRESULT getMicrosoftSoftPkcs1PrivateKeyBlob_RSA(const BYTE* pbPrivateKey, DWORD cbPrivateKey, LONG lKeyLength,
                                                BYTE** ppbBlob, DWORD* pcbBlob)
{
    static const WCHAR s_wszName[] = u"getMicrosoftSoftPkcs1PrivateKeyBlob_RSA";
    TraceHelper trace(s_wszName);
    if (lKeyLength <= 0 || lKeyLength % 16 != 0)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"PKCS1 RSA private key length", u"lKeyLength % 16 != 0",
                          E_IMPORT_ENCRYPT_CERT);
        return E_IMPORT_ENCRYPT_CERT;
    }
    RSA_PRIVATE_KEY_PARTS stParts = {};
    HRESULT hResult = DecodePrivateKey(pbPrivateKey, cbPrivateKey, &stParts);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"getMicrosoftSoftPkcs1PrivateKeyBlob_RSA-DecodePrivateKey",
                          u"FAILED(hResult)", hResult);
        // The reader's -1 has no text for the page: a key that does not decode is the
        // import's own failure.
        return hResult == E_OUTOFMEMORY ? hResult : E_IMPORT_ENCRYPT_CERT;
    }
    DWORD dwBits = (DWORD)lKeyLength, cbByte = dwBits / 8, cbWord = dwBits / 16;
    // Each field in blob order with the width the blob gives it.
    const struct
    {
        const BYTE* pb;
        DWORD cb;
        DWORD cbField;
    } rgFields[] = {
        {stParts.pbModulus, stParts.cbModulus, cbByte},
        {stParts.pbPrime1, stParts.cbPrime1, cbWord},
        {stParts.pbPrime2, stParts.cbPrime2, cbWord},
        {stParts.pbExponent1, stParts.cbExponent1, cbWord},
        {stParts.pbExponent2, stParts.cbExponent2, cbWord},
        {stParts.pbCoefficient, stParts.cbCoefficient, cbWord},
        {stParts.pbPrivateExponent, stParts.cbPrivateExponent, cbByte},
    };
    // A number with leading zero bytes is shorter than its field; zeros at the most
    // significant end complete it. A longer number does not belong to a key of this length.
    for (const auto& field : rgFields)
    {
        if (field.cb > field.cbField || field.cb == 0)
        {
            hResult = E_IMPORT_ENCRYPT_CERT;
        }
    }
    if (stParts.cbModulus != cbByte)
    {
        hResult = E_IMPORT_ENCRYPT_CERT;
    }
    DWORD dwPublicExponent = ReadPublicExponent(pbPrivateKey, cbPrivateKey);
    if (dwPublicExponent == 0)
    {
        hResult = E_IMPORT_ENCRYPT_CERT;
    }
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"PKCS1 RSA private key length", u"TRUE", hResult);
        FreeRsaPrivateKeyParts(&stParts);
        return hResult;
    }
    DWORD cbBlob = 20 + 9 * cbWord;
    BYTE* pbBlob = NewZeroedArray<BYTE>(cbBlob);
    if (!pbBlob)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"new memory", u"NULL == pbBlob", E_OUTOFMEMORY);
        FreeRsaPrivateKeyParts(&stParts);
        return E_OUTOFMEMORY;
    }
    pbBlob[0] = PRIVATEKEYBLOB;
    pbBlob[1] = CUR_BLOB_VERSION;
    PutDwordAt(pbBlob + 4, CALG_RSA_KEYX);
    PutDwordAt(pbBlob + 8, RSA2_MAGIC);
    PutDwordAt(pbBlob + 12, dwBits);
    PutDwordAt(pbBlob + 16, dwPublicExponent);
    DWORD cbAt = 20;
    for (const auto& field : rgFields)
    {
        memcpy(pbBlob + cbAt, field.pb, field.cb);
        cbAt += field.cbField;
    }
    FreeRsaPrivateKeyParts(&stParts);
    *ppbBlob = pbBlob;
    *pcbBlob = cbBlob;
    return S_OK;
}

HRESULT ImportEncryptCert_RSA(const std::u16string& wstrCSPName, const BYTE* pbCert, DWORD cbCert,
                              const std::u16string& wstrContainerName, HCRYPTPROV hCryptProv, LONG lKeyLength,
                              const BYTE* pbPrivateKey, DWORD cbPrivateKey, LONG lImportFlags)
{
    static const WCHAR s_wszName[] = u"ImportEncryptCert_RSA";
    TraceHelper trace(s_wszName);
    BYTE* pbBlob = nullptr;
    DWORD cbBlob = 0;
    HRESULT hResult = getMicrosoftSoftPkcs1PrivateKeyBlob_RSA(pbPrivateKey, cbPrivateKey, lKeyLength, &pbBlob, &cbBlob);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"getMicrosoftSoftPkcs1PrivateKeyBlob_RSA", u"FAILED(hResult)",
                          hResult);
        return hResult;
    }
    // The import replaces the temporary key that opens this delivery: whatever can fail is
    // tried before that.
    hResult = CheckDeliveredPrivateKey(pbBlob, cbBlob, pbCert, cbCert);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CheckDeliveredPrivateKey", u"FAILED(hResult)",
                          hResult);
        FreeKeyMaterial(pbBlob, cbBlob);
        return hResult;
    }
    HCRYPTKEY hKey = 0;
    bool bMicrosoft = ContainsText(wstrCSPName, u"Microsoft");
    CPersonalStoreEntry storeEntry;
    do
    {
        // On a Microsoft CSP the store entry comes first: unlike the key it can be put back.
        if (bMicrosoft)
        {
            hResult = storeEntry.Save(pbCert, cbCert);
            if (SUCCEEDED(hResult))
            {
                hResult =
                    AddCertificateToSystemStore(wstrCSPName.c_str(), hCryptProv, pbCert, cbCert,
                                                AT_KEYEXCHANGE, wstrContainerName.c_str());
            }
            if (FAILED(hResult))
            {
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"AddCertificateToSystemStore",
                                  u"FAILED(hResult)", hResult);
                storeEntry.Restore();
                break;
            }
        }
        if (!CryptImportKey(hCryptProv, pbBlob, cbBlob, 0, (DWORD)lImportFlags, &hKey))
        {
            hKey = 0;
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName,
                              bMicrosoft ? u"Microsoft CSP: CryptImportKey" : u"non-Microsoft's CSP: CryptImportKey",
                              u"FALSE == bResult", hResult);
            if (bMicrosoft)
            {
                storeEntry.Restore();
            }
            break;
        }
        if (!bMicrosoft && !SetKeyCertificate(hKey, pbCert, cbCert))
        {
            hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"non-Microsoft's CSP: CryptSetKeyParam",
                              u"FALSE == bResult", hResult);
        }
    } while (false);
    if (hKey)
    {
        CryptDestroyKey(hKey);
    }
    FreeKeyMaterial(pbBlob, cbBlob);
    return hResult;
}
