#include "CryptoLibrary.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>

void RegisterCryptoLibraryAlgorithms()
{
    OPENSSL_add_all_algorithms_noconf();
}

void ReleaseCryptoLibraryTables()
{
    CRYPTO_cleanup_all_ex_data();
    ERR_free_strings();
    EVP_cleanup();
}
