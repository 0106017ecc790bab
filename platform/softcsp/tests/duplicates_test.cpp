// Copies of hashes and keys (CryptDuplicateHash, CryptDuplicateKey) and a certificate's
// public key taken into a provider (CryptImportPublicKeyInfo), as Windows answers them.
#include <cstring>

#include "csp_fixture.h"

namespace
{
Bytes HashValue(HCRYPTHASH hash)
{
    DWORD size = 0;
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, nullptr, &size, 0));
    Bytes value(size);
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, value.data(), &size, 0));
    return value;
}

Bytes Sha1Of(HCRYPTPROV h, const char* text)
{
    HCRYPTHASH hash = 0;
    EXPECT_TRUE(CryptCreateHash(h, CALG_SHA1, 0, 0, &hash));
    EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>(text), DWORD(std::strlen(text)), 0));
    Bytes value = HashValue(hash);
    CryptDestroyHash(hash);
    return value;
}

Bytes Encrypt(HCRYPTKEY key, const Bytes& plain)
{
    Bytes data = plain;
    data.resize(plain.size() + 256); // room for a block, or for an RSA cipher
    DWORD length = DWORD(plain.size());
    EXPECT_TRUE(CryptEncrypt(key, 0, TRUE, 0, data.data(), &length, DWORD(data.size())))
        << std::hex << GetLastError();
    data.resize(length);
    return data;
}
} // namespace

// The copy carries the state hashed so far and goes on apart from the original.
TEST_F(CspTest, DuplicatedHashGoesOnFromTheSameState)
{
    HCRYPTPROV h = Acquire(nullptr, MS_ENHANCED_PROV_W, CRYPT_VERIFYCONTEXT);
    HCRYPTHASH hash = 0;
    ASSERT_TRUE(CryptCreateHash(h, CALG_SHA1, 0, 0, &hash));
    ASSERT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>("ab"), 2, 0));
    HCRYPTHASH copy = 0;
    ASSERT_TRUE(CryptDuplicateHash(hash, nullptr, 0, &copy)) << std::hex << GetLastError();
    ASSERT_NE(hash, copy);
    ASSERT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>("c"), 1, 0));
    ASSERT_TRUE(CryptHashData(copy, reinterpret_cast<const BYTE*>("d"), 1, 0));
    EXPECT_EQ(Sha1Of(h, "abc"), HashValue(hash));
    EXPECT_EQ(Sha1Of(h, "abd"), HashValue(copy));
    // A finished hash copies as finished.
    HCRYPTHASH finished = 0;
    ASSERT_TRUE(CryptDuplicateHash(hash, nullptr, 0, &finished));
    EXPECT_EQ(Sha1Of(h, "abc"), HashValue(finished));
    EXPECT_FALSE(CryptHashData(finished, reinterpret_cast<const BYTE*>("e"), 1, 0));
    EXPECT_EQ(DWORD(NTE_BAD_HASH_STATE), GetLastError());

    DWORD reserved = 0;
    HCRYPTHASH none = 0;
    const struct
    {
        const char* what;
        HCRYPTHASH hash;
        DWORD* reserved;
        DWORD flags;
        HCRYPTHASH* out;
        DWORD error;
    } refusals[] = {
        {"reserved pointer given", hash, &reserved, 0, &none, DWORD(ERROR_INVALID_PARAMETER)},
        {"no out-parameter", hash, nullptr, 0, nullptr, DWORD(ERROR_INVALID_PARAMETER)},
        {"flags", hash, nullptr, 1, &none, DWORD(NTE_BAD_FLAGS)},
        {"not a hash", hash + 1000, nullptr, 0, &none, DWORD(NTE_BAD_HASH)},
    };
    for (const auto& r : refusals)
    {
        SCOPED_TRACE(r.what);
        EXPECT_FALSE(CryptDuplicateHash(r.hash, r.reserved, r.flags, r.out));
        EXPECT_EQ(r.error, GetLastError());
    }
    for (HCRYPTHASH each : {hash, copy, finished})
        EXPECT_TRUE(CryptDestroyHash(each));
    CryptReleaseContext(h, 0);
}

// The copy is the same key with parameters of its own.
TEST_F(CspTest, DuplicatedKeyEncryptsAlikeAndKeepsItsOwnParameters)
{
    HCRYPTPROV h = Acquire(nullptr, MS_ENH_RSA_AES_PROV_W, CRYPT_VERIFYCONTEXT, PROV_RSA_AES);
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptGenKey(h, CALG_AES_128, CRYPT_EXPORTABLE, &key));
    HCRYPTKEY copy = 0;
    ASSERT_TRUE(CryptDuplicateKey(key, nullptr, 0, &copy)) << std::hex << GetLastError();
    const Bytes plain(40, 0x5A);
    const Bytes cipher = Encrypt(key, plain);
    EXPECT_EQ(cipher, Encrypt(copy, plain));
    BYTE iv[16];
    std::memset(iv, 0x11, sizeof iv);
    ASSERT_TRUE(CryptSetKeyParam(copy, KP_IV, iv, 0));
    EXPECT_NE(cipher, Encrypt(copy, plain));
    EXPECT_EQ(cipher, Encrypt(key, plain)) << "the original keeps its IV";

    DWORD reserved = 0;
    HCRYPTKEY none = 0;
    EXPECT_FALSE(CryptDuplicateKey(key, &reserved, 0, &none));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(CryptDuplicateKey(key, nullptr, 1, &none));
    EXPECT_EQ(DWORD(NTE_BAD_FLAGS), GetLastError());
    EXPECT_FALSE(CryptDuplicateKey(copy + 1000, nullptr, 0, &none));
    EXPECT_EQ(DWORD(NTE_BAD_KEY), GetLastError());
    CryptDestroyKey(copy);
    EXPECT_EQ(cipher, Encrypt(key, plain)) << "destroying the copy leaves the original";
    CryptDestroyKey(key);

    // An RSA key copies with its public part.
    HCRYPTKEY rsa = 0, rsaCopy = 0;
    ASSERT_TRUE(CryptGenKey(h, AT_KEYEXCHANGE, 1024 << 16, &rsa));
    ASSERT_TRUE(CryptDuplicateKey(rsa, nullptr, 0, &rsaCopy));
    EXPECT_EQ(Export(rsa, PUBLICKEYBLOB), Export(rsaCopy, PUBLICKEYBLOB));
    CryptDestroyKey(rsaCopy);
    CryptDestroyKey(rsa);
    CryptReleaseContext(h, 0);
}

// The public key of a CERT_PUBLIC_KEY_INFO becomes an exchange key of the provider; what it
// encrypts, the private key's holder decrypts.
TEST_F(CspTest, ImportedPublicKeyInfoIsTheExchangeKeysPublicPart)
{
    HCRYPTPROV holder = Acquire(u"holder", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET);
    HCRYPTKEY priv = 0;
    ASSERT_TRUE(CryptGenKey(holder, AT_KEYEXCHANGE, 1024 << 16, &priv));
    DWORD size = 0;
    ASSERT_TRUE(CryptExportPublicKeyInfo(holder, AT_KEYEXCHANGE, X509_ASN_ENCODING, nullptr, &size));
    std::vector<BYTE> infoBytes(size);
    auto* info = reinterpret_cast<PCERT_PUBLIC_KEY_INFO>(infoBytes.data());
    ASSERT_TRUE(CryptExportPublicKeyInfo(holder, AT_KEYEXCHANGE, X509_ASN_ENCODING, info, &size));

    HCRYPTPROV h = Acquire(nullptr, MS_ENHANCED_PROV_W, CRYPT_VERIFYCONTEXT);
    HCRYPTKEY pub = 0;
    ASSERT_TRUE(CryptImportPublicKeyInfo(h, X509_ASN_ENCODING, info, &pub)) << std::hex << GetLastError();
    DWORD alg = 0, cb = sizeof alg;
    ASSERT_TRUE(CryptGetKeyParam(pub, KP_ALGID, reinterpret_cast<BYTE*>(&alg), &cb, 0));
    EXPECT_EQ(DWORD(CALG_RSA_KEYX), alg);
    Bytes mine = Export(priv, PUBLICKEYBLOB), imported = Export(pub, PUBLICKEYBLOB);
    ASSERT_EQ(mine.size(), imported.size());
    EXPECT_EQ(Bytes(mine.begin() + 8, mine.end()), Bytes(imported.begin() + 8, imported.end()))
        << "the same RSAPUBKEY and modulus";

    const Bytes secret = {'s', 'e', 'c', 'r', 'e', 't'};
    Bytes cipher = Encrypt(pub, secret);
    DWORD length = DWORD(cipher.size());
    ASSERT_TRUE(CryptDecrypt(priv, 0, TRUE, 0, cipher.data(), &length)) << std::hex << GetLastError();
    EXPECT_EQ(secret, Bytes(cipher.begin(), cipher.begin() + length));

    // A key that is not RSA is refused.
    CERT_PUBLIC_KEY_INFO ec = *info;
    ec.Algorithm.pszObjId = const_cast<LPSTR>(szOID_ECC_PUBLIC_KEY);
    EXPECT_FALSE(CryptImportPublicKeyInfo(h, X509_ASN_ENCODING, &ec, &pub));
    EXPECT_EQ(DWORD(NTE_BAD_ALGID), GetLastError());
    CryptDestroyKey(pub);
    CryptDestroyKey(priv);
    CryptReleaseContext(h, 0);
    CryptReleaseContext(holder, 0);
}
