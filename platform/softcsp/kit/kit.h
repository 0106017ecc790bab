// What the platform's provider modules share: the size-query protocol, hash objects, RSA
// keys in CryptoAPI's blob layouts, session keys, and handle tables.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "wincrypt.h"

struct evp_pkey_st;

namespace qm::cspkit
{
using Bytes = std::vector<uint8_t>;

BOOL Fail(DWORD error);
// A null buffer asks the size; a short one gets ERROR_MORE_DATA and the size needed.
BOOL CopyOut(const void* value, DWORD size, BYTE* buffer, DWORD* length);
BOOL CopyDword(DWORD value, BYTE* buffer, DWORD* length);
BOOL CopyText(const std::string& text, BYTE* buffer, DWORD* length); // with its terminator
Bytes Reversed(Bytes bytes);
bool RandomBytes(BYTE* buffer, size_t length);

// ---- hashes
DWORD HashSize(ALG_ID alg); // 0: not a hash this kit computes
class HashObject
{
  public:
    explicit HashObject(ALG_ID alg);
    ~HashObject();
    HashObject(const HashObject&) = delete;
    HashObject& operator=(const HashObject&) = delete;
    ALG_ID Alg() const { return m_alg; }
    DWORD Size() const { return HashSize(m_alg); }
    DWORD Update(const BYTE* data, DWORD length); // 0 or an error code
    DWORD SetValue(const BYTE* value);            // HP_HASHVAL: the digest as given
    DWORD Value(Bytes* out);                      // finishes the hash
    bool Finished() const { return m_finished; }
    std::unique_ptr<HashObject> Clone() const; // the state so far, for CryptDuplicateHash

  private:
    ALG_ID m_alg;
    void* m_ctx = nullptr;
    Bytes m_value;
    bool m_finished = false;
};
BOOL GetHashParam(HashObject& hash, DWORD param, BYTE* data, DWORD* length, DWORD flags);
BOOL SetHashParam(HashObject& hash, DWORD param, const BYTE* data, DWORD flags);

// ---- RSA keys; numbers big-endian, blobs least significant byte first
struct RsaKey
{
    DWORD bits = 0;
    Bytes n, e, d, p, q, dp, dq, qi;
    bool HasPrivate() const { return !d.empty(); }
    // The private key as OpenSSL holds it for the CRT, blinded private operation: made at the
    // first one and shared by copies, so a key handle builds it once.
    mutable std::shared_ptr<evp_pkey_st> privateOp;
};
bool GenerateRsa(DWORD bits, RsaKey* key);
// Builds the key's private-operation form now, so copies made afterwards share it.
void PreparePrivateOp(const RsaKey& key);
Bytes PublicKeyBlob(const RsaKey& key, ALG_ID alg);
Bytes PrivateKeyBlob(const RsaKey& key, ALG_ID alg);
// PUBLICKEYBLOB or PRIVATEKEYBLOB of an RSA key: 0 or NTE_BAD_VER, NTE_BAD_TYPE, NTE_BAD_DATA.
DWORD ParseRsaBlob(const BYTE* blob, DWORD length, RsaKey* key, ALG_ID* alg);
// RSAPrivateKey DER (PKCS#1) to key.
bool RsaFromPkcs1(const Bytes& der, RsaKey* key);
// PKCS#1 v1.5; the signature is returned least significant byte first.
DWORD RsaSignDigest(const RsaKey& key, ALG_ID hashAlg, const Bytes& digest, bool noOid,
                    Bytes* signatureLE);
DWORD RsaVerifyDigest(const RsaKey& key, ALG_ID hashAlg, const Bytes& digest,
                      const Bytes& signatureLE);
// Type-2 blocks, big-endian in and out.
DWORD RsaEncryptPkcs1(const RsaKey& key, const Bytes& plain, Bytes* cipher);
DWORD RsaDecryptPkcs1(const RsaKey& key, const Bytes& cipher, Bytes* plain);
// DigestInfo prefix of a hash algorithm (empty: none).
Bytes DigestInfoPrefix(ALG_ID hashAlg);

// ---- session keys
struct SessionKey
{
    ALG_ID alg = 0;
    Bytes key;
    DWORD mode = CRYPT_MODE_CBC;
    DWORD padding = PKCS5_PADDING;
    Bytes iv;    // as set (zeros by default)
    Bytes chain; // the running IV between calls of one message
    DWORD permissions = 0xFFFFFFFF;
    bool exportable = false;
};
DWORD SessionKeyBits(ALG_ID alg); // 0: not a session algorithm of this kit
DWORD BlockBytes(ALG_ID alg);
bool NewSessionKey(ALG_ID alg, SessionKey* key);
DWORD SymCrypt(SessionKey& key, bool encrypt, bool final, BYTE* data, DWORD* length,
               DWORD bufferLength);
BOOL GetSessionKeyParam(const SessionKey& key, DWORD param, BYTE* data, DWORD* length);
BOOL SetSessionKeyParam(SessionKey& key, DWORD param, const BYTE* data);

// ---- handles given out by a provider module
template <class T> class HandleTable
{
  public:
    ULONG_PTR Add(std::shared_ptr<T> object)
    {
        std::lock_guard lock(m_lock);
        ULONG_PTR handle = ++m_next;
        m_objects[handle] = std::move(object);
        return handle;
    }
    std::shared_ptr<T> Get(ULONG_PTR handle)
    {
        std::lock_guard lock(m_lock);
        auto it = m_objects.find(handle);
        return it == m_objects.end() ? nullptr : it->second;
    }
    std::shared_ptr<T> Remove(ULONG_PTR handle)
    {
        std::lock_guard lock(m_lock);
        auto it = m_objects.find(handle);
        if (it == m_objects.end())
            return nullptr;
        auto object = it->second;
        m_objects.erase(it);
        return object;
    }

  private:
    std::mutex m_lock;
    ULONG_PTR m_next = 0x100;
    std::map<ULONG_PTR, std::shared_ptr<T>> m_objects;
};

// ---- algorithm lists for PP_ENUMALGS_EX
struct AlgInfo
{
    ALG_ID alg;
    DWORD defaultLen, minLen, maxLen, protocols;
    const char* name;
    const char* longName;
};
BOOL EnumAlg(const std::vector<AlgInfo>& algs, size_t& cursor, DWORD param, BYTE* data,
             DWORD* length, DWORD flags);
} // namespace qm::cspkit
