// The structure types of CryptEncodeObject / CryptDecodeObject this stand-in knows, from
// either a predefined small-integer type or an OID text.
#pragma once

#include "wincrypt.h"

namespace qm::crypt
{
enum class StructType
{
    Unknown,
    KeyUsage,          // X509_KEY_USAGE, szOID_KEY_USAGE: CRYPT_BIT_BLOB, trailing zero bits dropped
    OctetString,       // X509_OCTET_STRING, szOID_SUBJECT_KEY_IDENTIFIER: CRYPT_DATA_BLOB
    Bits,              // X509_BITS: CRYPT_BIT_BLOB as given
    AlgorithmId,       // X509_ALGORITHM_IDENTIFIER
    Attribute,         // PKCS_ATTRIBUTE
    ContentInfo,       // PKCS_CONTENT_INFO
    SignerInfo,        // PKCS7_SIGNER_INFO
    AnyString,         // X509_ANY_STRING (X509_NAME_VALUE)
    PublicKeyInfo,     // X509_PUBLIC_KEY_INFO
    RsaPublicKeyBlob,  // RSA_CSP_PUBLICKEYBLOB
};

StructType StructTypeOf(LPCSTR lpszStructType);
// Windows looks the encoder up by both encoding types; without an ASN.1 one it finds none.
bool AsnEncoding(DWORD dwCertEncodingType);
} // namespace qm::crypt
