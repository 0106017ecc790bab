// Provider entry: what each operation offers, and the provider's own parameters.
#include "provider.h"

#include <openssl/core_names.h>
#include <openssl/params.h>

#include <new>

#include "smcrypto/objects.h"

namespace
{

const OSSL_ALGORITHM c_rgDigests[] = {
    {"SM3:tls1-sm3:1.2.156.10197.1.401", SM_PROVIDER_PROPERTIES, g_rgSm3Functions, "SM3 hash"},
    {nullptr, nullptr, nullptr, nullptr},
};

const OSSL_ALGORITHM c_rgCiphers[] = {
    {"SM4-CBC:1.2.156.10197.1.104", SM_PROVIDER_PROPERTIES, g_rgSm4CbcFunctions, "SM4 in CBC mode"},
    {"zuc:1.2.156.10197.1.105", SM_PROVIDER_PROPERTIES, g_rgZucFunctions, "ZUC-128 stream cipher"},
    {nullptr, nullptr, nullptr, nullptr},
};

// EC keys of the library are taken over by this key management when an SM operation asks for them;
// keys on other curves it holds through the library's own EC key management, so a program that
// loads this provider first still generates, encodes and signs them as the library does.
const OSSL_ALGORITHM c_rgKeyManagement[] = {
    {"EC:id-ecPublicKey:1.2.840.10045.2.1", SM_PROVIDER_PROPERTIES, g_rgEcKeyManagementFunctions, "EC keys"},
    {"SM2:1.2.156.10197.1.301", SM_PROVIDER_PROPERTIES, g_rgSm2KeyManagementFunctions, "SM2 keys"},
    {nullptr, nullptr, nullptr, nullptr},
};

// "ECDSA" is what the library asks for on an EC key, "SM2" on its SM2 key type. Keys on other
// curves are signed by the library's own ECDSA.
const OSSL_ALGORITHM c_rgSignatures[] = {
    {"ECDSA", SM_PROVIDER_PROPERTIES, g_rgSm2SignatureFunctions, "SM2 signature on the SM2 curves"},
    {"SM2:1.2.156.10197.1.301", SM_PROVIDER_PROPERTIES, g_rgSm2SignatureFunctions, "SM2 signature"},
    {nullptr, nullptr, nullptr, nullptr},
};

const OSSL_ALGORITHM c_rgAsymCiphers[] = {
    {"EC:id-ecPublicKey:1.2.840.10045.2.1", SM_PROVIDER_PROPERTIES, g_rgSm2AsymCipherFunctions, "SM2 encryption"},
    {"SM2:1.2.156.10197.1.301", SM_PROVIDER_PROPERTIES, g_rgSm2AsymCipherFunctions, "SM2 encryption"},
    {nullptr, nullptr, nullptr, nullptr},
};

const OSSL_ALGORITHM *QueryOperation(void *pvProvCtx, int nOperation, int *pbNoCache)
{
    *pbNoCache = 0;
    switch (nOperation)
    {
    case OSSL_OP_DIGEST:
        return c_rgDigests;
    case OSSL_OP_CIPHER:
        return c_rgCiphers;
    case OSSL_OP_KEYMGMT:
        return c_rgKeyManagement;
    case OSSL_OP_SIGNATURE:
        return c_rgSignatures;
    case OSSL_OP_ASYM_CIPHER:
        return c_rgAsymCiphers;
    default:
        return nullptr;
    }
}

const OSSL_PARAM c_rgGettable[] = {
    OSSL_PARAM_DEFN(OSSL_PROV_PARAM_NAME, OSSL_PARAM_UTF8_PTR, nullptr, 0),
    OSSL_PARAM_DEFN(OSSL_PROV_PARAM_VERSION, OSSL_PARAM_UTF8_PTR, nullptr, 0),
    OSSL_PARAM_DEFN(OSSL_PROV_PARAM_STATUS, OSSL_PARAM_INTEGER, nullptr, 0),
    OSSL_PARAM_END,
};

const OSSL_PARAM *GettableParams(void *)
{
    return c_rgGettable;
}

int GetParams(void *, OSSL_PARAM rgParams[])
{
    OSSL_PARAM *p = OSSL_PARAM_locate(rgParams, OSSL_PROV_PARAM_NAME);
    if (p && !OSSL_PARAM_set_utf8_ptr(p, "Quillmark SM algorithms"))
        return 0;
    p = OSSL_PARAM_locate(rgParams, OSSL_PROV_PARAM_VERSION);
    if (p && !OSSL_PARAM_set_utf8_ptr(p, "1.0"))
        return 0;
    p = OSSL_PARAM_locate(rgParams, OSSL_PROV_PARAM_STATUS);
    if (p && !OSSL_PARAM_set_int(p, 1))
        return 0;
    return 1;
}

void Teardown(void *pvProvCtx)
{
    delete static_cast<SM_PROV_CTX *>(pvProvCtx);
}

const OSSL_DISPATCH c_rgProviderFunctions[] = {
    {OSSL_FUNC_PROVIDER_TEARDOWN, reinterpret_cast<void (*)()>(Teardown)},
    {OSSL_FUNC_PROVIDER_GETTABLE_PARAMS, reinterpret_cast<void (*)()>(GettableParams)},
    {OSSL_FUNC_PROVIDER_GET_PARAMS, reinterpret_cast<void (*)()>(GetParams)},
    {OSSL_FUNC_PROVIDER_QUERY_OPERATION, reinterpret_cast<void (*)()>(QueryOperation)},
    {0, nullptr},
};

} // namespace

int SmProviderInit(const OSSL_CORE_HANDLE *pHandle, const OSSL_DISPATCH *pIn, const OSSL_DISPATCH **ppOut,
                   void **ppProvCtx)
{
    // The object identifiers must exist before any algorithm is looked up by them.
    SmObjectIds();
    // The module shares the application's crypto library, so the core's context is the
    // library context itself, as for the library's own providers.
    OSSL_FUNC_core_get_libctx_fn *pfnGetLibCtx = nullptr;
    for (; pIn && pIn->function_id != 0; ++pIn)
        if (pIn->function_id == OSSL_FUNC_CORE_GET_LIBCTX)
            pfnGetLibCtx = OSSL_FUNC_core_get_libctx(pIn);
    SM_PROV_CTX *pCtx = new (std::nothrow) SM_PROV_CTX{pHandle, nullptr};
    if (!pCtx)
        return 0;
    if (pfnGetLibCtx)
        pCtx->pLibCtx = reinterpret_cast<OSSL_LIB_CTX *>(pfnGetLibCtx(pHandle));
    *ppOut = c_rgProviderFunctions;
    *ppProvCtx = pCtx;
    return 1;
}
