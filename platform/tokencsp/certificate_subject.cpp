// The subject name of a DER certificate, which a certificate object on the token carries.
// (Kept apart from the Windows headers, whose names collide with OpenSSL's.)
#include <openssl/x509.h>

#include <cstdint>
#include <vector>

namespace qm::tokencsp
{
bool CertificateSubject(const std::vector<uint8_t>& der, std::vector<uint8_t>* subject)
{
    const unsigned char* p = der.data();
    X509* cert = d2i_X509(nullptr, &p, long(der.size()));
    if (!cert || p != der.data() + der.size())
    {
        X509_free(cert);
        return false;
    }
    unsigned char* out = nullptr;
    int length = i2d_X509_NAME(X509_get_subject_name(cert), &out);
    X509_free(cert);
    if (length <= 0)
        return false;
    subject->assign(out, out + length);
    OPENSSL_free(out);
    return true;
}
} // namespace qm::tokencsp
