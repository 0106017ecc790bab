// PKCS#7 SignedData under the SM content types is processed like standard signed data.
#include <gtest/gtest.h>

#include <algorithm>

#include <openssl/err.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include "openssl_peer.h"
#include "smcrypto/objects.h"
#include "smcrypto/pkcs7_types.h"

namespace
{

struct X509Free { void operator()(X509 *p) const { X509_free(p); } };
struct Pkcs7Free { void operator()(PKCS7 *p) const { PKCS7_free(p); } };
struct BioFree { void operator()(BIO *p) const { BIO_free(p); } };
using X509Ptr = std::unique_ptr<X509, X509Free>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, Pkcs7Free>;
using BioPtr = std::unique_ptr<BIO, BioFree>;

Bytes Der(const ASN1_OBJECT *pObj)
{
    return Bytes(OBJ_get0_data(pObj), OBJ_get0_data(pObj) + OBJ_length(pObj));
}

bool Contains(const Bytes &vb, const Bytes &vbPart)
{
    return std::search(vb.begin(), vb.end(), vbPart.begin(), vbPart.end()) != vb.end();
}

class SmPkcs7 : public testing::Test
{
protected:
    void SetUp() override
    {
        m_pKey.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
        m_pCert.reset(X509_new());
        X509_set_version(m_pCert.get(), 2);
        ASN1_INTEGER_set(X509_get_serialNumber(m_pCert.get()), 3);
        X509_NAME *pName = X509_get_subject_name(m_pCert.get());
        X509_NAME_add_entry_by_txt(pName, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("signer"), -1, -1, 0);
        X509_set_issuer_name(m_pCert.get(), pName);
        X509_gmtime_adj(X509_getm_notBefore(m_pCert.get()), 0);
        X509_gmtime_adj(X509_getm_notAfter(m_pCert.get()), 3600);
        X509_set_pubkey(m_pCert.get(), m_pKey.get());
        ASSERT_GT(X509_sign(m_pCert.get(), m_pKey.get(), EVP_sha256()), 0);
    }

    // A signed message in the SM form, with the content inside.
    Bytes SmMessage()
    {
        BioPtr pIn(BIO_new_mem_buf(m_vbContent.data(), int(m_vbContent.size())));
        Pkcs7Ptr p7(PKCS7_sign(m_pCert.get(), m_pKey.get(), nullptr, pIn.get(), PKCS7_BINARY));
        EXPECT_TRUE(p7);
        EXPECT_EQ(SmPkcs7ToSm(p7.get()), 1);
        unsigned char *pb = nullptr;
        int cb = i2d_PKCS7(p7.get(), &pb);
        Bytes vb(pb, pb + cb);
        OPENSSL_free(pb);
        return vb;
    }

    bool Verify(PKCS7 *p7, bool bDetached)
    {
        STACK_OF(X509) *pCerts = sk_X509_new_null();
        sk_X509_push(pCerts, m_pCert.get());
        BioPtr pIn(bDetached ? BIO_new_mem_buf(m_vbContent.data(), int(m_vbContent.size())) : nullptr);
        BioPtr pOut(BIO_new(BIO_s_mem()));
        bool bOk = PKCS7_verify(p7, pCerts, nullptr, pIn.get(), pOut.get(), PKCS7_NOVERIFY | PKCS7_NOINTERN) == 1;
        sk_X509_free(pCerts);
        char *pb = nullptr;
        long cb = BIO_get_mem_data(pOut.get(), &pb);
        return bOk && Bytes(pb, pb + cb) == m_vbContent;
    }

    PkeyPtr m_pKey;
    X509Ptr m_pCert;
    Bytes m_vbContent = RandomBytes(100);
};

TEST_F(SmPkcs7, WrittenWithTheSmTypesAndProcessedAfterConversion)
{
    Bytes vb = SmMessage();
    const SM_OBJECT_IDS &ids = SmObjectIds();
    EXPECT_TRUE(Contains(vb, Der(OBJ_nid2obj(ids.nidSmPkcs7Signed))));
    EXPECT_TRUE(Contains(vb, Der(OBJ_nid2obj(ids.nidSmPkcs7Data))));
    EXPECT_FALSE(Contains(vb, Der(OBJ_nid2obj(NID_pkcs7_signed))));

    const unsigned char *pb = vb.data();
    Pkcs7Ptr p7(d2i_PKCS7(nullptr, &pb, long(vb.size())));
    ASSERT_TRUE(p7);
    EXPECT_EQ(OBJ_obj2nid(p7->type), ids.nidSmPkcs7Signed);
    // The library alone does not take it for signed data.
    EXPECT_EQ(PKCS7_type_is_signed(p7.get()), 0);
    EXPECT_EQ(PKCS7_get_detached(p7.get()), 0);
    ERR_clear_error();

    ASSERT_EQ(SmPkcs7ToStock(p7.get()), 1);
    EXPECT_TRUE(PKCS7_type_is_signed(p7.get()));
    EXPECT_TRUE(PKCS7_type_is_data(p7->d.sign->contents));
    EXPECT_TRUE(Verify(p7.get(), false));
}

TEST_F(SmPkcs7, SetDetachedAndVerifiedWithTheContentApart)
{
    Bytes vb = SmMessage();
    const unsigned char *pb = vb.data();
    Pkcs7Ptr p7(d2i_PKCS7(nullptr, &pb, long(vb.size())));
    ASSERT_EQ(SmPkcs7ToStock(p7.get()), 1);
    ASSERT_EQ(PKCS7_set_detached(p7.get(), 1), 1);
    EXPECT_EQ(PKCS7_get_detached(p7.get()), 1);

    // Written again in the SM form without its content, read back, and verified with it.
    ASSERT_EQ(SmPkcs7ToSm(p7.get()), 1);
    unsigned char *pbOut = nullptr;
    int cb = i2d_PKCS7(p7.get(), &pbOut);
    Bytes vbDetached(pbOut, pbOut + cb);
    OPENSSL_free(pbOut);
    EXPECT_LT(vbDetached.size(), vb.size() - m_vbContent.size() + 8);
    pb = vbDetached.data();
    Pkcs7Ptr pBack(d2i_PKCS7(nullptr, &pb, cb));
    ASSERT_EQ(SmPkcs7ToStock(pBack.get()), 1);
    EXPECT_EQ(PKCS7_get_detached(pBack.get()), 1);
    EXPECT_TRUE(Verify(pBack.get(), true));
}

TEST_F(SmPkcs7, MalformedSmContentIsRefusedAndOtherMessagesPass)
{
    // sm-pkcs7-signedData whose content is not a SignedData.
    Pkcs7Ptr p7(PKCS7_new());
    p7->type = OBJ_nid2obj(SmObjectIds().nidSmPkcs7Signed);
    p7->d.other = ASN1_TYPE_new();
    ASN1_TYPE_set(p7->d.other, V_ASN1_NULL, nullptr);
    EXPECT_EQ(SmPkcs7ToStock(p7.get()), 0);
    EXPECT_EQ(OBJ_obj2nid(p7->type), SmObjectIds().nidSmPkcs7Signed);

    Pkcs7Ptr pData(PKCS7_new());
    ASSERT_EQ(PKCS7_set_type(pData.get(), NID_pkcs7_data), 1);
    EXPECT_EQ(SmPkcs7ToStock(pData.get()), 1);
    EXPECT_TRUE(PKCS7_type_is_data(pData.get()));
    EXPECT_EQ(SmPkcs7ToSm(pData.get()), 0);
    ERR_clear_error();
}

} // namespace
