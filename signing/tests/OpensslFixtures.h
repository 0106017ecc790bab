// The OpenSSL side of the signing tests, kept apart from the Windows headers (the library's
// type names collide with CryptoAPI's constants): keys, certificates, reference signatures.
#pragma once

#include <string>
#include <vector>

namespace signing_test::ossl
{
using Bytes = std::vector<unsigned char>;

struct CertificateFacts
{
    Bytes issuerDer;
    Bytes serialContent; // the INTEGER content, most significant byte first
};

// Facts of a DER certificate; false when it does not parse.
bool ReadCertificate(const Bytes& der, CertificateFacts& facts);

// Digest of the content: "MD5", "SHA1", "SHA256", "SM3".
Bytes Digest(const std::string& name, const Bytes& content);

// RSA PKCS#1 v1.5 over the content's digest, big-endian; empty on failure.
Bytes SignRsa(const std::string& keyPath, const std::string& digestName, const Bytes& content);
// SM2 with SM3 and the default user id: r then s, each 32 bytes big-endian; empty on failure.
Bytes SignSm2(const std::string& keyPath, const Bytes& content);

// SM2 signature value (SEQUENCE { r, s }) over the content with the default user id.
bool VerifySm2(const Bytes& certDer, const Bytes& content, const Bytes& derSignature);
// SM2 signature value over a ready digest, as the token signs it on the digest road.
bool VerifySm2Digest(const Bytes& certDer, const Bytes& digest, const Bytes& derSignature);
// RSA PKCS#1 v1.5 big-endian signature over a ready digest.
bool VerifyRsaDigest(const Bytes& certDer, const std::string& digestName, const Bytes& digest,
                     const Bytes& signature);

// True when OpenSSL reads the SEQUENCE { r, s } and writes back the same bytes: strict DER.
bool IsStrictSignatureDer(const Bytes& derSignature);

Bytes DecodeBase64(const std::string& text);
std::string EncodeBase64(const Bytes& data);
} // namespace signing_test::ossl
