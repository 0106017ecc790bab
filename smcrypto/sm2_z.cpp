// SM2 user hash Z and key derivation function.
#include "smcrypto/sm2.h"
#include "smcrypto/sm3.h"
#include "sm2_internal.h"

#include <openssl/err.h>

namespace
{

// a, b, xG and yG of the recommended curve.
const char *const c_rgpszRecommended[4] = {
    "FFFFFFFEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00000000FFFFFFFFFFFFFFFC",
    "28E9FA9E9D9F5E344D5A9E4BCF6509A7F39789F515AB8F92DDBCBD414D940E93",
    "32C4AE2C1F1981195F9904466A39C9948FE30BBFF2660BE1715A4589334C74C7",
    "BC3736A2F4F6779C59BDCEE36B692153D0A9877CC62A474002DF32E52139F0A0",
};

} // namespace

int SM2_compute_z_id(const unsigned char *pbId, size_t cbId, const BIGNUM *pbnA, const BIGNUM *pbnB,
                     const BIGNUM *pbnXG, const BIGNUM *pbnYG, const BIGNUM *pbnXA, const BIGNUM *pbnYA,
                     unsigned char *pbZ)
{
    // ENTL is two bytes of bits, so the ID is at most 8191 bytes.
    if ((!pbId && cbId) || cbId > 0xFFFF / 8 || !pbnA || !pbnB || !pbnXG || !pbnYG || !pbnXA || !pbnYA || !pbZ)
    {
        SM_RAISE(ERR_LIB_ECDSA, SM_R_PASSED_NULL);
        return 0;
    }
    unsigned char rgbValues[6][SM2_BYTES];
    const BIGNUM *rgpbn[6] = {pbnA, pbnB, pbnXG, pbnYG, pbnXA, pbnYA};
    for (int i = 0; i < 6; ++i)
    {
        if (!BNToBytes32(rgpbn[i], rgbValues[i]))
        {
            SM_RAISE(ERR_LIB_ECDSA, SM_R_BN_LIB);
            return 0;
        }
    }
    unsigned char rgbEntl[2] = {uint8_t((cbId * 8) >> 8), uint8_t(cbId * 8)};
    SM3_CTX ctx;
    SM3_Init(&ctx);
    SM3_Update(&ctx, rgbEntl, 2);
    SM3_Update(&ctx, pbId, cbId);
    SM3_Update(&ctx, rgbValues, sizeof(rgbValues));
    SM3_Final(pbZ, &ctx);
    return 1;
}

int SM2_compute_z(const unsigned char *pbXA, const unsigned char *pbYA, unsigned char *pbZ)
{
    if (!pbXA || !pbYA || !pbZ)
    {
        SM_RAISE(ERR_LIB_ECDSA, SM_R_PASSED_NULL);
        return 0;
    }
    BIGNUM *rgpbn[6] = {};
    bool bOk = true;
    for (int i = 0; i < 4; ++i)
        bOk = bOk && BN_hex2bn(&rgpbn[i], c_rgpszRecommended[i]);
    bOk = bOk && (rgpbn[4] = BN_bin2bn(pbXA, SM2_BYTES, nullptr)) && (rgpbn[5] = BN_bin2bn(pbYA, SM2_BYTES, nullptr));
    int nResult = 0;
    if (bOk)
        nResult = SM2_compute_z_id(SM2_DEFAULT_USER_ID, sizeof(SM2_DEFAULT_USER_ID), rgpbn[0], rgpbn[1], rgpbn[2],
                                   rgpbn[3], rgpbn[4], rgpbn[5], pbZ);
    else
        SM_RAISE(ERR_LIB_ECDSA, SM_R_MALLOC);
    for (BIGNUM *pbn : rgpbn)
        BN_free(pbn);
    return nResult;
}

int SM2_kdf(const unsigned char *pbIn, size_t cbIn, size_t cBitsOut, unsigned char *pbOut)
{
    if ((!pbIn && cbIn) || (!pbOut && cBitsOut >= 8))
    {
        SM_RAISE(ERR_LIB_ECDSA, SM_R_PASSED_NULL);
        return 0;
    }
    size_t cbOut = cBitsOut / 8;
    SM3_CTX base;
    SM3_Init(&base);
    SM3_Update(&base, pbIn, cbIn);
    unsigned char rgbDigest[SM3_DIGEST_LENGTH];
    for (uint32_t ct = 1; cbOut; ++ct)
    {
        SM3_CTX ctx = base;
        unsigned char rgbCt[4] = {uint8_t(ct >> 24), uint8_t(ct >> 16), uint8_t(ct >> 8), uint8_t(ct)};
        SM3_Update(&ctx, rgbCt, 4);
        SM3_Final(rgbDigest, &ctx);
        size_t cbTake = cbOut < SM3_DIGEST_LENGTH ? cbOut : SM3_DIGEST_LENGTH;
        for (size_t i = 0; i < cbTake; ++i)
            pbOut[i] = rgbDigest[i];
        pbOut += cbTake;
        cbOut -= cbTake;
    }
    return 1;
}
