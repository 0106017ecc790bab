// The SM2 private-key form (SM2_PRIVATEKEY: the private value as an INTEGER) and the EC
// private-key decoding that falls back to it.
#pragma once
#define OPENSSL_SUPPRESS_DEPRECATED  // EC_KEY is the key holder this decoding has always filled
#include <openssl/ec.h>
#include <openssl/evp.h>

// Decodes SM2_PRIVATEKEY into *ppKey when given (and non-null), else into a new EC key.
// The parameters are required; errors are the EC private-key decode errors of the EC library.
EC_KEY *d2i_SM2PrivateKey(EC_KEY **ppKey, const unsigned char **ppbIn, long cbIn);

// An EC private key in the old format: the library's ECPrivateKey first, then SM2_PRIVATEKEY.
// When both fail the library's own decode error is the one on the queue.
EVP_PKEY *SmD2iEcPrivateKey(EVP_PKEY **ppKey, const unsigned char **ppbIn, long cbIn);
