// Independent checks with OpenSSL: keys rebuilt from CryptoAPI blobs, and the openssl
// command run over files.
#pragma once

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace check
{
inline std::vector<uint8_t> Rev(std::vector<uint8_t> b)
{
    std::reverse(b.begin(), b.end());
    return b;
}

inline void WriteFile(const std::filesystem::path& p, const std::vector<uint8_t>& data)
{
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), long(data.size()));
}

// An OpenSSL RSA key from a PUBLICKEYBLOB (20-byte header, modulus least significant first).
inline EVP_PKEY* PublicFromBlob(const std::vector<uint8_t>& blob)
{
    uint32_t bits = 0, exp = 0;
    std::memcpy(&bits, blob.data() + 12, 4);
    std::memcpy(&exp, blob.data() + 16, 4);
    std::vector<uint8_t> n(blob.begin() + 20, blob.begin() + 20 + bits / 8);
    n = Rev(n);
    BIGNUM* bn = BN_bin2bn(n.data(), int(n.size()), nullptr);
    BIGNUM* be = BN_new();
    BN_set_word(be, exp);
    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_N, bn);
    OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_E, be);
    OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
    EVP_PKEY* pkey = nullptr;
    EVP_PKEY_fromdata_init(ctx);
    EVP_PKEY_fromdata(ctx, &pkey, EVP_PKEY_PUBLIC_KEY, params);
    EVP_PKEY_CTX_free(ctx);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(bld);
    BN_free(bn);
    BN_free(be);
    return pkey;
}

inline void WritePublicPem(const std::filesystem::path& p, EVP_PKEY* pkey)
{
    FILE* f = std::fopen(p.c_str(), "w");
    PEM_write_PUBKEY(f, pkey);
    std::fclose(f);
}

// Exit status of a shell command, its output discarded.
inline int Run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}
} // namespace check
