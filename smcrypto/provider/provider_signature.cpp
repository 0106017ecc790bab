// SM2 signature and verification for EC keys on the SM2 curves; other EC keys get the library's
// ECDSA. The plain operations take their
// input as the digest e; the digest operations hash with SM3, preceded by Z on the recommended
// curve (default user ID) or whenever a user ID was set, as certificate verification needs.
#include "dispatch.h"
#include "ec_keydata.h"
#include "provider.h"

#include <cstring>

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include "smcrypto/sm2.h"
#include "smcrypto/sm3.h"

namespace
{

constexpr int SM_R_BUFFER_TOO_SMALL = 100;  // EC library reason of the stock signer
constexpr size_t c_cbMaxSignature = 72;

struct SM2_SIG_CTX
{
    SM_EC_KEYDATA *pKey;  // owned by the caller's key object
    SM3_CTX sm3;
    unsigned char *pbId;
    size_t cbId;
    bool bIdSet;
    OSSL_LIB_CTX *pLibCtx;
    // A key on another curve: the library's ECDSA does the operation.
    EVP_PKEY_CTX *pStock;
    EVP_MD_CTX *pStockMd;
};

void *NewCtx(void *pvProvCtx, const char *)
{
    SM2_SIG_CTX *pCtx = static_cast<SM2_SIG_CTX *>(OPENSSL_zalloc(sizeof(SM2_SIG_CTX)));
    if (pCtx)
        pCtx->pLibCtx = SmLibCtx(pvProvCtx);
    return pCtx;
}

void DropStock(SM2_SIG_CTX *pCtx)
{
    EVP_PKEY_CTX_free(pCtx->pStock);
    EVP_MD_CTX_free(pCtx->pStockMd);
    pCtx->pStock = nullptr;
    pCtx->pStockMd = nullptr;
}

void FreeCtx(void *pv)
{
    SM2_SIG_CTX *pCtx = static_cast<SM2_SIG_CTX *>(pv);
    if (pCtx)
    {
        OPENSSL_free(pCtx->pbId);
        DropStock(pCtx);
    }
    OPENSSL_clear_free(pCtx, sizeof(SM2_SIG_CTX));
}

void *DupCtx(void *pv)
{
    const SM2_SIG_CTX *pSrc = static_cast<const SM2_SIG_CTX *>(pv);
    SM2_SIG_CTX *pNew = static_cast<SM2_SIG_CTX *>(OPENSSL_malloc(sizeof(SM2_SIG_CTX)));
    if (!pNew)
        return nullptr;
    *pNew = *pSrc;
    pNew->pbId = pSrc->pbId ? static_cast<unsigned char *>(OPENSSL_memdup(pSrc->pbId, pSrc->cbId)) : nullptr;
    pNew->pStock = pSrc->pStock ? EVP_PKEY_CTX_dup(pSrc->pStock) : nullptr;
    pNew->pStockMd = nullptr;
    if (pSrc->pStockMd && (pNew->pStockMd = EVP_MD_CTX_new()) && EVP_MD_CTX_copy_ex(pNew->pStockMd, pSrc->pStockMd) != 1)
    {
        EVP_MD_CTX_free(pNew->pStockMd);
        pNew->pStockMd = nullptr;
    }
    if ((pSrc->pbId && !pNew->pbId) || (pSrc->pStock && !pNew->pStock) || (pSrc->pStockMd && !pNew->pStockMd))
    {
        FreeCtx(pNew);
        return nullptr;
    }
    return pNew;
}

EVP_PKEY_CTX *StockParamsCtx(const SM2_SIG_CTX *pCtx)
{
    return pCtx->pStock ? pCtx->pStock : pCtx->pStockMd ? EVP_MD_CTX_get_pkey_ctx(pCtx->pStockMd) : nullptr;
}

// The digests the EC key method accepted: SM3 and the SHA family.
bool IsAcceptedDigest(const char *pszName)
{
    static const char *const c_rgpsz[] = {"SM3", "SHA1", "SHA-1", "SHA224", "SHA2-224", "SHA-224", "SHA256",
                                          "SHA2-256", "SHA-256", "SHA384", "SHA2-384", "SHA-384", "SHA512",
                                          "SHA2-512", "SHA-512"};
    for (const char *psz : c_rgpsz)
        if (OPENSSL_strcasecmp(psz, pszName) == 0)
            return true;
    return false;
}

int SetCtxParams(void *pv, const OSSL_PARAM rgParams[])
{
    SM2_SIG_CTX *pCtx = static_cast<SM2_SIG_CTX *>(pv);
    if (!rgParams)
        return 1;
    if (EVP_PKEY_CTX *pStock = StockParamsCtx(pCtx))
        return EVP_PKEY_CTX_set_params(pStock, rgParams) == 1;
    const OSSL_PARAM *p = OSSL_PARAM_locate_const(rgParams, OSSL_SIGNATURE_PARAM_DIGEST);
    const char *pszName = nullptr;
    if (p && (!OSSL_PARAM_get_utf8_string_ptr(p, &pszName) || !IsAcceptedDigest(pszName)))
        return 0;
    p = OSSL_PARAM_locate_const(rgParams, OSSL_PKEY_PARAM_DIST_ID);
    if (p)
    {
        void *pvId = nullptr;
        size_t cbId = 0;
        if (!OSSL_PARAM_get_octet_string(p, &pvId, 0, &cbId))
            return 0;
        OPENSSL_free(pCtx->pbId);
        pCtx->pbId = static_cast<unsigned char *>(pvId);
        pCtx->cbId = cbId;
        pCtx->bIdSet = true;
    }
    return 1;
}

const OSSL_PARAM c_rgSettable[] = {
    OSSL_PARAM_utf8_string(OSSL_SIGNATURE_PARAM_DIGEST, nullptr, 0),
    OSSL_PARAM_octet_string(OSSL_PKEY_PARAM_DIST_ID, nullptr, 0),
    OSSL_PARAM_END,
};

const OSSL_PARAM *SettableCtxParams(void *pv, void *)
{
    EVP_PKEY_CTX *pStock = pv ? StockParamsCtx(static_cast<SM2_SIG_CTX *>(pv)) : nullptr;
    const OSSL_PARAM *pList = pStock ? EVP_PKEY_CTX_settable_params(pStock) : nullptr;
    return pList ? pList : c_rgSettable;
}

const OSSL_PARAM c_rgGettable[] = {OSSL_PARAM_END};

const OSSL_PARAM *GettableCtxParams(void *pv, void *)
{
    EVP_PKEY_CTX *pStock = pv ? StockParamsCtx(static_cast<SM2_SIG_CTX *>(pv)) : nullptr;
    const OSSL_PARAM *pList = pStock ? EVP_PKEY_CTX_gettable_params(pStock) : nullptr;
    return pList ? pList : c_rgGettable;
}

int GetCtxParams(void *pv, OSSL_PARAM rgParams[])
{
    EVP_PKEY_CTX *pStock = StockParamsCtx(static_cast<SM2_SIG_CTX *>(pv));
    return pStock ? EVP_PKEY_CTX_get_params(pStock, rgParams) == 1 : 1;
}

enum class SM_SIG_OP
{
    Sign,
    Verify,
};

// A new key, if given, replaces the old one and its library operation; true when the key is on
// another curve, one the library holds.
bool TakeKey(SM2_SIG_CTX *pCtx, void *pvKey)
{
    if (pvKey)
    {
        pCtx->pKey = static_cast<SM_EC_KEYDATA *>(pvKey);
        DropStock(pCtx);
    }
    return !SmIsSm2Key(pCtx->pKey) && pCtx->pKey && pCtx->pKey->pStock;
}

// SM2 keys are ours; keys on other curves get the library's ECDSA over the key it holds.
int Init(void *pv, void *pvKey, const OSSL_PARAM rgParams[], SM_SIG_OP op)
{
    SM2_SIG_CTX *pCtx = static_cast<SM2_SIG_CTX *>(pv);
    if (TakeKey(pCtx, pvKey))
    {
        if (!pCtx->pStock)
        {
            pCtx->pStock = EVP_PKEY_CTX_new_from_pkey(pCtx->pLibCtx, pCtx->pKey->pStock, SM_STOCK_QUERY);
            if (!pCtx->pStock)
                return 0;
        }
        return (op == SM_SIG_OP::Sign ? EVP_PKEY_sign_init_ex(pCtx->pStock, rgParams)
                                      : EVP_PKEY_verify_init_ex(pCtx->pStock, rgParams)) == 1;
    }
    if (!SmIsSm2Key(pCtx->pKey))
    {
        ERR_raise(ERR_LIB_EC, EC_R_INVALID_CURVE);
        return 0;
    }
    return SetCtxParams(pv, rgParams);
}

int SignInit(void *pv, void *pvKey, const OSSL_PARAM rgParams[])
{
    return Init(pv, pvKey, rgParams, SM_SIG_OP::Sign);
}

int VerifyInit(void *pv, void *pvKey, const OSSL_PARAM rgParams[])
{
    return Init(pv, pvKey, rgParams, SM_SIG_OP::Verify);
}

int Sign(void *pv, unsigned char *pbSig, size_t *pcbSig, size_t cbSigSize, const unsigned char *pbTbs, size_t cbTbs)
{
    SM2_SIG_CTX *pCtx = static_cast<SM2_SIG_CTX *>(pv);
    if (pCtx->pStock)
    {
        size_t cb = pbSig ? cbSigSize : 0;
        if (EVP_PKEY_sign(pCtx->pStock, pbSig, &cb, pbTbs, cbTbs) != 1)
            return 0;
        *pcbSig = cb;
        return 1;
    }
    if (!pbSig)
    {
        *pcbSig = c_cbMaxSignature;
        return 1;
    }
    if (cbSigSize < c_cbMaxSignature)
    {
        ERR_raise(ERR_LIB_EC, SM_R_BUFFER_TOO_SMALL);
        return 0;
    }
    if (!pCtx->pKey || !pCtx->pKey->pbnD)
        return 0;
    BIGNUM *pbnE = SmBytesToBN(pbTbs, cbTbs);
    ECDSA_SIG *pSig = pbnE ? SM2_do_sign(pbnE, pCtx->pKey->pbnD, pCtx->pKey->nNid) : nullptr;
    BN_free(pbnE);
    if (!pSig)
        return 0;
    unsigned char *pb = pbSig;
    int cb = i2d_ECDSA_SIG(pSig, &pb);
    ECDSA_SIG_free(pSig);
    if (cb <= 0)
        return 0;
    *pcbSig = size_t(cb);
    return 1;
}

int Verify(void *pv, const unsigned char *pbSig, size_t cbSig, const unsigned char *pbTbs, size_t cbTbs)
{
    SM2_SIG_CTX *pCtx = static_cast<SM2_SIG_CTX *>(pv);
    if (pCtx->pStock)
        return EVP_PKEY_verify(pCtx->pStock, pbSig, cbSig, pbTbs, cbTbs);
    if (!pCtx->pKey || !pCtx->pKey->pPublic)
        return -1;
    const unsigned char *pb = pbSig;
    ECDSA_SIG *pSig = d2i_ECDSA_SIG(nullptr, &pb, long(cbSig));
    int nResult = 0;
    // Only the exact DER form is a signature.
    unsigned char *pbAgain = nullptr;
    int cbAgain = pSig ? i2d_ECDSA_SIG(pSig, &pbAgain) : 0;
    if (pSig && pb == pbSig + cbSig && cbAgain == int(cbSig) && std::memcmp(pbAgain, pbSig, cbSig) == 0)
    {
        BIGNUM *pbnE = SmBytesToBN(pbTbs, cbTbs);
        nResult = pbnE && SM2_do_verify(pSig, pCtx->pKey->pbnX, pCtx->pKey->pbnY, pbnE, pCtx->pKey->nNid);
        BN_free(pbnE);
    }
    OPENSSL_free(pbAgain);
    ECDSA_SIG_free(pSig);
    // The EC key method's answer: 1 for a good signature, -1 for a bad one or any error.
    return nResult == 1 ? 1 : -1;
}

int DigestInit(void *pv, const char *pszMd, void *pvKey, const OSSL_PARAM rgParams[], SM_SIG_OP op)
{
    SM2_SIG_CTX *pCtx = static_cast<SM2_SIG_CTX *>(pv);
    if (TakeKey(pCtx, pvKey))
    {
        EVP_MD_CTX_free(pCtx->pStockMd);
        pCtx->pStockMd = EVP_MD_CTX_new();
        return pCtx->pStockMd &&
               (op == SM_SIG_OP::Sign ? EVP_DigestSignInit_ex(pCtx->pStockMd, nullptr, pszMd, pCtx->pLibCtx,
                                                              SM_STOCK_QUERY, pCtx->pKey->pStock, rgParams)
                                      : EVP_DigestVerifyInit_ex(pCtx->pStockMd, nullptr, pszMd, pCtx->pLibCtx,
                                                                SM_STOCK_QUERY, pCtx->pKey->pStock, rgParams)) == 1;
    }
    if (pszMd && *pszMd && OPENSSL_strcasecmp(pszMd, "SM3") != 0)
        return 0;
    if (!Init(pv, nullptr, rgParams, op))
        return 0;
    SM3_Init(&pCtx->sm3);
    const unsigned char *pbId = pCtx->bIdSet ? pCtx->pbId : SM2_DEFAULT_USER_ID;
    size_t cbId = pCtx->bIdSet ? pCtx->cbId : sizeof(SM2_DEFAULT_USER_ID);
    if (!pCtx->bIdSet && pCtx->pKey->nNid != SmNidSm2Curve())
        return 1;  // the test curve signs its content without Z unless a user ID is given
    unsigned char rgbZ[SM3_DIGEST_LENGTH];
    BIGNUM *pbnA = BN_new(), *pbnB = BN_new(), *pbnXG = BN_new(), *pbnYG = BN_new();
    bool bOk = pbnYG && EC_GROUP_get_curve(pCtx->pKey->pGroup, nullptr, pbnA, pbnB, nullptr) &&
               EC_POINT_get_affine_coordinates(pCtx->pKey->pGroup, EC_GROUP_get0_generator(pCtx->pKey->pGroup),
                                               pbnXG, pbnYG, nullptr) &&
               SM2_compute_z_id(pbId, cbId, pbnA, pbnB, pbnXG, pbnYG, pCtx->pKey->pbnX, pCtx->pKey->pbnY, rgbZ);
    BN_free(pbnA);
    BN_free(pbnB);
    BN_free(pbnXG);
    BN_free(pbnYG);
    if (!bOk)
        return 0;
    SM3_Update(&pCtx->sm3, rgbZ, sizeof(rgbZ));
    return 1;
}

int DigestSignInit(void *pv, const char *pszMd, void *pvKey, const OSSL_PARAM rgParams[])
{
    return DigestInit(pv, pszMd, pvKey, rgParams, SM_SIG_OP::Sign);
}

int DigestVerifyInit(void *pv, const char *pszMd, void *pvKey, const OSSL_PARAM rgParams[])
{
    return DigestInit(pv, pszMd, pvKey, rgParams, SM_SIG_OP::Verify);
}

int DigestSignUpdate(void *pv, const unsigned char *pb, size_t cb)
{
    SM2_SIG_CTX *pCtx = static_cast<SM2_SIG_CTX *>(pv);
    if (pCtx->pStockMd)
        return EVP_DigestSignUpdate(pCtx->pStockMd, pb, cb);
    return SM3_Update(&pCtx->sm3, pb, cb);
}

int DigestVerifyUpdate(void *pv, const unsigned char *pb, size_t cb)
{
    SM2_SIG_CTX *pCtx = static_cast<SM2_SIG_CTX *>(pv);
    if (pCtx->pStockMd)
        return EVP_DigestVerifyUpdate(pCtx->pStockMd, pb, cb);
    return SM3_Update(&pCtx->sm3, pb, cb);
}

int DigestSignFinal(void *pv, unsigned char *pbSig, size_t *pcbSig, size_t cbSigSize)
{
    SM2_SIG_CTX *pCtx = static_cast<SM2_SIG_CTX *>(pv);
    if (pCtx->pStockMd)
    {
        size_t cb = pbSig ? cbSigSize : 0;
        if (EVP_DigestSignFinal(pCtx->pStockMd, pbSig, &cb) != 1)
            return 0;
        *pcbSig = cb;
        return 1;
    }
    if (!pbSig)
        return Sign(pv, nullptr, pcbSig, 0, nullptr, 0);
    unsigned char rgbE[SM3_DIGEST_LENGTH];
    SM3_Final(rgbE, &static_cast<SM2_SIG_CTX *>(pv)->sm3);
    return Sign(pv, pbSig, pcbSig, cbSigSize, rgbE, sizeof(rgbE));
}

int DigestVerifyFinal(void *pv, const unsigned char *pbSig, size_t cbSig)
{
    SM2_SIG_CTX *pCtx = static_cast<SM2_SIG_CTX *>(pv);
    if (pCtx->pStockMd)
        return EVP_DigestVerifyFinal(pCtx->pStockMd, pbSig, cbSig);
    unsigned char rgbE[SM3_DIGEST_LENGTH];
    SM3_Final(rgbE, &static_cast<SM2_SIG_CTX *>(pv)->sm3);
    return Verify(pv, pbSig, cbSig, rgbE, sizeof(rgbE));
}

} // namespace

const OSSL_DISPATCH g_rgSm2SignatureFunctions[] = {
    SmFn(OSSL_FUNC_SIGNATURE_NEWCTX, NewCtx),
    SmFn(OSSL_FUNC_SIGNATURE_FREECTX, FreeCtx),
    SmFn(OSSL_FUNC_SIGNATURE_DUPCTX, DupCtx),
    SmFn(OSSL_FUNC_SIGNATURE_SIGN_INIT, SignInit),
    SmFn(OSSL_FUNC_SIGNATURE_SIGN, Sign),
    SmFn(OSSL_FUNC_SIGNATURE_VERIFY_INIT, VerifyInit),
    SmFn(OSSL_FUNC_SIGNATURE_VERIFY, Verify),
    SmFn(OSSL_FUNC_SIGNATURE_DIGEST_SIGN_INIT, DigestSignInit),
    SmFn(OSSL_FUNC_SIGNATURE_DIGEST_SIGN_UPDATE, DigestSignUpdate),
    SmFn(OSSL_FUNC_SIGNATURE_DIGEST_SIGN_FINAL, DigestSignFinal),
    SmFn(OSSL_FUNC_SIGNATURE_DIGEST_VERIFY_INIT, DigestVerifyInit),
    SmFn(OSSL_FUNC_SIGNATURE_DIGEST_VERIFY_UPDATE, DigestVerifyUpdate),
    SmFn(OSSL_FUNC_SIGNATURE_DIGEST_VERIFY_FINAL, DigestVerifyFinal),
    SmFn(OSSL_FUNC_SIGNATURE_GET_CTX_PARAMS, GetCtxParams),
    SmFn(OSSL_FUNC_SIGNATURE_GETTABLE_CTX_PARAMS, GettableCtxParams),
    SmFn(OSSL_FUNC_SIGNATURE_SET_CTX_PARAMS, SetCtxParams),
    SmFn(OSSL_FUNC_SIGNATURE_SETTABLE_CTX_PARAMS, SettableCtxParams),
    {0, nullptr},
};
