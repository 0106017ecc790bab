// SM4 block cipher (GB/T 32907) and its CBC mode.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t SM4_BLOCK_SIZE = 16;
constexpr size_t SM4_KEY_LENGTH = 16;

struct SM4_KEY
{
    uint32_t mk[4];   // the key as four big-endian words
    uint32_t rk[32];  // round keys, reversed for decryption
};

// bEncrypt selects the round-key order.
void SM4_set_key(const unsigned char *pbKey, bool bEncrypt, SM4_KEY *pKey);
// One block with the key's round-key order.
void SM4_crypt_block(const unsigned char *pbIn, unsigned char *pbOut, const SM4_KEY *pKey);
// Every whole block of cbLength in CBC mode; pbIv is updated, trailing bytes are left alone.
// Returns the number of bytes processed.
size_t SM4_cbc_encrypt(const unsigned char *pbIn, unsigned char *pbOut, size_t cbLength,
                       const SM4_KEY *pKey, unsigned char *pbIv, bool bEncrypt);
