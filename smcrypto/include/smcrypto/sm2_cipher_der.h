// Conversion of SM2 ciphertexts between the raw form 0x04 || x1 || y1 || C2 || C3 and SM2Cipher DER.
#pragma once
#include <cstddef>

// With pbDer null only *pcbDer is set (an upper bound); else *pcbDer is the written length.
int SmSm2CipherRawToDer(const unsigned char *pbRaw, size_t cbRaw, unsigned char *pbDer, size_t *pcbDer);
// The raw form is always 97 bytes plus the length of C2; with pbRaw null only the length is set.
int SmSm2CipherDerToRaw(const unsigned char *pbDer, size_t cbDer, unsigned char *pbRaw, size_t *pcbRaw);
// Largest DER length of a message of cbMsg bytes.
size_t SmSm2CipherDerMaxSize(size_t cbMsg);
