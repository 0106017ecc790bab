// Keys and certificates from files, and certificates issued for keys that live in a
// provider, with OpenSSL (kept apart from the Windows headers, whose names collide).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qmctl
{
using Bytes = std::vector<uint8_t>;

// A certificate file, PEM or DER, as DER.
bool ReadCertificateFile(const std::string& path, Bytes* der, std::string* error);

struct KeyFile
{
    bool sm2 = false;
    Bytes rsaPkcs1;   // RSAPrivateKey DER
    Bytes sm2Private; // 32 bytes, big-endian
};
// A private key file (PEM or DER, PKCS#8 or traditional), RSA or SM2.
bool ReadKeyFile(const std::string& path, KeyFile* key, std::string* error);

struct PublicKey
{
    bool sm2 = false;
    Bytes rsaModulus; // big-endian
    uint32_t rsaExponent = 65537;
    Bytes sm2X, sm2Y; // big-endian
};
// A certificate for the key, with the subject ("CN=..,O=.." or "/CN=../O=.."), signed by the
// authority's key and certificate files, valid from now - 1 day for `days` days. Its key
// usage is what an authority gives the key spec: signing keys digitalSignature and
// nonRepudiation, exchange keys also keyEncipherment.
bool IssueCertificate(const PublicKey& key, const std::string& subject,
                      const std::string& caKeyPath, const std::string& caCertPath, int days,
                      bool signatureKey, Bytes* der, std::string* error);

// SHA-1 of the bytes in upper-case hex.
std::string Sha1Hex(const Bytes& data);
} // namespace qmctl
