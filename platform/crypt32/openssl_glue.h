// The OpenSSL services crypt32 uses, behind a header free of OpenSSL's names (its types
// X509_NAME and others clash with CryptoAPI's structure-type macros).
#pragma once

#include "der.h"

namespace qm::crypt::ossl
{
enum class Digest
{
    Md5,
    Sha1,
    Sha256,
};
der::Bytes Hash(Digest d, der::View data);
// True when OpenSSL reads the whole buffer as one X.509 certificate.
bool IsCertificate(der::View data);
} // namespace qm::crypt::ossl
