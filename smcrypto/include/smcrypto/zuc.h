// ZUC-128 stream cipher (the algorithm of 3GPP 128-EEA3/128-EIA3).
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t ZUC_KEY_LENGTH = 16;
constexpr size_t ZUC_IV_LENGTH = 16;

struct ZUC_CTX
{
    uint32_t s[16];   // LFSR cells (31 bits), s[(pos + i) & 15] is cell i
    uint32_t pos;
    uint32_t R1, R2;  // F registers
    uint32_t X0, X1, X2, X3;
};

void ZUC_init(ZUC_CTX *pCtx, const unsigned char *pbKey, const unsigned char *pbIv);
// Next 32-bit keystream word.
uint32_t ZUC_keyword(ZUC_CTX *pCtx);
// Fills cWords keystream words.
void ZUC_keystream(ZUC_CTX *pCtx, uint32_t *pdwOut, size_t cWords);
// XORs the keystream onto cbLength bytes, most significant byte of each word first.
// Every call starts with a fresh word: unused bytes of its last word are dropped.
void ZUC_crypt(ZUC_CTX *pCtx, const unsigned char *pbIn, unsigned char *pbOut, size_t cbLength);
