// The entry points of the software RSA provider module (rsaenh): contexts over the key
// containers, RSA key pairs, session keys and hashes.
#include <cstring>

#include "containers.h"
#include "profiles.h"
#include "kit/module.h"
#include "qm/csp_spi.h"

using namespace qm::softcsp;
using namespace qm::cspkit;

namespace
{
constexpr size_t kMaxContainerName = 259;

struct CKeyObj
{
    HCRYPTPROV prov = 0;
    bool isRsa = false;
    ALG_ID alg = 0;
    DWORD flags = 0;
    RsaKey rsa;
    SessionKey session;
};

struct CProv
{
    const Profile* profile = nullptr;
    std::string container;
    bool verify = false;
    std::unique_ptr<CContainerStore> store;
    size_t algCursor = 0;
    ContainerWalk walk;
    std::map<DWORD, std::shared_ptr<CKeyObj>> ephemeral; // keys of a verify context
    std::mutex lock;
};

CModuleHandles<CProv, CKeyObj> g_module;

DWORD SpecOfAlg(ALG_ID alg)
{
    if (alg == AT_KEYEXCHANGE || alg == CALG_RSA_KEYX)
        return AT_KEYEXCHANGE;
    if (alg == AT_SIGNATURE || alg == CALG_RSA_SIGN)
        return AT_SIGNATURE;
    return 0;
}

ALG_ID AlgOfSpec(DWORD spec)
{
    return spec == AT_KEYEXCHANGE ? CALG_RSA_KEYX : CALG_RSA_SIGN;
}

// Keys read from containers, by their blob. Each signature or decryption reads its key anew
// from the container; the same blob then gets back the key OpenSSL has already prepared for
// its private operation (CRT forms, blinding) instead of building it again.
bool ParseStoredKey(const Bytes& blob, RsaKey* key)
{
    constexpr size_t kMaxParsed = 16;
    static std::mutex lock;
    static std::map<Bytes, RsaKey> parsed;
    {
        std::lock_guard guard(lock);
        auto it = parsed.find(blob);
        if (it != parsed.end())
        {
            *key = it->second;
            return true;
        }
    }
    ALG_ID alg = 0;
    if (ParseRsaBlob(blob.data(), DWORD(blob.size()), key, &alg) != 0)
        return false;
    PreparePrivateOp(*key);
    std::lock_guard guard(lock);
    if (parsed.size() >= kMaxParsed)
        parsed.clear();
    parsed.emplace(blob, *key);
    return true;
}

// The key pair of a key specification: held in memory by a verify context, else read
// from the container.
std::shared_ptr<CKeyObj> LoadUserKey(HCRYPTPROV h, CProv& prov, DWORD spec)
{
    if (prov.verify)
    {
        std::lock_guard lock(prov.lock);
        auto it = prov.ephemeral.find(spec);
        if (it == prov.ephemeral.end())
            return nullptr;
        return std::make_shared<CKeyObj>(*it->second);
    }
    auto stored = prov.store->GetKey(prov.container, spec);
    if (!stored)
        return nullptr;
    auto key = std::make_shared<CKeyObj>();
    if (!ParseStoredKey(stored->blob, &key->rsa))
        return nullptr;
    key->prov = h;
    key->isRsa = true;
    key->alg = AlgOfSpec(spec);
    key->flags = stored->flags;
    return key;
}

DWORD KeepUserKey(CProv& prov, DWORD spec, const CKeyObj& key)
{
    if (prov.verify)
    {
        std::lock_guard lock(prov.lock);
        prov.ephemeral[spec] = std::make_shared<CKeyObj>(key);
        return 0;
    }
    StoredKey stored;
    stored.spec = spec;
    stored.flags = key.flags;
    stored.blob = PrivateKeyBlob(key.rsa, key.alg);
    return prov.store->PutKey(prov.container, stored);
}

BOOL NewKeyHandle(std::shared_ptr<CKeyObj> key, HCRYPTKEY* phKey)
{
    *phKey = g_module.keys.Add(std::move(key));
    return TRUE;
}

} // namespace

QM_CSPKIT_COMMON_ENTRY_POINTS(g_module)

QMAPI BOOL WINAPI CPAcquireContext(HCRYPTPROV* phProv, LPCSTR szContainer, DWORD dwFlags,
                                   PVTableProvStruc pVTable)
{
    constexpr DWORD kAllowed = CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET | CRYPT_DELETEKEYSET |
                               CRYPT_MACHINE_KEYSET | CRYPT_SILENT;
    *phProv = 0;
    if (dwFlags & ~kAllowed)
        return Fail(DWORD(NTE_BAD_FLAGS));
    bool verify = (dwFlags & CRYPT_VERIFYCONTEXT) == CRYPT_VERIFYCONTEXT;
    std::string container = szContainer ? szContainer : "";
    if (verify && ((dwFlags & (CRYPT_NEWKEYSET | CRYPT_DELETEKEYSET)) || !container.empty()))
        return Fail(DWORD(NTE_BAD_FLAGS));
    if ((dwFlags & CRYPT_NEWKEYSET) && (dwFlags & CRYPT_DELETEKEYSET))
        return Fail(DWORD(NTE_BAD_FLAGS));
    if (!verify && container.empty())
        container = DefaultContainerName();
    if (container.size() > kMaxContainerName)
        return Fail(DWORD(NTE_BAD_KEYSET_PARAM));

    auto prov = std::make_shared<CProv>();
    prov->profile = &ProfileFor(pVTable && pVTable->pszProvName ? pVTable->pszProvName : "",
                                pVTable ? pVTable->dwProvType : PROV_RSA_FULL);
    prov->container = container;
    prov->verify = verify;
    prov->store = std::make_unique<CContainerStore>(dwFlags & CRYPT_MACHINE_KEYSET);
    if (!verify && prov->store->Error())
        return Fail(prov->store->Error());
    if (dwFlags & CRYPT_DELETEKEYSET)
    {
        if (DWORD e = prov->store->Delete(container))
            return Fail(e);
        return TRUE;
    }
    if (dwFlags & CRYPT_NEWKEYSET)
    {
        if (DWORD e = prov->store->Create(container))
            return Fail(e);
    }
    else if (!verify && !prov->store->Exists(container))
        return Fail(DWORD(NTE_BAD_KEYSET));
    *phProv = g_module.provs.Add(prov);
    return TRUE;
}

QMAPI BOOL WINAPI CPGetProvParam(HCRYPTPROV hProv, DWORD dwParam, BYTE* pbData, DWORD* pdwDataLen,
                                 DWORD dwFlags)
{
    auto prov = g_module.Prov(hProv);
    if (!prov)
        return FALSE;
    switch (dwParam)
    {
    case PP_NAME:
        return CopyText(prov->profile->name, pbData, pdwDataLen);
    case PP_CONTAINER:
    case PP_UNIQUE_CONTAINER:
        return CopyText(prov->container, pbData, pdwDataLen);
    case PP_ENUMCONTAINERS:
    {
        std::lock_guard lock(prov->lock);
        return prov->walk.Next([&](std::vector<std::string>* names) { return prov->store->List(names); }, pbData, pdwDataLen, dwFlags);
    }
    case PP_ENUMALGS:
    case PP_ENUMALGS_EX:
    {
        std::lock_guard lock(prov->lock);
        return EnumAlg(prov->profile->algs, prov->algCursor, dwParam, pbData, pdwDataLen, dwFlags);
    }
    case PP_IMPTYPE:
        return CopyDword(CRYPT_IMPL_SOFTWARE, pbData, pdwDataLen);
    case PP_VERSION:
        return CopyDword(0x200, pbData, pdwDataLen);
    case PP_PROVTYPE:
        return CopyDword(prov->profile->type, pbData, pdwDataLen);
    case PP_KEYSPEC:
        return CopyDword(AT_KEYEXCHANGE | AT_SIGNATURE, pbData, pdwDataLen);
    case PP_SIG_KEYSIZE_INC:
    case PP_KEYX_KEYSIZE_INC:
        return CopyDword(8, pbData, pdwDataLen);
    default:
        return Fail(DWORD(NTE_BAD_TYPE));
    }
}

QMAPI BOOL WINAPI CPGenKey(HCRYPTPROV hProv, ALG_ID Algid, DWORD dwFlags, HCRYPTKEY* phKey)
{
    auto prov = g_module.Prov(hProv);
    if (!prov)
        return FALSE;
    constexpr DWORD kAllowed = CRYPT_EXPORTABLE | CRYPT_USER_PROTECTED | CRYPT_CREATE_SALT |
                               CRYPT_NO_SALT | CRYPT_ARCHIVABLE;
    DWORD bits = dwFlags >> 16, options = dwFlags & 0xFFFF;
    if (options & ~kAllowed)
        return Fail(DWORD(NTE_BAD_FLAGS));
    auto key = std::make_shared<CKeyObj>();
    key->prov = hProv;
    key->flags = options;
    if (DWORD spec = SpecOfAlg(Algid))
    {
        const Profile& p = *prov->profile;
        if (bits == 0)
            bits = p.rsaDefault;
        if (bits < p.rsaMin || bits > p.RsaMax(spec) || bits % 8)
            return Fail(DWORD(NTE_BAD_FLAGS));
        key->isRsa = true;
        key->alg = AlgOfSpec(spec);
        if (!GenerateRsa(bits, &key->rsa))
            return Fail(DWORD(NTE_FAIL));
        if (DWORD e = KeepUserKey(*prov, spec, *key))
            return Fail(e);
        return NewKeyHandle(key, phKey);
    }
    if (!prov->profile->Offers(Algid) || !SessionKeyBits(Algid))
        return Fail(DWORD(NTE_BAD_ALGID));
    if (bits && bits != SessionKeyBits(Algid))
        return Fail(DWORD(NTE_BAD_FLAGS));
    key->alg = Algid;
    if (!NewSessionKey(Algid, &key->session))
        return Fail(DWORD(NTE_FAIL));
    key->session.exportable = options & CRYPT_EXPORTABLE;
    return NewKeyHandle(key, phKey);
}

QMAPI BOOL WINAPI CPGetUserKey(HCRYPTPROV hProv, DWORD dwKeySpec, HCRYPTKEY* phUserKey)
{
    auto prov = g_module.Prov(hProv);
    if (!prov)
        return FALSE;
    if (dwKeySpec != AT_KEYEXCHANGE && dwKeySpec != AT_SIGNATURE)
        return Fail(DWORD(NTE_BAD_KEY));
    auto key = LoadUserKey(hProv, *prov, dwKeySpec);
    if (!key)
        return Fail(DWORD(NTE_NO_KEY));
    return NewKeyHandle(key, phUserKey);
}

QMAPI BOOL WINAPI CPGetKeyParam(HCRYPTPROV hProv, HCRYPTKEY hKey, DWORD dwParam, BYTE* pbData,
                                DWORD* pdwDataLen, DWORD dwFlags)
{
    auto key = g_module.Key(hProv, hKey);
    if (!key)
        return FALSE;
    if (dwFlags)
        return Fail(DWORD(NTE_BAD_FLAGS));
    if (!key->isRsa)
        return GetSessionKeyParam(key->session, dwParam, pbData, pdwDataLen);
    switch (dwParam)
    {
    case KP_ALGID:
        return CopyDword(key->alg, pbData, pdwDataLen);
    case KP_KEYLEN:
    case KP_BLOCKLEN:
        return CopyDword(key->rsa.bits, pbData, pdwDataLen);
    case KP_PERMISSIONS:
    {
        DWORD permissions = CRYPT_ENCRYPT | CRYPT_DECRYPT | CRYPT_READ | CRYPT_WRITE | CRYPT_MAC;
        if (key->flags & CRYPT_EXPORTABLE)
            permissions |= CRYPT_EXPORT;
        return CopyDword(permissions, pbData, pdwDataLen);
    }
    default:
        return Fail(DWORD(NTE_BAD_TYPE));
    }
}

QMAPI BOOL WINAPI CPSetKeyParam(HCRYPTPROV hProv, HCRYPTKEY hKey, DWORD dwParam, const BYTE* pbData,
                                DWORD dwFlags)
{
    auto key = g_module.Key(hProv, hKey);
    if (!key)
        return FALSE;
    if (!key->isRsa)
        return SetSessionKeyParam(key->session, dwParam, pbData);
    return Fail(DWORD(NTE_BAD_TYPE));
}

QMAPI BOOL WINAPI CPExportKey(HCRYPTPROV hProv, HCRYPTKEY hKey, HCRYPTKEY hPubKey, DWORD dwBlobType,
                              DWORD dwFlags, BYTE* pbData, DWORD* pdwDataLen)
{
    auto key = g_module.Key(hProv, hKey);
    if (!key)
        return FALSE;
    Bytes blob;
    switch (dwBlobType)
    {
    case PUBLICKEYBLOB:
        if (!key->isRsa || hPubKey)
            return Fail(DWORD(NTE_BAD_KEY));
        blob = PublicKeyBlob(key->rsa, key->alg);
        break;
    case PRIVATEKEYBLOB:
        if (!key->isRsa || !key->rsa.HasPrivate() || hPubKey)
            return Fail(DWORD(NTE_BAD_KEY));
        if (!(key->flags & CRYPT_EXPORTABLE))
            return Fail(DWORD(NTE_BAD_KEY_STATE));
        blob = PrivateKeyBlob(key->rsa, key->alg);
        break;
    case SIMPLEBLOB:
    {
        if (key->isRsa)
            return Fail(DWORD(NTE_BAD_KEY));
        auto pub = hPubKey ? g_module.Key(hProv, hPubKey) : nullptr;
        if (!pub || !pub->isRsa)
            return Fail(DWORD(NTE_BAD_PUBLIC_KEY));
        if (!key->session.exportable)
            return Fail(DWORD(NTE_BAD_KEY_STATE));
        Bytes cipher;
        if (!pbData)
            cipher.assign((pub->rsa.bits + 7) / 8, 0);
        else if (DWORD e = RsaEncryptPkcs1(pub->rsa, key->session.key, &cipher))
            return Fail(e);
        blob = {SIMPLEBLOB, CUR_BLOB_VERSION, 0, 0};
        for (ALG_ID a : {key->alg, ALG_ID(CALG_RSA_KEYX)})
            for (int i = 0; i < 4; ++i)
                blob.push_back(BYTE(a >> (8 * i)));
        Bytes le = Reversed(cipher);
        blob.insert(blob.end(), le.begin(), le.end());
        break;
    }
    case PLAINTEXTKEYBLOB:
    {
        if (key->isRsa)
            return Fail(DWORD(NTE_BAD_KEY));
        if (!key->session.exportable)
            return Fail(DWORD(NTE_BAD_KEY_STATE));
        blob = {PLAINTEXTKEYBLOB, CUR_BLOB_VERSION, 0, 0};
        DWORD size = DWORD(key->session.key.size());
        for (DWORD v : {DWORD(key->alg), size})
            for (int i = 0; i < 4; ++i)
                blob.push_back(BYTE(v >> (8 * i)));
        blob.insert(blob.end(), key->session.key.begin(), key->session.key.end());
        break;
    }
    default:
        return Fail(DWORD(NTE_BAD_TYPE));
    }
    return CopyOut(blob.data(), DWORD(blob.size()), pbData, pdwDataLen);
}

QMAPI BOOL WINAPI CPImportKey(HCRYPTPROV hProv, const BYTE* pbData, DWORD cbDataLen,
                              HCRYPTKEY hPubKey, DWORD dwFlags, HCRYPTKEY* phKey)
{
    auto prov = g_module.Prov(hProv);
    if (!prov)
        return FALSE;
    constexpr DWORD kAllowed = CRYPT_EXPORTABLE | CRYPT_USER_PROTECTED | CRYPT_NO_SALT | CRYPT_OAEP;
    if (dwFlags & ~kAllowed)
        return Fail(DWORD(NTE_BAD_FLAGS));
    if (cbDataLen < 8)
        return Fail(DWORD(NTE_BAD_DATA));
    if (pbData[1] != CUR_BLOB_VERSION)
        return Fail(DWORD(NTE_BAD_VER));
    auto key = std::make_shared<CKeyObj>();
    key->prov = hProv;
    key->flags = dwFlags & 0xFFFF;
    ALG_ID alg = 0;
    std::memcpy(&alg, pbData + 4, 4);
    switch (pbData[0])
    {
    case PUBLICKEYBLOB:
    case PRIVATEKEYBLOB:
    {
        if (hPubKey)
            return Fail(DWORD(NTE_BAD_KEY));
        if (DWORD e = ParseRsaBlob(pbData, cbDataLen, &key->rsa, &key->alg))
            return Fail(e);
        if (key->rsa.bits > prov->profile->RsaMax(SpecOfAlg(key->alg)))
            return Fail(DWORD(NTE_BAD_DATA));
        key->isRsa = true;
        if (pbData[0] == PRIVATEKEYBLOB)
            if (DWORD e = KeepUserKey(*prov, SpecOfAlg(key->alg), *key))
                return Fail(e);
        return NewKeyHandle(key, phKey);
    }
    case SIMPLEBLOB:
    case PLAINTEXTKEYBLOB:
    {
        if (!prov->profile->Offers(alg) || !SessionKeyBits(alg))
            return Fail(DWORD(NTE_BAD_ALGID));
        Bytes plain;
        if (pbData[0] == SIMPLEBLOB)
        {
            auto pub = hPubKey ? g_module.Key(hProv, hPubKey) : nullptr;
            if (!pub || !pub->isRsa || !pub->rsa.HasPrivate())
                return Fail(DWORD(NTE_BAD_PUBLIC_KEY));
            ALG_ID wrapAlg = 0;
            if (cbDataLen < 12)
                return Fail(DWORD(NTE_BAD_DATA));
            std::memcpy(&wrapAlg, pbData + 8, 4);
            if (wrapAlg != CALG_RSA_KEYX || cbDataLen - 12 != (pub->rsa.bits + 7) / 8)
                return Fail(DWORD(NTE_BAD_DATA));
            Bytes cipher = Reversed(Bytes(pbData + 12, pbData + cbDataLen));
            if (DWORD e = RsaDecryptPkcs1(pub->rsa, cipher, &plain))
                return Fail(e);
        }
        else
        {
            DWORD size = 0;
            if (cbDataLen < 12)
                return Fail(DWORD(NTE_BAD_DATA));
            std::memcpy(&size, pbData + 8, 4);
            if (size != cbDataLen - 12)
                return Fail(DWORD(NTE_BAD_DATA));
            plain.assign(pbData + 12, pbData + cbDataLen);
        }
        if (plain.size() != SessionKeyBits(alg) / 8)
            return Fail(DWORD(NTE_BAD_DATA));
        NewSessionKey(alg, &key->session);
        key->session.key = plain;
        key->session.exportable = dwFlags & CRYPT_EXPORTABLE;
        key->alg = alg;
        return NewKeyHandle(key, phKey);
    }
    default:
        return Fail(DWORD(NTE_BAD_TYPE));
    }
}

QMAPI BOOL WINAPI CPCreateHash(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY hKey, DWORD dwFlags,
                               HCRYPTHASH* phHash)
{
    auto prov = g_module.Prov(hProv);
    if (!prov)
        return FALSE;
    if (!prov->profile->Offers(Algid) || !HashSize(Algid))
        return Fail(DWORD(NTE_BAD_ALGID));
    return g_module.AddHash(hProv, std::make_unique<HashObject>(Algid), phHash);
}

QMAPI BOOL WINAPI CPDuplicateHash(HCRYPTPROV hUID, HCRYPTHASH hHash, DWORD* pdwReserved,
                                  DWORD dwFlags, HCRYPTHASH* phHash)
{
    auto hash = g_module.Hash(hUID, hHash);
    if (!hash)
        return FALSE;
    if (dwFlags)
        return Fail(DWORD(NTE_BAD_FLAGS));
    auto copy = hash->hash->Clone();
    if (!copy)
        return Fail(DWORD(NTE_FAIL));
    return g_module.AddHash(hUID, std::move(copy), phHash);
}

QMAPI BOOL WINAPI CPDuplicateKey(HCRYPTPROV hUID, HCRYPTKEY hKey, DWORD* pdwReserved,
                                 DWORD dwFlags, HCRYPTKEY* phKey)
{
    auto key = g_module.Key(hUID, hKey);
    if (!key)
        return FALSE;
    if (dwFlags)
        return Fail(DWORD(NTE_BAD_FLAGS));
    // An independent key: its parameters (IV, mode, chaining state) change apart.
    return NewKeyHandle(std::make_shared<CKeyObj>(*key), phKey);
}

QMAPI BOOL WINAPI CPHashData(HCRYPTPROV hProv, HCRYPTHASH hHash, const BYTE* pbData,
                             DWORD cbDataLen, DWORD dwFlags)
{
    return g_module.HashData(hProv, hHash, pbData, cbDataLen, dwFlags, CRYPT_USERDATA);
}

QMAPI BOOL WINAPI CPSignHash(HCRYPTPROV hProv, HCRYPTHASH hHash, DWORD dwKeySpec,
                             LPCWSTR szDescription, DWORD dwFlags, BYTE* pbSignature,
                             DWORD* pdwSigLen)
{
    auto prov = g_module.Prov(hProv);
    auto hash = prov ? g_module.Hash(hProv, hHash) : nullptr;
    if (!hash)
        return FALSE;
    if (dwFlags & ~DWORD(CRYPT_NOHASHOID))
        return Fail(DWORD(NTE_BAD_FLAGS));
    if (dwKeySpec != AT_KEYEXCHANGE && dwKeySpec != AT_SIGNATURE)
        return Fail(DWORD(NTE_BAD_ALGID));
    auto key = LoadUserKey(hProv, *prov, dwKeySpec);
    if (!key)
        return Fail(DWORD(NTE_NO_KEY));
    DWORD size = (key->rsa.bits + 7) / 8;
    if (!pbSignature || *pdwSigLen < size)
        return CopyOut(nullptr, size, pbSignature, pdwSigLen);
    Bytes digest, signature;
    if (DWORD e = hash->hash->Value(&digest))
        return Fail(e);
    if (DWORD e = RsaSignDigest(key->rsa, hash->hash->Alg(), digest, dwFlags & CRYPT_NOHASHOID,
                                &signature))
        return Fail(e);
    return CopyOut(signature.data(), DWORD(signature.size()), pbSignature, pdwSigLen);
}

QMAPI BOOL WINAPI CPVerifySignature(HCRYPTPROV hProv, HCRYPTHASH hHash, const BYTE* pbSignature,
                                    DWORD cbSigLen, HCRYPTKEY hPubKey, LPCWSTR szDescription,
                                    DWORD dwFlags)
{
    auto hash = g_module.Hash(hProv, hHash);
    auto key = hash ? g_module.Key(hProv, hPubKey) : nullptr;
    if (!key)
        return FALSE;
    if (!key->isRsa)
        return Fail(DWORD(NTE_BAD_KEY));
    Bytes digest;
    if (DWORD e = hash->hash->Value(&digest))
        return Fail(e);
    if (DWORD e = RsaVerifyDigest(key->rsa, hash->hash->Alg(), digest,
                                  Bytes(pbSignature, pbSignature + cbSigLen)))
        return Fail(e);
    return TRUE;
}

QMAPI BOOL WINAPI CPEncrypt(HCRYPTPROV hProv, HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL fFinal,
                            DWORD dwFlags, BYTE* pbData, DWORD* pdwDataLen, DWORD cbBufLen)
{
    auto key = g_module.Key(hProv, hKey);
    if (!key)
        return FALSE;
    if (!key->isRsa)
    {
        DWORD e = SymCrypt(key->session, true, fFinal, pbData, pdwDataLen, cbBufLen);
        return e ? Fail(e) : TRUE;
    }
    // The buffer length, not the length of the data in it, decides whether the cipher fits.
    DWORD size = (key->rsa.bits + 7) / 8;
    if (!pbData || cbBufLen < size)
    {
        *pdwDataLen = size;
        return pbData ? Fail(DWORD(ERROR_MORE_DATA)) : TRUE;
    }
    Bytes cipher;
    if (DWORD e = RsaEncryptPkcs1(key->rsa, Bytes(pbData, pbData + *pdwDataLen), &cipher))
        return Fail(e);
    Bytes le = Reversed(cipher);
    std::memcpy(pbData, le.data(), size);
    *pdwDataLen = size;
    return TRUE;
}

QMAPI BOOL WINAPI CPDecrypt(HCRYPTPROV hProv, HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL fFinal,
                            DWORD dwFlags, BYTE* pbData, DWORD* pdwDataLen)
{
    auto key = g_module.Key(hProv, hKey);
    if (!key)
        return FALSE;
    if (!key->isRsa)
    {
        DWORD e = SymCrypt(key->session, false, fFinal, pbData, pdwDataLen, *pdwDataLen);
        return e ? Fail(e) : TRUE;
    }
    if (!pbData)
        return Fail(ERROR_INVALID_PARAMETER);
    Bytes plain;
    if (DWORD e = RsaDecryptPkcs1(key->rsa, Reversed(Bytes(pbData, pbData + *pdwDataLen)), &plain))
        return Fail(e);
    std::memcpy(pbData, plain.data(), plain.size());
    *pdwDataLen = DWORD(plain.size());
    return TRUE;
}
