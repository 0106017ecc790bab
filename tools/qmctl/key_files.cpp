#include "key_files.h"

#include "command.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <iterator>

namespace qmctl
{
namespace
{
bool ReadAll(const std::string& path, std::string* data, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        *error = path + ": cannot read";
        return false;
    }
    data->assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

EVP_PKEY* LoadKey(const std::string& path, std::string* error)
{
    std::string data;
    if (!ReadAll(path, &data, error))
        return nullptr;
    BIO* bio = BIO_new_mem_buf(data.data(), int(data.size()));
    EVP_PKEY* pkey = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (!pkey)
    {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data());
        pkey = d2i_AutoPrivateKey(nullptr, &p, long(data.size()));
    }
    if (!pkey)
        *error = path + ": not a private key";
    return pkey;
}

X509* LoadCertificate(const std::string& path, std::string* error)
{
    std::string data;
    if (!ReadAll(path, &data, error))
        return nullptr;
    BIO* bio = BIO_new_mem_buf(data.data(), int(data.size()));
    X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (!cert)
    {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data());
        cert = d2i_X509(nullptr, &p, long(data.size()));
    }
    if (!cert)
        *error = path + ": not a certificate";
    return cert;
}

bool IsSm2(EVP_PKEY* pkey)
{
    if (EVP_PKEY_is_a(pkey, "SM2"))
        return true;
    char group[64] = {};
    size_t length = 0;
    return EVP_PKEY_is_a(pkey, "EC") &&
           EVP_PKEY_get_utf8_string_param(pkey, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group,
                                          &length) == 1 &&
           std::string(group) == "SM2";
}

EVP_PKEY* ToPkey(const PublicKey& key)
{
    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    Bytes point;
    BIGNUM *n = nullptr, *e = nullptr;
    if (key.sm2)
    {
        point.push_back(0x04);
        point.insert(point.end(), key.sm2X.begin(), key.sm2X.end());
        point.insert(point.end(), key.sm2Y.begin(), key.sm2Y.end());
        OSSL_PARAM_BLD_push_utf8_string(bld, OSSL_PKEY_PARAM_GROUP_NAME, "SM2", 0);
        OSSL_PARAM_BLD_push_octet_string(bld, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size());
    }
    else
    {
        n = BN_bin2bn(key.rsaModulus.data(), int(key.rsaModulus.size()), nullptr);
        e = BN_new();
        BN_set_word(e, key.rsaExponent);
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_N, n);
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_E, e);
    }
    OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, key.sm2 ? "SM2" : "RSA", nullptr);
    EVP_PKEY* pkey = nullptr;
    if (!ctx || EVP_PKEY_fromdata_init(ctx) != 1 ||
        EVP_PKEY_fromdata(ctx, &pkey, EVP_PKEY_PUBLIC_KEY, params) != 1)
        pkey = nullptr;
    EVP_PKEY_CTX_free(ctx);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(bld);
    BN_free(n);
    BN_free(e);
    return pkey;
}

bool AddSubject(X509_NAME* name, std::string subject, std::string* error)
{
    // "/CN=a/O=b" or "CN=a,O=b".
    char separator = !subject.empty() && subject[0] == '/' ? '/' : ',';
    if (separator == '/')
        subject.erase(0, 1);
    size_t at = 0;
    while (at <= subject.size())
    {
        size_t end = subject.find(separator, at);
        if (end == std::string::npos)
            end = subject.size();
        std::string pair = subject.substr(at, end - at);
        size_t eq = pair.find('=');
        if (eq == std::string::npos ||
            X509_NAME_add_entry_by_txt(
                name, pair.substr(0, eq).c_str(), MBSTRING_UTF8,
                reinterpret_cast<const unsigned char*>(pair.c_str() + eq + 1), -1, -1, 0) != 1)
        {
            *error = "bad subject part '" + pair + "'";
            return false;
        }
        at = end + 1;
    }
    return true;
}
} // namespace

bool ReadCertificateFile(const std::string& path, Bytes* der, std::string* error)
{
    X509* cert = LoadCertificate(path, error);
    if (!cert)
    {
        // DER that OpenSSL refuses (a name value that is no string, say) goes to the
        // platform as it is; CryptoAPI judges it there.
        std::string data, unused;
        if (!ReadAll(path, &data, &unused) || data.empty() || data[0] != 0x30)
            return false;
        der->assign(data.begin(), data.end());
        return true;
    }
    unsigned char* out = nullptr;
    int n = i2d_X509(cert, &out);
    X509_free(cert);
    if (n <= 0)
        return false;
    der->assign(out, out + n);
    OPENSSL_free(out);
    return true;
}

bool ReadKeyFile(const std::string& path, KeyFile* key, std::string* error)
{
    EVP_PKEY* pkey = LoadKey(path, error);
    if (!pkey)
        return false;
    bool ok = true;
    if (IsSm2(pkey))
    {
        BIGNUM* d = nullptr;
        key->sm2 = true;
        key->sm2Private.assign(32, 0);
        ok = EVP_PKEY_get_bn_param(pkey, OSSL_PKEY_PARAM_PRIV_KEY, &d) == 1 &&
             BN_bn2binpad(d, key->sm2Private.data(), 32) == 32;
        BN_clear_free(d);
    }
    else if (EVP_PKEY_is_a(pkey, "RSA"))
    {
        unsigned char* out = nullptr;
        int n = i2d_PrivateKey(pkey, &out);
        ok = n > 0;
        if (ok)
            key->rsaPkcs1.assign(out, out + n);
        OPENSSL_free(out);
    }
    else
        ok = false;
    if (!ok)
        *error = path + ": only RSA and SM2 keys are supported";
    EVP_PKEY_free(pkey);
    return ok;
}

bool IssueCertificate(const PublicKey& key, const std::string& subject,
                      const std::string& caKeyPath, const std::string& caCertPath, int days,
                      bool signatureKey, Bytes* der, std::string* error)
{
    EVP_PKEY* caKey = LoadKey(caKeyPath, error);
    X509* caCert = caKey ? LoadCertificate(caCertPath, error) : nullptr;
    EVP_PKEY* pub = caCert ? ToPkey(key) : nullptr;
    X509* cert = X509_new();
    bool ok = caKey && caCert && pub && cert;
    if (caCert && !pub)
        *error = "the key's public part is not usable";
    if (ok)
    {
        unsigned char serial[16];
        RAND_bytes(serial, sizeof serial);
        serial[0] &= 0x7F;
        BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
        BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert));
        BN_free(bn);
        X509_set_version(cert, 2);
        X509_set_issuer_name(cert, X509_get_subject_name(caCert));
        X509_gmtime_adj(X509_getm_notBefore(cert), -86400);
        X509_gmtime_adj(X509_getm_notAfter(cert), long(days) * 86400);
        X509_set_pubkey(cert, pub);
        ok = AddSubject(X509_get_subject_name(cert), subject, error);
    }
    if (ok)
    {
        const char* usage = signatureKey ? "critical,digitalSignature,nonRepudiation"
                                         : "critical,digitalSignature,keyEncipherment";
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, nullptr, NID_key_usage, usage);
        ok = ext && X509_add_ext(cert, ext, -1) == 1;
        X509_EXTENSION_free(ext);
        if (!ok)
            *error = "adding the key usage failed";
    }
    if (ok)
    {
        const EVP_MD* md = IsSm2(caKey) ? EVP_sm3() : EVP_sha256();
        ok = X509_sign(cert, caKey, md) > 0;
        if (!ok)
            *error = "signing the certificate failed";
    }
    if (ok)
    {
        unsigned char* out = nullptr;
        int n = i2d_X509(cert, &out);
        ok = n > 0;
        if (ok)
            der->assign(out, out + n);
        OPENSSL_free(out);
    }
    X509_free(cert);
    EVP_PKEY_free(pub);
    X509_free(caCert);
    EVP_PKEY_free(caKey);
    return ok;
}
std::string Sha1Hex(const Bytes& data)
{
    unsigned char hash[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!EVP_Digest(data.data(), data.size(), hash, &size, EVP_sha1(), nullptr))
        return "-";
    return HexText(hash, size);
}
} // namespace qmctl
