// The certificate's side of the key providers: the private key through the key-provider
// property, the public key of a provider's key as CERT_PUBLIC_KEY_INFO, and back.
#include <cstring>

#include "csp_calls.h"
#include "store.h"

namespace qm::crypt
{
HRESULT EncodeRsaPublicKeyBlob(View blob, Bytes* pOut);

namespace
{
// The key-provider record of a context, or that of the same certificate in the user's or
// the machine's "MY" store, where Windows finds the key of a certificate it was handed
// without properties.
bool KeyProvInfo(PCCERT_CONTEXT pCert, Bytes* pOut)
{
    DWORD cb = 0;
    if (CertGetCertificateContextProperty(pCert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &cb))
    {
        pOut->resize(cb);
        return CertGetCertificateContextProperty(pCert, CERT_KEY_PROV_INFO_PROP_ID, pOut->data(), &cb) != FALSE;
    }
    BYTE hash[20];
    cb = sizeof hash;
    if (!CertGetCertificateContextProperty(pCert, CERT_SHA1_HASH_PROP_ID, hash, &cb))
        return false;
    CRYPT_HASH_BLOB find{cb, hash};
    for (DWORD location : {DWORD(CERT_SYSTEM_STORE_CURRENT_USER), DWORD(CERT_SYSTEM_STORE_LOCAL_MACHINE)})
    {
        HCERTSTORE my =
            CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location | CERT_STORE_READONLY_FLAG, u"MY");
        if (!my)
            continue;
        PCCERT_CONTEXT found = CertFindCertificateInStore(my, X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &find, nullptr);
        bool ok = false;
        if (found && found != pCert)
        {
            DWORD n = 0;
            if (CertGetCertificateContextProperty(found, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &n))
            {
                pOut->resize(n);
                ok = CertGetCertificateContextProperty(found, CERT_KEY_PROV_INFO_PROP_ID, pOut->data(), &n) != FALSE;
            }
        }
        CertFreeCertificateContext(found);
        CertCloseStore(my, 0);
        if (ok)
            return true;
    }
    return false;
}
} // namespace
} // namespace qm::crypt

using namespace qm::crypt;

QMAPI BOOL WINAPI CryptAcquireCertificatePrivateKey(PCCERT_CONTEXT pCert, DWORD dwFlags, void* pvParameters,
                                                    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE* phCryptProvOrNCryptKey,
                                                    DWORD* pdwKeySpec, BOOL* pfCallerFreeProvOrNCryptKey)
{
    if (!ElementOf(pCert) || !phCryptProvOrNCryptKey)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    *phCryptProvOrNCryptKey = 0;
    if (dwFlags & CRYPT_ACQUIRE_CACHE_FLAG)
    {
        HCRYPTPROV cached = 0;
        DWORD cb = sizeof cached;
        DWORD spec = 0, cbSpec = sizeof spec;
        if (CertGetCertificateContextProperty(pCert, CERT_KEY_PROV_HANDLE_PROP_ID, &cached, &cb) && cached &&
            CertGetCertificateContextProperty(pCert, CERT_KEY_SPEC_PROP_ID, &spec, &cbSpec))
        {
            *phCryptProvOrNCryptKey = cached;
            if (pdwKeySpec)
                *pdwKeySpec = spec;
            if (pfCallerFreeProvOrNCryptKey)
                *pfCallerFreeProvOrNCryptKey = FALSE;
            return TRUE;
        }
    }
    Bytes record;
    if (!KeyProvInfo(pCert, &record))
        return Fail(CRYPT_E_NO_KEY_PROPERTY);
    auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(record.data());
    if (!ProviderDispatchPresent())
        return Fail(NTE_PROV_DLL_NOT_FOUND);
    DWORD acquireFlags = info->dwFlags & CRYPT_MACHINE_KEYSET;
    if ((dwFlags & CRYPT_ACQUIRE_SILENT_FLAG) || (info->dwFlags & CRYPT_SILENT))
        acquireFlags |= CRYPT_SILENT;
    HCRYPTPROV prov = 0;
    if (!CryptAcquireContextW(&prov, info->pwszContainerName, info->pwszProvName, info->dwProvType, acquireFlags))
        return FALSE; // the provider's last error stands
    if (dwFlags & CRYPT_ACQUIRE_COMPARE_KEY_FLAG)
    {
        DWORD cb = 0;
        Bytes pk;
        bool same = CryptExportPublicKeyInfo(prov, info->dwKeySpec, X509_ASN_ENCODING, nullptr, &cb);
        if (same)
        {
            pk.resize(cb);
            auto* p = reinterpret_cast<PCERT_PUBLIC_KEY_INFO>(pk.data());
            same = CryptExportPublicKeyInfo(prov, info->dwKeySpec, X509_ASN_ENCODING, p, &cb) &&
                   CertComparePublicKeyInfo(X509_ASN_ENCODING, p, &pCert->pCertInfo->SubjectPublicKeyInfo);
        }
        if (!same)
        {
            CryptReleaseContext(prov, 0);
            return Fail(NTE_BAD_PUBLIC_KEY);
        }
    }
    if (dwFlags & CRYPT_ACQUIRE_CACHE_FLAG)
    {
        CertSetCertificateContextProperty(pCert, CERT_KEY_PROV_HANDLE_PROP_ID, 0, &prov);
        DWORD spec = info->dwKeySpec;
        CertSetCertificateContextProperty(pCert, CERT_KEY_SPEC_PROP_ID, CERT_SET_PROPERTY_INHIBIT_PERSIST_FLAG, &spec);
    }
    *phCryptProvOrNCryptKey = prov;
    if (pdwKeySpec)
        *pdwKeySpec = info->dwKeySpec;
    if (pfCallerFreeProvOrNCryptKey)
        *pfCallerFreeProvOrNCryptKey = (dwFlags & CRYPT_ACQUIRE_CACHE_FLAG) ? FALSE : TRUE;
    return TRUE;
}

QMAPI BOOL WINAPI CryptExportPublicKeyInfoEx(HCRYPTPROV_OR_NCRYPT_KEY_HANDLE hCryptProvOrNCryptKey, DWORD dwKeySpec,
                                             DWORD dwCertEncodingType, LPSTR pszPublicKeyObjId, DWORD dwFlags,
                                             void* pvAuxInfo, PCERT_PUBLIC_KEY_INFO pInfo, DWORD* pcbInfo)
{
    if (!pcbInfo || !hCryptProvOrNCryptKey)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    if (!ProviderDispatchPresent() || &CryptGetUserKey == nullptr || &CryptExportKey == nullptr)
        return Fail(NTE_PROV_DLL_NOT_FOUND);
    HCRYPTKEY key = 0;
    if (!CryptGetUserKey(hCryptProvOrNCryptKey, dwKeySpec, &key))
        return FALSE;
    DWORD cb = 0;
    Bytes blob;
    BOOL ok = CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &cb);
    if (ok)
    {
        blob.resize(cb);
        ok = CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &cb);
        blob.resize(cb);
    }
    DWORD err = GetLastError();
    CryptDestroyKey(key);
    if (!ok)
        return Fail(err);
    BLOBHEADER head{};
    if (blob.size() >= sizeof head)
        std::memcpy(&head, blob.data(), sizeof head);
    if (GET_ALG_TYPE(head.aiKeyAlg) != ALG_TYPE_RSA)
        return Fail(NTE_BAD_ALGID);
    Bytes rsaKey;
    HRESULT hr = EncodeRsaPublicKeyBlob(blob, &rsaKey);
    if (FAILED(hr))
        return Fail(hr);

    // The structure, the OID, the NULL parameters, then the key bits.
    static const char kOid[] = szOID_RSA_RSA;
    size_t oidAt = (sizeof(CERT_PUBLIC_KEY_INFO) + 7) & ~size_t(7);
    size_t paramsAt = oidAt + sizeof kOid;
    size_t keyAt = paramsAt + 2;
    size_t size = keyAt + rsaKey.size();
    if (!pInfo)
    {
        *pcbInfo = static_cast<DWORD>(size);
        return TRUE;
    }
    if (*pcbInfo < size)
    {
        *pcbInfo = static_cast<DWORD>(size);
        return Fail(static_cast<DWORD>(ERROR_MORE_DATA));
    }
    auto* base = reinterpret_cast<BYTE*>(pInfo);
    std::memset(base, 0, size);
    std::memcpy(base + oidAt, kOid, sizeof kOid);
    base[paramsAt] = 0x05;
    base[paramsAt + 1] = 0x00;
    std::memcpy(base + keyAt, rsaKey.data(), rsaKey.size());
    pInfo->Algorithm.pszObjId = reinterpret_cast<LPSTR>(base + oidAt);
    pInfo->Algorithm.Parameters.cbData = 2;
    pInfo->Algorithm.Parameters.pbData = base + paramsAt;
    pInfo->PublicKey.cbData = static_cast<DWORD>(rsaKey.size());
    pInfo->PublicKey.pbData = base + keyAt;
    pInfo->PublicKey.cUnusedBits = 0;
    *pcbInfo = static_cast<DWORD>(size);
    return TRUE;
}

QMAPI BOOL WINAPI CryptExportPublicKeyInfo(HCRYPTPROV_OR_NCRYPT_KEY_HANDLE hCryptProvOrNCryptKey, DWORD dwKeySpec,
                                           DWORD dwCertEncodingType, PCERT_PUBLIC_KEY_INFO pInfo, DWORD* pcbInfo)
{
    return CryptExportPublicKeyInfoEx(hCryptProvOrNCryptKey, dwKeySpec, dwCertEncodingType, nullptr, 0, nullptr,
                                      pInfo, pcbInfo);
}

// An RSA public key of a certificate into a provider: the key decoded into a PUBLICKEYBLOB,
// which the decoder makes an exchange key's (the algorithm Windows finds for szOID_RSA_RSA),
// and imported.
QMAPI BOOL WINAPI CryptImportPublicKeyInfo(HCRYPTPROV hCryptProv, DWORD dwCertEncodingType,
                                           PCERT_PUBLIC_KEY_INFO pInfo, HCRYPTKEY* phKey)
{
    if (!hCryptProv || !pInfo || !phKey || !pInfo->Algorithm.pszObjId)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    if (!ProviderDispatchPresent() || &CryptImportKey == nullptr)
        return Fail(NTE_PROV_DLL_NOT_FOUND);
    if (std::strcmp(pInfo->Algorithm.pszObjId, szOID_RSA_RSA) != 0)
        return Fail(NTE_BAD_ALGID);
    DWORD cb = 0;
    if (!CryptDecodeObjectEx(dwCertEncodingType, RSA_CSP_PUBLICKEYBLOB, pInfo->PublicKey.pbData,
                             pInfo->PublicKey.cbData, 0, nullptr, nullptr, &cb))
        return FALSE;
    Bytes blob(cb);
    if (!CryptDecodeObjectEx(dwCertEncodingType, RSA_CSP_PUBLICKEYBLOB, pInfo->PublicKey.pbData,
                             pInfo->PublicKey.cbData, 0, nullptr, blob.data(), &cb))
        return FALSE;
    blob.resize(cb);
    return CryptImportKey(hCryptProv, blob.data(), static_cast<DWORD>(blob.size()), 0, 0, phKey);
}
