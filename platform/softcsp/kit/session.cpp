// Session keys: Triple DES and AES in CBC or ECB mode with PKCS#5 padding, as CryptEncrypt
// and CryptDecrypt use them (the chaining value carries over between calls of one message).
#include <openssl/evp.h>

#include <cstring>

#include "kit.h"

namespace qm::cspkit
{
namespace
{
const EVP_CIPHER* CipherOf(ALG_ID alg, DWORD mode)
{
    bool ecb = mode == CRYPT_MODE_ECB;
    switch (alg)
    {
    case CALG_3DES:
        return ecb ? EVP_des_ede3_ecb() : EVP_des_ede3_cbc();
    case CALG_3DES_112:
        return ecb ? EVP_des_ede_ecb() : EVP_des_ede_cbc();
    case CALG_AES_128:
        return ecb ? EVP_aes_128_ecb() : EVP_aes_128_cbc();
    case CALG_AES_192:
        return ecb ? EVP_aes_192_ecb() : EVP_aes_192_cbc();
    case CALG_AES_256:
        return ecb ? EVP_aes_256_ecb() : EVP_aes_256_cbc();
    default:
        return nullptr;
    }
}

bool Run(SessionKey& key, bool encrypt, BYTE* data, size_t length)
{
    const EVP_CIPHER* cipher = CipherOf(key.alg, key.mode);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int out = 0;
    bool ok = cipher && ctx &&
              EVP_CipherInit_ex(ctx, cipher, nullptr, key.key.data(),
                                key.mode == CRYPT_MODE_ECB ? nullptr : key.chain.data(),
                                encrypt ? 1 : 0) == 1 &&
              EVP_CIPHER_CTX_set_padding(ctx, 0) == 1 &&
              (length == 0 || EVP_CipherUpdate(ctx, data, &out, data, int(length)) == 1);
    if (ok && key.mode != CRYPT_MODE_ECB && length > 0)
    {
        // The next call continues from the last cipher block.
        size_t block = BlockBytes(key.alg);
        if (encrypt)
            std::memcpy(key.chain.data(), data + length - block, block);
    }
    EVP_CIPHER_CTX_free(ctx);
    return ok;
}
} // namespace

DWORD SessionKeyBits(ALG_ID alg)
{
    switch (alg)
    {
    case CALG_3DES:
        return 192;
    case CALG_3DES_112:
        return 128;
    case CALG_AES_128:
        return 128;
    case CALG_AES_192:
        return 192;
    case CALG_AES_256:
        return 256;
    default:
        return 0;
    }
}

DWORD BlockBytes(ALG_ID alg)
{
    return (alg == CALG_3DES || alg == CALG_3DES_112) ? 8 : 16;
}

bool NewSessionKey(ALG_ID alg, SessionKey* key)
{
    DWORD bits = SessionKeyBits(alg);
    if (!bits)
        return false;
    key->alg = alg;
    key->key.assign(bits / 8, 0);
    key->iv.assign(BlockBytes(alg), 0);
    key->chain = key->iv;
    return RandomBytes(key->key.data(), key->key.size());
}

DWORD SymCrypt(SessionKey& key, bool encrypt, bool final, BYTE* data, DWORD* length,
               DWORD bufferLength)
{
    size_t block = BlockBytes(key.alg);
    size_t n = *length;
    if (encrypt)
    {
        size_t total = final ? (n / block + 1) * block : n;
        if (!final && n % block)
            return DWORD(NTE_BAD_DATA);
        if (!data || bufferLength < total)
        {
            *length = DWORD(total);
            return data ? DWORD(ERROR_MORE_DATA) : 0;
        }
        if (final)
            for (size_t i = n; i < total; ++i)
                data[i] = BYTE(total - n);
        if (!Run(key, true, data, total))
            return DWORD(NTE_FAIL);
        if (final)
            key.chain = key.iv;
        *length = DWORD(total);
        return 0;
    }
    if (n % block)
        return DWORD(NTE_BAD_DATA);
    Bytes nextChain = key.chain;
    if (n >= block)
        nextChain.assign(data + n - block, data + n);
    if (!Run(key, false, data, n))
        return DWORD(NTE_FAIL);
    key.chain = final ? key.iv : nextChain;
    if (final)
    {
        if (n == 0)
            return DWORD(NTE_BAD_DATA);
        BYTE pad = data[n - 1];
        if (pad == 0 || pad > block)
            return DWORD(NTE_BAD_DATA);
        for (size_t i = n - pad; i < n; ++i)
            if (data[i] != pad)
                return DWORD(NTE_BAD_DATA);
        n -= pad;
    }
    *length = DWORD(n);
    return 0;
}

BOOL GetSessionKeyParam(const SessionKey& key, DWORD param, BYTE* data, DWORD* length)
{
    switch (param)
    {
    case KP_ALGID:
        return CopyDword(key.alg, data, length);
    case KP_KEYLEN:
        return CopyDword(SessionKeyBits(key.alg), data, length);
    case KP_BLOCKLEN:
        return CopyDword(BlockBytes(key.alg) * 8, data, length);
    case KP_MODE:
        return CopyDword(key.mode, data, length);
    case KP_PADDING:
        return CopyDword(key.padding, data, length);
    case KP_PERMISSIONS:
        return CopyDword(key.permissions, data, length);
    case KP_IV:
        return CopyOut(key.iv.data(), DWORD(key.iv.size()), data, length);
    default:
        return Fail(DWORD(NTE_BAD_TYPE));
    }
}

BOOL SetSessionKeyParam(SessionKey& key, DWORD param, const BYTE* data)
{
    DWORD value = 0;
    std::memcpy(&value, data, sizeof value);
    switch (param)
    {
    case KP_MODE:
        if (value != CRYPT_MODE_CBC && value != CRYPT_MODE_ECB)
            return Fail(DWORD(NTE_BAD_DATA));
        key.mode = value;
        return TRUE;
    case KP_PADDING:
        if (value != PKCS5_PADDING)
            return Fail(DWORD(NTE_BAD_DATA));
        return TRUE;
    case KP_PERMISSIONS:
        key.permissions = value;
        return TRUE;
    case KP_IV:
        key.iv.assign(data, data + BlockBytes(key.alg));
        key.chain = key.iv;
        return TRUE;
    default:
        return Fail(DWORD(NTE_BAD_TYPE));
    }
}
} // namespace qm::cspkit
