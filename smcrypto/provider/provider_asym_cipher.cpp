// SM2 encryption and decryption for EC keys on the SM2 curves, ciphertexts in SM2Cipher DER form.
#include "dispatch.h"
#include "ec_keydata.h"
#include "provider.h"

#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/params.h>

#include "smcrypto/sm2.h"
#include "smcrypto/sm2_cipher_der.h"

namespace
{

struct SM2_CIPHER_CTX
{
    SM_EC_KEYDATA *pKey;
};

void *NewCtx(void *)
{
    return OPENSSL_zalloc(sizeof(SM2_CIPHER_CTX));
}

void FreeCtx(void *pv)
{
    OPENSSL_free(pv);
}

void *DupCtx(void *pv)
{
    return OPENSSL_memdup(pv, sizeof(SM2_CIPHER_CTX));
}

int Init(void *pv, void *pvKey, const OSSL_PARAM[])
{
    SM2_CIPHER_CTX *pCtx = static_cast<SM2_CIPHER_CTX *>(pv);
    pCtx->pKey = static_cast<SM_EC_KEYDATA *>(pvKey);
    if (!SmIsSm2Key(pCtx->pKey))
    {
        ERR_raise(ERR_LIB_EC, EC_R_INVALID_CURVE);
        return 0;
    }
    return 1;
}

int Encrypt(void *pv, unsigned char *pbOut, size_t *pcbOut, size_t cbOutSize, const unsigned char *pbIn, size_t cbIn)
{
    SM2_CIPHER_CTX *pCtx = static_cast<SM2_CIPHER_CTX *>(pv);
    if (!pbOut)
    {
        *pcbOut = SmSm2CipherDerMaxSize(cbIn);
        return 1;
    }
    if (!pCtx->pKey->pPublic)
        return 0;
    size_t cbRaw = cbIn + SM2_CIPHER_OVERHEAD;
    unsigned char *pbRaw = static_cast<unsigned char *>(OPENSSL_malloc(cbRaw));
    int nResult = pbRaw && SM2_do_encrypt(pCtx->pKey->nNid, pbIn, cbIn, pCtx->pKey->pbnX, pCtx->pKey->pbnY, pbRaw);
    if (nResult)
    {
        *pcbOut = cbOutSize;
        nResult = SmSm2CipherRawToDer(pbRaw, cbRaw, pbOut, pcbOut);
    }
    OPENSSL_free(pbRaw);
    return nResult;
}

int Decrypt(void *pv, unsigned char *pbOut, size_t *pcbOut, size_t cbOutSize, const unsigned char *pbIn, size_t cbIn)
{
    SM2_CIPHER_CTX *pCtx = static_cast<SM2_CIPHER_CTX *>(pv);
    size_t cbRaw = 0;
    if (!SmSm2CipherDerToRaw(pbIn, cbIn, nullptr, &cbRaw))
        return 0;
    size_t cbMsg = cbRaw - SM2_CIPHER_OVERHEAD;
    if (!pbOut)
    {
        *pcbOut = cbMsg;
        return 1;
    }
    if (!pCtx->pKey->pbnD || cbOutSize < cbMsg)
        return 0;
    unsigned char *pbRaw = static_cast<unsigned char *>(OPENSSL_malloc(cbRaw));
    int nResult = pbRaw && SmSm2CipherDerToRaw(pbIn, cbIn, pbRaw, &cbRaw) &&
                  SM2_do_decrypt(pCtx->pKey->nNid, pbRaw, cbRaw, pCtx->pKey->pbnD, pbOut);
    OPENSSL_free(pbRaw);
    if (nResult)
        *pcbOut = cbMsg;
    return nResult;
}

const OSSL_PARAM c_rgNone[] = {OSSL_PARAM_END};

const OSSL_PARAM *NoParams(void *, void *)
{
    return c_rgNone;
}

int GetCtxParams(void *, OSSL_PARAM[])
{
    return 1;
}

int SetCtxParams(void *, const OSSL_PARAM[])
{
    return 1;
}

} // namespace

const OSSL_DISPATCH g_rgSm2AsymCipherFunctions[] = {
    SmFn(OSSL_FUNC_ASYM_CIPHER_NEWCTX, NewCtx),
    SmFn(OSSL_FUNC_ASYM_CIPHER_FREECTX, FreeCtx),
    SmFn(OSSL_FUNC_ASYM_CIPHER_DUPCTX, DupCtx),
    SmFn(OSSL_FUNC_ASYM_CIPHER_ENCRYPT_INIT, Init),
    SmFn(OSSL_FUNC_ASYM_CIPHER_ENCRYPT, Encrypt),
    SmFn(OSSL_FUNC_ASYM_CIPHER_DECRYPT_INIT, Init),
    SmFn(OSSL_FUNC_ASYM_CIPHER_DECRYPT, Decrypt),
    SmFn(OSSL_FUNC_ASYM_CIPHER_GET_CTX_PARAMS, GetCtxParams),
    SmFn(OSSL_FUNC_ASYM_CIPHER_GETTABLE_CTX_PARAMS, NoParams),
    SmFn(OSSL_FUNC_ASYM_CIPHER_SET_CTX_PARAMS, SetCtxParams),
    SmFn(OSSL_FUNC_ASYM_CIPHER_SETTABLE_CTX_PARAMS, NoParams),
    {0, nullptr},
};
