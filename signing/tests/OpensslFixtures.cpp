#include "OpensslFixtures.h"

#include <algorithm>
#include <cstdio>

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

namespace signing_test::ossl
{
namespace
{
EVP_PKEY* ReadKey(const std::string& path)
{
    FILE* f = fopen(path.c_str(), "r");
    if (!f)
        return nullptr;
    EVP_PKEY* key = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
    fclose(f);
    return key;
}

X509* ParseCertificate(const Bytes& der)
{
    const unsigned char* p = der.data();
    return d2i_X509(nullptr, &p, (long)der.size());
}

const EVP_MD* DigestByName(const std::string& name)
{
    if (name == "MD5")
        return EVP_md5();
    if (name == "SHA1")
        return EVP_sha1();
    if (name == "SHA256")
        return EVP_sha256();
    if (name == "SM3")
        return EVP_sm3();
    return nullptr;
}
} // namespace

bool ReadCertificate(const Bytes& der, CertificateFacts& facts)
{
    X509* cert = ParseCertificate(der);
    if (!cert)
        return false;
    unsigned char* issuer = nullptr;
    int cbIssuer = i2d_X509_NAME(X509_get_issuer_name(cert), &issuer);
    facts.issuerDer.assign(issuer, issuer + cbIssuer);
    OPENSSL_free(issuer);
    // INTEGER content: strip tag and length of the serial's own DER.
    unsigned char* serial = nullptr;
    int cbSerial = i2d_ASN1_INTEGER(const_cast<ASN1_INTEGER*>(X509_get0_serialNumber(cert)), &serial);
    size_t header = (serial[1] & 0x80) ? 2 + (serial[1] & 0x7F) : 2;
    facts.serialContent.assign(serial + header, serial + cbSerial);
    OPENSSL_free(serial);
    X509_free(cert);
    return true;
}

Bytes Digest(const std::string& name, const Bytes& content)
{
    Bytes out(EVP_MAX_MD_SIZE);
    unsigned int len = 0;
    EVP_Digest(content.data(), content.size(), out.data(), &len, DigestByName(name), nullptr);
    out.resize(len);
    return out;
}

Bytes SignRsa(const std::string& keyPath, const std::string& digestName, const Bytes& content)
{
    EVP_PKEY* key = ReadKey(keyPath);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    size_t len = 0;
    Bytes signature;
    if (key && EVP_DigestSignInit(ctx, nullptr, DigestByName(digestName), nullptr, key) == 1 &&
        EVP_DigestSign(ctx, nullptr, &len, content.data(), content.size()) == 1)
    {
        signature.resize(len);
        if (EVP_DigestSign(ctx, signature.data(), &len, content.data(), content.size()) != 1)
            signature.clear();
    }
    EVP_MD_CTX_free(ctx);
    EVP_PKEY_free(key);
    return signature;
}

Bytes SignSm2(const std::string& keyPath, const Bytes& content)
{
    EVP_PKEY* key = ReadKey(keyPath);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    size_t len = 0;
    Bytes der;
    if (key && EVP_DigestSignInit(ctx, nullptr, EVP_sm3(), nullptr, key) == 1 &&
        EVP_DigestSign(ctx, nullptr, &len, content.data(), content.size()) == 1)
    {
        der.resize(len);
        if (EVP_DigestSign(ctx, der.data(), &len, content.data(), content.size()) == 1)
            der.resize(len);
        else
            der.clear();
    }
    EVP_MD_CTX_free(ctx);
    EVP_PKEY_free(key);

    const unsigned char* p = der.data();
    ECDSA_SIG* sig = der.empty() ? nullptr : d2i_ECDSA_SIG(nullptr, &p, (long)der.size());
    if (!sig)
        return {};
    Bytes raw(64);
    BN_bn2binpad(ECDSA_SIG_get0_r(sig), raw.data(), 32);
    BN_bn2binpad(ECDSA_SIG_get0_s(sig), raw.data() + 32, 32);
    ECDSA_SIG_free(sig);
    return raw;
}

bool VerifySm2(const Bytes& certDer, const Bytes& content, const Bytes& derSignature)
{
    X509* cert = ParseCertificate(certDer);
    if (!cert)
        return false;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    bool valid = EVP_DigestVerifyInit(ctx, nullptr, EVP_sm3(), nullptr, X509_get0_pubkey(cert)) == 1 &&
                 EVP_DigestVerify(ctx, derSignature.data(), derSignature.size(), content.data(), content.size()) == 1;
    EVP_MD_CTX_free(ctx);
    X509_free(cert);
    return valid;
}

bool VerifySm2Digest(const Bytes& certDer, const Bytes& digest, const Bytes& derSignature)
{
    X509* cert = ParseCertificate(certDer);
    if (!cert)
        return false;
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(X509_get0_pubkey(cert), nullptr);
    bool valid = ctx && EVP_PKEY_verify_init(ctx) == 1 &&
                 EVP_PKEY_verify(ctx, derSignature.data(), derSignature.size(), digest.data(), digest.size()) == 1;
    EVP_PKEY_CTX_free(ctx);
    X509_free(cert);
    return valid;
}

bool VerifyRsaDigest(const Bytes& certDer, const std::string& digestName, const Bytes& digest,
                     const Bytes& signature)
{
    X509* cert = ParseCertificate(certDer);
    if (!cert)
        return false;
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(X509_get0_pubkey(cert), nullptr);
    bool valid = ctx && EVP_PKEY_verify_init(ctx) == 1 && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) == 1 &&
                 EVP_PKEY_CTX_set_signature_md(ctx, DigestByName(digestName)) == 1 &&
                 EVP_PKEY_verify(ctx, signature.data(), signature.size(), digest.data(), digest.size()) == 1;
    EVP_PKEY_CTX_free(ctx);
    X509_free(cert);
    return valid;
}

bool IsStrictSignatureDer(const Bytes& derSignature)
{
    const unsigned char* p = derSignature.data();
    ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &p, (long)derSignature.size());
    if (!sig)
        return false;
    unsigned char* out = nullptr;
    int cb = i2d_ECDSA_SIG(sig, &out);
    bool same = cb == (int)derSignature.size() && std::equal(out, out + cb, derSignature.begin());
    OPENSSL_free(out);
    ECDSA_SIG_free(sig);
    return same && p == derSignature.data() + derSignature.size();
}

Bytes DecodeBase64(const std::string& text)
{
    Bytes out(text.size() / 4 * 3 + 3);
    int cb = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), (int)text.size());
    if (cb < 0)
        return {};
    size_t pad = 0;
    for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i)
        ++pad;
    out.resize((size_t)cb - pad);
    return out;
}

std::string EncodeBase64(const Bytes& data)
{
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    int cch = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(), (int)data.size());
    out.resize((size_t)cch);
    return out;
}
} // namespace signing_test::ossl
