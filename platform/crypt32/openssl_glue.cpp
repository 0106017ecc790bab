#include "openssl_glue.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace qm::crypt::ossl
{
der::Bytes Hash(Digest d, der::View data)
{
    const EVP_MD* md = d == Digest::Md5 ? EVP_md5() : d == Digest::Sha1 ? EVP_sha1() : EVP_sha256();
    der::Bytes out(EVP_MAX_MD_SIZE);
    unsigned int n = 0;
    if (EVP_Digest(data.data(), data.size(), out.data(), &n, md, nullptr) != 1)
        n = 0;
    out.resize(n);
    return out;
}

bool IsCertificate(der::View data)
{
    if (data.empty())
        return false;
    const unsigned char* p = data.data();
    X509* x = d2i_X509(nullptr, &p, static_cast<long>(data.size()));
    bool whole = x && p == data.data() + data.size();
    X509_free(x);
    return whole;
}
} // namespace qm::crypt::ossl
