#include "sm2.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/param_build.h>

#include <cstring>

namespace qm::tokencsp
{
namespace
{
const char kDefaultId[] = "1234567812345678";

Bytes Pad32(const BIGNUM* b)
{
    Bytes out(32, 0);
    BN_bn2binpad(b, out.data(), 32);
    return out;
}

EVP_PKEY* ToPkey(const Sm2Key& key, bool withPrivate)
{
    Bytes point = {0x04};
    point.insert(point.end(), key.x.begin(), key.x.end());
    point.insert(point.end(), key.y.begin(), key.y.end());
    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    BIGNUM* d = withPrivate ? BN_bin2bn(key.d.data(), int(key.d.size()), nullptr) : nullptr;
    OSSL_PARAM_BLD_push_utf8_string(bld, OSSL_PKEY_PARAM_GROUP_NAME, "SM2", 0);
    OSSL_PARAM_BLD_push_octet_string(bld, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size());
    if (d)
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_PRIV_KEY, d);
    OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "SM2", nullptr);
    EVP_PKEY* pkey = nullptr;
    if (!ctx || EVP_PKEY_fromdata_init(ctx) != 1 ||
        EVP_PKEY_fromdata(ctx, &pkey, withPrivate ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                          params) != 1)
        pkey = nullptr;
    EVP_PKEY_CTX_free(ctx);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(bld);
    BN_clear_free(d);
    return pkey;
}

void PutLength(Bytes& out, size_t n)
{
    if (n < 0x80)
        out.push_back(uint8_t(n));
    else
    {
        out.push_back(0x81);
        out.push_back(uint8_t(n));
    }
}

void PutInteger(Bytes& out, const uint8_t* be, size_t n)
{
    while (n > 1 && *be == 0)
        ++be, --n;
    bool pad = *be & 0x80;
    out.push_back(0x02);
    PutLength(out, n + (pad ? 1 : 0));
    if (pad)
        out.push_back(0);
    out.insert(out.end(), be, be + n);
}

void PutTlv(Bytes& out, uint8_t tag, const uint8_t* v, size_t n)
{
    out.push_back(tag);
    PutLength(out, n);
    out.insert(out.end(), v, v + n);
}
} // namespace

bool Sm2FromPrivate(const Bytes& dBytes, Sm2Key* key)
{
    if (dBytes.empty() || dBytes.size() > 32)
        return false;
    EC_GROUP* group = EC_GROUP_new_by_curve_name(NID_sm2);
    BIGNUM* d = BN_bin2bn(dBytes.data(), int(dBytes.size()), nullptr);
    EC_POINT* p = group ? EC_POINT_new(group) : nullptr;
    BIGNUM *x = BN_new(), *y = BN_new();
    const BIGNUM* order = group ? EC_GROUP_get0_order(group) : nullptr;
    bool ok = p && d && order && !BN_is_zero(d) && BN_cmp(d, order) < 0 &&
              EC_POINT_mul(group, p, d, nullptr, nullptr, nullptr) == 1 &&
              EC_POINT_get_affine_coordinates(group, p, x, y, nullptr) == 1;
    if (ok)
    {
        key->d = Pad32(d);
        key->x = Pad32(x);
        key->y = Pad32(y);
    }
    BN_free(x);
    BN_free(y);
    EC_POINT_free(p);
    BN_clear_free(d);
    EC_GROUP_free(group);
    return ok;
}

bool Sm2Generate(Sm2Key* key)
{
    EVP_PKEY* pkey = EVP_PKEY_Q_keygen(nullptr, nullptr, "SM2");
    BIGNUM* d = nullptr;
    bool ok = pkey && EVP_PKEY_get_bn_param(pkey, OSSL_PKEY_PARAM_PRIV_KEY, &d) == 1 &&
              Sm2FromPrivate(Pad32(d), key);
    BN_clear_free(d);
    EVP_PKEY_free(pkey);
    return ok;
}

Bytes Sm2Z(const Sm2Key& key)
{
    EC_GROUP* group = EC_GROUP_new_by_curve_name(NID_sm2);
    BIGNUM *p = BN_new(), *a = BN_new(), *b = BN_new(), *gx = BN_new(), *gy = BN_new();
    EC_GROUP_get_curve(group, p, a, b, nullptr);
    EC_POINT_get_affine_coordinates(group, EC_GROUP_get0_generator(group), gx, gy, nullptr);
    Bytes input = {0x00, 0x80};
    input.insert(input.end(), kDefaultId, kDefaultId + 16);
    for (const BIGNUM* v : {a, b, gx, gy})
    {
        Bytes f = Pad32(v);
        input.insert(input.end(), f.begin(), f.end());
    }
    input.insert(input.end(), key.x.begin(), key.x.end());
    input.insert(input.end(), key.y.begin(), key.y.end());
    for (BIGNUM* v : {p, a, b, gx, gy})
        BN_free(v);
    EC_GROUP_free(group);
    Bytes z(32);
    unsigned size = 0;
    EVP_Digest(input.data(), input.size(), z.data(), &size, EVP_sm3(), nullptr);
    return z;
}

bool Sm2SignDigest(const Sm2Key& key, const Bytes& digest, Bytes* r, Bytes* s)
{
    EVP_PKEY* pkey = ToPkey(key, true);
    EVP_PKEY_CTX* ctx = pkey ? EVP_PKEY_CTX_new_from_pkey(nullptr, pkey, nullptr) : nullptr;
    Bytes der(128);
    size_t size = der.size();
    bool ok = ctx && EVP_PKEY_sign_init(ctx) == 1 &&
              EVP_PKEY_sign(ctx, der.data(), &size, digest.data(), digest.size()) == 1;
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(pkey);
    if (!ok)
        return false;
    const unsigned char* p = der.data();
    ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &p, long(size));
    if (!sig)
        return false;
    *r = Pad32(ECDSA_SIG_get0_r(sig));
    *s = Pad32(ECDSA_SIG_get0_s(sig));
    ECDSA_SIG_free(sig);
    return true;
}

bool Sm2Decrypt(const Sm2Key& key, const Bytes& c, Bytes* plain)
{
    if (c.size() <= 96)
        return false;
    // OpenSSL reads the ciphertext as SEQUENCE { x, y, C3, C2 }.
    Bytes body;
    PutInteger(body, c.data(), 32);
    PutInteger(body, c.data() + 32, 32);
    PutTlv(body, 0x04, c.data() + 64, 32);
    PutTlv(body, 0x04, c.data() + 96, c.size() - 96);
    if (body.size() > 0xFFFF)
        return false;
    Bytes der = {0x30};
    if (body.size() < 0x80)
        der.push_back(uint8_t(body.size()));
    else if (body.size() < 0x100)
        der.insert(der.end(), {0x81, uint8_t(body.size())});
    else
        der.insert(der.end(), {0x82, uint8_t(body.size() >> 8), uint8_t(body.size())});
    der.insert(der.end(), body.begin(), body.end());

    EVP_PKEY* pkey = ToPkey(key, true);
    EVP_PKEY_CTX* ctx = pkey ? EVP_PKEY_CTX_new_from_pkey(nullptr, pkey, nullptr) : nullptr;
    size_t size = 0;
    bool ok = ctx && EVP_PKEY_decrypt_init(ctx) == 1 &&
              EVP_PKEY_decrypt(ctx, nullptr, &size, der.data(), der.size()) == 1;
    if (ok)
    {
        plain->assign(size, 0);
        ok = EVP_PKEY_decrypt(ctx, plain->data(), &size, der.data(), der.size()) == 1;
        plain->resize(size);
    }
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(pkey);
    return ok;
}

bool Sm2Encrypt(const Sm2Key& key, const Bytes& plain, Bytes* out)
{
    EVP_PKEY* pkey = ToPkey(key, false);
    EVP_PKEY_CTX* ctx = pkey ? EVP_PKEY_CTX_new_from_pkey(nullptr, pkey, nullptr) : nullptr;
    size_t size = 0;
    Bytes der;
    bool ok = ctx && EVP_PKEY_encrypt_init(ctx) == 1 &&
              EVP_PKEY_encrypt(ctx, nullptr, &size, plain.data(), plain.size()) == 1;
    if (ok)
    {
        der.assign(size, 0);
        ok = EVP_PKEY_encrypt(ctx, der.data(), &size, plain.data(), plain.size()) == 1;
        der.resize(size);
    }
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(pkey);
    if (!ok)
        return false;
    // SEQUENCE { INTEGER x, INTEGER y, OCTET STRING C3, OCTET STRING C2 } to C1C3C2.
    size_t at = 0;
    auto header = [&](uint8_t tag, size_t* length)
    {
        if (at >= der.size() || der[at++] != tag)
            return false;
        size_t n = der[at++];
        if (n & 0x80)
        {
            size_t bytes = n & 0x7F;
            n = 0;
            while (bytes--)
                n = (n << 8) | der[at++];
        }
        *length = n;
        return at + n <= der.size();
    };
    size_t n = 0;
    if (!header(0x30, &n))
        return false;
    out->clear();
    for (int i = 0; i < 2; ++i)
    {
        if (!header(0x02, &n))
            return false;
        BIGNUM* v = BN_bin2bn(der.data() + at, int(n), nullptr);
        Bytes f = Pad32(v);
        BN_free(v);
        out->insert(out->end(), f.begin(), f.end());
        at += n;
    }
    for (int i = 0; i < 2; ++i)
    {
        if (!header(0x04, &n))
            return false;
        out->insert(out->end(), der.begin() + long(at), der.begin() + long(at + n));
        at += n;
    }
    return true;
}
} // namespace qm::tokencsp
