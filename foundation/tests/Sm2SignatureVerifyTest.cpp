// The DER of raw SM2 signatures as OpenSSL's SM2 verification takes it: signatures whose r or
// s is shorter than 32 bytes, or has its top bit set, verify after encoding in both forms.
#include <gtest/gtest.h>

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "DerEncoding.h"
#include "PluginForms.h"

namespace
{
using PkeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CtxPtr = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;

// OpenSSL's SM2 signature of a 32-byte digest as r || s, 32 bytes each, big-endian.
std::vector<BYTE> SignRaw(EVP_PKEY* pKey, const std::vector<BYTE>& digest)
{
    CtxPtr ctx(EVP_PKEY_CTX_new(pKey, nullptr), EVP_PKEY_CTX_free);
    size_t cbSig = 0;
    if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 ||
        EVP_PKEY_sign(ctx.get(), nullptr, &cbSig, digest.data(), digest.size()) != 1)
        return {};
    std::vector<BYTE> der(cbSig);
    if (EVP_PKEY_sign(ctx.get(), der.data(), &cbSig, digest.data(), digest.size()) != 1)
        return {};
    const unsigned char* p = der.data();
    ECDSA_SIG* pSig = d2i_ECDSA_SIG(nullptr, &p, (long)cbSig);
    if (!pSig)
        return {};
    std::vector<BYTE> raw(64);
    BN_bn2binpad(ECDSA_SIG_get0_r(pSig), raw.data(), 32);
    BN_bn2binpad(ECDSA_SIG_get0_s(pSig), raw.data() + 32, 32);
    ECDSA_SIG_free(pSig);
    return raw;
}

bool Verifies(EVP_PKEY* pKey, const std::vector<BYTE>& digest, const BYTE* pbDer, DWORD cbDer)
{
    CtxPtr ctx(EVP_PKEY_CTX_new(pKey, nullptr), EVP_PKEY_CTX_free);
    bool bOk = ctx && EVP_PKEY_verify_init(ctx.get()) == 1 &&
               EVP_PKEY_verify(ctx.get(), pbDer, cbDer, digest.data(), digest.size()) == 1;
    ERR_clear_error();
    return bOk;
}
} // namespace

TEST(Sm2SignatureDer, ShortAndSignedCoordinatesVerifyWithOpenssl)
{
    PkeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "SM2"), EVP_PKEY_free);
    ASSERT_TRUE(key);

    // Kinds looked for: r or s with a leading zero byte, r with its top bit set, r below 2^255.
    enum Kind { ShortR, ShortS, TopBitR, PlainR, KindCount };
    int rgcFound[KindCount] = {};
    int cChecked = 0;
    std::vector<BYTE> digest(32);
    for (int i = 0; i < 20000 && (rgcFound[ShortR] < 3 || rgcFound[ShortS] < 3 || rgcFound[TopBitR] < 3 ||
                                  rgcFound[PlainR] < 3);
         ++i)
    {
        for (int j = 0; j < 32; ++j)
            digest[(size_t)j] = (BYTE)(i * 31 + j * 7 + (i >> 8));
        std::vector<BYTE> raw = SignRaw(key.get(), digest);
        ASSERT_EQ(raw.size(), 64u);
        Kind kind = raw[0] == 0 ? ShortR : raw[32] == 0 ? ShortS : (raw[0] & 0x80) ? TopBitR : PlainR;
        if (rgcFound[kind] >= 3)
            continue;
        ++rgcFound[kind];
        ++cChecked;

        BYTE* pb = nullptr;
        DWORD cb = 0;
        ASSERT_EQ(EnrollmentForm::SM2EncodeRawSignature(&pb, &cb, raw.data(), 64), S_OK);
        EXPECT_TRUE(Verifies(key.get(), digest, pb, cb)) << "kind " << kind << " case " << i;
        delete[] pb;

        // The signing form is the same SEQUENCE inside an OCTET STRING.
        ASSERT_EQ(SigningForm::SM2EncodeRawSignature(&pb, &cb, raw.data(), 64), S_OK);
        ASSERT_EQ(pb[0], 0x04);
        DWORD cbHeader = (pb[1] & 0x80) ? 2u + (pb[1] & 0x7Fu) : 2u;
        EXPECT_TRUE(Verifies(key.get(), digest, pb + cbHeader, cb - cbHeader)) << "kind " << kind << " case " << i;
        delete[] pb;
    }
    EXPECT_EQ(rgcFound[ShortR], 3);
    EXPECT_EQ(rgcFound[ShortS], 3);
    EXPECT_EQ(rgcFound[TopBitR], 3);
    EXPECT_EQ(rgcFound[PlainR], 3);
    EXPECT_EQ(cChecked, 12);
}
