#include "openssl_peer.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include <openssl/core_names.h>
#include <openssl/param_build.h>
#include <openssl/rand.h>

#include "smcrypto/sm2.h"

namespace
{

const char *const c_pszDefault = "provider=default";

struct CtxFree { void operator()(EVP_PKEY_CTX *p) const { EVP_PKEY_CTX_free(p); } };
struct MdCtxFree { void operator()(EVP_MD_CTX *p) const { EVP_MD_CTX_free(p); } };
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, CtxFree>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;

void Check(bool b, const char *psz)
{
    if (!b)
        throw std::runtime_error(psz);
}

} // namespace

BnPtr BnFromBytes(const Bytes &vb)
{
    return BnPtr(BN_bin2bn(vb.data(), int(vb.size()), nullptr));
}

Bytes Bytes32(const BIGNUM *pbn)
{
    Bytes vb(32);
    Check(BN_bn2binpad(pbn, vb.data(), 32) == 32, "Bytes32");
    return vb;
}

Bytes RandomBytes(size_t cb)
{
    Bytes vb(cb);
    if (cb)
        Check(RAND_bytes(vb.data(), int(cb)) == 1, "RAND_bytes");
    return vb;
}

Bytes PeerSm3(const Bytes &vbData)
{
    EVP_MD *pMd = EVP_MD_fetch(nullptr, "SM3", c_pszDefault);
    Check(pMd, "fetch SM3");
    Bytes vb(32);
    unsigned int cb = 0;
    bool bOk = EVP_Digest(vbData.data(), vbData.size(), vb.data(), &cb, pMd, nullptr) == 1;
    EVP_MD_free(pMd);
    Check(bOk && cb == 32, "EVP_Digest SM3");
    return vb;
}

Bytes PeerSm4Cbc(const Bytes &vbKey, const Bytes &vbIv, const Bytes &vbData, bool bEncrypt)
{
    EVP_CIPHER *pCipher = EVP_CIPHER_fetch(nullptr, "SM4-CBC", c_pszDefault);
    EVP_CIPHER_CTX *pCtx = EVP_CIPHER_CTX_new();
    Bytes vbOut(vbData.size() + 16);
    int cb1 = 0, cb2 = 0;
    bool bOk = pCipher && pCtx && EVP_CipherInit_ex2(pCtx, pCipher, vbKey.data(), vbIv.data(), bEncrypt, nullptr) &&
               EVP_CIPHER_CTX_set_padding(pCtx, 0) &&
               EVP_CipherUpdate(pCtx, vbOut.data(), &cb1, vbData.data(), int(vbData.size())) &&
               EVP_CipherFinal_ex(pCtx, vbOut.data() + cb1, &cb2);
    EVP_CIPHER_CTX_free(pCtx);
    EVP_CIPHER_free(pCipher);
    Check(bOk, "SM4-CBC");
    vbOut.resize(size_t(cb1 + cb2));
    return vbOut;
}

SM2_TEST_KEY GenerateSm2Key(int nNid)
{
    GroupPtr pGroup(SmCurveNewByNid(nNid));
    Check(bool(pGroup), "group");
    SM2_TEST_KEY key{BnPtr(BN_new()), BnPtr(BN_new()), BnPtr(BN_new())};
    // d in [1, n-2] so that 1 + d is invertible.
    BnPtr pbnLimit(BN_dup(EC_GROUP_get0_order(pGroup.get())));
    BN_sub_word(pbnLimit.get(), 2);
    Check(BN_rand_range(key.d.get(), pbnLimit.get()) == 1, "rand");
    BN_add_word(key.d.get(), 1);
    PointPtr pPub(EC_POINT_new(pGroup.get()));
    Check(EC_POINT_mul(pGroup.get(), pPub.get(), key.d.get(), nullptr, nullptr, nullptr) &&
              EC_POINT_get_affine_coordinates(pGroup.get(), pPub.get(), key.x.get(), key.y.get(), nullptr),
          "public point");
    return key;
}

SM2_TEST_KEY Sm2KeyOf(int nNid, const char *pszHexD)
{
    GroupPtr pGroup(SmCurveNewByNid(nNid));
    Check(bool(pGroup), "group");
    SM2_TEST_KEY key{BnPtr(nullptr), BnPtr(BN_new()), BnPtr(BN_new())};
    BIGNUM *pbnD = nullptr;
    Check(BN_hex2bn(&pbnD, pszHexD) > 0, "d");
    key.d.reset(pbnD);
    PointPtr pPub(EC_POINT_new(pGroup.get()));
    Check(EC_POINT_mul(pGroup.get(), pPub.get(), key.d.get(), nullptr, nullptr, nullptr) &&
              EC_POINT_get_affine_coordinates(pGroup.get(), pPub.get(), key.x.get(), key.y.get(), nullptr),
          "public point");
    return key;
}

std::vector<SM2_EDGE_KEY> EdgeSm2Keys(int nNid)
{
    struct ROW
    {
        const char *pszShape, *pszRecommended, *pszTest;
    };
    static const ROW c_rgRows[] = {
        {"d short, y ends in 00", "009B04961B2C8942C6ED331F442935704C1E3EB33E38732155BF98C0B177C141",
         "006AE5EA8A66D2DFC7CAD37AEA3DC140C23CAF7304F1C5A543320F73518BAC5E"},
        {"x short and ends in 00", "D708CBAC917AE509D2EACE3621F205316FF982879BECA861DA6D6168664F783E",
         "070B0246C1AB6A339C67C99522222CCDFC9CC4610866C8CF2F81D091FA1A4473"},
        {"y short", "2DEE211F235128FBA67B17982B5D0FA21B0AD4E061C5997F7DEF3E8A34976BF8",
         "5F2C3286A189F4911C703FEA224B6A9463EAA034B23CAE1590F8C6A0972059D7"},
    };
    std::vector<SM2_EDGE_KEY> vKeys;
    for (const ROW &row : c_rgRows)
        vKeys.push_back({row.pszShape, Sm2KeyOf(nNid, nNid == SmNidSm2Curve() ? row.pszRecommended : row.pszTest)});
    return vKeys;
}

PkeyPtr PeerSm2Key(const SM2_TEST_KEY &key, bool bPrivate)
{
    Bytes vbPub{0x04};
    Bytes vbX = Bytes32(key.x.get()), vbY = Bytes32(key.y.get());
    vbPub.insert(vbPub.end(), vbX.begin(), vbX.end());
    vbPub.insert(vbPub.end(), vbY.begin(), vbY.end());
    OSSL_PARAM_BLD *pBld = OSSL_PARAM_BLD_new();
    OSSL_PARAM_BLD_push_utf8_string(pBld, OSSL_PKEY_PARAM_GROUP_NAME, "SM2", 0);
    OSSL_PARAM_BLD_push_octet_string(pBld, OSSL_PKEY_PARAM_PUB_KEY, vbPub.data(), vbPub.size());
    if (bPrivate)
        OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_PRIV_KEY, key.d.get());
    OSSL_PARAM *pParams = OSSL_PARAM_BLD_to_param(pBld);
    PkeyCtxPtr pCtx(EVP_PKEY_CTX_new_from_name(nullptr, "SM2", c_pszDefault));
    EVP_PKEY *pKey = nullptr;
    bool bOk = pCtx && EVP_PKEY_fromdata_init(pCtx.get()) == 1 &&
               EVP_PKEY_fromdata(pCtx.get(), &pKey, bPrivate ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, pParams) == 1;
    OSSL_PARAM_free(pParams);
    OSSL_PARAM_BLD_free(pBld);
    Check(bOk, "SM2 key");
    return PkeyPtr(pKey);
}

Bytes PeerSm2SignDigest(EVP_PKEY *pKey, const Bytes &vbE)
{
    PkeyCtxPtr pCtx(EVP_PKEY_CTX_new_from_pkey(nullptr, pKey, c_pszDefault));
    size_t cb = 0;
    Check(pCtx && EVP_PKEY_sign_init(pCtx.get()) == 1 &&
              EVP_PKEY_sign(pCtx.get(), nullptr, &cb, vbE.data(), vbE.size()) == 1,
          "sign init");
    Bytes vb(cb);
    Check(EVP_PKEY_sign(pCtx.get(), vb.data(), &cb, vbE.data(), vbE.size()) == 1, "sign");
    vb.resize(cb);
    return vb;
}

bool PeerSm2VerifyDigest(EVP_PKEY *pKey, const Bytes &vbE, const Bytes &vbDer)
{
    PkeyCtxPtr pCtx(EVP_PKEY_CTX_new_from_pkey(nullptr, pKey, c_pszDefault));
    return pCtx && EVP_PKEY_verify_init(pCtx.get()) == 1 &&
           EVP_PKEY_verify(pCtx.get(), vbDer.data(), vbDer.size(), vbE.data(), vbE.size()) == 1;
}

namespace
{

// The digest context borrows the key context that carries the user ID, so both are kept here.
struct DIGEST_CONTEXT
{
    PkeyCtxPtr pKeyCtx;
    MdCtxPtr pMdCtx;
};

DIGEST_CONTEXT DigestContext(EVP_PKEY *pKey, const Bytes &vbId, bool bSign)
{
    DIGEST_CONTEXT ctx{PkeyCtxPtr(EVP_PKEY_CTX_new_from_pkey(nullptr, pKey, c_pszDefault)), MdCtxPtr(EVP_MD_CTX_new())};
    Check(ctx.pMdCtx && ctx.pKeyCtx && EVP_PKEY_CTX_set1_id(ctx.pKeyCtx.get(), vbId.data(), vbId.size()) == 1,
          "set id");
    EVP_MD_CTX_set_pkey_ctx(ctx.pMdCtx.get(), ctx.pKeyCtx.get());
    int nOk = bSign ? EVP_DigestSignInit_ex(ctx.pMdCtx.get(), nullptr, "SM3", nullptr, c_pszDefault, pKey, nullptr)
                    : EVP_DigestVerifyInit_ex(ctx.pMdCtx.get(), nullptr, "SM3", nullptr, c_pszDefault, pKey, nullptr);
    Check(nOk == 1, "digest init");
    return ctx;
}

} // namespace

Bytes PeerSm2SignMessage(EVP_PKEY *pKey, const Bytes &vbId, const Bytes &vbMsg)
{
    DIGEST_CONTEXT ctx = DigestContext(pKey, vbId, true);
    size_t cb = 0;
    Check(EVP_DigestSign(ctx.pMdCtx.get(), nullptr, &cb, vbMsg.data(), vbMsg.size()) == 1, "size");
    Bytes vb(cb);
    Check(EVP_DigestSign(ctx.pMdCtx.get(), vb.data(), &cb, vbMsg.data(), vbMsg.size()) == 1, "digest sign");
    vb.resize(cb);
    return vb;
}

bool PeerSm2VerifyMessage(EVP_PKEY *pKey, const Bytes &vbId, const Bytes &vbMsg, const Bytes &vbDer)
{
    DIGEST_CONTEXT ctx = DigestContext(pKey, vbId, false);
    return EVP_DigestVerify(ctx.pMdCtx.get(), vbDer.data(), vbDer.size(), vbMsg.data(), vbMsg.size()) == 1;
}

Bytes PeerSm2Encrypt(EVP_PKEY *pKey, const Bytes &vbMsg)
{
    PkeyCtxPtr pCtx(EVP_PKEY_CTX_new_from_pkey(nullptr, pKey, c_pszDefault));
    size_t cb = 0;
    Check(pCtx && EVP_PKEY_encrypt_init(pCtx.get()) == 1 &&
              EVP_PKEY_encrypt(pCtx.get(), nullptr, &cb, vbMsg.data(), vbMsg.size()) == 1,
          "encrypt size");
    Bytes vb(cb);
    Check(EVP_PKEY_encrypt(pCtx.get(), vb.data(), &cb, vbMsg.data(), vbMsg.size()) == 1, "encrypt");
    vb.resize(cb);
    return vb;
}

bool PeerSm2Decrypt(EVP_PKEY *pKey, const Bytes &vbDer, Bytes &vbMsg)
{
    PkeyCtxPtr pCtx(EVP_PKEY_CTX_new_from_pkey(nullptr, pKey, c_pszDefault));
    size_t cb = 0;
    if (!pCtx || EVP_PKEY_decrypt_init(pCtx.get()) != 1 ||
        EVP_PKEY_decrypt(pCtx.get(), nullptr, &cb, vbDer.data(), vbDer.size()) != 1)
        return false;
    vbMsg.resize(cb);
    if (EVP_PKEY_decrypt(pCtx.get(), vbMsg.data(), &cb, vbDer.data(), vbDer.size()) != 1)
        return false;
    vbMsg.resize(cb);
    return true;
}

Bytes SignatureToDer(const ECDSA_SIG *pSig)
{
    unsigned char *pb = nullptr;
    int cb = i2d_ECDSA_SIG(pSig, &pb);
    Check(cb > 0, "i2d_ECDSA_SIG");
    Bytes vb(pb, pb + cb);
    OPENSSL_free(pb);
    return vb;
}

SigPtr SignatureFromDer(const Bytes &vbDer)
{
    const unsigned char *pb = vbDer.data();
    return SigPtr(d2i_ECDSA_SIG(nullptr, &pb, long(vbDer.size())));
}

// An EC-type key of the library. On the recommended curve the library only generates such keys
// (it imports them as its SM2 key type); the test curve, which it lacks, takes explicit parameters.
PkeyPtr LibraryEcKey(SM2_TEST_KEY &key, int nNid, bool bPrivate)
{
    if (nNid == SmNidSm2Curve())
    {
        EVP_PKEY *pKey = EVP_PKEY_Q_keygen(nullptr, "provider=default", "EC", "SM2");
        BIGNUM *pbnD = nullptr, *pbnX = nullptr, *pbnY = nullptr;
        EXPECT_EQ(EVP_PKEY_get_bn_param(pKey, OSSL_PKEY_PARAM_PRIV_KEY, &pbnD), 1);
        EXPECT_EQ(EVP_PKEY_get_bn_param(pKey, OSSL_PKEY_PARAM_EC_PUB_X, &pbnX), 1);
        EXPECT_EQ(EVP_PKEY_get_bn_param(pKey, OSSL_PKEY_PARAM_EC_PUB_Y, &pbnY), 1);
        key.d.reset(pbnD);
        key.x.reset(pbnX);
        key.y.reset(pbnY);
        return PkeyPtr(pKey);
    }
    GroupPtr pGroup(SmCurveNewByNid(nNid));
    Bytes vbPub{0x04}, vbX = Bytes32(key.x.get()), vbY = Bytes32(key.y.get());
    vbPub.insert(vbPub.end(), vbX.begin(), vbX.end());
    vbPub.insert(vbPub.end(), vbY.begin(), vbY.end());
    OSSL_PARAM_BLD *pBld = OSSL_PARAM_BLD_new();
    BnPtr p(BN_new()), a(BN_new()), b(BN_new());
    Bytes vbG(65);
    if (nNid == SmNidSm2Curve())
    {
        OSSL_PARAM_BLD_push_utf8_string(pBld, OSSL_PKEY_PARAM_GROUP_NAME, "SM2", 0);
    }
    else
    {
        EC_GROUP_get_curve(pGroup.get(), p.get(), a.get(), b.get(), nullptr);
        EC_POINT_point2oct(pGroup.get(), EC_GROUP_get0_generator(pGroup.get()), POINT_CONVERSION_UNCOMPRESSED,
                           vbG.data(), vbG.size(), nullptr);
        OSSL_PARAM_BLD_push_utf8_string(pBld, OSSL_PKEY_PARAM_EC_FIELD_TYPE, SN_X9_62_prime_field, 0);
        OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_EC_P, p.get());
        OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_EC_A, a.get());
        OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_EC_B, b.get());
        OSSL_PARAM_BLD_push_octet_string(pBld, OSSL_PKEY_PARAM_EC_GENERATOR, vbG.data(), vbG.size());
        OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_EC_ORDER, EC_GROUP_get0_order(pGroup.get()));
        OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_EC_COFACTOR, BN_value_one());
    }
    OSSL_PARAM_BLD_push_octet_string(pBld, OSSL_PKEY_PARAM_PUB_KEY, vbPub.data(), vbPub.size());
    if (bPrivate)
        OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_PRIV_KEY, key.d.get());
    OSSL_PARAM *pParams = OSSL_PARAM_BLD_to_param(pBld);
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_name(nullptr, "EC", "provider=default");
    EVP_PKEY *pKey = nullptr;
    EXPECT_EQ(EVP_PKEY_fromdata_init(pCtx), 1);
    EXPECT_EQ(EVP_PKEY_fromdata(pCtx, &pKey, bPrivate ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, pParams), 1);
    EVP_PKEY_CTX_free(pCtx);
    OSSL_PARAM_free(pParams);
    OSSL_PARAM_BLD_free(pBld);
    return PkeyPtr(pKey);
}
