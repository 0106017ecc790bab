// Entry points behind the SM2 operations that take the random value from the caller;
// the public operations pass null. Used by the worked-example tests.
#pragma once
#include "smcrypto/sm2.h"

ECDSA_SIG *SmSm2SignWithK(const BIGNUM *pbnE, const BIGNUM *pbnD, int nNid, const BIGNUM *pbnFixedK);
int SmSm2EncryptWithK(int nNid, const unsigned char *pbMsg, size_t cbMsg, const BIGNUM *pbnX, const BIGNUM *pbnY,
                      unsigned char *pbOut, const BIGNUM *pbnFixedK);

// Error entries keep the library and reason numbers of the old library; function codes are
// replaced by the function name the queue records.
void SmRaise(int nLib, int nReason, const char *pszFunc);
#define SM_RAISE(lib, reason) SmRaise((lib), (reason), __func__)

// Reasons of the ECDSA and EC libraries that these operations report.
constexpr int SM_R_MALLOC = 65;
constexpr int SM_R_PASSED_NULL = 67;
constexpr int SM_R_BN_LIB = 3;
constexpr int SM_R_EC_LIB = 16;
constexpr int SM_R_RANDOM = 104;
constexpr int SM_R_UNKNOWN_GROUP = 141;
