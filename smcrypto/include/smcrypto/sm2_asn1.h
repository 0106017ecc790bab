/* ASN.1 types of the SM algorithms, with the library's usual new, free, d2i and i2d. */
#pragma once
#include <openssl/asn1.h>
#include <openssl/asn1t.h>
#include <openssl/bn.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SM2Cipher_st
{
    BIGNUM *XCoordinate;
    BIGNUM *YCoordinate;
    ASN1_OCTET_STRING *HASH;       /* C3 */
    ASN1_OCTET_STRING *cipherText; /* C2 */
} SM2Cipher;
DECLARE_ASN1_FUNCTIONS(SM2Cipher)

/* The EC private key with the private value as an INTEGER. */
typedef struct SM2_PRIVATEKEY_st
{
    long version;
    ASN1_INTEGER *privateKey;
    ASN1_TYPE *parameters;         /* [0] EC parameters: a curve identifier or explicit */
    ASN1_BIT_STRING *publicKey;    /* [1] */
} SM2_PRIVATEKEY;
DECLARE_ASN1_FUNCTIONS(SM2_PRIVATEKEY)

typedef struct PFX_SM2_PRIVATE_DATA_st
{
    ASN1_OBJECT *dataID;
    ASN1_OBJECT *dataEncryptedAlg;
    ASN1_OCTET_STRING *encryptedSM2PrivateKey;
} PFX_SM2_PRIVATE_DATA;
DECLARE_ASN1_FUNCTIONS(PFX_SM2_PRIVATE_DATA)

typedef struct PFX_SM2_PUBLIC_DATA_st
{
    ASN1_OBJECT *dataID;
    ASN1_OCTET_STRING *SM2Certificate;
} PFX_SM2_PUBLIC_DATA;
DECLARE_ASN1_FUNCTIONS(PFX_SM2_PUBLIC_DATA)

typedef struct PFX_SM2_st
{
    ASN1_INTEGER *version;
    PFX_SM2_PRIVATE_DATA *privateData;
    PFX_SM2_PUBLIC_DATA *publicData;
} PFX_SM2;
DECLARE_ASN1_FUNCTIONS(PFX_SM2)

/* Written with indefinite length by i2d_X509_PUBKEY_DOUBLE_NDEF. */
typedef struct X509_PUBKEY_DOUBLE_st
{
    ASN1_INTEGER *version;
    ASN1_OCTET_STRING *tmppubkey;
} X509_PUBKEY_DOUBLE;
DECLARE_ASN1_FUNCTIONS(X509_PUBKEY_DOUBLE)
DECLARE_ASN1_NDEF_FUNCTION(X509_PUBKEY_DOUBLE)

#ifdef __cplusplus
}
#endif
