// Certificate signatures with SM2/SM3: Z of the signer precedes the signed part on the
// recommended curve, and only there.
#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include "openssl_peer.h"
#include "smcrypto/cert_verify.h"
#include "smcrypto/objects.h"
#include "smcrypto/sm2.h"
#include "smcrypto/sm3.h"
#include "smcrypto/smalgorithms.h"

namespace
{

struct X509Free { void operator()(X509 *p) const { X509_free(p); } };
using X509Ptr = std::unique_ptr<X509, X509Free>;

Bytes Tlv(unsigned char bTag, const Bytes &vbContent)
{
    Bytes vb{bTag};
    size_t cb = vbContent.size();
    if (cb < 0x80)
        vb.push_back(static_cast<unsigned char>(cb));
    else
    {
        Bytes vbLen;
        for (; cb; cb >>= 8)
            vbLen.insert(vbLen.begin(), static_cast<unsigned char>(cb));
        vb.push_back(static_cast<unsigned char>(0x80 | vbLen.size()));
        vb.insert(vb.end(), vbLen.begin(), vbLen.end());
    }
    vb.insert(vb.end(), vbContent.begin(), vbContent.end());
    return vb;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes vb;
    for (const Bytes &part : parts)
        vb.insert(vb.end(), part.begin(), part.end());
    return vb;
}

// The to-be-signed part of a self-issued certificate for the key, naming the signature nSigNid.
Bytes TbsCertificate(EVP_PKEY *pKey, int nSigNid)
{
    X509Ptr pCert(X509_new());
    X509_set_version(pCert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(pCert.get()), 7);
    X509_NAME *pName = X509_get_subject_name(pCert.get());
    X509_NAME_add_entry_by_txt(pName, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("SM2 signer"), -1, -1, 0);
    X509_set_issuer_name(pCert.get(), pName);
    X509_gmtime_adj(X509_getm_notBefore(pCert.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(pCert.get()), 3600);
    EXPECT_EQ(X509_set_pubkey(pCert.get(), pKey), 1);
    X509_ALGOR *pAlg = const_cast<X509_ALGOR *>(X509_get0_tbs_sigalg(pCert.get()));
    X509_ALGOR_set0(pAlg, OBJ_nid2obj(nSigNid), V_ASN1_UNDEF, nullptr);
    unsigned char *pb = nullptr;
    int cb = i2d_re_X509_tbs(pCert.get(), &pb);
    Bytes vb(pb, pb + cb);
    OPENSSL_free(pb);
    return vb;
}

X509Ptr Certificate(const Bytes &vbTbs, int nSigNid, const Bytes &vbSignature)
{
    unsigned char *pb = nullptr;
    int cb = i2d_ASN1_OBJECT(OBJ_nid2obj(nSigNid), &pb);
    Bytes vbOid(pb, pb + cb);
    OPENSSL_free(pb);
    Bytes vbBits{0x00};
    vbBits.insert(vbBits.end(), vbSignature.begin(), vbSignature.end());
    Bytes vbCert = Tlv(0x30, Concat({vbTbs, Tlv(0x30, vbOid), Tlv(0x03, vbBits)}));
    const unsigned char *pbIn = vbCert.data();
    X509Ptr pCert(d2i_X509(nullptr, &pbIn, long(vbCert.size())));
    EXPECT_TRUE(pCert);
    return pCert;
}

// Z with the default user ID over the parameters of the key's own curve.
Bytes ZOnOwnCurve(const SM2_TEST_KEY &key, int nNid)
{
    GroupPtr pGroup(SmCurveNewByNid(nNid));
    BnPtr a(BN_new()), b(BN_new()), xG(BN_new()), yG(BN_new());
    EC_GROUP_get_curve(pGroup.get(), nullptr, a.get(), b.get(), nullptr);
    EC_POINT_get_affine_coordinates(pGroup.get(), EC_GROUP_get0_generator(pGroup.get()), xG.get(), yG.get(), nullptr);
    Bytes vbZ(32);
    EXPECT_EQ(SM2_compute_z_id(SM2_DEFAULT_USER_ID, sizeof(SM2_DEFAULT_USER_ID), a.get(), b.get(), xG.get(), yG.get(),
                               key.x.get(), key.y.get(), vbZ.data()),
              1);
    return vbZ;
}

Bytes SignOwn(const SM2_TEST_KEY &key, int nNid, const Bytes &vbTbs, bool bWithZ)
{
    Bytes vb = bWithZ ? Concat({ZOnOwnCurve(key, nNid), vbTbs}) : vbTbs;
    Bytes vbE(32);
    SM3(vb.data(), vb.size(), vbE.data());
    SigPtr pSig(SM2_do_sign(BnFromBytes(vbE).get(), key.d.get(), nNid));
    return SignatureToDer(pSig.get());
}

class CertificateSignature : public testing::Test
{
protected:
    void SetUp() override { SmRegisterAllAlgorithms(); }
    int m_nSm2Sm3 = SmObjectIds().nidSm2Sm3;
};

TEST_F(CertificateSignature, RecommendedCurveVerifiesWithZAndAgreesWithOpenSsl)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    PkeyPtr pKey = PeerSm2Key(key, true);
    Bytes vbTbs = TbsCertificate(pKey.get(), m_nSm2Sm3);
    const Bytes vbId(SM2_DEFAULT_USER_ID, SM2_DEFAULT_USER_ID + 16);

    X509Ptr pPeerSigned = Certificate(vbTbs, m_nSm2Sm3, PeerSm2SignMessage(pKey.get(), vbId, vbTbs));
    EXPECT_EQ(SmX509Verify(pPeerSigned.get(), pKey.get()), 1);

    // The library's own verification agrees once it is given the default user ID.
    X509Ptr pOurs = Certificate(vbTbs, m_nSm2Sm3, SignOwn(key, SmNidSm2Curve(), vbTbs, true));
    EXPECT_EQ(SmX509Verify(pOurs.get(), pKey.get()), 1);
    ASN1_OCTET_STRING *pId = ASN1_OCTET_STRING_new();
    ASN1_OCTET_STRING_set(pId, vbId.data(), int(vbId.size()));
    X509_set0_distinguishing_id(pOurs.get(), pId);
    EXPECT_EQ(X509_verify(pOurs.get(), pKey.get()), 1);

    // Without Z in the digest the signature is not the certificate's.
    X509Ptr pNoZ = Certificate(vbTbs, m_nSm2Sm3, SignOwn(key, SmNidSm2Curve(), vbTbs, false));
    EXPECT_EQ(SmX509Verify(pNoZ.get(), pKey.get()), 0);
    ERR_clear_error();
}

TEST_F(CertificateSignature, TestCurveVerifiesWithoutZ)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2TestCurve());
    PkeyPtr pKey = LibraryEcKey(key, SmNidSm2TestCurve(), false);
    Bytes vbTbs = TbsCertificate(pKey.get(), m_nSm2Sm3);
    X509Ptr pNoZ = Certificate(vbTbs, m_nSm2Sm3, SignOwn(key, SmNidSm2TestCurve(), vbTbs, false));
    EXPECT_EQ(SmX509Verify(pNoZ.get(), pKey.get()), 1);
    X509Ptr pWithZ = Certificate(vbTbs, m_nSm2Sm3, SignOwn(key, SmNidSm2TestCurve(), vbTbs, true));
    EXPECT_EQ(SmX509Verify(pWithZ.get(), pKey.get()), 0);
    ERR_clear_error();
}

TEST_F(CertificateSignature, AlteredCertificatesAndOtherKeysFail)
{
    SM2_TEST_KEY key = GenerateSm2Key(SmNidSm2Curve());
    PkeyPtr pKey = PeerSm2Key(key, true);
    Bytes vbTbs = TbsCertificate(pKey.get(), m_nSm2Sm3);
    Bytes vbSig = SignOwn(key, SmNidSm2Curve(), vbTbs, true);
    Bytes vbAlteredTbs = vbTbs;
    vbAlteredTbs[vbAlteredTbs.size() - 40] ^= 0x01;  // inside the public key
    Bytes vbAlteredSig = vbSig;
    vbAlteredSig[vbAlteredSig.size() - 1] ^= 0x01;
    SM2_TEST_KEY other = GenerateSm2Key(SmNidSm2Curve());
    PkeyPtr pOther = PeerSm2Key(other, false);
    X509Ptr pAlteredTbs = Certificate(vbAlteredTbs, m_nSm2Sm3, vbSig);
    X509Ptr pAlteredSig = Certificate(vbTbs, m_nSm2Sm3, vbAlteredSig);
    X509Ptr pGood = Certificate(vbTbs, m_nSm2Sm3, vbSig);
    EXPECT_EQ(SmX509Verify(pAlteredTbs.get(), pKey.get()), 0);
    EXPECT_EQ(SmX509Verify(pAlteredSig.get(), pKey.get()), 0);
    EXPECT_EQ(SmX509Verify(pGood.get(), pOther.get()), 0);
    EXPECT_EQ(SmX509Verify(pGood.get(), nullptr), -1);
    ERR_clear_error();
}

TEST_F(CertificateSignature, OtherAlgorithmsGoToTheLibrary)
{
    EVP_PKEY *pKey = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    X509Ptr pCert(X509_new());
    X509_set_version(pCert.get(), 2);
    X509_set_pubkey(pCert.get(), pKey);
    X509_gmtime_adj(X509_getm_notBefore(pCert.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(pCert.get()), 3600);
    ASSERT_GT(X509_sign(pCert.get(), pKey, EVP_sha256()), 0);
    EXPECT_EQ(SmX509Verify(pCert.get(), pKey), 1);
    EVP_PKEY_free(pKey);
}

} // namespace
