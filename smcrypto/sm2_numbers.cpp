// Byte forms of SM2 numbers and error entries.
#include "smcrypto/sm2.h"
#include "sm2_internal.h"

#include <openssl/err.h>

int BNToBytes32(const BIGNUM *pbn, unsigned char *pbOut)
{
    if (!pbn || !pbOut || BN_is_negative(pbn) || BN_num_bytes(pbn) > int(SM2_BYTES))
        return 0;
    return BN_bn2binpad(pbn, pbOut, int(SM2_BYTES)) == int(SM2_BYTES);
}

BIGNUM *SmBytesToBN(const unsigned char *pb, size_t cb)
{
    return BN_bin2bn(pb, int(cb < SM2_BYTES ? cb : SM2_BYTES), nullptr);
}

void SmRaise(int nLib, int nReason, const char *pszFunc)
{
    ERR_new();
    ERR_set_debug(OPENSSL_FILE, OPENSSL_LINE, pszFunc);
    ERR_set_error(nLib, nReason, nullptr);
}

const unsigned char SM2_DEFAULT_USER_ID[16] = {'1', '2', '3', '4', '5', '6', '7', '8',
                                               '1', '2', '3', '4', '5', '6', '7', '8'};
