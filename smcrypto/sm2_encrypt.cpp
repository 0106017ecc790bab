// SM2 public-key encryption and decryption in the raw form 0x04 || x1 || y1 || C2 || C3.
#include "smcrypto/sm2.h"
#include "smcrypto/sm3.h"
#include "sm2_internal.h"

#include <cstring>

#include <openssl/crypto.h>
#include <openssl/err.h>

namespace
{

struct CCipherScratch
{
    EC_GROUP *pGroup = nullptr;
    BN_CTX *pCtx = nullptr;
    EC_POINT *pPeer = nullptr;
    EC_POINT *pPoint = nullptr;
    unsigned char *pbMask = nullptr;
    size_t cbMask = 0;
    bool bStarted = false;

    bool Create(int nNid, size_t cbMessage)
    {
        pGroup = SmCurveNewByNid(nNid);
        if (!pGroup)
        {
            SM_RAISE(ERR_LIB_EC, SM_R_UNKNOWN_GROUP);
            return false;
        }
        pCtx = BN_CTX_new();
        pPeer = EC_POINT_new(pGroup);
        pPoint = EC_POINT_new(pGroup);
        cbMask = cbMessage;
        pbMask = static_cast<unsigned char *>(OPENSSL_malloc(cbMessage ? cbMessage : 1));
        if (!pCtx || !pPeer || !pPoint || !pbMask)
        {
            SM_RAISE(ERR_LIB_EC, SM_R_MALLOC);
            return false;
        }
        BN_CTX_start(pCtx);
        bStarted = true;
        return true;
    }

    ~CCipherScratch()
    {
        OPENSSL_clear_free(pbMask, cbMask);
        EC_POINT_free(pPoint);
        EC_POINT_free(pPeer);
        if (bStarted)
            BN_CTX_end(pCtx);
        BN_CTX_free(pCtx);
        EC_GROUP_free(pGroup);
    }

    // [h]Q must not be the point at infinity. With h = 1 that is Q itself: no multiplication.
    bool CofactorCheck(const EC_POINT *pQ)
    {
        const BIGNUM *pbnH = EC_GROUP_get0_cofactor(pGroup);
        if (!pbnH || BN_is_zero(pbnH))
            return false;
        if (BN_is_one(pbnH))
            return !EC_POINT_is_at_infinity(pGroup, pQ);
        return EC_POINT_mul(pGroup, pPoint, nullptr, pQ, pbnH, pCtx) && !EC_POINT_is_at_infinity(pGroup, pPoint);
    }

    // x2 || y2 of pPoint, then the mask t of cbMask bytes; false when t is all zero.
    bool DeriveMask(unsigned char *pbX2Y2)
    {
        BIGNUM *pbnX2 = BN_CTX_get(pCtx);
        BIGNUM *pbnY2 = BN_CTX_get(pCtx);
        if (!pbnY2 || !EC_POINT_get_affine_coordinates(pGroup, pPoint, pbnX2, pbnY2, pCtx) ||
            !BNToBytes32(pbnX2, pbX2Y2) || !BNToBytes32(pbnY2, pbX2Y2 + SM2_BYTES) ||
            !SM2_kdf(pbX2Y2, 2 * SM2_BYTES, 8 * cbMask, pbMask))
            return false;
        unsigned char bAny = 0;
        for (size_t i = 0; i < cbMask; ++i)
            bAny |= pbMask[i];
        return bAny != 0;
    }
};

void CheckValue(const unsigned char *pbX2Y2, const unsigned char *pbMsg, size_t cbMsg, unsigned char *pbOut)
{
    SM3_CTX ctx;
    SM3_Init(&ctx);
    SM3_Update(&ctx, pbX2Y2, SM2_BYTES);
    SM3_Update(&ctx, pbMsg, cbMsg);
    SM3_Update(&ctx, pbX2Y2 + SM2_BYTES, SM2_BYTES);
    SM3_Final(pbOut, &ctx);
}

} // namespace

int SmSm2EncryptWithK(int nNid, const unsigned char *pbMsg, size_t cbMsg, const BIGNUM *pbnX, const BIGNUM *pbnY,
                      unsigned char *pbOut, const BIGNUM *pbnFixedK)
{
    // An empty message has an all-zero mask for every k: refuse it instead of drawing forever.
    if (!pbMsg || !cbMsg || !pbnX || !pbnY || !pbOut)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_PASSED_NULL);
        return 0;
    }
    CCipherScratch scratch;
    if (!scratch.Create(nNid, cbMsg))
        return 0;
    BN_CTX *pCtx = scratch.pCtx;
    BIGNUM *pbnK = BN_CTX_get(pCtx);
    BIGNUM *pbnX1 = BN_CTX_get(pCtx);
    BIGNUM *pbnY1 = BN_CTX_get(pCtx);
    if (!pbnY1)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_MALLOC);
        return 0;
    }
    const BIGNUM *pbnN = EC_GROUP_get0_order(scratch.pGroup);
    if (!EC_POINT_set_affine_coordinates(scratch.pGroup, scratch.pPeer, pbnX, pbnY, pCtx) ||
        !scratch.CofactorCheck(scratch.pPeer))
    {
        SM_RAISE(ERR_LIB_EC, SM_R_EC_LIB);
        return 0;
    }
    unsigned char rgbX2Y2[2 * SM2_BYTES];
    for (;;)
    {
        if (pbnFixedK)
        {
            if (!BN_copy(pbnK, pbnFixedK) || BN_is_zero(pbnK) || BN_cmp(pbnK, pbnN) >= 0)
            {
                SM_RAISE(ERR_LIB_EC, SM_R_RANDOM);
                return 0;
            }
        }
        else
        {
            do
            {
                if (!BN_priv_rand_range_ex(pbnK, pbnN, 0, pCtx))
                {
                    SM_RAISE(ERR_LIB_EC, SM_R_RANDOM);
                    return 0;
                }
            } while (BN_is_zero(pbnK));
        }
        // C1 = [k]G, then (x2, y2) = [k]P.
        if (!EC_POINT_mul(scratch.pGroup, scratch.pPoint, pbnK, nullptr, nullptr, pCtx) ||
            !EC_POINT_get_affine_coordinates(scratch.pGroup, scratch.pPoint, pbnX1, pbnY1, pCtx) ||
            !EC_POINT_mul(scratch.pGroup, scratch.pPoint, nullptr, scratch.pPeer, pbnK, pCtx))
        {
            SM_RAISE(ERR_LIB_EC, SM_R_EC_LIB);
            return 0;
        }
        if (scratch.DeriveMask(rgbX2Y2))
            break;
        if (pbnFixedK)
        {
            SM_RAISE(ERR_LIB_EC, SM_R_RANDOM);
            return 0;
        }
    }
    BN_clear(pbnK);
    unsigned char rgbC3[SM3_DIGEST_LENGTH];
    CheckValue(rgbX2Y2, pbMsg, cbMsg, rgbC3);
    unsigned char *pbC2 = pbOut + 1 + 2 * SM2_BYTES;
    for (size_t i = 0; i < cbMsg; ++i)
        scratch.pbMask[i] ^= pbMsg[i];
    pbOut[0] = 0x04;
    if (!BNToBytes32(pbnX1, pbOut + 1) || !BNToBytes32(pbnY1, pbOut + 1 + SM2_BYTES))
    {
        SM_RAISE(ERR_LIB_EC, SM_R_BN_LIB);
        return 0;
    }
    std::memmove(pbC2, scratch.pbMask, cbMsg);
    std::memcpy(pbC2 + cbMsg, rgbC3, SM3_DIGEST_LENGTH);
    OPENSSL_cleanse(rgbX2Y2, sizeof(rgbX2Y2));
    return 1;
}

int SM2_do_encrypt(int nNid, const unsigned char *pbMsg, size_t cbMsg, const BIGNUM *pbnX, const BIGNUM *pbnY,
                   unsigned char *pbOut)
{
    return SmSm2EncryptWithK(nNid, pbMsg, cbMsg, pbnX, pbnY, pbOut, nullptr);
}

int SM2_do_decrypt(int nNid, const unsigned char *pbIn, size_t cbIn, const BIGNUM *pbnD, unsigned char *pbOut)
{
    if (!pbIn || !pbnD || !pbOut || cbIn < SM2_CIPHER_OVERHEAD || pbIn[0] != 0x04)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_PASSED_NULL);
        return 0;
    }
    size_t cbMsg = cbIn - SM2_CIPHER_OVERHEAD;
    CCipherScratch scratch;
    if (!scratch.Create(nNid, cbMsg))
        return 0;
    BN_CTX *pCtx = scratch.pCtx;
    BIGNUM *pbnX1 = BN_CTX_get(pCtx);
    BIGNUM *pbnY1 = BN_CTX_get(pCtx);
    if (!pbnY1 || !BN_bin2bn(pbIn + 1, SM2_BYTES, pbnX1) || !BN_bin2bn(pbIn + 1 + SM2_BYTES, SM2_BYTES, pbnY1))
    {
        SM_RAISE(ERR_LIB_EC, SM_R_MALLOC);
        return 0;
    }
    // C1 must lie on the curve (checked by setting it) and [h]C1 must be finite.
    unsigned char rgbX2Y2[2 * SM2_BYTES];
    if (!EC_POINT_set_affine_coordinates(scratch.pGroup, scratch.pPeer, pbnX1, pbnY1, pCtx) ||
        !scratch.CofactorCheck(scratch.pPeer) ||
        !EC_POINT_mul(scratch.pGroup, scratch.pPoint, nullptr, scratch.pPeer, pbnD, pCtx) ||
        !scratch.DeriveMask(rgbX2Y2))
    {
        SM_RAISE(ERR_LIB_EC, SM_R_EC_LIB);
        return 0;
    }
    const unsigned char *pbC2 = pbIn + 1 + 2 * SM2_BYTES;
    const unsigned char *pbC3 = pbC2 + cbMsg;
    unsigned char rgbC3[SM3_DIGEST_LENGTH];
    std::memcpy(rgbC3, pbC3, SM3_DIGEST_LENGTH);  // the output may overlap the input
    for (size_t i = 0; i < cbMsg; ++i)
        scratch.pbMask[i] ^= pbC2[i];
    std::memmove(pbOut, scratch.pbMask, cbMsg);
    unsigned char rgbU[SM3_DIGEST_LENGTH];
    CheckValue(rgbX2Y2, pbOut, cbMsg, rgbU);
    OPENSSL_cleanse(rgbX2Y2, sizeof(rgbX2Y2));
    if (CRYPTO_memcmp(rgbU, rgbC3, SM3_DIGEST_LENGTH) != 0)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_EC_LIB);
        return 0;
    }
    return 1;
}
