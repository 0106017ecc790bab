// The token's provider as the plug-ins use it: containers and their listing, SM2 and RSA
// keys on the token, signatures checked by openssl, certificates on keys, the vendor
// envelopes, and its own error codes.
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstring>

// OpenSSL first: the Windows headers define names that OpenSSL uses.
#include "sm2_check.h"
#include "../sm2.h"
#include "token_fixture.h"

namespace
{
DWORD Dword(HCRYPTKEY key, DWORD param)
{
    DWORD v = 0, size = sizeof v;
    EXPECT_TRUE(CryptGetKeyParam(key, param, reinterpret_cast<BYTE*>(&v), &size, 0))
        << std::hex << GetLastError();
    return v;
}

HCRYPTKEY Generate(HCRYPTPROV h, ALG_ID alg, DWORD bits)
{
    HCRYPTKEY key = 0;
    EXPECT_TRUE(CryptGenKey(h, alg, bits << 16, &key)) << std::hex << GetLastError();
    return key;
}

// A new SM3 hash of the context that holds, set with HP_HASHVAL, the value the context computed
// over `data` (also in `digest`); 0 when a step failed.
HCRYPTHASH HashSetToTheValueOf(HCRYPTPROV h, const std::string& data, BYTE (&digest)[32])
{
    HCRYPTHASH hash = 0;
    DWORD size = sizeof digest;
    bool computed = CryptCreateHash(h, 0x800F, 0, 0, &hash) &&
                    CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()), 0) &&
                    CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    EXPECT_TRUE(computed) << std::hex << GetLastError();
    if (hash)
        CryptDestroyHash(hash);
    hash = 0;
    if (!computed)
        return 0;
    bool set = CryptCreateHash(h, 0x800F, 0, 0, &hash) && CryptSetHashParam(hash, HP_HASHVAL, digest, 0);
    EXPECT_TRUE(set) << std::hex << GetLastError();
    if (!set && hash)
        CryptDestroyHash(hash);
    return set ? hash : 0;
}

std::vector<std::string> ListContainers()
{
    HCRYPTPROV h = 0;
    std::vector<std::string> names;
    if (!CryptAcquireContextW(&h, nullptr, kTokenProvider, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return names;
    DWORD longest = 0;
    if (CryptGetProvParam(h, PP_ENUMCONTAINERS, nullptr, &longest, CRYPT_FIRST))
    {
        std::vector<char> buffer(longest + 1);
        for (DWORD flags = CRYPT_FIRST;; flags = CRYPT_NEXT)
        {
            DWORD size = DWORD(buffer.size());
            if (!CryptGetProvParam(h, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(buffer.data()),
                                   &size, flags))
                break;
            names.emplace_back(buffer.data());
        }
    }
    CryptReleaseContext(h, 0);
    return names;
}

// A self-signed certificate made by openssl, DER.
Bytes MakeCertificate(const std::filesystem::path& dir, const char* subject)
{
    std::string command = "openssl req -x509 -newkey rsa:1024 -nodes -keyout " +
                          (dir / "k.pem").string() + " -outform DER -out " +
                          (dir / "c.der").string() + " -days 2 -subj " + subject +
                          " >/dev/null 2>&1";
    EXPECT_EQ(0, std::system(command.c_str()));
    std::ifstream in(dir / "c.der", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void PutU32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

void PutAddress(Bytes& b, const void* p)
{
    ULONG_PTR a = reinterpret_cast<ULONG_PTR>(p);
    for (size_t i = 0; i < sizeof a; ++i)
        b.push_back(uint8_t(a >> (8 * i)));
}
} // namespace

TEST_F(TokenTest, AnswersAsAHardwareRemovableProvider)
{
    HCRYPTPROV h = Open(nullptr, CRYPT_VERIFYCONTEXT);
    DWORD type = 0, size = sizeof type;
    ASSERT_TRUE(CryptGetProvParam(h, PP_IMPTYPE, reinterpret_cast<BYTE*>(&type), &size, 0));
    EXPECT_EQ(DWORD(CRYPT_IMPL_HARDWARE | CRYPT_IMPL_REMOVABLE), type);
    char name[64];
    size = sizeof name;
    ASSERT_TRUE(CryptGetProvParam(h, PP_NAME, reinterpret_cast<BYTE*>(name), &size, 0));
    EXPECT_STREQ(kTokenProviderA, name);
    DWORD longest = 0;
    EXPECT_FALSE(CryptGetProvParam(h, PP_ENUMCONTAINERS, nullptr, &longest, CRYPT_FIRST));
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError()) << "an empty token";

    std::vector<ALG_ID> algs;
    PROV_ENUMALGS_EX info;
    for (DWORD flags = CRYPT_FIRST;; flags = CRYPT_NEXT)
    {
        size = sizeof info;
        if (!CryptGetProvParam(h, PP_ENUMALGS_EX, reinterpret_cast<BYTE*>(&info), &size, flags))
            break;
        algs.push_back(info.aiAlgid);
    }
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
    for (ALG_ID alg :
         {ALG_ID(0x800F), ALG_ID(0xBE00), ALG_ID(0x3E00), ALG_ID(CALG_RSA_SIGN), ALG_ID(CALG_SHA1)})
        EXPECT_NE(algs.end(), std::find(algs.begin(), algs.end(), alg)) << std::hex << alg;
    CryptReleaseContext(h, 0);
}

TEST_F(TokenTest, ContainersAreMadeListedOpenedAndDeleted)
{
    const char16_t* names[] = {u"{6E1F0D8C-0A37-4C61-9B3B-2D7C9E5A4F10}", u"short",
                               u"a-middle-name"};
    for (auto* n : names)
        CryptReleaseContext(Open(n, CRYPT_NEWKEYSET), 0);
    EXPECT_EQ((std::vector<std::string>{"a-middle-name", "short",
                                        "{6E1F0D8C-0A37-4C61-9B3B-2D7C9E5A4F10}"}),
              ListContainers());

    std::u16string longName(260, u'n');
    const struct
    {
        const char* what;
        const char16_t* container;
        DWORD flags, error;
    } cases[] = {
        {"a name of 260 characters", longName.c_str(), CRYPT_NEWKEYSET,
         DWORD(NTE_BAD_KEYSET_PARAM)},
        {"a missing container", u"absent", 0, DWORD(NTE_BAD_KEYSET)},
        {"a container made twice", u"short", CRYPT_NEWKEYSET, DWORD(NTE_EXISTS)},
        {"a named container under CRYPT_VERIFYCONTEXT", u"short", CRYPT_VERIFYCONTEXT, 0},
        {"a missing one under CRYPT_VERIFYCONTEXT", u"absent", CRYPT_VERIFYCONTEXT,
         DWORD(NTE_BAD_KEYSET)},
        {"an unknown flag", u"short", 0x100, DWORD(NTE_BAD_FLAGS)},
        {"delete", u"short", CRYPT_DELETEKEYSET, 0},
        {"deleted", u"short", 0, DWORD(NTE_BAD_KEYSET)},
        {"the vendor's delete", u"a-middle-name", 0xFFFF0002, 0},
        {"deleted by the vendor's flags", u"a-middle-name", 0, DWORD(NTE_BAD_KEYSET)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.error, OpenError(c.container, c.flags)) << c.what;
    EXPECT_EQ((std::vector<std::string>{"{6E1F0D8C-0A37-4C61-9B3B-2D7C9E5A4F10}"}),
              ListContainers());
}

TEST_F(TokenTest, Sm2KeysExportTheirPointInTheVendorLayout)
{
    HCRYPTPROV h = Open(u"sm2", CRYPT_NEWKEYSET);
    HCRYPTKEY exchange = Generate(h, 0xBE00, 256), signature = Generate(h, 0x3E00, 256);
    EXPECT_EQ(0xBE00u, Dword(exchange, KP_ALGID));
    EXPECT_EQ(0x3E00u, Dword(signature, KP_ALGID));
    EXPECT_EQ(256u, Dword(signature, KP_KEYLEN));
    for (HCRYPTKEY key : {exchange, signature})
    {
        Bytes blob = PublicBlob(key);
        ASSERT_EQ(140u, blob.size());
        ALG_ID alg = key == exchange ? 0xBE00 : 0x3E00;
        EXPECT_EQ((Bytes{0x06, 0x02, 0x00, 0x00, uint8_t(alg), uint8_t(alg >> 8), 0x00, 0x00, 0x00,
                         0x01, 0x00, 0x00}),
                  Bytes(blob.begin(), blob.begin() + 12));
        EXPECT_EQ(Bytes(32, 0), Bytes(blob.begin() + 44, blob.begin() + 76))
            << "X fills half its field";
        EXPECT_EQ(Bytes(32, 0), Bytes(blob.begin() + 108, blob.end())) << "Y fills half its field";
        Bytes x, y;
        sm2check::Coordinates(blob, &x, &y);
        EXPECT_TRUE(sm2check::OnCurve(x, y));
        CryptDestroyKey(key);
    }
    HCRYPTKEY bad = 0;
    EXPECT_FALSE(CryptGenKey(h, 0x3E00, 512 << 16, &bad));
    EXPECT_EQ(DWORD(NTE_BAD_FLAGS), GetLastError());
    CryptReleaseContext(h, 0);
}

TEST_F(TokenTest, Sm2SignatureOverSm3HashedDataVerifiesWithOpenssl)
{
    HCRYPTPROV h = Open(u"signer", CRYPT_NEWKEYSET);
    HCRYPTKEY key = Generate(h, 0x3E00, 256);
    Bytes pub = PublicBlob(key);
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);

    // Opened anew for each signature, as the signing code does.
    h = Open(u"signer", 0);
    std::string data(16385, 'x');
    data[0] = '\xE4';
    Bytes sig = Sign(h, 0x800F, AT_SIGNATURE, data);
    ASSERT_EQ(64u, sig.size());
    EXPECT_TRUE(sm2check::OpensslVerifies(m_dir, pub, sig, data));
    Bytes flipped = sig;
    flipped[0] ^= 1;
    EXPECT_FALSE(sm2check::OpensslVerifies(m_dir, pub, flipped, data));

    // A digest set with HP_HASHVAL is signed as given: the value the token computed over
    // the data gives a signature of that data.
    BYTE digest[32];
    HCRYPTHASH hash = HashSetToTheValueOf(h, data, digest);
    ASSERT_NE(HCRYPTHASH(0), hash);
    DWORD size = 0;
    ASSERT_TRUE(CryptSignHashW(hash, AT_SIGNATURE, nullptr, 0, nullptr, &size));
    Bytes given(size);
    ASSERT_TRUE(CryptSignHashW(hash, AT_SIGNATURE, nullptr, 0, given.data(), &size));
    CryptDestroyHash(hash);
    EXPECT_TRUE(sm2check::OpensslVerifies(m_dir, pub, given, data));
    CryptReleaseContext(h, 0);

    // Without a container there is no key, so SM3 is plain SM3.
    h = Open(nullptr, CRYPT_VERIFYCONTEXT);
    ASSERT_TRUE(CryptCreateHash(h, 0x800F, 0, 0, &hash));
    ASSERT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>("abc"), 3, 0));
    size = sizeof digest;
    ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0));
    const BYTE sm3abc[] = {0x66, 0xc7, 0xf0, 0xf4, 0x62, 0xee, 0xed, 0xd9, 0xd1, 0xf2, 0xd4,
                           0x6b, 0xdc, 0x10, 0xe4, 0xe2, 0x41, 0x67, 0xc4, 0x87, 0x5c, 0xf2,
                           0xf7, 0xa2, 0x29, 0x7d, 0xa0, 0x2b, 0x8f, 0x4b, 0xa8, 0xe0};
    EXPECT_EQ(0, std::memcmp(sm3abc, digest, 32));
    CryptDestroyHash(hash);
    CryptReleaseContext(h, 0);

    // Nor on a container whose keys are RSA.
    h = Open(u"rsa-only", CRYPT_NEWKEYSET);
    CryptDestroyKey(Generate(h, AT_SIGNATURE, 1024));
    ASSERT_TRUE(CryptCreateHash(h, 0x800F, 0, 0, &hash));
    ASSERT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>("abc"), 3, 0));
    size = sizeof digest;
    ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0));
    EXPECT_EQ(0, std::memcmp(sm3abc, digest, 32));
    CryptDestroyHash(hash);
    CryptReleaseContext(h, 0);
}

// The SM2 message digest carries the Z value of the key that signs: in a container with an
// SM2 signature key and an SM2 exchange key, a signature by either verifies against that
// key, with the default user ID.
TEST_F(TokenTest, Sm2DigestTakesTheZOfTheKeyThatSigns)
{
    HCRYPTPROV h = Open(u"two-keys", CRYPT_NEWKEYSET);
    HCRYPTKEY exchange = Generate(h, 0xBE00, 256), signature = Generate(h, 0x3E00, 256);
    const Bytes exchangePub = PublicBlob(exchange), signaturePub = PublicBlob(signature);
    CryptDestroyKey(exchange);
    CryptDestroyKey(signature);
    CryptReleaseContext(h, 0);

    h = Open(u"two-keys", 0);
    std::string data(20000, 'z');
    data[1] = '\xE7';
    const struct
    {
        DWORD spec;
        const Bytes& signer;
        const Bytes& other;
    } cases[] = {{AT_KEYEXCHANGE, exchangePub, signaturePub}, {AT_SIGNATURE, signaturePub, exchangePub}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.spec);
        Bytes sig = Sign(h, 0x800F, c.spec, data);
        ASSERT_EQ(64u, sig.size());
        EXPECT_TRUE(sm2check::OpensslVerifies(m_dir, c.signer, sig, data));
        EXPECT_FALSE(sm2check::OpensslVerifies(m_dir, c.other, sig, data));
    }

    // The value read from the hash is the signature key's digest; set as the value, a digest
    // is signed as given, by either key.
    BYTE digest[32];
    HCRYPTHASH hash = HashSetToTheValueOf(h, data, digest);
    ASSERT_NE(HCRYPTHASH(0), hash);
    Bytes given(64);
    DWORD size = 64;
    ASSERT_TRUE(CryptSignHashW(hash, AT_KEYEXCHANGE, nullptr, 0, given.data(), &size));
    CryptDestroyHash(hash);
    Bytes x, y;
    sm2check::Coordinates(exchangePub, &x, &y);
    sm2check::WritePublicPem(m_dir / "exchange.pem", x, y);
    sm2check::WriteFile(m_dir / "given.sig", sm2check::SignatureDer(given));
    sm2check::WriteFile(m_dir / "given.digest", Bytes(digest, digest + 32));
    std::string verify = "openssl pkeyutl -verify -pubin -inkey " + (m_dir / "exchange.pem").string() + " -in " +
                         (m_dir / "given.digest").string() + " -sigfile " + (m_dir / "given.sig").string() +
                         " >/dev/null 2>&1";
    EXPECT_EQ(0, std::system(verify.c_str())) << "a given digest is signed as it is";
    CryptReleaseContext(h, 0);
}

TEST_F(TokenTest, RsaSignatureOnTheTokenVerifiesWithOpenssl)
{
    HCRYPTPROV h = Open(u"rsa", CRYPT_NEWKEYSET);
    HCRYPTKEY key = Generate(h, AT_SIGNATURE, 2048);
    EXPECT_EQ(DWORD(CALG_RSA_SIGN), Dword(key, KP_ALGID));
    Bytes pub = PublicBlob(key);
    ASSERT_EQ(20u + 256, pub.size());
    CryptDestroyKey(key);
    std::string data = "content signed on the token";
    Bytes sig = Sign(h, CALG_SHA_256, AT_SIGNATURE, data);
    ASSERT_EQ(256u, sig.size());
    CryptReleaseContext(h, 0);

    Bytes modulus = sm2check::Rev(Bytes(pub.begin() + 20, pub.end()));
    std::string hex;
    for (uint8_t b : modulus)
    {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", b);
        hex += two;
    }
    // An RSA public key for openssl, made from the blob's modulus.
    std::ofstream(m_dir / "rsa.cnf")
        << "asn1=SEQUENCE:pub\n[pub]\nn=INTEGER:0x" << hex << "\ne=INTEGER:65537\n";
    auto run = [](const std::string& c) { return std::system((c + " >/dev/null 2>&1").c_str()); };
    ASSERT_EQ(0, run("openssl asn1parse -genconf " + (m_dir / "rsa.cnf").string() + " -out " +
                     (m_dir / "rsa.der").string()));
    ASSERT_EQ(0,
              run("openssl rsa -RSAPublicKey_in -inform DER -in " + (m_dir / "rsa.der").string() +
                  " -pubout -out " + (m_dir / "rsa.pem").string()));
    sm2check::WriteFile(m_dir / "data", Bytes(data.begin(), data.end()));
    sm2check::WriteFile(m_dir / "sig", sm2check::Rev(sig));
    EXPECT_EQ(0, run("openssl dgst -sha256 -verify " + (m_dir / "rsa.pem").string() +
                     " -signature " + (m_dir / "sig").string() + " " + (m_dir / "data").string()));
}

TEST_F(TokenTest, CertificateOnAKeyStaysWithTheToken)
{
    Bytes cert = MakeCertificate(m_dir, "/CN=Token\\ User/O=Quillmark");
    ASSERT_FALSE(cert.empty());
    HCRYPTPROV h = Open(u"with-cert", CRYPT_NEWKEYSET);
    HCRYPTKEY key = Generate(h, 0xBE00, 256);
    DWORD size = 0;
    EXPECT_FALSE(CryptGetKeyParam(key, KP_CERTIFICATE, nullptr, &size, 0)) << "no certificate yet";
    ASSERT_TRUE(CryptSetKeyParam(key, KP_CERTIFICATE, cert.data(), 0))
        << std::hex << GetLastError();
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);

    // A new session on the token (the library is finalised with the last context).
    h = Open(u"with-cert", CRYPT_VERIFYCONTEXT);
    ASSERT_TRUE(CryptGetUserKey(h, AT_KEYEXCHANGE, &key));
    size = 0;
    ASSERT_TRUE(CryptGetKeyParam(key, KP_CERTIFICATE, nullptr, &size, 0));
    EXPECT_EQ(cert.size(), size);
    Bytes back(size);
    size = 10;
    EXPECT_FALSE(CryptGetKeyParam(key, KP_CERTIFICATE, back.data(), &size, 0));
    EXPECT_EQ(DWORD(ERROR_MORE_DATA), GetLastError());
    size = DWORD(back.size());
    ASSERT_TRUE(CryptGetKeyParam(key, KP_CERTIFICATE, back.data(), &size, 0));
    EXPECT_EQ(cert, back);
    BYTE garbage[] = {0x04, 0x03, 1, 2, 3};
    EXPECT_FALSE(CryptSetKeyParam(key, KP_CERTIFICATE, garbage, 0));
    EXPECT_EQ(DWORD(NTE_BAD_DATA), GetLastError());
    CryptDestroyKey(key);
    HCRYPTKEY none = 0;
    EXPECT_FALSE(CryptGetUserKey(h, AT_SIGNATURE, &none));
    EXPECT_EQ(DWORD(NTE_NO_KEY), GetLastError());
    CryptReleaseContext(h, 0);
}

TEST_F(TokenTest, Sm2CiphertextOfAPrivateKeyBecomesTheEncryptionKey)
{
    HCRYPTPROV h = Open(u"double", CRYPT_NEWKEYSET);
    HCRYPTKEY temp = Generate(h, 0xBE00, 256);
    Bytes tempBlob = PublicBlob(temp);
    CryptDestroyKey(temp);
    qm::tokencsp::Sm2Key tempKey, delivered;
    sm2check::Coordinates(tempBlob, &tempKey.x, &tempKey.y);
    ASSERT_TRUE(qm::tokencsp::Sm2Generate(&delivered));
    Bytes c1c3c2;
    ASSERT_TRUE(qm::tokencsp::Sm2Encrypt(tempKey, delivered.d, &c1c3c2));
    ASSERT_EQ(96u + 32, c1c3c2.size());

    Bytes c1c2c3(c1c3c2.begin(), c1c3c2.begin() + 64);
    c1c2c3.insert(c1c2c3.end(), c1c3c2.begin() + 96, c1c3c2.end());
    c1c2c3.insert(c1c2c3.end(), c1c3c2.begin() + 64, c1c3c2.begin() + 96);
    auto blobFor = [](const Bytes& cipher)
    {
        Bytes blob = {PRIVATEKEYBLOB, 2, 1, 0};
        PutU32(blob, 0xBE00);
        PutU32(blob, 0xBE00);
        PutU32(blob, uint32_t(cipher.size() * 8));
        PutAddress(blob, cipher.data());
        return blob;
    };
    HCRYPTKEY key = 0;
    Bytes wrongOrder = blobFor(c1c2c3);
    EXPECT_FALSE(CryptImportKey(h, wrongOrder.data(), DWORD(wrongOrder.size()), 0, 1, &key));
    EXPECT_EQ(DWORD(NTE_BAD_DATA), GetLastError()) << "the token takes C1C3C2 only";
    Bytes blob = blobFor(c1c3c2);
    Bytes truncated(blob.begin(), blob.end() - 1);
    EXPECT_FALSE(CryptImportKey(h, truncated.data(), DWORD(truncated.size()), 0, 1, &key));
    EXPECT_EQ(DWORD(NTE_BAD_DATA), GetLastError());
    ASSERT_TRUE(CryptImportKey(h, blob.data(), DWORD(blob.size()), 0, 1, &key))
        << std::hex << GetLastError();
    Bytes imported = PublicBlob(key);
    Bytes x, y;
    sm2check::Coordinates(imported, &x, &y);
    EXPECT_EQ(delivered.x, x);
    EXPECT_EQ(delivered.y, y);
    Bytes cert = MakeCertificate(m_dir, "/CN=Encryption");
    EXPECT_TRUE(CryptSetKeyParam(key, KP_CERTIFICATE, cert.data(), 0));
    CryptDestroyKey(key);

    // The bytes may also follow the header themselves.
    Bytes inline_ = {PRIVATEKEYBLOB, 2, 1, 0};
    PutU32(inline_, 0xBE00);
    PutU32(inline_, 0xBE00);
    PutU32(inline_, uint32_t(c1c3c2.size() * 8));
    // Encrypted to the key now in the container.
    Bytes again;
    qm::tokencsp::Sm2Key now;
    now.x = delivered.x;
    now.y = delivered.y;
    qm::tokencsp::Sm2Key next;
    ASSERT_TRUE(qm::tokencsp::Sm2Generate(&next));
    ASSERT_TRUE(qm::tokencsp::Sm2Encrypt(now, next.d, &again));
    inline_.insert(inline_.end(), again.begin(), again.end());
    ASSERT_TRUE(CryptImportKey(h, inline_.data(), DWORD(inline_.size()), 0, 0, &key))
        << std::hex << GetLastError();
    sm2check::Coordinates(PublicBlob(key), &x, &y);
    EXPECT_EQ(next.x, x);
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);
}

TEST_F(TokenTest, RsaEnvelopeOpensWithTheTemporaryExchangeKey)
{
    HCRYPTPROV h = Open(u"rsa-double", CRYPT_NEWKEYSET);
    HCRYPTKEY temp = Generate(h, AT_KEYEXCHANGE, 1024);
    Bytes tempBlob = PublicBlob(temp);
    CryptDestroyKey(temp);

    // What the authority sends: a 2048-bit key pair under a 3DES key under the temporary key.
    EVP_PKEY* delivered = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t(2048));
    unsigned char* der = nullptr;
    int derLength = i2d_PrivateKey(delivered, &der);
    Bytes pkcs1(der, der + derLength);
    OPENSSL_free(der);
    Bytes sessionKey(24);
    for (size_t i = 0; i < 24; ++i)
        sessionKey[i] = uint8_t(0x31 * (i + 1));
    Bytes encrypted(pkcs1.size() + 8);
    int n1 = 0, n2 = 0;
    EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(c, EVP_des_ede3_ecb(), nullptr, sessionKey.data(), nullptr);
    EVP_EncryptUpdate(c, encrypted.data(), &n1, pkcs1.data(), int(pkcs1.size()));
    EVP_EncryptFinal_ex(c, encrypted.data() + n1, &n2);
    EVP_CIPHER_CTX_free(c);
    encrypted.resize(size_t(n1 + n2));

    Bytes modulus = sm2check::Rev(Bytes(tempBlob.begin() + 20, tempBlob.end()));
    BIGNUM* bn = BN_bin2bn(modulus.data(), int(modulus.size()), nullptr);
    BIGNUM* be = BN_new();
    BN_set_word(be, 65537);
    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_N, bn);
    OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_E, be);
    OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
    EVP_PKEY_CTX* fromdata = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
    EVP_PKEY* tempPub = nullptr;
    EVP_PKEY_fromdata_init(fromdata);
    EVP_PKEY_fromdata(fromdata, &tempPub, EVP_PKEY_PUBLIC_KEY, params);
    EVP_PKEY_CTX* enc = EVP_PKEY_CTX_new(tempPub, nullptr);
    EVP_PKEY_encrypt_init(enc);
    EVP_PKEY_CTX_set_rsa_padding(enc, RSA_PKCS1_PADDING);
    size_t wrappedLength = 128;
    Bytes wrapped(wrappedLength);
    ASSERT_EQ(1, EVP_PKEY_encrypt(enc, wrapped.data(), &wrappedLength, sessionKey.data(),
                                  sessionKey.size()));
    for (void* p : {static_cast<void*>(enc), static_cast<void*>(fromdata)})
        EVP_PKEY_CTX_free(static_cast<EVP_PKEY_CTX*>(p));
    EVP_PKEY_free(tempPub);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(bld);
    BN_free(bn);
    BN_free(be);

    auto tlv = [](uint8_t tag, const Bytes& v)
    {
        Bytes out = {tag};
        if (v.size() < 0x80)
            out.push_back(uint8_t(v.size()));
        else
            out.insert(out.end(), {0x82, uint8_t(v.size() >> 8), uint8_t(v.size())});
        out.insert(out.end(), v.begin(), v.end());
        return out;
    };
    Bytes body = {0x02, 0x01, 0x01, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01,
                  0x01, 0x06, 0x09, 0x2B, 0x06, 0x01, 0x04, 0x01, 0xA6, 0x41, 0x01, 0x07};
    for (const Bytes& part : {tlv(0x04, wrapped), tlv(0x04, encrypted)})
        body.insert(body.end(), part.begin(), part.end());
    Bytes envelope = tlv(0x30, body);
    Bytes blob = {PRIVATEKEYBLOB, 2, 1, 0};
    PutU32(blob, 0xA400);
    PutU32(blob, 0xA400);
    PutU32(blob, 2048);
    PutU32(blob, uint32_t(envelope.size() * 8));
    PutAddress(blob, envelope.data());
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptImportKey(h, blob.data(), DWORD(blob.size()), 0, 0, &key))
        << std::hex << GetLastError();
    EXPECT_EQ(2048u, Dword(key, KP_KEYLEN));
    Bytes pub = PublicBlob(key);
    BIGNUM* n = nullptr;
    EVP_PKEY_get_bn_param(delivered, OSSL_PKEY_PARAM_RSA_N, &n);
    Bytes expected(256);
    BN_bn2binpad(n, expected.data(), 256);
    BN_free(n);
    EVP_PKEY_free(delivered);
    EXPECT_EQ(expected, sm2check::Rev(Bytes(pub.begin() + 20, pub.end())));
    CryptDestroyKey(key);

    Bytes bad = blob;
    bad[1] = 3;
    EXPECT_FALSE(CryptImportKey(h, bad.data(), DWORD(bad.size()), 0, 0, &key));
    EXPECT_EQ(DWORD(NTE_BAD_VER), GetLastError());
    CryptReleaseContext(h, 0);
}

TEST_F(TokenTest, TokenTroublesAreCustomerCodes)
{
    Configure(u"NO-SUCH-TOKEN", u"123456");
    DWORD e = OpenError(nullptr, CRYPT_VERIFYCONTEXT);
    EXPECT_EQ(0x20000000u, e & 0x20000000u) << std::hex << e;
    Configure(u"QMTOKEN", u"000000");
    e = OpenError(nullptr, CRYPT_VERIFYCONTEXT);
    EXPECT_EQ(0x20000000u, e & 0x20000000u) << std::hex << e;
    Configure(u"QMTOKEN", u"123456");
    EXPECT_EQ(0u, OpenError(nullptr, CRYPT_VERIFYCONTEXT));
}
