// Conversion between the stock and the SM PKCS#7 content types.
#include "smcrypto/pkcs7_types.h"

#include <openssl/objects.h>

#include "smcrypto/objects.h"

namespace
{

int Nid(const PKCS7 *pP7)
{
    return pP7 ? OBJ_obj2nid(pP7->type) : NID_undef;
}

void SetType(PKCS7 *pP7, int nNid)
{
    ASN1_OBJECT_free(pP7->type);
    pP7->type = OBJ_nid2obj(nNid);
}

// The inner content of the SM data type is an OCTET STRING, or absent when detached.
bool InnerToStock(PKCS7 *pInner)
{
    if (Nid(pInner) != SmObjectIds().nidSmPkcs7Data)
        return true;
    ASN1_TYPE *pAny = pInner->d.other;
    ASN1_OCTET_STRING *pData = nullptr;
    if (pAny)
    {
        if (pAny->type != V_ASN1_OCTET_STRING)
            return false;
        pData = ASN1_STRING_dup(pAny->value.octet_string);
        if (!pData)
            return false;
        ASN1_TYPE_free(pAny);
    }
    pInner->d.data = pData;
    SetType(pInner, NID_pkcs7_data);
    return true;
}

bool InnerToSm(PKCS7 *pInner)
{
    if (Nid(pInner) != NID_pkcs7_data)
        return true;
    ASN1_TYPE *pAny = nullptr;
    if (pInner->d.data)
    {
        pAny = ASN1_TYPE_new();
        if (!pAny)
            return false;
        ASN1_TYPE_set(pAny, V_ASN1_OCTET_STRING, pInner->d.data);
    }
    pInner->d.other = pAny;
    SetType(pInner, SmObjectIds().nidSmPkcs7Data);
    return true;
}

} // namespace

int SmPkcs7ToStock(PKCS7 *pP7)
{
    if (!pP7)
        return 0;
    if (Nid(pP7) == SmObjectIds().nidSmPkcs7Signed)
    {
        // Not a type the library knows: its content was kept as a whole SEQUENCE.
        ASN1_TYPE *pAny = pP7->d.other;
        if (!pAny || pAny->type != V_ASN1_SEQUENCE)
            return 0;
        const unsigned char *pb = pAny->value.sequence->data;
        long cb = pAny->value.sequence->length;
        PKCS7_SIGNED *pSigned = d2i_PKCS7_SIGNED(nullptr, &pb, cb);
        if (!pSigned || pb != pAny->value.sequence->data + cb || !InnerToStock(pSigned->contents))
        {
            PKCS7_SIGNED_free(pSigned);
            return 0;
        }
        ASN1_TYPE_free(pAny);
        pP7->d.sign = pSigned;
        SetType(pP7, NID_pkcs7_signed);
        return 1;
    }
    if (Nid(pP7) == NID_pkcs7_signed && pP7->d.sign)
        return InnerToStock(pP7->d.sign->contents);
    return 1;
}

int SmPkcs7ToSm(PKCS7 *pP7)
{
    if (Nid(pP7) != NID_pkcs7_signed || !pP7->d.sign || !InnerToSm(pP7->d.sign->contents))
        return 0;
    unsigned char *pb = nullptr;
    int cb = i2d_PKCS7_SIGNED(pP7->d.sign, &pb);
    ASN1_STRING *pSeq = cb > 0 ? ASN1_STRING_new() : nullptr;
    ASN1_TYPE *pAny = pSeq ? ASN1_TYPE_new() : nullptr;
    if (!pAny)
    {
        ASN1_STRING_free(pSeq);
        OPENSSL_free(pb);
        return 0;
    }
    ASN1_STRING_set0(pSeq, pb, cb);
    ASN1_TYPE_set(pAny, V_ASN1_SEQUENCE, pSeq);
    PKCS7_SIGNED_free(pP7->d.sign);
    pP7->d.other = pAny;
    SetType(pP7, SmObjectIds().nidSmPkcs7Signed);
    return 1;
}
