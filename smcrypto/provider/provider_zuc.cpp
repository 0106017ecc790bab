// The "zuc" stream cipher: every update call starts a new keystream word.
#include "cipher_params.h"
#include "dispatch.h"
#include "provider.h"

#include <cstring>

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include "smcrypto/zuc.h"

namespace
{

constexpr CIPHER_SHAPE c_Shape{EVP_CIPH_STREAM_CIPHER, ZUC_KEY_LENGTH, ZUC_IV_LENGTH, 1};

struct ZUC_PROV_CTX
{
    ZUC_CTX zuc;
    unsigned char rgbKey[ZUC_KEY_LENGTH];
    unsigned char rgbIv[ZUC_IV_LENGTH];
    bool bKeySet, bIvSet, bReady;
};

void *NewCtx(void *)
{
    return OPENSSL_zalloc(sizeof(ZUC_PROV_CTX));
}

void FreeCtx(void *pv)
{
    OPENSSL_clear_free(pv, sizeof(ZUC_PROV_CTX));
}

void *DupCtx(void *pv)
{
    void *pNew = OPENSSL_malloc(sizeof(ZUC_PROV_CTX));
    if (pNew)
        std::memcpy(pNew, pv, sizeof(ZUC_PROV_CTX));
    return pNew;
}

// Key and IV may arrive in separate calls; the generator starts when both are known.
int Init(void *pv, const unsigned char *pbKey, size_t cbKey, const unsigned char *pbIv, size_t cbIv,
         const OSSL_PARAM[])
{
    ZUC_PROV_CTX *pCtx = static_cast<ZUC_PROV_CTX *>(pv);
    if (pbKey)
    {
        if (cbKey != ZUC_KEY_LENGTH)
            return 0;
        std::memcpy(pCtx->rgbKey, pbKey, ZUC_KEY_LENGTH);
        pCtx->bKeySet = true;
    }
    if (pbIv)
    {
        if (cbIv != ZUC_IV_LENGTH)
            return 0;
        std::memcpy(pCtx->rgbIv, pbIv, ZUC_IV_LENGTH);
        pCtx->bIvSet = true;
    }
    pCtx->bReady = pCtx->bKeySet && pCtx->bIvSet;
    if (pCtx->bReady)
        ZUC_init(&pCtx->zuc, pCtx->rgbKey, pCtx->rgbIv);
    return 1;
}

int Update(void *pv, unsigned char *pbOut, size_t *pcbOut, size_t cbOutSize, const unsigned char *pbIn, size_t cbIn)
{
    ZUC_PROV_CTX *pCtx = static_cast<ZUC_PROV_CTX *>(pv);
    if (!pCtx->bReady || cbOutSize < cbIn)
        return 0;
    ZUC_crypt(&pCtx->zuc, pbIn, pbOut, cbIn);
    *pcbOut = cbIn;
    return 1;
}

int Final(void *, unsigned char *, size_t *pcbOut, size_t)
{
    *pcbOut = 0;
    return 1;
}

int Cipher(void *pv, unsigned char *pbOut, size_t *pcbOut, size_t cbOutSize, const unsigned char *pbIn, size_t cbIn)
{
    return Update(pv, pbOut, pcbOut, cbOutSize, pbIn, cbIn);
}

int GetParams(OSSL_PARAM rgParams[])
{
    return SmCipherGetParams(rgParams, c_Shape);
}

int GetCtxParams(void *pv, OSSL_PARAM rgParams[])
{
    return SmCipherGetCtxParams(rgParams, c_Shape, 0, static_cast<ZUC_PROV_CTX *>(pv)->rgbIv);
}

int SetCtxParams(void *, const OSSL_PARAM[])
{
    return 1;
}

} // namespace

const OSSL_DISPATCH g_rgZucFunctions[] = {
    SmFn(OSSL_FUNC_CIPHER_NEWCTX, NewCtx),
    SmFn(OSSL_FUNC_CIPHER_FREECTX, FreeCtx),
    SmFn(OSSL_FUNC_CIPHER_DUPCTX, DupCtx),
    SmFn(OSSL_FUNC_CIPHER_ENCRYPT_INIT, Init),
    SmFn(OSSL_FUNC_CIPHER_DECRYPT_INIT, Init),
    SmFn(OSSL_FUNC_CIPHER_UPDATE, Update),
    SmFn(OSSL_FUNC_CIPHER_FINAL, Final),
    SmFn(OSSL_FUNC_CIPHER_CIPHER, Cipher),
    SmFn(OSSL_FUNC_CIPHER_GET_PARAMS, GetParams),
    SmFn(OSSL_FUNC_CIPHER_GET_CTX_PARAMS, GetCtxParams),
    SmFn(OSSL_FUNC_CIPHER_SET_CTX_PARAMS, SetCtxParams),
    SmFn(OSSL_FUNC_CIPHER_GETTABLE_PARAMS, SmCipherGettableParams),
    SmFn(OSSL_FUNC_CIPHER_GETTABLE_CTX_PARAMS, SmCipherGettableCtxParams),
    SmFn(OSSL_FUNC_CIPHER_SETTABLE_CTX_PARAMS, SmCipherSettableCtxParams),
    {0, nullptr},
};
