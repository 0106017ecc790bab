// The standards' test vectors from tests/data, each also checked against OpenSSL where it has the algorithm.
#include <gtest/gtest.h>

#include <cstring>

#include "openssl_peer.h"
#include "smcrypto/sm2.h"
#include "smcrypto/sm3.h"
#include "smcrypto/sm4.h"
#include "smcrypto/zuc.h"
#include "sm2_internal.h"
#include "vector_file.h"

namespace
{

std::string Hex(const Bytes &vb)
{
    return BytesToHex(vb.data(), vb.size());
}

void RunSm3(const VECTOR_RECORD &rec)
{
    Bytes vbMsg;
    for (long i = 0; i < rec.Number("repeat", 1); ++i)
    {
        Bytes vbPart = rec.Bytes("message");
        vbMsg.insert(vbMsg.end(), vbPart.begin(), vbPart.end());
    }
    Bytes vbOurs(32);
    SM3(vbMsg.data(), vbMsg.size(), vbOurs.data());
    EXPECT_EQ(Hex(vbOurs), rec.Text("digest"));
    EXPECT_EQ(Hex(PeerSm3(vbMsg)), rec.Text("digest")) << "OpenSSL disagrees with the vector";
}

void RunSm4(const VECTOR_RECORD &rec)
{
    Bytes vbKey = rec.Bytes("key"), vbBlock = rec.Bytes("plain");
    long cIterations = rec.Number("iterations", 1);
    SM4_KEY key;
    SM4_set_key(vbKey.data(), true, &key);
    Bytes vbOurs = vbBlock;
    for (long i = 0; i < cIterations; ++i)
        SM4_crypt_block(vbOurs.data(), vbOurs.data(), &key);
    EXPECT_EQ(Hex(vbOurs), rec.Text("cipher"));

    SM4_set_key(vbKey.data(), false, &key);
    for (long i = 0; i < cIterations; ++i)
        SM4_crypt_block(vbOurs.data(), vbOurs.data(), &key);
    EXPECT_EQ(vbOurs, vbBlock) << "decryption does not invert";

    if (cIterations == 1)
    {
        Bytes vbZeroIv(16, 0);
        EXPECT_EQ(Hex(PeerSm4Cbc(vbKey, vbZeroIv, vbBlock, true)), rec.Text("cipher")) << "OpenSSL disagrees";
    }
}

void RunZuc(const VECTOR_RECORD &rec)
{
    Bytes vbKey = rec.Bytes("key"), vbIv = rec.Bytes("iv"), vbFirst = rec.Bytes("first");
    size_t cWords = size_t(rec.Number("words", long(vbFirst.size() / 4)));
    ZUC_CTX ctx;
    ZUC_init(&ctx, vbKey.data(), vbIv.data());
    std::vector<uint32_t> vdw(cWords);
    ZUC_keystream(&ctx, vdw.data(), cWords);
    Bytes vbStream;
    for (uint32_t dw : vdw)
        for (int i = 3; i >= 0; --i)
            vbStream.push_back(uint8_t(dw >> (8 * i)));
    EXPECT_EQ(Hex(Bytes(vbStream.begin(), vbStream.begin() + long(vbFirst.size()))), rec.Text("first"));
    if (rec.Has("last"))
    {
        EXPECT_EQ(Hex(Bytes(vbStream.end() - 4, vbStream.end())), rec.Text("last"));
    }

    // The byte interface gives the same stream, most significant byte of each word first.
    Bytes vbZero(vbStream.size(), 0), vbOut(vbStream.size());
    ZUC_init(&ctx, vbKey.data(), vbIv.data());
    ZUC_crypt(&ctx, vbZero.data(), vbOut.data(), vbZero.size());
    EXPECT_EQ(vbOut, vbStream);
}

int CurveOf(const VECTOR_RECORD &rec)
{
    return rec.Text("curve") == "test" ? SmNidSm2TestCurve() : SmNidSm2Curve();
}

struct CCurveValues
{
    BnPtr a{BN_new()}, b{BN_new()}, xG{BN_new()}, yG{BN_new()};
    explicit CCurveValues(const EC_GROUP *pGroup)
    {
        EC_GROUP_get_curve(pGroup, nullptr, a.get(), b.get(), nullptr);
        EC_POINT_get_affine_coordinates(pGroup, EC_GROUP_get0_generator(pGroup), xG.get(), yG.get(), nullptr);
    }
};

// The public key in the vector is [d]G.
void CheckKey(const VECTOR_RECORD &rec, const EC_GROUP *pGroup)
{
    BnPtr d = BnFromBytes(rec.Bytes("d"));
    PointPtr pPub(EC_POINT_new(pGroup));
    BnPtr x(BN_new()), y(BN_new());
    ASSERT_TRUE(EC_POINT_mul(pGroup, pPub.get(), d.get(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(EC_POINT_get_affine_coordinates(pGroup, pPub.get(), x.get(), y.get(), nullptr));
    EXPECT_EQ(Hex(Bytes32(x.get())), rec.Text("x"));
    EXPECT_EQ(Hex(Bytes32(y.get())), rec.Text("y"));
}

void RunSm2Sign(const VECTOR_RECORD &rec)
{
    int nNid = CurveOf(rec);
    GroupPtr pGroup(SmCurveNewByNid(nNid));
    ASSERT_TRUE(pGroup);
    CheckKey(rec, pGroup.get());
    CCurveValues curve(pGroup.get());
    Bytes vbId = rec.Bytes("id"), vbMsg = rec.Bytes("message"), vbX = rec.Bytes("x"), vbY = rec.Bytes("y");
    BnPtr x = BnFromBytes(vbX), y = BnFromBytes(vbY);

    // Z, recomputed with OpenSSL's SM3 as well.
    Bytes vbZ(32);
    ASSERT_EQ(SM2_compute_z_id(vbId.data(), vbId.size(), curve.a.get(), curve.b.get(), curve.xG.get(),
                               curve.yG.get(), x.get(), y.get(), vbZ.data()),
              1);
    EXPECT_EQ(Hex(vbZ), rec.Text("z"));
    Bytes vbZInput{uint8_t((vbId.size() * 8) >> 8), uint8_t(vbId.size() * 8)};
    vbZInput.insert(vbZInput.end(), vbId.begin(), vbId.end());
    for (const BIGNUM *pbn : {curve.a.get(), curve.b.get(), curve.xG.get(), curve.yG.get(), x.get(), y.get()})
    {
        Bytes vb = Bytes32(pbn);
        vbZInput.insert(vbZInput.end(), vb.begin(), vb.end());
    }
    EXPECT_EQ(Hex(PeerSm3(vbZInput)), rec.Text("z"));
    if (nNid == SmNidSm2Curve() && vbId == Bytes(SM2_DEFAULT_USER_ID, SM2_DEFAULT_USER_ID + 16))
    {
        Bytes vbZDefault(32);
        ASSERT_EQ(SM2_compute_z(vbX.data(), vbY.data(), vbZDefault.data()), 1);
        EXPECT_EQ(Hex(vbZDefault), rec.Text("z"));
    }

    // e = SM3(Z || M)
    Bytes vbZM = vbZ;
    vbZM.insert(vbZM.end(), vbMsg.begin(), vbMsg.end());
    EXPECT_EQ(Hex(PeerSm3(vbZM)), rec.Text("e"));

    BnPtr e = BnFromBytes(rec.Bytes("e")), d = BnFromBytes(rec.Bytes("d")), k = BnFromBytes(rec.Bytes("k"));
    SigPtr pSig(SmSm2SignWithK(e.get(), d.get(), nNid, k.get()));
    ASSERT_TRUE(pSig);
    EXPECT_EQ(Hex(Bytes32(ECDSA_SIG_get0_r(pSig.get()))), rec.Text("r"));
    EXPECT_EQ(Hex(Bytes32(ECDSA_SIG_get0_s(pSig.get()))), rec.Text("s"));
    EXPECT_EQ(SM2_do_verify(pSig.get(), x.get(), y.get(), e.get(), nNid), 1);

    if (nNid == SmNidSm2Curve())
    {
        // OpenSSL's SM2 accepts the example's signature over the message with the example's ID.
        SM2_TEST_KEY key{BnFromBytes(rec.Bytes("d")), BnFromBytes(vbX), BnFromBytes(vbY)};
        PkeyPtr pPeer = PeerSm2Key(key, false);
        EXPECT_TRUE(PeerSm2VerifyMessage(pPeer.get(), vbId, vbMsg, SignatureToDer(pSig.get())));
        Bytes vbR = rec.Bytes("r"), vbS = rec.Bytes("s"), vbE = rec.Bytes("e");
        EXPECT_EQ(SM2_verify_raw(vbR.data(), vbS.data(), vbX.data(), vbY.data(), vbE.data()), 1);
    }
}

void RunSm2Encrypt(const VECTOR_RECORD &rec)
{
    int nNid = CurveOf(rec);
    GroupPtr pGroup(SmCurveNewByNid(nNid));
    ASSERT_TRUE(pGroup);
    CheckKey(rec, pGroup.get());
    Bytes vbMsg = rec.Bytes("message");
    BnPtr x = BnFromBytes(rec.Bytes("x")), y = BnFromBytes(rec.Bytes("y")), k = BnFromBytes(rec.Bytes("k"));
    Bytes vbRaw(vbMsg.size() + SM2_CIPHER_OVERHEAD);
    ASSERT_EQ(SmSm2EncryptWithK(nNid, vbMsg.data(), vbMsg.size(), x.get(), y.get(), vbRaw.data(), k.get()), 1);
    EXPECT_EQ(Hex(vbRaw), rec.Text("c1") + rec.Text("c2") + rec.Text("c3"));

    BnPtr d = BnFromBytes(rec.Bytes("d"));
    Bytes vbBack(vbMsg.size());
    ASSERT_EQ(SM2_do_decrypt(nNid, vbRaw.data(), vbRaw.size(), d.get(), vbBack.data()), 1);
    EXPECT_EQ(vbBack, vbMsg);
}

void RunSm2Kdf(const VECTOR_RECORD &rec)
{
    Bytes vbIn = rec.Bytes("input");
    size_t cBits = size_t(rec.Number("bits", 0));
    Bytes vbOut(cBits / 8);
    ASSERT_EQ(SM2_kdf(vbIn.data(), vbIn.size(), cBits, vbOut.data()), 1);
    EXPECT_EQ(Hex(vbOut), rec.Text("output"));

    // Recomputed with OpenSSL's SM3: SM3(Z || ct) for ct = 1, 2, ...
    Bytes vbPeer;
    for (uint32_t ct = 1; vbPeer.size() < vbOut.size(); ++ct)
    {
        Bytes vb = vbIn;
        for (int i = 3; i >= 0; --i)
            vb.push_back(uint8_t(ct >> (8 * i)));
        Bytes vbH = PeerSm3(vb);
        vbPeer.insert(vbPeer.end(), vbH.begin(), vbH.end());
    }
    vbPeer.resize(vbOut.size());
    EXPECT_EQ(Hex(vbPeer), rec.Text("output"));
}

class StandardVectors : public testing::TestWithParam<VECTOR_RECORD>
{
};

TEST_P(StandardVectors, Reproduced)
{
    const VECTOR_RECORD &rec = GetParam();
    const std::string &strAlg = rec.Text("algorithm");
    if (strAlg == "sm3")
        RunSm3(rec);
    else if (strAlg == "sm4")
        RunSm4(rec);
    else if (strAlg == "zuc")
        RunZuc(rec);
    else if (strAlg == "sm2-sign")
        RunSm2Sign(rec);
    else if (strAlg == "sm2-encrypt")
        RunSm2Encrypt(rec);
    else if (strAlg == "sm2-kdf")
        RunSm2Kdf(rec);
    else
        FAIL() << "unknown algorithm " << strAlg << " in " << rec.strFile;
}

INSTANTIATE_TEST_SUITE_P(Data, StandardVectors,
                         testing::ValuesIn(LoadVectorFiles(SMCRYPTO_TEST_DATA, ".vectors")),
                         [](const testing::TestParamInfo<VECTOR_RECORD> &info) {
                             std::string str = info.param.Text("name");
                             for (char &ch : str)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return str;
                         });

} // namespace
