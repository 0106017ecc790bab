// The "sm4-cbc" cipher. The block cipher handles whole blocks only; this layer buffers the
// rest and adds and removes the PKCS#7 padding, as the cipher layer of the library does.
#include "cipher_params.h"
#include "dispatch.h"
#include "provider.h"

#include <cstring>

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include "smcrypto/sm4.h"

namespace
{

constexpr CIPHER_SHAPE c_Shape{EVP_CIPH_CBC_MODE, SM4_KEY_LENGTH, SM4_BLOCK_SIZE, SM4_BLOCK_SIZE};

struct SM4_CBC_CTX
{
    SM4_KEY key;
    unsigned char rgbIv[SM4_BLOCK_SIZE];
    unsigned char rgbBuffer[SM4_BLOCK_SIZE];
    size_t cbBuffer;
    bool bEncrypt, bKeySet, bIvSet;
    int bPadding;
};

void *NewCtx(void *)
{
    SM4_CBC_CTX *pCtx = static_cast<SM4_CBC_CTX *>(OPENSSL_zalloc(sizeof(SM4_CBC_CTX)));
    if (pCtx)
        pCtx->bPadding = 1;
    return pCtx;
}

void FreeCtx(void *pv)
{
    OPENSSL_clear_free(pv, sizeof(SM4_CBC_CTX));
}

void *DupCtx(void *pv)
{
    void *pNew = OPENSSL_malloc(sizeof(SM4_CBC_CTX));
    if (pNew)
        std::memcpy(pNew, pv, sizeof(SM4_CBC_CTX));
    return pNew;
}

int SetCtxParams(void *pv, const OSSL_PARAM rgParams[])
{
    const OSSL_PARAM *p = OSSL_PARAM_locate_const(rgParams, OSSL_CIPHER_PARAM_PADDING);
    unsigned int nPadding = 0;
    if (p)
    {
        if (!OSSL_PARAM_get_uint(p, &nPadding))
            return 0;
        static_cast<SM4_CBC_CTX *>(pv)->bPadding = nPadding != 0;
    }
    return 1;
}

int Init(void *pv, const unsigned char *pbKey, size_t cbKey, const unsigned char *pbIv, size_t cbIv,
         const OSSL_PARAM rgParams[], bool bEncrypt)
{
    SM4_CBC_CTX *pCtx = static_cast<SM4_CBC_CTX *>(pv);
    pCtx->bEncrypt = bEncrypt;
    pCtx->cbBuffer = 0;
    if (pbKey)
    {
        if (cbKey != SM4_KEY_LENGTH)
        {
            ERR_raise(ERR_LIB_PROV, 0);
            return 0;
        }
        SM4_set_key(pbKey, bEncrypt, &pCtx->key);
        pCtx->bKeySet = true;
    }
    if (pbIv)
    {
        if (cbIv != SM4_BLOCK_SIZE)
            return 0;
        std::memcpy(pCtx->rgbIv, pbIv, SM4_BLOCK_SIZE);
        pCtx->bIvSet = true;
    }
    return SetCtxParams(pv, rgParams);
}

int EncryptInit(void *pv, const unsigned char *pbKey, size_t cbKey, const unsigned char *pbIv, size_t cbIv,
                const OSSL_PARAM rgParams[])
{
    return Init(pv, pbKey, cbKey, pbIv, cbIv, rgParams, true);
}

int DecryptInit(void *pv, const unsigned char *pbKey, size_t cbKey, const unsigned char *pbIv, size_t cbIv,
                const OSSL_PARAM rgParams[])
{
    return Init(pv, pbKey, cbKey, pbIv, cbIv, rgParams, false);
}

size_t Blocks(SM4_CBC_CTX *pCtx, const unsigned char *pbIn, unsigned char *pbOut, size_t cb)
{
    return SM4_cbc_encrypt(pbIn, pbOut, cb, &pCtx->key, pCtx->rgbIv, pCtx->bEncrypt);
}

int Update(void *pv, unsigned char *pbOut, size_t *pcbOut, size_t cbOutSize, const unsigned char *pbIn, size_t cbIn)
{
    SM4_CBC_CTX *pCtx = static_cast<SM4_CBC_CTX *>(pv);
    if (!pCtx->bKeySet || !pCtx->bIvSet)
        return 0;
    size_t cbTotal = pCtx->cbBuffer + cbIn;
    size_t cbHold = cbTotal % SM4_BLOCK_SIZE;
    // Decryption with padding keeps the last whole block back: it may be the padding.
    if (!pCtx->bEncrypt && pCtx->bPadding && cbHold == 0 && cbTotal)
        cbHold = SM4_BLOCK_SIZE;
    size_t cbProduce = cbTotal - cbHold;
    if (cbOutSize < cbProduce)
        return 0;
    *pcbOut = cbProduce;
    if (cbProduce && pCtx->cbBuffer)
    {
        size_t cbTake = SM4_BLOCK_SIZE - pCtx->cbBuffer;
        std::memcpy(pCtx->rgbBuffer + pCtx->cbBuffer, pbIn, cbTake);
        Blocks(pCtx, pCtx->rgbBuffer, pbOut, SM4_BLOCK_SIZE);
        pbIn += cbTake;
        cbIn -= cbTake;
        pbOut += SM4_BLOCK_SIZE;
        cbProduce -= SM4_BLOCK_SIZE;
        pCtx->cbBuffer = 0;
    }
    Blocks(pCtx, pbIn, pbOut, cbProduce);
    pbIn += cbProduce;
    cbIn -= cbProduce;
    if (cbIn)  // an empty update may come without a buffer
        std::memcpy(pCtx->rgbBuffer + pCtx->cbBuffer, pbIn, cbIn);
    pCtx->cbBuffer += cbIn;
    return 1;
}

int Final(void *pv, unsigned char *pbOut, size_t *pcbOut, size_t cbOutSize)
{
    SM4_CBC_CTX *pCtx = static_cast<SM4_CBC_CTX *>(pv);
    *pcbOut = 0;
    if (!pCtx->bPadding)
        return pCtx->cbBuffer == 0;
    if (pCtx->bEncrypt)
    {
        if (cbOutSize < SM4_BLOCK_SIZE)
            return 0;
        unsigned char bPad = uint8_t(SM4_BLOCK_SIZE - pCtx->cbBuffer);
        std::memset(pCtx->rgbBuffer + pCtx->cbBuffer, bPad, bPad);
        Blocks(pCtx, pCtx->rgbBuffer, pbOut, SM4_BLOCK_SIZE);
        pCtx->cbBuffer = 0;
        *pcbOut = SM4_BLOCK_SIZE;
        return 1;
    }
    if (pCtx->cbBuffer != SM4_BLOCK_SIZE)
    {
        ERR_raise(ERR_LIB_PROV, 0);
        return 0;
    }
    unsigned char rgbPlain[SM4_BLOCK_SIZE];
    Blocks(pCtx, pCtx->rgbBuffer, rgbPlain, SM4_BLOCK_SIZE);
    pCtx->cbBuffer = 0;
    unsigned char bPad = rgbPlain[SM4_BLOCK_SIZE - 1];
    bool bGood = bPad >= 1 && bPad <= SM4_BLOCK_SIZE;
    for (size_t i = 0; bGood && i < bPad; ++i)
        bGood = rgbPlain[SM4_BLOCK_SIZE - 1 - i] == bPad;
    if (!bGood || cbOutSize < size_t(SM4_BLOCK_SIZE - bPad))
    {
        OPENSSL_cleanse(rgbPlain, sizeof(rgbPlain));
        return 0;
    }
    std::memcpy(pbOut, rgbPlain, SM4_BLOCK_SIZE - bPad);
    *pcbOut = SM4_BLOCK_SIZE - bPad;
    OPENSSL_cleanse(rgbPlain, sizeof(rgbPlain));
    return 1;
}

int GetParams(OSSL_PARAM rgParams[])
{
    return SmCipherGetParams(rgParams, c_Shape);
}

int GetCtxParams(void *pv, OSSL_PARAM rgParams[])
{
    SM4_CBC_CTX *pCtx = static_cast<SM4_CBC_CTX *>(pv);
    return SmCipherGetCtxParams(rgParams, c_Shape, pCtx->bPadding, pCtx->rgbIv);
}

} // namespace

const OSSL_DISPATCH g_rgSm4CbcFunctions[] = {
    SmFn(OSSL_FUNC_CIPHER_NEWCTX, NewCtx),
    SmFn(OSSL_FUNC_CIPHER_FREECTX, FreeCtx),
    SmFn(OSSL_FUNC_CIPHER_DUPCTX, DupCtx),
    SmFn(OSSL_FUNC_CIPHER_ENCRYPT_INIT, EncryptInit),
    SmFn(OSSL_FUNC_CIPHER_DECRYPT_INIT, DecryptInit),
    SmFn(OSSL_FUNC_CIPHER_UPDATE, Update),
    SmFn(OSSL_FUNC_CIPHER_FINAL, Final),
    SmFn(OSSL_FUNC_CIPHER_GET_PARAMS, GetParams),
    SmFn(OSSL_FUNC_CIPHER_GET_CTX_PARAMS, GetCtxParams),
    SmFn(OSSL_FUNC_CIPHER_SET_CTX_PARAMS, SetCtxParams),
    SmFn(OSSL_FUNC_CIPHER_GETTABLE_PARAMS, SmCipherGettableParams),
    SmFn(OSSL_FUNC_CIPHER_GETTABLE_CTX_PARAMS, SmCipherGettableCtxParams),
    SmFn(OSSL_FUNC_CIPHER_SETTABLE_CTX_PARAMS, SmCipherSettableCtxParams),
    {0, nullptr},
};
