// Signature verification of certificates and other signed ASN.1 items with SM2/SM3: on the
// recommended curve the signer's Z (default user ID) precedes the encoded item in the digest.
#pragma once
#include <openssl/asn1.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

// As the library's ASN1_item_verify: 1 valid, 0 invalid, -1 on error. Items whose signature is
// SM2 with SM3 on an EC key go through the SM provider; everything else to the library.
int SmAsn1ItemVerify(const ASN1_ITEM *pItem, const X509_ALGOR *pAlg, const ASN1_BIT_STRING *pSignature,
                     const void *pvData, EVP_PKEY *pKey);
// The certificate's own signature checked with the issuer's key.
int SmX509Verify(X509 *pCert, EVP_PKEY *pIssuerKey);
