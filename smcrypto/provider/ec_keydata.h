// An EC key as the SM operations of the provider hold it.
#pragma once
#include <openssl/bn.h>
#include <openssl/ec.h>

struct SM_EC_KEYDATA
{
    EC_GROUP *pGroup;
    int nNid;          // our curve id where the parameters are one of our curves
    BIGNUM *pbnD;      // null for a public key
    EC_POINT *pPublic;
    BIGNUM *pbnX, *pbnY;
};

// True for keys on the two SM2 curves.
bool SmIsSm2Key(const SM_EC_KEYDATA *pKey);
