// SM2 digital signature and its verification.
#include "smcrypto/sm2.h"
#include "sm2_internal.h"

#include <openssl/err.h>
#include <openssl/rand.h>

namespace
{

bool IsSignatureCurve(int nNid)
{
    return nNid == SmNidSm2Curve() || nNid == SmNidSm2TestCurve();
}

// Owns what one SM2 call allocates; nothing is kept between calls.
struct CSm2Scratch
{
    EC_GROUP *pGroup = nullptr;
    BN_CTX *pCtx = nullptr;
    EC_POINT *pPoint = nullptr;
    EC_POINT *pPublic = nullptr;
    bool bStarted = false;
    BN_CTX *Start()
    {
        BN_CTX_start(pCtx);
        bStarted = true;
        return pCtx;
    }
    ~CSm2Scratch()
    {
        EC_POINT_free(pPublic);
        EC_POINT_free(pPoint);
        if (bStarted)
            BN_CTX_end(pCtx);
        BN_CTX_free(pCtx);
        EC_GROUP_free(pGroup);
    }
};

} // namespace

ECDSA_SIG *SmSm2SignWithK(const BIGNUM *pbnE, const BIGNUM *pbnD, int nNid, const BIGNUM *pbnFixedK)
{
    if (!pbnE || !pbnD || !IsSignatureCurve(nNid))
    {
        SM_RAISE(ERR_LIB_ECDSA, SM_R_PASSED_NULL);
        return nullptr;
    }
    CSm2Scratch scratch;
    scratch.pGroup = SmCurveNewByNid(nNid);
    if (!scratch.pGroup)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_UNKNOWN_GROUP);
        return nullptr;
    }
    ECDSA_SIG *pSig = ECDSA_SIG_new();
    if (!pSig)
    {
        SM_RAISE(ERR_LIB_ECDSA, SM_R_MALLOC);
        return nullptr;
    }
    int nReason = 0;
    BIGNUM *pbnR = BN_new(), *pbnS = BN_new();
    scratch.pCtx = BN_CTX_new();
    scratch.pPoint = EC_POINT_new(scratch.pGroup);
    if (!pbnR || !pbnS || !scratch.pCtx || !scratch.pPoint)
    {
        BN_free(pbnR);
        BN_free(pbnS);
        ECDSA_SIG_free(pSig);
        SM_RAISE(ERR_LIB_ECDSA, SM_R_MALLOC);
        return nullptr;
    }
    BN_CTX *pCtx = scratch.Start();
    BIGNUM *pbnK = BN_CTX_get(pCtx);
    BIGNUM *pbnX1 = BN_CTX_get(pCtx);
    BIGNUM *pbnT = BN_CTX_get(pCtx);
    BIGNUM *pbnInv = BN_CTX_get(pCtx);
    const BIGNUM *pbnN = EC_GROUP_get0_order(scratch.pGroup);
    if (!pbnInv)
        nReason = SM_R_MALLOC;

    // (1 + d)^-1 does not depend on k.
    if (!nReason && !(BN_copy(pbnT, pbnD) && BN_add_word(pbnT, 1) &&
                      BN_mod_inverse(pbnInv, pbnT, pbnN, pCtx)))
        nReason = SM_R_BN_LIB;

    for (bool bDone = false; !nReason && !bDone;)
    {
        if (pbnFixedK)
        {
            if (!BN_copy(pbnK, pbnFixedK))
                nReason = SM_R_BN_LIB;
        }
        else
        {
            do
            {
                if (!BN_priv_rand_range_ex(pbnK, pbnN, 0, pCtx))
                    nReason = SM_R_RANDOM;
            } while (!nReason && BN_is_zero(pbnK));
        }
        if (nReason)
            break;
        if (BN_is_zero(pbnK) || BN_cmp(pbnK, pbnN) >= 0)
        {
            nReason = SM_R_RANDOM;
            break;
        }
        if (!EC_POINT_mul(scratch.pGroup, scratch.pPoint, pbnK, nullptr, nullptr, pCtx) ||
            !EC_POINT_get_affine_coordinates(scratch.pGroup, scratch.pPoint, pbnX1, nullptr, pCtx))
        {
            nReason = SM_R_EC_LIB;
            break;
        }
        // r = (e + x1) mod n; retry when r = 0 or r + k = n.
        if (!BN_mod_add(pbnR, pbnE, pbnX1, pbnN, pCtx) || !BN_add(pbnT, pbnR, pbnK))
        {
            nReason = SM_R_BN_LIB;
            break;
        }
        bool bRetry = BN_is_zero(pbnR) || BN_cmp(pbnT, pbnN) == 0;
        if (!bRetry)
        {
            // s = (1 + d)^-1 * (k - r*d) mod n
            if (!BN_mod_mul(pbnT, pbnR, pbnD, pbnN, pCtx) || !BN_mod_sub(pbnT, pbnK, pbnT, pbnN, pCtx) ||
                !BN_mod_mul(pbnS, pbnT, pbnInv, pbnN, pCtx))
            {
                nReason = SM_R_BN_LIB;
                break;
            }
            bRetry = BN_is_zero(pbnS);
        }
        if (bRetry && pbnFixedK)
            nReason = SM_R_RANDOM;  // a given k cannot be drawn again
        bDone = !bRetry;
    }
    BN_clear(pbnK);
    if (nReason)
    {
        BN_free(pbnR);
        BN_free(pbnS);
        ECDSA_SIG_free(pSig);
        SM_RAISE(ERR_LIB_ECDSA, nReason);
        return nullptr;
    }
    ECDSA_SIG_set0(pSig, pbnR, pbnS);
    return pSig;
}

ECDSA_SIG *SM2_do_sign(const BIGNUM *pbnE, const BIGNUM *pbnD, int nNid)
{
    return SmSm2SignWithK(pbnE, pbnD, nNid, nullptr);
}

int SM2_do_verify(const ECDSA_SIG *pSig, const BIGNUM *pbnX, const BIGNUM *pbnY, const BIGNUM *pbnE, int nNid)
{
    if (!pSig || !pbnX || !pbnY || !pbnE || !IsSignatureCurve(nNid))
    {
        SM_RAISE(ERR_LIB_ECDSA, SM_R_PASSED_NULL);
        return 0;
    }
    CSm2Scratch scratch;
    scratch.pGroup = SmCurveNewByNid(nNid);
    if (!scratch.pGroup)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_UNKNOWN_GROUP);
        return 0;
    }
    scratch.pCtx = BN_CTX_new();
    scratch.pPoint = EC_POINT_new(scratch.pGroup);
    scratch.pPublic = EC_POINT_new(scratch.pGroup);
    if (!scratch.pCtx || !scratch.pPoint || !scratch.pPublic)
    {
        SM_RAISE(ERR_LIB_ECDSA, SM_R_MALLOC);
        return 0;
    }
    BN_CTX *pCtx = scratch.Start();
    BIGNUM *pbnT = BN_CTX_get(pCtx);
    BIGNUM *pbnX1 = BN_CTX_get(pCtx);
    if (!pbnX1)
    {
        SM_RAISE(ERR_LIB_ECDSA, SM_R_MALLOC);
        return 0;
    }
    const BIGNUM *pbnN = EC_GROUP_get0_order(scratch.pGroup);
    const BIGNUM *pbnR = ECDSA_SIG_get0_r(pSig);
    const BIGNUM *pbnS = ECDSA_SIG_get0_s(pSig);

    bool bValid =
        EC_POINT_set_affine_coordinates(scratch.pGroup, scratch.pPublic, pbnX, pbnY, pCtx) &&
        !BN_is_negative(pbnR) && !BN_is_zero(pbnR) && BN_cmp(pbnR, pbnN) < 0 &&
        !BN_is_negative(pbnS) && !BN_is_zero(pbnS) && BN_cmp(pbnS, pbnN) < 0 &&
        BN_mod_add(pbnT, pbnR, pbnS, pbnN, pCtx) && !BN_is_zero(pbnT) &&
        EC_POINT_mul(scratch.pGroup, scratch.pPoint, pbnS, scratch.pPublic, pbnT, pCtx) &&
        EC_POINT_get_affine_coordinates(scratch.pGroup, scratch.pPoint, pbnX1, nullptr, pCtx) &&
        BN_mod_add(pbnT, pbnE, pbnX1, pbnN, pCtx) && BN_cmp(pbnT, pbnR) == 0;
    if (!bValid)
    {
        SM_RAISE(ERR_LIB_ECDSA, SM_R_EC_LIB);
        return 0;
    }
    return 1;
}

int SM2_verify_raw(const unsigned char *pbR, const unsigned char *pbS, const unsigned char *pbX,
                   const unsigned char *pbY, const unsigned char *pbE)
{
    if (!pbR || !pbS || !pbX || !pbY || !pbE)
    {
        SM_RAISE(ERR_LIB_ECDSA, SM_R_PASSED_NULL);
        return 0;
    }
    BIGNUM *pbnR = BN_bin2bn(pbR, SM2_BYTES, nullptr);
    BIGNUM *pbnS = BN_bin2bn(pbS, SM2_BYTES, nullptr);
    BIGNUM *pbnX = BN_bin2bn(pbX, SM2_BYTES, nullptr);
    BIGNUM *pbnY = BN_bin2bn(pbY, SM2_BYTES, nullptr);
    BIGNUM *pbnE = BN_bin2bn(pbE, SM2_BYTES, nullptr);
    ECDSA_SIG *pSig = ECDSA_SIG_new();
    int nResult = 0;
    if (pbnR && pbnS && pbnX && pbnY && pbnE && pSig && ECDSA_SIG_set0(pSig, pbnR, pbnS))
    {
        pbnR = pbnS = nullptr;
        nResult = SM2_do_verify(pSig, pbnX, pbnY, pbnE, SmNidSm2Curve());
    }
    else
    {
        SM_RAISE(ERR_LIB_ECDSA, SM_R_MALLOC);
    }
    ECDSA_SIG_free(pSig);
    BN_free(pbnR);
    BN_free(pbnS);
    BN_free(pbnX);
    BN_free(pbnY);
    BN_free(pbnE);
    return nResult;
}
