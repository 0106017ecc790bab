#include "cipher_params.h"

#include <initializer_list>

#include <openssl/core_names.h>
#include <openssl/params.h>

namespace
{

const OSSL_PARAM c_rgGettable[] = {
    OSSL_PARAM_uint(OSSL_CIPHER_PARAM_MODE, nullptr),
    OSSL_PARAM_size_t(OSSL_CIPHER_PARAM_KEYLEN, nullptr),
    OSSL_PARAM_size_t(OSSL_CIPHER_PARAM_IVLEN, nullptr),
    OSSL_PARAM_size_t(OSSL_CIPHER_PARAM_BLOCK_SIZE, nullptr),
    OSSL_PARAM_int(OSSL_CIPHER_PARAM_AEAD, nullptr),
    OSSL_PARAM_int(OSSL_CIPHER_PARAM_CUSTOM_IV, nullptr),
    OSSL_PARAM_int(OSSL_CIPHER_PARAM_CTS, nullptr),
    OSSL_PARAM_int(OSSL_CIPHER_PARAM_TLS1_MULTIBLOCK, nullptr),
    OSSL_PARAM_int(OSSL_CIPHER_PARAM_HAS_RAND_KEY, nullptr),
    OSSL_PARAM_END,
};

const OSSL_PARAM c_rgGettableCtx[] = {
    OSSL_PARAM_size_t(OSSL_CIPHER_PARAM_KEYLEN, nullptr),
    OSSL_PARAM_size_t(OSSL_CIPHER_PARAM_IVLEN, nullptr),
    OSSL_PARAM_uint(OSSL_CIPHER_PARAM_PADDING, nullptr),
    OSSL_PARAM_octet_string(OSSL_CIPHER_PARAM_IV, nullptr, 0),
    OSSL_PARAM_octet_string(OSSL_CIPHER_PARAM_UPDATED_IV, nullptr, 0),
    OSSL_PARAM_END,
};

const OSSL_PARAM c_rgSettableCtx[] = {
    OSSL_PARAM_uint(OSSL_CIPHER_PARAM_PADDING, nullptr),
    OSSL_PARAM_END,
};

bool SetSize(OSSL_PARAM rgParams[], const char *pszKey, size_t n)
{
    OSSL_PARAM *p = OSSL_PARAM_locate(rgParams, pszKey);
    return !p || OSSL_PARAM_set_size_t(p, n);
}

bool SetInt(OSSL_PARAM rgParams[], const char *pszKey, int n)
{
    OSSL_PARAM *p = OSSL_PARAM_locate(rgParams, pszKey);
    return !p || OSSL_PARAM_set_int(p, n);
}

} // namespace

int SmCipherGetParams(OSSL_PARAM rgParams[], const CIPHER_SHAPE &shape)
{
    OSSL_PARAM *p = OSSL_PARAM_locate(rgParams, OSSL_CIPHER_PARAM_MODE);
    if (p && !OSSL_PARAM_set_uint(p, shape.nMode))
        return 0;
    return SetSize(rgParams, OSSL_CIPHER_PARAM_KEYLEN, shape.cbKey) &&
           SetSize(rgParams, OSSL_CIPHER_PARAM_IVLEN, shape.cbIv) &&
           SetSize(rgParams, OSSL_CIPHER_PARAM_BLOCK_SIZE, shape.cbBlock) &&
           SetInt(rgParams, OSSL_CIPHER_PARAM_AEAD, 0) && SetInt(rgParams, OSSL_CIPHER_PARAM_CUSTOM_IV, 0) &&
           SetInt(rgParams, OSSL_CIPHER_PARAM_CTS, 0) && SetInt(rgParams, OSSL_CIPHER_PARAM_TLS1_MULTIBLOCK, 0) &&
           SetInt(rgParams, OSSL_CIPHER_PARAM_HAS_RAND_KEY, 0);
}

const OSSL_PARAM *SmCipherGettableParams(void *)
{
    return c_rgGettable;
}

int SmCipherGetCtxParams(OSSL_PARAM rgParams[], const CIPHER_SHAPE &shape, int bPadding, const unsigned char *pbIv)
{
    if (!SetSize(rgParams, OSSL_CIPHER_PARAM_KEYLEN, shape.cbKey) ||
        !SetSize(rgParams, OSSL_CIPHER_PARAM_IVLEN, shape.cbIv))
        return 0;
    OSSL_PARAM *p = OSSL_PARAM_locate(rgParams, OSSL_CIPHER_PARAM_PADDING);
    if (p && !OSSL_PARAM_set_uint(p, unsigned(bPadding)))
        return 0;
    for (const char *pszKey : {OSSL_CIPHER_PARAM_IV, OSSL_CIPHER_PARAM_UPDATED_IV})
    {
        p = OSSL_PARAM_locate(rgParams, pszKey);
        if (p && (!pbIv || !OSSL_PARAM_set_octet_string(p, pbIv, shape.cbIv)))
            return 0;
    }
    return 1;
}

const OSSL_PARAM *SmCipherGettableCtxParams(void *, void *)
{
    return c_rgGettableCtx;
}

const OSSL_PARAM *SmCipherSettableCtxParams(void *, void *)
{
    return c_rgSettableCtx;
}
