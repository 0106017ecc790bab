// SM2/SM3 signatures of certificates and other signed items.
#include "smcrypto/cert_verify.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include "smcrypto/objects.h"
#include "smcrypto/smalgorithms.h"

namespace
{

bool IsSm2WithSm3(const X509_ALGOR *pAlg, EVP_PKEY *pKey)
{
    const ASN1_OBJECT *pObj = nullptr;
    X509_ALGOR_get0(&pObj, nullptr, nullptr, pAlg);
    int nDigest = NID_undef, nKeyType = NID_undef;
    if (!pObj || !OBJ_find_sigid_algs(OBJ_obj2nid(pObj), &nDigest, &nKeyType))
        return false;
    return nDigest == SmObjectIds().nidSm3 && (EVP_PKEY_is_a(pKey, "EC") || EVP_PKEY_is_a(pKey, "SM2"));
}

// The signed bytes with SM3 through the provider, whose digest-verify feeds Z with the default user
// ID on the recommended curve only; when Z cannot be computed the set-up fails, and so does this.
int VerifySm2Sm3(const ASN1_BIT_STRING *pSignature, const unsigned char *pbTbs, size_t cbTbs, EVP_PKEY *pKey)
{
    SmRegisterAllAlgorithms();
    EVP_MD_CTX *pCtx = EVP_MD_CTX_new();
    int nResult = 0;
    if (pCtx && EVP_DigestVerifyInit_ex(pCtx, nullptr, "SM3", nullptr, SM_PROVIDER_QUERY, pKey, nullptr) == 1)
        nResult = EVP_DigestVerify(pCtx, ASN1_STRING_get0_data(pSignature), size_t(ASN1_STRING_length(pSignature)),
                                   pbTbs, cbTbs) == 1;
    EVP_MD_CTX_free(pCtx);
    return nResult;
}

} // namespace

int SmAsn1ItemVerify(const ASN1_ITEM *pItem, const X509_ALGOR *pAlg, const ASN1_BIT_STRING *pSignature,
                     const void *pvData, EVP_PKEY *pKey)
{
    if (!pItem || !pAlg || !pSignature || !pvData || !pKey)
        return -1;
    if (!IsSm2WithSm3(pAlg, pKey))
        return ASN1_item_verify(pItem, pAlg, pSignature, pvData, pKey);
    unsigned char *pbTbs = nullptr;
    int cbTbs = ASN1_item_i2d(static_cast<const ASN1_VALUE *>(pvData), &pbTbs, pItem);
    if (cbTbs <= 0)
        return -1;
    int nResult = VerifySm2Sm3(pSignature, pbTbs, size_t(cbTbs), pKey);
    OPENSSL_free(pbTbs);
    return nResult;
}

int SmX509Verify(X509 *pCert, EVP_PKEY *pIssuerKey)
{
    if (!pCert || !pIssuerKey)
        return -1;
    const X509_ALGOR *pAlg = nullptr;
    const ASN1_BIT_STRING *pSignature = nullptr;
    X509_get0_signature(&pSignature, &pAlg, pCert);
    if (!IsSm2WithSm3(pAlg, pIssuerKey))
        return X509_verify(pCert, pIssuerKey);
    // The to-be-signed part exactly as it was received: the first element of the certificate.
    unsigned char *pbCert = nullptr;
    int cbCert = i2d_X509(pCert, &pbCert);
    int nResult = -1;
    const unsigned char *pb = pbCert;
    long cbContent = 0;
    int nTag = 0, nClass = 0;
    if (cbCert > 0 && !(ASN1_get_object(&pb, &cbContent, &nTag, &nClass, cbCert) & 0x80) && nTag == V_ASN1_SEQUENCE)
    {
        const unsigned char *pbTbs = pb;
        long cbLeft = cbCert - long(pb - pbCert);
        if (!(ASN1_get_object(&pb, &cbContent, &nTag, &nClass, cbLeft) & 0x80) && nTag == V_ASN1_SEQUENCE)
            nResult = VerifySm2Sm3(pSignature, pbTbs, size_t(pb - pbTbs) + size_t(cbContent), pIssuerKey);
    }
    OPENSSL_free(pbCert);
    return nResult;
}
