// The crypto-library provider of the SM algorithms: algorithm tables of each operation.
#pragma once
#include <openssl/core.h>
#include <openssl/core_dispatch.h>

constexpr const char *SM_PROVIDER_PROPERTIES = "provider=smcrypto";

extern const OSSL_DISPATCH g_rgSm3Functions[];
extern const OSSL_DISPATCH g_rgSm4CbcFunctions[];
extern const OSSL_DISPATCH g_rgZucFunctions[];
extern const OSSL_DISPATCH g_rgEcKeyManagementFunctions[];
extern const OSSL_DISPATCH g_rgSm2SignatureFunctions[];
extern const OSSL_DISPATCH g_rgSm2AsymCipherFunctions[];

// The provider's entry point, for the built-in registration and for the module.
int SmProviderInit(const OSSL_CORE_HANDLE *pHandle, const OSSL_DISPATCH *pIn, const OSSL_DISPATCH **ppOut,
                   void **ppProvCtx);
