// Our SM algorithms beside OpenSSL 3's in the same run; the ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include "smcrypto/sm2.h"
#include "smcrypto/smalgorithms.h"
#include "smcrypto/sm3.h"
#include "smcrypto/zuc.h"

namespace
{

constexpr size_t c_cbBuffer = 16 * 1024;
std::map<std::string, double> g_mapRates;  // items or bytes per second, by benchmark name

std::vector<unsigned char> Random(size_t cb)
{
    std::vector<unsigned char> vb(cb);
    RAND_bytes(vb.data(), int(cb));
    return vb;
}


void Digest(benchmark::State &state, const char *pszQuery)
{
    SmRegisterAllAlgorithms();
    EVP_MD *pMd = EVP_MD_fetch(nullptr, "SM3", pszQuery);
    std::vector<unsigned char> vb = Random(c_cbBuffer);
    unsigned char rgb[32];
    for (auto _ : state)
    {
        unsigned int cb = 0;
        EVP_Digest(vb.data(), vb.size(), rgb, &cb, pMd, nullptr);
        benchmark::DoNotOptimize(rgb);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c_cbBuffer));
    EVP_MD_free(pMd);
}

void Cbc(benchmark::State &state, const char *pszQuery)
{
    SmRegisterAllAlgorithms();
    EVP_CIPHER *pCipher = EVP_CIPHER_fetch(nullptr, "SM4-CBC", pszQuery);
    EVP_CIPHER_CTX *pCtx = EVP_CIPHER_CTX_new();
    std::vector<unsigned char> vbKey = Random(16), vbIv = Random(16), vb = Random(c_cbBuffer), vbOut(c_cbBuffer + 16);
    EVP_EncryptInit_ex2(pCtx, pCipher, vbKey.data(), vbIv.data(), nullptr);
    EVP_CIPHER_CTX_set_padding(pCtx, 0);
    for (auto _ : state)
    {
        int cb = 0;
        EVP_EncryptUpdate(pCtx, vbOut.data(), &cb, vb.data(), int(vb.size()));
        benchmark::DoNotOptimize(vbOut.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c_cbBuffer));
    EVP_CIPHER_CTX_free(pCtx);
    EVP_CIPHER_free(pCipher);
}

void BM_Sm3_Ours(benchmark::State &state) { Digest(state, SM_PROVIDER_QUERY); }
void BM_Sm3_OpenSSL(benchmark::State &state) { Digest(state, "provider=default"); }
void BM_Sm4Cbc_Ours(benchmark::State &state) { Cbc(state, SM_PROVIDER_QUERY); }
void BM_Sm4Cbc_OpenSSL(benchmark::State &state) { Cbc(state, "provider=default"); }

void BM_Zuc_Ours(benchmark::State &state)
{
    std::vector<unsigned char> vbKey = Random(16), vbIv = Random(16), vb = Random(c_cbBuffer), vbOut(c_cbBuffer);
    ZUC_CTX ctx;
    ZUC_init(&ctx, vbKey.data(), vbIv.data());
    for (auto _ : state)
    {
        ZUC_crypt(&ctx, vb.data(), vbOut.data(), vb.size());
        benchmark::DoNotOptimize(vbOut.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c_cbBuffer));
}

// A key of OpenSSL's SM2 key type and the same values for our functions.
struct CSm2Key
{
    EVP_PKEY *pKey = nullptr;
    BIGNUM *pbnD = nullptr, *pbnX = nullptr, *pbnY = nullptr;
    CSm2Key()
    {
        pKey = EVP_PKEY_Q_keygen(nullptr, "provider=default", "SM2");
        EVP_PKEY_get_bn_param(pKey, OSSL_PKEY_PARAM_PRIV_KEY, &pbnD);
        EVP_PKEY_get_bn_param(pKey, OSSL_PKEY_PARAM_EC_PUB_X, &pbnX);
        EVP_PKEY_get_bn_param(pKey, OSSL_PKEY_PARAM_EC_PUB_Y, &pbnY);
    }
    ~CSm2Key()
    {
        EVP_PKEY_free(pKey);
        BN_free(pbnD);
        BN_free(pbnX);
        BN_free(pbnY);
    }
};

// Ours creates the curve group on every call, as the operations are specified to.
void BM_Sm2Sign_Ours(benchmark::State &state)
{
    CSm2Key key;
    std::vector<unsigned char> vbE = Random(32);
    BIGNUM *pbnE = BN_bin2bn(vbE.data(), 32, nullptr);
    for (auto _ : state)
        ECDSA_SIG_free(SM2_do_sign(pbnE, key.pbnD, SmNidSm2Curve()));
    state.SetItemsProcessed(int64_t(state.iterations()));
    BN_free(pbnE);
}

void BM_Sm2Sign_OpenSSL(benchmark::State &state)
{
    CSm2Key key;
    std::vector<unsigned char> vbE = Random(32), vbSig(80);
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(nullptr, key.pKey, "provider=default");
    EVP_PKEY_sign_init(pCtx);
    for (auto _ : state)
    {
        size_t cb = vbSig.size();
        EVP_PKEY_sign(pCtx, vbSig.data(), &cb, vbE.data(), vbE.size());
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    EVP_PKEY_CTX_free(pCtx);
}

void BM_Sm2Verify_Ours(benchmark::State &state)
{
    CSm2Key key;
    std::vector<unsigned char> vbE = Random(32);
    BIGNUM *pbnE = BN_bin2bn(vbE.data(), 32, nullptr);
    ECDSA_SIG *pSig = SM2_do_sign(pbnE, key.pbnD, SmNidSm2Curve());
    for (auto _ : state)
        benchmark::DoNotOptimize(SM2_do_verify(pSig, key.pbnX, key.pbnY, pbnE, SmNidSm2Curve()));
    state.SetItemsProcessed(int64_t(state.iterations()));
    ECDSA_SIG_free(pSig);
    BN_free(pbnE);
}

void BM_Sm2Verify_OpenSSL(benchmark::State &state)
{
    CSm2Key key;
    std::vector<unsigned char> vbE = Random(32), vbSig(80);
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(nullptr, key.pKey, "provider=default");
    EVP_PKEY_sign_init(pCtx);
    size_t cbSig = vbSig.size();
    EVP_PKEY_sign(pCtx, vbSig.data(), &cbSig, vbE.data(), vbE.size());
    EVP_PKEY_verify_init(pCtx);
    for (auto _ : state)
        benchmark::DoNotOptimize(EVP_PKEY_verify(pCtx, vbSig.data(), cbSig, vbE.data(), vbE.size()));
    state.SetItemsProcessed(int64_t(state.iterations()));
    EVP_PKEY_CTX_free(pCtx);
}

// Encryption and decryption through the provider, on the library's EC key type on the SM2
// curve (the library generates such keys but imports them as its SM2 type), and through
// OpenSSL's own SM2 key type; both give the SM2Cipher DER of a 64-byte message.
struct CCipherPair
{
    EVP_PKEY *pEc = EVP_PKEY_Q_keygen(nullptr, "provider=default", "EC", "SM2");
    EVP_PKEY *pSm2 = EVP_PKEY_Q_keygen(nullptr, "provider=default", "SM2");
    std::vector<unsigned char> vbMsg = Random(64);
    ~CCipherPair()
    {
        EVP_PKEY_free(pEc);
        EVP_PKEY_free(pSm2);
    }
    EVP_PKEY *Key(bool bOurs) const { return bOurs ? pEc : pSm2; }
};

const char *Query(bool bOurs)
{
    return bOurs ? SM_PROVIDER_QUERY : "provider=default";
}

void Sm2Encrypt(benchmark::State &state, bool bOurs)
{
    SmRegisterAllAlgorithms();
    CCipherPair pair;
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(nullptr, pair.Key(bOurs), Query(bOurs));
    std::vector<unsigned char> vbOut(256);
    if (!pCtx || EVP_PKEY_encrypt_init(pCtx) != 1)
    {
        state.SkipWithError("encrypt init");
        EVP_PKEY_CTX_free(pCtx);
        return;
    }
    for (auto _ : state)
    {
        size_t cb = vbOut.size();
        if (EVP_PKEY_encrypt(pCtx, vbOut.data(), &cb, pair.vbMsg.data(), pair.vbMsg.size()) != 1)
        {
            state.SkipWithError("encrypt");
            break;
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    EVP_PKEY_CTX_free(pCtx);
}

void Sm2Decrypt(benchmark::State &state, bool bOurs)
{
    SmRegisterAllAlgorithms();
    CCipherPair pair;
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(nullptr, pair.Key(bOurs), Query(bOurs));
    std::vector<unsigned char> vbCipher(256), vbOut(256);
    size_t cbCipher = vbCipher.size();
    if (!pCtx || EVP_PKEY_encrypt_init(pCtx) != 1 ||
        EVP_PKEY_encrypt(pCtx, vbCipher.data(), &cbCipher, pair.vbMsg.data(), pair.vbMsg.size()) != 1 ||
        EVP_PKEY_decrypt_init(pCtx) != 1)
    {
        state.SkipWithError("decrypt init");
        EVP_PKEY_CTX_free(pCtx);
        return;
    }
    for (auto _ : state)
    {
        size_t cb = vbOut.size();
        if (EVP_PKEY_decrypt(pCtx, vbOut.data(), &cb, vbCipher.data(), cbCipher) != 1)
        {
            state.SkipWithError("decrypt");
            break;
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    EVP_PKEY_CTX_free(pCtx);
}

void BM_Sm2Encrypt_Ours(benchmark::State &state) { Sm2Encrypt(state, true); }
void BM_Sm2Encrypt_OpenSSL(benchmark::State &state) { Sm2Encrypt(state, false); }
void BM_Sm2Decrypt_Ours(benchmark::State &state) { Sm2Decrypt(state, true); }
void BM_Sm2Decrypt_OpenSSL(benchmark::State &state) { Sm2Decrypt(state, false); }

BENCHMARK(BM_Sm3_Ours);
BENCHMARK(BM_Sm3_OpenSSL);
BENCHMARK(BM_Sm4Cbc_Ours);
BENCHMARK(BM_Sm4Cbc_OpenSSL);
BENCHMARK(BM_Zuc_Ours);
BENCHMARK(BM_Sm2Sign_Ours);
BENCHMARK(BM_Sm2Sign_OpenSSL);
BENCHMARK(BM_Sm2Verify_Ours);
BENCHMARK(BM_Sm2Verify_OpenSSL);
BENCHMARK(BM_Sm2Encrypt_Ours);
BENCHMARK(BM_Sm2Encrypt_OpenSSL);
BENCHMARK(BM_Sm2Decrypt_Ours);
BENCHMARK(BM_Sm2Decrypt_OpenSSL);

// Keeps each run's rate (bytes or items per second) for the ratios.
class CRateReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &vRuns) override
    {
        ConsoleReporter::ReportRuns(vRuns);
        for (const Run &run : vRuns)
        {
            auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end())
                it = run.counters.find("items_per_second");
            if (it != run.counters.end())
                g_mapRates[run.benchmark_name()] = it->second;
        }
    }
};

// Rates as the figures: MB/s for bytes, operations per second for items.
void PrintRatio(const char *pszLabel, const char *pszOurs, const char *pszTheirs, bool bBytes)
{
    double dOurs = g_mapRates[pszOurs], dTheirs = g_mapRates[pszTheirs];
    double dRatio = dTheirs > 0 ? dOurs / dTheirs : 0;
    double dScale = bBytes ? 1e6 : 1;
    const char *pszUnit = bBytes ? "MB/s" : "op/s";
    std::printf("%-30s %9.0f %s %9.0f %s %7.2f\n", pszLabel, dOurs / dScale, pszUnit, dTheirs / dScale, pszUnit,
                dRatio);
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    CRateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-30s %14s %14s %7s\n", "figure", "ours", "OpenSSL", "ratio");
    PrintRatio("SM3 over 16 KiB", "BM_Sm3_Ours", "BM_Sm3_OpenSSL", true);
    PrintRatio("SM4-CBC over 16 KiB", "BM_Sm4Cbc_Ours", "BM_Sm4Cbc_OpenSSL", true);
    PrintRatio("SM2 signatures", "BM_Sm2Sign_Ours", "BM_Sm2Sign_OpenSSL", false);
    PrintRatio("SM2 verifications", "BM_Sm2Verify_Ours", "BM_Sm2Verify_OpenSSL", false);
    PrintRatio("SM2 encryptions (64 bytes)", "BM_Sm2Encrypt_Ours", "BM_Sm2Encrypt_OpenSSL", false);
    PrintRatio("SM2 decryptions (64 bytes)", "BM_Sm2Decrypt_Ours", "BM_Sm2Decrypt_OpenSSL", false);
    double dZuc = g_mapRates["BM_Zuc_Ours"] / 1e6;
    std::printf("%-30s %9.0f MB/s (no OpenSSL counterpart)\n", "ZUC", dZuc);
    benchmark::Shutdown();
    return 0;
}
