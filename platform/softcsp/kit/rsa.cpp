// RSA keys: generation with OpenSSL, CryptoAPI blob layouts, and the PKCS#1 v1.5
// operations done on the key's numbers (so keys with unusual exponents work as on Windows).
// Private operations are OpenSSL's raw RSA over the CRT parameters: blinded, constant time.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "kit.h"

namespace qm::cspkit
{
namespace
{
constexpr DWORD kRsa1 = 0x31415352;
constexpr DWORD kRsa2 = 0x32415352;

struct BnFree
{
    void operator()(BIGNUM* b) const { BN_clear_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

Bn ToBn(const Bytes& be)
{
    return Bn(BN_bin2bn(be.data(), int(be.size()), nullptr));
}

Bytes FromBn(const BIGNUM* b, size_t width)
{
    Bytes out(width, 0);
    if (b && size_t(BN_num_bytes(b)) <= width)
        BN_bn2binpad(b, out.data(), int(width));
    return out;
}

Bytes Param(EVP_PKEY* pkey, const char* name)
{
    BIGNUM* b = nullptr;
    Bytes out;
    if (EVP_PKEY_get_bn_param(pkey, name, &b) == 1)
    {
        out.resize(BN_num_bytes(b));
        BN_bn2bin(b, out.data());
    }
    BN_clear_free(b);
    return out;
}

bool FromPkey(EVP_PKEY* pkey, RsaKey* key)
{
    key->n = Param(pkey, OSSL_PKEY_PARAM_RSA_N);
    key->e = Param(pkey, OSSL_PKEY_PARAM_RSA_E);
    key->d = Param(pkey, OSSL_PKEY_PARAM_RSA_D);
    key->p = Param(pkey, OSSL_PKEY_PARAM_RSA_FACTOR1);
    key->q = Param(pkey, OSSL_PKEY_PARAM_RSA_FACTOR2);
    key->dp = Param(pkey, OSSL_PKEY_PARAM_RSA_EXPONENT1);
    key->dq = Param(pkey, OSSL_PKEY_PARAM_RSA_EXPONENT2);
    key->qi = Param(pkey, OSSL_PKEY_PARAM_RSA_COEFFICIENT1);
    Bn n = ToBn(key->n);
    key->bits = n ? DWORD(BN_num_bits(n.get())) : 0;
    return key->bits > 0 && !key->e.empty();
}

void PutLE(Bytes& out, const Bytes& be, size_t width)
{
    Bytes field(width, 0);
    size_t n = std::min(width, be.size());
    // be's last byte is the least significant.
    for (size_t i = 0; i < n; ++i)
        field[i] = be[be.size() - 1 - i];
    out.insert(out.end(), field.begin(), field.end());
}

Bytes TakeLE(const BYTE* p, size_t width)
{
    Bytes be(p, p + width);
    std::reverse(be.begin(), be.end());
    size_t zeros = 0;
    while (zeros + 1 < be.size() && be[zeros] == 0)
        ++zeros;
    be.erase(be.begin(), be.begin() + long(zeros));
    return be;
}

void PutDword(Bytes& out, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(BYTE(v >> (8 * i)));
}

DWORD GetDword(const BYTE* p)
{
    return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
}

// m^x mod n for a big-endian input of the modulus' width.
bool ModExp(const Bytes& in, const Bytes& exponent, const RsaKey& key, Bytes* out)
{
    Bn n = ToBn(key.n), x = ToBn(exponent), m = ToBn(in), r(BN_new());
    BN_CTX* ctx = BN_CTX_new();
    bool ok = n && x && m && r && ctx && BN_cmp(m.get(), n.get()) < 0;
    ok = ok && BN_mod_exp(r.get(), m.get(), x.get(), n.get(), ctx) == 1;
    BN_CTX_free(ctx);
    if (ok)
        *out = FromBn(r.get(), (key.bits + 7) / 8);
    return ok;
}

std::shared_ptr<EVP_PKEY> BuildPrivateKey(const RsaKey& key)
{
    Bn n = ToBn(key.n), e = ToBn(key.e), d = ToBn(key.d);
    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    bool ok = bld && n && e && d && OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_N, n.get()) &&
              OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_E, e.get()) &&
              OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_D, d.get());
    // Without all five CRT numbers the operation still works, on d alone.
    Bn crt[5];
    const Bytes* values[5] = {&key.p, &key.q, &key.dp, &key.dq, &key.qi};
    const char* names[5] = {OSSL_PKEY_PARAM_RSA_FACTOR1, OSSL_PKEY_PARAM_RSA_FACTOR2, OSSL_PKEY_PARAM_RSA_EXPONENT1,
                            OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1};
    bool haveCrt = true;
    for (int i = 0; i < 5; ++i)
    {
        crt[i] = values[i]->empty() ? nullptr : ToBn(*values[i]);
        haveCrt = haveCrt && crt[i] && !BN_is_zero(crt[i].get());
    }
    for (int i = 0; ok && haveCrt && i < 5; ++i)
        ok = OSSL_PARAM_BLD_push_BN(bld, names[i], crt[i].get());
    OSSL_PARAM* params = ok ? OSSL_PARAM_BLD_to_param(bld) : nullptr;
    EVP_PKEY_CTX* ctx = params ? EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr) : nullptr;
    EVP_PKEY* pkey = nullptr;
    if (!ctx || EVP_PKEY_fromdata_init(ctx) != 1 || EVP_PKEY_fromdata(ctx, &pkey, EVP_PKEY_KEYPAIR, params) != 1)
        pkey = nullptr;
    EVP_PKEY_CTX_free(ctx);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(bld);
    return std::shared_ptr<EVP_PKEY>(pkey, EVP_PKEY_free);
}

std::mutex g_buildLock;

std::shared_ptr<EVP_PKEY> PrivateKeyOf(const RsaKey& key)
{
    std::lock_guard lock(g_buildLock);
    if (!key.privateOp && key.HasPrivate())
        key.privateOp = BuildPrivateKey(key);
    return key.privateOp;
}

// in^d mod n for a big-endian input of the modulus' width.
bool PrivateOp(const Bytes& in, const RsaKey& key, Bytes* out)
{
    std::shared_ptr<EVP_PKEY> pkey = PrivateKeyOf(key);
    // A blob may declare more bits than its modulus has: OpenSSL works in the modulus' width.
    size_t k = (key.bits + 7) / 8, width = pkey ? size_t(EVP_PKEY_get_size(pkey.get())) : 0;
    if (!pkey || in.size() != k || width == 0 || width > k)
        return false;
    for (size_t i = 0; i < k - width; ++i)
        if (in[i] != 0)
            return false;
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_pkey(nullptr, pkey.get(), nullptr);
    Bytes result(k, 0);
    size_t length = width;
    bool ok = ctx && EVP_PKEY_decrypt_init(ctx) == 1 && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) == 1 &&
              EVP_PKEY_decrypt(ctx, result.data() + (k - width), &length, in.data() + (k - width), width) == 1 &&
              length == width;
    EVP_PKEY_CTX_free(ctx);
    if (ok)
        *out = std::move(result);
    return ok;
}
} // namespace

void PreparePrivateOp(const RsaKey& key)
{
    PrivateKeyOf(key);
}

bool GenerateRsa(DWORD bits, RsaKey* key)
{
    EVP_PKEY* pkey = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t(bits));
    if (!pkey)
        return false;
    bool ok = FromPkey(pkey, key);
    EVP_PKEY_free(pkey);
    return ok;
}

bool RsaFromPkcs1(const Bytes& der, RsaKey* key)
{
    const unsigned char* p = der.data();
    EVP_PKEY* pkey = d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &p, long(der.size()));
    if (!pkey)
        return false;
    bool ok = FromPkey(pkey, key);
    EVP_PKEY_free(pkey);
    return ok;
}

Bytes PublicKeyBlob(const RsaKey& key, ALG_ID alg)
{
    Bytes out = {PUBLICKEYBLOB, CUR_BLOB_VERSION, 0, 0};
    PutDword(out, alg);
    PutDword(out, kRsa1);
    PutDword(out, key.bits);
    Bn e = ToBn(key.e);
    PutDword(out, DWORD(BN_get_word(e.get())));
    PutLE(out, key.n, (key.bits + 7) / 8);
    return out;
}

Bytes PrivateKeyBlob(const RsaKey& key, ALG_ID alg)
{
    size_t full = (key.bits + 7) / 8, half = (key.bits + 15) / 16;
    Bytes out = {PRIVATEKEYBLOB, CUR_BLOB_VERSION, 0, 0};
    PutDword(out, alg);
    PutDword(out, kRsa2);
    PutDword(out, key.bits);
    Bn e = ToBn(key.e);
    PutDword(out, DWORD(BN_get_word(e.get())));
    PutLE(out, key.n, full);
    PutLE(out, key.p, half);
    PutLE(out, key.q, half);
    PutLE(out, key.dp, half);
    PutLE(out, key.dq, half);
    PutLE(out, key.qi, half);
    PutLE(out, key.d, full);
    return out;
}

DWORD ParseRsaBlob(const BYTE* blob, DWORD length, RsaKey* key, ALG_ID* alg)
{
    if (length < 8 + 12)
        return DWORD(NTE_BAD_DATA);
    if (blob[1] != CUR_BLOB_VERSION)
        return DWORD(NTE_BAD_VER);
    bool isPrivate = blob[0] == PRIVATEKEYBLOB;
    if (!isPrivate && blob[0] != PUBLICKEYBLOB)
        return DWORD(NTE_BAD_TYPE);
    *alg = GetDword(blob + 4);
    if (*alg != CALG_RSA_KEYX && *alg != CALG_RSA_SIGN)
        return DWORD(NTE_BAD_ALGID);
    DWORD magic = GetDword(blob + 8), bits = GetDword(blob + 12), pubexp = GetDword(blob + 16);
    if (magic != (isPrivate ? kRsa2 : kRsa1) || bits < 64 || bits > 16384 || pubexp == 0)
        return DWORD(NTE_BAD_DATA);
    size_t full = (bits + 7) / 8, half = (bits + 15) / 16;
    size_t need = 20 + full + (isPrivate ? 5 * half + full : 0);
    if (length < need)
        return DWORD(NTE_BAD_DATA);
    RsaKey k;
    k.bits = bits;
    k.e = {BYTE(pubexp >> 24), BYTE(pubexp >> 16), BYTE(pubexp >> 8), BYTE(pubexp)};
    while (k.e.size() > 1 && k.e[0] == 0)
        k.e.erase(k.e.begin());
    const BYTE* p = blob + 20;
    k.n = TakeLE(p, full);
    p += full;
    if (isPrivate)
    {
        k.p = TakeLE(p, half), p += half;
        k.q = TakeLE(p, half), p += half;
        k.dp = TakeLE(p, half), p += half;
        k.dq = TakeLE(p, half), p += half;
        k.qi = TakeLE(p, half), p += half;
        k.d = TakeLE(p, full);
    }
    Bn n = ToBn(k.n);
    if (!n || DWORD(BN_num_bits(n.get())) > bits || BN_is_zero(n.get()))
        return DWORD(NTE_BAD_DATA);
    *key = std::move(k);
    return 0;
}

Bytes DigestInfoPrefix(ALG_ID hashAlg)
{
    switch (hashAlg)
    {
    case CALG_MD5:
        return {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
    case CALG_SHA1:
        return {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};
    case CALG_SHA_256:
        return {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
    case CALG_SHA_384:
        return {0x30, 0x41, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                0x65, 0x03, 0x04, 0x02, 0x02, 0x05, 0x00, 0x04, 0x30};
    case CALG_SHA_512:
        return {0x30, 0x51, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                0x65, 0x03, 0x04, 0x02, 0x03, 0x05, 0x00, 0x04, 0x40};
    default:
        return {};
    }
}

DWORD RsaSignDigest(const RsaKey& key, ALG_ID hashAlg, const Bytes& digest, bool noOid,
                    Bytes* signatureLE)
{
    if (!key.HasPrivate())
        return DWORD(NTE_NO_KEY);
    Bytes t = noOid ? Bytes() : DigestInfoPrefix(hashAlg);
    t.insert(t.end(), digest.begin(), digest.end());
    size_t k = (key.bits + 7) / 8;
    if (k < t.size() + 11)
        return DWORD(NTE_BAD_LEN);
    Bytes em(k, 0xFF);
    em[0] = 0;
    em[1] = 1;
    em[k - t.size() - 1] = 0;
    std::memcpy(em.data() + k - t.size(), t.data(), t.size());
    Bytes sig;
    if (!PrivateOp(em, key, &sig))
        return DWORD(NTE_FAIL);
    *signatureLE = Reversed(sig);
    return 0;
}

DWORD RsaVerifyDigest(const RsaKey& key, ALG_ID hashAlg, const Bytes& digest,
                      const Bytes& signatureLE)
{
    size_t k = (key.bits + 7) / 8;
    if (signatureLE.size() != k)
        return DWORD(NTE_BAD_SIGNATURE);
    Bytes em;
    if (!ModExp(Reversed(signatureLE), key.e, key, &em))
        return DWORD(NTE_BAD_SIGNATURE);
    Bytes t = DigestInfoPrefix(hashAlg);
    t.insert(t.end(), digest.begin(), digest.end());
    if (k < t.size() + 11)
        return DWORD(NTE_BAD_SIGNATURE);
    Bytes expected(k, 0xFF);
    expected[0] = 0;
    expected[1] = 1;
    expected[k - t.size() - 1] = 0;
    std::memcpy(expected.data() + k - t.size(), t.data(), t.size());
    return em == expected ? 0 : DWORD(NTE_BAD_SIGNATURE);
}

DWORD RsaEncryptPkcs1(const RsaKey& key, const Bytes& plain, Bytes* cipher)
{
    size_t k = (key.bits + 7) / 8;
    if (plain.size() + 11 > k)
        return DWORD(NTE_BAD_LEN);
    Bytes em(k, 0);
    em[1] = 2;
    size_t psLen = k - plain.size() - 3;
    for (size_t i = 0; i < psLen; ++i)
    {
        BYTE b = 0;
        while (b == 0)
            RandomBytes(&b, 1);
        em[2 + i] = b;
    }
    std::memcpy(em.data() + k - plain.size(), plain.data(), plain.size());
    return ModExp(em, key.e, key, cipher) ? 0 : DWORD(NTE_FAIL);
}

DWORD RsaDecryptPkcs1(const RsaKey& key, const Bytes& cipher, Bytes* plain)
{
    if (!key.HasPrivate())
        return DWORD(NTE_NO_KEY);
    size_t k = (key.bits + 7) / 8;
    if (cipher.size() != k)
        return DWORD(NTE_BAD_LEN);
    Bytes em;
    if (!PrivateOp(cipher, key, &em))
        return DWORD(NTE_BAD_DATA);
    if (em[0] != 0 || em[1] != 2)
        return DWORD(NTE_BAD_DATA);
    size_t i = 2;
    while (i < k && em[i] != 0)
        ++i;
    if (i >= k || i < 10)
        return DWORD(NTE_BAD_DATA);
    plain->assign(em.begin() + long(i) + 1, em.end());
    return 0;
}
} // namespace qm::cspkit
