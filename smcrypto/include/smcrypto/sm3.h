// SM3 hash (GB/T 32905): 64-byte blocks, 32-byte digest.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t SM3_DIGEST_LENGTH = 32;
constexpr size_t SM3_CBLOCK = 64;

struct SM3_CTX
{
    uint32_t digest[8];   // chaining words
    uint64_t nBytes;      // bytes hashed so far
    uint32_t num;         // bytes waiting in block
    uint8_t block[SM3_CBLOCK];
};

int SM3_Init(SM3_CTX *pCtx);
int SM3_Update(SM3_CTX *pCtx, const void *pvData, size_t cbData);
int SM3_Final(unsigned char *pbDigest, SM3_CTX *pCtx);
// One call over a whole buffer; pbDigest receives 32 bytes.
void SM3(const void *pvData, size_t cbData, unsigned char *pbDigest);
