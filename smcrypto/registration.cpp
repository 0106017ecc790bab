// Blanket registration and release of the crypto library's algorithms.
#include "smcrypto/smalgorithms.h"

#include <mutex>

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include "provider/provider.h"
#include "smcrypto/objects.h"

namespace
{

std::mutex g_Lock;
OSSL_PROVIDER *g_pProvider = nullptr;
OSSL_PROVIDER *g_pDefault = nullptr;
std::once_flag g_Builtin;

} // namespace

void SmRegisterAllAlgorithms()
{
    std::lock_guard<std::mutex> guard(g_Lock);
    OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS,
                        nullptr);
    SmObjectIds();
    std::call_once(g_Builtin, [] { OSSL_PROVIDER_add_builtin(nullptr, SM_PROVIDER_NAME, SmProviderInit); });
    if (!g_pProvider)
    {
        // Keep the library's default provider: loading one provider by hand would switch it off.
        g_pDefault = OSSL_PROVIDER_try_load(nullptr, "default", 1);
        g_pProvider = OSSL_PROVIDER_try_load(nullptr, SM_PROVIDER_NAME, 1);
    }
    ERR_clear_error();  // registration reports nothing
}

void SmReleaseAllAlgorithms()
{
    std::lock_guard<std::mutex> guard(g_Lock);
    if (g_pProvider)
        OSSL_PROVIDER_unload(g_pProvider);
    if (g_pDefault)
        OSSL_PROVIDER_unload(g_pDefault);
    g_pProvider = g_pDefault = nullptr;
    ERR_clear_error();
}

bool SmAlgorithmsRegistered()
{
    std::lock_guard<std::mutex> guard(g_Lock);
    return g_pProvider != nullptr;
}
