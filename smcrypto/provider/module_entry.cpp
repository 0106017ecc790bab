// Entry point when the provider is loaded as a module file.
#include "provider.h"

extern "C" __attribute__((visibility("default"))) int OSSL_provider_init(const OSSL_CORE_HANDLE *pHandle,
                                                                         const OSSL_DISPATCH *pIn,
                                                                         const OSSL_DISPATCH **ppOut,
                                                                         void **ppProvCtx)
{
    return SmProviderInit(pHandle, pIn, ppOut, ppProvCtx);
}
