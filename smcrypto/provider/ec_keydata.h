// An EC key as the SM operations of the provider hold it.
#pragma once
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>

struct SM_EC_KEYDATA
{
    EC_GROUP *pGroup;
    int nNid;          // our curve id where the parameters are one of our curves
    BIGNUM *pbnD;      // null for a public key
    EC_POINT *pPublic;
    BIGNUM *pbnX, *pbnY;
    OSSL_LIB_CTX *pLibCtx;
    EVP_PKEY *pStock;  // a key on another curve, as the library's own providers hold it
};

// True for keys on the two SM2 curves.
bool SmIsSm2Key(const SM_EC_KEYDATA *pKey);
