// The entry points of the USB token's provider module: containers, RSA and SM2 key pairs
// and certificates on the token, SM3 with the SM2 Z value, and the vendor envelopes.
#include <openssl/evp.h>

#include <cstring>
#include <mutex>

#include "envelopes.h"
#include "kit/module.h"
#include "qm/csp_spi.h"
#include "token_errors.h"
#include "token_store.h"

using namespace qm::tokencsp;
using namespace qm::cspkit;

namespace
{
constexpr DWORD kDeleteAfterFailedSm2 = 0xFFFF0002; // the vendor's "remove this container"
constexpr size_t kMaxContainerName = 259;

struct CProv
{
    std::string name;
    std::shared_ptr<CTokenSession> session;
    std::unique_ptr<CTokenStore> store;
    std::string container; // empty: a context that lists containers
    ContainerWalk walk;
    size_t algCursor = 0;
    std::mutex lock;
};

struct CKeyObj
{
    HCRYPTPROV prov = 0;
    DWORD spec = 0; // 0: a public key imported into the context
    KeyRecord record;
};

CModuleHandles<CProv, CKeyObj> g_module;

const std::vector<AlgInfo>& Algorithms()
{
    static const std::vector<AlgInfo> algs = {
        {CALG_SHA1, 160, 160, 160, CRYPT_FLAG_SIGNING, "SHA-1", "Secure Hash Algorithm (SHA-1)"},
        {CALG_MD5, 128, 128, 128, 0, "MD5", "Message Digest 5 (MD5)"},
        {CALG_SHA_256, 256, 256, 256, 0, "SHA-256", "Secure Hash Algorithm (SHA-256)"},
        {kSm3Alg, 256, 256, 256, CRYPT_FLAG_SIGNING, "SM3", "SM3 Hash Algorithm"},
        {CALG_3DES, 192, 192, 192, 0, "3DES", "Three Key Triple DES"},
        {CALG_RSA_SIGN, 1024, 1024, 2048, CRYPT_FLAG_SIGNING, "RSA_SIGN", "RSA Signature"},
        {CALG_RSA_KEYX, 1024, 1024, 2048, 0, "RSA_KEYX", "RSA Key Exchange"},
        {kSm2SignatureAlg, 256, 256, 256, CRYPT_FLAG_SIGNING, "SM2_SIGN", "SM2 Signature"},
        {kSm2ExchangeAlg, 256, 256, 256, 0, "SM2_KEYX", "SM2 Key Exchange"},
    };
    return algs;
}

ALG_ID AlgOf(const KeyRecord& r)
{
    if (r.sm2)
        return r.spec == AT_KEYEXCHANGE ? kSm2ExchangeAlg : kSm2SignatureAlg;
    return r.spec == AT_SIGNATURE ? CALG_RSA_SIGN : CALG_RSA_KEYX;
}

BOOL KeyHandle(HCRYPTPROV h, DWORD spec, const KeyRecord& record, HCRYPTKEY* phKey)
{
    auto key = std::make_shared<CKeyObj>();
    key->prov = h;
    key->spec = spec;
    key->record = record;
    *phKey = g_module.keys.Add(key);
    return TRUE;
}

// The container's key of a specification, fresh from the token.
BOOL UserKey(HCRYPTPROV h, CProv& prov, DWORD spec, HCRYPTKEY* phKey)
{
    if (prov.container.empty())
        return Fail(DWORD(NTE_BAD_KEYSET));
    auto record = prov.store->Key(prov.container, spec);
    if (!record)
        return Fail(DWORD(NTE_NO_KEY));
    return KeyHandle(h, spec, *record, phKey);
}

Bytes Sm2PublicBlob(const KeyRecord& r)
{
    Bytes blob = {PUBLICKEYBLOB, CUR_BLOB_VERSION, 0, 0};
    ALG_ID alg = AlgOf(r);
    for (DWORD v : {DWORD(alg), DWORD(256)})
        for (int i = 0; i < 4; ++i)
            blob.push_back(BYTE(v >> (8 * i)));
    for (const Bytes* c : {&r.sm2Key.x, &r.sm2Key.y})
    {
        Bytes field(64, 0);
        Bytes le = Reversed(*c);
        std::copy(le.begin(), le.end(), field.begin());
        blob.insert(blob.end(), field.begin(), field.end());
    }
    return blob;
}


// The delivered RSA key pair: the session key opens with the container's temporary
// exchange key, the private key with the session key (Triple DES, ECB).
DWORD OpenRsaEnvelope(CProv& prov, const Envelope& e, RsaKey* key)
{
    Bytes wrapped, encrypted, sessionKey, der;
    if (!ReadRsaEnvelope(e.data, &wrapped, &encrypted))
        return DWORD(NTE_BAD_DATA);
    auto temp = prov.store->Key(prov.container, AT_KEYEXCHANGE);
    if (!temp || temp->sm2)
        return DWORD(NTE_NO_KEY);
    if (DWORD err = prov.store->RsaDecrypt(temp->object, wrapped, &sessionKey))
        return err;
    if (sessionKey.size() == 32)
        sessionKey.resize(24);
    if (sessionKey.size() != 24 || encrypted.empty() || encrypted.size() % 8)
        return DWORD(NTE_BAD_DATA);
    SessionKey s;
    NewSessionKey(CALG_3DES, &s);
    s.key = sessionKey;
    s.mode = CRYPT_MODE_ECB;
    DWORD length = DWORD(encrypted.size());
    if (SymCrypt(s, false, true, encrypted.data(), &length, length))
        return DWORD(NTE_BAD_DATA);
    encrypted.resize(length);
    if (!RsaFromPkcs1(encrypted, key))
        return DWORD(NTE_BAD_DATA);
    return 0;
}
} // namespace

QM_CSPKIT_COMMON_ENTRY_POINTS(g_module)

QMAPI BOOL WINAPI CPAcquireContext(HCRYPTPROV* phProv, LPCSTR szContainer, DWORD dwFlags,
                                   PVTableProvStruc pVTable)
{
    *phProv = 0;
    bool verify =
        (dwFlags & CRYPT_VERIFYCONTEXT) == CRYPT_VERIFYCONTEXT && dwFlags != kDeleteAfterFailedSm2;
    bool vendorDelete = dwFlags == kDeleteAfterFailedSm2;
    if (!vendorDelete)
    {
        constexpr DWORD kAllowed = CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET | CRYPT_DELETEKEYSET |
                                   CRYPT_SILENT | CRYPT_MACHINE_KEYSET;
        if ((dwFlags & ~kAllowed) ||
            (verify && (dwFlags & (CRYPT_NEWKEYSET | CRYPT_DELETEKEYSET))) ||
            ((dwFlags & CRYPT_NEWKEYSET) && (dwFlags & CRYPT_DELETEKEYSET)))
            return Fail(DWORD(NTE_BAD_FLAGS));
    }
    std::string container = szContainer ? szContainer : "";
    if (container.size() > kMaxContainerName)
        return Fail(DWORD(NTE_BAD_KEYSET_PARAM));

    auto prov = std::make_shared<CProv>();
    prov->name = pVTable && pVTable->pszProvName ? pVTable->pszProvName : "";
    auto config = ReadTokenConfig(prov->name);
    if (!config)
        return Fail(QM_TOKEN_E_NOT_CONFIGURED);
    if (DWORD e = CTokenSession::Open(*config, &prov->session))
        return Fail(e);
    prov->store = std::make_unique<CTokenStore>(prov->session);

    if (vendorDelete || (dwFlags & CRYPT_DELETEKEYSET))
    {
        if (DWORD e = prov->store->Delete(container))
            return Fail(e);
        return TRUE;
    }
    if (dwFlags & CRYPT_NEWKEYSET)
    {
        if (container.empty())
            return Fail(DWORD(NTE_BAD_KEYSET_PARAM));
        if (DWORD e = prov->store->Create(container))
            return Fail(e);
    }
    else if (!container.empty())
    {
        // A named container opens under CRYPT_VERIFYCONTEXT too, with its keys.
        if (!prov->store->Exists(container))
            return Fail(DWORD(NTE_BAD_KEYSET));
    }
    else if (!verify)
    {
        // No name: the token's first container, as a card's default.
        auto names = prov->store->Containers();
        if (names.empty())
            return Fail(DWORD(NTE_BAD_KEYSET));
        container = names.front();
    }
    prov->container = container;
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
        return CopyText(prov->name, pbData, pdwDataLen);
    case PP_CONTAINER:
    case PP_UNIQUE_CONTAINER:
        return CopyText(prov->container, pbData, pdwDataLen);
    case PP_ENUMCONTAINERS:
    {
        std::lock_guard lock(prov->lock);
        return prov->walk.Next(
            [&](std::vector<std::string>* names) {
                *names = prov->store->Containers();
                return DWORD(0);
            },
            pbData, pdwDataLen, dwFlags);
    }
    case PP_ENUMALGS:
    case PP_ENUMALGS_EX:
    {
        std::lock_guard lock(prov->lock);
        return EnumAlg(Algorithms(), prov->algCursor, dwParam, pbData, pdwDataLen, dwFlags);
    }
    case PP_IMPTYPE:
        return CopyDword(CRYPT_IMPL_HARDWARE | CRYPT_IMPL_REMOVABLE, pbData, pdwDataLen);
    case PP_VERSION:
        return CopyDword(0x200, pbData, pdwDataLen);
    case PP_PROVTYPE:
        return CopyDword(PROV_RSA_FULL, pbData, pdwDataLen);
    case PP_KEYSPEC:
        return CopyDword(AT_KEYEXCHANGE | AT_SIGNATURE, pbData, pdwDataLen);
    default:
        return Fail(DWORD(NTE_BAD_TYPE));
    }
}

QMAPI BOOL WINAPI CPGenKey(HCRYPTPROV hProv, ALG_ID Algid, DWORD dwFlags, HCRYPTKEY* phKey)
{
    auto prov = g_module.Prov(hProv);
    if (!prov)
        return FALSE;
    DWORD bits = dwFlags >> 16, options = dwFlags & 0xFFFF;
    if (options & ~DWORD(CRYPT_EXPORTABLE | CRYPT_USER_PROTECTED | CRYPT_ARCHIVABLE))
        return Fail(DWORD(NTE_BAD_FLAGS));
    if (prov->container.empty())
        return Fail(DWORD(NTE_BAD_KEYSET));
    DWORD spec = 0;
    DWORD e = 0;
    if (Algid == kSm2ExchangeAlg || Algid == kSm2SignatureAlg)
    {
        spec = Algid == kSm2ExchangeAlg ? AT_KEYEXCHANGE : AT_SIGNATURE;
        if (bits && bits != 256)
            return Fail(DWORD(NTE_BAD_FLAGS));
        Sm2Key key;
        if (!Sm2Generate(&key))
            return Fail(DWORD(NTE_FAIL));
        e = prov->store->PutSm2(prov->container, spec, key);
    }
    else if (Algid == AT_KEYEXCHANGE || Algid == CALG_RSA_KEYX || Algid == AT_SIGNATURE ||
             Algid == CALG_RSA_SIGN)
    {
        spec = (Algid == AT_KEYEXCHANGE || Algid == CALG_RSA_KEYX) ? AT_KEYEXCHANGE : AT_SIGNATURE;
        if (bits == 0)
            bits = 1024;
        if (bits < 1024 || bits > 2048 || bits % 8)
            return Fail(DWORD(NTE_BAD_FLAGS));
        e = prov->store->GenerateRsa(prov->container, spec, bits, options & CRYPT_EXPORTABLE);
    }
    else
        return Fail(DWORD(NTE_BAD_ALGID));
    if (e)
        return Fail(e);
    return UserKey(hProv, *prov, spec, phKey);
}

QMAPI BOOL WINAPI CPGetUserKey(HCRYPTPROV hProv, DWORD dwKeySpec, HCRYPTKEY* phUserKey)
{
    auto prov = g_module.Prov(hProv);
    if (!prov)
        return FALSE;
    if (dwKeySpec != AT_KEYEXCHANGE && dwKeySpec != AT_SIGNATURE)
        return Fail(DWORD(NTE_BAD_KEY));
    return UserKey(hProv, *prov, dwKeySpec, phUserKey);
}

QMAPI BOOL WINAPI CPGetKeyParam(HCRYPTPROV hProv, HCRYPTKEY hKey, DWORD dwParam, BYTE* pbData,
                                DWORD* pdwDataLen, DWORD dwFlags)
{
    auto prov = g_module.Prov(hProv);
    auto key = prov ? g_module.Key(hProv, hKey) : nullptr;
    if (!key)
        return FALSE;
    switch (dwParam)
    {
    case KP_ALGID:
        return CopyDword(AlgOf(key->record), pbData, pdwDataLen);
    case KP_KEYLEN:
    case KP_BLOCKLEN:
        return CopyDword(key->record.bits, pbData, pdwDataLen);
    case KP_CERTIFICATE:
    {
        if (!key->spec)
            return Fail(DWORD(NTE_BAD_KEY));
        auto cert = prov->store->Certificate(prov->container, key->spec);
        if (!cert)
            return Fail(DWORD(NTE_NOT_FOUND));
        return CopyOut(cert->data(), DWORD(cert->size()), pbData, pdwDataLen);
    }
    default:
        return Fail(DWORD(NTE_BAD_TYPE));
    }
}

QMAPI BOOL WINAPI CPSetKeyParam(HCRYPTPROV hProv, HCRYPTKEY hKey, DWORD dwParam, const BYTE* pbData,
                                DWORD dwFlags)
{
    auto prov = g_module.Prov(hProv);
    auto key = prov ? g_module.Key(hProv, hKey) : nullptr;
    if (!key)
        return FALSE;
    if (dwParam != KP_CERTIFICATE)
        return Fail(DWORD(NTE_BAD_TYPE));
    if (!key->spec)
        return Fail(DWORD(NTE_BAD_KEY));
    // The buffer holds one DER certificate; its own length says where it ends.
    size_t length = 0;
    if (pbData[0] == 0x30 && pbData[1] == 0x82)
        length = 4 + (size_t(pbData[2]) << 8 | pbData[3]);
    else if (pbData[0] == 0x30 && pbData[1] == 0x81)
        length = 3 + size_t(pbData[2]);
    else if (pbData[0] == 0x30 && pbData[1] < 0x80)
        length = 2 + size_t(pbData[1]);
    else if (pbData[0] == 0x30 && pbData[1] == 0x83)
        length = 5 + (size_t(pbData[2]) << 16 | size_t(pbData[3]) << 8 | pbData[4]);
    if (length < 2 || length > (1u << 20))
        return Fail(DWORD(NTE_BAD_DATA));
    if (DWORD e =
            prov->store->SetCertificate(prov->container, key->spec, Bytes(pbData, pbData + length)))
        return Fail(e);
    return TRUE;
}

QMAPI BOOL WINAPI CPExportKey(HCRYPTPROV hProv, HCRYPTKEY hKey, HCRYPTKEY hPubKey, DWORD dwBlobType,
                              DWORD dwFlags, BYTE* pbData, DWORD* pdwDataLen)
{
    auto key = g_module.Key(hProv, hKey);
    if (!key)
        return FALSE;
    if (dwBlobType != PUBLICKEYBLOB)
        return Fail(DWORD(NTE_BAD_TYPE)); // private keys never leave the token
    if (hPubKey)
        return Fail(DWORD(NTE_BAD_KEY));
    Bytes blob = key->record.sm2 ? Sm2PublicBlob(key->record)
                                 : PublicKeyBlob(key->record.rsaPublic, AlgOf(key->record));
    return CopyOut(blob.data(), DWORD(blob.size()), pbData, pdwDataLen);
}

QMAPI BOOL WINAPI CPImportKey(HCRYPTPROV hProv, const BYTE* pbData, DWORD cbDataLen,
                              HCRYPTKEY hPubKey, DWORD dwFlags, HCRYPTKEY* phKey)
{
    auto prov = g_module.Prov(hProv);
    if (!prov)
        return FALSE;
    if (dwFlags & ~DWORD(CRYPT_EXPORTABLE | CRYPT_USER_PROTECTED))
        return Fail(DWORD(NTE_BAD_FLAGS));
    if (cbDataLen < 8)
        return Fail(DWORD(NTE_BAD_DATA));
    if (pbData[1] != CUR_BLOB_VERSION)
        return Fail(DWORD(NTE_BAD_VER));
    if (prov->container.empty())
        return Fail(DWORD(NTE_BAD_KEYSET));
    DWORD error = 0;
    if (auto envelope = ReadEnvelopeBlob(pbData, cbDataLen, &error))
    {
        if (error)
            return Fail(error);
        // Either envelope becomes the container's exchange (encryption) key pair.
        if (envelope->sm2)
        {
            auto temp = prov->store->Key(prov->container, AT_KEYEXCHANGE);
            if (!temp || !temp->sm2)
                return Fail(DWORD(NTE_NO_KEY));
            Bytes plain;
            Sm2Key key;
            if (!Sm2Decrypt(temp->sm2Key, envelope->data, &plain) || !Sm2FromPrivate(plain, &key))
                return Fail(DWORD(NTE_BAD_DATA));
            if (DWORD e = prov->store->PutSm2(prov->container, AT_KEYEXCHANGE, key))
                return Fail(e);
        }
        else
        {
            RsaKey key;
            if (DWORD e = OpenRsaEnvelope(*prov, *envelope, &key))
                return Fail(e);
            if (DWORD e = prov->store->PutRsa(prov->container, AT_KEYEXCHANGE, key,
                                              dwFlags & CRYPT_EXPORTABLE))
                return Fail(e);
        }
        return UserKey(hProv, *prov, AT_KEYEXCHANGE, phKey);
    }
    RsaKey rsa;
    ALG_ID alg = 0;
    if (DWORD e = ParseRsaBlob(pbData, cbDataLen, &rsa, &alg))
        return Fail(e);
    if (pbData[0] == PUBLICKEYBLOB)
    {
        KeyRecord record;
        record.rsaPublic = rsa;
        record.bits = rsa.bits;
        record.spec = alg == CALG_RSA_SIGN ? AT_SIGNATURE : AT_KEYEXCHANGE;
        return KeyHandle(hProv, 0, record, phKey);
    }
    DWORD spec = alg == CALG_RSA_SIGN ? AT_SIGNATURE : AT_KEYEXCHANGE;
    if (DWORD e = prov->store->PutRsa(prov->container, spec, rsa, dwFlags & CRYPT_EXPORTABLE))
        return Fail(e);
    return UserKey(hProv, *prov, spec, phKey);
}

QMAPI BOOL WINAPI CPCreateHash(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY hKey, DWORD dwFlags,
                               HCRYPTHASH* phHash)
{
    auto prov = g_module.Prov(hProv);
    if (!prov)
        return FALSE;
    if (!HashSize(Algid) || Algid == CALG_SHA_384 || Algid == CALG_SHA_512)
        return Fail(DWORD(NTE_BAD_ALGID));
    auto hash = std::make_shared<CHashObj>();
    hash->hash = std::make_unique<HashObject>(Algid);
    if (Algid == kSm3Alg && !prov->container.empty())
    {
        // SM3 over data is the SM2 message digest: the signer's Z value comes first.
        auto signature = prov->store->Key(prov->container, AT_SIGNATURE);
        auto exchange = prov->store->Key(prov->container, AT_KEYEXCHANGE);
        bool sm2Signature = signature && signature->sm2, sm2Exchange = exchange && exchange->sm2;
        if (sm2Signature || sm2Exchange)
        {
            Bytes z = Sm2Z(sm2Signature ? signature->sm2Key : exchange->sm2Key);
            hash->hash->Update(z.data(), DWORD(z.size()));
        }
        // The key that signs is known only at CPSignHash: with two SM2 keys, a second digest,
        // begun with the exchange key's Z, follows the same data.
        if (sm2Signature && sm2Exchange)
        {
            hash->otherSpec = AT_KEYEXCHANGE;
            hash->other = std::make_unique<HashObject>(Algid);
            Bytes z = Sm2Z(exchange->sm2Key);
            hash->other->Update(z.data(), DWORD(z.size()));
        }
    }
    return g_module.AddHash(hProv, std::move(hash), phHash);
}

QMAPI BOOL WINAPI CPHashData(HCRYPTPROV hProv, HCRYPTHASH hHash, const BYTE* pbData,
                             DWORD cbDataLen, DWORD dwFlags)
{
    return g_module.HashData(hProv, hHash, pbData, cbDataLen, dwFlags, 0);
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
    if (prov->container.empty())
        return Fail(DWORD(NTE_BAD_KEYSET));
    auto key = prov->store->Key(prov->container, dwKeySpec);
    if (!key)
        return Fail(DWORD(NTE_NO_KEY));
    DWORD size = key->sm2 ? 64 : (key->bits + 7) / 8;
    if (!pbSignature || *pdwSigLen < size)
        return CopyOut(nullptr, size, pbSignature, pdwSigLen);
    Bytes digest;
    // The digest begun with the Z of the key that signs.
    HashObject& signed_ = key->sm2 && hash->other && hash->otherSpec == dwKeySpec ? *hash->other : *hash->hash;
    if (DWORD e = signed_.Value(&digest))
        return Fail(e);
    Bytes signature;
    if (key->sm2)
    {
        if (hash->hash->Alg() != kSm3Alg)
            return Fail(DWORD(NTE_BAD_ALGID));
        Bytes r, s;
        if (!Sm2SignDigest(key->sm2Key, digest, &r, &s))
            return Fail(DWORD(NTE_FAIL));
        signature = Reversed(r);
        Bytes sl = Reversed(s);
        signature.insert(signature.end(), sl.begin(), sl.end());
    }
    else
    {
        if (hash->hash->Alg() == kSm3Alg)
            return Fail(DWORD(NTE_BAD_ALGID));
        Bytes info = (dwFlags & CRYPT_NOHASHOID) ? Bytes() : DigestInfoPrefix(hash->hash->Alg());
        info.insert(info.end(), digest.begin(), digest.end());
        Bytes be;
        if (DWORD e = prov->store->RsaSign(key->object, info, &be))
            return Fail(e);
        signature = Reversed(be);
    }
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
    if (key->record.sm2)
        return Fail(DWORD(NTE_BAD_KEY));
    Bytes digest;
    if (DWORD e = hash->hash->Value(&digest))
        return Fail(e);
    DWORD e = RsaVerifyDigest(key->record.rsaPublic, hash->hash->Alg(), digest,
                              Bytes(pbSignature, pbSignature + cbSigLen));
    return e ? Fail(e) : TRUE;
}

QMAPI BOOL WINAPI CPEncrypt(HCRYPTPROV hProv, HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL fFinal,
                            DWORD dwFlags, BYTE* pbData, DWORD* pdwDataLen, DWORD cbBufLen)
{
    if (!g_module.Key(hProv, hKey))
        return FALSE;
    return Fail(DWORD(NTE_BAD_KEY));
}

QMAPI BOOL WINAPI CPDecrypt(HCRYPTPROV hProv, HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL fFinal,
                            DWORD dwFlags, BYTE* pbData, DWORD* pdwDataLen)
{
    auto prov = g_module.Prov(hProv);
    auto key = prov ? g_module.Key(hProv, hKey) : nullptr;
    if (!key)
        return FALSE;
    if (key->record.sm2 || !key->spec || !pbData)
        return Fail(DWORD(NTE_BAD_KEY));
    Bytes plain;
    if (DWORD e = prov->store->RsaDecrypt(key->record.object,
                                          Reversed(Bytes(pbData, pbData + *pdwDataLen)), &plain))
        return Fail(e);
    std::memcpy(pbData, plain.data(), plain.size());
    *pdwDataLen = DWORD(plain.size());
    return TRUE;
}
