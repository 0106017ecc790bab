#include "CryptoLibrary.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>

#include "smcrypto/smalgorithms.h"

void RegisterCryptoLibraryAlgorithms()
{
    OPENSSL_add_all_algorithms_noconf();
    // The SM digests and ciphers join the library's tables in the same blanket registration.
    SmRegisterAllAlgorithms();
}

void ReleaseCryptoLibraryTables()
{
    CRYPTO_cleanup_all_ex_data();
    ERR_free_strings();
    EVP_cleanup();
    SmReleaseAllAlgorithms();
}
