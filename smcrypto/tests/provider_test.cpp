// The SM provider in the crypto library: registration and release, and each algorithm through
// the library's own interfaces, compared with OpenSSL's implementations.
#include <gtest/gtest.h>

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/param_build.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

#include "openssl_peer.h"
#include "smcrypto/objects.h"
#include "smcrypto/smalgorithms.h"
#include "smcrypto/sm2.h"
#include "smcrypto/zuc.h"

namespace
{

bool DigestFound(const char *pszName, const char *pszQuery)
{
    EVP_MD *pMd = EVP_MD_fetch(nullptr, pszName, pszQuery);
    EVP_MD_free(pMd);
    return pMd != nullptr;
}

bool CipherFound(const char *pszName, const char *pszQuery)
{
    EVP_CIPHER *pCipher = EVP_CIPHER_fetch(nullptr, pszName, pszQuery);
    EVP_CIPHER_free(pCipher);
    return pCipher != nullptr;
}

void ExpectLookups(bool bFound)
{
    EXPECT_EQ(DigestFound("sm3", SM_PROVIDER_QUERY), bFound);
    EXPECT_EQ(DigestFound("tls1-sm3", SM_PROVIDER_QUERY), bFound);
    EXPECT_EQ(CipherFound("sm4-cbc", SM_PROVIDER_QUERY), bFound);
    EXPECT_EQ(CipherFound("zuc", SM_PROVIDER_QUERY), bFound);
    EXPECT_EQ(CipherFound("zuc", nullptr), bFound);
    ERR_clear_error();
}

TEST(SmRegistration, NamesAreFoundAfterRegistrationAndNotAfterRelease)
{
    SmReleaseAllAlgorithms();
    ExpectLookups(false);
    SmRegisterAllAlgorithms();
    SmRegisterAllAlgorithms();  // a second script object
    EXPECT_TRUE(SmAlgorithmsRegistered());
    ExpectLookups(true);
    // The library's own algorithms stay reachable beside ours.
    EXPECT_TRUE(DigestFound("SHA256", nullptr));
    SmReleaseAllAlgorithms();  // one release ends the registration of both
    EXPECT_FALSE(SmAlgorithmsRegistered());
    ExpectLookups(false);
    EXPECT_TRUE(DigestFound("SHA256", nullptr));
    SmRegisterAllAlgorithms();
    ExpectLookups(true);
}

TEST(SmRegistration, Sm1IsAnObjectButNoCipher)
{
    SmRegisterAllAlgorithms();
    int nNid = OBJ_txt2nid("sm1-cbc");
    ASSERT_NE(nNid, NID_undef);
    EXPECT_EQ(nNid, SmObjectIds().nidSm1Cbc);
    char szOid[64];
    OBJ_obj2txt(szOid, sizeof(szOid), OBJ_nid2obj(nNid), 1);
    EXPECT_STREQ(szOid, "1.2.156.10197.1.102");
    EXPECT_FALSE(CipherFound("sm1-cbc", nullptr));
    EXPECT_EQ(EVP_get_cipherbyname("sm1-cbc"), nullptr);
    ERR_clear_error();
}

TEST(SmRegistration, ObjectTableCarriesEveryIdentifier)
{
    const SM_OBJECT_IDS &ids = SmObjectIds();
    const std::pair<int, const char *> rgRows[] = {
        {ids.nidSm2Curve, "1.2.156.10197.1.301"},       {ids.nidSm2TestCurve, "1.2.156.10197.1.888"},
        {ids.nidSm3, "1.2.156.10197.1.401"},            {ids.nidSm4Cbc, "1.2.156.10197.1.104"},
        {ids.nidSm2Sm3, "1.2.156.10197.1.501"},         {ids.nidSm1Cbc, "1.2.156.10197.1.102"},
        {ids.nidZuc, "1.2.156.10197.1.105"},            {ids.nidSm2Sm3Pkcs7, "1.2.156.10197.1.301.1"},
        {ids.nidSmPkcs7Data, "1.2.156.10197.6.1.4.2.1"}, {ids.nidSmPkcs7Signed, "1.2.156.10197.6.1.4.2.2"},
    };
    for (const auto &[nNid, pszOid] : rgRows)
    {
        ASSERT_NE(nNid, NID_undef) << pszOid;
        char szOid[64];
        OBJ_obj2txt(szOid, sizeof(szOid), OBJ_nid2obj(nNid), 1);
        EXPECT_STREQ(szOid, pszOid);
    }
    EXPECT_EQ(OBJ_txt2nid("ChinaSM2TEST256"), ids.nidSm2TestCurve);
    EXPECT_EQ(OBJ_txt2nid("zuc"), ids.nidZuc);
    EXPECT_EQ(OBJ_txt2nid("sm-pkcs7-signedData"), ids.nidSmPkcs7Signed);
    // PKCS#7 signing finds its signature identifier by digest and key type.
    int nSig = NID_undef;
    ASSERT_EQ(OBJ_find_sigid_by_algs(&nSig, NID_sm3, EVP_PKEY_EC), 1);
    EXPECT_EQ(nSig, ids.nidSm2Sm3Pkcs7);
}

class SmProvider : public testing::Test
{
protected:
    void SetUp() override { SmRegisterAllAlgorithms(); }
};

Bytes Crypt(const char *pszCipher, const char *pszQuery, const Bytes &vbKey, const Bytes &vbIv, bool bEncrypt,
            const std::vector<Bytes> &vParts, bool *pbOk = nullptr)
{
    EVP_CIPHER *pCipher = EVP_CIPHER_fetch(nullptr, pszCipher, pszQuery);
    EVP_CIPHER_CTX *pCtx = EVP_CIPHER_CTX_new();
    bool bOk = pCipher && EVP_CipherInit_ex2(pCtx, pCipher, vbKey.data(), vbIv.data(), bEncrypt, nullptr);
    Bytes vbOut;
    for (const Bytes &vbPart : vParts)
    {
        Bytes vb(vbPart.size() + 32);
        int cb = 0;
        bOk = bOk && EVP_CipherUpdate(pCtx, vb.data(), &cb, vbPart.data(), int(vbPart.size()));
        vbOut.insert(vbOut.end(), vb.begin(), vb.begin() + (bOk ? cb : 0));
    }
    Bytes vb(32);
    int cb = 0;
    bOk = bOk && EVP_CipherFinal_ex(pCtx, vb.data(), &cb);
    vbOut.insert(vbOut.end(), vb.begin(), vb.begin() + (bOk ? cb : 0));
    EVP_CIPHER_CTX_free(pCtx);
    EVP_CIPHER_free(pCipher);
    if (pbOk)
        *pbOk = bOk;
    else
        EXPECT_TRUE(bOk) << pszCipher;
    return vbOut;
}

TEST_F(SmProvider, Sm3DigestMatchesOpenSslForEveryLength)
{
    EVP_MD *pMd = EVP_MD_fetch(nullptr, "tls1-sm3", SM_PROVIDER_QUERY);
    ASSERT_TRUE(pMd);
    EXPECT_STREQ(OSSL_PROVIDER_get0_name(EVP_MD_get0_provider(pMd)), SM_PROVIDER_NAME);
    EXPECT_EQ(EVP_MD_get_size(pMd), 32);
    EXPECT_EQ(EVP_MD_get_block_size(pMd), 64);
    for (size_t cb = 0; cb <= 300; ++cb)
    {
        Bytes vb = RandomBytes(cb), vbOut(32);
        unsigned int cbOut = 0;
        ASSERT_EQ(EVP_Digest(vb.data(), vb.size(), vbOut.data(), &cbOut, pMd, nullptr), 1);
        ASSERT_EQ(vbOut, PeerSm3(vb)) << cb;
    }
    EVP_MD_free(pMd);
}

TEST_F(SmProvider, Sm4CbcWithPaddingMatchesOpenSslForEveryLength)
{
    Bytes vbKey = RandomBytes(16), vbIv = RandomBytes(16);
    for (size_t cb = 0; cb <= 300; ++cb)
    {
        Bytes vb = RandomBytes(cb);
        // Uneven pieces exercise the buffering between calls.
        std::vector<Bytes> vParts{Bytes(vb.begin(), vb.begin() + long(cb / 3)), Bytes(vb.begin() + long(cb / 3), vb.end())};
        Bytes vbOurs = Crypt("sm4-cbc", SM_PROVIDER_QUERY, vbKey, vbIv, true, vParts);
        Bytes vbPeer = Crypt("SM4-CBC", "provider=default", vbKey, vbIv, true, {vb});
        ASSERT_EQ(vbOurs, vbPeer) << cb;
        ASSERT_EQ(Crypt("sm4-cbc", SM_PROVIDER_QUERY, vbKey, vbIv, false, {vbPeer}), vb) << cb;
    }
    // A corrupted final block fails its padding check.
    Bytes vbCipher = Crypt("sm4-cbc", SM_PROVIDER_QUERY, vbKey, vbIv, true, {RandomBytes(40)});
    vbCipher.back() ^= 0xFF;
    bool bOk = true;
    Crypt("sm4-cbc", SM_PROVIDER_QUERY, vbKey, vbIv, false, {vbCipher}, &bOk);
    EXPECT_FALSE(bOk);
    ERR_clear_error();
}

TEST_F(SmProvider, ZucThroughTheCipherLayerRestartsTheWordAtEachCall)
{
    Bytes vbKey = RandomBytes(16), vbIv = RandomBytes(16), vb = RandomBytes(10);
    Bytes vbWhole = Crypt("zuc", nullptr, vbKey, vbIv, true, {vb});
    Bytes vbSplit = Crypt("zuc", nullptr, vbKey, vbIv, true, {Bytes(vb.begin(), vb.begin() + 5), Bytes(vb.begin() + 5, vb.end())});
    EXPECT_NE(vbWhole, vbSplit);
    ZUC_CTX ctx;
    ZUC_init(&ctx, vbKey.data(), vbIv.data());
    Bytes vbDirect(10);
    ZUC_crypt(&ctx, vb.data(), vbDirect.data(), 10);
    EXPECT_EQ(vbWhole, vbDirect);
    EXPECT_EQ(Crypt("zuc", nullptr, vbKey, vbIv, false, {vbWhole}), vb);
}

Bytes OurSign(EVP_PKEY *pKey, const Bytes &vbE)
{
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(nullptr, pKey, SM_PROVIDER_QUERY);
    size_t cb = 0;
    Bytes vb;
    if (pCtx && EVP_PKEY_sign_init(pCtx) == 1 && EVP_PKEY_sign(pCtx, nullptr, &cb, vbE.data(), vbE.size()) == 1)
    {
        vb.resize(cb);
        if (EVP_PKEY_sign(pCtx, vb.data(), &cb, vbE.data(), vbE.size()) == 1)
            vb.resize(cb);
        else
            vb.clear();
    }
    EVP_PKEY_CTX_free(pCtx);
    return vb;
}

int OurVerifyResult(EVP_PKEY *pKey, const Bytes &vbE, const Bytes &vbSig)
{
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(nullptr, pKey, SM_PROVIDER_QUERY);
    int n = pCtx && EVP_PKEY_verify_init(pCtx) == 1
                ? EVP_PKEY_verify(pCtx, vbSig.data(), vbSig.size(), vbE.data(), vbE.size())
                : -2;
    EVP_PKEY_CTX_free(pCtx);
    return n;
}

bool OurVerify(EVP_PKEY *pKey, const Bytes &vbE, const Bytes &vbSig)
{
    return OurVerifyResult(pKey, vbE, vbSig) == 1;
}

TEST_F(SmProvider, Sm2SignaturesOfEcKeysCrossWithOpenSsl)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    PkeyPtr pEc = LibraryEcKey(key, SmNidSm2Curve(), true);
    PkeyPtr pPeer = PeerSm2Key(key, true);
    for (int i = 0; i < 16; ++i)
    {
        Bytes vbE = RandomBytes(32);
        Bytes vbOurs = OurSign(pEc.get(), vbE);
        ASSERT_FALSE(vbOurs.empty());
        EXPECT_TRUE(PeerSm2VerifyDigest(pPeer.get(), vbE, vbOurs));
        EXPECT_TRUE(OurVerify(pEc.get(), vbE, PeerSm2SignDigest(pPeer.get(), vbE)));
        // A bad signature and a malformed one both give -1, as the EC key method answered.
        vbOurs[vbOurs.size() - 1] ^= 1;
        EXPECT_EQ(OurVerifyResult(pEc.get(), vbE, vbOurs), -1);
        EXPECT_EQ(OurVerifyResult(pEc.get(), vbE, Bytes(vbOurs.begin(), vbOurs.end() - 1)), -1);
    }
    // OpenSSL's SM2 key type is served too.
    Bytes vbE = RandomBytes(32);
    EXPECT_TRUE(PeerSm2VerifyDigest(pPeer.get(), vbE, OurSign(pPeer.get(), vbE)));
    ERR_clear_error();
}

TEST_F(SmProvider, SignatureBufferTooSmallIsTheStockEcError)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    PkeyPtr pEc = LibraryEcKey(key, SmNidSm2Curve(), true);
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(nullptr, pEc.get(), SM_PROVIDER_QUERY);
    Bytes vbE = RandomBytes(32), vbSig(71);
    size_t cb = vbSig.size();
    ASSERT_EQ(EVP_PKEY_sign_init(pCtx), 1);
    ERR_clear_error();
    EXPECT_NE(EVP_PKEY_sign(pCtx, vbSig.data(), &cb, vbE.data(), vbE.size()), 1);
    unsigned long ulErr = ERR_peek_error();
    EXPECT_EQ(ERR_GET_LIB(ulErr), ERR_LIB_EC);
    EXPECT_EQ(ERR_GET_REASON(ulErr), 100);
    EVP_PKEY_CTX_free(pCtx);
    ERR_clear_error();
}

TEST_F(SmProvider, TestCurveKeySignsAndVerifiesOnItsOwnCurve)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2TestCurve());
    PkeyPtr pEc = LibraryEcKey(key, SmNidSm2TestCurve(), true);
    Bytes vbE = RandomBytes(32);
    Bytes vbSig = OurSign(pEc.get(), vbE);
    ASSERT_FALSE(vbSig.empty());
    EXPECT_TRUE(OurVerify(pEc.get(), vbE, vbSig));
    SigPtr pSig = SignatureFromDer(vbSig);
    EXPECT_EQ(SM2_do_verify(pSig.get(), key.x.get(), key.y.get(), BnFromBytes(vbE).get(), SmNidSm2TestCurve()), 1);
}

// Keys that carry only the public point, as taken from a certificate, verify.
TEST_F(SmProvider, PublicKeysAloneVerify)
{
    for (int nNid : {SmNidSm2Curve(), SmNidSm2TestCurve()})
    {
        SM2_TEST_KEY key = GenerateSm2Key(nNid);
        PkeyPtr pPrivate = LibraryEcKey(key, nNid, true);
        unsigned char *pb = nullptr;
        int cb = i2d_PUBKEY(pPrivate.get(), &pb);
        const unsigned char *pbIn = pb;
        PkeyPtr pPublic(d2i_PUBKEY(nullptr, &pbIn, cb));
        OPENSSL_free(pb);
        ASSERT_TRUE(pPublic);
        Bytes vbE = RandomBytes(32);
        Bytes vbSig = OurSign(pPrivate.get(), vbE);
        ASSERT_FALSE(vbSig.empty());
        EXPECT_TRUE(OurVerify(pPublic.get(), vbE, vbSig)) << nNid;
        EXPECT_TRUE(OurSign(pPublic.get(), vbE).empty());
    }
    ERR_clear_error();
}

// Asked for by our property query, a key on another curve still gets the library's ECDSA.
TEST_F(SmProvider, OtherCurvesAreLeftToTheLibrarysEcdsa)
{
    EVP_PKEY *pKey = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    ASSERT_TRUE(pKey);
    Bytes vbE = RandomBytes(32);
    Bytes vbSig = OurSign(pKey, vbE);
    ASSERT_FALSE(vbSig.empty());
    EXPECT_TRUE(PeerSm2VerifyDigest(pKey, vbE, vbSig));
    EXPECT_TRUE(OurVerify(pKey, vbE, vbSig));
    vbSig.back() ^= 1;
    EXPECT_FALSE(OurVerify(pKey, vbE, vbSig));
    // Without our property query the library's ECDSA signs.
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(nullptr, pKey, nullptr);
    size_t cb = 0;
    EXPECT_EQ(EVP_PKEY_sign_init(pCtx), 1);
    EXPECT_EQ(EVP_PKEY_sign(pCtx, nullptr, &cb, vbE.data(), vbE.size()), 1);
    EVP_PKEY_CTX_free(pCtx);
    EVP_PKEY_free(pKey);
    ERR_clear_error();
}

TEST_F(SmProvider, DigestSignFeedsZOnTheRecommendedCurve)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    PkeyPtr pEc = LibraryEcKey(key, SmNidSm2Curve(), true);
    PkeyPtr pPeer = PeerSm2Key(key, false);
    Bytes vbMsg = RandomBytes(123);
    EVP_MD_CTX *pMdCtx = EVP_MD_CTX_new();
    ASSERT_EQ(EVP_DigestSignInit_ex(pMdCtx, nullptr, "SM3", nullptr, SM_PROVIDER_QUERY, pEc.get(), nullptr), 1);
    size_t cb = 80;
    Bytes vbSig(cb);
    ASSERT_EQ(EVP_DigestSign(pMdCtx, vbSig.data(), &cb, vbMsg.data(), vbMsg.size()), 1);
    vbSig.resize(cb);
    EVP_MD_CTX_free(pMdCtx);
    EXPECT_TRUE(PeerSm2VerifyMessage(pPeer.get(), Bytes(SM2_DEFAULT_USER_ID, SM2_DEFAULT_USER_ID + 16), vbMsg, vbSig));
}

TEST_F(SmProvider, Sm2CiphertextsOfEcKeysCrossWithOpenSsl)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    PkeyPtr pEc = LibraryEcKey(key, SmNidSm2Curve(), true);
    PkeyPtr pPeer = PeerSm2Key(key, true);
    for (size_t cbMsg : {size_t(1), size_t(31), size_t(200), size_t(70000)})
    {
        Bytes vbMsg = RandomBytes(cbMsg);
        EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(nullptr, pEc.get(), SM_PROVIDER_QUERY);
        size_t cb = 0;
        ASSERT_EQ(EVP_PKEY_encrypt_init(pCtx), 1);
        ASSERT_EQ(EVP_PKEY_encrypt(pCtx, nullptr, &cb, vbMsg.data(), vbMsg.size()), 1);
        EXPECT_LE(cb, cbMsg + 112 + 4);
        Bytes vbDer(cb);
        ASSERT_EQ(EVP_PKEY_encrypt(pCtx, vbDer.data(), &cb, vbMsg.data(), vbMsg.size()), 1);
        vbDer.resize(cb);
        Bytes vbBack;
        ASSERT_TRUE(PeerSm2Decrypt(pPeer.get(), vbDer, vbBack));
        EXPECT_EQ(vbBack, vbMsg);

        Bytes vbPeerDer = PeerSm2Encrypt(pPeer.get(), vbMsg);
        ASSERT_EQ(EVP_PKEY_decrypt_init(pCtx), 1);
        ASSERT_EQ(EVP_PKEY_decrypt(pCtx, nullptr, &cb, vbPeerDer.data(), vbPeerDer.size()), 1);
        EXPECT_EQ(cb, cbMsg);
        Bytes vbOut(cb);
        ASSERT_EQ(EVP_PKEY_decrypt(pCtx, vbOut.data(), &cb, vbPeerDer.data(), vbPeerDer.size()), 1);
        EXPECT_EQ(vbOut, vbMsg);
        EVP_PKEY_CTX_free(pCtx);
    }
    // Encrypting an empty message fails.
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(nullptr, pEc.get(), SM_PROVIDER_QUERY);
    ASSERT_EQ(EVP_PKEY_encrypt_init(pCtx), 1);
    unsigned char rgb[256];
    size_t cb = sizeof(rgb);
    EXPECT_NE(EVP_PKEY_encrypt(pCtx, rgb, &cb, rgb, 0), 1);
    EVP_PKEY_CTX_free(pCtx);
    ERR_clear_error();
}

TEST(SmProviderModule, LoadsFromItsModuleFile)
{
    OSSL_LIB_CTX *pLibCtx = OSSL_LIB_CTX_new();
    ASSERT_EQ(OSSL_PROVIDER_set_default_search_path(pLibCtx, SMCRYPTO_MODULE_DIR), 1);
    OSSL_PROVIDER *pProv = OSSL_PROVIDER_load(pLibCtx, "smcrypto");
    ASSERT_TRUE(pProv) << "module not loaded from " << SMCRYPTO_MODULE_DIR;
    EVP_MD *pMd = EVP_MD_fetch(pLibCtx, "tls1-sm3", nullptr);
    ASSERT_TRUE(pMd);
    Bytes vb = RandomBytes(77), vbOut(32);
    unsigned int cb = 0;
    EXPECT_EQ(EVP_Digest(vb.data(), vb.size(), vbOut.data(), &cb, pMd, nullptr), 1);
    EXPECT_EQ(vbOut, PeerSm3(vb));
    EVP_CIPHER *pZuc = EVP_CIPHER_fetch(pLibCtx, "zuc", nullptr);
    EXPECT_TRUE(pZuc);
    EVP_CIPHER_free(pZuc);
    EVP_MD_free(pMd);
    OSSL_PROVIDER_unload(pProv);
    OSSL_LIB_CTX_free(pLibCtx);
}

// The module loaded before or after the library's default provider: every EC key it does not
// serve is generated, encoded, signed and verified as the library alone would, and SM2 keys
// still sign with SM2.
class SmProviderLoadOrder : public testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        m_pLibCtx = OSSL_LIB_CTX_new();
        ASSERT_EQ(OSSL_PROVIDER_set_default_search_path(m_pLibCtx, SMCRYPTO_MODULE_DIR), 1);
        const char *rgpszOrder[2] = {"smcrypto", "default"};
        if (!GetParam())
            std::swap(rgpszOrder[0], rgpszOrder[1]);
        for (int i = 0; i < 2; ++i)
        {
            m_rgpProv[i] = OSSL_PROVIDER_load(m_pLibCtx, rgpszOrder[i]);
            ASSERT_TRUE(m_rgpProv[i]) << rgpszOrder[i];
        }
    }
    void TearDown() override
    {
        for (OSSL_PROVIDER *pProv : m_rgpProv)
            if (pProv)
                OSSL_PROVIDER_unload(pProv);
        OSSL_LIB_CTX_free(m_pLibCtx);
        ERR_clear_error();
    }
    Bytes Sign(EVP_PKEY *pKey, const Bytes &vbE)
    {
        EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(m_pLibCtx, pKey, nullptr);
        Bytes vbSig(160);
        size_t cb = vbSig.size();
        if (!pCtx || EVP_PKEY_sign_init(pCtx) != 1 || EVP_PKEY_sign(pCtx, vbSig.data(), &cb, vbE.data(), vbE.size()) != 1)
            cb = 0;
        EVP_PKEY_CTX_free(pCtx);
        vbSig.resize(cb);
        return vbSig;
    }
    OSSL_LIB_CTX *m_pLibCtx = nullptr;
    OSSL_PROVIDER *m_rgpProv[2] = {};
};

TEST_P(SmProviderLoadOrder, OtherCurvesWorkAsWithoutTheModule)
{
    for (const char *pszCurve : {"P-256", "P-384", "secp256k1"})
    {
        SCOPED_TRACE(pszCurve);
        EVP_PKEY *pKey = EVP_PKEY_Q_keygen(m_pLibCtx, nullptr, "EC", pszCurve);
        ASSERT_TRUE(pKey);
        char szGroup[64] = {};
        EXPECT_EQ(EVP_PKEY_get_group_name(pKey, szGroup, sizeof(szGroup), nullptr), 1);
        EXPECT_EQ(OBJ_sn2nid(szGroup), EC_curve_nist2nid(pszCurve) != NID_undef ? EC_curve_nist2nid(pszCurve)
                                                                                  : OBJ_sn2nid(pszCurve));
        // The key goes out as DER and comes back in; both copies sign and verify with ECDSA.
        unsigned char *pbDer = nullptr;
        int cbDer = i2d_PrivateKey(pKey, &pbDer);
        ASSERT_GT(cbDer, 0);
        const unsigned char *pbIn = pbDer;
        EVP_PKEY *pBack = d2i_AutoPrivateKey_ex(nullptr, &pbIn, cbDer, m_pLibCtx, nullptr);
        OPENSSL_free(pbDer);
        ASSERT_TRUE(pBack);
        EXPECT_EQ(EVP_PKEY_eq(pKey, pBack), 1);
        EVP_PKEY *pCopy = EVP_PKEY_dup(pKey);
        ASSERT_TRUE(pCopy);
        Bytes vbE = RandomBytes(32);
        for (EVP_PKEY *pSigner : {pKey, pBack, pCopy})
        {
            Bytes vbSig = Sign(pSigner, vbE);
            ASSERT_FALSE(vbSig.empty());
            EXPECT_TRUE(PeerSm2VerifyDigest(pBack, vbE, vbSig));
            EXPECT_TRUE(PeerSm2VerifyDigest(pKey, vbE, vbSig));
        }
        EVP_PKEY_free(pCopy);
        EVP_PKEY_free(pBack);
        EVP_PKEY_free(pKey);
    }
}

TEST_P(SmProviderLoadOrder, Sm2KeysStillSignWithSm2)
{
    EVP_PKEY *pKey = EVP_PKEY_Q_keygen(m_pLibCtx, nullptr, "SM2");
    ASSERT_TRUE(pKey);
    unsigned char *pbDer = nullptr;
    int cbDer = i2d_PrivateKey(pKey, &pbDer);
    ASSERT_GT(cbDer, 0);
    const unsigned char *pbIn = pbDer;
    EVP_PKEY *pPeer = d2i_AutoPrivateKey(nullptr, &pbIn, cbDer);
    OPENSSL_free(pbDer);
    ASSERT_TRUE(pPeer);
    Bytes vbE = RandomBytes(32);
    Bytes vbSig = Sign(pKey, vbE);
    ASSERT_FALSE(vbSig.empty());
    EXPECT_TRUE(PeerSm2VerifyDigest(pPeer, vbE, vbSig));
    EVP_PKEY_free(pPeer);
    EVP_PKEY_free(pKey);
}

INSTANTIATE_TEST_SUITE_P(Order, SmProviderLoadOrder, testing::Values(true, false),
                         [](const auto &info) { return info.param ? "ModuleFirst" : "DefaultFirst"; });

} // namespace
