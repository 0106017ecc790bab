// SM3 (GB/T 32905).
#include "smcrypto/sm3.h"
#include "cpu_targets.h"

#include <cstring>

namespace
{

inline uint32_t Rotl(uint32_t dwX, int n)
{
    return (dwX << (n & 31)) | (dwX >> ((32 - n) & 31));
}

inline uint32_t LoadBE32(const unsigned char *pb)
{
    return (uint32_t(pb[0]) << 24) | (uint32_t(pb[1]) << 16) | (uint32_t(pb[2]) << 8) | pb[3];
}

inline void StoreBE32(unsigned char *pb, uint32_t dw)
{
    pb[0] = uint8_t(dw >> 24);
    pb[1] = uint8_t(dw >> 16);
    pb[2] = uint8_t(dw >> 8);
    pb[3] = uint8_t(dw);
}

inline uint32_t P0(uint32_t x) { return x ^ Rotl(x, 9) ^ Rotl(x, 17); }
inline uint32_t P1(uint32_t x) { return x ^ Rotl(x, 15) ^ Rotl(x, 23); }

// T_j rotated left by j, for every round.
struct CRoundConstants
{
    uint32_t k[64];
    constexpr CRoundConstants() : k()
    {
        for (int j = 0; j < 64; ++j)
        {
            uint32_t t = j < 16 ? 0x79CC4519u : 0x7A879D8Au;
            int n = j % 32;
            k[j] = n ? (t << n) | (t >> (32 - n)) : t;
        }
    }
};
constexpr CRoundConstants g_Constants;

// Roles rotate instead of values: each round writes the new A into D and the new E into H.
// The message words live in a ring of 16; W[j + 4] is expanded just before round j needs it.
#define W(i) w[(i) & 15]
#define SM3_EXPAND(j) \
    W((j) + 4) = P1(W((j) - 12) ^ W((j) - 5) ^ Rotl(W((j) + 1), 15)) ^ Rotl(W((j) - 9), 7) ^ W((j) - 2)
#define SM3_ROUND(A, B, C, D, E, F, G, H, j, FF, GG)                      \
    do {                                                                  \
        if ((j) >= 12)                                                    \
            SM3_EXPAND(j);                                                \
        uint32_t a12 = Rotl(A, 12);                                       \
        uint32_t ss1 = Rotl(a12 + E + g_Constants.k[j], 7);               \
        uint32_t ss2 = ss1 ^ a12;                                         \
        uint32_t tt1 = FF(A, B, C) + D + ss2 + (W(j) ^ W((j) + 4));       \
        uint32_t tt2 = GG(E, F, G) + H + ss1 + W(j);                      \
        B = Rotl(B, 9);                                                   \
        D = tt1;                                                          \
        F = Rotl(F, 19);                                                  \
        H = P0(tt2);                                                      \
    } while (0)

#define FF0(x, y, z) ((x) ^ (y) ^ (z))
#define FF1(x, y, z) (((x) & (y)) | ((x) & (z)) | ((y) & (z)))
#define GG0(x, y, z) ((x) ^ (y) ^ (z))
#define GG1(x, y, z) ((((y) ^ (z)) & (x)) ^ (z))

#define SM3_EIGHT(j, FF, GG)                                 \
    SM3_ROUND(a, b, c, d, e, f, g, h, (j) + 0, FF, GG);      \
    SM3_ROUND(d, a, b, c, h, e, f, g, (j) + 1, FF, GG);      \
    SM3_ROUND(c, d, a, b, g, h, e, f, (j) + 2, FF, GG);      \
    SM3_ROUND(b, c, d, a, f, g, h, e, (j) + 3, FF, GG);      \
    SM3_ROUND(a, b, c, d, e, f, g, h, (j) + 4, FF, GG);      \
    SM3_ROUND(d, a, b, c, h, e, f, g, (j) + 5, FF, GG);      \
    SM3_ROUND(c, d, a, b, g, h, e, f, (j) + 6, FF, GG);      \
    SM3_ROUND(b, c, d, a, f, g, h, e, (j) + 7, FF, GG)

SM_HOT_LOOP void Compress(uint32_t *pdwV, const unsigned char *pbBlocks, size_t cBlocks)
{
    uint32_t w[16];
    while (cBlocks--)
    {
        for (int j = 0; j < 16; ++j)
            w[j] = LoadBE32(pbBlocks + 4 * j);

        uint32_t a = pdwV[0], b = pdwV[1], c = pdwV[2], d = pdwV[3];
        uint32_t e = pdwV[4], f = pdwV[5], g = pdwV[6], h = pdwV[7];
        SM3_EIGHT(0, FF0, GG0);
        SM3_EIGHT(8, FF0, GG0);
        SM3_EIGHT(16, FF1, GG1);
        SM3_EIGHT(24, FF1, GG1);
        SM3_EIGHT(32, FF1, GG1);
        SM3_EIGHT(40, FF1, GG1);
        SM3_EIGHT(48, FF1, GG1);
        SM3_EIGHT(56, FF1, GG1);
        pdwV[0] ^= a; pdwV[1] ^= b; pdwV[2] ^= c; pdwV[3] ^= d;
        pdwV[4] ^= e; pdwV[5] ^= f; pdwV[6] ^= g; pdwV[7] ^= h;
        pbBlocks += SM3_CBLOCK;
    }
}
#undef W

} // namespace

int SM3_Init(SM3_CTX *pCtx)
{
    static const uint32_t c_rgdwIv[8] = {0x7380166F, 0x4914B2B9, 0x172442D7, 0xDA8A0600,
                                         0xA96F30BC, 0x163138AA, 0xE38DEE4D, 0xB0FB0E4E};
    std::memcpy(pCtx->digest, c_rgdwIv, sizeof(c_rgdwIv));
    pCtx->nBytes = 0;
    pCtx->num = 0;
    return 1;
}

int SM3_Update(SM3_CTX *pCtx, const void *pvData, size_t cbData)
{
    const unsigned char *pb = static_cast<const unsigned char *>(pvData);
    pCtx->nBytes += cbData;
    if (pCtx->num)
    {
        size_t cbTake = SM3_CBLOCK - pCtx->num;
        if (cbTake > cbData)
            cbTake = cbData;
        std::memcpy(pCtx->block + pCtx->num, pb, cbTake);
        pCtx->num += uint32_t(cbTake);
        pb += cbTake;
        cbData -= cbTake;
        if (pCtx->num < SM3_CBLOCK)
            return 1;
        Compress(pCtx->digest, pCtx->block, 1);
        pCtx->num = 0;
    }
    size_t cBlocks = cbData / SM3_CBLOCK;
    if (cBlocks)
    {
        Compress(pCtx->digest, pb, cBlocks);
        pb += cBlocks * SM3_CBLOCK;
        cbData -= cBlocks * SM3_CBLOCK;
    }
    if (cbData)
    {
        std::memcpy(pCtx->block, pb, cbData);
        pCtx->num = uint32_t(cbData);
    }
    return 1;
}

int SM3_Final(unsigned char *pbDigest, SM3_CTX *pCtx)
{
    uint64_t qwBits = pCtx->nBytes * 8;
    size_t n = pCtx->num;
    pCtx->block[n++] = 0x80;
    if (n > SM3_CBLOCK - 8)
    {
        std::memset(pCtx->block + n, 0, SM3_CBLOCK - n);
        Compress(pCtx->digest, pCtx->block, 1);
        n = 0;
    }
    std::memset(pCtx->block + n, 0, SM3_CBLOCK - 8 - n);
    StoreBE32(pCtx->block + 56, uint32_t(qwBits >> 32));
    StoreBE32(pCtx->block + 60, uint32_t(qwBits));
    Compress(pCtx->digest, pCtx->block, 1);
    for (int i = 0; i < 8; ++i)
        StoreBE32(pbDigest + 4 * i, pCtx->digest[i]);
    std::memset(pCtx, 0, sizeof(*pCtx));
    return 1;
}

void SM3(const void *pvData, size_t cbData, unsigned char *pbDigest)
{
    SM3_CTX ctx;
    SM3_Init(&ctx);
    SM3_Update(&ctx, pvData, cbData);
    SM3_Final(pbDigest, &ctx);
}
