// The SM ASN.1 forms: SM2_PRIVATEKEY and its decoding into EC keys, the PFX_SM2 family and
// X509_PUBKEY_DOUBLE.
// EC_KEY is the key holder of the SM2 private-key form.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/objects.h>

#include "openssl_peer.h"
#include "smcrypto/objects.h"
#include "smcrypto/sm2.h"
#include "smcrypto/sm2_asn1.h"
#include "smcrypto/sm2_private_key.h"
#include "smcrypto/smalgorithms.h"

namespace
{

struct EcKeyFree { void operator()(EC_KEY *p) const { EC_KEY_free(p); } };
using EcKeyPtr = std::unique_ptr<EC_KEY, EcKeyFree>;

enum class PARAMS { Named, Explicit, Missing };

// An SM2_PRIVATEKEY of the key, with the point in the given form when bPublic.
Bytes EncodeSm2PrivateKey(const SM2_TEST_KEY &key, int nNid, PARAMS params, bool bPublic,
                          point_conversion_form_t form = POINT_CONVERSION_UNCOMPRESSED)
{
    SM2_PRIVATEKEY *pAsn = SM2_PRIVATEKEY_new();
    pAsn->version = 1;
    BN_to_ASN1_INTEGER(key.d.get(), pAsn->privateKey);
    GroupPtr pGroup(SmCurveNewByNid(nNid));
    if (params == PARAMS::Named)
    {
        pAsn->parameters = ASN1_TYPE_new();
        ASN1_TYPE_set(pAsn->parameters, V_ASN1_OBJECT, OBJ_nid2obj(nNid));
    }
    else if (params == PARAMS::Explicit)
    {
        EC_GROUP_set_asn1_flag(pGroup.get(), OPENSSL_EC_EXPLICIT_CURVE);
        unsigned char *pb = nullptr;
        int cb = i2d_ECPKParameters(pGroup.get(), &pb);
        ASN1_STRING *pSeq = ASN1_STRING_new();
        ASN1_STRING_set(pSeq, pb, cb);
        OPENSSL_free(pb);
        pAsn->parameters = ASN1_TYPE_new();
        ASN1_TYPE_set(pAsn->parameters, V_ASN1_SEQUENCE, pSeq);
    }
    if (bPublic)
    {
        PointPtr pPoint(EC_POINT_new(pGroup.get()));
        EC_POINT_set_affine_coordinates(pGroup.get(), pPoint.get(), key.x.get(), key.y.get(), nullptr);
        Bytes vb(65);
        vb.resize(EC_POINT_point2oct(pGroup.get(), pPoint.get(), form, vb.data(), vb.size(), nullptr));
        pAsn->publicKey = ASN1_BIT_STRING_new();
        ASN1_BIT_STRING_set(pAsn->publicKey, vb.data(), int(vb.size()));
        // Unless told there are no unused bits, the encoder drops the point's trailing zero bytes.
        pAsn->publicKey->flags &= ~(ASN1_STRING_FLAG_BITS_LEFT | 0x07);
        pAsn->publicKey->flags |= ASN1_STRING_FLAG_BITS_LEFT;
    }
    unsigned char *pb = nullptr;
    int cb = i2d_SM2_PRIVATEKEY(pAsn, &pb);
    Bytes vb(pb, pb + cb);
    OPENSSL_free(pb);
    SM2_PRIVATEKEY_free(pAsn);
    return vb;
}

// The fixed keys with short numbers and zero end bytes, and a fresh one.
std::vector<SM2_EDGE_KEY> KeysOf(int nNid)
{
    std::vector<SM2_EDGE_KEY> vKeys = EdgeSm2Keys(nNid);
    vKeys.push_back({"random", GenerateSm2Key(nNid)});
    return vKeys;
}

void ExpectKey(const EC_KEY *pEc, const SM2_TEST_KEY &key, int nNid)
{
    ASSERT_TRUE(pEc);
    EXPECT_EQ(SmCurveNidOfGroup(EC_KEY_get0_group(pEc)), nNid);
    EXPECT_EQ(BN_cmp(EC_KEY_get0_private_key(pEc), key.d.get()), 0);
    BnPtr x(BN_new()), y(BN_new());
    ASSERT_EQ(EC_POINT_get_affine_coordinates(EC_KEY_get0_group(pEc), EC_KEY_get0_public_key(pEc), x.get(), y.get(),
                                              nullptr),
              1);
    EXPECT_EQ(BN_cmp(x.get(), key.x.get()), 0);
    EXPECT_EQ(BN_cmp(y.get(), key.y.get()), 0);
}

class Sm2PrivateKeyForm : public testing::TestWithParam<bool>
{
protected:
    int Nid() const { return GetParam() ? SmNidSm2TestCurve() : SmNidSm2Curve(); }
};

TEST_P(Sm2PrivateKeyForm, DecodesNamedAndExplicitParametersWithOrWithoutThePoint)
{
    for (const SM2_EDGE_KEY &k : KeysOf(Nid()))
        for (PARAMS params : {PARAMS::Named, PARAMS::Explicit})
            for (bool bPublic : {true, false})
            {
                SCOPED_TRACE(k.pszShape);
                Bytes vb = EncodeSm2PrivateKey(k.key, Nid(), params, bPublic);
                const unsigned char *pb = vb.data();
                EcKeyPtr pEc(d2i_SM2PrivateKey(nullptr, &pb, long(vb.size())));
                ExpectKey(pEc.get(), k.key, Nid());
                EXPECT_EQ(pb, vb.data() + vb.size());
            }
}

TEST_P(Sm2PrivateKeyForm, PointFormComesFromTheFirstByteAndAGivenKeyIsFilled)
{
    for (const SM2_EDGE_KEY &k : KeysOf(Nid()))
    {
        SCOPED_TRACE(k.pszShape);
        Bytes vb = EncodeSm2PrivateKey(k.key, Nid(), PARAMS::Named, true, POINT_CONVERSION_COMPRESSED);
        EcKeyPtr pGiven(EC_KEY_new());
        EC_KEY *pRaw = pGiven.get();
        const unsigned char *pb = vb.data();
        ASSERT_EQ(d2i_SM2PrivateKey(&pRaw, &pb, long(vb.size())), pGiven.get());
        ExpectKey(pGiven.get(), k.key, Nid());
        EXPECT_EQ(EC_KEY_get_conv_form(pGiven.get()), POINT_CONVERSION_COMPRESSED);
    }
}

// The fixed keys still have the shapes they are kept for.
TEST_P(Sm2PrivateKeyForm, EdgeKeysHaveTheirShapes)
{
    std::vector<SM2_EDGE_KEY> vKeys = EdgeSm2Keys(Nid());
    ASSERT_EQ(vKeys.size(), 3u);
    auto EndsInZeroByte = [](const BIGNUM *pbn) { return BN_is_zero(pbn) || BN_mod_word(pbn, 256) == 0; };
    EXPECT_LT(BN_num_bytes(vKeys[0].key.d.get()), 32);
    EXPECT_TRUE(EndsInZeroByte(vKeys[0].key.y.get()));
    EXPECT_LT(BN_num_bytes(vKeys[1].key.x.get()), 32);
    EXPECT_TRUE(EndsInZeroByte(vKeys[1].key.x.get()));
    EXPECT_LT(BN_num_bytes(vKeys[2].key.y.get()), 32);
}

INSTANTIATE_TEST_SUITE_P(Curves, Sm2PrivateKeyForm, testing::Values(false, true),
                         [](const auto &info) { return info.param ? "TestCurve" : "RecommendedCurve"; });

TEST(Sm2PrivateKeyErrors, AreTheEcPrivateKeyDecodeErrors)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    Bytes vbNoParams = EncodeSm2PrivateKey(key, SmNidSm2Curve(), PARAMS::Missing, true);
    Bytes vbGood = EncodeSm2PrivateKey(key, SmNidSm2Curve(), PARAMS::Named, true);
    Bytes vbTruncated(vbGood.begin(), vbGood.end() - 5);
    // A point that is not on the curve (a byte inside y: the last one may hold unused bits).
    Bytes vbOffCurve = vbGood;
    vbOffCurve[vbOffCurve.size() - 8] ^= 1;
    const struct
    {
        const char *pszCase;
        const Bytes &vb;
    } rgCases[] = {{"no parameters", vbNoParams}, {"truncated", vbTruncated}, {"point off the curve", vbOffCurve}};
    for (const auto &c : rgCases)
    {
        ERR_clear_error();
        const unsigned char *pb = c.vb.data();
        EXPECT_EQ(d2i_SM2PrivateKey(nullptr, &pb, long(c.vb.size())), nullptr) << c.pszCase;
        EXPECT_EQ(pb, c.vb.data()) << c.pszCase;
        unsigned long ulErr = ERR_peek_last_error();
        EXPECT_EQ(ERR_GET_LIB(ulErr), ERR_LIB_EC) << c.pszCase;
        EXPECT_EQ(ERR_GET_REASON(ulErr), 16) << c.pszCase;
    }
    ERR_clear_error();
}

// The version goes out as its value and comes back.
TEST(Sm2PrivateKeyVersion, IsWrittenAndReadBack)
{
    Bytes vb = EncodeSm2PrivateKey(EdgeSm2Keys(SmNidSm2Curve())[0].key, SmNidSm2Curve(), PARAMS::Named, false);
    ASSERT_GT(vb.size(), 5u);
    EXPECT_EQ(Bytes(vb.begin() + 2, vb.begin() + 5), (Bytes{0x02, 0x01, 0x01}));
    const unsigned char *pb = vb.data();
    SM2_PRIVATEKEY *pAsn = d2i_SM2_PRIVATEKEY(nullptr, &pb, long(vb.size()));
    ASSERT_TRUE(pAsn);
    EXPECT_EQ(pAsn->version, 1);
    SM2_PRIVATEKEY_free(pAsn);
}

// The old-format EC private-key decoding: the library's form first, ours when that fails.
TEST(EcPrivateKeyDecoding, FallsBackToTheSm2FormAndTheKeySigns)
{
    SmRegisterAllAlgorithms();
    for (int nNid : {SmNidSm2Curve(), SmNidSm2TestCurve()})
        for (const SM2_EDGE_KEY &k : KeysOf(nNid))
        {
            const SM2_TEST_KEY &key = k.key;
            Bytes vb = EncodeSm2PrivateKey(key, nNid, PARAMS::Named, true);
            const unsigned char *pb = vb.data();
            PkeyPtr pKey(SmD2iEcPrivateKey(nullptr, &pb, long(vb.size())));
            ASSERT_TRUE(pKey) << nNid << ", " << k.pszShape;
            // Signs through the SM provider, and the signature is SM2 on the key's curve.
            EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(nullptr, pKey.get(), SM_PROVIDER_QUERY);
            Bytes vbE = RandomBytes(32), vbSig(80);
            size_t cb = vbSig.size();
            ASSERT_EQ(EVP_PKEY_sign_init(pCtx), 1);
            ASSERT_EQ(EVP_PKEY_sign(pCtx, vbSig.data(), &cb, vbE.data(), vbE.size()), 1);
            EVP_PKEY_CTX_free(pCtx);
            vbSig.resize(cb);
            SigPtr pSig = SignatureFromDer(vbSig);
            EXPECT_EQ(SM2_do_verify(pSig.get(), key.x.get(), key.y.get(), BnFromBytes(vbE).get(), nNid), 1);
        }
    // A stock ECPrivateKey still decodes as before.
    EVP_PKEY *pP256 = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    unsigned char *pbDer = nullptr;
    int cbDer = i2d_PrivateKey(pP256, &pbDer);
    const unsigned char *pb = pbDer;
    PkeyPtr pBack(SmD2iEcPrivateKey(nullptr, &pb, cbDer));
    EXPECT_TRUE(pBack && EVP_PKEY_eq(pBack.get(), pP256) == 1);
    OPENSSL_free(pbDer);
    EVP_PKEY_free(pP256);
    // Neither form: the stock decode error is what the queue reports.
    ERR_clear_error();
    const unsigned char rgbJunk[] = {0x30, 0x03, 0x02, 0x01, 0x01};
    pb = rgbJunk;
    EXPECT_EQ(SmD2iEcPrivateKey(nullptr, &pb, sizeof(rgbJunk)), nullptr);
    EXPECT_NE(ERR_peek_error(), 0u);
    bool bOurs = false;
    for (unsigned long ul; (ul = ERR_get_error()) != 0;)
        bOurs = bOurs || (ERR_GET_LIB(ul) == ERR_LIB_EC && ERR_GET_REASON(ul) == 16);
    EXPECT_FALSE(bOurs);
}

TEST(SmDeclaredForms, RoundTrip)
{
    PFX_SM2 *pPfx = PFX_SM2_new();
    ASSERT_TRUE(pPfx);
    ASN1_INTEGER_set(pPfx->version, 1);
    pPfx->privateData->dataID = OBJ_nid2obj(SmObjectIds().nidSmPkcs7Data);
    pPfx->privateData->dataEncryptedAlg = OBJ_nid2obj(SmObjectIds().nidSm4Cbc);
    ASN1_OCTET_STRING_set(pPfx->privateData->encryptedSM2PrivateKey, reinterpret_cast<const unsigned char *>("k"), 1);
    pPfx->publicData->dataID = OBJ_nid2obj(SmObjectIds().nidSmPkcs7Data);
    ASN1_OCTET_STRING_set(pPfx->publicData->SM2Certificate, reinterpret_cast<const unsigned char *>("cert"), 4);
    unsigned char *pb = nullptr;
    int cb = i2d_PFX_SM2(pPfx, &pb);
    ASSERT_GT(cb, 0);
    const unsigned char *pbIn = pb;
    PFX_SM2 *pBack = d2i_PFX_SM2(nullptr, &pbIn, cb);
    ASSERT_TRUE(pBack);
    EXPECT_EQ(OBJ_obj2nid(pBack->privateData->dataEncryptedAlg), SmObjectIds().nidSm4Cbc);
    EXPECT_EQ(ASN1_STRING_length(pBack->publicData->SM2Certificate), 4);
    PFX_SM2_free(pBack);
    PFX_SM2_free(pPfx);
    OPENSSL_free(pb);

    // X509_PUBKEY_DOUBLE is written with indefinite length and reads back.
    X509_PUBKEY_DOUBLE *pDouble = X509_PUBKEY_DOUBLE_new();
    ASN1_INTEGER_set(pDouble->version, 1);
    ASN1_OCTET_STRING_set(pDouble->tmppubkey, reinterpret_cast<const unsigned char *>("pub"), 3);
    pb = nullptr;
    cb = i2d_X509_PUBKEY_DOUBLE_NDEF(pDouble, &pb);
    ASSERT_GT(cb, 4);
    EXPECT_EQ(pb[0], 0x30);
    EXPECT_EQ(pb[1], 0x80);
    EXPECT_EQ(pb[cb - 1], 0x00);
    EXPECT_EQ(pb[cb - 2], 0x00);
    pbIn = pb;
    X509_PUBKEY_DOUBLE *pDoubleBack = d2i_X509_PUBKEY_DOUBLE(nullptr, &pbIn, cb);
    ASSERT_TRUE(pDoubleBack);
    EXPECT_EQ(ASN1_INTEGER_get(pDoubleBack->version), 1);
    X509_PUBKEY_DOUBLE_free(pDoubleBack);
    X509_PUBKEY_DOUBLE_free(pDouble);
    OPENSSL_free(pb);
}

} // namespace
