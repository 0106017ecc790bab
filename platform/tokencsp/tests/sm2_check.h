// Independent SM2 checks: a public key PEM from a PUBLICKEYBLOB's coordinates, the DER
// signature from r and s, and verification by the openssl command with the default user ID.
#pragma once

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace sm2check
{
using Bytes = std::vector<uint8_t>;

inline Bytes Rev(Bytes b)
{
    std::reverse(b.begin(), b.end());
    return b;
}

// X and Y (big-endian) from an SM2 PUBLICKEYBLOB: 64-byte fields after a 12-byte start,
// each coordinate least significant byte first in the first half.
inline void Coordinates(const Bytes& blob, Bytes* x, Bytes* y)
{
    *x = Rev(Bytes(blob.begin() + 12, blob.begin() + 44));
    *y = Rev(Bytes(blob.begin() + 76, blob.begin() + 108));
}

inline bool OnCurve(const Bytes& x, const Bytes& y)
{
    EC_GROUP* g = EC_GROUP_new_by_curve_name(NID_sm2);
    EC_POINT* p = EC_POINT_new(g);
    BIGNUM* bx = BN_bin2bn(x.data(), int(x.size()), nullptr);
    BIGNUM* by = BN_bin2bn(y.data(), int(y.size()), nullptr);
    bool ok = EC_POINT_set_affine_coordinates(g, p, bx, by, nullptr) == 1 &&
              EC_POINT_is_on_curve(g, p, nullptr) == 1;
    BN_free(bx);
    BN_free(by);
    EC_POINT_free(p);
    EC_GROUP_free(g);
    return ok;
}

inline void WritePublicPem(const std::filesystem::path& file, const Bytes& x, const Bytes& y)
{
    Bytes point = {0x04};
    point.insert(point.end(), x.begin(), x.end());
    point.insert(point.end(), y.begin(), y.end());
    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    OSSL_PARAM_BLD_push_utf8_string(bld, OSSL_PKEY_PARAM_GROUP_NAME, "SM2", 0);
    OSSL_PARAM_BLD_push_octet_string(bld, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size());
    OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "SM2", nullptr);
    EVP_PKEY* pkey = nullptr;
    EVP_PKEY_fromdata_init(ctx);
    EVP_PKEY_fromdata(ctx, &pkey, EVP_PKEY_PUBLIC_KEY, params);
    FILE* f = std::fopen(file.c_str(), "w");
    PEM_write_PUBKEY(f, pkey);
    std::fclose(f);
    EVP_PKEY_free(pkey);
    EVP_PKEY_CTX_free(ctx);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(bld);
}

// The 64 bytes CryptSignHashW gives (r then s, each least significant byte first) as DER.
inline Bytes SignatureDer(const Bytes& raw)
{
    Bytes r = Rev(Bytes(raw.begin(), raw.begin() + 32)),
          s = Rev(Bytes(raw.begin() + 32, raw.end()));
    ECDSA_SIG* sig = ECDSA_SIG_new();
    ECDSA_SIG_set0(sig, BN_bin2bn(r.data(), 32, nullptr), BN_bin2bn(s.data(), 32, nullptr));
    unsigned char* der = nullptr;
    int n = i2d_ECDSA_SIG(sig, &der);
    Bytes out(der, der + n);
    OPENSSL_free(der);
    ECDSA_SIG_free(sig);
    return out;
}

inline void WriteFile(const std::filesystem::path& p, const Bytes& data)
{
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), long(data.size()));
}

// openssl's verdict on an SM2 signature of the data with the default user ID.
inline bool OpensslVerifies(const std::filesystem::path& dir, const Bytes& pubBlob,
                            const Bytes& raw, const std::string& data)
{
    Bytes x, y;
    Coordinates(pubBlob, &x, &y);
    WritePublicPem(dir / "sm2.pem", x, y);
    WriteFile(dir / "sm2.sig", SignatureDer(raw));
    WriteFile(dir / "sm2.data", Bytes(data.begin(), data.end()));
    std::string command = "openssl dgst -sm3 -verify " + (dir / "sm2.pem").string() +
                          " -sigopt distid:1234567812345678 -signature " +
                          (dir / "sm2.sig").string() + " " + (dir / "sm2.data").string() +
                          " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}
} // namespace sm2check
