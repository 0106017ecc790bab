#include "DeliveryAuthority.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/param_build.h>
#include <openssl/rand.h>
#include <openssl/x509.h>

#include <gtest/gtest.h>

#include <cstring>

namespace
{
Bytes Reversed(const uint8_t* p, size_t n)
{
    return Bytes(std::reverse_iterator<const uint8_t*>(p + n), std::reverse_iterator<const uint8_t*>(p));
}

Bytes Der(uint8_t tag, const Bytes& value)
{
    Bytes out = {tag};
    size_t n = value.size();
    if (n < 0x80)
        out.push_back(uint8_t(n));
    else if (n < 0x100)
        out.insert(out.end(), {0x81, uint8_t(n)});
    else
        out.insert(out.end(), {0x82, uint8_t(n >> 8), uint8_t(n)});
    out.insert(out.end(), value.begin(), value.end());
    return out;
}
} // namespace

Pkey NewRsaKey(int bits, unsigned long exponent)
{
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
    EVP_PKEY* key = nullptr;
    BIGNUM* e = BN_new();
    BN_set_word(e, exponent);
    EXPECT_EQ(1, EVP_PKEY_keygen_init(ctx));
    EXPECT_EQ(1, EVP_PKEY_CTX_set_rsa_keygen_bits(ctx, bits));
    EXPECT_EQ(1, EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx, e));
    EXPECT_EQ(1, EVP_PKEY_keygen(ctx, &key));
    BN_free(e);
    EVP_PKEY_CTX_free(ctx);
    return Pkey(key);
}

Pkey NewSm2Key()
{
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "SM2", nullptr);
    EVP_PKEY* key = nullptr;
    EXPECT_EQ(1, EVP_PKEY_keygen_init(ctx));
    EXPECT_EQ(1, EVP_PKEY_keygen(ctx, &key));
    EVP_PKEY_CTX_free(ctx);
    return Pkey(key);
}

Pkey PublicKeyOfBlob(const Bytes& blob)
{
    EXPECT_GE(blob.size(), 20u);
    uint32_t alg = 0;
    memcpy(&alg, blob.data() + 4, 4);
    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    EVP_PKEY_CTX* ctx = nullptr;
    BIGNUM *n = nullptr, *e = nullptr;
    Bytes point;
    if (alg == 0xBE00 || alg == 0x3E00)
    {
        // Header, bit length, then X and Y in 64-byte fields, least significant byte first.
        EXPECT_GE(blob.size(), 140u);
        point.push_back(0x04);
        Bytes x = Reversed(blob.data() + 12, 32), y = Reversed(blob.data() + 76, 32);
        point.insert(point.end(), x.begin(), x.end());
        point.insert(point.end(), y.begin(), y.end());
        OSSL_PARAM_BLD_push_utf8_string(bld, OSSL_PKEY_PARAM_GROUP_NAME, "SM2", 0);
        OSSL_PARAM_BLD_push_octet_string(bld, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size());
        ctx = EVP_PKEY_CTX_new_from_name(nullptr, "SM2", nullptr);
    }
    else
    {
        uint32_t bits = 0, exponent = 0;
        memcpy(&bits, blob.data() + 12, 4);
        memcpy(&exponent, blob.data() + 16, 4);
        Bytes modulus = Reversed(blob.data() + 20, bits / 8);
        n = BN_bin2bn(modulus.data(), int(modulus.size()), nullptr);
        e = BN_new();
        BN_set_word(e, exponent);
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_N, n);
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_E, e);
        ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
    }
    OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
    EVP_PKEY* key = nullptr;
    EXPECT_EQ(1, EVP_PKEY_fromdata_init(ctx));
    EXPECT_EQ(1, EVP_PKEY_fromdata(ctx, &key, EVP_PKEY_PUBLIC_KEY, params));
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(bld);
    EVP_PKEY_CTX_free(ctx);
    BN_free(n);
    BN_free(e);
    return Pkey(key);
}

void FreePkey(EVP_PKEY* key)
{
    EVP_PKEY_free(key);
}

bool SamePublicKey(EVP_PKEY* a, EVP_PKEY* b)
{
    return EVP_PKEY_eq(a, b) == 1;
}

bool IsSm2Key(EVP_PKEY* key)
{
    return EVP_PKEY_is_a(key, "SM2");
}

Bytes IssueCertificate(EVP_PKEY* subjectKey, const CertSpec& spec)
{
    bool sm2 = EVP_PKEY_is_a(subjectKey, "SM2");
    Pkey issuer = sm2 ? NewSm2Key() : NewRsaKey(2048);
    X509* x = X509_new();
    X509_set_version(x, 2);
    BIGNUM* serial = BN_bin2bn(spec.serial.data(), int(spec.serial.size()), nullptr);
    BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(x));
    BN_free(serial);
    X509_NAME* subject = X509_NAME_new();
    X509_NAME_add_entry_by_txt(subject, "C", MBSTRING_UTF8, (const unsigned char*)"CN", -1, -1, 0);
    X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_UTF8, (const unsigned char*)"Quillmark Test", -1, -1, 0);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8, (const unsigned char*)spec.commonName.c_str(), -1,
                               -1, 0);
    X509_set_subject_name(x, subject);
    X509_NAME* issuerName = X509_NAME_new();
    X509_NAME_add_entry_by_txt(issuerName, "CN", MBSTRING_UTF8, (const unsigned char*)"Quillmark Test CA", -1, -1,
                               0);
    X509_set_issuer_name(x, issuerName);
    ASN1_TIME_set_string(X509_getm_notBefore(x), spec.notBefore.c_str());
    ASN1_TIME_set_string(X509_getm_notAfter(x), spec.notAfter.c_str());
    X509_set_pubkey(x, subjectKey);
    EXPECT_GT(X509_sign(x, issuer.get(), sm2 ? EVP_sm3() : EVP_sha256()), 0);
    unsigned char* der = nullptr;
    int n = i2d_X509(x, &der);
    Bytes out(der, der + n);
    OPENSSL_free(der);
    X509_NAME_free(subject);
    X509_NAME_free(issuerName);
    X509_free(x);
    return out;
}

Bytes PrivateKeyBytes(EVP_PKEY* key)
{
    if (EVP_PKEY_is_a(key, "SM2"))
    {
        BIGNUM* d = nullptr;
        EXPECT_EQ(1, EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_PRIV_KEY, &d));
        Bytes out(32);
        BN_bn2binpad(d, out.data(), 32);
        BN_clear_free(d);
        return out;
    }
    unsigned char* der = nullptr;
    int n = i2d_PrivateKey(key, &der);
    Bytes out(der, der + n);
    OPENSSL_clear_free(der, n);
    return out;
}

Bytes RsaModulus(EVP_PKEY* key)
{
    BIGNUM* n = nullptr;
    EXPECT_EQ(1, EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &n));
    Bytes out(BN_num_bytes(n));
    BN_bn2bin(n, out.data());
    BN_free(n);
    return out;
}

Bytes RsaEncryptPkcs1(EVP_PKEY* publicKey, const Bytes& plain)
{
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_pkey(nullptr, publicKey, nullptr);
    EXPECT_EQ(1, EVP_PKEY_encrypt_init(ctx));
    EXPECT_EQ(1, EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING));
    size_t size = 0;
    EXPECT_EQ(1, EVP_PKEY_encrypt(ctx, nullptr, &size, plain.data(), plain.size()));
    Bytes out(size);
    EXPECT_EQ(1, EVP_PKEY_encrypt(ctx, out.data(), &size, plain.data(), plain.size()));
    out.resize(size);
    EVP_PKEY_CTX_free(ctx);
    return out;
}

Bytes TripleDesEcbEncrypt(const Bytes& key, const Bytes& plain)
{
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EXPECT_EQ(1, EVP_EncryptInit_ex(ctx, EVP_des_ede3_ecb(), nullptr, key.data(), nullptr));
    Bytes out(plain.size() + 16);
    int n = 0, m = 0;
    EXPECT_EQ(1, EVP_EncryptUpdate(ctx, out.data(), &n, plain.data(), int(plain.size())));
    EXPECT_EQ(1, EVP_EncryptFinal_ex(ctx, out.data() + n, &m));
    out.resize(size_t(n + m));
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

Bytes Sm2EncryptC1C3C2(EVP_PKEY* publicKey, const Bytes& plain)
{
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_pkey(nullptr, publicKey, nullptr);
    EXPECT_EQ(1, EVP_PKEY_encrypt_init(ctx));
    size_t size = 0;
    EXPECT_EQ(1, EVP_PKEY_encrypt(ctx, nullptr, &size, plain.data(), plain.size()));
    Bytes der(size);
    EXPECT_EQ(1, EVP_PKEY_encrypt(ctx, der.data(), &size, plain.data(), plain.size()));
    der.resize(size);
    EVP_PKEY_CTX_free(ctx);
    // SEQUENCE { INTEGER x, INTEGER y, OCTET STRING C3, OCTET STRING C2 }.
    size_t at = 0;
    auto header = [&](uint8_t tag) -> size_t
    {
        EXPECT_EQ(tag, der[at]);
        ++at;
        size_t n = der[at++];
        if (n & 0x80)
        {
            size_t bytes = n & 0x7F;
            n = 0;
            while (bytes--)
                n = (n << 8) | der[at++];
        }
        return n;
    };
    header(0x30);
    Bytes out;
    for (int i = 0; i < 2; ++i)
    {
        size_t n = header(0x02);
        const uint8_t* p = der.data() + at;
        while (n > 32 && *p == 0)
        {
            ++p;
            --n;
        }
        out.insert(out.end(), 32 - n, 0);
        out.insert(out.end(), p, p + n);
        at = size_t(p - der.data()) + n;
    }
    for (int i = 0; i < 2; ++i)
    {
        size_t n = header(0x04);
        out.insert(out.end(), der.begin() + long(at), der.begin() + long(at + n));
        at += n;
    }
    return out;
}

Bytes C1C3C2ToC1C2C3(const Bytes& c)
{
    Bytes out(c.begin(), c.begin() + 64);
    out.insert(out.end(), c.begin() + 96, c.end());
    out.insert(out.end(), c.begin() + 64, c.begin() + 96);
    return out;
}

std::u16string Base64Text(const Bytes& data)
{
    std::string text(4 * ((data.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), data.data(), int(data.size()));
    text.resize(size_t(n));
    return std::u16string(text.begin(), text.end());
}

Bytes KeyField(const Bytes& value)
{
    Bytes inner = {0x02, 0x01, 0x01};
    Bytes octets = Der(0x04, value);
    inner.insert(inner.end(), octets.begin(), octets.end());
    return Der(0x30, inner);
}

std::u16string DeliveryNumber(long long value)
{
    char text[32];
    snprintf(text, sizeof text, "%016lld", value);
    return std::u16string(text, text + strlen(text));
}

std::u16string DeliveryField(const Bytes& der)
{
    std::u16string base64 = Base64Text(der) + u",";
    return DeliveryNumber((long long)base64.size()) + base64;
}

std::u16string DeliveryText(long long deviceType, long long encryptType, long long sessionKeyType,
                            const Bytes& sessionKeyValue, const Bytes& privateKeyValue)
{
    return DeliveryNumber(deviceType) + DeliveryNumber(encryptType) + DeliveryNumber(sessionKeyType) +
           (sessionKeyValue.empty() ? DeliveryNumber(0) : DeliveryField(KeyField(sessionKeyValue))) +
           DeliveryField(KeyField(privateKeyValue));
}

RsaDelivery MakeRsaDelivery(const Bytes& exchangePublicBlob, int bits, const CertSpec& spec,
                            unsigned long exponent)
{
    RsaDelivery d;
    d.key = NewRsaKey(bits, exponent);
    d.certificate = IssueCertificate(d.key.get(), spec);
    d.text = RsaDeliveryText(exchangePublicBlob, PrivateKeyBytes(d.key.get()));
    return d;
}

std::u16string RsaDeliveryText(const Bytes& exchangePublicBlob, const Bytes& plainPrivateKey)
{
    Bytes sessionKey(24);
    RAND_bytes(sessionKey.data(), 24);
    Pkey exchange = PublicKeyOfBlob(exchangePublicBlob);
    Bytes wrapped = RsaEncryptPkcs1(exchange.get(), sessionKey);
    Bytes encrypted = TripleDesEcbEncrypt(sessionKey, plainPrivateKey);
    return DeliveryText(1, 1, 306, wrapped, encrypted);
}

Sm2Delivery MakeSm2Delivery(const Bytes& exchangePublicBlob, const CertSpec& spec, bool c1c2c3)
{
    Sm2Delivery d;
    d.key = NewSm2Key();
    d.certificate = IssueCertificate(d.key.get(), spec);
    Pkey exchange = PublicKeyOfBlob(exchangePublicBlob);
    d.ciphertext = Sm2EncryptC1C3C2(exchange.get(), PrivateKeyBytes(d.key.get()));
    Bytes delivered = c1c2c3 ? C1C3C2ToC1C2C3(d.ciphertext) : d.ciphertext;
    d.text = DeliveryText(2, 2, 0, {}, delivered);
    return d;
}

std::string Utf8(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text)
    {
        if (c < 0x80)
            out += char(c);
        else if (c < 0x800)
        {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
        else
        {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

Pkey RsaKeyWithShortNumber(int bits)
{
    const char* names[] = {OSSL_PKEY_PARAM_RSA_EXPONENT1, OSSL_PKEY_PARAM_RSA_EXPONENT2,
                           OSSL_PKEY_PARAM_RSA_COEFFICIENT1, OSSL_PKEY_PARAM_RSA_D};
    for (int attempt = 0; attempt < 4000; ++attempt)
    {
        Pkey key = NewRsaKey(bits);
        for (const char* name : names)
        {
            BIGNUM* n = nullptr;
            EVP_PKEY_get_bn_param(key.get(), name, &n);
            int width = name == std::string(OSSL_PKEY_PARAM_RSA_D) ? bits / 8 : bits / 16;
            bool shorter = n && BN_num_bytes(n) < width;
            BN_free(n);
            if (shorter)
                return key;
        }
    }
    return nullptr;
}

Bytes PublicKeyBits(EVP_PKEY* key)
{
    if (!EVP_PKEY_is_a(key, "SM2"))
        return RsaModulus(key);
    size_t size = 0;
    EXPECT_EQ(1, EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, nullptr, 0, &size));
    Bytes point(size);
    EXPECT_EQ(1, EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point.data(), size, &size));
    return point;
}
