// A provider module for the signing tests: keys are PEM files named by the container, the
// math is OpenSSL's, and every CryptHashData piece and digest it receives is written to the
// file named by QM_TEST_CSP_LOG, so a test sees what reached the CSP.
// QM_TEST_CSP_SIGN_ERROR (hex) makes CPSignHash fail with that last error;
// QM_TEST_CSP_SIGN_LENGTH makes it report a signature of that length.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// The library's headers first: CryptoAPI's constants would rename its types.
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <windows.h>
#include <qm/csp_spi.h>

#define CSP_EXPORT extern "C" __attribute__((visibility("default")))

namespace
{
struct Provider
{
    std::string name;
    EVP_PKEY* key = nullptr;
};

struct Hash
{
    ALG_ID alg = 0;
    const EVP_MD* md = nullptr;
    EVP_MD_CTX* digest = nullptr;  // plain digest of the data
    EVP_MD_CTX* sm2Sign = nullptr; // SM2 over the data with the default user id
    std::vector<unsigned char> value;
    bool valueSet = false;
};

void Log(const std::string& line)
{
    const char* path = getenv("QM_TEST_CSP_LOG");
    if (!path)
        return;
    if (FILE* f = fopen(path, "a"))
    {
        fprintf(f, "%s\n", line.c_str());
        fclose(f);
    }
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

bool IsSm2(EVP_PKEY* key)
{
    return EVP_PKEY_is_a(key, "SM2");
}

const EVP_MD* DigestOf(ALG_ID alg)
{
    switch (alg)
    {
    case CALG_MD5:
        return EVP_md5();
    case CALG_SHA1:
        return EVP_sha1();
    case CALG_SHA_256:
        return EVP_sha256();
    case 0x800F:
        return EVP_sm3();
    default:
        return nullptr;
    }
}

std::vector<unsigned char> CurrentDigest(Hash* h)
{
    if (h->valueSet)
        return h->value;
    EVP_MD_CTX* copy = EVP_MD_CTX_new();
    EVP_MD_CTX_copy_ex(copy, h->digest);
    std::vector<unsigned char> out(EVP_MAX_MD_SIZE);
    unsigned int len = 0;
    EVP_DigestFinal_ex(copy, out.data(), &len);
    EVP_MD_CTX_free(copy);
    out.resize(len);
    return out;
}

// r || s, each 32 bytes, least significant byte first, from a DER SM2 signature.
bool RawSm2(const std::vector<unsigned char>& der, BYTE* out)
{
    const unsigned char* p = der.data();
    ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &p, (long)der.size());
    if (!sig)
        return false;
    BN_bn2lebinpad(ECDSA_SIG_get0_r(sig), out, 32);
    BN_bn2lebinpad(ECDSA_SIG_get0_s(sig), out + 32, 32);
    ECDSA_SIG_free(sig);
    return true;
}
} // namespace

CSP_EXPORT BOOL WINAPI CPAcquireContext(HCRYPTPROV* phProv, LPCSTR szContainer, DWORD dwFlags, PVTableProvStruc pVTable)
{
    Log(std::string("acquire ") + (szContainer ? szContainer : "(none)"));
    auto* prov = new Provider();
    prov->name = pVTable && pVTable->pszProvName ? pVTable->pszProvName : "";
    if (szContainer && *szContainer && !(dwFlags & CRYPT_VERIFYCONTEXT))
    {
        FILE* f = fopen(szContainer, "r");
        prov->key = f ? PEM_read_PrivateKey(f, nullptr, nullptr, nullptr) : nullptr;
        if (f)
            fclose(f);
        if (!prov->key)
        {
            delete prov;
            return Fail(DWORD(NTE_BAD_KEYSET));
        }
    }
    *phProv = reinterpret_cast<HCRYPTPROV>(prov);
    return TRUE;
}

CSP_EXPORT BOOL WINAPI CPReleaseContext(HCRYPTPROV hProv, DWORD)
{
    auto* prov = reinterpret_cast<Provider*>(hProv);
    EVP_PKEY_free(prov->key);
    delete prov;
    Log("release");
    return TRUE;
}

CSP_EXPORT BOOL WINAPI CPGetProvParam(HCRYPTPROV hProv, DWORD dwParam, BYTE* pbData, DWORD* pdwDataLen, DWORD)
{
    auto* prov = reinterpret_cast<Provider*>(hProv);
    if (dwParam != PP_NAME)
        return Fail(DWORD(NTE_BAD_TYPE));
    DWORD need = (DWORD)prov->name.size() + 1;
    if (pbData && *pdwDataLen < need)
    {
        *pdwDataLen = need;
        return Fail(ERROR_MORE_DATA);
    }
    if (pbData)
        memcpy(pbData, prov->name.c_str(), need);
    *pdwDataLen = need;
    return TRUE;
}

CSP_EXPORT BOOL WINAPI CPCreateHash(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY, DWORD, HCRYPTHASH* phHash)
{
    auto* prov = reinterpret_cast<Provider*>(hProv);
    const EVP_MD* md = DigestOf(Algid);
    if (!md)
        return Fail(DWORD(NTE_BAD_ALGID));
    auto* h = new Hash();
    h->alg = Algid;
    h->md = md;
    h->digest = EVP_MD_CTX_new();
    EVP_DigestInit_ex(h->digest, md, nullptr);
    if (Algid == 0x800F && prov->key && IsSm2(prov->key))
    {
        h->sm2Sign = EVP_MD_CTX_new();
        EVP_DigestSignInit(h->sm2Sign, nullptr, EVP_sm3(), nullptr, prov->key);
    }
    Log("create " + std::to_string(Algid));
    *phHash = reinterpret_cast<HCRYPTHASH>(h);
    return TRUE;
}

CSP_EXPORT BOOL WINAPI CPHashData(HCRYPTPROV, HCRYPTHASH hHash, const BYTE* pbData, DWORD cbDataLen, DWORD)
{
    auto* h = reinterpret_cast<Hash*>(hHash);
    Log("data " + std::to_string(cbDataLen));
    EVP_DigestUpdate(h->digest, pbData, cbDataLen);
    if (h->sm2Sign)
        EVP_DigestSignUpdate(h->sm2Sign, pbData, cbDataLen);
    return TRUE;
}

CSP_EXPORT BOOL WINAPI CPGetHashParam(HCRYPTPROV, HCRYPTHASH hHash, DWORD dwParam, BYTE* pbData, DWORD* pdwDataLen,
                                      DWORD)
{
    auto* h = reinterpret_cast<Hash*>(hHash);
    if (dwParam != HP_HASHVAL)
        return Fail(DWORD(NTE_BAD_TYPE));
    std::vector<unsigned char> value = CurrentDigest(h);
    if (pbData && *pdwDataLen < value.size())
        return Fail(ERROR_MORE_DATA);
    if (pbData)
        memcpy(pbData, value.data(), value.size());
    *pdwDataLen = (DWORD)value.size();
    return TRUE;
}

CSP_EXPORT BOOL WINAPI CPSetHashParam(HCRYPTPROV, HCRYPTHASH hHash, DWORD dwParam, const BYTE* pbData, DWORD)
{
    auto* h = reinterpret_cast<Hash*>(hHash);
    if (dwParam != HP_HASHVAL)
        return Fail(DWORD(NTE_BAD_TYPE));
    // As on Windows, the length comes from the algorithm.
    size_t size = (size_t)EVP_MD_get_size(h->md);
    h->value.assign(pbData, pbData + size);
    h->valueSet = true;
    std::string hex;
    char digits[3];
    for (unsigned char b : h->value)
    {
        snprintf(digits, sizeof(digits), "%02x", b);
        hex += digits;
    }
    Log("hashval " + hex);
    return TRUE;
}

CSP_EXPORT BOOL WINAPI CPDestroyHash(HCRYPTPROV, HCRYPTHASH hHash)
{
    auto* h = reinterpret_cast<Hash*>(hHash);
    EVP_MD_CTX_free(h->digest);
    EVP_MD_CTX_free(h->sm2Sign);
    delete h;
    Log("destroyhash");
    return TRUE;
}

CSP_EXPORT BOOL WINAPI CPSignHash(HCRYPTPROV hProv, HCRYPTHASH hHash, DWORD dwKeySpec, LPCWSTR, DWORD,
                                  BYTE* pbSignature, DWORD* pdwSigLen)
{
    auto* prov = reinterpret_cast<Provider*>(hProv);
    auto* h = reinterpret_cast<Hash*>(hHash);
    if (const char* error = getenv("QM_TEST_CSP_SIGN_ERROR"))
        return Fail((DWORD)strtoul(error, nullptr, 16));
    if (!prov->key || (dwKeySpec != AT_SIGNATURE && dwKeySpec != AT_KEYEXCHANGE))
        return Fail(DWORD(NTE_NO_KEY));
    bool sm2 = IsSm2(prov->key);
    DWORD size = sm2 ? 64 : (DWORD)EVP_PKEY_get_size(prov->key);
    if (const char* length = getenv("QM_TEST_CSP_SIGN_LENGTH"))
        size = (DWORD)atoi(length);
    if (!pbSignature)
    {
        *pdwSigLen = size;
        return TRUE;
    }
    if (*pdwSigLen < size)
        return Fail(ERROR_MORE_DATA);
    Log("sign " + std::to_string(dwKeySpec));

    std::vector<unsigned char> signature;
    if (sm2)
    {
        std::vector<unsigned char> der(128);
        size_t derLen = der.size();
        bool ok;
        if (h->valueSet || !h->sm2Sign)
        {
            EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(prov->key, nullptr);
            std::vector<unsigned char> e = CurrentDigest(h);
            ok = EVP_PKEY_sign_init(ctx) == 1 && EVP_PKEY_sign(ctx, der.data(), &derLen, e.data(), e.size()) == 1;
            EVP_PKEY_CTX_free(ctx);
        }
        else
        {
            ok = EVP_DigestSignFinal(h->sm2Sign, der.data(), &derLen) == 1;
        }
        der.resize(derLen);
        signature.resize(64);
        if (!ok || !RawSm2(der, signature.data()))
            return Fail(DWORD(NTE_FAIL));
    }
    else
    {
        std::vector<unsigned char> digest = CurrentDigest(h);
        EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(prov->key, nullptr);
        size_t len = EVP_PKEY_get_size(prov->key);
        signature.resize(len);
        bool ok = EVP_PKEY_sign_init(ctx) == 1 && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) == 1 &&
                  EVP_PKEY_CTX_set_signature_md(ctx, h->md) == 1 &&
                  EVP_PKEY_sign(ctx, signature.data(), &len, digest.data(), digest.size()) == 1;
        EVP_PKEY_CTX_free(ctx);
        if (!ok)
            return Fail(DWORD(NTE_FAIL));
        // CryptoAPI's order: least significant byte first.
        std::reverse(signature.begin(), signature.end());
    }
    signature.resize(size);
    memcpy(pbSignature, signature.data(), size);
    *pdwSigLen = size;
    return TRUE;
}

// The rest of the interface is not used by the signing roads.
#define UNSUPPORTED return Fail(DWORD(NTE_NOT_SUPPORTED))
CSP_EXPORT BOOL WINAPI CPSetProvParam(HCRYPTPROV, DWORD, const BYTE*, DWORD) { UNSUPPORTED; }
CSP_EXPORT BOOL WINAPI CPGenKey(HCRYPTPROV, ALG_ID, DWORD, HCRYPTKEY*) { UNSUPPORTED; }
CSP_EXPORT BOOL WINAPI CPGetUserKey(HCRYPTPROV, DWORD, HCRYPTKEY*) { UNSUPPORTED; }
CSP_EXPORT BOOL WINAPI CPDestroyKey(HCRYPTPROV, HCRYPTKEY) { UNSUPPORTED; }
CSP_EXPORT BOOL WINAPI CPGetKeyParam(HCRYPTPROV, HCRYPTKEY, DWORD, BYTE*, DWORD*, DWORD) { UNSUPPORTED; }
CSP_EXPORT BOOL WINAPI CPSetKeyParam(HCRYPTPROV, HCRYPTKEY, DWORD, const BYTE*, DWORD) { UNSUPPORTED; }
CSP_EXPORT BOOL WINAPI CPExportKey(HCRYPTPROV, HCRYPTKEY, HCRYPTKEY, DWORD, DWORD, BYTE*, DWORD*) { UNSUPPORTED; }
CSP_EXPORT BOOL WINAPI CPImportKey(HCRYPTPROV, const BYTE*, DWORD, HCRYPTKEY, DWORD, HCRYPTKEY*) { UNSUPPORTED; }
CSP_EXPORT BOOL WINAPI CPVerifySignature(HCRYPTPROV, HCRYPTHASH, const BYTE*, DWORD, HCRYPTKEY, LPCWSTR, DWORD)
{
    UNSUPPORTED;
}
CSP_EXPORT BOOL WINAPI CPEncrypt(HCRYPTPROV, HCRYPTKEY, HCRYPTHASH, BOOL, DWORD, BYTE*, DWORD*, DWORD) { UNSUPPORTED; }
CSP_EXPORT BOOL WINAPI CPDecrypt(HCRYPTPROV, HCRYPTKEY, HCRYPTHASH, BOOL, DWORD, BYTE*, DWORD*) { UNSUPPORTED; }
CSP_EXPORT BOOL WINAPI CPGenRandom(HCRYPTPROV, DWORD, BYTE*) { UNSUPPORTED; }
