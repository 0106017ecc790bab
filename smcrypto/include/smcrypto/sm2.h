// SM2 (GB/T 32918) signature, verification, encryption, decryption, Z value and key derivation
// on OpenSSL's big numbers and curve arithmetic. Failures leave an entry on OpenSSL's error queue.
#pragma once
#include <cstddef>

#include <openssl/bn.h>
#include <openssl/ec.h>

constexpr size_t SM2_BYTES = 32;
// 0x04 || x1 || y1 before C2, and C3 after it.
constexpr size_t SM2_CIPHER_OVERHEAD = 1 + 2 * SM2_BYTES + SM2_BYTES;

// The curve ids: the recommended curve and the test curve of the standard's worked examples.
int SmNidSm2Curve();
int SmNidSm2TestCurve();

// A new group for one of our curves or for any built-in curve of the library; null on failure.
EC_GROUP *SmCurveNewByNid(int nNid);
// Our curve id for a group with the parameters of one of our curves, else the group's own id.
int SmCurveNidOfGroup(const EC_GROUP *pGroup);

// Exactly 32 big-endian bytes, left-padded; 0 for a value longer than 32 bytes.
int BNToBytes32(const BIGNUM *pbn, unsigned char *pbOut);
// At most the first 32 bytes of pb as a number.
BIGNUM *SmBytesToBN(const unsigned char *pb, size_t cb);

ECDSA_SIG *SM2_do_sign(const BIGNUM *pbnE, const BIGNUM *pbnD, int nNid);
int SM2_do_verify(const ECDSA_SIG *pSig, const BIGNUM *pbnX, const BIGNUM *pbnY, const BIGNUM *pbnE, int nNid);
int SM2_verify_raw(const unsigned char *pbR, const unsigned char *pbS, const unsigned char *pbX,
                   const unsigned char *pbY, const unsigned char *pbE);

int SM2_compute_z_id(const unsigned char *pbId, size_t cbId, const BIGNUM *pbnA, const BIGNUM *pbnB,
                     const BIGNUM *pbnXG, const BIGNUM *pbnYG, const BIGNUM *pbnXA, const BIGNUM *pbnYA,
                     unsigned char *pbZ);
// Z with the default user ID and the recommended curve's a, b and G.
int SM2_compute_z(const unsigned char *pbXA, const unsigned char *pbYA, unsigned char *pbZ);
int SM2_kdf(const unsigned char *pbIn, size_t cbIn, size_t cBitsOut, unsigned char *pbOut);

// pbOut receives 0x04 || x1 || y1 || C2 || C3: cbMsg + 97 bytes. An empty message fails.
int SM2_do_encrypt(int nNid, const unsigned char *pbMsg, size_t cbMsg, const BIGNUM *pbnX, const BIGNUM *pbnY,
                   unsigned char *pbOut);
// pbOut receives cbIn - 97 bytes; returns 0 when C3 does not match, with M' written anyway.
int SM2_do_decrypt(int nNid, const unsigned char *pbIn, size_t cbIn, const BIGNUM *pbnD, unsigned char *pbOut);

// The standard's default user ID: the digits 1 to 8 twice.
extern const unsigned char SM2_DEFAULT_USER_ID[16];
