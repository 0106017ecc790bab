// Parameters common to the SM4-CBC and ZUC ciphers.
#pragma once
#include <cstddef>

#include <openssl/core.h>

struct CIPHER_SHAPE
{
    unsigned int nMode;  // EVP_CIPH_*_MODE
    size_t cbKey, cbIv, cbBlock;
};

int SmCipherGetParams(OSSL_PARAM rgParams[], const CIPHER_SHAPE &shape);
const OSSL_PARAM *SmCipherGettableParams(void *);
// Context parameters: lengths, the padding switch and the current IV.
int SmCipherGetCtxParams(OSSL_PARAM rgParams[], const CIPHER_SHAPE &shape, int bPadding, const unsigned char *pbIv);
const OSSL_PARAM *SmCipherGettableCtxParams(void *, void *);
const OSSL_PARAM *SmCipherSettableCtxParams(void *, void *);
