// OpenSSL 3's own SM2, SM3 and SM4 (default provider), the peer our code is compared with.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>

using Bytes = std::vector<unsigned char>;

struct BnFree { void operator()(BIGNUM *p) const { BN_free(p); } };
struct GroupFree { void operator()(EC_GROUP *p) const { EC_GROUP_free(p); } };
struct PointFree { void operator()(EC_POINT *p) const { EC_POINT_free(p); } };
struct PkeyFree { void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); } };
struct SigFree { void operator()(ECDSA_SIG *p) const { ECDSA_SIG_free(p); } };
using BnPtr = std::unique_ptr<BIGNUM, BnFree>;
using GroupPtr = std::unique_ptr<EC_GROUP, GroupFree>;
using PointPtr = std::unique_ptr<EC_POINT, PointFree>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;
using SigPtr = std::unique_ptr<ECDSA_SIG, SigFree>;

BnPtr BnFromBytes(const Bytes &vb);
Bytes Bytes32(const BIGNUM *pbn);
Bytes RandomBytes(size_t cb);

Bytes PeerSm3(const Bytes &vbData);
// SM4-CBC without padding over whole blocks.
Bytes PeerSm4Cbc(const Bytes &vbKey, const Bytes &vbIv, const Bytes &vbData, bool bEncrypt);

// A key pair on the recommended curve: d, and the public point's coordinates.
struct SM2_TEST_KEY
{
    BnPtr d, x, y;
};
SM2_TEST_KEY GenerateSm2Key(int nNid);
// Fixed keys of the curve whose numbers are short or end in a zero byte, where encoders drop or
// pad bytes: d and the point's y, the point's x at both ends, the point's y at the front.
struct SM2_EDGE_KEY
{
    const char *pszShape;
    SM2_TEST_KEY key;
};
std::vector<SM2_EDGE_KEY> EdgeSm2Keys(int nNid);
// The key of d on the curve.
SM2_TEST_KEY Sm2KeyOf(int nNid, const char *pszHexD);
// The same key as OpenSSL's SM2 key type (default provider); bPrivate includes d.
PkeyPtr PeerSm2Key(const SM2_TEST_KEY &key, bool bPrivate);

// OpenSSL's SM2: sign/verify the digest e as given; digest-sign/verify with Z of user ID id.
// The digest's verification is the key type's own: ECDSA for an EC key on another curve.
Bytes PeerSm2SignDigest(EVP_PKEY *pKey, const Bytes &vbE);
bool PeerSm2VerifyDigest(EVP_PKEY *pKey, const Bytes &vbE, const Bytes &vbDer);
Bytes PeerSm2SignMessage(EVP_PKEY *pKey, const Bytes &vbId, const Bytes &vbMsg);
bool PeerSm2VerifyMessage(EVP_PKEY *pKey, const Bytes &vbId, const Bytes &vbMsg, const Bytes &vbDer);
Bytes PeerSm2Encrypt(EVP_PKEY *pKey, const Bytes &vbMsg);
bool PeerSm2Decrypt(EVP_PKEY *pKey, const Bytes &vbDer, Bytes &vbMsg);

// The same key as the library's EC key type (default provider): named on the recommended curve,
// which key.d/x/y then receive from a fresh key, explicit parameters on the test curve.
PkeyPtr LibraryEcKey(SM2_TEST_KEY &key, int nNid, bool bPrivate);

Bytes SignatureToDer(const ECDSA_SIG *pSig);
SigPtr SignatureFromDer(const Bytes &vbDer);
