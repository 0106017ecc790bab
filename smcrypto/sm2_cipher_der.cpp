// SM2 ciphertext forms.
#include "smcrypto/sm2_cipher_der.h"
#include "smcrypto/sm2.h"
#include "smcrypto/sm2_asn1.h"

#include <cstring>

namespace
{

size_t DerHeaderSize(size_t cbContent)
{
    return cbContent < 0x80 ? 2 : cbContent < 0x100 ? 3 : cbContent < 0x10000 ? 4 : cbContent < 0x1000000 ? 5 : 6;
}

} // namespace

size_t SmSm2CipherDerMaxSize(size_t cbMsg)
{
    size_t cbInner = 2 * (2 + SM2_BYTES + 1) + (2 + SM2_BYTES) + DerHeaderSize(cbMsg) + cbMsg;
    return DerHeaderSize(cbInner) + cbInner;
}

int SmSm2CipherRawToDer(const unsigned char *pbRaw, size_t cbRaw, unsigned char *pbDer, size_t *pcbDer)
{
    if (!pbRaw || !pcbDer || cbRaw < SM2_CIPHER_OVERHEAD || pbRaw[0] != 0x04 || cbRaw > 0x7FFFFFFF)
        return 0;
    size_t cbMsg = cbRaw - SM2_CIPHER_OVERHEAD;
    if (!pbDer)
    {
        *pcbDer = SmSm2CipherDerMaxSize(cbMsg);
        return 1;
    }
    SM2Cipher *pCipher = SM2Cipher_new();
    int nResult = 0;
    if (pCipher && BN_bin2bn(pbRaw + 1, SM2_BYTES, pCipher->XCoordinate) &&
        BN_bin2bn(pbRaw + 1 + SM2_BYTES, SM2_BYTES, pCipher->YCoordinate) &&
        ASN1_OCTET_STRING_set(pCipher->cipherText, pbRaw + 1 + 2 * SM2_BYTES, int(cbMsg)) &&
        ASN1_OCTET_STRING_set(pCipher->HASH, pbRaw + 1 + 2 * SM2_BYTES + cbMsg, SM2_BYTES))
    {
        int cbNeeded = i2d_SM2Cipher(pCipher, nullptr);
        if (cbNeeded > 0 && size_t(cbNeeded) <= *pcbDer)
        {
            unsigned char *pb = pbDer;
            *pcbDer = size_t(i2d_SM2Cipher(pCipher, &pb));
            nResult = 1;
        }
    }
    SM2Cipher_free(pCipher);
    return nResult;
}

int SmSm2CipherDerToRaw(const unsigned char *pbDer, size_t cbDer, unsigned char *pbRaw, size_t *pcbRaw)
{
    if (!pbDer || !pcbRaw || cbDer > 0x7FFFFFFF)
        return 0;
    const unsigned char *pb = pbDer;
    SM2Cipher *pCipher = d2i_SM2Cipher(nullptr, &pb, long(cbDer));
    int nResult = 0;
    // The whole input must be the one structure, C3 exactly one digest, the point coordinates 32 bytes.
    if (pCipher && pb == pbDer + cbDer && ASN1_STRING_length(pCipher->HASH) == int(SM2_BYTES) &&
        !BN_is_negative(pCipher->XCoordinate) && !BN_is_negative(pCipher->YCoordinate))
    {
        size_t cbMsg = size_t(ASN1_STRING_length(pCipher->cipherText));
        size_t cbNeeded = SM2_CIPHER_OVERHEAD + cbMsg;
        if (!pbRaw)
        {
            *pcbRaw = cbNeeded;
            nResult = 1;
        }
        else if (*pcbRaw >= cbNeeded)
        {
            pbRaw[0] = 0x04;
            if (BNToBytes32(pCipher->XCoordinate, pbRaw + 1) && BNToBytes32(pCipher->YCoordinate, pbRaw + 1 + SM2_BYTES))
            {
                std::memcpy(pbRaw + 1 + 2 * SM2_BYTES, ASN1_STRING_get0_data(pCipher->cipherText), cbMsg);
                std::memcpy(pbRaw + 1 + 2 * SM2_BYTES + cbMsg, ASN1_STRING_get0_data(pCipher->HASH), SM2_BYTES);
                *pcbRaw = cbNeeded;
                nResult = 1;
            }
        }
    }
    SM2Cipher_free(pCipher);
    return nResult;
}
