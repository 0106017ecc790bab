// The SM decoders over arbitrary bytes: SM2Cipher DER to the raw form and back, the SM2 and
// EC private-key forms, and the SM PKCS#7 type conversions of a decoded message.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <openssl/err.h>
#include <openssl/pkcs7.h>

#include "smcrypto/objects.h"
#include "smcrypto/pkcs7_types.h"
#include "smcrypto/sm2_cipher_der.h"
#include "smcrypto/sm2_private_key.h"

namespace
{
void CipherForms(const uint8_t* data, size_t size)
{
    size_t cbRaw = 0;
    if (!SmSm2CipherDerToRaw(data, size, nullptr, &cbRaw))
        return;
    std::vector<unsigned char> raw(cbRaw);
    size_t cbWritten = cbRaw;
    if (!SmSm2CipherDerToRaw(data, size, raw.data(), &cbWritten))
        __builtin_trap(); // the size answer promised a decode
    if (cbWritten != cbRaw || raw[0] != 0x04)
        __builtin_trap();
    // Back to DER and once more to raw: the same ciphertext.
    size_t cbDer = 0;
    if (!SmSm2CipherRawToDer(raw.data(), raw.size(), nullptr, &cbDer))
        __builtin_trap();
    std::vector<unsigned char> der(cbDer);
    if (!SmSm2CipherRawToDer(raw.data(), raw.size(), der.data(), &cbDer) || cbDer > der.size())
        __builtin_trap();
    std::vector<unsigned char> again(cbRaw);
    size_t cbAgain = again.size();
    if (!SmSm2CipherDerToRaw(der.data(), cbDer, again.data(), &cbAgain) || cbAgain != cbRaw ||
        std::memcmp(again.data(), raw.data(), cbRaw) != 0)
        __builtin_trap();
}

void RawForm(const uint8_t* data, size_t size)
{
    size_t cbDer = 0;
    if (!SmSm2CipherRawToDer(data, size, nullptr, &cbDer))
        return;
    std::vector<unsigned char> der(cbDer);
    if (SmSm2CipherRawToDer(data, size, der.data(), &cbDer) && cbDer > der.size())
        __builtin_trap();
}

void PrivateKeys(const uint8_t* data, size_t size)
{
    const unsigned char* pb = data;
    if (EC_KEY* pKey = d2i_SM2PrivateKey(nullptr, &pb, long(size)))
    {
        if (pb < data || pb > data + size)
            __builtin_trap();
        EC_KEY_free(pKey);
    }
    pb = data;
    if (EVP_PKEY* pKey = SmD2iEcPrivateKey(nullptr, &pb, long(size)))
    {
        if (pb < data || pb > data + size)
            __builtin_trap();
        EVP_PKEY_free(pKey);
    }
}

void Pkcs7Types(const uint8_t* data, size_t size)
{
    const unsigned char* pb = data;
    PKCS7* pP7 = d2i_PKCS7(nullptr, &pb, long(size));
    if (!pP7)
        return;
    if (SmPkcs7ToStock(pP7))
    {
        unsigned char* pbOut = nullptr;
        int cb = i2d_PKCS7(pP7, &pbOut);
        OPENSSL_free(pbOut);
        if (SmPkcs7ToSm(pP7) && cb > 0)
        {
            // The SM form is written and read back as such.
            pbOut = nullptr;
            cb = i2d_PKCS7(pP7, &pbOut);
            if (cb > 0)
            {
                const unsigned char* pbBack = pbOut;
                PKCS7* pBack = d2i_PKCS7(nullptr, &pbBack, cb);
                if (pBack && !SmPkcs7ToStock(pBack))
                    __builtin_trap();
                PKCS7_free(pBack);
            }
            OPENSSL_free(pbOut);
        }
    }
    PKCS7_free(pP7);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SmObjectIds();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // libFuzzer hands each input over in a heap block of its exact size: a read past it reaches
    // the sanitizer.
    CipherForms(data, size);
    RawForm(data, size);
    PrivateKeys(data, size);
    Pkcs7Types(data, size);
    ERR_clear_error();
    return 0;
}
