// The software providers as Windows' own: names and types, containers and their errors,
// algorithms per provider, key blobs, signatures and session keys.
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstring>
#include <map>

// OpenSSL first: the Windows headers define names that OpenSSL uses.
#include "openssl_check.h"
#include "csp_fixture.h"

namespace
{
std::string ProvText(HCRYPTPROV h, DWORD param)
{
    DWORD size = 0;
    EXPECT_TRUE(CryptGetProvParam(h, param, nullptr, &size, 0));
    std::string text(size, '\0');
    EXPECT_TRUE(CryptGetProvParam(h, param, reinterpret_cast<BYTE*>(text.data()), &size, 0));
    text.resize(size ? size - 1 : 0);
    return text;
}

DWORD ProvDword(HCRYPTPROV h, DWORD param)
{
    DWORD v = 0, size = sizeof v;
    EXPECT_TRUE(CryptGetProvParam(h, param, reinterpret_cast<BYTE*>(&v), &size, 0));
    return v;
}

DWORD KeyDword(HCRYPTKEY k, DWORD param)
{
    DWORD v = 0, size = sizeof v;
    EXPECT_TRUE(CryptGetKeyParam(k, param, reinterpret_cast<BYTE*>(&v), &size, 0))
        << std::hex << GetLastError();
    return v;
}

std::vector<ALG_ID> Algorithms(HCRYPTPROV h)
{
    std::vector<ALG_ID> algs;
    DWORD flags = CRYPT_FIRST;
    PROV_ENUMALGS_EX info;
    DWORD size = sizeof info;
    while (CryptGetProvParam(h, PP_ENUMALGS_EX, reinterpret_cast<BYTE*>(&info), &size, flags))
    {
        algs.push_back(info.aiAlgid);
        flags = CRYPT_NEXT;
        size = sizeof info;
    }
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
    return algs;
}
} // namespace

TEST_F(CspTest, EnumProvidersListsTheRegisteredProvidersWithTheirTypes)
{
    std::vector<std::pair<std::u16string, DWORD>> seen;
    for (DWORD i = 0;; ++i)
    {
        DWORD type = 0, size = 0;
        if (!CryptEnumProvidersW(i, nullptr, 0, &type, nullptr, &size))
        {
            EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
            break;
        }
        std::u16string name(size / 2, u'\0');
        ASSERT_TRUE(CryptEnumProvidersW(i, nullptr, 0, &type, name.data(), &size));
        EXPECT_EQ(name.size() * 2, size) << "the size counts bytes with the terminator";
        name.pop_back();
        seen.emplace_back(name, type);
    }
    EXPECT_EQ((std::vector<std::pair<std::u16string, DWORD>>{{MS_DEF_PROV_W, 1},
                                                             {MS_ENHANCED_PROV_W, 1},
                                                             {MS_ENH_RSA_AES_PROV_W, 24},
                                                             {MS_STRONG_PROV_W, 1}}),
              seen);

    DWORD type = 0, size = 4;
    char16_t small[2];
    EXPECT_FALSE(CryptEnumProvidersW(0, nullptr, 0, &type, small, &size));
    EXPECT_EQ(DWORD(ERROR_MORE_DATA), GetLastError());
    EXPECT_EQ(sizeof(MS_DEF_PROV_W), size);
    EXPECT_FALSE(CryptEnumProvidersW(0, nullptr, 1, &type, nullptr, &size));
    EXPECT_EQ(DWORD(NTE_BAD_FLAGS), GetLastError());
}

TEST_F(CspTest, AcquireReportsWindowsErrors)
{
    HCRYPTPROV made = Acquire(u"Existing", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET);
    ASSERT_TRUE(made);
    CryptReleaseContext(made, 0);
    std::u16string longName(260, u'x');
    const struct
    {
        const char* what;
        const char16_t* container;
        const char16_t* provider;
        DWORD type, flags, error;
    } cases[] = {
        {"missing container", u"Nowhere", MS_ENHANCED_PROV_W, 1, 0, DWORD(NTE_BAD_KEYSET)},
        {"new over an existing one", u"Existing", MS_ENHANCED_PROV_W, 1, CRYPT_NEWKEYSET,
         DWORD(NTE_EXISTS)},
        {"delete a missing one", u"Nowhere", MS_ENHANCED_PROV_W, 1, CRYPT_DELETEKEYSET,
         DWORD(NTE_BAD_KEYSET)},
        {"verify and new", nullptr, MS_ENHANCED_PROV_W, 1, CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET,
         DWORD(NTE_BAD_FLAGS)},
        {"verify with a container", u"Existing", MS_ENHANCED_PROV_W, 1, CRYPT_VERIFYCONTEXT,
         DWORD(NTE_BAD_FLAGS)},
        {"unknown flag", u"Existing", MS_ENHANCED_PROV_W, 1, 0x00010000, DWORD(NTE_BAD_FLAGS)},
        {"unknown provider", u"Existing", u"No Such Provider", 1, 0, DWORD(NTE_KEYSET_NOT_DEF)},
        {"wrong type", u"Existing", MS_ENHANCED_PROV_W, 24, 0, DWORD(NTE_PROV_TYPE_NO_MATCH)},
        {"type zero", u"Existing", MS_ENHANCED_PROV_W, 0, 0, DWORD(NTE_BAD_PROV_TYPE)},
        {"name of 260 characters", longName.c_str(), MS_ENHANCED_PROV_W, 1, CRYPT_NEWKEYSET,
         DWORD(NTE_BAD_KEYSET_PARAM)},
        {"existing one opens", u"Existing", MS_STRONG_PROV_W, 1, 0, 0},
        {"verify context", nullptr, MS_DEF_PROV_W, 1, CRYPT_VERIFYCONTEXT, 0},
        {"default provider of the type", u"Existing", nullptr, 1, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.error, AcquireError(c.container, c.provider, c.flags, c.type)) << c.what;

    HCRYPTPROV h = 1234;
    EXPECT_TRUE(CryptAcquireContextW(&h, u"Existing", MS_ENHANCED_PROV_W, 1, CRYPT_DELETEKEYSET));
    EXPECT_EQ(HCRYPTPROV(0), h) << "a deleted key set leaves no context";
    EXPECT_EQ(DWORD(NTE_BAD_KEYSET), AcquireError(u"Existing", MS_ENHANCED_PROV_W, 0));
    EXPECT_FALSE(CryptReleaseContext(0x7777, 0));
}

TEST_F(CspTest, ProviderParametersAndTheSizeProtocol)
{
    HCRYPTPROV h =
        Acquire(u"{0F5A-Container}", MS_ENH_RSA_AES_PROV_W, CRYPT_NEWKEYSET, PROV_RSA_AES);
    EXPECT_EQ(MS_ENH_RSA_AES_PROV_A, ProvText(h, PP_NAME));
    EXPECT_EQ("{0F5A-Container}", ProvText(h, PP_CONTAINER));
    EXPECT_EQ(DWORD(CRYPT_IMPL_SOFTWARE), ProvDword(h, PP_IMPTYPE));

    char small[4];
    DWORD size = sizeof small;
    EXPECT_FALSE(CryptGetProvParam(h, PP_NAME, reinterpret_cast<BYTE*>(small), &size, 0));
    EXPECT_EQ(DWORD(ERROR_MORE_DATA), GetLastError());
    EXPECT_EQ(sizeof(MS_ENH_RSA_AES_PROV_A), size);
    EXPECT_FALSE(CryptGetProvParam(h, 999, nullptr, &size, 0));
    EXPECT_EQ(DWORD(NTE_BAD_TYPE), GetLastError());
    CryptReleaseContext(h, 0);
}

// Windows answers the size query with the longest name a container can have (MAX_PATH + 1),
// and leaves the caller's length alone when a name fits; so one buffer serves the walk even
// when a longer name appears after the size query.
TEST_F(CspTest, EnumContainersWalksEveryNameWithOneBuffer)
{
    const char16_t* names[] = {u"a", u"mid-length"};
    for (auto* n : names)
        CryptReleaseContext(Acquire(n, MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET), 0);

    HCRYPTPROV h = Acquire(nullptr, MS_ENHANCED_PROV_W, CRYPT_VERIFYCONTEXT);
    DWORD longest = 0;
    ASSERT_TRUE(CryptGetProvParam(h, PP_ENUMCONTAINERS, nullptr, &longest, CRYPT_FIRST));
    EXPECT_EQ(DWORD(MAX_PATH + 1), longest) << "the size query gives the longest possible name";
    CryptReleaseContext(Acquire(u"{B7C2A1E0-0000-4000-8000-000000000001}", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET), 0);

    std::vector<std::string> found;
    std::vector<char> buffer(longest);
    DWORD flags = CRYPT_FIRST;
    for (;;)
    {
        DWORD size = longest;
        if (!CryptGetProvParam(h, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(buffer.data()), &size,
                               flags))
            break;
        EXPECT_EQ(longest, size) << "a successful call keeps the buffer length";
        found.emplace_back(buffer.data());
        flags = CRYPT_NEXT;
    }
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(
        (std::vector<std::string>{"a", "mid-length", "{B7C2A1E0-0000-4000-8000-000000000001}"}),
        found);

    // A buffer too small for the next name: ERROR_MORE_DATA with the size it needs, and the
    // walk stays on that name.
    char small[4];
    DWORD size = sizeof small;
    ASSERT_TRUE(CryptGetProvParam(h, PP_ENUMCONTAINERS, nullptr, &size, CRYPT_FIRST));
    std::vector<std::string> again;
    for (flags = CRYPT_FIRST;; flags = CRYPT_NEXT)
    {
        size = sizeof small;
        if (CryptGetProvParam(h, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(small), &size, flags))
        {
            again.emplace_back(small);
            continue;
        }
        if (GetLastError() != DWORD(ERROR_MORE_DATA))
            break;
        ASSERT_GT(size, DWORD(sizeof small));
        std::vector<char> fit(size);
        ASSERT_TRUE(CryptGetProvParam(h, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(fit.data()), &size, CRYPT_NEXT));
        again.emplace_back(fit.data());
    }
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
    std::sort(again.begin(), again.end());
    EXPECT_EQ(found, again);
    CryptReleaseContext(h, 0);
}

TEST_F(CspTest, EachProviderOffersItsWindowsAlgorithms)
{
    const struct
    {
        const char16_t* provider;
        DWORD type;
        bool sha2, tripleDes, aes;
        DWORD maxKeyx, maxSign; // Windows' documented largest RSA keys
    } cases[] = {
        {MS_DEF_PROV_W, 1, false, false, false, 1024, 16384},
        {MS_ENHANCED_PROV_W, 1, false, true, false, 16384, 16384},
        {MS_STRONG_PROV_W, 1, false, true, false, 16384, 16384},
        {MS_ENH_RSA_AES_PROV_W, 24, true, true, true, 16384, 16384},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.provider, c.provider + 20));
        HCRYPTPROV h = Acquire(nullptr, c.provider, CRYPT_VERIFYCONTEXT, c.type);
        auto algs = Algorithms(h);
        auto has = [&](ALG_ID a) { return std::find(algs.begin(), algs.end(), a) != algs.end(); };
        EXPECT_TRUE(has(CALG_MD5) && has(CALG_SHA1) && has(CALG_RSA_SIGN) && has(CALG_RSA_KEYX));
        EXPECT_EQ(c.sha2, has(CALG_SHA_256) && has(CALG_SHA_384) && has(CALG_SHA_512));
        EXPECT_EQ(c.tripleDes, has(CALG_3DES));
        EXPECT_EQ(c.aes, has(CALG_AES_256));

        for (ALG_ID hashAlg : {CALG_MD5, CALG_SHA1, CALG_SHA_256, CALG_SHA_512})
        {
            HCRYPTHASH hash = 0;
            bool offered = hashAlg == CALG_MD5 || hashAlg == CALG_SHA1 || c.sha2;
            EXPECT_EQ(offered, bool(CryptCreateHash(h, hashAlg, 0, 0, &hash)))
                << std::hex << hashAlg;
            if (offered)
                CryptDestroyHash(hash);
            else
                EXPECT_EQ(DWORD(NTE_BAD_ALGID), GetLastError());
        }
        std::map<ALG_ID, DWORD> maxLen;
        PROV_ENUMALGS_EX info;
        DWORD size = sizeof info;
        for (DWORD flags = CRYPT_FIRST;
             CryptGetProvParam(h, PP_ENUMALGS_EX, reinterpret_cast<BYTE*>(&info), &size, flags);
             flags = CRYPT_NEXT, size = sizeof info)
            maxLen[info.aiAlgid] = info.dwMaxLen;
        EXPECT_EQ(c.maxKeyx, maxLen[CALG_RSA_KEYX]);
        EXPECT_EQ(c.maxSign, maxLen[CALG_RSA_SIGN]);
        HCRYPTKEY key = 0;
        EXPECT_FALSE(CryptGenKey(h, AT_KEYEXCHANGE, (c.maxKeyx + 8) << 16, &key));
        EXPECT_EQ(DWORD(NTE_BAD_FLAGS), GetLastError());
        EXPECT_FALSE(CryptGenKey(h, AT_SIGNATURE, (c.maxSign + 8) << 16, &key));
        EXPECT_EQ(DWORD(NTE_BAD_FLAGS), GetLastError());
        // A signature key beyond the Base provider's exchange-key limit.
        ASSERT_TRUE(CryptGenKey(h, AT_SIGNATURE, 2048 << 16, &key)) << std::hex << GetLastError();
        EXPECT_EQ(2048u, KeyDword(key, KP_KEYLEN));
        CryptDestroyKey(key);
        CryptReleaseContext(h, 0);
    }
}

TEST_F(CspTest, HashValueSizeQueryShortBufferAndFinishedState)
{
    HCRYPTPROV h = Acquire(nullptr, MS_ENHANCED_PROV_W, CRYPT_VERIFYCONTEXT);
    HCRYPTHASH hash = 0;
    ASSERT_TRUE(CryptCreateHash(h, CALG_SHA1, 0, 0, &hash));
    ASSERT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>("ab"), 2, 0));
    DWORD size = 0;
    ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, nullptr, &size, 0));
    EXPECT_EQ(20u, size);
    ASSERT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>("c"), 1, 0))
        << "a size query finishes nothing";
    BYTE value[20];
    size = 19;
    EXPECT_FALSE(CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0));
    EXPECT_EQ(DWORD(ERROR_MORE_DATA), GetLastError());
    EXPECT_EQ(20u, size);
    ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0));
    const BYTE sha1abc[] = {0xa9, 0x99, 0x3e, 0x36, 0x47, 0x06, 0x81, 0x6a, 0xba, 0x3e,
                            0x25, 0x71, 0x78, 0x50, 0xc2, 0x6c, 0x9c, 0xd0, 0xd8, 0x9d};
    EXPECT_EQ(0, std::memcmp(sha1abc, value, 20));
    EXPECT_FALSE(CryptHashData(hash, reinterpret_cast<const BYTE*>("d"), 1, 0));
    EXPECT_EQ(DWORD(NTE_BAD_HASH_STATE), GetLastError());
    CryptDestroyHash(hash);
    EXPECT_FALSE(CryptDestroyHash(hash));
    CryptReleaseContext(h, 0);
}

TEST_F(CspTest, SignatureIsLeastSignificantByteFirstAndVerifiesWithOpenssl)
{
    HCRYPTPROV h = Acquire(u"signer", MS_ENH_RSA_AES_PROV_W, CRYPT_NEWKEYSET, PROV_RSA_AES);
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptGenKey(h, AT_SIGNATURE, (2048 << 16) | CRYPT_EXPORTABLE, &key));
    EXPECT_EQ(DWORD(CALG_RSA_SIGN), KeyDword(key, KP_ALGID));
    EXPECT_EQ(2048u, KeyDword(key, KP_KEYLEN));
    Bytes pub = Export(key, PUBLICKEYBLOB);
    CryptDestroyKey(key);

    std::string data(20000, 'q');
    for (ALG_ID alg : {CALG_SHA_256, CALG_SHA1, CALG_MD5})
    {
        HCRYPTHASH hash = 0;
        ASSERT_TRUE(CryptCreateHash(h, alg, 0, 0, &hash));
        // In pieces, as the signing code feeds it.
        ASSERT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()), 16384, 0));
        ASSERT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()) + 16384,
                                  DWORD(data.size() - 16384), 0));
        DWORD size = 0;
        ASSERT_TRUE(CryptSignHashW(hash, AT_SIGNATURE, nullptr, 0, nullptr, &size));
        EXPECT_EQ(256u, size);
        Bytes sig(size);
        ASSERT_TRUE(CryptSignHashW(hash, AT_SIGNATURE, nullptr, 0, sig.data(), &size));
        CryptDestroyHash(hash);

        auto dir = m_dir / "verify";
        std::filesystem::create_directories(dir);
        EVP_PKEY* pkey = check::PublicFromBlob(pub);
        ASSERT_TRUE(pkey);
        check::WritePublicPem(dir / "pub.pem", pkey);
        EVP_PKEY_free(pkey);
        check::WriteFile(dir / "data", Bytes(data.begin(), data.end()));
        check::WriteFile(dir / "sig", check::Rev(sig));
        check::WriteFile(dir / "sig-as-returned", sig);
        const char* digest = alg == CALG_SHA_256 ? "-sha256" : alg == CALG_SHA1 ? "-sha1" : "-md5";
        std::string base =
            std::string("openssl dgst ") + digest + " -verify " + (dir / "pub.pem").string();
        EXPECT_EQ(0, check::Run(base + " -signature " + (dir / "sig").string() + " " +
                                (dir / "data").string()));
        EXPECT_NE(0, check::Run(base + " -signature " + (dir / "sig-as-returned").string() + " " +
                                (dir / "data").string()));
    }
    HCRYPTHASH hash = 0;
    ASSERT_TRUE(CryptCreateHash(h, CALG_SHA1, 0, 0, &hash));
    DWORD size = 0;
    EXPECT_FALSE(CryptSignHashW(hash, AT_KEYEXCHANGE, nullptr, 0, nullptr, &size));
    EXPECT_EQ(DWORD(NTE_NO_KEY), GetLastError());
    CryptDestroyHash(hash);
    CryptReleaseContext(h, 0);
}

TEST_F(CspTest, KeyBlobLayouts)
{
    HCRYPTPROV h = Acquire(u"blobs", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET);
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptGenKey(h, AT_KEYEXCHANGE, (1024 << 16) | CRYPT_EXPORTABLE, &key));
    Bytes pub = Export(key, PUBLICKEYBLOB);
    Bytes priv = Export(key, PRIVATEKEYBLOB);
    ASSERT_EQ(20u + 128, pub.size());
    EXPECT_EQ((Bytes{0x06, 0x02, 0x00, 0x00, 0x00, 0xA4, 0x00, 0x00, 'R',  'S',
                     'A',  '1',  0x00, 0x04, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00}),
              Bytes(pub.begin(), pub.begin() + 20));
    ASSERT_EQ(20u + 9 * 1024 / 16, priv.size());
    EXPECT_EQ((Bytes{0x07, 0x02, 0x00, 0x00, 0x00, 0xA4, 0x00, 0x00, 'R', 'S', 'A', '2'}),
              Bytes(priv.begin(), priv.begin() + 12));
    EXPECT_TRUE(std::equal(pub.begin() + 20, pub.end(), priv.begin() + 20)) << "the same modulus";

    // The private blob's numbers, read by OpenSSL, make a consistent RSA key.
    auto field = [&](size_t offset, size_t width)
    {
        Bytes be =
            check::Rev(Bytes(priv.begin() + long(offset), priv.begin() + long(offset + width)));
        return BN_bin2bn(be.data(), int(be.size()), nullptr);
    };
    BIGNUM *n = field(20, 128), *p = field(148, 64), *q = field(212, 64), *d = field(468, 128);
    BIGNUM* pq = BN_new();
    BN_CTX* ctx = BN_CTX_new();
    BN_mul(pq, p, q, ctx);
    EXPECT_EQ(0, BN_cmp(pq, n));
    BIGNUM *e = BN_new(), *ed = BN_new(), *phi = BN_new(), *p1 = BN_dup(p), *q1 = BN_dup(q),
           *r = BN_new();
    BN_set_word(e, 65537);
    BN_sub_word(p1, 1);
    BN_sub_word(q1, 1);
    BN_mul(phi, p1, q1, ctx);
    BN_mod_mul(ed, e, d, phi, ctx);
    EXPECT_TRUE(BN_is_one(ed));
    for (BIGNUM* b : {n, p, q, d, pq, e, ed, phi, p1, q1, r})
        BN_free(b);
    BN_CTX_free(ctx);

    HCRYPTKEY fixed = 0;
    ASSERT_TRUE(CryptGenKey(h, AT_SIGNATURE, 1024 << 16, &fixed));
    DWORD size = 0;
    EXPECT_FALSE(CryptExportKey(fixed, 0, PRIVATEKEYBLOB, 0, nullptr, &size));
    EXPECT_EQ(DWORD(NTE_BAD_KEY_STATE), GetLastError())
        << "a key made without CRYPT_EXPORTABLE stays inside";
    CryptDestroyKey(fixed);
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);
}

TEST_F(CspTest, ImportRefusesBadBlobs)
{
    HCRYPTPROV h = Acquire(nullptr, MS_ENHANCED_PROV_W, CRYPT_VERIFYCONTEXT);
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptGenKey(h, AT_KEYEXCHANGE, (512 << 16) | CRYPT_EXPORTABLE, &key));
    Bytes good = Export(key, PRIVATEKEYBLOB);
    CryptDestroyKey(key);
    auto with = [&](size_t at, uint8_t v)
    {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    const struct
    {
        const char* what;
        Bytes blob;
        DWORD error;
    } cases[] = {
        {"version 3", with(1, 3), DWORD(NTE_BAD_VER)},
        {"unknown blob type", with(0, 0x55), DWORD(NTE_BAD_TYPE)},
        {"wrong magic", with(8, 'X'), DWORD(NTE_BAD_DATA)},
        {"truncated", Bytes(good.begin(), good.end() - 1), DWORD(NTE_BAD_DATA)},
        {"header only", Bytes(good.begin(), good.begin() + 8), DWORD(NTE_BAD_DATA)},
        {"bit length beyond the data", with(13, 0x08), DWORD(NTE_BAD_DATA)},
        {"short of a header", Bytes(good.begin(), good.begin() + 5), DWORD(NTE_BAD_DATA)},
    };
    for (const auto& c : cases)
    {
        HCRYPTKEY k = 0;
        EXPECT_FALSE(CryptImportKey(h, c.blob.data(), DWORD(c.blob.size()), 0, 0, &k)) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
    }
    HCRYPTKEY k = 0;
    EXPECT_TRUE(CryptImportKey(h, good.data(), DWORD(good.size()), 0, 0, &k));
    CryptDestroyKey(k);
    CryptReleaseContext(h, 0);
}

TEST_F(CspTest, SimpleBlobWrapsASessionKeyUnderTheExchangeKey)
{
    HCRYPTPROV h = Acquire(u"wrap", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET);
    HCRYPTKEY exchange = 0, session = 0, back = 0;
    ASSERT_TRUE(CryptGenKey(h, AT_KEYEXCHANGE, 1024 << 16, &exchange));
    ASSERT_TRUE(CryptGenKey(h, CALG_3DES, CRYPT_EXPORTABLE, &session));
    EXPECT_EQ(192u, KeyDword(session, KP_KEYLEN));
    EXPECT_EQ(DWORD(CRYPT_MODE_CBC), KeyDword(session, KP_MODE));
    Bytes blob = Export(session, SIMPLEBLOB, exchange);
    ASSERT_EQ(12u + 128, blob.size());
    EXPECT_EQ((Bytes{0x01, 0x02, 0x00, 0x00, 0x03, 0x66, 0x00, 0x00, 0x00, 0xA4, 0x00, 0x00}),
              Bytes(blob.begin(), blob.begin() + 12));
    ASSERT_TRUE(CryptImportKey(h, blob.data(), DWORD(blob.size()), exchange, 0, &back));

    BYTE data[32] = "the same key on both ends";
    DWORD length = 26;
    ASSERT_TRUE(CryptEncrypt(session, 0, TRUE, 0, data, &length, sizeof data));
    EXPECT_EQ(32u, length);
    ASSERT_TRUE(CryptDecrypt(back, 0, TRUE, 0, data, &length));
    EXPECT_EQ(26u, length);
    EXPECT_STREQ("the same key on both ends", reinterpret_cast<char*>(data));

    HCRYPTKEY unwrapped = 0;
    EXPECT_FALSE(CryptImportKey(h, blob.data(), DWORD(blob.size()), 0, 0, &unwrapped));
    EXPECT_EQ(DWORD(NTE_BAD_PUBLIC_KEY), GetLastError());
    for (HCRYPTKEY k : {exchange, session, back})
        CryptDestroyKey(k);
    CryptReleaseContext(h, 0);
}

// How a delivered 3DES key and private key are opened with a software provider: an
// exchange key whose exponents are 1 imports a hand-made SIMPLEBLOB holding the plain key.
TEST_F(CspTest, ExponentOfOneKeyImportsAPlainSessionKey)
{
    HCRYPTPROV h = Acquire(u"scratch", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET);
    HCRYPTKEY k = 0;
    ASSERT_TRUE(CryptGenKey(h, AT_KEYEXCHANGE, CRYPT_EXPORTABLE, &k));
    Bytes blob = Export(k, PRIVATEKEYBLOB);
    CryptDestroyKey(k);
    DWORD bits = 0;
    std::memcpy(&bits, blob.data() + 12, 4);
    ASSERT_EQ(1024u, bits) << "the Enhanced provider's default";
    size_t full = bits / 8, half = bits / 16;
    auto one = [&](size_t offset, size_t width)
    {
        std::fill(blob.begin() + long(offset), blob.begin() + long(offset + width), 0);
        blob[offset] = 1;
    };
    one(16, 4);
    one(20 + full + 2 * half, half);
    one(20 + full + 3 * half, half);
    one(20 + full + 5 * half, full);
    HCRYPTKEY exponentOne = 0;
    ASSERT_TRUE(CryptImportKey(h, blob.data(), DWORD(blob.size()), 0, 0, &exponentOne))
        << std::hex << GetLastError();

    Bytes plainKey(24);
    for (size_t i = 0; i < 24; ++i)
        plainKey[i] = BYTE(0x10 + i);
    Bytes simple = {SIMPLEBLOB, 2, 0, 0, 0x03, 0x66, 0, 0, 0x00, 0xA4, 0, 0};
    Bytes reversedKey = check::Rev(plainKey);
    simple.insert(simple.end(), reversedKey.begin(), reversedKey.end());
    simple.push_back(0);
    while (simple.size() < 12 + full - 2)
        simple.push_back(0x5A);
    simple.push_back(2);
    simple.push_back(0);
    HCRYPTKEY session = 0;
    ASSERT_TRUE(CryptImportKey(h, simple.data(), DWORD(simple.size()), exponentOne,
                               CRYPT_EXPORTABLE, &session))
        << std::hex << GetLastError();
    DWORD ecb = CRYPT_MODE_ECB;
    ASSERT_TRUE(CryptSetKeyParam(session, KP_MODE, reinterpret_cast<BYTE*>(&ecb), 0));

    // Encrypted elsewhere with OpenSSL: 3DES-ECB with PKCS#5 padding.
    const char* secret = "PKCS#1 private key bytes would be here";
    Bytes cipher(64);
    int n1 = 0, n2 = 0;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_des_ede3_ecb(), nullptr, plainKey.data(), nullptr);
    EVP_EncryptUpdate(ctx, cipher.data(), &n1, reinterpret_cast<const BYTE*>(secret),
                      int(std::strlen(secret)));
    EVP_EncryptFinal_ex(ctx, cipher.data() + n1, &n2);
    EVP_CIPHER_CTX_free(ctx);
    DWORD length = DWORD(n1 + n2);
    ASSERT_TRUE(CryptDecrypt(session, 0, TRUE, 0, cipher.data(), &length))
        << std::hex << GetLastError();
    EXPECT_EQ(std::string(secret), std::string(cipher.begin(), cipher.begin() + length));
    CryptDestroyKey(session);
    CryptDestroyKey(exponentOne);
    CryptReleaseContext(h, 0);
}

TEST_F(CspTest, DecryptTakesTheCipherLeastSignificantByteFirst)
{
    HCRYPTPROV h = Acquire(u"decrypt", MS_STRONG_PROV_W, CRYPT_NEWKEYSET);
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptGenKey(h, AT_KEYEXCHANGE, 1024 << 16, &key));
    EVP_PKEY* pkey = check::PublicFromBlob(Export(key, PUBLICKEYBLOB));
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(pkey, nullptr);
    EVP_PKEY_encrypt_init(ctx);
    EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING);
    const BYTE secret[] = "twenty-four byte 3DES k";
    size_t outLength = 128;
    Bytes cipher(outLength);
    ASSERT_EQ(1, EVP_PKEY_encrypt(ctx, cipher.data(), &outLength, secret, 24));
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(pkey);
    cipher = check::Rev(cipher);
    DWORD length = DWORD(cipher.size());
    ASSERT_TRUE(CryptDecrypt(key, 0, TRUE, 0, cipher.data(), &length))
        << std::hex << GetLastError();
    EXPECT_EQ(24u, length);
    EXPECT_EQ(0, std::memcmp(secret, cipher.data(), 24));
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);
}

// Windows compares the buffer length with the cipher's size: a short plain text in a buffer
// large enough is encrypted in place; the size query and a short buffer give the size.
TEST_F(CspTest, RsaEncryptNeedsABufferOfTheCiphersSize)
{
    HCRYPTPROV h = Acquire(u"encrypt", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET);
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptGenKey(h, AT_KEYEXCHANGE, 1024 << 16, &key));
    const BYTE secret[] = "sixteen byte key";
    const struct
    {
        const char* what;
        bool buffer;
        DWORD bufferLength;
        BOOL ok;
        DWORD error;
    } cases[] = {
        {"size query", false, 0, TRUE, 0},
        {"buffer one byte short", true, 127, FALSE, DWORD(ERROR_MORE_DATA)},
        {"buffer of the cipher's size", true, 128, TRUE, 0},
        {"larger buffer", true, 300, TRUE, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        Bytes buffer(300, 0);
        std::memcpy(buffer.data(), secret, 16);
        DWORD length = 16;
        SetLastError(0);
        EXPECT_EQ(c.ok, CryptEncrypt(key, 0, TRUE, 0, c.buffer ? buffer.data() : nullptr, &length,
                                     c.bufferLength));
        EXPECT_EQ(128u, length);
        if (!c.ok)
            EXPECT_EQ(c.error, GetLastError());
        if (c.ok && c.buffer)
        {
            Bytes cipher(buffer.begin(), buffer.begin() + 128);
            DWORD plainLength = 128;
            ASSERT_TRUE(CryptDecrypt(key, 0, TRUE, 0, cipher.data(), &plainLength));
            EXPECT_EQ(Bytes(secret, secret + 16), Bytes(cipher.begin(), cipher.begin() + plainLength));
        }
    }
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);
}

TEST_F(CspTest, ContainerKeysAndBadHandles)
{
    HCRYPTPROV h = Acquire(u"keys", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET);
    HCRYPTKEY key = 0;
    EXPECT_FALSE(CryptGetUserKey(h, AT_SIGNATURE, &key));
    EXPECT_EQ(DWORD(NTE_NO_KEY), GetLastError());
    ASSERT_TRUE(CryptGenKey(h, CALG_RSA_SIGN, 0, &key));
    CryptDestroyKey(key);
    EXPECT_FALSE(CryptDestroyKey(key));
    EXPECT_EQ(DWORD(NTE_BAD_KEY), GetLastError());
    ASSERT_TRUE(CryptGetUserKey(h, AT_SIGNATURE, &key));
    EXPECT_EQ(1024u, KeyDword(key, KP_KEYLEN));
    BYTE cert[] = {0x30, 0x00};
    EXPECT_FALSE(CryptSetKeyParam(key, KP_CERTIFICATE, cert, 0));
    EXPECT_EQ(DWORD(NTE_BAD_TYPE), GetLastError()) << "software keys carry no certificate";
    CryptReleaseContext(h, 0);
    DWORD size = 0;
    EXPECT_FALSE(CryptGetKeyParam(key, KP_KEYLEN, nullptr, &size, 0))
        << "the key went with its context";
    EXPECT_FALSE(CryptGetProvParam(h, PP_NAME, nullptr, &size, 0));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());

    HCRYPTPROV v = Acquire(nullptr, MS_ENHANCED_PROV_W, CRYPT_VERIFYCONTEXT);
    BYTE random[64] = {};
    ASSERT_TRUE(CryptGenRandom(v, sizeof random, random));
    EXPECT_NE(std::count(random, random + 64, 0), 64);
    CryptReleaseContext(v, 0);
}

// Private operations reuse what they prepared for a key; a key replaced in its container, or
// a handle's own copy, must still sign with the key it names.
TEST_F(CspTest, SignaturesFollowTheContainersCurrentKey)
{
    HCRYPTPROV h = Acquire(u"replaced", MS_ENH_RSA_AES_PROV_W, CRYPT_NEWKEYSET, PROV_RSA_AES);
    auto sign = [&](HCRYPTPROV prov)
    {
        HCRYPTHASH hash = 0;
        EXPECT_TRUE(CryptCreateHash(prov, CALG_SHA_256, 0, 0, &hash));
        EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>("abc"), 3, 0));
        DWORD size = 0;
        EXPECT_TRUE(CryptSignHashW(hash, AT_SIGNATURE, nullptr, 0, nullptr, &size));
        Bytes sig(size);
        EXPECT_TRUE(CryptSignHashW(hash, AT_SIGNATURE, nullptr, 0, sig.data(), &size));
        CryptDestroyHash(hash);
        return sig;
    };
    auto verifies = [&](const Bytes& pub, const Bytes& sig)
    {
        HCRYPTKEY key = 0;
        HCRYPTHASH hash = 0;
        EXPECT_TRUE(CryptImportKey(h, pub.data(), DWORD(pub.size()), 0, 0, &key));
        EXPECT_TRUE(CryptCreateHash(h, CALG_SHA_256, 0, 0, &hash));
        EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>("abc"), 3, 0));
        bool ok = CryptVerifySignatureW(hash, sig.data(), DWORD(sig.size()), key, nullptr, 0);
        CryptDestroyHash(hash);
        CryptDestroyKey(key);
        return ok;
    };
    Bytes pubs[2];
    for (Bytes& pub : pubs)
    {
        HCRYPTKEY key = 0;
        ASSERT_TRUE(CryptGenKey(h, AT_SIGNATURE, 1024 << 16, &key));
        pub = Export(key, PUBLICKEYBLOB);
        CryptDestroyKey(key);
        for (int i = 0; i < 2; ++i)
        {
            HCRYPTPROV again = Acquire(u"replaced", MS_ENH_RSA_AES_PROV_W, 0, PROV_RSA_AES);
            EXPECT_TRUE(verifies(pub, sign(again)));
            CryptReleaseContext(again, 0);
        }
    }
    EXPECT_FALSE(verifies(pubs[0], sign(h)));
    EXPECT_TRUE(verifies(pubs[1], sign(h)));
    CryptReleaseContext(h, 0);
}
