// Edge cases of the computations that matter to callers.
#include <gtest/gtest.h>

#include <cstring>

#include <openssl/err.h>

#include "openssl_peer.h"
#include "smcrypto/sm2.h"
#include "smcrypto/sm2_cipher_der.h"
#include "smcrypto/sm4.h"
#include "smcrypto/zuc.h"
#include "sm2_internal.h"

namespace
{

TEST(Sm2Curves, RecommendedCurveIsTheLibrarysSm2Curve)
{
    GroupPtr pOurs(SmCurveNewByNid(SmNidSm2Curve()));
    GroupPtr pLibrary(EC_GROUP_new_by_curve_name(NID_sm2));
    ASSERT_TRUE(pOurs && pLibrary);
    EXPECT_EQ(EC_GROUP_cmp(pOurs.get(), pLibrary.get(), nullptr), 0);
    EXPECT_EQ(EC_GROUP_check(pOurs.get(), nullptr), 1);
}

TEST(Sm2Curves, TestCurveIsAValidGroupOfItsOwn)
{
    GroupPtr pTest(SmCurveNewByNid(SmNidSm2TestCurve()));
    ASSERT_TRUE(pTest);
    EXPECT_EQ(EC_GROUP_check(pTest.get(), nullptr), 1);
    EXPECT_EQ(EC_GROUP_get_curve_name(pTest.get()), SmNidSm2TestCurve());
    EXPECT_EQ(SmCurveNidOfGroup(pTest.get()), SmNidSm2TestCurve());
}

class Sm2Signature : public testing::TestWithParam<bool>
{
protected:
    int Nid() const { return GetParam() ? SmNidSm2TestCurve() : SmNidSm2Curve(); }
};

TEST_P(Sm2Signature, RejectsROrSEqualToTheOrder)
{
    SM2_TEST_KEY key = GenerateSm2Key(Nid());
    BnPtr e = BnFromBytes(RandomBytes(32));
    SigPtr pSig(SM2_do_sign(e.get(), key.d.get(), Nid()));
    ASSERT_TRUE(pSig);
    ASSERT_EQ(SM2_do_verify(pSig.get(), key.x.get(), key.y.get(), e.get(), Nid()), 1);

    GroupPtr pGroup(SmCurveNewByNid(Nid()));
    const BIGNUM *pbnN = EC_GROUP_get0_order(pGroup.get());
    for (int nWhich = 0; nWhich < 2; ++nWhich)
    {
        SigPtr pBad(ECDSA_SIG_new());
        BIGNUM *pbnR = BN_dup(nWhich == 0 ? pbnN : ECDSA_SIG_get0_r(pSig.get()));
        BIGNUM *pbnS = BN_dup(nWhich == 1 ? pbnN : ECDSA_SIG_get0_s(pSig.get()));
        ECDSA_SIG_set0(pBad.get(), pbnR, pbnS);
        ERR_clear_error();
        EXPECT_EQ(SM2_do_verify(pBad.get(), key.x.get(), key.y.get(), e.get(), Nid()), 0);
        unsigned long ulErr = ERR_peek_last_error();
        EXPECT_EQ(ERR_GET_LIB(ulErr), ERR_LIB_ECDSA);
        EXPECT_EQ(ERR_GET_REASON(ulErr), SM_R_EC_LIB);
    }
    // A different digest does not verify either.
    BN_add_word(e.get(), 1);
    EXPECT_EQ(SM2_do_verify(pSig.get(), key.x.get(), key.y.get(), e.get(), Nid()), 0);
}

TEST_P(Sm2Signature, KeyOnItsOwnCurveVerifiesWithItsOwnPoint)
{
    SM2_TEST_KEY key = GenerateSm2Key(Nid());
    for (int i = 0; i < 8; ++i)
    {
        BnPtr e = BnFromBytes(RandomBytes(32));
        SigPtr pSig(SM2_do_sign(e.get(), key.d.get(), Nid()));
        ASSERT_TRUE(pSig);
        EXPECT_EQ(SM2_do_verify(pSig.get(), key.x.get(), key.y.get(), e.get(), Nid()), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Curves, Sm2Signature, testing::Values(false, true),
                         [](const auto &info) { return info.param ? "TestCurve" : "RecommendedCurve"; });

TEST(Sm2Arguments, UnsupportedCurveOrNullIsReportedOnTheQueue)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    BnPtr e = BnFromBytes(RandomBytes(32));
    ERR_clear_error();
    EXPECT_EQ(SM2_do_sign(e.get(), key.d.get(), NID_X9_62_prime256v1), nullptr);
    EXPECT_EQ(ERR_GET_LIB(ERR_peek_last_error()), ERR_LIB_ECDSA);
    EXPECT_EQ(ERR_GET_REASON(ERR_peek_last_error()), SM_R_PASSED_NULL);
    ERR_clear_error();
    EXPECT_EQ(SM2_do_sign(nullptr, key.d.get(), SmNidSm2Curve()), nullptr);
    EXPECT_EQ(ERR_GET_REASON(ERR_peek_last_error()), SM_R_PASSED_NULL);
}

TEST(Sm2Numbers, Bytes32PadsAndRefusesLongValues)
{
    BnPtr pbn(BN_new());
    BN_set_word(pbn.get(), 0x1234);
    unsigned char rgb[32];
    ASSERT_EQ(BNToBytes32(pbn.get(), rgb), 1);
    EXPECT_EQ(rgb[30], 0x12);
    EXPECT_EQ(rgb[31], 0x34);
    EXPECT_EQ(rgb[0], 0);
    BN_lshift(pbn.get(), pbn.get(), 256);
    EXPECT_EQ(BNToBytes32(pbn.get(), rgb), 0);
    // Only the first 32 bytes of a longer digest become e.
    Bytes vb(40, 0xAB);
    BnPtr pbnE(SmBytesToBN(vb.data(), vb.size()));
    EXPECT_EQ(BN_num_bytes(pbnE.get()), 32);
}

class Sm2Cipher : public testing::TestWithParam<bool>
{
protected:
    int Nid() const { return GetParam() ? SmNidSm2TestCurve() : SmNidSm2Curve(); }
};

TEST_P(Sm2Cipher, AlteredCheckValueGivesZeroWithMessageWritten)
{
    SM2_TEST_KEY key = GenerateSm2Key(Nid());
    Bytes vbMsg = RandomBytes(45);
    Bytes vbRaw(vbMsg.size() + SM2_CIPHER_OVERHEAD);
    ASSERT_EQ(SM2_do_encrypt(Nid(), vbMsg.data(), vbMsg.size(), key.x.get(), key.y.get(), vbRaw.data()), 1);
    vbRaw.back() ^= 0x01;
    Bytes vbOut(vbMsg.size(), 0);
    EXPECT_EQ(SM2_do_decrypt(Nid(), vbRaw.data(), vbRaw.size(), key.d.get(), vbOut.data()), 0);
    EXPECT_EQ(vbOut, vbMsg) << "M' is written although the check failed";
}

TEST_P(Sm2Cipher, EmptyMessageFailsInsteadOfLooping)
{
    SM2_TEST_KEY key = GenerateSm2Key(Nid());
    unsigned char rgbOut[SM2_CIPHER_OVERHEAD];
    unsigned char bDummy = 0;
    EXPECT_EQ(SM2_do_encrypt(Nid(), &bDummy, 0, key.x.get(), key.y.get(), rgbOut), 0);
    // A 97-byte ciphertext carries no message: its mask is empty and it is refused.
    Bytes vbOne(SM2_CIPHER_OVERHEAD + 1);
    ASSERT_EQ(SM2_do_encrypt(Nid(), &bDummy, 1, key.x.get(), key.y.get(), vbOne.data()), 1);
    vbOne.erase(vbOne.begin() + 65);
    EXPECT_EQ(SM2_do_decrypt(Nid(), vbOne.data(), vbOne.size(), key.d.get(), rgbOut), 0);
}

TEST_P(Sm2Cipher, MalformedCiphertextsAreRefused)
{
    SM2_TEST_KEY key = GenerateSm2Key(Nid());
    Bytes vbMsg = RandomBytes(20);
    Bytes vbRaw(vbMsg.size() + SM2_CIPHER_OVERHEAD);
    ASSERT_EQ(SM2_do_encrypt(Nid(), vbMsg.data(), vbMsg.size(), key.x.get(), key.y.get(), vbRaw.data()), 1);
    Bytes vbOut(vbMsg.size());
    Bytes vbBadPrefix = vbRaw;
    vbBadPrefix[0] = 0x02;
    EXPECT_EQ(SM2_do_decrypt(Nid(), vbBadPrefix.data(), vbBadPrefix.size(), key.d.get(), vbOut.data()), 0);
    Bytes vbOffCurve = vbRaw;
    vbOffCurve[40] ^= 0x01;  // C1 no longer on the curve
    EXPECT_EQ(SM2_do_decrypt(Nid(), vbOffCurve.data(), vbOffCurve.size(), key.d.get(), vbOut.data()), 0);
    EXPECT_EQ(SM2_do_decrypt(Nid(), vbRaw.data(), 96, key.d.get(), vbOut.data()), 0);
}

// On a curve with a cofactor the check multiplies: a point of small order is refused as a public
// key and as C1, while a point of the generator's subgroup encrypts and decrypts.
TEST(Sm2CipherCofactor, RefusesPointsOfSmallOrder)
{
    const int nNid = NID_secp112r2;  // cofactor 4
    GroupPtr pGroup(SmCurveNewByNid(nNid));
    ASSERT_TRUE(pGroup);
    ASSERT_EQ(BN_get_word(EC_GROUP_get0_cofactor(pGroup.get())), 4u);
    BN_CTX *pCtx = BN_CTX_new();
    EC_POINT *pPoint = EC_POINT_new(pGroup.get());
    BnPtr pbnX(BN_new()), pbnY(BN_new());
    // [n]R of a random point R lies in the small subgroup; take one that is not infinity.
    for (unsigned long ulX = 1;; ++ulX)
    {
        ASSERT_LT(ulX, 1000u);
        BN_set_word(pbnX.get(), ulX);
        if (!EC_POINT_set_compressed_coordinates(pGroup.get(), pPoint, pbnX.get(), 0, pCtx))
            continue;
        ASSERT_EQ(EC_POINT_mul(pGroup.get(), pPoint, nullptr, pPoint, EC_GROUP_get0_order(pGroup.get()), pCtx), 1);
        if (!EC_POINT_is_at_infinity(pGroup.get(), pPoint))
            break;
    }
    ERR_clear_error();
    ASSERT_EQ(EC_POINT_get_affine_coordinates(pGroup.get(), pPoint, pbnX.get(), pbnY.get(), pCtx), 1);
    Bytes vbMsg = RandomBytes(16), vbRaw(vbMsg.size() + SM2_CIPHER_OVERHEAD), vbOut(vbMsg.size());
    EXPECT_EQ(SM2_do_encrypt(nNid, vbMsg.data(), vbMsg.size(), pbnX.get(), pbnY.get(), vbRaw.data()), 0);

    BnPtr pbnD(BN_new());
    ASSERT_EQ(BN_rand_range(pbnD.get(), EC_GROUP_get0_order(pGroup.get())), 1);
    BN_add_word(pbnD.get(), 1);
    EC_POINT *pPublic = EC_POINT_new(pGroup.get());
    BnPtr pbnPx(BN_new()), pbnPy(BN_new());
    ASSERT_EQ(EC_POINT_mul(pGroup.get(), pPublic, pbnD.get(), nullptr, nullptr, pCtx), 1);
    ASSERT_EQ(EC_POINT_get_affine_coordinates(pGroup.get(), pPublic, pbnPx.get(), pbnPy.get(), pCtx), 1);
    ASSERT_EQ(SM2_do_encrypt(nNid, vbMsg.data(), vbMsg.size(), pbnPx.get(), pbnPy.get(), vbRaw.data()), 1);
    ASSERT_EQ(SM2_do_decrypt(nNid, vbRaw.data(), vbRaw.size(), pbnD.get(), vbOut.data()), 1);
    EXPECT_EQ(vbOut, vbMsg);
    // The same ciphertext with the small-order point as C1.
    Bytes vbX = Bytes32(pbnX.get()), vbY = Bytes32(pbnY.get());
    std::copy(vbX.begin(), vbX.end(), vbRaw.begin() + 1);
    std::copy(vbY.begin(), vbY.end(), vbRaw.begin() + 33);
    EXPECT_EQ(SM2_do_decrypt(nNid, vbRaw.data(), vbRaw.size(), pbnD.get(), vbOut.data()), 0);
    EC_POINT_free(pPublic);
    EC_POINT_free(pPoint);
    BN_CTX_free(pCtx);
    ERR_clear_error();
}

INSTANTIATE_TEST_SUITE_P(Curves, Sm2Cipher, testing::Values(false, true),
                         [](const auto &info) { return info.param ? "TestCurve" : "RecommendedCurve"; });

TEST(Sm2CipherDer, RoundTripsAndRefusesAShortHash)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    Bytes vbMsg = RandomBytes(33);
    Bytes vbRaw(vbMsg.size() + SM2_CIPHER_OVERHEAD);
    ASSERT_EQ(SM2_do_encrypt(SmNidSm2Curve(), vbMsg.data(), vbMsg.size(), key.x.get(), key.y.get(), vbRaw.data()), 1);
    size_t cbDer = 0;
    ASSERT_EQ(SmSm2CipherRawToDer(vbRaw.data(), vbRaw.size(), nullptr, &cbDer), 1);
    EXPECT_LE(cbDer, vbMsg.size() + 112);
    Bytes vbDer(cbDer);
    ASSERT_EQ(SmSm2CipherRawToDer(vbRaw.data(), vbRaw.size(), vbDer.data(), &cbDer), 1);
    vbDer.resize(cbDer);
    size_t cbBack = 0;
    ASSERT_EQ(SmSm2CipherDerToRaw(vbDer.data(), vbDer.size(), nullptr, &cbBack), 1);
    Bytes vbBack(cbBack);
    ASSERT_EQ(SmSm2CipherDerToRaw(vbDer.data(), vbDer.size(), vbBack.data(), &cbBack), 1);
    EXPECT_EQ(vbBack, vbRaw);
    // Trailing bytes after the structure are refused.
    vbDer.push_back(0);
    EXPECT_EQ(SmSm2CipherDerToRaw(vbDer.data(), vbDer.size(), nullptr, &cbBack), 0);
}

TEST(Zuc, EachCallStartsANewKeystreamWord)
{
    Bytes vbKey = RandomBytes(16), vbIv = RandomBytes(16), vbPlain = RandomBytes(10);
    ZUC_CTX ctx;
    Bytes vbWhole(10), vbSplit(10);
    ZUC_init(&ctx, vbKey.data(), vbIv.data());
    ZUC_crypt(&ctx, vbPlain.data(), vbWhole.data(), 10);
    ZUC_init(&ctx, vbKey.data(), vbIv.data());
    ZUC_crypt(&ctx, vbPlain.data(), vbSplit.data(), 5);
    ZUC_crypt(&ctx, vbPlain.data() + 5, vbSplit.data() + 5, 5);
    EXPECT_EQ(Bytes(vbWhole.begin(), vbWhole.begin() + 5), Bytes(vbSplit.begin(), vbSplit.begin() + 5));
    EXPECT_NE(vbWhole, vbSplit);
    // The second call used words 3 and 4: its first byte is the top byte of word 3.
    ZUC_init(&ctx, vbKey.data(), vbIv.data());
    uint32_t rgdw[3];
    ZUC_keystream(&ctx, rgdw, 3);
    EXPECT_EQ(uint8_t(vbSplit[5] ^ vbPlain[5]), uint8_t(rgdw[2] >> 24));
}

TEST(Sm4Cbc, PartialBlockIsLeftUntouched)
{
    Bytes vbKey = RandomBytes(16), vbIv = RandomBytes(16), vbIn = RandomBytes(20);
    SM4_KEY key;
    SM4_set_key(vbKey.data(), true, &key);
    Bytes vbOut(20, 0x5A), vbIvCopy = vbIv;
    EXPECT_EQ(SM4_cbc_encrypt(vbIn.data(), vbOut.data(), 20, &key, vbIvCopy.data(), true), 16u);
    EXPECT_EQ(Bytes(vbOut.begin() + 16, vbOut.end()), Bytes(4, 0x5A));
    Bytes vbFirst(vbIn.begin(), vbIn.begin() + 16);
    EXPECT_EQ(Bytes(vbOut.begin(), vbOut.begin() + 16), PeerSm4Cbc(vbKey, vbIv, vbFirst, true));
    EXPECT_EQ(vbIvCopy, Bytes(vbOut.begin(), vbOut.begin() + 16)) << "the IV becomes the last ciphertext block";
}

} // namespace
