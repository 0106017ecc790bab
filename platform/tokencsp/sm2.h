// SM2 and SM3 through OpenSSL: key pairs, the Z value of the default user ID, signatures
// of a digest, and decryption of C1C3C2 ciphertexts.
#pragma once

#include <cstdint>
#include <vector>

namespace qm::tokencsp
{
using Bytes = std::vector<uint8_t>;

struct Sm2Key
{
    Bytes d;    // 32 bytes, big-endian
    Bytes x, y; // 32 bytes each, big-endian
};

bool Sm2Generate(Sm2Key* key);
// The public point of a private value; false when d is not a valid private key.
bool Sm2FromPrivate(const Bytes& d, Sm2Key* key);
// SM3(ENTL || ID || a || b || xG || yG || xA || yA) with ID "1234567812345678".
Bytes Sm2Z(const Sm2Key& key);
// r and s, 32 bytes each, big-endian.
bool Sm2SignDigest(const Sm2Key& key, const Bytes& digest, Bytes* r, Bytes* s);
// C1 (x || y, 64 bytes), C3 (32 bytes), C2; false when the ciphertext does not open.
bool Sm2Decrypt(const Sm2Key& key, const Bytes& c1c3c2, Bytes* plain);
// For tests and tools: the encryption that Sm2Decrypt opens.
bool Sm2Encrypt(const Sm2Key& key, const Bytes& plain, Bytes* c1c3c2);
} // namespace qm::tokencsp
