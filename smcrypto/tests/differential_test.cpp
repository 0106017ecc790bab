// Our computations against OpenSSL 3's own SM2, SM3 and SM4 on random inputs.
#include <gtest/gtest.h>

#include <utility>

#include "openssl_peer.h"
#include "smcrypto/sm2.h"
#include "smcrypto/sm2_cipher_der.h"
#include "smcrypto/sm3.h"
#include "smcrypto/sm4.h"
#include "sm2_internal.h"

namespace
{

constexpr size_t c_cbMaxSmall = 300;

Bytes OurSm3(const Bytes &vb)
{
    Bytes vbOut(32);
    SM3(vb.data(), vb.size(), vbOut.data());
    return vbOut;
}

TEST(DifferentialSm3, EveryLengthUpTo300)
{
    for (size_t cb = 0; cb <= c_cbMaxSmall; ++cb)
    {
        Bytes vb = RandomBytes(cb);
        ASSERT_EQ(OurSm3(vb), PeerSm3(vb)) << "length " << cb;
    }
}

TEST(DifferentialSm3, LargeInputsInUnevenPieces)
{
    for (size_t cb : {size_t(65536), size_t(1000003), size_t(4u << 20)})
    {
        Bytes vb = RandomBytes(cb);
        SM3_CTX ctx;
        SM3_Init(&ctx);
        // Pieces that cross block boundaries in every way.
        size_t cbDone = 0, cbPiece = 1;
        while (cbDone < cb)
        {
            size_t cbTake = std::min(cbPiece, cb - cbDone);
            SM3_Update(&ctx, vb.data() + cbDone, cbTake);
            cbDone += cbTake;
            cbPiece = cbPiece * 7 % 9973 + 1;
        }
        Bytes vbOurs(32);
        SM3_Final(vbOurs.data(), &ctx);
        ASSERT_EQ(vbOurs, PeerSm3(vb)) << "length " << cb;
    }
}

void CheckSm4(size_t cb)
{
    Bytes vbKey = RandomBytes(16), vbIv = RandomBytes(16), vbData = RandomBytes(cb);
    size_t cbWhole = cb / 16 * 16;
    Bytes vbWhole(vbData.begin(), vbData.begin() + long(cbWhole));
    for (bool bEncrypt : {true, false})
    {
        SM4_KEY key;
        SM4_set_key(vbKey.data(), bEncrypt, &key);
        Bytes vbOut(cb, 0), vbIvWork = vbIv;
        ASSERT_EQ(SM4_cbc_encrypt(vbData.data(), vbOut.data(), cb, &key, vbIvWork.data(), bEncrypt), cbWhole);
        vbOut.resize(cbWhole);
        ASSERT_EQ(vbOut, PeerSm4Cbc(vbKey, vbIv, vbWhole, bEncrypt)) << "length " << cb << " encrypt " << bEncrypt;
    }
}

TEST(DifferentialSm4Cbc, EveryLengthUpTo300)
{
    for (size_t cb = 0; cb <= c_cbMaxSmall; ++cb)
        CheckSm4(cb);
}

TEST(DifferentialSm4Cbc, LargeInputs)
{
    for (size_t cb : {size_t(1u << 16), size_t(1000000), size_t(3u << 20)})
        CheckSm4(cb);
}

Bytes Z(const SM2_TEST_KEY &key)
{
    Bytes vbX = Bytes32(key.x.get()), vbY = Bytes32(key.y.get()), vbZ(32);
    EXPECT_EQ(SM2_compute_z(vbX.data(), vbY.data(), vbZ.data()), 1);
    return vbZ;
}

Bytes E(const Bytes &vbZ, const Bytes &vbMsg)
{
    Bytes vb = vbZ;
    vb.insert(vb.end(), vbMsg.begin(), vbMsg.end());
    return OurSm3(vb);
}

const Bytes c_vbDefaultId(SM2_DEFAULT_USER_ID, SM2_DEFAULT_USER_ID + 16);

// Messages of every length: e = SM3(Z || M) with our Z, checked by OpenSSL's digest-verify with the default ID.
TEST(DifferentialSm2, OurSignaturesVerifyWithOpenSsl)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    PkeyPtr pPeer = PeerSm2Key(key, false);
    Bytes vbZ = Z(key);
    for (size_t cb = 0; cb <= c_cbMaxSmall; ++cb)
    {
        Bytes vbMsg = RandomBytes(cb), vbE = E(vbZ, vbMsg);
        BnPtr e = BnFromBytes(vbE);
        SigPtr pSig(SM2_do_sign(e.get(), key.d.get(), SmNidSm2Curve()));
        ASSERT_TRUE(pSig);
        Bytes vbDer = SignatureToDer(pSig.get());
        ASSERT_TRUE(PeerSm2VerifyMessage(pPeer.get(), c_vbDefaultId, vbMsg, vbDer)) << "length " << cb;
        ASSERT_TRUE(PeerSm2VerifyDigest(pPeer.get(), vbE, vbDer));
    }
    Bytes vbLarge = RandomBytes(1u << 20);
    SigPtr pSig(SM2_do_sign(BnFromBytes(E(vbZ, vbLarge)).get(), key.d.get(), SmNidSm2Curve()));
    ASSERT_TRUE(pSig);
    EXPECT_TRUE(PeerSm2VerifyMessage(pPeer.get(), c_vbDefaultId, vbLarge, SignatureToDer(pSig.get())));
}

TEST(DifferentialSm2, OpenSslSignaturesVerifyWithOurs)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    PkeyPtr pPeer = PeerSm2Key(key, true);
    Bytes vbZ = Z(key);
    for (size_t cb = 0; cb <= c_cbMaxSmall; ++cb)
    {
        Bytes vbMsg = RandomBytes(cb);
        SigPtr pSig = SignatureFromDer(PeerSm2SignMessage(pPeer.get(), c_vbDefaultId, vbMsg));
        ASSERT_TRUE(pSig);
        BnPtr e = BnFromBytes(E(vbZ, vbMsg));
        ASSERT_EQ(SM2_do_verify(pSig.get(), key.x.get(), key.y.get(), e.get(), SmNidSm2Curve()), 1) << "length " << cb;
        Bytes vbR = Bytes32(ECDSA_SIG_get0_r(pSig.get())), vbS = Bytes32(ECDSA_SIG_get0_s(pSig.get()));
        Bytes vbX = Bytes32(key.x.get()), vbY = Bytes32(key.y.get()), vbE = E(vbZ, vbMsg);
        ASSERT_EQ(SM2_verify_raw(vbR.data(), vbS.data(), vbX.data(), vbY.data(), vbE.data()), 1);
    }
    Bytes vbLarge = RandomBytes(1u << 20);
    SigPtr pSig = SignatureFromDer(PeerSm2SignMessage(pPeer.get(), c_vbDefaultId, vbLarge));
    EXPECT_EQ(SM2_do_verify(pSig.get(), key.x.get(), key.y.get(), BnFromBytes(E(vbZ, vbLarge)).get(),
                            SmNidSm2Curve()),
              1);
}

Bytes ToDer(const Bytes &vbRaw)
{
    size_t cb = 0;
    EXPECT_EQ(SmSm2CipherRawToDer(vbRaw.data(), vbRaw.size(), nullptr, &cb), 1);
    Bytes vb(cb);
    EXPECT_EQ(SmSm2CipherRawToDer(vbRaw.data(), vbRaw.size(), vb.data(), &cb), 1);
    vb.resize(cb);
    return vb;
}

Bytes ToRaw(const Bytes &vbDer)
{
    size_t cb = 0;
    EXPECT_EQ(SmSm2CipherDerToRaw(vbDer.data(), vbDer.size(), nullptr, &cb), 1);
    Bytes vb(cb);
    EXPECT_EQ(SmSm2CipherDerToRaw(vbDer.data(), vbDer.size(), vb.data(), &cb), 1);
    return vb;
}

void CheckCipherLength(const SM2_TEST_KEY &key, EVP_PKEY *pPeer, size_t cb)
{
    Bytes vbMsg = RandomBytes(cb);
    // Ours to OpenSSL's, through the DER form.
    Bytes vbRaw(cb + SM2_CIPHER_OVERHEAD);
    ASSERT_EQ(SM2_do_encrypt(SmNidSm2Curve(), vbMsg.data(), cb, key.x.get(), key.y.get(), vbRaw.data()), 1);
    Bytes vbPlain;
    ASSERT_TRUE(PeerSm2Decrypt(pPeer, ToDer(vbRaw), vbPlain)) << "length " << cb;
    ASSERT_EQ(vbPlain, vbMsg);
    // OpenSSL's to ours, through the raw form.
    Bytes vbPeerRaw = ToRaw(PeerSm2Encrypt(pPeer, vbMsg));
    ASSERT_EQ(vbPeerRaw.size(), cb + SM2_CIPHER_OVERHEAD);
    Bytes vbOut(cb);
    ASSERT_EQ(SM2_do_decrypt(SmNidSm2Curve(), vbPeerRaw.data(), vbPeerRaw.size(), key.d.get(), vbOut.data()), 1);
    ASSERT_EQ(vbOut, vbMsg) << "length " << cb;
}

TEST(DifferentialSm2, CiphertextsCrossBetweenOursAndOpenSsl)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    PkeyPtr pPeer = PeerSm2Key(key, true);
    for (size_t cb = 1; cb <= c_cbMaxSmall; ++cb)
        CheckCipherLength(key, pPeer.get(), cb);
    for (size_t cb : {size_t(65535), size_t(65536), size_t(1u << 20)})
        CheckCipherLength(key, pPeer.get(), cb);
}

BnPtr BnHex(const char *psz)
{
    BIGNUM *pbn = nullptr;
    EXPECT_GT(BN_hex2bn(&pbn, psz), 0);
    return BnPtr(pbn);
}

// Fixed nonces whose r or s is short, or whose C1 has a coordinate with a zero first byte.
TEST(DifferentialSm2, ShortNumbersCrossWithOpenSsl)
{
    SM2_TEST_KEY key = std::move(EdgeSm2Keys(SmNidSm2Curve())[0].key);
    PkeyPtr pPeer = PeerSm2Key(key, true);
    Bytes vbX = Bytes32(key.x.get()), vbY = Bytes32(key.y.get());
    BnPtr e = BnHex("66C7F0F462EEEDD9D1F2D46BDC10E4E24167C4875CF2F7A2297DA02B8F4BA8E0");
    Bytes vbE = Bytes32(e.get());
    const struct
    {
        const char *pszCase, *pszK;
        bool bShortR;
    } rgSignCases[] = {
        {"short r", "5AC1B8A333F7FB31CD08938DC5D0F8BBAB9FD032B54D1E5C5DBFA8AE756B005A", true},
        {"short s", "2EC05384369A0B81DA0A377740014AD3205B65997CE1AEDC5663BA6B6E598665", false},
    };
    for (const auto &c : rgSignCases)
    {
        SigPtr pSig(SmSm2SignWithK(e.get(), key.d.get(), SmNidSm2Curve(), BnHex(c.pszK).get()));
        ASSERT_TRUE(pSig) << c.pszCase;
        const BIGNUM *pbnR = ECDSA_SIG_get0_r(pSig.get()), *pbnS = ECDSA_SIG_get0_s(pSig.get());
        EXPECT_LT(BN_num_bytes(c.bShortR ? pbnR : pbnS), 32) << c.pszCase;
        EXPECT_TRUE(PeerSm2VerifyDigest(pPeer.get(), vbE, SignatureToDer(pSig.get()))) << c.pszCase;
        Bytes vbR = Bytes32(pbnR), vbS = Bytes32(pbnS);
        EXPECT_EQ(SM2_verify_raw(vbR.data(), vbS.data(), vbX.data(), vbY.data(), vbE.data()), 1) << c.pszCase;
    }
    const struct
    {
        const char *pszCase, *pszK;
        size_t ibZero;
    } rgCipherCases[] = {
        {"x1 short", "0BE3F0FC414A3000A16AE8C172E05E10F542FB6D0EE6994803C3C336036C6B0F", 1},
        {"y1 short", "BAF8F54A8A6AE7545F88A91ED1052017B6843407F588DA29332D18E039FB0936", 1 + 32},
    };
    const Bytes vbMsg{'e', 'd', 'g', 'e'};
    for (const auto &c : rgCipherCases)
    {
        Bytes vbRaw(vbMsg.size() + SM2_CIPHER_OVERHEAD);
        ASSERT_EQ(SmSm2EncryptWithK(SmNidSm2Curve(), vbMsg.data(), vbMsg.size(), key.x.get(), key.y.get(),
                                    vbRaw.data(), BnHex(c.pszK).get()),
                  1)
            << c.pszCase;
        EXPECT_EQ(vbRaw[c.ibZero], 0) << c.pszCase;
        Bytes vbDer = ToDer(vbRaw), vbPlain;
        ASSERT_TRUE(PeerSm2Decrypt(pPeer.get(), vbDer, vbPlain)) << c.pszCase;
        EXPECT_EQ(vbPlain, vbMsg) << c.pszCase;
        EXPECT_EQ(ToRaw(vbDer), vbRaw) << c.pszCase;
        Bytes vbOut(vbMsg.size());
        ASSERT_EQ(SM2_do_decrypt(SmNidSm2Curve(), vbRaw.data(), vbRaw.size(), key.d.get(), vbOut.data()), 1);
        EXPECT_EQ(vbOut, vbMsg) << c.pszCase;
    }
}

} // namespace
