// The certification authority's side of an enrollment, made with OpenSSL: issued
// certificates, encryption key pairs and the encrypted key-pair text it delivers.
#pragma once

// OpenSSL and the Windows-named headers do not mix: this header needs neither's types.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct evp_pkey_st EVP_PKEY;
using Bytes = std::vector<uint8_t>;

void FreePkey(EVP_PKEY* key);

struct PkeyDeleter
{
    void operator()(EVP_PKEY* p) const { FreePkey(p); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyDeleter>;

Pkey NewRsaKey(int bits, unsigned long exponent = 65537);
Pkey NewSm2Key();
// The public key of a CryptoAPI PUBLICKEYBLOB (RSA, or the token's SM2 layout).
Pkey PublicKeyOfBlob(const Bytes& blob);
// True when both keys have the same public part.
bool SamePublicKey(EVP_PKEY* a, EVP_PKEY* b);
bool IsSm2Key(EVP_PKEY* key);

struct CertSpec
{
    std::string commonName = "Enrollment Test";
    Bytes serial = {0x01, 0x02, 0x0A}; // most significant byte first
    std::string notBefore = "20140305080910Z";
    std::string notAfter = "20340305080910Z";
};
// A certificate for the key, signed by a fresh issuer key: RSA with SHA-256, or SM2 with SM3
// when the subject key is SM2.
Bytes IssueCertificate(EVP_PKEY* subjectKey, const CertSpec& spec);

// PKCS#1 RSAPrivateKey DER; SM2: the 32-byte private value.
Bytes PrivateKeyBytes(EVP_PKEY* key);
// The modulus of an RSA key, most significant byte first.
Bytes RsaModulus(EVP_PKEY* key);

Bytes RsaEncryptPkcs1(EVP_PKEY* publicKey, const Bytes& plain);
Bytes TripleDesEcbEncrypt(const Bytes& key, const Bytes& plain);
// SM2 ciphertext C1 (x || y) C3 C2.
Bytes Sm2EncryptC1C3C2(EVP_PKEY* publicKey, const Bytes& plain);
Bytes C1C3C2ToC1C2C3(const Bytes& c1c3c2);

std::u16string Base64Text(const Bytes& data);
// DER SEQUENCE { INTEGER 1, OCTET STRING value }.
Bytes KeyField(const Bytes& value);
// One length-prefixed field of the text: 16 digits, then the Base64 text and ",".
std::u16string DeliveryField(const Bytes& der);
std::u16string DeliveryNumber(long long value);
std::u16string DeliveryText(long long deviceType, long long encryptType, long long sessionKeyType,
                            const Bytes& sessionKeyValue, const Bytes& privateKeyValue);

// A delivery for an RSA request container: the encryption key wrapped under a fresh
// session key, the session key under the container's exchange key.
struct RsaDelivery
{
    Pkey key;
    Bytes certificate;
    std::u16string text;
};
RsaDelivery MakeRsaDelivery(const Bytes& exchangePublicBlob, int bits, const CertSpec& spec,
                            unsigned long exponent = 65537);
// The text of an RSA delivery for any plain private-key bytes: a fresh session key under the
// container's exchange key, the bytes under the session key.
std::u16string RsaDeliveryText(const Bytes& exchangePublicBlob, const Bytes& plainPrivateKey);
struct Sm2Delivery
{
    Pkey key;
    Bytes certificate;
    Bytes ciphertext; // C1C3C2
    std::u16string text;
};
Sm2Delivery MakeSm2Delivery(const Bytes& exchangePublicBlob, const CertSpec& spec, bool c1c2c3);

std::string Utf8(const std::u16string& text);

// A fresh RSA key of the given size whose CRT numbers or private exponent have fewer bytes
// than their fields in a key blob (a leading zero byte); null after many tries.
Pkey RsaKeyWithShortNumber(int bits);

// The key bits a request or certificate carries: RSA the modulus, SM2 04 || X || Y.
Bytes PublicKeyBits(EVP_PKEY* key);
