// The crypto-library provider of the SM algorithms: algorithm tables of each operation.
#pragma once
#include <openssl/core.h>
#include <openssl/core_dispatch.h>
#include <openssl/types.h>

constexpr const char *SM_PROVIDER_PROPERTIES = "provider=smcrypto";
// EC keys on other curves are held and used by the library's own providers, fetched with this.
constexpr const char *SM_STOCK_QUERY = "provider!=smcrypto";

// The provider context: the library context the provider was loaded into.
struct SM_PROV_CTX
{
    const OSSL_CORE_HANDLE *pHandle;
    OSSL_LIB_CTX *pLibCtx;
};

inline OSSL_LIB_CTX *SmLibCtx(void *pvProvCtx)
{
    return pvProvCtx ? static_cast<SM_PROV_CTX *>(pvProvCtx)->pLibCtx : nullptr;
}

extern const OSSL_DISPATCH g_rgSm3Functions[];
extern const OSSL_DISPATCH g_rgSm4CbcFunctions[];
extern const OSSL_DISPATCH g_rgZucFunctions[];
extern const OSSL_DISPATCH g_rgEcKeyManagementFunctions[];
extern const OSSL_DISPATCH g_rgSm2KeyManagementFunctions[];
extern const OSSL_DISPATCH g_rgSm2SignatureFunctions[];
extern const OSSL_DISPATCH g_rgSm2AsymCipherFunctions[];

// The provider's entry point, for the built-in registration and for the module.
int SmProviderInit(const OSSL_CORE_HANDLE *pHandle, const OSSL_DISPATCH *pIn, const OSSL_DISPATCH **ppOut,
                   void **ppProvCtx);
