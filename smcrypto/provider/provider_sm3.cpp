// The "sm3" digest.
#include "dispatch.h"
#include "provider.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/params.h>

#include "smcrypto/sm3.h"

namespace
{

void *NewCtx(void *)
{
    return OPENSSL_zalloc(sizeof(SM3_CTX));
}

void FreeCtx(void *pv)
{
    OPENSSL_clear_free(pv, sizeof(SM3_CTX));
}

void *DupCtx(void *pv)
{
    void *pNew = OPENSSL_malloc(sizeof(SM3_CTX));
    if (pNew)
        *static_cast<SM3_CTX *>(pNew) = *static_cast<SM3_CTX *>(pv);
    return pNew;
}

int Init(void *pv, const OSSL_PARAM[])
{
    return SM3_Init(static_cast<SM3_CTX *>(pv));
}

int Update(void *pv, const unsigned char *pb, size_t cb)
{
    return SM3_Update(static_cast<SM3_CTX *>(pv), pb, cb);
}

int Final(void *pv, unsigned char *pbOut, size_t *pcbOut, size_t cbOutSize)
{
    if (cbOutSize < SM3_DIGEST_LENGTH)
        return 0;
    SM3_Final(pbOut, static_cast<SM3_CTX *>(pv));
    *pcbOut = SM3_DIGEST_LENGTH;
    return 1;
}

const OSSL_PARAM c_rgGettable[] = {
    OSSL_PARAM_size_t(OSSL_DIGEST_PARAM_BLOCK_SIZE, nullptr),
    OSSL_PARAM_size_t(OSSL_DIGEST_PARAM_SIZE, nullptr),
    OSSL_PARAM_int(OSSL_DIGEST_PARAM_XOF, nullptr),
    OSSL_PARAM_int(OSSL_DIGEST_PARAM_ALGID_ABSENT, nullptr),
    OSSL_PARAM_END,
};

const OSSL_PARAM *GettableParams(void *)
{
    return c_rgGettable;
}

int GetParams(OSSL_PARAM rgParams[])
{
    OSSL_PARAM *p;
    if ((p = OSSL_PARAM_locate(rgParams, OSSL_DIGEST_PARAM_BLOCK_SIZE)) && !OSSL_PARAM_set_size_t(p, SM3_CBLOCK))
        return 0;
    if ((p = OSSL_PARAM_locate(rgParams, OSSL_DIGEST_PARAM_SIZE)) && !OSSL_PARAM_set_size_t(p, SM3_DIGEST_LENGTH))
        return 0;
    if ((p = OSSL_PARAM_locate(rgParams, OSSL_DIGEST_PARAM_XOF)) && !OSSL_PARAM_set_int(p, 0))
        return 0;
    if ((p = OSSL_PARAM_locate(rgParams, OSSL_DIGEST_PARAM_ALGID_ABSENT)) && !OSSL_PARAM_set_int(p, 0))
        return 0;
    return 1;
}

} // namespace

const OSSL_DISPATCH g_rgSm3Functions[] = {
    SmFn(OSSL_FUNC_DIGEST_NEWCTX, NewCtx),
    SmFn(OSSL_FUNC_DIGEST_FREECTX, FreeCtx),
    SmFn(OSSL_FUNC_DIGEST_DUPCTX, DupCtx),
    SmFn(OSSL_FUNC_DIGEST_INIT, Init),
    SmFn(OSSL_FUNC_DIGEST_UPDATE, Update),
    SmFn(OSSL_FUNC_DIGEST_FINAL, Final),
    SmFn(OSSL_FUNC_DIGEST_GET_PARAMS, GetParams),
    SmFn(OSSL_FUNC_DIGEST_GETTABLE_PARAMS, GettableParams),
    {0, nullptr},
};
