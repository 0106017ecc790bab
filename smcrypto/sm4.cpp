// SM4 (GB/T 32907) with CBC mode.
#include "smcrypto/sm4.h"

#include <cstring>

namespace
{

constexpr uint8_t c_rgbSbox[256] = {
    0xD6, 0x90, 0xE9, 0xFE, 0xCC, 0xE1, 0x3D, 0xB7, 0x16, 0xB6, 0x14, 0xC2, 0x28, 0xFB, 0x2C, 0x05,
    0x2B, 0x67, 0x9A, 0x76, 0x2A, 0xBE, 0x04, 0xC3, 0xAA, 0x44, 0x13, 0x26, 0x49, 0x86, 0x06, 0x99,
    0x9C, 0x42, 0x50, 0xF4, 0x91, 0xEF, 0x98, 0x7A, 0x33, 0x54, 0x0B, 0x43, 0xED, 0xCF, 0xAC, 0x62,
    0xE4, 0xB3, 0x1C, 0xA9, 0xC9, 0x08, 0xE8, 0x95, 0x80, 0xDF, 0x94, 0xFA, 0x75, 0x8F, 0x3F, 0xA6,
    0x47, 0x07, 0xA7, 0xFC, 0xF3, 0x73, 0x17, 0xBA, 0x83, 0x59, 0x3C, 0x19, 0xE6, 0x85, 0x4F, 0xA8,
    0x68, 0x6B, 0x81, 0xB2, 0x71, 0x64, 0xDA, 0x8B, 0xF8, 0xEB, 0x0F, 0x4B, 0x70, 0x56, 0x9D, 0x35,
    0x1E, 0x24, 0x0E, 0x5E, 0x63, 0x58, 0xD1, 0xA2, 0x25, 0x22, 0x7C, 0x3B, 0x01, 0x21, 0x78, 0x87,
    0xD4, 0x00, 0x46, 0x57, 0x9F, 0xD3, 0x27, 0x52, 0x4C, 0x36, 0x02, 0xE7, 0xA0, 0xC4, 0xC8, 0x9E,
    0xEA, 0xBF, 0x8A, 0xD2, 0x40, 0xC7, 0x38, 0xB5, 0xA3, 0xF7, 0xF2, 0xCE, 0xF9, 0x61, 0x15, 0xA1,
    0xE0, 0xAE, 0x5D, 0xA4, 0x9B, 0x34, 0x1A, 0x55, 0xAD, 0x93, 0x32, 0x30, 0xF5, 0x8C, 0xB1, 0xE3,
    0x1D, 0xF6, 0xE2, 0x2E, 0x82, 0x66, 0xCA, 0x60, 0xC0, 0x29, 0x23, 0xAB, 0x0D, 0x53, 0x4E, 0x6F,
    0xD5, 0xDB, 0x37, 0x45, 0xDE, 0xFD, 0x8E, 0x2F, 0x03, 0xFF, 0x6A, 0x72, 0x6D, 0x6C, 0x5B, 0x51,
    0x8D, 0x1B, 0xAF, 0x92, 0xBB, 0xDD, 0xBC, 0x7F, 0x11, 0xD9, 0x5C, 0x41, 0x1F, 0x10, 0x5A, 0xD8,
    0x0A, 0xC1, 0x31, 0x88, 0xA5, 0xCD, 0x7B, 0xBD, 0x2D, 0x74, 0xD0, 0x12, 0xB8, 0xE5, 0xB4, 0xB0,
    0x89, 0x69, 0x97, 0x4A, 0x0C, 0x96, 0x77, 0x7E, 0x65, 0xB9, 0xF1, 0x09, 0xC5, 0x6E, 0xC6, 0x84,
    0x18, 0xF0, 0x7D, 0xEC, 0x3A, 0xDC, 0x4D, 0x20, 0x79, 0xEE, 0x5F, 0x3E, 0xD7, 0xCB, 0x39, 0x48,
};

constexpr uint32_t c_rgdwFk[4] = {0xA3B1BAC6, 0x56AA3350, 0x677D9197, 0xB27022DC};

constexpr uint32_t Rotl(uint32_t dwX, int n)
{
    return (dwX << (n & 31)) | (dwX >> ((32 - n) & 31));
}

constexpr uint32_t L(uint32_t b) { return b ^ Rotl(b, 2) ^ Rotl(b, 10) ^ Rotl(b, 18) ^ Rotl(b, 24); }
constexpr uint32_t LKey(uint32_t b) { return b ^ Rotl(b, 13) ^ Rotl(b, 23); }

constexpr uint32_t Tau(uint32_t a)
{
    return (uint32_t(c_rgbSbox[a >> 24]) << 24) | (uint32_t(c_rgbSbox[(a >> 16) & 0xFF]) << 16) |
           (uint32_t(c_rgbSbox[(a >> 8) & 0xFF]) << 8) | c_rgbSbox[a & 0xFF];
}

// S-box and linear transform of one byte position; L is linear, so the four tables XOR together.
struct CTables
{
    uint32_t t[4][256];
    constexpr CTables() : t()
    {
        for (int x = 0; x < 256; ++x)
        {
            uint32_t dw = L(uint32_t(c_rgbSbox[x]) << 24);
            for (int i = 0; i < 4; ++i)
                t[i][x] = Rotl(dw, 32 - 8 * i);
        }
    }
};
constexpr CTables g_Tables;

// Key constants: byte j of CK_i is (4i + j) * 7 mod 256.
struct CKeyConstants
{
    uint32_t ck[32];
    constexpr CKeyConstants() : ck()
    {
        for (int i = 0; i < 32; ++i)
            for (int j = 0; j < 4; ++j)
                ck[i] = (ck[i] << 8) | uint32_t(((4 * i + j) * 7) & 0xFF);
    }
};
constexpr CKeyConstants g_KeyConstants;

inline uint32_t T(uint32_t x)
{
    return g_Tables.t[0][x >> 24] ^ g_Tables.t[1][(x >> 16) & 0xFF] ^ g_Tables.t[2][(x >> 8) & 0xFF] ^
           g_Tables.t[3][x & 0xFF];
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

#define SM4_FOUR(i)                                      \
    x0 ^= T(x1 ^ x2 ^ x3 ^ pdwRk[(i) + 0]);             \
    x1 ^= T(x2 ^ x3 ^ x0 ^ pdwRk[(i) + 1]);             \
    x2 ^= T(x3 ^ x0 ^ x1 ^ pdwRk[(i) + 2]);             \
    x3 ^= T(x0 ^ x1 ^ x2 ^ pdwRk[(i) + 3])

inline void CryptWords(uint32_t &x0, uint32_t &x1, uint32_t &x2, uint32_t &x3, const uint32_t *pdwRk)
{
    SM4_FOUR(0);  SM4_FOUR(4);  SM4_FOUR(8);  SM4_FOUR(12);
    SM4_FOUR(16); SM4_FOUR(20); SM4_FOUR(24); SM4_FOUR(28);
}

} // namespace

void SM4_set_key(const unsigned char *pbKey, bool bEncrypt, SM4_KEY *pKey)
{
    uint32_t k[4];
    for (int i = 0; i < 4; ++i)
    {
        pKey->mk[i] = LoadBE32(pbKey + 4 * i);
        k[i] = pKey->mk[i] ^ c_rgdwFk[i];
    }
    for (int i = 0; i < 32; ++i)
    {
        uint32_t dwNew = k[0] ^ LKey(Tau(k[1] ^ k[2] ^ k[3] ^ g_KeyConstants.ck[i]));
        pKey->rk[bEncrypt ? i : 31 - i] = dwNew;
        k[0] = k[1];
        k[1] = k[2];
        k[2] = k[3];
        k[3] = dwNew;
    }
}

void SM4_crypt_block(const unsigned char *pbIn, unsigned char *pbOut, const SM4_KEY *pKey)
{
    uint32_t x0 = LoadBE32(pbIn), x1 = LoadBE32(pbIn + 4), x2 = LoadBE32(pbIn + 8), x3 = LoadBE32(pbIn + 12);
    CryptWords(x0, x1, x2, x3, pKey->rk);
    // The output is the last four words in reverse order.
    StoreBE32(pbOut, x3);
    StoreBE32(pbOut + 4, x2);
    StoreBE32(pbOut + 8, x1);
    StoreBE32(pbOut + 12, x0);
}

size_t SM4_cbc_encrypt(const unsigned char *pbIn, unsigned char *pbOut, size_t cbLength,
                       const SM4_KEY *pKey, unsigned char *pbIv, bool bEncrypt)
{
    size_t cBlocks = cbLength / SM4_BLOCK_SIZE;
    uint32_t v0 = LoadBE32(pbIv), v1 = LoadBE32(pbIv + 4), v2 = LoadBE32(pbIv + 8), v3 = LoadBE32(pbIv + 12);
    for (size_t n = 0; n < cBlocks; ++n, pbIn += 16, pbOut += 16)
    {
        uint32_t i0 = LoadBE32(pbIn), i1 = LoadBE32(pbIn + 4), i2 = LoadBE32(pbIn + 8), i3 = LoadBE32(pbIn + 12);
        if (bEncrypt)
        {
            uint32_t x0 = i0 ^ v0, x1 = i1 ^ v1, x2 = i2 ^ v2, x3 = i3 ^ v3;
            CryptWords(x0, x1, x2, x3, pKey->rk);
            v0 = x3; v1 = x2; v2 = x1; v3 = x0;
            StoreBE32(pbOut, v0);
            StoreBE32(pbOut + 4, v1);
            StoreBE32(pbOut + 8, v2);
            StoreBE32(pbOut + 12, v3);
        }
        else
        {
            uint32_t x0 = i0, x1 = i1, x2 = i2, x3 = i3;
            CryptWords(x0, x1, x2, x3, pKey->rk);
            // Read the whole input block before writing, so in place works.
            StoreBE32(pbOut, x3 ^ v0);
            StoreBE32(pbOut + 4, x2 ^ v1);
            StoreBE32(pbOut + 8, x1 ^ v2);
            StoreBE32(pbOut + 12, x0 ^ v3);
            v0 = i0; v1 = i1; v2 = i2; v3 = i3;
        }
    }
    StoreBE32(pbIv, v0);
    StoreBE32(pbIv + 4, v1);
    StoreBE32(pbIv + 8, v2);
    StoreBE32(pbIv + 12, v3);
    return cBlocks * SM4_BLOCK_SIZE;
}
